#pragma once
// The seeds of a seeded fuzz test: QUILTOR_FUZZ_SEED (first seed, default 1) and
// QUILTOR_FUZZ_CASES (how many, default 300). The range is printed as "WHAT: seeds A to B",
// and a failing case replays alone with QUILTOR_FUZZ_SEED=<seed> QUILTOR_FUZZ_CASES=1.
#include <cstdint>

namespace testsupport {

struct FuzzSeeds {
  uint32_t first = 1;
  uint32_t count = 300;
};

FuzzSeeds FuzzSeedsFromEnvironment(const char* what);

}  // namespace testsupport
