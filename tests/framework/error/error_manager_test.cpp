// The error manager against the real window engine offscreen: every message box it shows is
// answered through the engine's responder, and the fatal stop is caught by the halt hook.
#include "framework/error/error_manager.h"

#include <QMessageBox>
#include <QPushButton>
#include <array>
#include <deque>
#include <string>
#include <vector>

#include "framework/error/standard_messages.h"
#include "runtime/core/error_state.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::framework {
namespace {

using runtime::button::kCancel;
using runtime::button::kNo;
using runtime::button::kOk;
using runtime::button::kYes;

// A message block built by hand, in the layout LoadMessages reads.
struct BlockEntry {
  uint16_t id;
  uint8_t severity;
  std::string title;
  std::string text;
};
std::vector<uint8_t> MakeBlock(const std::vector<BlockEntry>& entries) {
  std::vector<uint8_t> b = {static_cast<uint8_t>(entries.size()),
                            static_cast<uint8_t>(entries.size() >> 8)};
  for (const BlockEntry& e : entries) {
    b.push_back(static_cast<uint8_t>(e.id));
    b.push_back(static_cast<uint8_t>(e.id >> 8));
    b.push_back(e.severity);
    b.push_back(static_cast<uint8_t>(e.title.size()));
    b.insert(b.end(), e.title.begin(), e.title.end());
    b.push_back(static_cast<uint8_t>(e.text.size()));
    b.insert(b.end(), e.text.begin(), e.text.end());
  }
  return b;
}

// What a message box showed, as the user saw it.
struct Box {
  std::string title;
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::string default_button;  // object name "button<code>"
  int32_t buttons = 0;         // the codes of the buttons shown, summed
};

class ErrorManagerTest : public ui::testing::UiTest {
 protected:
  ErrorManagerTest() {
    engine_.SetResponder([this](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      ASSERT_NE(box, nullptr);
      Box seen{box->windowTitle().toStdString(), box->text().toStdString(), box->icon(),
               box->defaultButton() ? box->defaultButton()->objectName().toStdString() : "", 0};
      for (int32_t code : {kOk, kYes, kNo, kCancel}) {
        if (box->findChild<QPushButton*>(QString("button%1").arg(code))) seen.buttons |= code;
      }
      boxes_.push_back(seen);
      const int32_t answer = answers_.empty() ? kOk : answers_.front();
      if (!answers_.empty()) answers_.pop_front();
      auto* pressed = box->findChild<QPushButton*>(QString("button%1").arg(answer));
      if (pressed == nullptr) {
        ADD_FAILURE() << "the box \"" << seen.text << "\" has no button " << answer;
        pressed = box->findChildren<QPushButton*>().value(0);
      }
      if (pressed != nullptr) pressed->click();
    });
    manager_.Init();
    runtime::ClearError();
  }
  ~ErrorManagerTest() override { manager_.Kill(); }

  ErrorManager manager_;
  std::deque<int32_t> answers_;  // the buttons the user presses, in order
  std::vector<Box> boxes_;
};

// The standard messages as users know them, in number order (the block keeps its own order).
const std::vector<BlockEntry>& StandardTable() {
  static const std::vector<BlockEntry> table = {
      {1, 5, "Record Retrieval Error",
       "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to "
       "previous window."},
      {2, 5, "Access Denied", "Could not get write access to %File so trying read-only."},
      {3, 1, "Record Added",
       "This record has been added to the file. Do you want to add another record?"},
      {4, 5, "Record Insert Error",
       "An error was experienced during the creation of a record. Error: %ErrorText."},
      {5, 5, "Add New Record?", "Record match not found, do you wish to add a new one?"},
      {6, 5, "Record Was Not Updated", "This record was changed by another station."},
      {7, 5, "Record Was Not Updated",
       "This record was changed by another station. Those changes will now be displayed. Use the "
       "Ditto Button or Ctrl+' to recall your changes."},
      {8, 1, "Changes will be lost!", "Are you sure you want to cancel?"},
      {9, 1, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
      {10, 3, "File Creation Error", "Error: (%ErrorText) creating %File."},
      {11, 5, "Record was not deleted",
       "An error (%ErrorText) was experienced when deleting a record from the %File file."},
      {12, 5, "Invalid Request", "This form cannot be used to delete a record"},
      {13, 5, "Duplicate Key Error",
       "Adding this record creates a duplicate entry for the key: %Message"},
      {14, 5, "Field contents error", "The value of %Field must be found in the %Message file."},
      {15, 5, "Value Error", "The value of %Field must be in the list : %Message."},
      {16, 5, "Range Error", "The value of %Field must be between %Message."},
      {17, 5, "Range Error", "The value of %Field must be lower than %Message."},
      {18, 5, "Range Error", "The value of %Field must be higher than %Message."},
      {19, 5, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
      {20, 5, "Invalid Request", "This form cannot be used to insert a record"},
      {21, 5, "Transaction cancelled",
       "Error: (%ErrorText) attempting to frame the transaction on %File."},
      {22, 5, "No Records", "There are no records available to process."},
      {23, 3, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
      {24, 5, "Procedure not defined", "The Procedure %Message has not been defined."},
      {25, 5, "Record was not updated",
       "An error (%ErrorText) was experienced when making changes to the %File file."},
      {26, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
      {27, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
      {28, 5, "Record not read",
       "A record held by another station was encountered reading from the %File file."},
      {30, 5, "Referential Integrity Delete Error",
       "This record is referenced from the file %File. This record cannot be deleted while these "
       "references exist."},
      {31, 5, "Referential Integrity Update Error",
       "This record is referenced from the file %File. Linking field(s) have been restricted from "
       "change and have been reset to original values."},
      {32, 1, "Auto Increment Error",
       "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
      {33, 1, "Record Delete Error",
       "An error was experienced deleting this record. Do you want to try to delete it again?"},
      {34, 1, "Record Update Error",
       "An error was experienced changing this record. Do you want to try to save again?"},
      {35, 1, "Save Record", "Do you want to save the changes to this record?"},
      {36, 1, "Beginning of File Error",
       "The beginning of the file was encountered. Do you want to start again from the end of the "
       "file?"},
      {37, 1, "End of File Error",
       "The end of the file was encountered. Do you want to start again from the beginning?"},
      {38, 5, "Invalid Request", "This form cannot be used to update a record"},
      {39, 2, "File Usage Error", "Attempt to use file (%File) before it was opened"},
      {40, 5, "View Open Error",
       "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
      {41, 5, "Unsupported QBE Column",
       "The saved QBE column, %Field is not supported. It will be dropped from the query."},
  };
  return table;
}

TEST(StandardMessages, TheBlockHoldsTheFortyMessagesInTheirStoredOrder) {
  constexpr std::array<uint16_t, 40> kOrder = {
      27, 26, 10, 24, 17, 18, 16, 14, 31, 30, 4, 6,  7, 34, 33, 20, 38, 12, 8,  13,
      32, 19, 36, 37, 23, 25, 11, 9,  35, 21, 1, 40, 3, 28, 5,  15, 22, 2,  39, 41};
  std::vector<BlockEntry> in_order;
  for (uint16_t id : kOrder) {
    for (const BlockEntry& e : StandardTable()) {
      if (e.id == id) in_order.push_back(e);
    }
  }
  ASSERT_EQ(in_order.size(), 40u);
  const std::span<const uint8_t> block = StandardMessageBlock();
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.end()), MakeBlock(in_order));
  // The first bytes spelled out: count 40, then entry 27, severity 5, "Invalid Key".
  ASSERT_GE(block.size(), 8u);
  EXPECT_EQ((std::vector<uint8_t>(block.begin(), block.begin() + 8)),
            (std::vector<uint8_t>{0x28, 0x00, 0x1B, 0x00, 0x05, 0x0B, 'I', 'n'}));

  ErrorManager manager;
  manager.Init();
  ASSERT_EQ(manager.ERRORS.size(), 40u);
  for (size_t i = 0; i < kOrder.size(); ++i) {
    EXPECT_EQ(manager.ERRORS[i].ID, kOrder[i]);
    EXPECT_EQ(manager.ERRORS[i].TITLE, in_order[i].title);
    EXPECT_EQ(manager.ERRORS[i].MESSAGE, in_order[i].text);
    EXPECT_EQ(static_cast<uint8_t>(manager.ERRORS[i].FATALITY), in_order[i].severity);
  }
  manager.Kill();
  EXPECT_TRUE(manager.ERRORS.empty());
}

TEST(StandardMessages, ABlockThatEndsInsideAnEntryLoadsOnlyWhatIsComplete) {
  const std::vector<uint8_t> whole =
      MakeBlock({{200, 5, "One", "First text"}, {201, 5, "Two", "Second text"}});
  ErrorManager manager;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    manager.ERRORS.clear();
    // A copy of exactly `cut` bytes, so that a read past the end is a sanitizer's finding.
    const std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
    EXPECT_FALSE(manager.LoadMessages(part.data(), part.size())) << cut;
    const size_t first_end = 2 + 4 + 3 + 1 + 10;
    EXPECT_EQ(manager.ERRORS.size(), cut >= first_end ? 1u : 0u) << cut;
  }
  manager.ERRORS.clear();
  EXPECT_TRUE(manager.LoadMessages(whole.data(), whole.size()));
  EXPECT_EQ(manager.ERRORS.size(), 2u);
}

TEST_F(ErrorManagerTest, ALaterBlockOverridesAnEntryAndPreviousBringsInTheOneItReplaced) {
  const std::vector<uint8_t> extra = MakeBlock({
      {5, 1, "No Match", "Nothing matched your search. %previous"},
      {1, 5, "Cannot Read", "%Previous Please tell support."},
  });
  ASSERT_TRUE(manager_.LoadMessages(extra.data(), extra.size()));

  answers_ = {kNo};
  EXPECT_EQ(manager_.Raise(5), Level::Cancelled);  // the new entry's severity: a question
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "No Match");
  EXPECT_EQ(boxes_[0].text,
            "Nothing matched your search. Record match not found, do you wish to add a new one?");

  // The replaced text comes in with its own placeholders filled.
  runtime::PostError(runtime::err::kRecordNotAvailable);
  manager_.SetFile("notes");
  EXPECT_EQ(manager_.Raise(1), Level::Notified);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].title, "Cannot Read");
  EXPECT_EQ(boxes_[1].text,
            "Error: (Record Not Available (33)) attempting to access a record from the notes "
            "file.  Returning to previous window. Please tell support.");

  // An entry with no earlier namesake loses its "%Previous".
  const std::vector<uint8_t> lone = MakeBlock({{300, 0, "T", "Alone:%PREVIOUS."}});
  ASSERT_TRUE(manager_.LoadMessages(lone.data(), lone.size()));
  ASSERT_EQ(manager_.SelectMessage(300), Level::Proceed);
  EXPECT_EQ(manager_.Substitute(), "Alone:.");
}

TEST_F(ErrorManagerTest, ErrorTextShowsTheDriversOwnTextForError90) {
  runtime::PostError(runtime::err::kFileSystemError);
  runtime::SetFileError("E117", "page 12 fails its checksum");
  EXPECT_EQ(manager_.Raise(4), Level::Notified);
  runtime::PostError(runtime::err::kRecordNotFound);
  EXPECT_EQ(manager_.Raise(4), Level::Notified);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].title, "Record Insert Error");
  EXPECT_EQ(boxes_[0].text,
            "An error was experienced during the creation of a record. Error: page 12 fails its "
            "checksum (E117).");
  EXPECT_EQ(boxes_[0].icon, QMessageBox::Information);
  EXPECT_EQ(boxes_[0].buttons, kOk);
  EXPECT_EQ(boxes_[1].text,
            "An error was experienced during the creation of a record. Error: Record Not Found "
            "(35).");
  // The other error placeholders, each from the state saved at raising.
  runtime::PostError(runtime::err::kFileSystemError);
  manager_.SaveErrors();
  runtime::ClearError();
  const std::vector<uint8_t> all =
      MakeBlock({{301, 0, "", "%ErrorCode|%Error|%FileErrorCode|%FileError|%errortext"}});
  ASSERT_TRUE(manager_.LoadMessages(all.data(), all.size()));
  ASSERT_EQ(manager_.SelectMessage(301), Level::Proceed);
  EXPECT_EQ(manager_.Substitute(),
            "90|File System Error|E117|page 12 fails its checksum|page 12 fails its checksum "
            "(E117)");
}

TEST_F(ErrorManagerTest, Severity4AsksExactlyAsSeverity1Does) {
  const std::vector<uint8_t> block =
      MakeBlock({{400, 1, "Asked", "Go on with %Field?"}, {401, 4, "Asked", "Go on with %Field?"}});
  ASSERT_TRUE(manager_.LoadMessages(block.data(), block.size()));
  manager_.SetField("SNO:TOPIC");
  answers_ = {kYes, kNo, kYes, kNo};
  EXPECT_EQ(manager_.Raise(400), Level::Proceed);
  EXPECT_EQ(manager_.Raise(400), Level::Cancelled);
  EXPECT_EQ(manager_.Raise(401), Level::Proceed);
  EXPECT_EQ(manager_.Raise(401), Level::Cancelled);
  ASSERT_EQ(boxes_.size(), 4u);
  for (const Box& box : boxes_) {
    EXPECT_EQ(box.title, "Asked");
    EXPECT_EQ(box.text, "Go on with SNO:TOPIC?");
    EXPECT_EQ(box.icon, QMessageBox::Warning);  // the exclamation icon
    EXPECT_EQ(box.buttons, kYes | kNo);
    EXPECT_EQ(box.default_button, "button2");
  }
}

TEST_F(ErrorManagerTest, ASubstitutedValueIsNeverReplacedAgain) {
  const std::vector<uint8_t> block = MakeBlock({
      {500, 0, "", "[%File] [%FILE] [%Field] [%Message]"},
      {501, 0, "", "%Fi%Filele"},
      {502, 0, "", "%Message%Message%Message%Message%Message%Message%Message%Message%Message"},
      {503, 0, "", "No placeholders here: 100% sure."},
  });
  ASSERT_TRUE(manager_.LoadMessages(block.data(), block.size()));
  manager_.SetFile("a %file named %FILE");
  manager_.SetField("%Message");
  manager_.RaiseMessage(500, "%Field and %Procedure");
  ASSERT_EQ(manager_.SelectMessage(500), Level::Proceed);
  EXPECT_EQ(manager_.Substitute(),
            "[a %file named %FILE] [a %file named %FILE] [%Message] [%Field and %Procedure]");

  // Restarting at the beginning finds a placeholder that a replacement by nothing put together.
  manager_.SetFile("");
  ASSERT_EQ(manager_.SelectMessage(501), Level::Proceed);
  EXPECT_EQ(manager_.Substitute(), "");

  // Nine values of 255 characters are cut to 2,000 characters; longer context is cut to 255.
  manager_.RaiseMessage(502, std::string(300, 'x'));
  EXPECT_EQ(manager_.MESSAGETEXT.size(), kMaxContextText);
  ASSERT_EQ(manager_.SelectMessage(502), Level::Proceed);
  EXPECT_EQ(manager_.Substitute(), std::string(kMaxMessageText, 'x'));

  ASSERT_EQ(manager_.SelectMessage(503), Level::Proceed);
  EXPECT_EQ(manager_.Substitute(), "No placeholders here: 100% sure.");
  EXPECT_TRUE(boxes_.empty());  // severity 0 shows nothing
}

TEST_F(ErrorManagerTest, ANumberWithoutAnEntryIsNamedInANoticeNotShownAsTheLastMessage) {
  ASSERT_EQ(manager_.SelectMessage(9), Level::Proceed);  // "Confirm Delete" stands selected
  EXPECT_EQ(manager_.SelectMessage(999), Level::Notified);
  EXPECT_EQ(manager_.SelectedEntry()->ID, 9);  // selecting nothing moves nothing
  EXPECT_EQ(manager_.Raise(999), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Unknown Message");
  EXPECT_EQ(boxes_[0].text, "Message 999 has no entry in the message table.");
  EXPECT_EQ(boxes_[0].buttons, kOk);
  EXPECT_EQ(manager_.Ask(999, kYes | kNo, kYes), 0);  // nothing to ask
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(ErrorManagerTest, FatalSeveritiesShowTheStopBoxAndHalt) {
  runtime::PostError(runtime::err::kFileNotFound);
  manager_.SetFile("plk");
  const std::vector<uint8_t> other = MakeBlock({{600, 9, "Odd Severity", "Severity nine."}});
  ASSERT_TRUE(manager_.LoadMessages(other.data(), other.size()));
  struct Case {
    uint16_t id;
    std::string title;
    std::string text;
  };
  const Case cases[] = {
      {23, "File Access Error", "File (plk) could not be opened.  Error: File Not Found (2)."},
      {39, "File Usage Error", "Attempt to use file (plk) before it was opened"},  // severity 2
      {600, "Odd Severity", "Severity nine."},                                     // 6 and above
  };
  for (const Case& c : cases) {
    boxes_.clear();
    try {
      manager_.Raise(c.id);
      ADD_FAILURE() << c.id << " returned instead of halting";
    } catch (const runtime::HaltException& halt) {
      EXPECT_EQ(halt.code, kFatalExitCode);
      EXPECT_NE(halt.code, 0);  // a stopped program does not report success
      EXPECT_EQ(halt.text, c.title);
    }
    ASSERT_EQ(boxes_.size(), 1u) << c.id;
    EXPECT_EQ(boxes_[0].title, c.title);
    EXPECT_EQ(boxes_[0].text, c.text + "  Press OK to end this application");
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes_[0].buttons, kOk);
  }
}

TEST_F(ErrorManagerTest, AskOffersTheCallersButtonsAndReturnsThePressedOne) {
  answers_ = {kCancel, kYes};
  EXPECT_EQ(manager_.Ask(35, kYes | kNo | kCancel, kCancel), kCancel);
  EXPECT_EQ(manager_.Ask(33, kYes | kNo | kCancel, kYes), kYes);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].title, "Save Record");
  EXPECT_EQ(boxes_[0].text, "Do you want to save the changes to this record?");
  EXPECT_EQ(boxes_[0].buttons, kYes | kNo | kCancel);
  EXPECT_EQ(boxes_[0].default_button, "button64");
  EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
  EXPECT_EQ(boxes_[1].title, "Record Delete Error");
  EXPECT_EQ(boxes_[1].default_button, "button2");
}

TEST_F(ErrorManagerTest, ProcedureNamesBelongToTheThreadThatPushedThem) {
  const std::vector<uint8_t> block = MakeBlock({{700, 0, "", "in %Procedure"}});
  ASSERT_TRUE(manager_.LoadMessages(block.data(), block.size()));
  auto where = [this] {
    EXPECT_EQ(manager_.SelectMessage(700), Level::Proceed);
    return manager_.Substitute();
  };
  EXPECT_EQ(where(), "in ");
  manager_.PushProcedure("Main");
  manager_.PushProcedure("UpdateSNotes");
  std::vector<std::string> seen_by_second;
  runtime::START([&] {
    seen_by_second.push_back(where());  // thread 1's names are not this thread's
    manager_.PushProcedure("BrowseARC");
    seen_by_second.push_back(where());
    manager_.PopProcedure();
    manager_.PopProcedure();  // nothing of its own left: thread 1's names stay
    seen_by_second.push_back(where());
  });
  runtime::WaitForOtherThreads();
  EXPECT_EQ(seen_by_second, (std::vector<std::string>{"in ", "in BrowseARC", "in "}));
  EXPECT_EQ(where(), "in UpdateSNotes");
  manager_.PopProcedure();
  EXPECT_EQ(where(), "in Main");
  manager_.PopProcedure();
  manager_.PopProcedure();
  EXPECT_EQ(where(), "in ");
  EXPECT_TRUE(manager_.PROCNAMES.empty());
}

}  // namespace
}  // namespace pellucor::framework
