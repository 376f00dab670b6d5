// Shared by the report tests: the real window and report engines offscreen, a temporary directory
// that stands in for $TMPDIR (so the page files a test leaves behind can be counted), and the
// text of a PDF file as pdftotext reads it.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/report/report.h"
#include "tests/platform/temp_dir.h"
#include "tests/ui/ui_test_util.h"
#include "ui/report_engine.h"

namespace pellucor::ui::testing {

// $TMPDIR points into a fresh directory while the object lives.
class ScopedTmpDir {
 public:
  ScopedTmpDir() {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (had_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  ScopedTmpDir(const ScopedTmpDir&) = delete;
  ScopedTmpDir& operator=(const ScopedTmpDir&) = delete;

  [[nodiscard]] const std::string& path() const { return dir_.path(); }
  // The page files ("VEL...") in the directory.
  [[nodiscard]] std::vector<std::string> PageFiles() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      if (e.path().filename().string().rfind("VEL", 0) == 0) out.push_back(e.path().string());
    }
    return out;
  }

 private:
  platform::testing::TempDir dir_;
  bool had_ = false;
  std::string old_;
};

// The text of a PDF file in reading order, pages separated by form feeds; empty when pdftotext
// cannot read it.
inline std::string PdfText(const std::string& path) {
  const std::string command = "pdftotext -q '" + path + "' - 2>/dev/null";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    pclose(pipe);
  }
  return text;
}

// `text` with every run of white space (line breaks, page breaks) made one blank.
inline std::string Collapsed(const std::string& text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    const bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
    if (space) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

// Every `needles` in `text`, in that order; the first one missing (or out of order), else empty.
inline std::string FirstMissingInOrder(const std::string& text,
                                       const std::vector<std::string>& needles) {
  size_t from = 0;
  for (const std::string& n : needles) {
    const size_t at = text.find(n, from);
    if (at == std::string::npos) return n;
    from = at + n.size();
  }
  return {};
}

class ReportUiTest : public UiTest {
 protected:
  ScopedTmpDir tmp_;
  QtReportEngine reports_{engine_};
  runtime::ReportEngineScope report_scope_{reports_};
};

}  // namespace pellucor::ui::testing
