// The list-box format: one text that lays out a list's columns. Each column is written as
//
//   width alignment [ "(" indent ")" ] { modifier } [ "~" heading "~" [ alignment [ "(" indent ")"
//   ] ] ]
//         [ "@" picture "@" ] [ "#" field "#" ]
//
//   width       dialog units, decimal digits
//   alignment   L left, R right, C centred, D decimal; the indent (dialog units) moves the text
//               away from the side it is aligned to (from the centre for C)
//   modifiers   "|" a line at the right edge, "M" the user may resize the column, "I" an icon
//               before the text, "J" the same icon drawn transparent, "T" the column is a tree,
//               "_" a line under the row, "F" the column stays when the list scrolls sideways
//   heading     its text between tildes, then its own alignment and indent (by default the
//               column's)
//   picture     how the value is shown ("@D17B": a date, blank when the value is 0)
//   field       the queue field the column shows, from 1
//
// Columns follow one another without separator. A column shows the next queue field unless "#n#"
// names one; an icon column's next field holds the icon's entry in the icon list (0 for none), a
// tree column's next field after that holds the row's level. So "50R(2)|MI~Date~C(0)@D17B@..."
// shows field 1 with its icon number in field 2, and the following column starts at field 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::runtime {

enum class ColumnAlign : uint8_t { kLeft, kRight, kCenter, kDecimal };

struct ListColumn {
  int32_t width = 0;
  ColumnAlign align = ColumnAlign::kLeft;
  int32_t indent = 0;
  bool right_border = false;
  bool resizable = false;
  bool icon = false;
  bool transparent_icon = false;
  bool tree = false;
  bool underline = false;
  bool fixed = false;
  bool has_heading = false;
  std::string heading;
  ColumnAlign heading_align = ColumnAlign::kLeft;
  int32_t heading_indent = 0;
  std::string picture;           // empty: the value as it is
  bool blank_when_zero = false;  // the picture ends in "B"
  int32_t field = 0;             // the queue field shown, from 1
  int32_t icon_field = 0;        // icon columns: the field with the icon's entry; else 0
  int32_t tree_field = 0;        // tree columns: the field with the row's level; else 0
  friend bool operator==(const ListColumn&, const ListColumn&) = default;
};

struct ListFormat {
  std::vector<ListColumn> columns;
  bool ok = false;
  std::string error;    // what is wrong, for the programmer: "column 2: width expected"
  size_t position = 0;  // where in the text the fault was found
};

[[nodiscard]] ListFormat ParseListFormat(std::string_view text);

}  // namespace pellucor::runtime
