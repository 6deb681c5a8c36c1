#include "tskbase/guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

using WString = std::basic_string<tsk_wchar_t>;

// Widens Basic Latin text, and narrows it back.
WString wide(const std::string& text) { return WString(text.begin(), text.end()); }
std::string narrow(const tsk_wchar_t* text) {
  return std::string(text, text + std::char_traits<tsk_wchar_t>::length(text));
}

// The bytes 00 11 22 .. ff in memory order.
tsk_guid sample() {
  tsk_guid guid;
  for (unsigned i = 0; i < 16; ++i) {
    reinterpret_cast<unsigned char*>(&guid)[i] = static_cast<unsigned char>(i * 0x11);
  }
  return guid;
}

std::string text(const tsk_guid& guid, uint32_t flags) {
  tsk_wchar_t out[39] = {};
  EXPECT_EQ(guid_guidToString(&guid, flags, out, 39), TSK_OK);
  return narrow(out);
}

bool same(const tsk_guid& a, const tsk_guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

constexpr char kSample[] = "33221100-5544-7766-8899-aabbccddeeff";

TEST(GuidText, FieldsAreWrittenMostSignificantByteFirst) {
  const tsk_guid guid = sample();
  EXPECT_EQ(text(guid, 0), kSample);
  EXPECT_EQ(text(guid, 5), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
  EXPECT_EQ(text(guid, 2), "'" + std::string(kSample) + "'");
  EXPECT_EQ(text(guid, 3 | 0xF0), "{" + std::string(kSample) + "}"); // braces win
}

// The buffer must hold the text and its terminator; after a failure it holds
// an empty string unless it has no room at all.
TEST(GuidText, CapacityCountsTheTerminator) {
  const tsk_guid guid = sample();
  tsk_wchar_t out[39];
  const struct {
    const tsk_guid* guid;
    uint32_t flags;
    uint64_t capacity;
    tsk_status status;
  } cases[] = {{&guid, 0, 37, TSK_OK},
               {&guid, 0, 36, TSK_FAIL},
               {&guid, 1, 39, TSK_OK},
               {&guid, 2, 38, TSK_FAIL},
               {nullptr, 0, 39, TSK_FAIL}};
  for (const auto& c : cases) {
    out[0] = u'x';
    EXPECT_EQ(guid_guidToString(c.guid, c.flags, out, c.capacity), c.status) << c.capacity;
    EXPECT_EQ(out[0] == 0, c.status == TSK_FAIL) << c.capacity;
  }
  out[0] = u'x';
  EXPECT_EQ(guid_guidToString(&guid, 0, out, 0), TSK_FAIL);
  EXPECT_EQ(out[0], u'x');
  EXPECT_EQ(guid_guidToString(&guid, 0, nullptr, 39), TSK_FAIL);
}

TEST(GuidText, ParsesWhatItWritesButTheApostropheForm) {
  const tsk_guid guid = sample();
  for (uint32_t flags : {0u, 1u, 4u, 5u}) {
    tsk_guid parsed{};
    EXPECT_EQ(guid_stringToGuid(wide(text(guid, flags)).c_str(), &parsed), TSK_OK) << flags;
    EXPECT_TRUE(same(parsed, guid)) << flags;
  }
  tsk_guid parsed = guid;
  EXPECT_EQ(guid_stringToGuid(wide(text(guid, 2)).c_str(), &parsed), TSK_FAIL);
  EXPECT_EQ(guid_stringToGuid(nullptr, &parsed), TSK_FAIL);
  EXPECT_EQ(guid_stringToGuid(wide(kSample).c_str(), nullptr), TSK_FAIL);
}

TEST(GuidText, ShapeErrorsLeaveTheGuidDigitErrorsNullIt) {
  const tsk_guid original = sample();
  for (const char* shape :
       {"33221100-5544-7766-8899-aabbccddeef", "{33221100-5544-7766-8899-aabbccddeeff",
        "(33221100-5544-7766-8899-aabbccddeeff)", "33221100+5544-7766-8899-aabbccddeeff"}) {
    tsk_guid guid = original;
    EXPECT_EQ(guid_stringToGuid(wide(shape).c_str(), &guid), TSK_FAIL) << shape;
    EXPECT_TRUE(same(guid, original)) << shape;
  }
  // A hyphen where a digit belongs is a digit error.
  for (const char* digits :
       {"33221100-5544-7766-8899-aabbccddeefg", "332211-0-5544-7766-8899-aabbccddeeff"}) {
    tsk_guid guid = original;
    EXPECT_EQ(guid_stringToGuid(wide(digits).c_str(), &guid), TSK_FAIL) << digits;
    EXPECT_TRUE(same(guid, tsk_guid{})) << digits;
  }
}

TEST(GuidText, ValidityIsALooserTest) {
  for (const char* loose :
       {"{33221100-5544-7766-8899-aabbccddeeff", "33221100-5544-7766-8899-aabbccddeeff0123",
        "{33221100-5544-7766-8899-AABBCCDDEEFF} and anything"}) {
    EXPECT_EQ(guid_isValidGuid(wide(loose).c_str()), 1) << loose;
  }
  for (const char* bad :
       {"33221100-5544-7766-8899-aabbccddeef", "{33221100-5544-7766-8899-aabbccddee}",
        "33221100-5544-7766-8899-aabbccddeefg", "'33221100-5544-7766-8899-aabbccddeeff'"}) {
    EXPECT_EQ(guid_isValidGuid(wide(bad).c_str()), 0) << bad;
  }
  EXPECT_EQ(guid_isValidGuid(nullptr), 0);
  WString fullwidth = wide(kSample);
  fullwidth[0] = 0xFF41; // fullwidth small a: not a digit
  EXPECT_EQ(guid_isValidGuid(fullwidth.c_str()), 0);
}

TEST(GuidCreate, MakesDistinctVersionFourGuidsAndTheNilGuid) {
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    tsk_guid guid;
    ASSERT_EQ(guid_create(&guid), 1);
    const std::string form = text(guid, 0);
    EXPECT_EQ(form[14], '4') << form;
    EXPECT_NE(std::string("89ab").find(form[19]), std::string::npos) << form;
    seen.insert(form);
  }
  EXPECT_EQ(seen.size(), 64u);
  tsk_guid guid = sample();
  EXPECT_EQ(guid_createNil(&guid), 1);
  EXPECT_TRUE(same(guid, tsk_guid{}));
  EXPECT_EQ(guid_create(nullptr), 0);
  EXPECT_EQ(guid_createNil(nullptr), 0);
}

TEST(GuidHex, BytesBecomeLowerCaseDigitPairsWithoutTerminator) {
  const unsigned char bytes[] = {0x00, 0x7f, 0xa5, 0xff};
  char narrowOut[10] = "#########";
  tsk_wchar_t wideOut[10] = {};
  ASSERT_EQ(guid_convertByteToHexCharsA(bytes, 4, narrowOut), TSK_OK);
  ASSERT_EQ(guid_convertByteToHexCharsW(bytes, 4, wideOut), TSK_OK);
  EXPECT_STREQ(narrowOut, "007fa5ff#");
  EXPECT_EQ(narrow(wideOut), "007fa5ff");
  EXPECT_EQ(guid_convertByteToHexCharsA(bytes, 0, narrowOut), TSK_FAIL);
  EXPECT_EQ(guid_convertByteToHexCharsW(bytes, 0, wideOut), TSK_FAIL);
  EXPECT_EQ(guid_convertByteToHexCharsA(nullptr, 4, narrowOut), TSK_FAIL);
  EXPECT_EQ(guid_convertByteToHexCharsW(bytes, 4, nullptr), TSK_FAIL);
}

// Conversion stops at the first non-digit (a terminator too) and keeps the
// bytes made before it.
TEST(GuidHex, DigitPairsBecomeBytesUpToTheFirstNonDigit) {
  for (const auto& [hex, count, status, made] :
       {std::tuple<const char*, uint64_t, tsk_status, const char*>{"007FA5ff", 4, TSK_OK,
                                                                   "\x00\x7f\xa5\xff"},
        {"0102x3", 4, TSK_FAIL, "\x01\x02\xee\xee"},
        {"010", 2, TSK_FAIL, "\x01\xee\xee\xee"},
        {"01", 0, TSK_FAIL, "\xee\xee\xee\xee"}}) {
    const std::string expected(made, 4);
    unsigned char narrowOut[4] = {0xee, 0xee, 0xee, 0xee};
    unsigned char wideOut[4] = {0xee, 0xee, 0xee, 0xee};
    EXPECT_EQ(guid_convertHexCharsToByteA(hex, count, narrowOut), status) << hex;
    EXPECT_EQ(guid_convertHexCharsToByteW(wide(hex).c_str(), count, wideOut), status) << hex;
    EXPECT_EQ(std::string(narrowOut, narrowOut + 4), expected) << hex;
    EXPECT_EQ(std::string(wideOut, wideOut + 4), expected) << hex;
  }
  unsigned char out = 0xee;
  const tsk_wchar_t notLatin[] = {0x0130, u'1', 0}; // low byte '0'
  EXPECT_EQ(guid_convertHexCharsToByteW(notLatin, 1, &out), TSK_FAIL);
  EXPECT_EQ(guid_convertHexCharsToByteA(nullptr, 1, &out), TSK_FAIL);
  EXPECT_EQ(guid_convertHexCharsToByteA("01", 1, nullptr), TSK_FAIL);
  EXPECT_EQ(out, 0xee);
}

} // namespace
