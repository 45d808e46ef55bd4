// Property tests: patches of generated version chains, rebuilt through the test decoder
// from every version. Every case names its seed, so a failure can be replayed alone.
#include <gtest/gtest.h>

#include <string>

#include "engine_harness.h"
#include "patch_decoder.h"
#include "patch_engine/engine.h"
#include "test_data.h"

using harness::Bytes;
using testdata::Kind;

namespace {

class RoundTrip : public harness::EngineTest {};

// What the steps of a test used, so that a test can show its data reached every form.
struct Coverage {
  int steps = 0, copies = 0, placeholders = 0, groups = 0, extendedGroups = 0;
  int plainChunks = 0, differenceChunks = 0, plainExtensions = 0, differenceExtensions = 0;

  void Add(const patchdec::Step& step, const Bytes& source, uint32_t targetLength) {
    patchdec::StepTrace trace;
    patchdec::ApplyStep(step, source, targetLength, &trace);
    ++steps;
    if (!step.streams[patchdec::kExtension].empty())
      ++((step.flags & patchdec::kPlainExtension) ? plainExtensions : differenceExtensions);
    for (const patchdec::Op& op : trace.ops) {
      copies += op.kind == patchdec::Op::Copy;
      placeholders += op.kind == patchdec::Op::Placeholder;
      for (bool plain : op.plainChunks) ++(plain ? plainChunks : differenceChunks);
    }
    for (uint8_t k : trace.groupValues) {
      ++groups;
      extendedGroups += k > 0;
    }
  }
};

// Writes the patch of the chain and rebuilds the target from every version through the
// decoder; returns the patch file.
Bytes CheckChain(const std::vector<Bytes>& versions, const std::string& what,
                 Coverage* coverage = nullptr) {
  SCOPED_TRACE(what);
  testsupport::ScratchDir scratch;
  Bytes file;
  try {
    file = harness::MakeFilePatch(scratch, versions);
    const patchdec::Patch patch = patchdec::ParsePatch(file);
    EXPECT_EQ(patch.mode, 1);
    EXPECT_EQ(patch.trailerLength, file.size());
    EXPECT_EQ(patch.entries.size(), 1u);
    const patchdec::FileRecord& r = patch.entries.at(0).record;
    EXPECT_EQ(r.steps.size(), versions.size() - 1);
    for (size_t j = 0; j < versions.size(); ++j)
      EXPECT_EQ(patchdec::RebuildTarget(r, j, versions[j]), versions.back()) << "from version " << j;
    if (coverage)
      for (size_t i = 0; i < r.steps.size(); ++i)
        coverage->Add(r.steps[i], versions[i], uint32_t(versions[i + 1].size()));
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  return file;
}

// A source of n bytes and a target of m bytes derived from it.
std::vector<Bytes> DerivedPair(uint64_t seed, Kind kind, size_t n, size_t m) {
  testdata::Rng rng(seed);
  Bytes source = testdata::Make(kind, rng, n);
  Bytes target = testdata::Derive(rng, source, m, kind);
  return {std::move(source), std::move(target)};
}

std::string Describe(uint64_t seed, Kind kind, size_t s, size_t t) {
  return "seed " + std::to_string(seed) + ", " + testdata::KindName(kind) + ", source " +
         std::to_string(s) + " bytes, target " + std::to_string(t) + " bytes";
}

}  // namespace

TEST_F(RoundTrip, PairsAroundEverySizeThreshold) {
  const size_t sizes[] = {0, 1, 12, 13, 21, 22, 255, 256, 65535, 65536};
  uint64_t seed = 1000;
  Coverage c;
  for (Kind kind : testdata::kKinds)
    for (size_t s : sizes)
      for (size_t t : sizes) {
        ++seed;
        CheckChain(DerivedPair(seed, kind, s, t), Describe(seed, kind, s, t), &c);
        if (HasFailure()) return;
      }
  // The generated data reached every form of the step data.
  EXPECT_GT(c.copies, 1000);
  EXPECT_GT(c.extendedGroups, 10);
  EXPECT_GT(c.differenceChunks, 100);
  EXPECT_GT(c.plainExtensions, 0);
  EXPECT_GT(c.differenceExtensions, 0);
}

TEST_F(RoundTrip, ChainsOfUpToTwentyVersions) {
  uint64_t seed = 5000;
  for (Kind kind : testdata::kKinds)
    for (size_t length : {size_t(2), size_t(3), size_t(7), size_t(20)}) {
      ++seed;
      testdata::Rng rng(seed);
      std::vector<Bytes> versions{testdata::Make(kind, rng, rng.Between(0, 20000))};
      while (versions.size() < length) {
        // Now and then a version equal to the one before it.
        versions.push_back(rng.Below(6) == 0 ? versions.back()
                                             : testdata::Evolve(rng, versions.back(), kind));
      }
      CheckChain(versions, "seed " + std::to_string(seed) + ", " + testdata::KindName(kind) +
                               ", " + std::to_string(length) + " versions");
      if (HasFailure()) return;
    }
}

TEST_F(RoundTrip, DeflatedPatchStream) {
  engine::Options.Compress = 1;
  testdata::Rng rng(4242);
  const Bytes source = testdata::Make(Kind::Text, rng, 40000);
  const Bytes file = CheckChain({source, testdata::Derive(rng, source, 50000, Kind::Text)},
                                "seed 4242, deflated");
  ASSERT_GT(file.size(), 76u);
  EXPECT_EQ(file[9], 1);
}

// The same inputs give the same patch bytes in every build: the native build and the
// Windows build both check these lengths and CRC-32 registers of whole patch files.
TEST_F(RoundTrip, EveryBuildWritesTheseExactPatches) {
  using testdata::InPlace;
  using testdata::Join;
  using testdata::Repeat;
  using testdata::SourceWithoutA;
  struct Case {
    const char* name;
    std::vector<Bytes> (*versions)();
    uint32_t length, crc;
  } cases[] = {
      {"text pair", [] { return DerivedPair(101, Kind::Text, 20000, 24000); },
       1508, 0x863125A4U},
      {"chain of five record files",
       [] {
         testdata::Rng rng(102);
         std::vector<Bytes> v{testdata::Make(Kind::Records, rng, 16000)};
         while (v.size() < 5) v.push_back(testdata::Evolve(rng, v.back(), Kind::Records));
         return v;
       },
       635, 0x14CD5280U},
      {"runs of one value", [] { return DerivedPair(103, Kind::Runs, 30000, 30000); },
       2514, 0x843593F4U},
      {"random 64 KiB", [] { return DerivedPair(104, Kind::Random, 65536, 65536); },
       9925, 0x74DB1F67U},
      {"capped extension",
       [] {
         Bytes s = SourceWithoutA(20000, 1);
         return std::vector<Bytes>{s, InPlace(s, Join({Repeat(8, 40, 10), Repeat(1, 40, 3)}))};
       },
       257, 0xD66A7685U},
      {"placeholder",
       [] {
         Bytes s = SourceWithoutA(20000, 2);
         return std::vector<Bytes>{
             s, InPlace(s, Join({Repeat(5, 30, 14), Repeat(1, 30, 1), Repeat(1, 12, 14),
                                 Repeat(193, 30, 14), Repeat(1, 30, 0)}))};
       },
       3457, 0x8E4183EAU},
      {"literal and extension differences",
       [] {
         Bytes s = SourceWithoutA(5000, 3);
         Bytes t = InPlace(s, Join({Repeat(20, 30, 2), Repeat(1, 100, 45), Repeat(1, 100, 2)}),
                           testdata::Change::PlusOne);
         return std::vector<Bytes>{s, t};
       },
       285, 0xE9C5C04DU},
      // 16000 small edits: match lists and the number stream over several blocks.
      {"many small edits",
       [] {
         Bytes s = SourceWithoutA(260000, 9);
         return std::vector<Bytes>{s, InPlace(s, Repeat(16000, 15, 1))};
       },
       56224, 0xE0749DE1U},
      // 22 MiB: numbers of four bytes, and stage 1 percents past 21 MB of target.
      {"above 16 MiB",
       [] {
         testdata::Rng rng(77);
         const size_t n = 22u << 20;
         Bytes s = testdata::Make(Kind::Random, rng, n);
         Bytes t(s.end() - (1 << 20), s.end());
         t.insert(t.end(), s.begin(), s.end() - (1 << 20));
         for (size_t at = 12345; at < t.size(); at += 3000001) t[at] ^= 0x5A;
         const Bytes inserted = testdata::Make(Kind::Text, rng, 70000);
         t.insert(t.begin() + 9000000, inserted.begin(), inserted.end());
         return std::vector<Bytes>{s, t};
       },
       70657, 0x312D4183U},
  };
  static std::vector<int> stage1;
  progress_.stage1 = [](int percent) { stage1.push_back(percent); };
  Coverage coverage;
  for (const auto& c : cases) {
    stage1.clear();
    const std::vector<Bytes> versions = c.versions();
    const Bytes file = CheckChain(versions, c.name, &coverage);
    EXPECT_EQ(file.size(), c.length) << c.name;
    EXPECT_EQ(patchdec::Crc(file), c.crc) << c.name << " 0x" << std::hex << patchdec::Crc(file);
    ASSERT_FALSE(stage1.empty());
    EXPECT_EQ(stage1.back(), 100);
    for (size_t i = 1; i < stage1.size() && versions.size() == 2; ++i)
      EXPECT_TRUE(stage1[i - 1] < stage1[i] || stage1[i] == 100) << c.name;
  }
  EXPECT_GT(coverage.placeholders, 0);
  EXPECT_GT(coverage.extendedGroups, 0);
  EXPECT_GT(coverage.differenceChunks, 0);
  EXPECT_GT(coverage.plainChunks, 0);
  EXPECT_GT(coverage.differenceExtensions, 0);
  EXPECT_GT(coverage.plainExtensions, 0);
}
