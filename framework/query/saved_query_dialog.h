// The saved-query dialog, opened from the query dialog: the list of the family's saved queries,
// a name, and Save (the query dialog's terms under the name), Delete and Load. Save and Load end
// the dialog; Delete keeps it open on the shorter list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/query/dialog_base.h"
#include "framework/query/dialog_lists.h"
#include "framework/query/query_manager.h"

namespace pellucor::framework::query_detail {

namespace saved {
inline constexpr int32_t kList = 1;
inline constexpr int32_t kNamePrompt = 2;
inline constexpr int32_t kName = 3;
inline constexpr int32_t kSave = 4;
inline constexpr int32_t kDelete = 5;
inline constexpr int32_t kLoad = 6;
inline constexpr int32_t kCancel = 7;
}  // namespace saved

inline constexpr std::string_view kSavedDialogName = "QBESaved";
inline constexpr std::string_view kSavedListFormat = "20L(1)~Selections~#2#";

runtime::WindowDescription SavedQueryDescription();

class SavedQueryDialog : public DialogBase {
 public:
  enum class Result : uint8_t { kNone, kSaved, kLoaded };

  // `work`: the terms the query dialog holds (saved by Save; Load fills a copy).
  SavedQueryDialog(QueryManager& query, const std::vector<QueryField>& work);

  Level Init() override;
  Level HandleAccepted() override;
  Level HandleNewSelection() override;
  Level HandleFieldEvent() override;

  [[nodiscard]] Result Outcome() const { return outcome_; }
  // The query saved or loaded.
  [[nodiscard]] const std::string& Name() const { return chosen_; }
  // The terms loaded.
  [[nodiscard]] const std::vector<QueryField>& Work() const { return work_; }

 private:
  void Fill();
  // The name entry shows the query of list row `row` (from 1).
  void ShowName(int32_t row);
  // The typed name, else the highlighted query's.
  [[nodiscard]] std::string TypedName();
  void Save();
  void Delete();
  void Load();

  QueryManager& query_;
  std::vector<QueryField> work_;
  std::vector<std::string> names_;
  TextRows list_;
  char name_[kMaxQueryName] = {};
  Result outcome_ = Result::kNone;
  std::string chosen_;
};

}  // namespace pellucor::framework::query_detail
