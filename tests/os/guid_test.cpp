#include "tskbase/guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using WString = std::basic_string<tsk_wchar_t>;

// Widens Basic Latin text.
WString wide(const std::string& text) {
  return WString(text.begin(), text.end());
}

std::string narrow(const tsk_wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) {
    out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  }
  return out;
}

tsk_guid sample() {
  tsk_guid guid;
  const unsigned char bytes[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                   0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  std::memcpy(&guid, bytes, sizeof guid);
  return guid;
}

std::string toString(const tsk_guid& guid, uint32_t flags) {
  tsk_wchar_t out[40];
  EXPECT_EQ(guid_guidToString(&guid, flags, out, 40), TSK_OK);
  return narrow(out);
}

bool same(const tsk_guid& a, const tsk_guid& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(GuidText, FieldsAreWrittenMostSignificantByteFirst) {
  const tsk_guid guid = sample();
  EXPECT_EQ(guid.Data1, 0x33221100u); // the fields are little-endian
  EXPECT_EQ(toString(guid, 0), "33221100-5544-7766-8899-aabbccddeeff");
  EXPECT_EQ(toString(guid, 5), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
  EXPECT_EQ(toString(guid, 2), "'33221100-5544-7766-8899-aabbccddeeff'");
  EXPECT_EQ(toString(guid, 3), "{33221100-5544-7766-8899-aabbccddeeff}"); // braces win
  EXPECT_EQ(toString(guid, 6 | 0xF0), "'33221100-5544-7766-8899-AABBCCDDEEFF'");
}

TEST(GuidText, CapacityMustHoldTextAndTerminator) {
  const tsk_guid guid = sample();
  tsk_wchar_t out[40];
  EXPECT_EQ(guid_guidToString(&guid, 0, out, 37), TSK_OK);
  for (uint32_t flags : {1u, 2u}) {
    out[0] = u'x';
    EXPECT_EQ(guid_guidToString(&guid, flags, out, 38), TSK_FAIL);
    EXPECT_EQ(out[0], 0) << "left an empty string";
    EXPECT_EQ(guid_guidToString(&guid, flags, out, 39), TSK_OK);
  }
  out[0] = u'x';
  EXPECT_EQ(guid_guidToString(&guid, 0, out, 36), TSK_FAIL);
  EXPECT_EQ(out[0], 0);
  out[0] = u'x';
  EXPECT_EQ(guid_guidToString(nullptr, 0, out, 40), TSK_FAIL);
  EXPECT_EQ(out[0], 0);
  out[0] = u'x';
  EXPECT_EQ(guid_guidToString(&guid, 0, out, 0), TSK_FAIL);
  EXPECT_EQ(out[0], u'x');
  EXPECT_EQ(guid_guidToString(&guid, 0, nullptr, 40), TSK_FAIL);
}

TEST(GuidText, ParsesEveryFormItWritesButApostrophes) {
  const tsk_guid guid = sample();
  for (uint32_t flags : {0u, 1u, 4u, 5u}) {
    tsk_wchar_t text[40];
    ASSERT_EQ(guid_guidToString(&guid, flags, text, 40), TSK_OK);
    tsk_guid parsed{};
    EXPECT_EQ(guid_stringToGuid(text, &parsed), TSK_OK) << flags;
    EXPECT_TRUE(same(parsed, guid)) << flags;
    EXPECT_EQ(guid_isValidGuid(text), 1) << flags;
  }
  tsk_guid parsed{};
  EXPECT_EQ(guid_stringToGuid(wide(toString(guid, 2)).c_str(), &parsed), TSK_FAIL);
  EXPECT_EQ(guid_stringToGuid(wide("33221100-5544-7766-8899-aAbBcCdDeEfF").c_str(), &parsed),
            TSK_OK);
  EXPECT_TRUE(same(parsed, guid));
}

TEST(GuidText, ShapeErrorsLeaveTheGuidAloneDigitErrorsNullIt) {
  const tsk_guid original = sample();
  const char* const shapes[] = {
      "33221100-5544-7766-8899-aabbccddeef",    // 35
      "33221100-5544-7766-8899-aabbccddeeff0",  // 37
      "{33221100-5544-7766-8899-aabbccddeeff",  // 37, no closing brace
      "(33221100-5544-7766-8899-aabbccddeeff)", // 38, wrong delimiters
      "33221100+5544-7766-8899-aabbccddeeff",   // hyphen missing
      "33221100-5544-7766-8899-aabbccddeeff}}", // 38, no opening brace
      "",
  };
  for (const char* text : shapes) {
    tsk_guid guid = original;
    EXPECT_EQ(guid_stringToGuid(wide(text).c_str(), &guid), TSK_FAIL) << text;
    EXPECT_TRUE(same(guid, original)) << text;
  }
  const tsk_guid nil{};
  for (const char* text :
       {"33221100-5544-7766-8899-aabbccddeefg", "g3221100-5544-7766-8899-aabbccddeeff",
        "332211-0-5544-7766-8899-aabbccddeeff"}) {
    tsk_guid guid = original;
    EXPECT_EQ(guid_stringToGuid(wide(text).c_str(), &guid), TSK_FAIL) << text;
    EXPECT_TRUE(same(guid, nil)) << text;
  }
  tsk_guid guid = original;
  EXPECT_EQ(guid_stringToGuid(nullptr, &guid), TSK_FAIL);
  EXPECT_EQ(guid_stringToGuid(wide("33221100-5544-7766-8899-aabbccddeeff").c_str(), nullptr),
            TSK_FAIL);
}

TEST(GuidText, ValidityIsALooserTest) {
  for (const char* text :
       {"{33221100-5544-7766-8899-aabbccddeeff",    // no closing brace
        "33221100-5544-7766-8899-aabbccddeeff0123", // extra digits
        "{33221100-5544-7766-8899-aabbccddeeff} and anything",
        "33221100-5544-7766-8899-aabbccddeeff}xyz", "------------------------------------"}) {
    EXPECT_EQ(guid_isValidGuid(wide(text).c_str()), 1) << text;
  }
  for (const char* text :
       {"33221100-5544-7766-8899-aabbccddeef",  // 35
        "{33221100-5544-7766-8899-aabbccddee}", // 35 behind the brace
        "33221100-5544-7766-8899-aabbccddeefg", "33221100_5544-7766-8899-aabbccddeeff",
        "'33221100-5544-7766-8899-aabbccddeeff'", ""}) {
    EXPECT_EQ(guid_isValidGuid(wide(text).c_str()), 0) << text;
  }
  EXPECT_EQ(guid_isValidGuid(nullptr), 0);
  WString fullwidth = wide("33221100-5544-7766-8899-aabbccddeeff");
  fullwidth[0] = 0xFF41; // FULLWIDTH LATIN SMALL LETTER A
  EXPECT_EQ(guid_isValidGuid(fullwidth.c_str()), 0);
}

TEST(GuidCreate, MakesDistinctVersionFourGuids) {
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    tsk_guid guid;
    ASSERT_EQ(guid_create(&guid), 1);
    const std::string text = toString(guid, 0);
    EXPECT_EQ(text[14], '4') << text;
    EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
  EXPECT_EQ(guid_create(nullptr), 0);
}

TEST(GuidCreate, NilIsSixteenZeroBytes) {
  tsk_guid guid = sample();
  EXPECT_EQ(guid_createNil(&guid), 1);
  EXPECT_TRUE(same(guid, tsk_guid{}));
  EXPECT_EQ(toString(guid, 0), "00000000-0000-0000-0000-000000000000");
  EXPECT_EQ(guid_createNil(nullptr), 0);
}

struct Narrow {
  using Char = char;
  static tsk_status toHex(const unsigned char* b, uint64_t n, char* out) {
    return guid_convertByteToHexCharsA(b, n, out);
  }
  static tsk_status toBytes(const char* h, uint64_t n, unsigned char* out) {
    return guid_convertHexCharsToByteA(h, n, out);
  }
};
struct Wide {
  using Char = tsk_wchar_t;
  static tsk_status toHex(const unsigned char* b, uint64_t n, tsk_wchar_t* out) {
    return guid_convertByteToHexCharsW(b, n, out);
  }
  static tsk_status toBytes(const tsk_wchar_t* h, uint64_t n, unsigned char* out) {
    return guid_convertHexCharsToByteW(h, n, out);
  }
};

template <typename Api>
class GuidHex : public ::testing::Test {
protected:
  using Char = typename Api::Char;
  using String = std::basic_string<Char>;
  static String text(const std::string& s) { return String(s.begin(), s.end()); }
};
using Widths = ::testing::Types<Narrow, Wide>;
TYPED_TEST_SUITE(GuidHex, Widths);

TYPED_TEST(GuidHex, BytesBecomeLowerCaseDigitPairsWithoutTerminator) {
  using Char = typename TestFixture::Char;
  const unsigned char bytes[] = {0x00, 0x7f, 0xa5, 0xff};
  std::vector<Char> out(10, Char('#'));
  ASSERT_EQ(TypeParam::toHex(bytes, 4, out.data()), TSK_OK);
  EXPECT_EQ(typename TestFixture::String(out.begin(), out.end()), TestFixture::text("007fa5ff##"));
  EXPECT_EQ(TypeParam::toHex(bytes, 0, out.data()), TSK_FAIL);
  EXPECT_EQ(TypeParam::toHex(nullptr, 4, out.data()), TSK_FAIL);
  EXPECT_EQ(TypeParam::toHex(bytes, 4, nullptr), TSK_FAIL);
}

TYPED_TEST(GuidHex, DigitPairsBecomeBytesUpToTheFirstNonDigit) {
  unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_EQ(TypeParam::toBytes(TestFixture::text("007FA5ff").c_str(), 4, out), TSK_OK);
  EXPECT_EQ(std::vector<unsigned char>(out, out + 4),
            (std::vector<unsigned char>{0, 0x7f, 0xa5, 0xff}));

  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(TypeParam::toBytes(TestFixture::text("0102x3").c_str(), 4, out), TSK_FAIL);
  EXPECT_EQ(std::vector<unsigned char>(out, out + 4),
            (std::vector<unsigned char>{1, 2, 0xEE, 0xEE}));
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(TypeParam::toBytes(TestFixture::text("010").c_str(), 2, out), TSK_FAIL); // terminator
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 0xEE);
  EXPECT_EQ(TypeParam::toBytes(TestFixture::text("01").c_str(), 0, out), TSK_FAIL);
  EXPECT_EQ(TypeParam::toBytes(nullptr, 1, out), TSK_FAIL);
  EXPECT_EQ(TypeParam::toBytes(TestFixture::text("01").c_str(), 1, nullptr), TSK_FAIL);
}

TEST(GuidHex, WideDigitsOutsideBasicLatinAreRejected) {
  const tsk_wchar_t text[] = {0x0130, u'1', 0}; // a unit whose low byte is '0'
  unsigned char out = 0xEE;
  EXPECT_EQ(guid_convertHexCharsToByteW(text, 1, &out), TSK_FAIL);
  EXPECT_EQ(out, 0xEE);
}

} // namespace
