// export and import: notes as lines of a text file, written and read through the ASCII driver.
// Tabs in a line are data (TAB=-100), lines end with a line feed as text files here do (a
// carriage return before it is taken off on import), and a Ctrl-Z is data too.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/saved_query.h"
#include "app/cli/text.h"
#include "data/ascii/ascii_driver.h"
#include "data/driver/declaration.h"
#include "data/driver/driver.h"
#include "runtime/core/error_state.h"

namespace pellucor::app::cli {
namespace {

namespace err = runtime::err;
using data::Dispatch;
using data::Op;
using data::OpArgs;

constexpr std::string_view kLineOptions = "/TAB=-100/ENDOFRECORD=1,10/CTRLZISEOF=OFF/CLIP=ON";
// The record of one line: three strings, since one string holds at most 8191 bytes. The longest
// line a note makes (a 5050-character memo of three-byte UTF-8 characters) is about 15,400 bytes.
constexpr uint32_t kLinePart = 8000;
constexpr uint32_t kLineBytes = 3 * kLinePart;

std::unique_ptr<data::FileDecl> LineFile(const std::string& path) {
  return data::DeclarationBuilder("Notes", "TXT", &data::AsciiDriverInstance())
      .Name(path)
      .DriverString(std::string(kLineOptions))
      .Attributes(data::decl_attr::kCreate)
      .String("LINE1", kLinePart)
      .String("LINE2", kLinePart)
      .String("LINE3", kLinePart)
      .Build();
}

std::string ErrorWords(int32_t code) {
  std::string text = TrimRight(runtime::ErrorText());
  if (text.empty()) text = runtime::ErrorTextFor(code);
  return text + " (error " + std::to_string(code) + ")";
}

int32_t Open(data::FileDecl& file, int32_t mode) {
  OpArgs args;
  args.mode = mode;
  return Dispatch(file, Op::kOPEN, args).error;
}

}  // namespace

int RunExport(const Context& ctx, const ParsedArgs& args) {
  std::string error;
  if (args.positional.size() != 1) {
    return ctx.Complain(exit_status::kBadInput, "export takes one FILE");
  }
  const std::string target = ctx.UserPath(args.positional[0]);
  if (std::filesystem::is_directory(target)) {
    return ctx.Complain(exit_status::kBadInput, args.positional[0] + " is a directory");
  }
  std::vector<Note> notes;
  {
    NoteStore store(StoreAccess::kRead);
    auto request = TabListing(ctx, store, args.Value("tab").value_or("all"), args.Value("where"));
    if (!request) return exit_status::kBadInput;
    if (const auto name = args.Value("query")) {
      if (const int status = ApplySavedQuery(ctx, store, *name, &*request); status != 0) {
        return status;
      }
    }
    if (store.List(*request, &notes) != 0)
      return ctx.Complain(exit_status::kFailure, store.Error());
  }

  // Written beside the target and put in its place once complete, so that a failure never
  // leaves a half-written export where a good one was.
  const std::string part = target + ".part-" + std::to_string(getpid());
  auto file = LineFile(part);
  const auto fail = [&](std::string_view doing, int32_t code) {
    const std::string words = ErrorWords(code);
    (void)Dispatch(*file, Op::kCLOSE);
    std::error_code ec;
    std::filesystem::remove(part, ec);
    return ctx.Complain(exit_status::kFailure,
                        std::string(doing) + " " + args.positional[0] + ": " + words);
  };
  OpArgs create;
  // The export file is this command's alone while it writes.
  constexpr int32_t kExportMode = data::access_mode::kReadWrite | data::access_mode::kDenyAll;
  create.mode = kExportMode;
  if (const int32_t e = Dispatch(*file, Op::kCREATE, create).error; e != 0) {
    return fail("cannot create", e);
  }
  if (const int32_t e = Open(*file, kExportMode); e != 0) return fail("cannot open", e);
  for (const Note& n : notes) {
    const std::string line = TsvLine(n);
    uint8_t* record = file->RecordBuffer();
    std::memset(record, ' ', kLineBytes);
    std::memcpy(record, line.data(), std::min<size_t>(line.size(), kLineBytes));
    if (const int32_t e = Dispatch(*file, Op::kADD).error; e != 0) return fail("cannot write", e);
  }
  if (const int32_t e = Dispatch(*file, Op::kFLUSH).error;
      e != 0 && e != err::kUnsupportedFunction) {
    return fail("cannot write", e);
  }
  if (const int32_t e = Dispatch(*file, Op::kCLOSE).error; e != 0) return fail("cannot close", e);
  std::error_code ec;
  std::filesystem::rename(part, target, ec);
  if (ec) {
    std::filesystem::remove(part, ec);
    return ctx.Complain(exit_status::kFailure, "cannot write " + args.positional[0]);
  }
  return exit_status::kOk;
}

int RunImport(const Context& ctx, const ParsedArgs& args) {
  std::string error;
  if (args.positional.size() != 1) {
    return ctx.Complain(exit_status::kBadInput, "import takes one FILE");
  }
  const std::string& shown = args.positional[0];
  const std::string path = ctx.UserPath(shown);
  if (std::filesystem::is_directory(path)) {
    return ctx.Complain(exit_status::kBadInput, shown + " is a directory");
  }

  // Every line is read and checked before the first note is added.
  std::vector<Note> notes;
  {
    auto file = LineFile(path);
    if (const int32_t e = Open(*file, data::access_mode::kReadOnly | data::access_mode::kDenyNone);
        e != 0) {
      return ctx.Complain(exit_status::kBadInput, "cannot read " + shown + ": " + ErrorWords(e));
    }
    if (const int32_t e = Dispatch(*file, Op::kSETfile).error; e != 0) {
      (void)Dispatch(*file, Op::kCLOSE);
      return ctx.Complain(exit_status::kFailure, "cannot read " + shown + ": " + ErrorWords(e));
    }
    for (size_t number = 1;; ++number) {
      const int32_t e = Dispatch(*file, Op::kNEXT).error;
      if (e == err::kRecordNotAvailable) break;
      if (e != 0) {
        (void)Dispatch(*file, Op::kCLOSE);
        return ctx.Complain(exit_status::kFailure, "cannot read " + shown + ": " + ErrorWords(e));
      }
      const uint8_t* record = file->RecordBuffer();
      const std::string where = shown + " line " + std::to_string(number) + ": ";
      if (record[kLineBytes - 1] != ' ') {
        (void)Dispatch(*file, Op::kCLOSE);
        return ctx.Complain(exit_status::kBadInput, where + "the line is too long for a note");
      }
      std::string line =
          TrimRight(std::string_view(reinterpret_cast<const char*>(record), kLineBytes));
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line == kTsvHeader) continue;
      std::optional<Note> note = ParseTsvLine(line, &error);
      if (!note) {
        (void)Dispatch(*file, Op::kCLOSE);
        return ctx.Complain(exit_status::kBadInput, where + error);
      }
      note->id = 0;
      notes.push_back(std::move(*note));
    }
    (void)Dispatch(*file, Op::kCLOSE);
  }
  runtime::ClearError();

  NoteStore store(StoreAccess::kWrite);
  size_t added = 0;
  for (const Note& n : notes) {
    uint32_t id = 0;
    if (store.Add(Table::kNotes, n, &id) != 0) {
      return ctx.Complain(exit_status::kFailure, store.Error() + " (" + std::to_string(added) +
                                                     " of " + std::to_string(notes.size()) +
                                                     " notes were added)");
    }
    ++added;
  }
  std::fprintf(ctx.out, "%zu notes imported\n", added);
  return exit_status::kOk;
}

}  // namespace pellucor::app::cli
