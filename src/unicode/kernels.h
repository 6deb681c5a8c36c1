// The vector kernels of the transcoders, one set per instruction-set level,
// and the contract they share. The driver in transcode.cpp calls them
// through the table of the level in force (dispatch.h) and handles
// everything they leave: ill-formed input, the last few elements, the end
// of the room.
//
// A kernel starts at a character boundary (where a decoder would start) and
// converts the longest prefix it can check block by block: it stops before
// any block that holds ill-formed input, that a character leaves incomplete
// at the end of the input, or whose output does not fit in the room left.
// It may stop earlier (a short tail, little room); what it has converted is
// always correct and ends at a character boundary. It reads within
// [s, s + n) and writes within [d, d + capacity); with d null it only counts
// the output.
//
// The UntilZero kernels take n as a bound and stop at the first zero
// element before it. They may read past that zero, never across a page it
// lies in, so they are hidden from the memory sanitizers.
#ifndef TSKBASE_SRC_UNICODE_KERNELS_H
#define TSKBASE_SRC_UNICODE_KERNELS_H

#include "tskbase/common.h"

#include <cstddef>

namespace tsk::unicode {

// Instruction-set levels, in increasing order.
enum class Level : unsigned {
  kPortable, // no vector kernels: the driver's character loop alone
  kSse2,     // the x86-64 baseline
  kSsse3,    // byte shuffles
  kAvx2,     // 256-bit vectors
  kAvx512,   // 512-bit vectors with masks, byte compression (VBMI2)
};
inline constexpr unsigned kLevelCount = 5;

// How far a kernel got: source elements read, output elements written (or
// counted), and whether it stopped at a zero element (UntilZero kernels).
struct Progress {
  size_t read;
  size_t written;
  bool atZero;
};

using Utf8Kernel = Progress (*)(const unsigned char* s, size_t n, tsk_wchar_t* d, size_t capacity);
using Utf16Kernel = Progress (*)(const tsk_wchar_t* s, size_t n, unsigned char* d, size_t capacity);

// One level's kernels. An UntilZero kernel may be null: the driver then
// measures the string first.
struct Kernels {
  Level level;
  const char* name;
  Utf8Kernel fromUtf8;
  Utf16Kernel fromUtf16;
  Utf8Kernel fromUtf8UntilZero;
  Utf16Kernel fromUtf16UntilZero;
};

extern const Kernels kPortableKernels;
extern const Kernels kSse2Kernels;
extern const Kernels kSsse3Kernels;
extern const Kernels kAvx2Kernels;
extern const Kernels kAvx512Kernels;

} // namespace tsk::unicode

#endif // TSKBASE_SRC_UNICODE_KERNELS_H
