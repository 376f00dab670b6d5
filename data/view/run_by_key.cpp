// The first run of a sorting view read in the order of a second key.
//
// A sorting view reads its key in order and sorts each run of rows whose key-given components
// are equal. When the first run is large (the Done Items tab: every done note without a reminder
// date, sorted by note date newest first), sorting it whole is most of the time to the first
// row. Another key of the primary file may give the next order components: then the run's rows
// come out of that key's order group by group (a group: records equal in the components that
// key gives), each group sorted by the order's remaining components and, for ties, by the
// records' places in the view's key, exactly as the sort would leave them. Only as many groups
// are read as the reader asks for.
//
// Reading through the second key visits records of every run, so it pays only while the first
// run is a fair share of the records: once the records read that way pass a budget (a multiple
// of the rows delivered), or the key ends, or (for a key that leaves out empty records) the
// group of empty values is reached, the run is collected and sorted the ordinary way and the
// rows already delivered are dropped from its front.
#include <algorithm>

#include "data/view/view_internal.h"
#include "runtime/core/type_codes.h"

namespace pellucor::data::view {
namespace {

// Types whose empty value (all zero bytes) is the lowest in key order.
bool EmptyIsLowest(runtime::TypeCode t) {
  using runtime::TypeCode;
  return t == TypeCode::kDate || t == TypeCode::kTime || t == TypeCode::kByte ||
         t == TypeCode::kUShort || t == TypeCode::kULong;
}

// Records read through the run key for each row delivered (and a floor), before the run is
// sorted instead.
constexpr long kReadsPerRow = 32;
constexpr long kReadFloor = 256;
// Rows delivered through the run key before the rest of the run is sorted: reading a large run
// whole through it would read every record of the file.
constexpr long kMaxRowsByKey = 256;

}  // namespace

void View::Impl::PlanRunKey(const std::vector<OrderComponent>& ord) {
  run_key.reset();
  plan.first_run_key = nullptr;
  if (!plan.sorts || given <= 0 || !key_plan || !joins.empty() || options.watch) return;
  if (sort_components.size() != ord.size()) return;
  FileDecl& primary = *decl.primary;
  const RecordLayout& layout = files[0].layout;
  for (const auto& k : primary.keys) {
    if (k.get() == plan.key || !UsableKey(primary, *k)) continue;
    const std::vector<KeyComponent> comps = BindKeyComponents(*k, layout, primary.RecordBuffer());
    int gives = 0;
    bool backward = false;
    for (size_t i = 0; i < comps.size(); ++i) {
      const size_t o = static_cast<size_t>(given) + i;
      if (o >= sort_components.size()) break;
      const KeyComponent& s = sort_components[o];
      const KeyComponent& c = comps[i];
      if (ord[o].file != nullptr && ord[o].file != decl.primary) break;
      if (c.field != s.field || c.nocase != s.nocase) break;
      const bool reversed = c.descending != s.descending;
      if (i > 0 && reversed != backward) break;
      backward = reversed;
      ++gives;
    }
    if (gives == 0) continue;
    const bool opt = (k->flags & key_flag::kOpt) != 0;
    if (opt) {
      // The records it leaves out must belong at the end of the order it is read in: empty
      // values that are the lowest, read from the highest.
      bool fits = backward;
      for (const KeyComponent& c : comps) fits = fits && EmptyIsLowest(c.field->type);
      if (!fits) continue;
    }
    if (!run_key || gives > run_key->gives) {
      RunKey r;
      r.key = k.get();
      r.gives = gives;
      r.backward = backward;
      r.opt = opt;
      run_key = std::move(r);
    }
  }
  if (run_key) plan.first_run_key = run_key->key;
}

int32_t View::Impl::StartRunByKey(const std::vector<SortValue>& first_values) {
  RunKey& r = *run_key;
  r.started = true;
  r.active = true;
  r.run_values.assign(first_values.begin(), first_values.begin() + given);
  OpArgs args;
  args.key = r.key;
  args.trace = options.route;
  const int32_t e = Dispatch(*decl.primary, Op::kSETkey, args).error;
  (void)TakeNewSequence(*decl.primary);
  if (e != 0) return e;
  return MoreRunByKey();
}

// The record in the buffers belongs to the first run: the view's key would read it there (its
// key-given values are the run's, it lies in the key's range and the key holds it) and the
// filter takes it.
bool View::Impl::RunMember() {
  const RunKey& r = *run_key;
  for (int i = 0; i < given; ++i) {
    const KeyComponent& c = sort_components[static_cast<size_t>(i)];
    if (Compare(c, ValueOf(c), r.run_values[static_cast<size_t>(i)]) != 0) return false;
  }
  const KeyPlan& kp = *key_plan;
  if (kp.BeforeStart(ScanDirection::kForward) || kp.PastEnd(ScanDirection::kForward)) return false;
  if (kp.key->flags & key_flag::kOpt) {
    bool all_empty = true;
    for (const KeyComponent& c : kp.components) {
      const SortValue v = ValueOf(c);
      all_empty = all_empty && (c.text ? v.text.empty() : v.real == 0);
    }
    if (all_empty) return false;
  }
  return !tree || runtime::expr::EvaluateBoolean(*tree);
}

// Reads the next record through the run key into *out; 33 at the key's end.
int32_t View::Impl::ReadByRunKey(RunKey::Candidate* out) {
  RunKey& r = *run_key;
  FileDecl& primary = *decl.primary;
  OpArgs args;
  args.trace = options.route;
  if (!files[0].read_memos) {
    if (const int32_t e = Dispatch(primary, Op::kNOMEMO, args).error) return e;
  }
  const int32_t e = Dispatch(primary, r.backward ? Op::kPREVIOUS : Op::kNEXT, args).error;
  if (e == err::kRecordNotAvailable) {
    runtime::ClearError();
    r.at_end = true;
    return e;
  }
  if (e != 0) return e;
  ++r.read;
  out->values.clear();
  for (const KeyComponent& c : sort_components) out->values.push_back(ValueOf(c));
  out->member = RunMember();
  out->row.clear();
  out->run_position.clear();
  if (!out->member) return 0;
  // The row as the steps would capture it: identified by its record.
  OpArgs pos;
  pos.trace = options.route;
  OpResult file_pos = Dispatch(primary, Op::kPOSITIONfile, pos);
  if (file_pos.error != 0) return file_pos.error;
  identity.clear();
  AppendPart(&identity, file_pos.text);
  codec.Capture(identity, &out->row);
  pos.key = plan.key;
  OpResult key_pos = Dispatch(primary, Op::kPOSITIONkey, pos);
  if (key_pos.error != 0) return key_pos.error;
  out->run_position = std::move(key_pos.text);
  return 0;
}

int32_t View::Impl::MoreRunByKey() {
  RunKey& r = *run_key;
  fetched_in_buffers = kNoRow;  // the buffers hold whatever the key read last
  const size_t g = static_cast<size_t>(given);
  const size_t by_key = g + static_cast<size_t>(r.gives);
  auto same_group = [&](const RunKey::Candidate& a, const RunKey::Candidate& b) {
    for (size_t i = g; i < by_key; ++i) {
      if (Compare(sort_components[i], a.values[i], b.values[i]) != 0) return false;
    }
    return true;
  };
  auto empty_group = [&](const RunKey::Candidate& a) {
    for (size_t i = g; i < by_key; ++i) {
      if (a.values[i].real != 0 || !a.values[i].text.empty()) return false;
    }
    return true;
  };
  // The rest of the run sorted the ordinary way, without the rows delivered so far.
  auto sort_the_rest = [&](long stored) -> int32_t {
    r.active = false;
    r.next.reset();
    if (const int32_t e = step->Start(ScanDirection::kForward)) return e;
    tree_done = false;
    lookahead.reset();
    const int32_t e = CollectRun(r.delivered);
    return stored > 0 && e == err::kRecordNotAvailable ? 0 : e;
  };
  const long wanted = 1 + static_cast<long>(ReadAhead());
  const long budget = kReadFloor + kReadsPerRow * (r.delivered + wanted);
  long stored = 0;
  while (stored < wanted) {
    if (r.delivered >= kMaxRowsByKey) return sort_the_rest(stored);
    std::vector<RunKey::Candidate> group;
    if (r.next) {
      group.push_back(std::move(*r.next));
      r.next.reset();
    } else if (!r.at_end) {
      RunKey::Candidate c;
      const int32_t e = ReadByRunKey(&c);
      if (e != 0 && e != err::kRecordNotAvailable) return e;
      if (e == 0) group.push_back(std::move(c));
    }
    // At the key's end the records it leaves out and the next run are still to come; a group
    // of empty values may miss records the key leaves out.
    if (group.empty() || (r.opt && empty_group(group.front()))) return sort_the_rest(stored);
    for (;;) {
      RunKey::Candidate c;
      const int32_t e = ReadByRunKey(&c);
      if (e == err::kRecordNotAvailable) break;
      if (e != 0) return e;
      if (!same_group(group.front(), c)) {
        r.next = std::move(c);
        break;
      }
      group.push_back(std::move(c));
    }
    if (r.read > budget) return sort_the_rest(stored);
    std::erase_if(group, [](const RunKey::Candidate& c) { return !c.member; });
    std::stable_sort(group.begin(), group.end(),
                     [&](const RunKey::Candidate& a, const RunKey::Candidate& b) {
                       for (size_t i = by_key; i < sort_components.size(); ++i) {
                         const int c = Compare(sort_components[i], a.values[i], b.values[i]);
                         if (c != 0) return c < 0;
                       }
                       return a.run_position < b.run_position;
                     });
    for (const RunKey::Candidate& c : group) {
      uint64_t offset = 0;
      if (const int32_t e = Store(c.row, &offset)) return e;
      rows.push_back({offset});
      ++r.delivered;
      ++stored;
    }
  }
  return 0;
}

}  // namespace pellucor::data::view
