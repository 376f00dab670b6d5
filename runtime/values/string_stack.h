// The string stack: the process-wide stack through which string values pass between operations
// (accessors push a variable's text, the evaluator joins and compares, stores pop into variables).
//
// Each entry holds a kind word, a pointer to its text, the text's length in bytes and a 20-byte
// inline buffer. The kind word:
//
//   bits 0-1  ownership: 0 the text belongs to someone else and is only referred to;
//                        1 the entry owns a block that is freed when the entry is popped;
//                        2 the text lives in the entry's inline buffer (or, for an automation
//                          value, the value does and is cleared when popped)
//   bits 2-4  encoding:  0 plain single-byte text (Windows-1252), 4 wide text, 8 automation value
//
// so the kinds in use are 0 (reference), 1 (heap), 2 (inline), 5 (a system-wide wide string,
// released when popped) and 10 (an automation value, cleared when popped). An entry that is not
// plain text is converted to plain text (in place, becoming kind 1 or 2) before it is read.
//
// The stack never holds more than 32 entries: a push beyond that is not performed (the push
// returns false and nothing is allocated), so callers keep their nesting within the limit. Every
// operation that pushes pops what it pushed before it returns its result.
//
// Process-wide and unguarded: only the thread holding the run lock evaluates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pellucor::runtime {

inline constexpr int kStringStackDepth = 32;
inline constexpr size_t kStringInlineSize = 20;

// Kind words (ownership | encoding).
namespace stack_kind {
inline constexpr uint16_t kReference = 0;
inline constexpr uint16_t kHeap = 1;
inline constexpr uint16_t kInline = 2;
inline constexpr uint16_t kSystemString = 5;
inline constexpr uint16_t kAutomation = 10;
inline constexpr uint16_t kOwnershipMask = 0x3;
inline constexpr uint16_t kEncodingMask = 0x1C;
inline constexpr uint16_t kEncodingPlain = 0;
inline constexpr uint16_t kEncodingWide = 4;
inline constexpr uint16_t kEncodingAutomation = 8;
}  // namespace stack_kind

// The small value an automation entry carries; text is converted with the real rules.
struct AutomationValue {
  enum class Kind : uint8_t { kEmpty, kInteger, kReal, kText };
  Kind kind = Kind::kEmpty;
  int64_t integer = 0;
  double real = 0;
  std::u16string text;  // for kText
};

// Result of comparing two strings.
enum class Order : int8_t { kLess = -1, kEqual = 0, kGreater = 1 };

class StringStack {
 public:
  StringStack();
  ~StringStack();
  StringStack(const StringStack&) = delete;
  StringStack& operator=(const StringStack&) = delete;

  [[nodiscard]] int Depth() const { return depth_; }
  [[nodiscard]] bool Full() const { return depth_ >= kStringStackDepth; }

  // Pushes. Each returns false (and pushes nothing) when the stack is full.
  //
  // A reference: the caller's text must stay unchanged until the entry is popped.
  bool PushReference(const char* text, size_t length);
  bool PushReference(std::string_view text) { return PushReference(text.data(), text.size()); }
  // A NUL-terminated text, by reference (length from the terminator). A null pointer pushes "".
  bool PushNulTerminated(const char* text);
  // A copy owned by the entry: inline when it fits in 20 bytes, else a heap block.
  bool PushCopy(std::string_view text);
  // Decimal digits with a leading "-" when negative, in the inline buffer.
  bool PushInteger(int64_t value);
  // At most 14 significant digits, no trailing decimal point (see FormatReal in convert.h).
  bool PushReal(double value);
  // A wide (UTF-16) text owned by the entry (kind 5); read as Windows-1252, '?' for characters
  // that set cannot hold.
  bool PushWide(std::u16string_view text);
  // An automation value (kind 10).
  bool PushAutomation(AutomationValue value);

  // The text of the entry `from_top` places below the top (0 is the top), converted to plain
  // text first when needed. Empty when there is no such entry. The view stays valid until that
  // entry is popped or replaced.
  [[nodiscard]] std::string_view Peek(int from_top = 0);
  [[nodiscard]] std::string_view Top() { return Peek(0); }
  // The kind word of an entry (for tests and tracing); 0 when there is no such entry.
  [[nodiscard]] uint16_t KindOf(int from_top = 0) const;

  // Pops the top entry, releasing what it owns. Popping an empty stack does nothing.
  void Pop();
  // Pops the top entry into dest: copies min(length, capacity) bytes and returns that count. The
  // destination is not terminated or padded (the accessors do that for their layouts).
  size_t PopInto(char* dest, size_t capacity);
  // Pops the top entry and returns its text.
  [[nodiscard]] std::string PopString();

  // Compares the entry below the top (left) with the top (right) by the string comparison of
  // compare.h (collation, blank padding, digraphs), pops both and returns the order. With fewer
  // than two entries the missing ones count as "".
  Order CompareTop();
  // Replaces the two top entries by one holding the lower entry's text followed by the top's.
  // With one entry it stays as it is.
  void JoinTop();

  // The top entry read as a number by the text-to-number rules (at most 40 characters, stops at
  // the first character that does not belong to the number, 0 without a number). Not popped.
  [[nodiscard]] int32_t TopInteger();
  [[nodiscard]] double TopReal();
  // As above, then the entry is popped.
  [[nodiscard]] int32_t PopInteger();
  [[nodiscard]] double PopReal();

  // Pops every entry (used when an evaluation is abandoned).
  void Reset();

 private:
  struct Entry;
  Entry& At(int from_top);
  Entry* Slot();  // the next free entry, or null when full
  void Release(Entry& e);
  void MakePlain(Entry& e);

  std::unique_ptr<Entry[]> entries_;  // kStringStackDepth entries
  int depth_ = 0;
};

// The process-wide string stack.
StringStack& Strings();

}  // namespace pellucor::runtime
