// Key-range analysis on the filters the program uses: the browse's tab filters over the notes
// keys, the query form's terms, prefix tests, and the three-valued result.
#include <map>
#include <vector>

#include "runtime/values/calendar.h"
#include "tests/runtime/expr/expr_test_util.h"
#include "tests/runtime/expr/note_record.h"

namespace pellucor::runtime::expr::testing {
namespace {

struct Recorded {
  Op op;
  ValueClass cls;
  std::string text;
  double real;
};

// A key described by the addresses of its component fields; every other field of the record
// is kOtherField, anything else a program variable.
class KeyReceiver : public KeyRangeReceiver {
 public:
  KeyReceiver(NoteRecord& rec, std::vector<const void*> key) : rec_(rec), key_(std::move(key)) {}
  int ComponentOf(const void* address) const override {
    for (size_t i = 0; i < key_.size(); ++i)
      if (key_[i] == address) return static_cast<int>(i);
    const auto* p = static_cast<const unsigned char*>(address);
    const auto* base = reinterpret_cast<const unsigned char*>(&rec_);
    if (p >= base && p < base + sizeof rec_) return kOtherField;
    return kNotInRecord;
  }
  void Bound(Op op, const Operand& operand) override {
    bounds.push_back({op, operand.Class(), operand.Text(), operand.Real()});
  }
  bool IgnoresCase(int) const override { return nocase; }
  std::vector<Recorded> bounds;
  bool nocase = false;

 private:
  NoteRecord& rec_;
  std::vector<const void*> key_;
};

class KeyRangeTest : public ExprTest {
 protected:
  void SetUp() override {
    ExprTest::SetUp();
    rec.Bind();
  }
  // Bounds on component `c` of `key` that `text` sets, and the three-valued result.
  std::vector<Recorded> Analyse(const char* text, std::vector<const void*> key, int c,
                                Truth3* truth = nullptr, bool nocase = false) {
    auto tree = Compile(text);
    EXPECT_TRUE(tree) << text;
    KeyReceiver receiver(rec, std::move(key));
    receiver.nocase = nocase;
    const Truth3 t = KeyRangeAnalysis(tree.get(), receiver, c);
    if (truth) *truth = t;
    return receiver.bounds;
  }
  std::vector<const void*> Snot() { return {rec.reminder, rec.reminderdate, rec.topic}; }
  std::vector<const void*> Donyet() { return {rec.done, rec.reminderdate}; }
  std::vector<const void*> Allnotes() { return {rec.notedate}; }
  NoteRecord rec;
};

TEST_F(KeyRangeTest, TabFiltersOverTheirKeys) {
  Truth3 truth;
  auto b = Analyse(kNotesOnly, Donyet(), 0, &truth);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].op, Op::kEqual);
  EXPECT_EQ(b[0].text, "N");
  EXPECT_EQ(truth, Truth3::kDepends);
  b = Analyse(kNotesOnly, Donyet(), 1);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].op, Op::kEqual);
  EXPECT_EQ(b[0].real, 0);  // '' as a date is 0

  // Current reminders: two bounds on the reminder date, after the done flag.
  b = Analyse(kCurrentReminders, Donyet(), 1);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].op, Op::kLessEqual);
  EXPECT_EQ(b[0].real, TODAY() + 3);
  EXPECT_EQ(b[1].op, Op::kGreater);
  EXPECT_EQ(b[1].real, 0);
  b = Analyse(kCurrentReminders, Donyet(), 0);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].text, "N");
  EXPECT_TRUE(Analyse(kCurrentReminders, Allnotes(), 0).empty());

  b = Analyse(kDoneItems, Donyet(), 0);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].text, "Y");
  EXPECT_TRUE(Analyse(kDoneItems, Snot(), 0).empty());

  // "Everything" has no filter.
  KeyReceiver receiver(rec, Snot());
  EXPECT_EQ(KeyRangeAnalysis(nullptr, receiver, 0), Truth3::kDepends);
  EXPECT_TRUE(receiver.bounds.empty());
}

TEST_F(KeyRangeTest, ComponentOnTheRightMirrorsTheOperator) {
  struct Case {
    const char* text;
    Op op;
  } cases[] = {{"3 < sno:notedate", Op::kGreater},
               {"3 > sno:notedate", Op::kLess},
               {"3 <= sno:notedate", Op::kGreaterEqual},
               {"3 >= sno:notedate", Op::kLessEqual},
               {"3 = sno:notedate", Op::kEqual},
               {"3 ~< sno:notedate", Op::kLessEqual}};  // 3 >= notedate
  for (const Case& c : cases) {
    auto b = Analyse(c.text, Allnotes(), 0);
    ASSERT_EQ(b.size(), 1u) << c.text;
    EXPECT_EQ(b[0].op, c.op) << c.text;
    EXPECT_EQ(b[0].real, 3) << c.text;
  }
}

TEST_F(KeyRangeTest, OnlyAndPassesBoundsOn) {
  EXPECT_TRUE(Analyse("sno:done = 'N' OR sno:done = 'Y'", Donyet(), 0).empty());
  EXPECT_TRUE(Analyse("NOT sno:done = 'N'", Donyet(), 0).empty());
  EXPECT_TRUE(Analyse("sno:done <> 'N'", Donyet(), 0).empty());
  EXPECT_TRUE(Analyse("sno:done = 'N' XOR 1", Donyet(), 0).empty());
  EXPECT_EQ(Analyse("(sno:done >= 'A' AND sno:done <= 'M') AND 1 = 1", Donyet(), 0).size(), 2u);
}

TEST_F(KeyRangeTest, OperandsMustNotDependOnTheComponentOrLater) {
  // The same component, a later one, another field of the record, a value that changes by
  // itself: none bounds a scan.
  EXPECT_TRUE(Analyse("sno:notedate = sno:notedate + 1", Allnotes(), 0).empty());
  EXPECT_TRUE(Analyse("sno:reminder = sno:topic", Snot(), 0).empty());
  EXPECT_TRUE(Analyse("sno:reminder = sno:done", Snot(), 0).empty());
  EXPECT_TRUE(Analyse("sno:notedate = RANDOM(1,5)", Allnotes(), 0).empty());
  // An earlier component and a program variable may.
  EXPECT_EQ(Analyse("sno:topic = sno:reminder", Snot(), 2).size(), 1u);
  int32_t limit = 77;
  BIND("limit", TypeCode::kLong, &limit, 4);
  auto b = Analyse("sno:notedate < limit", Allnotes(), 0);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].real, 77);
  // A text component is ordered as text: a numeric operand does not bound it.
  EXPECT_TRUE(Analyse("sno:done = 5", Donyet(), 0).empty());
  EXPECT_EQ(Analyse("sno:done = '5'", Donyet(), 0).size(), 1u);
}

TEST_F(KeyRangeTest, PrefixTestBoundsTheField) {
  auto b = Analyse("SUB(sno:topic,1,3) = 'abc'", Snot(), 2);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].op, Op::kGreaterEqual);
  EXPECT_EQ(b[0].text, "abc");
  EXPECT_EQ(b[1].op, Op::kLessEqual);
  EXPECT_EQ(b[1].text, "abc" + std::string(57, '\xff'));
  // Exactly the topics the prefix test admits lie within the two bounds.
  std::string low = b[0].text;
  std::string high = b[1].text;
  BIND("low", TypeCode::kString, low.data(), static_cast<uint32_t>(low.size()));
  BIND("high", TypeCode::kString, high.data(), static_cast<uint32_t>(high.size()));
  auto prefix = Compile("SUB(sno:topic,1,3) = 'abc'");
  auto within = Compile("sno:topic >= low AND sno:topic <= high");
  ASSERT_TRUE(prefix && within);
  for (const char* topic : {"abc", "abcd", "abc\xff\xff", "abczzz", "abb", "abd", "ab", "b"}) {
    rec.Set(topic, 'N', 0, 0, 'N');
    EXPECT_EQ(EvaluateBoolean(*prefix), EvaluateBoolean(*within)) << topic;
  }
  EXPECT_TRUE(Analyse("SUB(sno:topic,1,2) = 'abc'", Snot(), 2).empty());
  EXPECT_TRUE(Analyse("SUB(sno:topic,2,3) = 'abc'", Snot(), 2).empty());
  EXPECT_TRUE(Analyse("SUB(sno:topic,1,3) <> 'abc'", Snot(), 2).empty());
  // The query form's "Begins" and "Contains" terms.
  EXPECT_EQ(Analyse("SUB(sno:topic,1,4) = 'meet' AND (sno:done = 'N')", Snot(), 2).size(), 2u);
  b = Analyse("INSTRING('MEET',UPPER(sno:topic),1,1) <> 0 AND (sno:done = 'N')", Donyet(), 0);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].text, "N");
}

TEST_F(KeyRangeTest, UpperOfAFieldBoundsACaseInsensitiveKey) {
  const char* upper_eq = "(UPPER(sno:topic) = 'MEET')";
  const char* upper_begins = "SUB(UPPER(sno:topic),1,4) = 'MEET'";
  EXPECT_TRUE(Analyse(upper_eq, Snot(), 2).empty());
  EXPECT_TRUE(Analyse(upper_begins, Snot(), 2).empty());
  auto b = Analyse(upper_eq, Snot(), 2, nullptr, true);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].text, "MEET");
  b = Analyse(upper_begins, Snot(), 2, nullptr, true);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[1].text.size(), 60u);
  EXPECT_TRUE(Analyse("LOWER(sno:topic) = 'meet'", Snot(), 2, nullptr, true).empty());
}

TEST_F(KeyRangeTest, ThreeValuedResult) {
  struct Case {
    const char* text;
    Truth3 expect;
  } cases[] = {
      {"1 = 1", Truth3::kAlwaysTrue},
      {"1 = 2", Truth3::kAlwaysFalse},
      {"1 = 2 AND sno:done = 'N'", Truth3::kAlwaysFalse},
      {"1 = 1 AND sno:done = 'N'", Truth3::kDepends},
      {"1 = 1 AND 2 = 2", Truth3::kAlwaysTrue},
      {"1 = 1 OR sno:done = 'N'", Truth3::kAlwaysTrue},
      {"1 = 2 OR sno:done = 'N'", Truth3::kDepends},
      {"1 = 2 OR 3 = 4", Truth3::kAlwaysFalse},
      {"NOT (1 = 2)", Truth3::kAlwaysTrue},
      {"NOT (1 = 1)", Truth3::kAlwaysFalse},
      {"NOT sno:done = 'N'", Truth3::kDepends},
      {"sno:notedate = RANDOM(1,1)", Truth3::kDepends},
      {"'x'", Truth3::kAlwaysTrue},
      {"''", Truth3::kAlwaysFalse},
  };
  for (const Case& c : cases) {
    Truth3 truth;
    Analyse(c.text, Allnotes(), 0, &truth);
    EXPECT_EQ(truth, c.expect) << c.text;
  }
  // An always-false AND still reports the bounds of its other side.
  Truth3 truth;
  EXPECT_EQ(Analyse("sno:notedate = 5 AND 1 = 2", Allnotes(), 0, &truth).size(), 1u);
  EXPECT_EQ(truth, Truth3::kAlwaysFalse);
}

TEST_F(KeyRangeTest, OperandsLiveWithTheirTree) {
  auto tree = Compile("SUB(sno:topic,1,2) = 'ab' AND sno:notedate > 4");
  ASSERT_TRUE(tree);
  struct Keeper : KeyRangeReceiver {
    std::vector<Operand> kept;
    int ComponentOf(const void*) const override { return 0; }
    void Bound(Op, const Operand& o) override { kept.push_back(o); }
  } keeper;
  (void)KeyRangeAnalysis(tree.get(), keeper, 0);
  ASSERT_EQ(keeper.kept.size(), 3u);
  EXPECT_EQ(keeper.kept[0].Text(), "ab");
  EXPECT_TRUE(keeper.kept[0].IsConstant());
  EXPECT_EQ(keeper.kept[2].Integer(), 4);
  // Analysing again (a view started anew) hands out the same kept bounds.
  for (int i = 0; i < 100; ++i) (void)KeyRangeAnalysis(tree.get(), keeper, 0);
  EXPECT_EQ(keeper.kept.size(), 303u);
  EXPECT_EQ(keeper.kept[0].Text(), "ab");
  EXPECT_EQ(keeper.kept[300].Text(), "ab");
}

}  // namespace
}  // namespace pellucor::runtime::expr::testing
