// The stringCnv_ family: buffer, allocating and array forms of the
// conversions between the narrow encoding, UTF-8 and UTF-16.
#include "tskbase/stringcnv.h"

#include "convert.h"
#include "core/heap.h"
#include "utf.h"

#include <climits>
#include <cstring>

using tsk::text::Encoding;
using tsk::text::toNarrow;
using tsk::text::toWide;
using tsk::text::utf8ToWideUntilZero;
using tsk::text::wideLength;
using tsk::text::wideToUtf8UntilZero;

namespace {

constexpr size_t kMaxCapacity = INT_MAX;

int clampCapacity(size_t capacity) {
  return static_cast<int>(capacity > kMaxCapacity ? kMaxCapacity : capacity);
}

using tsk::heap::allocateArray;
using tsk::heap::release;

// The ANSI allocating forms: measure n elements, allocate n + 1, convert
// with capacity n + 1. *result is written only on success. (Helpers take
// lambdas rather than function pointers: direct calls, nothing for the
// sanitizers' function-type checks to resolve at link time.)
template <typename Dst, typename Src, typename Convert>
tsk_status allocAnsi(const Src* src, Dst** result, Convert convert) {
  if (src == nullptr || result == nullptr) {
    return TSK_FAIL;
  }
  const int n = convert(src, nullptr, 0);
  if (n <= 0 || n == INT_MAX) {
    return TSK_FAIL;
  }
  Dst* out = allocateArray<Dst>(static_cast<size_t>(n) + 1);
  if (out == nullptr) {
    return TSK_FAIL;
  }
  if (convert(src, out, n + 1) == 0) {
    release(out);
    return TSK_FAIL;
  }
  out[n] = 0; // the spare element
  *result = out;
  return TSK_OK;
}

int ansiToWide(const char* src, tsk_wchar_t* dst, int capacity) {
  return toWide(Encoding::kAnsi, src, -1, dst, capacity);
}

int wideToAnsi(const tsk_wchar_t* src, char* dst, int capacity) {
  return toNarrow(Encoding::kAnsi, src, -1, dst, capacity);
}

// The array forms: a fresh array of `count` pointers, each element the
// member converted by `convertOne`, or null.
template <typename Dst, typename Src, typename ConvertOne>
tsk_status convertArray(const Src* const* src, int32_t count, Dst*** result,
                        ConvertOne convertOne) {
  if (src == nullptr || result == nullptr || count < 0) {
    return TSK_FAIL;
  }
  // A count of 0 still yields an allocated (empty) array.
  Dst** out = allocateArray<Dst*>(static_cast<size_t>(count));
  if (out == nullptr) {
    return TSK_FAIL;
  }
  for (int32_t i = 0; i < count; ++i) {
    out[i] = nullptr;
    if (convertOne(src[i], &out[i]) != TSK_OK) {
      out[i] = nullptr;
    }
  }
  *result = out;
  return TSK_OK;
}

} // namespace

// ---- Narrow (ANSI) to wide -------------------------------------------------

tsk_status stringCnv_mbsToWcs(const char* src, tsk_wchar_t* dst, int32_t capacity) {
  if (src == nullptr || dst == nullptr || capacity < 1) {
    return TSK_FAIL;
  }
  if (ansiToWide(src, dst, capacity) == 0) {
    return TSK_FAIL;
  }
  dst[capacity - 1] = 0;
  return TSK_OK;
}

tsk_status stringCnv_mbsToTcs(const char* src, tsk_wchar_t* dst, size_t capacity) {
  if (src == nullptr || dst == nullptr || capacity == 0) {
    return TSK_FAIL;
  }
  return stringCnv_mbsToWcs(src, dst, clampCapacity(capacity));
}

tsk_status stringCnv_mbsToWcsAlloc(const char* src, tsk_wchar_t** result) {
  return allocAnsi(src, result,
                   [](const char* s, tsk_wchar_t* d, int c) { return ansiToWide(s, d, c); });
}

tsk_status stringCnv_mbsToTcsAlloc(const char* src, tsk_wchar_t** result) {
  if (src == nullptr || result == nullptr) {
    return TSK_FAIL;
  }
  return stringCnv_mbsToWcsAlloc(src, result);
}

tsk_status stringCnv_mbspToWcsp(const char* const* src, int32_t count, tsk_wchar_t*** result) {
  return convertArray(src, count, result,
                      [](const char* s, tsk_wchar_t** r) { return stringCnv_mbsToWcsAlloc(s, r); });
}

// ---- Wide to narrow (ANSI) -------------------------------------------------

tsk_status stringCnv_wcsToMbs(const tsk_wchar_t* src, char* dst, size_t capacity) {
  if (src == nullptr || dst == nullptr || capacity == 0) {
    return TSK_FAIL;
  }
  dst[0] = 0;
  return wideToAnsi(src, dst, clampCapacity(capacity)) == 0 ? TSK_FAIL : TSK_OK;
}

tsk_status stringCnv_tcsToMbs(const tsk_wchar_t* src, char* dst, size_t capacity) {
  if (src == nullptr || dst == nullptr || capacity == 0) {
    return TSK_FAIL;
  }
  return stringCnv_wcsToMbs(src, dst, capacity);
}

tsk_status stringCnv_wcsToMbsAlloc(const tsk_wchar_t* src, char** result) {
  return allocAnsi(src, result,
                   [](const tsk_wchar_t* s, char* d, int c) { return wideToAnsi(s, d, c); });
}

tsk_status stringCnv_tcsToMbsAlloc(const tsk_wchar_t* src, char** result) {
  if (src == nullptr || result == nullptr) {
    return TSK_FAIL;
  }
  return stringCnv_wcsToMbsAlloc(src, result);
}

tsk_status stringCnv_wcspToMbsp(const tsk_wchar_t* const* src, int32_t count, char*** result) {
  return convertArray(src, count, result,
                      [](const tsk_wchar_t* s, char** r) { return stringCnv_wcsToMbsAlloc(s, r); });
}

// ---- UTF-8 and wide ----------------------------------------------------------
//
// The buffer forms cut the source to capacity - 1 elements, wherever that
// falls, and convert the cut part without its terminator.

tsk_status stringCnv_utf8ToWcs(const char* src, tsk_wchar_t* dst, size_t capacity) {
  if (dst == nullptr || src == nullptr || capacity == 0) {
    return TSK_FAIL;
  }
  const int c = clampCapacity(capacity);
  const int r = utf8ToWideUntilZero(src, static_cast<size_t>(c) - 1, dst, c);
  if (r < 0) {
    return TSK_FAIL;
  }
  dst[r == c ? c - 1 : r] = 0;
  return TSK_OK;
}

tsk_status stringCnv_wcsToUTF8(const tsk_wchar_t* src, char* dst, size_t capacity) {
  if (dst == nullptr || src == nullptr || capacity == 0) {
    return TSK_FAIL;
  }
  const int c = clampCapacity(capacity);
  const int r = wideToUtf8UntilZero(src, static_cast<size_t>(c) - 1, dst, c);
  if (r < 0) {
    return TSK_FAIL;
  }
  dst[r == c ? c - 1 : r] = 0;
  return TSK_OK;
}

tsk_status stringCnv_utf8ToWcsAlloc(const char* src, tsk_wchar_t** result) {
  if (src == nullptr || result == nullptr) {
    return TSK_FAIL;
  }
  const int n = toWide(Encoding::kUtf8, src, -1, nullptr, 0);
  *result = n > 0 ? allocateArray<tsk_wchar_t>(static_cast<size_t>(n)) : nullptr;
  if (*result == nullptr) {
    return TSK_FAIL;
  }
  if (toWide(Encoding::kUtf8, src, -1, *result, n) == 0) {
    release(*result);
    *result = nullptr;
    return TSK_FAIL;
  }
  return TSK_OK;
}

tsk_status stringCnv_wcsToUTF8Alloc(const tsk_wchar_t* src, char** result) {
  if (src == nullptr || result == nullptr) {
    return TSK_FAIL;
  }
  const int n = toNarrow(Encoding::kUtf8, src, -1, nullptr, 0);
  *result = n > 0 && n < INT_MAX ? allocateArray<char>(static_cast<size_t>(n) + 1) : nullptr;
  if (*result == nullptr) {
    return TSK_FAIL;
  }
  if (toNarrow(Encoding::kUtf8, src, -1, *result, n + 1) == 0) {
    release(*result);
    *result = nullptr;
    return TSK_FAIL;
  }
  (*result)[n] = 0;
  return TSK_OK;
}

tsk_status stringCnv_utf8pToWcsp(const char* const* src, int32_t count, tsk_wchar_t*** result) {
  return convertArray(src, count, result, [](const char* s, tsk_wchar_t** r) {
    return stringCnv_utf8ToWcsAlloc(s, r);
  });
}

tsk_status stringCnv_wcspToUTF8p(const tsk_wchar_t* const* src, int32_t count, char*** result) {
  return convertArray(src, count, result, [](const tsk_wchar_t* s, char** r) {
    return stringCnv_wcsToUTF8Alloc(s, r);
  });
}

// ---- Wide copies -------------------------------------------------------------

tsk_status stringCnv_tcsToWcs(const tsk_wchar_t* src, tsk_wchar_t* dst, int32_t capacity) {
  if (src == nullptr || dst == nullptr || capacity < 1) {
    return TSK_FAIL;
  }
  const size_t length = wideLength(src, static_cast<size_t>(capacity));
  if (length >= static_cast<size_t>(capacity)) {
    return TSK_FAIL;
  }
  std::memcpy(dst, src, (length + 1) * sizeof(tsk_wchar_t));
  return TSK_OK;
}

tsk_status stringCnv_wcsToTcs(const tsk_wchar_t* src, tsk_wchar_t* dst, int32_t capacity) {
  return stringCnv_tcsToWcs(src, dst, capacity);
}

tsk_status stringCnv_tcsToWcsAlloc(const tsk_wchar_t* src, tsk_wchar_t** result) {
  if (src == nullptr || result == nullptr) {
    return TSK_FAIL;
  }
  tsk_wchar_t* copy = tsk::text::newWideCopy(src);
  if (copy == nullptr) {
    return TSK_FAIL;
  }
  *result = copy;
  return TSK_OK;
}

tsk_status stringCnv_wcsToTcsAlloc(const tsk_wchar_t* src, tsk_wchar_t** result) {
  return stringCnv_tcsToWcsAlloc(src, result);
}
