// What a test needs to know about the platform it runs on.
#ifndef TSKBASE_TESTS_SUPPORT_PLATFORM_H
#define TSKBASE_TESTS_SUPPORT_PLATFORM_H

namespace tsk::test {

#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// Whether the program runs under AddressSanitizer or ThreadSanitizer, which
// make every operation much slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_PLATFORM_H
