#include "app/windows/note_reports.h"

#include <string>
#include <utility>

#include "app/note_store.h"

namespace pellucor::app {

namespace {

namespace nr = note_record;
using runtime::ReportBand;
using runtime::ReportControl;
using runtime::ReportControlKind;
using runtime::ReportFont;
using runtime::ReportRect;

// Every note report stands 1000 from the paper's left edge and is 6000 wide.
constexpr int32_t kLeft = 1000;
constexpr int32_t kWidth = 6000;
constexpr int32_t kLine = 200;  // one line of Arial 10
// A detail band: the topic across the whole width (sixty characters fit in it), the dates under
// their headings on the second row, the memo from the third on, and a gap before the next note.
constexpr int32_t kSecondRow = 220;
constexpr int32_t kMemoRow = 470;
constexpr int32_t kBandHeight = 900;

ReportControl Label(std::string text, ReportRect at, bool bold = false) {
  ReportControl c;
  c.text = std::move(text);
  c.at = at;
  if (bold) c.font = ReportFont{"Arial", 10, true, false};
  return c;
}

ReportControl Field(uint8_t* record, uint32_t offset, uint32_t size, runtime::TypeCode type,
                    std::string picture, ReportRect at) {
  ReportControl c;
  c.use = runtime::AnyRef{record + offset, size, type, 0};
  c.picture = std::move(picture);
  c.at = at;
  return c;
}

ReportControl Topic(uint8_t* record) {
  ReportControl c;
  c.use = runtime::AnyRef{record + nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString, 0};
  c.picture = "@s60";
  c.at = {0, 0, kWidth, kLine};
  return c;
}

ReportControl Memo(uint8_t* record, ReportRect at) {
  ReportControl c;
  c.kind = ReportControlKind::kText;
  c.use = runtime::AnyRef{record + nr::kMainMemoOffset, nr::kMainMemoSize,
                          runtime::TypeCode::kString, 0};
  c.at = at;
  return c;
}

ReportControl Rule(int32_t y) {
  ReportControl c;
  c.kind = ReportControlKind::kLine;
  c.at = {0, y, kWidth, 20};
  return c;
}

// The header: the title (bold) at the top, the headings above a rule at the foot of the header.
ReportBand Header(std::string title, int32_t area_top,
                  std::vector<std::pair<std::string, ReportRect>> headings) {
  ReportBand b;
  b.at = {kLeft, 500, kWidth, area_top - 500};
  b.controls.push_back(Label(std::move(title), {0, 0, kWidth, 300}, true));
  for (auto& [text, at] : headings) b.controls.push_back(Label(std::move(text), at, true));
  b.controls.push_back(Rule(area_top - 500 - 100));
  return b;
}

// The footer: a rule, the report's name at the left and the page number at the right (Arial 8).
ReportBand Footer(std::string name, int32_t top) {
  ReportBand b;
  b.at = {kLeft, top, kWidth, 400};
  b.controls.push_back(Rule(0));
  ReportControl left = Label(std::move(name), {0, 80, 3000, 180});
  left.font = ReportFont{"Arial", 8, false, false};
  b.controls.push_back(left);
  ReportControl page;
  page.page_number = true;
  page.picture = "@pPage <<<#p";
  page.at = {3000, 80, 3000, 180};
  page.align = runtime::ReportAlign::kRight;
  page.font = ReportFont{"Arial", 8, false, false};
  b.controls.push_back(page);
  return b;
}

runtime::ReportDescription Base(std::string module, std::string title, int32_t area_top,
                                int32_t area_height) {
  runtime::ReportDescription d;
  d.name = "P1$REPORT";
  d.module = std::move(module);
  d.title = std::move(title);
  d.font = ReportFont{"Arial", 10, false, false};
  d.area = {kLeft, area_top, kWidth, area_height};
  d.footer = Footer(d.title, area_top + area_height + 100);
  return d;
}

}  // namespace

runtime::ReportDescription DescribePrintNoteReport(uint8_t* record) {
  constexpr int32_t kTop = 1540;
  runtime::ReportDescription d = Base("pelkit$PELKI013", "Pellucor", kTop, 7458);
  d.header = Header("Pellucor", kTop,
                    {{"Topic", {0, 650, 3500, kLine}},
                     {"Reminder", {3600, 650, 1150, kLine}},
                     {"Note Date", {4850, 650, 1150, kLine}}});
  ReportBand detail;
  detail.at = {0, 0, kWidth, kBandHeight};
  using runtime::TypeCode;
  detail.controls.push_back(Topic(record));
  detail.controls.push_back(Field(record, nr::kReminderDateOffset, 4, TypeCode::kDate, "@d17",
                                  {3600, kSecondRow, 1150, kLine}));
  detail.controls.push_back(Label("Date:", {4850, kSecondRow, 420, kLine}));
  detail.controls.push_back(Field(record, nr::kNoteDateOffset, 4, TypeCode::kDate, "@d17",
                                  {5270, kSecondRow, 730, kLine}));
  detail.controls.push_back(Memo(record, {0, kMemoRow, kWidth, kLine}));
  d.details.push_back(std::move(detail));
  return d;
}

runtime::ReportDescription DescribeArchivedNoteReport(uint8_t* record) {
  constexpr int32_t kTop = 1540;
  runtime::ReportDescription d = Base("pelkit$PELKI006", "Pellucor: Archived Note", kTop, 7458);
  d.header = Header("Pellucor: Archived Note", kTop,
                    {{"Topic", {0, 650, 4700, kLine}}, {"Date", {4850, 650, 1150, kLine}}});
  ReportBand detail;
  detail.at = {0, 0, kWidth, kBandHeight};
  using runtime::TypeCode;
  detail.controls.push_back(Topic(record));
  detail.controls.push_back(Field(record, nr::kNoteDateOffset, 4, TypeCode::kDate, "@d17",
                                  {4850, kSecondRow, 1150, kLine}));
  detail.controls.push_back(Memo(record, {0, kMemoRow, kWidth, kLine}));
  d.details.push_back(std::move(detail));
  return d;
}

runtime::ReportDescription DescribeMultiNoteReport(uint8_t* record) {
  constexpr int32_t kTop = 1720;
  runtime::ReportDescription d = Base("pelkit$PELKI015", "Pellucor: MultiNote Report", kTop, 7281);
  d.header = Header("Pellucor: MultiNote Report", kTop,
                    {{"TOPIC", {0, 600, 2900, kLine}},
                     {"NOTEDATE", {3000, 600, 1100, kLine}},
                     {"REMINDERDATE", {4150, 600, 1350, kLine}},
                     {"DONE", {5550, 600, 450, kLine}},
                     {"MAINMEMO", {0, 850, kWidth, kLine}}});
  ReportBand detail;
  detail.at = {0, 0, kWidth, kBandHeight};
  using runtime::TypeCode;
  detail.controls.push_back(Topic(record));
  detail.controls.push_back(Field(record, nr::kNoteDateOffset, 4, TypeCode::kDate, "@d17",
                                  {3000, kSecondRow, 1100, kLine}));
  detail.controls.push_back(Field(record, nr::kReminderDateOffset, 4, TypeCode::kDate, "@d17",
                                  {4150, kSecondRow, 1350, kLine}));
  detail.controls.push_back(
      Field(record, nr::kDoneOffset, 1, TypeCode::kString, "@s1", {5550, kSecondRow, 450, kLine}));
  detail.controls.push_back(Memo(record, {0, kMemoRow, kWidth, kLine}));
  d.details.push_back(std::move(detail));
  return d;
}

}  // namespace pellucor::app
