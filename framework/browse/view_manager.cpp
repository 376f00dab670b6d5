// The view manager's sort orders, opening and reading; the filter text is built in
// filter_text.cpp.
#include "framework/browse/view_manager.h"

#include <algorithm>
#include <cstdlib>

#include "data/driver/driver.h"
#include "data/view/view.h"
#include "framework/browse/step_locator.h"
#include "framework/browse/step_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "runtime/core/error_state.h"

namespace pellucor::framework {

namespace {
constexpr int32_t kRecordNotAvailable = 33;
}  // namespace

SortOrder::SortOrder() = default;
SortOrder::~SortOrder() = default;
SortOrder::SortOrder(SortOrder&&) noexcept = default;
SortOrder& SortOrder::operator=(SortOrder&&) noexcept = default;

ViewManager::ViewManager() = default;
ViewManager::~ViewManager() = default;

void ViewManager::Init(data::view::View& view, RelationManager& primary) {
  VIEW = &view;
  PRIMARY = &primary;
  ORDER.clear();
  current_ = 0;
  OPENED = false;
}

FileManager* ViewManager::PrimaryFile() const {
  return PRIMARY != nullptr ? PRIMARY->ME : nullptr;
}

runtime::AnyRef ViewManager::PrimaryField(int32_t field) const {
  runtime::AnyRef ref;
  FileManager* file = PrimaryFile();
  if (file == nullptr || field < 1 || static_cast<size_t>(field) > file->Layout().fields.size()) {
    return ref;
  }
  const data::FieldInfo& info = file->Layout().fields[static_cast<size_t>(field - 1)];
  ref.address = file->Buffer() + info.offset;
  ref.size = info.size;
  ref.type = info.type;
  ref.places = info.places;
  return ref;
}

int32_t ViewManager::AddSortOrder(const data::KeyDecl* key, std::string_view added_order) {
  auto order = std::make_unique<SortOrder>();
  order->MAINKEY = key;
  order->ORDER = std::string(added_order);
  order->FREEELEMENT = key != nullptr && !key->components.empty() ? 1 : 0;
  ORDER.push_back(std::move(order));
  current_ = ORDER.size() - 1;
  return static_cast<int32_t>(ORDER.size());
}

void ViewManager::AddRange(runtime::AnyRef value) {
  SortOrder* order = CurrentOrder();
  if (order == nullptr || order->FREEELEMENT == 0 || order->LIMITTYPE == limit::kRange) return;
  order->RANGELIST.push_back({order->FREEELEMENT, value, {}});
  order->LIMITTYPE = limit::kSingle;
  const auto components = static_cast<int32_t>(order->MAINKEY->components.size());
  order->FREEELEMENT = order->FREEELEMENT < components ? order->FREEELEMENT + 1 : 0;
}

void ViewManager::AddRange(runtime::AnyRef low, runtime::AnyRef high) {
  SortOrder* order = CurrentOrder();
  if (order == nullptr || order->FREEELEMENT == 0 || order->LIMITTYPE == limit::kRange) return;
  order->RANGELIST.push_back({order->FREEELEMENT, low, high});
  order->LIMITTYPE = limit::kRange;
  // Records between the bounds still differ in the bounded component: a locator sets it.
}

SortOrder* ViewManager::CurrentOrder() {
  return current_ < ORDER.size() ? ORDER[current_].get() : nullptr;
}

const KeyRow* ViewManager::MainKeyRow() {
  SortOrder* order = CurrentOrder();
  FileManager* file = PrimaryFile();
  if (order == nullptr || file == nullptr) return nullptr;
  for (const KeyRow& row : file->KEYS) {
    if (row.KEY == order->MAINKEY) return &row;
  }
  return nullptr;
}

// --- Virtual operations ---

Level ViewManager::ApplyOrder() {
  SortOrder* order = CurrentOrder();
  if (VIEW == nullptr || order == nullptr) return Level::Proceed;
  VIEW->SetKey(order->MAINKEY);
  VIEW->SetOrder({});
  if (!order->ORDER.empty() && VIEW->AddOrderText(order->ORDER) != 0) {
    // The order names a field the view does not have: the key's own order stays.
    VIEW->SetOrder({});
    return PrimaryFile()->ReportError(view_msg::kViewOpenError);
  }
  return Level::Proceed;
}

Level ViewManager::ApplyFilter() {
  SortOrder* order = CurrentOrder();
  if (VIEW == nullptr) return Level::Proceed;
  if (order != nullptr) order->applied_range = RangeText();
  return SetViewFilter(FilterText());
}

Level ViewManager::SetViewFilter(const std::string& text) {
  VIEW->SetFilter(text);
  if (!OPENED) return Level::Proceed;
  // The VIEW compiles its filter when it is set going: a text it refuses shows now, not at the
  // first read.
  if (VIEW->Set() == 0) return Level::Proceed;
  const Level level = PrimaryFile()->ReportError(view_msg::kViewOpenError);
  VIEW->SetFilter({});
  (void)VIEW->Set();
  return level;
}

bool ViewManager::NeedRefresh() {
  SortOrder* order = CurrentOrder();
  return order != nullptr && OPENED && order->applied_range != RangeText();
}

Level ViewManager::Close() {
  if (OPENED && VIEW != nullptr) (void)VIEW->Close();
  OPENED = false;
  return Level::Proceed;
}

std::string ViewManager::FreeComponentName() {
  const int32_t n = FreeComponentNumber();
  const KeyRow* row = MainKeyRow();
  if (n == 0 || row == nullptr || static_cast<size_t>(n) > row->FIELDS.size()) return {};
  return row->FIELDS[static_cast<size_t>(n - 1)].FIELDNAME;
}

int32_t ViewManager::FreeComponentNumber() {
  SortOrder* order = CurrentOrder();
  return order != nullptr ? order->FREEELEMENT : 0;
}

Level ViewManager::Kill() {
  (void)Close();
  if (DISPOSEORDER) ORDER.clear();
  current_ = 0;
  return Level::Proceed;
}

Level ViewManager::Next() {
  for (;;) {
    const int32_t e = VIEW->Next();
    if (e == kRecordNotAvailable) return Level::Notified;
    if (e != 0) {
      (void)PrimaryFile()->ReportError(view_msg::kRecordRetrievalError);
      return Level::Fatal;
    }
    const int32_t check = CheckRecord();
    if (check == 0) return Level::Proceed;
    if (check != 1) return Level::Notified;
  }
}

Level ViewManager::Previous() {
  for (;;) {
    const int32_t e = VIEW->Previous();
    if (e == kRecordNotAvailable) return Level::Notified;
    if (e != 0) {
      (void)PrimaryFile()->ReportError(view_msg::kRecordRetrievalError);
      return Level::Fatal;
    }
    const int32_t check = CheckRecord();
    if (check == 0) return Level::Proceed;
    if (check != 1) return Level::Notified;
  }
}

Level ViewManager::Open() {
  if (OPENED) return Level::Proceed;
  if (VIEW == nullptr || PRIMARY == nullptr) return Level::Fatal;
  if (PrimaryFile()->EnsureOpen() != Level::Proceed || VIEW->Open() != 0) {
    return PrimaryFile()->ReportError(view_msg::kViewOpenError);
  }
  (void)VIEW->Buffer({PAGESIZE, PAGESBEHIND, PAGESAHEAD, TIMEOUT});
  OPENED = true;
  (void)ApplyOrder();
  (void)ApplyFilter();
  return Level::Proceed;
}

void ViewManager::PrepareInsertRecord() {
  FileManager* file = PrimaryFile();
  if (file == nullptr) return;
  data::OpArgs clear;
  clear.mode = 0;
  (void)data::Dispatch(*file->FILE, data::Op::kCLEAR, clear);
  SortOrder* order = CurrentOrder();
  if (order == nullptr || order->MAINKEY == nullptr) return;
  for (const RangeComponent& r : order->RANGELIST) {
    if (r.VALUE.address == nullptr || r.COMPONENT < 1 ||
        static_cast<size_t>(r.COMPONENT) > order->MAINKEY->components.size()) {
      continue;
    }
    const int32_t field =
        std::abs(order->MAINKEY->components[static_cast<size_t>(r.COMPONENT - 1)]);
    runtime::AnyRef target = PrimaryField(field);
    if (target.address == nullptr) continue;
    runtime::AccessorFactory(target.type, target.address, target.size, target.places)
        ->Assign(
            *runtime::AccessorFactory(r.VALUE.type, r.VALUE.address, r.VALUE.size, r.VALUE.places));
  }
}

Level ViewManager::SetPosition(int32_t components) {
  if (!OPENED) {
    if (const Level level = Open(); level != Level::Proceed) return level;
  }
  if (components > 0 && SeekByKey(components)) {
    positioned_at_start_ = false;
    return Level::Proceed;
  }
  if (VIEW->Set(std::max(0, components)) != 0) {
    return PrimaryFile()->ReportError(view_msg::kViewOpenError);
  }
  positioned_at_start_ = components <= 0;
  return Level::Proceed;
}

// The VIEW finds a start by reading its rows from the first until one is not before the values;
// when it reads in the order of MAINKEY alone, the key finds that record at once. The components
// after the first `components` are set to their lowest values (highest for a descending one), so
// that the key stands on the first entry whose leading components are not before the buffer's;
// the VIEW then starts there and leaves out what its filter does not admit.
bool ViewManager::SeekByKey(int32_t components) {
  SortOrder* order = CurrentOrder();
  FileManager* file = PrimaryFile();
  const data::KeyDecl* key = order != nullptr ? order->MAINKEY : nullptr;
  if (key == nullptr || file == nullptr ||
      static_cast<size_t>(components) > key->components.size() || VIEW->Set() != 0) {
    return false;
  }
  const data::view::Plan& plan = VIEW->CurrentPlan();
  if (plan.sorts || plan.key != key) return false;
  for (size_t i = static_cast<size_t>(components); i < key->components.size(); ++i) {
    const int32_t c = key->components[i];
    const runtime::AnyRef f = PrimaryField(std::abs(c));
    if (f.address == nullptr) return false;
    runtime::ClearValue(f.type, f.address, f.size, f.places,
                        c > 0 ? runtime::ClearMode::kLowest : runtime::ClearMode::kHighest);
  }
  data::OpArgs seek;
  seek.key = key;
  if (data::Dispatch(*file->FILE, data::Op::kSETkeykey, seek).error != 0) return false;
  const int32_t e = data::Dispatch(*file->FILE, data::Op::kNEXT).error;
  if (e == 0) return VIEW->ResetViewFile() == 0;
  if (e != kRecordNotAvailable) return false;
  // Nothing lies at or after the values: the VIEW stands past its last row.
  if (VIEW->Set() != 0) return false;
  (void)VIEW->Previous();
  return true;
}

Level ViewManager::Reset() {
  return SetPosition(0);
}

void ViewManager::SetFilter(std::string_view text) {
  SetFilterById(text, kStandardFilterId);
}

void ViewManager::SetFilterById(std::string_view text, std::string_view id) {
  SortOrder* order = CurrentOrder();
  if (order == nullptr) return;
  const std::string key(id.substr(0, kFilterIdSize));
  auto it = std::find_if(order->FILTER.begin(), order->FILTER.end(),
                         [&](const NamedFilter& f) { return f.ID == key; });
  const bool blank = text.find_first_not_of(' ') == std::string_view::npos;
  if (blank) {
    if (it != order->FILTER.end()) order->FILTER.erase(it);
  } else if (it != order->FILTER.end()) {
    it->FILTER = std::string(text);
  } else {
    order->FILTER.push_back({key, std::string(text)});
  }
}

bool ViewManager::ApplyRange() {
  if (!NeedRefresh()) return false;
  (void)ApplyFilter();
  return true;
}

bool ViewManager::SetSort(int32_t n) {
  if (n < 1 || static_cast<size_t>(n) > ORDER.size()) return false;
  const auto wanted = static_cast<size_t>(n - 1);
  if (wanted == current_) return false;
  current_ = wanted;
  return true;
}

int32_t ViewManager::CheckRecord() {
  return 0;
}

}  // namespace pellucor::framework
