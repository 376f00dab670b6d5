// Filling the browse's list: one screenful, read from the VIEW around the row that matters.
//
// The list never holds more than LASTITEMS rows. A fill that continues from the rows already
// shown positions the VIEW at the boundary row (the last row reading forwards, the first reading
// backwards): the VIEW then returns that same record first, which is skipped, but only when its
// position is still the row's. When another station deleted the boundary record meanwhile, the
// VIEW returns its neighbour instead, which is new to the list and kept.
#include <algorithm>
#include <string>
#include <vector>

#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/step_locator.h"
#include "framework/browse/step_manager.h"
#include "framework/file/relation_manager.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

namespace {

// The cursor shows that the program is busy while a page is read.
class WaitCursor {
 public:
  WaitCursor() { runtime::SETCURSOR(runtime::CursorKind::kWait); }
  ~WaitCursor() { runtime::SETCURSOR(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Quick scan for the primary file while more than one row is read.
class QuickScan {
 public:
  QuickScan(RelationManager* primary, bool on) : primary_(on ? primary : nullptr) {
    if (primary_ != nullptr) primary_->SetQuickScan(true, true);
  }
  ~QuickScan() {
    if (primary_ != nullptr) primary_->SetQuickScan(false, true);
  }
  QuickScan(const QuickScan&) = delete;
  QuickScan& operator=(const QuickScan&) = delete;

 private:
  RelationManager* primary_;
};

}  // namespace

Level BrowseManager::Fetch(uint8_t direction) {
  const bool forward = direction == fill::kForward;
  QuickScan quick(PRIMARY, QUICKSCAN && ITEMSTOFILL > 1);
  // The rows the VIEW returns again before the new ones: normally the boundary row alone. When
  // the VIEW can no longer find the boundary record (a sorting VIEW cannot find a deleted one),
  // reading resumes at the nearest row it can find, and the rows between are skipped too.
  std::vector<std::string> again;
  if (const int32_t rows = Rows(); rows > 0 && ITEMSTOFILL > 0) {
    for (int32_t i = 0; i < rows && again.empty(); ++i) {
      const int32_t row = forward ? rows - i : 1 + i;
      if (!PositionAt(RowPosition(row))) continue;
      for (int32_t k = row; forward ? k <= rows : k >= 1; k += forward ? 1 : -1) {
        again.push_back(RowPosition(k));
      }
    }
    if (again.empty()) return Level::Notified;  // nothing the list shows can be found again
  }
  Level level = Level::Proceed;
  while (ITEMSTOFILL > 0) {
    level = forward ? Next() : Previous();
    if (level != Level::Proceed) break;
    if (!again.empty()) {
      const auto seen = std::find(again.begin(), again.end(), VIEW->Position());
      if (seen != again.end()) {
        again.erase(again.begin(), seen + 1);
        continue;
      }
      again.clear();  // from here on every record is new to the list
    }
    if (Rows() >= LASTITEMS) {
      if (forward) {
        DropRow(1);
        at_start_ = false;
      } else {
        DropRow(Rows());
        at_end_ = false;
      }
    }
    FillListRow();
    if (forward) {
      runtime::QueueAdd(*LISTQUEUE);
    } else {
      runtime::QueueAddAt(*LISTQUEUE, 1);
    }
    --ITEMSTOFILL;
  }
  if (level == Level::Proceed) {
    // Stopped because enough was read: whether more records lie beyond is not known.
    (forward ? at_end_ : at_start_) = false;
  }
  return level;
}

void BrowseManager::ResetQueue(uint8_t mode) {
  if (!ACTIVEINVISIBLE && !ListVisible()) {
    LOADPENDING = true;
    return;
  }
  LOADED = true;
  LOADPENDING = false;
  WaitCursor busy;
  LASTITEMS = VisibleRows();
  if (CURRENTCHOICE == 0) CURRENTCHOICE = 1;

  std::string remembered;
  int32_t offset = 0;
  bool from_start = false;
  if (mode == reset_mode::kFromView) {
    if (RETAINROW) offset = std::min(CURRENTCHOICE, LASTITEMS) - 1;
    from_start = positioned_at_start_;
  } else if (Rows() > 0) {
    remembered = RowPosition(std::min(CURRENTCHOICE, Rows()));
    if (!PositionAt(RowPosition(1))) {
      (void)Reset();
      from_start = true;
    }
  } else {
    (void)Reset();
    from_start = true;
  }
  FillAround(from_start ? 0 : offset, remembered);
}

void BrowseManager::FillAround(int32_t offset, std::string remembered) {
  const bool from_start = positioned_at_start_;
  ClearList();
  ITEMSTOFILL = LASTITEMS - offset;
  if (Fetch(fill::kForward) == Level::Fatal) return;
  if (from_start) at_start_ = true;
  if (remembered.empty() && Rows() > 0) remembered = RowPosition(1);
  CURRENTCHOICE = remembered.empty() ? 1 : FindRow(remembered);

  if (Rows() == 0) (void)Reset();  // past the end: the last page is shown instead
  ITEMSTOFILL = ALLOWUNFILLED ? 0 : LASTITEMS - Rows();
  if (!positioned_at_start_ || Rows() == 0) {
    if (offset > 0 && ITEMSTOFILL < offset) ITEMSTOFILL = offset;
    if (ITEMSTOFILL > 0 && !at_start_) {
      if (Fetch(fill::kBackward) == Level::Fatal) return;
      CURRENTCHOICE = remembered.empty() ? Rows() : FindRow(remembered);
    }
  }
  // A record near the top of the data cannot keep its screen row: the rest of the page comes
  // from below.
  if (Rows() < LASTITEMS && !ALLOWUNFILLED && !at_end_) {
    ITEMSTOFILL = LASTITEMS - Rows();
    if (Fetch(fill::kForward) == Level::Fatal) return;
    if (!remembered.empty()) CURRENTCHOICE = FindRow(remembered);
  }
  while (Rows() > LASTITEMS) {
    if (CURRENTCHOICE > LASTITEMS) {
      DropRow(1);
      --CURRENTCHOICE;
      at_start_ = false;
    } else {
      DropRow(Rows());
      at_end_ = false;
    }
  }
  if (CURRENTCHOICE == 0 || CURRENTCHOICE > Rows()) CURRENTCHOICE = 1;
  FILELOADED = at_start_ && at_end_;
  LASTCHOICE = CURRENTCHOICE;
  NoteResetValues();
  ShowPage();
}

bool BrowseManager::SelectSortOrder(int32_t n, bool force) {
  const bool changed = SetSort(n) || applied_order_ != CurrentOrderNumber();
  if (!changed && !force && !NeedRefresh()) return false;
  if (!OPENED) {
    if (Open() != Level::Proceed) return false;
  } else {
    (void)ApplyOrder();
    (void)ApplyFilter();
  }
  applied_order_ = CurrentOrderNumber();
  TakeStepLimits();
  if (changed) {
    // The rows' positions belong to the order they were read in: start at the top.
    ClearList();
    CURRENTCHOICE = 1;
  }
  ResetQueue(reset_mode::kAroundHighlight);
  return true;
}

bool BrowseManager::ChooseSortOrder(bool force) {
  return SelectSortOrder(static_cast<int32_t>(ORDER.size()), force);
}

void BrowseManager::ResetSort(bool force) {
  if (ORDER.empty()) return;
  (void)ChooseSortOrder(force);
}

void BrowseManager::TakeStepLimits() {
  SortOrder* order = CurrentOrder();
  if (order == nullptr || order->THUMB == nullptr || order->LOCATOR == nullptr) return;
  const runtime::AnyRef field = order->LOCATOR->FREEELEMENT;
  auto text = [&] {
    return runtime::AccessorFactory(field.type, field.address, field.size, field.places)->GetText();
  };
  std::string low, high;
  if (Reset() == Level::Proceed && ViewManager::Next() == Level::Proceed) low = text();
  if (Reset() == Level::Proceed && ViewManager::Previous() == Level::Proceed) high = text();
  order->THUMB->SetLimits(low, high);
}

}  // namespace pellucor::framework
