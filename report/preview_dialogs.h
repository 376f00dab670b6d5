// The print preview's dialogs, each a small window-manager procedure over its own window: jump to
// a page, change the number of tiles, and the list of pages to print. Run() answers completed
// (1) for OK and cancelled (2) otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/window/window_manager.h"
#include "runtime/event/window.h"

namespace pellucor::framework {
class IniManager;
}

namespace pellucor::report {

class PrintPreview;

// "Jump to a Report Page" on `page` (changed only by "OK").
class JumpDialog : public framework::WindowManager {
 public:
  JumpDialog(int32_t* page, int32_t pages);
  ~JumpDialog() override;
  framework::Level Init() override;
  framework::Level Kill() override;
  framework::Level HandleAccepted() override;

 private:
  int32_t* page_;
  int32_t copy_;
  int32_t pages_;
  std::unique_ptr<runtime::Window> window_;
};

// "Change the Report Display" on the preview's tiles across and down.
class SelectDialog : public framework::WindowManager {
 public:
  SelectDialog(uint16_t* across, uint16_t* down);
  ~SelectDialog() override;
  framework::Level Init() override;
  framework::Level Kill() override;
  framework::Level HandleAccepted() override;

 private:
  uint16_t* across_;
  uint16_t* down_;
  std::unique_ptr<runtime::Window> window_;
};

// "Pages to Print" on a copy of the preview's page list: "&Ok" takes the copy, "&Cancel" leaves
// the list as it was, "&Reset" sets every page again. A list that selects no page of the report
// is refused with a message, since printing it would print nothing. Its place is kept in the
// settings file under "_PreviewAskPagesWindow_".
class PagesDialog : public framework::WindowManager {
 public:
  PagesDialog(PrintPreview& preview, framework::IniManager* ini);
  ~PagesDialog() override;
  framework::Level Init() override;
  framework::Level Kill() override;
  framework::Level HandleAccepted() override;
  framework::Level HandleCloseEvent() override;

 private:
  void CopyList();
  PrintPreview& preview_;
  framework::IniManager* ini_;
  std::string saved_;
  char copy_[256] = {};
  std::unique_ptr<runtime::Window> window_;
};

}  // namespace pellucor::report
