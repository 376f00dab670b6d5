// The file trace: when a driver's "Profile" switch is on, every operation on a file writes one
// entry to the trace file, and the file's declaration is written when its block is made.
//
// Switches, read from the driver's system profile section when a file's block is made:
//   "Profile"   integer; non-zero turns the trace on
//   "TraceFile" the trace file (default: the driver's, "KESTRUNE.LOG" or "ASCII.LOG")
//   "Details"   integer, default 0; non-zero adds record dumps to DELETE, NEXT, PREVIOUS and PUT.
//               For an ENCRYPT file it is read only when the driver string holds the option
//               "ALLOWDETAILS"; otherwise details stay off, so enciphered records never reach a
//               plain-text trace.
//
// An entry: "<file name>:" and the operation name in a column of 24 characters, the arguments,
// "=> " and the result, then "File Error: <text> " (error 90, the driver's own text) or
// "Error: <text> " (any other error), and last "Time Taken: S.HH secs\r\n". A record dump follows
// as lines of sixteen "%02X " bytes and the printable characters ('.' for the others).
#pragma once

#include <cstdint>
#include <string>

#include "data/driver/driver.h"

namespace pellucor::data {

TraceSwitches ReadTraceSwitches(const Driver& driver, const FileDecl& decl);

// The text of one entry (the record dump included when details are on).
std::string FormatTraceEntry(const FileBlock& block, Op op, const OpArgs& args,
                             const OpResult& result, int64_t hundredths);
// The declaration in declaration syntax, as the trace writes it.
std::string FormatDeclaration(const FileBlock& block);
// Sixteen bytes a line: "%02X " each, then the printable characters.
std::string FormatRecordDump(const uint8_t* bytes, size_t length);

// Appends text to the block's trace file. Trace failures never fail the operation.
void AppendToTrace(const FileBlock& block, const std::string& text);

}  // namespace pellucor::data
