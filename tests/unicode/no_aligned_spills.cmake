# Fails when the DLL moves 32- or 64-byte vectors to or from the stack with
# an aligned instruction: MinGW's GCC does not align the stack for them on
# Windows, so such a spill would fault at run time on some call paths.
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL}
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot disassemble ${DLL}")
endif()
string(REGEX MATCHALL "vmov(dqa|dqa32|dqa64|aps|apd)[ \t]+[^\n]*[yz]mm[0-9]+[^\n]*\\(%r[sb]p\\)[^\n]*|vmov(dqa|dqa32|dqa64|aps|apd)[ \t]+[^\n]*\\(%r[sb]p\\)[^\n]*[yz]mm[0-9]+"
       spills "${listing}")
if(spills)
  list(JOIN spills "\n" shown)
  message(FATAL_ERROR "aligned wide vector spills in ${DLL}:\n${shown}")
endif()
string(FIND "${listing}" "vpcompressw" compress)
if(compress EQUAL -1)
  message(FATAL_ERROR "the AVX-512 kernels are missing from ${DLL}")
endif()
