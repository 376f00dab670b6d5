// add, show, edit, delete and archive: one note at a time.
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "app/cli/commands.h"
#include "app/cli/text.h"
#include "runtime/core/error_state.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::app::cli {
namespace {

int StoreFailure(const Context& ctx, const NoteStore& store, int32_t code) {
  // An id that names no note is the user's mistake; everything else is the file's.
  return ctx.Complain(
      code == runtime::err::kRecordNotFound ? exit_status::kBadInput : exit_status::kFailure,
      store.Error());
}

std::string ShownDate(int32_t day_number) {
  if (day_number == 0) return "none";
  const std::string local =
      TrimRight(runtime::FORMAT(runtime::FormatValue::Integer(day_number), "@D17"));
  return IsoDate(day_number) + " (" + ForTerminal(local) + ")";
}

bool Exclusive(const Context& ctx, const ParsedArgs& args, std::string_view a, std::string_view b) {
  if (args.Has(a) && args.Has(b)) {
    ctx.Complain(exit_status::kBadInput,
                 "--" + std::string(a) + " and --" + std::string(b) + " cannot be given together");
    return false;
  }
  return true;
}

Table TableOf(const ParsedArgs& args) {
  return args.Has("archive") ? Table::kArchive : Table::kNotes;
}

}  // namespace

std::string Context::UserPath(std::string_view path) const {
  const std::filesystem::path p(path);
  if (p.is_absolute() || user_cwd.empty()) return std::string(path);
  return (std::filesystem::path(user_cwd) / p).lexically_normal().string();
}

int Context::Complain(int status, std::string_view message) const {
  std::fprintf(err, "pellucor-cli: %.*s\n", static_cast<int>(message.size()), message.data());
  return status;
}

std::optional<uint32_t> ParseId(const Context& ctx, const ParsedArgs& args,
                                std::string_view command) {
  if (args.positional.size() != 1) {
    ctx.Complain(exit_status::kBadInput, std::string(command) +
                                             " takes one note id (see pellucor-cli help " +
                                             std::string(command) + ")");
    return std::nullopt;
  }
  const std::string& text = args.positional[0];
  uint32_t id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (ec != std::errc() || end != text.data() + text.size() || id == 0) {
    ctx.Complain(exit_status::kBadInput, "'" + text + "' is no note id (ids are numbers from 1)");
    return std::nullopt;
  }
  return id;
}

std::optional<int32_t> ParseDateOption(const Context& ctx, std::string_view option,
                                       const std::string& value) {
  const std::optional<int32_t> day = ParseIsoDate(value);
  if (!day) {
    ctx.Complain(exit_status::kBadInput,
                 "--" + std::string(option) + " " + value + ": not a date YYYY-MM-DD that exists");
  }
  return day;
}

std::optional<std::string> MemoOption(const Context& ctx, const ParsedArgs& args) {
  std::string utf8;
  if (const auto memo = args.Value("memo")) {
    utf8 = *memo;
  } else if (const auto file = args.Value("memo-file")) {
    if (*file == "-") {
      utf8.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
      std::ifstream in(ctx.UserPath(*file), std::ios::binary);
      if (!in) {
        ctx.Complain(exit_status::kBadInput, "cannot read the memo file " + *file);
        return std::nullopt;
      }
      std::ostringstream s;
      s << in.rdbuf();
      utf8 = s.str();
    }
    // A text file's last line ends with a line break that is no part of the memo.
    if (!utf8.empty() && utf8.back() == '\n') utf8.pop_back();
    if (!utf8.empty() && utf8.back() == '\r') utf8.pop_back();
  }
  std::string error;
  std::optional<std::string> memo = UserMemo(utf8, &error);
  if (!memo) ctx.Complain(exit_status::kBadInput, error);
  return memo;
}

int RunAdd(const Context& ctx, const ParsedArgs& args) {
  if (!args.positional.empty()) {
    return ctx.Complain(exit_status::kBadInput, "add takes no argument '" + args.positional[0] +
                                                    "' (the topic is given with --topic)");
  }
  if (!Exclusive(ctx, args, "memo", "memo-file")) return exit_status::kBadInput;
  const std::optional<std::string> topic_text = args.Value("topic");
  if (!topic_text) return ctx.Complain(exit_status::kBadInput, "add needs --topic TEXT");
  Note note;
  std::string error;
  const std::optional<std::string> topic = UserTopic(*topic_text, &error);
  if (!topic) return ctx.Complain(exit_status::kBadInput, error);
  note.topic = TrimRight(*topic);
  note.note_date = runtime::TODAY();
  if (const auto d = args.Value("date")) {
    const auto day = ParseDateOption(ctx, "date", *d);
    if (!day) return exit_status::kBadInput;
    note.note_date = *day;
  }
  if (const auto d = args.Value("remind")) {
    const auto day = ParseDateOption(ctx, "remind", *d);
    if (!day) return exit_status::kBadInput;
    note.reminder_date = *day;
  }
  const std::optional<std::string> memo = MemoOption(ctx, args);
  if (!memo) return exit_status::kBadInput;
  note.memo = TrimRight(*memo);
  note.done = args.Has("done") ? 'Y' : 'N';
  note.archive = 'N';

  NoteStore store(StoreAccess::kWrite);
  uint32_t id = 0;
  if (const int32_t e = store.Add(Table::kNotes, note, &id); e != 0) {
    return StoreFailure(ctx, store, e);
  }
  std::fprintf(ctx.out, "%u\n", id);
  return exit_status::kOk;
}

int RunShow(const Context& ctx, const ParsedArgs& args) {
  const auto id = ParseId(ctx, args, "show");
  if (!id) return exit_status::kBadInput;
  NoteStore store(StoreAccess::kRead);
  Note n;
  if (const int32_t e = store.Get(TableOf(args), *id, &n); e != 0) {
    return StoreFailure(ctx, store, e);
  }
  std::fprintf(ctx.out, "id:            %u%s\n", n.id,
               TableOf(args) == Table::kArchive ? " (archive)" : "");
  std::fprintf(ctx.out, "topic:         %s\n", ForTerminal(n.topic).c_str());
  std::fprintf(ctx.out, "note date:     %s\n", ShownDate(n.note_date).c_str());
  std::fprintf(ctx.out, "reminder date: %s\n", ShownDate(n.reminder_date).c_str());
  std::fprintf(ctx.out, "done:          %c\n", n.done);
  std::fprintf(ctx.out, "archive:       %c\n", n.archive);
  std::fprintf(ctx.out, "memo:\n%s\n", ForTerminal(n.memo).c_str());
  return exit_status::kOk;
}

int RunEdit(const Context& ctx, const ParsedArgs& args) {
  const auto id = ParseId(ctx, args, "edit");
  if (!id) return exit_status::kBadInput;
  if (!Exclusive(ctx, args, "remind", "no-remind") || !Exclusive(ctx, args, "done", "undone") ||
      !Exclusive(ctx, args, "memo", "memo-file")) {
    return exit_status::kBadInput;
  }
  // Check every value before the note is read, so that nothing is half-changed.
  std::optional<std::string> topic;
  std::string error;
  if (const auto t = args.Value("topic")) {
    topic = UserTopic(*t, &error);
    if (!topic) return ctx.Complain(exit_status::kBadInput, error);
  }
  std::optional<int32_t> note_date, reminder_date;
  if (const auto d = args.Value("date")) {
    if (!(note_date = ParseDateOption(ctx, "date", *d))) return exit_status::kBadInput;
  }
  if (const auto d = args.Value("remind")) {
    if (!(reminder_date = ParseDateOption(ctx, "remind", *d))) return exit_status::kBadInput;
  }
  if (args.Has("no-remind")) reminder_date = 0;
  std::optional<std::string> memo;
  if (args.Has("memo") || args.Has("memo-file")) {
    if (!(memo = MemoOption(ctx, args))) return exit_status::kBadInput;
  }
  std::optional<char> done;
  if (args.Has("done")) done = 'Y';
  if (args.Has("undone")) done = 'N';
  if (!topic && !note_date && !reminder_date && !memo && !done) {
    return ctx.Complain(exit_status::kBadInput,
                        "edit: nothing to change (see pellucor-cli help edit)");
  }

  NoteStore store(StoreAccess::kWrite);
  Note n;
  const Table table = TableOf(args);
  if (const int32_t e = store.Get(table, *id, &n); e != 0) return StoreFailure(ctx, store, e);
  if (topic) n.topic = TrimRight(*topic);
  if (note_date) n.note_date = *note_date;
  if (reminder_date) n.reminder_date = *reminder_date;
  if (memo) n.memo = TrimRight(*memo);
  if (done) n.done = *done;
  if (const int32_t e = store.Put(table, n); e != 0) return StoreFailure(ctx, store, e);
  return exit_status::kOk;
}

int RunDelete(const Context& ctx, const ParsedArgs& args) {
  const auto id = ParseId(ctx, args, "delete");
  if (!id) return exit_status::kBadInput;
  NoteStore store(StoreAccess::kWrite);
  if (const int32_t e = store.Delete(TableOf(args), *id); e != 0) {
    return StoreFailure(ctx, store, e);
  }
  return exit_status::kOk;
}

int RunArchive(const Context& ctx, const ParsedArgs& args) {
  const auto id = ParseId(ctx, args, "archive");
  if (!id) return exit_status::kBadInput;
  NoteStore store(StoreAccess::kWrite);
  Note n;
  if (const int32_t e = store.Get(Table::kNotes, *id, &n); e != 0) {
    return StoreFailure(ctx, store, e);
  }
  // As the note form does: the copy carries the archive flag, and the note leaves the notes
  // table only once the copy is stored, so a failure in between keeps it in both, never in none.
  n.archive = 'Y';
  uint32_t archived = 0;
  if (const int32_t e = store.Add(Table::kArchive, n, &archived); e != 0) {
    return StoreFailure(ctx, store, e);
  }
  if (const int32_t e = store.Delete(Table::kNotes, *id); e != 0) {
    ctx.Complain(exit_status::kFailure, "the note is in the archive as " +
                                            std::to_string(archived) +
                                            " but could not be removed from the notes");
    return StoreFailure(ctx, store, e);
  }
  std::fprintf(ctx.out, "%u\n", archived);
  return exit_status::kOk;
}

}  // namespace pellucor::app::cli
