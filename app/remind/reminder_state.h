// What the agent remembers between runs, per data directory, in its own state folder
// ($XDG_STATE_HOME/pellucor, else ~/.local/state/pellucor): which notes it has shown on which
// day (each at most once a day), which the user put off until a later day ("Tomorrow"), and which
// the user marked done while the data file could not be written (so the choice survives until it
// can). The notes themselves are never changed for any of this.
//
// The file is text, one entry a line:
//   shown    ID FINGERPRINT YYYY-MM-DD   shown on that day
//   snoozed  ID FINGERPRINT YYYY-MM-DD   silent before that day
//   done     ID FINGERPRINT              to be marked done in the data file
// It is replaced as a whole (written beside it, then renamed), so a crash leaves the old or the
// new one. Lines it cannot read are skipped.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace pellucor::app::remind {

struct NoteKey {
  uint32_t id = 0;
  std::string fingerprint;
  friend auto operator<=>(const NoteKey&, const NoteKey&) = default;
};

// The state file of the data directory `data_dir` (absolute); empty when neither XDG_STATE_HOME
// nor HOME is set.
[[nodiscard]] std::string StatePath(std::string_view data_dir);

class ReminderState {
 public:
  explicit ReminderState(std::string path) : path_(std::move(path)) {}

  // Reads the file (a missing one is an empty state). Returns how many lines were skipped as
  // unreadable, or -1 when the file exists but cannot be read.
  int Load();
  // Writes the file; false (errno set) when it cannot be written.
  [[nodiscard]] bool Save() const;
  [[nodiscard]] const std::string& path() const { return path_; }

  // Days are "YYYY-MM-DD", which compare as text in the order of the calendar.
  [[nodiscard]] bool ShownOn(const NoteKey& note, std::string_view day) const;
  void MarkShown(const NoteKey& note, std::string_view day);
  [[nodiscard]] bool SnoozedOn(const NoteKey& note, std::string_view day) const;
  void Snooze(const NoteKey& note, std::string_view until_day);
  [[nodiscard]] bool DonePending(const NoteKey& note) const;
  [[nodiscard]] bool DonePendingId(uint32_t id) const;
  void AddDone(const NoteKey& note) { done_.insert(note); }
  void RemoveDone(const NoteKey& note) { done_.erase(note); }
  [[nodiscard]] const std::set<NoteKey>& done() const { return done_; }

  // Forgets what no longer matters on `today`: showings of earlier days and snoozes that ended.
  void Prune(std::string_view today);

 private:
  std::string path_;
  std::map<NoteKey, std::string> shown_;    // the day it was last shown
  std::map<NoteKey, std::string> snoozed_;  // silent before this day
  std::set<NoteKey> done_;
};

}  // namespace pellucor::app::remind
