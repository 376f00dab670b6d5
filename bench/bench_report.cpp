// The MultiNote report ("Print FindBy's") over 1,000 and 10,000 notes, printed to a PDF file by
// the desktop program's own report procedure on the offscreen platform: the whole run from the
// progress window's first timer event to the finished file, and the peak memory of the process
// that ran it. Each size runs in a process of its own (its peak resident size is the process's),
// over a data file an earlier process made, so neither the making nor the other size counts.
//
// Goals: 10,000 notes in under 5 s, and a peak memory that does not grow with the page count
// (pages go to page files, not to memory).
//
// The peer in the same run: the same notes read through the same VIEW with nothing printed, in a
// process of its own, so that the report's own time and memory show beside the data engine's.
//
// Run: bench_report [notes...]   (default 1000 10000). One SUMMARY line per size and one for the
// growth.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/note_store.h"
#include "app/procedures/print_note.h"
#include "app/procedures/program.h"
#include "bench/support/note_data.h"
#include "bench/support/program_notes.h"
#include "data/driver/driver.h"
#include "data/view/view.h"
#include "framework/window/window_manager.h"
#include "runtime/core/error_state.h"
#include "runtime/locale/locale.h"
#include "ui/report_offscreen.h"

namespace {

using namespace pellucor;

// Makes the data file with `count` notes in the current directory.
int MakeNotes(int count) {
  return ui::RunOffscreenReports({}, [count] { return bench::StoreGeneratedNotes(count); });
}

// Prints every note to `pdf` and writes the seconds it took to standard output.
int PrintNotes(const std::string& pdf) {
  std::vector<std::string> messages;
  ui::OffscreenReports how;
  how.pdf = pdf;
  how.on_message = [&](const std::string&, const std::string& text) { messages.push_back(text); };
  double seconds = 0;
  uint8_t response = 0;
  const int status = ui::RunOffscreenReports(how, [&] {
    app::ProgramRun run;
    run.main = [&] {
      const auto start = std::chrono::steady_clock::now();
      response = app::MultiNote(app::UnattendedReport{});
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    return app::RunProgram(std::move(run));
  });
  for (const std::string& m : messages) std::fprintf(stderr, "message: %s\n", m.c_str());
  if (status != 0 || response != framework::response::kCompleted) return 1;
  std::printf("%.3f\n", seconds);
  return 0;
}

// Reads every note through the same VIEW the report reads, without printing anything: the part
// of the time and memory that is the data engine's.
int ReadNotes() {
  double seconds = 0;
  int rows = 0;
  const int status = ui::RunOffscreenReports({}, [&] {
    app::ProgramRun run;
    run.main = [&] {
      app::Program& program = app::TheProgram();
      if (program.snotes_relations.Open() != framework::Level::Proceed) return;
      const auto start = std::chrono::steady_clock::now();
      data::view::View view({program.snotes_decl.get(), {}, {}});
      (void)view.Open();
      view.SetKey(program.snotes_decl->FindKey("SNO:SNOT"));
      (void)view.Set();
      while (view.Next() == 0) ++rows;
      (void)view.Close();
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      (void)program.snotes_relations.Close();
    };
    return app::RunProgram(std::move(run));
  });
  if (status != 0 || rows == 0) return 1;
  std::printf("%.3f\n", seconds);
  return 0;
}

struct Child {
  int status = -1;
  long max_rss_kb = 0;
  double cpu_seconds = 0;  // user and system time of the whole process
  std::string out;
};

// Runs this program again with `args` in `dir`, and waits for it.
Child RunChild(const std::string& self, const std::vector<std::string>& args,
               const std::string& dir) {
  Child c;
  int pipefd[2];
  if (pipe(pipefd) != 0) return c;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    close(pipefd[1]);
    if (chdir(dir.c_str()) != 0) _exit(2);
    std::vector<char*> argv{const_cast<char*>(self.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(self.c_str(), argv.data());
    _exit(127);
  }
  close(pipefd[1]);
  char buffer[256];
  ssize_t n = 0;
  while ((n = read(pipefd[0], buffer, sizeof buffer)) > 0)
    c.out.append(buffer, static_cast<size_t>(n));
  close(pipefd[0]);
  int wstatus = 0;
  rusage usage{};
  if (wait4(pid, &wstatus, 0, &usage) == pid) {
    c.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    c.max_rss_kb = usage.ru_maxrss;
    c.cpu_seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                    usage.ru_stime.tv_usec / 1e6;
  }
  return c;
}

int PageCount(const std::string& pdf) {
  const std::string command = "pdfinfo '" + pdf + "' 2>/dev/null | sed -n 's/^Pages: *//p'";
  int pages = 0;
  if (FILE* p = popen(command.c_str(), "r")) {
    if (std::fscanf(p, "%d", &pages) != 1) pages = 0;
    pclose(p);
  }
  return pages;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--make") return MakeNotes(std::atoi(argv[2]));
  if (argc == 3 && std::string(argv[1]) == "--print") return PrintNotes(argv[2]);
  if (argc == 2 && std::string(argv[1]) == "--read") return ReadNotes();
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000};
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  std::string pattern = (std::filesystem::temp_directory_path() / "bench-report-XXXXXX").string();
  const std::string root = mkdtemp(pattern.data());
  // The page files go to a directory of the bench's own, so that what is left can be counted.
  setenv("TMPDIR", root.c_str(), 1);
  setenv("PELLUCOR_SYSTEM_PROFILE", (root + "/no-system.ini").c_str(), 1);
  setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
  std::filesystem::create_directories(root + "/state/pellucor");
  std::printf("%7s %6s %9s %8s %9s %10s %10s %10s %8s\n", "notes", "pages", "wall s", "cpu s",
              "notes/s", "peak MB", "read MB", "report MB", "PDF KB");
  struct Row {
    int notes;
    long peak_kb;
    long read_kb;
  };
  std::vector<Row> rows;
  int status = 0;
  for (int size : sizes) {
    const std::string dir = root + "/n" + std::to_string(size);
    std::filesystem::create_directories(dir);
    if (RunChild(self, {"--make", std::to_string(size)}, dir).status != 0) {
      std::fprintf(stderr, "making %d notes failed\n", size);
      return 1;
    }
    // The peer: the same notes read through the same VIEW, nothing printed.
    const Child read = RunChild(self, {"--read"}, dir);
    const std::string pdf = dir + "/notes.pdf";
    const Child run = RunChild(self, {"--print", pdf}, dir);
    if (run.status != 0 || read.status != 0) {
      std::fprintf(stderr, "printing %d notes failed\n", size);
      status = 1;
      continue;
    }
    const double seconds = std::atof(run.out.c_str());
    const int pages = PageCount(pdf);
    const auto pdf_kb = static_cast<long>(std::filesystem::file_size(pdf) / 1024);
    std::printf("%7d %6d %9.3f %8.2f %9.0f %10.1f %10.1f %10.1f %8ld\n", size, pages, seconds,
                run.cpu_seconds, size / seconds, run.max_rss_kb / 1024.0, read.max_rss_kb / 1024.0,
                (run.max_rss_kb - read.max_rss_kb) / 1024.0, pdf_kb);
    std::printf(
        "SUMMARY notes=%d pages=%d wall_s=%.3f cpu_s=%.2f read_s=%.3f peak_rss_mb=%.1f "
        "read_rss_mb=%.1f report_mb=%.1f\n",
        size, pages, seconds, run.cpu_seconds, std::atof(read.out.c_str()), run.max_rss_kb / 1024.0,
        read.max_rss_kb / 1024.0, (run.max_rss_kb - read.max_rss_kb) / 1024.0);
    rows.push_back({size, run.max_rss_kb, read.max_rss_kb});
    size_t left = 0;
    for (const auto& e : std::filesystem::directory_iterator(root)) {
      if (e.path().filename().string().rfind("VEL", 0) == 0) ++left;
    }
    if (left != 0) std::printf("page files left behind: %zu\n", left);
  }
  if (rows.size() >= 2) {
    const Row& small = rows.front();
    const Row& large = rows.back();
    std::printf(
        "SUMMARY from %d to %d notes: peak memory %.2fx, the report's own part %.1f MB to "
        "%.1f MB\n",
        small.notes, large.notes, static_cast<double>(large.peak_kb) / small.peak_kb,
        (small.peak_kb - small.read_kb) / 1024.0, (large.peak_kb - large.read_kb) / 1024.0);
  }
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return status;
}
