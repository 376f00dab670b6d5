// The precondition table: for every operation code, which state bits it needs, which it must not
// find, and how a success or a failure changes the state word. The dispatcher checks an
// operation against it before the driver runs and updates the state afterwards; the drivers never
// touch these bits themselves.
#pragma once

#include <cstdint>

#include "data/driver/driver.h"

namespace pellucor::data {

struct OpEntry {
  uint32_t flags;               // status_bit values copied into the operation's status
  uint32_t required;            // state bits that must be present (0x100: a built key)
  uint32_t forbidden;           // state bits that must be absent
  uint32_t set_on_success;      // 0x100 here marks the key passed as built
  uint32_t cleared_on_success;  // 0x100 here marks the key passed as not built
  uint32_t cleared_on_failure;
};

const OpEntry& EntryFor(Op op);

// The check, in its fixed order: key of another file (38), unbuilt key (46), build running (92),
// forbidden bits (52, 56, silent), missing bits (37, 46, 33, 63, 5, silent), blank position (35).
// Returns 0 when the operation may run.
int32_t CheckPreconditions(FileBlock& block, Op op, const OpArgs& args);

// The update after the operation (or after a refused check) with its error; sets block.status.
// `refused_by_check` tells that the driver never ran: an open file's block is then kept.
void UpdateState(FileBlock& block, Op op, const OpArgs& args, int32_t error, bool refused_by_check);

}  // namespace pellucor::data
