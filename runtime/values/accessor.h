// Typed accessors: how generic code (the expression evaluator, the drivers, queues, browse and
// record buffers) reads and writes a variable of any runtime type.
//
// AccessorFactory(type, address, size, places) returns an Accessor, a small value that holds the
// concrete accessor inline (no heap block), so creating one per field per record is cheap. The
// accessor refers to the variable; it owns nothing. REQUIRES: the variable outlives the accessor
// and `size` is its size in bytes (for DECIMAL/PDECIMAL the field's bytes, places its fraction
// digits; for CSTRING and PSTRING the capacity including the terminator or length byte).
//
// Class tree (each level overrides only what differs):
//
//   ValueAccessor                      the interface
//     ScalarAccessor                   address, size, places; shared text and truth rules
//       IntegerAccessor (LONG)         BYTE, SHORT, USHORT, ULONG share it with their own layout
//         DateAccessor, TimeAccessor   override only reading and writing the stored form
//       RealAccessor (REAL)            SREAL, BFLOAT4, BFLOAT8 with their own layout
//       DecimalAccessor (DECIMAL)      PDecimalAccessor overrides the packing
//       StringAccessor (STRING, GROUP, MEMO, BLOB)
//         CStringAccessor, PStringAccessor  override the type code, pushing and storing
//       AnyAccessor                    forwards to the variable an ANY refers to
//
// Value classes (as the evaluator sees them): type codes below 7 are integer (BYTE, SHORT, USHORT,
// DATE, TIME, LONG); 18 and above are string; the rest (ULONG, SREAL, REAL, DECIMAL, PDECIMAL,
// BFLOAT4, BFLOAT8, ANY) are real.
//
// Conversions: a string read as a number follows the text-to-number rules of convert.h; a real
// stored into an integer type is truncated toward zero (beyond the type's range it becomes the
// type's lowest or highest value); an integer stored into a narrower type keeps its low-order
// bytes; a real or text stored into a DECIMAL or PDECIMAL passes through the
// decimal accumulator.
//
// Unknown type codes given to the factory (END, DUM1, TEMPUFO, 17, CLASS, ARRAY, FIELD, QUEUE,
// STACKSTR, PICTURE, STDNUM and codes above 30) are the fatal error 501 "String Stack Error".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/type_codes.h"
#include "runtime/values/decimal.h"

namespace pellucor::runtime {

enum class ValueClass : uint8_t { kInteger = 1, kReal = 2, kString = 4 };

[[nodiscard]] constexpr ValueClass ValueClassOf(TypeCode t) {
  const auto c = static_cast<uint8_t>(t);
  if (c < 7) return ValueClass::kInteger;
  if (c >= 18) return ValueClass::kString;
  return ValueClass::kReal;
}

// ClearValue modes: 0 sets numbers to 0 and strings to blanks or empty; -1 and 1 give the
// lowest and the highest possible values (for strings: 0 bytes or 0xFF bytes; see ClearValue).
enum class ClearMode : int8_t { kLowest = -1, kBlank = 0, kHighest = 1 };

// What an ANY variable holds: a reference to another variable (none when address is null). It
// is a plain struct so that it can live in a record or a queue buffer and be copied with memcpy.
struct AnyRef {
  void* address = nullptr;
  uint32_t size = 0;
  TypeCode type = TypeCode::kEnd;
  uint8_t places = 0;
};

class ValueAccessor {
 public:
  virtual ~ValueAccessor() = default;

  [[nodiscard]] virtual TypeCode Type() const = 0;
  [[nodiscard]] ValueClass Class() const { return ValueClassOf(Type()); }
  [[nodiscard]] virtual void* Address() const = 0;
  [[nodiscard]] virtual uint32_t Size() const = 0;
  [[nodiscard]] virtual int Places() const = 0;

  // Pushes the value's text on the string stack: strings by reference to the variable (no copy),
  // numbers into the entry's inline buffer. Nothing is pushed when the stack is full.
  virtual void Push() const = 0;
  // Stores the text of the top string stack entry into the variable and pops the entry. An
  // empty stack stores "".
  virtual void SetFromStack() = 0;

  [[nodiscard]] virtual int32_t GetInteger() const = 0;
  [[nodiscard]] virtual double GetReal() const = 0;
  // The exact value for the decimal types; other types convert through their real or integer.
  [[nodiscard]] virtual Decimal GetDecimal() const = 0;
  // The value as text (what Push pushes), appended to *out.
  virtual void AppendText(std::string* out) const = 0;
  [[nodiscard]] std::string GetText() const {
    std::string s;
    AppendText(&s);
    return s;
  }

  virtual void SetInteger(int32_t value) = 0;
  virtual void SetReal(double value) = 0;
  virtual void SetDecimal(const Decimal& value) = 0;
  virtual void SetText(std::string_view text) = 0;

  // Truth: numbers are true when non-zero; a string variable is true when it holds a character
  // other than blanks (its padding does not count, matching the comparison rule that trailing
  // blanks never matter).
  [[nodiscard]] virtual bool IsTrue() const = 0;
  virtual void Clear(ClearMode mode) = 0;

  // Stores the value of another variable, converting by the source's class: strings as text,
  // decimals exactly, integers as integers, other reals as reals.
  void Assign(const ValueAccessor& from);
};

// The holder AccessorFactory returns. Copyable; behaves like a pointer to its accessor.
class Accessor {
 public:
  Accessor(const Accessor& other);
  Accessor& operator=(const Accessor& other);
  ~Accessor();

  ValueAccessor* operator->() { return get(); }
  const ValueAccessor* operator->() const { return get(); }
  ValueAccessor& operator*() { return *get(); }
  const ValueAccessor& operator*() const { return *get(); }
  ValueAccessor* get() { return accessor_; }
  const ValueAccessor* get() const { return accessor_; }

  static constexpr size_t kStorageSize = 40;

 private:
  friend Accessor AccessorFactory(TypeCode, void*, uint32_t, int);
  Accessor() = default;
  // The concrete accessor lives in storage_; accessor_ points at it (as its base class).
  alignas(std::max_align_t) unsigned char storage_[kStorageSize];
  ValueAccessor* accessor_ = nullptr;
};

// True for the type codes the factory serves (every type a record, queue or variable can have).
[[nodiscard]] bool HasAccessor(TypeCode type);

// REQUIRES: address valid for `size` bytes (an ANY's address points at its AnyRef).
[[nodiscard]] Accessor AccessorFactory(TypeCode type, void* address, uint32_t size, int places = 0);

// Clears a variable by its type (the record buffer's CLEAR calls it field by field):
//   mode 0:  numbers 0; STRING (and GROUP, MEMO) blanks; CSTRING and PSTRING empty.
//   mode -1: STRING filled with 0 bytes; CSTRING empty; PSTRING 0 bytes with the length byte
//            set to the capacity less one; numbers their lowest value.
//   mode 1:  STRING filled with 0xFF bytes; CSTRING 0xFF bytes up to its terminator; PSTRING
//            0xFF bytes with the length byte set to the capacity less one; numbers their highest
//            value.
// The lowest and highest numbers are those of the layout (LONG -2147483648 and 2147483647,
// REAL -/+ the largest double, DECIMAL all nines of its sign); DATE and TIME clear to 0 for
// mode -1 and to 31 December 9999 and 23:59:59.99 for mode 1, the extremes of their ranges.
void ClearValue(ValueAccessor& variable, ClearMode mode);
void ClearValue(TypeCode type, void* address, uint32_t size, int places, ClearMode mode);

}  // namespace pellucor::runtime
