#include "runtime/values/compare.h"

#include <cstdint>

namespace pellucor::runtime {

namespace {

enum class Fold : uint8_t { kExact, kUpper };

// Walks a text as the comparison sees it: digraph characters expanded into their two
// characters, letters folded to upper case when asked, and blanks for ever after its end.
class Expanded {
 public:
  Expanded(std::string_view text, const CharTables& t, CharSet set, Fold fold)
      : text_(text),
        tables_(t),
        digraphs_(set == CharSet::kOem ? t.oem_digraphs.data() : t.digraphs.data()),
        digraph_count_(t.digraph_count > kMaxDigraphs ? kMaxDigraphs : t.digraph_count),
        fold_(fold) {}

  [[nodiscard]] bool AtEnd() const { return pending_ == 0 && pos_ >= text_.size(); }

  uint8_t Next() {
    if (pending_ != 0) {
      const uint8_t c = pending_;
      pending_ = 0;
      return c;
    }
    if (pos_ >= text_.size()) return ' ';
    const auto c = static_cast<uint8_t>(text_[pos_++]);
    const Digraph* d = Find(c);
    if (d == nullptr && fold_ == Fold::kUpper) d = Find(Folded(c));
    if (d == nullptr) return Folded(c);
    pending_ = Folded(d->second);
    // A digraph whose second character is 0 expands to one character.
    return Folded(d->first);
  }

 private:
  [[nodiscard]] uint8_t Folded(uint8_t c) const {
    if (fold_ == Fold::kUpper && tables_.char_class[c] == kCharClassLower) return tables_.upper[c];
    return c;
  }
  [[nodiscard]] const Digraph* Find(uint8_t c) const {
    for (size_t i = 0; i < digraph_count_; ++i) {
      if (digraphs_[i].ch == 0) break;
      if (digraphs_[i].ch == c) return &digraphs_[i];
    }
    return nullptr;
  }

  std::string_view text_;
  const CharTables& tables_;
  const Digraph* digraphs_;
  size_t digraph_count_;
  Fold fold_;
  size_t pos_ = 0;
  uint8_t pending_ = 0;
};

Order Compare(std::string_view left, std::string_view right, const CharTables& t, CharSet set,
              Fold fold) {
  const uint8_t* coll = set == CharSet::kOem ? t.oem_collation.data() : t.collation.data();
  if (t.digraph_count == 0) {
    // Common case: one pass over both texts, the shorter one continued with blanks.
    const size_t n = left.size() > right.size() ? left.size() : right.size();
    for (size_t i = 0; i < n; ++i) {
      uint8_t a = i < left.size() ? static_cast<uint8_t>(left[i]) : ' ';
      uint8_t b = i < right.size() ? static_cast<uint8_t>(right[i]) : ' ';
      if (fold == Fold::kUpper) {
        if (t.char_class[a] == kCharClassLower) a = t.upper[a];
        if (t.char_class[b] == kCharClassLower) b = t.upper[b];
      }
      if (a == b) continue;
      if (coll[a] != coll[b]) return coll[a] < coll[b] ? Order::kLess : Order::kGreater;
    }
    return Order::kEqual;
  }
  Expanded l(left, t, set, fold);
  Expanded r(right, t, set, fold);
  while (!l.AtEnd() || !r.AtEnd()) {
    const uint8_t a = l.Next();
    const uint8_t b = r.Next();
    if (a == b) continue;
    if (coll[a] != coll[b]) return coll[a] < coll[b] ? Order::kLess : Order::kGreater;
  }
  return Order::kEqual;
}

}  // namespace

Order CompareStrings(std::string_view left, std::string_view right, const CharTables& tables,
                     CharSet set) {
  return Compare(left, right, tables, set, Fold::kExact);
}

Order CompareStringsNoCase(std::string_view left, std::string_view right, const CharTables& tables,
                           CharSet set) {
  return Compare(left, right, tables, set, Fold::kUpper);
}

Order CompareStrings(std::string_view left, std::string_view right) {
  return Compare(left, right, CurrentCharTables(), CharSet::kAnsi, Fold::kExact);
}

Order CompareStringsNoCase(std::string_view left, std::string_view right) {
  return Compare(left, right, CurrentCharTables(), CharSet::kAnsi, Fold::kUpper);
}

}  // namespace pellucor::runtime
