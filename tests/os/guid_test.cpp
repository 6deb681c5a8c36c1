// GUIDs: the text form both ways, creation, and bytes as hexadecimal digits.
#include "tskbase/guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

#include "scratch_directory.h"

namespace {

using tsk::test::wide;
using WString = tsk::test::WideString;

std::string text(const tsk_guid& guid, uint32_t flags) {
  tsk_wchar_t out[39] = {};
  EXPECT_EQ(guid_guidToString(&guid, flags, out, 39), TSK_OK);
  return std::string(out, out + std::char_traits<tsk_wchar_t>::length(out));
}

bool same(const tsk_guid& a, const tsk_guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const std::string kText = "33221100-5544-7766-8899-aabbccddeeff";

// Fields most significant byte first; after a failure the buffer holds ""
// unless it has no room at all.
TEST(Guid, TextFormBothWays) {
  tsk_guid guid;
  std::memcpy(&guid, "\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16);
  EXPECT_EQ(text(guid, 0), kText);
  EXPECT_EQ(text(guid, 5), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
  EXPECT_EQ(text(guid, 2), "'" + kText + "'");
  EXPECT_EQ(text(guid, 3 | 0xF0), "{" + kText + "}"); // braces win
  tsk_wchar_t out[39];
  for (const auto& [from, flags, capacity, status] :
       {std::tuple<const tsk_guid*, uint32_t, uint64_t, tsk_status>{&guid, 0, 37, TSK_OK},
        {&guid, 0, 36, TSK_FAIL},
        {&guid, 1, 39, TSK_OK},
        {&guid, 2, 38, TSK_FAIL},
        {nullptr, 0, 39, TSK_FAIL},
        {&guid, 0, 0, TSK_FAIL}}) {
    out[0] = u'x';
    EXPECT_EQ(guid_guidToString(from, flags, out, capacity), status) << capacity;
    EXPECT_EQ(out[0] == (capacity == 0 ? u'x' : 0), status == TSK_FAIL) << capacity;
  }
  EXPECT_EQ(guid_guidToString(&guid, 0, nullptr, 39), TSK_FAIL);
  for (uint32_t flags : {0u, 1u, 4u, 5u}) {
    tsk_guid parsed{};
    EXPECT_EQ(guid_stringToGuid(wide(text(guid, flags)).c_str(), &parsed), TSK_OK) << flags;
    EXPECT_TRUE(same(parsed, guid)) << flags;
    EXPECT_EQ(guid_isValidGuid(wide(text(guid, flags)).c_str()), 1) << flags;
  }
}

// Parsing is strict: a wrong length, brace or hyphen leaves the GUID alone, a
// non-digit sets it to nil. The validity test is looser.
TEST(Guid, ParsingAndValidity) {
  const tsk_guid original{0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
  for (const auto& [bad, nulled, valid] :
       {std::tuple<std::string, bool, int32_t>{"'" + kText + "'", false, 0},
        {kText.substr(0, 35), false, 0},
        {"{" + kText, false, 1},
        {"(" + kText + ")", false, 0},
        {"33221100+5544-7766-8899-aabbccddeeff", false, 0},
        {"{33221100-5544-7766-8899-aabbccddee}", false, 0},
        {kText + "0123", false, 1},
        {"33221100-5544-7766-8899-aabbccddeefg", true, 0},
        {"332211-0-5544-7766-8899-aabbccddeeff", true, 1}}) {
    tsk_guid guid = original;
    EXPECT_EQ(guid_stringToGuid(wide(bad).c_str(), &guid), TSK_FAIL) << bad;
    EXPECT_TRUE(same(guid, nulled ? tsk_guid{} : original)) << bad;
    EXPECT_EQ(guid_isValidGuid(wide(bad).c_str()), valid) << bad;
  }
  WString fullwidth = wide(kText);
  fullwidth[0] = 0xFF41; // fullwidth small a: not a digit
  EXPECT_EQ(guid_isValidGuid(fullwidth.c_str()) + guid_isValidGuid(nullptr), 0);
  tsk_guid guid = original;
  EXPECT_EQ(guid_stringToGuid(nullptr, &guid), TSK_FAIL);
  EXPECT_EQ(guid_stringToGuid(wide(kText).c_str(), nullptr), TSK_FAIL);
}

TEST(Guid, CreatesDistinctVersionFourGuidsAndTheNilGuid) {
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    tsk_guid guid;
    ASSERT_EQ(guid_create(&guid), 1);
    const std::string form = *seen.insert(text(guid, 0)).first;
    EXPECT_TRUE(form[14] == '4' && std::string("89ab").find(form[19]) != std::string::npos) << form;
  }
  EXPECT_EQ(seen.size(), 64u);
  tsk_guid guid{1, 2, 3, {4}};
  EXPECT_EQ(guid_createNil(&guid), 1);
  EXPECT_TRUE(same(guid, tsk_guid{}));
  EXPECT_EQ(guid_create(nullptr) + guid_createNil(nullptr), 0);
}

// No terminator is written; parsing stops at the first non-digit, keeping
// the bytes made before it.
TEST(Guid, HexBothDirectionsNarrowAndWide) {
  const unsigned char bytes[] = {0x00, 0x7f, 0xa5, 0xff};
  char narrowOut[10] = "#########";
  tsk_wchar_t wideOut[10] = {};
  ASSERT_EQ(guid_convertByteToHexCharsA(bytes, 4, narrowOut), TSK_OK);
  ASSERT_EQ(guid_convertByteToHexCharsW(bytes, 4, wideOut), TSK_OK);
  EXPECT_STREQ(narrowOut, "007fa5ff#");
  EXPECT_TRUE(WString(wideOut) == wide("007fa5ff"));
  EXPECT_EQ(guid_convertByteToHexCharsA(bytes, 0, narrowOut), TSK_FAIL);
  EXPECT_EQ(guid_convertByteToHexCharsW(bytes, 0, wideOut), TSK_FAIL);
  EXPECT_EQ(guid_convertByteToHexCharsA(nullptr, 4, narrowOut), TSK_FAIL);
  EXPECT_EQ(guid_convertByteToHexCharsW(bytes, 4, nullptr), TSK_FAIL);
  for (const auto& [hex, count, status, made] :
       {std::tuple<const char*, uint64_t, tsk_status, const char*>{"007FA5ff", 4, TSK_OK,
                                                                   "\x00\x7f\xa5\xff"},
        {"0102x3", 4, TSK_FAIL, "\x01\x02\xee\xee"},
        {"010", 2, TSK_FAIL, "\x01\xee\xee\xee"},
        {"01", 0, TSK_FAIL, "\xee\xee\xee\xee"}}) {
    unsigned char out[2][4] = {{0xee, 0xee, 0xee, 0xee}, {0xee, 0xee, 0xee, 0xee}};
    EXPECT_EQ(guid_convertHexCharsToByteA(hex, count, out[0]), status) << hex;
    EXPECT_EQ(guid_convertHexCharsToByteW(wide(hex).c_str(), count, out[1]), status) << hex;
    EXPECT_EQ(std::memcmp(out[0], made, 4) | std::memcmp(out[1], made, 4), 0) << hex;
  }
  unsigned char out = 0xee;
  const tsk_wchar_t notLatin[] = {0x0130, u'1', 0}; // low byte '0'
  EXPECT_EQ(guid_convertHexCharsToByteW(notLatin, 1, &out), TSK_FAIL);
  EXPECT_EQ(guid_convertHexCharsToByteA(nullptr, 1, &out), TSK_FAIL);
  EXPECT_EQ(guid_convertHexCharsToByteA("01", 1, nullptr), TSK_FAIL);
  EXPECT_EQ(out, 0xee);
}

} // namespace
