// The built-in functions. Each computes its result in its own class; the evaluator converts it
// to the class its caller asks for. An argument slot left empty takes the function's default.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>

#include "platform/clock.h"
#include "platform/profile.h"
#include "runtime/core/char_tables.h"
#include "runtime/core/fatal.h"
#include "runtime/expr/eval.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"
#include "runtime/values/compare.h"
#include "runtime/values/convert.h"

namespace pellucor::runtime::expr::detail {

namespace {

bool Present(const Node& n, size_t i) {
  return i < n.args.size() && n.args[i] != nullptr;
}

void ArgText(const Node& n, size_t i, TextBuf& out) {
  if (Present(n, i))
    EvalText(*n.args[i], out);
  else
    out.Borrow({});
}
int64_t ArgInt(const Node& n, size_t i, int64_t fallback) {
  return Present(n, i) ? EvalInteger(*n.args[i]) : fallback;
}
double ArgReal(const Node& n, size_t i, double fallback) {
  return Present(n, i) ? EvalReal(*n.args[i]) : fallback;
}

// A length asked of a string function, cut to what a string may hold.
size_t LengthArg(const Node& n, size_t i, size_t fallback) {
  const int64_t v = ArgInt(n, i, static_cast<int64_t>(fallback));
  if (v <= 0) return 0;
  return static_cast<size_t>(std::min<int64_t>(v, kMaxStringLength));
}

void SetInt(Result& r, int64_t v) {
  r.cls = ValueClass::kInteger;
  r.integer = static_cast<int32_t>(v);
}
void SetReal(Result& r, double v) {
  r.cls = ValueClass::kReal;
  r.real = v;
}
TextBuf& SetText(Result& r) {
  r.cls = ValueClass::kString;
  return r.text;
}

// A view of the argument's text that may be narrowed and handed on: borrowed storage stays
// borrowed, an argument's own copy is copied into the result.
void Hand(const TextBuf& arg, std::string_view part, TextBuf& out) {
  if (arg.owned)
    out.Copy(part);
  else
    out.Borrow(part);
}

std::string_view ClipTrailing(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}
std::string_view ClipLeading(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

void Sub(const Node& n, Result& r) {
  TextBuf s;
  ArgText(n, 0, s);
  int64_t start = ArgInt(n, 1, 1);
  if (start < 1) start = 1;
  const auto size = static_cast<int64_t>(s.view.size());
  std::string_view part;
  if (start <= size) {
    int64_t length = Present(n, 2) ? EvalInteger(*n.args[2]) : size - start + 1;
    length = std::clamp<int64_t>(length, 0, size - start + 1);
    part = s.view.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length));
  }
  Hand(s, part, SetText(r));
}

// INSTRING(sub, s, step, start): the first position, from start in steps of step, at which sub
// stands in s. A step of 0 searches every position, as a step of 1 does; a negative step
// searches backwards from start.
int64_t Instring(const Node& n) {
  TextBuf sub;
  TextBuf s;
  ArgText(n, 0, sub);
  ArgText(n, 1, s);
  int64_t step = ArgInt(n, 2, 0);
  int64_t start = ArgInt(n, 3, 1);
  const auto m = static_cast<int64_t>(sub.view.size());
  const auto size = static_cast<int64_t>(s.view.size());
  if (m == 0 || m > size) return 0;
  if (step == 0) step = 1;
  const int64_t last = size - m + 1;  // last position where sub fits
  if (step > 0) {
    if (start < 1) start += ((1 - start + step - 1) / step) * step;
    for (int64_t p = start; p <= last; p += step)
      if (s.view.compare(static_cast<size_t>(p - 1), static_cast<size_t>(m), sub.view) == 0)
        return p;
  } else {
    if (start > last) start -= ((start - last - step - 1) / -step) * -step;
    for (int64_t p = start; p >= 1; p += step)
      if (s.view.compare(static_cast<size_t>(p - 1), static_cast<size_t>(m), sub.view) == 0)
        return p;
  }
  return 0;
}

void All(const Node& n, Result& r) {
  TextBuf s;
  ArgText(n, 0, s);
  const size_t length = LengthArg(n, 1, 255);
  TextBuf& out = SetText(r);
  out.own.clear();
  if (s.view.empty()) {
    out.own.assign(length, ' ');
  } else {
    out.own.reserve(length);
    while (out.own.size() < length) out.own.append(s.view.substr(0, length - out.own.size()));
  }
  out.Take();
}

enum class Justify : uint8_t { kLeft, kCenter, kRight };

void Justified(const Node& n, Result& r, Justify how) {
  TextBuf s;
  ArgText(n, 0, s);
  const size_t length = LengthArg(n, 1, s.view.size());
  std::string_view text = s.view;
  if (how != Justify::kRight) text = ClipLeading(text);
  if (how != Justify::kLeft) text = ClipTrailing(text);
  text = text.substr(0, length);
  size_t before = 0;
  if (how == Justify::kCenter) before = (length - text.size()) / 2;
  if (how == Justify::kRight) before = length - text.size();
  TextBuf& out = SetText(r);
  out.own.assign(before, ' ');
  out.own.append(text);
  out.own.resize(length, ' ');
  out.Take();
}

void Chr(const Node& n, Result& r) {
  TextBuf& out = SetText(r);
  out.own.assign(1, static_cast<char>(static_cast<uint8_t>(ArgInt(n, 0, 0))));
  out.Take();
}

void Upper(const Node& n, Result& r) {
  TextBuf s;
  ArgText(n, 0, s);
  const CharTables& t = CurrentCharTables();
  TextBuf& out = SetText(r);
  out.own.assign(s.view);
  for (char& c : out.own) c = static_cast<char>(t.upper[static_cast<uint8_t>(c)]);
  out.Take();
}

// The lower-case form of every letter is the one whose upper case it is.
void Lower(const Node& n, Result& r) {
  TextBuf s;
  ArgText(n, 0, s);
  const CharTables& t = CurrentCharTables();
  std::array<uint8_t, 256> lower{};
  for (int c = 0; c < 256; ++c) lower[c] = static_cast<uint8_t>(c);
  for (int c = 255; c >= 0; --c)
    if ((t.char_class[c] & kCharClassLower) && t.upper[c] != c)
      lower[t.upper[c]] = static_cast<uint8_t>(c);
  TextBuf& out = SetText(r);
  out.own.assign(s.view);
  for (char& c : out.own) c = static_cast<char>(lower[static_cast<uint8_t>(c)]);
  out.Take();
}

// The picture of a FORMAT or DEFORMAT call: a picture constant is compiled once with its tree;
// any other argument is compiled from its text at each call.
const Picture* PictureArg(const Node& n, size_t i, Picture& scratch) {
  if (!Present(n, i)) return nullptr;
  const Node& arg = *n.args[i];
  if (arg.kind == NodeKind::kPicture && arg.picture) return arg.picture.get();
  TextBuf text;
  EvalText(arg, text);
  scratch = CompilePicture(text.view);
  return &scratch;
}

void Format(const Node& n, Result& r) {
  TextBuf& out = SetText(r);
  if (!Present(n, 0)) {
    out.Borrow({});
    return;
  }
  const Node& value = *n.args[0];
  Picture scratch;
  const Picture* picture = PictureArg(n, 1, scratch);
  TextBuf text;
  FormatValue fv;
  if (value.cls == ValueClass::kInteger) {
    fv = FormatValue::Integer(EvalInteger(value));
  } else if (value.cls == ValueClass::kReal) {
    const bool decimal =
        value.kind == NodeKind::kVariable &&
        (value.variable->type == TypeCode::kDecimal || value.variable->type == TypeCode::kPDecimal);
    if (decimal) {
      EvalText(value, text);
      fv = FormatValue::Decimal(text.view);
    } else {
      fv = FormatValue::Real(EvalReal(value));
    }
  } else {
    EvalText(value, text);
    fv = FormatValue::String(text.view);
  }
  if (picture) {
    out.own = FORMAT(fv, *picture);
  } else {
    out.own = FORMAT(fv, Picture{});
  }
  out.Take();
}

void Deformat(const Node& n, Result& r) {
  TextBuf s;
  ArgText(n, 0, s);
  Picture scratch;
  const Picture* picture = PictureArg(n, 1, scratch);
  TextBuf& out = SetText(r);
  out.own = picture ? DEFORMAT(s.view, *picture) : DEFORMAT(s.view);
  out.Take();
}

std::mt19937& Generator() {
  static std::mt19937 generator(static_cast<uint32_t>(std::random_device{}()));
  return generator;
}

int64_t Random(const Node& n) {
  int64_t low = ArgInt(n, 0, 0);
  int64_t high = ArgInt(n, 1, 0);
  if (low > high) std::swap(low, high);
  std::uniform_int_distribution<int64_t> pick(low, high);
  return pick(Generator());
}

// ROUND(x, step): the step acts as the power of ten at or below it (500 acts as 100). A step
// of zero or below, or one that is not a number, leaves x as it is.
double Round(const Node& n) {
  const double x = ArgReal(n, 0, 0);
  const double step = ArgReal(n, 1, 0);
  if (!(step > 0) || !std::isfinite(step) || !std::isfinite(x)) return x;
  const double power = std::pow(10.0, std::floor(std::log10(step)));
  double q = x / power;
  q += q < 0 ? -0.5 : 0.5;
  return std::trunc(q) * power;
}

int64_t Bshift(const Node& n) {
  const auto x = static_cast<uint32_t>(static_cast<int32_t>(ArgInt(n, 0, 0)));
  const int64_t shift = ArgInt(n, 1, 0);
  if (shift >= 32 || shift <= -32) return 0;
  const uint32_t v = shift >= 0 ? x << shift : x >> -shift;
  return static_cast<int32_t>(v);
}

void Choose(const Node& n, Result& r) {
  TextBuf& out = SetText(r);
  const size_t values = n.args.empty() ? 0 : n.args.size() - 1;
  if (values == 0) {
    out.Borrow({});
    return;
  }
  int64_t pick = ArgInt(n, 0, 0);
  if (pick < 1 || pick > static_cast<int64_t>(values)) pick = static_cast<int64_t>(values);
  TextBuf chosen;
  ArgText(n, static_cast<size_t>(pick), chosen);
  Hand(chosen, chosen.view, out);
}

int64_t Inlist(const Node& n) {
  TextBuf x;
  ArgText(n, 0, x);
  for (size_t i = 1; i < n.args.size(); ++i) {
    TextBuf v;
    ArgText(n, i, v);
    if (CompareStrings(x.view, v.view) == Order::kEqual) return static_cast<int64_t>(i);
  }
  return 0;
}

void GetIni(const Node& n, Result& r) {
  TextBuf section;
  TextBuf entry;
  TextBuf fallback;
  TextBuf file;
  ArgText(n, 0, section);
  ArgText(n, 1, entry);
  ArgText(n, 2, fallback);
  ArgText(n, 3, file);
  const std::string_view s = section.view.substr(0, 64);
  const std::string_view e = entry.view.substr(0, 64);
  const std::string_view d = fallback.view.substr(0, 1024);
  const std::string f(ClipTrailing(file.view.substr(0, 260)));
  constexpr size_t kLimit = 1025;  // 1024 characters and the terminator
  TextBuf& out = SetText(r);
  out.own = f.empty() ? platform::GetProfileString(s, e, d, kLimit)
                      : platform::GetPrivateProfileString(s, e, d, kLimit, f);
  out.Take();
}

// MATCH(s, pattern, mode). Modes: 1 (the default, and any mode not listed) a wildcard pattern
// in which "*" stands for any run of characters and "?" for one character; 2 equality by the
// string comparison; 3 the pattern occurs somewhere in s. Adding 10 to a mode ignores case.
// Trailing blanks of both texts never matter.
bool Wildcard(std::string_view s, std::string_view p) {
  size_t si = 0;
  size_t pi = 0;
  size_t star = std::string_view::npos;
  size_t resume = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == s[si])) {
      ++si;
      ++pi;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      resume = si;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      si = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

int64_t Match(const Node& n) {
  TextBuf s;
  TextBuf p;
  ArgText(n, 0, s);
  ArgText(n, 1, p);
  int64_t mode = ArgInt(n, 2, 1);
  const bool ignore_case = mode >= 10;
  mode %= 10;
  std::string a(ClipTrailing(s.view));
  std::string b(ClipTrailing(p.view));
  if (ignore_case) {
    const CharTables& t = CurrentCharTables();
    for (char& c : a) c = static_cast<char>(t.upper[static_cast<uint8_t>(c)]);
    for (char& c : b) c = static_cast<char>(t.upper[static_cast<uint8_t>(c)]);
  }
  if (mode == 2) return CompareStrings(a, b) == Order::kEqual ? 1 : 0;
  if (mode == 3) return a.find(b) != std::string::npos ? 1 : 0;
  return Wildcard(a, b) ? 1 : 0;
}

// A bound procedure: arguments are evaluated from the last to the first; an omitted one passes
// an empty value. The result is taken in the class the procedure was bound with.
void CallProcedure(const Node& n, Result& r) {
  const Procedure& proc = *n.procedure;
  std::vector<Value> args(n.args.size());
  for (size_t k = n.args.size(); k-- > 0;) {
    Value& v = args[k];
    if (!n.args[k]) {
      v.omitted = true;
      continue;
    }
    const Node& a = *n.args[k];
    v.cls = a.cls == ValueClass::kPicture ? ValueClass::kString : a.cls;
    if (a.cls == ValueClass::kInteger) {
      v.integer = EvalInteger(a);
    } else if (a.cls == ValueClass::kReal) {
      v.real = EvalReal(a);
    } else {
      TextBuf t;
      EvalText(a, t);
      v.text.assign(t.view);
    }
  }
  Value result;
  if (proc.call) result = proc.call(std::span<const Value>(args));
  switch (proc.result) {
    case ValueClass::kInteger:
      SetInt(r, result.AsInteger());
      break;
    case ValueClass::kReal:
      SetReal(r, result.AsReal());
      break;
    default: {
      TextBuf& out = SetText(r);
      out.own = result.AsText();
      out.Take();
    }
  }
}

}  // namespace

void CallFunction(const Node& n, Result& r) {
  switch (n.function) {
    case kProcedure:
      if (!n.procedure) break;
      CallProcedure(n, r);
      return;
    case kMemory:
      SetInt(r, 0);
      return;  // kept for old texts; it measures nothing here
    case kSub:
      Sub(n, r);
      return;
    case kInstring:
      SetInt(r, Instring(n));
      return;
    case kClip: {
      TextBuf s;
      ArgText(n, 0, s);
      Hand(s, ClipTrailing(s.view), SetText(r));
      return;
    }
    case kAll:
      All(n, r);
      return;
    case kCenter:
      Justified(n, r, Justify::kCenter);
      return;
    case kChr:
      Chr(n, r);
      return;
    case kDeformat:
      Deformat(n, r);
      return;
    case kFormat:
      Format(n, r);
      return;
    case kLeft:
      Justified(n, r, Justify::kLeft);
      return;
    case kLen: {
      TextBuf s;
      ArgText(n, 0, s);
      SetInt(r, static_cast<int64_t>(s.view.size()));
      return;
    }
    case kLower:
      Lower(n, r);
      return;
    case kNumeric: {
      TextBuf s;
      ArgText(n, 0, s);
      SetInt(r, IsNumericText(s.view) ? 1 : 0);
      return;
    }
    case kRight:
      Justified(n, r, Justify::kRight);
      return;
    case kUpper:
      Upper(n, r);
      return;
    case kVal: {
      TextBuf s;
      ArgText(n, 0, s);
      SetInt(r, s.view.empty() ? 0 : static_cast<uint8_t>(s.view[0]));
      return;
    }
    case kAbs:
      SetReal(r, std::fabs(ArgReal(n, 0, 0)));
      return;
    case kInrange: {
      const double x = ArgReal(n, 0, 0);
      const bool in =
          CompareReals(ArgReal(n, 1, 0), x) <= 0 && CompareReals(x, ArgReal(n, 2, 0)) <= 0;
      SetInt(r, in ? 1 : 0);
      return;
    }
    case kInt:
      SetInt(r, RealToInteger(std::trunc(ArgReal(n, 0, 0))));
      return;
    case kLoge:
      SetReal(r, std::log(ArgReal(n, 0, 0)));
      return;
    case kLog10:
      SetReal(r, std::log10(ArgReal(n, 0, 0)));
      return;
    case kRandom:
      SetInt(r, Random(n));
      return;
    case kRound:
      SetReal(r, Round(n));
      return;
    case kSqrt:
      SetReal(r, std::sqrt(ArgReal(n, 0, 0)));
      return;
    case kSin:
      SetReal(r, std::sin(ArgReal(n, 0, 0)));
      return;
    case kCos:
      SetReal(r, std::cos(ArgReal(n, 0, 0)));
      return;
    case kTan:
      SetReal(r, std::tan(ArgReal(n, 0, 0)));
      return;
    case kAsin:
      SetReal(r, std::asin(ArgReal(n, 0, 0)));
      return;
    case kAcos:
      SetReal(r, std::acos(ArgReal(n, 0, 0)));
      return;
    case kAtan:
      SetReal(r, std::atan(ArgReal(n, 0, 0)));
      return;
    case kBand:
      SetInt(r, static_cast<int32_t>(ArgInt(n, 0, 0)) & static_cast<int32_t>(ArgInt(n, 1, 0)));
      return;
    case kBor:
      SetInt(r, static_cast<int32_t>(ArgInt(n, 0, 0)) | static_cast<int32_t>(ArgInt(n, 1, 0)));
      return;
    case kBxor:
      SetInt(r, static_cast<int32_t>(ArgInt(n, 0, 0)) ^ static_cast<int32_t>(ArgInt(n, 1, 0)));
      return;
    case kBshift:
      SetInt(r, Bshift(n));
      return;
    case kToday:
      SetInt(r, TODAY());
      return;
    case kClock:
      SetInt(r, CLOCK());
      return;
    case kDate:
      SetInt(r, DATE(static_cast<int32_t>(ArgInt(n, 0, 0)), static_cast<int32_t>(ArgInt(n, 1, 0)),
                     static_cast<int32_t>(ArgInt(n, 2, 0))));
      return;
    case kDay:
      SetInt(r, DAY(static_cast<int32_t>(ArgInt(n, 0, 0))));
      return;
    case kMonth:
      SetInt(r, MONTH(static_cast<int32_t>(ArgInt(n, 0, 0))));
      return;
    case kYear:
      SetInt(r, YEAR(static_cast<int32_t>(ArgInt(n, 0, 0))));
      return;
    case kAge: {
      const auto birth = static_cast<int32_t>(ArgInt(n, 0, 0));
      TextBuf& out = SetText(r);
      out.own =
          Present(n, 1) ? AGE(birth, static_cast<int32_t>(EvalInteger(*n.args[1]))) : AGE(birth);
      out.Take();
      return;
    }
    case kChoose:
      Choose(n, r);
      return;
    case kInlist:
      SetInt(r, Inlist(n));
      return;
    case kGetini:
      GetIni(n, r);
      return;
    case kMatch:
      SetInt(r, Match(n));
      return;
    case kNull:
      SetInt(r, ArgInt(n, 0, 0) == 0 ? 1 : 0);
      return;
    default:
      break;
  }
  FatalError(err::kNoReturnValue);
}

}  // namespace pellucor::runtime::expr::detail
