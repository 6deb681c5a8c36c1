#include "tskbase/linked_list.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

struct Item {
  int32_t id = 0;
  Item* next = nullptr;
  int16_t code = 0;
  char name[12] = {};
};

constexpr size_t kLink = offsetof(Item, next);
constexpr size_t kId = offsetof(Item, id);
constexpr size_t kCode = offsetof(Item, code);
constexpr size_t kName = offsetof(Item, name);

// A list of `count` items with ids 0, 1, 2, ..., linked in that order.
class LinkedList : public ::testing::Test {
protected:
  void build(int count) {
    items_.assign(static_cast<size_t>(count), Item{});
    for (int i = 0; i < count; ++i) {
      Item& item = items_[static_cast<size_t>(i)];
      item.id = i;
      item.code = static_cast<int16_t>(-i);
      std::snprintf(item.name, sizeof item.name, "item%d", i);
      item.next = i + 1 < count ? &items_[static_cast<size_t>(i) + 1] : nullptr;
    }
    head_ = count > 0 ? &items_[0] : nullptr;
  }

  // The ids from the head, following the links.
  std::vector<int32_t> ids() const {
    std::vector<int32_t> out;
    for (const Item* item = head_; item != nullptr && out.size() < 100; item = item->next) {
      out.push_back(item->id);
    }
    return out;
  }

  void** head() { return reinterpret_cast<void**>(&head_); }

  std::vector<Item> items_;
  Item* head_ = nullptr;
};

TEST_F(LinkedList, LengthCountsTheRecords) {
  uint32_t count = 99;
  EXPECT_EQ(linkedList_length(nullptr, kLink, &count), TSK_OK);
  EXPECT_EQ(count, 0u);
  build(3);
  EXPECT_EQ(linkedList_length(head_, kLink, &count), TSK_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(linkedList_length(head_, kLink, nullptr), TSK_FAIL);
}

TEST_F(LinkedList, AppendAndPrependNeedAHead) {
  Item extra{7};
  void* empty = nullptr;
  EXPECT_EQ(linkedList_append(nullptr, kLink, &extra), TSK_FAIL);
  EXPECT_EQ(linkedList_prepend(&empty, kLink, &extra), TSK_FAIL);
  EXPECT_EQ(linkedList_insert(&empty, kLink, &extra, 0), TSK_FAIL);
  EXPECT_EQ(linkedList_remove(&empty, kLink, &extra), TSK_FAIL);
  EXPECT_EQ(empty, nullptr);

  build(2);
  EXPECT_EQ(linkedList_append(head_, kLink, nullptr), TSK_FAIL);
  EXPECT_EQ(linkedList_prepend(nullptr, kLink, &extra), TSK_FAIL);
  extra.next = &extra; // a stale link is overwritten
  EXPECT_EQ(linkedList_append(head_, kLink, &extra), TSK_OK);
  EXPECT_EQ(ids(), (std::vector<int32_t>{0, 1, 7}));
  EXPECT_EQ(extra.next, nullptr);

  Item first{8};
  EXPECT_EQ(linkedList_prepend(head(), kLink, &first), TSK_OK);
  EXPECT_EQ(ids(), (std::vector<int32_t>{8, 0, 1, 7}));
}

TEST_F(LinkedList, InsertTakesPositionsZeroToTheLength) {
  build(3);
  Item a{10}, b{11}, c{12}, d{13};
  EXPECT_EQ(linkedList_insert(head(), kLink, &a, 4), TSK_FAIL);
  EXPECT_EQ(linkedList_insert(head(), kLink, &a, -1), TSK_FAIL);
  EXPECT_EQ(ids(), (std::vector<int32_t>{0, 1, 2}));

  EXPECT_EQ(linkedList_insert(head(), kLink, &a, 3), TSK_OK); // appends
  EXPECT_EQ(linkedList_insert(head(), kLink, &b, 0), TSK_OK); // new head
  EXPECT_EQ(linkedList_insert(head(), kLink, &c, 2), TSK_OK);
  EXPECT_EQ(ids(), (std::vector<int32_t>{11, 0, 12, 1, 2, 10}));
  EXPECT_EQ(linkedList_insert(head(), kLink, nullptr, 1), TSK_FAIL);
  EXPECT_EQ(linkedList_insert(nullptr, kLink, &d, 1), TSK_FAIL);
}

TEST_F(LinkedList, RemoveUnlinksAndNullsTheLink) {
  build(3);
  Item stranger{9};
  stranger.next = &items_[1];
  EXPECT_EQ(linkedList_remove(head(), kLink, &stranger), TSK_OK); // not a member
  EXPECT_EQ(ids(), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(stranger.next, &items_[1]);

  EXPECT_EQ(linkedList_remove(head(), kLink, &items_[1]), TSK_OK);
  EXPECT_EQ(ids(), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(items_[1].next, nullptr);
  EXPECT_EQ(linkedList_remove(head(), kLink, &items_[0]), TSK_OK);
  EXPECT_EQ(ids(), (std::vector<int32_t>{2}));
  EXPECT_EQ(linkedList_remove(head(), kLink, &items_[2]), TSK_OK);
  EXPECT_EQ(head_, nullptr);
}

TEST_F(LinkedList, IndexLookupsInBothDirections) {
  build(3);
  void* found = nullptr;
  uint32_t position = 99;
  for (int32_t i = 0; i < 3; ++i) {
    ASSERT_EQ(linkedList_getByIndex(head_, kLink, i, &found), TSK_OK);
    EXPECT_EQ(found, &items_[static_cast<size_t>(i)]);
    ASSERT_EQ(linkedList_getIndex(head_, kLink, found, &position), TSK_OK);
    EXPECT_EQ(position, static_cast<uint32_t>(i));
  }
  found = &position;
  EXPECT_EQ(linkedList_getByIndex(head_, kLink, 3, &found), TSK_FAIL);
  EXPECT_EQ(linkedList_getByIndex(head_, kLink, -1, &found), TSK_FAIL);
  EXPECT_EQ(linkedList_getByIndex(nullptr, kLink, 0, &found), TSK_FAIL);
  EXPECT_EQ(found, &position); // untouched by the failures

  Item stranger{};
  position = 99;
  EXPECT_EQ(linkedList_getIndex(head_, kLink, &stranger, &position), TSK_FAIL);
  EXPECT_EQ(linkedList_getIndex(head_, kLink, nullptr, &position), TSK_FAIL);
  EXPECT_EQ(position, 99u);
}

TEST_F(LinkedList, KeyLookupsFindTheFirstMatch) {
  build(4);
  items_[3].id = 1; // a second record with id 1
  std::strcpy(items_[2].name, "abc");
  void* found = nullptr;
  EXPECT_EQ(linkedList_getByInt(head_, kLink, kId, 1, &found), TSK_OK);
  EXPECT_EQ(found, &items_[1]);
  EXPECT_EQ(linkedList_getByLong(head_, kLink, kId, 0, &found), TSK_OK);
  EXPECT_EQ(found, &items_[0]);
  EXPECT_EQ(linkedList_getByShort(head_, kLink, kCode, -3, &found), TSK_OK);
  EXPECT_EQ(found, &items_[3]);
  EXPECT_EQ(linkedList_getByString(head_, kLink, kName, "abc", &found), TSK_OK);
  EXPECT_EQ(found, &items_[2]);

  found = nullptr;
  EXPECT_EQ(linkedList_getByInt(head_, kLink, kId, 4, &found), TSK_FAIL);
  EXPECT_EQ(linkedList_getByShort(head_, kLink, kCode, 1, &found), TSK_FAIL);
  for (const char* near : {"ABC", "abcd", "ab", ""}) {
    EXPECT_EQ(linkedList_getByString(head_, kLink, kName, near, &found), TSK_FAIL) << near;
  }
  EXPECT_EQ(linkedList_getByString(head_, kLink, kName, nullptr, &found), TSK_FAIL);
  EXPECT_EQ(linkedList_getByInt(nullptr, kLink, kId, 0, &found), TSK_FAIL);
  EXPECT_EQ(linkedList_getByInt(head_, kLink, kId, 0, nullptr), TSK_FAIL);
  EXPECT_EQ(found, nullptr);
}

// Link offset 0 means "no link field": every record is the last one, and
// links are never written.
TEST_F(LinkedList, LinkOffsetZeroReadsNoLinksAndWritesNone) {
  build(3);
  uint32_t count = 0;
  EXPECT_EQ(linkedList_length(head_, 0, &count), TSK_OK);
  EXPECT_EQ(count, 1u);
  const std::vector<Item> before = items_;
  Item extra{5};
  EXPECT_EQ(linkedList_append(head_, 0, &extra), TSK_OK);
  EXPECT_EQ(std::memcmp(items_.data(), before.data(), sizeof(Item) * items_.size()), 0);
  void* found = nullptr;
  EXPECT_EQ(linkedList_getByIndex(head_, 0, 1, &found), TSK_FAIL);
}

// Records of a packed layout may hold the link at an odd offset.
TEST_F(LinkedList, UnalignedLinkFields) {
  unsigned char records[3][1 + sizeof(void*)] = {};
  void* head = records[0];
  EXPECT_EQ(linkedList_append(head, 1, records[1]), TSK_OK);
  EXPECT_EQ(linkedList_insert(&head, 1, records[2], 1), TSK_OK);
  void* found = nullptr;
  EXPECT_EQ(linkedList_getByIndex(head, 1, 2, &found), TSK_OK);
  EXPECT_EQ(found, records[1]);
}

} // namespace
