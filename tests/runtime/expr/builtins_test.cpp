// The built-in functions on representative and edge arguments.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "runtime/values/calendar.h"
#include "tests/runtime/expr/expr_test_util.h"

namespace pellucor::runtime::expr::testing {
namespace {

using BuiltinsTest = ExprTest;

TEST_F(BuiltinsTest, SubstringsAndSearch) {
  EXPECT_EQ(Str("SUB('abcdef',2,3)"), "bcd");
  EXPECT_EQ(Str("SUB('abcdef',2)"), "bcdef");
  EXPECT_EQ(Str("SUB('abcdef',5,10)"), "ef");
  EXPECT_EQ(Str("SUB('abcdef',7,1)"), "");
  EXPECT_EQ(Str("SUB('abcdef',0,2)"), "ab");  // a start below 1 counts as 1
  EXPECT_EQ(Str("SUB('abcdef',2,-1)"), "");
  EXPECT_EQ(Str("SUB('abc')"), "abc");
  EXPECT_EQ(Int("INSTRING('cd','abcdef')"), 3);
  EXPECT_EQ(Int("INSTRING('cd','abcdef',1,1)"), 3);
  EXPECT_EQ(Int("INSTRING('cd','abcdef',1,4)"), 0);  // searching starts at 4
  EXPECT_EQ(Int("INSTRING('ab','xabxab',1,3)"), 5);
  EXPECT_EQ(Int("INSTRING('ab','ab ab',2,1)"), 1);
  EXPECT_EQ(Int("INSTRING('b','abab',2,1)"), 0);    // steps of 2 visit 1 and 3 only
  EXPECT_EQ(Int("INSTRING('ab','abab',-1,4)"), 3);  // a negative step searches backwards
  EXPECT_EQ(Int("INSTRING('','abc')"), 0);
  EXPECT_EQ(Int("INSTRING('abcd','abc')"), 0);
  EXPECT_EQ(Int("INSTRING('a','aaa',1,-5)"), 1);
}

TEST_F(BuiltinsTest, PaddingAndJustifying) {
  EXPECT_EQ(Str("CLIP('ab  ')"), "ab");
  EXPECT_EQ(Str("CLIP('  ')"), "");
  EXPECT_EQ(Str("ALL('ab',5)"), "ababa");
  EXPECT_EQ(Int("LEN(ALL('-'))"), 255);
  EXPECT_EQ(Str("ALL('',3)"), "   ");
  EXPECT_EQ(Int("LEN(ALL('x',2000000000))"), static_cast<int32_t>(kMaxStringLength));
  EXPECT_EQ(Str("CENTER('ab',6)"), "  ab  ");
  EXPECT_EQ(Str("CENTER('  ab',5)"), " ab  ");
  EXPECT_EQ(Str("CENTER('ab    ')"), "  ab  ");  // the text's own length by default
  EXPECT_EQ(Str("LEFT('  ab',4)"), "ab  ");
  EXPECT_EQ(Str("LEFT('  ab')"), "ab  ");
  EXPECT_EQ(Str("RIGHT('ab  ',4)"), "  ab");
  EXPECT_EQ(Str("RIGHT('abcdef',3)"), "abc");
  EXPECT_EQ(Str("LEFT('abc',0)"), "");
}

TEST_F(BuiltinsTest, CharactersAndCase) {
  EXPECT_EQ(Str("CHR(65)"), "A");
  EXPECT_EQ(Int("VAL('A')"), 65);
  EXPECT_EQ(Int("VAL('')"), 0);
  EXPECT_EQ(Int("VAL(CHR(233))"), 233);
  EXPECT_EQ(Int("LEN(CHR(0))"), 1);
  EXPECT_EQ(Int("LEN('')"), 0);
  EXPECT_EQ(Str("UPPER('MiXed 1!')"), "MIXED 1!");
  EXPECT_EQ(Str("LOWER('MiXed 1!')"), "mixed 1!");
  EXPECT_EQ(Int("NUMERIC('12.5')"), 1);
  EXPECT_EQ(Int("NUMERIC('-3e2')"), 1);
  EXPECT_EQ(Int("NUMERIC('12abc')"), 0);
  EXPECT_EQ(Int("NUMERIC('')"), 0);
  EXPECT_EQ(Int("NUMERIC('   ')"), 0);
}

TEST_F(BuiltinsTest, Arithmetic) {
  EXPECT_DOUBLE_EQ(Real("ABS(-2.5)"), 2.5);
  EXPECT_EQ(Int("INRANGE(5,1,5)"), 1);
  EXPECT_EQ(Int("INRANGE(0.5,1,5)"), 0);
  EXPECT_EQ(Int("INRANGE(3,5,1)"), 0);
  EXPECT_EQ(Int("INT(3.99)"), 3);
  EXPECT_EQ(Int("INT(-3.99)"), -3);
  EXPECT_NEAR(Real("LOGE(2.718281828459045)"), 1.0, 1e-12);
  EXPECT_DOUBLE_EQ(Real("LOG10(1000)"), 3.0);
  EXPECT_DOUBLE_EQ(Real("SQRT(16)"), 4.0);
  EXPECT_NEAR(Real("SIN(0)") + Real("COS(0)") + Real("TAN(0)"), 1.0, 1e-12);
  EXPECT_NEAR(Real("ASIN(1)") * 2, M_PI, 1e-12);
  EXPECT_NEAR(Real("ACOS(1)") + Real("ATAN(1)") * 4, M_PI, 1e-12);
  EXPECT_EQ(Int("BAND(12,10)"), 8);
  EXPECT_EQ(Int("BOR(12,10)"), 14);
  EXPECT_EQ(Int("BXOR(12,10)"), 6);
  EXPECT_EQ(Int("BSHIFT(1,4)"), 16);
  EXPECT_EQ(Int("BSHIFT(-1,-28)"), 15);  // a logical shift to the right
  EXPECT_EQ(Int("BSHIFT(1,31)"), static_cast<int32_t>(0x80000000u));
  EXPECT_EQ(Int("BSHIFT(1,32)"), 0);
  EXPECT_EQ(Int("BSHIFT(-1,-32)"), 0);
  EXPECT_EQ(Int("NULL(0)"), 1);
  EXPECT_EQ(Int("NULL('')"), 1);
  EXPECT_EQ(Int("NULL(0.5)"), 1);  // its integer value is 0
  EXPECT_EQ(Int("NULL(2)"), 0);
  EXPECT_EQ(Int("MEMORY(1)"), 0);  // known to the parser; evaluating it does not stop
}

TEST_F(BuiltinsTest, Round) {
  EXPECT_DOUBLE_EQ(Real("ROUND(2.5,1)"), 3);
  EXPECT_DOUBLE_EQ(Real("ROUND(-2.5,1)"), -3);
  EXPECT_DOUBLE_EQ(Real("ROUND(1234,100)"), 1200);
  EXPECT_DOUBLE_EQ(Real("ROUND(1250,500)"), 1300);  // the step 500 acts as 100
  EXPECT_NEAR(Real("ROUND(3.14159,0.01)"), 3.14, 1e-12);
  EXPECT_DOUBLE_EQ(Real("ROUND(7.5,0)"), 7.5);  // no step: unchanged
  EXPECT_DOUBLE_EQ(Real("ROUND(7.5,-1)"), 7.5);
}

TEST_F(BuiltinsTest, RandomStaysInItsClosedRange) {
  auto tree = Compile("RANDOM(3,5)");
  auto reversed = Compile("RANDOM(5,3)");
  ASSERT_TRUE(tree && reversed);
  std::set<int32_t> seen;
  for (int i = 0; i < 300; ++i) {
    const int32_t v = EvaluateInteger(*tree);
    const int32_t w = EvaluateInteger(*reversed);
    ASSERT_GE(v, 3);
    ASSERT_LE(v, 5);
    ASSERT_GE(w, 3);
    ASSERT_LE(w, 5);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(Int("RANDOM(7,7)"), 7);
}

TEST_F(BuiltinsTest, Dates) {
  EXPECT_EQ(Int("DATE(1,1,1801)"), 4);
  EXPECT_EQ(Int("DATE(12,31,9999)"), 2994626);
  EXPECT_EQ(Int("DATE(13,1,2001) = DATE(1,1,2002)"), 1);
  EXPECT_EQ(Int("DATE(2,29,2001) = DATE(3,1,2001)"), 1);
  EXPECT_EQ(Int("DATE(0,1,2001)"), -1);
  EXPECT_EQ(Int("DAY(DATE(10,31,1959))"), 31);
  EXPECT_EQ(Int("MONTH(DATE(10,31,1959))"), 10);
  EXPECT_EQ(Int("YEAR(DATE(10,31,1959))"), 1959);
  EXPECT_EQ(Int("YEAR(3)"), 0);
  EXPECT_EQ(Int("TODAY()"), TODAY());
  const int32_t clock = Int("CLOCK()");
  EXPECT_GE(clock, 1);
  EXPECT_LE(clock, 8640000);
  EXPECT_EQ(Str("AGE(DATE(1,1,2000) - 30, DATE(1,1,2000))"), "30 DAYS");
  EXPECT_EQ(Str("AGE(DATE(1,1,1998), DATE(1,1,2000))"), "24 MOS");
  EXPECT_EQ(Str("AGE(DATE(1,1,1997), DATE(1,1,2000))"), "3 YRS");
  EXPECT_EQ(Str("AGE(TODAY() - 5)"), "5 DAYS");
}

TEST_F(BuiltinsTest, ChooseAndInlist) {
  EXPECT_EQ(Str("CHOOSE(1,'a','b')"), "a");
  EXPECT_EQ(Str("CHOOSE(2,'a','b')"), "b");
  EXPECT_EQ(Str("CHOOSE(0,'a','b')"), "b");  // out of range: the last value
  EXPECT_EQ(Str("CHOOSE(9,'a','b')"), "b");
  EXPECT_EQ(Str("CHOOSE(1)"), "");
  EXPECT_EQ(Str("CHOOSE(2, 10, 20 + 1)"), "21");
  EXPECT_EQ(Int("INLIST('b','a','b','b')"), 2);
  EXPECT_EQ(Int("INLIST('b ','a','b')"), 2);  // compared as texts: trailing blanks ignored
  EXPECT_EQ(Int("INLIST('3.0',1,2,3)"), 0);   // '3.0' and '3' differ as texts
  EXPECT_EQ(Int("INLIST(3,1,2,3.0)"), 3);     // the real 3.0 reads as '3'
  EXPECT_EQ(Int("INLIST('z','a')"), 0);
}

TEST_F(BuiltinsTest, Match) {
  EXPECT_EQ(Int("MATCH('hello','h*o')"), 1);
  EXPECT_EQ(Int("MATCH('hello','h?llo')"), 1);
  EXPECT_EQ(Int("MATCH('hello','h*x')"), 0);
  EXPECT_EQ(Int("MATCH('hello   ','*llo')"), 1);  // padding never matters
  EXPECT_EQ(Int("MATCH('aaa','*a*a*a*')"), 1);
  EXPECT_EQ(Int("MATCH('hello','HELLO')"), 0);
  EXPECT_EQ(Int("MATCH('hello','HE*',11)"), 1);  // + 10 ignores case
  EXPECT_EQ(Int("MATCH('a*c','a*c',2)"), 1);     // equality: "*" is a character
  EXPECT_EQ(Int("MATCH('abc','a*c',2)"), 0);
  EXPECT_EQ(Int("MATCH('abcdef','cd',3)"), 1);  // containment
  // Many stars against a long text finish quickly (no exponential backtracking).
  EXPECT_EQ(Int("MATCH(ALL('a',5000),ALL('*a',60) & 'b')"), 0);
}

TEST_F(BuiltinsTest, FormatAndDeformat) {
  EXPECT_EQ(Str("FORMAT(DATE(10,31,1959),@D2)"), "10/31/1959");
  EXPECT_EQ(Str("FORMAT(DATE(10,31,1959),'@D6')"), "31/10/1959");  // a picture as text
  EXPECT_EQ(Str("FORMAT(1234.5,@N12.2)"), "    1,234.50");
  EXPECT_EQ(Str("FORMAT('abc',@s5)"), "abc  ");
  EXPECT_EQ(Str("FORMAT('abc')"), "abc");
  EXPECT_EQ(Str("DEFORMAT('10/31/1959',@D2)"), std::to_string(DATE(10, 31, 1959)));
  EXPECT_EQ(Int("DEFORMAT('10/31/1959',@D2) = DATE(10,31,1959)"), 1);
  EXPECT_EQ(Str("DEFORMAT('$1,234.50')"), "1234.50");
}

TEST_F(BuiltinsTest, GetIniReadsAProfileFile) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("pellucor_expr_getini_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "t.ini";
  {
    std::ofstream out(file);
    out << "[Main]\nKey=value one\nOther=2\n";
  }
  const std::string f = file.string();
  EXPECT_EQ(Str("GETINI('main','key','none','" + f + "')"), "value one");
  EXPECT_EQ(Str("GETINI('Main','Missing','none','" + f + "')"), "none");
  EXPECT_EQ(Str("GETINI('Main','Missing',,'" + f + "')"), "");
  EXPECT_EQ(Int("GETINI('Main','Other','0','" + f + "') + 1"), 3);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pellucor::runtime::expr::testing
