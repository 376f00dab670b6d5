// Dynamic indexes: BUILDdyn and BUILDdynfilter, and key sequences through them.
//
// Component text: field labels separated by commas, each with an optional leading '+'
// (ascending, the default) or '-' (descending), e.g. "-SNO:TOPIC,+SNO:NOTEDATE". A label may be
// given with or without the declaration's prefix and is compared without regard to case. An
// empty text takes the components set with SETPROPERTYkey "COMPONENTS", else the key's declared
// components. Entries are ordered by the components and then by record number, so records with
// equal values come in record-number order.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "data/kestrune_driver/entry_prefix.h"
#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "runtime/core/error_state.h"
#include "runtime/expr/expression.h"
#include "runtime/locale/ascii_case.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;
namespace expr = runtime::expr;

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

// The field index (from 0) of a label, or -1.
int FieldOfLabel(const FileBlock& block, std::string_view label) {
  const auto& fields = block.layout.fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string& full = fields[i].label;
    const size_t colon = full.find(':');
    const std::string_view bare = colon == std::string::npos
                                      ? std::string_view(full)
                                      : std::string_view(full).substr(colon + 1);
    if (runtime::EqualsIgnoringAsciiCase(full, label) ||
        runtime::EqualsIgnoringAsciiCase(bare, label))
      return static_cast<int>(i);
  }
  return -1;
}

bool ParseComponents(const FileBlock& block, std::string_view text,
                     std::vector<kestrune::KeyComponent>* out) {
  out->clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    std::string item =
        Trim(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    kestrune::KeyComponent c;
    if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
      if (item[0] == '-') c.order = kestrune::SortOrder::kDescending;
      item = Trim(std::string_view(item).substr(1));
    }
    const int field = FieldOfLabel(block, item);
    if (item.empty() || field < 0) return false;
    c.field_index = static_cast<uint16_t>(field);
    out->push_back(c);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return !out->empty();
}

// The fields bound by their labels in a scope of their own, for the filter's lifetime.
class FilterScope {
 public:
  explicit FilterScope(const FileBlock& block) {
    expr::PUSHSCOPE();
    for (const FieldInfo& f : block.layout.fields) {
      if (f.label.empty()) continue;
      expr::BIND(f.label, f.type, block.record + f.offset, f.size, f.places);
    }
  }
  ~FilterScope() { expr::POPSCOPE(); }
  FilterScope(const FilterScope&) = delete;
  FilterScope& operator=(const FilterScope&) = delete;
};

int32_t Build(FileBlock& block, OpenTable& t, DynamicIndex& index, const expr::Expression* filter) {
  pagefile::PageFile& pf = *t.file->pf;
  Bytes data_prefix;
  kestrune::KindPrefix(t.table, kestrune::kKindData, &data_prefix);
  // The filter reads the record buffer: the caller's record is put back afterwards.
  const Bytes saved(block.record, block.record + block.record_length);
  Bytes record(block.record_length);
  pagefile::Cursor c(&pf);
  for (bool ok = c.Seek(data_prefix, pagefile::SeekBias::kAtOrAfter);
       ok && HasPrefix(c.key(), data_prefix); ok = c.Next()) {
    const kestrune::RecordNumber number = kestrune::ParseKey(c.key()).record;
    std::fill(record.begin(), record.end(), 0);
    std::copy_n(c.data().begin(), std::min<size_t>(c.data().size(), record.size()), record.begin());
    ToProgramForm(t, block, record);
    if (filter) {
      std::copy(record.begin(), record.end(), block.record);
      const bool keep = expr::EvaluateBoolean(*filter);
      if (!keep) continue;
    }
    Bytes value;
    if (kestrune::BuildKeyValue(index.context, 0, record, number, &value) ==
        kestrune::KeyBuild::kOmitted) {
      continue;
    }
    index.entries.emplace_back(std::move(value), number);
  }
  std::copy(saved.begin(), saved.end(), block.record);
  std::sort(index.entries.begin(), index.entries.end());
  return 0;
}

bool IsDynamic(const FileBlock& block, const OpenTable& t, const KeyDecl* key) {
  return key != nullptr && DefinitionKeyOf(block, t, key) < 0 && key->MustBeBuilt();
}

}  // namespace

const DynamicIndex* DynamicIndexOf(const OpenTable& t, const KeyDecl* key) {
  for (const auto& d : t.dynamic) {
    if (d->key == key) return d.get();
  }
  return nullptr;
}

OpResult BuildDynamicOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args) {
  if (args.key == nullptr || !args.key->MustBeBuilt()) return OpResult::Fail(err::kInvalidKeyFile);
  auto index = std::make_unique<DynamicIndex>();
  index->key = args.key;
  std::string text = Trim(args.text);
  if (text.empty()) {
    for (const auto& [key, components] : t.dynamic_defaults) {
      if (key == args.key) text = components;
    }
  }
  std::vector<kestrune::KeyComponent> components;
  if (!text.empty()) {
    if (!ParseComponents(block, text, &components)) return OpResult::Fail(err::kInvalidIndexString);
  } else {
    for (int32_t number : args.key->components) {
      auto c = kestrune::ComponentFromFieldNumber(number);
      if (!c || c->field_index >= block.layout.fields.size()) {
        return OpResult::Fail(err::kInvalidIndexString);
      }
      components.push_back(*c);
    }
    if (components.empty()) return OpResult::Fail(err::kInvalidIndexString);
  }
  index->components = text;
  index->definition = t.definition;
  kestrune::KeyDef def;
  def.label = args.key->label;
  // Duplicates are always allowed: the record number orders equal values.
  def.flags = (args.key->flags & (kestrune::kKeyNoCase | kestrune::kKeyOpt)) | kestrune::kKeyDup;
  def.components = std::move(components);
  index->definition.keys.assign(1, std::move(def));
  if (!kestrune::CheckDefinition(index->definition).empty()) {
    return OpResult::Fail(err::kInvalidIndexString);
  }
  index->context = t.key_context;
  index->context.definition = &index->definition;

  std::unique_ptr<expr::Expression> filter;
  std::optional<FilterScope> scope;
  if (op == Op::kBUILDdynfilter) {
    scope.emplace(block);
    runtime::ClearError();
    filter = expr::CompileExpression(args.value);
    if (!filter) {
      const int32_t e = runtime::ErrorCode();
      return OpResult::Fail(e != 0 ? e : expr::err::kInvalidEvaluate);
    }
  }
  if (const int32_t e = Build(block, t, *index, filter.get()); e != 0) return OpResult::Fail(e);
  if (t.dynamic_sequence && t.dynamic_sequence->key == args.key) t.dynamic_sequence = nullptr;
  std::erase_if(t.dynamic, [&](const auto& d) { return d->key == args.key; });
  t.dynamic.push_back(std::move(index));
  return {};
}

bool DynamicSequenceOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args, OpResult* out) {
  *out = {};
  switch (op) {
    case Op::kSETkey:
    case Op::kSETkeykey: {
      if (!IsDynamic(block, t, args.key)) {
        t.dynamic_sequence = nullptr;
        return false;
      }
      const DynamicIndex* d = DynamicIndexOf(t, args.key);
      if (!d) {
        *out = OpResult::Fail(err::kKeyMustBeRebuilt);
        return true;
      }
      t.dynamic_sequence = d;
      t.sequence = SequenceKind::kNone;
      t.dynamic_forward = 0;
      t.dynamic_backward = d->entries.size();
      if (op == Op::kSETkeykey) {
        Bytes low, high;
        const std::span<const uint8_t> record{block.record, block.record_length};
        (void)kestrune::BuildKeyValue(d->context, 0, record, 0, &low);
        (void)kestrune::BuildKeyValue(d->context, 0, record, 0xFFFFFFFFu, &high);
        auto by_value = [](const auto& entry, const Bytes& v) { return entry.first < v; };
        t.dynamic_forward = static_cast<size_t>(
            std::lower_bound(d->entries.begin(), d->entries.end(), low, by_value) -
            d->entries.begin());
        t.dynamic_backward = static_cast<size_t>(
            std::lower_bound(d->entries.begin(), d->entries.end(), high, by_value) -
            d->entries.begin());
      }
      return true;
    }
    case Op::kNEXT:
    case Op::kPREVIOUS: {
      const DynamicIndex* d = t.dynamic_sequence;
      if (!d) return false;
      const bool forward = op == Op::kNEXT;
      for (;;) {
        if (forward ? t.dynamic_forward >= d->entries.size() : t.dynamic_backward == 0) {
          ReleaseHold(t);
          t.current = 0;
          t.dynamic_sequence = nullptr;
          *out = OpResult::Fail(err::kRecordNotAvailable);
          return true;
        }
        const size_t i = forward ? t.dynamic_forward : t.dynamic_backward - 1;
        t.dynamic_forward = i + 1;
        t.dynamic_backward = i;
        const int32_t e = ReadRecord(block, t, d->entries[i].second);
        if (e == err::kRecordNotFound) continue;  // deleted since the build
        *out = OpResult::Fail(e);
        return true;
      }
    }
    default:
      break;
  }
  // Any other sequence start leaves the dynamic sequence.
  switch (op) {
    case Op::kSETfile:
    case Op::kSETfileptr:
    case Op::kSETfilekey:
    case Op::kSETkeyptr:
    case Op::kSETkeykeyptr:
    case Op::kRESETfile:
    case Op::kRESETkey:
      t.dynamic_sequence = nullptr;
      break;
    default:
      break;
  }
  return false;
}

}  // namespace pellucor::data::kdriver
