#include "framework/error/error_manager.h"

#include <algorithm>

#include "framework/error/standard_messages.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

namespace {

constexpr std::string_view kUnknownTitle = "Unknown Message";

std::string Cut(std::string_view text, size_t limit) {
  return std::string(text.substr(0, std::min(text.size(), limit)));
}

// The error state keeps its texts blank padded; a message shows them without the padding.
std::string Clipped(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return Cut(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1),
             kMaxContextText);
}

}  // namespace

bool ErrorManager::LoadMessages(const uint8_t* block, size_t length) {
  if (block == nullptr || length < 2) return false;
  const size_t count = block[0] | (static_cast<size_t>(block[1]) << 8);
  size_t at = 2;
  // Every read checks the length first: a block that ends early loads what is complete.
  auto text = [&](std::string_view& out) {
    if (at >= length) return false;
    const size_t n = block[at++];
    if (n > length - at) return false;
    out = std::string_view(reinterpret_cast<const char*>(block + at), n);
    at += n;
    return true;
  };
  for (size_t i = 0; i < count; ++i) {
    if (length - at < 3) return false;
    ErrorEntry entry;
    entry.ID = static_cast<uint16_t>(block[at] | (block[at + 1] << 8));
    entry.FATALITY = static_cast<Level>(block[at + 2]);
    at += 3;
    if (!text(entry.TITLE) || !text(entry.MESSAGE)) return false;
    ERRORS.push_back(entry);
  }
  return at == length;
}

Level ErrorManager::OnProceed() {
  return Level::Proceed;
}

Level ErrorManager::OnFatal() {
  const ErrorEntry* entry = SelectedEntry();
  const std::string title = entry != nullptr ? std::string(entry->TITLE) : std::string();
  const std::string text = Substitute() + std::string(kFatalSuffix);
  (void)runtime::MESSAGE(text, title, runtime::MessageIcon::kInformation, runtime::button::kOk,
                         runtime::button::kOk);
  runtime::HALT(kFatalExitCode, title);
}

Level ErrorManager::OnNotify() {
  const ErrorEntry* entry = SelectedEntry();
  (void)runtime::MESSAGE(Substitute(), entry != nullptr ? entry->TITLE : std::string_view{},
                         runtime::MessageIcon::kInformation, runtime::button::kOk,
                         runtime::button::kOk);
  return Level::Notified;
}

Level ErrorManager::OnOther() {
  return OnProgramError();
}

Level ErrorManager::OnProgramError() {
  OnFatal();
  return Level::Fatal;
}

Level ErrorManager::OnAskUser() {
  const ErrorEntry* entry = SelectedEntry();
  const int32_t answer =
      runtime::MESSAGE(Substitute(), entry != nullptr ? entry->TITLE : std::string_view{},
                       runtime::MessageIcon::kExclamation,
                       runtime::button::kYes | runtime::button::kNo, runtime::button::kYes);
  return answer == runtime::button::kYes ? Level::Proceed : Level::Cancelled;
}

void ErrorManager::Init() {
  ERRORS.clear();
  selected_ = kNone;
  const std::span<const uint8_t> block = StandardMessageBlock();
  LoadMessages(block.data(), block.size());
  PROCNAMES.clear();
}

void ErrorManager::Kill() {
  ERRORS.clear();
  ERRORS.shrink_to_fit();
  PROCNAMES.clear();
  PROCNAMES.shrink_to_fit();
  selected_ = kNone;
}

void ErrorManager::SetField(std::string_view name) {
  FIELDNAME = Cut(name, kMaxContextText);
}

void ErrorManager::SetFile(std::string_view name) {
  FILENAME = Cut(name, kMaxContextText);
}

void ErrorManager::SaveErrors() {
  const runtime::ErrorState& state = runtime::Errors();
  SAVEERRORCODE = state.code;
  SAVEERROR = Clipped(state.text);
  SAVEFILEERRORCODE = Clipped(state.file_error_code);
  SAVEFILEERROR = Clipped(state.file_error);
}

Level ErrorManager::Raise(uint16_t id) {
  SaveErrors();
  return Dispatch(id);
}

Level ErrorManager::RaiseMessage(uint16_t id, std::string_view text) {
  MESSAGETEXT = Cut(text, kMaxContextText);
  return Raise(id);
}

Level ErrorManager::Dispatch(uint16_t id) {
  if (SelectMessage(id) != Level::Proceed) {
    // Showing whichever message was selected before would answer the wrong question (a stale
    // "Confirm Delete" for an unrelated failure): a number without an entry gets a notice of its
    // own, and the caller learns that the operation failed.
    unknown_text_ = "Message " + std::to_string(id) + " has no entry in the message table.";
    unknown_entry_ = ErrorEntry{id, unknown_text_, kUnknownTitle, Level::Notified};
    selected_ = kUnknown;
    return OnNotify();
  }
  switch (const uint8_t severity = static_cast<uint8_t>(ERRORS[selected_].FATALITY); severity) {
    case static_cast<uint8_t>(Level::Proceed):
      return OnProceed();
    case static_cast<uint8_t>(Level::AskUser):
    case static_cast<uint8_t>(Level::Cancelled):
      return OnAskUser();
    case static_cast<uint8_t>(Level::ProgramError):
      return OnProgramError();
    case static_cast<uint8_t>(Level::Fatal):
      return OnFatal();
    case static_cast<uint8_t>(Level::Notified):
      return OnNotify();
    default:
      return OnOther();
  }
}

int32_t ErrorManager::Ask(uint16_t id, int32_t buttons, int32_t default_button) {
  if (SelectMessage(id) != Level::Proceed) return 0;
  return runtime::MESSAGE(Substitute(), ERRORS[selected_].TITLE, runtime::MessageIcon::kExclamation,
                          buttons, default_button);
}

void ErrorManager::PushProcedure(std::string_view name) {
  PROCNAMES.push_back(ProcedureName{runtime::THREAD(), std::string(name)});
}

void ErrorManager::PopProcedure() {
  const int32_t thread = runtime::THREAD();
  for (auto it = PROCNAMES.rbegin(); it != PROCNAMES.rend(); ++it) {
    if (it->thread == thread) {
      PROCNAMES.erase(std::next(it).base());
      return;
    }
  }
}

Level ErrorManager::SelectMessage(uint16_t id) {
  for (size_t i = ERRORS.size(); i-- > 0;) {
    if (ERRORS[i].ID == id) {
      selected_ = i;
      return Level::Proceed;
    }
  }
  return Level::Notified;
}

const ErrorEntry* ErrorManager::SelectedEntry() const {
  if (selected_ == kUnknown) return &unknown_entry_;
  return selected_ < ERRORS.size() ? &ERRORS[selected_] : nullptr;
}

std::string ErrorManager::CurrentProcedure() const {
  const int32_t thread = runtime::THREAD();
  for (auto it = PROCNAMES.rbegin(); it != PROCNAMES.rend(); ++it) {
    if (it->thread == thread) return it->name;
  }
  return {};
}

}  // namespace pellucor::framework
