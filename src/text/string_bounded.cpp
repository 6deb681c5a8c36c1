// string_ bounded copying, concatenation and formatting.
#include "tskbase/strings.h"

#include "core/heap.h"
#include "text/format.h"
#include "text/string_ops.h"
#include "text/utf.h"

namespace {

namespace text = tsk::text;

// strncpy: at most size - 1 elements, zeros after a shorter source, and a
// terminator in element size - 1.
template <typename C>
tsk_status safeCopy(const C* src, C* dst, size_t size) {
  if (src == nullptr || dst == nullptr || size == 0) {
    return TSK_FAIL;
  }
  size_t i = 0;
  for (; i + 1 < size && src[i] != 0; ++i) {
    dst[i] = src[i];
  }
  for (; i < size; ++i) {
    dst[i] = 0;
  }
  return TSK_OK;
}

// The formatter's legacy bounded mode into size - 1 elements: a text that
// fits (with or without its terminator) is terminated in element size - 1;
// a longer one leaves that element alone and fails.
template <typename C>
tsk_status safeVsprintf(C* buf, size_t size, const C* format, va_list args) {
  if (buf == nullptr || format == nullptr || size == 0) {
    return TSK_FAIL;
  }
  if (text::vformatBounded(buf, size - 1, format, args) < 0) {
    return TSK_FAIL;
  }
  buf[size - 1] = 0;
  return TSK_OK;
}

} // namespace

tsk_status string_safeCopyA(const char* src, char* dst, size_t size) {
  return safeCopy(src, dst, size);
}
tsk_status string_safeCopyW(const tsk_wchar_t* src, tsk_wchar_t* dst, size_t size) {
  return safeCopy(src, dst, size);
}

tsk_status string_safeConcatenateW(const tsk_wchar_t* src, tsk_wchar_t* dst, size_t size) {
  if (src == nullptr || dst == nullptr || size == 0) {
    return TSK_FAIL;
  }
  // A destination that already fills the buffer has no room to give.
  const size_t used = text::wideLength(dst, size);
  if (used >= size) {
    return TSK_FAIL;
  }
  size_t i = 0;
  for (; used + i + 1 < size && src[i] != 0; ++i) {
    dst[used + i] = src[i];
  }
  dst[used + i] = 0;
  dst[size - 1] = 0;
  return TSK_OK;
}

tsk_status string_safeVsprintfA(char* buf, size_t size, const char* format, va_list args) {
  return safeVsprintf(buf, size, format, args);
}
tsk_status string_safeVsprintfW(tsk_wchar_t* buf, size_t size, const tsk_wchar_t* format,
                                va_list args) {
  return safeVsprintf(buf, size, format, args);
}

tsk_status string_safeSprintfA(char* buf, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const tsk_status status = safeVsprintf(buf, size, format, args);
  va_end(args);
  return status;
}
tsk_status string_safeSprintfW(tsk_wchar_t* buf, size_t size, const tsk_wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const tsk_status status = safeVsprintf(buf, size, format, args);
  va_end(args);
  return status;
}

tsk_wchar_t* string_sprintfAllocW(tsk_allocate_fn allocate, const tsk_wchar_t* format, ...) {
  if (allocate == nullptr || format == nullptr) {
    return nullptr;
  }
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  tsk_wchar_t* block = nullptr;
  const int n = text::vformatLength(format, args);
  if (n >= 0) {
    const size_t units = static_cast<size_t>(n) + 1;
    block = static_cast<tsk_wchar_t*>(allocate(units * sizeof(tsk_wchar_t)));
    // The block is the caller's allocator's, which the runtime heap's free
    // releases.
    if (block != nullptr && text::vformatSecure(block, units, format, again) != n) {
      tsk::heap::releaseCallerBlock(block);
      block = nullptr;
    }
  }
  va_end(again);
  va_end(args);
  return block;
}
