#pragma once
// The engine's one way out on failure, its checked allocation and its console hooks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "framework/core/exception.h"
#include "patch_engine/engine_messages.h"

namespace engine {

// Off in this system: the English texts are shown.
extern bool GermanMessages;

// printf-style formatting into a string of any length. "%ld" takes any integer (it is
// printed 64 bits wide), "%s" a C string or std::string.
namespace detail {
std::string FormatArgs(const char* format, int count, const long long* ints,
                       const char* const* texts, const bool* isText);
template <class T>
void Put(const T& v, long long& i, const char*& s, bool& isText) {
  if constexpr (std::is_convertible_v<T, const char*>) {
    s = v;
    isText = true;
  } else if constexpr (std::is_same_v<std::decay_t<T>, std::string>) {
    s = v.c_str();
    isText = true;
  } else {
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "unsupported argument");
    i = static_cast<long long>(v);
    isText = false;
  }
}
}  // namespace detail

template <class... A>
std::string FormatText(const char* format, const A&... args) {
  constexpr int n = sizeof...(A);
  long long ints[n + 1] = {};
  const char* texts[n + 1] = {};
  bool isText[n + 1] = {};
  int k = 0;
  ((detail::Put(args, ints[k], texts[k], isText[k]), ++k), ...);
  return detail::FormatArgs(format, n, ints, texts, isText);
}

// Closes and deletes the unfinished patch file, frees the engine's buffers and throws
// Exception with the English text.
[[noreturn]] void RaiseEngineError(const char* english, const char* german);
[[noreturn]] inline void RaiseEngineError(const EngineMessage& m) {
  RaiseEngineError(m.english, m.german);
}
template <class... A>
[[noreturn]] void RaiseEngineErrorFmt(const EngineMessage& m, const A&... args) {
  const char* format = GermanMessages ? m.german : m.english;
  std::string text = FormatText(format, args...);
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
  if (ConsoleOutput) ConsoleOutput(FormatText(GermanMessages ? m.german : m.english, args...));
}

}  // namespace engine
