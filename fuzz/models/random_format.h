// Random printf formats and arguments for checks against the C library:
// literal runs, %%, and three conversions (int, long long, text, double)
// with random flags, widths, precisions and sizes, from a byte source. What
// the C library is no model for (the formatter's documented choices) is left out.
#ifndef TSKBASE_FUZZ_MODELS_RANDOM_FORMAT_H
#define TSKBASE_FUZZ_MODELS_RANDOM_FORMAT_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <variant>

namespace tsk::test {

using FormatArgument = std::variant<int, long long, double, const char*>;

struct RandomFormat {
  std::string narrow; // for the narrow formatter and the C library
  std::string wide;   // for the wide formatter, widened: text as %hs
  FormatArgument args[3];
};

enum class FormatModel { kGlibc, kWindowsRuntime };

// `next()` returns the next random byte.
template <typename Next>
RandomFormat randomFormat(Next next, FormatModel model) {
  static const char* const kWords[] = {"", "x", "scheduler", "198.51.100.23:50412", "idle"};
  const auto bytes = [&](int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) {
      v = v << 8 | next();
    }
    return v;
  };
  RandomFormat out;
  for (FormatArgument& arg : out.args) {
    std::string spec;
    for (int n = next() % 8; n > 0; --n) {
      spec += "ab XY:=-[](),.09\t"[next() % 17];
    }
    spec += next() % 8 == 0 ? "%%%" : "%";
    const int kind = next() % (model == FormatModel::kGlibc ? 4 : 3);
    const char type = kind == 3   ? "eEfFgGaA"[next() % 8]
                      : kind == 2 ? 's'
                                  : "diouxXc"[next() % (kind == 0 ? 7 : 6)];
    const bool text = type == 's' || type == 'c';
    const bool isUnsigned = std::strchr("ouxX", type) != nullptr;
    const uint8_t flags = next();
    const bool windows = model == FormatModel::kWindowsRuntime;
    for (int i = 0; i < 5; ++i) {
      // Text takes - alone; glibc loses the zero that a rounding carry
      // brings to %#g; Wine's msvcrt adds no sign to unsigned values and
      // keeps the 0 flag beside a precision (Windows' drops it, as C does).
      const char flag = "-+ #0"[i];
      const bool modelDiffers = (text && flag != '-') || (flag == '#' && (type | 0x20) == 'g') ||
                                (windows && isUnsigned && (flag == '+' || flag == ' ')) ||
                                (windows && flag == '0' && (flags & 0x40) != 0);
      if ((flags >> i & 1) != 0 && !modelDiffers) {
        spec += flag;
      }
    }
    spec += (flags & 0x20) != 0 ? std::to_string(next() % 24) : "";
    spec += (flags & 0x40) != 0 && type != 'c' ? "." + std::to_string(next() % 20) : "";
    if (kind == 0) {
      static const char* const kSizes[] = {"", "h", "hh"}; // msvcrt reads hh as h
      spec += type == 'c' ? "" : kSizes[next() % (windows ? 2 : 3)];
      arg = type == 'c' ? 0x20 + next() % 0x5F : static_cast<int>(bytes(4));
    } else if (kind == 1) {
      spec += "ll";
      arg = static_cast<long long>(bytes(8));
    } else if (kind == 2) {
      arg = kWords[next() % 5];
    } else {
      // Random bits, 0.001 steps or eighths; no NaN (glibc shows its sign).
      const uint64_t bits = bytes(8);
      double value = 0;
      std::memcpy(&value, &bits, sizeof value);
      const int shape = next() % 3;
      value = shape == 1   ? static_cast<double>(bits % 20000000) / 1000 - 10000
              : shape == 2 ? static_cast<double>(static_cast<int>(bits % 2001) - 1000) / 8
                           : value;
      arg = std::isnan(value) ? 0.0 : value;
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

#endif // TSKBASE_FUZZ_MODELS_RANDOM_FORMAT_H
