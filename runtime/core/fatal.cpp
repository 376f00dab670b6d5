#include "runtime/core/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "runtime/core/error_state.h"

namespace pellucor::runtime {

namespace {
constexpr std::string_view kInternalStopPrefix = "Internal error (";

HaltHook& Hook() {
  static HaltHook hook;
  return hook;
}
std::function<void(const std::string&, const std::string&)>& Presenter() {
  static std::function<void(const std::string&, const std::string&)> show;
  return show;
}

[[noreturn]] void Halt(int32_t code, const std::string& text) {
  if (Hook()) {
    Hook()(code, text);
  } else if (Presenter()) {
    Presenter()("Runtime error", text);
  } else {
    std::fprintf(stderr, "Runtime error: %s\n", text.c_str());
  }
  std::fflush(nullptr);
  std::_Exit(2);
}
}  // namespace

HaltHook SetHaltHook(HaltHook hook) {
  return std::exchange(Hook(), std::move(hook));
}

void SetFatalPresenter(std::function<void(const std::string&, const std::string&)> show) {
  Presenter() = std::move(show);
}

void FatalError(int32_t code, std::string_view detail) {
  PostError(code);
  std::string text = ErrorTextFor(code);
  if (!detail.empty()) text += " : " + std::string(detail);
  Halt(code, text);
}

void InternalErrorStop(int32_t number, std::string_view detail) {
  std::string text = std::string(kInternalStopPrefix) + std::to_string(number) + ")";
  if (!detail.empty()) text += " : " + std::string(detail);
  Halt(number, text);
}

void HALT(int32_t exit_code, std::string_view text) {
  if (Hook()) Hook()(exit_code, std::string(text));
  std::fflush(nullptr);
  std::_Exit(exit_code);
}

bool IsInternalStopText(std::string_view text) {
  return text.substr(0, kInternalStopPrefix.size()) == kInternalStopPrefix;
}

HaltHook HaltHookThrows() {
  return [](int32_t code, const std::string& text) { throw HaltException{code, text}; };
}

}  // namespace pellucor::runtime
