// Integer and floating-point conversions of the formatter (see the header for
// the rules). Floating-point digits come from std::to_chars with a precision,
// which rounds the exact binary value to nearest, ties to even; precisions
// beyond the last digit that can be non-zero become counted trailing zeros.
#include "format_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

namespace tsk::text {

namespace {

template <typename Text>
void setPrefix(Text& out, const char* text) {
  while (*text != 0 && out.prefixLength < sizeof out.prefix) {
    out.prefix[out.prefixLength++] = *text++;
  }
}

// The sign of a signed conversion: '-' for a negative value, else what the
// + or space flag asks for.
template <typename Text>
void setSign(Text& out, const ConversionSpec& spec, bool negative) {
  if (negative) {
    setPrefix(out, "-");
  } else if (spec.plus) {
    setPrefix(out, "+");
  } else if (spec.space) {
    setPrefix(out, " ");
  }
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void toUpper(char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    text[i] = upper(text[i]);
  }
}

// ---- Floating point ------------------------------------------------------------

// Fraction digits past which a value of type T has only zeros: the exact
// decimal form of its smallest subnormal (1074 for a double).
template <typename T>
constexpr int kExactFractionDigits =
    std::numeric_limits<T>::digits - std::numeric_limits<T>::min_exponent;

// Hexadecimal fraction digits past which every value has only zeros.
template <typename T>
constexpr int kExactHexDigits = (std::numeric_limits<T>::digits + 3) / 4;

// Room for the longest text std::to_chars gives with those precisions: every
// integer digit of the largest value, the point, the fraction, an exponent.
template <typename T>
constexpr size_t kLongestDigits =
    std::numeric_limits<T>::max_exponent10 + 1 + 1 + kExactFractionDigits<T> + 16;

static_assert(sizeof(FloatDigits::text) >= kLongestDigits<double>,
              "every double formats on the stack");

// std::to_chars of `value` into the room (its heap block once the stack
// buffer is too small); precision < 0 asks for the shortest form. The text
// has no terminator. False when there is no memory for it.
template <typename T>
bool toChars(FloatDigits& room, T value, std::chars_format format, int precision, const char*& text,
             size_t& length) {
  const auto convert = [&](char* first, char* last) {
    const std::to_chars_result r = precision < 0
                                       ? std::to_chars(first, last, value, format)
                                       : std::to_chars(first, last, value, format, precision);
    if (r.ec != std::errc()) {
      return false;
    }
    text = first;
    length = static_cast<size_t>(r.ptr - first);
    return true;
  };
  if (convert(room.text, room.text + sizeof room.text)) {
    return true;
  }
  if (room.heap == nullptr) {
    room.heap.reset(new (std::nothrow) char[kLongestDigits<T>]);
    if (room.heap == nullptr) {
      return false;
    }
  }
  return convert(room.heap.get(), room.heap.get() + kLongestDigits<T>);
}

// Splits "ddd.fff" followed by an exponent ("e+05", "p-3") into the parts of
// `out`; the exponent goes to the suffix.
void splitDigits(const char* text, size_t length, char exponentMark, NumberText& out) {
  size_t mantissa = length;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == exponentMark) {
      mantissa = i;
      break;
    }
  }
  for (size_t i = mantissa; i < length && out.suffixLength < sizeof out.suffix; ++i) {
    out.suffix[out.suffixLength++] = text[i];
  }
  const char* point = static_cast<const char*>(std::memchr(text, '.', mantissa));
  out.digits = text;
  if (point == nullptr) {
    out.digitsLength = mantissa;
    return;
  }
  out.digitsLength = static_cast<size_t>(point - text);
  out.point = true;
  out.fraction = point + 1;
  out.fractionLength = mantissa - out.digitsLength - 1;
}

// The decimal exponent of text in scientific form ("d.ddde-05").
int exponentOf(const char* text, size_t length) {
  const char* mark = static_cast<const char*>(std::memchr(text, 'e', length));
  int exponent = 0;
  std::from_chars(mark + 1 + (mark[1] == '+' ? 1 : 0), text + length, exponent);
  return exponent;
}

// A conversion of `shown` precision digits, with the rest of `precision`
// as trailing zeros.
template <typename T>
bool withPrecision(FloatDigits& room, T value, std::chars_format format, long long precision,
                   int cap, char exponentMark, NumberText& out) {
  const int shown = precision < cap ? static_cast<int>(precision) : cap;
  const char* text = nullptr;
  size_t length = 0;
  if (!toChars(room, value, format, shown, text, length)) {
    return false;
  }
  splitDigits(text, length, exponentMark, out);
  out.trailingZeros = static_cast<size_t>(precision - shown);
  return true;
}

// %g: style e or f by the exponent that rounding to P significant digits
// gives; without the # flag, zeros at the end of the fraction go.
template <typename T>
bool generalText(const ConversionSpec& spec, T value, FloatDigits& room, NumberText& out) {
  const long long p = spec.precision < 0 ? 6 : spec.precision == 0 ? 1 : spec.precision;
  const int cap = kExactFractionDigits<T>;
  const int probe = p - 1 < cap ? static_cast<int>(p - 1) : cap;
  const char* text = nullptr;
  size_t length = 0;
  if (!toChars(room, value, std::chars_format::scientific, probe, text, length)) {
    return false;
  }
  const int exponent = exponentOf(text, length);
  const bool ok =
      p > exponent && exponent >= -4
          ? withPrecision(room, value, std::chars_format::fixed, p - 1 - exponent, cap, 'e', out)
          : withPrecision(room, value, std::chars_format::scientific, p - 1, cap, 'e', out);
  if (ok && !spec.hash) {
    out.trailingZeros = 0;
    while (out.fractionLength > 0 && out.fraction[out.fractionLength - 1] == '0') {
      --out.fractionLength;
    }
    out.point = out.fractionLength > 0;
  }
  return ok;
}

bool shortFixed(double value, long long precision, FloatDigits& room, NumberText& out);

template <typename T>
bool finiteText(const ConversionSpec& spec, T value, FloatDigits& room, NumberText& out) {
  const long long precision = spec.precision < 0 ? 6 : spec.precision;
  switch (lower(spec.type)) {
  case 'f':
    if constexpr (std::is_same_v<T, double>) {
      if (shortFixed(value, precision, room, out)) {
        return true;
      }
    }
    return withPrecision(room, value, std::chars_format::fixed, precision, kExactFractionDigits<T>,
                         'e', out);
  case 'e':
    return withPrecision(room, value, std::chars_format::scientific, precision,
                         kExactFractionDigits<T>, 'e', out);
  case 'g':
    return generalText(spec, value, room, out);
  default: // 'a'
    setPrefix(out, spec.type == 'A' ? "0X" : "0x");
    if (spec.precision < 0) {
      const char* text = nullptr;
      size_t length = 0;
      if (!toChars(room, value, std::chars_format::hex, -1, text, length)) {
        return false;
      }
      splitDigits(text, length, 'p', out);
      return true;
    }
    return withPrecision(room, value, std::chars_format::hex, precision, kExactHexDigits<T>, 'p',
                         out);
  }
}

template <typename T>
bool floatTextOf(const ConversionSpec& spec, T value, FloatDigits& room, NumberText& out) {
  out = NumberText();
  const bool upperCase = spec.type >= 'A' && spec.type <= 'Z';
  if (std::isnan(value) || std::isinf(value)) {
    setSign(out, spec, std::isinf(value) && value < 0);
    out.digits = std::isnan(value) ? (upperCase ? "NAN" : "nan") : (upperCase ? "INF" : "inf");
    out.digitsLength = 3;
    return true;
  }
  setSign(out, spec, std::signbit(value));
  if (!finiteText(spec, std::fabs(value), room, out)) {
    return false;
  }
  out.point = out.point || spec.hash;
  out.zeroPadded = spec.zero && !spec.minus;
  if (upperCase) {
    // The digits are in the room, which the text may change.
    toUpper(const_cast<char*>(out.digits), out.digitsLength);
    toUpper(const_cast<char*>(out.fraction), out.fractionLength);
    toUpper(out.suffix, out.suffixLength);
  }
  return true;
}

// ---- Integers ------------------------------------------------------------------
//
// Digits are written backward from the end of their room; the value 0 has
// none (its digit comes from the precision). Decimal digits go two at a
// time, and in 32-bit arithmetic once the value fits, so that a digit costs
// no division.

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

constexpr unsigned long long kPowersOf10[] = {1ULL,
                                              10ULL,
                                              100ULL,
                                              1000ULL,
                                              10000ULL,
                                              100000ULL,
                                              1000000ULL,
                                              10000000ULL,
                                              100000000ULL,
                                              1000000000ULL,
                                              10000000000ULL,
                                              100000000000ULL,
                                              1000000000000ULL,
                                              10000000000000ULL,
                                              100000000000000ULL,
                                              1000000000000000ULL,
                                              10000000000000000ULL,
                                              100000000000000000ULL,
                                              1000000000000000000ULL,
                                              10000000000000000000ULL};

// Significant bits of a value; 0 for 0.
unsigned bitWidth(unsigned long long value) {
  return value == 0 ? 0 : 64 - static_cast<unsigned>(__builtin_clzll(value));
}

// The number of digits of a value in its base; 0 for 0.
size_t digitCount(unsigned long long value, unsigned base) {
  const unsigned bits = bitWidth(value);
  if (base == 16) {
    return (bits + 3) / 4;
  }
  if (base == 8) {
    return (bits + 2) / 3;
  }
  if (value == 0) {
    return 0;
  }
  // bits * log10(2), then one more where the value reaches the next power.
  const unsigned estimate = bits * 1233 >> 12;
  return estimate + (value >= kPowersOf10[estimate] ? 1 : 0);
}

// Writes the two digits of a value below 100 before `end`.
template <typename C>
C* digitPair(uint32_t value, C* end) {
  end -= 2;
  end[0] = static_cast<C>(kDigitPairs[2 * value]);
  end[1] = static_cast<C>(kDigitPairs[2 * value + 1]);
  return end;
}

template <typename C>
void decimalDigits(unsigned long long value, C* end) {
  // Eight digits at a time while the value needs 64 bits.
  while (value > 0xFFFFFFFFu) {
    auto low = static_cast<uint32_t>(value % 100000000);
    value /= 100000000;
    for (int i = 0; i < 4; ++i, low /= 100) {
      end = digitPair(low % 100, end);
    }
  }
  auto v = static_cast<uint32_t>(value);
  for (; v >= 100; v /= 100) {
    end = digitPair(v % 100, end);
  }
  if (v >= 10) {
    digitPair(v, end);
  } else if (v != 0) {
    end[-1] = static_cast<C>('0' + v);
  }
}

template <typename C>
void hexDigits(unsigned long long value, C* end, bool upperCase) {
  const char* digitSet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  for (; value != 0; value >>= 4) {
    *--end = static_cast<C>(digitSet[value & 15]);
  }
}

template <typename C>
void octalDigits(unsigned long long value, C* end) {
  for (; value != 0; value >>= 3) {
    *--end = static_cast<C>('0' + (value & 7));
  }
}

template <typename C>
void writeDigitsOf(const IntegerText& number, C* end) {
  if (number.base == 10) {
    decimalDigits(number.magnitude, end);
  } else if (number.base == 16) {
    hexDigits(number.magnitude, end, number.upperCase);
  } else {
    octalDigits(number.magnitude, end);
  }
}

// %f of a non-negative double below 10^9 with at most 9 fraction digits,
// the common case, without std::to_chars: value x 10^precision in exact
// 128-bit arithmetic, rounded to nearest with ties to even, which is how
// std::to_chars rounds, so both give the same digits. False where the
// value does not qualify (also below 2^-75, where 128 bits are too few).
bool shortFixed(double value, long long precision, FloatDigits& room, NumberText& out) {
  if (precision > 9 || !(value < 1e9)) {
    return false;
  }
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const auto biasedExponent = static_cast<int>(bits >> 52 & 0x7FF);
  unsigned long long scaled = 0; // value x 10^precision, rounded
  if (bits != 0) {
    // value = significand / 2^shift, with shift >= 23 below 10^9.
    const int shift = 1075 - biasedExponent;
    if (biasedExponent == 0 || shift > 127) {
      return false;
    }
    const unsigned long long significand = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
    const unsigned __int128 product =
        static_cast<unsigned __int128>(significand) * kPowersOf10[precision];
    scaled = static_cast<unsigned long long>(product >> shift);
    const unsigned __int128 rest = product - (static_cast<unsigned __int128>(scaled) << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (scaled & 1) != 0)) {
      ++scaled;
    }
  }
  const unsigned long long unit = kPowersOf10[precision];
  const unsigned long long whole = scaled / unit;
  const unsigned long long fraction = scaled % unit;
  char* const text = room.text;
  const size_t wholeDigits = whole == 0 ? 1 : digitCount(whole, 10);
  text[0] = '0';
  decimalDigits(whole, text + wholeDigits);
  const auto fractionDigits = static_cast<size_t>(precision);
  char* const fractionText = text + wholeDigits;
  std::memset(fractionText, '0', fractionDigits);
  decimalDigits(fraction, fractionText + fractionDigits);
  out.digits = text;
  out.digitsLength = wholeDigits;
  out.point = fractionDigits > 0;
  out.fraction = fractionText;
  out.fractionLength = fractionDigits;
  return true;
}

} // namespace

IntegerText integerText(const ConversionSpec& spec, bool negative, unsigned long long magnitude) {
  IntegerText out;
  const char type = spec.type == 'i' ? 'd' : spec.type;
  if (type == 'd') {
    setSign(out, spec, negative);
  }
  out.magnitude = magnitude;
  out.base = type == 'o' ? 8 : type == 'x' || type == 'X' ? 16 : 10;
  out.upperCase = type == 'X';
  out.digits = digitCount(magnitude, out.base);
  // The precision is the least number of digits: 1 by default, and 0 writes
  // no digit for the value 0.
  const size_t precision = spec.precision < 0 ? 1 : static_cast<size_t>(spec.precision);
  out.zeros = precision > out.digits ? precision - out.digits : 0;
  // The # flag makes the first octal digit a 0, also for 0 with precision 0.
  if (type == 'o' && spec.hash && out.zeros == 0) {
    out.zeros = 1;
  }
  if (out.base == 16 && spec.hash && magnitude != 0) {
    setPrefix(out, type == 'X' ? "0X" : "0x");
  }
  // A precision turns the 0 flag off.
  out.zeroPadded = spec.zero && !spec.minus && spec.precision < 0;
  return out;
}

void writeDigits(const IntegerText& number, char* end) { writeDigitsOf(number, end); }

void writeDigits(const IntegerText& number, tsk_wchar_t* end) { writeDigitsOf(number, end); }

bool floatText(const ConversionSpec& spec, double value, FloatDigits& room, NumberText& out) {
  return floatTextOf(spec, value, room, out);
}

bool floatText(const ConversionSpec& spec, long double value, FloatDigits& room, NumberText& out) {
  // A value that a double holds exactly is formatted as that double, so
  // that it gives the same text as on a platform whose long double is a
  // double (%La included, which std::to_chars writes differently for the
  // two types).
  const double narrowed = static_cast<double>(value);
  if (static_cast<long double>(narrowed) == value || std::isnan(value)) {
    return floatTextOf(spec, narrowed, room, out);
  }
  return floatTextOf(spec, value, room, out);
}

} // namespace tsk::text
