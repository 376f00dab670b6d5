#include "runtime/window/list_format.h"

#include <cctype>
#include <limits>

#include "runtime/locale/picture.h"

namespace pellucor::runtime {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  ListFormat Run() {
    ListFormat out;
    int32_t next_field = 1;
    while (!AtEnd()) {
      ListColumn column;
      if (!ParseColumn(column, out.columns.size() + 1)) {
        out.error = error_;
        out.position = pos_;
        return out;
      }
      if (column.field == 0) column.field = next_field;
      int32_t after = column.field + 1;
      if (column.icon || column.transparent_icon) column.icon_field = after++;
      if (column.tree) column.tree_field = after++;
      next_field = after;
      out.columns.push_back(std::move(column));
    }
    if (out.columns.empty()) {
      out.error = "the format has no column";
      return out;
    }
    out.ok = true;
    return out;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  bool Fail(size_t column, const std::string& what) {
    error_ = "column " + std::to_string(column) + ": " + what;
    return false;
  }

  // Decimal digits into a value that fits a 32-bit field.
  bool Number(int32_t& value) {
    if (!std::isdigit(static_cast<unsigned char>(Peek()))) return false;
    int64_t v = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) {
      v = v * 10 + (text_[pos_++] - '0');
      if (v > std::numeric_limits<int32_t>::max()) return false;
    }
    value = static_cast<int32_t>(v);
    return true;
  }

  static bool Align(char c, ColumnAlign& align) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
      case 'L':
        align = ColumnAlign::kLeft;
        return true;
      case 'R':
        align = ColumnAlign::kRight;
        return true;
      case 'C':
        align = ColumnAlign::kCenter;
        return true;
      case 'D':
        align = ColumnAlign::kDecimal;
        return true;
      default:
        return false;
    }
  }

  // "(" digits ")", when the text has a "(" here.
  bool Indent(size_t column, int32_t& indent) {
    if (Peek() != '(') return true;
    ++pos_;
    if (!Number(indent)) return Fail(column, "indent expected after \"(\"");
    if (Peek() != ')') return Fail(column, "\")\" expected after the indent");
    ++pos_;
    return true;
  }

  // The text up to the next `close`, which is consumed.
  bool Delimited(size_t column, char close, const char* what, std::string& out) {
    const size_t end = text_.find(close, pos_);
    if (end == std::string_view::npos) {
      --pos_;  // the fault is reported where the unclosed text opens
      return Fail(column, std::string(what) + " is not closed by \"" + close + "\"");
    }
    out.assign(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return true;
  }

  bool ParseColumn(ListColumn& c, size_t column) {
    if (!Number(c.width)) return Fail(column, "width expected");
    if (!Align(Peek(), c.align)) return Fail(column, "alignment L, R, C or D expected");
    ++pos_;
    if (!Indent(column, c.indent)) return false;
    for (bool more = true; more && !AtEnd();) {
      switch (std::toupper(static_cast<unsigned char>(Peek()))) {
        case '|':
          c.right_border = true;
          break;
        case 'M':
          c.resizable = true;
          break;
        case 'I':
          c.icon = true;
          break;
        case 'J':
          c.transparent_icon = true;
          break;
        case 'T':
          c.tree = true;
          break;
        case '_':
          c.underline = true;
          break;
        case 'F':
          c.fixed = true;
          break;
        default:
          more = false;
          continue;
      }
      ++pos_;
    }
    c.heading_align = c.align;
    c.heading_indent = c.indent;
    if (Peek() == '~') {
      ++pos_;
      if (!Delimited(column, '~', "the heading", c.heading)) return false;
      c.has_heading = true;
      if (Align(Peek(), c.heading_align)) {
        ++pos_;
        c.heading_indent = 0;
        if (!Indent(column, c.heading_indent)) return false;
      }
    }
    if (Peek() == '@') {
      const size_t start = pos_++;
      const size_t end = text_.find('@', pos_);
      if (end == std::string_view::npos) {
        pos_ = start;
        return Fail(column, "the picture is not closed by \"@\"");
      }
      c.picture.assign(text_.substr(start, end - start));
      pos_ = end + 1;
      if (c.picture.size() < 2) return Fail(column, "the picture is empty");
      c.blank_when_zero = CompilePicture(c.picture).blank_when_zero;
    }
    if (Peek() == '#') {
      ++pos_;
      if (!Number(c.field) || c.field == 0)
        return Fail(column, "field number expected after \"#\"");
      if (Peek() != '#') return Fail(column, "\"#\" expected after the field number");
      ++pos_;
    }
    if (!AtEnd() && !std::isdigit(static_cast<unsigned char>(Peek()))) {
      return Fail(column, std::string("unexpected \"") + Peek() + "\"");
    }
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

ListFormat ParseListFormat(std::string_view text) {
  return Parser(text).Run();
}

}  // namespace pellucor::runtime
