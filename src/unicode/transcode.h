// UTF-8 <-> UTF-16 transcoding at the speed of the processor's vector
// instructions (see kernels.h and dispatch.h), for the whole library: the
// text layer and both platform layers call down into it.
//
// Ill-formed input is either replaced, the same way whatever the level:
//   - UTF-8: one U+FFFD per maximal subpart of an ill-formed sequence, or
//     per stray byte (unicode/utf.h);
//   - UTF-16: one U+FFFD (three UTF-8 bytes) per unpaired surrogate;
// or reported, for callers that hand such input to another converter.
#ifndef TSKBASE_SRC_UNICODE_TRANSCODE_H
#define TSKBASE_SRC_UNICODE_TRANSCODE_H

#include "tskbase/common.h"

#include <cstddef>

namespace tsk::unicode {

// Outcome of a bulk transcoding. `count` is the number of output elements
// the whole input needs (when measuring, dst == nullptr) or has written.
// `fits` is false when dst was given and too small: the output then holds
// an unspecified prefix and `count` is meaningless.
struct Transcoded {
  size_t count;
  bool fits;
};

// Converts exactly `length` UTF-8 bytes (zeros included, no terminator is
// added) to UTF-16, replacing ill-formed input. With dst == nullptr only
// measures.
Transcoded utf8ToUtf16(const char* src, size_t length, tsk_wchar_t* dst, size_t capacity);

// Converts exactly `length` UTF-16 units to UTF-8, replacing unpaired
// surrogates. With dst == nullptr only measures.
Transcoded utf16ToUtf8(const tsk_wchar_t* src, size_t length, char* dst, size_t capacity);

// ---- The general form -------------------------------------------------------

// Where the source ends: after `length` elements, or at its first zero
// element if that comes earlier (the zero is not converted).
enum class End { kLength, kZeroOrLength };

enum class OnIllFormed { kReplace, kStop };

enum class Status {
  kDone,      // all converted (or measured)
  kNoRoom,    // the output does not fit in the capacity
  kIllFormed, // ill-formed input met, with OnIllFormed::kStop
};

struct Conversion {
  Status status;
  size_t read;    // with kDone, the source elements converted (the length found)
  size_t written; // with kDone, the output elements written (needed, when measuring)
};

Conversion convertUtf8(const char* src, size_t length, End end, tsk_wchar_t* dst, size_t capacity,
                       OnIllFormed onIllFormed);
Conversion convertUtf16(const tsk_wchar_t* src, size_t length, End end, char* dst, size_t capacity,
                        OnIllFormed onIllFormed);

} // namespace tsk::unicode

#endif // TSKBASE_SRC_UNICODE_TRANSCODE_H
