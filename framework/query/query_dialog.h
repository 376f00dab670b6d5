// The query dialog: a list of the query's terms ("Field / Operator / Value"), the controls to
// edit one term, Insert, Change and Delete for the list, Clear, the saved queries, OK and Cancel.
// It works on a copy of the query's fields; OK hands the copy to the query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/query/dialog_base.h"
#include "framework/query/dialog_lists.h"
#include "framework/query/query_manager.h"
#include "framework/query/query_terms.h"

namespace pellucor::framework::query_detail {

// Control numbers of the query dialog.
namespace qbe {
inline constexpr int32_t kList = 1;
inline constexpr int32_t kFieldPrompt = 2;
inline constexpr int32_t kField = 3;
inline constexpr int32_t kOperatorPrompt = 4;
inline constexpr int32_t kOperator = 5;
inline constexpr int32_t kIgnoreCase = 6;
inline constexpr int32_t kValuePrompt = 7;
inline constexpr int32_t kValue = 8;
inline constexpr int32_t kInsert = 9;
inline constexpr int32_t kChange = 10;
inline constexpr int32_t kDelete = 11;
inline constexpr int32_t kClear = 12;
inline constexpr int32_t kSaved = 13;
inline constexpr int32_t kOk = 14;
inline constexpr int32_t kCancel = 15;
}  // namespace qbe

inline constexpr std::string_view kQueryDialogName = "QBEList";
inline constexpr std::string_view kQueryListFormat =
    "91L|M~Field~@s20@44C|M~Operator~L@s10@120C|M~Value~L@s30@";
// The value entry's picture while a term is typed as text.
inline constexpr std::string_view kValuePicture = "@s100";
inline constexpr size_t kValueSize = 100;

// The window, its drop lists filled from `fields` and the operators.
runtime::WindowDescription QueryDialogDescription(const std::vector<QueryField>& fields);

class QueryDialog : public DialogBase {
 public:
  explicit QueryDialog(QueryManager& query);

  Level Init() override;
  Level HandleAccepted() override;
  Level HandleNewSelection() override;
  Level HandleFieldEvent() override;

  // The fields as the dialog has them now.
  [[nodiscard]] const std::vector<QueryField>& Work() const { return work_; }

 private:
  struct Row {
    size_t field = 0;
    QueryPart part = QueryPart::kMiddle;
    QueryTerm term;
  };

  // The list's rows again from work_.
  void Rebuild();
  // The edit controls show row `row` (from 1).
  void ShowRow(int32_t row);
  // The term the edit controls hold; false (the user told why) when it is not complete.
  bool ReadEdit(size_t* field, QueryTerm* term);
  // Puts the term where it belongs: ">=" and "<=" with a value are the bounds, others MIDDLE.
  QueryPart Place(size_t field, const QueryTerm& term);
  void Remove(const Row& row);
  void Highlight(size_t field, QueryPart part);
  // A field that forces its picture is edited through it for comparisons.
  void FitValuePicture();
  [[nodiscard]] std::string ValueShown(const Row& row) const;
  void Insert();
  void Change();
  void Delete();
  void OpenSaved();
  void Finish();

  QueryManager& query_;
  std::vector<QueryField> work_;
  std::vector<Row> rows_;
  TextRows list_;
  std::string current_;  // the saved query work_ came from, while it is unchanged
  std::string value_picture_;
  char value_[kValueSize] = {};
  uint8_t ignore_case_ = 0;
};

}  // namespace pellucor::framework::query_detail
