#include "app/note_tabs.h"

#include <array>

namespace pellucor::app {
namespace {

// The browse adds its sort orders in this order; the tab sheet's choice n selects order n.
constexpr std::array<NoteTab, 4> kTabs{{
    {NoteTabId::kNotesOnly, "Notes Only", "notes", "sno:SNOT",
     "(sno:done ='N' and sno:reminderdate='')", "", 1},
    {NoteTabId::kCurrentReminders, "Current Reminders", "reminders", "sno:allnotes",
     "(sno:reminderdate <= today()+3 and sno:reminderdate > '' and sno:done='N')", "", 2},
    {NoteTabId::kDoneItems, "Done Items", "done", "sno:Donyet", "(sno:done='Y')", "-sno:notedate",
     3},
    {NoteTabId::kEverything, "Everything", "all", "sno:SNOT", "", "", 4},
}};

}  // namespace

std::span<const NoteTab> NoteTabs() {
  return kTabs;
}

const NoteTab& TabOf(NoteTabId id) {
  return kTabs[static_cast<size_t>(id)];
}

std::optional<NoteTabId> TabByCliName(std::string_view name) {
  for (const NoteTab& tab : kTabs) {
    if (tab.cli_name == name) return tab.id;
  }
  return std::nullopt;
}

}  // namespace pellucor::app
