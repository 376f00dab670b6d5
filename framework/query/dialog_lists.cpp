#include "framework/query/dialog_lists.h"

#include <algorithm>
#include <charconv>

#include "runtime/event/window.h"
#include "runtime/window/properties.h"

namespace pellucor::framework::query_detail {

namespace {

int32_t Number(const std::string& text) {
  int32_t n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  return error == std::errc() ? n : 0;
}

}  // namespace

std::string TextRows::Field(int32_t row, int32_t field) const {
  if (row < 1 || static_cast<size_t>(row) > rows.size()) return {};
  const std::vector<std::string>& fields = rows[static_cast<size_t>(row) - 1];
  if (field < 1 || static_cast<size_t>(field) > fields.size()) return {};
  return fields[static_cast<size_t>(field) - 1];
}

int32_t Highlighted(int32_t control, int32_t rows) {
  const int32_t row = Number(runtime::GetProperty(control, runtime::Prop::kChoice));
  return row >= 1 && row <= rows ? row : 0;
}

int32_t ScrollWholeList(int32_t control, runtime::Event event, int32_t rows) {
  using runtime::Event;
  const int32_t page = std::max(1, Number(runtime::GetProperty(control, runtime::Prop::kItems)));
  int32_t row = Highlighted(control, rows);
  switch (event) {
    case Event::kScrollUp:
      row -= 1;
      break;
    case Event::kScrollDown:
      row += 1;
      break;
    case Event::kPageUp:
      row -= page;
      break;
    case Event::kPageDown:
      row += page;
      break;
    case Event::kScrollTop:
      row = 1;
      break;
    case Event::kScrollBottom:
      row = rows;
      break;
    default:
      return -1;
  }
  if (rows == 0) return 0;
  row = std::clamp(row, 1, rows);
  runtime::SetProperty(control, runtime::Prop::kChoice, std::to_string(row));
  return row;
}

}  // namespace pellucor::framework::query_detail
