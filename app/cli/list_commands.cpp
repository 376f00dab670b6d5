// list and due: the notes of a tab, aligned for reading or tab-separated for programs.
#include <algorithm>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/saved_query.h"
#include "app/cli/text.h"
#include "app/note_store.h"
#include "app/note_tabs.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::app::cli {
namespace {

// Columns of the aligned listing show at most this much of the memo: its first line.
constexpr size_t kMemoShown = 50;

std::string ShortDate(int32_t day_number) {
  if (day_number == 0) return {};
  return TrimRight(runtime::FORMAT(runtime::FormatValue::Integer(day_number), "@D17"));
}

std::string MemoPreview(const std::string& memo) {
  std::string first = memo.substr(0, memo.find_first_of("\r\n"));
  std::replace(first.begin(), first.end(), '\t', ' ');
  const bool cut = first.size() < memo.size() || first.size() > kMemoShown;
  if (first.size() > kMemoShown) first.resize(kMemoShown);
  return cut ? TrimRight(first) + "..." : first;
}

// Pads Windows-1252 text (one byte a character) to `width` characters, then converts it.
std::string Cell(const std::string& ansi, size_t width, bool right) {
  const std::string pad(width > ansi.size() ? width - ansi.size() : 0, ' ');
  return ForTerminal(right ? pad + ansi : ansi + pad);
}

void PrintAligned(const Context& ctx, const std::vector<Note>& notes) {
  if (notes.empty()) return;
  const int32_t today = runtime::TODAY();
  struct Row {
    std::string id, reminder, noted, done, topic, memo;
  };
  std::vector<Row> rows;
  rows.push_back({"ID", "Reminder Date", "NoteDate", "Done", "Topic", "Main Memo"});
  for (const Note& n : notes) {
    // "*" is the reminder icon of the main window's list: due within three days or overdue.
    const std::string mark = ReminderIconShown(n.reminder_date, today) ? "*" : " ";
    rows.push_back({std::to_string(n.id), mark + ShortDate(n.reminder_date), ShortDate(n.note_date),
                    std::string(1, n.done), n.topic, MemoPreview(n.memo)});
  }
  size_t w[5] = {0, 0, 0, 0, 0};
  for (const Row& r : rows) {
    w[0] = std::max(w[0], r.id.size());
    w[1] = std::max(w[1], r.reminder.size());
    w[2] = std::max(w[2], r.noted.size());
    w[3] = std::max(w[3], r.done.size());
    w[4] = std::max(w[4], r.topic.size());
  }
  for (const Row& r : rows) {
    std::string line = Cell(r.id, w[0], true) + "  " + Cell(r.reminder, w[1], true) + "  " +
                       Cell(r.noted, w[2], false) + "  " + Cell(r.done, w[3], false) + "  " +
                       Cell(r.topic, w[4], false) + "  " + ForTerminal(r.memo);
    line = TrimRight(line);
    std::fprintf(ctx.out, "%s\n", line.c_str());
  }
}

void PrintTsv(const Context& ctx, const std::vector<Note>& notes) {
  std::fprintf(ctx.out, "%.*s\n", static_cast<int>(kTsvHeader.size()), kTsvHeader.data());
  for (const Note& n : notes) std::fprintf(ctx.out, "%s\n", TsvLine(n).c_str());
}

int Listed(const Context& ctx, NoteStore& store, const ListRequest& request,
           std::vector<Note>* notes) {
  if (const int32_t e = store.List(request, notes); e != 0) {
    return ctx.Complain(exit_status::kFailure, store.Error());
  }
  return exit_status::kOk;
}

}  // namespace

std::optional<ListRequest> TabListing(const Context& ctx, NoteStore& store, std::string_view tab,
                                      const std::optional<std::string>& where) {
  ListRequest request;
  if (tab == "archive") {
    request.table = Table::kArchive;
    request.key = std::string(kArchiveKey);
  } else if (const std::optional<NoteTabId> id = TabByCliName(tab)) {
    const NoteTab& t = TabOf(*id);
    request.key = std::string(t.key);
    request.filter = std::string(t.filter);
    request.added_order = std::string(t.added_order);
  } else {
    ctx.Complain(exit_status::kBadInput,
                 "unknown tab '" + std::string(tab) + "' (notes, reminders, done, all or archive)");
    return std::nullopt;
  }
  if (where) {
    std::string error;
    const std::optional<std::string> ansi = UserText(*where, "expression", 0, &error);
    if (!ansi) {
      ctx.Complain(exit_status::kBadInput, error);
      return std::nullopt;
    }
    if (ansi->find_first_not_of(" \t") == std::string::npos) {
      ctx.Complain(exit_status::kBadInput, "--where needs an expression");
      return std::nullopt;
    }
    std::vector<uint8_t> scratch(note_record::kSize, ' ');
    const std::string why = CheckExpression(store.Decl(request.table), scratch.data(), *ansi);
    if (!why.empty()) {
      ctx.Complain(exit_status::kBadInput, "--where does not compile: " + why);
      return std::nullopt;
    }
    request.where = *ansi;
  }
  return request;
}

int RunList(const Context& ctx, const ParsedArgs& args) {
  std::string error;
  if (!args.positional.empty()) {
    return ctx.Complain(exit_status::kBadInput,
                        "list takes no argument '" + args.positional[0] + "'");
  }
  NoteStore store(StoreAccess::kRead);
  auto request = TabListing(ctx, store, args.Value("tab").value_or("all"), args.Value("where"));
  if (!request) return exit_status::kBadInput;
  if (const auto name = args.Value("query")) {
    if (const int status = ApplySavedQuery(ctx, store, *name, &*request); status != 0) {
      return status;
    }
  }
  std::vector<Note> notes;
  if (const int status = Listed(ctx, store, *request, &notes); status != 0) return status;
  if (args.Has("tsv")) {
    PrintTsv(ctx, notes);
  } else {
    PrintAligned(ctx, notes);
  }
  return exit_status::kOk;
}

int RunDue(const Context& ctx, const ParsedArgs& args) {
  std::string error;
  if (!args.positional.empty()) {
    return ctx.Complain(exit_status::kBadInput,
                        "due takes no argument '" + args.positional[0] + "'");
  }
  NoteStore store(StoreAccess::kRead);
  const auto request = TabListing(ctx, store, "reminders", std::nullopt);
  if (!request) return exit_status::kBadInput;
  std::vector<Note> notes;
  if (const int status = Listed(ctx, store, *request, &notes); status != 0) return status;
  if (args.Has("tsv")) {
    PrintTsv(ctx, notes);
  } else {
    PrintAligned(ctx, notes);
  }
  return notes.empty() ? exit_status::kNone : exit_status::kOk;
}

}  // namespace pellucor::app::cli
