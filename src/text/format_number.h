// The formatter's numbers: printf's integer and floating-point conversions,
// made by the library itself rather than by the platform's C library, so that
// every platform writes the same text for the same call. The rules are the C
// standard's, with these choices where it leaves room:
//   - infinity is "inf" and a NaN "nan" ("INF", "NAN" for the upper-case
//     conversions), padded with spaces even under the 0 flag; a NaN's sign
//     bit is not shown (IEEE 754 gives it no meaning, and it differs with the
//     operation and the processor that made the NaN), but the + and space
//     flags apply to it as to any value;
//   - the exponent of %e has at least two digits; %a writes the shortest
//     exact hexadecimal form without a precision, the leading digit 1 for
//     normal numbers and 0 for subnormal ones (a long double that no double
//     holds, which only platforms with a wider long double have, shows its
//     64-bit significand with a leading digit from 8 to f);
//   - rounding is to nearest, ties to even, on the exact binary value;
//   - the decimal point is the current C locale's (LC_NUMERIC).
// Digits come from std::to_chars, which converts exactly.
//
// A number is returned in parts, so that widths and precisions up to INT_MAX
// cost no memory: the writer pads and fills in the runs of zeros.
#ifndef TSKBASE_SRC_TEXT_FORMAT_NUMBER_H
#define TSKBASE_SRC_TEXT_FORMAT_NUMBER_H

#include "tskbase/common.h"

#include <cstddef>
#include <memory>

namespace tsk::text {

// The flags, width and precision of one conversion; -1 for an absent width
// or precision.
struct ConversionSpec {
  bool minus = false;
  bool plus = false;
  bool space = false;
  bool hash = false;
  bool zero = false;
  int width = -1;
  int precision = -1;
  char type = 0;
};

// A formatted number, before padding to the width:
//   prefix, leadingZeros x '0', digits, [decimal point], fraction,
//   trailingZeros x '0', suffix
// All parts but the decimal point are ASCII.
struct NumberText {
  char prefix[3] = {}; // sign, "0x" / "0X"
  size_t prefixLength = 0;
  size_t leadingZeros = 0;
  const char* digits = "";
  size_t digitsLength = 0;
  bool point = false;
  const char* fraction = "";
  size_t fractionLength = 0;
  size_t trailingZeros = 0;
  char suffix[8] = {}; // exponent
  size_t suffixLength = 0;
  // Whether the width is filled with zeros after the prefix rather than
  // with spaces before it.
  bool zeroPadded = false;
};

// Room for the digits of a floating-point number: on the stack for every
// double; a long double that needs more takes a heap block.
struct FloatDigits {
  char text[1408];
  std::unique_ptr<char[]> heap;
};

// An integer, before padding to the width:
//   prefix, zeros x '0', the magnitude's digits
// The digits are not written out here but by writeDigits, straight into the
// output of either width.
struct IntegerText {
  char prefix[2] = {}; // sign, "0x" / "0X"
  size_t prefixLength = 0;
  size_t zeros = 0;
  unsigned long long magnitude = 0;
  size_t digits = 0; // none for the value 0
  unsigned base = 10;
  bool upperCase = false;
  // Whether the width is filled with zeros after the prefix rather than
  // with spaces before it.
  bool zeroPadded = false;
};

// Longest run of digits: a 64-bit value in octal.
constexpr size_t kMaxIntegerDigits = 22;

// Conversions d, i (signed), u, o, x, X of a value given as sign and
// magnitude; `negative` is only read for d and i.
IntegerText integerText(const ConversionSpec& spec, bool negative, unsigned long long magnitude);

// Writes the `number.digits` digits of the number into the elements before
// `end`.
void writeDigits(const IntegerText& number, char* end);
void writeDigits(const IntegerText& number, tsk_wchar_t* end);

// Conversions e, E, f, F, g, G, a, A. False when the digits do not fit even
// a heap block (a long double, with no memory left).
bool floatText(const ConversionSpec& spec, double value, FloatDigits& room, NumberText& out);
bool floatText(const ConversionSpec& spec, long double value, FloatDigits& room, NumberText& out);

} // namespace tsk::text

#endif // TSKBASE_SRC_TEXT_FORMAT_NUMBER_H
