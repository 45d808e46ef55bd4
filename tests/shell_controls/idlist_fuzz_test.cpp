// Random item-ID lists and "Pidl" values, whole and damaged. The walker and the reader take
// exactly what is valid and refuse the rest without reading past the bytes they are given
// (each case lives in a block of exactly its size, so the sanitizers see any stray read);
// what they take walks and writes back to the same bytes. Every case has its own seed: a
// failure names it, and
//   QUILTOR_FUZZ_SEED=<seed> QUILTOR_FUZZ_CASES=1
// replays exactly that case (QUILTOR_FUZZ_CASES alone runs more or fewer cases).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/core/streams.h"
#include "platform/file.h"
#include "shell_controls/idlist.h"
#include "shell_controls/locator_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace shell;

uint32_t EnvNumber(const char* name, uint32_t fallback) {
  std::string v = platform::GetEnvironment(name);
  return v.empty() ? fallback : uint32_t(std::strtoul(v.c_str(), nullptr, 10));
}

Bytes RandomList(std::mt19937& rng) {
  Bytes b;
  int items = int(rng() % 6);
  for (int i = 0; i < items; ++i) {
    uint16_t cb = uint16_t(2 + rng() % 40);
    b.push_back(uint8_t(cb));
    b.push_back(uint8_t(cb >> 8));
    for (int k = 2; k < cb; ++k) b.push_back(uint8_t(rng()));
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

void Damage(Bytes& b, std::mt19937& rng) {
  auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
  switch (rng() % 6) {
    case 0:
      if (!b.empty()) b[pick(b.size())] ^= uint8_t(1u << (rng() % 8));
      break;
    case 1:
      b.resize(pick(b.size()));
      break;
    case 2:
      b.push_back(uint8_t(rng()));
      break;
    case 3: {  // an odd count at some position: 0, 1, just past, far past
      if (b.size() < 2) break;
      size_t at = pick(b.size() - 1);
      const uint16_t counts[] = {0, 1, 2, uint16_t(b.size() - at), uint16_t(b.size() - at + 1), 0xFFFF};
      uint16_t cb = counts[rng() % 6];
      b[at] = uint8_t(cb);
      b[at + 1] = uint8_t(cb >> 8);
      break;
    }
    case 4:
      for (size_t i = pick(b.size()), n = 1 + pick(8); i < b.size() && n; ++i, --n) b[i] = uint8_t(rng());
      break;
    default:
      break;  // undamaged
  }
}

// The bytes in a block of exactly their size.
std::unique_ptr<uint8_t[]> Exact(const Bytes& b) {
  std::unique_ptr<uint8_t[]> p(new uint8_t[b.size() ? b.size() : 1]);
  if (!b.empty()) std::memcpy(p.get(), b.data(), b.size());
  return p;
}

TEST(IdListFuzz, WalkerAndReaderTakeOnlyWhatIsValid) {
  const uint32_t first = EnvNumber("QUILTOR_FUZZ_SEED", 1);
  const uint32_t count = EnvNumber("QUILTOR_FUZZ_CASES", 3000);
  std::printf("idlist fuzz: seeds %u to %u\n", first, first + count - 1);
  RecordProperty("first_seed", std::to_string(first));
  for (uint32_t seed = first; seed != first + count; ++seed) {
    SCOPED_TRACE("replay with QUILTOR_FUZZ_SEED=" + std::to_string(seed) + " QUILTOR_FUZZ_CASES=1");
    std::mt19937 rng(seed);
    const Bytes original = RandomList(rng);
    const int originalItems = ListCount(original.data());
    Bytes list = original;
    Damage(list, rng);

    auto data = Exact(list);
    TIdListCheck check = CheckIdList(data.get(), list.size());
    if (list == original) {
      EXPECT_TRUE(check.Ok) << check.Error;
      EXPECT_EQ(check.Items, originalItems);
    }
    if (check.Ok) {
      EXPECT_EQ(ListSize(data.get()), list.size());
      EXPECT_EQ(ListCount(data.get()), check.Items);
    } else {
      EXPECT_FALSE(check.Error.empty());
    }

    // The same list as a "Pidl" value, itself damaged now and then.
    Bytes value = EncodeLocatorPidl(0, 0, original.data());
    if (rng() % 2) Damage(value, rng);
    auto v = Exact(value);
    try {
      TLocatorValue read = DecodeLocatorPidl(v.get(), value.size());
      // Any non-zero kind byte reads as a special folder.
      if (value[0] <= 1) {
        EXPECT_EQ(EncodeLocatorPidl(read.Kind, read.Id, read.List.data()), value);
      }
      if (read.Kind == 0) {
        EXPECT_TRUE(CheckIdList(read.List.data(), read.List.size()).Ok);
      }
    } catch (const EReadError& e) {
      EXPECT_FALSE(std::string(e.Message()).empty());
      EXPECT_NE(value, EncodeLocatorPidl(0, 0, original.data()));
    }
    if (HasFailure()) {
      std::fprintf(stderr, "failed at seed %u\n", seed);
      break;
    }
  }
}

}  // namespace
