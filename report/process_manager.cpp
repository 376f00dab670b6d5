#include "report/process_manager.h"

#include <algorithm>

#include "data/driver/driver.h"
#include "framework/browse/step_manager.h"
#include "framework/file/file_manager.h"
#include "framework/query/query_manager.h"
#include "runtime/event/window.h"

namespace pellucor::report {

namespace {

// A value field's text is taken to this many characters.
constexpr size_t kLimitText = 64;

}  // namespace

ProcessManager::ProcessManager() = default;
ProcessManager::~ProcessManager() = default;

void ProcessManager::Init(data::view::View& view, framework::RelationManager& primary,
                          int32_t percent_text, uint8_t* percentile, framework::StepManager* step,
                          runtime::AnyRef value_field) {
  PTEXT = percent_text;
  PERCENTILE = percentile;
  if (PERCENTILE != nullptr) *PERCENTILE = 0;
  STEPMGR = step;
  VALUEFIELD = value_field;
  framework::ViewManager::Init(view, primary);
}

Level ProcessManager::Kill() {
  VALUEFIELD = {};
  CHILDREN = nullptr;
  STEPMGR = nullptr;
  return framework::ViewManager::Kill();
}

std::string ProcessManager::ValueText() const {
  if (VALUEFIELD.address == nullptr) return {};
  std::string text = runtime::AccessorFactory(VALUEFIELD.type, VALUEFIELD.address, VALUEFIELD.size,
                                              VALUEFIELD.places)
                         ->GetText();
  if (text.size() > kLimitText) text.resize(kLimitText);
  return text;
}

int32_t ProcessManager::FileRecords() {
  framework::FileManager* file = PrimaryFile();
  if (file == nullptr || file->FILE == nullptr) return 0;
  const data::OpResult r = data::Dispatch(*file->FILE, data::Op::kRECORDSfile);
  return r.error == 0 ? static_cast<int32_t>(std::clamp<int64_t>(r.value, 0, INT32_MAX)) : 0;
}

int32_t ProcessManager::FileBytes() {
  framework::FileManager* file = PrimaryFile();
  if (file == nullptr || file->FILE == nullptr) return 0;
  const data::OpResult r = data::Dispatch(*file->FILE, data::Op::kBYTES);
  return r.error == 0 ? static_cast<int32_t>(std::clamp<int64_t>(r.value, 0, INT32_MAX)) : 0;
}

void ProcessManager::SetProgressLimits() {
  auto clear = [this](runtime::ClearMode mode) {
    if (VALUEFIELD.address == nullptr) return;
    runtime::ClearValue(VALUEFIELD.type, VALUEFIELD.address, VALUEFIELD.size, VALUEFIELD.places,
                        mode);
  };
  (void)framework::ViewManager::Reset();
  if (framework::ViewManager::Previous() != Level::Proceed) clear(runtime::ClearMode::kHighest);
  const std::string last = ValueText();
  (void)framework::ViewManager::Reset();
  if (Next(false) != Level::Proceed) clear(runtime::ClearMode::kLowest);
  const std::string first = ValueText();
  STEPMGR->SetLimits(last, first);
  steps_differ_ = STEPMGR->GetPercentile(last) != STEPMGR->GetPercentile(first);
}

Level ProcessManager::Reset() {
  RECORDSPROCESSED = 0;
  BYTESREAD = 0;
  if (STEPMGR != nullptr) SetProgressLimits();
  if (STEPMGR == nullptr || !steps_differ_) {
    if (RECORDSTOPROCESS == 0) RECORDSTOPROCESS = FileRecords();
    if (RECORDSTOPROCESS == 0) FILESIZE = FileBytes();
  }
  CHILDREAD = 0;
  return framework::ViewManager::Reset();
}

Level ProcessManager::Next(bool count) {
  if (RECORDSPROCESSED > 0 && CHILDREN != nullptr && CHILDREAD < CHILDREN->size()) {
    ++CHILDREAD;
    (void)(*CHILDREN)[CHILDREAD - 1]->Reset();
  }
  Level result = Level::Proceed;
  for (;;) {
    result = CHILDREAD == 0 ? framework::ViewManager::Next()
                            : (*CHILDREN)[CHILDREAD - 1]->framework::ViewManager::Next();
    if (result != Level::Proceed && CHILDREAD != 0) {
      --CHILDREAD;
      continue;
    }
    break;
  }
  if (result != Level::Proceed || !count) return result;
  if (FILESIZE != 0) BYTESREAD += FileBytes();
  ++RECORDSPROCESSED;
  if (PERCENTILE == nullptr || CHILDREAD != 0) return result;
  const uint8_t percent = Percentage();
  if (percent != *PERCENTILE) {
    *PERCENTILE = percent;
    if (PTEXT != 0) {
      runtime::SetProperty(PTEXT, runtime::Prop::kText, std::to_string(percent) + kCompleteText);
    }
    runtime::DISPLAY();
  }
  return result;
}

uint8_t ProcessManager::Percentage() {
  int64_t percent = 0;
  if (STEPMGR != nullptr && steps_differ_) {
    percent = STEPMGR->GetPercentile(ValueText());
  } else if (FILESIZE != 0) {
    percent = int64_t{BYTESREAD} * 100 / FILESIZE;
  } else if (RECORDSTOPROCESS != 0) {
    // Whole percents, as the decimal quotient times 100 taken as a byte would give them.
    percent = int64_t{RECORDSPROCESSED} * 100 / RECORDSTOPROCESS;
  }
  return static_cast<uint8_t>(std::clamp<int64_t>(percent, 0, 100));
}

void ProcessManager::Reserved() {}

Level ProcessManager::HandleQuery() {
  if (QUERY == nullptr || QUERY->Ask() != Level::Proceed) return Level::Proceed;
  SetFilter(QUERY->GetFilter());
  return ApplyFilter();
}

Level ProcessManager::HandleRecord() {
  return Level::Proceed;
}

}  // namespace pellucor::report
