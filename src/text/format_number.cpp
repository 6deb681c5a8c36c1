// Integer and floating-point conversions of the formatter (see the header for
// the rules). Floating-point digits come from std::to_chars with a precision,
// which rounds the exact binary value to nearest, ties to even; precisions
// beyond the last digit that can be non-zero become counted trailing zeros.
#include "format_number.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace tsk::text {

namespace {

void setPrefix(NumberText& out, const char* text) {
  while (*text != 0 && out.prefixLength < sizeof out.prefix) {
    out.prefix[out.prefixLength++] = *text++;
  }
}

// The sign of a signed conversion: '-' for a negative value, else what the
// + or space flag asks for.
void setSign(NumberText& out, const ConversionSpec& spec, bool negative) {
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

template <typename T>
bool finiteText(const ConversionSpec& spec, T value, FloatDigits& room, NumberText& out) {
  const long long precision = spec.precision < 0 ? 6 : spec.precision;
  switch (lower(spec.type)) {
  case 'f':
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

} // namespace

NumberText integerText(const ConversionSpec& spec, bool negative, unsigned long long magnitude,
                       IntegerDigits& room) {
  NumberText out;
  const char type = spec.type == 'i' ? 'd' : spec.type;
  if (type == 'd') {
    setSign(out, spec, negative);
  }
  const unsigned base = type == 'o' ? 8 : type == 'x' || type == 'X' ? 16 : 10;
  const char* digitSet = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  char* const end = room.text + sizeof room.text;
  char* first = end;
  for (unsigned long long v = magnitude; v != 0; v /= base) {
    *--first = digitSet[v % base];
  }
  out.digits = first;
  out.digitsLength = static_cast<size_t>(end - first);
  // The precision is the least number of digits: 1 by default, and 0 writes
  // no digit for the value 0.
  const size_t precision = spec.precision < 0 ? 1 : static_cast<size_t>(spec.precision);
  out.leadingZeros = precision > out.digitsLength ? precision - out.digitsLength : 0;
  // The # flag makes the first octal digit a 0, also for 0 with precision 0.
  if (type == 'o' && spec.hash && out.leadingZeros == 0) {
    out.leadingZeros = 1;
  }
  if ((type == 'x' || type == 'X') && spec.hash && magnitude != 0) {
    setPrefix(out, type == 'X' ? "0X" : "0x");
  }
  // A precision turns the 0 flag off.
  out.zeroPadded = spec.zero && !spec.minus && spec.precision < 0;
  return out;
}

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
