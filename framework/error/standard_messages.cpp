#include "framework/error/standard_messages.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "framework/error/level.h"

namespace pellucor::framework {

namespace {

struct StandardMessage {
  uint16_t id;
  Level severity;
  std::string_view title;
  std::string_view text;
};

// Block order, not number order. Texts stand exactly as users have always seen them, double
// spaces and missing full stops included.
constexpr StandardMessage kMessages[] = {
    {27, Level::Notified, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    {26, Level::Fatal, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    {10, Level::Fatal, "File Creation Error", "Error: (%ErrorText) creating %File."},
    {24, Level::Notified, "Procedure not defined", "The Procedure %Message has not been defined."},
    {17, Level::Notified, "Range Error", "The value of %Field must be lower than %Message."},
    {18, Level::Notified, "Range Error", "The value of %Field must be higher than %Message."},
    {16, Level::Notified, "Range Error", "The value of %Field must be between %Message."},
    {14, Level::Notified, "Field contents error",
     "The value of %Field must be found in the %Message file."},
    {31, Level::Notified, "Referential Integrity Update Error",
     "This record is referenced from the file %File. Linking field(s) have been restricted from "
     "change and have been reset to original values."},
    {30, Level::Notified, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these "
     "references exist."},
    {4, Level::Notified, "Record Insert Error",
     "An error was experienced during the creation of a record. Error: %ErrorText."},
    {6, Level::Notified, "Record Was Not Updated", "This record was changed by another station."},
    {7, Level::Notified, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the "
     "Ditto Button or Ctrl+' to recall your changes."},
    {34, Level::AskUser, "Record Update Error",
     "An error was experienced changing this record. Do you want to try to save again?"},
    {33, Level::AskUser, "Record Delete Error",
     "An error was experienced deleting this record. Do you want to try to delete it again?"},
    {20, Level::Notified, "Invalid Request", "This form cannot be used to insert a record"},
    {38, Level::Notified, "Invalid Request", "This form cannot be used to update a record"},
    {12, Level::Notified, "Invalid Request", "This form cannot be used to delete a record"},
    {8, Level::AskUser, "Changes will be lost!", "Are you sure you want to cancel?"},
    {13, Level::Notified, "Duplicate Key Error",
     "Adding this record creates a duplicate entry for the key: %Message"},
    {32, Level::AskUser, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
    {19, Level::Notified, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
    {36, Level::AskUser, "Beginning of File Error",
     "The beginning of the file was encountered. Do you want to start again from the end of the "
     "file?"},
    {37, Level::AskUser, "End of File Error",
     "The end of the file was encountered. Do you want to start again from the beginning?"},
    {23, Level::Fatal, "File Access Error",
     "File (%File) could not be opened.  Error: %ErrorText."},
    {25, Level::Notified, "Record was not updated",
     "An error (%ErrorText) was experienced when making changes to the %File file."},
    {11, Level::Notified, "Record was not deleted",
     "An error (%ErrorText) was experienced when deleting a record from the %File file."},
    {9, Level::AskUser, "Confirm Delete",
     "Are you sure you want to delete the highlighted record?"},
    {35, Level::AskUser, "Save Record", "Do you want to save the changes to this record?"},
    {21, Level::Notified, "Transaction cancelled",
     "Error: (%ErrorText) attempting to frame the transaction on %File."},
    {1, Level::Notified, "Record Retrieval Error",
     "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to "
     "previous window."},
    {40, Level::Notified, "View Open Error",
     "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
    {3, Level::AskUser, "Record Added",
     "This record has been added to the file. Do you want to add another record?"},
    {28, Level::Notified, "Record not read",
     "A record held by another station was encountered reading from the %File file."},
    {5, Level::Notified, "Add New Record?",
     "Record match not found, do you wish to add a new one?"},
    {15, Level::Notified, "Value Error", "The value of %Field must be in the list : %Message."},
    {22, Level::Notified, "No Records", "There are no records available to process."},
    {2, Level::Notified, "Access Denied",
     "Could not get write access to %File so trying read-only."},
    {39, Level::ProgramError, "File Usage Error",
     "Attempt to use file (%File) before it was opened"},
    {41, Level::Notified, "Unsupported QBE Column",
     "The saved QBE column, %Field is not supported. It will be dropped from the query."},
};

constexpr size_t BlockSize() {
  size_t size = 2;
  for (const StandardMessage& m : kMessages) size += 2 + 1 + 1 + m.title.size() + 1 + m.text.size();
  return size;
}

constexpr std::array<uint8_t, BlockSize()> BuildBlock() {
  std::array<uint8_t, BlockSize()> block{};
  size_t at = 0;
  auto put = [&](size_t value) { block[at++] = static_cast<uint8_t>(value & 0xFF); };
  auto put_text = [&](std::string_view text) {
    // A length that does not fit its byte would make the block unreadable: refuse to compile.
    if (text.size() > 255) throw "message text too long for its length byte";
    put(text.size());
    for (char c : text) put(static_cast<unsigned char>(c));
  };
  constexpr size_t count = std::size(kMessages);
  put(count);
  put(count >> 8);
  for (const StandardMessage& m : kMessages) {
    put(m.id);
    put(m.id >> 8);
    put(static_cast<uint8_t>(m.severity));
    put_text(m.title);
    put_text(m.text);
  }
  return block;
}

constexpr std::array<uint8_t, BlockSize()> kBlock = BuildBlock();

}  // namespace

std::span<const uint8_t> StandardMessageBlock() {
  return kBlock;
}

}  // namespace pellucor::framework
