// Converts a line of mixed-script text between UTF-8, UTF-16 and the narrow
// encoding, and shows the cut of a UTF-8 buffer form.
#include "tskbase/stringcnv.h"
#include "tskbase/strings.h"

#include <cstdio>
#include <cstring>

#include "demo.h"

void demo::stringConversion() {
  heading("String conversion: UTF-8, UTF-16 and the narrow encoding");

  const char* utf8 = "Caf\xC3\xA9 \xE2\x82\xAC 5, \xE4\xB8\xAD\xE6\x96\x87";
  std::printf("UTF-8 source, %zu bytes:\n", std::strlen(utf8));
  hexDump(reinterpret_cast<const unsigned char*>(utf8), std::strlen(utf8));

  tsk_wchar_t* wide = nullptr;
  if (stringCnv_utf8ToWcsAlloc(utf8, &wide) != TSK_OK) {
    std::printf("conversion failed\n");
    return;
  }
  size_t units = 0;
  while (wide[units] != 0) {
    ++units;
  }
  std::printf("\nUTF-16, %zu units:\n ", units);
  for (size_t i = 0; i < units; ++i) {
    std::printf(" %04X", static_cast<unsigned>(wide[i]));
  }
  std::printf("\n");

  char* narrow = nullptr;
  if (stringCnv_wcsToMbsAlloc(wide, &narrow) == TSK_OK) {
    std::printf("\nIn the narrow encoding ('?' where it lacks a character), %zu bytes:\n",
                std::strlen(narrow));
    hexDump(reinterpret_cast<const unsigned char*>(narrow), std::strlen(narrow));
    string_freeA(narrow);
  }

  // Into 7 bytes: the first 6 units are kept, but their UTF-8 form needs 9
  // bytes, so the call fails rather than cut.
  char small[7];
  const tsk_status cut = stringCnv_wcsToUTF8(wide, small, sizeof small);
  std::printf("\nwcsToUTF8 into %zu bytes: status 0x%X", sizeof small, cut);
  if (cut == TSK_OK) {
    std::printf(", \"%s\"", small);
  }
  std::printf("\n");
  string_freeA(wide);
}
