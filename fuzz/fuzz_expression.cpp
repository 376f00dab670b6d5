// Compiles arbitrary expression texts, evaluates the trees in every class, prints them as
// SQL-like text, recompiles that text, and runs the key-range analysis. Nothing may crash, and
// deep nesting must fail to compile rather than exhaust the stack.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/expr/expression.h"

namespace {

using namespace pellucor::runtime;
using namespace pellucor::runtime::expr;

struct Fields {
  char topic[20];
  char done[1];
  unsigned char date[4];
  int32_t count;
  double real;
  char cstr[8];
};

Fields& BoundFields() {
  static Fields f;
  static const bool bound = [] {
    std::memcpy(f.topic, "Meeting notes       ", sizeof f.topic);
    f.done[0] = 'N';
    std::memset(f.date, 0, sizeof f.date);
    f.date[0] = 31;
    f.date[1] = 10;
    f.date[2] = 0xA7;  // 1959
    f.date[3] = 0x07;
    f.count = 7;
    f.real = 2.5;
    std::memcpy(f.cstr, "abc", 4);
    BIND("sno:topic", TypeCode::kString, f.topic, sizeof f.topic);
    BIND("sno:done", TypeCode::kString, f.done, 1);
    BIND("sno:notedate", TypeCode::kDate, f.date, 4);
    BIND("count", TypeCode::kLong, &f.count, 4);
    BIND("r", TypeCode::kReal, &f.real, 8);
    BIND("c", TypeCode::kCString, f.cstr, 8);
    BIND(
        "proc",
        [](std::span<const Value> args) {
          return Value::Integer(static_cast<int32_t>(args.size()));
        },
        3, ValueClass::kInteger);
    return true;
  }();
  (void)bound;
  return f;
}

class AnyKey : public KeyRangeReceiver {
 public:
  int ComponentOf(const void* address) const override {
    const Fields& f = BoundFields();
    if (address == f.done) return 0;
    if (address == f.date) return 1;
    if (address == f.topic) return 2;
    return kNotInRecord;
  }
  void Bound(Op, const Operand& operand) override {
    (void)operand.Text();
    (void)operand.Integer();
  }
};

void Exercise(const Expression& tree) {
  (void)EvaluateBoolean(tree);
  (void)EvaluateInteger(tree);
  (void)EvaluateReal(tree);
  (void)EvaluateString(tree);
  AnyKey key;
  for (int c = 0; c < 3; ++c) (void)KeyRangeAnalysis(&tree, key, c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool hooked = [] {
    SetHaltHook(HaltHookThrows());
    return true;
  }();
  (void)hooked;
  BoundFields();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    auto tree = CompileExpression(text);
    if (tree) {
      Exercise(*tree);
      const std::string sql = SqlText(*tree, SqlPrinter());
      (void)SqlText(*tree, SqlPrinter(), SqlForm::kSortList);
      // The printed text is not always a text of the language (LIKE, IS NULL); whatever of it
      // compiles must evaluate as soundly as the original.
      if (auto again = CompileExpression(sql)) Exercise(*again);
    }
    (void)EVALUATE(text);
  } catch (const HaltException&) {
    // A fatal stop the runtime reached in an orderly way (none is expected here).
  }
  ClearError();
  return 0;
}
