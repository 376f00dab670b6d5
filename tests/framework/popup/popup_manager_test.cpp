// The popup manager: the menu text it gives the runtime (separators, disabled and checked items,
// icons, submenus, names made from texts), and on real widgets offscreen the items that mirror
// buttons: hidden and disabled with them, and posting "EVENT:Accepted" to them when chosen.
#include <QAction>
#include <QMenu>

#include "framework/popup/popup_manager.h"
#include "runtime/window/popup_text.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::framework {
namespace {

using runtime::ControlKind;
using runtime::Prop;
using ::testing::ElementsAre;

TEST(PopupTextTest, ItemsSeparatorsFlagsIconsAndSubmenusMakeOneText) {
  PopupManager popup;
  EXPECT_EQ(popup.AddItem("&Insert"), "Insert");
  EXPECT_EQ(popup.AddItem("&Change"), "Change");
  popup.SetItemEnabled("Change", false);
  EXPECT_EQ(popup.AddSeparator(), "Separator1");
  EXPECT_EQ(popup.AddSubMenu("&Query"), "Query");
  EXPECT_EQ(popup.AddItem("&Query...", "RunQuery"), "RunQuery");
  EXPECT_EQ(popup.AddSeparator("ViewSeparator1"), "ViewSeparator1");
  EXPECT_EQ(popup.AddItem("Open notes"), "Opennotes");
  popup.SetIcon("Opennotes", "~QkLoad.ico");
  popup.SetItemChecked("Opennotes", true);
  popup.EndSubMenu();
  EXPECT_EQ(popup.AddSeparator(), "Separator2");
  EXPECT_EQ(popup.AddItem("&Select"), "Select");

  std::vector<std::string> order;
  const std::string text = popup.PopupText(&order);
  EXPECT_EQ(text, "&Insert|~&Change|-|{&Query|&Query...|-|+[6(~QkLoad.ico)]Open notes}|-|&Select");
  EXPECT_THAT(order, ElementsAre("Insert", "Change", "RunQuery", "Opennotes", "Select"));
  // The runtime reads the text back as the same menu: POPUP's numbers are `order`'s.
  const runtime::PopupMenu menu = runtime::ParsePopupText(text);
  ASSERT_TRUE(menu.ok) << menu.error;
  EXPECT_EQ(menu.item_count, 5);
  EXPECT_EQ(runtime::PopupItemText(menu, 4), "Open notes");
  EXPECT_EQ(menu.entries[3].children[2].icon, "~QkLoad.ico");

  // Removing a submenu's title removes its items; an item put after another follows it (and its
  // submenu) at its depth; a taken name gets a number.
  EXPECT_TRUE(popup.DeleteItem("query"));
  EXPECT_FALSE(popup.HasItem("RunQuery"));
  EXPECT_EQ(popup.AddItemAfter("Insert", "Insert &Many", "Change"), "Change2");
  EXPECT_EQ(popup.PopupText(), "&Insert|Insert &Many|~&Change|-|&Select");
}

TEST(PopupTextTest, EmptySubmenusStraySeparatorsAndUnsafeTextsAreTidied) {
  PopupManager popup;
  popup.AddSeparator();
  popup.AddItem("A|B {x}");
  popup.AddSeparator();
  popup.AddSeparator();
  popup.AddItem("~+[odd");
  popup.AddSeparator();
  // "|", "{" and "}" would end the item and leading "~", "+", "[" would read as flags: the text
  // still parses, and still has one numbered item per item.
  const std::string text = popup.PopupText();
  EXPECT_EQ(text, "A/B (x)|-|odd");
  EXPECT_TRUE(runtime::ParsePopupText(text).ok);
  EXPECT_EQ(PopupManager::NameFromText("C&lear *all* 2"), "Clearall2");
  EXPECT_EQ(popup.AddItem("***"), "Item");
  EXPECT_EQ(popup.AddItem("!!!"), "Item2");
}

class PopupWindowTest : public ui::testing::UiTest {
 protected:
  // A window with three buttons (Insert 1, Change 2, Delete 3) and a list.
  void OpenWindow() {
    runtime::WindowDescription d;
    d.name = "BROWSE";
    d.title = "Browse";
    d.at = runtime::DialogRect{10, 10, 200, 100};
    ui::testing::Add(d, 1, ControlKind::kButton, "&Insert", {4, 80, 40, 14});
    ui::testing::Add(d, 2, ControlKind::kButton, "&Change", {48, 80, 40, 14});
    ui::testing::Add(d, 3, ControlKind::kButton, "&Delete", {92, 80, 40, 14});
    ui::testing::Add(d, 4, ControlKind::kList, "", {4, 4, 190, 70});
    window_ = std::make_unique<runtime::Window>(d);
    OpenAndShow(*window_);
    (void)Events();  // the opening's own events
  }

  // Answers the next popup by triggering the action with `text` (searching submenus too), and
  // records the menu as "text" with "~" for a disabled action, one entry per action.
  void ChooseInPopup(const QString& text) {
    engine_.SetResponder([this, text](QWidget* dialog) {
      auto* menu = qobject_cast<QMenu*>(dialog);
      ASSERT_NE(menu, nullptr);
      shown_.clear();
      QAction* hit = Walk(menu, text);
      if (hit != nullptr) {
        hit->trigger();
      } else {
        menu->close();
      }
    });
  }
  QAction* Walk(QMenu* menu, const QString& text) {
    QAction* hit = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->isSeparator()) continue;
      shown_.push_back((a->isEnabled() ? "" : "~") + a->text().toStdString());
      if (a->menu() != nullptr) {
        if (QAction* inner = Walk(a->menu(), text)) hit = inner;
      } else if (a->text() == text) {
        hit = a;
      }
    }
    return hit;
  }

  // The accepted events among those the window received (closing the menu moves the focus).
  std::vector<std::string> Accepted() {
    std::vector<std::string> out;
    for (const std::string& e : Events()) {
      if (e.starts_with("EVENT:Accepted")) out.push_back(e);
    }
    return out;
  }

  std::unique_ptr<runtime::Window> window_;
  std::vector<std::string> shown_;
};

TEST_F(PopupWindowTest, MirroredItemsFollowTheirButtonsAndPostAcceptedToThem) {
  OpenWindow();
  PopupManager popup;
  popup.Init();
  EXPECT_EQ(popup.THISWINDOW, window_->id());
  EXPECT_EQ(popup.AddMirroredItem("Insert", 1, "&Insert"), "Insert");
  EXPECT_EQ(popup.AddMirroredItem("", 2), "Button2");  // shows the button's own text
  popup.AddMirroredItem("Delete", 3, "&Delete");
  popup.AddMirroredItem("Select", 9, "&Select");  // the window has no control 9
  popup.AddSubMenu("&More");                      // nothing in it to show: left out
  popup.AddMirroredItem("Toolbox", 9, "&Toolbox");
  popup.EndSubMenu();
  popup.AddSeparator("Separator2");
  popup.AddItem("&Refresh");

  EXPECT_EQ(popup.PopupText(), "&Insert|&Change|&Delete|-|&Refresh");
  runtime::SetProperty(2, Prop::kDisable, "1");
  runtime::SetProperty(3, Prop::kHide, "1");
  runtime::SetProperty(2, Prop::kText, "C&hange it");
  EXPECT_EQ(popup.PopupText(), "&Insert|~C&hange it|-|&Refresh");

  ChooseInPopup("&Insert");
  EXPECT_EQ(popup.Ask(), "Insert");
  EXPECT_EQ(popup.LASTSELECTION, "Insert");
  EXPECT_THAT(shown_, ElementsAre("&Insert", "~C&hange it", "&Refresh"));
  EXPECT_THAT(Accepted(), ElementsAre("EVENT:Accepted 1"));

  // A plain item only names itself; a dismissed menu names nothing and keeps the last choice.
  ChooseInPopup("&Refresh");
  EXPECT_EQ(popup.Ask(), "Refresh");
  EXPECT_THAT(Accepted(), ElementsAre());
  ChooseInPopup("no such item");
  EXPECT_EQ(popup.Ask(), "");
  EXPECT_EQ(popup.LASTSELECTION, "Refresh");

  // Shown again, the button is back: so is its item.
  runtime::SetProperty(3, Prop::kHide, "");
  ChooseInPopup("&Delete");
  EXPECT_EQ(popup.Ask(), "Delete");
  EXPECT_THAT(Accepted(), ElementsAre("EVENT:Accepted 3"));
}

TEST_F(PopupWindowTest, AnItemInASubmenuIsFoundByItsNumberAndRefreshersRunFirst) {
  OpenWindow();
  PopupManager popup;
  popup.Init();
  popup.AddMirroredItem("Insert", 1, "&Insert");
  EXPECT_EQ(popup.AddSubMenu("&Query"), "Query");
  EXPECT_EQ(popup.AddMirroredItem("Query", 2, "&Query"), "Query2");  // the title took "Query"
  popup.AddSeparator("ViewSeparator1");
  popup.EndSubMenu();
  popup.AddItem("&Select");
  int refreshed = 0;
  popup.SetRefresher(this, [&] {
    ++refreshed;
    popup.DeleteItem("Saved");
    popup.AddItemAfter("ViewSeparator1", "Saved " + std::to_string(refreshed), "Saved");
  });
  ChooseInPopup("Saved 1");
  runtime::SETKEYCODE(runtime::key::kMouseRightUp);
  EXPECT_EQ(popup.Ask(), "Saved");
  EXPECT_EQ(runtime::KEYCODE(), 0);  // the right click that opened the menu is spent
  EXPECT_THAT(shown_, ElementsAre("&Insert", "&Query", "&Query", "Saved 1", "&Select"));
  ChooseInPopup("&Select");
  EXPECT_EQ(popup.Ask(), "Select");
  EXPECT_EQ(refreshed, 2);
  popup.RemoveRefresher(this);
  ChooseInPopup("&Query");  // the first "&Query" is the submenu; the item is inside it
  EXPECT_EQ(popup.Ask(), "Query2");
  EXPECT_EQ(refreshed, 2);
  EXPECT_THAT(Accepted(), ElementsAre("EVENT:Accepted 2"));
}

}  // namespace
}  // namespace pellucor::framework
