// LOGOUT, COMMIT and ROLLBACK over every file written while the transaction is active.
//
// COMMIT of several files: the transaction control file records each file's coming change
// counter as PENDING; every file's log is written (PrepareCommit); the transaction is marked
// COMMITTED; the logs are applied (FinishCommit); the record is removed. A crash before the mark
// leaves logs that the next opener discards, a crash after it logs that it applies. A single file
// needs none of this: its own commit is all or nothing.
#include <algorithm>

#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "data/kestrune_driver/transaction_control.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;

struct Transaction {
  bool active = false;
  std::vector<std::shared_ptr<PhysicalFile>> files;
};

Transaction& Current() {
  static Transaction transaction;
  return transaction;
}

void EndTransaction() {
  Transaction& tr = Current();
  for (const auto& f : tr.files) {
    f->in_transaction = false;
    ReleaseRangeIfIdle(*f);
  }
  tr.files.clear();
  tr.active = false;
}

}  // namespace

bool TransactionActive() {
  return Current().active;
}

void JoinTransaction(OpenTable& t) {
  Transaction& tr = Current();
  if (!tr.active || !t.file) return;
  if (std::find(tr.files.begin(), tr.files.end(), t.file) == tr.files.end()) {
    // Changes made before the transaction began are committed on their own first.
    (void)CommitNow(*t.file);
    tr.files.push_back(t.file);
  }
  t.file->in_transaction = true;
}

OpResult LogoutOp(FileBlock&, OpenTable& t) {
  Transaction& tr = Current();
  if (tr.active) return OpResult::Fail(err::kLogoutActive);
  if (TransactionControlFile().empty()) return OpResult::Fail(err::kUnableToLog);
  tr.active = true;
  tr.files.clear();
  (void)t;
  return {};
}

OpResult CommitOp(FileBlock&, OpenTable&, Op op) {
  Transaction& tr = Current();
  if (!tr.active) return OpResult::Fail(err::kLogoutNotActive);
  std::vector<std::shared_ptr<PhysicalFile>> changed;
  for (const auto& f : tr.files) {
    if (f->pf->HasChanges()) changed.push_back(f);
  }
  if (op == Op::kROLLBACK) {
    for (const auto& f : changed) f->pf->DropChanges();
    EndTransaction();
    return {};
  }
  int32_t e = 0;
  if (changed.size() == 1) {
    e = CommitNow(*changed[0]);
  } else if (changed.size() > 1) {
    const std::string id = NewTransactionId();
    std::vector<TransactionFile> files;
    for (const auto& f : changed) {
      TransactionFile tf{f->path, f->pf->header().change_counter + 1, {}};
      tf.header.resize(pagefile::kHeaderSize);
      size_t got = 0;
      if (!f->pf->file()->Read(0, tf.header.data(), tf.header.size(), &got).ok() ||
          got != tf.header.size()) {
        e = PostedError();
      }
      files.push_back(std::move(tf));
    }
    if (e == 0) e = RecordPending(id, files);
    size_t prepared = 0;
    for (; e == 0 && prepared < changed.size(); ++prepared) {
      runtime::ClearError();
      if (!changed[prepared]->pf->PrepareCommit()) e = PostedError();
    }
    if (e == 0) e = RecordCommitted(id);
    if (e != 0) {
      // Nothing is applied: every log written is one the transaction control file calls
      // uncommitted, and the changes are dropped here.
      // The logs already written are rolled back the way a later opener would do it; the
      // record of the transaction goes once that is done.
      bool restored = true;
      for (const auto& f : changed) {
        f->pf->DropChanges();
        restored = RestoreUncommitted(f->pf->file(), f->path) && restored;
      }
      if (restored) ForgetTransaction(id);
      EndTransaction();
      return OpResult::Fail(e == err::kUnableToLog ? err::kUnableToLog : e);
    }
    for (const auto& f : changed) {
      runtime::ClearError();
      if (!f->pf->FinishCommit() && e == 0) e = PostedError();
    }
    // A file whose logs could not be applied keeps them; its next opener applies them, so the
    // record must stay until then.
    if (e == 0) ForgetTransaction(id);
  }
  EndTransaction();
  return OpResult::Fail(e);
}

}  // namespace pellucor::data::kdriver
