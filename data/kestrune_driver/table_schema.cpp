// The table definition a declaration stands for: what CREATE stores and OPEN compares.
#include "data/kestrune_driver/table_schema.h"

#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {

int32_t DefinitionFromDeclaration(const FileBlock& block, kestrune::TableDefinition* out,
                                  std::vector<uint8_t>* key_numbers) {
  const FileDecl& decl = *block.decl;
  if (decl.record_length == 0 || decl.record_length > kestrune::kMaxRecordLength ||
      decl.keys.size() > kestrune::kMaxKeys || decl.memos.size() > kestrune::kMaxMemos) {
    return runtime::err::kInvalidRecordDeclaration;
  }
  kestrune::TableDefinition def;
  def.record_length = static_cast<uint16_t>(decl.record_length);
  const auto& fields = block.layout.fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldInfo& f = fields[i];
    kestrune::FieldDef d;
    d.type = f.type;
    d.offset = static_cast<uint16_t>(f.offset);
    d.label = f.label;
    d.element_count = static_cast<uint16_t>(f.element_count);
    d.size = static_cast<uint16_t>(f.size);
    d.overlay = f.over != 0 ? 1 : 0;
    d.index = static_cast<uint16_t>(i);
    if (f.type == runtime::TypeCode::kDecimal || f.type == runtime::TypeCode::kPDecimal) {
      d.digits = static_cast<uint8_t>(f.DecimalDigits());
      d.places = f.places;
    }
    if (f.type == runtime::TypeCode::kString || f.type == runtime::TypeCode::kCString ||
        f.type == runtime::TypeCode::kPString) {
      d.picture_value = f.picture.empty() ? 0 : 1;
      if (!f.picture.empty()) d.picture = f.picture;
    }
    def.fields.push_back(std::move(d));
  }
  for (const MemoDecl& m : decl.memos) {
    kestrune::MemoDef d;
    d.external_name = m.external_name;
    d.label = m.label;
    d.size = static_cast<uint16_t>(m.size);
    d.flags = static_cast<uint16_t>(m.flags & (memo_flag::kBinary | memo_flag::kBlob));
    def.memos.push_back(std::move(d));
  }
  key_numbers->assign(decl.keys.size(), kNoKeyNumber);
  for (size_t k = 0; k < decl.keys.size(); ++k) {
    const KeyDecl& key = *decl.keys[k];
    // A dynamic index has its components only once BUILDdyn gives them: it is not part of the
    // stored definition.
    if (key.components.empty()) continue;
    kestrune::KeyDef d;
    d.external_name = key.external_name;
    d.label = key.label;
    d.flags = key.flags;
    for (int32_t number : key.components) {
      auto c = kestrune::ComponentFromFieldNumber(number);
      if (!c || c->field_index >= def.fields.size()) return runtime::err::kInvalidRecordDeclaration;
      d.components.push_back(*c);
    }
    (*key_numbers)[k] = static_cast<uint8_t>(def.keys.size());
    def.keys.push_back(std::move(d));
  }
  if (!kestrune::CheckDefinition(def).empty()) return runtime::err::kInvalidRecordDeclaration;
  *out = std::move(def);
  return 0;
}

}  // namespace pellucor::data::kdriver
