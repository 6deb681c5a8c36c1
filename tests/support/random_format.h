// Random printf formats with their arguments, for differential checks of the
// formatter against the platform's C library: literal runs, %%, and three
// conversions (int, long long, double or text) with random flags, widths,
// precisions and size prefixes. Built from a byte source, so that a fuzzer's
// input or a seeded generator drives it; conversions where the C library is
// no model for the formatter's documented choices are not generated.
#ifndef TSKBASE_TESTS_SUPPORT_RANDOM_FORMAT_H
#define TSKBASE_TESTS_SUPPORT_RANDOM_FORMAT_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <variant>

namespace tsk::test {

using FormatArgument = std::variant<int, long long, double, const char*>;

struct RandomFormat {
  std::string narrow; // for the narrow formatter and for the C library
  std::string wide;   // widened for the wide formatter: text as %hs
  FormatArgument args[3];
};

// What the C library may be asked: glibc knows every conversion; the
// Windows runtime is asked for integers and text only, whose output the
// formatter shares with it.
enum class FormatModel { kGlibc, kWindowsRuntime };

// `next()` returns the next random byte.
template <typename Next>
RandomFormat randomFormat(Next next, FormatModel model) {
  static const char* const kWords[] = {"", "x", "scheduler", "198.51.100.23:50412", "idle"};
  RandomFormat out;
  const auto both = [&](const std::string& s) {
    out.narrow += s;
    out.wide += s;
  };
  const auto bytes = [&](int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) {
      v = v << 8 | next();
    }
    return v;
  };
  for (FormatArgument& arg : out.args) {
    for (int n = next() % 8; n > 0; --n) {
      both(std::string(1, "ab XY:=-[](),.09\t"[next() % 17]));
    }
    if (next() % 8 == 0) {
      both("%%");
    }
    const int kind = next() % (model == FormatModel::kGlibc ? 4 : 3);
    const char type = kind == 3   ? "eEfFgGaA"[next() % 8]
                      : kind == 2 ? 's'
                                  : "diouxXc"[next() % (kind == 0 ? 7 : 6)];
    const bool text = type == 's' || type == 'c';
    const bool isUnsigned = std::strchr("ouxX", type) != nullptr;
    std::string spec = "%";
    const uint8_t flags = next();
    for (int i = 0; i < 5; ++i) {
      const char flag = "-+ #0"[i];
      // Text takes - alone; the Windows runtime adds no sign to unsigned
      // values; glibc loses the zero that a rounding carry brings to %#g.
      const bool model_differs =
          (text && flag != '-') ||
          (model == FormatModel::kWindowsRuntime && isUnsigned && (flag == '+' || flag == ' ')) ||
          (flag == '#' && (type == 'g' || type == 'G'));
      if ((flags >> i & 1) != 0 && !model_differs) {
        spec += flag;
      }
    }
    if ((flags & 0x20) != 0) {
      spec += std::to_string(next() % 24);
    }
    if ((flags & 0x40) != 0 && type != 'c') {
      spec += "." + std::to_string(next() % 20);
    }
    if (kind == 0 && type != 'c') {
      const char* sizes[] = {"", "h", "hh", ""};
      spec += sizes[next() % 4];
      arg = static_cast<int>(bytes(4));
    } else if (kind == 0) {
      arg = 0x20 + next() % 0x5F; // printable ASCII
    } else if (kind == 1) {
      spec += "ll";
      arg = static_cast<long long>(bytes(8));
    } else if (kind == 2) {
      arg = kWords[next() % 5];
    } else {
      const uint64_t bits = bytes(8);
      double value = 0;
      std::memcpy(&value, &bits, sizeof value);
      // Random bits, or values a log shows: 0.001 steps and small integers.
      const int shape = next() % 3;
      value = shape == 1   ? static_cast<double>(bits % 20000000) / 1000 - 10000
              : shape == 2 ? static_cast<double>(static_cast<int>(bits % 2001) - 1000) / 8
                           : value;
      arg = std::isnan(value) ? 0.0 : value; // glibc shows a NaN's sign bit
    }
    out.narrow += spec + type;
    out.wide += spec + (type == 's' ? "hs" : std::string(1, type));
  }
  return out;
}

// Calls f(args...) with the arguments' own types.
template <typename F, typename... Done>
int applyFormatArguments(F f, const FormatArgument* args, Done... done) {
  if constexpr (sizeof...(Done) == 3) {
    return f(done...);
  } else {
    return std::visit([&](auto v) { return applyFormatArguments(f, args + 1, done..., v); },
                      args[0]);
  }
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_RANDOM_FORMAT_H
