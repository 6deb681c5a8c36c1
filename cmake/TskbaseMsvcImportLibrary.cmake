# Windows: an import library for Microsoft's linker (lib/tskbase.lib) and its
# module-definition file (lib/tskbase.def), made after every link from the
# export table of tskbase.dll itself, so that they list exactly what the DLL
# exports. They hold the plain C names only: the C++ names follow the MinGW
# ABI, which Microsoft's compiler neither produces nor calls.
# Sets TSKBASE_MSVC_IMPORT_FILES to the two files.
find_program(TSKBASE_LLVM_DLLTOOL NAMES llvm-dlltool REQUIRED)
find_program(TSKBASE_LLVM_READOBJ NAMES llvm-readobj REQUIRED)

set(TSKBASE_MSVC_IMPORT_FILES
  ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/tskbase.def
  ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/tskbase.lib)
add_custom_command(
  OUTPUT ${TSKBASE_MSVC_IMPORT_FILES}
  COMMAND ${CMAKE_COMMAND}
    -DREADOBJ=${TSKBASE_LLVM_READOBJ}
    -DDLLTOOL=${TSKBASE_LLVM_DLLTOOL}
    -DDLL=$<TARGET_FILE:tskbase>
    -DVERSION=${PROJECT_VERSION}
    "-DOUTPUTS=${TSKBASE_MSVC_IMPORT_FILES}"
    -P ${CMAKE_CURRENT_LIST_DIR}/MakeMsvcImportLibrary.cmake
  DEPENDS tskbase ${CMAKE_CURRENT_LIST_DIR}/MakeMsvcImportLibrary.cmake
  COMMENT "Import library for Microsoft's linker: tskbase.lib"
  VERBATIM)
add_custom_target(tskbase_msvc_import_library ALL DEPENDS ${TSKBASE_MSVC_IMPORT_FILES})
