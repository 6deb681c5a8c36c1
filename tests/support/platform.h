// What a test needs to know about the platform it runs on.
#ifndef TSKBASE_TESTS_SUPPORT_PLATFORM_H
#define TSKBASE_TESTS_SUPPORT_PLATFORM_H

namespace tsk::test {

#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// Under ThreadSanitizer every synchronisation is many times slower: tests
// that repeat work across processes do less of it there.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool kThreadSanitizer = __has_feature(thread_sanitizer);
#else
inline constexpr bool kThreadSanitizer = false;
#endif

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_PLATFORM_H
