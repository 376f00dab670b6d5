#include "data/view/entry_filter.h"

#include "runtime/expr/eval.h"
#include "runtime/expr/node.h"

namespace pellucor::data::view {
namespace {

using runtime::expr::Op;
using runtime::expr::detail::Node;
using runtime::expr::detail::NodeKind;

class Analysis {
 public:
  Analysis(const std::vector<KeyComponent>& components, const std::vector<AddressRange>& in_view)
      : components_(components), in_view_(in_view) {}

  // Whether `n` can be evaluated on the fields an entry fills; *names_key is set when it reads
  // one of them.
  bool Decidable(const Node& n, bool under_upper, bool* names_key) const {
    switch (n.kind) {
      case NodeKind::kConstant:
      case NodeKind::kPicture:
        return true;
      case NodeKind::kVariable: {
        const auto* address = static_cast<const uint8_t*>(n.variable->address);
        for (const KeyComponent& c : components_) {
          if (c.address != address) continue;
          if (n.variable->size != c.field->size || n.variable->type != c.field->type) return false;
          if (c.nocase && !under_upper) return false;
          *names_key = true;
          return true;
        }
        for (const AddressRange& r : in_view_) {
          if (address + n.variable->size > r.begin && address < r.end) return false;
        }
        return true;  // a program variable: the same for every entry
      }
      case NodeKind::kFunction: {
        namespace b = runtime::expr::detail;
        if (n.function == b::kProcedure || n.function == b::kRandom || n.function == b::kMemory ||
            n.function == b::kGetini) {
          return false;
        }
        const bool upper = n.function == b::kUpper;
        for (const auto& a : n.args) {
          if (!a) continue;
          const bool direct = upper && a->kind == NodeKind::kVariable;
          if (!Decidable(*a, direct, names_key)) return false;
        }
        return true;
      }
      case NodeKind::kOperator:
        for (const auto& a : n.args) {
          if (a && !Decidable(*a, false, names_key)) return false;
        }
        return true;
    }
    return false;
  }

  void Terms(const Node& n, std::vector<const Node*>* out) const {
    if (n.kind == NodeKind::kOperator && n.op == Op::kAnd && n.args.size() == 2 && n.args[0] &&
        n.args[1]) {
      Terms(*n.args[0], out);
      Terms(*n.args[1], out);
      return;
    }
    bool names_key = false;
    if (Decidable(n, false, &names_key) && names_key) out->push_back(&n);
  }

 private:
  const std::vector<KeyComponent>& components_;
  const std::vector<AddressRange>& in_view_;
};

}  // namespace

std::unique_ptr<EntryFilter> EntryFilter::Make(const runtime::expr::Expression* filter,
                                               const std::vector<KeyComponent>& components,
                                               const std::vector<AddressRange>& in_view) {
  if (!filter) return nullptr;
  auto f = std::unique_ptr<EntryFilter>(new EntryFilter());
  Analysis(components, in_view).Terms(filter->Root(), &f->terms_);
  if (f->terms_.empty()) return nullptr;
  const EntryFilter* self = f.get();
  f->test_.accept = [self] {
    for (const Node* t : self->terms_) {
      if (!runtime::expr::detail::EvalTruth(*t)) return false;
    }
    return true;
  };
  return f;
}

}  // namespace pellucor::data::view
