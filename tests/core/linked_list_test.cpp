#include "tskbase/linked_list.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

struct Item {
  int32_t id;
  Item* next;
  int16_t code;
  char name[3];
};

constexpr size_t kLink = offsetof(Item, next), kId = offsetof(Item, id);
constexpr size_t kCode = offsetof(Item, code), kName = offsetof(Item, name);
using Ids = std::vector<int32_t>;
using Statuses = std::vector<tsk_status>;

// Items with ids 0 to 7, codes 0 to -7 and names "a0" to "a7"; the first
// `count` are linked in that order.
class LinkedList : public ::testing::Test {
protected:
  void build(int count) {
    for (int i = 0; i < 8; ++i) {
      items_[i] = {i,
                   i + 1 < count ? &items_[i + 1] : nullptr,
                   static_cast<int16_t>(-i),
                   {'a', static_cast<char>('0' + i)}};
    }
    head_ = count > 0 ? items_ : nullptr;
  }

  // The ids from the head, following the links.
  Ids ids() const {
    Ids out;
    for (auto* item = static_cast<const Item*>(head_); item && out.size() < 99; item = item->next) {
      out.push_back(item->id);
    }
    return out;
  }

  Item items_[8] = {};
  void* head_ = nullptr;
};

// Insert takes positions 0 to the length; append overwrites a stale link;
// remove nulls the link of what it unlinks and ignores a record not listed.
TEST_F(LinkedList, LengthAppendPrependInsertAndRemove) {
  uint32_t none = 99, count = 0;
  build(2);
  items_[7].next = &items_[7];
  const Statuses statuses = {linkedList_length(nullptr, kLink, &none),
                             linkedList_append(head_, kLink, &items_[7]),
                             linkedList_prepend(&head_, kLink, &items_[6]),
                             linkedList_insert(&head_, kLink, &items_[5], 4),
                             linkedList_insert(&head_, kLink, &items_[4], 0),
                             linkedList_insert(&head_, kLink, &items_[3], 2),
                             linkedList_length(head_, kLink, &count)};
  EXPECT_EQ(statuses, Statuses(7, TSK_OK));
  EXPECT_EQ(ids(), (Ids{4, 6, 3, 0, 1, 7, 5}));
  EXPECT_EQ(none, 0u);
  EXPECT_EQ(count, 7u);

  items_[2].next = &items_[1]; // not listed
  for (const auto& [index, left] : {std::pair<int, Ids>{2, {4, 6, 3, 0, 1, 7, 5}},
                                    {3, {4, 6, 0, 1, 7, 5}},
                                    {4, {6, 0, 1, 7, 5}},
                                    {5, {6, 0, 1, 7}}}) {
    EXPECT_EQ(linkedList_remove(&head_, kLink, &items_[index]), TSK_OK) << index;
    EXPECT_EQ(ids(), left) << index;
    EXPECT_EQ(items_[index].next, index == 2 ? &items_[1] : nullptr) << index;
  }
}

TEST_F(LinkedList, LookupsFindTheFirstMatchFailuresChangeNothing) {
  build(4);
  items_[3].id = 1; // a second record with id 1
  for (int32_t i = 0; i < 4; ++i) {
    void* found = nullptr;
    uint32_t position = 99;
    ASSERT_EQ(linkedList_getByIndex(head_, kLink, i, &found), TSK_OK);
    ASSERT_EQ(linkedList_getIndex(head_, kLink, found, &position), TSK_OK);
    EXPECT_EQ(found, &items_[i]);
    EXPECT_EQ(position, static_cast<uint32_t>(i));
  }
  std::vector<void*> found(4);
  const Statuses statuses = {linkedList_getByInt(head_, kLink, kId, 1, &found[0]),
                             linkedList_getByLong(head_, kLink, kId, 0, &found[1]),
                             linkedList_getByShort(head_, kLink, kCode, -3, &found[2]),
                             linkedList_getByString(head_, kLink, kName, "a2", &found[3])};
  EXPECT_EQ(statuses, Statuses(4, TSK_OK));
  EXPECT_EQ(found, (std::vector<void*>{&items_[1], &items_[0], &items_[3], &items_[2]}));

  void* empty = nullptr;
  Item* x = &items_[5];
  void* result = x;
  uint32_t position = 99;
  const Statuses changes = {
      linkedList_append(nullptr, kLink, x),         linkedList_prepend(&empty, kLink, x),
      linkedList_insert(&empty, kLink, x, 0),       linkedList_remove(&empty, kLink, x),
      linkedList_append(head_, kLink, nullptr),     linkedList_prepend(nullptr, kLink, x),
      linkedList_insert(&head_, kLink, nullptr, 1), linkedList_insert(nullptr, kLink, x, 1),
      linkedList_insert(&head_, kLink, x, 5),       linkedList_insert(&head_, kLink, x, -1)};
  EXPECT_EQ(changes, Statuses(changes.size(), TSK_FAIL));
  const Statuses lookups = {linkedList_length(head_, kLink, nullptr),
                            linkedList_getIndex(head_, kLink, x, &position),
                            linkedList_getIndex(head_, kLink, nullptr, &position),
                            linkedList_getByIndex(head_, kLink, 4, &result),
                            linkedList_getByIndex(head_, kLink, -1, &result),
                            linkedList_getByIndex(nullptr, kLink, 0, &result),
                            linkedList_getByInt(head_, kLink, kId, 4, &result),
                            linkedList_getByInt(nullptr, kLink, kId, 0, &result),
                            linkedList_getByInt(head_, kLink, kId, 0, nullptr),
                            linkedList_getByShort(head_, kLink, kCode, 1, &result)};
  EXPECT_EQ(lookups, Statuses(lookups.size(), TSK_FAIL));
  for (const char* key : {"A2", "a20", "a", "", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(linkedList_getByString(head_, kLink, kName, key, &result), TSK_FAIL);
  }
  EXPECT_EQ(empty, nullptr);
  EXPECT_EQ(result, x);
  EXPECT_EQ(position, 99u);
  EXPECT_EQ(ids(), (Ids{0, 1, 2, 1}));
}

// Link offset 0 means "no link field": every record is the last one, and
// links are never written. Packed records may hold the link unaligned.
TEST_F(LinkedList, LinkOffsetZeroAndUnalignedLinks) {
  build(3);
  uint32_t count = 0;
  void* found = nullptr;
  EXPECT_EQ(linkedList_length(head_, 0, &count), TSK_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(linkedList_append(head_, 0, &items_[5]), TSK_OK);
  EXPECT_EQ(linkedList_getByIndex(head_, 0, 1, &found), TSK_FAIL);
  EXPECT_EQ(ids(), (Ids{0, 1, 2}));
  EXPECT_EQ(items_[5].id, 5);

  unsigned char records[3][1 + sizeof(void*)] = {};
  void* packed = records[0];
  EXPECT_EQ(linkedList_append(packed, 1, records[1]), TSK_OK);
  EXPECT_EQ(linkedList_insert(&packed, 1, records[2], 1), TSK_OK);
  EXPECT_EQ(linkedList_getByIndex(packed, 1, 2, &found), TSK_OK);
  EXPECT_EQ(found, records[1]);
}

} // namespace
