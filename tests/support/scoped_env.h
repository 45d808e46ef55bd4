#pragma once
// An environment variable set for the life of an object.
#include <string>

namespace testsupport {

// Sets an environment variable for its lifetime, then restores it (an empty one is removed).
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool had_;  // declared after old_: set from it
};

}  // namespace testsupport
