// The view object's state, shared by the files of the engine (view.cpp, view_trace.cpp).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/view/entry_filter.h"
#include "data/view/key_plan.h"
#include "data/view/row_codec.h"
#include "data/view/row_store.h"
#include "data/view/steps.h"
#include "data/view/view.h"
#include "runtime/core/error_state.h"
#include "runtime/expr/expression.h"

namespace pellucor::data::view {

namespace err = runtime::err;

// Whether a key can be read: built, when it is an INDEX or a dynamic index.
bool UsableKey(FileDecl& file, const KeyDecl& key);

// One order component's value in a row, kept beside the row while its run is sorted.
struct SortValue {
  double real = 0;
  std::string text;
};

struct View::Impl {
  explicit Impl(ViewDecl d);

  // Declaration, flattened: files[0] is the primary, then each join's file depth first.
  struct FlatJoin {
    size_t file_index = 0;
    const KeyDecl* key = nullptr;
    std::vector<LinkField> links;
    JoinKind kind = JoinKind::kOuter;
  };
  ViewDecl decl;
  std::vector<ViewFile> files;
  std::vector<Projection> projections;
  std::vector<FlatJoin> joins;

  // What the program set.
  bool open = false;
  std::string filter_text;
  const KeyDecl* key_choice = nullptr;
  std::vector<OrderComponent> order;
  BufferSettings buffer;
  platform::Env* env = nullptr;

  // Trace switches of the system profile's "QNVIEW" section.
  bool profile = false;
  bool trace_into_files = false;
  std::string trace_file;
  ReadOptions options;

  // Built at SETview.
  bool set = false;
  std::unique_ptr<runtime::expr::Expression> tree;
  std::optional<KeyPlan> key_plan;
  Plan plan;
  int given = 0;                              // leading order components the key gives
  std::vector<KeyComponent> sort_components;  // the whole order, bound to the buffers
  std::unique_ptr<EntryFilter> entry_filter;  // the filter's part a key entry decides
  std::unique_ptr<view::Step> step;
  RowCodec codec;
  std::vector<SortValue> floor;  // a locator's start
  bool floor_active = false;

  // The row buffer and the cursor over it.
  struct Row {
    uint64_t offset = 0;
  };
  enum class Source : uint8_t { kFresh, kResumed, kForward, kBackward };
  RowStore store;
  std::deque<Row> rows;
  size_t cur = 0;
  bool has_current = false;
  enum class Edge : uint8_t { kNone, kPastEnd, kBeforeStart };
  Edge edge = Edge::kNone;  // a read ran off this end of the rows
  Source source = Source::kFresh;
  bool begin_known = false;  // the window's front is the first row
  bool end_known = false;    // the window's back is the last row
  struct Lookahead {
    std::string row;
    std::vector<SortValue> values;
  };
  std::optional<Lookahead> lookahead;  // the first row of the next run

  // The first run read in the order of a second key (run_by_key.cpp). A sorting view spends
  // most of its first page on sorting a large first run whole; when another key gives the
  // order's next components, the run's first rows come from reading that key instead, as far
  // as they are asked for, and the run is sorted only when the reader goes further.
  struct RunKey {
    const KeyDecl* key = nullptr;
    int gives = 0;          // order components after the run's that the key gives
    bool backward = false;  // read the key backwards
    bool opt = false;       // the key leaves out records whose components are all empty
    // State of the first run.
    bool active = false;
    bool started = false;
    bool at_end = false;
    std::vector<SortValue> run_values;  // the run's key-given components
    long delivered = 0;                 // rows of the run stored so far
    long read = 0;                      // records read through the key
    struct Candidate {
      std::string row;
      std::vector<SortValue> values;
      std::string run_position;  // the record's entry in the run key, for ties
      bool member = false;
    };
    std::optional<Candidate> next;  // the first record of the next group
  };
  std::optional<RunKey> run_key;
  bool tree_done = false;
  long start_next = 0;  // sorting views without a current row: the rows NEXT and PREVIOUS give
  long start_prev = -1;
  std::string identity;  // of the row just fetched
  // The buffer offset of the row the record buffers hold because it was the last one fetched
  // and stored (kNoRow otherwise): showing it right away needs no restore. Cleared by every
  // fetch and every ShowRow, so program code never runs between setting and using it.
  static constexpr uint64_t kNoRow = ~uint64_t{0};
  uint64_t fetched_in_buffers = kNoRow;
  std::string current_identity;  // of the current row

  void AddFile(FileDecl* file, const Projection& projection);
  void Flatten(const JoinDecl& j);
  std::vector<AddressRange> InView();
  ViewFile* FileOf(const FileDecl* file);
  bool BindOrderComponent(const OrderComponent& o, bool key_case, KeyComponent* out);
  int GivenBy(const KeyDecl& key, const std::vector<OrderComponent>& ord) const;
  void PlanReads(const std::vector<AddressRange>& in_view);
  int32_t Build(int from_buffer);
  void EmptyBuffer();

  SortValue ValueOf(const KeyComponent& c) const;
  static int Compare(const KeyComponent& c, const SortValue& a, const SortValue& b);
  int CompareWithFloor() const;
  int32_t FetchRow(ScanDirection d, std::string* row);
  int32_t Store(const std::string& row, uint64_t* offset);
  int32_t Extend(ScanDirection d);
  int32_t NextRun();
  int32_t CollectRun(long skip);
  void PlanRunKey(const std::vector<OrderComponent>& ord);
  int32_t StartRunByKey(const std::vector<SortValue>& first_values);
  int32_t MoreRunByKey();
  int32_t ReadByRunKey(RunKey::Candidate* out);
  bool RunMember();
  int32_t More(ScanDirection d);
  size_t ReadAhead() const;
  bool RowIdentity(uint64_t offset, std::string* out);
  int32_t BufferFailure();
  int32_t ShowRow(size_t index);
  int32_t FindSorted(const std::function<bool(const std::string&)>& match, size_t* index);
  int32_t Move(ScanDirection d);

  int32_t DoOpen();
  int32_t DoClose();
  int32_t DoSet(int from_buffer);
  int32_t DoReset(std::string_view position);
  int32_t DoResetViewFile();
  std::string DoPosition();
  int32_t ParseOrder(std::string_view text, std::vector<OrderComponent>* out);

  // Trace (view_trace.cpp).
  void ReadTraceSwitches();
  int64_t TraceStart() const;
  void TraceText(const std::string& text) const;
  // Posts the result as a file operation would (0 clears the error state) and traces it.
  int32_t Finish(const char* operation, int32_t result, int64_t start);
};

}  // namespace pellucor::data::view
