// The engine's fast implementation against the straightforward reference: the same match
// lists and the same patch bytes over a corpus of generated pairs, including exact ties
// between candidates, long runs of one value, periodic data and large groups of equal
// six-byte strings.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "patch_engine/engine.h"
#include "patch_engine/match_search.h"
#include "patch_engine/step_data.h"
#include "test_data.h"

using namespace engine;
using testdata::Bytes;
using testdata::Kind;
using testdata::Rng;

namespace {

using Entries = std::vector<std::pair<int32_t, int32_t>>;

class FastSearch : public harness::EngineTest {
 protected:
  void TearDown() override {
    Implementation = StepImplementation::Fast;
    harness::EngineTest::TearDown();
  }

  Entries Found(const Bytes& source, const Bytes& target, StepImplementation impl) {
    Implementation = impl;
    AllocateStepBuffer(int64_t(source.size()), int64_t(target.size()));
    if (!source.empty()) std::memcpy(Step().data, source.data(), source.size());
    if (!target.empty()) std::memcpy(Step().data + source.size(), target.data(), target.size());
    BuildSourceIndex();
    MatchWholeTarget();
    Entries v;
    const MatchList& m = Matches().found;
    for (int64_t e = 0; e < m.Count(); ++e) v.emplace_back(m.Value(e), m.Offset(e));
    Matches().Clear();
    FreeStepBuffer();
    return v;
  }

  // Both implementations find the same matches and write the same patch.
  void ExpectSame(const Bytes& source, const Bytes& target, const std::string& name) {
    SCOPED_TRACE(name);
    const Entries reference = Found(source, target, StepImplementation::Reference);
    const Entries fast = Found(source, target, StepImplementation::Fast);
    ASSERT_EQ(fast.size(), reference.size());
    for (size_t e = 0; e < fast.size(); ++e) ASSERT_EQ(fast[e], reference[e]) << "entry " << e;
    testsupport::ScratchDir scratch;
    Implementation = StepImplementation::Reference;
    const Bytes a = harness::MakeFilePatch(scratch, {source, target});
    Implementation = StepImplementation::Fast;
    const Bytes b = harness::MakeFilePatch(scratch, {source, target});
    EXPECT_TRUE(a == b) << "patches differ";
  }
};

Bytes Fill(size_t n, uint8_t v) { return Bytes(n, v); }

void Put(Bytes& into, size_t at, const Bytes& what) {
  std::copy(what.begin(), what.end(), into.begin() + long(at));
}

}  // namespace

TEST_F(FastSearch, DerivedPairsOfEveryKind) {
  uint64_t seed = 700;
  for (Kind kind : testdata::kKinds)
    for (auto [s, t] : {std::pair<size_t, size_t>{3000, 3000}, {20000, 26000}, {50000, 40000}}) {
      ++seed;
      Rng rng(seed);
      const Bytes source = testdata::Make(kind, rng, s);
      ExpectSame(source, testdata::Derive(rng, source, t, kind),
                 std::string(testdata::KindName(kind)) + " seed " + std::to_string(seed));
      if (HasFailure()) return;
    }
}

// Candidates with the same gain at the same distance from the previous copy: the one the
// reference tests first wins, also among many equal six-byte strings (large groups).
TEST_F(FastSearch, ExactTiesBetweenCandidates) {
  for (int copies : {2, 3, 40, 250}) {
    Rng rng(copies);
    Bytes block = testdata::Make(Kind::Random, rng, 64);
    Bytes source = testdata::Make(Kind::Random, rng, 1000 * size_t(copies) + 3000);
    for (int k = 0; k < copies; ++k) Put(source, 1000 + 1000 * size_t(k), block);
    // Every copy of the block is followed by the same byte, and the target ends each use
    // with another one, so every copy of the block matches alike.
    for (int k = 0; k < copies; ++k) source[1064 + 1000 * size_t(k)] = 0x11;
    Bytes target;
    for (int piece = 0; piece < 120; ++piece) {
      // A stretch of the source sets the previous copy, often half way between two copies
      // of the block (equal distances), then the block.
      const size_t k = rng.Below(size_t(copies));
      const size_t from = 1000 + 1000 * k + (rng.Below(3) == 0 ? 500 : 100 + rng.Below(800));
      target.insert(target.end(), source.begin() + long(from), source.begin() + long(from + 40));
      target.push_back(0x22);
      target.insert(target.end(), block.begin(), block.end());
      target.push_back(0x33);
      if (rng.Below(4) == 0) target.insert(target.end(), block.begin() + 5, block.end());
    }
    ExpectSame(source, target, std::to_string(copies) + " copies of the block");
    if (HasFailure()) return;
  }
}

TEST_F(FastSearch, LongRunsOfOneValue) {
  struct Case {
    const char* name;
    std::function<std::pair<Bytes, Bytes>()> make;
  } cases[] = {
      {"zeros into zeros", [] { return std::make_pair(Fill(12000, 0), Fill(12000, 0)); }},
      {"zeros into more zeros", [] { return std::make_pair(Fill(6000, 0), Fill(14000, 0)); }},
      {"zeros into fewer zeros", [] { return std::make_pair(Fill(14000, 0), Fill(3000, 0)); }},
      {"sparse images",
       [] {
         // Islands of data in zeros; the target moves, changes and adds islands, so that
         // target runs end before, after and exactly where source runs end.
         Rng rng(5);
         Bytes s = Fill(16000, 0), t = Fill(17000, 0);
         for (size_t at = 300; at + 100 < s.size(); at += 700 + rng.Below(900))
           Put(s, at, testdata::Make(Kind::Random, rng, 20 + rng.Below(60)));
         for (size_t at = 0; at + 1200 < t.size(); at += 900 + rng.Below(900)) {
           const size_t from = rng.Below(s.size() - 1200);
           std::copy(s.begin() + long(from), s.begin() + long(from + 1000), t.begin() + long(at));
           if (rng.Below(2)) Put(t, at + 200 + rng.Below(600), testdata::Make(Kind::Random, rng, 8));
         }
         return std::make_pair(s, t);
       }},
      {"previous copies inside runs",
       [] {
         // Copies from anywhere in a sparse source, each followed by a run of zeros: the
         // previous copy lies inside, before and behind the runs the next one is taken from.
         Rng rng(9);
         Bytes s = Fill(20000, 0), t;
         for (size_t at = 500; at + 100 < s.size(); at += 1500 + rng.Below(1000))
           Put(s, at, testdata::Make(Kind::Random, rng, 10 + rng.Below(30)));
         for (int piece = 0; piece < 40; ++piece) {
           const size_t from = rng.Below(s.size() - 400), len = 20 + rng.Below(300);
           t.insert(t.end(), s.begin() + long(from), s.begin() + long(from + len));
           t.push_back(uint8_t(1 + rng.Below(255)));
           t.insert(t.end(), 40 + rng.Below(rng.Below(2) ? 300 : 1500), 0);
           t.push_back(uint8_t(1 + rng.Below(255)));
         }
         return std::make_pair(s, t);
       }},
      {"runs of several values",
       [] {
         Rng rng(6);
         Bytes s, t;
         while (s.size() < 15000) s.insert(s.end(), 30 + rng.Below(1500), uint8_t(rng.Below(3) * 0x7F));
         while (t.size() < 15000) t.insert(t.end(), 30 + rng.Below(1500), uint8_t(rng.Below(3) * 0x7F));
         return std::make_pair(s, t);
       }},
      {"runs at both ends",
       [] {
         Rng rng(7);
         Bytes s = testdata::Make(Kind::Text, rng, 4000);
         s.insert(s.end(), 3000, 0xFF);
         Bytes t = Fill(2000, 0xFF);
         t.insert(t.end(), s.begin(), s.begin() + 3000);
         t.insert(t.end(), 2990, 0xFF);
         return std::make_pair(s, t);
       }},
  };
  for (const auto& c : cases) {
    const auto [s, t] = c.make();
    ExpectSame(s, t, c.name);
    if (HasFailure()) return;
  }
}

// Runs of zeros in the target right behind a copy that starts k bytes before the end of a
// source run (so the previous copy lies at a chosen place inside or near that run), for
// target runs around the order depth and around the 256-byte cost band.
TEST_F(FastSearch, RunsAroundThePreviousCopy) {
  Rng rng(10);
  const Bytes island = testdata::Make(Kind::Random, rng, 20);
  Bytes s = testdata::Make(Kind::Text, rng, 700);
  s.insert(s.end(), 3000, 0);
  const size_t runEnd = s.size();
  s.insert(s.end(), island.begin(), island.end());
  const Bytes tail = testdata::Make(Kind::Text, rng, 700);
  s.insert(s.end(), tail.begin(), tail.end());
  Bytes t;
  for (size_t run : {20, 38, 257, 300})
    for (size_t k = 1; k < 270; k += (k < 50 || k > 250 ? 1 : 50)) {
      // k zeros and the island: copied from runEnd - k, the previous copy.
      t.insert(t.end(), k, 0);
      t.insert(t.end(), s.begin() + long(runEnd), s.begin() + long(runEnd + 30));
      t.push_back(0xEE);
      t.insert(t.end(), run, 0);
      t.push_back(0xEF);
    }
  ExpectSame(s, t, "runs around the previous copy");
}

TEST_F(FastSearch, PeriodicDataAndRepeatedRecords) {
  for (size_t period : {2, 3, 5, 7, 24, 100, 1000}) {
    Rng rng(period);
    const Bytes unit = testdata::Make(Kind::Random, rng, period);
    Bytes s, t;
    while (s.size() < 20000) s.insert(s.end(), unit.begin(), unit.end());
    t = s;
    for (size_t at = rng.Below(500); at < t.size(); at += 200 + rng.Below(1500)) t[at] ^= 0x5A;
    for (size_t at = rng.Below(500); at < s.size(); at += 300 + rng.Below(3000)) s[at] ^= 0xA5;
    ExpectSame(s, t, "period " + std::to_string(period));
    if (HasFailure()) return;
  }
  // Records that share most of their bytes: large groups whose candidates differ late.
  Rng rng(8);
  const Bytes records = testdata::Make(Kind::Records, rng, 40000);
  ExpectSame(records, testdata::Evolve(rng, records, Kind::Records), "records");
}

// A block repeated many times: every copy of a phase falls into one large group, and the
// nearest of the longest candidates wins. The target takes pieces from anywhere in the
// source, so the previous copy lies below, above, between (at equal distances from two
// copies) and outside the copies; changed bytes in both sides make copies end at different
// places.
TEST_F(FastSearch, RepeatedBlocksAroundThePreviousCopy) {
  for (size_t blockSize : {512, 1536}) {
    Rng rng(blockSize);
    const Bytes block = testdata::Make(Kind::Random, rng, blockSize);
    Bytes s = testdata::Make(Kind::Text, rng, 3000);
    while (s.size() < 3000 + 200 * blockSize) s.insert(s.end(), block.begin(), block.end());
    const Bytes tail = testdata::Make(Kind::Text, rng, 3000);
    s.insert(s.end(), tail.begin(), tail.end());
    for (int k = 0; k < 12; ++k) s[3000 + rng.Below(200 * blockSize)] ^= 0xA5;
    Bytes t;
    for (int piece = 0; piece < 60; ++piece) {
      const size_t from = rng.Below(s.size() - 100);
      t.insert(t.end(), s.begin() + long(from), s.begin() + long(from + 20 + rng.Below(80)));
      t.push_back(0x22);
      const size_t phase = rng.Below(3) == 0 ? 0 : rng.Below(blockSize);
      for (size_t n = 0, len = 100 + rng.Below(3 * blockSize); n < len; ++n) t.push_back(block[(phase + n) % blockSize]);
      if (rng.Below(2)) t.back() ^= 0x5A;
    }
    ExpectSame(s, t, "block of " + std::to_string(blockSize));
    if (HasFailure()) return;
  }
}
