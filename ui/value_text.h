// Bound variables shown through pictures, and typed text read back into them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/values/accessor.h"

namespace pellucor::ui {

[[nodiscard]] bool IsBound(const runtime::AnyRef& use);
// The variable's value as raw text (numbers in decimal, strings without their trailing blanks).
[[nodiscard]] std::string RawText(const runtime::AnyRef& use);
// What a control shows for stored value `value` (raw text): through `picture` when there is one,
// without the padding the picture adds around it.
[[nodiscard]] std::string Shown(std::string_view value, const runtime::AnyRef& use,
                                std::string_view picture);
// The stored value of typed text, or nothing when the text does not read back through the
// picture (letters in a number, a date that is no date, a number too wide for its picture).
[[nodiscard]] std::optional<std::string> ReadBack(std::string_view typed, std::string_view picture);
// The value of a text that is a whole number ("-12"), or nothing.
[[nodiscard]] std::optional<int64_t> WholeNumber(std::string_view text);
void Store(const runtime::AnyRef& use, std::string_view value);
// Whether the picture shows numbers (the control aligns them to the right).
[[nodiscard]] bool IsNumericPicture(std::string_view picture);

}  // namespace pellucor::ui
