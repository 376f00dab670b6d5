// The structural check of a Kestrune file, as `ksrtool check` runs it and tests call it: every
// invariant a correctly written file holds, reported as faults with the page they were found on
// instead of stopping the program.
//
// Checked: the header (signature, own offset and length, an empty log); regions disjoint and
// ordered by size; every page of every region reachable from the root exactly once, at its own
// offset, decoding to exactly its unpacked length; entries in order within and across pages;
// levels falling by one towards the leaves; each inner entry equal to its child's first key;
// every counter (0xF6) equal to the entries it counts; every key entry naming an existing
// record, and every record having the key entries its keys require (built from the stored
// definition and character tables).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/pagefile/page_file.h"

namespace pellucor::data::pagefile {

struct CheckFault {
  uint32_t page = kNoRoot;  // the page the fault was found on; kNoRoot for the header
  std::string text;
};

struct CheckReport {
  std::vector<CheckFault> faults;  // the first ones found, at most the limit given
  size_t pages = 0;
  size_t entries = 0;
  bool sound() const { return faults.empty(); }
  // One fault a line: "page 12: entries out of order at 3".
  std::string Text() const;
};

enum class CheckScope {
  kTables,     // the tree and what its entries say about tables, counters, records and keys
  kStructure,  // the tree only, for files whose entries are not tables (tests, tools)
};

// Checks an open file (its cache is not used; pages are read afresh). Stops collecting after
// `max_faults` faults.
CheckReport CheckPageFile(PageFile* file, size_t max_faults = 20,
                          CheckScope scope = CheckScope::kTables);

}  // namespace pellucor::data::pagefile
