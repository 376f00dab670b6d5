// The print preview on real windows offscreen: the page list, the controls' states for one page
// and for tiles, typed zoom, paging with keys and menus, the three dialogs, and where the window
// is remembered.
#include <QAbstractButton>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <cstring>
#include <filesystem>

#include "framework/ini/ini_manager.h"
#include "report/page_list.h"
#include "report/preview_windows.h"
#include "report/print_preview.h"
#include "tests/report/report_test_user.h"
#include "tests/ui/report_test_util.h"
#include "ui/report_canvas.h"

namespace pellucor::report::testing {
namespace {

namespace w = preview_window;
using ui::testing::ReportUiTest;

TEST(PageList, ItemsAndRangesSelectTheirPagesAndNothingElse) {
  EXPECT_EQ(SelectedPages("2-3,5", 5), (std::vector<int32_t>{2, 3, 5}));
  EXPECT_EQ(SelectedPages(WholeRange(5), 5), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(WholeRange(12), "1-12");
  // A range backwards, an open range, letters, page 0 and nothing at all select no page.
  for (const char* none : {"3-2", "3-", "-3", "two", "0", "", ",", "1-2-3", "2x"}) {
    EXPECT_TRUE(SelectedPages(none, 5).empty()) << none;
  }
  // A faulty item does not spoil the good ones beside it.
  EXPECT_EQ(SelectedPages("3-2,4,abc", 5), (std::vector<int32_t>{4}));
  EXPECT_EQ(SelectedPages(" 1 - 2 , 4 ", 5), (std::vector<int32_t>{1, 2, 4}));
  EXPECT_EQ(SelectedPages("5-99999999999", 6), (std::vector<int32_t>{5, 6}));
  EXPECT_TRUE(PageSelected("1,1,1", 1));
  EXPECT_FALSE(PageSelected("1-4", 5));
}

class PreviewTest : public ReportUiTest {
 protected:
  PreviewTest() {
    ini_.Init(tmp_.path() + "/KNB4.INI");
    runtime::ReportDescription& d = report_.description();
    d.name = "P1$REPORT";
    d.area = {1000, 1540, 6000, 7458};
    runtime::ReportBand detail;
    detail.at = {0, 0, 6000, 300};
    runtime::ReportControl text;
    text.at = {0, 0, 6000, 300};
    text.use = runtime::AnyRef{line_, sizeof line_, runtime::TypeCode::kString, 0};
    detail.controls.push_back(text);
    d.details.push_back(detail);
  }
  ~PreviewTest() override {
    runtime::DiscardPages(pages_);
    ini_.Kill();
  }

  // `count` pages, each with one line naming it.
  void MakePages(int count) {
    ASSERT_TRUE(report_.Open());
    report_.SetPageList(&pages_);
    for (int p = 1; p <= count; ++p) {
      std::memset(line_, ' ', sizeof line_);
      const std::string text = "Text of page " + std::to_string(p);
      std::memcpy(line_, text.data(), text.size());
      ASSERT_TRUE(report_.Print(1));
      ASSERT_TRUE(report_.EndPage());
    }
    report_.Close();
    ASSERT_EQ(pages_.size(), static_cast<size_t>(count));
  }

  void Run(PrintPreview& preview, int16_t zoom, bool* result) {
    preview.Init(pages_);
    preview.AttachIniManager(&ini_);
    preview.ALLOWUSERZOOM = true;
    *result = preview.ShowPages(zoom, 1, 1);
    (void)preview.Kill();
  }

  static std::vector<int> Shown(QWidget* window) {
    auto* canvas = window->findChild<ui::PageCanvas*>(QStringLiteral("pageCanvas"));
    return canvas != nullptr ? canvas->PagesShown() : std::vector<int>{};
  }
  static void Shot(QWidget* window, const char* name) {
    if (const char* dir = std::getenv("PELLUCOR_SCREENSHOTS")) {
      window->grab().save(QString::fromLocal8Bit(dir) + "/" + name);
    }
  }

  framework::IniManager ini_;
  char line_[40] = {};
  runtime::Report report_{runtime::ReportDescription{}};
  std::vector<std::string> pages_;
  User user_;
};

TEST_F(PreviewTest, OnePageHidesThePageControlsAndExitPrintsNothing) {
  MakePages(1);
  bool checked = false;
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    Shot(win, "preview-one-page.png");
    EXPECT_FALSE(User::Control(win, w::kCurrentPage)->isVisible());
    EXPECT_FALSE(User::Control(win, w::kPagePrompt)->isVisible());
    EXPECT_FALSE(User::Action(win, "&Jump to a page")->isEnabled());
    EXPECT_FALSE(User::Control(win, w::kPagesAcross)->isEnabled());
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 1 of 1");
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Zoom: Page Width");
    EXPECT_EQ(Shown(win), std::vector<int>{1});
    // The zoom list has the focus: the page spin is hidden.
    EXPECT_EQ(QApplication::focusWidget(), User::Control(win, w::kZoomList));
    checked = true;
    EXPECT_TRUE(User::Choose(win, "E&xit"));
  });
  PrintPreview preview;
  bool print = true;
  Run(preview, -1, &print);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(print);
  EXPECT_EQ(pages_.size(), 1u);
  EXPECT_EQ(tmp_.PageFiles().size(), 1u);
}

TEST_F(PreviewTest, EscapeLeavesWithoutPrinting) {
  MakePages(2);
  user_.Add("P17$PREVIEWWINDOW",
            [](QWidget*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
  PrintPreview preview;
  bool print = true;
  Run(preview, -1, &print);
  EXPECT_TRUE(user_.Done());
  EXPECT_FALSE(print);
}

TEST_F(PreviewTest, TilesTwoByTwoOnPageFiveOfFiveStartAtPageTwo) {
  MakePages(5);
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    // The page spin has the focus, and its message the first zone of the status bar.
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Enter a page number from 1 to 5");
    EXPECT_TRUE(User::Control(win, w::kPagesAcross)->isEnabled());
    User::SetSpin(win, w::kPagesAcross, 2);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) { User::SetSpin(win, w::kPagesDown, 2); });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(Shown(win), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Zoom: Tile Pages");
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 1-4 of 5");
    EXPECT_FALSE(User::Action(win, "&Previous Page(s)")->isEnabled());
    User::SetSpin(win, w::kCurrentPage, 5);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    Shot(win, "preview-tiles.png");
    EXPECT_EQ(Shown(win), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 2-5 of 5");
    EXPECT_FALSE(User::Action(win, "&Next Page(s)")->isEnabled());
    EXPECT_TRUE(User::Action(win, "&Previous Page(s)")->isEnabled());
    EXPECT_TRUE(User::Action(win, "&Jump to a page")->isEnabled());
    // Page 3 lies inside the set shown: the set stays.
    EXPECT_TRUE(User::Choose(win, "&Previous Page(s)"));
  });
  user_.Add("P17$PREVIEWWINDOW",
            [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "&Previous Page(s)")); });
  user_.Add("P17$PREVIEWWINDOW",
            [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "&Previous Page(s)")); });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(Shown(win), (std::vector<int>{2, 3, 4, 5}));
    // Page 1 does not: the set moves to start there.
    EXPECT_TRUE(User::Choose(win, "&Previous Page(s)"));
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(Shown(win), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 1-4 of 5");
    // With tiles of 3 across from page 1 there would be room for 6: across goes back to 2.
    User::SetSpin(win, w::kPagesAcross, 3);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(qobject_cast<QSpinBox*>(User::Control(win, w::kPagesAcross))->value(), 2);
    // Another zoom: across and down are for tiles only.
    EXPECT_TRUE(User::Choose(win, "100% Zoom"));
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_FALSE(User::Control(win, w::kPagesAcross)->isEnabled());
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 1 of 5");
    EXPECT_TRUE(User::Choose(win, "E&xit"));
  });
  PrintPreview preview;
  bool print = true;
  Run(preview, 0, &print);
  EXPECT_TRUE(user_.Done()) << user_.Left() << " steps left";
  EXPECT_FALSE(print);
}

TEST_F(PreviewTest, TypedZoomAndPageKeys) {
  MakePages(3);
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) { User::Type(win, w::kZoomList, "150"); });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    Shot(win, "preview-150.png");
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Zoom: 150%");
    auto* combo = qobject_cast<QComboBox*>(User::Control(win, w::kZoomList));
    EXPECT_EQ(combo->currentText().toStdString(), "150% Zoom");
    auto* canvas = win->findChild<ui::PageCanvas*>(QStringLiteral("pageCanvas"));
    EXPECT_NEAR(canvas->Scale(), 1.5 * canvas->logicalDpiX() / 1000.0, 1e-9);
    // Text that is no zoom leaves the zoom as it was.
    User::Type(win, w::kZoomList, "big");
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Zoom: 150%");
    // A name from the list is that row.
    User::Type(win, w::kZoomList, "75% Zoom");
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Zoom: 75%");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 2 of 3");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget*) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);  // no page 4
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 3 of 3");
    EXPECT_EQ(Shown(win), std::vector<int>{3});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 2 of 3");
    // The toolbar's zoom button offers the "&Zoom" menu's choices in a popup.
    EXPECT_TRUE(User::Choose(win, "Zoom"));
  });
  // Once the popup's choice has reached the window (the menu item's event comes after the
  // popup has gone).
  auto zoom_changed = [] {
    QWidget* win = QApplication::activeWindow();
    return win != nullptr && User::Status(win, 1) != QStringLiteral("Zoom: 75%");
  };
  user_.AddWhen("P17$PREVIEWWINDOW", zoom_changed, [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 1).toStdString(), "Zoom: 200%");
    EXPECT_EQ(
        qobject_cast<QComboBox*>(User::Control(win, w::kZoomList))->currentText().toStdString(),
        "200% Zoom");
    EXPECT_TRUE(User::Choose(win, "E&xit"));
  });
  std::vector<std::string> offered;
  engine_.SetResponder([&](QWidget* dialog) {
    auto* menu = qobject_cast<QMenu*>(dialog);
    if (menu == nullptr) return;
    for (QAction* a : menu->actions()) offered.push_back(a->text().toStdString());
    for (QAction* a : menu->actions()) {
      if (a->text() == "200% Zoom") a->trigger();
    }
    // The offscreen platform leaves no window active once a popup has gone, as a desktop would.
    if (QWidget* owner = menu->parentWidget()) {
      QTimer::singleShot(0, owner, [owner] { owner->window()->activateWindow(); });
    }
  });
  PrintPreview preview;
  bool print = true;
  Run(preview, -1, &print);
  EXPECT_TRUE(user_.Done()) << user_.Left() << " steps left";
  EXPECT_EQ(offered, (std::vector<std::string>{"Tile pages", "Page Width", "50% Zoom", "75% Zoom",
                                               "100% Zoom", "200% Zoom", "300% Zoom"}));
}

TEST_F(PreviewTest, PagesToPrintKeepsOnlyTheChosenPagesAndJumpGoesToAPage) {
  MakePages(5);
  const std::vector<std::string> before = pages_;
  user_.Add("P17$PREVIEWWINDOW",
            [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "&Jump to a page")); });
  user_.Add("P35$JUMPWINDOW", [&](QWidget* win) {
    Shot(win, "preview-jump.png");
    User::SetSpin(win, jump_window::kPage, 4);
    qobject_cast<QAbstractButton*>(User::Control(win, jump_window::kOk))->click();
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    EXPECT_EQ(User::Status(win, 2).toStdString(), "Page 4 of 5");
    EXPECT_TRUE(User::Choose(win, "Pa&ges to Print..."));
  });
  user_.Add("P37$WINDOW", [&](QWidget* win) {
    User::Type(win, pages_window::kList, "2-3", false);
    qobject_cast<QAbstractButton*>(User::Control(win, pages_window::kOk))->click();
  });
  user_.Add("P17$PREVIEWWINDOW",
            [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "Pa&ges to Print...")); });
  // "&Reset" shows every page; "&Cancel" then leaves the list as it was.
  user_.Add("P37$WINDOW", [&](QWidget* win) {
    qobject_cast<QAbstractButton*>(User::Control(win, pages_window::kReset))->click();
  });
  user_.Add("P37$WINDOW", [&](QWidget* win) {
    auto* entry = qobject_cast<QLineEdit*>(User::Control(win, pages_window::kList));
    EXPECT_EQ(entry->text().trimmed().toStdString(), "1-5");
    EXPECT_EQ(QApplication::focusWidget(), entry);
    qobject_cast<QAbstractButton*>(User::Control(win, pages_window::kCancel))->click();
  });
  user_.Add("P17$PREVIEWWINDOW",
            [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "Pa&ges to Print...")); });
  user_.Add("P37$WINDOW", [&](QWidget* win) {
    auto* entry = qobject_cast<QLineEdit*>(User::Control(win, pages_window::kList));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text().trimmed().toStdString(), "2-3");
    Shot(win, "preview-pages.png");
    // A list without a page of the report is refused.
    User::Type(win, pages_window::kList, "9-12", false);
    qobject_cast<QAbstractButton*>(User::Control(win, pages_window::kOk))->click();
  });
  std::vector<std::string> boxes;
  user_.AddWhen(
      "P37$WINDOW", [&] { return boxes.size() == 1; },
      [&](QWidget* win) {
        User::Type(win, pages_window::kList, "2-3,5", false);
        qobject_cast<QAbstractButton*>(User::Control(win, pages_window::kOk))->click();
      });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "&Print")); });
  engine_.SetResponder([&](QWidget* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      boxes.push_back(box->text().toStdString());
      box->defaultButton()->click();
    }
  });
  PrintPreview preview;
  bool print = false;
  Run(preview, -1, &print);
  EXPECT_TRUE(user_.Done()) << user_.Left() << " steps left";
  EXPECT_TRUE(print);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("No page of the report is in the list"), std::string::npos);
  EXPECT_EQ(pages_, (std::vector<std::string>{before[1], before[2], before[4]}));
  EXPECT_EQ(tmp_.PageFiles().size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(before[0]));
  EXPECT_FALSE(std::filesystem::exists(before[3]));
  // The dialog's place is remembered under its own section.
  EXPECT_NE(ini_.TryReadValue(kPagesSection, "XPos"), framework::kUnknownValue);
}

TEST_F(PreviewTest, ThePreviewWindowIsRememberedInTheSettingsFile) {
  MakePages(2);
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    win->resize(1000, 760);
    win->move(40, 30);
  });
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "E&xit")); });
  {
    PrintPreview preview;
    bool print = true;
    Run(preview, -1, &print);
  }
  const std::string width = ini_.Fetch(kPreviewSection, "Width");
  ASSERT_FALSE(width.empty());
  EXPECT_EQ(ini_.Fetch(kPreviewSection, "Maximize"), "No");
  int seen_width = 0;
  user_.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    seen_width = win->width();
    EXPECT_TRUE(User::Choose(win, "E&xit"));
  });
  PrintPreview again;
  bool print = true;
  Run(again, -1, &print);
  EXPECT_EQ(seen_width, 1000);
}

}  // namespace
}  // namespace pellucor::report::testing
