#include "runtime/window/popup_text.h"

#include <utility>

namespace pellucor::runtime {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  PopupMenu Run() {
    PopupMenu menu;
    if (!List(menu.entries, 0)) {
      menu.error = error_;
      menu.position = pos_;
      return menu;
    }
    menu.item_count = next_number_ - 1;
    menu.ok = true;
    return menu;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  bool Fail(std::string what) {
    error_ = std::move(what);
    return false;
  }

  // Entries up to the end of the text (depth 0) or the "}" that closes a submenu.
  bool List(std::vector<PopupEntry>& out, int depth) {
    for (;;) {
      PopupEntry entry;
      if (Peek() == '{') {
        const size_t open = pos_++;
        entry.kind = PopupEntry::Kind::kSubmenu;
        if (!Text(entry)) return false;
        if (Peek() == '|') {
          ++pos_;
          if (!List(entry.children, depth + 1)) return false;
        } else if (Peek() == '}') {
          ++pos_;
        } else {
          pos_ = open;
          return Fail("the submenu is not closed by \"}\"");
        }
      } else {
        if (!Text(entry)) return false;
        if (entry.text == "-" && !entry.disabled && !entry.checked && entry.icon.empty()) {
          entry.kind = PopupEntry::Kind::kSeparator;
          entry.text.clear();
        } else {
          entry.number = next_number_++;
        }
      }
      out.push_back(std::move(entry));
      if (AtEnd()) return depth == 0 ? true : Fail("the submenu is not closed by \"}\"");
      if (Peek() == '}') {
        if (depth == 0) return Fail("\"}\" without a submenu");
        ++pos_;
        return true;
      }
      if (Peek() == '|') {
        ++pos_;
        if (AtEnd() || Peek() == '}') return Fail("an empty item after \"|\"");
        continue;
      }
      return Fail("\"|\" expected");
    }
  }

  // Flags, icon and text of one entry, up to "|", "{", "}" or the end.
  bool Text(PopupEntry& entry) {
    for (bool more = true; more;) {
      switch (Peek()) {
        case '~':
          entry.disabled = true;
          ++pos_;
          break;
        case '+':
          entry.checked = true;
          ++pos_;
          break;
        case '[': {
          if (!entry.icon.empty()) return Fail("a second icon");
          const size_t open = text_.find('(', pos_);
          const size_t close = text_.find(")]", pos_);
          if (open == std::string_view::npos || close == std::string_view::npos || open > close) {
            return Fail("an icon is written \"[property(icon)]\"");
          }
          entry.icon_property.assign(text_.substr(pos_ + 1, open - pos_ - 1));
          entry.icon.assign(text_.substr(open + 1, close - open - 1));
          if (entry.icon.empty()) return Fail("an icon without a name");
          pos_ = close + 2;
          break;
        }
        default:
          more = false;
      }
    }
    const size_t start = pos_;
    while (!AtEnd() && Peek() != '|' && Peek() != '{' && Peek() != '}') ++pos_;
    entry.text.assign(text_.substr(start, pos_ - start));
    if (Peek() == '{') return Fail("\"{\" inside an item");
    if (entry.text.empty()) return Fail("an item without text");
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int32_t next_number_ = 1;
  std::string error_;
};

const PopupEntry* Find(const std::vector<PopupEntry>& entries, int32_t number) {
  for (const PopupEntry& e : entries) {
    if (e.kind == PopupEntry::Kind::kItem && e.number == number) return &e;
    if (const PopupEntry* inner = Find(e.children, number)) return inner;
  }
  return nullptr;
}

}  // namespace

PopupMenu ParsePopupText(std::string_view text) {
  return Parser(text).Run();
}

std::string PopupItemText(const PopupMenu& menu, int32_t number) {
  const PopupEntry* e = Find(menu.entries, number);
  if (e == nullptr) return {};
  std::string out;
  for (size_t i = 0; i < e->text.size(); ++i) {
    if (e->text[i] == '&' && i + 1 < e->text.size()) ++i;
    out += e->text[i];
  }
  return out;
}

}  // namespace pellucor::runtime
