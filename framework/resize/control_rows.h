// The resizer's picture of a window: one row per control with its initial rectangle, its
// strategies and the control it is laid out against, and the moves of one resize.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/resize/resize_rules.h"

namespace pellucor::framework {

struct ControlRow {
  int32_t ID = 0;    // the control's number
  int32_t TYPE = 0;  // its kind code
  uint8_t HASCHILDREN = 0;
  uint16_t POSITIONALSTRATEGY = 0;
  uint16_t RESIZESTRATEGY = 0;
  ResizeRect POS;        // the initial rectangle
  int32_t PARENTID = 0;  // the control it is laid out against; 0: the window
};

struct MoveRow {
  int32_t PRIORITY = 0;  // how many parents the control has: parents move before their children
  int32_t CONTROLID = 0;
  int32_t TYPE = 0;
  ResizeRect BEFORE;
  ResizeRect AFTER;
};

// A control as the window engine reports it.
struct EngineControl {
  int32_t number = 0;
  int32_t kind = 0;
  int32_t parent = 0;  // the control the engine placed it in; 0: the window
  ResizeRect at;
};

// The rows for a window's controls, in window order, with the default strategies of
// `app_strategy` and their parents settled (SettleParents). Menus, menu items and tool bars
// stand outside the client area, and so does whatever they hold: they get no row.
[[nodiscard]] std::vector<ControlRow> BuildControlRows(uint8_t app_strategy,
                                                       const std::vector<EngineControl>& controls);

// Gives every row its parent. A control the engine placed on a tab (kind 38), directly or inside
// something that stands on the tab, is laid out against the nearest such tab. Any other control
// is laid out against the smallest other such control whose rectangle holds its top-left corner
// (edges included) and that is larger than the control itself; a larger area keeps a control from
// becoming the parent of its own parent, and a prompt whose rectangle merely overlaps the corner
// of a big list from taking charge of it. HASCHILDREN marks every row that is some row's parent.
void SettleParents(std::vector<ControlRow>& rows, const std::vector<EngineControl>& controls);

}  // namespace pellucor::framework
