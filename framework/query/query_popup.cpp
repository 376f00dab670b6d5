// The query's items in the browse's popup: the saved queries, "Empty" while there are none, and
// "C&lear".
#include <algorithm>

#include "framework/popup/popup_manager.h"
#include "framework/query/query_manager.h"
#include "framework/query/query_terms.h"

namespace pellucor::framework {

namespace {
constexpr std::string_view kEmptyText = "Empty";
constexpr std::string_view kClearText = "C&lear";
// Saved-query items are named from their query, after this prefix, so that a query called
// "Insert" does not take the name of the browse's own Insert item.
constexpr std::string_view kQueryItemPrefix = "tsQBE_";
}  // namespace

void QueryManager::AddPopupItems(PopupManager& popup) {
  if (!QKSUPPORT) return;
  RemovePopupItems();  // the items live in one popup, once
  POPUPLIST = &popup;
  view_separator_ = popup.AddSeparator(kViewSeparatorItem);
  clear_separator_ = popup.AddSeparator(kClearSeparatorItem);
  clear_item_ = popup.AddItem(kClearText, kClearItem);
  popup.SetRefresher(this, [this] { RefreshPopupItems(); });
  RefreshPopupItems();
}

void QueryManager::RemovePopupItems() {
  if (POPUPLIST != nullptr) {
    POPUPLIST->RemoveRefresher(this);
    for (const auto& item : query_items_) POPUPLIST->DeleteItem(item.first);
    POPUPLIST->DeleteItem(kEmptyItem);
    for (const std::string& name : {view_separator_, clear_separator_, clear_item_}) {
      if (!name.empty()) POPUPLIST->DeleteItem(name);
    }
  }
  POPUPLIST = nullptr;
  query_items_.clear();
  view_separator_.clear();
  clear_separator_.clear();
  clear_item_.clear();
  QKSUBMENUPOS = 0;
}

void QueryManager::RefreshPopupItems() {
  if (POPUPLIST == nullptr) return;
  PopupManager& popup = *POPUPLIST;
  for (const auto& item : query_items_) popup.DeleteItem(item.first);
  query_items_.clear();
  popup.DeleteItem(kEmptyItem);

  std::string after = view_separator_;
  const std::vector<std::string> saved = SavedQueries();
  for (const std::string& name : saved) {
    const std::string item = popup.AddItemAfter(
        after, name, std::string(kQueryItemPrefix) + PopupManager::NameFromText(name));
    popup.SetIcon(item, QKMENUICON);
    popup.SetItemChecked(item, query_detail::SameName(name, QKCURRENTQUERY));
    query_items_.emplace_back(item, name);
    after = item;
  }
  if (saved.empty()) {
    popup.AddItemAfter(after, kEmptyText, kEmptyItem);
    popup.SetItemEnabled(kEmptyItem, false);
  }
  const auto at = std::find_if(popup.POPUPITEMS.begin(), popup.POPUPITEMS.end(),
                               [&](const PopupItem& i) { return i.NAME == view_separator_; });
  QKSUBMENUPOS =
      at == popup.POPUPITEMS.end() ? 0 : static_cast<uint16_t>(at - popup.POPUPITEMS.begin() + 1);
}

QueryChoice QueryManager::TakePopupChoice(std::string_view item) {
  if (item.empty()) return QueryChoice::kNone;
  QueryChoice choice = QueryChoice::kNone;
  if (!clear_item_.empty() && query_detail::SameName(item, clear_item_)) {
    ClearQuery();
    choice = QueryChoice::kClear;
  }
  for (const auto& [name, query] : query_items_) {
    if (choice == QueryChoice::kNone && query_detail::SameName(item, name)) {
      choice = RunQuery(query) == Level::Proceed ? QueryChoice::kRun : QueryChoice::kNone;
      break;
    }
  }
  // The tick moves to the query now in force.
  if (choice != QueryChoice::kNone) RefreshPopupItems();
  return choice;
}

}  // namespace pellucor::framework
