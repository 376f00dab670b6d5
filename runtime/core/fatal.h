// The one way out for fatal conditions. A fatal runtime error posts its code, builds its text
// (the error text, then " : " and a detail when given) and halts: the halt hook, when a program
// installed one, receives the text instead of the message box; otherwise the presenter shows it
// (standard error until the window engine installs a message box) and the process ends with exit
// code 2. A hook that returns still ends the process; a test's hook may throw to regain control.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pellucor::runtime {

namespace err {
inline constexpr int32_t kStringStack = 501;  // "String Stack Error"
}  // namespace err

using HaltHook = std::function<void(int32_t code, const std::string& text)>;

// Installs (or with an empty function removes) the halt hook; returns the previous one.
HaltHook SetHaltHook(HaltHook hook);
// The window engine installs a presenter that shows the "Runtime error" message box.
void SetFatalPresenter(std::function<void(const std::string& title, const std::string& text)> show);

[[noreturn]] void FatalError(int32_t code, std::string_view detail = {});
// The stop for structural faults that a correctly written file cannot produce: the text is
// "Internal error (N)" with the guard's number, so a report names the place that stopped.
[[noreturn]] void InternalErrorStop(int32_t number, std::string_view detail = {});
// Whether a text the halt hook received is an InternalErrorStop's (not a FatalError's).
[[nodiscard]] bool IsInternalStopText(std::string_view text);

// Ends the program on purpose (the HALT statement): the halt hook, when installed, receives
// `exit_code` and `text`; then the process ends with `exit_code`. Nothing is shown: a caller that
// wants the user told shows its own message first.
[[noreturn]] void HALT(int32_t exit_code, std::string_view text = {});

// The exception a test's halt hook may throw (see HaltHookThrows); never thrown by the runtime.
struct HaltException {
  int32_t code;
  std::string text;
};
// A halt hook that throws HaltException, for tests and fuzz targets that must survive a stop.
HaltHook HaltHookThrows();

}  // namespace pellucor::runtime
