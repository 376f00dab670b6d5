// Applying an environment file to the locale. Every line stands on its own: a line this code
// cannot use is skipped and the lines after it still apply.
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/codepage.h"
#include "platform/file.h"
#include "runtime/core/char_tables.h"
#include "runtime/core/error_state.h"
#include "runtime/locale/ascii_case.h"
#include "runtime/locale/env_file.h"
#include "runtime/locale/locale_internal.h"

namespace pellucor::runtime {

namespace {

using locale_internal::MutableLocale;

// Environment files are small; anything beyond this is not one.
constexpr uint64_t kMaxEnvFileSize = 1 << 20;

// A value that is one item: quoted (quotes removed, doubled quotes undone) or as written.
std::optional<std::string> SingleValue(std::string_view value) {
  if (!value.empty() && value.front() == '"') {
    auto items = SplitEnvList(value);
    if (!items || items->size() != 1) return std::nullopt;
    return (*items)[0];
  }
  return ResolveEnvEscapes(value);
}

// The listed characters take, in the order listed, the sort positions those same characters
// held before, so the table stays a permutation and unlisted characters keep their places.
void ApplyCollatingSequence(std::string_view sequence) {
  CharTables& t = CurrentCharTables();
  std::array<bool, 256> seen{};
  std::vector<uint8_t> chars;
  for (char ch : sequence) {
    const auto c = static_cast<uint8_t>(ch);
    if (!seen[c]) seen[c] = true, chars.push_back(c);
  }
  std::vector<uint8_t> slots;
  for (uint8_t c : chars) slots.push_back(t.collation[c]);
  std::sort(slots.begin(), slots.end());
  for (size_t k = 0; k < chars.size(); ++k) t.collation[chars[k]] = slots[k];
}

void ApplyCasePairs(std::string_view upper, std::string_view lower) {
  CharTables& t = CurrentCharTables();
  Locale& l = MutableLocale();
  locale_internal::ResetUpperCase();
  const size_t n = std::min(upper.size(), lower.size());
  for (size_t k = 0; k < n; ++k) {
    const auto u = static_cast<uint8_t>(upper[k]);
    const auto lo = static_cast<uint8_t>(lower[k]);
    // The plain letters and digits are fixed; the environment describes 128-255 only.
    if (u < 128 || lo < 128 || u == lo) continue;
    t.char_class[u] = kCharClassUpper;
    t.char_class[lo] = kCharClassLower;
    t.upper[u] = u;
    t.upper[lo] = u;
    l.case_partner[u] = lo;
    l.case_partner[lo] = u;
  }
}

void ApplyDigraphs(const std::vector<std::string>& items) {
  CharTables& t = CurrentCharTables();
  t.digraphs = {};
  t.digraph_count = 0;
  for (const std::string& item : items) {
    if (item.size() != 3 || t.digraph_count >= kMaxDigraphs) continue;
    t.digraphs[t.digraph_count++] = {static_cast<uint8_t>(item[0]), static_cast<uint8_t>(item[1]),
                                     static_cast<uint8_t>(item[2])};
  }
}

void ApplyWindowsAmPm() {
  Locale& l = MutableLocale();
  l.am = l.s1159;
  l.pm = l.s2359;
}

class Applier {
 public:
  void Apply(const EnvEntry& e) {
    const std::string& value = e.value;
    const std::string& key = e.key;
    Locale& l = MutableLocale();
    if (key == "VELCHARSET") {
      oem_ = EqualsIgnoringAsciiCase(value, "OEM");
      l.oem_charset = oem_;
    } else if (key == "VELCOLSEQ") {
      if (value.empty()) {
        for (int c = 0; c < 256; ++c) CurrentCharTables().collation[c] = static_cast<uint8_t>(c);
      } else if (EqualsIgnoringAsciiCase(value, "WINDOWS")) {
        locale_internal::ApplyWindowsCollation();
      } else if (auto seq = Single(value)) {
        ApplyCollatingSequence(*seq);
      }
    } else if (key == "VELCASE") {
      if (value.empty()) {
        locale_internal::ResetUpperCase();
      } else if (EqualsIgnoringAsciiCase(value, "WINDOWS")) {
        locale_internal::ApplyWindowsCase();
      } else if (auto items = List(value); items && items->size() == 2) {
        ApplyCasePairs((*items)[0], (*items)[1]);
      }
    } else if (key == "VELMONTH" || key == "VELMON") {
      auto items = List(value);
      if (!items) return;
      auto& names = key == "VELMON" ? l.short_month_names : l.month_names;
      for (size_t m = 0; m < 12 && m < items->size(); ++m) {
        if ((*items)[m].empty()) continue;
        names[m] = key == "VELMON" ? (*items)[m].substr(0, 3) : (*items)[m];
      }
    } else if (key == "VELAMPM") {
      if (EqualsIgnoringAsciiCase(value, "WINDOWS")) {
        ApplyWindowsAmPm();
      } else if (auto items = List(value); items && items->size() == 2) {
        l.am = (*items)[0].substr(0, 2);
        l.pm = (*items)[1].substr(0, 2);
      }
    } else if (key == "VELDIGRAPH") {
      if (value.empty()) {
        ApplyDigraphs({});
      } else if (auto items = List(value)) {
        ApplyDigraphs(*items);
      }
    } else if (key == "VELBUTTON") {
      if (auto items = List(value)) l.button_texts = *items;
    } else if (key == "VELLFN") {
      l.long_file_names = EqualsIgnoringAsciiCase(value, "on");
    } else if (key.size() > 6 && key.compare(0, 6, "VELMSG") == 0 && key.size() <= 6 + 9) {
      int32_t n = 0;
      for (size_t i = 6; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return;
        n = n * 10 + (key[i] - '0');
      }
      if (auto text = Single(value)) l.messages[n] = *text;
    }
    // Other keys belong to other parts of the program or to none; they are ignored.
  }

 private:
  // Text of an OEM file is converted once its escapes are resolved, so "<132>" names the OEM
  // character 132 there.
  std::optional<std::vector<std::string>> List(std::string_view value) const {
    auto items = SplitEnvList(value);
    if (items && oem_) {
      for (std::string& item : *items) platform::OemToAnsiInPlace(item);
    }
    return items;
  }
  std::optional<std::string> Single(std::string_view value) const {
    auto text = SingleValue(value);
    if (text && oem_) platform::OemToAnsiInPlace(*text);
    return text;
  }

  // Every file starts in the ANSI character set; its own VELCHARSET line switches.
  bool oem_ = false;
};

}  // namespace

bool LoadEnvironment(std::string_view name) {
  if (EqualsIgnoringAsciiCase(name, "WINDOWS")) {
    locale_internal::ApplyWindowsCollation();
    locale_internal::ApplyWindowsCase();
    ApplyWindowsAmPm();
    locale_internal::DeriveOemTables();
    return true;
  }
  std::unique_ptr<platform::File> file;
  platform::Env* env = platform::Env::Default();
  const std::string path(name);
  if (!env->Open(path, platform::Access::kRead, platform::Share::kDenyNone,
                 platform::Disposition::kOpenExisting, &file)
           .ok()) {
    PostError(err::kFileNotFound);
    return false;
  }
  uint64_t size = 0;
  if (!file->Size(&size).ok()) {
    PostError(err::kFileNotFound);
    return false;
  }
  std::string text(static_cast<size_t>(std::min(size, kMaxEnvFileSize)), '\0');
  size_t got = 0;
  if (!text.empty() && !file->Read(0, text.data(), text.size(), &got).ok()) {
    PostError(err::kFileNotFound);
    return false;
  }
  text.resize(got);
  ApplyEnvironmentText(text);
  return true;
}

void ApplyEnvironmentText(std::string_view text) {
  Applier applier;
  for (const EnvEntry& e : ParseEnvironment(text)) applier.Apply(e);
  locale_internal::DeriveOemTables();
}

}  // namespace pellucor::runtime
