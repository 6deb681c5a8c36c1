// The formatter: one walk over the format, shared by the narrow and the wide
// form and by all three modes. Output goes to a sink that stores what fits in
// its room and counts everything, so that each mode is a decision on the
// final count.
#include "format.h"

#include "format_number.h"
#include "platform/text.h"
#include "utf.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tsk::text {

namespace {

using platform::kAnsiCodePage;

// Holds a va_list so that it can be passed on by reference.
struct Args {
  va_list ap;
};

template <typename C>
class Sink {
public:
  Sink(C* buf, size_t room) : buf_(buf), room_(buf == nullptr ? 0 : room) {}

  // Whether nothing more can be stored; from here on output is only counted.
  bool full() const { return count_ >= room_; }
  // Elements that can still be stored.
  size_t space() const { return full() ? 0 : room_ - count_; }
  // Where the next element goes; only while !full().
  C* next() const { return buf_ + count_; }

  void put(C c) {
    if (count_ < room_) {
      buf_[count_] = c;
    }
    ++count_;
  }
  void put(const C* s, size_t n) {
    const size_t k = n < space() ? n : space();
    if (k > 0) {
      std::memcpy(buf_ + count_, s, k * sizeof(C));
    }
    count_ += n;
  }
  void fill(C c, size_t n) {
    const size_t k = n < space() ? n : space();
    for (size_t i = 0; i < k; ++i) {
      buf_[count_ + i] = c;
    }
    count_ += n;
  }
  // Counts `n` elements that were stored at next() directly, or that are
  // not stored at all.
  void skip(size_t n) { count_ += n; }
  size_t count() const { return count_; }

private:
  C* buf_;
  size_t room_;
  size_t count_ = 0;
};

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
template <typename C>
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
    const int width = va_arg(args.ap, int);
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
      const int precision = va_arg(args.ap, int);
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

// The current locale's decimal point, in both widths.
struct DecimalPoint {
  char narrow[8] = {'.'};
  size_t narrowLength = 1;
  tsk_wchar_t wide[4] = {'.'};
  size_t wideLength = 1;
};

DecimalPoint decimalPoint() {
  DecimalPoint point;
  const char* text = platform::decimalPoint();
  const size_t length = std::strlen(text);
  if (length == 0 || length >= sizeof point.narrow) {
    return point;
  }
  if (length == 1 && static_cast<unsigned char>(text[0]) < 0x80) {
    point.narrow[0] = text[0];
    point.wide[0] = static_cast<tsk_wchar_t>(text[0]);
    return point;
  }
  int units =
      platform::multiByteToWide(kAnsiCodePage, text, static_cast<int>(length), point.wide, 4);
  if (units <= 0) {
    point.wide[0] = '.';
    units = 1;
  }
  std::memcpy(point.narrow, text, length);
  point.narrowLength = length;
  point.wideLength = static_cast<size_t>(units);
  return point;
}

const char* pointText(const DecimalPoint& point, size_t& length, const char*) {
  length = point.narrowLength;
  return point.narrow;
}
const tsk_wchar_t* pointText(const DecimalPoint& point, size_t& length, const tsk_wchar_t*) {
  length = point.wideLength;
  return point.wide;
}

// ASCII text into a sink of either width.
void putAscii(Sink<char>& sink, const char* s, size_t n) { sink.put(s, n); }

void putAscii(Sink<tsk_wchar_t>& sink, const char* s, size_t n) {
  const size_t k = n < sink.space() ? n : sink.space();
  for (size_t i = 0; i < k; ++i) {
    sink.put(static_cast<tsk_wchar_t>(s[i]));
  }
  sink.skip(n - k);
}

// Writes a formatted number, padded to the conversion's width: with spaces
// before it, zeros after its sign and prefix, or spaces after it under the
// - flag.
template <typename C>
void putNumber(Sink<C>& sink, const Conversion& conv, const NumberText& number) {
  DecimalPoint point;
  size_t pointLength = 0;
  const C* pointChars = nullptr;
  if (number.point) {
    point = decimalPoint();
    pointChars = pointText(point, pointLength, static_cast<const C*>(nullptr));
  }
  const size_t length = number.prefixLength + number.leadingZeros + number.digitsLength +
                        pointLength + number.fractionLength + number.trailingZeros +
                        number.suffixLength;
  const size_t width = conv.width > 0 ? static_cast<size_t>(conv.width) : 0;
  const size_t pad = width > length ? width - length : 0;
  if (!conv.minus && !number.zeroPadded) {
    sink.fill(C(' '), pad);
  }
  putAscii(sink, number.prefix, number.prefixLength);
  if (number.zeroPadded) {
    sink.fill(C('0'), pad);
  }
  sink.fill(C('0'), number.leadingZeros);
  putAscii(sink, number.digits, number.digitsLength);
  sink.put(pointChars, pointLength);
  putAscii(sink, number.fraction, number.fractionLength);
  sink.fill(C('0'), number.trailingZeros);
  putAscii(sink, number.suffix, number.suffixLength);
  if (conv.minus) {
    sink.fill(C(' '), pad);
  }
}

template <typename C>
bool putInteger(Sink<C>& sink, const Conversion& conv, Args& args) {
  const bool isSigned = conv.type == 'd' || conv.type == 'i';
  long long sv = 0;
  unsigned long long uv = 0;
  switch (conv.size) {
  case Size::kNone:
  case Size::kInt32:
    sv = va_arg(args.ap, int);
    uv = static_cast<unsigned>(sv);
    break;
  case Size::kChar:
    sv = static_cast<signed char>(va_arg(args.ap, int));
    uv = static_cast<unsigned char>(sv);
    break;
  case Size::kShort:
    sv = static_cast<short>(va_arg(args.ap, int));
    uv = static_cast<unsigned short>(sv);
    break;
  case Size::kLong:
    sv = va_arg(args.ap, long);
    uv = static_cast<unsigned long>(sv);
    break;
  case Size::kLongLong:
  case Size::kLongDouble:
  case Size::kInt64:
    sv = va_arg(args.ap, long long);
    uv = static_cast<unsigned long long>(sv);
    break;
  case Size::kMax:
    sv = va_arg(args.ap, intmax_t);
    uv = static_cast<uintmax_t>(sv);
    break;
  case Size::kSize:
  case Size::kPointer:
    uv = va_arg(args.ap, size_t);
    sv = static_cast<std::make_signed_t<size_t>>(uv);
    break;
  case Size::kPtrdiff:
    sv = va_arg(args.ap, ptrdiff_t);
    uv = static_cast<std::make_unsigned_t<ptrdiff_t>>(sv);
    break;
  case Size::kWide:
    return false;
  }
  const bool negative = isSigned && sv < 0;
  const unsigned long long magnitude = !isSigned  ? uv
                                       : negative ? 0ULL - static_cast<unsigned long long>(sv)
                                                  : static_cast<unsigned long long>(sv);
  IntegerDigits room;
  putNumber(sink, conv, integerText(conv, negative, magnitude, room));
  return true;
}

template <typename C>
bool putFloat(Sink<C>& sink, const Conversion& conv, Args& args) {
  FloatDigits room;
  NumberText number;
  bool ok = false;
  if (conv.size == Size::kLongDouble) {
    if constexpr (platform::kLongDoubleIsDouble) {
      // The platform's long double is a double, and callers pass one.
      ok = floatText(conv, va_arg(args.ap, double), room, number);
    } else {
      ok = floatText(conv, va_arg(args.ap, long double), room, number);
    }
  } else if (conv.size == Size::kNone || conv.size == Size::kLong) {
    ok = floatText(conv, va_arg(args.ap, double), room, number);
  }
  if (ok) {
    putNumber(sink, conv, number);
  }
  return ok;
}

// %p: the address as upper-case hexadecimal digits, 16 of them unless a
// precision says otherwise.
template <typename C>
bool putPointer(Sink<C>& sink, Conversion conv, Args& args) {
  const auto value = reinterpret_cast<uintptr_t>(va_arg(args.ap, void*));
  conv.type = 'X';
  if (conv.precision < 0) {
    conv.precision = 2 * sizeof(void*);
  }
  IntegerDigits room;
  putNumber(sink, conv, integerText(conv, false, value, room));
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

// Text of the format's own width: precision counts raw elements.
template <typename T>
size_t boundedLength(const T* s, int precision) {
  size_t n = 0;
  while ((precision < 0 || n < static_cast<size_t>(precision)) && s[n] != 0) {
    ++n;
  }
  return n;
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
  const size_t n = boundedLength(s, conv.precision);
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

template <typename C>
bool putString(Sink<C>& sink, const Conversion& conv, Args& args) {
  bool valid;
  const bool wide = wideArgument<C>(conv, valid);
  if (!valid) {
    return false;
  }
  using Other = std::conditional_t<std::is_same_v<C, char>, tsk_wchar_t, char>;
  if (wide == std::is_same_v<C, tsk_wchar_t>) {
    return putSameWidth(sink, conv, va_arg(args.ap, const C*));
  }
  const Other* s = va_arg(args.ap, const Other*);
  if (s == nullptr) {
    return putSameWidth<C>(sink, conv, nullptr);
  }
  return putOtherWidth(sink, conv, s);
}

template <typename C>
bool putChar(Sink<C>& sink, const Conversion& conv, Args& args) {
  bool valid;
  const bool wide = wideArgument<C>(conv, valid);
  if (!valid) {
    return false;
  }
  const int value = va_arg(args.ap, int);
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
    sink.put(out, n);
    return true;
  });
}

// Formats into the sink; false on a formatting error.
template <typename C>
bool run(Sink<C>& sink, const C* format, va_list ap) {
  Args args;
  va_copy(args.ap, ap);
  bool ok = true;
  for (const C* p = format; *p != 0 && ok; ++p) {
    if (*p != '%') {
      sink.put(*p);
      continue;
    }
    ++p;
    Conversion conv;
    if (!parseConversion(p, args, conv)) {
      ok = false;
      break;
    }
    switch (conv.type) {
    case '%':
      sink.put(C('%'));
      break;
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      ok = putInteger(sink, conv, args);
      break;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      ok = putFloat(sink, conv, args);
      break;
    case 'p':
      ok = putPointer(sink, conv, args);
      break;
    case 's':
    case 'S':
      ok = putString(sink, conv, args);
      break;
    case 'c':
    case 'C':
      ok = putChar(sink, conv, args);
      break;
    default:
      ok = false;
      break;
    }
  }
  va_end(args.ap);
  return ok && sink.count() <= static_cast<size_t>(INT_MAX);
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
