#include "model/Object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace velmora {
namespace {

// A list record that counts how many of its kind are alive, to see what a list releases.
struct Record {
  explicit Record(int id_) : id(id_) { ++alive; }
  ~Record() { --alive; }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  int id;
  Record* next = nullptr;
  Record* prev = nullptr;
  static inline int alive = 0;
};

std::vector<int> Walk(const SimpleList<Record>& list) {
  std::vector<int> ids;
  for (Record* r = list.head; r != nullptr; r = list.Next(r)) ids.push_back(r->id);
  return ids;
}

SimpleList<Record>* MakeList(int n, std::vector<Record*>& records) {
  auto* list = new SimpleList<Record>;
  for (int i = 0; i < n; ++i) {
    records.push_back(new Record(i));
    list->Append(records.back());
  }
  return list;
}

TEST(SimpleList, AppendKeepsOrderAndClosesTheRing) {
  std::vector<Record*> r;
  SimpleList<Record>* list = MakeList(3, r);
  EXPECT_EQ(Walk(*list), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(list->count, 3);
  EXPECT_EQ(list->head, r[0]);
  EXPECT_EQ(list->head->prev, r[2]);
  EXPECT_EQ(r[2]->next, r[0]);
  delete list;
}

TEST(SimpleList, NextIsNullAfterTheTailAndForNull) {
  std::vector<Record*> r;
  SimpleList<Record>* one = MakeList(1, r);
  EXPECT_EQ(one->Next(one->head), nullptr);
  EXPECT_EQ(one->Next(nullptr), nullptr);
  delete one;

  r.clear();
  SimpleList<Record>* three = MakeList(3, r);
  EXPECT_EQ(three->Next(r[0]), r[1]);
  EXPECT_EQ(three->Next(r[2]), nullptr);
  delete three;
}

TEST(SimpleList, EmptyListWalksNothingAndClearsToEmpty) {
  SimpleList<Record> list;
  EXPECT_TRUE(Walk(list).empty());
  list.Clear();
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.count, 0);
}

TEST(SimpleList, RemoveUnlinksWithoutReleasing) {
  struct Case {
    int size;
    int removed;
    std::vector<int> remaining;
    int newHead;  // -1: empty
  };
  const Case cases[] = {
      {1, 0, {}, -1},        // only record
      {3, 0, {1, 2}, 1},     // head: the next record becomes head
      {3, 2, {0, 1}, 0},     // tail
      {3, 1, {0, 2}, 0},     // middle
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "size " << c.size << ", removing " << c.removed);
    std::vector<Record*> r;
    SimpleList<Record>* list = MakeList(c.size, r);
    Record* victim = r[static_cast<std::size_t>(c.removed)];
    list->Remove(victim);
    EXPECT_EQ(Walk(*list), c.remaining);
    EXPECT_EQ(list->count, static_cast<int>(c.remaining.size()));
    EXPECT_EQ(list->head, c.newHead < 0 ? nullptr : r[static_cast<std::size_t>(c.newHead)]);
    if (list->head != nullptr) {
      EXPECT_EQ(list->head->prev->next, list->head);
    }
    EXPECT_EQ(victim->next, nullptr);
    EXPECT_EQ(victim->prev, nullptr);
    const int aliveBefore = Record::alive;
    delete list;
    EXPECT_EQ(Record::alive, aliveBefore - c.size + 1) << "the removed record belongs to the caller";
    delete victim;
  }
}

// The walk used for spikes in flight: take the successor, then remove and release
// the visited record.
TEST(SimpleList, RemovingVisitedRecordsAfterTakingNextVisitsEveryRecord) {
  struct Case {
    std::vector<int> removedIds;
    std::vector<int> visited;
    std::vector<int> remaining;
  };
  const Case cases[] = {
      {{0, 1, 2, 3}, {0, 1, 2, 3}, {}},
      {{0, 2}, {0, 1, 2, 3}, {1, 3}},
      {{3}, {0, 1, 2, 3}, {0, 1, 2}},  // removing the tail ends the walk
  };
  for (const Case& c : cases) {
    std::vector<Record*> r;
    SimpleList<Record>* list = MakeList(4, r);
    std::vector<int> visited;
    Record* current = list->head;
    while (current != nullptr) {
      visited.push_back(current->id);
      Record* following = list->Next(current);
      if (std::find(c.removedIds.begin(), c.removedIds.end(), current->id) != c.removedIds.end()) {
        list->Remove(current);
        delete current;
      }
      current = following;
    }
    EXPECT_EQ(visited, c.visited);
    EXPECT_EQ(Walk(*list), c.remaining);
    delete list;
  }
  EXPECT_EQ(Record::alive, 0);
}

TEST(SimpleList, ClearReleasesEveryRecord) {
  std::vector<Record*> r;
  SimpleList<Record>* list = MakeList(5, r);
  EXPECT_EQ(Record::alive, 5);
  list->Clear();
  EXPECT_EQ(Record::alive, 0);
  EXPECT_EQ(list->head, nullptr);
  EXPECT_EQ(list->count, 0);
  delete list;
}

class CountedElement : public Object {
public:
  CountedElement() { ++alive; }
  ~CountedElement() override { --alive; }
  static inline int alive = 0;
};

TEST(Connect, AddsOneReferenceEachWayInConnectionOrder) {
  CountedElement a, b, c;
  Connect(&a, &b);
  Connect(&a, &c);
  EXPECT_EQ(a.outputs.count, 2);
  EXPECT_EQ(a.outputs.head->object, &b);
  EXPECT_EQ(a.outputs.Next(a.outputs.head)->object, &c);
  EXPECT_EQ(a.inputs.count, 0);
  EXPECT_EQ(b.inputs.count, 1);
  EXPECT_EQ(b.inputs.head->object, &a);
  EXPECT_EQ(b.outputs.count, 0);
}

TEST(Connect, ConnectingTwiceGivesTwoReferencesEachWay) {
  Object a, b;
  Connect(&a, &b);
  Connect(&a, &b);
  EXPECT_EQ(a.outputs.count, 2);
  EXPECT_EQ(b.inputs.count, 2);
}

TEST(Connect, ClearingReferencesLeavesTheElementsAlive) {
  {
    CountedElement a, b;
    Connect(&a, &b);
    a.outputs.Clear();
    b.inputs.Clear();
    EXPECT_EQ(CountedElement::alive, 2);
  }
  EXPECT_EQ(CountedElement::alive, 0);
}

}  // namespace
}  // namespace velmora
