#include "runtime/queue/queue_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/queue/record_codec.h"
#include "runtime/values/calendar.h"

namespace pellucor::runtime::queue_detail {
namespace {

// The change counter starts from the time of day, so that a queue created again in the same
// place does not repeat the counter values a reader may still hold.
constexpr uint32_t kChangeSeedFactor = 25781083u;
// Stops for a stored record that no longer decodes: the table wrote it itself, so memory holding
// it was overwritten.
constexpr int32_t kStopRecordUnreadable = 4401;

uint16_t Bit(size_t slot) {
  return static_cast<uint16_t>(1u << slot);
}

}  // namespace

QueueTable::QueueTable(const QueueDescriptor& descriptor)
    : record_size_(descriptor.size),
      compressed_(descriptor.size >= kQueueCompressThreshold),
      changes_(static_cast<uint32_t>(CLOCK()) * kChangeSeedFactor) {
  if (compressed_) {
    scratch_a_.resize(record_size_);
    scratch_b_.resize(record_size_);
    scratch_old_.resize(record_size_);
  }
  ResetOrders();
}

void QueueTable::ResetOrders() noexcept {
  for (Order& order : slots_) {
    order.in_use = false;
    order.key = ResolvedKey{};
    std::vector<Record*>().swap(order.entries);
    order.dirty_count = 0;
  }
  // Order 1 of a new or freed table is the insertion order.
  slots_[0].in_use = true;
  mru_[0] = 0;
  order_count_ = 1;
}

const uint8_t* QueueTable::Image(const Record& record, std::vector<uint8_t>& scratch,
                                 size_t prefix) const {
  if (!compressed_) return record.stored.data();
  if (DecodeRecord(record.stored, scratch, prefix) < prefix) {
    InternalErrorStop(kStopRecordUnreadable, "queue record");
  }
  return scratch.data();
}

bool QueueTable::Less(const ResolvedKey& key, const Record* a, const Record* b) {
  const int c =
      CompareKeys(key, Image(*a, scratch_a_, key.prefix), Image(*b, scratch_b_, key.prefix));
  return c != 0 ? c < 0 : a->stamp < b->stamp;
}

size_t QueueTable::KeyIndex(Order& order, const uint8_t* image, uint64_t stamp) {
  const std::vector<Record*>& entries = order.entries;
  size_t lo = 0, hi = entries.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    const Record* entry = entries[mid];
    const int c = CompareKeys(order.key, Image(*entry, scratch_a_, order.key.prefix), image);
    if (c != 0 ? c < 0 : entry->stamp < stamp) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

size_t QueueTable::IndexOf(Order& order, const Record* record) {
  std::vector<Record*>& entries = Entries(order);
  if (&order == &Current() && current_hint_ < entries.size() && entries[current_hint_] == record) {
    return current_hint_;
  }
  return static_cast<size_t>(std::find(entries.begin(), entries.end(), record) - entries.begin());
}

std::vector<uint8_t> QueueTable::Store(const uint8_t* buffer) const {
  const std::span<const uint8_t> record(buffer, record_size_);
  if (!compressed_) return std::vector<uint8_t>(record.begin(), record.end());
  std::vector<uint8_t> stored;
  stored.reserve(record_size_ / 8 + 16);
  EncodeRecord(record, &stored);
  stored.shrink_to_fit();
  return stored;
}

void QueueTable::Load(const Record& record, uint8_t* buffer) const {
  if (!compressed_) {
    std::memcpy(buffer, record.stored.data(), record_size_);
    return;
  }
  if (DecodeRecord(record.stored, std::span<uint8_t>(buffer, record_size_)) != record_size_) {
    InternalErrorStop(kStopRecordUnreadable, "queue record");
  }
}

void QueueTable::MoveToFront(uint8_t slot) {
  auto end = mru_.begin() + static_cast<std::ptrdiff_t>(order_count_);
  auto it = std::find(mru_.begin(), end, slot);
  std::rotate(mru_.begin(), it, it + 1);
}

bool QueueTable::BringUpToDate(Order& order) {
  if (!order.key.keyed()) return false;
  const uint16_t bit = Bit(static_cast<size_t>(&order - slots_.data()));
  if (Stale(order)) {
    // Sorted under other character tables: every entry may stand in the wrong place.
    std::vector<Record*> sorted = order.entries;
    std::sort(sorted.begin(), sorted.end(),
              [&](const Record* a, const Record* b) { return Less(order.key, a, b); });
    if (order.dirty_count > 0) {
      for (Record* record : sorted) record->dirty = static_cast<uint16_t>(record->dirty & ~bit);
    }
    order.entries.swap(sorted);
    order.dirty_count = 0;
    order.collation = CollationPrint();
    return true;
  }
  if (order.dirty_count == 0) return false;
  std::vector<Record*> clean, moved, merged;
  clean.reserve(order.entries.size() - order.dirty_count);
  moved.reserve(order.dirty_count);
  merged.reserve(order.entries.size());
  for (Record* record : order.entries) (record->dirty & bit ? moved : clean).push_back(record);
  auto less = [&](const Record* a, const Record* b) { return Less(order.key, a, b); };
  std::sort(moved.begin(), moved.end(), less);
  std::merge(clean.begin(), clean.end(), moved.begin(), moved.end(), std::back_inserter(merged),
             less);
  // Nothing below allocates.
  for (Record* record : moved) record->dirty = static_cast<uint16_t>(record->dirty & ~bit);
  order.entries.swap(merged);
  order.dirty_count = 0;
  return true;
}

int32_t QueueTable::SelectOrder(const QueueDescriptor& d, const QueueKey& key, bool* switched) {
  *switched = false;
  ResolvedKey resolved;
  if (!ResolveKey(d, key.components(), &resolved)) return err::kInvalidFieldType;
  // The current order's key is the one last asked for: asking again needs no search.
  if (Current().key.components == resolved.components) return 0;
  *switched = true;
  for (size_t i = 1; i < order_count_; ++i) {
    if (slots_[mru_[i]].key.components == resolved.components) {
      MoveToFront(mru_[i]);
      return 0;
    }
  }
  std::vector<Record*> entries;
  if (resolved.keyed()) {
    entries = sequence_;
    std::sort(entries.begin(), entries.end(),
              [&](const Record* a, const Record* b) { return Less(resolved, a, b); });
  }
  // Nothing below allocates.
  uint8_t slot;
  if (order_count_ < kMaxQueueOrders) {
    slot = 0;
    while (slots_[slot].in_use) ++slot;
    mru_[order_count_++] = slot;
  } else {
    // The least recently used order gives way; never the current one.
    size_t victim = order_count_ - 1;
    if (mru_[victim] == mru_[0]) --victim;
    slot = mru_[victim];
    if (slots_[slot].dirty_count > 0) {
      for (Record* record : sequence_)
        record->dirty = static_cast<uint16_t>(record->dirty & ~Bit(slot));
    }
  }
  Order& order = slots_[slot];
  order.in_use = true;
  order.key = std::move(resolved);
  order.entries = std::move(entries);
  order.dirty_count = 0;
  order.collation = CollationPrint();
  MoveToFront(slot);
  return 0;
}

int32_t QueueTable::Get(const QueueDescriptor& d, int32_t position) {
  std::vector<Record*>& entries = Entries(Current());
  if (position < 1 || static_cast<size_t>(position) > entries.size()) return err::kEntryNotFound;
  Record* record = entries[static_cast<size_t>(position) - 1];
  Load(*record, d.buffer);
  current_ = record;
  current_hint_ = static_cast<size_t>(position) - 1;
  return 0;
}

int32_t QueueTable::GetByKey(const QueueDescriptor& d, const QueueKey& key) {
  bool switched = false;
  const int32_t rc = SelectOrder(d, key, &switched);
  if (rc != 0) return rc;
  Order& order = Current();
  if (BringUpToDate(order) || switched) ++changes_;
  std::vector<Record*>& entries = Entries(order);
  size_t found = entries.size();
  if (!order.key.keyed()) {
    // No key fields: the entry must equal the buffer as a whole.
    for (size_t i = 0; i < entries.size() && found == entries.size(); ++i) {
      if (std::memcmp(Image(*entries[i], scratch_a_, record_size_), d.buffer, record_size_) == 0) {
        found = i;
      }
    }
  } else {
    size_t lo = 0, hi = entries.size();
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if (CompareKeys(order.key, Image(*entries[mid], scratch_a_, order.key.prefix), d.buffer) <
          0) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (lo < entries.size() &&
        CompareKeys(order.key, Image(*entries[lo], scratch_a_, order.key.prefix), d.buffer) == 0) {
      found = lo;
    }
  }
  if (found == entries.size()) return err::kEntryNotFound;
  Load(*entries[found], d.buffer);
  current_ = entries[found];
  current_hint_ = found;
  return 0;
}

int32_t QueueTable::AddEntry(const QueueDescriptor& d, size_t at_index, bool at_position) {
  Order& current = Current();
  const size_t current_slot = mru_[0];
  // A keyed insertion needs a sorted order to search; a positional one takes the order as it
  // stands.
  if (!at_position) BringUpToDate(current);
  auto record = std::make_unique<Record>();
  record->stored = Store(d.buffer);
  record->stamp = next_stamp_;
  const size_t n = sequence_.size();
  at_index = std::min(at_index, n);
  owned_.reserve(n + 1);
  sequence_.reserve(n + 1);
  std::array<size_t, kMaxQueueOrders> index{};
  const uint64_t print = CollationPrint();
  for (size_t i = 0; i < order_count_; ++i) {
    const uint8_t slot = mru_[i];
    Order& order = slots_[slot];
    if (!order.key.keyed()) continue;
    order.entries.reserve(n + 1);
    if (slot == current_slot && at_position) {
      index[slot] = at_index;
    } else if (order.dirty_count == 0 && !Stale(order, print)) {
      index[slot] = KeyIndex(order, d.buffer, record->stamp);
    } else {
      index[slot] = n;  // placed when the order is next used
    }
  }
  // Nothing below allocates.
  ++next_stamp_;
  Record* added = record.get();
  added->owner_index = owned_.size();
  owned_.push_back(std::move(record));
  if (!current.key.keyed() && at_position) {
    sequence_.insert(sequence_.begin() + static_cast<std::ptrdiff_t>(at_index), added);
  } else {
    sequence_.push_back(added);
  }
  for (size_t i = 0; i < order_count_; ++i) {
    const uint8_t slot = mru_[i];
    Order& order = slots_[slot];
    if (!order.key.keyed()) continue;
    const size_t at = index[slot];
    order.entries.insert(order.entries.begin() + static_cast<std::ptrdiff_t>(at), added);
    bool in_place = order.dirty_count == 0 && !Stale(order, print);
    if (in_place && slot == current_slot && at_position) {
      const std::vector<Record*>& e = order.entries;
      in_place = (at == 0 || Less(order.key, e[at - 1], added)) &&
                 (at + 1 == e.size() || Less(order.key, added, e[at + 1]));
    }
    if (!in_place) {
      added->dirty = static_cast<uint16_t>(added->dirty | Bit(slot));
      ++order.dirty_count;
    }
  }
  current_ = added;
  current_hint_ = current.key.keyed() ? index[current_slot] : (at_position ? at_index : n);
  ++changes_;
  return 0;
}

int32_t QueueTable::Add(const QueueDescriptor& d) {
  return AddEntry(d, 0, false);
}

int32_t QueueTable::AddByKey(const QueueDescriptor& d, const QueueKey& key) {
  bool switched = false;
  const int32_t rc = SelectOrder(d, key, &switched);
  return rc != 0 ? rc : AddEntry(d, 0, false);
}

int32_t QueueTable::AddAt(const QueueDescriptor& d, int32_t position) {
  if (position < 1) return err::kEntryNotFound;
  return AddEntry(d, static_cast<size_t>(position) - 1, true);
}

int32_t QueueTable::Put(const QueueDescriptor& d) {
  if (current_ == nullptr) return err::kEntryNotFound;
  Order& current = Current();
  const size_t current_slot = mru_[0];
  BringUpToDate(current);
  Record* record = current_;
  std::vector<uint8_t> stored = Store(d.buffer);
  const uint8_t* old_image = Image(*record, scratch_old_, record_size_);
  std::array<bool, kMaxQueueOrders> changed{};
  for (size_t i = 0; i < order_count_; ++i) {
    const Order& order = slots_[mru_[i]];
    changed[mru_[i]] = order.key.keyed() && CompareKeys(order.key, old_image, d.buffer) != 0;
  }
  // Nothing below allocates.
  record->stored.swap(stored);
  for (size_t i = 1; i < order_count_; ++i) {
    const uint8_t slot = mru_[i];
    if (changed[slot] && !(record->dirty & Bit(slot))) {
      record->dirty = static_cast<uint16_t>(record->dirty | Bit(slot));
      ++slots_[slot].dirty_count;
    }
  }
  if (changed[current_slot]) {
    // The current order moves the entry to its new key position at once.
    std::vector<Record*>& entries = current.entries;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(IndexOf(current, record)));
    const size_t at = KeyIndex(current, d.buffer, record->stamp);
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), record);
    current_hint_ = at;
  }
  ++changes_;
  return 0;
}

int32_t QueueTable::PutByKey(const QueueDescriptor& d, const QueueKey& key) {
  if (current_ == nullptr) return err::kEntryNotFound;
  bool switched = false;
  const int32_t rc = SelectOrder(d, key, &switched);
  return rc != 0 ? rc : Put(d);
}

int32_t QueueTable::Delete() {
  if (current_ == nullptr) return err::kEntryNotFound;
  Record* record = current_;
  for (size_t i = 0; i < order_count_; ++i) {
    const uint8_t slot = mru_[i];
    Order& order = slots_[slot];
    if (!order.key.keyed()) continue;
    order.entries.erase(order.entries.begin() +
                        static_cast<std::ptrdiff_t>(IndexOf(order, record)));
    if (record->dirty & Bit(slot)) --order.dirty_count;
  }
  sequence_.erase(std::find(sequence_.begin(), sequence_.end(), record));
  const size_t owner = record->owner_index;
  if (owner + 1 != owned_.size()) {
    std::swap(owned_[owner], owned_.back());
    owned_[owner]->owner_index = owner;
  }
  owned_.pop_back();
  current_ = nullptr;
  ++changes_;
  return 0;
}

int32_t QueueTable::Sort(const QueueDescriptor& d, const QueueKey& key) {
  bool switched = false;
  const int32_t rc = SelectOrder(d, key, &switched);
  if (rc != 0) return rc;
  BringUpToDate(Current());
  ++changes_;
  return 0;
}

void QueueTable::Free() noexcept {
  current_ = nullptr;
  ResetOrders();
  std::vector<Record*>().swap(sequence_);
  std::vector<std::unique_ptr<Record>>().swap(owned_);
  ++changes_;
}

std::vector<std::vector<QueueKeyComponent>> QueueTable::OrderKeys() const {
  std::vector<std::vector<QueueKeyComponent>> keys;
  for (size_t i = 0; i < order_count_; ++i) keys.push_back(slots_[mru_[i]].key.components);
  return keys;
}

int32_t QueueTable::Pointer() {
  if (current_ == nullptr) return 0;
  const size_t index = IndexOf(Current(), current_);
  current_hint_ = index;
  return static_cast<int32_t>(index + 1);
}

}  // namespace pellucor::runtime::queue_detail
