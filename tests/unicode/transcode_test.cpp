// Every level's kernels against the character loop alone (the portable
// level): the same output, length, replacement characters and stopping
// point on random text of mixed widths, well-formed and ill-formed, read
// from memory that ends at a guard page.
#include "unicode/dispatch.h"
#include "unicode/transcode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
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

// One conversion's observable result.
template <typename Out>
struct Result {
  Status status;
  size_t read;
  size_t written;
  std::basic_string<Out> out;
  bool operator==(const Result&) const = default;
};

template <typename Out>
void PrintTo(const Result<Out>& r, std::ostream* os) {
  *os << "status " << static_cast<int>(r.status) << ", read " << r.read << ", written "
      << r.written;
}

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

class TranscodeLevels : public testing::TestWithParam<bool> {};

// Lengths around the block sizes and well past them, the longest across
// pages.
constexpr size_t kCharacters[] = {0, 1, 5, 9, 17, 31, 33, 63, 65, 100, 257, 700, 3000};

TEST_P(TranscodeLevels, Utf8ToUtf16MatchesTheCharacterLoop) {
  std::mt19937 rng(GetParam() ? 1515 : 1516);
  for (int round = 0; round < 6; ++round) {
    for (const size_t count : kCharacters) {
      const std::string text = tsk::test::randomUtf8(rng, count, GetParam());
      expectSameAtEveryLevel<char, tsk_wchar_t>(text, End::kLength, fromUtf8);
      // A zero somewhere ends the text in the zero-terminated form, after
      // a run of plain ASCII of random length.
      std::string zeroed = std::string(rng() % 300, 'x') + text;
      if (!zeroed.empty()) {
        zeroed[rng() % zeroed.size()] = 0;
      }
      expectSameAtEveryLevel<char, tsk_wchar_t>(zeroed, End::kZeroOrLength, fromUtf8);
    }
  }
}

TEST_P(TranscodeLevels, Utf16ToUtf8MatchesTheCharacterLoop) {
  std::mt19937 rng(GetParam() ? 1517 : 1518);
  for (int round = 0; round < 6; ++round) {
    for (const size_t count : kCharacters) {
      const WideString text = tsk::test::randomUtf16(rng, count, GetParam());
      expectSameAtEveryLevel<tsk_wchar_t, char>(text, End::kLength, fromUtf16);
      WideString zeroed = WideString(rng() % 300, u'x') + text;
      if (!zeroed.empty()) {
        zeroed[rng() % zeroed.size()] = 0;
      }
      expectSameAtEveryLevel<tsk_wchar_t, char>(zeroed, End::kZeroOrLength, fromUtf16);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(WellAndIllFormed, TranscodeLevels, testing::Bool(),
                         [](const auto& info) { return info.param ? "IllFormed" : "WellFormed"; });

// The kernels themselves: whatever they take ends on a character boundary
// and comes out as the character loop converts it, within the room.
TEST(TranscodeKernels, StopOnACharacterBoundaryWithTheReferenceOutput) {
  std::mt19937 rng(1519);
  for (const Level level : machineLevels()) {
    const Kernels& k = *kernelsFor(level);
    for (int round = 0; round < 300; ++round) {
      const bool illFormed = round % 2 == 1;
      const std::string utf8 = tsk::test::randomUtf8(rng, rng() % 200, illFormed);
      const WideString utf16 = tsk::test::randomUtf16(rng, rng() % 200, illFormed);
      const size_t room = rng() % 400;
      ASSERT_TRUE(selectLevel(Level::kPortable)); // the reference below
      const GuardedArray<unsigned char> s8(reinterpret_cast<const unsigned char*>(utf8.data()),
                                           utf8.size());
      WideString wide(room + 1, 0x5A5A);
      const Progress p8 = k.fromUtf8(s8.get(), utf8.size(), wide.data(), room);
      ASSERT_LE(p8.written, room);
      // The widest level writes exactly what it converts; the others may
      // leave scratch values within the room.
      const size_t untouched8 = level == Level::kAvx512 ? p8.written : room;
      ASSERT_EQ(wide.substr(untouched8), WideString(room + 1 - untouched8, 0x5A5A)) << k.name;
      const Transcoded ref8 = utf8ToUtf16(utf8.data(), p8.read, nullptr, 0);
      ASSERT_EQ(ref8.count, p8.written) << k.name;
      WideString expected8(p8.written, 0);
      utf8ToUtf16(utf8.data(), p8.read, expected8.data(), p8.written);
      ASSERT_EQ(wide.substr(0, p8.written), expected8) << k.name;
      // No replacement characters: the kernel stops before ill-formed input.
      ASSERT_EQ(
          convertUtf8(utf8.data(), p8.read, End::kLength, nullptr, 0, OnIllFormed::kStop).status,
          Status::kDone);

      const GuardedArray<tsk_wchar_t> s16(utf16.data(), utf16.size());
      std::string narrow(room + 1, 'Z');
      const Progress p16 = k.fromUtf16(s16.get(), utf16.size(),
                                       reinterpret_cast<unsigned char*>(narrow.data()), room);
      ASSERT_LE(p16.written, room);
      const size_t untouched16 = level == Level::kAvx512 ? p16.written : room;
      ASSERT_EQ(narrow.substr(untouched16), std::string(room + 1 - untouched16, 'Z')) << k.name;
      ASSERT_EQ(
          convertUtf16(utf16.data(), p16.read, End::kLength, nullptr, 0, OnIllFormed::kStop).status,
          Status::kDone);
      std::string expected16(p16.written, 0);
      ASSERT_TRUE(utf16ToUtf8(utf16.data(), p16.read, expected16.data(), p16.written).fits);
      ASSERT_EQ(narrow.substr(0, p16.written), expected16) << k.name;
    }
  }
}

} // namespace
