// The formatter: one walk over the format, shared by the narrow and the wide
// form and by all three modes. Output goes to a sink that stores what fits in
// its room and counts everything, so that each mode is a decision on the
// final count. The literal text between conversions is found with a block
// scan and copied whole; numbers come from the library's own digit code
// (format_number.h); the locale's decimal point is looked up once per call,
// and only by a call that formats a floating-point number.
#include "format.h"

#include "format_number.h"
#include "platform/text.h"
#include "utf.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tsk::text {

namespace {

using platform::kAnsiCodePage;

// The arguments are read through a reader that `run` makes over its
// va_list: args(As<T>()) is va_arg(list, T). Every conversion advances the
// one list, and the list is read in place rather than through a copy, which
// would cost a stall on the stores that va_start has just made.
template <typename T>
struct As {
  using type = T;
};

template <typename T, typename Args>
T nextArg(Args& args) {
  return args(As<T>());
}

// No text is longer than this; a room past it is never reached.
constexpr size_t kMaxText = INT_MAX;

// Copies `n` elements. The short pieces of a format (a word, a literal run)
// are copied inline in at most two overlapping moves of a fixed size, which
// costs less than a call.
template <typename C>
void copyElements(C* to, const C* from, size_t n) {
  const size_t bytes = n * sizeof(C);
  auto* d = reinterpret_cast<char*>(to);
  const auto* s = reinterpret_cast<const char*>(from);
  if (bytes > 16) {
    std::memcpy(d, s, bytes);
  } else if (bytes >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + bytes - 8, s + bytes - 8, 8);
  } else if (bytes >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + bytes - 4, s + bytes - 4, 4);
  } else if (bytes > 0) {
    d[0] = s[0];
    d[bytes / 2] = s[bytes / 2];
    d[bytes - 1] = s[bytes - 1];
  }
}

template <typename C>
class Sink {
public:
  Sink(C* buf, size_t room)
      : begin_(buf), next_(buf),
        end_(buf == nullptr ? buf : buf + (room < kMaxText ? room : kMaxText + 1)) {}

  // Whether nothing more can be stored; from here on output is only counted.
  bool full() const { return next_ == end_; }
  // Elements that can still be stored.
  size_t space() const { return static_cast<size_t>(end_ - next_); }

  void put(C c) {
    if (next_ != end_) {
      *next_++ = c;
    } else {
      ++dropped_;
    }
  }
  void put(const C* s, size_t n) {
    const size_t k = stored(n);
    copyElements(next_, s, k);
    next_ += k;
  }
  // ASCII text, widened element by element for a wide sink.
  void putAscii(const char* s, size_t n) {
    if constexpr (std::is_same_v<C, char>) {
      put(s, n);
    } else {
      const size_t k = stored(n);
      for (size_t i = 0; i < k; ++i) {
        next_[i] = static_cast<C>(s[i]);
      }
      next_ += k;
    }
  }
  void fill(C c, size_t n) {
    const size_t k = stored(n);
    for (size_t i = 0; i < k; ++i) {
      next_[i] = c;
    }
    next_ += k;
  }
  void putDigits(const IntegerText& number) {
    C digits[kMaxIntegerDigits];
    writeDigits(number, digits + number.digits);
    put(digits, number.digits);
  }
  // Room for the next `n` elements, taken at once, or null when they do not
  // all fit.
  C* claim(size_t n) {
    if (n > space() || next_ == nullptr) {
      return nullptr;
    }
    C* const room = next_;
    next_ += n;
    return room;
  }
  // Counts `n` elements that are not stored.
  void skip(size_t n) { dropped_ += n; }
  size_t count() const { return static_cast<size_t>(next_ - begin_) + dropped_; }

private:
  // Of `n` elements to put, how many fit; the rest is counted as dropped.
  size_t stored(size_t n) {
    const size_t k = n < space() ? n : space();
    dropped_ += n - k;
    return k;
  }

  C* begin_;
  C* next_;
  C* end_;
  size_t dropped_ = 0;
};

// Output into room claimed from a sink, known to hold all of it: what a
// conversion whose whole text fits writes through, without a check per piece.
template <typename C>
class Direct {
public:
  explicit Direct(C* room) : next_(room) {}

  void put(const C* s, size_t n) {
    copyElements(next_, s, n);
    next_ += n;
  }
  void putAscii(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      next_[i] = static_cast<C>(s[i]);
    }
    next_ += n;
  }
  void fill(C c, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      next_[i] = c;
    }
    next_ += n;
  }
  void putDigits(const IntegerText& number) {
    next_ += number.digits;
    writeDigits(number, next_);
  }

private:
  C* next_;
};

// ---- Literal text ---------------------------------------------------------------

// The first '%' in [p, end), or end: sixteen bytes at a time where the
// processor has the instructions, reading nothing past `end`.
template <typename C>
const C* findPercent(const C* p, const C* end) {
#if defined(__SSE2__)
  constexpr size_t kLanes = 16 / sizeof(C);
  const __m128i percent = sizeof(C) == 1 ? _mm_set1_epi8('%') : _mm_set1_epi16('%');
  for (; static_cast<size_t>(end - p) >= kLanes; p += kLanes) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits =
        sizeof(C) == 1 ? _mm_cmpeq_epi8(block, percent) : _mm_cmpeq_epi16(block, percent);
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (bits != 0) {
      return p + static_cast<size_t>(__builtin_ctz(bits)) / sizeof(C);
    }
  }
#endif
  while (p != end && *p != '%') {
    ++p;
  }
  return p;
}

enum class Size {
  kNone,
  kChar,
  kShort,
  kLong,
  kLongLong,
  kLongDouble,
  kMax,
  kSize,
  kPtrdiff,
  kInt32,
  kInt64,
  kPointer,
  kWide
};

// One conversion of the format: flags, width, precision, size and type.
struct Conversion : ConversionSpec {
  Size size = Size::kNone;
};

// Reads a decimal number, or -1 if it passes INT_MAX.
template <typename C>
int readNumber(const C*& p) {
  long long n = 0;
  while (*p >= '0' && *p <= '9') {
    n = n * 10 + (*p - '0');
    if (n > INT_MAX) {
      return -1;
    }
    ++p;
  }
  return static_cast<int>(n);
}

// Parses the conversion after a '%'; false if it is malformed. `p` ends on
// the conversion character.
template <typename C, typename Args>
bool parseConversion(const C*& p, Args& args, Conversion& conv) {
  for (;; ++p) {
    switch (*p) {
    case '-':
      conv.minus = true;
      continue;
    case '+':
      conv.plus = true;
      continue;
    case ' ':
      conv.space = true;
      continue;
    case '#':
      conv.hash = true;
      continue;
    case '0':
      conv.zero = true;
      continue;
    default:
      break;
    }
    break;
  }
  if (*p == '*') {
    ++p;
    const int width = nextArg<int>(args);
    if (width < 0) {
      if (width == INT_MIN) {
        return false;
      }
      conv.minus = true;
      conv.width = -width;
    } else {
      conv.width = width;
    }
  } else if (*p >= '0' && *p <= '9') {
    conv.width = readNumber(p);
    if (conv.width < 0) {
      return false;
    }
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      ++p;
      const int precision = nextArg<int>(args);
      conv.precision = precision < 0 ? -1 : precision;
    } else {
      conv.precision = readNumber(p);
      if (conv.precision < 0) {
        return false;
      }
    }
  }
  switch (*p) {
  case 'h':
    ++p;
    conv.size = *p == 'h' ? (++p, Size::kChar) : Size::kShort;
    break;
  case 'l':
    ++p;
    conv.size = *p == 'l' ? (++p, Size::kLongLong) : Size::kLong;
    break;
  case 'L':
    ++p;
    conv.size = Size::kLongDouble;
    break;
  case 'j':
    ++p;
    conv.size = Size::kMax;
    break;
  case 'z':
    ++p;
    conv.size = Size::kSize;
    break;
  case 't':
    ++p;
    conv.size = Size::kPtrdiff;
    break;
  case 'w':
    ++p;
    conv.size = Size::kWide;
    break;
  case 'I':
    if (p[1] == '6' && p[2] == '4') {
      p += 3;
      conv.size = Size::kInt64;
    } else if (p[1] == '3' && p[2] == '2') {
      p += 3;
      conv.size = Size::kInt32;
    } else {
      ++p;
      conv.size = Size::kPointer;
    }
    break;
  default:
    break;
  }
  const auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<C>>(*p));
  if (code == 0 || code > 0x7F) {
    return false;
  }
  conv.type = static_cast<char>(*p);
  return true;
}

// ---- Text of the other width ------------------------------------------------
//
// Cross-width text is converted piece by piece through small stack buffers
// and handed to an `emit(const C* text, size_t n)` callback, which returns
// false to stop early. Pieces end on character boundaries. A walk is
// deterministic, so a measuring walk and a writing walk over the same text
// agree.

constexpr size_t kWidePiece = 128;                        // UTF-16 units per piece
constexpr size_t kNarrowPieceBytes = 4 * kWidePiece + 16; // their narrow form
constexpr size_t kNarrowPiece = 256;                      // narrow bytes per piece

enum class Walk { kDone, kStopped, kFailed };

// Wide text to the narrow encoding. With limit < 0 the whole zero-terminated
// string, in pieces. Otherwise character by character until the next one
// would take the output past `limit` bytes; then no unit past the first
// `limit` is read (every unit gives at least one byte), so the array needs
// no terminator when it holds `limit` units.
template <typename Emit>
Walk walkWide(const tsk_wchar_t* s, int limit, Emit emit) {
  char out[kNarrowPieceBytes];
  if (limit < 0) {
    const size_t length = wideLength(s);
    for (size_t i = 0; i < length;) {
      size_t n = length - i < kWidePiece ? length - i : kWidePiece;
      if (i + n < length && isHighSurrogate(s[i + n - 1]) && isLowSurrogate(s[i + n])) {
        --n; // keep the pair together
      }
      const int k = platform::wideToMultiByte(kAnsiCodePage, s + i, static_cast<int>(n), out,
                                              static_cast<int>(sizeof out));
      if (k <= 0) {
        return Walk::kFailed;
      }
      if (!emit(out, static_cast<size_t>(k))) {
        return Walk::kStopped;
      }
      i += n;
    }
    return Walk::kDone;
  }
  const size_t span = wideLength(s, static_cast<size_t>(limit));
  size_t written = 0;
  for (size_t i = 0; i < span;) {
    const size_t units = i + 1 < span && isHighSurrogate(s[i]) && isLowSurrogate(s[i + 1]) ? 2 : 1;
    const int k = platform::wideToMultiByte(kAnsiCodePage, s + i, static_cast<int>(units), out,
                                            static_cast<int>(sizeof out));
    if (k <= 0) {
      return Walk::kFailed;
    }
    written += static_cast<size_t>(k);
    if (written > static_cast<size_t>(limit)) {
      break;
    }
    if (!emit(out, static_cast<size_t>(k))) {
      return Walk::kStopped;
    }
    i += units;
  }
  return Walk::kDone;
}

// The length of the narrow character at p, `end` being the first byte not
// to read (null: the text is zero-terminated). Never reaches past a
// terminator.
size_t narrowStep(const char* p, const char* end) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  const auto step = static_cast<size_t>(platform::mbsInc(u) - u);
  if (end != nullptr && step > static_cast<size_t>(end - p)) {
    return static_cast<size_t>(end - p);
  }
  return step;
}

// Narrow text to UTF-16: the `length` bytes at s (length < 0: up to the
// terminator) in pieces; or, with limit >= 0, character by character while
// the output stays within `limit` units, reading no character once the
// output has reached the limit.
template <typename Emit>
Walk walkNarrow(const char* s, long long length, int limit, Emit emit) {
  tsk_wchar_t out[kNarrowPiece];
  const char* end = length < 0 ? nullptr : s + length;
  const auto atEnd = [&](const char* p) { return end != nullptr ? p >= end : *p == 0; };
  if (limit < 0) {
    for (const char* p = s; !atEnd(p);) {
      const char* q = p;
      while (!atEnd(q)) {
        const size_t step = narrowStep(q, end);
        if (static_cast<size_t>(q - p) + step > kNarrowPiece) {
          break;
        }
        q += step;
      }
      const int k = platform::multiByteToWide(kAnsiCodePage, p, static_cast<int>(q - p), out,
                                              static_cast<int>(kNarrowPiece));
      if (k <= 0) {
        return Walk::kFailed;
      }
      if (!emit(out, static_cast<size_t>(k))) {
        return Walk::kStopped;
      }
      p = q;
    }
    return Walk::kDone;
  }
  size_t written = 0;
  for (const char* p = s; written < static_cast<size_t>(limit) && !atEnd(p);) {
    const size_t step = narrowStep(p, end);
    const int k = platform::multiByteToWide(kAnsiCodePage, p, static_cast<int>(step), out,
                                            static_cast<int>(kNarrowPiece));
    if (k <= 0) {
      return Walk::kFailed;
    }
    written += static_cast<size_t>(k);
    if (written > static_cast<size_t>(limit)) {
      break;
    }
    if (!emit(out, static_cast<size_t>(k))) {
      return Walk::kStopped;
    }
    p += step;
  }
  return Walk::kDone;
}

// Measures cross-width text: false if the platform refuses a conversion or
// the text passes INT_MAX elements.
template <typename Walker>
bool measure(Walker walk, size_t& n) {
  n = 0;
  const Walk w = walk([&](const auto*, size_t k) {
    n += k;
    return n <= static_cast<size_t>(INT_MAX);
  });
  return w == Walk::kDone;
}

// Writes cross-width text of `n` elements (as measured) to the sink; once
// the sink is full the rest is only counted.
template <typename C, typename Walker>
bool write(Sink<C>& sink, size_t n, Walker walk) {
  if (sink.full()) {
    sink.skip(n);
    return true;
  }
  size_t written = 0;
  const Walk w = walk([&](const C* text, size_t k) {
    sink.put(text, k);
    written += k;
    return !sink.full();
  });
  if (w == Walk::kFailed || written > n) {
    return false;
  }
  sink.skip(n - written);
  return true;
}

// ---- Numbers ------------------------------------------------------------------

// The current locale's decimal point in both widths, looked up at the first
// floating-point conversion of a call and kept for the rest of it.
class DecimalPoint {
public:
  void get(const char*& text, size_t& length) {
    lookUp();
    text = narrow_;
    length = narrowLength_;
  }
  void get(const tsk_wchar_t*& text, size_t& length) {
    lookUp();
    text = wide_;
    length = wideLength_;
  }

private:
  void lookUp() {
    if (known_) {
      return;
    }
    known_ = true;
    const char* text = platform::decimalPoint();
    const size_t length = std::strlen(text);
    if (length == 0 || length >= sizeof narrow_) {
      return;
    }
    if (length == 1 && static_cast<unsigned char>(text[0]) < 0x80) {
      narrow_[0] = text[0];
      wide_[0] = static_cast<tsk_wchar_t>(text[0]);
      return;
    }
    const int units =
        platform::multiByteToWide(kAnsiCodePage, text, static_cast<int>(length), wide_, 4);
    if (units > 0) {
      wideLength_ = static_cast<size_t>(units);
    }
    std::memcpy(narrow_, text, length);
    narrowLength_ = length;
  }

  bool known_ = false;
  char narrow_[8] = {'.'};
  size_t narrowLength_ = 1;
  tsk_wchar_t wide_[4] = {'.'};
  size_t wideLength_ = 1;
};

// Writes a number of `length` elements padded to the conversion's width:
// with spaces before it, zeros after its sign and prefix (`zeroPadded`), or
// spaces after it under the - flag. `body(out, zeros)` writes the number
// with `zeros` more zeros after its prefix. A text that fits the sink's room
// is written straight into it.
template <typename C, typename Body>
void putPadded(Sink<C>& sink, const Conversion& conv, bool zeroPadded, size_t length, Body body) {
  const size_t width = conv.width > 0 ? static_cast<size_t>(conv.width) : 0;
  const size_t pad = width > length ? width - length : 0;
  const auto write = [&](auto& out) {
    if (!conv.minus && !zeroPadded) {
      out.fill(C(' '), pad);
    }
    body(out, zeroPadded ? pad : 0);
    if (conv.minus) {
      out.fill(C(' '), pad);
    }
  };
  if (C* room = sink.claim(length + pad)) {
    Direct<C> out(room);
    write(out);
  } else {
    write(sink);
  }
}

template <typename C>
void putNumber(Sink<C>& sink, const Conversion& conv, const IntegerText& number) {
  const size_t length = number.prefixLength + number.zeros + number.digits;
  putPadded(sink, conv, number.zeroPadded, length, [&](auto& out, size_t zeros) {
    out.putAscii(number.prefix, number.prefixLength);
    out.fill(C('0'), zeros + number.zeros);
    out.putDigits(number);
  });
}

// `point` is the decimal point, for a number that has one.
template <typename C>
void putNumber(Sink<C>& sink, const Conversion& conv, const NumberText& number,
               DecimalPoint& point) {
  const C* pointChars = nullptr;
  size_t pointLength = 0;
  if (number.point) {
    point.get(pointChars, pointLength);
  }
  const size_t length = number.prefixLength + number.leadingZeros + number.digitsLength +
                        pointLength + number.fractionLength + number.trailingZeros +
                        number.suffixLength;
  putPadded(sink, conv, number.zeroPadded, length, [&](auto& out, size_t zeros) {
    out.putAscii(number.prefix, number.prefixLength);
    out.fill(C('0'), zeros + number.leadingZeros);
    out.putAscii(number.digits, number.digitsLength);
    out.put(pointChars, pointLength);
    out.putAscii(number.fraction, number.fractionLength);
    out.fill(C('0'), number.trailingZeros);
    out.putAscii(number.suffix, number.suffixLength);
  });
}

template <typename C, typename Args>
bool putInteger(Sink<C>& sink, const Conversion& conv, Args& args) {
  const bool isSigned = conv.type == 'd' || conv.type == 'i';
  long long sv = 0;
  unsigned long long uv = 0;
  switch (conv.size) {
  case Size::kNone:
  case Size::kInt32:
    sv = nextArg<int>(args);
    uv = static_cast<unsigned>(sv);
    break;
  case Size::kChar:
    sv = static_cast<signed char>(nextArg<int>(args));
    uv = static_cast<unsigned char>(sv);
    break;
  case Size::kShort:
    sv = static_cast<short>(nextArg<int>(args));
    uv = static_cast<unsigned short>(sv);
    break;
  case Size::kLong:
    sv = nextArg<long>(args);
    uv = static_cast<unsigned long>(sv);
    break;
  case Size::kLongLong:
  case Size::kLongDouble:
  case Size::kInt64:
    sv = nextArg<long long>(args);
    uv = static_cast<unsigned long long>(sv);
    break;
  case Size::kMax:
    sv = nextArg<intmax_t>(args);
    uv = static_cast<uintmax_t>(sv);
    break;
  case Size::kSize:
  case Size::kPointer:
    uv = nextArg<size_t>(args);
    sv = static_cast<std::make_signed_t<size_t>>(uv);
    break;
  case Size::kPtrdiff:
    sv = nextArg<ptrdiff_t>(args);
    uv = static_cast<std::make_unsigned_t<ptrdiff_t>>(sv);
    break;
  case Size::kWide:
    return false;
  }
  const bool negative = isSigned && sv < 0;
  const unsigned long long magnitude = !isSigned  ? uv
                                       : negative ? 0ULL - static_cast<unsigned long long>(sv)
                                                  : static_cast<unsigned long long>(sv);
  putNumber(sink, conv, integerText(conv, negative, magnitude));
  return true;
}

template <typename C, typename Args>
bool putFloat(Sink<C>& sink, const Conversion& conv, Args& args, DecimalPoint& point) {
  FloatDigits room;
  NumberText number;
  bool ok = false;
  if (conv.size == Size::kLongDouble) {
    if constexpr (platform::kLongDoubleIsDouble) {
      // The platform's long double is a double, and callers pass one.
      ok = floatText(conv, nextArg<double>(args), room, number);
    } else {
      ok = floatText(conv, nextArg<long double>(args), room, number);
    }
  } else if (conv.size == Size::kNone || conv.size == Size::kLong) {
    ok = floatText(conv, nextArg<double>(args), room, number);
  }
  if (ok) {
    putNumber(sink, conv, number, point);
  }
  return ok;
}

// %p: the address as upper-case hexadecimal digits, 16 of them unless a
// precision says otherwise.
template <typename C, typename Args>
bool putPointer(Sink<C>& sink, Conversion conv, Args& args) {
  const auto value = reinterpret_cast<uintptr_t>(nextArg<void*>(args));
  conv.type = 'X';
  if (conv.precision < 0) {
    conv.precision = 2 * sizeof(void*);
  }
  putNumber(sink, conv, integerText(conv, false, value));
  return true;
}

// ---- Text -------------------------------------------------------------------

// Pads `length` elements of text out to the conversion's width: spaces (or
// zeros) before, or spaces after under the - flag.
template <typename C, typename Body>
bool padded(Sink<C>& sink, const Conversion& conv, size_t length, Body body) {
  const size_t width = conv.width > 0 ? static_cast<size_t>(conv.width) : 0;
  const size_t pad = width > length ? width - length : 0;
  if (!conv.minus) {
    sink.fill(conv.zero ? C('0') : C(' '), pad);
  }
  const bool ok = body();
  if (conv.minus) {
    sink.fill(C(' '), pad);
  }
  return ok;
}

// The length of text of the format's own width, no more than the precision
// (which counts raw elements) and reading nothing past it.
size_t textLength(const char* s, int precision) {
  if (precision < 0) {
    return std::strlen(s);
  }
  const void* end = std::memchr(s, 0, static_cast<size_t>(precision));
  return end == nullptr ? static_cast<size_t>(precision)
                        : static_cast<size_t>(static_cast<const char*>(end) - s);
}

size_t textLength(const tsk_wchar_t* s, int precision) {
  return precision < 0 ? wideLength(s) : wideLength(s, static_cast<size_t>(precision));
}

template <typename C>
const C* nullText();
template <>
const char* nullText<char>() {
  return "(null)";
}
template <>
const tsk_wchar_t* nullText<tsk_wchar_t>() {
  return TSK_W("(null)");
}

// Whether a %s / %c style argument is wide. False in `valid` for a size
// prefix that text does not take.
template <typename C>
bool wideArgument(const Conversion& conv, bool& valid) {
  valid = true;
  const bool upper = conv.type == 'S' || conv.type == 'C';
  switch (conv.size) {
  case Size::kNone:
    return std::is_same_v<C, tsk_wchar_t> != upper;
  case Size::kShort:
    return false;
  case Size::kLong:
  case Size::kWide:
    return true;
  default:
    valid = false;
    return false;
  }
}

template <typename C>
bool putSameWidth(Sink<C>& sink, const Conversion& conv, const C* s) {
  if (s == nullptr) {
    s = nullText<C>();
  }
  const size_t n = textLength(s, conv.precision);
  return padded(sink, conv, n, [&] {
    sink.put(s, n);
    return true;
  });
}

// Text of the other width, measured first (for the padding) and then
// written; a failed conversion is a formatting error.
template <typename C, typename Other>
bool putOtherWidth(Sink<C>& sink, const Conversion& conv, const Other* s) {
  const auto walk = [&](auto emit) {
    if constexpr (std::is_same_v<Other, char>) {
      return walkNarrow(s, -1, conv.precision, emit);
    } else {
      return walkWide(s, conv.precision, emit);
    }
  };
  size_t n = 0;
  if (!measure(walk, n)) {
    return false;
  }
  return padded(sink, conv, n, [&] { return write(sink, n, walk); });
}

template <typename C, typename Args>
bool putString(Sink<C>& sink, const Conversion& conv, Args& args) {
  bool valid;
  const bool wide = wideArgument<C>(conv, valid);
  if (!valid) {
    return false;
  }
  using Other = std::conditional_t<std::is_same_v<C, char>, tsk_wchar_t, char>;
  if (wide == std::is_same_v<C, tsk_wchar_t>) {
    return putSameWidth(sink, conv, nextArg<const C*>(args));
  }
  const Other* s = nextArg<const Other*>(args);
  if (s == nullptr) {
    return putSameWidth<C>(sink, conv, nullptr);
  }
  return putOtherWidth(sink, conv, s);
}

template <typename C, typename Args>
bool putChar(Sink<C>& sink, const Conversion& conv, Args& args) {
  bool valid;
  const bool wide = wideArgument<C>(conv, valid);
  if (!valid) {
    return false;
  }
  const int value = nextArg<int>(args);
  C out[8];
  size_t n = 1;
  if (wide == std::is_same_v<C, tsk_wchar_t>) {
    out[0] = static_cast<C>(value);
  } else if constexpr (std::is_same_v<C, char>) {
    const auto unit = static_cast<tsk_wchar_t>(value);
    const int k = platform::wideToMultiByte(kAnsiCodePage, &unit, 1, out, sizeof out);
    n = k > 0 ? static_cast<size_t>(k) : 0;
  } else {
    const auto byte = static_cast<char>(value);
    const int k = platform::multiByteToWide(kAnsiCodePage, &byte, 1, out, 8);
    n = k > 0 ? static_cast<size_t>(k) : 0;
  }
  return padded(sink, conv, n, [&] {
    for (size_t i = 0; i < n; ++i) { // a character is a few elements at most
      sink.put(out[i]);
    }
    return true;
  });
}

// Writes one conversion; false on a formatting error.
template <typename C, typename Args>
bool putConversion(Sink<C>& sink, const Conversion& conv, Args& args, DecimalPoint& point) {
  switch (conv.type) {
  case '%':
    sink.put(C('%'));
    return true;
  case 'd':
  case 'i':
  case 'u':
  case 'o':
  case 'x':
  case 'X':
    return putInteger(sink, conv, args);
  case 'e':
  case 'E':
  case 'f':
  case 'F':
  case 'g':
  case 'G':
  case 'a':
  case 'A':
    return putFloat(sink, conv, args, point);
  case 'p':
    return putPointer(sink, conv, args);
  case 's':
  case 'S':
    return putString(sink, conv, args);
  case 'c':
  case 'C':
    return putChar(sink, conv, args);
  default:
    return false;
  }
}

// Formats into the sink; false on a formatting error. Literal text goes to
// the sink a run at a time.
template <typename C>
bool run(Sink<C>& sink, const C* format, va_list ap) {
  const auto args = [&ap](auto type) { return va_arg(ap, typename decltype(type)::type); };
  DecimalPoint point;
  bool ok = true;
  const C* const end = format + textLength(format, -1);
  for (const C* p = format;; ++p) {
    const C* percent = findPercent(p, end);
    sink.put(p, static_cast<size_t>(percent - p));
    if (percent == end) {
      break;
    }
    p = percent + 1;
    Conversion conv;
    if (!parseConversion(p, args, conv) || !putConversion(sink, conv, args, point)) {
      ok = false;
      break;
    }
  }
  return ok && sink.count() <= kMaxText;
}

template <typename C>
int length(const C* format, va_list args);

template <typename C>
int bounded(C* buf, size_t room, const C* format, va_list args) {
  if (buf == nullptr && room == 0) {
    return length(format, args); // as Windows' _vsnprintf(NULL, 0, ...)
  }
  if (format == nullptr || buf == nullptr) {
    return -1;
  }
  Sink<C> sink(buf, room);
  if (!run(sink, format, args)) {
    return -1;
  }
  const size_t n = sink.count();
  if (n < room) {
    buf[n] = 0;
    return static_cast<int>(n);
  }
  return n == room ? static_cast<int>(n) : -1;
}

template <typename C>
int length(const C* format, va_list args) {
  if (format == nullptr) {
    return -1;
  }
  Sink<C> sink(nullptr, 0);
  return run(sink, format, args) ? static_cast<int>(sink.count()) : -1;
}

template <typename C>
int secure(C* buf, size_t capacity, const C* format, va_list args) {
  if (buf == nullptr || capacity == 0) {
    return -1;
  }
  if (format == nullptr) {
    buf[0] = 0;
    return -1;
  }
  Sink<C> sink(buf, capacity);
  if (!run(sink, format, args) || sink.count() >= capacity) {
    buf[0] = 0;
    return -1;
  }
  buf[sink.count()] = 0;
  return static_cast<int>(sink.count());
}

} // namespace

int vformatBounded(char* buf, size_t room, const char* format, va_list args) {
  return bounded(buf, room, format, args);
}
int vformatBounded(tsk_wchar_t* buf, size_t room, const tsk_wchar_t* format, va_list args) {
  return bounded(buf, room, format, args);
}
int vformatLength(const char* format, va_list args) { return length(format, args); }
int vformatLength(const tsk_wchar_t* format, va_list args) { return length(format, args); }
int vformatSecure(char* buf, size_t capacity, const char* format, va_list args) {
  return secure(buf, capacity, format, args);
}
int vformatSecure(tsk_wchar_t* buf, size_t capacity, const tsk_wchar_t* format, va_list args) {
  return secure(buf, capacity, format, args);
}

} // namespace tsk::text
