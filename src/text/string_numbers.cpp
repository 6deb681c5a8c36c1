// string_ fractions, number reading and the environment variable.
#include "tskbase/strings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "text/format.h"
#include "text/string_ops.h"

namespace {

namespace text = tsk::text;

// Room for the longest fraction text, "-2147483648 -0.999990", and more.
constexpr size_t kFractionRoom = 32;

// The whole part, truncated toward zero; false when it does not fit in a
// signed 32-bit integer (or the value is NaN).
bool wholePart(double value, int32_t* whole) {
  const double truncated = std::trunc(value);
  if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) {
    return false;
  }
  *whole = static_cast<int32_t>(truncated);
  return true;
}

// The fraction text of r = value - whole (|r| < 1): halves to thirty-seconds
// in the smallest denominator, from r truncated to five decimals, or r
// itself with six decimals.
void fractionText(double r, char* out) {
  const auto f = static_cast<int32_t>(r * 100000.0);
  if (f == 0) {
    out[0] = 0;
  } else if (f == 50000) {
    std::strcpy(out, "1/2");
  } else if (f % 25000 == 0) {
    text::formatSecure(out, kFractionRoom, "%d/4", f / 25000);
  } else if (f % 12500 == 0) {
    text::formatSecure(out, kFractionRoom, "%d/8", f / 12500);
  } else if (f % 6250 == 0) {
    text::formatSecure(out, kFractionRoom, "%d/16", f / 6250);
  } else if (f % 3125 == 0) {
    text::formatSecure(out, kFractionRoom, "%d/32", f / 3125);
  } else {
    text::formatSecure(out, kFractionRoom, "%0lf", r);
  }
}

// The double form: the fraction alone for a zero whole part, the whole part
// alone for an empty fraction, a decimal fraction joined to the whole part
// without its leading zero ("3.123400"), anything else after a space.
bool doubleToFrac(double value, char* out) {
  int32_t whole = 0;
  if (!wholePart(value, &whole)) {
    return false;
  }
  char fraction[kFractionRoom];
  fractionText(value - whole, fraction);
  if (whole == 0) {
    std::strcpy(out, fraction);
  } else if (fraction[0] == 0) {
    text::formatSecure(out, kFractionRoom, "%d", whole);
  } else if (fraction[0] == '.' || fraction[0] == '0') {
    text::formatSecure(out, kFractionRoom, "%d%s", whole, fraction + (fraction[0] == '0' ? 1 : 0));
  } else {
    text::formatSecure(out, kFractionRoom, "%d %s", whole, fraction);
  }
  return true;
}

// The float form: a non-zero whole part is always followed by a space and
// the fraction as the double form writes it alone.
bool floatToFrac(float value, char* out) {
  int32_t whole = 0;
  if (!wholePart(value, &whole)) {
    return false;
  }
  const float rest = value - static_cast<float>(whole);
  char fraction[kFractionRoom];
  doubleToFrac(static_cast<double>(rest), fraction);
  if (whole == 0) {
    std::strcpy(out, fraction);
  } else {
    text::formatSecure(out, kFractionRoom, "%d %s", whole, fraction);
  }
  return true;
}

// The wide functions write the same (ASCII) text as UTF-16.
template <typename Convert, typename Value>
tsk_status toWide(Convert convert, Value value, tsk_wchar_t* out) {
  char narrow[kFractionRoom];
  if (out == nullptr || !convert(value, narrow)) {
    return TSK_FAIL;
  }
  size_t i = 0;
  for (; narrow[i] != 0; ++i) {
    out[i] = static_cast<tsk_wchar_t>(narrow[i]);
  }
  out[i] = 0;
  return TSK_OK;
}

template <typename Convert, typename Value>
tsk_status toNarrow(Convert convert, Value value, char* out) {
  char narrow[kFractionRoom];
  if (out == nullptr || !convert(value, narrow)) {
    return TSK_FAIL;
  }
  std::strcpy(out, narrow);
  return TSK_OK;
}

bool isDigit(tsk_wchar_t unit) { return unit >= '0' && unit <= '9'; }

} // namespace

tsk_status string_convertDoubleToFracA(double value, char* out) {
  return toNarrow(doubleToFrac, value, out);
}
tsk_status string_convertDoubleToFracW(double value, tsk_wchar_t* out) {
  return toWide(doubleToFrac, value, out);
}
tsk_status string_convertFloatToFracA(float value, char* out) {
  return toNarrow(floatToFrac, value, out);
}
tsk_status string_convertFloatToFracW(float value, tsk_wchar_t* out) {
  return toWide(floatToFrac, value, out);
}

tsk_wchar_t* string_readLongW(const tsk_wchar_t* str, uint32_t* value) {
  if (str == nullptr || value == nullptr) {
    return nullptr;
  }
  *value = 0;
  const tsk_wchar_t* p = string_skipWhiteSpaceW(str);
  if (*p == 0) {
    return const_cast<tsk_wchar_t*>(p);
  }
  const tsk_wchar_t* digits = p;
  while (isDigit(*p)) {
    ++p;
  }
  const size_t count = static_cast<size_t>(p - digits);
  if (count == 0 || count > 10 || *p > ' ') {
    return nullptr;
  }
  // Decimal conversion as the runtime's _wtol does it: a number beyond the
  // signed 32-bit range gives the largest value.
  uint64_t number = 0;
  for (const tsk_wchar_t* d = digits; d != p; ++d) {
    number = number * 10 + static_cast<uint64_t>(*d - '0');
  }
  *value = number > 2147483647u ? 2147483647u : static_cast<uint32_t>(number);
  return string_skipWhiteSpaceW(p);
}

tsk_status string_getConfigVarA(char* buf, const char* name, uint32_t size) {
  if (buf == nullptr || name == nullptr || *name == 0 || size == 0) {
    return TSK_FAIL;
  }
  const char* found = std::getenv(name);
  if (found == nullptr) {
    return TSK_FAIL;
  }
  return string_safeCopyA(found, buf, size);
}
