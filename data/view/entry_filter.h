// The part of a view's filter that a key scan can decide on a key entry alone, before the
// entry's record is read.
//
// The filter is a chain of terms joined by AND; a term qualifies when, of the records the view
// reads, it names only components of the scan's key: a component whose value the key entry
// gives back exactly (a number, a date, the text of a key that minds case), or the text of a
// NOCASE key's component as the argument of UPPER (the entry holds that text upper-cased, and
// UPPER of it is UPPER of the field). Program variables and constants may appear anywhere;
// bound procedures and RANDOM may not (they would run a different number of times). A term
// that names no component is left out: it decides nothing about the entry.
//
// A row the qualifying terms refuse is one the whole filter refuses, so the scan may pass over
// its entry; every row read is still tested by the whole filter.
#pragma once

#include <memory>
#include <vector>

#include "data/driver/driver.h"
#include "data/view/key_plan.h"
#include "runtime/expr/expression.h"

namespace pellucor::runtime::expr::detail {
struct Node;
}

namespace pellucor::data::view {

class EntryFilter {
 public:
  // Nothing when no term qualifies.
  static std::unique_ptr<EntryFilter> Make(const runtime::expr::Expression* filter,
                                           const std::vector<KeyComponent>& components,
                                           const std::vector<AddressRange>& in_view);

  // The test to hand the driver with each read: the qualifying terms, evaluated on the fields
  // the driver filled from the entry.
  const EntryTest& Test() const { return test_; }
  size_t TermCount() const { return terms_.size(); }

 private:
  std::vector<const runtime::expr::detail::Node*> terms_;
  EntryTest test_;
};

}  // namespace pellucor::data::view
