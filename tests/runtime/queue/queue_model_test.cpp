// Queues against a plain model: a vector of records in insertion sequence, the current order as
// a vector that is sorted from scratch whenever the queue has to be sorted, and the list of
// orders held, most recently used first. Random operations run on both; every answer, every
// record read and the list of orders must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>

#include "row_layout.h"
#include "runtime/core/error_state.h"
#include "runtime/queue/queue.h"
#include "runtime/queue/queue_inspect.h"

namespace pellucor::runtime::queue_test {
namespace {

using Key = std::vector<QueueKeyComponent>;

std::string Padded(std::string text, size_t size, bool fold) {
  text.resize(std::min(text.size(), size));
  text.resize(size, ' ');
  if (fold) {
    for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return text;
}

template <typename T>
int Three(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareRowField(const Row& a, const Row& b, int field, bool fold) {
  switch (field) {
    case kId:
      return Three(a.id, b.id);
    case kName:
      return Three(Padded(a.name, 12, fold), Padded(b.name, 12, fold));
    case kCount:
      return Three(a.count, b.count);
    case kReal:
      return Three(a.real, b.real);
    case kAmount:
      return Three(a.cents, b.cents);
    case kDate:
      return Three(a.day, b.day);
    case kCName:
      return Three(Padded(a.cname, 9, fold), Padded(b.cname, 9, fold));
    case kPName:
      return Three(Padded(a.pname, 9, fold), Padded(b.pname, 9, fold));
    default:
      return Three(Padded(a.note, 200, fold), Padded(b.note, 200, fold));
  }
}

int CompareRows(const Key& key, const Row& a, const Row& b) {
  for (const QueueKeyComponent& c : key) {
    const int r = CompareRowField(a, b, std::abs(c.field), c.text_case == KeyCase::kNoCase);
    if (r != 0) return c.field < 0 ? -r : r;
  }
  return 0;
}

class Model {
 public:
  explicit Model(RowWidth width) : fields_(width == RowWidth::kWide ? 9 : 8) {}

  // The components that count, or nothing when one names a field the record lacks.
  std::optional<Key> Counted(const Key& key) const {
    Key counted;
    for (const auto& c : key) {
      if (c.field == 0 || counted.size() == kMaxQueueKeyComponents) break;
      if (std::abs(c.field) > fields_) return std::nullopt;
      counted.push_back(c);
    }
    return counted;
  }

  void Select(const Key& key) {
    if (key == key_) return;
    key_ = key;
    auto it = std::find(mru_.begin(), mru_.end(), key);
    if (it != mru_.end()) {
      mru_.erase(it);
    } else if (mru_.size() == kMaxQueueOrders) {
      mru_.pop_back();
    }
    mru_.insert(mru_.begin(), key);
    arranged_ = sequence_;
    Sort();
  }

  void Sort() {
    if (key_.empty()) return;
    std::sort(arranged_.begin(), arranged_.end(), [&](uint64_t a, uint64_t b) {
      const int c = CompareRows(key_, rows_.at(a).row, rows_.at(b).row);
      return c != 0 ? c < 0 : a < b;
    });
  }

  std::vector<uint64_t>& Arrangement() { return key_.empty() ? sequence_ : arranged_; }

  void Add(const Row& row, const std::vector<uint8_t>& bytes, std::optional<size_t> at) {
    const uint64_t stamp = next_stamp_++;
    rows_[stamp] = {row, bytes};
    const size_t n = sequence_.size();
    if (key_.empty()) {
      sequence_.insert(sequence_.begin() + static_cast<std::ptrdiff_t>(std::min(at.value_or(n), n)),
                       stamp);
    } else {
      sequence_.push_back(stamp);
      if (at) {
        arranged_.insert(arranged_.begin() + static_cast<std::ptrdiff_t>(std::min(*at, n)), stamp);
      } else {
        arranged_.push_back(stamp);
        Sort();
      }
    }
    current_ = stamp;
  }

  void Put(const Row& row, const std::vector<uint8_t>& bytes) {
    rows_[*current_] = {row, bytes};
    Sort();
  }

  void Delete() {
    std::erase(sequence_, *current_);
    std::erase(arranged_, *current_);
    rows_.erase(*current_);
    current_.reset();
  }

  void Free() {
    rows_.clear();
    sequence_.clear();
    arranged_.clear();
    key_.clear();
    mru_ = {Key{}};
    current_.reset();
  }

  int32_t Pointer() {
    if (!current_) return 0;
    auto& a = Arrangement();
    return static_cast<int32_t>(std::find(a.begin(), a.end(), *current_) - a.begin() + 1);
  }

  struct Stored {
    Row row;
    std::vector<uint8_t> bytes;
  };
  std::map<uint64_t, Stored> rows_;
  std::vector<uint64_t> sequence_, arranged_;
  Key key_;
  std::vector<Key> mru_ = {Key{}};
  std::optional<uint64_t> current_;

 private:
  int fields_;
  uint64_t next_stamp_ = 1;
};

const std::vector<std::string> kNames = {"apple",  "Apple", "APPLE",     "banana", "Banana",
                                         "cherry", "",      "apple pie", "b",      "B b"};

Row RandomRow(std::mt19937& rng) {
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  Row row;
  row.id = static_cast<int32_t>(rng() % 40) - 10;
  row.name = pick(kNames);
  row.count = static_cast<int16_t>(static_cast<int>(rng() % 11) - 5);
  static const double reals[] = {-1.5, 0.0, 2.25, 1e10, -3.0, 0.1};
  row.real = reals[rng() % 6];
  row.cents = rng() % 4 == 0 ? 0 : static_cast<int64_t>(rng() % 200001) - 100000;
  row.day = rng() % 5 == 0
                ? 0
                : DayNumber(1990 + static_cast<int>(rng() % 40), 1 + rng() % 12, 1 + rng() % 28);
  row.cname = pick(kNames).substr(0, 9);
  row.pname = pick(kNames).substr(0, 9);
  row.note = rng() % 3 == 0 ? "" : pick(kNames) + std::string(rng() % 150, ' ') + pick(kNames);
  return row;
}

std::vector<Key> KeyPool(RowWidth width) {
  const auto nc = KeyCase::kNoCase;
  std::vector<Key> pool = {{},
                           {{kId}},
                           {{-kId}},
                           {{kName}},
                           {{kName, nc}},
                           {{-kName, nc}},
                           {{kName}, {kId}},
                           {{kCount}, {-kReal}},
                           {{-kCount}, {kName}},
                           {{kAmount}},
                           {{-kAmount}, {kId}},
                           {{kDate}},
                           {{-kDate}, {kCName}},
                           {{kCName}, {kPName}},
                           {{kPName, nc}},
                           {{kReal}},
                           {{kCount}, {kAmount}, {-kDate}},
                           {{kDate}, {kName, nc}},
                           {{kName}, {0}, {kId}},
                           {{-kReal}, {kCName, nc}},
                           {{kId}, {12}},
                           {{-10}}};
  if (width == RowWidth::kWide) {
    pool.push_back({{kNote}});
    pool.push_back({{-kNote, nc}, {kId}});
  }
  return pool;
}

void RunDifferential(RowWidth width, uint32_t seed, int steps) {
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  std::vector<uint8_t> buffer;
  Queue queue(RowDescriptor(&buffer, width));
  Model model(width);
  const std::vector<Key> pool = KeyPool(width);
  uint32_t changes = QueueChanges(queue);

  for (int step = 0; step < steps; ++step) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    const Key key = pool[rng() % pool.size()];
    const std::optional<Key> counted = model.Counted(key);
    const QueueKey qkey(key);
    int32_t expected = 0;
    enum class Change { kMust, kMustNot, kMay } change = Change::kMust;
    std::optional<std::vector<uint8_t>> expect_buffer;
    const unsigned op = rng() % 100;
    Row row = RandomRow(rng);
    std::vector<uint8_t> bytes(buffer.size());
    WriteRow(row, bytes.data(), width);

    if (op < 20) {  // add
      buffer = bytes;
      QueueAdd(queue);
      model.Add(row, bytes, std::nullopt);
    } else if (op < 28) {  // add by key
      buffer = bytes;
      QueueAddByKey(queue, qkey);
      if (!counted) {
        expected = err::kInvalidFieldType;
      } else {
        model.Select(*counted);
        model.Add(row, bytes, std::nullopt);
      }
    } else if (op < 36) {  // add at a position, sometimes past the end or before the start
      const int32_t position = static_cast<int32_t>(rng() % (model.sequence_.size() + 3)) - 1;
      buffer = bytes;
      QueueAddAt(queue, position);
      if (position < 1) {
        expected = err::kEntryNotFound;
      } else {
        model.Add(row, bytes, static_cast<size_t>(position - 1));
      }
    } else if (op < 51) {  // get by position
      const int32_t position = static_cast<int32_t>(rng() % (model.sequence_.size() + 2));
      QueueGet(queue, position);
      change = Change::kMustNot;
      if (position < 1 || static_cast<size_t>(position) > model.sequence_.size()) {
        expected = err::kEntryNotFound;
      } else {
        model.current_ = model.Arrangement()[static_cast<size_t>(position) - 1];
        expect_buffer = model.rows_.at(*model.current_).bytes;
      }
    } else if (op < 63) {  // get by key: usually the key of a stored record
      if (!model.rows_.empty() && rng() % 4 != 0) {
        auto it = model.rows_.begin();
        std::advance(it, static_cast<std::ptrdiff_t>(rng() % model.rows_.size()));
        Row probe = it->second.row;
        probe.count = row.count;  // fields outside the key do not matter
        probe.real = row.real;
        row = probe;
        WriteRow(row, bytes.data(), width);
      }
      buffer = bytes;
      QueueGetByKey(queue, qkey);
      change = Change::kMay;
      if (!counted) {
        expected = err::kInvalidFieldType;
      } else {
        model.Select(*counted);
        model.Sort();
        auto& a = model.Arrangement();
        auto match = std::find_if(a.begin(), a.end(), [&](uint64_t s) {
          return counted->empty() ? model.rows_.at(s).bytes == bytes
                                  : CompareRows(*counted, model.rows_.at(s).row, row) == 0;
        });
        if (match == a.end()) {
          expected = err::kEntryNotFound;
          expect_buffer = bytes;
        } else {
          model.current_ = *match;
          expect_buffer = model.rows_.at(*match).bytes;
        }
      }
    } else if (op < 78) {  // put, by key now and then
      const bool by_key = op >= 73;
      buffer = bytes;
      if (by_key) {
        QueuePutByKey(queue, qkey);
      } else {
        QueuePut(queue);
      }
      if (!model.current_) {
        expected = err::kEntryNotFound;
      } else if (by_key && !counted) {
        expected = err::kInvalidFieldType;
      } else {
        if (by_key) model.Select(*counted);
        model.Sort();
        model.Put(row, bytes);
      }
    } else if (op < 86) {  // delete
      QueueDelete(queue);
      if (!model.current_) {
        expected = err::kEntryNotFound;
      } else {
        model.Delete();
      }
    } else if (op < 96) {  // sort
      QueueSort(queue, qkey);
      if (!counted) {
        expected = err::kInvalidFieldType;
      } else {
        model.Select(*counted);
        model.Sort();
      }
    } else if (op < 97) {  // free
      QueueFree(queue);
      model.Free();
    } else {  // read everything in the current order
      auto& a = model.Arrangement();
      for (size_t i = 0; i < a.size(); ++i) {
        QueueGet(queue, static_cast<int32_t>(i + 1));
        ASSERT_EQ(ErrorCode(), 0);
        ASSERT_EQ(buffer, model.rows_.at(a[i]).bytes) << "position " << i + 1;
      }
      if (!a.empty()) model.current_ = a.back();
      change = Change::kMustNot;
    }

    ASSERT_EQ(ErrorCode(), expected) << "op " << op;
    if (expected != 0 && change == Change::kMust) change = Change::kMustNot;
    if (expect_buffer) {
      ASSERT_EQ(buffer, *expect_buffer);
    }
    ASSERT_EQ(QueueRecords(queue), static_cast<int32_t>(model.rows_.size()));
    ASSERT_EQ(QueuePointer(queue), model.Pointer());
    ASSERT_EQ(QueueOrderKeys(queue), model.mru_);
    const uint32_t now = QueueChanges(queue);
    if (change == Change::kMust) {
      ASSERT_NE(now, changes) << "op " << op;
    }
    if (change == Change::kMustNot) {
      ASSERT_EQ(now, changes) << "op " << op;
    }
    changes = now;
  }
}

TEST(QueueModel, NarrowRecordsAgreeWithTheModel) {
  for (uint32_t seed : {1u, 2u, 3u}) RunDifferential(RowWidth::kNarrow, seed, 3000);
}

TEST(QueueModel, CompressedRecordsAgreeWithTheModel) {
  for (uint32_t seed : {11u, 12u}) RunDifferential(RowWidth::kWide, seed, 3000);
}

}  // namespace
}  // namespace pellucor::runtime::queue_test
