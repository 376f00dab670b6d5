// The transaction control file: what LOGOUT, COMMIT and ROLLBACK leave on disk so that a log
// found later is applied only when its transaction committed. Private to data/kestrune_driver/.
//
// Format: a text file, one line per record, rewritten whole (to a temporary file, then renamed)
// at every change and flushed:
//   "KTCF 1"                              first line
//   "T <id> <state>"                      a transaction of process <id> (pid.sequence); state
//                                         "PENDING" while its logs may be incomplete, "COMMITTED"
//                                         once every file's log is complete
//   "F <id> <counter> <header> <path>"    file <path> takes part: its log carries change counter
//                                         <counter>; <header> is the file's header before the
//                                         transaction, 512 bytes as stored, in hexadecimal
// A transaction's lines are removed once its logs are applied. A file of a PENDING transaction
// whose stored header shows a log is rolled back by writing the saved header back: its pages
// are untouched until the transaction is COMMITTED (new pages and the log lie beyond the old
// page space), so the old header names the old tree whole. The page file's own discard of a
// log cannot do this (it keeps the header that points at the log, and that names the new tree),
// so the rollback happens before the page file reads the header, and the page file's
// transaction check answers "committed" for any log it still finds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/pagefile/file_header.h"
#include "platform/file.h"

namespace pellucor::data::kdriver {

struct TransactionFile {
  std::string path;             // full path
  uint32_t counter = 0;         // the change counter its log will carry
  std::vector<uint8_t> header;  // the stored header before the transaction (512 bytes)
};

// Marks the transaction PENDING with its files (before any log is written). 0 or 48.
[[nodiscard]] int32_t RecordPending(const std::string& id,
                                    const std::vector<TransactionFile>& files);
// Marks it COMMITTED (after every log was written, before any is applied). 0 or 48.
[[nodiscard]] int32_t RecordCommitted(const std::string& id);
// Removes its lines (after the logs were applied, or at ROLLBACK).
void ForgetTransaction(const std::string& id);
// The page file's question when it finds a log: true when the log belongs to a transaction that
// has not committed. Always false: an uncommitted log never reaches the page file (see above).
bool LogUncommitted(const std::string& full_path, const pagefile::FileHeader& logged);
// True when the transaction control file may hold a PENDING transaction (cheap: its size).
bool MayHavePending();
// Rolls back the file's part in a PENDING transaction, if any. REQUIRES: `file` is open for
// writing on `full_path` and holds the whole reader-slot range (nobody else is inside).
// Returns false when the header could not be written back.
[[nodiscard]] bool RestoreUncommitted(platform::File* file, const std::string& full_path);
// A fresh transaction id of this process.
std::string NewTransactionId();

}  // namespace pellucor::data::kdriver
