// The browse: a view manager that shows its records in a list box. The list's queue holds
// exactly one screenful of rows (each with its record's VIEW position); scrolling, paging,
// jumping to the ends, typing locator keys and coming back from a form read just the rows that
// come into sight. The browse hands insert, change and delete requests to the form procedure,
// re-positions itself on the record the form returned, and offers the same actions on the
// keyboard and on the toolbar.
//
// A procedure sets it up in its Init and registers it with its window manager, which then hands
// it every event (HandleEvent), resets and refreshes it, and kills it:
//
//   browse.Init(7, list_queue, queue_position, view, notes_relations, *this);
//   browse.AddSortOrder(notes.FILE->FindKey("SNO:SNOT"));
//   browse.AddLocator(true);
//   browse.SetFilter("(sno:done ='N' and sno:reminderdate='')");
//   browse.AddField(queue_topic, notes_topic);   ... one pair per column
//   browse.INSERTCONTROL = 8;  browse.ASKPROCEDURE = 1;  ...
//   AddBrowse(browse);
//
// Rows: FillListRow copies every FIELDS pair from the record buffer into the queue's buffer and
// keeps the record's position in the VIEWPOSITION column (list_queue.h); a procedure overrides it
// to fill computed columns after the base. CopyRowToBuffers copies the pairs back.
//
// Threads: a browse belongs to its window's thread. REQUIRES: the window is the calling thread's
// current window whenever the browse is asked to do anything that shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/browse/list_queue.h"
#include "framework/browse/view_manager.h"
#include "framework/window/window_parts.h"
#include "runtime/event/event_codes.h"
#include "runtime/queue/queue.h"

namespace pellucor::framework {

class PopupManager;
class QueryManager;
class StepLocator;
class StepManager;
class ToolbarManager;
struct ToolbarTarget;
class WindowManager;
// Edit-in-place is not offered in this system: EDITLIST, EIP and FREEEIP stay unset.
struct EditInPlace;

// A list column and the record field it shows (FIELDS).
struct BrowseField {
  runtime::AnyRef LIST;  // a field of the list queue's buffer
  runtime::AnyRef FILE;  // a field of a record buffer of the VIEW's files
};

// The id under which the query's condition joins a sort order's filters.
inline constexpr std::string_view kQueryFilterId = "QBE";

// Fetch's directions.
namespace fill {
inline constexpr uint8_t kBackward = 1;
inline constexpr uint8_t kForward = 2;
}  // namespace fill

// ResetQueue's modes.
namespace reset_mode {
inline constexpr uint8_t kAroundHighlight = 1;  // rebuild around the highlighted row
inline constexpr uint8_t kFromView = 2;         // rebuild from where the VIEW stands now
}  // namespace reset_mode

// Key codes the browse takes on its list.
namespace browse_key {
inline constexpr int32_t kInsert = 45;
inline constexpr int32_t kDelete = 46;
inline constexpr int32_t kCtrlEnter = 525;
inline constexpr int32_t kDoubleClick = 5;
inline constexpr int32_t kRightRelease = 130;
}  // namespace browse_key

// Toolbar navigation buttons and the scroll events they stand for.
namespace toolbar_button {
inline constexpr int32_t kInsert = 2000;
inline constexpr int32_t kChange = 2001;
inline constexpr int32_t kDelete = 2002;
inline constexpr int32_t kSelect = 2003;
inline constexpr int32_t kBottom = 2004;
inline constexpr int32_t kTop = 2005;
inline constexpr int32_t kPageDown = 2006;
inline constexpr int32_t kPageUp = 2007;
inline constexpr int32_t kDown = 2008;
inline constexpr int32_t kUp = 2009;
inline constexpr int32_t kLocate = 2010;
inline constexpr int32_t kHistory = 2011;
inline constexpr int32_t kHelp = 2012;
}  // namespace toolbar_button

class BrowseManager : public ViewManager, public WindowPart {
 public:
  BrowseManager();
  ~BrowseManager() override;

  // --- Virtual operations, continuing the view manager's table ---

  // Runs the form procedure for `request` (1 insert, 2 change, 3 delete) and re-positions after
  // it; repeats while the form left a toolbar navigation request. Returns the last response.
  virtual uint8_t Ask(uint8_t request);
  // Takes the list's highlighted row into the record buffers (the window's UpdateBrowses).
  virtual void UpdateBuffer();
  // Reads ITEMSTOFILL rows into the list (fill::kForward appends, fill::kBackward inserts at the
  // top), dropping rows at the far end so that it never holds more than LASTITEMS. Notified when
  // the data ended first; Fatal when a read failed.
  virtual Level Fetch(uint8_t direction);
  // Re-positions after a form returned `response` for `request`: on the record it wrote (an
  // insert or change), after the one it deleted, or around the highlight when it was cancelled.
  virtual void ReloadAfterForm(uint8_t request, uint8_t response);
  // Chooses and applies the sort order for the window's state; refills when it changed, when
  // NeedRefresh says so or when `force`.
  virtual void ResetSort(bool force);
  // "EVENT:ScrollDrag": positions by the thumb the user let go of.
  virtual void ScrollByThumb();
  // Places the thumb for the highlighted record.
  virtual void UpdateThumb();
  // Refills the list: reset_mode::kAroundHighlight keeps the highlighted record,
  // reset_mode::kFromView starts at the record the VIEW stands on (keeping the highlight's screen
  // row with RETAINROW).
  virtual void ResetQueue(uint8_t mode);
  // Chooses the sort order for the window's present state: the last one added. A procedure with
  // a tab sheet chooses by the tab. Returns whether the list was refilled.
  virtual bool ChooseSortOrder(bool force);
  // 7 "EVENT:ScrollTop", 8 "EVENT:ScrollBottom".
  virtual void ScrollToEnd(runtime::Event event);
  // 3 "EVENT:ScrollUp", 4 "EVENT:ScrollDown".
  virtual void ScrollByRow(runtime::Event event);
  // 5 "EVENT:PageUp", 6 "EVENT:PageDown".
  virtual void ScrollByPage(runtime::Event event);
  // After a move: the locator, the thumb and the record buffers follow the highlight, and the
  // list shows the page.
  virtual void ShowPage();
  // Fills the queue's buffer from the record buffers (a procedure adds computed columns after
  // calling it).
  virtual void FillListRow();
  // Makes sort order `n` current; when it changed, when NeedRefresh says so or when `force`,
  // applies its order and filter and refills. Returns whether it refilled.
  virtual bool SelectSortOrder(int32_t n, bool force);
  virtual Level HandleEvent();
  // A key on the list (KEYCODE()).
  virtual Level HandleKey();
  // "EVENT:Locate" and the query button: the query form.
  virtual Level HandleLocate();
  // A row was chosen with the mouse or the keyboard.
  virtual Level HandleNewSelection();
  virtual Level HandleScroll(runtime::Event event);
  // A toolbar navigation button (2004 to 2009) as the scroll event it stands for.
  virtual Level HandleVCRScroll(int32_t button);
  // Copies the highlighted row's fields into the record buffers; clears the primary's when the
  // list is empty.
  virtual void CopyRowToBuffers();
  // Reads the highlighted record again, whole, from its file: it is then the file's current
  // record (as a form's write expects). Notified when it is gone.
  virtual Level RereadHighlighted();
  // The browse's popup menu ("Browse Actions"), on the highlighted row: copies of its buttons.
  virtual Level HandlePopup();

  // --- The view manager's operations the browse extends ---

  bool NeedRefresh() override;
  Level Kill() override;
  Level Next() override;
  Level Previous() override;

  // --- WindowPart ---

  Level TakeEvent() override { return HandleEvent(); }
  [[nodiscard]] bool NeedsRefresh() override { return NeedRefresh(); }
  void Refresh() override { ResetSort(true); }
  void ResetFromWindow(bool force) override { ResetSort(force); }
  void TakeScreenValues() override { UpdateBuffer(); }
  void RegisterKeys() override;
  void KillPart() override { (void)Kill(); }

  // --- Set-up ---

  // `list` is the list box; `queue` its queue (the procedure's, with its buffer); `position` the
  // queue buffer's column that keeps each row's VIEW position. REQUIRES: all of them, the VIEW,
  // the relation manager and the window outlive the browse's use.
  void Init(int32_t list, runtime::Queue& queue, runtime::AnyRef position, data::view::View& view,
            RelationManager& primary, WindowManager& window);
  void AddField(runtime::AnyRef list_field, runtime::AnyRef file_field);
  // A step locator for the current sort order, on its free element.
  void AddLocator(bool no_case, int32_t control = 0);
  // A step manager for the current sort order's thumb (the browse owns it).
  void AddStepManager(std::unique_ptr<StepManager> step);
  // A field whose change refills the list while the current sort order is in force.
  void AddResetField(runtime::AnyRef field);
  // Serves `toolbar` as one of its targets.
  void AddToolbarTarget(ToolbarManager& toolbar);

  // The number of rows in the list.
  [[nodiscard]] int32_t Rows();
  // The VIEW position kept by row `row` (from 1); empty outside the list.
  [[nodiscard]] std::string RowPosition(int32_t row);
  // What the list control shows (for tests and tools).
  [[nodiscard]] const ListQueueRows& Shown() const { return shown_; }

  // --- Fields, in order after the view manager's ---

  bool ACTIVEINVISIBLE = false;  // fill the list even while it is hidden
  bool ALLOWUNFILLED = false;    // do not top up a short page at the end of the data
  uint8_t ARROWACTION = 0;
  uint16_t ASKPROCEDURE = 0;  // the form procedure (RunProcedure's number); 0 for none
  uint16_t BUFFER = 0;
  int32_t CHANGECONTROL = 0;
  int32_t CURRENTCHOICE = 0;  // the highlighted row, from 1; 0 for none
  int32_t CURRENTEVENT = 0;   // the last scroll event
  int32_t DELETECONTROL = 0;
  EditInPlace* EDITLIST = nullptr;
  EditInPlace* EIP = nullptr;
  uint8_t ENTERACTION = 0;
  std::vector<BrowseField> FIELDS;
  bool FILELOADED = false;  // the list holds the whole result set
  uint8_t FOCUSLOSSACTION = 0;
  bool FREEEIP = false;
  bool HASTHUMB = true;  // the browse places the list's thumb
  bool HIDESELECT = false;
  int32_t INSERTCONTROL = 0;
  int32_t ITEMSTOFILL = 0;  // rows still to read
  int32_t LASTCHOICE = 0;
  int32_t LASTITEMS = 0;  // the rows the list shows at its present height
  int32_t LISTCONTROL = 0;
  runtime::Queue* LISTQUEUE = nullptr;  // not owned: the procedure's queue
  bool LOADED = false;
  bool LOADPENDING = false;  // the list was hidden at its fill: fill it when it shows
  bool RETAINROW = true;     // a re-positioned record keeps the highlight's screen row
  int32_t PRINTCONTROL = 0;
  uint16_t PRINTPROCEDURE = 0;
  PopupManager* POPUP = nullptr;  // not owned
  QueryManager* QUERY = nullptr;  // not owned
  int32_t QUERYCONTROL = 0;
  int32_t QUERYRESULT = 0;
  bool QUERYSHARED = false;  // the query's condition applies to every sort order
  bool QUICKSCAN = true;     // the driver's quick scan while a page is read
  uint8_t RECORDSTATUS = 0;
  int32_t SELECTCONTROL = 0;
  bool SELECTING = false;  // the browse was called to pick a record
  bool SELECTWHOLERECORD = false;
  std::vector<std::unique_ptr<SortOrder>>* SORT = nullptr;  // the view manager's ORDER
  bool STARTATCURRENT = false;
  uint8_t TABACTION = 0;
  ToolbarManager* TOOLBAR = nullptr;  // not owned
  int32_t TOOLCONTROL = 0;
  ToolbarTarget* TOOLBARITEM = nullptr;  // not owned: this browse's target in TOOLBAR
  runtime::AnyRef VIEWPOSITION;          // the list queue's position column
  WindowManager* WINDOW = nullptr;       // not owned

 protected:
  // The row of the list whose position is `position` (0 when none is).
  [[nodiscard]] int32_t FindRow(const std::string& position);
  // Whether the list control can be seen now.
  [[nodiscard]] bool ListVisible();
  // The rows the list shows at its present height (at least 1).
  [[nodiscard]] int32_t VisibleRows();
  // Positions the VIEW so that its next read (either way) returns the record of `position`, or
  // its neighbour when that record is gone. False when the position cannot be used.
  bool PositionAt(const std::string& position);
  // Posts "EVENT:Accepted" for `button` when it exists and is enabled; false otherwise.
  bool PressButton(int32_t button);
  // Empties the list.
  void ClearList();
  // Removes row `row`.
  void DropRow(int32_t row);
  // The list shows the queue and the highlight.
  void Display();

  // Whether the list's first row is the first record of the VIEW, and its last the last.
  bool at_start_ = false;
  bool at_end_ = false;

 private:
  // Limits of the thumb's step manager for the current order.
  void TakeStepLimits();
  // The current order's RESETS as they are now.
  void NoteResetValues();
  [[nodiscard]] bool ResetValuesChanged();
  // The popup's items: copies of the browse's buttons, and the query's saved queries.
  void BuildPopup();
  // Installs the query's condition (or its absence) and refills from the first record.
  void ApplyQuery();
  // The refill itself: the VIEW stands where reading starts, `offset` rows are wanted above the
  // first row read, `remembered` is the row to highlight (empty: the first row read).
  void FillAround(int32_t offset, std::string remembered);

  ListQueueRows shown_;
  std::unique_ptr<PopupManager> own_popup_;  // POPUP unless the procedure gives its own
  std::string asked_position_;               // the highlighted row's position when the form was run
  int32_t rows_window_ = 0;                  // the window the list rows were handed to
  int32_t applied_order_ = 0;
};

}  // namespace pellucor::framework
