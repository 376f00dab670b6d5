#include "runtime/queue/queue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/clock.h"
#include "row_layout.h"
#include "runtime/core/char_tables.h"
#include "runtime/core/error_state.h"
#include "runtime/queue/queue_inspect.h"

namespace pellucor::runtime::queue_test {
namespace {

using Key = std::vector<QueueKeyComponent>;

// A queue of Rows, with helpers that read and write through its buffer.
struct RowQueue {
  explicit RowQueue(RowWidth w = RowWidth::kNarrow) : width(w), queue(RowDescriptor(&buffer, w)) {}
  void Set(const Row& row) { WriteRow(row, buffer.data(), width); }
  void Add(const Row& row) {
    Set(row);
    QueueAdd(queue);
    ASSERT_EQ(ErrorCode(), 0);
  }
  int32_t IdAt(int32_t position) {
    QueueGet(queue, position);
    EXPECT_EQ(ErrorCode(), 0) << "position " << position;
    return ReadId(buffer.data());
  }
  std::vector<int32_t> Ids() {
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= QueueRecords(queue); ++i) ids.push_back(IdAt(i));
    return ids;
  }
  std::vector<uint8_t> buffer;
  RowWidth width;
  Queue queue;
};

Row MakeRow(int32_t id, std::string name, int16_t count = 0) {
  Row row;
  row.id = id;
  row.name = std::move(name);
  row.count = count;
  return row;
}

TEST(Queue, NewQueueIsEmptyAndPositionsOutsideItFail) {
  RowQueue q;
  EXPECT_EQ(QueueRecords(q.queue), 0);
  EXPECT_EQ(ErrorCode(), 0);
  for (int32_t position : {1, 0, -1}) {
    QueueGet(q.queue, position);
    EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
    EXPECT_EQ(ErrorText().substr(0, 15), "Entry Not Found");
  }
  // Nothing is current yet: writing back or deleting has no entry to act on.
  QueuePut(q.queue);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  QueueDelete(q.queue);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  q.Set(MakeRow(1, "a"));
  QueueGetByKey(q.queue, {kId});
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  EXPECT_EQ(QueuePointer(q.queue), 0);
  q.Add(MakeRow(1, "a"));
  QueueGet(q.queue, 2);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
}

TEST(Queue, QueueWithoutDescriptorOrBufferPostsMemoryCorrupted) {
  Queue none;
  QueueDescriptor no_buffer;
  no_buffer.size = 10;
  Queue unbuffered{no_buffer};
  for (Queue* q : {&none, &unbuffered}) {
    EXPECT_EQ(QueueRecords(*q), 0);
    EXPECT_EQ(ErrorCode(), err::kMemoryCorrupted);
    QueueAdd(*q);
    EXPECT_EQ(ErrorCode(), err::kMemoryCorrupted);
    QueueSort(*q, {1});
    EXPECT_EQ(ErrorCode(), err::kMemoryCorrupted);
    QueueFree(*q);
    EXPECT_EQ(ErrorCode(), err::kMemoryCorrupted);
  }
}

TEST(Queue, DescendingSortPutsTheLargestFirst) {
  RowQueue q;
  q.Add(MakeRow(1, "b", 5));
  q.Add(MakeRow(2, "c", 9));
  q.Add(MakeRow(3, "a", -2));
  QueueSort(q.queue, {-kCount});
  ASSERT_EQ(ErrorCode(), 0);
  EXPECT_EQ(q.IdAt(1), 2);
  EXPECT_EQ(QueuePointer(q.queue), 1);
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{2, 1, 3}));
  // The insertion order is still there, unchanged.
  QueueSort(q.queue, {});
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{1, 2, 3}));
}

TEST(Queue, PutMovesTheEntryInEveryOrderThatUsesTheChangedField) {
  RowQueue q;
  for (int i = 1; i <= 6; ++i) q.Add(MakeRow(i, std::string(1, static_cast<char>('a' + i))));
  QueueSort(q.queue, {kName});  // b c d e f g
  QueueSort(q.queue, {-kId});   // current: 6 5 4 3 2 1
  QueueGet(q.queue, 5);         // id 2, name "c"
  Row changed = MakeRow(2, "z");
  q.Set(changed);
  QueuePut(q.queue);
  ASSERT_EQ(ErrorCode(), 0);
  EXPECT_EQ(QueuePointer(q.queue), 5);  // the current order's key did not change
  // The name order learns of the change when it is next used.
  q.Set(MakeRow(0, "z"));
  QueueGetByKey(q.queue, {kName});
  ASSERT_EQ(ErrorCode(), 0);
  EXPECT_EQ(ReadId(q.buffer.data()), 2);
  EXPECT_EQ(QueuePointer(q.queue), 6);
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{1, 3, 4, 5, 6, 2}));
  // In the current order the entry moves at once, and stays current.
  QueueGet(q.queue, 1);  // id 1, name "b"
  q.Set(MakeRow(1, "e"));
  QueuePut(q.queue);
  EXPECT_EQ(QueuePointer(q.queue), 2);  // equal names keep the order in which they were added
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{3, 1, 4, 5, 6, 2}));
}

TEST(Queue, SeventeenthKeyEvictsTheLeastRecentlyUsedOrder) {
  RowQueue q;
  for (int i = 0; i < 30; ++i) {
    Row row = MakeRow(i, std::string(1, static_cast<char>('a' + (i * 7) % 26)),
                      static_cast<int16_t>(i % 4));
    row.cents = (i * 37) % 11 - 5;
    row.day = i % 3 == 0 ? 0 : DayNumber(2000 + i % 5, 1 + i % 12, 1 + i % 28);
    q.Add(row);
  }
  const std::vector<Key> keys = {{{kName}},
                                 {{-kName}},
                                 {{kCount}},
                                 {{-kCount}},
                                 {{kAmount}},
                                 {{-kAmount}},
                                 {{kDate}},
                                 {{-kDate}},
                                 {{kCount}, {kName}},
                                 {{kCount}, {-kName}},
                                 {{-kCount}, {kName}},
                                 {{kAmount}, {kName}},
                                 {{kDate}, {kName}},
                                 {{-kDate}, {-kId}},
                                 {{kName, KeyCase::kNoCase}}};
  std::vector<std::vector<int32_t>> first_result;
  for (const Key& key : keys) {
    QueueSort(q.queue, QueueKey(key));
    ASSERT_EQ(ErrorCode(), 0);
    first_result.push_back(q.Ids());
  }
  // Fifteen keyed orders and the insertion order: the table is full.
  auto held = QueueOrderKeys(q.queue);
  ASSERT_EQ(held.size(), kMaxQueueOrders);
  EXPECT_EQ(held.back(), Key{});
  // Use the first key again: it moves to the front, so the insertion order is now least recent.
  QueueSort(q.queue, QueueKey(keys[0]));
  held = QueueOrderKeys(q.queue);
  EXPECT_EQ(held.front(), keys[0]);
  EXPECT_EQ(held.back(), Key{});
  // A seventeenth key evicts the insertion order; the insertion sequence is not lost with it.
  const Key extra = {{-kId}};
  QueueSort(q.queue, QueueKey(extra));
  held = QueueOrderKeys(q.queue);
  ASSERT_EQ(held.size(), kMaxQueueOrders);
  EXPECT_EQ(held.front(), extra);
  EXPECT_EQ(std::count(held.begin(), held.end(), Key{}), 0);
  QueueSort(q.queue, {});
  std::vector<int32_t> inserted(30);
  for (int i = 0; i < 30; ++i) inserted[i] = i;
  EXPECT_EQ(q.Ids(), inserted);
  // That evicted keys[1]; change records meanwhile, then rebuild it: same as a fresh sort.
  held = QueueOrderKeys(q.queue);
  EXPECT_EQ(std::count(held.begin(), held.end(), keys[1]), 0);
  QueueSort(q.queue, QueueKey(keys[1]));
  EXPECT_EQ(q.Ids(), first_result[1]);
  // Orders held while records change under them end up as a fresh queue would sort them.
  QueueGet(q.queue, 3);
  QueueDelete(q.queue);
  QueueGet(q.queue, 7);
  Row changed = MakeRow(7, "zz", 3);
  q.Set(changed);
  QueuePut(q.queue);
  q.Add(MakeRow(100, "m", 2));
  RowQueue fresh;
  QueueSort(q.queue, {});
  for (int32_t i = 1; i <= QueueRecords(q.queue); ++i) {
    QueueGet(q.queue, i);
    fresh.buffer = q.buffer;
    QueueAdd(fresh.queue);
  }
  for (const Key& key : keys) {
    QueueSort(q.queue, QueueKey(key));
    QueueSort(fresh.queue, QueueKey(key));
    EXPECT_EQ(q.Ids(), fresh.Ids());
  }
}

TEST(Queue, FreeEmptiesTheTableAndMovesTheCounter) {
  RowQueue q;
  q.Add(MakeRow(1, "a"));
  q.Add(MakeRow(2, "b"));
  QueueSort(q.queue, {kName});
  const uint32_t before = QueueChanges(q.queue);
  QueueFree(q.queue);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(QueueRecords(q.queue), 0);
  EXPECT_NE(QueueChanges(q.queue), before);
  EXPECT_EQ(QueueOrderKeys(q.queue), std::vector<Key>{Key{}});
  EXPECT_EQ(QueuePointer(q.queue), 0);
  QueuePut(q.queue);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  q.Add(MakeRow(3, "c"));
  EXPECT_EQ(q.Ids(), std::vector<int32_t>{3});
}

TEST(Queue, ChangeCounterStartsFromTheClock) {
  platform::SetNowOverride(platform::LocalTime{2026, 5, 4, 13, 14, 15, 16, 1});
  RowQueue q;
  const uint32_t clock = 13 * 360000 + 14 * 6000 + 15 * 100 + 16 + 1;
  EXPECT_EQ(QueueChanges(q.queue), static_cast<uint32_t>(clock * 25781083ull));
  platform::SetNowOverride(std::nullopt);
  uint32_t last = QueueChanges(q.queue);
  auto moved = [&] {
    const uint32_t now = QueueChanges(q.queue);
    const bool changed = now != last;
    last = now;
    return changed;
  };
  q.Add(MakeRow(1, "a"));
  EXPECT_TRUE(moved());
  QueueGet(q.queue, 1);
  EXPECT_EQ(QueueRecords(q.queue), 1);
  EXPECT_FALSE(moved());
  QueueSort(q.queue, {kName});
  EXPECT_TRUE(moved());
  QueuePut(q.queue);
  EXPECT_TRUE(moved());
  QueueSort(q.queue, {kId, 99});  // refused: nothing changes
  EXPECT_EQ(ErrorCode(), err::kInvalidFieldType);
  EXPECT_FALSE(moved());
  QueueDelete(q.queue);
  EXPECT_TRUE(moved());
}

TEST(Queue, InvalidKeyComponentsChangeNothing) {
  std::vector<uint8_t> buffer(20, 0);
  QueueDescriptor d{buffer.data(),
                    20,
                    {{TypeCode::kLong, 0, 4, 0},
                     {TypeCode::kMemo, 4, 4, 0},
                     {TypeCode::kString, 16, 10, 0},  // runs past the buffer
                     {TypeCode::kLong, 8, 2, 0}}};    // too small for its type
  Queue q(d);
  QueueAdd(q);
  QueueSort(q, {-1});
  for (const Key& key : std::vector<Key>{{{5}}, {{-5}}, {{1}, {2}}, {{3}}, {{4}}}) {
    QueueSort(q, QueueKey(key));
    EXPECT_EQ(ErrorCode(), err::kInvalidFieldType);
    QueueGetByKey(q, QueueKey(key));
    EXPECT_EQ(ErrorCode(), err::kInvalidFieldType);
    QueueAddByKey(q, QueueKey(key));
    EXPECT_EQ(ErrorCode(), err::kInvalidFieldType);
  }
  EXPECT_EQ(QueueRecords(q), 1);
  EXPECT_EQ(QueueOrderKeys(q).front(), Key{-1});
  // Components after a 0 do not count, so this is the key {1}.
  QueueSort(q, {1, 0, 77});
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(QueueOrderKeys(q).front(), Key{1});
}

TEST(Queue, AddAtPlacesTheEntryUntilTheOrderIsSortedAgain) {
  RowQueue q;
  for (int i = 1; i <= 4; ++i) q.Add(MakeRow(i * 10, "n"));
  // Insertion order: positions as asked, past the end appends, 0 is refused.
  q.Set(MakeRow(15, "n"));
  QueueAddAt(q.queue, 2);
  EXPECT_EQ(QueuePointer(q.queue), 2);
  q.Set(MakeRow(99, "n"));
  QueueAddAt(q.queue, 100);
  EXPECT_EQ(QueuePointer(q.queue), 6);
  QueueAddAt(q.queue, 0);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{10, 15, 20, 30, 40, 99}));
  // A sorted order keeps the entry where it was put, until it is sorted or searched again.
  QueueSort(q.queue, {kId});
  q.Set(MakeRow(5, "n"));
  QueueAddAt(q.queue, 4);
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{10, 15, 20, 5, 30, 40, 99}));
  QueueSort(q.queue, {kId});
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{5, 10, 15, 20, 30, 40, 99}));
  QueueSort(q.queue, {});
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{10, 15, 20, 30, 40, 99, 5}));
}

TEST(Queue, DeleteLeavesNoCurrentEntry) {
  RowQueue q;
  for (int i = 1; i <= 3; ++i) q.Add(MakeRow(i, "n"));
  QueueGet(q.queue, 2);
  QueueDelete(q.queue);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(QueuePointer(q.queue), 0);
  // A second write must not land on the entry that moved into the deleted one's place.
  q.Set(MakeRow(77, "n"));
  QueuePut(q.queue);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  QueueDelete(q.queue);
  EXPECT_EQ(ErrorCode(), err::kEntryNotFound);
  EXPECT_EQ(q.Ids(), (std::vector<int32_t>{1, 3}));
}

// A record of one field of a given type, for the comparison rules of each type.
struct OneField {
  OneField(TypeCode type, uint32_t size, uint8_t places = 0)
      : buffer(size + 4),
        queue(QueueDescriptor{
            buffer.data(), size + 4, {{type, 0, size, places}, {TypeCode::kLong, size, 4, 0}}}),
        size(size) {}
  void Add(const std::vector<uint8_t>& value, int32_t tag) {
    std::memcpy(buffer.data(), value.data(), size);
    std::memcpy(buffer.data() + size, &tag, 4);
    QueueAdd(queue);
    ASSERT_EQ(ErrorCode(), 0);
  }
  std::vector<int32_t> Sorted(Key key) {
    QueueSort(queue, QueueKey(key));
    EXPECT_EQ(ErrorCode(), 0);
    std::vector<int32_t> tags;
    for (int32_t i = 1; i <= QueueRecords(queue); ++i) {
      QueueGet(queue, i);
      int32_t tag;
      std::memcpy(&tag, buffer.data() + size, 4);
      tags.push_back(tag);
    }
    return tags;
  }
  bool Finds(const std::vector<uint8_t>& value, Key key, int32_t* tag) {
    std::memcpy(buffer.data(), value.data(), size);
    QueueGetByKey(queue, QueueKey(key));
    std::memcpy(tag, buffer.data() + size, 4);
    return ErrorCode() == 0;
  }
  std::vector<uint8_t> buffer;
  Queue queue;
  uint32_t size;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
  std::vector<uint8_t> v;
  for (int x : b) v.push_back(static_cast<uint8_t>(x));
  return v;
}
std::vector<uint8_t> Text(std::string_view s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}
template <typename T>
std::vector<uint8_t> Raw(T value) {
  std::vector<uint8_t> v(sizeof value);
  std::memcpy(v.data(), &value, sizeof value);
  return v;
}

TEST(QueueKeys, NumbersCompareByValueOfTheirType) {
  OneField ulong(TypeCode::kULong, 4);
  ulong.Add(Raw<uint32_t>(3000000000u), 1);
  ulong.Add(Raw<uint32_t>(5), 2);
  EXPECT_EQ(ulong.Sorted({1}), (std::vector<int32_t>{2, 1}));

  OneField shorts(TypeCode::kShort, 2);
  shorts.Add(Raw<int16_t>(-300), 1);
  shorts.Add(Raw<int16_t>(20), 2);
  EXPECT_EQ(shorts.Sorted({1}), (std::vector<int32_t>{1, 2}));

  OneField reals(TypeCode::kSReal, 4);
  reals.Add(Raw<float>(2.5f), 1);
  reals.Add(Raw<float>(std::numeric_limits<float>::quiet_NaN()), 2);
  reals.Add(Raw<float>(-7.0f), 3);
  reals.Add(Raw<float>(std::numeric_limits<float>::quiet_NaN()), 4);
  EXPECT_EQ(reals.Sorted({1}), (std::vector<int32_t>{2, 4, 3, 1}));

  // DECIMAL(5,2) in 3 bytes: sign nibble, five digits. A negative zero equals zero.
  OneField dec(TypeCode::kDecimal, 3, 2);
  dec.Add(Bytes({0x00, 0x10, 0x05}), 1);  // 10.05
  dec.Add(Bytes({0xF0, 0x10, 0x05}), 2);  // -10.05
  dec.Add(Bytes({0xF0, 0x00, 0x00}), 3);  // -0
  dec.Add(Bytes({0xF0, 0x00, 0x15}), 4);  // -0.15
  dec.Add(Bytes({0x09, 0x99, 0x99}), 5);  // 999.99
  dec.Add(Bytes({0x00, 0x00, 0x00}), 6);  // 0
  EXPECT_EQ(dec.Sorted({1}), (std::vector<int32_t>{2, 4, 3, 6, 1, 5}));
  int32_t tag = 0;
  EXPECT_TRUE(dec.Finds(Bytes({0x00, 0x00, 0x00}), {1}, &tag));
  EXPECT_EQ(tag, 3);  // equal to -0, which came first

  // PDECIMAL(5,2) in 3 bytes: five digits, then the sign nibble (0xD negative).
  OneField pdec(TypeCode::kPDecimal, 3, 2);
  pdec.Add(Bytes({0x01, 0x00, 0x5F}), 1);  // 10.05
  pdec.Add(Bytes({0x01, 0x00, 0x5D}), 2);  // -10.05
  pdec.Add(Bytes({0x00, 0x20, 0x0C}), 3);  // 2.00 (any sign but 0xD is positive)
  EXPECT_EQ(pdec.Sorted({1}), (std::vector<int32_t>{2, 3, 1}));
}

TEST(QueueKeys, DatesAndTimesCompareAsDayNumbersAndTimeValues) {
  OneField dates(TypeCode::kDate, 4);
  dates.Add(Bytes({4, 3, 2001 & 0xFF, 2001 >> 8}), 1);   // 4 March 2001
  dates.Add(Bytes({31, 2, 2001 & 0xFF, 2001 >> 8}), 2);  // reads as 3 March 2001
  dates.Add(Bytes({2, 3, 2001 & 0xFF, 2001 >> 8}), 3);   // 2 March 2001
  dates.Add(Bytes({0, 0, 0, 0}), 4);                     // no date
  dates.Add(Bytes({1, 1, 1999 & 0xFF, 1999 >> 8}), 5);
  EXPECT_EQ(dates.Sorted({1}), (std::vector<int32_t>{4, 5, 3, 2, 1}));
  int32_t tag = 0;
  EXPECT_TRUE(dates.Finds(Bytes({3, 3, 2001 & 0xFF, 2001 >> 8}), {1}, &tag));
  EXPECT_EQ(tag, 2);

  OneField times(TypeCode::kTime, 4);
  times.Add(Bytes({0, 0, 30, 9}), 1);    // 09:30
  times.Add(Bytes({0, 0, 0, 0}), 2);     // no time
  times.Add(Bytes({0, 0, 70, 1}), 3);    // minute 70: reads as -1
  times.Add(Bytes({99, 59, 59, 8}), 4);  // 08:59:59.99
  EXPECT_EQ(times.Sorted({-1}), (std::vector<int32_t>{1, 4, 2, 3}));
}

TEST(QueueKeys, TextsCompareBlankPaddedAndByTheirLayout) {
  OneField str(TypeCode::kString, 6);
  str.Add(Text("abc   "), 1);
  str.Add(Text("abc\x01  "), 2);  // below the blank that pads "abc"
  str.Add(Text("ABC   "), 3);
  str.Add(Text("abd   "), 4);
  EXPECT_EQ(str.Sorted({1}), (std::vector<int32_t>{3, 2, 1, 4}));
  int32_t tag = 0;
  EXPECT_TRUE(str.Finds(Text("ABC   "), {1}, &tag));
  EXPECT_EQ(tag, 3);
  EXPECT_TRUE(str.Finds(Text("ABC   "), {{1, KeyCase::kNoCase}}, &tag));
  EXPECT_EQ(tag, 1);  // "abc" and "ABC" are one value without regard to case; 1 came first
  EXPECT_EQ(str.Sorted({{1, KeyCase::kNoCase}}), (std::vector<int32_t>{2, 1, 3, 4}));

  // A CSTRING ends at its NUL, and "xyz" equals "xyz" followed by blanks.
  OneField cstr(TypeCode::kCString, 6);
  cstr.Add(Bytes({'x', 'y', 'z', 0, 'q', 'q'}), 1);
  cstr.Add(Bytes({'x', 'y', 'z', ' ', ' ', 0}), 2);
  cstr.Add(Bytes({'x', 'y', 0, 'z', 'z', 'z'}), 3);
  EXPECT_EQ(cstr.Sorted({1}), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_TRUE(cstr.Finds(Bytes({'x', 'y', 'z', 0, 0, 0}), {1}, &tag));
  EXPECT_EQ(tag, 1);

  // A PSTRING holds as many characters as its length byte says (at most its capacity less one).
  OneField pstr(TypeCode::kPString, 5);
  pstr.Add(Bytes({2, 'b', 'a', 'z', 'z'}), 1);    // "ba"
  pstr.Add(Bytes({255, 'b', 'a', 'a', 'a'}), 2);  // "baaa", the length cut to 4
  pstr.Add(Bytes({3, 'b', 'a', '!', 'z'}), 3);    // "ba!"
  EXPECT_EQ(pstr.Sorted({1}), (std::vector<int32_t>{1, 3, 2}));
}

// The current collation table and digraphs decide the order of texts.
class QueueCollation : public testing::Test {
 protected:
  void SetUp() override { saved_ = CurrentCharTables(); }
  void TearDown() override { CurrentCharTables() = saved_; }
  CharTables saved_;
};

TEST_F(QueueCollation, TextsFollowTheCollationTableAndDigraphs) {
  OneField str(TypeCode::kString, 3);
  str.Add(Text("ab "), 1);
  str.Add(Text("b  "), 2);
  str.Add(Text("\xE6"
               "b "),
          3);  // æ, which expands to "ae" once the digraph is loaded
  str.Add(Text("af "), 4);
  EXPECT_EQ(str.Sorted({1}), (std::vector<int32_t>{1, 4, 2, 3}));
  CharTables& tables = CurrentCharTables();
  std::swap(tables.collation['a'], tables.collation['b']);          // "b" before "a"
  EXPECT_EQ(str.Sorted({-1}), (std::vector<int32_t>{3, 4, 1, 2}));  // changed order: rebuilt
  std::swap(tables.collation['a'], tables.collation['b']);
  tables.digraphs[0] = Digraph{0xE6, 'a', 'e'};
  tables.digraph_count = 1;
  // The order for {1} was built under the old tables: using it again sorts it afresh, and a
  // search finds the expanded text.
  EXPECT_EQ(str.Sorted({1}), (std::vector<int32_t>{1, 3, 4, 2}));
  int32_t tag = 0;
  EXPECT_TRUE(str.Finds(Text("aeb"), {1}, &tag));
  EXPECT_EQ(tag, 3);
}

TEST(Queue, LongRowsRoundTripThroughCompression) {
  // The browse's rows: a long memo text and a position text, mostly blanks.
  constexpr uint32_t kSize = 6144;
  std::vector<uint8_t> buffer(kSize, ' ');
  Queue q(QueueDescriptor{buffer.data(),
                          kSize,
                          {{TypeCode::kString, 0, 60, 0},
                           {TypeCode::kString, 60, 5050, 0},
                           {TypeCode::kString, 5110, 1024, 0},
                           {TypeCode::kLong, 6134, 4, 0}}});
  std::vector<std::vector<uint8_t>> rows;
  for (int i = 0; i < 50; ++i) {
    std::vector<uint8_t> row(kSize, ' ');
    const std::string topic = "note " + std::to_string((i * 17) % 50);
    std::copy(topic.begin(), topic.end(), row.begin());
    for (int k = 0; k < i * 50; ++k) row[60 + k] = static_cast<uint8_t>('a' + (k * i) % 26);
    std::memcpy(row.data() + 6134, &i, 4);
    row[6143] = static_cast<uint8_t>(i);
    rows.push_back(row);
    buffer = row;
    QueueAdd(q);
  }
  QueueSort(q, {-1});
  for (int32_t i = 1; i <= 50; ++i) {
    QueueGet(q, i);
    int32_t id;
    std::memcpy(&id, buffer.data() + 6134, 4);
    ASSERT_EQ(buffer, rows[static_cast<size_t>(id)]);
  }
}

}  // namespace
}  // namespace pellucor::runtime::queue_test
