#pragma once
// Inside the file layer: the list of files put right on interruption (interrupt.h), kept
// by interrupt_posix.cpp or interrupt_win32.cpp.
#include <functional>
#include <string>
#include <vector>

namespace platform::detail {

struct InterruptEntry {
  std::string path;
  std::string home;  // empty: remove path; otherwise rename path back to home
};

struct InterruptList {
  std::vector<InterruptEntry> entries;

  void Add(const std::string& path, const std::string& home = "") {
    Forget(path);
    entries.push_back({path, home});
  }
  void Forget(const std::string& path) {
    std::erase_if(entries, [&](const InterruptEntry& e) { return e.path == path; });
  }
};

// Runs operation, a file operation with its change of the list, so that an interruption
// sees both or neither; true when operation returned true. Once an interruption has begun
// it returns false without running operation.
bool ChangeInterruptList(const std::function<bool(InterruptList&)>& operation);

}  // namespace platform::detail
