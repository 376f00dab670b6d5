// pdf: the MultiNote report of a tab (or a query) written to a PDF file by the desktop program's
// own report procedure, run on the offscreen platform: the same layout, pages and page numbers
// as "Print FindBy's" prints, without a window.
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/procedures/print_note.h"
#include "app/procedures/program.h"
#include "framework/window/window_manager.h"
#include "ui/report_offscreen.h"

namespace pellucor::app::cli {

namespace {

// The text a report leaves when its query finds no note.
constexpr std::string_view kNoRecords = "There are no records available to process.";

// The tab's filter and the extra condition as one filter text, the form the notes window's
// query text has.
std::string QueryTextOf(const ListRequest& request) {
  if (request.where.empty()) return request.filter;
  if (request.filter.empty()) return request.where;
  return "(" + request.filter + ") AND (" + request.where + ")";
}

}  // namespace

int RunPdf(const Context& ctx, const ParsedArgs& args) {
  if (args.positional.size() != 1)
    return ctx.Complain(exit_status::kBadInput, "pdf takes one FILE");
  const std::string target = ctx.UserPath(args.positional[0]);
  if (std::filesystem::is_directory(target)) {
    return ctx.Complain(exit_status::kBadInput, args.positional[0] + " is a directory");
  }
  const std::string tab = args.Value("tab").value_or("all");
  if (tab == "archive") {
    return ctx.Complain(exit_status::kBadInput,
                        "pdf prints the notes table: tab notes, reminders, done or all");
  }
  std::string query_text;
  {
    NoteStore store(StoreAccess::kRead);
    const auto request = TabListing(ctx, store, tab, args.Value("where"));
    if (!request) return exit_status::kBadInput;
    // Nothing to print is told at once, and the data file is not created for it.
    std::vector<Note> notes;
    if (store.List(*request, &notes) != 0) {
      return ctx.Complain(exit_status::kFailure, store.Error());
    }
    if (notes.empty()) return ctx.Complain(exit_status::kNone, "no note to print");
    query_text = QueryTextOf(*request);
  }

  std::vector<std::string> messages;
  uint8_t response = framework::response::kNone;
  ui::OffscreenReports how;
  how.pdf = target;
  how.on_message = [&messages](const std::string&, const std::string& text) {
    messages.push_back(text);
  };
  (void)ui::RunOffscreenReports(how, [&] {
    ProgramRun run;
    run.main = [&] {
      TheProgram().query_text = query_text;
      response = MultiNote(UnattendedReport{});
    };
    return RunProgram(std::move(run));
  });
  if (response == framework::response::kCompleted && messages.empty() &&
      std::filesystem::exists(target)) {
    return exit_status::kOk;
  }
  for (const std::string& m : messages) {
    if (m == kNoRecords) return ctx.Complain(exit_status::kNone, "no note to print");
  }
  std::string why = messages.empty() ? "the report was not printed" : messages.back();
  for (char& c : why) {
    if (c == '\n') c = ' ';
  }
  return ctx.Complain(exit_status::kFailure, "cannot write " + args.positional[0] + ": " + why);
}

}  // namespace pellucor::app::cli
