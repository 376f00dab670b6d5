// The concrete accessor classes behind AccessorFactory. Internal to runtime/values: callers use
// the ValueAccessor interface.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/values/accessor.h"

namespace pellucor::runtime::internal {

// The common scalar accessor: where the variable lives, and the rules shared by every type.
class ScalarAccessor : public ValueAccessor {
 public:
  ScalarAccessor(void* address, uint32_t size, int places)
      : address_(static_cast<uint8_t*>(address)), size_(size), places_(places) {}

  void* Address() const override { return address_; }
  uint32_t Size() const override { return size_; }
  int Places() const override { return places_; }

  // Numbers push their text into the entry's inline buffer.
  void Push() const override;
  void SetFromStack() override;
  Decimal GetDecimal() const override;
  void AppendText(std::string* out) const override;
  void SetDecimal(const Decimal& value) override;
  void SetText(std::string_view text) override;
  bool IsTrue() const override;

 protected:
  uint8_t* address_;
  uint32_t size_;
  int places_;
};

// LONG, and through their own layouts BYTE, SHORT, USHORT and ULONG. Values travel as 64-bit
// integers so that ULONG keeps its full range. An integer stored keeps the layout's low-order
// bytes; a real, decimal or text beyond the range stores the layout's lowest or highest value.
class IntegerAccessor : public ScalarAccessor {
 public:
  using ScalarAccessor::ScalarAccessor;
  TypeCode Type() const override { return TypeCode::kLong; }
  int32_t GetInteger() const override;
  double GetReal() const override { return static_cast<double>(Load()); }
  void AppendText(std::string* out) const override;
  void Push() const override;
  void SetInteger(int32_t value) override { Store(value); }
  void SetReal(double value) override;
  void SetDecimal(const Decimal& value) override { StoreInRange(value.ToInteger64()); }
  bool IsTrue() const override { return Load() != 0; }
  void Clear(ClearMode mode) override;

  // The stored form.
  [[nodiscard]] virtual int64_t Load() const;
  virtual void Store(int64_t value);
  [[nodiscard]] virtual int64_t Lowest() const;
  [[nodiscard]] virtual int64_t Highest() const;

 protected:
  void StoreInRange(int64_t value);
};

class ByteAccessor final : public IntegerAccessor {
 public:
  using IntegerAccessor::IntegerAccessor;
  TypeCode Type() const override { return TypeCode::kByte; }
  int64_t Load() const override;
  void Store(int64_t value) override;
  int64_t Lowest() const override { return 0; }
  int64_t Highest() const override { return 255; }
};

class ShortAccessor final : public IntegerAccessor {
 public:
  using IntegerAccessor::IntegerAccessor;
  TypeCode Type() const override { return TypeCode::kShort; }
  int64_t Load() const override;
  void Store(int64_t value) override;
  int64_t Lowest() const override { return -32768; }
  int64_t Highest() const override { return 32767; }
};

class UShortAccessor final : public IntegerAccessor {
 public:
  using IntegerAccessor::IntegerAccessor;
  TypeCode Type() const override { return TypeCode::kUShort; }
  int64_t Load() const override;
  void Store(int64_t value) override;
  int64_t Lowest() const override { return 0; }
  int64_t Highest() const override { return 65535; }
};

class ULongAccessor final : public IntegerAccessor {
 public:
  using IntegerAccessor::IntegerAccessor;
  TypeCode Type() const override { return TypeCode::kULong; }
  int64_t Load() const override;
  void Store(int64_t value) override;
  int64_t Lowest() const override { return 0; }
  int64_t Highest() const override { return 4294967295LL; }
};

// DATE: stored as day, month, 16-bit year; read and written as a day number.
class DateAccessor final : public IntegerAccessor {
 public:
  using IntegerAccessor::IntegerAccessor;
  TypeCode Type() const override { return TypeCode::kDate; }
  int64_t Load() const override;
  void Store(int64_t value) override;
  int64_t Lowest() const override { return 0; }
  int64_t Highest() const override;
};

// TIME: stored as hundredths, seconds, minutes, hours; read and written as a time value.
class TimeAccessor final : public IntegerAccessor {
 public:
  using IntegerAccessor::IntegerAccessor;
  TypeCode Type() const override { return TypeCode::kTime; }
  int64_t Load() const override;
  void Store(int64_t value) override;
  int64_t Lowest() const override { return 0; }
  int64_t Highest() const override;
};

// REAL, and through their own layouts SREAL, BFLOAT4 and BFLOAT8.
class RealAccessor : public ScalarAccessor {
 public:
  using ScalarAccessor::ScalarAccessor;
  TypeCode Type() const override { return TypeCode::kReal; }
  int32_t GetInteger() const override;
  double GetReal() const override { return Load(); }
  void SetInteger(int32_t value) override { Store(value); }
  void SetReal(double value) override { Store(value); }
  void Clear(ClearMode mode) override;

  [[nodiscard]] virtual double Load() const;
  virtual void Store(double value);
  [[nodiscard]] virtual double Largest() const;
};

class SRealAccessor final : public RealAccessor {
 public:
  using RealAccessor::RealAccessor;
  TypeCode Type() const override { return TypeCode::kSReal; }
  double Load() const override;
  void Store(double value) override;
  double Largest() const override;
};

class BFloat4Accessor final : public RealAccessor {
 public:
  using RealAccessor::RealAccessor;
  TypeCode Type() const override { return TypeCode::kBFloat4; }
  double Load() const override;
  void Store(double value) override;
  double Largest() const override;
};

class BFloat8Accessor final : public RealAccessor {
 public:
  using RealAccessor::RealAccessor;
  TypeCode Type() const override { return TypeCode::kBFloat8; }
  double Load() const override;
  void Store(double value) override;
  double Largest() const override;
};

// DECIMAL: exact values through the decimal accumulator.
class DecimalAccessor : public ScalarAccessor {
 public:
  using ScalarAccessor::ScalarAccessor;
  TypeCode Type() const override { return TypeCode::kDecimal; }
  int32_t GetInteger() const override { return GetDecimal().ToInteger(); }
  double GetReal() const override { return GetDecimal().ToReal(); }
  Decimal GetDecimal() const override;
  void AppendText(std::string* out) const override;
  void Push() const override;
  void SetInteger(int32_t value) override { SetDecimal(Decimal::FromInteger(value)); }
  void SetReal(double value) override { SetDecimal(Decimal::FromReal(value)); }
  void SetDecimal(const Decimal& value) override;
  void SetText(std::string_view text) override { SetDecimal(Decimal::FromText(text)); }
  bool IsTrue() const override { return !GetDecimal().IsZero(); }
  void Clear(ClearMode mode) override;
};

class PDecimalAccessor final : public DecimalAccessor {
 public:
  using DecimalAccessor::DecimalAccessor;
  TypeCode Type() const override { return TypeCode::kPDecimal; }
  Decimal GetDecimal() const override;
  void SetDecimal(const Decimal& value) override;
};

// STRING (and GROUP, MEMO and BLOB, which read as a STRING of their bytes): the full declared
// length, blank padded.
class StringAccessor : public ScalarAccessor {
 public:
  StringAccessor(TypeCode type, void* address, uint32_t size)
      : ScalarAccessor(address, size, 0), type_(type) {}
  TypeCode Type() const override { return type_; }
  int32_t GetInteger() const override;
  double GetReal() const override;
  Decimal GetDecimal() const override;
  void AppendText(std::string* out) const override;
  void Push() const override;
  void SetInteger(int32_t value) override;
  void SetReal(double value) override;
  void SetDecimal(const Decimal& value) override;
  void SetText(std::string_view text) override;
  bool IsTrue() const override;
  void Clear(ClearMode mode) override;

  // The characters the variable holds.
  [[nodiscard]] virtual std::string_view Text() const;

 protected:
  TypeCode type_;
};

// CSTRING: capacity n includes the NUL; at most n - 1 characters.
class CStringAccessor final : public StringAccessor {
 public:
  CStringAccessor(void* address, uint32_t size)
      : StringAccessor(TypeCode::kCString, address, size) {}
  std::string_view Text() const override;
  void SetText(std::string_view text) override;
  void Clear(ClearMode mode) override;
};

// PSTRING: capacity n includes the length byte; at most min(n - 1, 255) characters.
class PStringAccessor final : public StringAccessor {
 public:
  PStringAccessor(void* address, uint32_t size)
      : StringAccessor(TypeCode::kPString, address, size) {}
  std::string_view Text() const override;
  void SetText(std::string_view text) override;
  void Clear(ClearMode mode) override;
};

// ANY: every operation goes to the variable the AnyRef names; without one it reads as "" and
// 0 and ignores stores.
class AnyAccessor final : public ScalarAccessor {
 public:
  AnyAccessor(void* address, uint32_t size) : ScalarAccessor(address, size, 0) {}
  TypeCode Type() const override { return TypeCode::kAny; }
  void Push() const override;
  void SetFromStack() override;
  int32_t GetInteger() const override;
  double GetReal() const override;
  Decimal GetDecimal() const override;
  void AppendText(std::string* out) const override;
  void SetInteger(int32_t value) override;
  void SetReal(double value) override;
  void SetDecimal(const Decimal& value) override;
  void SetText(std::string_view text) override;
  bool IsTrue() const override;
  void Clear(ClearMode mode) override;

 private:
  // The variable at the end of a chain of ANYs (at most 8 deep, so a cycle cannot hang), or
  // false when there is none.
  [[nodiscard]] bool Resolve(AnyRef* out) const;
};

}  // namespace pellucor::runtime::internal
