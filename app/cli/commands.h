// The commands of pellucor-cli. Each takes the words after its name and returns the exit status.
// Every command checks all of its input before it opens the data file for writing, so bad input
// leaves the file as it was.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/cli/args.h"
#include "app/cli/store.h"
#include "app/note.h"

namespace pellucor::app::cli {

namespace exit_status {
inline constexpr int kOk = 0;
inline constexpr int kNone = 1;      // due: nothing due; check: faults found
inline constexpr int kBadInput = 2;  // nothing was written
inline constexpr int kFailure = 3;   // the data file could not be read or written
}  // namespace exit_status

struct Context {
  std::string user_cwd;  // the working directory the user started in (FILE arguments)
  std::string data_dir;  // the data directory, now the working directory
  std::FILE* out = stdout;
  std::FILE* err = stderr;

  // A path the user gave, made absolute against the directory the user started in.
  [[nodiscard]] std::string UserPath(std::string_view path) const;
  // Writes "pellucor-cli: " and the message to standard error and returns `status`.
  int Complain(int status, std::string_view message) const;
};

int RunAdd(const Context& ctx, const ParsedArgs& args);
int RunList(const Context& ctx, const ParsedArgs& args);
int RunDue(const Context& ctx, const ParsedArgs& args);
int RunShow(const Context& ctx, const ParsedArgs& args);
int RunEdit(const Context& ctx, const ParsedArgs& args);
int RunDelete(const Context& ctx, const ParsedArgs& args);
int RunArchive(const Context& ctx, const ParsedArgs& args);
int RunExport(const Context& ctx, const ParsedArgs& args);
int RunImport(const Context& ctx, const ParsedArgs& args);
int RunCheck(const Context& ctx, const ParsedArgs& args);
int RunEval(const Context& ctx, const ParsedArgs& args);
int RunPdf(const Context& ctx, const ParsedArgs& args);
int RunRemind(const Context& ctx, const ParsedArgs& args);

// Shared by the commands.

// The one positional id of show/edit/delete/archive; none (message written) when missing or bad.
[[nodiscard]] std::optional<uint32_t> ParseId(const Context& ctx, const ParsedArgs& args,
                                              std::string_view command);
// A date option's value; none (message written) when it does not exist.
[[nodiscard]] std::optional<int32_t> ParseDateOption(const Context& ctx, std::string_view option,
                                                     const std::string& value);
// The memo of --memo or --memo-file; none (message written) when unreadable or refused.
[[nodiscard]] std::optional<std::string> MemoOption(const Context& ctx, const ParsedArgs& args);

// The listing of a tab name ("notes" ... "archive") with an extra condition; none (message
// written) for an unknown tab or a condition that does not compile.
[[nodiscard]] std::optional<ListRequest> TabListing(const Context& ctx, NoteStore& store,
                                                    std::string_view tab,
                                                    const std::optional<std::string>& where);

}  // namespace pellucor::app::cli
