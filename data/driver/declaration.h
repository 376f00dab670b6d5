// File declarations: how a program describes a data file (its record layout, keys, memos and
// attributes) to the drivers. A declaration is built once at start-up with DeclarationBuilder and
// never changes afterwards; only its record buffer (and, through the driver entry, its driver file
// block) changes at run time.
//
// Record descriptor encoding (the `RECORD` layout as the drivers read it; all numbers
// little-endian):
//
//   GROUP header   u8 type 22, u8 flags 0, u32 total size in bytes, u32 number of fields,
//                  u32 length of the whole descriptor in bytes (header included)
//   each field     u8 type code, u8 flags, [length], label, [extras...]
//
//   flags          0x02 the field belongs to a file record (always set by the builder);
//                  0x04 declared by a picture; 0x08 has dimensions; 0x10 declared OVER another
//                  field; 0x20 has an external name. The note record uses 0x02 only.
//   length         string types (STRING, CSTRING, PSTRING) and GROUP: the declared length;
//                  DECIMAL and PDECIMAL: the size in bytes, followed by one byte of places.
//                  Other types carry no length: their size follows from the type.
//                  A length below 32 takes one byte; 32 to 8191 take two bytes, the first 0x20
//                  plus the high five bits, the second the low eight bits (60 is 0x20 0x3C,
//                  5050 is 0x33 0xBA).
//   label          the field's full label, null terminated ("SNO:TOPIC")
//   extras, in this order, when their flag is set:
//                  picture: the picture text without its '@', null terminated;
//                  dimensions: u8 count, then count u32 dimensions;
//                  over: u32 number of the field whose storage this one shares;
//                  name: the external name, null terminated.
//
// Fields are numbered from 1 in declaration order; keys refer to them by these numbers. A field
// declared OVER another starts at that field's offset and adds nothing to the record's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/type_codes.h"

namespace pellucor::data {

class Driver;
class FileDecl;
struct FileBlock;

// Attribute bits as the declaration holds them.
namespace decl_attr {
inline constexpr uint8_t kEncrypt = 0x02;
inline constexpr uint8_t kCreate = 0x04;
inline constexpr uint8_t kReclaim = 0x08;
inline constexpr uint8_t kThread = 0x10;
inline constexpr uint8_t kOem = 0x20;
inline constexpr uint8_t kCarried = 0x40;  // carried into the driver file block unread
}  // namespace decl_attr

// Attribute bits as the driver file block keeps them: the declaration's shifted down by one. The
// trace and the drivers use these.
namespace attr {
inline constexpr uint8_t kEncrypt = 0x01;
inline constexpr uint8_t kCreate = 0x02;
inline constexpr uint8_t kReclaim = 0x04;
inline constexpr uint8_t kThread = 0x08;
inline constexpr uint8_t kOem = 0x10;
inline constexpr uint8_t kCarried = 0x20;
}  // namespace attr

constexpr uint8_t BlockAttributes(uint8_t declaration_attributes) {
  return static_cast<uint8_t>(declaration_attributes >> 1);
}

namespace key_flag {
inline constexpr uint32_t kDup = 0x0001;
inline constexpr uint32_t kOpt = 0x0002;
inline constexpr uint32_t kNoCase = 0x0004;
inline constexpr uint32_t kPrimary = 0x0010;
inline constexpr uint32_t kIndex = 0x4000;  // declared as INDEX rather than KEY
}  // namespace key_flag

namespace memo_flag {
inline constexpr uint32_t kBinary = 0x02;
inline constexpr uint32_t kBlob = 0x04;
}  // namespace memo_flag

namespace field_flag {
inline constexpr uint8_t kFileField = 0x02;
inline constexpr uint8_t kPicture = 0x04;
inline constexpr uint8_t kDims = 0x08;
inline constexpr uint8_t kOver = 0x10;
inline constexpr uint8_t kName = 0x20;
}  // namespace field_flag

// The largest length the descriptor's length code can hold.
inline constexpr uint32_t kMaxEncodedLength = 8191;

struct KeyDecl {
  std::optional<std::string> external_name;  // names the key inside the file
  std::string label;                         // "SNO:ALLNOTES"
  std::string description;                   // how the file managers name it ("sno:allnotes")
  uint32_t flags = 0;                        // key_flag bits
  // Field numbers from 1; a negative number sorts that component descending. An INDEX without
  // components is a dynamic index, whose components come from BUILDdyn.
  std::vector<int32_t> components;
  const FileDecl* file = nullptr;  // the owning declaration

  // INDEX keys (and so dynamic indexes) are not maintained by writes: they must be built before
  // they are used.
  bool MustBeBuilt() const { return (flags & key_flag::kIndex) != 0; }
};

struct MemoDecl {
  std::optional<std::string> external_name;
  std::string label;
  uint32_t size = 0;   // MEMO(size); 0 for a BLOB
  uint32_t flags = 0;  // memo_flag bits
};

// One field as the drivers see it, decoded from the record descriptor.
struct FieldInfo {
  runtime::TypeCode type = runtime::TypeCode::kEnd;
  uint8_t flags = 0;
  uint32_t offset = 0;           // byte offset in the record
  uint32_t size = 0;             // bytes of all elements
  uint32_t element_size = 0;     // bytes of one element
  uint32_t element_count = 1;    // product of the dimensions
  uint32_t declared_length = 0;  // string types, GROUP and decimals (bytes)
  uint8_t places = 0;            // DECIMAL, PDECIMAL
  std::string label;
  std::string picture;  // without '@'; empty unless declared by a picture
  std::vector<uint32_t> dims;
  uint32_t over = 0;  // field number (from 1) whose storage this one shares; 0 for none
  std::optional<std::string> external_name;

  uint32_t DecimalDigits() const { return declared_length * 2 - 1; }
};

struct RecordLayout {
  uint32_t total_size = 0;
  std::vector<FieldInfo> fields;  // fields[i] is field number i + 1
};

// The stored size of one element of a type: runtime::FixedTypeSize (0 for declared sizes).
using runtime::FixedTypeSize;

// Decodes a record descriptor. Returns std::nullopt for a descriptor that does not hold together
// (unknown or unusable type codes, lengths that overrun the bytes, field sizes that do not add up
// to the group's size, a bad OVER reference); descriptors come from the builder, but a decoder
// never trusts its input.
std::optional<RecordLayout> DecodeRecordDescriptor(std::span<const uint8_t> bytes);

// Appends the length code of `length` (REQUIRES: length <= kMaxEncodedLength).
void AppendLengthCode(std::vector<uint8_t>& out, uint32_t length);

// How the name of a file is held.
enum class NameForm : int32_t {
  kNullTerminated = -1,  // a null-terminated text in a variable
  kLengthPrefixed = -2,  // a text whose first byte is its length
  // any value >= 0: the fixed length of a blank-padded text
};

// A file's static declaration. Created by DeclarationBuilder; lives for the whole run (or, in a
// test, longer than every operation on it). Not copyable: keys point back at it and the driver
// file block is tied to it.
class FileDecl {
 public:
  FileDecl();
  ~FileDecl();
  FileDecl(const FileDecl&) = delete;
  FileDecl& operator=(const FileDecl&) = delete;

  Driver* driver = nullptr;
  std::string label;   // the declaration's label ("SNotes"); used by the trace
  std::string prefix;  // field label prefix ("SNO")

  // The name: a constant text (name_storage), or a variable the program fills (name_variable).
  // name_length is -1 (null terminated), -2 (first byte is the length) or the fixed length of a
  // blank-padded text. For a constant, name_length is the constant's own length.
  std::string name_storage;
  const char* name_variable = nullptr;
  int32_t name_length = 0;

  std::optional<std::string> driver_string;  // the second argument of DRIVER
  std::optional<std::string> owner;          // password of an enciphered file
  uint8_t attributes = 0;                    // decl_attr bits
  uint32_t record_length = 0;
  std::vector<uint8_t> record_descriptor;
  std::vector<std::unique_ptr<KeyDecl>> keys;  // declaration order
  std::vector<MemoDecl> memos;                 // declaration order
  // False when the builder could not encode the declaration (a length beyond the length code);
  // the first operation on the file then fails with 47.
  bool well_formed = true;

  uint8_t KeyCount() const { return static_cast<uint8_t>(keys.size()); }
  uint8_t MemoCount() const { return static_cast<uint8_t>(memos.size()); }
  bool IsThreaded() const { return (attributes & decl_attr::kThread) != 0; }

  // The name text as the driver sees it now (trailing blanks of a fixed-length text removed).
  std::string CurrentName() const;

  // The record buffer of the calling thread (one per thread for a THREAD file, otherwise one for
  // the process). record_length bytes, zero when first made.
  uint8_t* RecordBuffer();
  // The buffer of memo `index` (0-based) for the calling thread: `size` bytes for a MEMO, grown
  // as needed for a BLOB.
  std::vector<uint8_t>& MemoBuffer(size_t index);

  // The key declared at `index` (0-based), or nullptr.
  const KeyDecl* Key(size_t index) const {
    return index < keys.size() ? keys[index].get() : nullptr;
  }
  // The key with this label, compared without regard to case, or nullptr.
  const KeyDecl* FindKey(std::string_view key_label) const;

  // The driver file block of the calling thread's view of the file (per thread for THREAD),
  // or nullptr when there is none. The dispatcher owns its life.
  FileBlock* Block();
  std::unique_ptr<FileBlock>& BlockSlot();

  struct Storage;  // record, memo buffers and block of one thread (or of the process)

 private:
  Storage& ThreadStorage();
  uint64_t serial_;                  // tells this declaration apart in per-thread maps
  std::unique_ptr<Storage> shared_;  // for files without THREAD
};

// Builds a declaration readably:
//
//   auto decl = DeclarationBuilder("SNotes", "SNO", driver)
//                   .Name("plk\\!notes").Attributes(decl_attr::kCreate | decl_attr::kThread)
//                   .String("TOPIC", 60).Date("NOTEDATE")
//                   .Key("SNOT", "sno:SNOT", key_flag::kDup, {"TOPIC"})
//                   .Build();
//
// Field labels are given without the prefix; the builder stores "PREFIX:LABEL". Key labels are
// stored upper-case, as the stored declaration holds them. Key components name fields by their
// label; a '-' in front makes the component descending.
class DeclarationBuilder {
 public:
  DeclarationBuilder(std::string label, std::string prefix, Driver* driver);

  DeclarationBuilder& Name(std::string constant_name);
  // A name held in a program variable of the given form (see NameForm) or fixed length.
  DeclarationBuilder& NameVariable(const char* variable, int32_t length);
  DeclarationBuilder& DriverString(std::string options);
  DeclarationBuilder& Owner(std::string owner);
  DeclarationBuilder& Attributes(uint8_t decl_attributes);

  // Plain fields of a fixed-size type (BYTE, SHORT, LONG, DATE, TIME, REAL, ...).
  DeclarationBuilder& Field(std::string field_label, runtime::TypeCode type);
  DeclarationBuilder& String(std::string field_label, uint32_t length);
  DeclarationBuilder& CString(std::string field_label, uint32_t length);
  DeclarationBuilder& PString(std::string field_label, uint32_t length);
  DeclarationBuilder& Date(std::string field_label);
  DeclarationBuilder& Long(std::string field_label);
  // A STRING declared by a picture ("@s20" or "s20") of the given stored length.
  DeclarationBuilder& PictureString(std::string field_label, std::string picture, uint32_t length);
  DeclarationBuilder& Decimal(std::string field_label, uint32_t digits, uint8_t places);
  DeclarationBuilder& PDecimal(std::string field_label, uint32_t digits, uint8_t places);
  // Modifiers of the field added last.
  DeclarationBuilder& Dim(std::vector<uint32_t> dims);
  DeclarationBuilder& Over(std::string other_label);
  DeclarationBuilder& ExternalName(std::string name);

  DeclarationBuilder& Key(std::string key_label, std::string description, uint32_t flags,
                          std::vector<std::string> components);
  DeclarationBuilder& ExternalKeyName(std::string name);  // of the key added last
  DeclarationBuilder& Memo(std::string memo_label, uint32_t size, uint32_t flags = 0);
  DeclarationBuilder& Blob(std::string memo_label, uint32_t flags = 0);

  // The finished declaration. A declaration that cannot be encoded or does not hold together (a
  // length beyond the length code, a key naming an unknown field, an OVER of an unknown or
  // smaller field) is built with well_formed false, so that its first operation fails with 47
  // ("Invalid Record Declaration") rather than the program stopping at start-up.
  std::unique_ptr<FileDecl> Build();

 private:
  struct PendingField {
    PendingField(runtime::TypeCode t, std::string l, uint32_t len = 0, uint8_t p = 0)
        : type(t), label(std::move(l)), length(len), places(p) {}
    runtime::TypeCode type;
    std::string label;
    uint32_t length = 0;  // declared length (strings, GROUP) or bytes (decimals)
    uint8_t places = 0;
    std::string picture;
    std::vector<uint32_t> dims;
    std::string over;
    std::optional<std::string> external_name;
  };
  struct PendingKey {
    KeyDecl decl;
    std::vector<std::string> components;
  };
  DeclarationBuilder& Add(PendingField field);
  int32_t FieldNumber(std::string_view field_label) const;

  std::unique_ptr<FileDecl> decl_;
  std::vector<PendingField> fields_;
  std::vector<PendingKey> keys_;
};

// The record descriptor of a field list, as the builder writes it. Exposed for the builder's
// tests and for tools that declare tables on the fly.
struct DescriptorField {
  runtime::TypeCode type;
  std::string label;  // full label ("SNO:TOPIC")
  uint32_t length = 0;
  uint8_t places = 0;
  std::string picture;
  std::vector<uint32_t> dims;
  uint32_t over = 0;
  std::optional<std::string> external_name;
};
// Returns std::nullopt when a length is beyond the length code or a type cannot stand in a record.
std::optional<std::vector<uint8_t>> EncodeRecordDescriptor(std::span<const DescriptorField> fields);

}  // namespace pellucor::data
