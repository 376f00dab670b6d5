// Step managers: where a value of an order's leading key field lies between the lowest and the
// highest value of that field, as a position from 0 to 100. The browse places its scroll-bar
// thumb by it (and turns a dragged thumb back into a value to position at); a process shows its
// progress by it.
//
// The string step manager reads a text as a fraction in the collation order: each of its first
// DEPTH characters (letters folded to upper case when the order ignores case, as its key does)
// is replaced by its place in the current collation table, and the places are read as the digits
// of a number in base 256 behind the point, so "" < "A" < "AB" < "B" just as the key orders them.
// The position is where that fraction lies between those of the lowest and highest values,
// rounded down, and held to 0-100. Texts that agree in their first DEPTH characters share a
// position; any two texts in key order have positions in that order.
//
//   StringStepManager step;
//   step.Init(step_case::kNoCase, 3);        // letters without regard to case, 3 characters
//   step.SetLimits("Apple", "Zebra");
//   step.GetPercentile("Mango");             // 49
//   step.GetValue(50);                       // a text whose position is 50 ("MS." or so)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellucor::framework {

class StepManager {
 public:
  virtual ~StepManager() = default;
  // The lowest and highest values of the field (as texts: numbers in decimal).
  virtual void SetLimits(std::string_view low, std::string_view high) = 0;
  // Where `value` lies, 0 to 100.
  [[nodiscard]] virtual int32_t GetPercentile(std::string_view value) const = 0;
  // A value that lies at `percentile` (0 to 100): the lowest value with that position, so that
  // positioning at it reaches the first record there.
  [[nodiscard]] virtual std::string GetValue(int32_t percentile) const = 0;
};

// The first number of StringStepManager::Init.
namespace step_case {
inline constexpr uint8_t kExact = 0;   // letters compare as stored
inline constexpr uint8_t kNoCase = 1;  // letters compare without regard to case
}  // namespace step_case

class StringStepManager : public StepManager {
 public:
  // The most characters a position can be told by.
  static constexpr uint8_t kMaxDepth = 6;

  // `controls`: step_case (1 = letters without regard to case); `depth`: how many leading
  // characters tell positions apart (1 to 6; 0 means 3). The notes browse uses 1 and 3.
  void Init(uint8_t controls, uint8_t depth);

  void SetLimits(std::string_view low, std::string_view high) override;
  [[nodiscard]] int32_t GetPercentile(std::string_view value) const override;
  [[nodiscard]] std::string GetValue(int32_t percentile) const override;

  [[nodiscard]] uint8_t depth() const { return depth_; }
  [[nodiscard]] bool no_case() const { return no_case_; }

 private:
  // The text's first `depth_` collation places as a number (base 256, most significant first).
  [[nodiscard]] uint64_t Weight(std::string_view text) const;

  bool no_case_ = true;
  uint8_t depth_ = 3;
  uint64_t low_ = 0;
  uint64_t high_ = 0;
};

}  // namespace pellucor::framework
