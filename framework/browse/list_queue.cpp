#include "framework/browse/list_queue.h"

#include <algorithm>
#include <cstring>

namespace pellucor::framework {

namespace {
constexpr size_t kLengthDigits = 4;
constexpr size_t kLongestPosition = 9999;
}  // namespace

void ListQueueRows::Take(runtime::Queue& queue) {
  const runtime::QueueDescriptor* d = queue.descriptor();
  if (d == nullptr || d->buffer == nullptr) {
    rows_.clear();
    fields_.clear();
    return;
  }
  fields_ = d->fields;
  // The copies are kept from one page to the next: a page is taken after every move.
  kept_.assign(d->buffer, d->buffer + d->size);
  const auto count = static_cast<size_t>(runtime::QueueRecords(queue));
  rows_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    runtime::QueueGet(queue, static_cast<int32_t>(i + 1));
    rows_[i].assign(d->buffer, d->buffer + d->size);
  }
  std::memcpy(d->buffer, kept_.data(), kept_.size());
}

int32_t ListQueueRows::RowCount() const {
  return static_cast<int32_t>(rows_.size());
}

std::string ListQueueRows::Field(int32_t row, int32_t field) const {
  if (row < 1 || static_cast<size_t>(row) > rows_.size() || field < 1 ||
      static_cast<size_t>(field) > fields_.size()) {
    return {};
  }
  const runtime::QueueField& f = fields_[static_cast<size_t>(field - 1)];
  const std::vector<uint8_t>& bytes = rows_[static_cast<size_t>(row - 1)];
  if (f.offset + f.size > bytes.size() || !runtime::HasAccessor(f.type)) return {};
  // The accessor only reads; the row copy stays as it is.
  auto* address = const_cast<uint8_t*>(bytes.data() + f.offset);
  const runtime::Accessor a = runtime::AccessorFactory(f.type, address, f.size, f.places);
  if (a->Class() == runtime::ValueClass::kString) {
    return std::string(reinterpret_cast<const char*>(address), f.size);
  }
  return a->GetText();
}

void StorePosition(const runtime::AnyRef& column, std::string_view position) {
  if (column.address == nullptr) return;
  auto* out = static_cast<char*>(column.address);
  std::memset(out, ' ', column.size);
  if (column.size < kLengthDigits || position.size() > column.size - kLengthDigits ||
      position.size() > kLongestPosition) {
    return;
  }
  size_t length = position.size();
  for (size_t i = kLengthDigits; i-- > 0; length /= 10)
    out[i] = static_cast<char>('0' + length % 10);
  std::memcpy(out + kLengthDigits, position.data(), position.size());
}

std::string LoadPosition(const runtime::AnyRef& column) {
  if (column.address == nullptr || column.size < kLengthDigits) return {};
  const auto* in = static_cast<const char*>(column.address);
  size_t length = 0;
  for (size_t i = 0; i < kLengthDigits; ++i) {
    if (in[i] < '0' || in[i] > '9') return {};
    length = length * 10 + static_cast<size_t>(in[i] - '0');
  }
  if (length > column.size - kLengthDigits) return {};
  return std::string(in + kLengthDigits, length);
}

}  // namespace pellucor::framework
