// The process manager: a view manager that reads every record of its view once, counting them
// and keeping the percentage a progress window shows. The percentage comes from a step manager
// (where the value of the order's first key field lies between its lowest and highest value),
// else from the bytes read against the file's size (a file that cannot count its records), else
// from the records read against the file's record count.
//
//   ProcessManager process;
//   process.Init(view, notes_relations, 3, &percent, &step, reminder_field);
//   process.AddSortOrder(notes.FILE->FindKey("SNO:SNOT"));
//   process.Reset();
//   while (process.Next(true) == Level::Proceed) { ... one record ... }
//   process.Kill();
//
// The percentage text control shows "37% Complete"; the window is redisplayed whenever the whole
// percentage changes, and only then.
//
// REQUIRES: callers hold the run lock, on the thread of the report procedure.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/browse/view_manager.h"

namespace pellucor::framework {
class QueryManager;
class StepManager;
}  // namespace pellucor::framework

namespace pellucor::report {

using framework::Level;

// The text after the percentage.
inline constexpr const char* kCompleteText = "% Complete";

class ProcessManager : public framework::ViewManager {
 public:
  ProcessManager();
  ~ProcessManager() override;

  // --- Overrides ---

  // Lets go of the step manager, the value field and the children; then the view manager's Kill.
  Level Kill() override;
  // Starts again from the first record: the counts go back to 0, the progress limits (or the
  // record count or file size) are taken afresh, and the view is set going from its start.
  Level Reset() override;

  // --- Virtual operations added, in order ---

  using framework::ViewManager::Next;
  // Reads the next record (of a child process while one is being read). With `count` the record
  // is counted and the percentage brought up to date. Proceed, Notified at the end, Fatal when
  // the read failed.
  virtual Level Next(bool count);
  // Kept in its place in the order of operations; does nothing.
  virtual void Reserved();
  // Runs the query form; when the user ran a query, it becomes the process's filter.
  virtual Level HandleQuery();
  // What a report does with the record just read (prints its detail band). Proceed goes on,
  // Fatal stops the run, Notified stops it without being an error.
  virtual Level HandleRecord();

  // --- Other operations ---

  // `percent_text`: the control that shows the percentage (0 for none); `percentile`: the
  // variable the progress bar shows, set to 0 here (null for none); `step`: not owned, may be
  // null; `value_field`: the field the step manager reads. Then the view manager's Init.
  void Init(data::view::View& view, framework::RelationManager& primary, int32_t percent_text,
            uint8_t* percentile, framework::StepManager* step, runtime::AnyRef value_field);
  // The percentage the counts give now (0 to 100).
  [[nodiscard]] uint8_t Percentage();

  // --- Fields, in order ---

  int32_t BYTESREAD = 0;
  int32_t FILESIZE = 0;
  uint8_t CHILDREAD = 0;  // the child being read (from 1); 0: this process's own view
  std::vector<ProcessManager*>* CHILDREN = nullptr;  // not owned; may be null
  uint8_t* PERCENTILE = nullptr;                     // not owned; may be null
  int32_t PTEXT = 0;
  framework::QueryManager* QUERY = nullptr;  // not owned; may be null
  int32_t RECORDSPROCESSED = 0;
  int32_t RECORDSTOPROCESS = 0;
  framework::StepManager* STEPMGR = nullptr;  // not owned; may be null
  runtime::AnyRef VALUEFIELD;

 private:
  // Reads the last and the first record and gives the step manager their values as its limits.
  void SetProgressLimits();
  // The primary file's record count, or 0 when the file cannot count them.
  [[nodiscard]] int32_t FileRecords();
  // The primary file's size in bytes (BYTES before a record is read).
  [[nodiscard]] int32_t FileBytes();
  [[nodiscard]] std::string ValueText() const;
  // Whether the step manager can tell records apart: its limits differ. A field that holds one
  // value over the whole view (an archive flag) gives every record the same place, so the
  // percentage then follows the records read.
  bool steps_differ_ = false;
};

}  // namespace pellucor::report
