#include "framework/query/saved_query_dialog.h"

#include <algorithm>
#include <cstring>

#include "framework/ini/ini_manager.h"
#include "framework/query/query_terms.h"
#include "runtime/event/event.h"

namespace pellucor::framework::query_detail {

namespace {

using runtime::ControlKind;
using runtime::Prop;

}  // namespace

runtime::WindowDescription SavedQueryDescription() {
  runtime::WindowDescription d;
  d.name = std::string(kSavedDialogName);
  d.title = "Saved Queries";
  d.at = runtime::DialogRect{0, 0, 232, 142};
  d.centered = true;
  AddControl(d, saved::kList, ControlKind::kList, "", {6, 6, 162, 100}).format = kSavedListFormat;
  AddControl(d, saved::kNamePrompt, ControlKind::kPrompt, "&Selection name:", {6, 110, 100, 10});
  AddControl(d, saved::kName, ControlKind::kEntry, "", {6, 122, 162, 12}).picture =
      "@s" + std::to_string(kMaxQueryName);
  AddControl(d, saved::kSave, ControlKind::kButton, "&Save", {176, 6, 50, 14}).tip =
      "Save the query under the name";
  AddControl(d, saved::kDelete, ControlKind::kButton, "&Delete", {176, 24, 50, 14}).tip =
      "Delete the saved query";
  AddControl(d, saved::kLoad, ControlKind::kButton, "&Load", {176, 42, 50, 14}).tip =
      "Load the saved query";
  AddControl(d, saved::kCancel, ControlKind::kButton, "Cancel", {176, 122, 50, 14});
  return d;
}

SavedQueryDialog::SavedQueryDialog(QueryManager& query, const std::vector<QueryField>& work)
    : DialogBase(query.ERRORS, query.INIMGR), query_(query), work_(work) {}

Level SavedQueryDialog::Init() {
  runtime::WindowDescription d = SavedQueryDescription();
  Bind(d, saved::kName, {name_, kMaxQueryName, runtime::TypeCode::kString, 0});
  std::memset(name_, ' ', kMaxQueryName);
  if (const Level level = OpenDialog(std::move(d)); level != Level::Proceed) return level;
  AddButton(saved::kCancel, response::kCancelled);
  FIRSTFIELD = saved::kName;
  runtime::SetListRows(saved::kList, &list_);
  Fill();
  // The query in force is the one the user most likely saves again or loads.
  const auto current = std::find_if(names_.begin(), names_.end(), [&](const std::string& n) {
    return SameName(n, query_.QKCURRENTQUERY);
  });
  if (current != names_.end()) {
    const auto row = static_cast<int32_t>(current - names_.begin() + 1);
    runtime::SetProperty(saved::kList, Prop::kChoice, std::to_string(row));
    ShowName(row);
  }
  return Level::Proceed;
}

void SavedQueryDialog::Fill() {
  names_ = query_.SavedQueries();
  list_.rows.clear();
  for (const std::string& name : names_) {
    list_.rows.push_back({IniManager::MakeSector(query_.FAMILY, name, kQueryType), name});
  }
  runtime::DISPLAY(saved::kList);
}

void SavedQueryDialog::ShowName(int32_t row) {
  if (row < 1 || static_cast<size_t>(row) > names_.size()) return;
  const std::string& name = names_[static_cast<size_t>(row) - 1];
  std::memset(name_, ' ', kMaxQueryName);
  if (!name.empty()) std::memcpy(name_, name.data(), std::min(name.size(), kMaxQueryName));
  runtime::DISPLAY(saved::kName);
}

std::string SavedQueryDialog::TypedName() {
  runtime::UPDATE(saved::kName);
  std::string name(Trim(std::string_view(name_, kMaxQueryName)));
  if (name.empty()) {
    const int32_t row = Highlighted(saved::kList, static_cast<int32_t>(names_.size()));
    if (row > 0) name = names_[static_cast<size_t>(row) - 1];
  }
  return name;
}

void SavedQueryDialog::Save() {
  const std::string name = TypedName();
  if (const std::string problem = QueryManager::QueryNameProblem(name); !problem.empty()) {
    Tell(problem);
    runtime::SELECT(saved::kName);
    return;
  }
  if (query_.IsSaved(name) &&
      !Confirm("A query named " + name + " is saved already. Do you want to replace it?")) {
    runtime::SELECT(saved::kName);
    return;
  }
  if (query_.SaveFields(name, work_) != Level::Proceed) {
    Tell("The query could not be saved in the settings file.");
    return;
  }
  outcome_ = Result::kSaved;
  chosen_ = name;
  FinishWith(response::kCompleted);
}

void SavedQueryDialog::Delete() {
  const std::string name = TypedName();
  if (!query_.IsSaved(name)) {
    Tell(name.empty() ? "Choose the query to delete."
                      : "There is no saved query named " + name + ".");
    return;
  }
  if (!Confirm("Do you want to delete the saved query " + name + "?")) return;
  (void)query_.DeleteQuery(name);
  std::memset(name_, ' ', kMaxQueryName);
  Fill();
  runtime::DISPLAY(saved::kName);
}

void SavedQueryDialog::Load() {
  const std::string name = TypedName();
  if (!query_.IsSaved(name)) {
    Tell(name.empty() ? "Choose the query to load."
                      : "There is no saved query named " + name + ".");
    return;
  }
  std::vector<QueryField> fields = work_;
  if (query_.LoadFields(name, fields) != Level::Proceed) {
    Tell("The query " + name + " could not be read from the settings file.");
    return;
  }
  work_ = std::move(fields);
  outcome_ = Result::kLoaded;
  chosen_ = name;
  FinishWith(response::kCompleted);
}

Level SavedQueryDialog::HandleAccepted() {
  if (const Level level = DialogBase::HandleAccepted(); level != Level::Proceed) return level;
  switch (runtime::AcceptedControl()) {
    case saved::kSave:
      Save();
      break;
    case saved::kDelete:
      Delete();
      break;
    case saved::kLoad:
    case saved::kList:  // Enter or a double click on a saved query loads it
      Load();
      break;
    default:
      break;
  }
  return Level::Proceed;
}

Level SavedQueryDialog::HandleNewSelection() {
  if (const Level level = DialogBase::HandleNewSelection(); level != Level::Proceed) return level;
  if (runtime::FIELD() == saved::kList) {
    ShowName(Highlighted(saved::kList, static_cast<int32_t>(names_.size())));
  }
  return Level::Proceed;
}

Level SavedQueryDialog::HandleFieldEvent() {
  if (runtime::FIELD() == saved::kList) {
    ShowName(ScrollWholeList(saved::kList, runtime::EVENT(), static_cast<int32_t>(names_.size())));
  }
  return DialogBase::HandleFieldEvent();
}

}  // namespace pellucor::framework::query_detail
