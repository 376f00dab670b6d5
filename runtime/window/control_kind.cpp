#include "runtime/window/control_kind.h"

namespace pellucor::runtime {

std::string_view ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kNone:
      return "NONE";
    case ControlKind::kString:
      return "STRING";
    case ControlKind::kPrompt:
      return "PROMPT";
    case ControlKind::kImage:
      return "IMAGE";
    case ControlKind::kRegion:
      return "REGION";
    case ControlKind::kLine:
      return "LINE";
    case ControlKind::kBox:
      return "BOX";
    case ControlKind::kEllipse:
      return "ELLIPSE";
    case ControlKind::kEntry:
      return "ENTRY";
    case ControlKind::kButton:
      return "BUTTON";
    case ControlKind::kSpin:
      return "SPIN";
    case ControlKind::kText:
      return "TEXT";
    case ControlKind::kCheck:
      return "CHECK";
    case ControlKind::kGroup:
      return "GROUP";
    case ControlKind::kList:
      return "LIST";
    case ControlKind::kCombo:
      return "COMBO";
    case ControlKind::kDropList:
      return "DROPLIST";
    case ControlKind::kOption:
      return "OPTION";
    case ControlKind::kRadio:
      return "RADIO";
    case ControlKind::kMenuBar:
      return "MENUBAR";
    case ControlKind::kMenu:
      return "MENU";
    case ControlKind::kItem:
      return "ITEM";
    case ControlKind::kToolbar:
      return "TOOLBAR";
    case ControlKind::kProgress:
      return "PROGRESS";
    case ControlKind::kSheet:
      return "SHEET";
    case ControlKind::kTab:
      return "TAB";
    case ControlKind::kPanel:
      return "PANEL";
  }
  return "?";
}

bool KindTakesInput(ControlKind kind) {
  switch (kind) {
    case ControlKind::kEntry:
    case ControlKind::kSpin:
    case ControlKind::kText:
    case ControlKind::kCheck:
    case ControlKind::kCombo:
    case ControlKind::kDropList:
    case ControlKind::kOption:
      return true;
    default:
      return false;
  }
}

}  // namespace pellucor::runtime
