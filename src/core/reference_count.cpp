// ReferenceCount: a 64-bit count changed only by sequentially consistent
// atomic operations on the plain field (std::atomic_ref), so that copying
// and assigning can treat it as the plain value it is.
#include "tskbase/reference_count.h"

#include <atomic>

namespace {

using Counter = std::atomic_ref<uint64_t>;

static_assert(Counter::is_always_lock_free, "the count must be a lock-free 64-bit atomic");
static_assert(Counter::required_alignment <= 8,
              "the alignas(8) of the count must satisfy atomic_ref");

} // namespace

IReferenceCount::~IReferenceCount() = default;

ReferenceCount::ReferenceCount(uint64_t initial) : count_(initial) {}

ReferenceCount::ReferenceCount(const ReferenceCount& other)
    : IReferenceCount(other), count_(other.QueryRef()) {}

ReferenceCount& ReferenceCount::operator=(const ReferenceCount& other) {
  count_ = other.count_;
  return *this;
}

ReferenceCount::~ReferenceCount() = default;

uint64_t ReferenceCount::AddRef() { return Counter(count_).fetch_add(1) + 1; }

uint64_t ReferenceCount::Release() { return Counter(count_).fetch_sub(1) - 1; }

uint64_t ReferenceCount::QueryRef() const { return Counter(count_).load(); }

uint64_t ReferenceCount::SetRefs(uint64_t count) { return Counter(count_).exchange(count); }
