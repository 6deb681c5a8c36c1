// Packs a record of mixed fields, dumps its bytes and reads it back.
#include "tskbase/buffer.h"
#include "tskbase/os_util.h"
#include "tskbase/string_array.h"

#include <cstdio>
#include <string>
#include <vector>

#include "demo.h"

void demo::packedBuffers() {
  heading("Packed buffers: a record of mixed fields");

  const int32_t id = 1042;
  const char* name = "sensor-7";
  const tsk_wchar_t* unit = TSK_W("kPa");
  const double reading = 101.325;
  const int16_t samples[4] = {-3, 0, 12, 700};
  const char* const tags[] = {"outdoor", nullptr, "calibrated"};

  // Writer: size the buffer from the size functions, then pack field by field.
  const uint32_t bound = buffer_packedSizeInt() + buffer_packedSizeString(name) +
                         buffer_packedSizeWString(unit) + buffer_packedSizeDouble() +
                         buffer_packedArraySizeShort(4) + buffer_packedArraySizeString(3, tags);
  std::vector<unsigned char> buf(bound);
  unsigned char* p = buf.data();
  buffer_packInt(&p, p, id);
  buffer_packString(&p, p, name);
  buffer_packWString(&p, p, unit);
  buffer_packDouble(&p, p, reading);
  buffer_packShortArray(&p, p, 4, samples);
  buffer_packStringArray(&p, p, 3, tags);
  const auto used = static_cast<size_t>(p - buf.data());

  std::printf("packed %zu bytes (sized for %u):\n", used, bound);
  hexDump(buf.data(), used);

  // Reader: the same fields in the same order.
  int32_t idOut = 0;
  char nameOut[32];
  tsk_wchar_t unitOut[8];
  double readingOut = 0;
  int16_t samplesOut[8];
  char tagSlots[3][16] = {{0}, {'-', 0}, {0}};
  uint32_t n = 0;

  p = buf.data();
  buffer_unpackInt(&p, p, &idOut);
  n = sizeof nameOut;
  buffer_unpackString(&p, p, &n, nameOut);
  n = 8;
  buffer_unpackWString(&p, p, &n, unitOut);
  buffer_unpackDouble(&p, p, &readingOut);
  n = 8;
  buffer_unpackShortArray(&p, p, &n, samplesOut);
  const uint32_t sampleCount = n;
  n = 3;
  const tsk_status status = buffer_unpackStringArray(&p, p, &n, 16, &tagSlots[0][0]);

  std::printf("\nread back (status %u, %zu bytes):\n", status, static_cast<size_t>(p - buf.data()));
  std::printf("  id       %d\n  name     %s\n  unit     %s\n  reading  %.3f\n  samples ", idOut,
              nameOut, ascii(unitOut).c_str(), readingOut);
  for (uint32_t i = 0; i < sampleCount; ++i) {
    std::printf(" %d", samplesOut[i]);
  }
  std::printf("\n  tags     %s, %s (packed from a null pointer), %s\n", tagSlots[0], tagSlots[1],
              tagSlots[2]);
}

void demo::paddedAndAllocated() {
  heading("Packed buffers: padded fields and allocating unpack");

  // A fixed-width record: the padded name field keeps `score` at offset 24
  // whatever the name's length.
  std::vector<unsigned char> record(28, 0);
  unsigned char* p = record.data();
  buffer_packPaddedString(&p, p, 16, "Ada");
  buffer_packInt(&p, p, 97);
  std::printf("fixed-width record (name field 16 wide, score at offset %zu):\n",
              static_cast<size_t>(p - record.data()) - 4);
  hexDump(record.data(), record.size());

  // A string array unpacked into memory that the library allocates and the
  // caller releases through the library.
  const char* const words[] = {"alpha", nullptr, "gamma", ""};
  std::vector<unsigned char> buf(buffer_packedArraySizeString(4, words));
  p = buf.data();
  buffer_packStringArray(&p, p, 4, words);

  char** array = nullptr;
  uint32_t count = 0;
  p = buf.data();
  buffer_unpackStringArrayAlloc(&p, p, &count, &array);
  std::printf("\nunpacked %u strings into library-allocated memory:", count);
  for (uint32_t i = 0; i < count; ++i) {
    std::printf(" %s", array[i] == nullptr ? "(null)" : array[i][0] == 0 ? "\"\"" : array[i]);
  }
  stringArray_removeNullsA(array, &count);
  std::printf("\nwithout nulls: %u strings", count);
  stringArray_destroyA(&array, &count);
  std::printf("; released: array %s, count %u\n", array == nullptr ? "null" : "set", count);

  // A single array comes back in one block, released with osUtil_freeMemory.
  const int32_t values[] = {7, -1, 40};
  std::vector<unsigned char> ints(buffer_packedArraySizeInt(3));
  p = ints.data();
  buffer_packIntArray(&p, p, 3, values);
  int32_t* block = nullptr;
  p = ints.data();
  buffer_unpackIntArrayAlloc(&p, p, &count, &block);
  std::printf("unpacked %u ints into one block: %d %d %d", count, block[0], block[1], block[2]);
  osUtil_freeMemory(block);
  std::printf("; released with osUtil_freeMemory\n");
}
