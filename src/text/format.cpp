// The formatter: one walk over the format, shared by the narrow and the wide
// form and by all three modes. Output goes to a sink that stores what fits in
// its room and counts everything, so that each mode is a decision on the
// final count.
#include "format.h"

#include "platform/text.h"
#include "utf.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

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

  void put(C c) {
    if (count_ < room_) {
      buf_[count_] = c;
    }
    ++count_;
  }
  void put(const C* s, size_t n) {
    if (count_ < room_) {
      const size_t k = n < room_ - count_ ? n : room_ - count_;
      std::memcpy(buf_ + count_, s, k * sizeof(C));
    }
    count_ += n;
  }
  void fill(C c, size_t n) {
    for (; n > 0; --n) {
      put(c);
    }
  }
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

struct Spec {
  bool minus = false;
  bool plus = false;
  bool space = false;
  bool hash = false;
  bool zero = false;
  int width = -1;
  int precision = -1;
  Size size = Size::kNone;
  char conversion = 0;
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

// Parses the specification after a '%'; false if it is malformed. `p` ends
// on the conversion character.
template <typename C>
bool parseSpec(const C*& p, Args& args, Spec& spec) {
  for (;; ++p) {
    switch (*p) {
    case '-':
      spec.minus = true;
      continue;
    case '+':
      spec.plus = true;
      continue;
    case ' ':
      spec.space = true;
      continue;
    case '#':
      spec.hash = true;
      continue;
    case '0':
      spec.zero = true;
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
      spec.minus = true;
      spec.width = -width;
    } else {
      spec.width = width;
    }
  } else if (*p >= '0' && *p <= '9') {
    spec.width = readNumber(p);
    if (spec.width < 0) {
      return false;
    }
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      ++p;
      const int precision = va_arg(args.ap, int);
      spec.precision = precision < 0 ? -1 : precision;
    } else {
      spec.precision = readNumber(p);
      if (spec.precision < 0) {
        return false;
      }
    }
  }
  switch (*p) {
  case 'h':
    ++p;
    spec.size = *p == 'h' ? (++p, Size::kChar) : Size::kShort;
    break;
  case 'l':
    ++p;
    spec.size = *p == 'l' ? (++p, Size::kLongLong) : Size::kLong;
    break;
  case 'L':
    ++p;
    spec.size = Size::kLongDouble;
    break;
  case 'j':
    ++p;
    spec.size = Size::kMax;
    break;
  case 'z':
    ++p;
    spec.size = Size::kSize;
    break;
  case 't':
    ++p;
    spec.size = Size::kPtrdiff;
    break;
  case 'w':
    ++p;
    spec.size = Size::kWide;
    break;
  case 'I':
    if (p[1] == '6' && p[2] == '4') {
      p += 3;
      spec.size = Size::kInt64;
    } else if (p[1] == '3' && p[2] == '2') {
      p += 3;
      spec.size = Size::kInt32;
    } else {
      ++p;
      spec.size = Size::kPointer;
    }
    break;
  default:
    break;
  }
  const auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<C>>(*p));
  if (code == 0 || code > 0x7F) {
    return false;
  }
  spec.conversion = static_cast<char>(*p);
  return true;
}

// The C99 specification for one number: flags, width, precision, then
// `length` and the conversion.
std::string numberSpec(const Spec& spec, const char* length, char conversion) {
  std::string s = "%";
  if (spec.minus)
    s += '-';
  if (spec.plus)
    s += '+';
  if (spec.space)
    s += ' ';
  if (spec.hash)
    s += '#';
  if (spec.zero)
    s += '0';
  if (spec.width >= 0)
    s += std::to_string(spec.width);
  if (spec.precision >= 0) {
    s += '.';
    s += std::to_string(spec.precision);
  }
  s += length;
  s += conversion;
  return s;
}

// Text in the narrow encoding, written to a narrow or wide sink.
void putNarrow(Sink<char>& sink, const char* s, size_t n) { sink.put(s, n); }

void putNarrow(Sink<tsk_wchar_t>& sink, const char* s, size_t n) {
  bool ascii = true;
  for (size_t i = 0; i < n && ascii; ++i) {
    ascii = static_cast<unsigned char>(s[i]) < 0x80;
  }
  if (ascii) {
    for (size_t i = 0; i < n; ++i) {
      sink.put(static_cast<tsk_wchar_t>(static_cast<unsigned char>(s[i])));
    }
    return;
  }
  const int units = platform::multiByteToWide(kAnsiCodePage, s, static_cast<int>(n), nullptr, 0);
  std::vector<tsk_wchar_t> wide(static_cast<size_t>(units > 0 ? units : 0));
  if (units > 0 && platform::multiByteToWide(kAnsiCodePage, s, static_cast<int>(n), wide.data(),
                                             units) == units) {
    sink.put(wide.data(), wide.size());
  }
}

// Formats one number with the C library and writes it out.
template <typename C, typename T>
bool putNumber(Sink<C>& sink, const std::string& spec, T value) {
  char local[128];
  int n = platform::formatNumber(local, sizeof local, spec.c_str(), value);
  if (n < 0) {
    return false;
  }
  if (static_cast<size_t>(n) < sizeof local) {
    putNarrow(sink, local, static_cast<size_t>(n));
    return true;
  }
  std::vector<char> big(static_cast<size_t>(n) + 1);
  n = platform::formatNumber(big.data(), big.size(), spec.c_str(), value);
  if (n < 0) {
    return false;
  }
  putNarrow(sink, big.data(), static_cast<size_t>(n));
  return true;
}

template <typename C>
bool putInteger(Sink<C>& sink, const Spec& spec, Args& args) {
  const char conversion = spec.conversion == 'i' ? 'd' : spec.conversion;
  const bool isSigned = conversion == 'd';
  long long sv = 0;
  unsigned long long uv = 0;
  switch (spec.size) {
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
  const std::string s = numberSpec(spec, "ll", conversion);
  return isSigned ? putNumber(sink, s, sv) : putNumber(sink, s, uv);
}

template <typename C>
bool putFloat(Sink<C>& sink, const Spec& spec, Args& args) {
  if (spec.size == Size::kLongDouble) {
    return putNumber(sink, numberSpec(spec, "L", spec.conversion), va_arg(args.ap, long double));
  }
  if (spec.size != Size::kNone && spec.size != Size::kLong) {
    return false;
  }
  return putNumber(sink, numberSpec(spec, "", spec.conversion), va_arg(args.ap, double));
}

template <typename C>
bool putPointer(Sink<C>& sink, Spec spec, Args& args) {
  const auto value = reinterpret_cast<uintptr_t>(va_arg(args.ap, void*));
  if (spec.precision < 0) {
    spec.precision = 2 * sizeof(void*);
  }
  return putNumber(sink, numberSpec(spec, "ll", 'X'), static_cast<unsigned long long>(value));
}

// Pads `length` elements of text out to the specification's width: spaces
// (or zeros) before, or spaces after under the - flag.
template <typename C, typename Body>
void padded(Sink<C>& sink, const Spec& spec, size_t length, Body body) {
  const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  const size_t pad = width > length ? width - length : 0;
  if (!spec.minus) {
    sink.fill(spec.zero ? C('0') : C(' '), pad);
  }
  body();
  if (spec.minus) {
    sink.fill(C(' '), pad);
  }
}

// A run of converted text, on the stack when short.
template <typename C>
class Converted {
public:
  C* reserve(size_t n) {
    if (n <= sizeof local_ / sizeof(C)) {
      return local_;
    }
    heap_.resize(n);
    return heap_.data();
  }

private:
  C local_[256];
  std::vector<C> heap_;
};

// The narrow encoding's form of a wide string: at most `limit` bytes
// (no limit when negative), never splitting a character.
size_t crossConvert(const tsk_wchar_t* s, int limit, Converted<char>& store, char*& out) {
  if (limit < 0) {
    const size_t units = wideLength(s);
    if (units == 0) {
      out = store.reserve(0);
      return 0;
    }
    const int n = platform::wideToMultiByte(kAnsiCodePage, s, static_cast<int>(units), nullptr, 0);
    out = store.reserve(static_cast<size_t>(n > 0 ? n : 0));
    return n > 0 ? static_cast<size_t>(
                       platform::wideToMultiByte(kAnsiCodePage, s, static_cast<int>(units), out, n))
                 : 0;
  }
  std::vector<char> bytes;
  char one[16];
  for (size_t i = 0; s[i] != 0;) {
    const int units = isHighSurrogate(s[i]) && isLowSurrogate(s[i + 1]) ? 2 : 1;
    const int n = platform::wideToMultiByte(kAnsiCodePage, s + i, units, one, sizeof one);
    if (n <= 0 || bytes.size() + static_cast<size_t>(n) > static_cast<size_t>(limit)) {
      break;
    }
    bytes.insert(bytes.end(), one, one + n);
    i += static_cast<size_t>(units);
  }
  out = store.reserve(bytes.size());
  if (!bytes.empty()) {
    std::memcpy(out, bytes.data(), bytes.size());
  }
  return bytes.size();
}

// The UTF-16 form of a narrow string: at most `limit` units (no limit when
// negative), never splitting a character.
size_t crossConvert(const char* s, int limit, Converted<tsk_wchar_t>& store, tsk_wchar_t*& out) {
  if (limit < 0) {
    const size_t bytes = std::strlen(s);
    if (bytes == 0 || bytes > INT_MAX) {
      out = store.reserve(0);
      return 0;
    }
    const int n = platform::multiByteToWide(kAnsiCodePage, s, static_cast<int>(bytes), nullptr, 0);
    out = store.reserve(static_cast<size_t>(n > 0 ? n : 0));
    return n > 0 ? static_cast<size_t>(
                       platform::multiByteToWide(kAnsiCodePage, s, static_cast<int>(bytes), out, n))
                 : 0;
  }
  std::vector<tsk_wchar_t> units;
  tsk_wchar_t one[4];
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p != 0) {
    const unsigned char* next = platform::mbsInc(p);
    const int n = platform::multiByteToWide(kAnsiCodePage, reinterpret_cast<const char*>(p),
                                            static_cast<int>(next - p), one, 4);
    if (n <= 0 || units.size() + static_cast<size_t>(n) > static_cast<size_t>(limit)) {
      break;
    }
    units.insert(units.end(), one, one + n);
    p = next;
  }
  out = store.reserve(units.size());
  if (!units.empty()) {
    std::memcpy(out, units.data(), units.size() * sizeof(tsk_wchar_t));
  }
  return units.size();
}

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
bool wideArgument(const Spec& spec, bool& valid) {
  valid = true;
  const bool upper = spec.conversion == 'S' || spec.conversion == 'C';
  switch (spec.size) {
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
bool putString(Sink<C>& sink, const Spec& spec, Args& args) {
  bool valid;
  const bool wide = wideArgument<C>(spec, valid);
  if (!valid) {
    return false;
  }
  using Other = std::conditional_t<std::is_same_v<C, char>, tsk_wchar_t, char>;
  const bool same = wide == std::is_same_v<C, tsk_wchar_t>;
  if (same) {
    const C* s = va_arg(args.ap, const C*);
    if (s == nullptr) {
      s = nullText<C>();
    }
    const size_t n = boundedLength(s, spec.precision);
    padded(sink, spec, n, [&] { sink.put(s, n); });
    return true;
  }
  const Other* s = va_arg(args.ap, const Other*);
  if (s == nullptr) {
    const C* text = nullText<C>();
    const size_t n = boundedLength(text, spec.precision);
    padded(sink, spec, n, [&] { sink.put(text, n); });
    return true;
  }
  Converted<C> store;
  C* text = nullptr;
  const size_t n = crossConvert(s, spec.precision, store, text);
  padded(sink, spec, n, [&] { sink.put(text, n); });
  return true;
}

template <typename C>
bool putChar(Sink<C>& sink, const Spec& spec, Args& args) {
  bool valid;
  const bool wide = wideArgument<C>(spec, valid);
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
  padded(sink, spec, n, [&] { sink.put(out, n); });
  return true;
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
    Spec spec;
    if (!parseSpec(p, args, spec)) {
      ok = false;
      break;
    }
    switch (spec.conversion) {
    case '%':
      sink.put(C('%'));
      break;
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      ok = putInteger(sink, spec, args);
      break;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      ok = putFloat(sink, spec, args);
      break;
    case 'p':
      ok = putPointer(sink, spec, args);
      break;
    case 's':
    case 'S':
      ok = putString(sink, spec, args);
      break;
    case 'c':
    case 'C':
      ok = putChar(sink, spec, args);
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
int bounded(C* buf, size_t room, const C* format, va_list args) {
  if (format == nullptr || (buf == nullptr && room != 0)) {
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
