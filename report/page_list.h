// The page list of the print preview: which pages of a report to print, written as items
// separated by ",". An item is a page number ("5") or two page numbers joined by "-" ("2-3"), the
// first at least 1 and the second at least the first; blanks round numbers are allowed. An item
// of any other form selects nothing: "3-2", "3-", "0", "two".
//
//   PageSelected("2-3,5", 3)      true
//   PageSelected("2-3,5", 4)      false
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::report {

// The list a preview starts with: every page ("1-" and the page count).
[[nodiscard]] std::string WholeRange(int32_t pages);
[[nodiscard]] bool PageSelected(std::string_view list, int32_t page);
// The pages of 1..`pages` that `list` selects, in order.
[[nodiscard]] std::vector<int32_t> SelectedPages(std::string_view list, int32_t pages);

}  // namespace pellucor::report
