// The handlers of the Kestrune driver's operations, one group per source file. Private to
// data/kestrune_driver/. Every handler runs inside an operation bracket (BeginOperation /
// EndOperation) that kestrune_driver.cpp opens, except the opening ones, which open their own.
#pragma once

#include "data/driver/driver.h"
#include "data/kestrune_driver/driver_state.h"
#include "data/kestrune_driver/kestrune_driver.h"

namespace pellucor::data::kdriver {

inline OpenTable& TableOf(FileBlock& block) {
  return *block.StateAs<OpenTable>();
}
inline pagefile::PageFile& PageFileOf(OpenTable& t) {
  return *t.file->pf;
}

// open_close.cpp
OpResult OpenTableOp(const KestruneSettings& settings, FileBlock& block, Op op, OpArgs& args);
OpResult CloseTableOp(FileBlock& block);
// Leaves the table: releases holds and locks, ends a stream, drops the physical file.
void DetachTable(OpenTable& t);

// records.cpp
// Reads record `record` as the current record, carrying out a hold or watch request. 0, 35, 43.
[[nodiscard]] int32_t ReadRecord(FileBlock& block, OpenTable& t, kestrune::RecordNumber record);
// Reads the stored version of a record (in the program's form) into t.scratch. False if absent.
[[nodiscard]] bool LoadStored(OpenTable& t, kestrune::RecordNumber record, Bytes* out);
int32_t AddRecord(FileBlock& block, OpenTable& t, Op op, uint32_t length);
int32_t PutRecord(FileBlock& block, OpenTable& t, kestrune::RecordNumber record, uint32_t length);
int32_t DeleteRecord(FileBlock& block, OpenTable& t);
// Ends the hold of the current record (RELEASE, the next read, CLOSE).
void ReleaseHold(OpenTable& t);
// Counters (0xF6) of the data (kestrune::kDataCounter) or of a key number.
kestrune::Counter ReadCounter(OpenTable& t, uint8_t which);
void WriteCounter(OpenTable& t, uint8_t which, const kestrune::Counter& c);
// The key value of declared key `decl_index` for a record in the program's form. False when an
// OPT key leaves the record out. *out: the whole key part of the entry.
bool KeyEntryFor(OpenTable& t, size_t def_key, std::span<const uint8_t> record,
                 kestrune::RecordNumber number, Bytes* out);
// True when a unique key of the record already has an entry of another record.
bool DuplicatesUniqueKey(OpenTable& t, std::span<const uint8_t> record, kestrune::RecordNumber self,
                         const KeyDecl* only);
// The memo contents of a record, per memo (text memos padded by the caller).
void ReadMemos(FileBlock& block, OpenTable& t, kestrune::RecordNumber record);
void WriteMemos(FileBlock& block, OpenTable& t, kestrune::RecordNumber record);
void EraseMemos(OpenTable& t, kestrune::RecordNumber record);
// The record as stored (OEM text of an OEM table) from the program's form, and back.
void ToStoredForm(const OpenTable& t, const FileBlock& block, std::span<const uint8_t> record,
                  Bytes* out);
void ToProgramForm(const OpenTable& t, const FileBlock& block, std::span<uint8_t> record);

// sequence.cpp
OpResult SequenceOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args);
// The declared key's index in the stored definition, or -1.
int DefinitionKeyOf(const FileBlock& block, const OpenTable& t, const KeyDecl* key);

// maintenance.cpp: builds, EMPTY, PACK, counting, SEND, properties, blobs.
OpResult BuildOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args);
OpResult SendOp(FileBlock& block, Op op, OpArgs& args);
OpResult PropertyOp(FileBlock& block, Op op, OpArgs& args);
OpResult BlobOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args);

// dynamic_index.cpp: BUILDdyn, BUILDdynfilter and the sequences through a dynamic index.
OpResult BuildDynamicOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args);
// The dynamic index of a key, or nullptr when it is not one or is not built.
const DynamicIndex* DynamicIndexOf(const OpenTable& t, const KeyDecl* key);
// SETkey, SETkeykey, NEXT, PREVIOUS through a dynamic index; false when the operation is not one
// of those through a dynamic index (the ordinary path handles it).
bool DynamicSequenceOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args, OpResult* out);

// transactions.cpp
OpResult LogoutOp(FileBlock& block, OpenTable& t);
OpResult CommitOp(FileBlock& block, OpenTable& t, Op op);
// A table joining the transaction when it first writes.
void JoinTransaction(OpenTable& t);
// An active transaction this process runs.
bool TransactionActive();

// file_ops.cpp: REMOVE, RENAME, COPY.
OpResult FileOp(const KestruneSettings& settings, FileBlock& block, Op op, OpArgs& args);

}  // namespace pellucor::data::kdriver
