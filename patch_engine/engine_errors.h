#pragma once
// The engine's way out on failure (EEngineError, engine.h), its checked allocation and its
// console hook.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "framework/core/sysutils.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_messages.h"

namespace engine {

// Off in this system: the English texts are shown.
extern bool GermanMessages;

// A message argument as FormatTolerant takes it: a text as a string, any integer 64 bits wide.
template <class T>
TFormatArg MessageArgument(const T& v) {
  if constexpr (std::is_convertible_v<const T&, std::string>) {
    return std::string(v);
  } else {
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "unsupported argument");
    return static_cast<int64_t>(v);
  }
}
// The text of the message in the language in force, its arguments filled in (FormatTolerant).
template <class... A>
std::string MessageText(const EngineMessage& m, const A&... args) {
  return FormatTolerant(GermanMessages ? m.german : m.english, {MessageArgument(args)...});
}

// Throws EEngineError with the message's text. What the run holds is released on its way
// out (RunRelease, engine_state.h); on a helper thread the error ends only its step, and the
// run raises it again when it collects that step (step_jobs.h).
[[noreturn]] void RaiseEngineError(const EngineMessage& m);
template <class... A>
[[noreturn]] void RaiseEngineErrorFmt(const EngineMessage& m, const A&... args) {
  throw EEngineError(m, MessageText(m, args...));
}

// A size of 0 is taken as 1. Raises the allocation message on failure. Free with free().
void* CheckedAlloc(size_t size, const EngineMessage& purpose);

// Receivers of the engine's informational lines; by default they do nothing.
using ConsoleHook = void (*)(const std::string& line);
extern ConsoleHook ConsoleOutput;
void ConsoleInfo(const EngineMessage& m);
template <class... A>
void ConsoleLine(const EngineMessage& m, const A&... args) {
  if (ConsoleOutput) ConsoleOutput(MessageText(m, args...));
}

}  // namespace engine
