// pellucor-cli: the command-line companion of the desktop program. It works on the same data file
// in the same data directory; see usage.cpp for what each command does.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/args.h"
#include "app/cli/commands.h"
#include "app/cli/usage.h"
#include "app/data_dir.h"
#include "runtime/core/fatal.h"
#include "runtime/locale/locale.h"

namespace {

using namespace pellucor::app;
using namespace pellucor::app::cli;

enum class NeedsData : uint8_t { kNo, kYes };

struct Command {
  std::string_view name;
  int (*run)(const Context&, const ParsedArgs&);
  std::vector<OptionSpec> options;
  NeedsData needs_data;
};

const std::vector<Command>& Commands() {
  constexpr OptionKind V = OptionKind::kValue;
  constexpr OptionKind F = OptionKind::kFlag;
  static const std::vector<Command> commands = {
      {"add",
       RunAdd,
       {{"topic", V}, {"date", V}, {"remind", V}, {"memo", V}, {"memo-file", V}, {"done", F}},
       NeedsData::kYes},
      {"list", RunList, {{"tab", V}, {"where", V}, {"query", V}, {"tsv", F}}, NeedsData::kYes},
      {"due", RunDue, {{"tsv", F}}, NeedsData::kYes},
      {"show", RunShow, {{"archive", F}}, NeedsData::kYes},
      {"edit",
       RunEdit,
       {{"archive", F},
        {"topic", V},
        {"date", V},
        {"remind", V},
        {"no-remind", F},
        {"memo", V},
        {"memo-file", V},
        {"done", F},
        {"undone", F}},
       NeedsData::kYes},
      {"delete", RunDelete, {{"archive", F}}, NeedsData::kYes},
      {"archive", RunArchive, {}, NeedsData::kYes},
      {"export", RunExport, {{"tab", V}, {"where", V}, {"query", V}}, NeedsData::kYes},
      {"pdf", RunPdf, {{"tab", V}, {"where", V}}, NeedsData::kYes},
      {"import", RunImport, {}, NeedsData::kYes},
      {"check", RunCheck, {}, NeedsData::kYes},
      {"eval", RunEval, {}, NeedsData::kNo},
      {"remind", RunRemind, {{"enable", F}, {"disable", F}, {"time", V}}, NeedsData::kYes},
  };
  return commands;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : Commands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

void Print(std::FILE* to, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), to);
}

int Help(const Context& ctx, const std::vector<std::string>& words) {
  if (words.empty()) {
    Print(ctx.out, ManualText());
    return exit_status::kOk;
  }
  if (words.size() > 1) return ctx.Complain(exit_status::kBadInput, "help takes one COMMAND");
  const auto text = CommandHelp(words[0]);
  if (!text) {
    return ctx.Complain(exit_status::kBadInput,
                        "no command '" + words[0] + "' (pellucor-cli --help lists them)");
  }
  Print(ctx.out, *text);
  return exit_status::kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Context ctx;
  std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);

  // Options before the command: --data-dir DIR and --help.
  std::optional<std::string> data_dir;
  size_t at = 0;
  while (at < words.size() && words[at].rfind("-", 0) == 0) {
    const std::string& w = words[at];
    if (w == "--help" || w == "-h") return Help(ctx, {});
    if (w == "--data-dir" && at + 1 < words.size()) {
      data_dir = words[at + 1];
      at += 2;
    } else if (w.rfind("--data-dir=", 0) == 0) {
      data_dir = w.substr(11);
      ++at;
    } else if (w == "--data-dir") {
      return ctx.Complain(exit_status::kBadInput, "the option --data-dir needs a value");
    } else {
      return ctx.Complain(exit_status::kBadInput, "unknown option " + w);
    }
  }
  if (at >= words.size()) {
    ctx.Complain(exit_status::kBadInput, "no command given");
    Print(ctx.err, "usage: pellucor-cli [--data-dir DIR] COMMAND [OPTIONS]; pellucor-cli --help\n");
    return exit_status::kBadInput;
  }
  const std::string name = words[at];
  const std::vector<std::string> rest(words.begin() + static_cast<long>(at) + 1, words.end());
  if (name == "help") return Help(ctx, rest);
  const Command* command = FindCommand(name);
  if (!command) {
    return ctx.Complain(exit_status::kBadInput,
                        "unknown command '" + name + "' (pellucor-cli --help lists them)");
  }
  for (const std::string& w : rest) {
    if (w == "--") break;
    if (w == "--help" || w == "-h") {
      Print(ctx.out, *CommandHelp(name));
      return exit_status::kOk;
    }
  }
  // Every command also takes --data-dir after its name.
  std::vector<OptionSpec> options = command->options;
  options.push_back({"data-dir", OptionKind::kValue});
  ParsedArgs args;
  std::string error;
  if (!ParseArgs(rest, options, &args, &error)) {
    return ctx.Complain(exit_status::kBadInput, error + " (see pellucor-cli help " + name + ")");
  }
  if (const auto dir = args.Value("data-dir")) {
    if (data_dir) {
      return ctx.Complain(exit_status::kBadInput, "the option --data-dir is given twice");
    }
    data_dir = *dir;
  }

  pellucor::runtime::InitLocale();
  std::error_code ec;
  ctx.user_cwd = std::filesystem::current_path(ec).string();
  if (command->needs_data == NeedsData::kYes) {
    const DataDirResult entered = EnterDataDir(data_dir);
    if (!entered.ok()) return ctx.Complain(exit_status::kFailure, entered.error);
    ctx.data_dir = entered.path;
    // A page that a sound file cannot hold stops the data engine with "Internal error (N)": the
    // user is told in words what it means and what to do, with the status of a data file that
    // cannot be used. Every other stop stays as it was.
    pellucor::runtime::SetHaltHook([&ctx](int32_t, const std::string& text) {
      if (!pellucor::runtime::IsInternalStopText(text)) {
        std::fprintf(ctx.err, "Runtime error: %s\n", text.c_str());
        return;
      }
      ctx.Complain(exit_status::kFailure, kDamagedDataFile);
      std::fflush(nullptr);
      std::_Exit(exit_status::kFailure);
    });
  }
  const int status = command->run(ctx, args);
  std::fflush(ctx.out);
  return status;
}
