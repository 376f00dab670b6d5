// The VIEW engine: a read sequence over a primary file, joined with secondary files, restricted
// by a filter expression and put in an order. Browses and reports read all their records
// through views. The engine executes views itself (no driver of this system does): it turns the
// declaration, the filter and the order into a tree of steps that read the files through the
// driver entry (data/driver/driver.h), and it keeps the rows it produced in a row buffer so that
// PREVIOUS and re-reads do not touch the files again.
//
// Use:
//
//   ViewDecl decl;
//   decl.primary = notes;                          // an open FileDecl
//   View view(std::move(decl));
//   view.Open();                                   // marks the files INVIEW
//   view.SetFilter("(sno:done='Y')");
//   view.SetKey(notes->FindKey("SNO:DONYET"));
//   view.SetOrderText("+sno:done,+sno:reminderdate,-sno:notedate");
//   view.Set();                                    // SETview: builds the steps
//   while (view.Next() == 0) { ... the record buffers hold the row ... }
//   view.Close();                                  // ENDVIEW, temporary file deleted
//
// Every operation returns 0 or an error code and leaves the error state as a file operation
// does: 0 clears it, a failure is posted. The end of the sequence is 33 ("Record Not
// Available"); a failure of a file inside a step ends the operation with that file's error
// (already posted with the file by the driver entry).
//
// Key choice and order:
//   - With a key set (SetKey), the view reads by that key; a record that an OPT key leaves out is
//     not in the view. Without an order, the order is the key's.
//   - The order's leading components that the read key gives come straight from the key; the
//     rest of the order is made by sorting each run of rows with equal key-given components
//     (so the first page of "key plus a sort" needs only the runs it shows). An order that no
//     key gives at all is made by sorting every row of the view.
//   - Without a key set, the engine picks the key that gives the longest part of the order, or
//     else the key whose leading components the filter bounds most tightly (an OPT key only
//     when its bounds leave out the records the key omits), or else reads in physical order.
//   - Components the read key gives compare as the key does (NOCASE keys without regard to
//     case); sorted components compare by the runtime's string comparison, case-sensitive
//     unless the component was given as UPPER(field).
//
// Key ranges: the filter's conditions on the key's leading components bound the key scan (a
// prefix test SUB(field,1,n) = 'text' bounds like a pair of comparisons). The filter itself is
// still applied to every row, so a range only ever saves reads.
//
// Rows: a row leaves its values in the record buffers of its files (the projected fields of the
// primary and of each joined file; fields not projected keep unspecified contents). An outer join
// that finds no match leaves the secondary file's buffer cleared (CLEAR mode 0).
//
// Threads: a view belongs to the thread that opened it (its files' buffers are that thread's).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "data/driver/driver.h"

namespace pellucor::platform {
class Env;
}

namespace pellucor::data::view {

// Which fields and memos a file of the view supplies to its rows. An empty projection (both
// lists empty) supplies every field and every memo.
struct Projection {
  std::vector<int32_t> fields;  // field numbers from 1
  std::vector<int32_t> memos;   // memo numbers from 1
  bool Empty() const { return fields.empty() && memos.empty(); }
};

enum class JoinKind : uint8_t { kOuter, kInner };

// A field of a file already read (the primary, or a join above this one) whose value supplies
// one leading component of the join's key.
struct LinkField {
  const FileDecl* file = nullptr;
  int32_t field = 0;  // from 1
};

// One JOIN. With a key, the secondary file is read by that key with the link fields as the
// key's leading components. Without a key ("join by expression") every record of the secondary
// file is paired with the outer row and the view's filter decides.
struct JoinDecl {
  FileDecl* file = nullptr;
  const KeyDecl* key = nullptr;
  std::vector<LinkField> links;
  JoinKind kind = JoinKind::kOuter;
  Projection project;
  std::vector<JoinDecl> joins;  // nested joins
};

struct ViewDecl {
  FileDecl* primary = nullptr;
  Projection project;
  std::vector<JoinDecl> joins;
};

// The declaration as the trace writes it, one item a line, nested items indented:
// "VIEW(label)", "PROJECT(FIELD(1),MEMO(1))", "JOIN(key label[,FIELD(n)...][,INNER])" or
// "JOIN(file label)", ..., "END".
std::string FormatViewDeclaration(const ViewDecl& decl);

enum class Direction : uint8_t { kAscending, kDescending };
enum class Case : uint8_t { kSensitive, kInsensitive };

// One component of a view's order: a field of the primary file or of a joined file.
struct OrderComponent {
  const FileDecl* file = nullptr;  // nullptr: the primary file
  int32_t field = 0;               // from 1
  Direction direction = Direction::kAscending;
  Case letter_case = Case::kSensitive;
};

// The components of a key as an order (descending where the key's component is negative).
std::vector<OrderComponent> KeyOrder(const KeyDecl& key);

// The buffering of BUFFER: rows read ahead in one go when the view must read further (page size
// times pages ahead), and the other parameters the browse hands over.
struct BufferSettings {
  uint32_t page_size = 0;
  uint32_t pages_behind = 0;
  uint32_t pages_ahead = 0;
  uint32_t timeout = 0;
};

// How the steps read the primary file, as planned at SETview (for traces, tests and tools).
struct Plan {
  const KeyDecl* key = nullptr;  // nullptr: physical order
  int bounded_components = 0;    // leading key components that the filter bounds
  int key_order_components = 0;  // leading order components the key gives
  bool sorts = false;            // the rest of the order is made by sorting
  bool always_false = false;     // the filter can never be true: nothing is read
  // A sorting view whose first run's remaining order another key gives: the first rows of that
  // run are read in that key's order instead of sorting the run (nullptr: none).
  const KeyDecl* first_run_key = nullptr;
};

// The row buffer's in-memory limit; beyond it rows go to a temporary file ("TMP" prefix) in
// chunks of this size.
inline constexpr size_t kRowBufferMemory = 16384;

class View {
 public:
  // REQUIRES: decl.primary and every joined file outlive the view.
  explicit View(ViewDecl decl);
  ~View();  // closes the view when still open
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // OPEN: marks every file of the view INVIEW. Fails with 37 when a file is not open.
  int32_t Open();
  // CLOSE: releases the steps and the row buffer (deleting its temporary file) and marks the
  // files ENDVIEW.
  int32_t Close();
  [[nodiscard]] bool IsOpen() const;

  // The filter text (the expression language of the runtime); takes effect at the next Set.
  // An empty text admits every row.
  void SetFilter(std::string text);
  [[nodiscard]] const std::string& Filter() const;
  // The key to read by (nullptr: the engine chooses); takes effect at the next Set.
  void SetKey(const KeyDecl* key);
  // The order; takes effect at the next Set.
  void SetOrder(std::vector<OrderComponent> order);
  // The order as a text: components separated by ",", each a field name ("sno:notedate") with
  // an optional "+" or "-" in front, or UPPER(field) for a case-insensitive component. Returns 0,
  // or 76 ("Invalid Index String") for a name that is no field of the view's files.
  int32_t SetOrderText(std::string_view text);
  // Appends components to the order, in the same text form: a tab's order added after its key
  // ("-sno:notedate" after sno:Donyet). When the order is empty and a key is set, the key's own
  // components come first.
  int32_t AddOrderText(std::string_view text);
  [[nodiscard]] const std::vector<OrderComponent>& Order() const;

  // SETview: compiles the filter, plans and builds the steps and empties the row buffer. A
  // filter that does not compile fails with 800 ("Invalid expression for EVALUATE") or the
  // compiler's own error (801 for an unknown name). With `from_buffer` > 0 the sequence starts
  // at the first row whose first `from_buffer` order components are not before the values the
  // record buffers hold now (a locator's jump).
  int32_t Set(int from_buffer = 0);
  int32_t Next();
  int32_t Previous();
  // POSITION: a text that identifies the current row (the last one Next or Previous returned);
  // empty when there is none. Reset takes it back.
  [[nodiscard]] std::string Position();
  // RESET(view, position): the next Next returns the row of the position (or the one after it
  // when it is gone), the next Previous the row itself (or the one before it).
  int32_t Reset(std::string_view position);
  // RESETviewfile: as Reset, from the primary file's current record.
  int32_t ResetViewFile();
  // REGET of a row: reads the primary record of the row at `position` (a text Position gave)
  // from its file again, whole, so that it is the file's current record, as a write to it
  // expects (after a read the file stands on whichever record the view read last, which for a
  // view that reads ahead or sorts is not the row it returned). The view's sequence and row
  // buffer are left alone. 35 ("Record Not Found") when the position is not one of this view's
  // or the record is gone.
  int32_t Reget(std::string_view position);
  // BUFFER.
  int32_t Buffer(const BufferSettings& settings);
  // Reads ask the driver to watch the primary file's records (WATCH before each read).
  void SetWatch(bool watch);

  [[nodiscard]] const Plan& CurrentPlan() const;
  // Rows the buffer holds, and whether it has gone to its temporary file (for tests).
  [[nodiscard]] size_t BufferedRows() const;
  [[nodiscard]] bool BufferSpilled() const;
  [[nodiscard]] const std::string& TemporaryFile() const;
  // The Env of the row buffer's temporary file (tests inject faults); nullptr: the real one.
  void SetEnv(platform::Env* env);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellucor::data::view
