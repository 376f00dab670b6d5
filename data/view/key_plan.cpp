#include "data/view/key_plan.h"

#include <cmath>
#include <cstring>

#include "runtime/core/char_tables.h"
#include "runtime/values/calendar.h"
#include "runtime/values/compare.h"

namespace pellucor::data::view {
namespace {

using runtime::expr::KeyRangeReceiver;
using runtime::expr::Op;
using runtime::expr::Operand;
using runtime::expr::Truth3;

int Sign(runtime::Order o) {
  return runtime::OrderSign(o);
}

int CompareText(const KeyComponent& c, std::string_view a, std::string_view b) {
  return Sign(c.nocase ? runtime::CompareStringsNoCase(a, b) : runtime::CompareStrings(a, b));
}

std::string_view FieldText(const KeyComponent& c) {
  return {reinterpret_cast<const char*>(c.address), c.field->size};
}

// The character that sorts lowest (highest) in a component's order, for filling the rest of a
// text after a prefix.
uint8_t ExtremeChar(const KeyComponent& c, bool highest) {
  const runtime::CharTables& t = runtime::CurrentCharTables();
  int best = 0;
  for (int ch = 0; ch < 256; ++ch) {
    const int u = c.nocase ? t.upper[static_cast<size_t>(ch)] : ch;
    const int b = c.nocase ? t.upper[static_cast<size_t>(best)] : best;
    const int cu = t.collation[static_cast<size_t>(u)];
    const int cb = t.collation[static_cast<size_t>(b)];
    if (highest ? cu > cb : cu < cb) best = ch;
  }
  return static_cast<uint8_t>(best);
}

// The character the key-range analysis fills a prefix's upper end with.
char AnalysisHighest() {
  const runtime::CharTables& t = runtime::CurrentCharTables();
  int highest = 0;
  for (int ch = 0; ch < 256; ++ch)
    if (t.collation[static_cast<size_t>(ch)] >= t.collation[static_cast<size_t>(highest)])
      highest = ch;
  return static_cast<char>(highest);
}

class Collector : public KeyRangeReceiver {
 public:
  Collector(const std::vector<KeyComponent>& components, const std::vector<AddressRange>& in_view)
      : components_(components), in_view_(in_view) {}
  int ComponentOf(const void* address) const override {
    for (size_t i = 0; i < components_.size(); ++i)
      if (components_[i].address == address) return static_cast<int>(i);
    const auto* p = static_cast<const uint8_t*>(address);
    for (const AddressRange& r : in_view_)
      if (p >= r.begin && p < r.end) return runtime::expr::kOtherField;
    return runtime::expr::kNotInRecord;
  }
  void Bound(Op op, const Operand& operand) override { bounds.emplace_back(op, operand); }
  std::vector<std::pair<Op, Operand>> bounds;

 private:
  const std::vector<KeyComponent>& components_;
  const std::vector<AddressRange>& in_view_;
};

// Keeps the tighter of two bounds: the higher low bound or the lower high bound.
void Tighten(const KeyComponent& c, BoundValue* current, BoundValue next, bool low) {
  if (!current->present) {
    *current = std::move(next);
    return;
  }
  const int cmp = CompareValues(c, next, *current);
  if ((low && cmp > 0) || (!low && cmp < 0) || (cmp == 0 && next.exclusive)) {
    *current = std::move(next);
  }
}

BoundValue TextBound(std::string text, bool exclusive) {
  BoundValue v;
  v.present = true;
  v.exclusive = exclusive;
  v.text = std::move(text);
  return v;
}

BoundValue RealBound(double real, bool exclusive) {
  BoundValue v;
  v.present = true;
  v.exclusive = exclusive;
  v.real = real;
  return v;
}

void WriteValue(const KeyComponent& c, const BoundValue& v, uint8_t fill) {
  if (c.text) {
    const size_t n = std::min<size_t>(v.text.size(), c.field->size);
    std::memcpy(c.address, v.text.data(), n);
    std::memset(c.address + n, fill, c.field->size - n);
    return;
  }
  runtime::ValueAccessor& a = **c.accessor;
  if (runtime::ValueClassOf(c.field->type) == runtime::ValueClass::kInteger) {
    double x = std::clamp(v.real, -2147483648.0, 2147483647.0);
    // A day number before the first date cannot be stored (it would read back as no date, 0);
    // the first storable date starts the same range.
    if (c.field->type == runtime::TypeCode::kDate && x > 0) {
      x = std::clamp(x, double{runtime::kFirstDayNumber}, double{runtime::kLastDayNumber});
    }
    a.SetInteger(static_cast<int32_t>(x));
  } else {
    a.SetReal(v.real);
  }
}

// Combines the bounds reported for component `i` into low and high. Returns false when nothing
// bounds it.
bool CombineBounds(const KeyComponent& c, const std::vector<std::pair<Op, Operand>>& bounds,
                   BoundValue* low, BoundValue* high) {
  const bool integer =
      !c.text && runtime::ValueClassOf(c.field->type) == runtime::ValueClass::kInteger;
  const char analysis_highest = AnalysisHighest();
  for (size_t b = 0; b < bounds.size(); ++b) {
    const Op op = bounds[b].first;
    const Operand& operand = bounds[b].second;
    if (c.text) {
      std::string t = operand.Text();
      // A prefix test arrives as ">= text" and "<= text followed by the highest character up
      // to the field's width".
      if (op == Op::kGreaterEqual && b + 1 < bounds.size() &&
          bounds[b + 1].first == Op::kLessEqual) {
        const std::string h = bounds[b + 1].second.Text();
        if (h.size() >= c.field->size && h.size() > t.size() && h.compare(0, t.size(), t) == 0 &&
            h.find_first_not_of(analysis_highest, t.size()) == std::string::npos) {
          std::string lo = t, hi = t;
          lo.resize(std::max<size_t>(c.field->size, t.size()),
                    static_cast<char>(ExtremeChar(c, false)));
          hi.resize(std::max<size_t>(c.field->size, t.size()),
                    static_cast<char>(ExtremeChar(c, true)));
          Tighten(c, low, TextBound(std::move(lo), false), true);
          Tighten(c, high, TextBound(std::move(hi), false), false);
          ++b;
          continue;
        }
      }
      if (c.nocase && op != Op::kEqual) continue;
      switch (op) {
        case Op::kEqual:
          Tighten(c, low, TextBound(t, false), true);
          Tighten(c, high, TextBound(std::move(t), false), false);
          break;
        case Op::kGreater:
        case Op::kGreaterEqual:
          Tighten(c, low, TextBound(std::move(t), op == Op::kGreater), true);
          break;
        case Op::kLess:
        case Op::kLessEqual:
          Tighten(c, high, TextBound(std::move(t), op == Op::kLess), false);
          break;
        default:
          break;
      }
      continue;
    }
    const double v = operand.Real();
    if (!std::isfinite(v)) continue;
    // Whole-number fields take exclusive bounds as the next whole number inside them, so the
    // scan does not read the records that sit exactly on the bound.
    switch (op) {
      case Op::kEqual:
        if (integer) {
          Tighten(c, low, RealBound(std::ceil(v), false), true);
          Tighten(c, high, RealBound(std::floor(v), false), false);
        } else {
          Tighten(c, low, RealBound(v, false), true);
          Tighten(c, high, RealBound(v, false), false);
        }
        break;
      case Op::kGreater:
        Tighten(c, low, integer ? RealBound(std::floor(v) + 1, false) : RealBound(v, true), true);
        break;
      case Op::kGreaterEqual:
        Tighten(c, low, RealBound(integer ? std::ceil(v) : v, false), true);
        break;
      case Op::kLess:
        Tighten(c, high, integer ? RealBound(std::ceil(v) - 1, false) : RealBound(v, true), false);
        break;
      case Op::kLessEqual:
        Tighten(c, high, RealBound(integer ? std::floor(v) : v, false), false);
        break;
      default:
        break;
    }
  }
  return low->present || high->present;
}

}  // namespace

int CompareValues(const KeyComponent& c, const BoundValue& a, const BoundValue& b) {
  if (c.text) return CompareText(c, a.text, b.text);
  return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
}

int CompareField(const KeyComponent& c, const BoundValue& v) {
  if (c.text) return CompareText(c, FieldText(c), v.text);
  const double x = (*c.accessor)->GetReal();
  return x < v.real ? -1 : (x > v.real ? 1 : 0);
}

std::vector<KeyComponent> BindKeyComponents(const KeyDecl& key, const RecordLayout& layout,
                                            uint8_t* record) {
  std::vector<KeyComponent> out;
  for (int32_t number : key.components) {
    const auto index = static_cast<size_t>(number < 0 ? -number : number);
    if (index == 0 || index > layout.fields.size()) continue;
    const FieldInfo& f = layout.fields[index - 1];
    KeyComponent c;
    c.field = &f;
    c.address = record + f.offset;
    c.descending = number < 0;
    c.text = runtime::IsTextType(f.type) || f.type == runtime::TypeCode::kGroup;
    c.nocase = c.text && (key.flags & key_flag::kNoCase) != 0;
    c.accessor.emplace(runtime::AccessorFactory(f.type, c.address, f.size, f.places));
    out.push_back(std::move(c));
  }
  return out;
}

KeyPlan PlanKey(const runtime::expr::Expression* filter, const KeyDecl& key,
                const RecordLayout& layout, uint8_t* record,
                const std::vector<AddressRange>& in_view) {
  KeyPlan plan;
  plan.key = &key;
  plan.components = BindKeyComponents(key, layout, record);
  for (size_t i = 0; i < plan.components.size(); ++i) {
    const KeyComponent& c = plan.components[i];
    Collector collector(plan.components, in_view);
    const Truth3 truth = runtime::expr::KeyRangeAnalysis(filter, collector, static_cast<int>(i));
    if (i == 0) plan.truth = truth;
    if (!filter) break;
    BoundValue low, high;
    if (!CombineBounds(c, collector.bounds, &low, &high)) break;
    const bool single = low.present && high.present && !low.exclusive && !high.exclusive &&
                        CompareValues(c, low, high) == 0;
    plan.low.push_back(low);
    plan.high.push_back(high);
    ++plan.bounded;
    if (!single) break;
    ++plan.single_values;
    // A later component's operand may name this one: it holds this value all through the range.
    WriteValue(c, low, ' ');
  }
  return plan;
}

runtime::expr::Truth3 FilterTruth(const runtime::expr::Expression* filter,
                                  const std::vector<AddressRange>& in_view) {
  const std::vector<KeyComponent> none;
  Collector collector(none, in_view);
  return runtime::expr::KeyRangeAnalysis(filter, collector, 0);
}

bool KeyPlan::ExcludesEmpty() const {
  for (int i = 0; i < bounded; ++i) {
    const KeyComponent& c = components[static_cast<size_t>(i)];
    BoundValue empty;
    empty.present = true;
    if (c.text) empty.text = "";
    const BoundValue& lo = low[static_cast<size_t>(i)];
    const BoundValue& hi = high[static_cast<size_t>(i)];
    if (lo.present) {
      const int cmp = CompareValues(c, empty, lo);
      if (cmp < 0 || (cmp == 0 && lo.exclusive)) return true;
    }
    if (hi.present) {
      const int cmp = CompareValues(c, empty, hi);
      if (cmp > 0 || (cmp == 0 && hi.exclusive)) return true;
    }
  }
  return false;
}

// In key order a descending component is turned round: its value-order high bound is where the
// key's range starts.
bool KeyPlan::BeforeStart(ScanDirection d) const {
  for (int i = 0; i < bounded; ++i) {
    const KeyComponent& c = components[static_cast<size_t>(i)];
    const bool key_low_is_value_low = c.descending == (d == ScanDirection::kBackward);
    const BoundValue& b =
        key_low_is_value_low ? low[static_cast<size_t>(i)] : high[static_cast<size_t>(i)];
    if (!b.present) return false;
    int cmp = CompareField(c, b);
    if (!key_low_is_value_low) cmp = -cmp;
    if (cmp < 0) return true;
    if (cmp > 0) return false;
    if (i == bounded - 1) return b.exclusive;
  }
  return false;
}

bool KeyPlan::PastEnd(ScanDirection d) const {
  for (int i = 0; i < bounded; ++i) {
    const KeyComponent& c = components[static_cast<size_t>(i)];
    const bool key_high_is_value_high = c.descending == (d == ScanDirection::kBackward);
    const BoundValue& b =
        key_high_is_value_high ? high[static_cast<size_t>(i)] : low[static_cast<size_t>(i)];
    if (!b.present) return false;
    int cmp = CompareField(c, b);
    if (!key_high_is_value_high) cmp = -cmp;
    if (cmp > 0) return true;
    if (cmp < 0) return false;
    if (i == bounded - 1) return b.exclusive;
  }
  return false;
}

void KeyPlan::FillStart(ScanDirection d) const {
  for (size_t i = 0; i < components.size(); ++i) {
    const KeyComponent& c = components[i];
    // Reading forwards an ascending component starts at its low end; reading backwards, or a
    // descending component, at its high end.
    const bool from_value_low = c.descending == (d == ScanDirection::kBackward);
    if (static_cast<int>(i) < bounded) {
      const BoundValue& b = from_value_low ? low[i] : high[i];
      if (b.present) {
        WriteValue(c, b, ExtremeChar(c, !from_value_low));
        continue;
      }
    }
    runtime::ValueAccessor& a = **c.accessor;
    runtime::ClearValue(
        a, from_value_low ? runtime::ClearMode::kLowest : runtime::ClearMode::kHighest);
  }
}

}  // namespace pellucor::data::view
