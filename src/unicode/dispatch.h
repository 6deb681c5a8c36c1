// Which kernels the transcoders use: the best level that the processor and
// the operating system support, detected once, on first use.
#ifndef TSKBASE_SRC_UNICODE_DISPATCH_H
#define TSKBASE_SRC_UNICODE_DISPATCH_H

#include "unicode/kernels.h"

#include <atomic>

namespace tsk::unicode {

namespace detail {
extern std::atomic<const Kernels*> g_active;
const Kernels& detectKernels();
} // namespace detail

// The kernels in force. After the first call, one load.
inline const Kernels& activeKernels() {
  const Kernels* active = detail::g_active.load(std::memory_order_relaxed);
  return active != nullptr ? *active : detail::detectKernels();
}

// The best level this machine supports.
Level supportedLevel();

// A level's kernels, or null when this machine lacks the instructions.
const Kernels* kernelsFor(Level level);

// Puts a level's kernels in force (the tests use it to run every level);
// false, and nothing changed, when this machine lacks its instructions.
bool selectLevel(Level level);

} // namespace tsk::unicode

#if defined(TSKBASE_TESTING_HOOKS)
namespace tsk::testing {

// Makes the library's UTF-8 / UTF-16 transcoding use the kernels of `level`
// (a tsk::unicode::Level); false when this machine lacks its instructions.
TSKBASE_API bool forceTranscodingLevel(unsigned level);

// The level that the library picks by itself on this machine.
TSKBASE_API unsigned supportedTranscodingLevel();

} // namespace tsk::testing
#endif

#endif // TSKBASE_SRC_UNICODE_DISPATCH_H
