#include "platform/profile_parser.h"

#include "platform/codepage.h"

namespace pellucor::platform {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A carriage return without its line feed (the end of a file cut after "\r") counts as a blank.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool HasLineBreak(std::string_view s) {
  return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
}

}  // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AnsiUpper(static_cast<uint8_t>(a[i])) != AnsiUpper(static_cast<uint8_t>(b[i])))
      return false;
  }
  return true;
}

ProfileText::ProfileText(std::string_view bytes) {
  if (bytes.substr(0, kBom.size()) == kBom) {
    bom_ = kBom;
    bytes.remove_prefix(kBom.size());
  }
  size_t crlf = 0;
  size_t lf = 0;
  while (!bytes.empty()) {
    const size_t nl = bytes.find('\n');
    Line line;
    if (nl == std::string_view::npos) {
      line.text = bytes;
      bytes = {};
    } else {
      std::string_view text = bytes.substr(0, nl);
      if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
        line.ending = "\r\n";
        ++crlf;
      } else {
        line.ending = "\n";
        ++lf;
      }
      line.text = text;
      bytes.remove_prefix(nl + 1);
    }
    lines_.push_back(std::move(line));
  }
  if (crlf > lf) newline_ = "\r\n";
}

ProfileText::Parsed ProfileText::Parse(size_t index) const {
  std::string_view s = lines_[index].text;
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  Parsed p;
  if (s.empty() || s.front() == ';') return p;
  if (s.front() == '[') {
    s.remove_prefix(1);
    const size_t close = s.find(']');
    p.kind = Kind::kSection;
    p.name = Trim(s.substr(0, close));
    return p;
  }
  const size_t eq = s.find('=');
  if (eq == std::string_view::npos) return p;
  p.name = Trim(s.substr(0, eq));
  if (p.name.empty()) return p;
  p.kind = Kind::kKey;
  p.value = Trim(s.substr(eq + 1));
  if (p.value.size() >= 2 && (p.value.front() == '"' || p.value.front() == '\'') &&
      p.value.back() == p.value.front()) {
    p.value = p.value.substr(1, p.value.size() - 2);
  }
  return p;
}

std::optional<std::pair<size_t, size_t>> ProfileText::FindSection(std::string_view section,
                                                                  size_t from) const {
  section = Trim(section);
  for (size_t i = from; i < lines_.size(); ++i) {
    const Parsed p = Parse(i);
    if (p.kind != Kind::kSection || !ProfileNamesEqual(p.name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && Parse(end).kind != Kind::kSection) ++end;
    return std::make_pair(i, end);
  }
  return std::nullopt;
}

std::optional<std::string> ProfileText::Get(std::string_view section, std::string_view key) const {
  const auto range = FindSection(section);
  if (!range) return std::nullopt;
  key = Trim(key);
  for (size_t i = range->first + 1; i < range->second; ++i) {
    const Parsed p = Parse(i);
    if (p.kind == Kind::kKey && ProfileNamesEqual(p.name, key)) return std::string(p.value);
  }
  return std::nullopt;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Parsed p = Parse(i);
    if (p.kind != Kind::kSection) continue;
    bool seen = false;
    for (const auto& n : names) seen = seen || ProfileNamesEqual(n, p.name);
    if (!seen) names.emplace_back(p.name);
  }
  return names;
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const auto range = FindSection(section);
  if (!range) return names;
  for (size_t i = range->first + 1; i < range->second; ++i) {
    const Parsed p = Parse(i);
    if (p.kind != Kind::kKey) continue;
    bool seen = false;
    for (const auto& n : names) seen = seen || ProfileNamesEqual(n, p.name);
    if (!seen) names.emplace_back(p.name);
  }
  return names;
}

bool ProfileText::ValidSection(std::string_view section) {
  return !Trim(section).empty() && !HasLineBreak(section) &&
         section.find(']') == std::string_view::npos;
}

bool ProfileText::ValidKey(std::string_view key) {
  const std::string_view t = Trim(key);
  return !t.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
         t.front() != '[' && t.front() != ';';
}

bool ProfileText::ValidValue(std::string_view value) {
  return !HasLineBreak(value);
}

void ProfileText::Insert(size_t at, std::string text) {
  // The line before the new one must end, or the two would run together.
  if (at > 0 && lines_[at - 1].ending.empty()) {
    Line& before = lines_[at - 1];
    if (!before.text.empty() && before.text.back() == '\r') {
      before.text.pop_back();  // its "\r" and the new "\n" make one line ending
      before.ending = "\r\n";
    } else {
      before.ending = newline_;
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), newline_});
}

void ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(Trim(key)) + "=" + std::string(value);
  const auto range = FindSection(section);
  if (!range) {
    // A new section goes at the end, after a blank line when the text has one.
    size_t at = lines_.size();
    if (at > 0 && !Trim(lines_[at - 1].text).empty()) Insert(at++, "");
    Insert(at++, "[" + std::string(Trim(section)) + "]");
    Insert(at, std::move(line));
    return;
  }
  size_t last_content = range->first;
  for (size_t i = range->first + 1; i < range->second; ++i) {
    const Parsed p = Parse(i);
    if (p.kind == Kind::kKey && ProfileNamesEqual(p.name, Trim(key))) {
      lines_[i].text = std::move(line);
      return;
    }
    if (!Trim(lines_[i].text).empty()) last_content = i;
  }
  // After the section's last non-blank line, so that blank lines before the next section stay.
  Insert(last_content + 1, std::move(line));
}

bool ProfileText::DeleteKey(std::string_view section, std::string_view key) {
  const auto range = FindSection(section);
  if (!range) return false;
  bool deleted = false;
  for (size_t i = range->second; i-- > range->first + 1;) {
    const Parsed p = Parse(i);
    if (p.kind == Kind::kKey && ProfileNamesEqual(p.name, Trim(key))) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      deleted = true;
    }
  }
  return deleted;
}

bool ProfileText::DeleteSection(std::string_view section) {
  bool deleted = false;
  size_t from = 0;
  while (const auto range = FindSection(section, from)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
    from = range->first;
    deleted = true;
  }
  return deleted;
}

std::string ProfileText::Serialize() const {
  std::string out = bom_;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.ending;
  }
  return out;
}

}  // namespace pellucor::platform
