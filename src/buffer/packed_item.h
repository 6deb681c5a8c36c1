// Building blocks of the packed-buffer format, shared by every buffer_
// function: unaligned loads and stores, and the generic scalar and
// counted-item operations. The exported functions are one-line wrappers that
// fix the declared value type.
#ifndef TSKBASE_SRC_BUFFER_PACKED_ITEM_H
#define TSKBASE_SRC_BUFFER_PACKED_ITEM_H

#include "text/utf.h"
#include "tskbase/common.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace tsk::buffer {

using Byte = unsigned char;

static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE 754 single and double expected");
static_assert(sizeof(tsk_wchar_t) == 2, "wide text is UTF-16");

// Size of the element count that leads every counted item.
inline constexpr uint32_t kCountSize = sizeof(uint32_t);

// memcpy of a fixed small size compiles to a single unaligned move.
template <typename T>
inline void store(Byte* pos, T value) {
  std::memcpy(pos, &value, sizeof(T));
}

template <typename T>
inline T load(const Byte* pos) {
  T value;
  std::memcpy(&value, pos, sizeof(T));
  return value;
}

// Packs one scalar of type T (width sizeof(T)).
template <typename T>
inline tsk_status packScalar(Byte** next, Byte* pos, T value) {
  if (next == nullptr || pos == nullptr) {
    return TSK_FAIL;
  }
  store(pos, value);
  *next = pos + sizeof(T);
  return TSK_OK;
}

// Unpacks one scalar of type T into *value.
template <typename T>
inline tsk_status unpackScalar(Byte** next, Byte* pos, T* value) {
  if (next == nullptr || pos == nullptr || value == nullptr) {
    return TSK_FAIL;
  }
  *value = load<T>(pos);
  *next = pos + sizeof(T);
  return TSK_OK;
}

// Byte length of `count` elements of `width` bytes. Computed in 64 bits: a
// 32-bit count times a width overflows 32 bits for large items.
inline size_t payloadBytes(uint32_t count, size_t width) {
  return static_cast<size_t>(count) * width;
}

// Packs a counted item: the 32-bit element count, then count elements of
// `width` bytes each from `src` in one block copy.
inline tsk_status packCounted(Byte** next, Byte* pos, uint32_t count, const void* src,
                              size_t width) {
  if (next == nullptr || pos == nullptr || (src == nullptr && count != 0)) {
    return TSK_FAIL;
  }
  store(pos, count);
  const size_t bytes = payloadBytes(count, width);
  if (bytes != 0) {
    std::memcpy(pos + kCountSize, src, bytes);
  }
  *next = pos + kCountSize + bytes;
  return TSK_OK;
}

// Unpacks a counted item into `dest`, which has room for *capacity elements.
// On success *capacity receives the stored count.
inline tsk_status unpackCounted(Byte** next, Byte* pos, uint32_t* capacity, void* dest,
                                size_t width) {
  if (next == nullptr || pos == nullptr || capacity == nullptr || dest == nullptr) {
    return TSK_FAIL;
  }
  const uint32_t count = load<uint32_t>(pos);
  if (*capacity < count) {
    return TSK_FAIL;
  }
  const size_t bytes = payloadBytes(count, width);
  if (bytes != 0) {
    std::memcpy(dest, pos + kCountSize, bytes);
  }
  *next = pos + kCountSize + bytes;
  *capacity = count;
  return TSK_OK;
}

// Length of a zero-terminated string, with the fastest scan for each width.
inline size_t stringLength(const char* str) { return std::strlen(str); }
inline size_t stringLength(const tsk_wchar_t* str) { return tsk::text::wideLength(str); }

// Element count of a string item: length + 1, or 0 for a null string. A
// string too long for a 32-bit count gives false.
template <typename CharT>
inline bool stringItemCount(const CharT* str, uint32_t* count) {
  if (str == nullptr) {
    *count = 0;
    return true;
  }
  const size_t length = stringLength(str);
  if (length >= UINT32_MAX) {
    return false;
  }
  *count = static_cast<uint32_t>(length + 1);
  return true;
}

// Packs a string as a counted item of its characters, terminator included.
template <typename CharT>
inline tsk_status packString(Byte** next, Byte* pos, const CharT* str) {
  uint32_t count = 0;
  if (!stringItemCount(str, &count)) {
    return TSK_FAIL;
  }
  return packCounted(next, pos, count, str, sizeof(CharT));
}

// Sizes are 32-bit: a size that does not fit is given as UINT32_MAX, so that
// a buffer sized from it cannot come out too small.
inline uint32_t saturated(uint64_t size) {
  return size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

// Sum of two sizes, saturated.
inline uint32_t addSizes(uint32_t a, uint32_t b) { return saturated(uint64_t{a} + b); }

// Upper bound of a string item's packed size: 4 for a null string, otherwise
// the item's size plus 4 spare bytes.
template <typename CharT>
inline uint32_t packedStringSizeBound(const CharT* str) {
  if (str == nullptr) {
    return kCountSize;
  }
  const uint64_t length = stringLength(str);
  return saturated(sizeof(CharT) * (length + 1) + 2 * kCountSize);
}

// Exact packed size of `count` elements of `width` bytes.
inline uint32_t packedArraySize(uint32_t count, uint32_t width) {
  return saturated(kCountSize + uint64_t{count} * width);
}

} // namespace tsk::buffer

#endif // TSKBASE_SRC_BUFFER_PACKED_ITEM_H
