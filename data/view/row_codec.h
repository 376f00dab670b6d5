// How a row of the view is held in the row buffer: the row's identity (the positions of its
// records, see steps.h), then the projected values of every file of the view in the order of
// the files and of their projections.
//
//   u32 identity length, identity bytes
//   per projected item: u32 length, bytes
//
// Text fields and text memos are kept without their trailing blanks and padded again when the
// row is put back; every other field keeps its stored bytes. Numbers are little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "data/view/view.h"

namespace pellucor::data::view {

class RowCodec {
 public:
  // Adds the projected items of one file (an empty projection adds every field and memo).
  // REQUIRES: called on the thread that reads the view.
  void AddFile(FileDecl& file, const RecordLayout& layout, const Projection& projection);

  // The current contents of the record buffers, with the row's identity.
  void Capture(std::string_view identity, std::string* row) const;
  // Puts a row back into the record buffers; *identity receives its identity. Returns false for
  // a row that does not hold together.
  [[nodiscard]] bool Restore(std::string_view row, std::string* identity) const;
  // The identity of a stored row without restoring it.
  [[nodiscard]] static bool IdentityOf(std::string_view row, std::string* identity);

 private:
  struct Item {
    // The calling thread's buffers, looked up once: a view belongs to one thread.
    uint8_t* record = nullptr;
    std::vector<uint8_t>* memo_buffer = nullptr;
    bool memo = false;
    uint32_t offset = 0;
    uint32_t size = 0;
    bool text = false;  // trailing blanks are dropped and restored
    bool blob = false;  // variable size
  };
  std::vector<Item> items_;
};

}  // namespace pellucor::data::view
