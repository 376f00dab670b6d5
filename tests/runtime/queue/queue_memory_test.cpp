// Allocation failures inside queue operations. This binary replaces the global operator new so
// that the k-th allocation after arming fails; each operation is run with k = 0, 1, 2, ... until
// it succeeds, and every failed run must report error 8 and leave the records as they were.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>

#include "row_layout.h"
#include "runtime/core/error_state.h"
#include "runtime/queue/queue.h"

namespace {
// Allocations still to succeed before one fails; below 0 none fails. One failure disarms it.
thread_local long allocations_before_failure = -1;
// The countdown an operation arms right before its queue call (its own set-up allocates).
thread_local long armed_countdown = -1;
void Arm() {
  allocations_before_failure = armed_countdown;
}

void* Allocate(std::size_t size) {
  if (allocations_before_failure == 0) {
    allocations_before_failure = -1;
    throw std::bad_alloc();
  }
  if (allocations_before_failure > 0) --allocations_before_failure;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace pellucor::runtime::queue_test {
namespace {

using Key = std::vector<QueueKeyComponent>;

struct Fixture {
  explicit Fixture(RowWidth w) : width(w), queue(RowDescriptor(&buffer, w)) {
    for (int i = 0; i < 12; ++i) Add(i, i % 3, i % 2 ? "pear" : "fig");
    QueueSort(queue, {kName});
    QueueSort(queue, {-kId});
    QueueGet(queue, 3);
    Set(99, 1, "apple");
    QueuePut(queue);  // the name order has a record to re-insert
    QueueSort(queue, {kCount});
    Set(50, 0, "kiwi");
    QueueAddAt(queue, 2);  // the current order has an entry out of place
    QueueGet(queue, 1);
    EXPECT_EQ(ErrorCode(), 0);
  }
  void Set(int32_t id, int16_t count, const std::string& name) {
    Row row;
    row.id = id;
    row.count = count;
    row.name = name;
    row.day = DayNumber(2020, 1 + id % 12, 1 + id % 27);
    row.note = name + " note";
    WriteRow(row, buffer.data(), width);
  }
  void Add(int32_t id, int16_t count, const std::string& name) {
    Set(id, count, name);
    QueueAdd(queue);
  }
  // Every order's contents, each sorted afresh.
  std::vector<std::vector<uint8_t>> Snapshot() {
    std::vector<std::vector<uint8_t>> rows;
    for (const Key& key : std::vector<Key>{{}, {{kName}}, {{-kId}}, {{kCount}}, {{kDate}}}) {
      QueueSort(queue, QueueKey(key));
      for (int32_t i = 1; i <= QueueRecords(queue); ++i) {
        QueueGet(queue, i);
        rows.push_back(buffer);
      }
    }
    return rows;
  }
  std::vector<uint8_t> buffer;
  RowWidth width;
  Queue queue;
};

using Operation = std::function<void(Fixture&)>;

void ExpectAllOrNothing(RowWidth width, const char* name, const Operation& operation) {
  SCOPED_TRACE(name);
  const auto before = Fixture(width).Snapshot();
  Fixture reference(width);
  operation(reference);  // not armed: runs without failures
  ASSERT_EQ(ErrorCode(), 0);
  const auto after = reference.Snapshot();
  int failures = 0;
  for (long k = 0; k < 100000; ++k) {
    Fixture f(width);
    armed_countdown = k;
    operation(f);
    armed_countdown = -1;
    const bool failed = allocations_before_failure == -1 && ErrorCode() != 0;
    allocations_before_failure = -1;
    if (!failed) {
      ASSERT_EQ(ErrorCode(), 0);
      EXPECT_EQ(f.Snapshot(), after);
      break;
    }
    ++failures;
    ASSERT_EQ(ErrorCode(), err::kInsufficientMemory) << "allocation " << k;
    ASSERT_EQ(f.Snapshot(), before) << "allocation " << k;
  }
  EXPECT_GT(failures, 0);
}

TEST(QueueMemory, FailedAllocationsLeaveTheTableAsItWas) {
  for (RowWidth width : {RowWidth::kNarrow, RowWidth::kWide}) {
    ExpectAllOrNothing(width, "add", [](Fixture& f) {
      f.Set(7, 2, "plum");
      Arm();
      QueueAdd(f.queue);
    });
    ExpectAllOrNothing(width, "add at", [](Fixture& f) {
      f.Set(8, 2, "plum");
      Arm();
      QueueAddAt(f.queue, 3);
    });
    ExpectAllOrNothing(width, "add by a new key", [](Fixture& f) {
      f.Set(9, 1, "date");
      const QueueKey key{-kDate};
      Arm();
      QueueAddByKey(f.queue, key);
    });
    ExpectAllOrNothing(width, "put", [](Fixture& f) {
      f.Set(31, 2, "quince");
      Arm();
      QueuePut(f.queue);
    });
    ExpectAllOrNothing(width, "put by key", [](Fixture& f) {
      f.Set(32, 0, "lime");
      const QueueKey key{kName};
      Arm();
      QueuePutByKey(f.queue, key);
    });
    ExpectAllOrNothing(width, "sort by a new key", [](Fixture& f) {
      const QueueKey key{kAmount, -kName};
      Arm();
      QueueSort(f.queue, key);
    });
    ExpectAllOrNothing(width, "sort an order with entries to re-insert", [](Fixture& f) {
      const QueueKey key{kName};
      Arm();
      QueueSort(f.queue, key);
    });
  }
}

TEST(QueueMemory, FailureToCreateTheTableIsReportedAndRecoverable) {
  std::vector<uint8_t> buffer;
  Queue queue(RowDescriptor(&buffer, RowWidth::kWide));
  allocations_before_failure = 0;
  QueueAdd(queue);
  allocations_before_failure = -1;
  EXPECT_EQ(ErrorCode(), err::kInsufficientMemory);
  EXPECT_EQ(ErrorText().substr(0, 19), "Insufficient Memory");
  EXPECT_EQ(QueueRecords(queue), 0);
  QueueAdd(queue);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(QueueRecords(queue), 1);
}

}  // namespace
}  // namespace pellucor::runtime::queue_test
