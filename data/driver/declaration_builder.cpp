#include <cctype>

#include "data/driver/declaration.h"

namespace pellucor::data {
namespace {

using runtime::TypeCode;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

DeclarationBuilder::DeclarationBuilder(std::string label, std::string prefix, Driver* driver)
    : decl_(std::make_unique<FileDecl>()) {
  decl_->label = std::move(label);
  decl_->prefix = std::move(prefix);
  decl_->driver = driver;
}

DeclarationBuilder& DeclarationBuilder::Name(std::string constant_name) {
  decl_->name_length = static_cast<int32_t>(constant_name.size());
  decl_->name_storage = std::move(constant_name);
  decl_->name_variable = nullptr;
  return *this;
}

DeclarationBuilder& DeclarationBuilder::NameVariable(const char* variable, int32_t length) {
  decl_->name_variable = variable;
  decl_->name_length = length;
  return *this;
}

DeclarationBuilder& DeclarationBuilder::DriverString(std::string options) {
  decl_->driver_string = std::move(options);
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Owner(std::string owner) {
  decl_->owner = std::move(owner);
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Attributes(uint8_t decl_attributes) {
  decl_->attributes = decl_attributes;
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Add(PendingField field) {
  fields_.push_back(std::move(field));
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Field(std::string field_label, TypeCode type) {
  return Add(PendingField(type, std::move(field_label)));
}
DeclarationBuilder& DeclarationBuilder::String(std::string field_label, uint32_t length) {
  return Add(PendingField(TypeCode::kString, std::move(field_label), length));
}
DeclarationBuilder& DeclarationBuilder::CString(std::string field_label, uint32_t length) {
  return Add(PendingField(TypeCode::kCString, std::move(field_label), length));
}
DeclarationBuilder& DeclarationBuilder::PString(std::string field_label, uint32_t length) {
  return Add(PendingField(TypeCode::kPString, std::move(field_label), length));
}
DeclarationBuilder& DeclarationBuilder::Date(std::string field_label) {
  return Field(std::move(field_label), TypeCode::kDate);
}
DeclarationBuilder& DeclarationBuilder::Long(std::string field_label) {
  return Field(std::move(field_label), TypeCode::kLong);
}
DeclarationBuilder& DeclarationBuilder::PictureString(std::string field_label, std::string picture,
                                                      uint32_t length) {
  if (!picture.empty() && picture.front() == '@') picture.erase(0, 1);
  PendingField f(TypeCode::kString, std::move(field_label), length);
  f.picture = std::move(picture);
  return Add(std::move(f));
}
DeclarationBuilder& DeclarationBuilder::Decimal(std::string field_label, uint32_t digits,
                                                uint8_t places) {
  // d digits take d / 2 + 1 bytes: the sign nibble leads.
  return Add(PendingField(TypeCode::kDecimal, std::move(field_label), digits / 2 + 1, places));
}
DeclarationBuilder& DeclarationBuilder::PDecimal(std::string field_label, uint32_t digits,
                                                 uint8_t places) {
  return Add(PendingField(TypeCode::kPDecimal, std::move(field_label), digits / 2 + 1, places));
}

DeclarationBuilder& DeclarationBuilder::Dim(std::vector<uint32_t> dims) {
  if (fields_.empty()) {
    decl_->well_formed = false;
  } else {
    fields_.back().dims = std::move(dims);
  }
  return *this;
}
DeclarationBuilder& DeclarationBuilder::Over(std::string other_label) {
  if (fields_.empty()) {
    decl_->well_formed = false;
  } else {
    fields_.back().over = std::move(other_label);
  }
  return *this;
}
DeclarationBuilder& DeclarationBuilder::ExternalName(std::string name) {
  if (fields_.empty()) {
    decl_->well_formed = false;
  } else {
    fields_.back().external_name = std::move(name);
  }
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Key(std::string key_label, std::string description,
                                            uint32_t flags, std::vector<std::string> components) {
  PendingKey key;
  key.decl.label = Upper(decl_->prefix + ":" + key_label);
  key.decl.description = std::move(description);
  key.decl.flags = flags;
  key.components = std::move(components);
  keys_.push_back(std::move(key));
  return *this;
}

DeclarationBuilder& DeclarationBuilder::ExternalKeyName(std::string name) {
  if (keys_.empty()) {
    decl_->well_formed = false;
  } else {
    keys_.back().decl.external_name = std::move(name);
  }
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Memo(std::string memo_label, uint32_t size,
                                             uint32_t flags) {
  MemoDecl memo;
  memo.label = Upper(decl_->prefix + ":" + memo_label);
  memo.size = size;
  memo.flags = flags & ~memo_flag::kBlob;
  decl_->memos.push_back(std::move(memo));
  return *this;
}

DeclarationBuilder& DeclarationBuilder::Blob(std::string memo_label, uint32_t flags) {
  MemoDecl memo;
  memo.label = Upper(decl_->prefix + ":" + memo_label);
  memo.flags = flags | memo_flag::kBlob;
  decl_->memos.push_back(std::move(memo));
  return *this;
}

int32_t DeclarationBuilder::FieldNumber(std::string_view field_label) const {
  const std::string wanted = Upper(field_label);
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (Upper(fields_[i].label) == wanted) return static_cast<int32_t>(i + 1);
  }
  return 0;
}

std::unique_ptr<FileDecl> DeclarationBuilder::Build() {
  std::vector<DescriptorField> fields;
  for (const PendingField& p : fields_) {
    DescriptorField f;
    f.type = p.type;
    f.label = Upper(decl_->prefix + ":" + p.label);
    f.length = p.length;
    f.places = p.places;
    f.picture = p.picture;
    f.dims = p.dims;
    f.external_name = p.external_name;
    if (!p.over.empty()) {
      const int32_t n = FieldNumber(p.over);
      if (n == 0 || static_cast<size_t>(n) > fields.size()) decl_->well_formed = false;
      f.over = static_cast<uint32_t>(n);
    }
    fields.push_back(std::move(f));
  }
  if (auto bytes = EncodeRecordDescriptor(fields)) {
    decl_->record_descriptor = std::move(*bytes);
    const auto layout = DecodeRecordDescriptor(decl_->record_descriptor);
    if (layout) decl_->record_length = layout->total_size;
    if (!layout) decl_->well_formed = false;
  } else {
    decl_->well_formed = false;
  }
  for (PendingKey& k : keys_) {
    for (const std::string& c : k.components) {
      std::string_view name = c;
      int32_t sign = 1;
      if (!name.empty() && (name.front() == '-' || name.front() == '+')) {
        sign = name.front() == '-' ? -1 : 1;
        name.remove_prefix(1);
      }
      const int32_t n = FieldNumber(name);
      if (n == 0) decl_->well_formed = false;
      k.decl.components.push_back(sign * n);
    }
    auto key = std::make_unique<KeyDecl>(std::move(k.decl));
    key->file = decl_.get();
    decl_->keys.push_back(std::move(key));
  }
  if (decl_->keys.size() > 255 || decl_->memos.size() > 255) decl_->well_formed = false;
  return std::move(decl_);
}

}  // namespace pellucor::data
