// The notes window, the archive window and the About window: their controls by number and their
// descriptions. The lists are bound by the procedures (their queues are the procedures' own).
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/window/description.h"

namespace pellucor::app {

// The product's name as window titles show it.
inline constexpr std::string_view kProductName = "Pellucor";

namespace main_window {
inline constexpr int32_t kExit = 1;
inline constexpr int32_t kPrinterSetup = 2;
inline constexpr int32_t kAbout = 4;
inline constexpr int32_t kEmailSupport = 5;
inline constexpr int32_t kPrint = 6;
inline constexpr int32_t kList = 7;
inline constexpr int32_t kInsert = 8;
inline constexpr int32_t kChange = 9;
inline constexpr int32_t kDelete = 10;
inline constexpr int32_t kSheet = 11;
inline constexpr int32_t kNotesOnlyTab = 12;
inline constexpr int32_t kSelect = 13;
inline constexpr int32_t kRemindersTab = 14;
inline constexpr int32_t kDoneTab = 15;
inline constexpr int32_t kEverythingTab = 16;
inline constexpr int32_t kFindBy = 17;
inline constexpr int32_t kPrintFindBys = 18;
inline constexpr int32_t kViewArchive = 19;
inline constexpr int32_t kHelp = 20;
inline constexpr int32_t kClose = 21;
// The menu bar and its two menus (numbers no other control uses).
inline constexpr int32_t kMenuBar = 22;
inline constexpr int32_t kFileMenu = 23;
inline constexpr int32_t kHelpMenu = 24;

inline constexpr std::string_view kListFormat =
    "50R(2)|MI~Reminder Date~C(0)@D17B@39L(2)|M~NoteDate~@d17@80L(2)|M~Topic~@s60@140L(2)|M~Main "
    "Memo~@s255@";
inline constexpr std::string_view kReminderIcon = "~mark.ico";
}  // namespace main_window

namespace archive_window {
inline constexpr int32_t kPrint = 1;
inline constexpr int32_t kList = 2;
inline constexpr int32_t kInsert = 3;
inline constexpr int32_t kChange = 4;
inline constexpr int32_t kDelete = 5;
inline constexpr int32_t kSheet = 6;
inline constexpr int32_t kTab = 7;
inline constexpr int32_t kSelect = 8;
inline constexpr int32_t kFindBy = 9;
inline constexpr int32_t kHelp = 10;
inline constexpr int32_t kClose = 11;

inline constexpr std::string_view kListFormat =
    "41L|M~REMINDERDATE~@D17B@43C|M~NOTEDATE~L@d17@126L(1)|M~TOPIC~L(0)@s60@1020L(1)|M~MAINMEMO~"
    "L(0)@s255@";
}  // namespace archive_window

namespace about_window {
inline constexpr int32_t kClose = 1;
inline constexpr int32_t kIcon = 2;
inline constexpr int32_t kProduct = 3;
inline constexpr int32_t kVersion = 4;
}  // namespace about_window

[[nodiscard]] runtime::WindowDescription DescribeMainWindow();
[[nodiscard]] runtime::WindowDescription DescribeArchiveWindow();
[[nodiscard]] runtime::WindowDescription DescribeAboutWindow();

}  // namespace pellucor::app
