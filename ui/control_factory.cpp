#include "ui/controls.h"
#include "ui/engine_window.h"

namespace pellucor::ui {

using runtime::ControlKind;

std::unique_ptr<Control> MakeControl(EngineWindow& window, const runtime::ControlDescription& d) {
  // A button on a tool bar is the tool bar's.
  if (d.kind == ControlKind::kButton && d.parent != 0) {
    if (Control* p = window.Find(d.parent); p && p->kind() == ControlKind::kToolbar) {
      return MakeMenuEntry(window, d);
    }
  }
  switch (d.kind) {
    case ControlKind::kEntry:
      return MakeEntry(window, d);
    case ControlKind::kText:
      return MakeTextBox(window, d);
    case ControlKind::kString:
    case ControlKind::kPrompt:
      return MakeLabel(window, d);
    case ControlKind::kButton:
      return MakeButton(window, d);
    case ControlKind::kCheck:
      return MakeCheck(window, d);
    case ControlKind::kOption:
      return MakeOption(window, d);
    case ControlKind::kRadio:
      return MakeRadio(window, d);
    case ControlKind::kSpin:
      return MakeSpin(window, d);
    case ControlKind::kCombo:
    case ControlKind::kDropList:
      return MakeCombo(window, d);
    case ControlKind::kProgress:
      return MakeProgress(window, d);
    case ControlKind::kGroup:
      return MakeGroup(window, d);
    case ControlKind::kSheet:
      return MakeSheet(window, d);
    case ControlKind::kTab:
      return MakeTab(window, d);
    case ControlKind::kImage:
      return MakeImage(window, d);
    case ControlKind::kRegion:
    case ControlKind::kLine:
    case ControlKind::kBox:
    case ControlKind::kEllipse:
    case ControlKind::kPanel:
      return MakeShape(window, d);
    case ControlKind::kList:
      return MakeList(window, d);
    case ControlKind::kMenuBar:
    case ControlKind::kMenu:
    case ControlKind::kItem:
      return MakeMenuEntry(window, d);
    case ControlKind::kToolbar:
      return MakeToolbar(window, d);
    case ControlKind::kNone:
      break;
  }
  return nullptr;
}

}  // namespace pellucor::ui
