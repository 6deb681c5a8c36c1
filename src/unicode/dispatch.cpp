#include "unicode/dispatch.h"

#include <cpuid.h>
#include <cstdint>

namespace tsk::unicode {

namespace detail {
constinit std::atomic<const Kernels*> g_active{nullptr};
} // namespace detail

namespace {

// The state components that the operating system saves on a context switch
// (XCR0): without them the registers of a vector extension are unusable,
// whatever the processor has.
uint64_t savedStateComponents() {
  uint32_t eax = 0;
  uint32_t edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (static_cast<uint64_t>(edx) << 32) | eax;
}

Level detectLevel() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
    return Level::kSse2;
  }
  const bool ssse3 = (ecx & bit_SSSE3) != 0;
  const bool popcnt = (ecx & bit_POPCNT) != 0;
  const bool osxsave = (ecx & bit_OSXSAVE) != 0;
  if (!ssse3) {
    return Level::kSse2;
  }
  const uint64_t state = osxsave ? savedStateComponents() : 0;
  constexpr uint64_t kSseAvxState = 0x6;  // XMM and YMM upper halves
  constexpr uint64_t kAvx512State = 0xE6; // also the mask and ZMM registers
  unsigned leaf7b = 0, leaf7c = 0;
  if (__get_cpuid_max(0, nullptr) >= 7) {
    __cpuid_count(7, 0, eax, leaf7b, leaf7c, edx);
  }
  const bool avx2 = popcnt && (leaf7b & bit_AVX2) != 0 && (leaf7b & bit_BMI) != 0 &&
                    (leaf7b & bit_BMI2) != 0 && (state & kSseAvxState) == kSseAvxState;
  if (!avx2) {
    return Level::kSsse3;
  }
  const bool avx512 = (leaf7b & bit_AVX512F) != 0 && (leaf7b & bit_AVX512BW) != 0 &&
                      (leaf7b & bit_AVX512CD) != 0 && (leaf7b & bit_AVX512VL) != 0 &&
                      (leaf7c & bit_AVX512VBMI) != 0 && (leaf7c & bit_AVX512VBMI2) != 0 &&
                      (state & kAvx512State) == kAvx512State;
  return avx512 ? Level::kAvx512 : Level::kAvx2;
}

const Kernels* const kByLevel[kLevelCount] = {&kPortableKernels, &kSse2Kernels, &kSsse3Kernels,
                                              &kAvx2Kernels, &kAvx512Kernels};

} // namespace

namespace detail {

const Kernels& detectKernels() {
  // Threads that race here detect the same level and store the same table.
  const Kernels* best = kByLevel[static_cast<unsigned>(supportedLevel())];
  const Kernels* expected = nullptr;
  return g_active.compare_exchange_strong(expected, best, std::memory_order_relaxed) ? *best
                                                                                     : *expected;
}

} // namespace detail

Level supportedLevel() {
  static const Level level = detectLevel();
  return level;
}

const Kernels* kernelsFor(Level level) {
  const auto index = static_cast<unsigned>(level);
  return index < kLevelCount && level <= supportedLevel() ? kByLevel[index] : nullptr;
}

bool selectLevel(Level level) {
  const Kernels* kernels = kernelsFor(level);
  if (kernels != nullptr) {
    detail::g_active.store(kernels, std::memory_order_relaxed);
  }
  return kernels != nullptr;
}

} // namespace tsk::unicode
