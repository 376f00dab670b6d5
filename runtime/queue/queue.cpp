#include "runtime/queue/queue.h"

#include <new>

#include "runtime/core/error_state.h"
#include "runtime/queue/queue_inspect.h"
#include "runtime/queue/queue_table.h"

namespace pellucor::runtime {

using queue_detail::QueueTable;

Queue::Queue() = default;
Queue::Queue(QueueDescriptor descriptor) : descriptor_(std::move(descriptor)) {}
Queue::~Queue() = default;
Queue::Queue(Queue&&) noexcept = default;
Queue& Queue::operator=(Queue&&) noexcept = default;

struct QueueAccess {
  // Runs one queue operation: clears the error state, checks the descriptor, creates the table
  // on first use, and turns a failed allocation into error 8 (the table is left as it was).
  template <typename Operation, typename Result>
  static Result Run(Queue& queue, Result fallback, Operation&& operation) {
    ClearError();
    const QueueDescriptor* d = queue.descriptor();
    if (d == nullptr || d->buffer == nullptr || d->size == 0) {
      PostErrorWithSystem(err::kMemoryCorrupted, 0);
      return fallback;
    }
    try {
      if (!queue.table_) queue.table_ = std::make_unique<QueueTable>(*d);
      return operation(*queue.table_, *d);
    } catch (const std::bad_alloc&) {
      PostErrorWithSystem(err::kInsufficientMemory, 0);
      return fallback;
    }
  }

  static const QueueTable* Table(const Queue& queue) { return queue.table_.get(); }

  template <typename Operation>
  static void RunCoded(Queue& queue, Operation&& operation) {
    const int32_t rc = Run(queue, int32_t{0}, operation);
    if (rc != 0) PostErrorWithSystem(rc, 0);
  }
};

int32_t QueueRecords(Queue& queue) {
  return QueueAccess::Run(queue, int32_t{0},
                          [](QueueTable& t, const QueueDescriptor&) { return t.Records(); });
}

void QueueGet(Queue& queue, int32_t position) {
  QueueAccess::RunCoded(
      queue, [&](QueueTable& t, const QueueDescriptor& d) { return t.Get(d, position); });
}

void QueueGetByKey(Queue& queue, const QueueKey& key) {
  QueueAccess::RunCoded(
      queue, [&](QueueTable& t, const QueueDescriptor& d) { return t.GetByKey(d, key); });
}

void QueueAdd(Queue& queue) {
  QueueAccess::RunCoded(queue, [](QueueTable& t, const QueueDescriptor& d) { return t.Add(d); });
}

void QueueAddByKey(Queue& queue, const QueueKey& key) {
  QueueAccess::RunCoded(
      queue, [&](QueueTable& t, const QueueDescriptor& d) { return t.AddByKey(d, key); });
}

void QueueAddAt(Queue& queue, int32_t position) {
  QueueAccess::RunCoded(
      queue, [&](QueueTable& t, const QueueDescriptor& d) { return t.AddAt(d, position); });
}

void QueuePut(Queue& queue) {
  QueueAccess::RunCoded(queue, [](QueueTable& t, const QueueDescriptor& d) { return t.Put(d); });
}

void QueuePutByKey(Queue& queue, const QueueKey& key) {
  QueueAccess::RunCoded(
      queue, [&](QueueTable& t, const QueueDescriptor& d) { return t.PutByKey(d, key); });
}

void QueueDelete(Queue& queue) {
  QueueAccess::RunCoded(queue, [](QueueTable& t, const QueueDescriptor&) { return t.Delete(); });
}

void QueueSort(Queue& queue, const QueueKey& key) {
  QueueAccess::RunCoded(queue,
                        [&](QueueTable& t, const QueueDescriptor& d) { return t.Sort(d, key); });
}

int32_t QueuePointer(Queue& queue) {
  return QueueAccess::Run(queue, int32_t{0},
                          [](QueueTable& t, const QueueDescriptor&) { return t.Pointer(); });
}

uint32_t QueueChanges(Queue& queue) {
  return QueueAccess::Run(queue, uint32_t{0},
                          [](QueueTable& t, const QueueDescriptor&) { return t.Changes(); });
}

void QueueFree(Queue& queue) {
  QueueAccess::RunCoded(queue, [](QueueTable& t, const QueueDescriptor&) {
    t.Free();
    return int32_t{0};
  });
}

std::vector<std::vector<QueueKeyComponent>> QueueOrderKeys(const Queue& queue) {
  const QueueTable* table = QueueAccess::Table(queue);
  return table ? table->OrderKeys() : std::vector<std::vector<QueueKeyComponent>>{};
}

}  // namespace pellucor::runtime
