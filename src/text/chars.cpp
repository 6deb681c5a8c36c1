#include "chars.h"

#include "platform/text.h"

namespace tsk::text {

const unsigned char* mbsInc(const unsigned char* s) { return platform::mbsInc(s); }
const unsigned char* mbsDec(const unsigned char* start, const unsigned char* pos) {
  return platform::mbsDec(start, pos);
}
const unsigned char* mbsNInc(const unsigned char* s, size_t count) {
  return platform::mbsNInc(s, count);
}
size_t mbsLen(const unsigned char* s) { return platform::mbsLen(s); }
const unsigned char* mbsChr(const unsigned char* s, unsigned code) {
  return platform::mbsChr(s, code);
}
const unsigned char* mbsRChr(const unsigned char* s, unsigned code) {
  return platform::mbsRChr(s, code);
}
const unsigned char* mbsStr(const unsigned char* s, const unsigned char* pattern) {
  return platform::mbsStr(s, pattern);
}
unsigned char* mbsLwr(unsigned char* s) { return platform::mbsLwr(s); }
unsigned char* mbsUpr(unsigned char* s) { return platform::mbsUpr(s); }
bool isMbcSpace(unsigned code) { return platform::isMbcSpace(code); }
int mbLen(const char* s, size_t n) { return platform::mbLen(s, n); }
int mbToWc(tsk_wchar_t* out, const char* s, size_t n) { return platform::mbToWc(out, s, n); }

bool isWideSpace(tsk_wchar_t unit) { return platform::isWideSpace(unit); }
bool isWideControl(tsk_wchar_t unit) { return platform::isWideControl(unit); }
bool isWideDigit(tsk_wchar_t unit) { return platform::isWideDigit(unit); }
tsk_wchar_t* wcsLwr(tsk_wchar_t* s) { return platform::wcsLwr(s); }
tsk_wchar_t* wcsUpr(tsk_wchar_t* s) { return platform::wcsUpr(s); }

} // namespace tsk::text
