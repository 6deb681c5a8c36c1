// What a test needs to know about the platform it runs on.
#ifndef TSKBASE_TESTS_SUPPORT_PLATFORM_H
#define TSKBASE_TESTS_SUPPORT_PLATFORM_H

namespace tsk::test {

#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_PLATFORM_H
