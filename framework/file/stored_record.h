// A look at the stored version of a record without touching the record in hand.
//
// Every read through a file's own declaration replaces its record buffer and ends the watch or
// hold on the current record. The relation manager, though, must know the link values a record
// has on disk right before it writes the buffer over it (children point at those, not at what is
// in the buffer), and it must not disturb the watch that tells it whether another station changed
// the record meanwhile. So it reads through a second declaration of the same table, opened for
// reading only: the driver shares the physical file between the two, and the first one's buffer,
// current record, watch and hold stay as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/driver/declaration.h"

namespace pellucor::framework {

class StoredRecordReader {
 public:
  // REQUIRES: `file` outlives the reader.
  explicit StoredRecordReader(const data::FileDecl& file);
  ~StoredRecordReader();
  StoredRecordReader(const StoredRecordReader&) = delete;
  StoredRecordReader& operator=(const StoredRecordReader&) = delete;

  // Reads record `pointer` as stored into *record (the record's bytes, record_length long).
  // Returns 0 or the driver's error; the runtime's error state is the read's.
  [[nodiscard]] int32_t Read(uint32_t pointer, std::vector<uint8_t>* record);
  // Closes the second declaration (for the calling thread) when it is open.
  void Close();

 private:
  std::unique_ptr<data::FileDecl> shadow_;
};

}  // namespace pellucor::framework
