#include "framework/query/query_dialog.h"

#include <algorithm>
#include <cstring>

#include "framework/query/saved_query_dialog.h"
#include "runtime/event/event.h"
#include "runtime/locale/picture.h"

namespace pellucor::framework {

Level QueryManager::Ask() {
  query_detail::QueryDialog dialog(*this);
  WINDOW = &dialog;
  const uint8_t answer = dialog.Run();
  WINDOW = nullptr;
  return answer == response::kCompleted ? Level::Proceed : Level::Cancelled;
}

namespace query_detail {

namespace {

using runtime::ControlKind;
using runtime::Prop;

// A drop list's entries are separated by "|"; a title holding one is shown with "/".
std::string Entry(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '|', '/');
  return out;
}

void SetText(char* to, size_t size, std::string_view text) {
  std::memset(to, ' ', size);
  if (!text.empty()) std::memcpy(to, text.data(), std::min(size, text.size()));
}

bool IsComparison(QueryOp op) {
  return op != QueryOp::kNone && op != QueryOp::kContains && op != QueryOp::kBegins;
}

}  // namespace

runtime::WindowDescription QueryDialogDescription(const std::vector<QueryField>& fields) {
  runtime::WindowDescription d;
  d.name = std::string(kQueryDialogName);
  d.title = "Query";
  d.at = runtime::DialogRect{0, 0, 300, 196};
  d.centered = true;
  d.modality = runtime::Modality::kThread;
  AddControl(d, qbe::kList, ControlKind::kList, "", {6, 6, 288, 92}).format = kQueryListFormat;
  AddControl(d, qbe::kFieldPrompt, ControlKind::kPrompt, "&Field:", {6, 106, 42, 10});
  std::string titles;
  for (const QueryField& f : fields) {
    if (!titles.empty()) titles += '|';
    titles += Entry(f.TITLE.empty() ? f.NAME : f.TITLE);
  }
  AddControl(d, qbe::kField, ControlKind::kDropList, "", {50, 104, 130, 12}).from = titles;
  AddControl(d, qbe::kOperatorPrompt, ControlKind::kPrompt, "&Operator:", {6, 122, 42, 10});
  std::string operators;
  for (QueryOp op : kDialogOperators) {
    if (!operators.empty()) operators += '|';
    operators += OperatorTitle(op);
  }
  AddControl(d, qbe::kOperator, ControlKind::kDropList, "", {50, 120, 70, 12}).from = operators;
  runtime::ControlDescription& nocase =
      AddControl(d, qbe::kIgnoreCase, ControlKind::kCheck, "Ignore c&ase", {130, 121, 90, 10});
  nocase.true_value = "1";
  nocase.false_value = "0";
  nocase.tip = "Compare without regard to upper and lower case";
  AddControl(d, qbe::kValuePrompt, ControlKind::kPrompt, "&Value:", {6, 138, 42, 10});
  AddControl(d, qbe::kValue, ControlKind::kEntry, "", {50, 136, 244, 12}).picture = kValuePicture;
  AddControl(d, qbe::kInsert, ControlKind::kButton, "&Insert", {6, 156, 52, 14}).tip =
      "Add the term to the list";
  AddControl(d, qbe::kChange, ControlKind::kButton, "&Change", {62, 156, 52, 14}).tip =
      "Replace the highlighted term";
  AddControl(d, qbe::kDelete, ControlKind::kButton, "&Delete", {118, 156, 52, 14}).tip =
      "Remove the highlighted term";
  AddControl(d, qbe::kClear, ControlKind::kButton, "C&lear", {174, 156, 52, 14}).tip =
      "Remove every term";
  AddControl(d, qbe::kSaved, ControlKind::kButton, "&Saved Queries...", {6, 176, 86, 14}).tip =
      "Save this query, or load or delete a saved one";
  AddControl(d, qbe::kOk, ControlKind::kButton, "OK", {186, 176, 52, 14}).flags.is_default = true;
  AddControl(d, qbe::kCancel, ControlKind::kButton, "Cancel", {242, 176, 52, 14});
  return d;
}

QueryDialog::QueryDialog(QueryManager& query)
    : DialogBase(query.ERRORS, query.INIMGR), query_(query) {}

Level QueryDialog::Init() {
  work_ = query_.Fields();
  current_ = query_.QKCURRENTQUERY;
  runtime::WindowDescription d = QueryDialogDescription(work_);
  Bind(d, qbe::kValue, {value_, kValueSize, runtime::TypeCode::kString, 0});
  Bind(d, qbe::kIgnoreCase, {&ignore_case_, 1, runtime::TypeCode::kByte, 0});
  SetText(value_, kValueSize, {});
  value_picture_ = std::string(kValuePicture);
  if (const Level level = OpenDialog(std::move(d)); level != Level::Proceed) return level;
  AddButton(qbe::kCancel, response::kCancelled);
  FIRSTFIELD = qbe::kList;
  runtime::SetListRows(qbe::kList, &list_);
  Rebuild();
  if (!rows_.empty()) {
    runtime::SetProperty(qbe::kList, Prop::kChoice, "1");
    ShowRow(1);
  } else if (!work_.empty()) {
    runtime::SetProperty(qbe::kField, Prop::kChoice, "1");
    FIRSTFIELD = qbe::kField;
  }
  return Level::Proceed;
}

std::string QueryDialog::ValueShown(const Row& row) const {
  const QueryField& f = work_[row.field];
  std::string value = row.term.value;
  if (f.FORCEEDITPICTURE && !f.PICTURE.empty() && !IsTextField(f) && IsComparison(row.term.op) &&
      !value.empty()) {
    value =
        std::string(Trim(runtime::FORMAT(runtime::FormatValue::String(value), "@" + f.PICTURE)));
  }
  return (row.term.nocase ? "^" : "") + value;
}

void QueryDialog::Rebuild() {
  rows_.clear();
  for (size_t i = 0; i < work_.size(); ++i) {
    const QueryField& f = work_[i];
    const Row parts[] = {{i, QueryPart::kLow, ParseBound(f.LOW, QueryPart::kLow)},
                         {i, QueryPart::kMiddle, ParseMiddle(f.MIDDLE)},
                         {i, QueryPart::kHigh, ParseBound(f.HIGH, QueryPart::kHigh)}};
    for (const Row& row : parts) {
      if (row.term.op != QueryOp::kNone) rows_.push_back(row);
    }
  }
  list_.rows.clear();
  for (const Row& row : rows_) {
    const QueryField& f = work_[row.field];
    list_.rows.push_back({f.TITLE.empty() ? f.NAME : f.TITLE,
                          std::string(OperatorTitle(row.term.op)), ValueShown(row)});
  }
  runtime::DISPLAY(qbe::kList);
}

void QueryDialog::ShowRow(int32_t row) {
  if (row < 1 || static_cast<size_t>(row) > rows_.size()) return;
  const Row& r = rows_[static_cast<size_t>(row) - 1];
  runtime::SetProperty(qbe::kField, Prop::kChoice, std::to_string(r.field + 1));
  const auto op = std::find(kDialogOperators.begin(), kDialogOperators.end(), r.term.op);
  runtime::SetProperty(
      qbe::kOperator, Prop::kChoice,
      op == kDialogOperators.end() ? "0" : std::to_string(op - kDialogOperators.begin() + 1));
  FitValuePicture();
  SetText(value_, kValueSize, r.term.value);
  ignore_case_ = r.term.nocase ? 1 : 0;
  runtime::DISPLAY(qbe::kValue);
  runtime::DISPLAY(qbe::kIgnoreCase);
}

void QueryDialog::FitValuePicture() {
  const int32_t field = Highlighted(qbe::kField, static_cast<int32_t>(work_.size()));
  const int32_t op = Highlighted(qbe::kOperator, static_cast<int32_t>(kDialogOperators.size()));
  std::string picture(kValuePicture);
  if (field > 0 && op > 0) {
    const QueryField& f = work_[static_cast<size_t>(field) - 1];
    if (f.FORCEEDITPICTURE && !f.PICTURE.empty() && !IsTextField(f) &&
        IsComparison(kDialogOperators[static_cast<size_t>(op) - 1])) {
      picture = "@" + f.PICTURE;
    }
  }
  if (picture == value_picture_) return;
  // What was typed for one picture means nothing to the other (a day number is no text).
  value_picture_ = picture;
  runtime::SetProperty(qbe::kValue, Prop::kPicture, picture);
  SetText(value_, kValueSize, {});
  runtime::DISPLAY(qbe::kValue);
}

bool QueryDialog::ReadEdit(size_t* field, QueryTerm* term) {
  runtime::UPDATE();
  const int32_t f = Highlighted(qbe::kField, static_cast<int32_t>(work_.size()));
  const int32_t op = Highlighted(qbe::kOperator, static_cast<int32_t>(kDialogOperators.size()));
  if (f == 0 || op == 0) {
    Tell("Choose a field and an operator first.");
    runtime::SELECT(f == 0 ? qbe::kField : qbe::kOperator);
    return false;
  }
  term->op = kDialogOperators[static_cast<size_t>(op) - 1];
  term->value = std::string(Trim(std::string_view(value_, kValueSize)));
  term->nocase = ignore_case_ != 0;
  if (!IsComparison(term->op) && term->value.empty()) {
    Tell("Type the text to look for.");
    runtime::SELECT(qbe::kValue);
    return false;
  }
  *field = static_cast<size_t>(f) - 1;
  return true;
}

QueryPart QueryDialog::Place(size_t field, const QueryTerm& term) {
  QueryField& f = work_[field];
  current_.clear();
  if (!term.value.empty() && term.op == QueryOp::kGreaterEqual) {
    f.LOW = ComposeBound(term);
    return QueryPart::kLow;
  }
  if (!term.value.empty() && term.op == QueryOp::kLessEqual) {
    f.HIGH = ComposeBound(term);
    return QueryPart::kHigh;
  }
  f.MIDDLE = ComposeMiddle(term);
  return QueryPart::kMiddle;
}

void QueryDialog::Remove(const Row& row) {
  QueryField& f = work_[row.field];
  (row.part == QueryPart::kLow ? f.LOW : row.part == QueryPart::kHigh ? f.HIGH : f.MIDDLE).clear();
  current_.clear();
}

void QueryDialog::Highlight(size_t field, QueryPart part) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].field == field && rows_[i].part == part) {
      runtime::SetProperty(qbe::kList, Prop::kChoice, std::to_string(i + 1));
      ShowRow(static_cast<int32_t>(i) + 1);
      return;
    }
  }
}

void QueryDialog::Insert() {
  size_t field = 0;
  QueryTerm term;
  if (!ReadEdit(&field, &term)) return;
  const QueryPart part = Place(field, term);
  Rebuild();
  Highlight(field, part);
}

void QueryDialog::Change() {
  const int32_t row = Highlighted(qbe::kList, static_cast<int32_t>(rows_.size()));
  if (row == 0) {
    Tell("Highlight the term to change in the list first.");
    return;
  }
  size_t field = 0;
  QueryTerm term;
  if (!ReadEdit(&field, &term)) return;
  Remove(rows_[static_cast<size_t>(row) - 1]);
  const QueryPart part = Place(field, term);
  Rebuild();
  Highlight(field, part);
}

void QueryDialog::Delete() {
  const int32_t row = Highlighted(qbe::kList, static_cast<int32_t>(rows_.size()));
  if (row == 0) {
    runtime::BEEP();
    return;
  }
  Remove(rows_[static_cast<size_t>(row) - 1]);
  Rebuild();
  const int32_t next = std::min(row, static_cast<int32_t>(rows_.size()));
  if (next > 0) {
    runtime::SetProperty(qbe::kList, Prop::kChoice, std::to_string(next));
    ShowRow(next);
  }
}

void QueryDialog::OpenSaved() {
  runtime::UPDATE();
  SavedQueryDialog saved(query_, work_);
  (void)saved.Run();
  if (saved.Outcome() == SavedQueryDialog::Result::kNone) return;
  current_ = saved.Name();
  if (saved.Outcome() == SavedQueryDialog::Result::kLoaded) {
    work_ = saved.Work();
    Rebuild();
    if (!rows_.empty()) {
      runtime::SetProperty(qbe::kList, Prop::kChoice, "1");
      ShowRow(1);
    }
  }
}

void QueryDialog::Finish() {
  query_.SetFields(work_);
  query_.QKCURRENTQUERY = current_;
  // The query run last is kept as the most recently used one; failing to keep it does not stop
  // the query from running.
  (void)query_.SaveQuery(kLastQuery);
  FinishWith(response::kCompleted);
}

Level QueryDialog::HandleAccepted() {
  if (const Level level = DialogBase::HandleAccepted(); level != Level::Proceed) return level;
  switch (runtime::AcceptedControl()) {
    case qbe::kInsert:
      Insert();
      break;
    case qbe::kChange:
      Change();
      break;
    case qbe::kDelete:
      Delete();
      break;
    case qbe::kClear:
      for (QueryField& f : work_) {
        f.LOW.clear();
        f.MIDDLE.clear();
        f.HIGH.clear();
      }
      current_.clear();
      Rebuild();
      break;
    case qbe::kSaved:
      OpenSaved();
      break;
    case qbe::kOk:
      Finish();
      return Level::Notified;
    case qbe::kList:  // Enter or a double click: edit the highlighted term
      ShowRow(Highlighted(qbe::kList, static_cast<int32_t>(rows_.size())));
      runtime::SELECT(qbe::kValue);
      break;
    case qbe::kField:
    case qbe::kOperator:
      FitValuePicture();
      break;
    default:
      break;
  }
  return Level::Proceed;
}

Level QueryDialog::HandleNewSelection() {
  if (const Level level = DialogBase::HandleNewSelection(); level != Level::Proceed) return level;
  if (runtime::FIELD() == qbe::kList) {
    ShowRow(Highlighted(qbe::kList, static_cast<int32_t>(rows_.size())));
  }
  return Level::Proceed;
}

Level QueryDialog::HandleFieldEvent() {
  if (runtime::FIELD() == qbe::kList) {
    const int32_t row =
        ScrollWholeList(qbe::kList, runtime::EVENT(), static_cast<int32_t>(rows_.size()));
    if (row > 0) ShowRow(row);
  }
  return DialogBase::HandleFieldEvent();
}

}  // namespace query_detail
}  // namespace pellucor::framework
