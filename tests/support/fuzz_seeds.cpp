#include "tests/support/fuzz_seeds.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file.h"

namespace testsupport {

namespace {
uint32_t EnvNumber(const char* name, uint32_t fallback) {
  const std::string v = platform::GetEnvironment(name);
  return v.empty() ? fallback : uint32_t(std::strtoul(v.c_str(), nullptr, 10));
}
}  // namespace

FuzzSeeds FuzzSeedsFromEnvironment(const char* what) {
  FuzzSeeds s;
  s.first = EnvNumber("QUILTOR_FUZZ_SEED", s.first);
  s.count = EnvNumber("QUILTOR_FUZZ_CASES", s.count);
  std::printf("%s: seeds %u to %u\n", what, unsigned(s.first), unsigned(s.first + s.count - 1));
  std::fflush(stdout);
  return s;
}

}  // namespace testsupport
