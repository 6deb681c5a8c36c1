// Random bytes and random UTF-16 units through every conversion and through
// the formatter's text arguments. Checks that nothing writes out of bounds
// (the sanitizers watch every buffer, each allocated at its exact size),
// that well-formed text round-trips exactly, and that every result is
// terminated within its capacity.
//
// The first input byte chooses the narrow encoding and a buffer capacity;
// the rest is read both as UTF-8 / narrow bytes and as UTF-16 units.
#include "tskbase/stringcnv.h"

#include "text/format.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using WString = std::basic_string<tsk_wchar_t>;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      __builtin_printf("check failed: %s (line %d)\n", #cond, __LINE__);                           \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

// Well-formed UTF-8 by the Unicode standard's table of byte sequences,
// written independently of the library's decoder.
bool wellFormedUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const size_t left = s.size() - i;
    if (b(0) < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    unsigned lo = 0x80, hi = 0xBF;
    if (b(0) >= 0xC2 && b(0) <= 0xDF) {
      n = 2;
    } else if (b(0) >= 0xE0 && b(0) <= 0xEF) {
      n = 3;
      lo = b(0) == 0xE0 ? 0xA0 : 0x80;
      hi = b(0) == 0xED ? 0x9F : 0xBF;
    } else if (b(0) >= 0xF0 && b(0) <= 0xF4) {
      n = 4;
      lo = b(0) == 0xF0 ? 0x90 : 0x80;
      hi = b(0) == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (left < n || b(1) < lo || b(1) > hi) {
      return false;
    }
    for (size_t k = 2; k < n; ++k) {
      if ((b(k) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += n;
  }
  return true;
}

bool wellFormedUtf16(const WString& w) {
  for (size_t i = 0; i < w.size(); ++i) {
    if ((w[i] & 0xFC00) == 0xD800) {
      if (i + 1 == w.size() || (w[i + 1] & 0xFC00) != 0xDC00) {
        return false;
      }
      ++i;
    } else if ((w[i] & 0xFC00) == 0xDC00) {
      return false;
    }
  }
  return true;
}

template <typename T>
bool terminatedWithin(const T* buf, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i) {
    if (buf[i] == 0) {
      return true;
    }
  }
  return false;
}

void utf8RoundTrip(const std::string& text) {
  tsk_wchar_t* wide = nullptr;
  CHECK(stringCnv_utf8ToWcsAlloc(text.c_str(), &wide) == TSK_OK);
  char* back = nullptr;
  CHECK(stringCnv_wcsToUTF8Alloc(wide, &back) == TSK_OK);
  if (wellFormedUtf8(text)) {
    CHECK(text == back);
  }
  // Whatever went in, the second round is exact.
  tsk_wchar_t* again = nullptr;
  CHECK(stringCnv_utf8ToWcsAlloc(back, &again) == TSK_OK);
  CHECK(WString(wide) == again);
  std::free(again);
  std::free(back);
  std::free(wide);
}

void utf16RoundTrip(const WString& text) {
  char* utf8 = nullptr;
  CHECK(stringCnv_wcsToUTF8Alloc(text.c_str(), &utf8) == TSK_OK);
  CHECK(wellFormedUtf8(utf8));
  tsk_wchar_t* back = nullptr;
  CHECK(stringCnv_utf8ToWcsAlloc(utf8, &back) == TSK_OK);
  if (wellFormedUtf16(text)) {
    CHECK(text == back);
  }
  std::free(back);
  std::free(utf8);
}

void ansiForms(const std::string& narrow, const WString& wide) {
  tsk_wchar_t* w = nullptr;
  if (stringCnv_mbsToTcsAlloc(narrow.c_str(), &w) == TSK_OK) {
    char* n = nullptr;
    CHECK(stringCnv_tcsToMbsAlloc(w, &n) == TSK_OK);
    std::free(n);
    std::free(w);
  }
  char* n = nullptr;
  if (stringCnv_wcsToMbsAlloc(wide.c_str(), &n) == TSK_OK) {
    std::free(n);
  }
}

void bufferForms(const std::string& narrow, const WString& wide, size_t capacity) {
  std::vector<tsk_wchar_t> w(capacity);
  std::vector<char> n(capacity);
  if (stringCnv_utf8ToWcs(narrow.c_str(), w.data(), capacity) == TSK_OK) {
    CHECK(terminatedWithin(w.data(), capacity));
  }
  if (stringCnv_wcsToUTF8(wide.c_str(), n.data(), capacity) == TSK_OK) {
    CHECK(terminatedWithin(n.data(), capacity));
  }
  if (stringCnv_mbsToTcs(narrow.c_str(), w.data(), capacity) == TSK_OK) {
    CHECK(terminatedWithin(w.data(), capacity));
  }
  if (stringCnv_tcsToMbs(wide.c_str(), n.data(), capacity) == TSK_OK) {
    CHECK(terminatedWithin(n.data(), capacity));
  }
  if (stringCnv_tcsToWcs(wide.c_str(), w.data(), static_cast<int32_t>(capacity)) == TSK_OK) {
    CHECK(WString(w.data()) == wide);
  }
}

void arrayForms(const std::string& narrow, const WString& wide) {
  const char* narrowMembers[] = {narrow.c_str(), nullptr, ""};
  const tsk_wchar_t* wideMembers[] = {wide.c_str(), nullptr};
  tsk_wchar_t** w = nullptr;
  CHECK(stringCnv_utf8pToWcsp(narrowMembers, 3, &w) == TSK_OK);
  CHECK(w[1] == nullptr);
  for (int i = 0; i < 3; ++i) {
    std::free(w[i]);
  }
  std::free(w);
  CHECK(stringCnv_mbspToWcsp(narrowMembers, 3, &w) == TSK_OK);
  for (int i = 0; i < 3; ++i) {
    std::free(w[i]);
  }
  std::free(w);
  char** n = nullptr;
  CHECK(stringCnv_wcspToUTF8p(wideMembers, 2, &n) == TSK_OK);
  std::free(n[0]);
  std::free(n);
  CHECK(stringCnv_wcspToMbsp(wideMembers, 2, &n) == TSK_OK);
  std::free(n[0]);
  std::free(n);
}

void formatter(const std::string& narrow, const WString& wide, size_t capacity, int precision) {
  std::vector<char> n(capacity);
  std::vector<tsk_wchar_t> w(capacity);
  const int length = tsk::text::formatLength("%.*S|%s", precision, wide.c_str(), narrow.c_str());
  const int bounded = tsk::text::formatBounded(n.data(), capacity, "%.*S|%s", precision,
                                               wide.c_str(), narrow.c_str());
  CHECK(length >= 0);
  CHECK(bounded == (static_cast<size_t>(length) <= capacity ? length : -1));
  const int secure = tsk::text::formatSecure(w.data(), capacity, TSK_W("%S|%.*s"), narrow.c_str(),
                                             precision, wide.c_str());
  if (secure >= 0) {
    CHECK(w[static_cast<size_t>(secure)] == 0);
  } else if (capacity > 0) {
    CHECK(w[0] == 0);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t control = data[0];
  ++data;
  --size;
  // Narrow text ends at the first zero; so does wide text.
  std::string narrow(reinterpret_cast<const char*>(data), size);
  narrow = narrow.c_str();
  WString wide;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<tsk_wchar_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      break;
    }
    wide += unit;
  }

  // Bit 7: the narrow encoding is Latin-1 (when that locale exists) instead
  // of UTF-8 (the C locale).
  const bool latin1 = (control & 0x80) != 0 && std::setlocale(LC_ALL, "de_DE.ISO-8859-1");
  const size_t capacity = control & 0x3F;

  utf8RoundTrip(narrow);
  utf16RoundTrip(wide);
  ansiForms(narrow, wide);
  bufferForms(narrow, wide, capacity);
  arrayForms(narrow, wide);
  formatter(narrow, wide, capacity, (control & 0x40) != 0 ? static_cast<int>(capacity) : -1);

  if (latin1) {
    std::setlocale(LC_ALL, "C");
  }
  return 0;
}
