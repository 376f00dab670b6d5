// The ASCII driver: serves a FILE whose data is a plain text file, one record a line. It has no
// keys and no memos; a record is addressed by the byte offset at which its line starts.
//
// Use: point a declaration's `driver` at AsciiDriverInstance() and call Dispatch.
//
//   auto lines = DeclarationBuilder("Export", "EXP", &data::AsciiDriverInstance())
//                    .Name("notes.txt").DriverString("/TAB=-100").Attributes(decl_attr::kCreate)
//                    .String("LINE", 5120).Build();
//   OpArgs open; open.mode = 0x22;           // read and write, deny write
//   Dispatch(*lines, Op::kOPEN, open);
//   Dispatch(*lines, Op::kSETfile);
//   while (Dispatch(*lines, Op::kNEXT).error == 0) { ... the line is in the record buffer ... }
//
// Records and pointers. The record pointer of a line is its start offset plus 1 (0: no record);
// POSITIONfile returns the same number as 4 bytes, little-endian, which RESETfile and REGETfile
// take back. A line read fills the record buffer with blanks and copies the line into it, tabs
// expanded by the TAB value; the terminator is never part of the record. A line longer than the
// record is cut, and the next NEXT reads the line that follows it. SETfileptr with pointer 0
// starts at the beginning. BYTES answers the file size until a line is read or written, then the
// characters the last line gave (or the bytes written, terminator excluded). PUT rewrites the
// current line in place and the sequence goes on with the line that followed it; keeping the
// file tidy when the new line is shorter or longer is the caller's concern.
//
// Options, in the driver string ("/TAB=-100/CLIP=OFF") or through SEND; each answers its value in
// force as text, and "NAME=value" sets it first. Names and ON/OFF are compared without regard to
// case; a value that does not parse leaves the option as it was. Unknown options are ignored (the
// file managers send "Recover=" to every driver).
//   CTRLZISEOF   ON|OFF   ON    a Ctrl-Z (26) at the start of or inside a line ends the file
//   CLIP         ON|OFF   ON    written records lose their trailing blanks
//   ENDOFRECORD  n,c1..cn 2,13,10  the line terminator (1 to 32 bytes); answers the bytes
//   FILEBUFFERS  n              the read buffer is n x 512 bytes, never less than the record;
//                               answers the size in bytes
//   QUICKSCAN    ON|OFF         reads served from the read-ahead buffer; ON for opens that deny
//                               others, OFF otherwise (then every read goes to the disk)
//   TAB          t        8     t > 0 blanks to the next multiple of t columns, t = 0 drops the
//                               tab, t = -100 keeps it, other t < 0 writes -t blanks
//   ALLOWDETAILS                lets the trace dump the records of an ENCRYPT file
// Options sent while the file is closed are remembered and applied at the next OPEN after the
// defaults and the driver string.
//
// Sharing. The file lock is an exclusive lock of byte 0 of the file. LOCKfile takes it; a write
// in an open that denies nothing (sharing 0x40) takes it for the write unless the program holds
// it already, and fails with 5 when another program holds it. A lock depth keeps the write from
// releasing a lock that LOCKfile took. A failed lock attempt answers 32, so LOCKfile waits.
//
// Errors: 33 at the end of the file or for a pointer beyond it; 5 for a write on a read-only
// open or blocked by another program's lock; opening a missing file answers 2, a file the user
// may not open 5, a file another open denies 32; any other failure of the operating system is
// 300 plus its error number. Operations without meaning for text files answer 80.
//
// Threads: one program thread at a time (the run lock); nothing here locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "data/driver/driver.h"
#include "platform/file.h"

namespace pellucor::data {

// Settings of the process's ASCII driver, for tests and tools.
struct AsciiSettings {
  platform::Env* env = nullptr;  // nullptr: the real file system
};

class AsciiDriver : public Driver {
 public:
  AsciiDriver() = default;
  ~AsciiDriver() override = default;

  std::string_view Name() const override { return "ASCII"; }
  std::string_view ProfileSection() const override { return "QNASCII"; }
  std::string_view DefaultTraceFile() const override { return "ASCII.LOG"; }
  int32_t CreateState(FileBlock& block, std::unique_ptr<DriverFileState>* state) override;
  OpResult Handle(FileBlock& block, Op op, OpArgs& args) override;

  // Applies to files opened afterwards.
  void SetSettings(const AsciiSettings& settings) { settings_ = settings; }
  const AsciiSettings& settings() const { return settings_; }
  platform::Env* env() const;

 private:
  AsciiSettings settings_;
};

// The process's ASCII driver.
AsciiDriver& AsciiDriverInstance();

}  // namespace pellucor::data
