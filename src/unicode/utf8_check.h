// The block check of UTF-8 that the vector kernels share: three table
// lookups per byte, one for each nibble of a pair of adjacent bytes. Each
// entry holds a bit per kind of error that the nibble allows; a pair is in
// error when the three entries share a bit. Continuations after
// continuations (kTwoConts) are legal exactly as the third or fourth byte of
// a sequence: where the byte two back is a lead of three or four bytes, or
// the byte three back a lead of four.
#ifndef TSKBASE_SRC_UNICODE_UTF8_CHECK_H
#define TSKBASE_SRC_UNICODE_UTF8_CHECK_H

#include <cstdint>

namespace tsk::unicode::utf8check {

inline constexpr uint8_t kTooShort = 1 << 0;     // a lead not followed by a continuation
inline constexpr uint8_t kTooLong = 1 << 1;      // a continuation after ASCII
inline constexpr uint8_t kOverlong3 = 1 << 2;    // E0 80..9F
inline constexpr uint8_t kTooLarge = 1 << 3;     // F4 90..BF, F5..FF 90..BF
inline constexpr uint8_t kSurrogate = 1 << 4;    // ED A0..BF
inline constexpr uint8_t kOverlong2 = 1 << 5;    // C0, C1
inline constexpr uint8_t kTooLarge1000 = 1 << 6; // F5..FF 80..8F
inline constexpr uint8_t kOverlong4 = 1 << 6;    // F0 80..8F
inline constexpr uint8_t kTwoConts = 1 << 7;     // a continuation after a continuation
inline constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

// By the high nibble of the first byte of the pair.
alignas(16) inline constexpr uint8_t kFirstHigh[16] = {kTooLong,
                                                       kTooLong,
                                                       kTooLong,
                                                       kTooLong,
                                                       kTooLong,
                                                       kTooLong,
                                                       kTooLong,
                                                       kTooLong,
                                                       kTwoConts,
                                                       kTwoConts,
                                                       kTwoConts,
                                                       kTwoConts,
                                                       kTooShort | kOverlong2,
                                                       kTooShort,
                                                       kTooShort | kOverlong3 | kSurrogate,
                                                       kTooShort | kTooLarge | kTooLarge1000 |
                                                           kOverlong4};

// By the low nibble of the first byte.
alignas(16) inline constexpr uint8_t kFirstLow[16] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                                      kCarry | kOverlong2,
                                                      kCarry,
                                                      kCarry,
                                                      kCarry | kTooLarge,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000 |
                                                          kSurrogate,
                                                      kCarry | kTooLarge | kTooLarge1000,
                                                      kCarry | kTooLarge | kTooLarge1000};

// By the high nibble of the second byte.
alignas(16) inline constexpr uint8_t kSecondHigh[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort};

} // namespace tsk::unicode::utf8check

#endif // TSKBASE_SRC_UNICODE_UTF8_CHECK_H
