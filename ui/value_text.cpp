#include "ui/value_text.h"

#include <algorithm>
#include <cstdint>

#include "runtime/locale/picture.h"

namespace pellucor::ui {

using runtime::PictureKind;

namespace {

runtime::Accessor AccessorOf(const runtime::AnyRef& use) {
  return runtime::AccessorFactory(use.type, use.address, use.size, use.places);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool IsBlank(std::string_view s) {
  return Trim(s).empty();
}

bool HasDigit(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Characters a number may be typed with: digits, blanks, signs, the point, and whatever the
// picture itself shows (its separators and currency).
bool NumberCharacters(std::string_view typed, const runtime::Picture& p) {
  for (char c : typed) {
    if ((c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '+' || c == '.' || c == ',' ||
        c == '(' || c == ')') {
      continue;
    }
    if (p.kind == PictureKind::kScientific && (c == 'e' || c == 'E')) continue;
    bool in_picture = false;
    for (size_t k = 0; k < p.length && !in_picture; ++k) {
      in_picture = p.positions[k].fill == static_cast<uint8_t>(c);
    }
    if (!in_picture) return false;
  }
  return true;
}

bool Overflows(const std::string& shown) {
  return !shown.empty() && shown.find('#') != std::string::npos &&
         std::all_of(shown.begin(), shown.end(), [](char c) { return c == '#' || c == ' '; });
}

}  // namespace

std::optional<int64_t> WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  size_t i = text.front() == '-' ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    v = v * 10 + (text[i] - '0');
  }
  return text.front() == '-' ? -v : v;
}

bool IsBound(const runtime::AnyRef& use) {
  return use.address != nullptr;
}

std::string RawText(const runtime::AnyRef& use) {
  if (!IsBound(use)) return {};
  std::string text = AccessorOf(use)->GetText();
  if (runtime::ValueClassOf(use.type) == runtime::ValueClass::kString) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  }
  return text;
}

std::string Shown(std::string_view value, const runtime::AnyRef& use, std::string_view picture) {
  if (picture.empty()) return std::string(value);
  const runtime::Picture p = runtime::CompilePicture(picture);
  if (!p.valid || p.kind == PictureKind::kString) {
    std::string s(value);
    if (p.valid && p.length > 0 && s.size() > p.length) s.resize(p.length);
    return s;
  }
  const bool is_string = IsBound(use) &&
                         runtime::ValueClassOf(use.type) == runtime::ValueClass::kString &&
                         p.kind != PictureKind::kPattern && p.kind != PictureKind::kKeyIn;
  std::string shown;
  if (is_string || p.kind == PictureKind::kPattern || p.kind == PictureKind::kKeyIn) {
    shown = runtime::FORMAT(runtime::FormatValue::String(value), p);
  } else if (const auto whole = WholeNumber(value)) {
    shown = runtime::FORMAT(runtime::FormatValue::Integer(*whole), p);
  } else {
    shown = runtime::FORMAT(runtime::FormatValue::Decimal(value.empty() ? "0" : value), p);
  }
  return std::string(Trim(shown));
}

std::optional<std::string> ReadBack(std::string_view typed, std::string_view picture) {
  const runtime::Picture p = runtime::CompilePicture(picture);
  if (picture.empty() || !p.valid || p.kind == PictureKind::kString) {
    std::string s(typed);
    if (p.valid && p.length > 0 && s.size() > p.length) s.resize(p.length);
    return s;
  }
  switch (p.kind) {
    case PictureKind::kNumeric:
    case PictureKind::kScientific: {
      if (IsBlank(typed)) return std::string("0");
      if (!NumberCharacters(typed, p) || !HasDigit(typed)) return std::nullopt;
      std::string value = runtime::DEFORMAT(typed, p);
      if (Overflows(runtime::FORMAT(runtime::FormatValue::Decimal(value), p))) return std::nullopt;
      return value;
    }
    case PictureKind::kDate: {
      // No date: blank, or what the picture shows for none (its separators alone).
      if (IsBlank(typed)) return std::string("0");
      if (!HasDigit(typed)) {
        const std::string none = runtime::FORMAT(runtime::FormatValue::Integer(0), p);
        if (!IsBlank(none) && Trim(typed) == Trim(none)) return std::string("0");
      }
      if (!HasDigit(typed) && p.number != 4 && p.number != 18) return std::nullopt;
      std::string value = runtime::DEFORMAT(typed, p);
      if (value == "0" || value.empty() || value.front() == '-') return std::nullopt;
      // A date reads back only when showing it gives the same day again.
      const std::string again = runtime::FORMAT(runtime::FormatValue::Decimal(value), p);
      if (runtime::DEFORMAT(again, p) != value) return std::nullopt;
      return value;
    }
    case PictureKind::kTime: {
      if (IsBlank(typed)) return std::string("0");
      std::string value = runtime::DEFORMAT(typed, p);
      if (value == "-1" || !HasDigit(typed)) return std::nullopt;
      return value;
    }
    case PictureKind::kPattern:
    case PictureKind::kKeyIn:
    case PictureKind::kString:
      break;
  }
  return runtime::DEFORMAT(typed, p);
}

void Store(const runtime::AnyRef& use, std::string_view value) {
  if (!IsBound(use)) return;
  runtime::Accessor a = AccessorOf(use);
  // Numbers go in as numbers: a date or time variable takes a day number or time value, not a
  // text to be read as a date.
  if (a->Class() != runtime::ValueClass::kString) {
    if (const auto whole = WholeNumber(value)) {
      if (a->Class() == runtime::ValueClass::kInteger && *whole >= INT32_MIN &&
          *whole <= INT32_MAX) {
        a->SetInteger(static_cast<int32_t>(*whole));
      } else {
        a->SetDecimal(runtime::Decimal::FromText(value));
      }
      return;
    }
    if (a->Class() == runtime::ValueClass::kReal) {
      a->SetDecimal(runtime::Decimal::FromText(value));
      return;
    }
  }
  a->SetText(value);
}

bool IsNumericPicture(std::string_view picture) {
  const runtime::Picture p = runtime::CompilePicture(picture);
  return p.valid && (p.kind == PictureKind::kNumeric || p.kind == PictureKind::kScientific);
}

}  // namespace pellucor::ui
