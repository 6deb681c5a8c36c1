// Single counted items: narrow strings, wide strings and raw byte runs.
#include "tskbase/buffer.h"

#include "packed_item.h"

using namespace tsk::buffer;

tsk_status buffer_packString(Byte** next, Byte* pos, const char* str) {
  return packString(next, pos, str);
}
tsk_status buffer_packWString(Byte** next, Byte* pos, const tsk_wchar_t* str) {
  return packString(next, pos, str);
}
tsk_status buffer_packRaw(Byte** next, Byte* pos, uint32_t count, const void* data) {
  return packCounted(next, pos, count, data, 1);
}

tsk_status buffer_unpackString(Byte** next, Byte* pos, uint32_t* capacity, char* dest) {
  return unpackCounted(next, pos, capacity, dest, sizeof(char));
}
tsk_status buffer_unpackWString(Byte** next, Byte* pos, uint32_t* capacity, tsk_wchar_t* dest) {
  return unpackCounted(next, pos, capacity, dest, sizeof(tsk_wchar_t));
}
tsk_status buffer_unpackRaw(Byte** next, Byte* pos, uint32_t* capacity, void* dest) {
  return unpackCounted(next, pos, capacity, dest, 1);
}

uint32_t buffer_packedSizeString(const char* str) { return packedStringSizeBound(str); }
uint32_t buffer_packedSizeWString(const tsk_wchar_t* str) { return packedStringSizeBound(str); }
uint32_t buffer_packedRawSize(uint32_t count) { return packedArraySize(count, 1); }
