// GUIDs: creation through the operating system, the 36-character text form,
// and runs of bytes as pairs of hexadecimal digits.
#include "tskbase/guid.h"

#include <cstring>
#include <type_traits>

#include "platform/guid.h"

namespace {

using Byte = unsigned char;

constexpr size_t kGuidSize = sizeof(tsk_guid);
constexpr size_t kTextLength = 36;

static_assert(kGuidSize == 16, "a GUID is 16 bytes");

// Memory order of the bytes as the text form writes them, and the character
// positions that hold hyphens instead.
constexpr size_t kTextOrder[kGuidSize] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr size_t kHyphens[] = {8, 13, 18, 23};

constexpr char kDigits[] = "0123456789abcdef";

// True when a hyphen stands before the text form's byte number i.
bool hyphenBefore(size_t i) { return i == 4 || i == 6 || i == 8 || i == 10; }

// Value of a hexadecimal digit in either case, or -1. Units beyond Basic
// Latin compare as themselves, so no wide character passes for a digit.
template <typename CharT>
int digitValue(CharT c) {
  const auto unit = static_cast<uint32_t>(static_cast<std::make_unsigned_t<CharT>>(c));
  if (unit >= '0' && unit <= '9') {
    return static_cast<int>(unit - '0');
  }
  if (unit >= 'a' && unit <= 'f') {
    return static_cast<int>(unit - 'a' + 10);
  }
  if (unit >= 'A' && unit <= 'F') {
    return static_cast<int>(unit - 'A' + 10);
  }
  return -1;
}

// Combines the two digits at `hex` into *byte; false if either is not one.
template <typename CharT>
bool readByte(const CharT* hex, Byte* byte) {
  const int high = digitValue(hex[0]);
  if (high < 0) {
    return false;
  }
  const int low = digitValue(hex[1]);
  if (low < 0) {
    return false;
  }
  *byte = static_cast<Byte>(high << 4 | low);
  return true;
}

template <typename CharT>
void writeByte(Byte byte, CharT* out) {
  out[0] = static_cast<CharT>(kDigits[byte >> 4]);
  out[1] = static_cast<CharT>(kDigits[byte & 0x0F]);
}

// Length of `text`, counted no further than `limit`.
size_t boundedLength(const tsk_wchar_t* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != 0) {
    ++length;
  }
  return length;
}

template <typename CharT>
tsk_status bytesToHex(const Byte* bytes, uint64_t count, CharT* out) {
  if (bytes == nullptr || count == 0 || out == nullptr) {
    return TSK_FAIL;
  }
  for (uint64_t i = 0; i < count; ++i) {
    writeByte(bytes[i], out + 2 * i);
  }
  return TSK_OK;
}

template <typename CharT>
tsk_status hexToBytes(const CharT* hex, uint64_t count, Byte* out) {
  if (hex == nullptr || count == 0 || out == nullptr) {
    return TSK_FAIL;
  }
  for (uint64_t i = 0; i < count; ++i) {
    // readByte stops at a terminator, which is not a digit, so the text is
    // never read past its end.
    if (!readByte(hex + 2 * i, out + i)) {
      return TSK_FAIL;
    }
  }
  return TSK_OK;
}

} // namespace

int32_t guid_create(tsk_guid* guid) {
  return guid != nullptr && tsk::platform::createGuid(guid) ? 1 : 0;
}

int32_t guid_createNil(tsk_guid* guid) {
  return guid != nullptr && tsk::platform::createNilGuid(guid) ? 1 : 0;
}

tsk_status guid_guidToString(const tsk_guid* guid, uint32_t flags, tsk_wchar_t* out,
                             uint64_t capacity) {
  if (out == nullptr || capacity == 0) {
    return TSK_FAIL;
  }
  out[0] = 0;
  const bool braces = (flags & GUID_FLAG_BRACES) != 0;
  const bool delimited = braces || (flags & GUID_FLAG_APOSTROPHES) != 0;
  if (guid == nullptr || capacity < kTextLength + (delimited ? 3 : 1)) {
    return TSK_FAIL;
  }

  Byte bytes[kGuidSize];
  std::memcpy(bytes, guid, kGuidSize);
  tsk_wchar_t* p = out;
  if (delimited) {
    *p++ = braces ? u'{' : u'\'';
  }
  for (size_t i = 0; i < kGuidSize; ++i) {
    if (hyphenBefore(i)) {
      *p++ = u'-';
    }
    writeByte(bytes[kTextOrder[i]], p);
    p += 2;
  }
  if (delimited) {
    *p++ = braces ? u'}' : u'\'';
  }
  *p = 0;

  if ((flags & GUID_FLAG_UPPERCASE) != 0) {
    for (p = out; *p != 0; ++p) {
      if (*p >= u'a' && *p <= u'f') {
        *p = static_cast<tsk_wchar_t>(*p - u'a' + u'A');
      }
    }
  }
  return TSK_OK;
}

tsk_status guid_stringToGuid(const tsk_wchar_t* text, tsk_guid* guid) {
  if (text == nullptr || guid == nullptr) {
    return TSK_FAIL;
  }
  const size_t length = boundedLength(text, kTextLength + 3);
  if (length == kTextLength + 2) {
    if (text[0] != u'{' || text[length - 1] != u'}') {
      return TSK_FAIL;
    }
    ++text;
  } else if (length != kTextLength) {
    return TSK_FAIL;
  }
  for (size_t hyphen : kHyphens) {
    if (text[hyphen] != u'-') {
      return TSK_FAIL;
    }
  }

  Byte bytes[kGuidSize];
  const tsk_wchar_t* digits = text;
  for (size_t i = 0; i < kGuidSize; ++i) {
    if (hyphenBefore(i)) {
      ++digits; // checked above
    }
    if (!readByte(digits, &bytes[kTextOrder[i]])) {
      std::memset(guid, 0, kGuidSize);
      return TSK_FAIL;
    }
    digits += 2;
  }
  std::memcpy(guid, bytes, kGuidSize);
  return TSK_OK;
}

int32_t guid_isValidGuid(const tsk_wchar_t* text) {
  if (text == nullptr) {
    return 0;
  }
  if (*text == u'{') {
    ++text;
  }
  if (boundedLength(text, kTextLength) < kTextLength) {
    return 0;
  }
  for (size_t hyphen : kHyphens) {
    if (text[hyphen] != u'-') {
      return 0;
    }
  }
  for (; *text != 0 && *text != u'}'; ++text) {
    if (*text != u'-' && digitValue(*text) < 0) {
      return 0;
    }
  }
  return 1;
}

tsk_status guid_convertByteToHexCharsA(const unsigned char* bytes, uint64_t count, char* out) {
  return bytesToHex(bytes, count, out);
}

tsk_status guid_convertByteToHexCharsW(const unsigned char* bytes, uint64_t count,
                                       tsk_wchar_t* out) {
  return bytesToHex(bytes, count, out);
}

tsk_status guid_convertHexCharsToByteA(const char* hex, uint64_t count, unsigned char* out) {
  return hexToBytes(hex, count, out);
}

tsk_status guid_convertHexCharsToByteW(const tsk_wchar_t* hex, uint64_t count, unsigned char* out) {
  return hexToBytes(hex, count, out);
}
