#include "app/windows/main_windows.h"

#include <string>

#include "app/note_tabs.h"

namespace pellucor::app {

namespace {

using runtime::ControlKind;
using runtime::DialogRect;

runtime::ControlDescription& Add(runtime::WindowDescription& d, int32_t number, ControlKind kind,
                                 std::string text, std::optional<DialogRect> at = std::nullopt) {
  runtime::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  c.at = at;
  d.controls.push_back(std::move(c));
  return d.controls.back();
}

runtime::ControlDescription& AddButton(runtime::WindowDescription& d, int32_t number,
                                       std::string text, DialogRect at, std::string icon = {}) {
  auto& b = Add(d, number, ControlKind::kButton, std::move(text), at);
  b.icon = std::move(icon);
  return b;
}

}  // namespace

runtime::WindowDescription DescribeMainWindow() {
  namespace m = main_window;
  runtime::WindowDescription d;
  d.name = "P1$QUICKWINDOW";
  d.module = "pelkit$PELKI004";
  d.title = std::string(kProductName) + " - Notes and Reminders";
  d.icon = "~pelkin.ico";
  d.help_id = "Main";
  d.at = DialogRect{0, 0, 352, 240};
  d.centered = true;
  d.resizable = true;
  d.maximize_box = true;

  Add(d, m::kMenuBar, ControlKind::kMenuBar, "");
  Add(d, m::kFileMenu, ControlKind::kMenu, "&File").parent = m::kMenuBar;
  auto& print_setup = Add(d, m::kPrinterSetup, ControlKind::kItem, "&Printer Setup");
  print_setup.parent = m::kFileMenu;
  print_setup.action = runtime::StandardAction::kPrintSetup;
  auto& exit = Add(d, m::kExit, ControlKind::kItem, "E&xit");
  exit.parent = m::kFileMenu;
  exit.action = runtime::StandardAction::kClose;
  Add(d, m::kHelpMenu, ControlKind::kMenu, "&Help").parent = m::kMenuBar;
  Add(d, m::kAbout, ControlKind::kItem, "&About").parent = m::kHelpMenu;

  Add(d, m::kSheet, ControlKind::kSheet, "", DialogRect{5, 2, 343, 162});
  const int32_t tabs[] = {m::kNotesOnlyTab, m::kRemindersTab, m::kDoneTab, m::kEverythingTab};
  const char* tips[] = {"Displays notes that are NOT reminders.",
                        "Displays current reminders that are still undone.",
                        "Displays items that have been marked as Done.",
                        "Displays all notes, reminders, and done items."};
  for (size_t i = 0; i < 4; ++i) {
    auto& tab = Add(d, tabs[i], ControlKind::kTab, std::string(NoteTabs()[i].title));
    tab.parent = m::kSheet;
    tab.tip = tips[i];
  }
  FindControl(d, m::kNotesOnlyTab)->message = "Notes Only";
  // Drawn over the sheet's page: one list serves every tab.
  auto& list = Add(d, m::kList, ControlKind::kList, "", DialogRect{9, 19, 335, 141});
  list.format = std::string(m::kListFormat);
  list.message = "Browsing Records";
  list.icon_list = {std::string(m::kReminderIcon)};
  auto& email = AddButton(d, m::kEmailSupport, "Email Support", {283, 0, 65, 15});
  email.tip = "Write to the support mailbox";
  email.flags.skip = true;

  auto& insert = AddButton(d, m::kInsert, "&Add New Note", {5, 168, 65, 30}, "insert3.ico");
  insert.message = "Insert";
  AddButton(d, m::kChange, "&Change", {90, 168, 65, 30}, "chg4.ico").message = "Change";
  AddButton(d, m::kViewArchive, "View Archive", {175, 205, 65, 30}, "padpencl.ico");
  AddButton(d, m::kHelp, "Help", {175, 168, 65, 30}, "*help").action =
      runtime::StandardAction::kHelp;
  auto& print = AddButton(d, m::kPrint, "&Print One Note", {5, 205, 65, 30});
  print.message = "Print One Note";
  print.tip = "Print highlighted note";
  AddButton(d, m::kDelete, "&Delete", {90, 205, 65, 30}, "delete4.ico").message = "Delete";
  AddButton(d, m::kFindBy, "&Find By", {260, 204, 65, 14}, "View.ico").tip =
      "Find records by any criteria";
  AddButton(d, m::kPrintFindBys, "Print FindBy's", {260, 222, 65, 14}).tip =
      "Left click to print completed find by";
  AddButton(d, m::kClose, "Close", {260, 168, 65, 30}, "close.ico").message = "Close Program";
  AddButton(d, m::kSelect, "&Select", {175, 240, 45, 14}).flags.hidden = true;
  return d;
}

runtime::WindowDescription DescribeArchiveWindow() {
  namespace a = archive_window;
  runtime::WindowDescription d;
  d.name = "P1$QUICKWINDOW";
  d.module = "pelkit$PELKI007";
  d.title = std::string(kProductName) + "  ARCHIVE FILE";
  d.icon = "~pelkin.ico";
  d.help_id = "BrowseNotes";
  d.at = DialogRect{0, 0, 352, 220};
  d.resizable = true;
  d.maximize_box = true;

  Add(d, a::kSheet, ControlKind::kSheet, "", DialogRect{5, 4, 342, 174});
  auto& tab = Add(d, a::kTab, ControlKind::kTab, std::string(kArchiveTitle));
  tab.parent = a::kSheet;
  tab.message = "Archived Records";
  tab.tip = "Archived Records in Date Order";
  auto& list = Add(d, a::kList, ControlKind::kList, "", DialogRect{9, 21, 334, 153});
  list.format = std::string(a::kListFormat);
  list.message = "Browsing Records";

  auto& print = AddButton(d, a::kPrint, "&Print One Note", {5, 184, 62, 30}, "*print");
  print.message = "Print One Note";
  print.tip = "Print highlighted note";
  AddButton(d, a::kInsert, "&Add New Note", {72, 184, 62, 30}, "insert3.ico").flags.disabled = true;
  AddButton(d, a::kChange, "&Change", {139, 184, 50, 30}, "chg4.ico");
  AddButton(d, a::kDelete, "&Delete", {194, 184, 50, 30}, "delete4.ico");
  AddButton(d, a::kFindBy, "&Find By", {249, 184, 45, 14}, "findit.ico");
  AddButton(d, a::kHelp, "Help", {249, 200, 45, 14}, "*help").action =
      runtime::StandardAction::kHelp;
  auto& close = AddButton(d, a::kClose, "Close", {299, 184, 48, 30}, "close.ico");
  close.message = "Close Archive";
  close.tip = "Closes archive and returns to main program.";
  AddButton(d, a::kSelect, "&Select", {5, 220, 45, 14}).flags.hidden = true;
  return d;
}

runtime::WindowDescription DescribeAboutWindow() {
  namespace b = about_window;
  runtime::WindowDescription d;
  d.name = "P1$WINDOW";
  d.module = "pelkit$PELKI001";
  d.title = "About " + std::string(kProductName);
  d.icon = "pelkin.ico";
  d.at = DialogRect{0, 0, 160, 70};
  d.centered = true;
  auto& icon = AddButton(d, b::kIcon, "", {8, 8, 30, 30}, "pelkin.ico");
  icon.tip = "Version information";
  Add(d, b::kProduct, ControlKind::kString, std::string(kProductName), DialogRect{46, 10, 106, 10});
  Add(d, b::kVersion, ControlKind::kString, "Version 3.0", DialogRect{46, 24, 106, 10});
  auto& close = AddButton(d, b::kClose, "Close", {100, 48, 50, 15});
  close.flags.is_default = true;
  return d;
}

}  // namespace pellucor::app
