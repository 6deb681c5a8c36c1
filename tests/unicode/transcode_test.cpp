// Every level's kernels against the character loop alone (the portable level),
// on random text read from memory that ends at a guard page.
#include "unicode/dispatch.h"
#include "unicode/transcode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "guarded_memory.h"
#include "random_utf.h"

namespace {

using namespace tsk::unicode;
using tsk::test::GuardedArray;
using tsk::test::WideString;

// The levels this machine has, the portable one first.
std::vector<Level> machineLevels() {
  std::vector<Level> levels;
  for (unsigned k = 0; k < kLevelCount; ++k) {
    if (kernelsFor(static_cast<Level>(k)) != nullptr) {
      levels.push_back(static_cast<Level>(k));
    }
  }
  return levels;
}

// One conversion's observable result: status, elements read and written,
// the output.
template <typename Out>
using Result = std::tuple<Status, size_t, size_t, std::basic_string<Out>>;

template <typename In, typename Out, typename Convert>
Result<Out> run(Level level, const std::basic_string<In>& in, End end, size_t room,
                OnIllFormed onIllFormed, Convert convert) {
  EXPECT_TRUE(selectLevel(level));
  const GuardedArray<In> src(in.data(), in.size());
  // Two elements past the room must stay as they were.
  const Out fill = static_cast<Out>(sizeof(Out) == 1 ? 0x5A : 0x5A5A);
  std::basic_string<Out> out(room + 2, fill);
  const Conversion c = convert(src.get(), in.size(), end, out.data(), room, onIllFormed);
  EXPECT_EQ(out.substr(room), std::basic_string<Out>(2, fill)) << "wrote past the room";
  // What lies past the output written is unspecified.
  out.resize(c.status == Status::kNoRoom ? 0 : std::min(c.written, room));
  const Conversion measured = convert(src.get(), in.size(), end, nullptr, 0, onIllFormed);
  if (c.status == Status::kDone) {
    EXPECT_EQ(measured.written, c.written);
    EXPECT_EQ(measured.read, c.read);
  }
  return {c.status, c.status == Status::kNoRoom ? 0 : c.read,
          c.status == Status::kNoRoom ? 0 : c.written, out};
}

Conversion fromUtf8(const char* s, size_t n, End end, tsk_wchar_t* d, size_t room,
                    OnIllFormed onIllFormed) {
  return convertUtf8(s, n, end, d, room, onIllFormed);
}

Conversion fromUtf16(const tsk_wchar_t* s, size_t n, End end, char* d, size_t room,
                     OnIllFormed onIllFormed) {
  return convertUtf16(s, n, end, d, room, onIllFormed);
}

// Each case converts with every level and with the portable one, in both
// ill-formed modes, with enough room, exactly the room, and too little.
template <typename In, typename Out, typename Convert>
void expectSameAtEveryLevel(const std::basic_string<In>& in, End end, Convert convert) {
  const size_t exact =
      convert(in.data(), in.size(), end, nullptr, 0, OnIllFormed::kReplace).written;
  for (const size_t room : {exact + 40, exact, exact / 2}) {
    for (const OnIllFormed mode : {OnIllFormed::kReplace, OnIllFormed::kStop}) {
      const Result<Out> reference = run<In, Out>(Level::kPortable, in, end, room, mode, convert);
      for (const Level level : machineLevels()) {
        ASSERT_EQ((run<In, Out>(level, in, end, room, mode, convert)), reference)
            << kernelsFor(level)->name << ", room " << room << " of " << exact << ", "
            << (mode == OnIllFormed::kStop ? "stop" : "replace") << ", " << in.size()
            << " elements";
      }
    }
  }
}

// Lengths around the block sizes and past them; zeroed copies after ASCII runs.
template <typename In, typename Out, typename Random, typename Convert>
void expectSameOnRandomText(unsigned seed, bool illFormed, Random random, Convert convert) {
  std::mt19937 rng(seed);
  for (int round = 0; round < 6; ++round) {
    for (const size_t count : {0, 1, 5, 9, 17, 31, 33, 63, 65, 100, 257, 700, 3000}) {
      const std::basic_string<In> text = random(rng, count, illFormed);
      expectSameAtEveryLevel<In, Out>(text, End::kLength, convert);
      std::basic_string<In> zeroed = std::basic_string<In>(rng() % 300, In{'x'}) + text;
      if (!zeroed.empty()) {
        zeroed[rng() % zeroed.size()] = 0;
      }
      expectSameAtEveryLevel<In, Out>(zeroed, End::kZeroOrLength, convert);
    }
  }
}

class TranscodeLevels : public testing::TestWithParam<bool> {};

TEST_P(TranscodeLevels, BothDirectionsMatchTheCharacterLoop) {
  expectSameOnRandomText<char, tsk_wchar_t>(GetParam() ? 1515 : 1516, GetParam(),
                                            tsk::test::randomUtf8, fromUtf8);
  expectSameOnRandomText<tsk_wchar_t, char>(GetParam() ? 1517 : 1518, GetParam(),
                                            tsk::test::randomUtf16, fromUtf16);
}

INSTANTIATE_TEST_SUITE_P(WellAndIllFormed, TranscodeLevels, testing::Bool(),
                         [](const auto& info) { return info.param ? "IllFormed" : "WellFormed"; });

// A kernel takes whole characters, well-formed, as the character loop converts
// them; only the widest level leaves the room past its output untouched.
template <typename KIn, typename KOut, typename In, typename Out>
void expectKernelPrefix(Level level, Progress (*kernel)(const KIn*, size_t, KOut*, size_t),
                        const std::basic_string<In>& in, size_t room,
                        Transcoded (*reference)(const In*, size_t, Out*, size_t),
                        Conversion (*convert)(const In*, size_t, End, Out*, size_t, OnIllFormed)) {
  const GuardedArray<KIn> src(reinterpret_cast<const KIn*>(in.data()), in.size());
  const Out fill = static_cast<Out>(0x5A5A);
  std::basic_string<Out> out(room + 1, fill);
  const Progress p = kernel(src.get(), in.size(), reinterpret_cast<KOut*>(out.data()), room);
  ASSERT_LE(p.written, room);
  const size_t untouched = level == Level::kAvx512 ? p.written : room;
  ASSERT_EQ(out.substr(untouched), std::basic_string<Out>(room + 1 - untouched, fill));
  ASSERT_EQ(convert(in.data(), p.read, End::kLength, nullptr, 0, OnIllFormed::kStop).status,
            Status::kDone);
  std::basic_string<Out> expected(p.written, 0);
  ASSERT_TRUE(reference(in.data(), p.read, expected.data(), p.written).fits);
  ASSERT_EQ(reference(in.data(), p.read, nullptr, 0).count, p.written);
  ASSERT_EQ(out.substr(0, p.written), expected);
}

TEST(TranscodeKernels, StopOnACharacterBoundaryWithTheReferenceOutput) {
  std::mt19937 rng(1519);
  ASSERT_TRUE(selectLevel(Level::kPortable)); // the reference
  for (const Level level : machineLevels()) {
    const Kernels& k = *kernelsFor(level);
    SCOPED_TRACE(k.name);
    for (int round = 0; round < 300; ++round) {
      const bool illFormed = round % 2 == 1;
      const std::string utf8 = tsk::test::randomUtf8(rng, rng() % 200, illFormed);
      const WideString utf16 = tsk::test::randomUtf16(rng, rng() % 200, illFormed);
      const size_t room = rng() % 400;
      expectKernelPrefix(level, k.fromUtf8, utf8, room, utf8ToUtf16, convertUtf8);
      expectKernelPrefix(level, k.fromUtf16, utf16, room, utf16ToUtf8, convertUtf16);
    }
  }
}

} // namespace
