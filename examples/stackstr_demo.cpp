// A stack string that starts in a small local buffer and moves to the heap
// when the text outgrows it.
#include "tskbase/stackstr.h"
#include "tskbase/strings.h"

#include <cstdio>

#include "demo.h"
#include "tskbase/stringcnv.h"

namespace {

void show(const char* step, const _TSKBASE_STACKSTR& str, const tsk_wchar_t* local) {
  char* utf8 = nullptr;
  stringCnv_wcsToUTF8Alloc(str.buffer, &utf8);
  std::printf("  %-22s capacity %3llu, %-15s \"%s\"\n", step,
              static_cast<unsigned long long>(str.capacity),
              str.buffer == local ? "local buffer," : "heap buffer,", utf8 ? utf8 : "?");
  string_freeA(utf8);
}

} // namespace

void demo::stackStrings() {
  heading("Stack strings: a local buffer first, the heap when needed");

  tsk_wchar_t local[16] = {0};
  _TSKBASE_STACKSTR str;
  stackStr_Init(&str, local, 16);
  stackStr_Copy(&str, TSK_W("Grüße"));
  show("copy", str, local);
  stackStr_SprintfCat(&str, TSK_W(" %d×"), 3);
  show("append formatted", str, local);
  stackStr_Cat(&str, TSK_W(" aus dem Stapelspeicher"));
  show("outgrow the buffer", str, local);
  stackStr_Destroy(&str);
}
