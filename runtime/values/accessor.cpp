#include "runtime/values/accessor.h"

#include <new>

#include "runtime/core/fatal.h"
#include "runtime/values/accessor_types.h"

namespace pellucor::runtime {

namespace {

using namespace internal;

template <class T, class... Args>
ValueAccessor* Emplace(unsigned char* storage, Args&&... args) {
  static_assert(sizeof(T) <= Accessor::kStorageSize, "accessor does not fit its holder");
  static_assert(alignof(T) <= alignof(std::max_align_t));
  return ::new (static_cast<void*>(storage)) T(std::forward<Args>(args)...);
}

// Builds the accessor for a type in place; unknown types stop the program (501).
ValueAccessor* Construct(unsigned char* s, TypeCode type, void* address, uint32_t size,
                         int places) {
  switch (type) {
    case TypeCode::kByte:
      return Emplace<ByteAccessor>(s, address, size, places);
    case TypeCode::kShort:
      return Emplace<ShortAccessor>(s, address, size, places);
    case TypeCode::kUShort:
      return Emplace<UShortAccessor>(s, address, size, places);
    case TypeCode::kDate:
      return Emplace<DateAccessor>(s, address, size, places);
    case TypeCode::kTime:
      return Emplace<TimeAccessor>(s, address, size, places);
    case TypeCode::kLong:
      return Emplace<IntegerAccessor>(s, address, size, places);
    case TypeCode::kULong:
      return Emplace<ULongAccessor>(s, address, size, places);
    case TypeCode::kSReal:
      return Emplace<SRealAccessor>(s, address, size, places);
    case TypeCode::kReal:
      return Emplace<RealAccessor>(s, address, size, places);
    case TypeCode::kDecimal:
      return Emplace<DecimalAccessor>(s, address, size, places);
    case TypeCode::kPDecimal:
      return Emplace<PDecimalAccessor>(s, address, size, places);
    case TypeCode::kBFloat4:
      return Emplace<BFloat4Accessor>(s, address, size, places);
    case TypeCode::kBFloat8:
      return Emplace<BFloat8Accessor>(s, address, size, places);
    case TypeCode::kAny:
      return Emplace<AnyAccessor>(s, address, size);
    case TypeCode::kString:
    case TypeCode::kMemo:
    case TypeCode::kGroup:
    case TypeCode::kBlob:
      return Emplace<StringAccessor>(s, type, address, size);
    case TypeCode::kCString:
      return Emplace<CStringAccessor>(s, address, size);
    case TypeCode::kPString:
      return Emplace<PStringAccessor>(s, address, size);
    default:
      break;
  }
  FatalError(err::kStringStack);
}

}  // namespace

bool HasAccessor(TypeCode type) {
  switch (type) {
    case TypeCode::kByte:
    case TypeCode::kShort:
    case TypeCode::kUShort:
    case TypeCode::kDate:
    case TypeCode::kTime:
    case TypeCode::kLong:
    case TypeCode::kULong:
    case TypeCode::kSReal:
    case TypeCode::kReal:
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal:
    case TypeCode::kBFloat4:
    case TypeCode::kBFloat8:
    case TypeCode::kAny:
    case TypeCode::kString:
    case TypeCode::kCString:
    case TypeCode::kPString:
    case TypeCode::kMemo:
    case TypeCode::kGroup:
    case TypeCode::kBlob:
      return true;
    default:
      return false;
  }
}

Accessor AccessorFactory(TypeCode type, void* address, uint32_t size, int places) {
  // Stop before the holder exists: a halt hook that throws must not unwind through a holder
  // whose storage holds no accessor.
  if (!HasAccessor(type)) FatalError(err::kStringStack);
  Accessor a;
  a.accessor_ = Construct(a.storage_, type, address, size, places);
  return a;
}

Accessor::Accessor(const Accessor& other) {
  const ValueAccessor& o = *other;
  accessor_ = Construct(storage_, o.Type(), o.Address(), o.Size(), o.Places());
}

Accessor& Accessor::operator=(const Accessor& other) {
  if (this == &other) return *this;
  const ValueAccessor& o = *other;
  const TypeCode type = o.Type();
  void* address = o.Address();
  const uint32_t size = o.Size();
  const int places = o.Places();
  accessor_->~ValueAccessor();
  accessor_ = Construct(storage_, type, address, size, places);
  return *this;
}

Accessor::~Accessor() {
  get()->~ValueAccessor();
}

void ValueAccessor::Assign(const ValueAccessor& from) {
  switch (from.Type()) {
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal:
      SetDecimal(from.GetDecimal());
      return;
    case TypeCode::kULong:
      SetReal(from.GetReal());
      return;
    case TypeCode::kAny: {
      // An ANY hands its value over as text (numbers keep 14 significant digits).
      SetText(from.GetText());
      return;
    }
    default:
      break;
  }
  switch (from.Class()) {
    case ValueClass::kInteger:
      SetInteger(from.GetInteger());
      return;
    case ValueClass::kReal:
      SetReal(from.GetReal());
      return;
    case ValueClass::kString:
      SetText(from.GetText());
      return;
  }
}

void ClearValue(ValueAccessor& variable, ClearMode mode) {
  variable.Clear(mode);
}

void ClearValue(TypeCode type, void* address, uint32_t size, int places, ClearMode mode) {
  AccessorFactory(type, address, size, places)->Clear(mode);
}

}  // namespace pellucor::runtime
