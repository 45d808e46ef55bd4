// The source index and the greedy match search: what gets indexed, the order inside a
// bucket, the match list of short and identical files, and which of two equal candidates
// wins.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "engine_harness.h"
#include "patch_engine/engine.h"
#include "patch_engine/match_search.h"
#include "patch_engine/step_data.h"
#include "test_data.h"

using namespace engine;
using testdata::Bytes;

namespace {

class MatchSearch : public harness::EngineTest {
 protected:
  // Loads source and target into the step buffer and indexes the source.
  void Index(const Bytes& source, const Bytes& target = {}) {
    AllocateStepBuffer(int64_t(source.size()), int64_t(target.size()));
    if (!source.empty()) std::memcpy(Step().data, source.data(), source.size());
    if (!target.empty()) std::memcpy(Step().data + source.size(), target.data(), target.size());
    BuildSourceIndex();
  }
  void Search(const Bytes& source, const Bytes& target) {
    Index(source, target);
    MatchWholeTarget();
  }
  std::vector<std::pair<int32_t, int32_t>> Found() {
    std::vector<std::pair<int32_t, int32_t>> v;
    const MatchList& m = Matches().found;
    for (int64_t e = 0; e < m.Count(); ++e) v.emplace_back(m.Value(e), m.Offset(e));
    return v;
  }
};

using Entries = std::vector<std::pair<int32_t, int32_t>>;

}  // namespace

TEST(SourceIndex, BucketSortPartitionsAroundTheMiddleEntry) {
  // Five positions 0, 5, 10, 15, 20 whose sort values are 2, 1, 2, 1, 2 (A .. E). The
  // partition swaps A and E, then C and D; the left part D B E then swaps D and E... the
  // fixed order that comes out is D B E A C (a stable sort would give B D A C E).
  uint8_t data[32] = {};
  const uint8_t values[5] = {2, 1, 2, 1, 2};
  for (int i = 0; i < 5; ++i) data[5 * i + 1] = values[i];
  uint32_t a[5] = {0, 5, 10, 15, 20};
  SortBucket(a, 0, 4, data);
  const uint32_t expect[5] = {15, 5, 20, 0, 10};
  EXPECT_EQ(std::memcmp(a, expect, sizeof a), 0)
      << a[0] << " " << a[1] << " " << a[2] << " " << a[3] << " " << a[4];

  // Unsigned comparison of the little-endian value, over a large bucket.
  testdata::Rng rng(3);
  Bytes big(200000 * 5 + 8);
  for (auto& b : big) b = uint8_t(rng.Below(3) == 0 ? 0xFF : rng.Next());
  std::vector<uint32_t> pos;
  for (uint32_t p = 0; p + 5 < big.size(); p += 5) pos.push_back(p);
  SortBucket(pos.data(), 0, int64_t(pos.size()) - 1, big.data());
  for (size_t i = 1; i < pos.size(); ++i)
    ASSERT_LE(SortValue(big.data(), pos[i - 1]), SortValue(big.data(), pos[i])) << i;
}

TEST_F(MatchSearch, IndexHoldsEveryFifthPositionFromFourUpToLengthMinus17) {
  struct Case {
    size_t length;
    std::set<uint32_t> positions;
  } cases[] = {{0, {}}, {21, {}}, {22, {4}}, {26, {4}}, {27, {4, 9}}};
  testdata::Rng rng(11);
  for (const auto& c : cases) {
    Index(testdata::Make(testdata::Kind::Random, rng, c.length));
    std::set<uint32_t> got;
    for (int key = 0; key < kBuckets; ++key)
      for (int64_t i = 0; i < BucketCount(key); ++i) got.insert(BucketEntries(key)[i]);
    EXPECT_EQ(got, c.positions) << c.length;
  }
  // A larger source: every indexed position sits in the bucket of its key, sorted.
  const Bytes text = testdata::Make(testdata::Kind::Text, rng, 5000);
  Index(text);
  int64_t total = 0;
  for (int key = 0; key < kBuckets; ++key) {
    const uint32_t* e = BucketEntries(key);
    for (int64_t i = 0; i < BucketCount(key); ++i, ++total) {
      EXPECT_EQ(text[e[i] + 5] * 256 + text[e[i]], key);
      EXPECT_EQ(e[i] % 5, 4u);
      if (i > 0) {
        EXPECT_LE(SortValue(text.data(), e[i - 1]), SortValue(text.data(), e[i]));
      }
    }
  }
  EXPECT_EQ(total, (5000 - 17 - 4 + 4) / 5);
}

TEST_F(MatchSearch, ShortAndIdenticalFiles) {
  testdata::Rng rng(5);
  const Bytes s100 = testdata::Make(testdata::Kind::Random, rng, 100);
  const Bytes s21(s100.begin(), s100.begin() + 21), s22(s100.begin(), s100.begin() + 22);
  struct Case {
    const char* name;
    Bytes source, target;
    Entries found;
  } cases[] = {
      {"empty target", s100, {}, {}},
      {"12-byte target found in the source", s100, Bytes(s100.begin(), s100.begin() + 12),
       {{-12, 0}}},
      {"13-byte target found in the source", s100, Bytes(s100.begin(), s100.begin() + 13),
       {{13, 0}}},
      {"21-byte source, same target", s21, s21, {{-21, 0}}},
      {"22-byte source, same target", s22, s22, {{22, 0}}},
      {"identical", s100, s100, {{100, 0}}},
      {"empty source", {}, s100, {{-100, 0}}},
      {"new bytes around a copy", s100,
       [&] {
         Bytes t = {1, 2, 3};
         t.insert(t.end(), s100.begin() + 40, s100.begin() + 90);
         t.insert(t.end(), {9, 9});
         return t;
       }(),
       {{-3, 0}, {50, 40}, {-2, 53}}},
  };
  for (const auto& c : cases) {
    Search(c.source, c.target);
    EXPECT_EQ(Found(), c.found) << c.name;
  }
}

TEST_F(MatchSearch, OfTwoEqualGainsTheNearerOffsetWins) {
  // The block X lies at source offsets 1000 and 3000. The target copies 100 bytes from
  // `previous`, then X, so both candidates match 100 bytes with a two-byte offset cost.
  // At equal distance (previous 2000) the candidate found first stays: the bucket sort
  // puts 3004 in front of 1004, its twin with the same six bytes.
  testdata::Rng rng(9);
  Bytes source = testdata::Make(testdata::Kind::Random, rng, 4000);
  std::copy(source.begin() + 1000, source.begin() + 1100, source.begin() + 3000);
  for (int previous : {2100, 1900, 2000}) {
    Bytes target(source.begin() + previous, source.begin() + previous + 100);
    target.insert(target.end(), source.begin() + 1000, source.begin() + 1100);
    uint8_t differ = 0;  // ends both candidates after exactly 100 bytes
    while (differ == source[1100] || differ == source[3100]) ++differ;
    target.insert(target.end(), {differ, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
    Search(source, target);
    const Entries f = Found();
    ASSERT_GE(f.size(), 2u);
    EXPECT_EQ(f[0], std::make_pair(100, previous));
    EXPECT_EQ(f[1], std::make_pair(100, previous == 1900 ? 1000 : 3000)) << previous;
  }
}

TEST_F(MatchSearch, StageOneReportsRisingPercentsEndingAt100) {
  static std::vector<int> seen;
  seen.clear();
  progress_.stage1 = [](int percent) { seen.push_back(percent); };
  testdata::Rng rng(2);
  const Bytes source = testdata::Make(testdata::Kind::Text, rng, 30000);
  Search(source, testdata::Derive(rng, source, 20000, testdata::Kind::Text));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  // Each new percent once; 100 may come from the scan and again at its end.
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_TRUE(seen[i - 1] < seen[i] || seen[i] == 100);
  EXPECT_GT(seen.size(), 10u);
  seen.clear();
  Search(source, {});
  EXPECT_EQ(seen, std::vector<int>{100});
}
