// A minimal driver that stands in for a real one behind the driver entry: records live in
// memory, one per ADD, read back in order by NEXT. It only carries out what the dispatcher's
// tests need; everything else answers 80, as a real driver does for what it does not implement.
#pragma once

#include <string>
#include <vector>

#include "data/driver/driver.h"

namespace pellucor::data::testing {

class TestDriver : public Driver {
 public:
  std::string_view Name() const override { return "TESTDRV"; }
  std::string_view ProfileSection() const override { return "QNTESTDRV"; }
  std::string_view DefaultTraceFile() const override { return "TESTDRV.LOG"; }
  int32_t CreateState(FileBlock& block, std::unique_ptr<DriverFileState>* state) override;
  OpResult Handle(FileBlock& block, Op op, OpArgs& args) override;

  std::vector<std::string> records;
  std::vector<Op> handled;      // every operation that reached Handle
  uint32_t state_at_build = 0;  // the state word a build saw
  int32_t open_error = 0;       // what OPEN and SHARE answer
  int32_t create_error = 0;     // what CreateState answers
  int blocks_made = 0;
  std::string lock_path;  // LOCKfile attempts lock byte 0 of this file
  int lock_fd = -1;
  ~TestDriver() override;
};

// Takes an open-file-description lock on byte 0 of path; returns the descriptor or -1.
int TryLockByte(const std::string& path);

}  // namespace pellucor::data::testing
