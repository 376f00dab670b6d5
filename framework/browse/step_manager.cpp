#include "framework/browse/step_manager.h"

#include <algorithm>
#include <vector>

#include "runtime/core/char_tables.h"

namespace pellucor::framework {

namespace {

// The characters a text compares by: letters folded when the order ignores case, digraphs
// expanded, as the runtime's string comparison does.
std::string CompareForm(std::string_view text, bool no_case, size_t wanted) {
  const runtime::CharTables& t = runtime::CurrentCharTables();
  std::string out;
  for (unsigned char c : text) {
    if (out.size() >= wanted) break;
    if (no_case && (t.char_class[c] & runtime::kCharClassLower) != 0) c = t.upper[c];
    bool expanded = false;
    for (size_t i = 0; i < t.digraph_count && i < t.digraphs.size(); ++i) {
      if (t.digraphs[i].ch == c) {
        out += static_cast<char>(t.digraphs[i].first);
        out += static_cast<char>(t.digraphs[i].second);
        expanded = true;
        break;
      }
    }
    if (!expanded) out += static_cast<char>(c);
  }
  // Trailing blanks never count: a shorter text compares as if padded with them.
  if (out.size() < wanted) out.append(wanted - out.size(), ' ');
  out.resize(wanted);
  return out;
}

}  // namespace

void StringStepManager::Init(uint8_t controls, uint8_t depth) {
  no_case_ = controls == step_case::kNoCase;
  depth_ = depth == 0 ? 3 : std::min<uint8_t>(depth, kMaxDepth);
  low_ = high_ = 0;
}

uint64_t StringStepManager::Weight(std::string_view text) const {
  const runtime::CharTables& t = runtime::CurrentCharTables();
  uint64_t w = 0;
  for (unsigned char c : CompareForm(text, no_case_, depth_)) w = w * 256 + t.collation[c];
  return w;
}

void StringStepManager::SetLimits(std::string_view low, std::string_view high) {
  low_ = Weight(low);
  high_ = Weight(high);
  if (high_ < low_) std::swap(low_, high_);
}

int32_t StringStepManager::GetPercentile(std::string_view value) const {
  const uint64_t w = Weight(value);
  if (high_ <= low_) return w > low_ ? 100 : 0;
  const uint64_t inside = std::clamp(w, low_, high_) - low_;
  return static_cast<int32_t>(inside * 100 / (high_ - low_));
}

std::string StringStepManager::GetValue(int32_t percentile) const {
  const runtime::CharTables& t = runtime::CurrentCharTables();
  percentile = std::clamp(percentile, 0, 100);
  const uint64_t span = high_ - low_;
  // The least weight whose position is `percentile`.
  const uint64_t target = low_ + (span * static_cast<uint64_t>(percentile) + 99) / 100;

  // A character for each collation place; a lower-case letter never stands for itself in an
  // order that folds case.
  std::array<int, 256> char_at{};
  char_at.fill(-1);
  int lowest_char = -1;
  for (int c = 255; c >= 0; --c) {
    if (no_case_ && (t.char_class[static_cast<size_t>(c)] & runtime::kCharClassLower) != 0) {
      continue;
    }
    char_at[t.collation[static_cast<size_t>(c)]] = c;
  }
  for (int place = 0; place < 256 && lowest_char < 0; ++place) lowest_char = char_at[place];

  std::vector<int> places(depth_);
  uint64_t rest = target;
  for (int i = depth_ - 1; i >= 0; --i) {
    places[static_cast<size_t>(i)] = static_cast<int>(rest % 256);
    rest /= 256;
  }
  std::string text;
  bool raised = false;
  for (int place : places) {
    if (raised) {
      text += static_cast<char>(lowest_char);
      continue;
    }
    int p = place;
    while (p < 256 && char_at[static_cast<size_t>(p)] < 0) ++p;
    if (p >= 256) break;
    // No character has this place: the next one up is already past the target, and the rest of
    // the text can be as low as possible.
    raised = p != place;
    text += static_cast<char>(char_at[static_cast<size_t>(p)]);
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace pellucor::framework
