// Shuffle tables of the 128-bit mixed-width kernels, computed at compile
// time. A kernel decodes every position of a block into a lane of its own
// and then packs the lanes it keeps to the front with one byte shuffle,
// whose control comes from these tables.
#ifndef TSKBASE_SRC_UNICODE_BLOCK_TABLES_H
#define TSKBASE_SRC_UNICODE_BLOCK_TABLES_H

#include <cstdint>

namespace tsk::unicode::tables {

// Packing eight 16-bit lanes: entry m moves the lanes whose bit is set in m
// to the front, in order. `count` is the number of those lanes.
struct PackUnits {
  alignas(16) uint8_t shuffle[256][16];
  uint8_t count[256];

  constexpr PackUnits() : shuffle{}, count{} {
    for (unsigned m = 0; m < 256; ++m) {
      unsigned out = 0;
      for (unsigned lane = 0; lane < 8; ++lane) {
        if ((m >> lane) & 1) {
          shuffle[m][2 * out] = static_cast<uint8_t>(2 * lane);
          shuffle[m][2 * out + 1] = static_cast<uint8_t>(2 * lane + 1);
          ++out;
        }
      }
      count[m] = static_cast<uint8_t>(out);
      for (unsigned k = 2 * out; k < 16; ++k) {
        shuffle[m][k] = 0x80; // zero
      }
    }
  }
};
inline constexpr PackUnits kPackUnits{};

// Packing four 32-bit lanes that hold the UTF-8 bytes of one UTF-16 unit
// each, first byte lowest. Entry i takes two bits per lane (lane k at bits
// 2k, 2k+1): 0 keeps one byte, 1 two, 3 three, and 2 none (a lane past the
// end of the block). `bytes` is the total kept.
struct PackBytes {
  alignas(16) uint8_t shuffle[256][16];
  uint8_t bytes[256];

  constexpr PackBytes() : shuffle{}, bytes{} {
    constexpr unsigned kLength[4] = {1, 2, 0, 3};
    for (unsigned i = 0; i < 256; ++i) {
      unsigned out = 0;
      for (unsigned lane = 0; lane < 4; ++lane) {
        const unsigned length = kLength[(i >> (2 * lane)) & 3];
        for (unsigned b = 0; b < length; ++b) {
          shuffle[i][out++] = static_cast<uint8_t>(4 * lane + b);
        }
      }
      bytes[i] = static_cast<uint8_t>(out);
      for (unsigned k = out; k < 16; ++k) {
        shuffle[i][k] = 0x80;
      }
    }
  }
};
inline constexpr PackBytes kPackBytes{};

// Spreads the four low bits of x to bits 0, 2, 4 and 6.
inline constexpr uint8_t kSpread4[16] = {0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15,
                                         0x40, 0x41, 0x44, 0x45, 0x50, 0x51, 0x54, 0x55};

} // namespace tsk::unicode::tables

#endif // TSKBASE_SRC_UNICODE_BLOCK_TABLES_H
