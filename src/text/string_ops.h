// Building blocks of the string_ family, shared by its narrow and wide
// functions: in-place removal of characters by a predicate, the narrow
// functions that work on a UTF-16 copy, and a few length helpers.
//
// The removal templates work on code units: the wide functions apply them to
// their own text, the narrow character-stripping functions to a UTF-16 copy.
#ifndef TSKBASE_SRC_TEXT_STRING_OPS_H
#define TSKBASE_SRC_TEXT_STRING_OPS_H

#include "tskbase/common.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tsk::text {

// The most bytes a narrow character takes, as passed to mbLen.
inline constexpr size_t kMaxCharBytes = 4;

template <typename C>
size_t length(const C* s) {
  return std::char_traits<C>::length(s);
}

// Moves the text from `from` (terminator included) down to `to`.
template <typename C>
void shiftDown(C* to, const C* from) {
  std::char_traits<C>::move(to, from, length(from) + 1);
}

// Walks the string once; a unit that `remove` accepts is removed as if the
// rest of the string moved down over it, and the unit that moves into its
// place is kept unexamined. Of a run of k such units, k / 2 remain. One pass:
// the kept units are copied down as the walk goes.
template <typename C, typename Pred>
void removeSkipping(C* s, Pred remove) {
  C* out = s;
  for (const C* in = s; *in != 0;) {
    if (remove(*in) && *++in == 0) {
      break;
    }
    *out++ = *in++;
  }
  *out = 0;
}

// Removes every unit that `remove` accepts.
template <typename C, typename Pred>
void removeEvery(C* s, Pred remove) {
  C* out = s;
  for (const C* p = s; *p != 0; ++p) {
    if (!remove(*p)) {
      *out++ = *p;
    }
  }
  *out = 0;
}

// Removes up to `max` leading units that `remove` accepts.
template <typename C, typename Pred>
void removeLeading(C* s, Pred remove, int32_t max) {
  C* p = s;
  for (int32_t n = 0; n < max && *p != 0 && remove(*p); ++n) {
    ++p;
  }
  if (p != s) {
    shiftDown(s, p);
  }
}

// Overwrites with 0 up to `max` trailing units that `remove` accepts, from
// the last unit backward; the first unit may go too.
template <typename C, typename Pred>
void removeTrailing(C* s, Pred remove, int32_t max) {
  C* end = s + length(s);
  for (int32_t n = 0; n < max && end != s && remove(end[-1]); ++n) {
    *--end = 0;
  }
}

// The narrow character after the one at p, never past the terminator: p
// itself at the terminator, and the terminator when the step the encoding
// reports would cross it.
const char* nextChar(const char* p);

// The conversion steps of throughWideCopy: a fresh UTF-16 copy (null on
// failure), and storing it back into s, which releases the copy.
tsk_wchar_t* wideCopyOf(const char* s);
char* storeNarrow(char* s, tsk_wchar_t* copy);

// Runs `work` on a UTF-16 copy of the narrow string `s` and converts the
// result back into `s`. Returns s, or null (s unchanged) when a conversion
// fails, memory runs out or the result would not fit in s.
template <typename Work>
char* throughWideCopy(char* s, Work work) {
  if (s == nullptr) {
    return nullptr;
  }
  tsk_wchar_t* copy = wideCopyOf(s);
  if (copy == nullptr) {
    return nullptr;
  }
  work(copy);
  return storeNarrow(s, copy);
}

// The wide character that a narrow character argument stands for: its low
// byte read as a one-byte character. False when that byte is no character
// on its own in the narrow encoding, or is 0.
bool narrowArgumentToWide(int32_t ch, tsk_wchar_t* out);

} // namespace tsk::text

#endif // TSKBASE_SRC_TEXT_STRING_OPS_H
