// check and eval.
#include <cstdlib>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/text.h"
#include "app/data_dir.h"
#include "app/note_store.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/pagefile/checker.h"
#include "data/pagefile/page_file.h"
#include "platform/file.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/expr/expression.h"

namespace pellucor::app::cli {
namespace {

// The checker reads the file under a reader slot, so that no other program commits while it
// reads: what it reports is the file, not another program's writing in progress.
struct CheckedFile {
  std::unique_ptr<data::pagefile::PageFile> file;
  std::unique_ptr<data::ReaderSlotLock> slot;  // locks through the file: declared after it
};

bool OpenForCheck(CheckedFile* out) {
  data::pagefile::OpenOptions options;
  options.mode = data::pagefile::OpenMode::kReadOnly;
  options.share = platform::Share::kDenyNone;
  options.defer_header = true;
  out->file = data::pagefile::PageFile::Open(std::string(kDataFileName), options);
  if (!out->file) return false;
  out->slot = std::make_unique<data::ReaderSlotLock>(out->file->file());
  return out->file->CheckHeader(data::pagefile::LogHandling::kReadThrough);
}

}  // namespace

int RunCheck(const Context& ctx, const ParsedArgs& args) {
  std::string error;
  if (!args.positional.empty()) {
    return ctx.Complain(exit_status::kBadInput, "check takes no argument");
  }
  if (!platform::Env::Default()->Exists(std::string(kDataFileName))) {
    std::fprintf(ctx.out, "no data file yet in %s: nothing to check\n", ctx.data_dir.c_str());
    return exit_status::kOk;
  }
  // The checker reports damage as faults; should the data engine still stop on a page it met
  // (reading the header's log, say), that stop is the file's fault too, and reported as one.
  runtime::HaltHook outer;
  outer = runtime::SetHaltHook([&ctx, &outer](int32_t code, const std::string& text) {
    if (!runtime::IsInternalStopText(text)) {
      if (outer) outer(code, text);
      return;
    }
    std::fprintf(ctx.out, "%s: not a sound data file: %s\n", std::string(kDataFileName).c_str(),
                 text.c_str());
    std::fflush(nullptr);
    std::_Exit(exit_status::kNone);
  });
  data::pagefile::CheckReport report;
  CheckedFile checked;
  if (!OpenForCheck(&checked)) {
    const int32_t code = runtime::ErrorCode();
    if (code == runtime::err::kInvalidDataFile) {
      std::string why = TrimRight(runtime::ErrorText());
      if (!runtime::Errors().file_error.empty()) why += ": " + runtime::Errors().file_error;
      std::fprintf(ctx.out, "%s: not a sound data file: %s\n", std::string(kDataFileName).c_str(),
                   why.c_str());
      return exit_status::kNone;
    }
    return ctx.Complain(exit_status::kFailure,
                        "cannot open the data file: " + TrimRight(runtime::ErrorText()));
  }
  report = data::pagefile::CheckPageFile(checked.file.get(), 20);
  if (report.sound()) {
    std::fprintf(ctx.out, "%s: sound (%zu pages, %zu entries)\n",
                 std::string(kDataFileName).c_str(), report.pages, report.entries);
    return exit_status::kOk;
  }
  std::fprintf(ctx.out, "%s: %zu faults\n%s", std::string(kDataFileName).c_str(),
               report.faults.size(), report.Text().c_str());
  if (!report.Text().empty() && report.Text().back() != '\n') std::fputc('\n', ctx.out);
  return exit_status::kNone;
}

int RunEval(const Context& ctx, const ParsedArgs& args) {
  std::string error;
  if (args.positional.size() != 1) {
    return ctx.Complain(exit_status::kBadInput, "eval takes one expression (quote it)");
  }
  const std::optional<std::string> text = UserText(args.positional[0], "expression", 0, &error);
  if (!text) return ctx.Complain(exit_status::kBadInput, error);

  // The note fields of both tables, bound to an empty note: blank texts and no dates.
  auto notes = MakeSNotes(&data::KestruneDriverInstance());
  auto archive = MakeArcnotes(&data::KestruneDriverInstance());
  std::vector<uint8_t> note_record(note_record::kSize);
  std::vector<uint8_t> archive_record(note_record::kSize);
  EncodeNote(Note{0, 0, 0, "", ' ', ' ', ""}, note_record.data());
  EncodeNote(Note{0, 0, 0, "", ' ', ' ', ""}, archive_record.data());

  runtime::expr::PUSHSCOPE(runtime::expr::OuterNames::kVisible);
  BindFields(*notes, note_record.data());
  BindFields(*archive, archive_record.data());
  runtime::ClearError();
  runtime::expr::CompileFailure why;
  auto tree = runtime::expr::CompileExpression(*text, &why);
  runtime::expr::POPSCOPE();
  if (!tree) {
    const std::string reason = CheckExpression(*notes, note_record.data(), *text);
    return ctx.Complain(
        exit_status::kBadInput,
        "the expression does not compile: " +
            (reason.empty() ? std::string("Invalid expression for EVALUATE") : reason));
  }
  const std::string value = runtime::expr::EvaluateString(*tree);
  std::fprintf(ctx.out, "%s\n", ForTerminal(value).c_str());
  if (runtime::ErrorCode() != 0) {
    return ctx.Complain(exit_status::kBadInput,
                        "the expression failed: " + TrimRight(runtime::ErrorText()));
  }
  return exit_status::kOk;
}

}  // namespace pellucor::app::cli
