// Random text and delimiters through the string_ tokenizers, the stripping
// and replacing functions and search and replace, each working in a buffer
// of exactly the size its input needs (the sanitizers catch any element
// read or written beyond it). The wide results are checked against simple
// models written here; the narrow ones for the properties that hold in any
// encoding, and in UTF-8 for keeping the characters of valid text whole.
//
// Input: a control byte, then up to four parts separated by zero bytes:
// text, delimiter set, pattern, replacement. Wide strings are the same bytes
// taken in pairs when bit 6 of the control byte is set, else one unit per
// byte. Bit 5 passes the wide character argument with a bit above 16 set.
#include "tskbase/strings.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using WString = std::basic_string<tsk_wchar_t>;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #cond, __LINE__);                       \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

// A heap copy of `text` with `extra` spare elements after its terminator.
template <typename C>
std::vector<C> exactCopy(const std::basic_string<C>& text, size_t extra = 0) {
  std::vector<C> buf(text.size() + 1 + extra);
  std::copy(text.begin(), text.end(), buf.begin());
  return buf;
}

template <typename C>
size_t lengthWithin(const std::vector<C>& buf) {
  for (size_t i = 0; i < buf.size(); ++i) {
    if (buf[i] == 0) {
      return i;
    }
  }
  CHECK(false && "unterminated");
  return buf.size();
}

WString widen(const std::string& bytes, bool pairs) {
  WString out;
  if (!pairs) {
    for (const char c : bytes) {
      out += static_cast<tsk_wchar_t>(static_cast<unsigned char>(c));
    }
    return out;
  }
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<tsk_wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                               (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (unit == 0) {
      break;
    }
    out += unit;
  }
  return out;
}

// ---- Models of the wide functions ------------------------------------------

WString skipStripModel(const WString& text, tsk_wchar_t unit) {
  WString out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != unit) {
      out += text[i];
    } else if (i + 1 < text.size()) {
      // The unit that moves into the removed place stays unexamined.
      out += text[++i];
    }
  }
  return out;
}

// Removes up to `max` leading or trailing units that `remove` accepts.
template <typename Pred>
WString stripLeadingModel(const WString& text, Pred remove, size_t max) {
  size_t n = 0;
  while (n < max && n < text.size() && remove(text[n])) {
    ++n;
  }
  return text.substr(n);
}

template <typename Pred>
WString stripTrailingModel(const WString& text, Pred remove, size_t max) {
  size_t end = text.size();
  while (text.size() - end < max && end > 0 && remove(text[end - 1])) {
    --end;
  }
  return text.substr(0, end);
}

template <typename Pred>
WString removeEveryModel(const WString& text, Pred remove) {
  WString out;
  for (const tsk_wchar_t unit : text) {
    if (!remove(unit)) {
      out += unit;
    }
  }
  return out;
}

// Whether a unit counts as white space or control. White space is what
// string_isSpaceW says; control is read off string_stripCtlCharW over the
// unit alone, which must agree with the leading and trailing variants.
bool isSpaceUnit(tsk_wchar_t unit) { return string_isSpaceW(unit) != 0; }

bool isControlUnit(tsk_wchar_t unit) {
  tsk_wchar_t one[2] = {unit, 0};
  string_stripCtlCharW(one);
  const bool control = one[0] == 0;
  tsk_wchar_t lead[2] = {unit, 0};
  string_stripLeadingCtlCharW(lead, 1);
  tsk_wchar_t trail[2] = {unit, 0};
  string_stripTrailingCtlCharW(trail, 1);
  CHECK((lead[0] == 0) == control && (trail[0] == 0) == control);
  // The C0 and C1 ranges are control, letters and digits are not.
  if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
    CHECK(control);
  } else if ((unit >= '0' && unit <= '9') || ((unit | 0x20) >= 'a' && (unit | 0x20) <= 'z')) {
    CHECK(!control);
  }
  return control;
}

WString replaceFirstModel(const WString& text, const WString& pattern, const WString& repl) {
  const size_t at = text.find(pattern);
  if (text.empty() || pattern.empty() || at == WString::npos) {
    return text;
  }
  return text.substr(0, at) + repl + text.substr(at + pattern.size());
}

// The wide tokens as the model takes them: every leading delimiter skipped.
std::vector<WString> wideTokensModel(const WString& text, const WString& delims) {
  std::vector<WString> out;
  size_t p = 0;
  while (p < text.size()) {
    p = text.find_first_not_of(delims, p);
    if (p == WString::npos) {
      out.emplace_back();
      break;
    }
    const size_t end = std::min(text.find_first_of(delims, p), text.size());
    out.push_back(text.substr(p, end - p));
    p = end + 1;
    if (end == text.size()) {
      break;
    }
  }
  return out;
}

void wideTokens(const WString& text, const WString& delims) {
  const std::vector<WString> expected = wideTokensModel(text, delims);
  std::vector<WString> got;
  const tsk_wchar_t* p = text.c_str();
  while (p != nullptr) {
    // Exactly the room the next token needs, and one unit less.
    const size_t units = got.size() < expected.size() ? expected[got.size()].size() + 1 : 1;
    std::vector<tsk_wchar_t> small(units - 1 == 0 ? 1 : units - 1, 0x2A);
    if (units > 1) {
      CHECK(string_getTokenW(p, delims.c_str(), static_cast<int32_t>(units - 1), small.data(),
                             nullptr) == TSK_FAIL);
      CHECK(small[0] == 0x2A);
    }
    std::vector<tsk_wchar_t> token(units);
    if (string_getTokenW(p, delims.c_str(), static_cast<int32_t>(units), token.data(), &p) !=
        TSK_OK) {
      break;
    }
    got.emplace_back(token.data());
  }
  if (text.empty() || delims.empty()) {
    CHECK(got.empty());
    return;
  }
  CHECK(got == expected);
  // The counter agrees wherever no token reaches its 256-unit scratch size.
  uint32_t count = 0;
  CHECK(string_getTokenCountW(text.c_str(), delims.c_str(), &count) == TSK_OK);
  size_t fitting = 0;
  while (fitting < got.size() && got[fitting].size() < 256) {
    ++fitting;
  }
  CHECK(count == fitting);
  if (!got.empty()) {
    const auto last = static_cast<int32_t>(got.size() - 1);
    std::vector<tsk_wchar_t> token(got.back().size() + 1);
    const auto size = static_cast<int32_t>(token.size());
    if (std::all_of(got.begin(), got.end(),
                    [&](const WString& t) { return t.size() + 1 <= token.size(); })) {
      CHECK(string_getTokenByIndexW(text.c_str(), delims.c_str(), last, token.data(), size) ==
            TSK_OK);
      CHECK(WString(token.data()) == got.back());
    }
    CHECK(string_getTokenByIndexW(text.c_str(), delims.c_str(), last + 1, token.data(), size) ==
          TSK_FAIL);
  }
}

void wideEdits(const WString& text, const WString& delims, const WString& pattern,
               const WString& repl, bool wideArgument) {
  const tsk_wchar_t unit = delims.empty() ? tsk_wchar_t(',') : delims[0];
  // An argument beyond 16 bits stands for no unit at all.
  const int32_t ch = wideArgument ? int32_t(unit) + 0x10000 : int32_t(unit);
  const auto matches = [&](tsk_wchar_t u) { return static_cast<int32_t>(u) == ch; };
  const auto max = static_cast<int32_t>(text.size() % 5);
  std::vector<tsk_wchar_t> buf = exactCopy(text);
  CHECK(string_stripCharW(buf.data(), ch) == buf.data());
  CHECK(WString(buf.data()) == (wideArgument ? text : skipStripModel(text, unit)));
  buf = exactCopy(text);
  string_stripLeadingCharW(buf.data(), ch, max);
  CHECK(WString(buf.data()) == stripLeadingModel(text, matches, size_t(max)));
  buf = exactCopy(text);
  string_stripTrailingCharW(buf.data(), ch, max);
  CHECK(WString(buf.data()) == stripTrailingModel(text, matches, size_t(max)));

  buf = exactCopy(text);
  string_stripCtlCharW(buf.data());
  CHECK(WString(buf.data()) == removeEveryModel(text, isControlUnit));
  buf = exactCopy(text);
  string_stripLeadingCtlCharW(buf.data(), 3);
  CHECK(WString(buf.data()) == stripLeadingModel(text, isControlUnit, 3));
  buf = exactCopy(text);
  string_stripTrailingCtlCharW(buf.data(), max);
  CHECK(WString(buf.data()) == stripTrailingModel(text, isControlUnit, size_t(max)));

  buf = exactCopy(text);
  string_stripWhiteSpaceW(buf.data());
  CHECK(WString(buf.data()) == removeEveryModel(text, isSpaceUnit));
  buf = exactCopy(text);
  string_stripLeadWhiteSpaceW(buf.data());
  CHECK(WString(buf.data()) == stripLeadingModel(text, isSpaceUnit, text.size()));
  buf = exactCopy(text);
  string_stripTrailWhiteSpaceW(buf.data());
  CHECK(WString(buf.data()) == stripTrailingModel(text, isSpaceUnit, text.size()));

  buf = exactCopy(text);
  string_replaceCRW(buf.data());
  CHECK(lengthWithin(buf) <= text.size());

  const size_t grow = repl.size() > pattern.size() ? repl.size() - pattern.size() : 0;
  buf = exactCopy(text, grow);
  CHECK(string_searchAndReplaceW(buf.data(), pattern.c_str(), repl.c_str()) == TSK_OK);
  CHECK(WString(buf.data()) == replaceFirstModel(text, pattern, repl));
}

// ---- Narrow functions --------------------------------------------------------

// Whether `text` is well-formed UTF-8 (shortest forms, no surrogates).
bool validUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t n = 1;
    uint32_t cp = b;
    if (b >= 0xF0 && b <= 0xF4) {
      n = 4;
      cp = b & 0x07;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3;
      cp = b & 0x0F;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 2;
      cp = b & 0x1F;
    } else if (b >= 0x80) {
      return false;
    }
    if (i + n > text.size()) {
      return false;
    }
    for (size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) {
        return false;
      }
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += n;
  }
  return true;
}

bool isDelimiterByte(const std::string& delims, char byte) {
  return byte != 0 && delims.find(byte) != std::string::npos;
}

// `utf8`: the narrow encoding is UTF-8, so valid text must come out valid:
// characters stay whole.
void narrowTokens(const std::string& text, const std::string& delims, bool utf8) {
  const bool wholeChars = utf8 && validUtf8(text);
  std::vector<char> token(text.size() + 1);
  const char* p = text.c_str();
  uint32_t taken = 0;
  bool fits = true;
  while (p != nullptr) {
    const char* at = p;
    if (string_getTokenA(p, delims.c_str(), token.data(), &p) != TSK_OK) {
      break;
    }
    const size_t n = std::strlen(token.data());
    fits = fits && n < 128;
    if (fits) {
      ++taken;
    }
    // The token is a piece of the text, at most one delimiter in. It ends
    // either at a delimiter byte, with the next position just after the
    // whole character there, or at the end of the text, with a null next
    // position.
    const char* const last = text.c_str() + text.size();
    const auto tokenAt = [&](const char* start) {
      const char* end = start + n;
      if (end > last || std::memcmp(token.data(), start, n) != 0) {
        return false;
      }
      if (*end == 0) {
        return p == nullptr;
      }
      return isDelimiterByte(delims, *end) && p != nullptr && p > end && p <= end + 4 && p <= last;
    };
    CHECK(tokenAt(at) || (isDelimiterByte(delims, *at) && tokenAt(at + 1)));
    if (wholeChars && p != nullptr) {
      CHECK((static_cast<unsigned char>(*p) & 0xC0) != 0x80);
    }
    if (wholeChars) {
      CHECK(validUtf8(token.data()));
    }
  }
  uint32_t count = 0;
  CHECK(string_getTokenCountA(text.c_str(), delims.c_str(), &count) == TSK_OK);
  CHECK(count == taken);
}

void narrowEdits(const std::string& text, const std::string& delims, const std::string& pattern,
                 const std::string& repl, bool utf8) {
  const bool wholeChars = utf8 && validUtf8(text);
  const int32_t ch = delims.empty() ? ',' : static_cast<unsigned char>(delims[0]);
  using Edit = char* (*)(char*, int32_t);
  for (const Edit edit : {
           +[](char*s, int32_t c) { return string_stripCharA(s, c); },
           +[](char*s, int32_t c) { return string_stripLeadingCharA(s, c, 2); },
           +[](char*s, int32_t c) { return string_stripTrailingCharA(s, c, 2); },
           +[](char*s, int32_t) { return string_stripCtlCharA(s); },
           +[](char*s, int32_t) { return string_stripTrailingCtlCharA(s, 9); },
           +[](char*s, int32_t) { return string_stripWhiteSpaceA(s); },
           +[](char*s, int32_t) { return string_stripLeadWhiteSpaceA(s); },
           +[](char*s, int32_t) { return string_stripTrailWhiteSpaceA(s); },
           +[](char*s, int32_t c) { return string_replaceCharA(s, c, 'x'); },
           +[](char*s, int32_t) { return string_replaceCRA(s); },
       }) {
    std::vector<char> buf = exactCopy(text);
    char* result = edit(buf.data(), ch);
    CHECK(result == nullptr || result == buf.data());
    CHECK(lengthWithin(buf) <= text.size());
    if (result == nullptr) {
      // A failed conversion leaves the string as it was.
      CHECK(std::string(buf.data()) == text);
    } else if (wholeChars) {
      CHECK(validUtf8(buf.data()));
    }
  }

  const size_t grow = repl.size() > pattern.size() ? repl.size() - pattern.size() : 0;
  std::vector<char> buf = exactCopy(text, grow);
  CHECK(string_searchAndReplaceA(buf.data(), pattern.c_str(), repl.c_str()) == TSK_OK);
  const size_t n = lengthWithin(buf);
  CHECK(n == text.size() || n + pattern.size() == text.size() + repl.size());
  if (wholeChars && validUtf8(repl)) {
    CHECK(validUtf8(buf.data()));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t control = data[0];
  std::vector<std::string> parts(4);
  size_t part = 0;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      if (++part == parts.size()) {
        break;
      }
      continue;
    }
    parts[part] += static_cast<char>(data[i]);
  }
  const bool pairs = (control & 0x40) != 0;

  // Bit 7: the narrow encoding is Latin-1 (when that locale exists) instead
  // of UTF-8 (the C locale).
  const bool latin1 = (control & 0x80) != 0 && std::setlocale(LC_ALL, "de_DE.ISO-8859-1");
  narrowTokens(parts[0], parts[1], !latin1);
  narrowEdits(parts[0], parts[1], parts[2], parts[3], !latin1);
  if (latin1) {
    std::setlocale(LC_ALL, "C");
  }

  const WString text = widen(parts[0], pairs);
  const WString delims = widen(parts[1], pairs);
  wideTokens(text, delims);
  wideEdits(text, delims, widen(parts[2], pairs), widen(parts[3], pairs), (control & 0x20) != 0);
  return 0;
}
