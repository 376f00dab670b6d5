// Lists of the query dialogs: rows of texts that the list control shows, all of them at once
// (a few query terms, a few saved queries), and moving the highlight for the scroll events the
// list posts at its edges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/event/event_codes.h"
#include "runtime/window/list_rows.h"

namespace pellucor::framework::query_detail {

class TextRows : public runtime::ListRows {
 public:
  [[nodiscard]] int32_t RowCount() const override { return static_cast<int32_t>(rows.size()); }
  [[nodiscard]] std::string Field(int32_t row, int32_t field) const override;

  std::vector<std::vector<std::string>> rows;  // fields of each row, field 1 first
};

// The list `control` of the current window holds `rows` rows, every one of them: a scroll event
// moves its highlight by a row, a page or to an end. Returns the highlighted row (from 1; 0 for
// an empty list), or -1 when `event` is no scroll event.
int32_t ScrollWholeList(int32_t control, runtime::Event event, int32_t rows);

// The highlighted row of list `control` (from 1), 0 when there is none or it lies beyond `rows`.
int32_t Highlighted(int32_t control, int32_t rows);

}  // namespace pellucor::framework::query_detail
