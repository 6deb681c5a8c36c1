// string_ tokens and search and replace.
#include "tskbase/strings.h"

#include <cstring>

#include "core/heap.h"
#include "text/chars.h"
#include "text/string_ops.h"

namespace {

namespace text = tsk::text;

// The token counters take their tokens into scratch buffers of these sizes
// (terminator included); a token that does not fit ends the count.
constexpr size_t kNarrowCountScratch = 128;
constexpr size_t kWideCountScratch = 256;

// Where one token lies: `length` elements from `start`, and the position
// after the delimiter that ended it, or null at the end of the string.
template <typename C>
struct TokenSpan {
  const C* start;
  size_t length;
  const C* next;
};

bool isDelimiter(const char* delims, unsigned char byte) {
  return byte != 0 && std::strchr(delims, byte) != nullptr;
}
bool isDelimiter(const tsk_wchar_t* delims, tsk_wchar_t unit) {
  for (; *delims != 0; ++delims) {
    if (*delims == unit) {
      return true;
    }
  }
  return false;
}

// The narrow token: one leading single-byte delimiter is skipped, then whole
// characters are taken up to one whose first byte is a delimiter. The next
// token starts after that whole character, even when the delimiter byte is
// the first of several.
TokenSpan<char> scanNarrow(const char* str, const char* delims) {
  const char* p = str;
  if (text::mbLen(p, text::kMaxCharBytes) == 1 && isDelimiter(delims, *p)) {
    ++p;
  }
  const char* end = p;
  while (*end != 0 && !isDelimiter(delims, *end)) {
    end = text::nextChar(end);
  }
  return {p, static_cast<size_t>(end - p), *end == 0 ? nullptr : text::nextChar(end)};
}

// The wide token: every leading delimiter is skipped.
TokenSpan<tsk_wchar_t> scanWide(const tsk_wchar_t* str, const tsk_wchar_t* delims) {
  const tsk_wchar_t* p = str;
  while (*p != 0 && isDelimiter(delims, *p)) {
    ++p;
  }
  const tsk_wchar_t* end = p;
  while (*end != 0 && !isDelimiter(delims, *end)) {
    ++end;
  }
  return {p, static_cast<size_t>(end - p), *end == 0 ? nullptr : end + 1};
}

template <typename C>
bool validTokenArguments(const C* str, const C* delims) {
  return str != nullptr && *str != 0 && delims != nullptr && *delims != 0;
}

// Counts the tokens that the token function would take one after the other
// into a scratch buffer of `scratch` elements.
template <typename C, typename Scan>
uint32_t countTokens(const C* str, const C* delims, size_t scratch, Scan scan) {
  uint32_t count = 0;
  for (const C* p = str; p != nullptr && validTokenArguments(p, delims); ++count) {
    const TokenSpan<C> token = scan(p, delims);
    if (token.length + 1 > scratch) {
      break;
    }
    p = token.next;
  }
  return count;
}

template <typename C>
tsk_status searchAndReplace(C* str, const C* pattern, const C* replacement, const C* found) {
  const size_t total = text::length(str) + text::length(replacement) + 1;
  C* scratch = tsk::heap::allocateArray<C>(total);
  if (scratch == nullptr) {
    return TSK_FAIL;
  }
  using Traits = std::char_traits<C>;
  const size_t before = static_cast<size_t>(found - str);
  const size_t inserted = text::length(replacement);
  const C* after = found + text::length(pattern);
  Traits::copy(scratch, str, before);
  Traits::copy(scratch + before, replacement, inserted);
  Traits::copy(scratch + before + inserted, after, text::length(after) + 1);
  Traits::copy(str, scratch, text::length(scratch) + 1);
  tsk::heap::release(scratch);
  return TSK_OK;
}

// Whether the character walk from `start` (a character boundary) meets `end`.
bool onBoundary(const char* start, const char* end) {
  const char* p = start;
  while (p < end && *p != 0) {
    p = text::nextChar(p);
  }
  return p == end;
}

// The first occurrence of `pattern` that is made of whole characters: it
// starts on a character boundary and ends on one.
const char* findWholeCharacters(const char* str, const char* pattern) {
  const size_t n = text::length(pattern);
  for (const char* found = string_strstrA(str, pattern); found != nullptr;) {
    if (onBoundary(found, found + n)) {
      return found;
    }
    const char* next = text::nextChar(found);
    found = *next == 0 ? nullptr : string_strstrA(next, pattern);
  }
  return nullptr;
}

} // namespace

tsk_status string_getTokenA(const char* str, const char* delims, char* token, const char** next) {
  if (!validTokenArguments(str, delims) || token == nullptr) {
    return TSK_FAIL;
  }
  const TokenSpan<char> span = scanNarrow(str, delims);
  std::memcpy(token, span.start, span.length);
  token[span.length] = 0;
  if (next != nullptr) {
    *next = span.next;
  }
  return TSK_OK;
}

tsk_status string_getTokenW(const tsk_wchar_t* str, const tsk_wchar_t* delims, int32_t size,
                            tsk_wchar_t* token, const tsk_wchar_t** next) {
  if (!validTokenArguments(str, delims) || token == nullptr) {
    return TSK_FAIL;
  }
  const TokenSpan<tsk_wchar_t> span = scanWide(str, delims);
  if (size <= 0 || span.length + 1 > static_cast<size_t>(size)) {
    return TSK_FAIL;
  }
  tsk_status status = TSK_OK;
  if (span.length != 0) {
    status = string_safeCopyW(span.start, token, span.length + 1);
  } else {
    token[0] = 0;
  }
  if (next != nullptr) {
    *next = span.next;
  }
  return status;
}

tsk_status string_getTokenByIndexW(const tsk_wchar_t* str, const tsk_wchar_t* delims, int32_t index,
                                   tsk_wchar_t* token, int32_t size) {
  if (str == nullptr || token == nullptr || delims == nullptr || index < 0 || size <= 0) {
    return TSK_FAIL;
  }
  // Finds the token first and copies it only then, so that a failure leaves
  // the caller's buffer untouched.
  TokenSpan<tsk_wchar_t> span{};
  const tsk_wchar_t* p = str;
  for (int32_t i = 0; i <= index; ++i) {
    if (p == nullptr || !validTokenArguments(p, delims)) {
      return TSK_FAIL;
    }
    span = scanWide(p, delims);
    if (span.length + 1 > static_cast<size_t>(size)) {
      return TSK_FAIL;
    }
    p = span.next;
  }
  // The token is copied with the full size: what follows it in the buffer is
  // zero-filled, as a copy out of a scratch buffer of that size would be.
  const size_t units = static_cast<size_t>(size);
  for (size_t i = 0; i < units; ++i) {
    token[i] = i < span.length ? span.start[i] : 0;
  }
  return TSK_OK;
}

tsk_status string_getTokenCountA(const char* str, const char* delims, uint32_t* count) {
  if (str == nullptr || count == nullptr) {
    return TSK_FAIL;
  }
  *count = delims == nullptr ? 0 : countTokens(str, delims, kNarrowCountScratch, scanNarrow);
  return TSK_OK;
}

tsk_status string_getTokenCountW(const tsk_wchar_t* str, const tsk_wchar_t* delims,
                                 uint32_t* count) {
  if (str == nullptr || count == nullptr || delims == nullptr) {
    return TSK_FAIL;
  }
  *count = countTokens(str, delims, kWideCountScratch, scanWide);
  return TSK_OK;
}

tsk_status string_searchAndReplaceA(char* str, const char* pattern, const char* replacement) {
  if (str == nullptr || pattern == nullptr || replacement == nullptr) {
    return TSK_FAIL;
  }
  if (*str == 0 || *pattern == 0) {
    return TSK_OK;
  }
  // Only an occurrence of whole characters counts: none is ever split.
  const char* found = findWholeCharacters(str, pattern);
  return found == nullptr ? TSK_OK : searchAndReplace(str, pattern, replacement, found);
}

tsk_status string_searchAndReplaceW(tsk_wchar_t* str, const tsk_wchar_t* pattern,
                                    const tsk_wchar_t* replacement) {
  if (str == nullptr || pattern == nullptr || replacement == nullptr) {
    return TSK_FAIL;
  }
  if (*str == 0 || *pattern == 0) {
    return TSK_OK;
  }
  const tsk_wchar_t* found = string_strstrW(str, pattern);
  return found == nullptr ? TSK_OK : searchAndReplace(str, pattern, replacement, found);
}
