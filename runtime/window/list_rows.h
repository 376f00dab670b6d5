// What a list control shows: rows of fields, read by the window engine when it draws the list.
// The framework backs it with the browse's queue (one screenful of rows); the list's format says
// which field each column shows and where its icon number is (list_format.h).
//
// REQUIRES: read only while the program thread that owns the list waits for the engine (inside
// DISPLAY, or any other engine call made by that thread), so the rows do not change underneath.
#pragma once

#include <cstdint>
#include <string>

namespace pellucor::runtime {

class ListRows {
 public:
  virtual ~ListRows() = default;
  [[nodiscard]] virtual int32_t RowCount() const = 0;
  // Field `field` (from 1) of row `row` (from 1) as display text before any picture: a number in
  // decimal (dates as day numbers), a string as it is stored. Empty outside the rows or fields.
  [[nodiscard]] virtual std::string Field(int32_t row, int32_t field) const = 0;
};

}  // namespace pellucor::runtime
