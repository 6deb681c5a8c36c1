// The mixed-width kernels of the levels from SSSE3 up. Each level's file
// defines TSK_UNICODE_TARGET (the instructions it may use), and the ASCII
// steps of its own width, then includes this file: every function here is
// compiled for that level alone, inside the file's anonymous namespace, so
// nothing built for a wider level leaks into code that runs anywhere.
//
// A block takes characters of any width, one to four bytes or units, in
// any order, so text that changes script every few characters stays on
// the vector path. Every position of the block is decoded into a lane of
// its own as if a character started there; the lanes where one really
// starts are then packed to the front with one byte shuffle.
//
// Included inside an anonymous namespace, after kernels.h, utf.h,
// block_tables.h and the level's intrinsics header.

#ifndef TSK_UNICODE_TARGET
#error "define TSK_UNICODE_TARGET before including mixed_blocks.h"
#endif

#define TSK_KERNEL __attribute__((target(TSK_UNICODE_TARGET))) inline

struct BlockResult {
  unsigned read; // 0: the block does not apply
  unsigned written;
};

TSK_KERNEL __m128i load128(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

TSK_KERNEL __m128i splat8(unsigned value) { return _mm_set1_epi8(static_cast<char>(value)); }
TSK_KERNEL __m128i splat16(unsigned value) { return _mm_set1_epi16(static_cast<short>(value)); }

// Bit k set when (byte k of v & mask) == value.
TSK_KERNEL unsigned byteMask(__m128i v, unsigned mask, unsigned value) {
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, splat8(mask)), splat8(value))));
}

TSK_KERNEL __m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The code units of 8 positions (one half of a 16-byte UTF-8 block) whose
// first, second, third bytes are in the 16-bit lanes of b0, b1, b2, as if
// a character started at each. `lead2` .. `lead4` are lane masks of the
// lead kinds, `afterLead4` of the positions that follow a four-byte lead
// (they take the low surrogate). Sets the lanes of `bad` whose leads give
// an overlong form, a surrogate or a value above U+10FFFF.
TSK_KERNEL __m128i decodeHalf(__m128i b0, __m128i b1, __m128i b2, __m128i lead2, __m128i lead3,
                              __m128i lead4, __m128i afterLead4, __m128i& bad) {
  const __m128i low6 = splat16(0x3F);
  const __m128i c1 = _mm_and_si128(b1, low6);
  const __m128i c2 = _mm_and_si128(b2, low6);
  const __m128i tail = _mm_or_si128(_mm_slli_epi16(c1, 6), c2);
  const __m128i two = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, splat16(0x1F)), 6), c1);
  const __m128i three = _mm_or_si128(_mm_slli_epi16(b0, 12), tail);
  // The scalar value shifted right by 10: the high surrogate less D7C0.
  const __m128i planeBits = _mm_or_si128(
      _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, splat16(0x07)), 8), _mm_slli_epi16(c1, 2)),
      _mm_srli_epi16(c2, 4));
  const __m128i high = _mm_add_epi16(planeBits, splat16(0xD7C0));
  const __m128i low = _mm_or_si128(_mm_and_si128(tail, splat16(0x3FF)), splat16(0xDC00));

  const __m128i top5 = _mm_and_si128(three, splat16(0xF800));
  const __m128i bad2 = _mm_cmplt_epi16(two, splat16(0x80));
  const __m128i bad3 = _mm_or_si128(_mm_cmpeq_epi16(top5, _mm_setzero_si128()),
                                    _mm_cmpeq_epi16(top5, splat16(0xD800)));
  const __m128i bad4 = _mm_or_si128(_mm_cmplt_epi16(planeBits, splat16(0x40)),
                                    _mm_cmpgt_epi16(planeBits, splat16(0x43F)));
  bad = _mm_or_si128(_mm_or_si128(_mm_and_si128(lead2, bad2), _mm_and_si128(lead3, bad3)),
                     _mm_and_si128(lead4, bad4));

  // Lanes of other kinds (ASCII, continuations) keep the byte itself.
  __m128i unit = select(afterLead4, low, b0);
  unit = select(lead2, two, unit);
  unit = select(lead3, three, unit);
  return select(lead4, high, unit);
}

// Packs the lanes of `units` set in the low 8 bits of `keep` to d; returns
// their number. Writes 8 units.
template <bool kWrite>
TSK_KERNEL unsigned packUnits(__m128i units, unsigned keep, tsk_wchar_t* d) {
  if constexpr (kWrite) {
    const __m128i shuffle =
        _mm_load_si128(reinterpret_cast<const __m128i*>(tables::kPackUnits.shuffle[keep]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(units, shuffle));
  }
  return tables::kPackUnits.count[keep];
}

// UTF-8 block: the characters that start in the 16 bytes at s (s[0] starts
// one), ASCII and two-, three- and four-byte characters mixed. Reads 19
// bytes; with kWrite writes 16 units at d. A four-byte character that
// starts at the last position is left to the next block, since its low
// surrogate would fall outside the block's lanes.
template <bool kWrite>
TSK_KERNEL BlockResult utf8Block(const unsigned char* s, tsk_wchar_t* d) {
  const __m128i v0 = load128(s);
  const __m128i v1 = load128(s + 1);
  const __m128i v2 = load128(s + 2);
  const unsigned ascii = ~static_cast<unsigned>(_mm_movemask_epi8(v0)) & 0xFFFF;
  const unsigned cont = byteMask(v0, 0xC0, 0x80);
  unsigned lead2 = byteMask(v0, 0xE0, 0xC0);
  unsigned lead3 = byteMask(v0, 0xF0, 0xE0);
  unsigned lead4 = byteMask(v0, 0xF8, 0xF0);
  if ((ascii | cont | lead2 | lead3 | lead4) != 0xFFFF) {
    return {0, 0}; // F8..FF
  }
  const unsigned positions = 16 - (lead4 >> 15);
  const unsigned inBlock = (1u << positions) - 1;
  lead2 &= inBlock;
  lead3 &= inBlock;
  lead4 &= inBlock;
  const unsigned leads = lead2 | lead3 | lead4;
  // Every lead has its continuations, and every continuation in the block
  // belongs to a lead.
  const unsigned missing = (leads & ~byteMask(v1, 0xC0, 0x80)) |
                           ((lead3 | lead4) & ~byteMask(v2, 0xC0, 0x80)) |
                           (lead4 & ~byteMask(load128(s + 3), 0xC0, 0x80));
  const unsigned expected = (leads << 1) | ((lead3 | lead4) << 2) | (lead4 << 3);
  if ((missing | ((cont ^ expected) & inBlock)) != 0) {
    return {0, 0};
  }

  const __m128i zero = _mm_setzero_si128();
  const __m128i isLead2 = _mm_cmpeq_epi8(_mm_and_si128(v0, splat8(0xE0)), splat8(0xC0));
  const __m128i isLead3 = _mm_cmpeq_epi8(_mm_and_si128(v0, splat8(0xF0)), splat8(0xE0));
  const __m128i isLead4 = _mm_cmpeq_epi8(_mm_and_si128(v0, splat8(0xF8)), splat8(0xF0));
  const __m128i l2lo = _mm_unpacklo_epi8(isLead2, isLead2);
  const __m128i l3lo = _mm_unpacklo_epi8(isLead3, isLead3);
  const __m128i l4lo = _mm_unpacklo_epi8(isLead4, isLead4);
  const __m128i l2hi = _mm_unpackhi_epi8(isLead2, isLead2);
  const __m128i l3hi = _mm_unpackhi_epi8(isLead3, isLead3);
  const __m128i l4hi = _mm_unpackhi_epi8(isLead4, isLead4);
  __m128i badLo;
  __m128i badHi;
  const __m128i lo =
      decodeHalf(_mm_unpacklo_epi8(v0, zero), _mm_unpacklo_epi8(v1, zero),
                 _mm_unpacklo_epi8(v2, zero), l2lo, l3lo, l4lo, _mm_slli_si128(l4lo, 2), badLo);
  const __m128i hi = decodeHalf(_mm_unpackhi_epi8(v0, zero), _mm_unpackhi_epi8(v1, zero),
                                _mm_unpackhi_epi8(v2, zero), l2hi, l3hi, l4hi,
                                _mm_alignr_epi8(l4hi, l4lo, 14), badHi);
  const unsigned bad = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(badLo, badHi)));
  if ((bad & inBlock) != 0) {
    return {0, 0};
  }
  const unsigned keep = (ascii | leads | (lead4 << 1)) & inBlock;
  const unsigned first = packUnits<kWrite>(lo, keep & 0xFF, d);
  const unsigned written = first + packUnits<kWrite>(hi, keep >> 8, kWrite ? d + first : d);
  // The last character may end up to three bytes past the block.
  const unsigned overhang = tables::kPackUnits.count[(expected >> positions) & 0xFF];
  return {positions + overhang, written};
}

// Eight lanes to the low byte of each: bit k of the result is lane k's top bit.
TSK_KERNEL unsigned laneMask(__m128i lanes) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(lanes, _mm_setzero_si128())));
}

// UTF-16 block: the characters that start in the 8 units at s (s[0] starts
// one), of one to four UTF-8 bytes mixed, surrogate pairs included. Reads
// 9 units; with kWrite writes 28 bytes at d. A high surrogate in the last
// lane is left to the next block, with its pair.
template <bool kWrite>
TSK_KERNEL BlockResult utf16Block(const tsk_wchar_t* s, unsigned char* d) {
  const __m128i u = load128(s);
  const __m128i next = load128(s + 1);
  const __m128i zero = _mm_setzero_si128();
  const __m128i surrogateKind = splat16(0xFC00);
  const __m128i isAscii = _mm_cmpeq_epi16(_mm_and_si128(u, splat16(0xFF80)), zero);
  const __m128i isTwo =
      _mm_andnot_si128(isAscii, _mm_cmpeq_epi16(_mm_and_si128(u, splat16(0xF800)), zero));
  const __m128i isHigh = _mm_cmpeq_epi16(_mm_and_si128(u, surrogateKind), splat16(0xD800));
  const __m128i isLow = _mm_cmpeq_epi16(_mm_and_si128(u, surrogateKind), splat16(0xDC00));
  const unsigned high = laneMask(isHigh);
  const unsigned low = laneMask(isLow);
  const unsigned nextLow =
      laneMask(_mm_cmpeq_epi16(_mm_and_si128(next, surrogateKind), splat16(0xDC00)));
  const unsigned inBlock = (high & 0x80) != 0 ? 0x7F : 0xFF;
  // Every high surrogate is followed by a low one, every low one follows a
  // high one.
  if (((high & ~nextLow) | (low ^ (high << 1))) & inBlock) {
    return {0, 0};
  }
  const unsigned ascii = laneMask(isAscii);
  const unsigned twoBytes = laneMask(isTwo);
  // Per lane: at least two bytes, and three (a three-byte character or the
  // first three bytes of a pair); a lane past the block keeps nothing.
  const unsigned atLeastTwo = ~(ascii | low) & inBlock;
  const unsigned three = (~(ascii | twoBytes | low) & inBlock) | (~inBlock & 0xFF);
  const unsigned indexLo = tables::kSpread4[atLeastTwo & 15] | (tables::kSpread4[three & 15] << 1);
  const unsigned indexHi = tables::kSpread4[atLeastTwo >> 4] | (tables::kSpread4[three >> 4] << 1);
  const unsigned firstBytes = tables::kPackBytes.bytes[indexLo];
  const unsigned positions = inBlock == 0xFF ? 8 : 7;
  if constexpr (kWrite) {
    const __m128i low6 = splat16(0x3F);
    const __m128i cont = splat16(0x80);
    const __m128i pair = _mm_sub_epi16(u, splat16(0xD7C0)); // the scalar value >> 10
    const __m128i lowBits = _mm_or_si128(_mm_and_si128(u, low6), cont);
    const __m128i midBits = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(u, 6), low6), cont);
    __m128i b0 = _mm_or_si128(_mm_srli_epi16(u, 12), splat16(0xE0));
    b0 = select(isHigh, _mm_or_si128(_mm_srli_epi16(pair, 8), splat16(0xF0)), b0);
    b0 = select(isLow, lowBits, b0);
    b0 = select(isTwo, _mm_or_si128(_mm_srli_epi16(u, 6), splat16(0xC0)), b0);
    b0 = select(isAscii, u, b0);
    __m128i b1 = select(isTwo, lowBits, midBits);
    b1 = select(isHigh, _mm_or_si128(_mm_and_si128(_mm_srli_epi16(pair, 2), low6), cont), b1);
    const __m128i pairThird =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(pair, splat16(3)), 4),
                                  _mm_and_si128(_mm_srli_epi16(next, 6), splat16(0x0F))),
                     cont);
    const __m128i b2 = select(isHigh, pairThird, lowBits);
    const __m128i b01 = _mm_or_si128(b0, _mm_slli_epi16(b1, 8));
    const __m128i* shuffles = reinterpret_cast<const __m128i*>(tables::kPackBytes.shuffle);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(d),
        _mm_shuffle_epi8(_mm_unpacklo_epi16(b01, b2), _mm_load_si128(shuffles + indexLo)));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(d + firstBytes),
        _mm_shuffle_epi8(_mm_unpackhi_epi16(b01, b2), _mm_load_si128(shuffles + indexHi)));
  }
  return {positions, firstBytes + tables::kPackBytes.bytes[indexHi]};
}

// The kernel loops. `Steps` is the level's: Steps::kWidth elements of
// ASCII at a time through Steps::asciiFromUtf8 / asciiFromUtf16, which
// write all of them and return how many of them lead with ASCII; and the
// mixed blocks Steps::utf8Block / utf16Block, which read up to kUtf8Read /
// kUtf16Read elements and write up to kUtf8Room / kUtf16Room.

template <class Steps, bool kWrite>
TSK_KERNEL Progress utf8Loop(const unsigned char* s, size_t n, tsk_wchar_t* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  while (n - i >= Steps::kUtf8Read) {
    // Text in other scripts has short ASCII runs (spaces, digits): a block
    // takes those along. Short strings go by blocks alone.
    if (s[i] < 0x80 && n - i >= Steps::kWidth && (!kWrite || cap - o >= Steps::kWidth)) {
      const unsigned ascii = Steps::template asciiFromUtf8<kWrite>(s + i, kWrite ? d + o : nullptr);
      i += ascii;
      o += ascii;
      if (ascii == Steps::kWidth || n - i < Steps::kUtf8Read) {
        continue;
      }
    }
    if (kWrite && cap - o < Steps::kUtf8Room) {
      break;
    }
    const BlockResult block = Steps::template utf8Block<kWrite>(s + i, kWrite ? d + o : nullptr);
    if (block.read == 0) {
      break;
    }
    i += block.read;
    o += block.written;
  }
  return {i, o, false};
}

template <class Steps, bool kWrite>
TSK_KERNEL Progress utf16Loop(const tsk_wchar_t* s, size_t n, unsigned char* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  while (n - i >= Steps::kUtf16Read) {
    if (s[i] < 0x80 && n - i >= Steps::kWidth && (!kWrite || cap - o >= Steps::kWidth)) {
      const unsigned ascii =
          Steps::template asciiFromUtf16<kWrite>(s + i, kWrite ? d + o : nullptr);
      i += ascii;
      o += ascii;
      if (ascii == Steps::kWidth || n - i < Steps::kUtf16Read) {
        continue;
      }
    }
    if (kWrite && cap - o < Steps::kUtf16Room) {
      break;
    }
    const BlockResult block = Steps::template utf16Block<kWrite>(s + i, kWrite ? d + o : nullptr);
    if (block.read == 0) {
      break;
    }
    i += block.read;
    o += block.written;
  }
  return {i, o, false};
}

// The 128-bit blocks above, for levels that have no wider ones.
struct Blocks128 {
  static constexpr size_t kUtf8Read = 19;
  static constexpr size_t kUtf8Room = 16;
  static constexpr size_t kUtf16Read = 9;
  static constexpr size_t kUtf16Room = 28;

  template <bool kWrite>
  TSK_KERNEL static BlockResult utf8Block(const unsigned char* s, tsk_wchar_t* d) {
    return ::tsk::unicode::utf8Block<kWrite>(s, d);
  }
  template <bool kWrite>
  TSK_KERNEL static BlockResult utf16Block(const tsk_wchar_t* s, unsigned char* d) {
    return ::tsk::unicode::utf16Block<kWrite>(s, d);
  }
};

template <class Steps>
__attribute__((target(TSK_UNICODE_TARGET))) Progress utf8Kernel(const unsigned char* s, size_t n,
                                                                tsk_wchar_t* d, size_t cap) {
  return d == nullptr ? utf8Loop<Steps, false>(s, n, nullptr, 0)
                      : utf8Loop<Steps, true>(s, n, d, cap);
}

template <class Steps>
__attribute__((target(TSK_UNICODE_TARGET))) Progress utf16Kernel(const tsk_wchar_t* s, size_t n,
                                                                 unsigned char* d, size_t cap) {
  return d == nullptr ? utf16Loop<Steps, false>(s, n, nullptr, 0)
                      : utf16Loop<Steps, true>(s, n, d, cap);
}
