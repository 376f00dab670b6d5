// The tabs of the notes browse: which key each one reads by, which notes its filter admits and
// what order it adds after the key. The main window and pellucor-cli both take their tabs from
// this one table, so a note is on the same tabs, in the same order, wherever it is listed.
//
// Filters are texts of the expression language over the notes table's fields ("sno:done");
// `today()` is the current day number and a date compared with '' compares with 0.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pellucor::app {

enum class NoteTabId : uint8_t { kNotesOnly, kCurrentReminders, kDoneItems, kEverything };

struct NoteTab {
  NoteTabId id;
  std::string_view title;        // the tab's text in the main window ("Notes Only")
  std::string_view cli_name;     // the name pellucor-cli takes for it ("notes")
  std::string_view key;          // the key's description ("sno:SNOT"); FileDecl::FindKey finds it
  std::string_view filter;       // empty: every note
  std::string_view added_order;  // components after the key's own ("-sno:notedate"), or empty
  int choice;                    // the tab sheet's choice (1 to 4)
};

// The four tabs in the order the browse adds them (sort orders 1 to 4).
[[nodiscard]] std::span<const NoteTab> NoteTabs();
[[nodiscard]] const NoteTab& TabOf(NoteTabId id);
// The tab pellucor-cli names `name` ("notes", "reminders", "done", "all"), or none.
[[nodiscard]] std::optional<NoteTabId> TabByCliName(std::string_view name);

// The archive browse's one order: by `arc:SNOT`, no filter.
inline constexpr std::string_view kArchiveKey = "arc:SNOT";
inline constexpr std::string_view kArchiveTitle = "All Archived Records";

// A reminder is due (and carries the icon) from this many days before its date on.
inline constexpr int32_t kReminderLeadDays = 3;

// True when a note with this reminder date (a day number, 0 for none) carries the reminder icon
// on `today`: it is set and not later than today + 3 days.
[[nodiscard]] constexpr bool ReminderIconShown(int32_t reminder_date, int32_t today) {
  return reminder_date > 0 && reminder_date <= today + kReminderLeadDays;
}

}  // namespace pellucor::app
