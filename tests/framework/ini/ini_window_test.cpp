// Window geometry saved and restored through the settings file, on real windows offscreen.
#include <QWidget>
#include <string>

#include "framework/ini/ini_manager.h"
#include "tests/platform/temp_dir.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::framework {
namespace {

using platform::testing::ReadWholeFile;
using platform::testing::TempDir;
using platform::testing::WriteWholeFile;
using runtime::ControlKind;
using runtime::Prop;

class IniWindowTest : public ui::testing::UiTest {
 protected:
  IniWindowTest() : file_(dir_ / "KNB4.INI") { ini_.Init(file_); }

  static runtime::WindowDescription Form(bool resizable, bool maximize_box) {
    runtime::WindowDescription d;
    d.name = "FORM";
    d.title = "Form";
    d.at = runtime::DialogRect{10, 10, 160, 90};
    d.resizable = resizable;
    d.maximize_box = maximize_box;
    ui::testing::Add(d, 1, ControlKind::kButton, "OK", {4, 4, 40, 14});
    return d;
  }
  static std::string Get(Prop prop) { return runtime::GetProperty(0, prop); }

  TempDir dir_;
  std::string file_;
  IniManager ini_;
};

TEST_F(IniWindowTest, AWindowSavedMaximisedReopensMaximisedOverItsEarlierPlace) {
  std::string x, y, width, height;
  {
    runtime::Window window(Form(true, true));
    OpenAndShow(window);
    runtime::SetProperty(0, Prop::kXPos, "40");
    runtime::SetProperty(0, Prop::kYPos, "30");
    runtime::SetProperty(0, Prop::kWidth, "220");
    runtime::SetProperty(0, Prop::kHeight, "140");
    x = Get(Prop::kXPos), y = Get(Prop::kYPos), width = Get(Prop::kWidth);
    height = Get(Prop::kHeight);
    ini_.UpdateWindow(window, "UpdateSNotes");
    EXPECT_EQ(ReadWholeFile(file_), "[UpdateSNotes]\nMaximize=No\nXPos=" + x + "\nYPos=" + y +
                                        "\nHeight=" + height + "\nWidth=" + width + "\n");
    runtime::SetProperty(0, Prop::kMaximized, "1");
    QTRY_COMPARE(Get(Prop::kMaximized), std::string("1"));
    ini_.UpdateWindow(window, "UpdateSNotes");
    window.Close();
  }
  // Maximised, only the flag changed: the position is the one from before.
  EXPECT_EQ(ReadWholeFile(file_), "[UpdateSNotes]\nMaximize=Yes\nXPos=" + x + "\nYPos=" + y +
                                      "\nHeight=" + height + "\nWidth=" + width + "\n");

  runtime::Window window(Form(true, true));
  OpenAndShow(window);
  EXPECT_NE(Get(Prop::kXPos), x);  // as designed until fetched
  ini_.FetchWindow(window, "UpdateSNotes");
  QTRY_COMPARE(Get(Prop::kMaximized), std::string("1"));
  runtime::SetProperty(0, Prop::kMaximized, "");
  QTRY_COMPARE(Get(Prop::kMaximized), std::string(""));
  QTRY_COMPARE(Get(Prop::kXPos), x);
  EXPECT_EQ(Get(Prop::kYPos), y);
  EXPECT_EQ(Get(Prop::kWidth), width);
  EXPECT_EQ(Get(Prop::kHeight), height);
}

TEST_F(IniWindowTest, AFixedWindowKeepsItsSizeAndDamagedValuesLeaveItAsDesigned) {
  runtime::Window window(Form(false, false));
  OpenAndShow(window);
  const std::string width = Get(Prop::kWidth), height = Get(Prop::kHeight);
  runtime::SetProperty(0, Prop::kXPos, "25");
  ini_.UpdateWindow(window, "Calendar");
  const std::string x = Get(Prop::kXPos), y = Get(Prop::kYPos);
  EXPECT_EQ(ReadWholeFile(file_), "[Calendar]\nXPos=" + x + "\nYPos=" + y + "\n");

  // Sizes and a maximised state written by hand are not applied to a fixed window; a position
  // that is not a number, or is beyond any screen, is ignored.
  WriteWholeFile(file_,
                 "[Calendar]\nMaximize=Yes\nXPos=abc\nYPos=12\nWidth=400\nHeight=300\n"
                 "[Other]\nXPos=99999999\nYPos=-99999999\n");
  runtime::SetProperty(0, Prop::kXPos, "50");
  runtime::SetProperty(0, Prop::kYPos, "60");
  const std::string before_x = Get(Prop::kXPos), before_y = Get(Prop::kYPos);
  ini_.FetchWindow(window, "Calendar");
  ini_.FetchWindow(window, "Other");
  EXPECT_EQ(Get(Prop::kXPos), before_x);
  EXPECT_EQ(Get(Prop::kYPos), before_y);
  EXPECT_EQ(Get(Prop::kWidth), width);
  EXPECT_EQ(Get(Prop::kHeight), height);
  EXPECT_EQ(Get(Prop::kMaximized), "");
}

TEST_F(IniWindowTest, AnIconisedWindowKeepsThePositionSavedBefore) {
  runtime::Window window(Form(true, true));
  OpenAndShow(window);
  runtime::SetProperty(0, Prop::kXPos, "33");
  ini_.UpdateWindow(window, "Main");
  const std::string saved = ReadWholeFile(file_);
  runtime::SetProperty(0, Prop::kIconized, "1");
  QTRY_COMPARE(Get(Prop::kIconized), std::string("1"));
  runtime::SetProperty(0, Prop::kXPos, "70");  // the desktop may move an iconised window
  ini_.UpdateWindow(window, "Main");
  EXPECT_EQ(ReadWholeFile(file_), saved);
}

}  // namespace
}  // namespace pellucor::framework
