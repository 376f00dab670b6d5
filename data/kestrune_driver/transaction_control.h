// The transaction control file: what LOGOUT, COMMIT and ROLLBACK leave on disk so that a log
// found later is applied only when its transaction committed. Private to data/kestrune_driver/.
//
// Format: a text file, one line per record, rewritten whole (to a temporary file, then renamed)
// at every change and flushed:
//   "KTCF 1"                              first line
//   "T <id> <state>"                      a transaction of process <id> (pid.sequence); state
//                                         "PENDING" while its logs may be incomplete, "COMMITTED"
//                                         once every file's log is complete
//   "F <id> <counter> <path>"             file <path> takes part: its log, when one is found,
//                                         carries change counter <counter>
// A transaction's lines are removed when its logs are applied (or dropped at ROLLBACK). A log
// whose file and counter appear under a PENDING transaction is uncommitted; any other log is an
// ordinary interrupted commit and is applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/pagefile/file_header.h"

namespace pellucor::data::kdriver {

struct TransactionFile {
  std::string path;      // full path
  uint32_t counter = 0;  // the change counter its log will carry
};

// Marks the transaction PENDING with its files (before any log is written). 0 or 48.
[[nodiscard]] int32_t RecordPending(const std::string& id,
                                    const std::vector<TransactionFile>& files);
// Marks it COMMITTED (after every log was written, before any is applied). 0 or 48.
[[nodiscard]] int32_t RecordCommitted(const std::string& id);
// Removes its lines (after the logs were applied, or at ROLLBACK).
void ForgetTransaction(const std::string& id);
// The page file's question when it finds a log: true when the log belongs to a transaction that
// has not committed.
bool LogUncommitted(const std::string& full_path, const pagefile::FileHeader& logged);
// A fresh transaction id of this process.
std::string NewTransactionId();

}  // namespace pellucor::data::kdriver
