// Heap arrays of strings. Each operation is one template over the character
// type; its A and W names instantiate it.
#include "tskbase/string_array.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "core/heap.h"
#include "tskbase/strings.h"

namespace {

template <typename CharT>
bool equal(const CharT* a, const CharT* b) {
  const size_t length = std::char_traits<CharT>::length(a);
  return std::char_traits<CharT>::length(b) == length &&
         std::char_traits<CharT>::compare(a, b, length) == 0;
}

template <typename CharT>
bool isBlank(const CharT* member) {
  return member == nullptr || member[0] == CharT();
}

// Releases the members in slots [0, count) and the block.
template <typename CharT>
void releaseAll(CharT** block, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    tsk::heap::release(block[i]);
  }
  tsk::heap::release(block);
}

// Copies each source member into slots[0..count), null for null. On failure
// releases the copies made so far and returns false.
template <typename CharT>
bool copyMembers(CharT** slots, const CharT* const* src, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (src[i] == nullptr) {
      slots[i] = nullptr;
      continue;
    }
    slots[i] = tsk::heap::duplicate(src[i]);
    if (slots[i] == nullptr) {
      for (uint32_t j = 0; j < i; ++j) {
        tsk::heap::release(slots[j]);
      }
      return false;
    }
  }
  return true;
}

// Moves the members that `keep` accepts to the front, in order, nulls the
// vacated slots and stores the new count.
template <typename CharT, typename Keep>
void compact(CharT** array, uint32_t* count, Keep keep) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < *count; ++i) {
    if (keep(array[i])) {
      array[kept++] = array[i];
    }
  }
  std::fill(array + kept, array + *count, nullptr);
  *count = kept;
}

// A null block holds nothing: with a count it describes no array at all.
template <typename CharT>
bool consistent(CharT* const* block, uint32_t count) {
  return block != nullptr || count == 0;
}

// Whether an array of `count` members can take `more` without its 32-bit
// count wrapping.
bool roomFor(uint32_t count, uint64_t more) { return count + more <= UINT32_MAX; }

// Whether `p` points into the `count` slots of `block`.
template <typename T>
bool pointsInto(const T* p, const T* block, uint32_t count) {
  // std::less orders pointers into different blocks too.
  const std::less<const T*> before;
  return block != nullptr && !before(p, block) && before(p, block + count);
}

template <typename CharT>
tsk_status addMember(CharT*** array, uint32_t* count, CharT* member) {
  if (array == nullptr || count == nullptr || member == nullptr || !consistent(*array, *count) ||
      !roomFor(*count, 1)) {
    return TSK_FAIL;
  }
  CharT** block = tsk::heap::allocateArray<CharT*>(size_t{*count} + 1);
  if (block == nullptr) {
    return TSK_FAIL;
  }
  std::copy_n(*array, *count, block);
  block[*count] = member;
  tsk::heap::release(*array);
  *array = block;
  ++*count;
  return TSK_OK;
}

template <typename CharT>
tsk_status addMemberCopy(CharT*** array, uint32_t* count, const CharT* str) {
  if (array == nullptr || count == nullptr || str == nullptr) {
    return TSK_FAIL;
  }
  CharT* copy = tsk::heap::duplicate(str);
  if (copy == nullptr) {
    return TSK_FAIL;
  }
  if (addMember(array, count, copy) != TSK_OK) {
    tsk::heap::release(copy);
    return TSK_FAIL;
  }
  return TSK_OK;
}

template <typename CharT>
tsk_status append(CharT*** dest, uint32_t* destCount, CharT*** src, uint32_t* srcCount) {
  if (dest == nullptr || destCount == nullptr || !consistent(*dest, *destCount)) {
    return TSK_FAIL;
  }
  if (srcCount == nullptr || *srcCount == 0 || src == nullptr || *src == nullptr) {
    return TSK_OK;
  }
  // An array cannot be moved into itself: its members would be released
  // together with the source block.
  if (src == dest || srcCount == destCount || *src == *dest || !roomFor(*destCount, *srcCount)) {
    return TSK_FAIL;
  }
  CharT** block = tsk::heap::reallocateArray(*dest, size_t{*destCount} + *srcCount);
  if (block == nullptr) {
    return TSK_FAIL;
  }
  std::copy_n(*src, *srcCount, block + *destCount);
  std::fill_n(*src, *srcCount, nullptr);
  *dest = block;
  *destCount += *srcCount;
  tsk::heap::release(*src);
  *src = nullptr;
  *srcCount = 0;
  return TSK_OK;
}

template <typename CharT>
tsk_status appendCopy(CharT*** dest, uint32_t* destCount, const CharT* const* src,
                      uint32_t srcCount) {
  if (dest == nullptr || destCount == nullptr) {
    return TSK_FAIL;
  }
  if (srcCount == 0 || src == nullptr) {
    return TSK_OK;
  }
  if (!consistent(*dest, *destCount) || !roomFor(*destCount, srcCount)) {
    return TSK_FAIL;
  }
  // The source may be the destination's own members, which the reallocation
  // moves: find them again in the grown block.
  const CharT* const* members = *dest;
  const bool ownMembers = pointsInto(src, members, *destCount);
  const size_t srcIndex = ownMembers ? static_cast<size_t>(src - members) : 0;
  CharT** block = tsk::heap::reallocateArray(*dest, size_t{*destCount} + srcCount);
  if (block == nullptr) {
    return TSK_FAIL;
  }
  if (ownMembers) {
    src = block + srcIndex;
  }
  if (!copyMembers(block + *destCount, src, srcCount)) {
    // The grown block is the destination now: release all it held.
    releaseAll(block, *destCount);
    *dest = nullptr;
    *destCount = 0;
    return TSK_FAIL;
  }
  *dest = block;
  *destCount += srcCount;
  return TSK_OK;
}

template <typename CharT>
tsk_status copy(CharT*** out, uint32_t* outCount, const CharT* const* src, uint32_t srcCount) {
  if (out == nullptr || outCount == nullptr || src == nullptr) {
    return TSK_FAIL;
  }
  CharT** block = nullptr;
  if (srcCount != 0) {
    block = tsk::heap::allocateArray<CharT*>(srcCount);
    if (block == nullptr) {
      return TSK_FAIL;
    }
    if (!copyMembers(block, src, srcCount)) {
      tsk::heap::release(block);
      return TSK_FAIL;
    }
  }
  *out = block;
  *outCount = srcCount;
  return TSK_OK;
}

template <typename CharT>
tsk_status findMember(CharT* const* array, uint32_t count, const CharT* str, uint32_t* index) {
  if (array == nullptr || str == nullptr || index == nullptr || count == 0) {
    return TSK_FAIL;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (array[i] != nullptr && equal<CharT>(array[i], str)) {
      *index = i;
      return TSK_OK;
    }
  }
  return TSK_FAIL;
}

template <typename CharT>
tsk_status removeNulls(CharT** array, uint32_t* count) {
  if (array == nullptr || count == nullptr) {
    return TSK_FAIL;
  }
  compact(array, count, [](const CharT* member) { return member != nullptr; });
  return TSK_OK;
}

template <typename CharT>
tsk_status deleteMember(CharT*** array, uint32_t* count, const CharT* str) {
  if (array == nullptr || *array == nullptr || count == nullptr || str == nullptr) {
    return TSK_FAIL;
  }
  uint32_t index = 0;
  if (findMember<CharT>(*array, *count, str, &index) != TSK_OK) {
    return TSK_OK;
  }
  tsk::heap::release((*array)[index]);
  (*array)[index] = nullptr;
  return removeNulls(*array, count);
}

template <typename CharT>
tsk_status destroy(CharT*** array, uint32_t* count) {
  if (array == nullptr || count == nullptr) {
    return TSK_FAIL;
  }
  if (*array != nullptr) {
    releaseAll(*array, *count);
  }
  *array = nullptr;
  *count = 0;
  return TSK_OK;
}

template <typename CharT>
tsk_status removeBlanks(CharT** array, uint32_t* count) {
  if (array == nullptr || count == nullptr) {
    return TSK_FAIL;
  }
  compact(array, count, [](const CharT* member) { return !isBlank(member); });
  return TSK_OK;
}

template <typename CharT>
tsk_status removeDuplicates(CharT** array, uint32_t* count) {
  if (array == nullptr || count == nullptr) {
    return TSK_FAIL;
  }
  for (uint32_t i = 0; i < *count; ++i) {
    const CharT* first = array[i];
    if (first == nullptr) {
      continue;
    }
    for (uint32_t j = i + 1; j < *count;) {
      if (array[j] != nullptr && equal<CharT>(first, array[j])) {
        tsk::heap::release(array[j]);
        std::copy(array + j + 1, array + *count, array + j);
        array[--*count] = nullptr;
      } else {
        ++j;
      }
    }
  }
  return TSK_OK;
}

// Applies a case function to every non-null member.
template <typename CharT>
tsk_status changeCase(CharT** array, uint32_t count, CharT* (*change)(CharT*)) {
  if (array == nullptr) {
    return count == 0 ? TSK_OK : TSK_FAIL;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (array[i] != nullptr) {
      change(array[i]);
    }
  }
  return TSK_OK;
}

} // namespace

tsk_status stringArray_addMemberA(char*** array, uint32_t* count, char* member) {
  return addMember(array, count, member);
}
tsk_status stringArray_addMemberW(tsk_wchar_t*** array, uint32_t* count, tsk_wchar_t* member) {
  return addMember(array, count, member);
}
tsk_status stringArray_addMemberCopyA(char*** array, uint32_t* count, const char* str) {
  return addMemberCopy(array, count, str);
}
tsk_status stringArray_addMemberCopyW(tsk_wchar_t*** array, uint32_t* count,
                                      const tsk_wchar_t* str) {
  return addMemberCopy(array, count, str);
}
tsk_status stringArray_appendA(char*** dest, uint32_t* destCount, char*** src, uint32_t* srcCount) {
  return append(dest, destCount, src, srcCount);
}
tsk_status stringArray_appendW(tsk_wchar_t*** dest, uint32_t* destCount, tsk_wchar_t*** src,
                               uint32_t* srcCount) {
  return append(dest, destCount, src, srcCount);
}
tsk_status stringArray_appendCopyA(char*** dest, uint32_t* destCount, const char* const* src,
                                   uint32_t srcCount) {
  return appendCopy(dest, destCount, src, srcCount);
}
tsk_status stringArray_appendCopyW(tsk_wchar_t*** dest, uint32_t* destCount,
                                   const tsk_wchar_t* const* src, uint32_t srcCount) {
  return appendCopy(dest, destCount, src, srcCount);
}
tsk_status stringArray_copyA(char*** out, uint32_t* outCount, const char* const* src,
                             uint32_t srcCount) {
  return copy(out, outCount, src, srcCount);
}
tsk_status stringArray_copyW(tsk_wchar_t*** out, uint32_t* outCount, const tsk_wchar_t* const* src,
                             uint32_t srcCount) {
  return copy(out, outCount, src, srcCount);
}
tsk_status stringArray_findMemberA(char* const* array, uint32_t count, const char* str,
                                   uint32_t* index) {
  return findMember(array, count, str, index);
}
tsk_status stringArray_findMemberW(tsk_wchar_t* const* array, uint32_t count,
                                   const tsk_wchar_t* str, uint32_t* index) {
  return findMember(array, count, str, index);
}
tsk_status stringArray_deleteMemberA(char*** array, uint32_t* count, const char* str) {
  return deleteMember(array, count, str);
}
tsk_status stringArray_deleteMemberW(tsk_wchar_t*** array, uint32_t* count,
                                     const tsk_wchar_t* str) {
  return deleteMember(array, count, str);
}
tsk_status stringArray_destroyA(char*** array, uint32_t* count) { return destroy(array, count); }
tsk_status stringArray_destroyW(tsk_wchar_t*** array, uint32_t* count) {
  return destroy(array, count);
}
tsk_status stringArray_removeNullsA(char** array, uint32_t* count) {
  return removeNulls(array, count);
}
tsk_status stringArray_removeNullsW(tsk_wchar_t** array, uint32_t* count) {
  return removeNulls(array, count);
}
tsk_status stringArray_removeBlanksA(char** array, uint32_t* count) {
  return removeBlanks(array, count);
}
tsk_status stringArray_removeBlanksW(tsk_wchar_t** array, uint32_t* count) {
  return removeBlanks(array, count);
}
tsk_status stringArray_removeDuplicatesA(char** array, uint32_t* count) {
  return removeDuplicates(array, count);
}
tsk_status stringArray_removeDuplicatesW(tsk_wchar_t** array, uint32_t* count) {
  return removeDuplicates(array, count);
}
tsk_status stringArray_toLowerA(char** array, uint32_t count) {
  return changeCase(array, count, string_toLowerA);
}
tsk_status stringArray_toUpperA(char** array, uint32_t count) {
  return changeCase(array, count, string_toUpperA);
}
tsk_status stringArray_toLowerW(tsk_wchar_t** array, uint32_t count) {
  return changeCase(array, count, string_toLowerW);
}
tsk_status stringArray_toUpperW(tsk_wchar_t** array, uint32_t count) {
  return changeCase(array, count, string_toUpperW);
}
