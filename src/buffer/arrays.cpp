// Scalar arrays (counted items of fixed-width elements) and string arrays (a
// string count followed by that many string items).
#include "tskbase/buffer.h"

#include "packed_item.h"

using namespace tsk::buffer;

namespace {

template <typename T>
tsk_status packArray(Byte** next, Byte* pos, uint32_t count, const T* src) {
  return packCounted(next, pos, count, src, sizeof(T));
}

template <typename T>
tsk_status unpackArray(Byte** next, Byte* pos, uint32_t* count, T* dest) {
  return unpackCounted(next, pos, count, dest, sizeof(T));
}

template <typename T>
uint32_t arraySize(uint32_t count) {
  return packedArraySize(count, sizeof(T));
}

template <typename CharT>
tsk_status packStringArray(Byte** next, Byte* pos, uint32_t count, const CharT* const* strings) {
  if (next == nullptr || pos == nullptr || (strings == nullptr && count != 0)) {
    return TSK_FAIL;
  }
  store(pos, count);
  Byte* cursor = pos + kCountSize;
  for (uint32_t i = 0; i < count; ++i) {
    const tsk_status status = packString(&cursor, cursor, strings[i]);
    if (status != TSK_OK) {
      return status;
    }
  }
  *next = cursor;
  return TSK_OK;
}

// Unpacks string i into slots + i * stride, each with a capacity of stride.
// A failure at string i leaves slots 0..i-1 filled and writes nothing else.
template <typename CharT>
tsk_status unpackStringArray(Byte** next, Byte* pos, uint32_t* count, uint32_t stride,
                             CharT* slots) {
  if (next == nullptr || pos == nullptr || count == nullptr || slots == nullptr || stride == 0) {
    return TSK_FAIL;
  }
  const uint32_t stored = load<uint32_t>(pos);
  if (*count < stored) {
    return TSK_FAIL;
  }
  Byte* cursor = pos + kCountSize;
  CharT* slot = slots;
  for (uint32_t i = 0; i < stored; ++i, slot += stride) {
    uint32_t capacity = stride;
    const tsk_status status = unpackCounted(&cursor, cursor, &capacity, slot, sizeof(CharT));
    if (status != TSK_OK) {
      return status;
    }
  }
  *next = cursor;
  *count = stored;
  return TSK_OK;
}

template <typename CharT>
uint32_t stringArraySize(uint32_t count, const CharT* const* strings) {
  uint32_t size = kCountSize;
  if (strings == nullptr) {
    return size;
  }
  for (uint32_t i = 0; i < count; ++i) {
    size = addSizes(size, packedStringSizeBound(strings[i]));
  }
  return size;
}

} // namespace

// Pack. A Char array is the same item as Raw; a WChar array the same as a
// WString.
tsk_status buffer_packCharArray(Byte** next, Byte* pos, uint32_t count, const char* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packShortArray(Byte** next, Byte* pos, uint32_t count, const int16_t* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packUShortArray(Byte** next, Byte* pos, uint32_t count, const uint16_t* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packWCharArray(Byte** next, Byte* pos, uint32_t count, const tsk_wchar_t* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packIntArray(Byte** next, Byte* pos, uint32_t count, const int32_t* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packLongArray(Byte** next, Byte* pos, uint32_t count, const int32_t* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packULongArray(Byte** next, Byte* pos, uint32_t count, const uint32_t* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packFloatArray(Byte** next, Byte* pos, uint32_t count, const float* src) {
  return packArray(next, pos, count, src);
}
tsk_status buffer_packDoubleArray(Byte** next, Byte* pos, uint32_t count, const double* src) {
  return packArray(next, pos, count, src);
}

// Unpack.
tsk_status buffer_unpackCharArray(Byte** next, Byte* pos, uint32_t* count, char* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackShortArray(Byte** next, Byte* pos, uint32_t* count, int16_t* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackUShortArray(Byte** next, Byte* pos, uint32_t* count, uint16_t* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackWCharArray(Byte** next, Byte* pos, uint32_t* count, tsk_wchar_t* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackIntArray(Byte** next, Byte* pos, uint32_t* count, int32_t* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackLongArray(Byte** next, Byte* pos, uint32_t* count, int32_t* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackULongArray(Byte** next, Byte* pos, uint32_t* count, uint32_t* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackFloatArray(Byte** next, Byte* pos, uint32_t* count, float* dest) {
  return unpackArray(next, pos, count, dest);
}
tsk_status buffer_unpackDoubleArray(Byte** next, Byte* pos, uint32_t* count, double* dest) {
  return unpackArray(next, pos, count, dest);
}

// Sizes.
uint32_t buffer_packedArraySizeChar(uint32_t count) { return arraySize<char>(count); }
uint32_t buffer_packedArraySizeShort(uint32_t count) { return arraySize<int16_t>(count); }
uint32_t buffer_packedArraySizeUShort(uint32_t count) { return arraySize<uint16_t>(count); }
uint32_t buffer_packedArraySizeWChar(uint32_t count) { return arraySize<tsk_wchar_t>(count); }
uint32_t buffer_packedArraySizeInt(uint32_t count) { return arraySize<int32_t>(count); }
uint32_t buffer_packedArraySizeLong(uint32_t count) { return arraySize<int32_t>(count); }
uint32_t buffer_packedArraySizeULong(uint32_t count) { return arraySize<uint32_t>(count); }
uint32_t buffer_packedArraySizeFloat(uint32_t count) { return arraySize<float>(count); }
uint32_t buffer_packedArraySizeDouble(uint32_t count) { return arraySize<double>(count); }

// String arrays.
tsk_status buffer_packStringArray(Byte** next, Byte* pos, uint32_t count,
                                  const char* const* strings) {
  return packStringArray(next, pos, count, strings);
}
tsk_status buffer_packWStringArray(Byte** next, Byte* pos, uint32_t count,
                                   const tsk_wchar_t* const* strings) {
  return packStringArray(next, pos, count, strings);
}
tsk_status buffer_unpackStringArray(Byte** next, Byte* pos, uint32_t* count, uint32_t stride,
                                    char* slots) {
  return unpackStringArray(next, pos, count, stride, slots);
}
tsk_status buffer_unpackWStringArray(Byte** next, Byte* pos, uint32_t* count, uint32_t stride,
                                     tsk_wchar_t* slots) {
  return unpackStringArray(next, pos, count, stride, slots);
}
uint32_t buffer_packedArraySizeString(uint32_t count, const char* const* strings) {
  return stringArraySize(count, strings);
}
uint32_t buffer_packedArraySizeWString(uint32_t count, const tsk_wchar_t* const* strings) {
  return stringArraySize(count, strings);
}
