// The view object: planning at SETview, the row buffer and the cursor over it, and the
// operations a program applies to a view.
//
// The row buffer holds the rows produced since the view was set, in order, as a window that can
// grow at both ends: NEXT past its back reads further forwards, PREVIOUS before its front reads
// further backwards. The step tree has one position in its files; when a read is needed at the
// other end of the window than the one the tree last read, the tree resumes at that end's row
// (ResumeAt) and the row itself, read again, is dropped.
//
// A view that sorts (part of its order comes from no key) reads in key order and sorts each run
// of rows whose key-given components are equal, run by run as the caller reads further; such a
// view's window always starts at the first row.
#include "data/view/view_internal.h"

#include <algorithm>

#include "runtime/core/error_state.h"
#include "runtime/values/compare.h"

namespace pellucor::data::view {

using runtime::expr::Truth3;

bool UsableKey(FileDecl& file, const KeyDecl& key) {
  if (!key.MustBeBuilt()) return true;
  FileBlock* block = file.Block();
  if (!block) return false;
  const KeySlot* slot = block->SlotOf(&key);
  return slot && slot->built;
}

View::Impl::Impl(ViewDecl d) : decl(std::move(d)) {
  files.reserve(8);
  AddFile(decl.primary, decl.project);
  for (const JoinDecl& j : decl.joins) Flatten(j);
}

void View::Impl::AddFile(FileDecl* file, const Projection& projection) {
  ViewFile vf;
  vf.file = file;
  if (file) {
    if (auto layout = DecodeRecordDescriptor(file->record_descriptor)) vf.layout = *layout;
    bool memo_projected = projection.Empty() ? !file->memos.empty() : !projection.memos.empty();
    vf.read_memos = memo_projected || file->memos.empty();
  }
  files.push_back(std::move(vf));
  projections.push_back(projection);
}

void View::Impl::Flatten(const JoinDecl& j) {
  AddFile(j.file, j.project);
  FlatJoin fj;
  fj.file_index = files.size() - 1;
  fj.key = j.key;
  fj.links = j.links;
  fj.kind = j.kind;
  joins.push_back(std::move(fj));
  for (const JoinDecl& nested : j.joins) Flatten(nested);
}

std::vector<AddressRange> View::Impl::InView() {
  std::vector<AddressRange> out;
  for (ViewFile& f : files) {
    if (!f.file) continue;
    const uint8_t* r = f.file->RecordBuffer();
    out.push_back({r, r + f.file->record_length});
  }
  return out;
}

ViewFile* View::Impl::FileOf(const FileDecl* file) {
  if (file == nullptr) return &files[0];
  for (ViewFile& f : files)
    if (f.file == file) return &f;
  return nullptr;
}

bool View::Impl::BindOrderComponent(const OrderComponent& o, bool key_case, KeyComponent* out) {
  ViewFile* vf = FileOf(o.file);
  if (!vf || o.field < 1 || static_cast<size_t>(o.field) > vf->layout.fields.size()) return false;
  const FieldInfo& f = vf->layout.fields[static_cast<size_t>(o.field - 1)];
  out->field = &f;
  out->address = vf->file->RecordBuffer() + f.offset;
  out->descending = o.direction == Direction::kDescending;
  out->text = runtime::IsTextType(f.type) || f.type == runtime::TypeCode::kGroup;
  out->nocase = out->text && (key_case ? false : o.letter_case == Case::kInsensitive);
  out->accessor.emplace(runtime::AccessorFactory(f.type, out->address, f.size, f.places));
  return true;
}

// ---- Planning -------------------------------------------------------------------------------

int View::Impl::GivenBy(const KeyDecl& key, const std::vector<OrderComponent>& ord) const {
  int n = 0;
  for (size_t i = 0; i < ord.size() && i < key.components.size(); ++i) {
    const OrderComponent& o = ord[i];
    if (o.file != nullptr && o.file != decl.primary) break;
    const int32_t c = key.components[i];
    if ((c < 0 ? -c : c) != o.field) break;
    if ((c < 0) != (o.direction == Direction::kDescending)) break;
    ++n;
  }
  return n;
}

void View::Impl::PlanReads(const std::vector<AddressRange>& in_view) {
  FileDecl& primary = *decl.primary;
  ViewFile& pf = files[0];
  uint8_t* record = primary.RecordBuffer();
  std::vector<OrderComponent> ord = order;
  if (ord.empty() && key_choice) ord = KeyOrder(*key_choice);

  plan = Plan{};
  key_plan.reset();
  plan.always_false = FilterTruth(tree.get(), in_view) == Truth3::kAlwaysFalse;

  if (key_choice) {
    key_plan = PlanKey(tree.get(), *key_choice, pf.layout, record, in_view);
  } else {
    // A key the engine picks must hold every record the filter may admit: an OPT key only when
    // its range leaves out the records it omits.
    std::optional<KeyPlan> best;
    int best_given = 0, best_score = 0;
    for (const auto& k : primary.keys) {
      if (!UsableKey(primary, *k)) continue;
      KeyPlan kp = PlanKey(tree.get(), *k, pf.layout, record, in_view);
      if ((k->flags & key_flag::kOpt) && !kp.ExcludesEmpty()) continue;
      const int given = GivenBy(*k, ord);
      const int score = kp.single_values * 2 + (kp.bounded > kp.single_values ? 1 : 0);
      if (given > best_given || (given == best_given && score > best_score)) {
        best_given = given;
        best_score = score;
        best = std::move(kp);
      }
    }
    if (best && (best_given > 0 || best_score > 0)) key_plan = std::move(best);
  }

  given = key_plan ? GivenBy(*key_plan->key, ord) : 0;
  if (key_plan && given == 0 && !ord.empty() && key_plan->bounded == 0 && !key_choice) {
    key_plan.reset();  // an unbounded key read gains nothing over a physical one when sorting
  }
  plan.key = key_plan ? key_plan->key : nullptr;
  plan.bounded_components = key_plan ? key_plan->bounded : 0;
  plan.key_order_components = given;
  plan.sorts = static_cast<size_t>(given) < ord.size();

  sort_components.clear();
  for (size_t i = 0; i < ord.size(); ++i) {
    KeyComponent c;
    const bool key_given = static_cast<int>(i) < given;
    if (!BindOrderComponent(ord[i], key_given, &c)) continue;
    if (key_given) c.nocase = c.text && (key_plan->key->flags & key_flag::kNoCase) != 0;
    sort_components.push_back(std::move(c));
  }
  if (static_cast<size_t>(given) > sort_components.size()) given = 0;
  PlanRunKey(ord);
}

int32_t View::Impl::Build(int from_buffer) {
  FileDecl& primary = *decl.primary;
  // A locator's start: the values of the leading order components, taken before planning
  // writes range starts into the buffer.
  floor.clear();
  floor_active = false;

  // Bind every field of the view's files by its label in a scope of its own; the tree keeps
  // the bindings it uses alive after the scope is gone.
  tree.reset();
  if (!filter_text.empty() && filter_text.find_first_not_of(" \t") != std::string::npos) {
    runtime::expr::PUSHSCOPE(runtime::expr::OuterNames::kVisible);
    for (ViewFile& f : files) {
      uint8_t* record = f.file->RecordBuffer();
      for (const FieldInfo& info : f.layout.fields) {
        runtime::expr::BIND(info.label, info.type, record + info.offset, info.size, info.places);
      }
    }
    runtime::expr::CompileFailure why;
    tree = runtime::expr::CompileExpression(filter_text, &why);
    runtime::expr::POPSCOPE();
    if (!tree) {
      if (why.kind == runtime::expr::CompileFailure::Kind::kUnknownName) {
        return runtime::expr::err::kNoBind;  // posted by the compiler
      }
      runtime::PostError(runtime::expr::err::kInvalidEvaluate);
      return runtime::expr::err::kInvalidEvaluate;
    }
  }

  const std::vector<AddressRange> in_view = InView();
  {
    std::vector<OrderComponent> ord = order;
    if (ord.empty() && key_choice) ord = KeyOrder(*key_choice);
    for (int i = 0; i < from_buffer && static_cast<size_t>(i) < ord.size(); ++i) {
      KeyComponent c;
      if (!BindOrderComponent(ord[static_cast<size_t>(i)], false, &c)) break;
      floor.push_back(ValueOf(c));
    }
  }
  PlanReads(in_view);
  if (!floor.empty()) {
    floor.resize(std::min(floor.size(), sort_components.size()));
    floor_active = !floor.empty();
  }

  // The steps: the primary's scan, the joins above it, the filter on top.
  step.reset();
  entry_filter.reset();
  if (key_plan) entry_filter = EntryFilter::Make(tree.get(), key_plan->components, in_view);
  std::unique_ptr<Step> s = MakeScan(files[0], key_plan, plan.sorts, options,
                                     entry_filter ? &entry_filter->Test() : nullptr);
  std::vector<ViewFile*> earlier = {&files[0]};
  for (const FlatJoin& j : joins) {
    ViewFile& jf = files[j.file_index];
    s = MakeJoin(std::move(s), jf, j.key, j.links, j.kind, earlier, options);
    earlier.push_back(&jf);
  }
  step = MakeFilter(std::move(s), tree.get());

  codec = RowCodec();
  for (size_t i = 0; i < files.size(); ++i) {
    codec.AddFile(*files[i].file, files[i].layout, projections[i]);
  }
  EmptyBuffer();
  (void)TakeNewSequence(primary);
  set = true;
  return 0;
}

void View::Impl::EmptyBuffer() {
  fetched_in_buffers = kNoRow;
  store.Clear();
  store.SetEnv(env);
  rows.clear();
  has_current = false;
  cur = 0;
  edge = Edge::kNone;
  source = Source::kFresh;
  begin_known = false;
  end_known = false;
  lookahead.reset();
  tree_done = false;
  start_next = 0;
  start_prev = -1;
  if (run_key) {
    RunKey planned;
    planned.key = run_key->key;
    planned.gives = run_key->gives;
    planned.backward = run_key->backward;
    planned.opt = run_key->opt;
    run_key = std::move(planned);
  }
}

// ---- Producing rows -------------------------------------------------------------------------

SortValue View::Impl::ValueOf(const KeyComponent& c) const {
  SortValue v;
  if (c.text) {
    std::string_view t(reinterpret_cast<const char*>(c.address), c.field->size);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    v.text.assign(t);
  } else {
    v.real = (*c.accessor)->GetReal();
  }
  return v;
}

int View::Impl::Compare(const KeyComponent& c, const SortValue& a, const SortValue& b) {
  int r = 0;
  if (c.text) {
    r = runtime::OrderSign(c.nocase ? runtime::CompareStringsNoCase(a.text, b.text)
                                    : runtime::CompareStrings(a.text, b.text));
  } else {
    r = a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
  }
  return c.descending ? -r : r;
}

// The row's place against the locator's start: negative before it.
int View::Impl::CompareWithFloor() const {
  for (size_t i = 0; i < floor.size(); ++i) {
    const int r = Compare(sort_components[i], ValueOf(sort_components[i]), floor[i]);
    if (r != 0) return r;
  }
  return 0;
}

int32_t View::Impl::FetchRow(ScanDirection d, std::string* row) {
  fetched_in_buffers = kNoRow;
  if (const int32_t e = step->Fetch(d)) return e;
  identity.clear();
  if (const int32_t e = step->AppendIdentity(&identity)) return e;
  codec.Capture(identity, row);
  return 0;
}

int32_t View::Impl::Store(const std::string& row, uint64_t* offset) {
  if (!store.Append(row, offset)) {
    runtime::SetFileError("TMP",
                          "The view's row buffer could not be written to its temporary file");
    runtime::PostError(err::kFileSystemError);
    return err::kFileSystemError;
  }
  return 0;
}

// Streaming: rows in the order the steps give them, the window growing at either end.
int32_t View::Impl::Extend(ScanDirection d) {
  const bool forward = d == ScanDirection::kForward;
  if (forward ? end_known : begin_known) return err::kRecordNotAvailable;
  std::string skip;
  switch (source) {
    case Source::kFresh:
      if (const int32_t e = step->Start(d)) return e;
      if (!floor_active) (forward ? begin_known : end_known) = true;
      break;
    case Source::kResumed:
      break;
    case Source::kForward:
    case Source::kBackward:
      if (rows.empty()) {
        // Nothing read yet to resume at (a locator's start found no row that way): start over.
        if (const int32_t e = step->Start(d)) return e;
      } else if ((source == Source::kForward) != forward) {
        // The tree last read at the other end of the window: resume at this end's row.
        if (!RowIdentity(forward ? rows.back().offset : rows.front().offset, &skip)) {
          return BufferFailure();
        }
        std::string_view id = skip;
        if (const int32_t e = step->ResumeAt(&id)) return e;
      }
      break;
  }
  source = forward ? Source::kForward : Source::kBackward;

  const size_t wanted = 1 + ReadAhead();
  size_t got = 0;
  std::string row;
  while (got < wanted) {
    const int32_t e = FetchRow(d, &row);
    if (e == err::kRecordNotAvailable) {
      (forward ? end_known : begin_known) = true;
      break;
    }
    if (e != 0) return e;
    if (!skip.empty() && identity == skip) {
      skip.clear();
      continue;
    }
    skip.clear();
    if (floor_active) {
      const int c = CompareWithFloor();
      if (forward ? c < 0 : c >= 0) continue;
      floor_active = false;
    }
    uint64_t offset = 0;
    if (const int32_t e2 = Store(row, &offset)) return e2;
    fetched_in_buffers = offset;
    if (forward) {
      rows.push_back({offset});
    } else {
      rows.push_front({offset});
      ++cur;
    }
    ++got;
  }
  return got > 0 ? 0 : err::kRecordNotAvailable;
}

// Sorting: the next run of rows with equal key-given components, sorted by the rest.
int32_t View::Impl::NextRun() {
  if (run_key && run_key->active) return MoreRunByKey();
  return CollectRun(0);
}

// Reads the next run from the steps and sorts it; the first `skip` rows of the sorted run were
// stored already (read through the run key) and are dropped.
int32_t View::Impl::CollectRun(long skip) {
  for (;;) {
    if (end_known) return err::kRecordNotAvailable;
    const bool first_run = source == Source::kFresh;
    if (first_run) {
      if (const int32_t e = step->Start(ScanDirection::kForward)) return e;
      source = Source::kForward;
      begin_known = true;
    }
    struct Pending {
      std::string row;
      std::vector<SortValue> values;
    };
    std::vector<Pending> run;
    auto fetch = [&](Pending* p) -> int32_t {
      if (tree_done) return err::kRecordNotAvailable;
      const int32_t e = FetchRow(ScanDirection::kForward, &p->row);
      if (e == err::kRecordNotAvailable) tree_done = true;
      if (e != 0) return e;
      p->values.clear();
      for (const KeyComponent& c : sort_components) p->values.push_back(ValueOf(c));
      return 0;
    };
    auto same_run = [&](const Pending& a, const Pending& b) {
      for (int i = 0; i < given; ++i) {
        if (Compare(sort_components[static_cast<size_t>(i)], a.values[static_cast<size_t>(i)],
                    b.values[static_cast<size_t>(i)]) != 0)
          return false;
      }
      return true;
    };
    if (lookahead) {
      run.push_back({std::move(lookahead->row), std::move(lookahead->values)});
      lookahead.reset();
    } else {
      Pending p;
      const int32_t e = fetch(&p);
      if (e == err::kRecordNotAvailable) end_known = true;
      if (e != 0) return e;
      if (first_run && run_key && !run_key->started) return StartRunByKey(p.values);
      run.push_back(std::move(p));
    }
    for (;;) {
      Pending p;
      const int32_t e = fetch(&p);
      if (e == err::kRecordNotAvailable) break;
      if (e != 0) return e;
      if (given > 0 && !same_run(run.front(), p)) {
        lookahead = Lookahead{std::move(p.row), std::move(p.values)};
        break;
      }
      run.push_back(std::move(p));
    }
    if (tree_done && !lookahead) end_known = true;
    std::stable_sort(run.begin(), run.end(), [&](const Pending& a, const Pending& b) {
      for (size_t i = static_cast<size_t>(given); i < sort_components.size(); ++i) {
        const int r = Compare(sort_components[i], a.values[i], b.values[i]);
        if (r != 0) return r < 0;
      }
      return false;
    });
    const size_t from = std::min(run.size(), static_cast<size_t>(skip));
    for (size_t i = from; i < run.size(); ++i) {
      uint64_t offset = 0;
      if (const int32_t e = Store(run[i].row, &offset)) return e;
      rows.push_back({offset});
    }
    if (from < run.size()) return 0;
    skip = 0;  // the whole run was stored already: on to the next one
  }
}

int32_t View::Impl::More(ScanDirection d) {
  if (plan.always_false) {
    begin_known = end_known = true;
    return err::kRecordNotAvailable;
  }
  if (!plan.sorts) return Extend(d);
  if (d == ScanDirection::kBackward) return err::kRecordNotAvailable;  // the window starts at row 1
  return NextRun();
}

size_t View::Impl::ReadAhead() const {
  return static_cast<size_t>(buffer.page_size) * buffer.pages_ahead;
}

bool View::Impl::RowIdentity(uint64_t offset, std::string* out) {
  std::string row;
  return store.Read(offset, &row) && RowCodec::IdentityOf(row, out);
}

int32_t View::Impl::BufferFailure() {
  runtime::SetFileError("TMP", "The view's row buffer could not be read from its temporary file");
  runtime::PostError(err::kFileSystemError);
  return err::kFileSystemError;
}

int32_t View::Impl::ShowRow(size_t index) {
  const bool in_buffers = rows[index].offset == fetched_in_buffers;
  fetched_in_buffers = kNoRow;
  if (in_buffers) {
    current_identity = identity;
  } else {
    std::string row;
    if (!store.Read(rows[index].offset, &row) || !codec.Restore(row, &current_identity)) {
      return BufferFailure();
    }
  }
  cur = index;
  has_current = true;
  edge = Edge::kNone;
  return 0;
}

// Sorting views find a position by materialising runs until the row appears.
int32_t View::Impl::FindSorted(const std::function<bool(const std::string&)>& match,
                               size_t* index) {
  std::string id;
  for (size_t i = 0;; ++i) {
    while (i >= rows.size()) {
      const int32_t e = More(ScanDirection::kForward);
      if (e == err::kRecordNotAvailable) return err::kRecordNotFound;
      if (e != 0) return e;
    }
    if (!RowIdentity(rows[i].offset, &id)) return BufferFailure();
    if (match(id)) {
      *index = i;
      return 0;
    }
  }
}

int32_t View::Impl::Move(ScanDirection d) {
  if (!set) return err::kRecordNotAvailable;
  // A SET made on the primary file since the view last read starts the sequence again.
  if (TakeNewSequence(*decl.primary)) {
    if (const int32_t e = Build(0)) return e;
  }
  const bool forward = d == ScanDirection::kForward;
  if (!has_current) {
    if (plan.sorts) {
      if (!forward && start_prev < 0 && source == Source::kFresh && !floor_active) {
        // PREVIOUS first: the last row, so every run is needed.
        for (;;) {
          const int32_t e = More(ScanDirection::kForward);
          if (e == err::kRecordNotAvailable) break;
          if (e != 0) return e;
        }
        if (rows.empty()) return err::kRecordNotAvailable;
        return ShowRow(rows.size() - 1);
      }
      if (floor_active) {
        // The first row not before the locator's start.
        size_t i = 0;
        std::string row;
        for (;; ++i) {
          while (i >= rows.size()) {
            const int32_t e = More(ScanDirection::kForward);
            if (e == err::kRecordNotAvailable) break;
            if (e != 0) return e;
          }
          if (i >= rows.size()) break;
          if (const int32_t e = ShowRow(i)) return e;
          if (CompareWithFloor() >= 0) break;
        }
        floor_active = false;
        has_current = false;
        start_next = static_cast<long>(i);
        start_prev = static_cast<long>(i) - 1;
      }
      const long want = forward ? start_next : start_prev;
      if (want < 0) return err::kRecordNotAvailable;
      while (static_cast<size_t>(want) >= rows.size()) {
        if (const int32_t e = More(ScanDirection::kForward)) return e;
      }
      return ShowRow(static_cast<size_t>(want));
    }
    rows.clear();
    cur = 0;
    if (const int32_t e = More(d)) return e;
    // Reading backwards, every row added at the front moved `cur` on: the first one read (the
    // row wanted) is the last of them.
    return ShowRow(forward ? 0 : cur - 1);
  }
  // A read that ran off an end leaves the cursor beyond it: the next read the other way returns
  // the row at that end again.
  if (edge != Edge::kNone) {
    const bool back_inside = (edge == Edge::kPastEnd) != forward;
    if (back_inside) return ShowRow(cur);
    return err::kRecordNotAvailable;
  }
  if (forward) {
    if (cur + 1 >= rows.size()) {
      const int32_t e = More(d);
      if (e == err::kRecordNotAvailable) edge = Edge::kPastEnd;
      if (e != 0) return e;
    }
    return ShowRow(cur + 1);
  }
  if (cur == 0) {
    const int32_t e = More(d);  // a row added at the front moves `cur` on
    if (e == err::kRecordNotAvailable) edge = Edge::kBeforeStart;
    if (e != 0) return e;
    if (cur == 0) return err::kRecordNotAvailable;
  }
  return ShowRow(cur - 1);
}

// ---- Operations -----------------------------------------------------------------------------

int32_t View::Impl::DoOpen() {
  if (open) return 0;
  // A driver could execute the view itself; neither driver of this system does (both answer 0),
  // so the engine always runs the steps.
  if (decl.primary) (void)Dispatch(*decl.primary, Op::kQUERY_VIEW);
  for (size_t i = 0; i < files.size(); ++i) {
    if (!files[i].file) return err::kFileNotOpen;
    OpArgs args;
    args.trace = options.route;
    const int32_t e = Dispatch(*files[i].file, Op::kINVIEW, args).error;
    // -1: the file is already in another view; it stays marked.
    if (e != 0 && e != err::kSilent) {
      for (size_t k = 0; k < i; ++k) {
        OpArgs end;
        end.trace = options.route;
        (void)Dispatch(*files[k].file, Op::kENDVIEW, end);
      }
      return e;
    }
  }
  open = true;
  runtime::ClearError();
  return 0;
}

int32_t View::Impl::DoClose() {
  if (!open) return 0;
  step.reset();
  entry_filter.reset();
  tree.reset();
  key_plan.reset();
  EmptyBuffer();
  set = false;
  open = false;
  int32_t result = 0;
  for (ViewFile& f : files) {
    if (!f.file || !f.file->Block()) continue;
    OpArgs args;
    args.trace = options.route;
    const int32_t e = Dispatch(*f.file, Op::kENDVIEW, args).error;
    if (e != 0 && e != err::kSilent && result == 0) result = e;
  }
  if (result == 0) runtime::ClearError();
  return result;
}

int32_t View::Impl::DoSet(int from_buffer) {
  if (!open) return err::kFileNotOpen;
  OpArgs args;
  args.trace = options.route;
  if (const int32_t e = Dispatch(*decl.primary, Op::kSETview, args).error) return e;
  if (const int32_t e = Build(from_buffer)) return e;
  runtime::ClearError();
  return 0;
}

int32_t View::Impl::DoReset(std::string_view position) {
  if (!open) return err::kFileNotOpen;
  if (!set) {
    if (const int32_t e = DoSet(0)) return e;
  }
  if (position.find_first_not_of(' ') == std::string_view::npos) return err::kRecordNotFound;
  if (position.size() < 2 || position[0] != 'V' || position[1] != (plan.sorts ? 'S' : 'K')) {
    return err::kRecordNotFound;
  }
  const std::string id(position.substr(2));
  (void)TakeNewSequence(*decl.primary);
  EmptyBuffer();
  if (plan.sorts) {
    size_t index = 0;
    if (const int32_t e = FindSorted([&](const std::string& s) { return s == id; }, &index)) {
      return e;
    }
    start_next = static_cast<long>(index);
    start_prev = static_cast<long>(index);
    return 0;
  }
  std::string_view rest = id;
  if (const int32_t e = step->ResumeAt(&rest)) return e;
  source = Source::kResumed;
  return 0;
}

int32_t View::Impl::DoResetViewFile() {
  if (!open) return err::kFileNotOpen;
  FileDecl& primary = *decl.primary;
  OpArgs args;
  args.trace = options.route;
  if (const int32_t e = Dispatch(primary, Op::kRESETviewfile, args).error) return e;
  (void)TakeNewSequence(primary);
  if (!set) {
    if (const int32_t e = Build(0)) return e;
  }
  // The primary's current record, read again so that its buffer and its position agree.
  OpArgs pos;
  pos.trace = options.route;
  OpResult file_pos = Dispatch(primary, Op::kPOSITIONfile, pos);
  if (file_pos.error != 0) return file_pos.error;
  OpArgs reget;
  reget.trace = options.route;
  reget.position = file_pos.text;
  if (const int32_t e = Dispatch(primary, Op::kREGETfile, reget).error) return e;

  std::string primary_part;
  if (plan.sorts || !plan.key) {
    primary_part = file_pos.text;
  } else {
    OpArgs key_pos;
    key_pos.trace = options.route;
    key_pos.key = plan.key;
    OpResult r = Dispatch(primary, Op::kPOSITIONkey, key_pos);
    if (r.error != 0) return r.error;
    primary_part = r.text;
  }
  std::string id;
  AppendPart(&id, primary_part);
  EmptyBuffer();
  if (plan.sorts) {
    size_t index = 0;
    const int32_t e =
        FindSorted([&](const std::string& s) { return s.compare(0, id.size(), id) == 0; }, &index);
    if (e != 0) return e;
    start_next = static_cast<long>(index);
    start_prev = static_cast<long>(index);
    return 0;
  }
  for (size_t i = 0; i < joins.size(); ++i) AppendPart(&id, {});
  std::string_view rest = id;
  if (const int32_t e = step->ResumeAt(&rest)) return e;
  source = Source::kResumed;
  return 0;
}

std::string View::Impl::DoPosition() {
  if (!has_current) return {};
  return std::string("V") + (plan.sorts ? 'S' : 'K') + current_identity;
}

// ---- The public face: each operation posts its outcome and writes its trace line ------------

View::View(ViewDecl decl) : impl_(std::make_unique<Impl>(std::move(decl))) {
  impl_->ReadTraceSwitches();
}

View::~View() {
  if (impl_->open) (void)impl_->DoClose();
}

int32_t View::Open() {
  const int64_t start = impl_->TraceStart();
  if (impl_->profile) impl_->TraceText(FormatViewDeclaration(impl_->decl));
  return impl_->Finish("OPEN", impl_->DoOpen(), start);
}

int32_t View::Close() {
  const int64_t start = impl_->TraceStart();
  return impl_->Finish("CLOSE", impl_->DoClose(), start);
}

bool View::IsOpen() const {
  return impl_->open;
}

void View::SetFilter(std::string text) {
  impl_->filter_text = std::move(text);
}
const std::string& View::Filter() const {
  return impl_->filter_text;
}
void View::SetKey(const KeyDecl* key) {
  impl_->key_choice = key;
}
void View::SetOrder(std::vector<OrderComponent> order) {
  impl_->order = std::move(order);
}
const std::vector<OrderComponent>& View::Order() const {
  return impl_->order;
}

int32_t View::Set(int from_buffer) {
  const int64_t start = impl_->TraceStart();
  return impl_->Finish("SETview", impl_->DoSet(from_buffer), start);
}

int32_t View::Next() {
  const int64_t start = impl_->TraceStart();
  return impl_->Finish("NEXT", impl_->Move(ScanDirection::kForward), start);
}

int32_t View::Previous() {
  const int64_t start = impl_->TraceStart();
  return impl_->Finish("PREVIOUS", impl_->Move(ScanDirection::kBackward), start);
}

std::string View::Position() {
  const int64_t start = impl_->TraceStart();
  std::string p = impl_->DoPosition();
  (void)impl_->Finish("POSITION", p.empty() ? err::kRecordNotAvailable : 0, start);
  return p;
}

int32_t View::Reset(std::string_view position) {
  const int64_t start = impl_->TraceStart();
  return impl_->Finish("RESET", impl_->DoReset(position), start);
}

int32_t View::ResetViewFile() {
  const int64_t start = impl_->TraceStart();
  return impl_->Finish("RESETviewfile", impl_->DoResetViewFile(), start);
}

int32_t View::Reget(std::string_view position) {
  const int64_t start = impl_->TraceStart();
  int32_t result = err::kRecordNotFound;
  std::string part;
  std::string_view rest = position.size() >= 2 ? position.substr(2) : std::string_view{};
  if (!impl_->open) {
    result = err::kFileNotOpen;
  } else if (position.size() >= 2 && position[0] == 'V' &&
             position[1] == (impl_->plan.sorts ? 'S' : 'K') && TakePart(&rest, &part)) {
    // The row's first part is the primary's position as its scan took it: by record for a
    // sorting view or a physical scan, else by the key it read.
    OpArgs args;
    args.trace = impl_->options.route;
    args.position = std::move(part);
    const bool by_file = impl_->plan.sorts || impl_->plan.key == nullptr;
    if (!by_file) args.key = impl_->plan.key;
    result = Dispatch(*impl_->decl.primary, by_file ? Op::kREGETfile : Op::kREGETkey, args).error;
  }
  return impl_->Finish("REGET", result, start);
}

int32_t View::Buffer(const BufferSettings& settings) {
  const int64_t start = impl_->TraceStart();
  impl_->buffer = settings;
  return impl_->Finish("BUFFER", impl_->open ? 0 : err::kFileNotOpen, start);
}

void View::SetWatch(bool watch) {
  impl_->options.watch = watch;
}

const Plan& View::CurrentPlan() const {
  return impl_->plan;
}
size_t View::BufferedRows() const {
  return impl_->rows.size();
}
bool View::BufferSpilled() const {
  return impl_->store.Spilled();
}
const std::string& View::TemporaryFile() const {
  return impl_->store.Path();
}
void View::SetEnv(platform::Env* env) {
  impl_->env = env;
  impl_->store.SetEnv(env);
}

}  // namespace pellucor::data::view
