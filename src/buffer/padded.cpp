// Padded fields: a count, a field width, then the stored elements, with the
// field always occupying its full width so that later items keep their
// offsets.
#include <climits>

#include "packed_item.h"
#include "tskbase/buffer.h"

using namespace tsk::buffer;

namespace {

// Count and field width, both signed 32-bit.
constexpr size_t kPaddedHeaderSize = 2 * sizeof(int32_t);

// A field is well formed when its elements fit inside it. Anything else would
// make a pack write, or an unpack read, into the item behind the field.
bool fieldFits(int32_t count, int32_t width) { return count >= 0 && width >= 0 && count <= width; }

Byte* fieldEnd(Byte* pos, int32_t width, size_t elementWidth) {
  return pos + kPaddedHeaderSize + static_cast<size_t>(width) * elementWidth;
}

tsk_status packPadded(Byte** next, Byte* pos, int32_t count, int32_t width, const void* src,
                      size_t elementWidth) {
  if (next == nullptr || pos == nullptr || (src == nullptr && count != 0) ||
      !fieldFits(count, width)) {
    return TSK_FAIL;
  }
  store(pos, count);
  store(pos + sizeof(int32_t), width);
  if (count > 0) {
    std::memcpy(pos + kPaddedHeaderSize, src, static_cast<size_t>(count) * elementWidth);
  }
  *next = fieldEnd(pos, width, elementWidth);
  return TSK_OK;
}

// Unpacks into `dest`, which has room for *capacity elements; on success
// *capacity receives the stored count.
tsk_status unpackPadded(Byte** next, Byte* pos, int32_t* capacity, void* dest,
                        size_t elementWidth) {
  if (next == nullptr || pos == nullptr || capacity == nullptr) {
    return TSK_FAIL;
  }
  const auto count = load<int32_t>(pos);
  const auto width = load<int32_t>(pos + sizeof(int32_t));
  if (!fieldFits(count, width) || *capacity < count) {
    return TSK_FAIL;
  }
  if (count > 0) {
    if (dest == nullptr) {
      return TSK_FAIL;
    }
    std::memcpy(dest, pos + kPaddedHeaderSize, static_cast<size_t>(count) * elementWidth);
  }
  *next = fieldEnd(pos, width, elementWidth);
  *capacity = count;
  return TSK_OK;
}

template <typename T>
tsk_status packPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width, const T* src) {
  return packPadded(next, pos, count, width, src, sizeof(T));
}

template <typename T>
tsk_status unpackPaddedArray(Byte** next, Byte* pos, int32_t* count, T* dest) {
  return unpackPadded(next, pos, count, dest, sizeof(T));
}

// The count of a padded string is its length plus the terminator. A null
// string counts 1 as well, so that the pack fails on its null source.
template <typename CharT>
tsk_status packPaddedString(Byte** next, Byte* pos, int32_t width, const CharT* str) {
  if (str == nullptr) {
    return TSK_FAIL;
  }
  const size_t length = stringLength(str);
  if (length >= static_cast<size_t>(INT32_MAX)) {
    return TSK_FAIL;
  }
  return packPadded(next, pos, static_cast<int32_t>(length + 1), width, str, sizeof(CharT));
}

// The destination of a padded string is expected to hold the field's width,
// which therefore serves as the capacity.
template <typename CharT>
tsk_status unpackPaddedString(Byte** next, Byte* pos, CharT* dest) {
  int32_t capacity = INT32_MAX;
  return unpackPadded(next, pos, &capacity, dest, sizeof(CharT));
}

} // namespace

// Pack.
tsk_status buffer_packCharPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                      const char* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packShortPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                       const int16_t* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packUShortPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                        const uint16_t* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packWCharPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                       const tsk_wchar_t* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packIntPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                     const int32_t* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packLongPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                      const int32_t* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packULongPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                       const uint32_t* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packFloatPaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                       const float* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packDoublePaddedArray(Byte** next, Byte* pos, int32_t count, int32_t width,
                                        const double* src) {
  return packPaddedArray(next, pos, count, width, src);
}
tsk_status buffer_packPaddedString(Byte** next, Byte* pos, int32_t width, const char* str) {
  return packPaddedString(next, pos, width, str);
}
tsk_status buffer_packPaddedWString(Byte** next, Byte* pos, int32_t width, const tsk_wchar_t* str) {
  return packPaddedString(next, pos, width, str);
}

// Unpack.
tsk_status buffer_unpackCharPaddedArray(Byte** next, Byte* pos, int32_t* count, char* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackShortPaddedArray(Byte** next, Byte* pos, int32_t* count, int16_t* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackUShortPaddedArray(Byte** next, Byte* pos, int32_t* count, uint16_t* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackWCharPaddedArray(Byte** next, Byte* pos, int32_t* count,
                                         tsk_wchar_t* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackIntPaddedArray(Byte** next, Byte* pos, int32_t* count, int32_t* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackLongPaddedArray(Byte** next, Byte* pos, int32_t* count, int32_t* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackULongPaddedArray(Byte** next, Byte* pos, int32_t* count, uint32_t* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackFloatPaddedArray(Byte** next, Byte* pos, int32_t* count, float* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackDoublePaddedArray(Byte** next, Byte* pos, int32_t* count, double* dest) {
  return unpackPaddedArray(next, pos, count, dest);
}
tsk_status buffer_unpackPaddedString(Byte** next, Byte* pos, char* dest) {
  return unpackPaddedString(next, pos, dest);
}
tsk_status buffer_unpackPaddedWString(Byte** next, Byte* pos, tsk_wchar_t* dest) {
  return unpackPaddedString(next, pos, dest);
}
