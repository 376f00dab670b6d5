// The makers of each control kind; MakeControl picks one by the description's kind.
#pragma once

#include <memory>

#include "ui/control.h"

namespace pellucor::ui {

std::unique_ptr<Control> MakeEntry(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeTextBox(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeLabel(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeButton(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeCheck(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeOption(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeRadio(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeSpin(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeCombo(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeProgress(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeGroup(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeSheet(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeTab(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeImage(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeShape(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeList(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeMenuEntry(EngineWindow& w, const runtime::ControlDescription& d);
std::unique_ptr<Control> MakeToolbar(EngineWindow& w, const runtime::ControlDescription& d);

}  // namespace pellucor::ui

namespace pellucor::ui {
// The rows a list control shows; does nothing for other kinds.
void SetListSource(Control& list, const runtime::ListRows* rows);
}  // namespace pellucor::ui
