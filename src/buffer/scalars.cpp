// Scalar items: fixed-width values stored as straight copies of their bytes.
#include "tskbase/buffer.h"

#include "packed_item.h"

using namespace tsk::buffer;

// Pack. Names that differ only in the declared type share one width.
tsk_status buffer_packChar(Byte** next, Byte* pos, char value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packUChar(Byte** next, Byte* pos, unsigned char value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packShort(Byte** next, Byte* pos, int16_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packUShort(Byte** next, Byte* pos, uint16_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packWChar(Byte** next, Byte* pos, tsk_wchar_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packInt(Byte** next, Byte* pos, int32_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packUInt(Byte** next, Byte* pos, uint32_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packLong(Byte** next, Byte* pos, int32_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packULong(Byte** next, Byte* pos, uint32_t value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packFloat(Byte** next, Byte* pos, float value) {
  return packScalar(next, pos, value);
}
tsk_status buffer_packDouble(Byte** next, Byte* pos, double value) {
  return packScalar(next, pos, value);
}

// Unpack.
tsk_status buffer_unpackChar(Byte** next, Byte* pos, char* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackUChar(Byte** next, Byte* pos, unsigned char* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackShort(Byte** next, Byte* pos, int16_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackUShort(Byte** next, Byte* pos, uint16_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackWChar(Byte** next, Byte* pos, tsk_wchar_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackInt(Byte** next, Byte* pos, int32_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackUInt(Byte** next, Byte* pos, uint32_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackLong(Byte** next, Byte* pos, int32_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackULong(Byte** next, Byte* pos, uint32_t* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackFloat(Byte** next, Byte* pos, float* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackDouble(Byte** next, Byte* pos, double* value) {
  return unpackScalar(next, pos, value);
}
tsk_status buffer_unpackUint64(Byte** next, Byte* pos, uint64_t* value) {
  return unpackScalar(next, pos, value);
}

// Sizes.
uint32_t buffer_packedSizeChar(void) { return sizeof(char); }
uint32_t buffer_packedSizeUChar(void) { return sizeof(unsigned char); }
uint32_t buffer_packedSizeShort(void) { return sizeof(int16_t); }
uint32_t buffer_packedSizeUShort(void) { return sizeof(uint16_t); }
uint32_t buffer_packedSizeWChar(void) { return sizeof(tsk_wchar_t); }
uint32_t buffer_packedSizeInt(void) { return sizeof(int32_t); }
uint32_t buffer_packedSizeUInt(void) { return sizeof(uint32_t); }
uint32_t buffer_packedSizeLong(void) { return sizeof(int32_t); }
uint32_t buffer_packedSizeULong(void) { return sizeof(uint32_t); }
uint32_t buffer_packedSizeFloat(void) { return sizeof(float); }
uint32_t buffer_packedSizeDouble(void) { return sizeof(double); }
