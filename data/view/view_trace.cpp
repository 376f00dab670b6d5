// The view's trace and the order text.
//
// With "Profile" on in the system profile section "QNVIEW", every view operation appends one
// line to the trace file ("TraceFile", default "VIEW.LOG"):
//   VIEW:<the view's identity in hexadecimal>:<operation, 24 columns>=> 0 Time Taken: 0.00 secs
// or, for a failure, "Error: <text> " in place of "=> 0 ". Opening the view writes its
// declaration first. "TraceIntoFiles" also lets the file operations the view makes reach the
// files' own traces.
#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "data/view/view_internal.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::view {

void View::Impl::ReadTraceSwitches() {
  profile = platform::GetProfileInt("QNVIEW", "Profile", 0) != 0;
  trace_into_files = platform::GetProfileInt("QNVIEW", "TraceIntoFiles", 0) != 0;
  trace_file = platform::GetProfileString("QNVIEW", "TraceFile", "VIEW.LOG", 1024);
  if (trace_file.empty()) trace_file = "VIEW.LOG";
  options.route = trace_into_files ? TraceRoute::kTraced : TraceRoute::kUntraced;
}

int64_t View::Impl::TraceStart() const {
  return profile ? platform::MonotonicHundredths() : 0;
}

void View::Impl::TraceText(const std::string& text) const {
  // A trace that cannot be written never fails the operation.
  if (std::FILE* f = std::fopen(trace_file.c_str(), "ab")) {
    (void)std::fwrite(text.data(), 1, text.size(), f);
    (void)std::fclose(f);
  }
}

int32_t View::Impl::Finish(const char* operation, int32_t result, int64_t start) {
  // Errors of the files are already posted with their file; the view's own are posted here.
  if (result != 0 && result != err::kSilent && runtime::ErrorCode() != result) {
    runtime::PostError(result);
  }
  if (result == 0) runtime::ClearError();
  if (!profile) return result;
  const int64_t taken = platform::MonotonicHundredths() - start;
  char head[128];
  std::snprintf(head, sizeof head, "VIEW:%lX:%-24s",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(this)), operation);
  std::string line = head;
  if (result == 0) {
    line += "=> 0 ";
  } else {
    std::string text = runtime::ErrorTextFor(result);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    line += "Error: " + text + " ";
  }
  char tail[64];
  std::snprintf(tail, sizeof tail, "Time Taken: %ld.%02ld secs\r\n", static_cast<long>(taken / 100),
                static_cast<long>(taken % 100));
  line += tail;
  TraceText(line);
  return result;
}

namespace {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

int32_t View::Impl::ParseOrder(std::string_view text, std::vector<OrderComponent>* out) {
  out->clear();
  size_t from = 0;
  while (from <= text.size()) {
    size_t comma = text.find(',', from);
    if (comma == std::string_view::npos) comma = text.size();
    std::string item = Trim(text.substr(from, comma - from));
    from = comma + 1;
    if (item.empty()) {
      if (comma == text.size()) break;
      continue;
    }
    OrderComponent o;
    if (item[0] == '+' || item[0] == '-') {
      if (item[0] == '-') o.direction = Direction::kDescending;
      item = Trim(item.substr(1));
    }
    if (item.size() > 7 && SameName(item.substr(0, 6), "UPPER(") && item.back() == ')') {
      o.letter_case = Case::kInsensitive;
      item = Trim(item.substr(6, item.size() - 7));
    }
    bool found = false;
    for (const ViewFile& f : files) {
      for (size_t i = 0; i < f.layout.fields.size() && !found; ++i) {
        if (SameName(f.layout.fields[i].label, item)) {
          o.file = f.file == decl.primary ? nullptr : f.file;
          o.field = static_cast<int32_t>(i + 1);
          found = true;
        }
      }
      if (found) break;
    }
    if (!found) return err::kInvalidIndexString;
    out->push_back(o);
    if (comma == text.size()) break;
  }
  return 0;
}

int32_t View::SetOrderText(std::string_view text) {
  std::vector<OrderComponent> parsed;
  const int32_t e = impl_->ParseOrder(text, &parsed);
  if (e != 0) {
    runtime::PostError(e);
    return e;
  }
  impl_->order = std::move(parsed);
  return 0;
}

int32_t View::AddOrderText(std::string_view text) {
  std::vector<OrderComponent> parsed;
  const int32_t e = impl_->ParseOrder(text, &parsed);
  if (e != 0) {
    runtime::PostError(e);
    return e;
  }
  if (impl_->order.empty() && impl_->key_choice) impl_->order = KeyOrder(*impl_->key_choice);
  impl_->order.insert(impl_->order.end(), parsed.begin(), parsed.end());
  return 0;
}

}  // namespace pellucor::data::view
