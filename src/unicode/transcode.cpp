// The transcoding driver: the kernels of the level in force convert the
// well-formed stretches of the input; between them, and for whatever they
// leave at the end, a loop takes one character at a time with every check.
#include "unicode/transcode.h"

#include "unicode/dispatch.h"
#include "unicode/utf.h"

#include <cstring>

namespace tsk::unicode {

namespace {

// Source elements the character loop takes each time the kernel stops,
// before the kernel gets another go. Long enough to get past an ill-formed
// sequence and the block around it, short enough to lose little speed.
constexpr size_t kStretch = 64;

// One character taken by the character loop: the source and output
// elements it used, or the status that stops the conversion before it.
struct CharStep {
  Status stop; // kDone: the character was converted
  size_t read;
  size_t written;
};

// Alternates between the level's kernel, which converts as far as it can,
// and the character loop, which takes up to kStretch elements with every
// check before the kernel gets another go. Zero-terminated input goes to
// the kernel for that end rule when the level has one, or is measured
// first. `takeChar(at, left, o)` converts the character at `at`, with
// `left` source elements from there on, writing at output position `o`.
template <bool kWrite, typename In, typename Out, typename Kernel, typename Measure,
          typename TakeChar>
Conversion drive(Kernel kernel, Kernel untilZeroKernel, Measure measure, const In* s, size_t n,
                 End end, Out* d, size_t capacity, TakeChar takeChar) {
  bool untilZero = end == End::kZeroOrLength;
  if (untilZero && untilZeroKernel != nullptr) {
    kernel = untilZeroKernel;
  } else if (untilZero) {
    n = measure(s, n);
    untilZero = false;
  }
  size_t i = 0;
  size_t o = 0;
  while (true) {
    const Progress done = kernel(s + i, n - i, kWrite ? d + o : nullptr, capacity - o);
    i += done.read;
    o += done.written;
    if (done.atZero) {
      return {Status::kDone, i, o};
    }
    const size_t stop = n - i > kStretch ? i + kStretch : n;
    while (i < stop) {
      if (untilZero && s[i] == 0) {
        return {Status::kDone, i, o};
      }
      const CharStep step = takeChar(s + i, n - i, o);
      if (step.stop != Status::kDone) {
        return {step.stop, i, o};
      }
      i += step.read;
      o += step.written;
    }
    if (i == n) {
      return {Status::kDone, i, o};
    }
  }
}

template <bool kWrite>
Conversion fromUtf8(const unsigned char* s, size_t n, End end, tsk_wchar_t* d, size_t capacity,
                    OnIllFormed onIllFormed) {
  const Kernels& kernels = activeKernels();
  const auto measure = [](const unsigned char* p, size_t limit) {
    return narrowLength(reinterpret_cast<const char*>(p), limit);
  };
  const auto takeChar = [&](const unsigned char* at, size_t left, size_t o) -> CharStep {
    const Utf8Char c = decodeUtf8(at, left);
    if (!c.valid && onIllFormed == OnIllFormed::kStop) {
      return {Status::kIllFormed, 0, 0};
    }
    const size_t units = c.code >= 0x10000 ? 2 : 1;
    if constexpr (kWrite) {
      if (capacity - o < units) {
        return {Status::kNoRoom, 0, 0};
      }
      if (units == 1) {
        d[o] = static_cast<tsk_wchar_t>(c.code);
      } else {
        d[o] = static_cast<tsk_wchar_t>(0xD7C0 + (c.code >> 10));
        d[o + 1] = static_cast<tsk_wchar_t>(0xDC00 + (c.code & 0x3FF));
      }
    }
    return {Status::kDone, c.length, units};
  };
  return drive<kWrite>(kernels.fromUtf8, kernels.fromUtf8UntilZero, measure, s, n, end, d, capacity,
                       takeChar);
}

template <bool kWrite>
Conversion fromUtf16(const tsk_wchar_t* s, size_t n, End end, unsigned char* d, size_t capacity,
                     OnIllFormed onIllFormed) {
  const Kernels& kernels = activeKernels();
  const auto measure = [](const tsk_wchar_t* p, size_t limit) { return wideLength(p, limit); };
  const auto takeChar = [&](const tsk_wchar_t* at, size_t left, size_t o) -> CharStep {
    char32_t code = at[0];
    size_t units = 1;
    if (isSurrogate(code)) {
      // The unit after a high surrogate is read only while it is inside
      // the string: a zero before it ends the string.
      if (isHighSurrogate(code) && left >= 2 && isLowSurrogate(at[1])) {
        code = 0x10000 + ((code - 0xD800) << 10) + (at[1] - 0xDC00u);
        units = 2;
      } else if (onIllFormed == OnIllFormed::kStop) {
        return {Status::kIllFormed, 0, 0};
      } else {
        code = kReplacementChar;
      }
    }
    if constexpr (kWrite) {
      unsigned char bytes[4];
      const unsigned length = encodeUtf8(code, bytes);
      if (capacity - o < length) {
        return {Status::kNoRoom, 0, 0};
      }
      std::memcpy(d + o, bytes, length);
      return {Status::kDone, units, length};
    } else {
      return {Status::kDone, units, utf8Length(code)};
    }
  };
  return drive<kWrite>(kernels.fromUtf16, kernels.fromUtf16UntilZero, measure, s, n, end, d,
                       capacity, takeChar);
}

// The character loop alone: the portable level, and the reference that the
// tests hold the kernels to.
Progress noKernelUtf8(const unsigned char*, size_t, tsk_wchar_t*, size_t) { return {0, 0, false}; }
Progress noKernelUtf16(const tsk_wchar_t*, size_t, unsigned char*, size_t) { return {0, 0, false}; }

} // namespace

const Kernels kPortableKernels = {Level::kPortable, "portable", noKernelUtf8,
                                  noKernelUtf16,    nullptr,    nullptr};

Conversion convertUtf8(const char* src, size_t length, End end, tsk_wchar_t* dst, size_t capacity,
                       OnIllFormed onIllFormed) {
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  return dst == nullptr ? fromUtf8<false>(s, length, end, nullptr, 0, onIllFormed)
                        : fromUtf8<true>(s, length, end, dst, capacity, onIllFormed);
}

Conversion convertUtf16(const tsk_wchar_t* src, size_t length, End end, char* dst, size_t capacity,
                        OnIllFormed onIllFormed) {
  auto* d = reinterpret_cast<unsigned char*>(dst);
  return dst == nullptr ? fromUtf16<false>(src, length, end, nullptr, 0, onIllFormed)
                        : fromUtf16<true>(src, length, end, d, capacity, onIllFormed);
}

Transcoded utf8ToUtf16(const char* src, size_t length, tsk_wchar_t* dst, size_t capacity) {
  const Conversion c = convertUtf8(src, length, End::kLength, dst, capacity, OnIllFormed::kReplace);
  return {c.written, c.status == Status::kDone};
}

Transcoded utf16ToUtf8(const tsk_wchar_t* src, size_t length, char* dst, size_t capacity) {
  const Conversion c =
      convertUtf16(src, length, End::kLength, dst, capacity, OnIllFormed::kReplace);
  return {c.written, c.status == Status::kDone};
}

} // namespace tsk::unicode
