#include "framework/resize/control_rows.h"

#include <map>

#include "runtime/window/control_kind.h"

namespace pellucor::framework {

namespace {

using runtime::ControlKind;

constexpr int32_t kTabKind = static_cast<int32_t>(ControlKind::kTab);

bool OutsideClientArea(int32_t kind) {
  switch (static_cast<ControlKind>(kind)) {
    case ControlKind::kMenuBar:
    case ControlKind::kMenu:
    case ControlKind::kItem:
    case ControlKind::kToolbar:
      return true;
    default:
      return false;
  }
}

using ControlMap = std::map<int32_t, const EngineControl*>;

ControlMap MapOf(const std::vector<EngineControl>& controls) {
  ControlMap map;
  for (const EngineControl& c : controls) map.emplace(c.number, &c);
  return map;
}

// The controls above `number` in the engine's parent chain, nearest first. A chain that loops
// (a description the engine should have refused) ends where it would repeat.
std::vector<const EngineControl*> Ancestors(const ControlMap& map, int32_t number) {
  std::vector<const EngineControl*> chain;
  auto it = map.find(number);
  while (it != map.end() && it->second->parent != 0 && chain.size() < map.size()) {
    it = map.find(it->second->parent);
    if (it == map.end() || it->second->number == number) break;
    chain.push_back(it->second);
  }
  return chain;
}

int64_t Area(const ResizeRect& r) {
  return static_cast<int64_t>(r.WIDTH) * r.HEIGHT;
}

bool HoldsCorner(const ResizeRect& outer, const ResizeRect& inner) {
  return inner.XPOS >= outer.XPOS && inner.XPOS <= outer.XPOS + outer.WIDTH &&
         inner.YPOS >= outer.YPOS && inner.YPOS <= outer.YPOS + outer.HEIGHT;
}

}  // namespace

std::vector<ControlRow> BuildControlRows(uint8_t app_strategy,
                                         const std::vector<EngineControl>& controls) {
  const ControlMap map = MapOf(controls);
  std::vector<ControlRow> rows;
  for (const EngineControl& c : controls) {
    bool outside = OutsideClientArea(c.kind);
    for (const EngineControl* up : Ancestors(map, c.number)) {
      outside = outside || OutsideClientArea(up->kind);
    }
    if (outside) continue;
    ControlRow row;
    row.ID = c.number;
    row.TYPE = c.kind;
    row.POSITIONALSTRATEGY = DefaultPositionalStrategy(app_strategy, c.kind);
    row.RESIZESTRATEGY = DefaultResizeStrategy(app_strategy, c.kind);
    row.POS = c.at;
    rows.push_back(row);
  }
  SettleParents(rows, controls);
  return rows;
}

void SettleParents(std::vector<ControlRow>& rows, const std::vector<EngineControl>& controls) {
  const ControlMap map = MapOf(controls);
  std::map<int32_t, size_t> index;
  for (size_t i = 0; i < rows.size(); ++i) index.emplace(rows[i].ID, i);

  std::vector<bool> on_tab(rows.size(), false);
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].PARENTID = 0;
    rows[i].HASCHILDREN = 0;
    for (const EngineControl* up : Ancestors(map, rows[i].ID)) {
      if (up->kind == kTabKind && index.count(up->number) != 0) {
        rows[i].PARENTID = up->number;
        on_tab[i] = true;
        break;
      }
    }
  }

  for (size_t i = 0; i < rows.size(); ++i) {
    if (on_tab[i]) continue;
    const int64_t own_area = Area(rows[i].POS);
    const ControlRow* best = nullptr;
    for (size_t j = 0; j < rows.size(); ++j) {
      if (j == i || on_tab[j]) continue;
      const ControlRow& candidate = rows[j];
      if (Area(candidate.POS) <= own_area || !HoldsCorner(candidate.POS, rows[i].POS)) continue;
      if (best == nullptr || Area(candidate.POS) < Area(best->POS)) best = &candidate;
    }
    if (best != nullptr) rows[i].PARENTID = best->ID;
  }

  for (ControlRow& row : rows) {
    if (row.PARENTID != 0) rows[index[row.PARENTID]].HASCHILDREN = 1;
  }
}

}  // namespace pellucor::framework
