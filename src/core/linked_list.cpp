// Intrusive singly linked lists: the library walks the caller's records
// through their link fields and never owns them.
#include "tskbase/linked_list.h"

#include <cstring>

namespace {

using Byte = unsigned char;

Byte* fieldOf(void* record, size_t offset) { return static_cast<Byte*>(record) + offset; }

// The record behind `record`; null at the end, and always null for link
// offset 0, which stands for records without a link field. Fields are
// copied bytewise: a caller's packed record may hold them unaligned.
void* nextOf(void* record, size_t linkOffset) {
  void* next = nullptr;
  if (linkOffset != 0) {
    std::memcpy(&next, fieldOf(record, linkOffset), sizeof next);
  }
  return next;
}

void setNext(void* record, size_t linkOffset, void* next) {
  if (linkOffset != 0) {
    std::memcpy(fieldOf(record, linkOffset), &next, sizeof next);
  }
}

// Stores the first record for which match(record) holds.
template <typename Match>
tsk_status findFirst(void* head, size_t linkOffset, void** found, Match match) {
  if (head == nullptr || found == nullptr) {
    return TSK_FAIL;
  }
  for (void* record = head; record != nullptr; record = nextOf(record, linkOffset)) {
    if (match(record)) {
      *found = record;
      return TSK_OK;
    }
  }
  return TSK_FAIL;
}

// First record whose integer key field of type T equals `key`.
template <typename T>
tsk_status findByKey(void* head, size_t linkOffset, size_t keyOffset, T key, void** found) {
  return findFirst(head, linkOffset, found, [&](void* record) {
    T value;
    std::memcpy(&value, fieldOf(record, keyOffset), sizeof value);
    return value == key;
  });
}

} // namespace

tsk_status linkedList_append(void* head, size_t linkOffset, void* record) {
  if (head == nullptr || record == nullptr) {
    return TSK_FAIL;
  }
  void* last = head;
  for (void* next = nextOf(last, linkOffset); next != nullptr; next = nextOf(last, linkOffset)) {
    last = next;
  }
  setNext(last, linkOffset, record);
  setNext(record, linkOffset, nullptr);
  return TSK_OK;
}

tsk_status linkedList_prepend(void** head, size_t linkOffset, void* record) {
  if (head == nullptr || *head == nullptr || record == nullptr) {
    return TSK_FAIL;
  }
  setNext(record, linkOffset, *head);
  *head = record;
  return TSK_OK;
}

tsk_status linkedList_insert(void** head, size_t linkOffset, void* record, int32_t position) {
  if (head == nullptr || *head == nullptr || record == nullptr) {
    return TSK_FAIL;
  }
  // A negative position is never reached and fails at the end of the list.
  void* previous = nullptr;
  void* current = *head;
  for (int64_t step = 0; step != position; ++step) {
    if (current == nullptr) {
      return TSK_FAIL;
    }
    previous = current;
    current = nextOf(current, linkOffset);
  }
  if (previous == nullptr) {
    setNext(record, linkOffset, *head);
    *head = record;
  } else {
    setNext(previous, linkOffset, record);
    setNext(record, linkOffset, current);
  }
  return TSK_OK;
}

tsk_status linkedList_remove(void** head, size_t linkOffset, void* record) {
  if (head == nullptr || *head == nullptr || record == nullptr) {
    return TSK_FAIL;
  }
  void* previous = nullptr;
  void* current = *head;
  while (current != nullptr && current != record) {
    previous = current;
    current = nextOf(current, linkOffset);
  }
  if (current == nullptr) {
    return TSK_OK; // not in the list: nothing to unlink
  }
  void* const behind = nextOf(record, linkOffset);
  if (previous == nullptr) {
    *head = behind;
  } else {
    setNext(previous, linkOffset, behind);
  }
  setNext(record, linkOffset, nullptr);
  return TSK_OK;
}

tsk_status linkedList_length(void* head, size_t linkOffset, uint32_t* count) {
  if (count == nullptr) {
    return TSK_FAIL;
  }
  uint32_t length = 0;
  for (void* record = head; record != nullptr; record = nextOf(record, linkOffset)) {
    ++length;
  }
  *count = length;
  return TSK_OK;
}

tsk_status linkedList_getByIndex(void* head, size_t linkOffset, int32_t position, void** record) {
  if (position < 0) {
    return TSK_FAIL;
  }
  int32_t step = 0;
  return findFirst(head, linkOffset, record, [&](void*) { return step++ == position; });
}

tsk_status linkedList_getIndex(void* head, size_t linkOffset, void* record, uint32_t* position) {
  if (record == nullptr || position == nullptr) {
    return TSK_FAIL;
  }
  uint32_t step = 0;
  void* found = nullptr;
  const tsk_status status = findFirst(head, linkOffset, &found, [&](void* candidate) {
    if (candidate == record) {
      return true;
    }
    ++step;
    return false;
  });
  if (status == TSK_OK) {
    *position = step;
  }
  return status;
}

tsk_status linkedList_getByInt(void* head, size_t linkOffset, size_t keyOffset, int32_t key,
                               void** record) {
  return findByKey(head, linkOffset, keyOffset, key, record);
}

tsk_status linkedList_getByLong(void* head, size_t linkOffset, size_t keyOffset, int32_t key,
                                void** record) {
  return findByKey(head, linkOffset, keyOffset, key, record);
}

tsk_status linkedList_getByShort(void* head, size_t linkOffset, size_t keyOffset, int16_t key,
                                 void** record) {
  return findByKey(head, linkOffset, keyOffset, key, record);
}

tsk_status linkedList_getByString(void* head, size_t linkOffset, size_t keyOffset, const char* key,
                                  void** record) {
  if (key == nullptr) {
    return TSK_FAIL;
  }
  return findFirst(head, linkOffset, record, [&](void* candidate) {
    return std::strcmp(reinterpret_cast<const char*>(fieldOf(candidate, keyOffset)), key) == 0;
  });
}
