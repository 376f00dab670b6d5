#include "ui/engine_core.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFile>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>

#include "runtime/event/event.h"
#include "ui/ansi_text.h"
#include "ui/engine_window.h"

namespace pellucor::ui {

EngineCore::EngineCore() : dispatcher_(QCoreApplication::eventDispatcher()) {}

EngineCore::~EngineCore() {
  windows_.clear();
  delete help_.data();
}

bool EngineCore::OnGuiThread() const {
  return QThread::currentThread() == qApp->thread();
}

void EngineCore::RunOnGui(std::function<void()> f) {
  std::promise<void> done;
  auto finished = done.get_future();
  const std::shared_ptr<Gate> gate = GateOf(runtime::THREAD());
  // Parked while waiting: the GUI thread may store this thread's typed values meanwhile.
  if (gate != nullptr) gate->parked.unlock();
  QMetaObject::invokeMethod(
      qApp,
      [&] {
        f();
        done.set_value();
      },
      Qt::QueuedConnection);
  finished.wait();
  if (gate != nullptr) {
    gate->parked.lock();
    RunPending(*gate);
  }
}

std::shared_ptr<EngineCore::Gate> EngineCore::GateOf(runtime::ThreadNumber thread) {
  std::lock_guard lock(gates_mutex_);
  auto it = gates_.find(thread);
  return it == gates_.end() ? nullptr : it->second;
}

void EngineCore::RunPending(Gate& gate) {
  for (;;) {
    std::function<void()> next;
    {
      std::lock_guard lock(gate.pending_mutex);
      if (gate.pending.empty()) return;
      next = std::move(gate.pending.front());
      gate.pending.pop_front();
    }
    next();
  }
}

void EngineCore::ThreadStarted(runtime::ThreadNumber thread) {
  if (thread <= 1) return;  // thread 1 is the GUI thread: its input is always handled in place
  auto gate = std::make_shared<Gate>();
  gate->parked.lock();
  std::lock_guard lock(gates_mutex_);
  gates_[thread] = std::move(gate);
}

void EngineCore::ThreadEnded(runtime::ThreadNumber thread) {
  if (thread <= 1) return;
  std::shared_ptr<Gate> gone;
  {
    std::lock_guard lock(gates_mutex_);
    auto it = gates_.find(thread);
    if (it == gates_.end()) return;
    gone = std::move(it->second);
    gates_.erase(it);
  }
  // Deliveries still waiting were for windows that are closed by now; each one looks whether its
  // window is still open before it does anything.
  gone->parked.unlock();
}

void EngineCore::Wait(runtime::ThreadNumber thread) {
  if (thread <= 1 || OnGuiThread()) {
    if (gui_woken_.exchange(false)) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return;
  }
  const std::shared_ptr<Gate> gate = GateOf(thread);
  if (gate == nullptr) return;
  RunPending(*gate);
  gate->parked.unlock();
  gate->waiter.Wait();
  gate->parked.lock();
  RunPending(*gate);
}

void EngineCore::Wake(runtime::ThreadNumber thread) {
  if (thread <= 1) {
    gui_woken_ = true;
    if (dispatcher_ != nullptr) dispatcher_->wakeUp();
    return;
  }
  if (const std::shared_ptr<Gate> gate = GateOf(thread)) gate->waiter.Wake();
}

void EngineCore::Deliver(runtime::WindowId window, std::function<void()> delivery) {
  const runtime::ThreadNumber owner = runtime::EngineInput::OwnerOf(window);
  if (owner == 0) return;  // closed meanwhile
  if (owner == 1) {
    delivery();
    return;
  }
  // Never under the gates' lock: a delivery posts events, and posting wakes threads.
  const std::shared_ptr<Gate> found = GateOf(owner);
  if (found == nullptr) return;  // the thread is ending
  Gate& gate = *found;
  {
    std::lock_guard lock(gate.pending_mutex);
    if (!gate.pending.empty() || !gate.parked.try_lock()) {
      gate.pending.push_back(std::move(delivery));
      gate.waiter.Wake();
      return;
    }
  }
  delivery();
  gate.parked.unlock();
}

EngineWindow* EngineCore::Find(runtime::WindowId window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

void EngineCore::Add(runtime::WindowId window, std::unique_ptr<EngineWindow> w) {
  windows_[window] = std::move(w);
}

std::unique_ptr<EngineWindow> EngineCore::Remove(runtime::WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return nullptr;
  auto w = std::move(it->second);
  windows_.erase(it);
  return w;
}

std::vector<EngineWindow*> EngineCore::WindowsOf(runtime::ThreadNumber owner) const {
  std::vector<EngineWindow*> out;
  for (const auto& [id, w] : windows_) {
    if (w->owner() == owner) out.push_back(w.get());
  }
  return out;
}

void EngineCore::SetResponder(std::function<void(QWidget*)> responder) {
  responder_ = std::move(responder);
}

void EngineCore::Offer(QWidget* dialog) {
  if (!responder_) return;
  QPointer<QWidget> guarded(dialog);
  // Once the dialog runs its own loop and is on the screen.
  QTimer::singleShot(0, dialog, [this, guarded] {
    if (guarded && responder_) responder_(guarded.data());
  });
}

void EngineCore::ShowHelp(const std::string& help_id) {
  if (!help_) {
    help_ = new QTextBrowser;
    help_->setWindowTitle(QStringLiteral("Help"));
    help_->setOpenExternalLinks(true);
    help_->resize(560, 480);
    help_->setAccessibleName(QStringLiteral("Help"));
  }
  QString id = ToQt(help_id).trimmed().toLower();
  // A help identifier may carry the help file's own decorations ("~Main", "<Main>").
  id.remove(u'~').remove(u'<').remove(u'>');
  QString page = QStringLiteral(":/help/%1.html").arg(id.isEmpty() ? QStringLiteral("index") : id);
  if (!QFile::exists(page)) page = QStringLiteral(":/help/index.html");
  help_->setSource(QUrl(QStringLiteral("qrc") + page));
  help_->show();
  help_->raise();
  help_->activateWindow();
}

QPrinter& EngineCore::Printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

void EngineCore::PrinterSetup(QWidget* parent) {
  QPrintDialog dialog(&Printer(), parent);
  dialog.setWindowTitle(QStringLiteral("Printer Setup"));
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  Offer(&dialog);
  dialog.exec();
}

QWidget* EngineCore::HelpWidget() const {
  return help_.data();
}

}  // namespace pellucor::ui
