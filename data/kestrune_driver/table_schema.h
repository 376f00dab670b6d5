// The table definition of a declaration. Private to data/kestrune_driver/.
#pragma once

#include <cstdint>
#include <vector>

#include "data/driver/driver.h"
#include "data/kestrune/table_definition.h"

namespace pellucor::data::kdriver {

// The key number of a declared key that the file does not hold (a dynamic index).
inline constexpr uint8_t kNoKeyNumber = 0xFF;

// Builds the definition of the block's declaration, and for every declared key its key number
// in the file (kNoKeyNumber for a dynamic index). 0, or 47 for a declaration beyond the
// driver's limits or one the stored form cannot hold.
[[nodiscard]] int32_t DefinitionFromDeclaration(const FileBlock& block,
                                                kestrune::TableDefinition* out,
                                                std::vector<uint8_t>* key_numbers);

}  // namespace pellucor::data::kdriver
