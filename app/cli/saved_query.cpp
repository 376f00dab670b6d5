#include "app/cli/saved_query.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "app/cli/text.h"
#include "app/note_store.h"
#include "app/procedures/note_queries.h"
#include "app/procedures/program.h"
#include "framework/error/error_manager.h"
#include "framework/ini/ini_manager.h"
#include "framework/query/query_manager.h"

namespace pellucor::app::cli {
namespace {

using framework::Level;

// A command-line program shows no message boxes: the query's notices are taken silently, and
// the columns a saved query names but this table's query lacks are kept for the command to tell.
class CollectingErrors : public framework::ErrorManager {
 public:
  std::vector<std::string> unsupported;

  Level OnNotify() override {
    if (SelectedEntry() != nullptr && SelectedEntry()->ID == framework::kUnsupportedColumnMessage) {
      unsupported.push_back(FIELDNAME);
    }
    return Level::Notified;
  }
  Level OnAskUser() override { return Level::Cancelled; }
  Level OnFatal() override { return Level::Fatal; }
  Level OnProgramError() override { return Level::Fatal; }
  Level OnOther() override { return Level::Fatal; }
};

bool IsLastQuery(std::string_view name) {
  const size_t first = name.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  name = name.substr(first, name.find_last_not_of(" \t") - first + 1);
  if (name.size() != framework::kLastQuery.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) !=
        std::toupper(static_cast<unsigned char>(framework::kLastQuery[i]))) {
      return false;
    }
  }
  return true;
}

std::string Quoted(std::string_view ansi) {
  return "'" + ForTerminal(ansi) + "'";
}

std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) {
    if (!list.empty()) list += ", ";
    list += Quoted(n);
  }
  return list;
}

}  // namespace

int ApplySavedQuery(const Context& ctx, NoteStore& store, const std::string& name,
                    ListRequest* request) {
  std::string error;
  const std::optional<std::string> ansi = UserText(name, "query name", 0, &error);
  if (!ansi) return ctx.Complain(exit_status::kBadInput, error);

  CollectingErrors errors;
  errors.Init();
  // Only read: Kill would write the sector register back, and a listing changes no file.
  framework::IniManager ini;
  ini.Init(kSettingsFile);
  framework::QueryManager query;
  (void)query.Init(kNotesQueryFamily, errors, &ini);
  const bool archive = request->table == Table::kArchive;
  if (archive) {
    AddArchiveQueryFields(query);
  } else {
    AddNotesQueryFields(query);
  }

  const std::vector<std::string> saved = query.SavedQueries();
  if (saved.empty()) {
    return ctx.Complain(exit_status::kBadInput,
                        "no saved query " + Quoted(*ansi) +
                            ": no query is saved (the desktop program's Find By saves them)");
  }
  // "tsMRU", the last query run, is no saved query: it changes behind the user's back.
  if (!query.IsSaved(*ansi) || IsLastQuery(*ansi)) {
    return ctx.Complain(exit_status::kBadInput, "no saved query " + Quoted(*ansi) +
                                                    "; the saved queries are " + NameList(saved));
  }
  // LoadQuery, not RunQuery: running would save the query again as the last one run.
  if (query.LoadQuery(*ansi) != Level::Proceed) {
    return ctx.Complain(exit_status::kFailure, "the saved query " + Quoted(*ansi) +
                                                   " is listed in " + std::string(kSettingsFile) +
                                                   " but its fields are missing");
  }
  if (!errors.unsupported.empty()) {
    // The window would drop these terms and list more than the query asks: a script must not.
    return ctx.Complain(exit_status::kBadInput,
                        "the saved query " + Quoted(*ansi) + " uses fields the " +
                            (archive ? "archive" : "notes") +
                            " window's query does not have: " + NameList(errors.unsupported));
  }
  const std::string condition = query.GetFilter();
  query.Kill();
  errors.Kill();
  if (condition.empty()) return exit_status::kOk;  // a query of empty values admits every note

  std::vector<uint8_t> scratch(note_record::kSize, ' ');
  if (const std::string why =
          CheckExpression(store.Decl(request->table), scratch.data(), condition);
      !why.empty()) {
    return ctx.Complain(exit_status::kBadInput,
                        "the saved query " + Quoted(*ansi) + " does not compile: " + why);
  }
  request->where =
      request->where.empty() ? condition : "(" + request->where + ") AND (" + condition + ")";
  return exit_status::kOk;
}

}  // namespace pellucor::app::cli
