// A table definition is read back from the file's 0xFA entries. Parsing must refuse damage
// without reading out of bounds; a stream that parses must encode to the same bytes; and a
// definition that passes the check must build key values for any record.
#include <cstdlib>
#include <vector>

#include "data/kestrune/key_value.h"
#include "data/kestrune/table_definition.h"

namespace k = pellucor::data::kestrune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  k::TableDefinition def;
  if (!k::ParseDefinition({data, size}, &def)) return 0;
  if (k::EncodeDefinition(def) != std::vector<uint8_t>(data, data + size)) std::abort();
  if (!k::CheckDefinition(def).empty()) return 0;
  const auto tables = pellucor::runtime::CharTables::Defaults();
  std::vector<uint8_t> record(def.record_length);
  for (size_t i = 0; i < record.size(); ++i) record[i] = data[i % size];
  const k::KeyContext context{&def, &tables, k::TextForm::kAnsi};
  k::Bytes value;
  for (size_t key = 0; key < def.keys.size(); ++key) {
    (void)k::BuildKeyValue(context, key, record, 1, &value);
    if (value.size() != k::KeyValueLength(def, key)) std::abort();
  }
  return 0;
}
