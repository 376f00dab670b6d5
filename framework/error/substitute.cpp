// Placeholder replacement of the selected message.
//
// Placeholders are replaced one kind at a time, longer ones before the shorter ones they begin
// with ("%FileErrorCode" and "%FileError" before "%File", "%ErrorCode" and "%ErrorText" before
// "%Error"), each found without regard to case, the search restarting at the beginning after
// every replacement. A replaced value is marked as such: a file name that holds "%File" or a
// driver text that holds "%Message" is shown as it is, never replaced again, so the search always
// ends.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/error/error_manager.h"

namespace pellucor::framework {

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The work text, and for each of its characters whether it came from a replaced value.
class WorkText {
 public:
  explicit WorkText(std::string_view text) : text_(text), replaced_(text.size(), false) {}

  // The first occurrence of `placeholder` made only of characters of the message itself.
  [[nodiscard]] size_t Find(std::string_view placeholder) const {
    if (placeholder.size() > text_.size()) return std::string::npos;
    for (size_t at = 0; at + placeholder.size() <= text_.size(); ++at) {
      bool match = true;
      for (size_t i = 0; i < placeholder.size() && match; ++i) {
        match = !replaced_[at + i] && Lower(text_[at + i]) == Lower(placeholder[i]);
      }
      if (match) return at;
    }
    return std::string::npos;
  }

  [[nodiscard]] bool Contains(std::string_view placeholder) const {
    return Find(placeholder) != std::string::npos;
  }

  void ReplaceAll(std::string_view placeholder, std::string_view value) {
    for (size_t at = Find(placeholder); at != std::string::npos; at = Find(placeholder)) {
      text_.replace(at, placeholder.size(), value);
      replaced_.erase(replaced_.begin() + static_cast<std::ptrdiff_t>(at),
                      replaced_.begin() + static_cast<std::ptrdiff_t>(at + placeholder.size()));
      replaced_.insert(replaced_.begin() + static_cast<std::ptrdiff_t>(at), value.size(), true);
    }
  }

  [[nodiscard]] std::string Take() && { return std::move(text_); }

 private:
  std::string text_;
  std::vector<bool> replaced_;
};

}  // namespace

std::string ErrorManager::Substitute() {
  const ErrorEntry* entry = SelectedEntry();
  if (entry == nullptr) return {};
  std::string text = Expand(entry->MESSAGE, selected_ == kUnknown ? kNone : selected_);
  if (text.size() > kMaxMessageText) text.resize(kMaxMessageText);
  return text;
}

std::string ErrorManager::Expand(std::string_view message, size_t row) const {
  WorkText work(message);
  work.ReplaceAll("%FileErrorCode", SAVEFILEERRORCODE);
  work.ReplaceAll("%FileError", SAVEFILEERROR);
  work.ReplaceAll("%File", FILENAME);
  const std::string code = std::to_string(SAVEERRORCODE);
  work.ReplaceAll("%ErrorCode", code);
  if (work.Contains("%ErrorText")) {
    work.ReplaceAll("%ErrorText", SAVEERRORCODE == kDriverErrorCode
                                      ? SAVEFILEERROR + " (" + SAVEFILEERRORCODE + ")"
                                      : SAVEERROR + " (" + code + ")");
  }
  work.ReplaceAll("%Error", SAVEERROR);
  work.ReplaceAll("%Message", MESSAGETEXT);
  work.ReplaceAll("%Field", FIELDNAME);
  if (work.Contains("%Procedure")) work.ReplaceAll("%Procedure", CurrentProcedure());
  if (work.Contains("%Previous")) {
    // The earlier row with the same number; its own placeholders are filled as well, so an
    // override that adds a sentence to the standard text never shows a raw "%File".
    std::string previous;
    if (row != kNone && row < ERRORS.size()) {
      for (size_t i = row; i-- > 0;) {
        if (ERRORS[i].ID == ERRORS[row].ID) {
          previous = Expand(ERRORS[i].MESSAGE, i);
          break;
        }
      }
    }
    work.ReplaceAll("%Previous", previous);
  }
  return std::move(work).Take();
}

}  // namespace pellucor::framework
