// POSIX stand-ins for Windows' code-page conversions and runtime text
// functions. The narrow encoding is the codeset of the current LC_CTYPE
// locale, read at each call; the C and POSIX locales (ASCII) count as UTF-8.
// UTF-8 is handled by the library's own transcoders; other codesets go
// through iconv, one converter pair per thread and codeset.
#include "platform/text.h"

#include "unicode/transcode.h"
#include "unicode/utf.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <strings.h>

namespace tsk::platform {

namespace {

using unicode::decodeUtf8;
using unicode::encodeUtf8;
using unicode::Transcoded;

bool isAsciiCodeset(const char* name) {
  return strcasecmp(name, "ANSI_X3.4-1968") == 0 || strcasecmp(name, "ASCII") == 0 ||
         strcasecmp(name, "US-ASCII") == 0 || strcmp(name, "646") == 0;
}

bool isUtf8Codeset(const char* name) {
  return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0;
}

// The narrow encoding in force: UTF-8 or an iconv codeset name.
struct Narrow {
  bool utf8;
  bool cLocale; // ASCII codeset: case mapping touches ASCII letters only
  char name[64];
};

Narrow currentNarrow() {
  Narrow narrow{};
  // The calling thread's locale, as mbrlen and towupper see it. A locale
  // set with uselocale is read with nl_langinfo_l, which no setlocale
  // elsewhere can disturb; the global locale (which nl_langinfo_l does not
  // take) changes only through setlocale, which POSIX leaves unsafe against
  // every concurrent locale-dependent call, not only this one.
  const locale_t current = uselocale(static_cast<locale_t>(0));
  const char* name =
      current == LC_GLOBAL_LOCALE ? nl_langinfo(CODESET) : nl_langinfo_l(CODESET, current);
  if (name == nullptr || *name == 0 || isAsciiCodeset(name)) {
    narrow.utf8 = true;
    narrow.cLocale = true;
  } else if (isUtf8Codeset(name)) {
    narrow.utf8 = true;
  } else {
    std::snprintf(narrow.name, sizeof narrow.name, "%s", name);
  }
  return narrow;
}

// The encoding behind a code page number.
Narrow narrowForCodePage(unsigned codePage) {
  if (codePage == kAnsiCodePage) {
    return currentNarrow();
  }
  Narrow narrow{};
  if (codePage == kUtf8CodePage) {
    narrow.utf8 = true;
  } else {
    std::snprintf(narrow.name, sizeof narrow.name, "CP%u", codePage);
  }
  return narrow;
}

constexpr const char* kUtf16Name = "UTF-16LE";
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "UTF-16LE is the native order");

// One thread's iconv converters for the last codeset it used.
class IconvPair {
public:
  IconvPair() = default;
  IconvPair(const IconvPair&) = delete;
  IconvPair& operator=(const IconvPair&) = delete;
  ~IconvPair() { close(); }

  // Converters for `name`, opened on first use; false if iconv lacks it.
  bool select(const char* name) {
    if (strcmp(name, name_) == 0 && toWide_ != kNone) {
      return true;
    }
    close();
    toWide_ = iconv_open(kUtf16Name, name);
    fromWide_ = iconv_open(name, kUtf16Name);
    if (toWide_ == kNone || fromWide_ == kNone) {
      close();
      return false;
    }
    std::snprintf(name_, sizeof name_, "%s", name);
    return true;
  }
  iconv_t toWide() const { return toWide_; }
  iconv_t fromWide() const { return fromWide_; }

private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

  void close() {
    if (toWide_ != kNone) {
      iconv_close(toWide_);
    }
    if (fromWide_ != kNone) {
      iconv_close(fromWide_);
    }
    toWide_ = fromWide_ = kNone;
    name_[0] = 0;
  }

  iconv_t toWide_ = kNone;
  iconv_t fromWide_ = kNone;
  char name_[64] = {};
};

// The cache of each thread. A conversion made from another thread-local's
// destructor after it is gone uses converters of its own, for that call.
thread_local bool t_iconvGone = false;

struct ThreadIconv {
  IconvPair pair;
  ~ThreadIconv() { t_iconvGone = true; }
};

thread_local ThreadIconv t_iconv;

// Runs `convert` with converters for the codeset `name`; 0 if iconv lacks it.
template <typename Convert>
int withIconv(const char* name, Convert convert) {
  if (!t_iconvGone) {
    return t_iconv.pair.select(name) ? convert(t_iconv.pair) : 0;
  }
  IconvPair once;
  return once.select(name) ? convert(once) : 0;
}

// Collects output elements into dst (or only counts them when dst is null);
// fails once they no longer fit.
template <typename T>
class Output {
public:
  Output(T* dst, size_t capacity) : dst_(dst), capacity_(capacity) {}

  bool put(const T* items, size_t n) {
    if (dst_ != nullptr) {
      if (capacity_ - count_ < n) {
        return false;
      }
      std::memcpy(dst_ + count_, items, n * sizeof(T));
    }
    count_ += n;
    return true;
  }
  size_t count() const { return count_; }

private:
  T* dst_;
  size_t capacity_;
  size_t count_ = 0;
};

// Runs iconv over the whole input in chunks. An input element that cannot
// be converted becomes `replacement` and is skipped: one per byte, or one per
// UTF-16 unit, so that a character outside the BMP that the codeset lacks
// becomes two, as on Windows. Returns false on lack of room.
template <typename In, typename Out>
bool iconvAll(iconv_t cd, const In* src, size_t length, Output<Out>& out, Out replacement) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(src));
  size_t inLeft = length * sizeof(In);
  Out chunk[256];
  bool flushed = false;
  while (!flushed) {
    char* o = reinterpret_cast<char*>(chunk);
    size_t outLeft = sizeof chunk;
    size_t r;
    if (inLeft > 0) {
      r = iconv(cd, &in, &inLeft, &o, &outLeft);
    } else {
      r = iconv(cd, nullptr, nullptr, &o, &outLeft); // end any shift state
      flushed = r != static_cast<size_t>(-1);
    }
    const int error = errno;
    if (!out.put(chunk, (sizeof chunk - outLeft) / sizeof(Out))) {
      return false;
    }
    if (r == static_cast<size_t>(-1) && error != E2BIG) {
      if (inLeft == 0) {
        return false;
      }
      if (!out.put(&replacement, 1)) {
        return false;
      }
      in += sizeof(In);
      inLeft -= sizeof(In);
    }
  }
  return true;
}

// Length in source elements of a conversion request, or -1 if invalid.
template <typename T>
long long sourceLength(const T* src, int length) {
  if (src == nullptr || length == 0 || length < -1) {
    return -1;
  }
  if (length > 0) {
    return length;
  }
  return static_cast<long long>(std::char_traits<T>::length(src)) + 1;
}

// Final result of a conversion in the Win32 style: the count, or 0.
int result(bool ok, size_t count) {
  return ok && count <= static_cast<size_t>(INT_MAX) ? static_cast<int>(count) : 0;
}

// Length of the character at s in the narrow encoding, reading at most
// `avail` bytes: 1 to 4, 0 if the bytes begin no valid character.
unsigned narrowCharLength(const Narrow& narrow, const unsigned char* s, size_t avail) {
  if (narrow.utf8) {
    const unicode::Utf8Char c = decodeUtf8(s, avail);
    return c.valid ? c.length : 0;
  }
  // One byte at a time, so that no byte after the character (or after a
  // terminator inside it) is read.
  std::mbstate_t state{};
  for (size_t i = 0; i < avail; ++i) {
    const size_t n = std::mbrlen(reinterpret_cast<const char*>(s + i), 1, &state);
    if (n == static_cast<size_t>(-1) || n == 0) {
      return 0;
    }
    if (n != static_cast<size_t>(-2)) {
      return static_cast<unsigned>(i + 1);
    }
  }
  return 0;
}

// Bytes from s to the next character boundary (at least 1).
unsigned stepAt(const Narrow& narrow, const unsigned char* s) {
  if (*s == 0) {
    return 1;
  }
  const unsigned n = narrowCharLength(narrow, s, MB_LEN_MAX);
  return n == 0 ? 1 : n;
}

// Which byte values of a codeset can stand before the last byte of a
// character: lead bytes, and middle bytes of characters longer than two
// bytes (GB18030's second and third). Every other byte is the last of its
// character, or a character of its own, or begins none. Worked out once per
// thread and codeset.
struct NonFinalBytes {
  char name[64] = {};
  bool multibyte = false;
  bool canContinue[256] = {};
};

void markNonFinal(NonFinalBytes& bytes, size_t longest) {
  // Lead bytes: those that begin a character without completing it.
  for (unsigned b = 1; b < 256; ++b) {
    std::mbstate_t state{};
    const char c = static_cast<char>(b);
    bytes.canContinue[b] = std::mbrlen(&c, 1, &state) == static_cast<size_t>(-2);
  }
  if (longest < 3) {
    return;
  }
  // Middle bytes, from the encoding of every character. Feeding bytes one at
  // a time after a lead cannot tell them: glibc's GB18030 accepts any third
  // byte until it has seen the fourth. (About a million calls, some 40 ms.)
  char encoded[MB_LEN_MAX];
  for (wchar_t code = 0x80; code < 0x110000; ++code) {
    if (code >= 0xD800 && code <= 0xDFFF) {
      continue; // surrogates are no characters
    }
    std::mbstate_t state{};
    const size_t length = std::wcrtomb(encoded, code, &state);
    for (size_t i = 1; length != static_cast<size_t>(-1) && i + 1 < length; ++i) {
      bytes.canContinue[static_cast<unsigned char>(encoded[i])] = true;
    }
  }
}

thread_local NonFinalBytes t_nonFinal;

// The table for the current (non-UTF-8) narrow codeset.
const NonFinalBytes& nonFinalBytes(const Narrow& narrow) {
  if (strcmp(t_nonFinal.name, narrow.name) != 0) {
    t_nonFinal = NonFinalBytes();
    const size_t longest = MB_CUR_MAX;
    t_nonFinal.multibyte = longest > 1;
    if (t_nonFinal.multibyte) {
      markNonFinal(t_nonFinal, longest);
    }
    std::snprintf(t_nonFinal.name, sizeof t_nonFinal.name, "%s", narrow.name);
  }
  return t_nonFinal;
}

unsigned codeOf(const unsigned char* s, unsigned length) {
  unsigned code = 0;
  for (unsigned i = 0; i < length; ++i) {
    code = (code << 8) | s[i];
  }
  return code;
}

// Maps one character in place if the mapped character has the same length.
void mapNarrowChar(const Narrow& narrow, unsigned char* s, unsigned length, bool upper) {
  if (length == 1 && s[0] < 0x80) {
    if (upper && s[0] >= 'a' && s[0] <= 'z') {
      s[0] = static_cast<unsigned char>(s[0] - 'a' + 'A');
    } else if (!upper && s[0] >= 'A' && s[0] <= 'Z') {
      s[0] = static_cast<unsigned char>(s[0] - 'A' + 'a');
    }
    return;
  }
  if (narrow.cLocale) {
    return;
  }
  if (narrow.utf8) {
    const unicode::Utf8Char c = decodeUtf8(s, length);
    const wint_t mapped = upper ? std::towupper(c.code) : std::towlower(c.code);
    if (c.valid && mapped != c.code && mapped < 0x110000 && !unicode::isSurrogate(mapped)) {
      unsigned char bytes[4];
      if (encodeUtf8(mapped, bytes) == length) {
        std::memcpy(s, bytes, length);
      }
    }
    return;
  }
  std::mbstate_t state{};
  wchar_t wc = 0;
  if (std::mbrtowc(&wc, reinterpret_cast<const char*>(s), length, &state) != length) {
    return;
  }
  const wint_t mapped = upper ? std::towupper(static_cast<wint_t>(wc)) : std::towlower(wc);
  char bytes[MB_LEN_MAX];
  state = std::mbstate_t{};
  if (mapped != static_cast<wint_t>(wc) &&
      std::wcrtomb(bytes, static_cast<wchar_t>(mapped), &state) == length) {
    std::memcpy(s, bytes, length);
  }
}

unsigned char* mapNarrow(unsigned char* s, bool upper) {
  const Narrow narrow = currentNarrow();
  for (unsigned char* p = s; *p != 0;) {
    const unsigned n = stepAt(narrow, p);
    if (narrowCharLength(narrow, p, n) == n) {
      mapNarrowChar(narrow, p, n, upper);
    }
    p += n;
  }
  return s;
}

tsk_wchar_t* mapWide(tsk_wchar_t* s, bool upper) {
  const bool cLocale = currentNarrow().cLocale;
  for (tsk_wchar_t* p = s; *p != 0; ++p) {
    const tsk_wchar_t unit = *p;
    if (unit < 0x80 || cLocale) {
      if (upper && unit >= 'a' && unit <= 'z') {
        *p = static_cast<tsk_wchar_t>(unit - 'a' + 'A');
      } else if (!upper && unit >= 'A' && unit <= 'Z') {
        *p = static_cast<tsk_wchar_t>(unit - 'A' + 'a');
      }
    } else if (!unicode::isSurrogate(unit)) {
      const wint_t mapped = upper ? std::towupper(unit) : std::towlower(unit);
      if (mapped <= 0xFFFF && !unicode::isSurrogate(mapped)) {
        *p = static_cast<tsk_wchar_t>(mapped);
      }
    }
  }
  return s;
}

} // namespace

int multiByteToWide(unsigned codePage, const char* src, int length, tsk_wchar_t* dst,
                    int capacity) {
  const long long n = sourceLength(src, length);
  if (n < 0 || capacity < 0 || (capacity > 0 && dst == nullptr)) {
    return 0;
  }
  tsk_wchar_t* out = capacity == 0 ? nullptr : dst;
  const Narrow narrow = narrowForCodePage(codePage);
  if (narrow.utf8) {
    const Transcoded t =
        unicode::utf8ToUtf16(src, static_cast<size_t>(n), out, static_cast<size_t>(capacity));
    return result(t.fits, t.count);
  }
  return withIconv(narrow.name, [&](const IconvPair& pair) {
    Output<tsk_wchar_t> output(out, static_cast<size_t>(capacity));
    const bool ok = iconvAll(pair.toWide(), src, static_cast<size_t>(n), output,
                             static_cast<tsk_wchar_t>(unicode::kReplacementChar));
    return result(ok, output.count());
  });
}

int wideToMultiByte(unsigned codePage, const tsk_wchar_t* src, int length, char* dst,
                    int capacity) {
  const long long n = sourceLength(src, length);
  if (n < 0 || capacity < 0 || (capacity > 0 && dst == nullptr)) {
    return 0;
  }
  char* out = capacity == 0 ? nullptr : dst;
  const Narrow narrow = narrowForCodePage(codePage);
  if (narrow.utf8) {
    const Transcoded t =
        unicode::utf16ToUtf8(src, static_cast<size_t>(n), out, static_cast<size_t>(capacity));
    return result(t.fits, t.count);
  }
  return withIconv(narrow.name, [&](const IconvPair& pair) {
    Output<char> output(out, static_cast<size_t>(capacity));
    const bool ok = iconvAll(pair.fromWide(), src, static_cast<size_t>(n), output, '?');
    return result(ok, output.count());
  });
}

namespace {

// Ill-formed input becomes U+FFFD here as in the explicit-length forms, so
// nothing is ever deferred.
template <typename In, typename Out, typename Convert>
int untilZero(const In* src, size_t bound, Out* dst, int capacity, Convert convert) {
  const unicode::Conversion c =
      convert(src, bound, unicode::End::kZeroOrLength, dst, static_cast<size_t>(capacity),
              unicode::OnIllFormed::kReplace);
  return c.status == unicode::Status::kDone ? static_cast<int>(c.written) : kNoRoom;
}

} // namespace

int utf8ToWideUntilZero(const char* src, size_t bound, tsk_wchar_t* dst, int capacity) {
  return untilZero(src, bound, dst, capacity, unicode::convertUtf8);
}

int wideToUtf8UntilZero(const tsk_wchar_t* src, size_t bound, char* dst, int capacity) {
  return untilZero(src, bound, dst, capacity, unicode::convertUtf16);
}

const unsigned char* mbsInc(const unsigned char* s) { return s + stepAt(currentNarrow(), s); }

const unsigned char* mbsDec(const unsigned char* start, const unsigned char* pos) {
  if (pos <= start) {
    return nullptr;
  }
  const Narrow narrow = currentNarrow();
  if (narrow.utf8) {
    // A character ends at pos only if its lead byte is at most 3 bytes back.
    const unsigned char* lead = pos - 1;
    while (lead > start && pos - lead < 4 && (*lead & 0xC0) == 0x80) {
      --lead;
    }
    const auto span = static_cast<size_t>(pos - lead);
    return narrowCharLength(narrow, lead, span) == span ? lead : pos - 1;
  }
  // In a single-byte codeset every byte is a character. In a multibyte one,
  // back to the nearest byte that ends every character it can belong to (a
  // character boundary follows it), crossing only the run of bytes that can
  // begin or continue a character; then forward from that boundary,
  // character by character, to pos.
  const NonFinalBytes& nonFinal = nonFinalBytes(narrow);
  if (!nonFinal.multibyte) {
    return pos - 1;
  }
  const unsigned char* p = pos - 1;
  while (p > start && nonFinal.canContinue[p[-1]]) {
    --p;
  }
  while (true) {
    const unsigned char* next = p + stepAt(narrow, p);
    if (next >= pos) {
      return next == pos ? p : pos - 1;
    }
    p = next;
  }
}

const unsigned char* mbsNInc(const unsigned char* s, size_t count) {
  const Narrow narrow = currentNarrow();
  for (; count > 0 && *s != 0; --count) {
    s += stepAt(narrow, s);
  }
  return s;
}

size_t mbsLen(const unsigned char* s) {
  const Narrow narrow = currentNarrow();
  size_t n = 0;
  for (; *s != 0; s += stepAt(narrow, s)) {
    ++n;
  }
  return n;
}

const unsigned char* mbsChr(const unsigned char* s, unsigned code) {
  const Narrow narrow = currentNarrow();
  for (;; s += stepAt(narrow, s)) {
    const unsigned n = stepAt(narrow, s);
    if (codeOf(s, n) == code) {
      return s;
    }
    if (*s == 0) {
      return nullptr;
    }
  }
}

const unsigned char* mbsRChr(const unsigned char* s, unsigned code) {
  const Narrow narrow = currentNarrow();
  const unsigned char* found = nullptr;
  for (;; s += stepAt(narrow, s)) {
    const unsigned n = stepAt(narrow, s);
    if (codeOf(s, n) == code) {
      found = s;
    }
    if (*s == 0) {
      return found;
    }
  }
}

const unsigned char* mbsStr(const unsigned char* s, const unsigned char* pattern) {
  const size_t length = std::strlen(reinterpret_cast<const char*>(pattern));
  const Narrow narrow = currentNarrow();
  for (;; s += stepAt(narrow, s)) {
    if (std::strncmp(reinterpret_cast<const char*>(s), reinterpret_cast<const char*>(pattern),
                     length) == 0) {
      return s;
    }
    if (*s == 0) {
      return nullptr;
    }
  }
}

unsigned char* mbsLwr(unsigned char* s) { return mapNarrow(s, false); }

unsigned char* mbsUpr(unsigned char* s) { return mapNarrow(s, true); }

bool isMbcSpace(unsigned code) {
  if (code < 0x100) {
    return code == ' ' || (code >= '\t' && code <= '\r');
  }
  // A multibyte code: the space characters of the encoding, such as the
  // ideographic space.
  unsigned char bytes[4];
  unsigned length = 0;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const unsigned byte = (code >> shift) & 0xFF;
    if (length > 0 || byte != 0) {
      bytes[length++] = static_cast<unsigned char>(byte);
    }
  }
  tsk_wchar_t unit = 0;
  const int n = multiByteToWide(kAnsiCodePage, reinterpret_cast<const char*>(bytes),
                                static_cast<int>(length), &unit, 1);
  return n == 1 && unit != unicode::kReplacementChar && isWideSpace(unit);
}

int mbLen(const char* s, size_t n) {
  if (s == nullptr || n == 0) {
    return s == nullptr ? 0 : -1;
  }
  if (*s == 0) {
    return 0;
  }
  const unsigned length =
      narrowCharLength(currentNarrow(), reinterpret_cast<const unsigned char*>(s), n);
  return length == 0 ? -1 : static_cast<int>(length);
}

int mbToWc(tsk_wchar_t* out, const char* s, size_t n) {
  const int length = mbLen(s, n);
  if (length <= 0) {
    if (length == 0 && s != nullptr && out != nullptr) {
      *out = 0;
    }
    return length;
  }
  tsk_wchar_t units[2];
  if (multiByteToWide(kAnsiCodePage, s, length, units, 2) != 1) {
    return -1;
  }
  if (out != nullptr) {
    *out = units[0];
  }
  return length;
}

bool isWideSpace(tsk_wchar_t unit) {
  switch (unit) {
  case 0x09:
  case 0x0A:
  case 0x0B:
  case 0x0C:
  case 0x0D:
  case 0x20:
  case 0xA0:
  case 0x1680:
  case 0x2028:
  case 0x2029:
  case 0x202F:
  case 0x205F:
  case 0x3000:
    return true;
  default:
    return unit >= 0x2000 && unit <= 0x200A;
  }
}

// The ranges of the wide digit test, in ascending order.
constexpr struct {
  tsk_wchar_t first, last;
} kWideDigitRanges[] = {
    {0x0030, 0x0039}, {0x00B2, 0x00B3}, {0x00B9, 0x00B9}, {0x0660, 0x0669}, {0x06F0, 0x06F9},
    {0x07C0, 0x07C9}, {0x0966, 0x096F}, {0x09E6, 0x09EF}, {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF},
    {0x0B66, 0x0B6F}, {0x0BE6, 0x0BEF}, {0x0C66, 0x0C6F}, {0x0CE6, 0x0CEF}, {0x0D66, 0x0D6F},
    {0x0DE6, 0x0DEF}, {0x0E50, 0x0E59}, {0x0ED0, 0x0ED9}, {0x0F20, 0x0F29}, {0x1040, 0x1049},
    {0x1090, 0x1099}, {0x17E0, 0x17E9}, {0x1810, 0x1819}, {0x1946, 0x194F}, {0x19D0, 0x19D9},
    {0x1A80, 0x1A89}, {0x1A90, 0x1A99}, {0x1B50, 0x1B59}, {0x1BB0, 0x1BB9}, {0x1C40, 0x1C49},
    {0x1C50, 0x1C59}, {0xA620, 0xA629}, {0xA8D0, 0xA8D9}, {0xA900, 0xA909}, {0xA9D0, 0xA9D9},
    {0xA9F0, 0xA9F9}, {0xAA50, 0xAA59}, {0xABF0, 0xABF9}, {0xFF10, 0xFF19},
};

bool isWideDigit(tsk_wchar_t unit) {
  for (const auto& range : kWideDigitRanges) {
    if (unit < range.first) {
      return false;
    }
    if (unit <= range.last) {
      return true;
    }
  }
  return false;
}

bool isWideControl(tsk_wchar_t unit) {
  if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
    return true;
  }
  // The format characters (general category Cf) of the BMP.
  switch (unit) {
  case 0x061C:
  case 0x06DD:
  case 0x070F:
  case 0x0890:
  case 0x0891:
  case 0x08E2:
  case 0x180E:
  case 0xFEFF:
    return true;
  default:
    return (unit >= 0x0600 && unit <= 0x0605) || (unit >= 0x200B && unit <= 0x200F) ||
           (unit >= 0x202A && unit <= 0x202E) || (unit >= 0x2060 && unit <= 0x2064) ||
           (unit >= 0x2066 && unit <= 0x206F) || (unit >= 0xFFF9 && unit <= 0xFFFB);
  }
}

tsk_wchar_t* wcsLwr(tsk_wchar_t* s) { return mapWide(s, false); }

tsk_wchar_t* wcsUpr(tsk_wchar_t* s) { return mapWide(s, true); }

const char* decimalPoint() {
  // The calling thread's locale, as for the narrow encoding above.
  const locale_t current = uselocale(static_cast<locale_t>(0));
  const char* point =
      current == LC_GLOBAL_LOCALE ? nl_langinfo(RADIXCHAR) : nl_langinfo_l(RADIXCHAR, current);
  return point != nullptr && *point != 0 ? point : ".";
}

} // namespace tsk::platform
