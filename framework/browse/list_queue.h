// The browse's list queue as the list control reads it, and the position text each of its rows
// keeps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/queue/queue.h"
#include "runtime/values/accessor.h"
#include "runtime/window/list_rows.h"

namespace pellucor::framework {

// What the list shows: a copy of the queue's rows taken by Take, so that the window engine never
// reads the queue (or its record buffer, which belongs to the program) while it draws.
class ListQueueRows : public runtime::ListRows {
 public:
  // Copies every row of `queue`; the queue's record buffer is left as it was.
  void Take(runtime::Queue& queue);
  [[nodiscard]] int32_t RowCount() const override;
  [[nodiscard]] std::string Field(int32_t row, int32_t field) const override;

 private:
  std::vector<runtime::QueueField> fields_;
  std::vector<std::vector<uint8_t>> rows_;
  std::vector<uint8_t> kept_;  // the program's buffer while the rows are copied
};

// A VIEW position kept in a text column: four decimal digits of its length, then the position's
// own bytes, then blanks. A position is binary and may end in blanks, so its length cannot be
// told from the padded text alone. A position too long for the column is not kept (the column
// is left blank, and the row cannot be found again).
void StorePosition(const runtime::AnyRef& column, std::string_view position);
[[nodiscard]] std::string LoadPosition(const runtime::AnyRef& column);

}  // namespace pellucor::framework
