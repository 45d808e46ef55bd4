#pragma once
// The engine's one way out on failure, its checked allocation and its console hooks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "framework/core/exception.h"
#include "framework/core/sysutils.h"
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

// Closes and deletes the unfinished patch file, frees the engine's buffers and throws
// Exception with the English text.
[[noreturn]] void RaiseEngineError(const char* english, const char* german);
[[noreturn]] inline void RaiseEngineError(const EngineMessage& m) {
  RaiseEngineError(m.english, m.german);
}
template <class... A>
[[noreturn]] void RaiseEngineErrorFmt(const EngineMessage& m, const A&... args) {
  const std::string text = MessageText(m, args...);
  RaiseEngineError(text.c_str(), text.c_str());
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
