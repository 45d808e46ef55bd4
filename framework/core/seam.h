#pragma once
// A replaceable function with a default, the shape of every test seam (clock, system
// colours, message boxes): Set installs a function (an empty one puts the default back)
// and returns the one it replaces, so a test can restore it.
#include <utility>

template <class Fn>
class TSeam {
 public:
  explicit TSeam(Fn fallback) : fallback_(fallback), current_(std::move(fallback)) {}
  Fn Set(Fn fn) {
    Fn old = std::move(current_);
    current_ = fn ? std::move(fn) : fallback_;
    return old;
  }
  const Fn& Get() const { return current_; }

 private:
  Fn fallback_;
  Fn current_;
};
