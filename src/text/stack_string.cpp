// Stack strings: wide strings that stay in the caller's buffer while they fit
// and move to the heap when they outgrow it.
#include <algorithm>
#include <climits>
#include <functional>
#include <string>

#include "core/heap.h"
#include "text/format.h"
#include "text/utf.h"
#include "tskbase/stackstr.h"

namespace {

constexpr uint64_t kMaxCapacity = TSK_STACKSTR_MAX_CAPACITY;
constexpr uint64_t kFirstFormatCapacity = 128;

// What a record without a buffer points at, so that its text always reads as
// a valid (empty) string. Never written.
tsk_wchar_t g_emptyString[1] = {0};

void pointAtEmptyString(_TSKBASE_STACKSTR* str) {
  str->onHeap = 0;
  str->buffer = g_emptyString;
}

// Length of the text, which is 0 for a record without capacity. A buffer
// without a terminator gives its capacity, which no caller accepts.
uint64_t textLength(const _TSKBASE_STACKSTR* str) {
  return str->capacity == 0 ? 0 : tsk::text::wideLength(str->buffer, str->capacity);
}

// Whether `p` points into the record's buffer.
bool pointsIntoBuffer(const _TSKBASE_STACKSTR* str, const tsk_wchar_t* p) {
  const std::less<const tsk_wchar_t*> before;
  return str->capacity != 0 && !before(p, str->buffer) && before(p, str->buffer + str->capacity);
}

// Doubles a capacity, stopping at the limit.
uint64_t doubled(uint64_t capacity) {
  return capacity > kMaxCapacity / 2 ? kMaxCapacity : capacity * 2;
}

// Formats into the buffer from `offset` on, with room for the rest of it.
int formatAt(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format, uint64_t offset, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int written =
      tsk::text::vformatBounded(str->buffer + offset, str->capacity - offset, format, copy);
  va_end(copy);
  return written;
}

// Ends the text at `offset` after formatting failed part-way: the formatter
// may have left characters and no terminator behind the text that was there.
int32_t abandonFormatting(_TSKBASE_STACKSTR* str, uint64_t offset, int32_t status) {
  str->buffer[std::min(offset, str->capacity - 1)] = 0;
  return status;
}

} // namespace

int32_t stackStr_Init(_TSKBASE_STACKSTR* str, tsk_wchar_t* buffer, uint64_t capacity) {
  if (str == nullptr || capacity > kMaxCapacity) {
    return TSK_STACKSTR_INVALID;
  }
  int32_t onHeap = 0;
  if (buffer == nullptr && capacity != 0) {
    buffer = tsk::heap::allocateArray<tsk_wchar_t>(capacity);
    if (buffer == nullptr) {
      return TSK_STACKSTR_NO_MEMORY;
    }
    buffer[0] = 0;
    onHeap = 1;
  }
  str->capacity = capacity;
  str->buffer = buffer;
  str->onHeap = onHeap;
  return TSK_STACKSTR_OK;
}

void stackStr_Destroy(_TSKBASE_STACKSTR* str) {
  if (str == nullptr) {
    return;
  }
  if (str->onHeap != 0) {
    tsk::heap::release(str->buffer);
  }
  str->capacity = 0;
  str->buffer = nullptr;
  str->onHeap = 0;
}

int32_t stackStr_IncreaseTo(_TSKBASE_STACKSTR* str, uint64_t capacity, int32_t keepContent) {
  if (str == nullptr) {
    return TSK_STACKSTR_INVALID;
  }
  if (capacity <= str->capacity) {
    return TSK_STACKSTR_OK;
  }
  if (capacity > kMaxCapacity) {
    return TSK_STACKSTR_INVALID;
  }
  tsk_wchar_t* buffer = nullptr;
  if (str->onHeap != 0) {
    buffer = tsk::heap::reallocateArray(str->buffer, capacity);
    if (buffer == nullptr) {
      return TSK_STACKSTR_NO_MEMORY;
    }
  } else {
    // Leave the caller's buffer behind, never to be freed.
    buffer = tsk::heap::allocateArray<tsk_wchar_t>(capacity);
    if (buffer == nullptr) {
      return TSK_STACKSTR_NO_MEMORY;
    }
    buffer[0] = 0;
    if (keepContent != 0) {
      std::copy_n(str->buffer, str->capacity, buffer);
    }
    str->onHeap = 1;
  }
  str->buffer = buffer;
  str->capacity = capacity;
  return TSK_STACKSTR_OK;
}

int32_t stackStr_Copy(_TSKBASE_STACKSTR* str, const tsk_wchar_t* src) {
  if (str == nullptr) {
    return TSK_STACKSTR_INVALID;
  }
  if (src == nullptr || src[0] == 0) {
    if (str->capacity == 0) {
      pointAtEmptyString(str);
    } else {
      str->buffer[0] = 0;
    }
    return TSK_STACKSTR_OK;
  }
  const uint64_t length = tsk::text::wideLength(src);
  if (length >= str->capacity) {
    const int32_t status = stackStr_IncreaseTo(str, length + 1, 0);
    if (status != TSK_STACKSTR_OK) {
      return status;
    }
  }
  std::copy_n(src, length + 1, str->buffer);
  return TSK_STACKSTR_OK;
}

int32_t stackStr_Cat(_TSKBASE_STACKSTR* str, const tsk_wchar_t* src) {
  return stackStr_NCat(str, src, kMaxCapacity);
}

int32_t stackStr_NCat(_TSKBASE_STACKSTR* str, const tsk_wchar_t* src, uint64_t maxCount) {
  if (str == nullptr) {
    return TSK_STACKSTR_INVALID;
  }
  if (src == nullptr || src[0] == 0) {
    return TSK_STACKSTR_OK;
  }
  const uint64_t appended = tsk::text::wideLength(src, maxCount);
  uint64_t current = 0;
  if (str->capacity != 0) {
    current = textLength(str);
    if (current == str->capacity) {
      return TSK_STACKSTR_INVALID; // the buffer holds no terminated text
    }
  } else {
    pointAtEmptyString(str);
  }
  const uint64_t needed = current + appended;
  if (needed >= str->capacity) {
    if (needed >= kMaxCapacity) {
      return TSK_STACKSTR_INVALID;
    }
    // The source may lie in the buffer that growing moves.
    const bool inBuffer = pointsIntoBuffer(str, src);
    const uint64_t srcOffset = inBuffer ? static_cast<uint64_t>(src - str->buffer) : 0;
    const int32_t status = stackStr_IncreaseTo(str, needed + 1, 1);
    if (status != TSK_STACKSTR_OK) {
      return status;
    }
    if (inBuffer) {
      src = str->buffer + srcOffset;
    }
  }
  tsk_wchar_t* end = str->buffer + current;
  std::copy_n(src, appended, end);
  end[appended] = 0;
  return TSK_STACKSTR_OK;
}

int32_t stackStr_Sprintf(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format, ...) {
  if (str == nullptr || format == nullptr) {
    return TSK_STACKSTR_INVALID;
  }
  va_list args;
  va_start(args, format);
  const int32_t status = stackStr_VSprintf(str, format, 0, args);
  va_end(args);
  return status;
}

int32_t stackStr_SprintfCat(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format, ...) {
  if (str == nullptr || format == nullptr) {
    return TSK_STACKSTR_INVALID;
  }
  const uint64_t offset = textLength(str);
  if (str->capacity != 0 && offset == str->capacity) {
    return TSK_STACKSTR_INVALID; // the buffer holds no terminated text
  }
  va_list args;
  va_start(args, format);
  const int32_t status = stackStr_VSprintf(str, format, offset, args);
  va_end(args);
  return status;
}

// Formats with the legacy bounded formatter, whose answer tells what to do:
// fewer characters than the room means done; exactly the room means the text
// is complete but its terminator did not fit, so one more character does;
// -1 means the text was longer than the room, unless the sentinel in the
// buffer's last character is still 0, in which case the formatter stopped
// early on an error of its own. When formatting fails, the text is ended at
// the offset so that the record still holds a valid string.
int32_t stackStr_VSprintf(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format, uint64_t offset,
                          va_list args) {
  if (str == nullptr || format == nullptr || offset > kMaxCapacity || offset > str->capacity) {
    return TSK_STACKSTR_INVALID;
  }
  if (str->capacity == 0) {
    const int32_t status = stackStr_IncreaseTo(str, kFirstFormatCapacity, 0);
    if (status != TSK_STACKSTR_OK) {
      return status;
    }
  }
  // The formatter counts in int: it cannot fill a larger room.
  if (str->capacity - offset > INT_MAX) {
    return TSK_STACKSTR_INVALID;
  }
  // The text before the offset must survive any move to a new buffer.
  const int32_t keepContent = offset != 0 ? 1 : 0;

  str->buffer[str->capacity - 1] = 0;
  int written = formatAt(str, format, offset, args);
  for (;;) {
    const uint64_t room = str->capacity - offset;
    if (written >= 0 && static_cast<uint64_t>(written) < room) {
      return TSK_STACKSTR_OK;
    }
    if (str->capacity >= kMaxCapacity) {
      return abandonFormatting(str, offset, TSK_STACKSTR_INVALID);
    }
    if (written >= 0 && static_cast<uint64_t>(written) == room) {
      const int32_t status = stackStr_IncreaseTo(str, str->capacity + 1, 1);
      if (status != TSK_STACKSTR_OK) {
        return abandonFormatting(str, offset, status);
      }
      str->buffer[str->capacity - 1] = 0;
      return TSK_STACKSTR_OK;
    }
    if (str->buffer[str->capacity - 1] == 0) {
      return abandonFormatting(str, offset, TSK_STACKSTR_INVALID);
    }
    const int32_t status = stackStr_IncreaseTo(str, doubled(str->capacity), keepContent);
    if (status != TSK_STACKSTR_OK) {
      return abandonFormatting(str, offset, status);
    }
    if (str->capacity - offset > INT_MAX) {
      return abandonFormatting(str, offset, TSK_STACKSTR_INVALID);
    }
    str->buffer[str->capacity - 1] = 0;
    written = formatAt(str, format, offset, args);
  }
}
