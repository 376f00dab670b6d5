// The table behind a queue: the stored records, in insertion sequence, and up to 16 orders over
// them, most recently used first.
//
// Invariants:
// - `sequence_` holds every record once, in insertion sequence; it is the insertion order, so an
//   insertion order that was evicted comes back unchanged.
// - Every keyed order holds every record once. A keyed order whose `dirty_count` is 0 is sorted
//   by (key, stamp); otherwise exactly `dirty_count` of its records carry its slot's bit in
//   `Record::dirty` and may stand anywhere, while the others are sorted among themselves.
//   Stamps are unique, so a sorted order is one definite arrangement, and an order rebuilt after
//   eviction is the same as the one evicted.
// - The current order is always the front of the most-recently-used sequence; it is brought up
//   to date before every keyed operation on it.
// - Every operation either completes or, when an allocation fails (std::bad_alloc, which the
//   caller turns into error 8), leaves every record and every entry where it was: each step
//   allocates all it needs before its first change. Only steps that are complete in themselves
//   (selecting an order, bringing an order up to date) may have happened before the failure.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/queue/key_compare.h"
#include "runtime/queue/queue.h"

namespace pellucor::runtime::queue_detail {

struct Record {
  uint64_t stamp = 0;           // creation sequence; breaks ties between equal keys
  uint16_t dirty = 0;           // bit s: the order in slot s has still to re-insert this record
  size_t owner_index = 0;       // index in QueueTable::owned_
  std::vector<uint8_t> stored;  // the record, compressed when the table compresses
};

struct Order {
  bool in_use = false;
  ResolvedKey key;               // not keyed: the insertion order (entries live in sequence_)
  std::vector<Record*> entries;  // keyed orders only
  uint32_t dirty_count = 0;
  uint64_t collation = 0;  // CollationPrint() when a text order was last sorted
};

class QueueTable {
 public:
  // REQUIRES: descriptor.size > 0. May throw std::bad_alloc.
  explicit QueueTable(const QueueDescriptor& descriptor);

  // Each returns an error code (0, 30 or 75) and may throw std::bad_alloc with nothing changed.
  int32_t Get(const QueueDescriptor& d, int32_t position);
  int32_t GetByKey(const QueueDescriptor& d, const QueueKey& key);
  int32_t Add(const QueueDescriptor& d);
  int32_t AddByKey(const QueueDescriptor& d, const QueueKey& key);
  int32_t AddAt(const QueueDescriptor& d, int32_t position);
  int32_t Put(const QueueDescriptor& d);
  int32_t PutByKey(const QueueDescriptor& d, const QueueKey& key);
  int32_t Delete();
  int32_t Sort(const QueueDescriptor& d, const QueueKey& key);
  void Free() noexcept;

  int32_t Records() const { return static_cast<int32_t>(sequence_.size()); }
  int32_t Pointer();
  uint32_t Changes() const { return changes_; }

  // The key components of the orders held, most recently used first.
  std::vector<std::vector<QueueKeyComponent>> OrderKeys() const;

 private:
  // Selects the order for `key` as the current one, building it when no order has that key.
  // Returns 0 or 75.
  int32_t SelectOrder(const QueueDescriptor& d, const QueueKey& key, bool* switched);
  // Re-inserts the records an order has still to place.
  bool BringUpToDate(Order& order);  // true when it moved anything
  // A text order sorted under character tables that have changed since (the locale reloaded).
  static bool Stale(const Order& order, uint64_t print) {
    return order.key.has_text && order.collation != print;
  }
  static bool Stale(const Order& order) {
    return order.key.has_text && Stale(order, CollationPrint());
  }
  int32_t AddEntry(const QueueDescriptor& d, size_t at_index, bool at_position);
  void MoveToFront(uint8_t slot);

  Order& Current() { return slots_[mru_[0]]; }
  std::vector<Record*>& Entries(Order& order) {
    return order.key.keyed() ? order.entries : sequence_;
  }
  // The first `prefix` bytes of a record as stored uncompressed, decoded into `scratch` when the
  // table compresses.
  const uint8_t* Image(const Record& record, std::vector<uint8_t>& scratch, size_t prefix) const;
  // Strict order of two records by a key, ties broken by stamp.
  bool Less(const ResolvedKey& key, const Record* a, const Record* b);
  // The index at which a record with this image and stamp belongs in a sorted order.
  size_t KeyIndex(Order& order, const uint8_t* image, uint64_t stamp);
  size_t IndexOf(Order& order, const Record* record);
  std::vector<uint8_t> Store(const uint8_t* buffer) const;
  void Load(const Record& record, uint8_t* buffer) const;
  void ResetOrders() noexcept;

  uint32_t record_size_;
  bool compressed_;
  std::vector<std::unique_ptr<Record>> owned_;
  std::vector<Record*> sequence_;
  std::array<Order, kMaxQueueOrders> slots_;
  std::array<uint8_t, kMaxQueueOrders> mru_{};  // slot numbers, most recently used first
  size_t order_count_ = 0;
  Record* current_ = nullptr;  // the entry last read or written, or none
  size_t current_hint_ = 0;    // its index in the current order when that is still right
  uint64_t next_stamp_ = 1;
  uint32_t changes_;
  // Decoding room for comparisons of compressed records (allocated once, so that comparing
  // never allocates).
  std::vector<uint8_t> scratch_a_, scratch_b_, scratch_old_;
};

}  // namespace pellucor::runtime::queue_detail
