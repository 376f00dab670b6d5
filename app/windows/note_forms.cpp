#include "app/windows/note_forms.h"

#include <string>

#include "app/note_store.h"

namespace pellucor::app {

namespace {

namespace nr = note_record;
using runtime::ControlKind;
using runtime::TypeCode;

runtime::ControlDescription& Add(runtime::WindowDescription& d, int32_t number, ControlKind kind,
                                 std::string text, std::optional<runtime::DialogRect> at = {}) {
  runtime::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  c.at = at;
  d.controls.push_back(std::move(c));
  return d.controls.back();
}

runtime::AnyRef Field(uint8_t* record, uint32_t offset, uint32_t size, TypeCode type) {
  return runtime::AnyRef{record + offset, size, type, 0};
}

runtime::WindowDescription Frame(std::string module, std::string title) {
  runtime::WindowDescription d;
  d.name = "P1$QUICKWINDOW";
  d.module = std::move(module);
  d.title = std::move(title);
  d.help_id = "UpdateSNotes";
  d.wallpaper = "notepad.bmp";
  d.icon = "~pelkin.ico";
  d.resizable = true;
  d.centered = true;
  d.at = runtime::DialogRect{0, 0, 322, 258};
  return d;
}

// OK (the default), Cancel and Help, which both forms place alike. Help comes last in the order
// of Tab, though it stands at the top.
void AddButtons(runtime::WindowDescription& d, int32_t ok_number, int32_t cancel_number,
                int32_t help_number) {
  auto& ok = Add(d, ok_number, ControlKind::kButton, "OK", runtime::DialogRect{150, 221, 60, 30});
  ok.icon = "*ok";
  ok.flags.is_default = true;
  Add(d, cancel_number, ControlKind::kButton, "Cancel", runtime::DialogRect{230, 221, 60, 30})
      .icon = "*cancel";
  Add(d, help_number, ControlKind::kButton, "&Help", runtime::DialogRect{271, 4, 45, 14}).action =
      runtime::StandardAction::kHelp;
}

}  // namespace

runtime::WindowDescription DescribeNoteForm(uint8_t* record) {
  namespace f = note_form;
  runtime::WindowDescription d = Frame("pelkit$PELKI014", "Update the Notes File");
  // The edit menu: the engine carries out its standard actions on the focused control.
  Add(d, 30, ControlKind::kMenuBar, "");
  Add(d, 31, ControlKind::kMenu, "&Edit").parent = 30;
  auto& copy = Add(d, f::kCopy, ControlKind::kItem, "&Copy");
  copy.parent = 31;
  copy.message = "Use on highlighted text";
  copy.action = runtime::StandardAction::kCopy;
  auto& paste = Add(d, f::kPaste, ControlKind::kItem, "&Paste");
  paste.parent = 31;
  paste.action = runtime::StandardAction::kPaste;
  auto& cut = Add(d, f::kCut, ControlKind::kItem, "C&ut");
  cut.parent = 31;
  cut.message = "Use on highlighted text";
  cut.action = runtime::StandardAction::kCut;

  Add(d, 14, ControlKind::kString, "Date:", runtime::DialogRect{8, 8, 24, 10});
  auto& note_date =
      Add(d, f::kNoteDate, ControlKind::kString, "", runtime::DialogRect{34, 8, 60, 10});
  note_date.picture = "@d17";
  note_date.use = Field(record, nr::kNoteDateOffset, 4, TypeCode::kDate);

  Add(d, 6, ControlKind::kPrompt, "&Topic:", runtime::DialogRect{8, 26, 40, 10});
  auto& topic = Add(d, f::kTopic, ControlKind::kEntry, "", runtime::DialogRect{60, 24, 256, 12});
  topic.picture = "@s60";
  topic.message = "Topic max length is 60 characters";
  topic.use = Field(record, nr::kTopicOffset, nr::kTopicSize, TypeCode::kString);

  auto& done = Add(d, f::kDone, ControlKind::kCheck, "&Done", runtime::DialogRect{60, 44, 50, 12});
  done.true_value = "Y";
  done.false_value = "N";
  done.use = Field(record, nr::kDoneOffset, 1, TypeCode::kString);
  auto& archive =
      Add(d, f::kArchive, ControlKind::kCheck, "&Archive", runtime::DialogRect{120, 44, 60, 12});
  archive.tip = "Archive This Record?";
  archive.true_value = "Y";
  archive.false_value = "N";
  archive.use = Field(record, nr::kReminderOffset, 1, TypeCode::kString);

  Add(d, 16, ControlKind::kPrompt, "&Reminder Date:", runtime::DialogRect{140, 68, 60, 10});
  auto& reminder =
      Add(d, f::kReminderDate, ControlKind::kEntry, "", runtime::DialogRect{201, 67, 56, 12});
  reminder.picture = "@d17";
  reminder.use = Field(record, nr::kReminderDateOffset, 4, TypeCode::kDate);
  auto& calendar =
      Add(d, f::kCalendar, ControlKind::kButton, "", runtime::DialogRect{261, 66, 16, 14});
  calendar.icon = "cal1.ico";
  calendar.message = "Pop-up calendar";
  calendar.tip = "Pop-up calendar";

  Add(d, 17, ControlKind::kPrompt, "&Memo:", runtime::DialogRect{8, 86, 40, 10});
  auto& memo = Add(d, f::kMemo, ControlKind::kText, "", runtime::DialogRect{8, 97, 308, 116});
  memo.use = Field(record, nr::kMainMemoOffset, nr::kMainMemoSize, TypeCode::kString);

  AddButtons(d, f::kOk, f::kCancel, f::kHelp);
  return d;
}

runtime::WindowDescription DescribeArchiveForm(uint8_t* record) {
  namespace f = archive_form;
  runtime::WindowDescription d = Frame("pelkit$PELKI008", "Update the ARCHIVED Notes File");
  Add(d, 1, ControlKind::kPrompt, "&Topic:", runtime::DialogRect{8, 26, 40, 10});
  auto& topic = Add(d, f::kTopic, ControlKind::kEntry, "", runtime::DialogRect{60, 24, 256, 12});
  topic.picture = "@s60";
  topic.message = "Topic max length is 60 characters";
  topic.use = Field(record, nr::kTopicOffset, nr::kTopicSize, TypeCode::kString);
  Add(d, 6, ControlKind::kString, "Date:", runtime::DialogRect{8, 46, 40, 10});
  auto& note_date =
      Add(d, f::kNoteDate, ControlKind::kEntry, "", runtime::DialogRect{60, 44, 56, 12});
  note_date.picture = "@d17";
  note_date.use = Field(record, nr::kNoteDateOffset, 4, TypeCode::kDate);
  Add(d, 8, ControlKind::kPrompt, "&Reminder Date:", runtime::DialogRect{140, 46, 60, 10});
  auto& reminder =
      Add(d, f::kReminderDate, ControlKind::kEntry, "", runtime::DialogRect{201, 44, 56, 12});
  reminder.picture = "@d17";
  reminder.use = Field(record, nr::kReminderDateOffset, 4, TypeCode::kDate);
  Add(d, 10, ControlKind::kPrompt, "&Memo:", runtime::DialogRect{8, 64, 40, 10});
  auto& memo = Add(d, f::kMemo, ControlKind::kText, "", runtime::DialogRect{8, 75, 308, 138});
  memo.use = Field(record, nr::kMainMemoOffset, nr::kMainMemoSize, TypeCode::kString);
  AddButtons(d, f::kOk, f::kCancel, f::kHelp);
  return d;
}

}  // namespace pellucor::app
