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

template <bool kWrite>
Conversion fromUtf8(const unsigned char* s, size_t n, End end, tsk_wchar_t* d, size_t capacity,
                    OnIllFormed onIllFormed) {
  const Kernels& kernels = activeKernels();
  Utf8Kernel kernel = kernels.fromUtf8;
  bool untilZero = end == End::kZeroOrLength;
  if (untilZero && kernels.fromUtf8UntilZero != nullptr) {
    kernel = kernels.fromUtf8UntilZero;
  } else if (untilZero) {
    n = narrowLength(reinterpret_cast<const char*>(s), n);
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
      const Utf8Char c = decodeUtf8(s + i, n - i);
      if (!c.valid && onIllFormed == OnIllFormed::kStop) {
        return {Status::kIllFormed, i, o};
      }
      const size_t units = c.code >= 0x10000 ? 2 : 1;
      if constexpr (kWrite) {
        if (capacity - o < units) {
          return {Status::kNoRoom, i, o};
        }
        if (units == 1) {
          d[o] = static_cast<tsk_wchar_t>(c.code);
        } else {
          d[o] = static_cast<tsk_wchar_t>(0xD7C0 + (c.code >> 10));
          d[o + 1] = static_cast<tsk_wchar_t>(0xDC00 + (c.code & 0x3FF));
        }
      }
      o += units;
      i += c.length;
    }
    if (i == n) {
      return {Status::kDone, i, o};
    }
  }
}

template <bool kWrite>
Conversion fromUtf16(const tsk_wchar_t* s, size_t n, End end, unsigned char* d, size_t capacity,
                     OnIllFormed onIllFormed) {
  const Kernels& kernels = activeKernels();
  Utf16Kernel kernel = kernels.fromUtf16;
  bool untilZero = end == End::kZeroOrLength;
  if (untilZero && kernels.fromUtf16UntilZero != nullptr) {
    kernel = kernels.fromUtf16UntilZero;
  } else if (untilZero) {
    n = wideLength(s, n);
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
      char32_t code = s[i];
      if (untilZero && code == 0) {
        return {Status::kDone, i, o};
      }
      size_t units = 1;
      if (isSurrogate(code)) {
        // The unit after a high surrogate is read only while it is inside
        // the string: a zero before it ends the string.
        if (isHighSurrogate(code) && n - i >= 2 && isLowSurrogate(s[i + 1])) {
          code = 0x10000 + ((code - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
          units = 2;
        } else if (onIllFormed == OnIllFormed::kStop) {
          return {Status::kIllFormed, i, o};
        } else {
          code = kReplacementChar;
        }
      }
      if constexpr (kWrite) {
        unsigned char bytes[4];
        const unsigned length = encodeUtf8(code, bytes);
        if (capacity - o < length) {
          return {Status::kNoRoom, i, o};
        }
        std::memcpy(d + o, bytes, length);
        o += length;
      } else {
        o += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
      }
      i += units;
    }
    if (i == n) {
      return {Status::kDone, i, o};
    }
  }
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
