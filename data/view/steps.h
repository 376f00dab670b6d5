// The step tree of a view. Each step produces rows into the record buffers of its files; the
// kinds are the key scan and the file scan of the primary file, the join of a secondary file
// above them, and the filter at the top.
//
// A row's identity is the position of each of its records as the driver gives it (POSITIONkey
// for a key scan or a join by key, POSITIONfile for the physical reads), each as a u16 length and
// the position's bytes, in the order of the files; an outer join's row without a match has an
// empty position there. ResumeAt takes an identity back: the next Fetch, in either direction,
// then returns that row (or, when it is gone, the one after it in that direction).
//
// Steps drive their files only through the driver entry. Each positioning of the primary file is
// followed by TakeNewSequence, so that the "new sequence" mark the file carries afterwards means
// a SET made by someone else.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/driver.h"
#include "data/view/key_plan.h"
#include "data/view/view.h"
#include "runtime/expr/expression.h"

namespace pellucor::data::view {

// How the steps make their reads: traced into the files' traces or not, and whether the primary
// file's records are watched.
struct ReadOptions {
  TraceRoute route = TraceRoute::kUntraced;
  bool watch = false;
};

// A file of the view with what the steps need of it.
struct ViewFile {
  FileDecl* file = nullptr;
  RecordLayout layout;
  bool read_memos = true;  // false: NOMEMO before each read
};

class Step {
 public:
  virtual ~Step() = default;
  // The next Fetch(d) returns the first row in direction d.
  virtual int32_t Start(ScanDirection d) = 0;
  // Produces the next row in direction d: 0, 33 at the end, or a file's error.
  virtual int32_t Fetch(ScanDirection d) = 0;
  // Consumes this step's part of *identity and positions as described above.
  virtual int32_t ResumeAt(std::string_view* identity) = 0;
  // Appends the identity of the row the last Fetch produced.
  virtual int32_t AppendIdentity(std::string* identity) = 0;
};

// Reads the primary file by a key within its plan's range, or in physical order (no plan).
// `identity_by_file` makes the rows' identities physical positions even for a key scan (a view
// that sorts finds its rows again by record, whatever their key values). A key scan hands
// `filter_test` (may be null; must outlive the step) to the driver with each read, so that
// entries the filter refuses on their key alone are passed over unread (entry_filter.h).
std::unique_ptr<Step> MakeScan(ViewFile& file, std::optional<KeyPlan> plan, bool identity_by_file,
                               const ReadOptions& options, const EntryTest* filter_test = nullptr);

// For each row of `outer`, the matching records of `file`: read by `key` with the link fields'
// values as its leading components, or (no key) every record.
std::unique_ptr<Step> MakeJoin(std::unique_ptr<Step> outer, ViewFile& file, const KeyDecl* key,
                               std::vector<LinkField> links, JoinKind kind,
                               const std::vector<ViewFile*>& earlier, const ReadOptions& options);

// Passes only the rows for which the filter is true.
std::unique_ptr<Step> MakeFilter(std::unique_ptr<Step> child,
                                 const runtime::expr::Expression* filter);

// Identity helpers.
void AppendPart(std::string* identity, std::string_view part);
[[nodiscard]] bool TakePart(std::string_view* identity, std::string* part);

}  // namespace pellucor::data::view
