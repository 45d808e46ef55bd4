#pragma once
// The message of what a call raises, for the installer tests that check it; "no
// exception" when the call returns.
#include <exception>
#include <functional>
#include <string>

namespace installtest {

inline std::string Error(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace installtest
