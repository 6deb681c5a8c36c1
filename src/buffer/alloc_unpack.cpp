// Unpackers that allocate what they return, so that the caller need not know
// an item's length beforehand.
#include "core/heap.h"
#include "packed_item.h"
#include "tskbase/buffer.h"
#include "tskbase/string_array.h"

using namespace tsk::buffer;

namespace {

// Reads a counted item into a fresh block of exactly its elements (null for
// count 0). Nothing is written unless the whole call succeeds.
template <typename T>
tsk_status unpackBlock(Byte** next, Byte* pos, uint32_t* count, T** block) {
  if (next == nullptr || pos == nullptr || count == nullptr || block == nullptr) {
    return TSK_FAIL;
  }
  const uint32_t stored = load<uint32_t>(pos);
  T* elements = nullptr;
  if (stored != 0) {
    elements = tsk::heap::allocateArray<T>(stored);
    if (elements == nullptr) {
      return TSK_FAIL;
    }
    std::memcpy(elements, pos + kCountSize, payloadBytes(stored, sizeof(T)));
  }
  *block = elements;
  *next = pos + kCountSize + payloadBytes(stored, sizeof(T));
  *count = stored;
  return TSK_OK;
}

template <typename CharT>
tsk_status unpackString(Byte** next, Byte* pos, CharT** str) {
  uint32_t count = 0;
  return unpackBlock(next, pos, &count, str);
}

template <typename CharT>
tsk_status destroyArray(CharT*** array, uint32_t* count);

template <>
tsk_status destroyArray(char*** array, uint32_t* count) {
  return stringArray_destroyA(array, count);
}

template <>
tsk_status destroyArray(tsk_wchar_t*** array, uint32_t* count) {
  return stringArray_destroyW(array, count);
}

// Reads a string array into a fresh block of string pointers. If a string
// cannot be allocated, the strings read so far and the block are released.
template <typename CharT>
tsk_status unpackStringArray(Byte** next, Byte* pos, uint32_t* count, CharT*** array) {
  if (next == nullptr || pos == nullptr || count == nullptr || array == nullptr) {
    return TSK_FAIL;
  }
  const uint32_t stored = load<uint32_t>(pos);
  Byte* cursor = pos + kCountSize;
  CharT** strings = nullptr;
  if (stored != 0) {
    strings = tsk::heap::allocateArray<CharT*>(stored);
    if (strings == nullptr) {
      return TSK_FAIL;
    }
    for (uint32_t i = 0; i < stored; ++i) {
      if (unpackString(&cursor, cursor, &strings[i]) != TSK_OK) {
        uint32_t done = i;
        destroyArray(&strings, &done);
        return TSK_FAIL;
      }
    }
  }
  *array = strings;
  *next = cursor;
  *count = stored;
  return TSK_OK;
}

} // namespace

tsk_status buffer_unpackRawAlloc(Byte** next, Byte* pos, uint32_t* count, void** block) {
  if (block == nullptr) {
    return TSK_FAIL;
  }
  Byte* bytes = nullptr;
  const tsk_status status = unpackBlock(next, pos, count, &bytes);
  if (status == TSK_OK) {
    *block = bytes;
  }
  return status;
}
tsk_status buffer_unpackCharArrayAlloc(Byte** next, Byte* pos, uint32_t* count, char** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackShortArrayAlloc(Byte** next, Byte* pos, uint32_t* count, int16_t** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackUShortArrayAlloc(Byte** next, Byte* pos, uint32_t* count,
                                         uint16_t** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackWCharArrayAlloc(Byte** next, Byte* pos, uint32_t* count,
                                        tsk_wchar_t** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackIntArrayAlloc(Byte** next, Byte* pos, uint32_t* count, int32_t** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackLongArrayAlloc(Byte** next, Byte* pos, uint32_t* count, int32_t** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackULongArrayAlloc(Byte** next, Byte* pos, uint32_t* count, uint32_t** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackFloatArrayAlloc(Byte** next, Byte* pos, uint32_t* count, float** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackDoubleArrayAlloc(Byte** next, Byte* pos, uint32_t* count, double** block) {
  return unpackBlock(next, pos, count, block);
}
tsk_status buffer_unpackStringAlloc(Byte** next, Byte* pos, char** str) {
  return unpackString(next, pos, str);
}
tsk_status buffer_unpackWStringAlloc(Byte** next, Byte* pos, tsk_wchar_t** str) {
  return unpackString(next, pos, str);
}
tsk_status buffer_unpackStringArrayAlloc(Byte** next, Byte* pos, uint32_t* count, char*** array) {
  return unpackStringArray(next, pos, count, array);
}
tsk_status buffer_unpackWStringArrayAlloc(Byte** next, Byte* pos, uint32_t* count,
                                          tsk_wchar_t*** array) {
  return unpackStringArray(next, pos, count, array);
}
