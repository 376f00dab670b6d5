// The view manager: drives one runtime VIEW over a primary file. It keeps a list of sort orders,
// each led by a key of the primary file, with its own range limits and named filters; it turns
// the current one into the VIEW's filter text and order, opens the VIEW with its buffering and
// reads records forwards and backwards, offering each to a record check hook.
//
// Use (the browse, BrowseManager, derives from it and adds the list):
//
//   ViewManager vm;
//   vm.Init(view, notes_relations);                 // the VIEW and the primary's relation manager
//   vm.AddSortOrder(notes.FILE->FindKey("SNO:DONYET"), "-sno:notedate");
//   vm.SetFilter("(sno:done='Y')");                 // the order's "5 Standard" filter
//   vm.Reset();                                     // opens the VIEW, positions at the start
//   while (vm.Next() == Level::Proceed) { ... the record buffer holds the row ... }
//   vm.Kill();
//
// A range binds leading key components to program variables, read each time the filter is
// built, so that a change of those variables shows at the next ApplyFilter:
//
//   vm.AddRange(&done_flag);                        // DONE = the flag (LIMITTYPE 1)
//   vm.AddRange(&from_date, &to_date);              // then from <= REMINDERDATE <= to (kind 3)
//
// Failures: a VIEW that cannot be opened or whose filter cannot be set raises message 40 ("View
// Open Error") through the primary file's manager; the view then goes on without filter or
// range. A failed read raises message 1 ("Record Retrieval Error").
//
// Threads: a view manager belongs to the thread of its procedure, like its VIEW.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "framework/error/level.h"
#include "runtime/values/accessor.h"

namespace pellucor::data::view {
class View;
}

namespace pellucor::framework {

class FileManager;
class RelationManager;
struct KeyRow;
class StepLocator;
class StepManager;

// The framework's own named filter: SetFilter sets it.
inline constexpr std::string_view kStandardFilterId = "5 Standard";
// A filter id holds at most this many characters.
inline constexpr size_t kFilterIdSize = 30;
// The filter text is built in a work text of this size; what goes beyond is cut.
inline constexpr size_t kFilterTextSize = 5000;

// The messages the view manager raises.
namespace view_msg {
inline constexpr uint16_t kRecordRetrievalError = 1;
inline constexpr uint16_t kViewOpenError = 40;
}  // namespace view_msg

// LIMITTYPE: what the range components of a sort order ask of the records.
namespace limit {
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kSingle = 1;  // every component equals its value (as 2 and 4)
inline constexpr uint8_t kPair = 2;
inline constexpr uint8_t kRange = 3;  // the last component lies between two bounds
inline constexpr uint8_t kFile = 4;
}  // namespace limit

// One named filter of a sort order (FILTER).
struct NamedFilter {
  std::string ID;  // at most 30 characters
  std::string FILTER;
};

// One range component (RANGELIST): a leading component of the order's key and the variable that
// holds its value; for the last component of a kind-3 range, VALUE is the lower bound and HIGH
// the upper.
struct RangeComponent {
  int32_t COMPONENT = 0;  // the key component, from 1
  runtime::AnyRef VALUE;
  runtime::AnyRef HIGH;
};

// A field whose change forces the browse to refill (RESETS), with its value when last seen.
struct ResetField {
  runtime::AnyRef FIELD;
  std::string seen;
};

// One sort order (a row of ORDER, SORT in the browse). The view manager uses the first six
// fields; the browse the last three.
struct SortOrder {
  SortOrder();
  ~SortOrder();
  SortOrder(SortOrder&&) noexcept;
  SortOrder& operator=(SortOrder&&) noexcept;

  std::vector<NamedFilter> FILTER;
  int32_t FREEELEMENT = 0;  // the first key component no range binds (from 1); 0 for none
  uint8_t LIMITTYPE = limit::kNone;
  const data::KeyDecl* MAINKEY = nullptr;  // not owned: the key that leads the order
  // The order components after the key's own, in the VIEW's order text ("-sno:notedate");
  // empty: the key's order.
  std::string ORDER;
  std::vector<RangeComponent> RANGELIST;
  std::unique_ptr<StepLocator> LOCATOR;  // null for none
  std::vector<ResetField> RESETS;
  std::unique_ptr<StepManager> THUMB;  // null for none
  // The range part of the filter as last applied: a change of a range variable shows here.
  std::string applied_range;
};

// The text a value takes in a filter: a non-text value as its plain text, a text in single
// quotes with every single quote doubled (trailing blanks dropped, they never count in a
// comparison), wrapped in UPPER( ) when `upper`.
[[nodiscard]] std::string FilterValueText(const runtime::AnyRef& value, bool upper);

class ViewManager {
 public:
  ViewManager();
  virtual ~ViewManager();
  ViewManager(const ViewManager&) = delete;
  ViewManager& operator=(const ViewManager&) = delete;

  // --- Virtual operations, in the order of the class's operation table ---

  // Builds the filter text of the current sort order (range part, then its named filters) and
  // sets it on the VIEW. When the VIEW is open, a text that the VIEW refuses raises message 40
  // and the VIEW goes on without filter.
  virtual Level ApplyFilter();
  // Sets the VIEW's key and order from the current sort order.
  virtual Level ApplyOrder();
  // True when what the view reads would change: a range variable changed value since the filter
  // was last applied.
  [[nodiscard]] virtual bool NeedRefresh();
  virtual Level Close();
  // The free element's field name as the primary's key description has it; empty for none.
  [[nodiscard]] virtual std::string FreeComponentName();
  // The free element's component number in MAINKEY; 0 for none.
  [[nodiscard]] virtual int32_t FreeComponentNumber();
  // Disposes of every sort order with its filters, locator and step object; closes the VIEW.
  virtual Level Kill();
  // The next record that the check hook accepts: Proceed; Notified at the end (or when the hook
  // stops); Fatal when the read failed (message 1 is raised).
  virtual Level Next();
  // Opens and buffers the VIEW, then applies the current order and filter. A VIEW that cannot
  // be opened raises message 40.
  virtual Level Open();
  virtual Level Previous();
  // Prepares the primary record buffer for a new record: cleared, with every range component
  // set to its range value (the lower bound for a kind-3 range).
  virtual void PrepareInsertRecord();
  // Opens the VIEW when needed and starts it at the first record whose first `components` order
  // components are not before the values the record buffer holds (0: at the start).
  virtual Level SetPosition(int32_t components);
  virtual Level Reset();
  virtual void SetFilter(std::string_view text);
  // Replaces, adds or (for an empty text) removes the named filter `id` of the current order.
  virtual void SetFilterById(std::string_view text, std::string_view id);
  // Rebuilds the filter when a range variable changed since it was last applied; true when it
  // did.
  virtual bool ApplyRange();
  // Makes sort order `n` (from 1) current; true when that changed the current order. A number
  // beyond the orders changes nothing.
  virtual bool SetSort(int32_t n);
  // The record check hook: 0 accepts the record in the buffer, 1 skips it and reads on, anything
  // else stops the reading. Accepts everything.
  virtual int32_t CheckRecord();

  // --- Other operations ---

  // Binds the manager to its VIEW and the primary file's relation manager. REQUIRES: both
  // outlive the manager's use.
  void Init(data::view::View& view, RelationManager& primary);
  // Adds a sort order led by `key`, with `added_order` (the VIEW's order text) after the key's
  // own components. It becomes the current one; returns its number.
  int32_t AddSortOrder(const data::KeyDecl* key, std::string_view added_order = {});
  // Binds the current order's next key component to `value` (LIMITTYPE 1).
  void AddRange(runtime::AnyRef value);
  // Binds the current order's next key component to lie between `low` and `high`, inclusive
  // (LIMITTYPE 3); no component can be bound after it.
  void AddRange(runtime::AnyRef low, runtime::AnyRef high);
  // The current sort order (null before the first is added), and its number (from 1).
  [[nodiscard]] SortOrder* CurrentOrder();
  [[nodiscard]] int32_t CurrentOrderNumber() const { return current_ + 1; }
  // The filter text the current sort order gives now (what ApplyFilter sets).
  [[nodiscard]] std::string FilterText();
  // The primary's file manager; null before Init.
  [[nodiscard]] FileManager* PrimaryFile() const;
  // A field of the primary record buffer by its number (from 1).
  [[nodiscard]] runtime::AnyRef PrimaryField(int32_t field) const;

  // --- Fields, in order ---

  bool DISPOSEORDER = true;  // Kill disposes of the sort orders
  bool OPENED = false;
  std::vector<std::unique_ptr<SortOrder>> ORDER;
  uint16_t PAGESAHEAD = 0;  // VIEW buffering: rows read ahead are PAGESIZE * PAGESAHEAD
  uint16_t PAGESBEHIND = 0;
  uint16_t PAGESIZE = 0;
  RelationManager* PRIMARY = nullptr;  // not owned
  uint16_t TIMEOUT = 0;
  data::view::View* VIEW = nullptr;  // not owned: the procedure's VIEW

 protected:
  // The key row of MAINKEY in the primary's file manager (its field names), or null.
  [[nodiscard]] const KeyRow* MainKeyRow();
  // Whether the last SetPosition (or Reset) started the VIEW at its first record.
  bool positioned_at_start_ = false;

 private:
  // The range part of the current order's filter.
  std::string RangeText();
  // Sets the VIEW on the filter `text`; on failure raises 40 and sets it without filter.
  Level SetViewFilter(const std::string& text);
  // SetPosition through MAINKEY, when the VIEW reads in its order: false when it cannot.
  bool SeekByKey(int32_t components);

  size_t current_ = 0;
};

}  // namespace pellucor::framework
