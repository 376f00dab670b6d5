#include "data/driver/driver.h"
#include "runtime/values/accessor.h"

namespace pellucor::data {

void ClearRecord(FileBlock& block, int32_t mode) {
  using runtime::ClearMode;
  using runtime::TypeCode;
  const ClearMode how = mode < 0   ? ClearMode::kLowest
                        : mode > 0 ? ClearMode::kHighest
                                   : ClearMode::kBlank;
  if (block.record != nullptr) {
    for (const FieldInfo& f : block.layout.fields) {
      // A field declared OVER another shares its storage; clearing it again by its own type
      // would overwrite what the first field's clearing wrote.
      if (f.over != 0) continue;
      for (uint32_t i = 0; i < f.element_count; ++i) {
        runtime::ClearValue(f.type, block.record + f.offset + i * f.element_size, f.element_size,
                            f.places, how);
      }
    }
  }
  for (MemoSlot& memo : block.memos) {
    if (memo.buffer == nullptr) continue;
    std::vector<uint8_t>& bytes = *memo.buffer;
    if (memo.flags & memo_flag::kBlob) {
      if (how == ClearMode::kBlank) bytes.clear();
    } else if ((memo.flags & memo_flag::kBinary) && how == ClearMode::kBlank) {
      std::fill(bytes.begin(), bytes.end(), uint8_t{0});
    } else if (!bytes.empty()) {
      runtime::ClearValue(TypeCode::kString, bytes.data(), static_cast<uint32_t>(bytes.size()), 0,
                          how);
    }
  }
}

}  // namespace pellucor::data
