// Packing and unpacking a record of 16 mixed fields through the exported
// buffer_ functions, beside a hand-written inline serializer of the same
// record: the inline version is the ceiling the library is measured against.
#include "tskbase/buffer.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The text and array fields are sized by the benchmark arguments: a compact
// record is dominated by the 16 calls, a bulky one by the copies.
struct Record {
  Record(size_t textLength, size_t sampleCount)
      : nameText(textLength, 'n'), labelText(textLength, 0x00DF), sampleData(sampleCount, 42) {
    name = nameText.c_str();
    label = labelText.c_str();
    samples = sampleData.data();
    sampleSize = static_cast<uint32_t>(sampleCount);
  }

  int32_t id = 7;
  uint32_t flags = 0xF0F0;
  int16_t delta = -12;
  uint16_t port = 8080;
  char grade = 'A';
  unsigned char level = 200;
  int32_t offset = -100000;
  uint32_t sequence = 123456789;
  float ratio = 0.75f;
  double value = 3.14159;
  tsk_wchar_t mark = 0x263A;
  std::string nameText;
  std::basic_string<tsk_wchar_t> labelText;
  std::vector<int32_t> sampleData;
  const char* name;
  const tsk_wchar_t* label;
  const int32_t* samples;
  uint32_t sampleSize;
  double limit = 99.5;
  int32_t checksum = 0x5A5A;
};

struct RecordOut {
  explicit RecordOut(const Record& r)
      : nameData(r.nameText.size() + 1), labelData(r.labelText.size() + 1),
        sampleData(r.sampleSize) {
    name = nameData.data();
    label = labelData.data();
    samples = sampleData.data();
  }

  int32_t id, offset, checksum;
  uint32_t flags, sequence;
  int16_t delta;
  uint16_t port;
  char grade;
  unsigned char level;
  float ratio;
  double value, limit;
  tsk_wchar_t mark;
  std::vector<char> nameData;
  std::vector<tsk_wchar_t> labelData;
  std::vector<int32_t> sampleData;
  char* name;
  tsk_wchar_t* label;
  int32_t* samples;
};

uint32_t packedSize(const Record& r) {
  return buffer_packedSizeInt() * 3 + buffer_packedSizeUInt() + buffer_packedSizeShort() +
         buffer_packedSizeUShort() + buffer_packedSizeChar() + buffer_packedSizeUChar() +
         buffer_packedSizeULong() + buffer_packedSizeFloat() + buffer_packedSizeDouble() * 2 +
         buffer_packedSizeWChar() + buffer_packedSizeString(r.name) +
         buffer_packedSizeWString(r.label) + buffer_packedArraySizeInt(r.sampleSize);
}

// ---- Through the library ---------------------------------------------------

unsigned char* packWithLibrary(const Record& r, unsigned char* p) {
  buffer_packInt(&p, p, r.id);
  buffer_packUInt(&p, p, r.flags);
  buffer_packShort(&p, p, r.delta);
  buffer_packUShort(&p, p, r.port);
  buffer_packChar(&p, p, r.grade);
  buffer_packUChar(&p, p, r.level);
  buffer_packLong(&p, p, r.offset);
  buffer_packULong(&p, p, r.sequence);
  buffer_packFloat(&p, p, r.ratio);
  buffer_packDouble(&p, p, r.value);
  buffer_packWChar(&p, p, r.mark);
  buffer_packString(&p, p, r.name);
  buffer_packWString(&p, p, r.label);
  buffer_packIntArray(&p, p, r.sampleSize, r.samples);
  buffer_packDouble(&p, p, r.limit);
  buffer_packInt(&p, p, r.checksum);
  return p;
}

unsigned char* unpackWithLibrary(unsigned char* p, RecordOut& o) {
  uint32_t n = 0;
  buffer_unpackInt(&p, p, &o.id);
  buffer_unpackUInt(&p, p, &o.flags);
  buffer_unpackShort(&p, p, &o.delta);
  buffer_unpackUShort(&p, p, &o.port);
  buffer_unpackChar(&p, p, &o.grade);
  buffer_unpackUChar(&p, p, &o.level);
  buffer_unpackLong(&p, p, &o.offset);
  buffer_unpackULong(&p, p, &o.sequence);
  buffer_unpackFloat(&p, p, &o.ratio);
  buffer_unpackDouble(&p, p, &o.value);
  buffer_unpackWChar(&p, p, &o.mark);
  n = static_cast<uint32_t>(o.nameData.size());
  buffer_unpackString(&p, p, &n, o.name);
  n = static_cast<uint32_t>(o.labelData.size());
  buffer_unpackWString(&p, p, &n, o.label);
  n = static_cast<uint32_t>(o.sampleData.size());
  buffer_unpackIntArray(&p, p, &n, o.samples);
  buffer_unpackDouble(&p, p, &o.limit);
  buffer_unpackInt(&p, p, &o.checksum);
  return p;
}

// ---- The inline ceiling -----------------------------------------------------

template <typename T>
inline unsigned char* put(unsigned char* p, T v) {
  std::memcpy(p, &v, sizeof v);
  return p + sizeof v;
}

inline unsigned char* putCounted(unsigned char* p, uint32_t count, const void* src, size_t width) {
  p = put(p, count);
  std::memcpy(p, src, count * width);
  return p + count * width;
}

template <typename T>
inline unsigned char* get(unsigned char* p, T& v) {
  std::memcpy(&v, p, sizeof v);
  return p + sizeof v;
}

inline unsigned char* getCounted(unsigned char* p, uint32_t capacity, void* dest, size_t width) {
  uint32_t count;
  p = get(p, count);
  if (count <= capacity) {
    std::memcpy(dest, p, count * width);
  }
  return p + count * width;
}

unsigned char* packInline(const Record& r, unsigned char* p) {
  p = put(p, r.id);
  p = put(p, r.flags);
  p = put(p, r.delta);
  p = put(p, r.port);
  p = put(p, r.grade);
  p = put(p, r.level);
  p = put(p, r.offset);
  p = put(p, r.sequence);
  p = put(p, r.ratio);
  p = put(p, r.value);
  p = put(p, r.mark);
  p = putCounted(p, static_cast<uint32_t>(std::strlen(r.name) + 1), r.name, 1);
  p = putCounted(p, static_cast<uint32_t>(std::char_traits<tsk_wchar_t>::length(r.label) + 1),
                 r.label, 2);
  p = putCounted(p, r.sampleSize, r.samples, 4);
  p = put(p, r.limit);
  p = put(p, r.checksum);
  return p;
}

unsigned char* unpackInline(unsigned char* p, RecordOut& o) {
  p = get(p, o.id);
  p = get(p, o.flags);
  p = get(p, o.delta);
  p = get(p, o.port);
  p = get(p, o.grade);
  p = get(p, o.level);
  p = get(p, o.offset);
  p = get(p, o.sequence);
  p = get(p, o.ratio);
  p = get(p, o.value);
  p = get(p, o.mark);
  p = getCounted(p, static_cast<uint32_t>(o.nameData.size()), o.name, 1);
  p = getCounted(p, static_cast<uint32_t>(o.labelData.size()), o.label, 2);
  p = getCounted(p, static_cast<uint32_t>(o.sampleData.size()), o.samples, 4);
  p = get(p, o.limit);
  p = get(p, o.checksum);
  return p;
}

// ---- Benchmarks ---------------------------------------------------------------

// Arguments: text length, int-array length.
void recordSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"text", "ints"})->Args({24, 16})->Args({256, 256})->Args({4096, 4096});
}

void BM_PackLibrary(benchmark::State& state) {
  const Record r(state.range(0), state.range(1));
  std::vector<unsigned char> buf(packedSize(r));
  for (auto _ : state) {
    benchmark::DoNotOptimize(packWithLibrary(r, buf.data()));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PackLibrary)->Apply(recordSizes);

void BM_PackInline(benchmark::State& state) {
  const Record r(state.range(0), state.range(1));
  std::vector<unsigned char> buf(packedSize(r));
  for (auto _ : state) {
    benchmark::DoNotOptimize(packInline(r, buf.data()));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PackInline)->Apply(recordSizes);

void BM_UnpackLibrary(benchmark::State& state) {
  const Record r(state.range(0), state.range(1));
  std::vector<unsigned char> buf(packedSize(r));
  packWithLibrary(r, buf.data());
  RecordOut out(r);
  for (auto _ : state) {
    benchmark::DoNotOptimize(unpackWithLibrary(buf.data(), out));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UnpackLibrary)->Apply(recordSizes);

void BM_UnpackInline(benchmark::State& state) {
  const Record r(state.range(0), state.range(1));
  std::vector<unsigned char> buf(packedSize(r));
  packInline(r, buf.data());
  RecordOut out(r);
  for (auto _ : state) {
    benchmark::DoNotOptimize(unpackInline(buf.data(), out));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UnpackInline)->Apply(recordSizes);

} // namespace

BENCHMARK_MAIN();
