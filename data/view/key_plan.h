// The key range a view's filter implies for one key of the primary file.
//
// The filter's conditions on the key's components (found by the expression evaluator's key-range
// analysis, which also turns a prefix test SUB(field,1,n) = 'text' into a pair of comparisons)
// are combined component by component: the leading components that are bounded to a single value,
// then at most one component bounded to a range. The scan reads from the range's start to its end
// in key order; the filter still decides every row, so the range must only ever be at least as
// wide as the rows the filter admits. Two rules keep it so:
//   - A component of a NOCASE key is ordered by its upper-case form, while the filter compares
//     text with letter case. Only an equality and a prefix test say something about the
//     upper-case form (the same value, the same prefix), so other comparisons on such a
//     component bound nothing.
//   - A prefix's range starts at the prefix followed by the lowest character, not by blanks, so
//     that a value whose next character sorts below the blank is inside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "runtime/expr/expression.h"
#include "runtime/values/accessor.h"

namespace pellucor::data::view {

enum class ScanDirection : uint8_t { kForward, kBackward };

// One component of a key, bound to its field in the primary's record buffer.
struct KeyComponent {
  const FieldInfo* field = nullptr;
  uint8_t* address = nullptr;
  bool descending = false;
  bool text = false;
  bool nocase = false;  // a text component of a NOCASE key
  // Mutable: a const plan still writes the start of its range into the record buffer.
  mutable std::optional<runtime::Accessor> accessor;
};

struct BoundValue {
  bool present = false;
  bool exclusive = false;
  double real = 0;
  std::string text;
};

// Compares a component's field (as the record buffer holds it) with a value, in value order
// (not yet turned for a descending component): -1, 0 or 1.
int CompareField(const KeyComponent& c, const BoundValue& v);
int CompareValues(const KeyComponent& c, const BoundValue& a, const BoundValue& b);

struct KeyPlan {
  const KeyDecl* key = nullptr;
  std::vector<KeyComponent> components;  // every component of the key
  // Bounds in value terms of the leading `bounded` components; the ones before the last are
  // single values (low equals high).
  std::vector<BoundValue> low, high;
  int bounded = 0;
  int single_values = 0;
  runtime::expr::Truth3 truth = runtime::expr::Truth3::kDepends;

  // Whether the range leaves out the records with every component empty (blanks, zero), which an
  // OPT key does not hold: only then may such a key stand in for a physical read.
  [[nodiscard]] bool ExcludesEmpty() const;
  // The record in the buffer lies before the range's start, or after its end, in the order of
  // the scan's direction.
  [[nodiscard]] bool BeforeStart(ScanDirection d) const;
  [[nodiscard]] bool PastEnd(ScanDirection d) const;
  // Fills the key's fields in the record buffer with the range's start for a read in direction d
  // (an unbounded component its lowest or highest value, as the direction needs).
  void FillStart(ScanDirection d) const;
};

// Plans `key` of the file whose record buffer holds the fields `layout` describes. `record` and
// `in_view` tell which addresses belong to the records the view reads (they change from row to
// row and can bound nothing). Writes the single values it finds into the record buffer while it
// works (an operand may depend on an earlier component).
struct AddressRange {
  const uint8_t* begin;
  const uint8_t* end;
};
KeyPlan PlanKey(const runtime::expr::Expression* filter, const KeyDecl& key,
                const RecordLayout& layout, uint8_t* record,
                const std::vector<AddressRange>& in_view);

// The components of `key` bound to the record buffer, without any range.
std::vector<KeyComponent> BindKeyComponents(const KeyDecl& key, const RecordLayout& layout,
                                            uint8_t* record);

}  // namespace pellucor::data::view

namespace pellucor::data::view {
// Whether the filter is known true or false before any record is read.
runtime::expr::Truth3 FilterTruth(const runtime::expr::Expression* filter,
                                  const std::vector<AddressRange>& in_view);
}  // namespace pellucor::data::view
