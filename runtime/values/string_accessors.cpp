// Accessors of the string layouts (STRING, GROUP, MEMO, BLOB, CSTRING, PSTRING) and of ANY.
#include <algorithm>
#include <cstring>

#include "runtime/values/accessor_types.h"
#include "runtime/values/convert.h"
#include "runtime/values/string_stack.h"

namespace pellucor::runtime::internal {

// ---- STRING ----

std::string_view StringAccessor::Text() const {
  return {reinterpret_cast<const char*>(address_), size_};
}

int32_t StringAccessor::GetInteger() const {
  return TextToInteger(Text());
}
double StringAccessor::GetReal() const {
  return TextToReal(Text());
}
Decimal StringAccessor::GetDecimal() const {
  return Decimal::FromText(Text());
}
void StringAccessor::AppendText(std::string* out) const {
  out->append(Text());
}

// By reference: the variable is not copied.
void StringAccessor::Push() const {
  const std::string_view t = Text();
  Strings().PushReference(t.data(), t.size());
}

void StringAccessor::SetInteger(int32_t value) {
  char buf[24];
  SetText(std::string_view(buf, FormatInteger(value, buf)));
}

void StringAccessor::SetReal(double value) {
  char buf[kRealTextMax];
  SetText(std::string_view(buf, FormatReal(value, buf)));
}

void StringAccessor::SetDecimal(const Decimal& value) {
  SetText(value.ToText());
}

// The source may overlap the variable (a reference entry of the string stack), hence memmove.
void StringAccessor::SetText(std::string_view text) {
  const size_t n = std::min<size_t>(text.size(), size_);
  if (n != 0) std::memmove(address_, text.data(), n);
  std::memset(address_ + n, ' ', size_ - n);
}

bool StringAccessor::IsTrue() const {
  const std::string_view t = Text();
  return t.find_first_not_of(' ') != std::string_view::npos;
}

void StringAccessor::Clear(ClearMode mode) {
  switch (mode) {
    case ClearMode::kBlank:
      // A BLOB holds bytes, not text: empty is zeros.
      std::memset(address_, type_ == TypeCode::kBlob ? 0 : ' ', size_);
      break;
    case ClearMode::kLowest:
      std::memset(address_, 0, size_);
      break;
    case ClearMode::kHighest:
      std::memset(address_, 0xFF, size_);
      break;
  }
}

// ---- CSTRING ----

std::string_view CStringAccessor::Text() const {
  const auto* p = static_cast<const uint8_t*>(std::memchr(address_, 0, size_));
  const size_t n = p == nullptr ? size_ : static_cast<size_t>(p - address_);
  return {reinterpret_cast<const char*>(address_), n};
}

void CStringAccessor::SetText(std::string_view text) {
  if (size_ == 0) return;
  const size_t n = std::min<size_t>(text.size(), size_ - 1);
  if (n != 0) std::memmove(address_, text.data(), n);
  address_[n] = 0;
}

void CStringAccessor::Clear(ClearMode mode) {
  if (size_ == 0) return;
  if (mode == ClearMode::kHighest) {
    std::memset(address_, 0xFF, size_ - 1);
    address_[size_ - 1] = 0;
  } else {
    std::memset(address_, 0, size_);
  }
}

// ---- PSTRING ----

namespace {
size_t PStringCapacity(uint32_t size) {
  return size == 0 ? 0 : std::min<size_t>(size - 1, 255);
}
}  // namespace

std::string_view PStringAccessor::Text() const {
  if (size_ == 0) return {};
  // A length byte beyond the capacity (a damaged record) reads only what the field holds.
  const size_t n = std::min<size_t>(address_[0], size_ - 1);
  return {reinterpret_cast<const char*>(address_ + 1), n};
}

void PStringAccessor::SetText(std::string_view text) {
  if (size_ == 0) return;
  const size_t n = std::min(text.size(), PStringCapacity(size_));
  if (n != 0) std::memmove(address_ + 1, text.data(), n);
  address_[0] = static_cast<uint8_t>(n);
}

void PStringAccessor::Clear(ClearMode mode) {
  if (size_ == 0) return;
  switch (mode) {
    case ClearMode::kBlank:
      std::memset(address_, 0, size_);
      break;
    case ClearMode::kLowest:
      std::memset(address_, 0, size_);
      address_[0] = static_cast<uint8_t>(PStringCapacity(size_));
      break;
    case ClearMode::kHighest:
      std::memset(address_, 0xFF, size_);
      address_[0] = static_cast<uint8_t>(PStringCapacity(size_));
      break;
  }
}

// ---- ANY ----

bool AnyAccessor::Resolve(AnyRef* out) const {
  if (size_ < sizeof(AnyRef)) return false;
  AnyRef ref;
  std::memcpy(&ref, address_, sizeof ref);
  for (int depth = 0; depth < 8; ++depth) {
    if (ref.address == nullptr || !HasAccessor(ref.type)) return false;
    if (ref.type != TypeCode::kAny) {
      *out = ref;
      return true;
    }
    if (ref.size < sizeof(AnyRef)) return false;
    std::memcpy(&ref, ref.address, sizeof ref);
  }
  return false;
}

namespace {
Accessor Target(const AnyRef& r) {
  return AccessorFactory(r.type, r.address, r.size, r.places);
}
}  // namespace

void AnyAccessor::Push() const {
  AnyRef r;
  if (Resolve(&r)) {
    Target(r)->Push();
  } else {
    Strings().PushReference("", 0);
  }
}

void AnyAccessor::SetFromStack() {
  AnyRef r;
  if (Resolve(&r)) {
    Target(r)->SetFromStack();
  } else {
    Strings().Pop();
  }
}

int32_t AnyAccessor::GetInteger() const {
  AnyRef r;
  return Resolve(&r) ? Target(r)->GetInteger() : 0;
}

double AnyAccessor::GetReal() const {
  AnyRef r;
  return Resolve(&r) ? Target(r)->GetReal() : 0.0;
}

Decimal AnyAccessor::GetDecimal() const {
  AnyRef r;
  return Resolve(&r) ? Target(r)->GetDecimal() : Decimal{};
}

void AnyAccessor::AppendText(std::string* out) const {
  AnyRef r;
  if (Resolve(&r)) Target(r)->AppendText(out);
}

void AnyAccessor::SetInteger(int32_t value) {
  AnyRef r;
  if (Resolve(&r)) Target(r)->SetInteger(value);
}

void AnyAccessor::SetReal(double value) {
  AnyRef r;
  if (Resolve(&r)) Target(r)->SetReal(value);
}

void AnyAccessor::SetDecimal(const Decimal& value) {
  AnyRef r;
  if (Resolve(&r)) Target(r)->SetDecimal(value);
}

void AnyAccessor::SetText(std::string_view text) {
  AnyRef r;
  if (Resolve(&r)) Target(r)->SetText(text);
}

bool AnyAccessor::IsTrue() const {
  AnyRef r;
  return Resolve(&r) && Target(r)->IsTrue();
}

void AnyAccessor::Clear(ClearMode mode) {
  AnyRef r;
  if (Resolve(&r)) Target(r)->Clear(mode);
}

}  // namespace pellucor::runtime::internal
