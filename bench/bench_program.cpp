// The desktop program as a person meets it, over 0, 1,000 and 100,000 notes on the offscreen
// platform: the start of the program until its main window is painted with its list filled, a
// switch to each of the four tabs, and one note added through the note form until the list shows
// it.
//
// Start. Each start is a fresh process of this binary that sets up what the desktop program's
// main() sets up (the data directory, the Qt application, the window and report engines) and runs
// the program's own RunProgram and Main. The clock starts in the parent just before fork(), so
// the figure holds loading and linking the program too; the child stamps each stage on the same
// monotonic clock, which shows where the time goes. A start ends with the first paint of the main
// window after the program's last change to it (its list filled and the opening tab chosen), and
// is taken as the median of several runs, the first of which also warms the file cache.
//
// Actions. One process runs the program and acts on its windows as a person would: it chooses a
// tab on the sheet, presses Insert, types a topic into the form and presses OK. An action ends
// with the first paint after the last thing the program changed on the screen in answer to it
// (the engine is asked for every change; an action counts as done once nothing more changed for
// a while). The added note is looked for in the list afterwards: an action that did not show what
// it should fails the run. The actions run in three processes of four rounds each, each process
// on the notes as they were made, so that what a process does once (the form's first window, its
// first write) is measured three times too.
//
// Goals: the start under 300 ms and each action under 50 ms at 100,000 notes.
//
// Run: bench_program [notes...]   (default 0 1000 100000). BENCH_STARTS=N sets the starts per
// size (default 5). One SUMMARY line per size and row.
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/data_dir.h"
#include "app/note_store.h"
#include "app/procedures/notes_browse.h"
#include "app/procedures/program.h"
#include "app/windows/main_windows.h"
#include "app/windows/note_forms.h"
#include "bench/support/note_data.h"
#include "bench/support/program_notes.h"
#include "data/driver/driver.h"
#include "runtime/core/error_state.h"
#include "runtime/event/event.h"
#include "runtime/report/report.h"
#include "ui/qt_engine.h"
#include "ui/report_engine.h"

namespace {

using namespace pellucor;
namespace m = app::main_window;
namespace f = app::note_form;

constexpr double kStartGoalMs = 300;
constexpr double kActionGoalMs = 50;
// Nothing changed on the screen for this long: the program has answered.
constexpr int kQuietMs = 400;
// An action or start that takes longer than this has hung: the run fails.
constexpr int kGiveUpMs = 20000;
constexpr const char* kClockVariable = "BENCH_PROGRAM_T0";
// The actions run in this many processes, each with four rounds.
constexpr int kActionProcesses = 3;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Ms(int64_t from, int64_t to) {
  return static_cast<double>(to - from) / 1e6;
}

// --- Making the notes ---

int MakeNotes(int count) {
  const app::DataDirResult dir = app::EnterDataDir(std::nullopt);
  if (!dir.ok()) {
    std::fprintf(stderr, "bench_program: %s\n", dir.error.c_str());
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "bench_program";
  char* argv[] = {name, nullptr};
  QApplication qt(argc, argv);
  ui::QtEngine engine;
  runtime::ProgramScope scope(engine);
  return bench::StoreGeneratedNotes(count);
}

// --- Watching the program ---

// The window engine of the desktop program, which also notes when the program last changed
// anything on the screen and when it opened its first window.
class WatchedEngine : public ui::QtEngine {
 public:
  int64_t last_change = 0;
  int64_t first_window = 0;

  bool OpenWindow(runtime::WindowId window, runtime::ThreadNumber owner, runtime::WindowId parent,
                  const runtime::WindowDescription& description) override {
    const int64_t begun = NowNs();
    const bool opened = QtEngine::OpenWindow(window, owner, parent, description);
    Changed("open window", begun);
    if (first_window == 0) first_window = last_change;
    return opened;
  }
  void CloseWindow(runtime::WindowId window) override {
    const int64_t begun = NowNs();
    QtEngine::CloseWindow(window);
    Changed("close window", begun);
  }
  void SetProperty(runtime::WindowId window, int32_t control, runtime::Prop prop, int32_t index,
                   std::string_view value) override {
    const int64_t begun = NowNs();
    QtEngine::SetProperty(window, control, prop, index, value);
    Changed("property", begun);
  }
  void Display(runtime::WindowId window, int32_t control) override {
    const int64_t begun = NowNs();
    QtEngine::Display(window, control);
    Changed("display", begun);
  }
  void Select(runtime::WindowId window, int32_t control) override {
    const int64_t begun = NowNs();
    QtEngine::Select(window, control);
    Changed("select", begun);
  }
  void SetListRows(runtime::WindowId window, int32_t control,
                   const runtime::ListRows* rows) override {
    const int64_t begun = NowNs();
    QtEngine::SetListRows(window, control, rows);
    Changed("list rows", begun);
  }

 private:
  // With BENCH_TRACE set, every change is written to standard error with the time since the
  // one before and the time the engine took for it, which shows where an action's time goes.
  void Changed(const char* what, int64_t begun) {
    const int64_t now = NowNs();
    if (trace_) {
      std::fprintf(stderr, "  %-14s after %8.3f ms, took %8.3f ms\n", what, Ms(last_change, begun),
                   Ms(begun, now));
    }
    last_change = now;
  }
  bool trace_ = std::getenv("BENCH_TRACE") != nullptr;
};

// Notes the time of every paint on the screen.
class PaintWatch : public QObject {
 public:
  std::vector<int64_t> paints;

  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && object->isWidgetType()) paints.push_back(NowNs());
    return QObject::eventFilter(object, event);
  }
  // The first paint after `after`, or none.
  [[nodiscard]] std::optional<int64_t> FirstAfter(int64_t after) const {
    const auto it = std::upper_bound(paints.begin(), paints.end(), after);
    if (it == paints.end()) return std::nullopt;
    return *it;
  }
};

// The main window (it has the sheet) and the note form (it has the topic entry and OK).
QWidget* Control(QWidget* window, int32_t number);
template <typename T>
T* ControlAs(QWidget* window, int32_t number);
QWidget* MainWindow() {
  // The form numbers its controls too: the main window is the one whose sheet is a tab widget.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && ControlAs<QTabWidget>(w, m::kSheet) != nullptr) return w;
  }
  return nullptr;
}
QWidget* FormWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle().startsWith("Adding")) return w;
  }
  return nullptr;
}
QWidget* Control(QWidget* window, int32_t number) {
  return window == nullptr ? nullptr
                           : window->findChild<QWidget*>(QStringLiteral("control%1").arg(number));
}
template <typename T>
T* ControlAs(QWidget* window, int32_t number) {
  QWidget* c = Control(window, number);
  if (auto* t = qobject_cast<T*>(c)) return t;
  return c == nullptr ? nullptr : c->findChild<T*>();
}

// The topics the main list shows.
std::vector<std::string> ListTopics() {
  std::vector<std::string> topics;
  if (auto* list = ControlAs<QTreeWidget>(MainWindow(), m::kList)) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      topics.push_back(list->topLevelItem(i)->text(2).trimmed().toStdString());
    }
  }
  return topics;
}

// The program with its engine and a script of steps run on the GUI thread while Main waits for
// events. A step acts and returns; the script then waits until the screen is quiet and notes
// how long the action took.
class Session {
 public:
  using Act = std::function<bool()>;  // false: the window to act on is not there (yet)
  struct Step {
    std::string name;
    Act act;
    bool timed = true;
  };

  Session() {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  }

  WatchedEngine& engine() { return *engine_; }
  PaintWatch& paints() { return paints_; }

  void Add(std::string name, Act act, bool timed = true) {
    steps_.push_back({std::move(name), std::move(act), timed});
  }

  // Runs the program with the steps; returns false when one failed or the program hung.
  bool Run(int64_t start) {
    start_ = start;
    action_start_ = start;
    qApp->installEventFilter(&paints_);
    timer_.start();
    app::ProgramRun run;
    run.main = [this] {
      main_called_ = NowNs();
      app::Main();
    };
    (void)app::RunProgram(std::move(run));
    timer_.stop();
    qApp->removeEventFilter(&paints_);
    return ok_ && next_ == steps_.size();
  }

  // Milliseconds each timed step took, by name, in the order run.
  std::vector<std::pair<std::string, double>> times;
  // When the start reached each stage (the program's Main called, its window opened, painted).
  int64_t main_called_ = 0;
  int64_t first_paint = 0;
  int64_t ready = 0;

  void MakeEngine() { engine_ = std::make_unique<WatchedEngine>(); }

 private:
  void Tick() {
    const int64_t now = NowNs();
    if (waiting_) {
      // The start is waited for until the main window is there.
      if (first_paint == 0 && (MainWindow() == nullptr || engine_->first_window == 0)) {
        if (Ms(start_, now) > kGiveUpMs) Fail("the main window never opened");
        return;
      }
      const int64_t change = std::max(engine_->last_change, action_start_);
      if (Ms(change, now) < kQuietMs) {
        if (Ms(action_start_, now) > kGiveUpMs) Fail("it never settled");
        return;
      }
      const std::optional<int64_t> painted = paints_.FirstAfter(change);
      const int64_t done = painted.value_or(change);
      if (first_paint == 0 && MainWindow() != nullptr) {
        const std::optional<int64_t> p = paints_.FirstAfter(engine_->first_window);
        first_paint = p.value_or(0);
        ready = done;
      }
      if (current_timed_) {
        // An action the program did not answer measured nothing.
        if (engine_->last_change <= action_start_) Fail("the program did not answer");
        times.emplace_back(current_, Ms(action_start_, done));
        if (std::getenv("BENCH_VERBOSE") != nullptr) {
          const std::vector<std::string> topics = ListTopics();
          std::fprintf(stderr, "%s: %.3f ms, %zu rows, first \"%s\"\n", current_.c_str(),
                       Ms(action_start_, done), topics.size(),
                       topics.empty() ? "" : topics.front().c_str());
        }
      }
      waiting_ = false;
      return;
    }
    if (QApplication::activeModalWidget() != nullptr) return;
    if (next_ >= steps_.size()) return;
    Step& step = steps_[next_];
    const int64_t before = NowNs();
    if (!step.act()) {
      if (Ms(start_, before) > kGiveUpMs * 3) Fail("no window for " + step.name);
      return;
    }
    ++next_;
    action_start_ = before;
    if (std::getenv("BENCH_TRACE") != nullptr) {
      std::fprintf(stderr, "%s (%.3f ms since the screen last changed)\n", step.name.c_str(),
                   Ms(engine_->last_change, before));
    }
    current_ = step.name;
    current_timed_ = step.timed;
    waiting_ = true;
  }

  void Fail(const std::string& why) {
    std::fprintf(stderr, "bench_program: %s (step %s)\n", why.c_str(), current_.c_str());
    ok_ = false;
    std::fflush(nullptr);
    std::_Exit(3);
  }

  std::unique_ptr<WatchedEngine> engine_;
  PaintWatch paints_;
  QTimer timer_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool waiting_ = true;         // the start itself is the first thing waited for
  bool current_timed_ = false;  // the start is timed by its stages
  std::string current_ = "start";
  int64_t start_ = 0;
  int64_t action_start_ = 0;
  bool ok_ = true;
};

bool ClickClose() {
  QWidget* main = MainWindow();
  auto* close = qobject_cast<QAbstractButton*>(Control(main, m::kClose));
  if (close == nullptr || !main->isEnabled()) return false;
  close->click();
  return true;
}

// Types `text` into the entry as keystrokes, as a person does.
void Type(QLineEdit* entry, const QString& text) {
  entry->setFocus();
  entry->selectAll();
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(entry, &press);
    QApplication::sendEvent(entry, &release);
  }
}

// Sets up what the desktop program's main() sets up, then runs `script` as the program.
template <typename Script>
int AsTheProgram(int argc, char** argv, Script script) {
  const int64_t main_entered = NowNs();
  const char* t0 = std::getenv(kClockVariable);
  const int64_t start = t0 != nullptr ? std::atoll(t0) : main_entered;
  const app::DataDirResult dir = app::EnterDataDir(std::nullopt);
  if (!dir.ok()) {
    std::fprintf(stderr, "bench_program: %s\n", dir.error.c_str());
    return 1;
  }
  // Qt's notes about the offscreen platform (no raise(), no runtime directory) are not the
  // program's: only real troubles are shown.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
      std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
  });
  QApplication qt(argc, argv);
  QApplication::setApplicationName("pellucor");
  const int64_t qt_ready = NowNs();
  Session session;
  session.MakeEngine();
  runtime::ProgramScope program(session.engine());
  ui::QtReportEngine reports(session.engine());
  runtime::ReportEngineScope report_scope(reports);
  script(session);
  if (!session.Run(start)) return 3;
  std::printf("stage process %.2f\n", Ms(start, main_entered));
  std::printf("stage qt %.2f\n", Ms(main_entered, qt_ready));
  std::printf("stage program %.2f\n", Ms(qt_ready, session.main_called_));
  std::printf("stage window %.2f\n", Ms(session.main_called_, session.engine().first_window));
  std::printf("stage paint %.2f\n", Ms(session.engine().first_window, session.first_paint));
  std::printf("stage ready %.2f\n", Ms(session.first_paint, session.ready));
  for (const auto& [name, ms] : session.times) std::printf("time %s %.3f\n", name.c_str(), ms);
  return 0;
}

int StartOnly(int argc, char** argv) {
  return AsTheProgram(argc, argv, [](Session& s) { s.Add("close", ClickClose, false); });
}

int Actions(int argc, char** argv, int rounds) {
  return AsTheProgram(argc, argv, [rounds](Session& s) {
    static const char* const kTabs[] = {"Notes Only", "Current Reminders", "Done Items",
                                        "Everything"};
    for (int round = 0; round < rounds; ++round) {
      // From the tab before to each tab in turn: every switch changes the tab.
      for (int tab : {0, 2, 3, 1}) {
        s.Add(std::string("tab ") + kTabs[tab], [tab] {
          QWidget* main = MainWindow();
          auto* sheet = ControlAs<QTabWidget>(main, m::kSheet);
          if (sheet == nullptr || !main->isEnabled()) return false;
          sheet->setCurrentIndex(tab);
          return true;
        });
      }
    }
    for (int round = 0; round < rounds; ++round) {
      const QString topic = QStringLiteral("Bench note %1").arg(round + 1);
      // The first time builds the form's window for the first time.
      const std::string first = round == 0 ? ", first time" : ", again";
      // The note is added from "Everything", which lists every note.
      s.Add(
          "tab Everything",
          [] {
            auto* sheet = ControlAs<QTabWidget>(MainWindow(), m::kSheet);
            if (sheet == nullptr) return false;
            sheet->setCurrentIndex(3);
            return true;
          },
          false);
      s.Add("open the note form" + first, [] {
        QWidget* main = MainWindow();
        auto* insert = qobject_cast<QAbstractButton*>(Control(main, m::kInsert));
        if (insert == nullptr || !main->isEnabled()) return false;
        insert->click();
        return true;
      });
      s.Add(
          "type the topic",
          [topic] {
            auto* entry = ControlAs<QLineEdit>(FormWindow(), f::kTopic);
            if (entry == nullptr || !FormWindow()->isActiveWindow()) {
              if (FormWindow() != nullptr) FormWindow()->activateWindow();
              return false;
            }
            Type(entry, topic);
            return true;
          },
          false);
      s.Add("save the note until the list shows it" + first, [] {
        auto* ok = qobject_cast<QAbstractButton*>(Control(FormWindow(), f::kOk));
        if (ok == nullptr) return false;
        ok->click();
        return true;
      });
      s.Add(
          "check",
          [topic] {
            const std::vector<std::string> topics = ListTopics();
            if (std::find(topics.begin(), topics.end(), topic.toStdString()) == topics.end()) {
              std::fprintf(stderr, "bench_program: the list does not show \"%s\"\n",
                           topic.toStdString().c_str());
              std::fflush(nullptr);
              std::_Exit(3);
            }
            return true;
          },
          false);
    }
    s.Add("close", ClickClose, false);
  });
}

// --- The parent ---

struct Child {
  int status = -1;
  std::string out;
};

Child RunChild(const std::string& self, const std::vector<std::string>& args,
               const std::string& data_dir) {
  Child c;
  int pipefd[2];
  if (pipe(pipefd) != 0) return c;
  std::vector<char*> argv{const_cast<char*>(self.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  setenv("PELLUCOR_DATA_DIR", data_dir.c_str(), 1);
  const std::string t0 = std::to_string(NowNs());
  setenv(kClockVariable, t0.c_str(), 1);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    close(pipefd[1]);
    execv(self.c_str(), argv.data());
    _exit(127);
  }
  unsetenv(kClockVariable);
  close(pipefd[1]);
  char buffer[512];
  ssize_t n = 0;
  while ((n = read(pipefd[0], buffer, sizeof buffer)) > 0) {
    c.out.append(buffer, static_cast<size_t>(n));
  }
  close(pipefd[0]);
  int wstatus = 0;
  if (waitpid(pid, &wstatus, 0) == pid) c.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return c;
}

// "key value" lines of a child's output, with several values per key in the order written.
std::map<std::string, std::vector<double>> Figures(const std::string& out,
                                                   const std::string& kind) {
  std::map<std::string, std::vector<double>> figures;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = std::min(out.find('\n', at), out.size());
    const std::string line = out.substr(at, end - at);
    at = end + 1;
    if (line.rfind(kind + " ", 0) != 0) continue;
    const size_t last = line.rfind(' ');
    figures[line.substr(kind.size() + 1, last - kind.size() - 1)].push_back(
        std::atof(line.c_str() + last + 1));
  }
  return figures;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Row(int notes, const std::string& what, const std::vector<double>& ms, double goal,
         bool goal_applies) {
  const double med = Median(ms);
  const double worst = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
  const char* verdict = !goal_applies ? "" : med < goal ? "met" : "MISSED";
  std::printf("%8d  %-40s %9.1f %9.1f %8.0f  %s\n", notes, what.c_str(), med, worst, goal, verdict);
  std::printf("SUMMARY notes=%d what=\"%s\" median_ms=%.1f max_ms=%.1f goal_ms=%.0f%s%s\n", notes,
              what.c_str(), med, worst, goal, goal_applies ? " verdict=" : "", verdict);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--make") return MakeNotes(std::atoi(argv[2]));
  if (argc == 2 && std::string(argv[1]) == "--start") return StartOnly(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "--actions") {
    return Actions(argc, argv, std::atoi(argv[2]));
  }
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {0, 1000, 100000};
  const int starts = std::getenv("BENCH_STARTS") ? std::atoi(std::getenv("BENCH_STARTS")) : 5;
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  std::string pattern = (std::filesystem::temp_directory_path() / "bench-program-XXXXXX").string();
  const std::string root = mkdtemp(pattern.data());
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("PELLUCOR_SYSTEM_PROFILE", (root + "/no-system.ini").c_str(), 1);
  setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  std::filesystem::create_directories(root + "/state/pellucor");
  std::filesystem::create_directories(root + "/runtime");
  std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);

  std::printf("%8s  %-40s %9s %9s %8s\n", "notes", "what", "median ms", "max ms", "goal ms");
  int status = 0;
  for (int size : sizes) {
    const std::string dir = root + "/n" + std::to_string(size);
    std::filesystem::create_directories(dir);
    if (RunChild(self, {"--make", std::to_string(size)}, dir).status != 0) {
      std::fprintf(stderr, "making %d notes failed\n", size);
      return 1;
    }
    const bool goals = size == 100000;
    std::vector<double> start_ms;
    std::map<std::string, std::vector<double>> stages;
    for (int i = 0; i < starts; ++i) {
      const Child c = RunChild(self, {"--start"}, dir);
      if (c.status != 0) {
        std::fprintf(stderr, "start over %d notes failed (status %d)\n", size, c.status);
        status = 1;
        break;
      }
      double total = 0;
      for (const auto& [stage, values] : Figures(c.out, "stage")) {
        stages[stage].push_back(values.at(0));
        total += values.at(0);
      }
      start_ms.push_back(total);
    }
    Row(size, "start to the painted main window", start_ms, kStartGoalMs, goals);
    for (const char* stage : {"process", "qt", "program", "window", "paint", "ready"}) {
      const std::map<std::string, const char*> titles = {
          {"process", "  of it: fork, exec and loading"},
          {"qt", "  of it: data directory, QApplication"},
          {"program", "  of it: engines, RunProgram to Main"},
          {"window", "  of it: Main's Init to its window"},
          {"paint", "  of it: window to its first paint"},
          {"ready", "  of it: first paint to the filled list"}};
      Row(size, titles.at(stage), stages[stage], 0, false);
    }
    std::map<std::string, std::vector<double>> times;
    const std::string data_file = dir + "/plk.KSR";
    std::filesystem::copy_file(data_file, dir + "/made.KSR");
    for (int run = 0; run < kActionProcesses; ++run) {
      // Each process starts from the notes as made, without the ones the last one added.
      std::filesystem::copy_file(dir + "/made.KSR", data_file,
                                 std::filesystem::copy_options::overwrite_existing);
      const Child actions = RunChild(self, {"--actions", "4"}, dir);
      if (actions.status != 0) {
        std::fprintf(stderr, "actions over %d notes failed (status %d)\n", size, actions.status);
        status = 1;
        break;
      }
      for (const auto& [what, values] : Figures(actions.out, "time")) {
        times[what].insert(times[what].end(), values.begin(), values.end());
      }
    }
    for (const auto& [what, values] : times) Row(size, what, values, kActionGoalMs, goals);
  }
  std::error_code ec;
  if (!std::getenv("BENCH_KEEP")) std::filesystem::remove_all(root, ec);
  return status;
}
