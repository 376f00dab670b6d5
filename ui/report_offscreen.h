// Reports without a screen: a program that prints from the command line runs its report
// procedures on the real window and report engines over Qt's offscreen platform, so the same
// report code lays out and prints the pages while no window is ever shown.
#pragma once

#include <functional>
#include <string>

namespace pellucor::ui {

struct OffscreenReports {
  std::string pdf;  // every page printed goes to this PDF file; nothing asks where
  // Each message box is answered with its default button; its title and text go here.
  std::function<void(const std::string& title, const std::string& text)> on_message;
};

// Makes the Qt application on the offscreen platform (there must be none yet), starts the
// program on the window engine with the report engine beside it, runs `body` as its thread 1
// and ends the program. Returns what `body` returned.
int RunOffscreenReports(const OffscreenReports& how, const std::function<int()>& body);

}  // namespace pellucor::ui
