#include "app/remind/reminder_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace pellucor::app::remind {
namespace {

bool IsDay(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

bool IsFingerprint(std::string_view text) {
  if (text.size() != 16) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace

std::string StatePath(std::string_view data_dir) {
  std::string base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::string(home) + "/.local/state";
  } else {
    return {};
  }
  // One file per data directory, named by a hash of its path (FNV-1a: the same in every build).
  uint64_t hash = 14695981039346656037ull;
  for (const char c : data_dir) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return base + "/pellucor/remind-" + Hex(hash) + ".state";
}

int ReminderState::Load() {
  shown_.clear();
  snoozed_.clear();
  done_.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) return ec ? -1 : 0;
  std::ifstream in(path_);
  if (!in) return -1;
  int skipped = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string> w = Words(line);
    uint32_t id = 0;
    const bool id_ok = w.size() >= 3 &&
                       std::from_chars(w[1].data(), w[1].data() + w[1].size(), id).ptr ==
                           w[1].data() + w[1].size() &&
                       id != 0 && IsFingerprint(w[2]);
    if (!id_ok) {
      ++skipped;
      continue;
    }
    const NoteKey key{id, w[2]};
    if (w.size() == 4 && w[0] == "shown" && IsDay(w[3])) {
      shown_[key] = w[3];
    } else if (w.size() == 4 && w[0] == "snoozed" && IsDay(w[3])) {
      snoozed_[key] = w[3];
    } else if (w.size() == 3 && w[0] == "done") {
      done_.insert(key);
    } else {
      ++skipped;
    }
  }
  return skipped;
}

bool ReminderState::Save() const {
  const std::filesystem::path path(path_);
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::string text =
      "# pellucor-remind: the reminders it has shown, put off or still to mark done\n";
  for (const auto& [key, day] : shown_) {
    text += "shown " + std::to_string(key.id) + " " + key.fingerprint + " " + day + "\n";
  }
  for (const auto& [key, day] : snoozed_) {
    text += "snoozed " + std::to_string(key.id) + " " + key.fingerprint + " " + day + "\n";
  }
  for (const NoteKey& key : done_) {
    text += "done " + std::to_string(key.id) + " " + key.fingerprint + "\n";
  }
  const std::string temp = path_ + ".new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      errno = saved;
      return false;
    }
    written += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0 || std::rename(temp.c_str(), path_.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
  }
  return true;
}

bool ReminderState::ShownOn(const NoteKey& note, std::string_view day) const {
  const auto it = shown_.find(note);
  return it != shown_.end() && it->second == day;
}

void ReminderState::MarkShown(const NoteKey& note, std::string_view day) {
  shown_[note] = std::string(day);
}

bool ReminderState::SnoozedOn(const NoteKey& note, std::string_view day) const {
  const auto it = snoozed_.find(note);
  return it != snoozed_.end() && day < it->second;
}

void ReminderState::Snooze(const NoteKey& note, std::string_view until_day) {
  snoozed_[note] = std::string(until_day);
}

bool ReminderState::DonePending(const NoteKey& note) const {
  return done_.contains(note);
}

bool ReminderState::DonePendingId(uint32_t id) const {
  for (const NoteKey& key : done_) {
    if (key.id == id) return true;
  }
  return false;
}

void ReminderState::Prune(std::string_view today) {
  std::erase_if(shown_, [today](const auto& entry) { return entry.second < today; });
  std::erase_if(snoozed_, [today](const auto& entry) { return entry.second <= today; });
}

}  // namespace pellucor::app::remind
