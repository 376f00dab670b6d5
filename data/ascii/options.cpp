// The option syntax of the ASCII driver (the driver string's "/NAME=value" items and SEND texts).
#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "data/ascii/ascii_state.h"

namespace pellucor::data::ascii {
namespace {

// TAB values beyond this are no use for a line and would only overflow the column arithmetic.
constexpr int32_t kMaxTab = 32767;
// FILEBUFFERS beyond 64 MiB of read-ahead are refused rather than allocated.
constexpr int64_t kMaxBufferBlocks = 131072;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool ParseSwitch(std::string_view value, bool* on) {
  const std::string v = Upper(value);
  if (v == "ON") {
    *on = true;
    return true;
  }
  if (v == "OFF") {
    *on = false;
    return true;
  }
  return false;
}

bool ParseInteger(std::string_view text, int64_t* value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

// "count,code,code...": exactly `count` codes of 0 to 255 follow.
bool ParseTerminator(std::string_view value, std::string* terminator) {
  std::vector<int64_t> numbers;
  while (true) {
    const size_t comma = value.find(',');
    int64_t n = 0;
    if (!ParseInteger(value.substr(0, comma), &n)) return false;
    numbers.push_back(n);
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  const int64_t count = numbers.front();
  if (count < 1 || count > static_cast<int64_t>(kMaxTerminator)) return false;
  if (numbers.size() != static_cast<size_t>(count) + 1) return false;
  std::string bytes;
  for (size_t i = 1; i < numbers.size(); ++i) {
    if (numbers[i] < 0 || numbers[i] > 255) return false;
    bytes += static_cast<char>(static_cast<uint8_t>(numbers[i]));
  }
  *terminator = std::move(bytes);
  return true;
}

const char* OnOff(bool on) {
  return on ? "ON" : "OFF";
}

void SetSwitch(uint32_t& switches, uint32_t bit, bool on) {
  if (on) {
    switches |= bit;
  } else {
    switches &= ~bit;
  }
}

}  // namespace

size_t BufferSizeFor(int64_t blocks, uint32_t record_length) {
  if (blocks < 1 || blocks > kMaxBufferBlocks) return 0;
  return std::max<size_t>(static_cast<size_t>(blocks) * 512, record_length);
}

std::string ApplyOption(AsciiFileState& state, std::string_view option, uint32_t record_length) {
  const size_t equals = option.find('=');
  const std::string name = Upper(Trim(option.substr(0, equals)));
  const bool setting = equals != std::string_view::npos;
  const std::string_view value = setting ? Trim(option.substr(equals + 1)) : std::string_view();
  bool on = false;

  if (name == "CTRLZISEOF") {
    if (setting && ParseSwitch(value, &on))
      SetSwitch(state.switches, switch_bit::kCtrlZNotEnd, !on);
    return OnOff(state.CtrlZIsEof());
  }
  if (name == "CLIP") {
    if (setting && ParseSwitch(value, &on)) state.clip = on;
    return OnOff(state.clip);
  }
  if (name == "QUICKSCAN") {
    if (setting && ParseSwitch(value, &on)) {
      SetSwitch(state.switches, switch_bit::kQuickScan, on);
      if (state.file) state.file->Invalidate();
    }
    return OnOff(state.QuickScan());
  }
  if (name == "ENDOFRECORD") {
    if (setting) {
      std::string terminator;
      if (ParseTerminator(value, &terminator)) state.terminator = std::move(terminator);
    }
    return state.terminator;
  }
  if (name == "FILEBUFFERS") {
    int64_t blocks = 0;
    if (setting && ParseInteger(value, &blocks)) {
      if (const size_t bytes = BufferSizeFor(blocks, record_length); bytes != 0) {
        state.buffer_size = bytes;
        if (state.file) state.file->SetBufferSize(bytes);
      }
    }
    return std::to_string(state.buffer_size);
  }
  if (name == "TAB") {
    int64_t tab = 0;
    if (setting && ParseInteger(value, &tab) && tab >= -kMaxTab && tab <= kMaxTab) {
      state.tab = static_cast<int32_t>(tab);
    }
    return std::to_string(state.tab);
  }
  // ALLOWDETAILS is read by the trace from the driver string; it carries no value here.
  return {};
}

}  // namespace pellucor::data::ascii
