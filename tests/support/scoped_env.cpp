#include "tests/support/scoped_env.h"

#include <cstdlib>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace testsupport {

namespace {
void SetOrRemove(const std::string& name, const std::string* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
  if (value)
    setenv(name.c_str(), value->c_str(), 1);
  else
    unsetenv(name.c_str());
#endif
}
}  // namespace

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value)
    : name_(name), old_(platform::GetEnvironment(name)), had_(!old_.empty()) {
  SetOrRemove(name_, &value);
}

ScopedEnv::~ScopedEnv() { SetOrRemove(name_, had_ ? &old_ : nullptr); }

}  // namespace testsupport
