#include "report/preview_dialogs.h"

#include <algorithm>
#include <cstring>

#include "framework/ini/ini_manager.h"
#include "report/page_list.h"
#include "report/preview_windows.h"
#include "report/print_preview.h"
#include "runtime/event/event.h"

namespace pellucor::report {

using framework::Level;
namespace response = framework::response;

JumpDialog::JumpDialog(int32_t* page, int32_t pages) : page_(page), copy_(*page), pages_(pages) {}
JumpDialog::~JumpDialog() = default;

Level JumpDialog::Init() {
  if (const Level l = WindowManager::Init(); l != Level::Proceed) return l;
  window_ = std::make_unique<runtime::Window>(JumpWindow(&copy_, pages_));
  window_->Open();
  OPENED = true;
  FIRSTFIELD = jump_window::kPage;
  AddButton(jump_window::kCancel, response::kCancelled);
  return Level::Proceed;
}

Level JumpDialog::HandleAccepted() {
  if (const Level l = WindowManager::HandleAccepted(); l != Level::Proceed) return l;
  if (runtime::AcceptedControl() == jump_window::kOk) {
    runtime::UPDATE(jump_window::kPage);
    *page_ = std::clamp(copy_, 1, std::max(1, pages_));
    FinishWith(response::kCompleted);
  }
  return Level::Proceed;
}

Level JumpDialog::Kill() {
  const Level l = WindowManager::Kill();
  if (window_ && window_->IsOpen()) window_->Close();
  return l;
}

SelectDialog::SelectDialog(uint16_t* across, uint16_t* down) : across_(across), down_(down) {}
SelectDialog::~SelectDialog() = default;

Level SelectDialog::Init() {
  if (const Level l = WindowManager::Init(); l != Level::Proceed) return l;
  window_ = std::make_unique<runtime::Window>(SelectWindow(across_, down_));
  window_->Open();
  OPENED = true;
  FIRSTFIELD = select_window::kAcross;
  return Level::Proceed;
}

Level SelectDialog::HandleAccepted() {
  if (const Level l = WindowManager::HandleAccepted(); l != Level::Proceed) return l;
  if (runtime::AcceptedControl() == select_window::kOk) {
    runtime::UPDATE();
    FinishWith(response::kCompleted);
  }
  return Level::Proceed;
}

Level SelectDialog::Kill() {
  const Level l = WindowManager::Kill();
  if (window_ && window_->IsOpen()) window_->Close();
  return l;
}

PagesDialog::PagesDialog(PrintPreview& preview, framework::IniManager* ini)
    : preview_(preview), ini_(ini), saved_(preview.PAGESTOPRINT) {}
PagesDialog::~PagesDialog() = default;

void PagesDialog::CopyList() {
  const size_t n = std::min(std::strlen(preview_.PAGESTOPRINT), sizeof copy_ - 1);
  std::memcpy(copy_, preview_.PAGESTOPRINT, n);
  copy_[n] = '\0';
}

Level PagesDialog::Init() {
  if (const Level l = WindowManager::Init(); l != Level::Proceed) return l;
  CopyList();
  window_ = std::make_unique<runtime::Window>(PagesWindow(copy_, sizeof copy_));
  window_->Open();
  OPENED = true;
  if (ini_ != nullptr) ini_->FetchWindow(*window_, kPagesSection);
  FIRSTFIELD = pages_window::kList;
  return Level::Proceed;
}

Level PagesDialog::HandleAccepted() {
  if (const Level l = WindowManager::HandleAccepted(); l != Level::Proceed) return l;
  switch (runtime::AcceptedControl()) {
    case pages_window::kReset:
      preview_.PresetPrintRange();
      CopyList();
      runtime::DISPLAY(pages_window::kList);
      runtime::SELECT(pages_window::kList);
      break;
    case pages_window::kOk: {
      runtime::UPDATE(pages_window::kList);
      const auto pages =
          static_cast<int32_t>(preview_.IMAGEQUEUE != nullptr ? preview_.IMAGEQUEUE->size() : 0);
      if (SelectedPages(copy_, pages).empty()) {
        (void)runtime::MESSAGE(
            "No page of the report is in the list. Enter pages and ranges "
            "separated by commas, such as 1-3,5.",
            "Pages to Print", runtime::MessageIcon::kExclamation);
        runtime::SELECT(pages_window::kList);
        break;
      }
      std::memcpy(preview_.PAGESTOPRINT, copy_, sizeof copy_);
      FinishWith(response::kCompleted);
      break;
    }
    case pages_window::kCancel:
      FinishWith(response::kCancelled);
      break;
    default:
      break;
  }
  return Level::Proceed;
}

Level PagesDialog::Kill() {
  // Cancelled, or closed any other way: the list is as it was before, even after "&Reset".
  if (RESPONSE != response::kCompleted) {
    const size_t n = std::min(saved_.size(), sizeof preview_.PAGESTOPRINT - 1);
    std::memcpy(preview_.PAGESTOPRINT, saved_.data(), n);
    preview_.PAGESTOPRINT[n] = '\0';
  }
  const Level l = WindowManager::Kill();
  if (window_ && window_->IsOpen()) window_->Close();
  return l;
}

Level PagesDialog::HandleCloseEvent() {
  // While the window is still there to be measured.
  if (ini_ != nullptr) ini_->UpdateWindow(*window_, kPagesSection);
  return WindowManager::HandleCloseEvent();
}

}  // namespace pellucor::report
