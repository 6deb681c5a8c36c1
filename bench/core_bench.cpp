// GUID text forms and creation, hexadecimal conversion, reference counting
// under contention, and walks of an intrusive list.
#include "tskbase/guid.h"
#include "tskbase/linked_list.h"
#include "tskbase/reference_count.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

namespace {

tsk_guid someGuid() {
  tsk_guid guid;
  guid_create(&guid);
  return guid;
}

void GuidCreate(benchmark::State& state) {
  tsk_guid guid;
  for (auto _ : state) {
    benchmark::DoNotOptimize(guid_create(&guid));
  }
}
BENCHMARK(GuidCreate);

void GuidToString(benchmark::State& state) {
  const tsk_guid guid = someGuid();
  tsk_wchar_t text[39];
  const auto flags = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(guid_guidToString(&guid, flags, text, 39));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(GuidToString)->Arg(0)->Arg(GUID_FLAG_BRACES | GUID_FLAG_UPPERCASE);

void GuidFromString(benchmark::State& state) {
  const tsk_guid guid = someGuid();
  tsk_wchar_t text[39];
  guid_guidToString(&guid, GUID_FLAG_BRACES, text, 39);
  tsk_guid parsed;
  for (auto _ : state) {
    benchmark::DoNotOptimize(guid_stringToGuid(text, &parsed));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(GuidFromString);

void GuidIsValid(benchmark::State& state) {
  const tsk_guid guid = someGuid();
  tsk_wchar_t text[39];
  guid_guidToString(&guid, GUID_FLAG_BRACES, text, 39);
  for (auto _ : state) {
    benchmark::DoNotOptimize(guid_isValidGuid(text));
  }
}
BENCHMARK(GuidIsValid);

void HexRoundTrip(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0));
  std::vector<unsigned char> bytes(count, 0xA5), back(count);
  std::vector<char> hex(2 * count);
  for (auto _ : state) {
    guid_convertByteToHexCharsA(bytes.data(), count, hex.data());
    benchmark::DoNotOptimize(guid_convertHexCharsToByteA(hex.data(), count, back.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count));
}
BENCHMARK(HexRoundTrip)->Arg(16)->Arg(4096);

// AddRef and Release on one shared object from 1 to 4 threads.
void RefCountAddRelease(benchmark::State& state) {
  static ReferenceCount shared;
  for (auto _ : state) {
    shared.AddRef();
    benchmark::DoNotOptimize(shared.Release());
  }
}
BENCHMARK(RefCountAddRelease)->ThreadRange(1, 4);

struct Node {
  int32_t id;
  Node* next;
};

// Key lookup of the last record of a list of `n`, the worst case.
void ListFindLast(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  std::vector<Node> nodes(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    nodes[static_cast<size_t>(i)] = {i, i + 1 < n ? &nodes[static_cast<size_t>(i) + 1] : nullptr};
  }
  void* found = nullptr;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        linkedList_getByInt(nodes.data(), offsetof(Node, next), offsetof(Node, id), n - 1, &found));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(ListFindLast)->Arg(16)->Arg(1024);

} // namespace

BENCHMARK_MAIN();
