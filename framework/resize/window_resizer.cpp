#include "framework/resize/window_resizer.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <string>

#include "runtime/event/window.h"

namespace pellucor::framework {

namespace {

using runtime::Prop;

int32_t Number(int32_t control, Prop prop, int32_t index = 0) {
  const std::string text = runtime::GetProperty(control, prop, index);
  int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool IsOn(int32_t control, Prop prop) {
  const std::string text = runtime::GetProperty(control, prop);
  return !text.empty() && text != "0";
}

ResizeRect RectOf(int32_t control) {
  return ResizeRect{Number(control, Prop::kXPos), Number(control, Prop::kYPos),
                    Number(control, Prop::kWidth), Number(control, Prop::kHeight)};
}

// How far a rectangle's far corner lies from the client area's origin: moves out towards the
// edges go first when the window grew, so that nothing is moved onto a control still in the way.
int64_t Reach(const ResizeRect& r) {
  return static_cast<int64_t>(r.XPOS) + r.WIDTH + r.YPOS + r.HEIGHT;
}

}  // namespace

Level WindowResizer::Init(uint8_t strategy, SizeLimit minimum, SizeLimit maximum) {
  window_ = runtime::CurrentWindow();
  APPSTRATEGY = strategy;
  ORIGWIN.XPOS = Number(0, Prop::kXPos);
  ORIGWIN.YPOS = Number(0, Prop::kYPos);
  ORIGWIN.WIDTH = Number(0, Prop::kClientWidth);
  ORIGWIN.HEIGHT = Number(0, Prop::kClientHeight);
  ORIGWIN.MAXIMIZED = IsOn(0, Prop::kMaximized) ? 1 : 0;
  ORIGWIN.ICONIZED = IsOn(0, Prop::kIconized) ? 1 : 0;

  std::vector<EngineControl> controls;
  std::set<int32_t> seen;
  for (int32_t n = Number(0, Prop::kNextControl, 0); n != 0 && seen.insert(n).second;
       n = Number(0, Prop::kNextControl, n)) {
    controls.push_back(
        EngineControl{n, Number(n, Prop::kKind), Number(n, Prop::kParent), RectOf(n)});
  }
  CONTROLQUEUE = std::make_unique<std::vector<ControlRow>>(BuildControlRows(APPSTRATEGY, controls));
  RESIZELIST = std::make_unique<std::vector<MoveRow>>();
  PREVIOUSWIN = PreviousWindow{};

  if (minimum == SizeLimit::kInitialSize) {
    runtime::SetProperty(0, Prop::kMinWidth, std::to_string(ORIGWIN.WIDTH));
    runtime::SetProperty(0, Prop::kMinHeight, std::to_string(ORIGWIN.HEIGHT));
  }
  if (maximum == SizeLimit::kInitialSize) {
    runtime::SetProperty(0, Prop::kMaxWidth, std::to_string(ORIGWIN.WIDTH));
    runtime::SetProperty(0, Prop::kMaxHeight, std::to_string(ORIGWIN.HEIGHT));
  }
  return Level::Proceed;
}

std::vector<ResizeRect> WindowResizer::Layout(int32_t width, int32_t height,
                                              std::vector<int32_t>& depth) const {
  const std::vector<ControlRow>& rows = *CONTROLQUEUE;
  std::map<int32_t, size_t> index;
  for (size_t i = 0; i < rows.size(); ++i) index.emplace(rows[i].ID, i);
  const ResizeRect window_before{0, 0, ORIGWIN.WIDTH, ORIGWIN.HEIGHT};
  const ResizeRect window_now{0, 0, width, height};

  std::vector<ResizeRect> after(rows.size());
  depth.assign(rows.size(), 0);
  enum class Done : uint8_t { kNo, kWorking, kYes };
  std::vector<Done> done(rows.size(), Done::kNo);
  // Parents first, by recursion; a parent met again while its own parent chain is being laid
  // out (rows set up by hand in a loop) is treated as absent.
  auto lay = [&](auto& self, size_t i) -> void {
    if (done[i] == Done::kYes) return;
    done[i] = Done::kWorking;
    const ControlRow& row = rows[i];
    ResizeRect before = window_before;
    ResizeRect now = window_now;
    if (auto p = index.find(row.PARENTID); row.PARENTID != 0 && p != index.end()) {
      if (done[p->second] == Done::kNo) self(self, p->second);
      if (done[p->second] == Done::kYes) {
        before = rows[p->second].POS;
        now = after[p->second];
        depth[i] = depth[p->second] + 1;
      }
    }
    after[i] = NewControlRect(row.POS, before, now, row.POSITIONALSTRATEGY, row.RESIZESTRATEGY);
    done[i] = Done::kYes;
  };
  for (size_t i = 0; i < rows.size(); ++i) lay(lay, i);
  return after;
}

Level WindowResizer::Resize() {
  if (CONTROLQUEUE == nullptr || window_ == 0 || runtime::CurrentWindow() != window_) {
    return Level::Notified;
  }
  // An iconised window's client area says nothing about the size the user wants.
  if (IsOn(0, Prop::kIconized)) return Level::Proceed;
  const int32_t width = Number(0, Prop::kClientWidth);
  const int32_t height = Number(0, Prop::kClientHeight);
  if (PREVIOUSWIN.RESIZECALLED != 0 && width == PREVIOUSWIN.WIDTH && height == PREVIOUSWIN.HEIGHT) {
    return Level::Proceed;
  }
  const bool grew = PREVIOUSWIN.RESIZECALLED == 0 ||
                    static_cast<int64_t>(width) * height >=
                        static_cast<int64_t>(PREVIOUSWIN.WIDTH) * PREVIOUSWIN.HEIGHT;

  std::vector<int32_t> depth;
  const std::vector<ResizeRect> after = Layout(width, height, depth);
  const std::vector<ControlRow>& rows = *CONTROLQUEUE;
  RESIZELIST->clear();
  for (size_t i = 0; i < rows.size(); ++i) {
    const ResizeRect before = RectOf(rows[i].ID);
    if (before == after[i]) continue;
    RESIZELIST->push_back(MoveRow{depth[i], rows[i].ID, rows[i].TYPE, before, after[i]});
  }
  // A control placed inside another (on a tab) is placed relative to where its parent is at that
  // moment, so parents always go first. Among controls of one depth the sizing direction decides:
  // growing, the outermost move first; shrinking, the innermost.
  std::stable_sort(
      RESIZELIST->begin(), RESIZELIST->end(), [grew](const MoveRow& a, const MoveRow& b) {
        if (a.PRIORITY != b.PRIORITY) return a.PRIORITY < b.PRIORITY;
        return grew ? Reach(a.AFTER) > Reach(b.AFTER) : Reach(a.AFTER) < Reach(b.AFTER);
      });
  // Every side is set, also those that stay: a control the engine placed on its own takes the
  // rest of its rectangle from what was set before.
  for (const MoveRow& move : *RESIZELIST) {
    runtime::SetProperty(move.CONTROLID, Prop::kXPos, std::to_string(move.AFTER.XPOS));
    runtime::SetProperty(move.CONTROLID, Prop::kYPos, std::to_string(move.AFTER.YPOS));
    runtime::SetProperty(move.CONTROLID, Prop::kWidth, std::to_string(move.AFTER.WIDTH));
    runtime::SetProperty(move.CONTROLID, Prop::kHeight, std::to_string(move.AFTER.HEIGHT));
  }
  PREVIOUSWIN.XPOS = Number(0, Prop::kXPos);
  PREVIOUSWIN.YPOS = Number(0, Prop::kYPos);
  PREVIOUSWIN.WIDTH = width;
  PREVIOUSWIN.HEIGHT = height;
  PREVIOUSWIN.RESIZECALLED = 1;
  return Level::Proceed;
}

Level WindowResizer::Kill() {
  CONTROLQUEUE.reset();
  RESIZELIST.reset();
  window_ = 0;
  return Level::Proceed;
}

}  // namespace pellucor::framework
