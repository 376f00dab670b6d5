#include "app/remind/data_helper.h"

#include <charconv>
#include <chrono>
#include <cstdio>

#include "app/cli/store.h"
#include "app/cli/text.h"
#include "app/note_tabs.h"
#include "platform/clock.h"
#include "runtime/core/error_state.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::app::remind {
namespace {

// The agent tries again on its own; a refused open is not waited for long here.
constexpr auto kSharingPatience = std::chrono::milliseconds(300);

void Say(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::optional<uint32_t> ParseId(std::string_view text) {
  uint32_t id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (ec != std::errc() || end != text.data() + text.size() || id == 0) return std::nullopt;
  return id;
}

std::string FirstLine(const std::string& memo) {
  return TrimRight(memo.substr(0, memo.find_first_of("\r\n")));
}

int ListDue(std::string_view day) {
  const std::optional<int32_t> today = ParseIsoDate(day);
  if (!today) return helper_status::kBadInput;
  // The tab's filter asks the runtime for today(): the day the agent means is fixed here.
  platform::LocalTime now;
  now.year = runtime::YEAR(*today);
  now.month = runtime::MONTH(*today);
  now.day = runtime::DAY(*today);
  now.hour = 12;
  platform::SetNowOverride(now);

  cli::NoteStore store(cli::StoreAccess::kRead);
  store.SetSharingPatience(kSharingPatience);
  const NoteTab& tab = TabOf(NoteTabId::kCurrentReminders);
  cli::ListRequest request;
  request.key = std::string(tab.key);
  request.filter = std::string(tab.filter);
  request.added_order = std::string(tab.added_order);
  std::vector<Note> notes;
  if (store.List(request, &notes) != 0) {
    Say(store.Error());
    return helper_status::kRetry;
  }
  for (const Note& n : notes) {
    DueNote due;
    due.id = n.id;
    due.fingerprint = Fingerprint(n);
    due.reminder_iso = IsoDate(n.reminder_date);
    due.reminder_shown = cli::ForTerminal(
        TrimRight(runtime::FORMAT(runtime::FormatValue::Integer(n.reminder_date), "@D17")));
    due.topic = cli::ForTerminal(n.topic);
    due.memo_line = cli::ForTerminal(FirstLine(n.memo));
    std::printf("%s\n", DueLine(due).c_str());
  }
  return helper_status::kOk;
}

int MarkDone(std::string_view id_text, std::string_view fingerprint) {
  const std::optional<uint32_t> id = ParseId(id_text);
  if (!id) return helper_status::kBadInput;
  cli::NoteStore store(cli::StoreAccess::kWrite);
  store.SetSharingPatience(kSharingPatience);
  Note note;
  if (const int32_t e = store.Get(cli::Table::kNotes, *id, &note); e != 0) {
    Say(store.Error());
    return e == runtime::err::kRecordNotFound ? helper_status::kGone : helper_status::kRetry;
  }
  if (Fingerprint(note) != fingerprint) {
    Say("the note " + std::to_string(*id) + " was changed or replaced since it was shown");
    return helper_status::kGone;
  }
  if (note.done == 'Y') return helper_status::kOk;
  note.done = 'Y';
  if (store.Put(cli::Table::kNotes, note) != 0) {
    Say(store.Error());
    return helper_status::kRetry;
  }
  return helper_status::kOk;
}

}  // namespace

std::string Fingerprint(const Note& note) {
  // FNV-1a over the topic as stored and the note date: stable from build to build, which the
  // state file needs (std::hash is not).
  uint64_t hash = 14695981039346656037ull;
  const auto mix = [&hash](std::string_view bytes) {
    for (const char c : bytes) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ull;
    }
  };
  mix(TrimRight(note.topic));
  mix(std::string_view("\0", 1));
  mix(std::to_string(note.note_date));
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string DueLine(const DueNote& note) {
  return std::to_string(note.id) + '\t' + note.fingerprint + '\t' + note.reminder_iso + '\t' +
         cli::Escape(note.reminder_shown) + '\t' + cli::Escape(note.topic) + '\t' +
         cli::Escape(note.memo_line);
}

std::optional<DueNote> ParseDueLine(std::string_view line) {
  const std::vector<std::string_view> f = SplitTabs(line);
  if (f.size() != 6) return std::nullopt;
  DueNote note;
  const std::optional<uint32_t> id = ParseId(f[0]);
  if (!id || f[1].size() != 16 || !ParseIsoDate(f[2])) return std::nullopt;
  note.id = *id;
  note.fingerprint = std::string(f[1]);
  note.reminder_iso = std::string(f[2]);
  std::string error;
  const auto shown = cli::Unescape(f[3], &error);
  const auto topic = cli::Unescape(f[4], &error);
  const auto memo = cli::Unescape(f[5], &error);
  if (!shown || !topic || !memo) return std::nullopt;
  note.reminder_shown = *shown;
  note.topic = *topic;
  note.memo_line = *memo;
  return note;
}

int RunHelper(const std::vector<std::string>& words) {
  if (words.size() == 2 && words[0] == "due") return ListDue(words[1]);
  if (words.size() == 3 && words[0] == "done") return MarkDone(words[1], words[2]);
  Say("pellucor-remind: --helper takes `due YYYY-MM-DD` or `done ID FINGERPRINT`");
  return helper_status::kBadInput;
}

}  // namespace pellucor::app::remind
