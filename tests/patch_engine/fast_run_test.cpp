// Directory runs with the engine's fast implementation (fast pairing, steps on helper
// threads) against the straightforward reference (every candidate scored, every step in
// turn): the same patch bytes over generated trees; and the helpers' steps failing as a run
// without helpers fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>

#include "patch_engine/engine.h"
#include "patch_engine/engine_messages.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/step_data.h"
#include "patch_engine/step_jobs.h"
#include "run_fixture.h"
#include "test_data.h"

using namespace engine;
using testsupport::TreeFiles;

namespace {

class FastRun : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineOptions();
    ClampEngineOptions();
  }
  void TearDown() override {
    Implementation = StepImplementation::Fast;
    FreeEngineBuffers();
    ResetEngineOptions();
  }

  runfix::Bytes Patch(const std::vector<std::string>& roots, StepImplementation impl) {
    Implementation = impl;
    runfix::SetFileNames(roots, scratch_.Path("out.utp"));
    EXPECT_EQ(runfix::RunEngine(), "");
    EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
    return testsupport::ReadFileBytes(scratch_.Path("out.utp"));
  }
  harness::ProgressFrontEnd progress_;

  runfix::Scratch scratch_;
};

// Mostly text, whose byte histograms are close to each other's, so that many candidates
// come near the best score.
std::string Content(testdata::Rng& rng, size_t length) {
  const testdata::Kind kind = rng.Below(3) ? testdata::Kind::Text : testdata::kKinds[rng.Below(4)];
  const testdata::Bytes b = testdata::Make(kind, rng, length);
  return std::string(b.begin(), b.end());
}

std::string Evolved(testdata::Rng& rng, const std::string& s) {
  const testdata::Bytes b = testdata::Evolve(rng, testdata::Bytes(s.begin(), s.end()),
                                             testdata::Kind::Records);
  return std::string(b.begin(), b.end());
}

std::string Folded(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The next version of a tree: files kept, changed, renamed (also in case only), renamed
// and changed, copied, dropped, given the changed content of another file, and new ones.
TreeFiles NextTree(testdata::Rng& rng, const TreeFiles& tree, int version) {
  static const char* const dirs[] = {"", "bin\\", "lib\\", "share\\sql\\", "share\\doc\\"};
  static const char* const exts[] = {".txt", ".bin", ".sql", ".so", "", ".TXT"};
  TreeFiles next;
  std::map<std::string, int> folded;  // no two names equal but for case
  auto add = [&](const std::string& name, const std::string& content) {
    if (folded[Folded(name)]++ == 0) next[name] = content;
  };
  auto newName = [&](int k) {
    return std::string(dirs[rng.Below(5)]) + "f" + std::to_string(version) + "_" +
           std::to_string(k) + exts[rng.Below(6)];
  };
  std::vector<const std::string*> contents;
  for (const auto& entry : tree) contents.push_back(&entry.second);
  int k = 0;
  for (const auto& [name, content] : tree) {
    switch (rng.Below(22)) {
      case 20: add(name, Evolved(rng, *contents[rng.Below(contents.size())])); break;
      case 21: add(newName(k++), Evolved(rng, *contents[rng.Below(contents.size())])); break;
      case 0: break;                                             // dropped
      case 1: add(newName(k++), content); break;                 // renamed
      case 2: add(newName(k++), Evolved(rng, content)); break;   // renamed and changed
      case 3: {                                                  // name in other case
        std::string n = name;
        for (char& c : n) c = char(std::toupper(static_cast<unsigned char>(c)));
        add(n, content);
        break;
      }
      case 4: add(name, content); add(newName(k++), content); break;  // copied
      case 5: case 6: case 7: case 8: add(name, Evolved(rng, content)); break;
      default: add(name, content);
    }
  }
  for (int n = int(rng.Below(4)); n > 0; --n) add(newName(k++), Content(rng, 50 + rng.Below(9000)));
  return next;
}

}  // namespace

TEST_F(FastRun, DirectoryPatchesAreTheReferencesBytes) {
  for (uint64_t seed : {1, 2, 3}) {
    testdata::Rng rng(seed);
    TreeFiles tree;
    for (int i = 0; i < 40; ++i)
      tree["d" + std::to_string(i % 4) + "\\file" + std::to_string(i) + (i % 3 ? ".txt" : ".dat")] =
          Content(rng, 20 + rng.Below(i % 5 ? 6000 : 60000));
    // Equal contents under several names: candidates with equal scores.
    tree["twin1.txt"] = tree["twin2.txt"] = Content(rng, 3000);
    // Two long texts over the same letters: their histograms differ a little, so each
    // scores a bonus, but less than a version of the other one with a few bytes changed.
    tree["swap\\a.txt"] = testsupport::Noise(40000, uint32_t(seed), "abcdefgh");
    tree["swap\\b.txt"] = testsupport::Noise(40000, uint32_t(seed) + 100, "abcdefgh");
    // And one renamed to another extension: the name says nothing, the bytes everything.
    tree["swap\\c.dat"] = testsupport::Noise(40000, uint32_t(seed) + 200, "abcdefgh");
    tree["swap\\e.bin"] = testsupport::Noise(40000, uint32_t(seed) + 300, "abcdefgh");
    std::vector<std::string> roots;
    const int versions = seed == 3 ? 3 : 2;
    for (int v = 0; v < versions; ++v) {
      if (v > 0) {
        // Texts that swap places: each is then nearest to the other one's old version.
        const std::string a = tree["swap\\a.txt"], b = tree["swap\\b.txt"];
        tree = NextTree(rng, tree, v);
        tree["swap\\a.txt"] = b.substr(0, 20000) + "gg" + b.substr(20002);
        tree["swap\\b.txt"] = a.substr(0, 10000) + "h" + a.substr(10001);
        auto c = tree.find("swap\\c.dat");
        if (c != tree.end()) {
          tree["swap\\d.bin"] = c->second.substr(0, 30000) + "a" + c->second.substr(30001);
          tree.erase(c);
        }
      }
      roots.push_back(scratch_.Path("s" + std::to_string(seed) + "v" + std::to_string(v)));
      scratch_.WriteTree("s" + std::to_string(seed) + "v" + std::to_string(v), tree);
    }
    const runfix::Bytes reference = Patch(roots, StepImplementation::Reference);
    const runfix::Bytes fast = Patch(roots, StepImplementation::Fast);
    EXPECT_TRUE(reference == fast) << "seed " << seed;
    EXPECT_GE(patchdec::ParsePatch(fast).entries.size(), 8u);
  }
}

// A step that fails on a helper ends the run with the error the run would raise without
// helpers, when its record is written, and leaves no temporary file behind.
TEST_F(FastRun, HelperErrorsReachTheRunInWritingOrder) {
  scratch_.WriteFile("a0", testsupport::Noise(5000, 1, "abc"));
  scratch_.WriteFile("a1", testsupport::Noise(5000, 2, "abc"));
  scratch_.WriteFile("b1", testsupport::Noise(5000, 3, "abc"));
  const std::vector<std::string> good = {scratch_.Path("a0"), scratch_.Path("a1")};
  const std::vector<std::string> bad = {scratch_.Path("missing"), scratch_.Path("a0"), scratch_.Path("b1")};
  QueueRecord(good, {5000, 5000});
  QueueRecord(bad, {5000, 5000, 5000});
  EXPECT_TRUE(TakeRecord(bad).empty());  // not the next record
  const RecordJobs first = TakeRecord(good);
  ASSERT_EQ(first.size(), 1u);
  const StepResult r = CollectStep(first[0]);
  EXPECT_EQ(r.sourceLength, 5000);
  EXPECT_FALSE(r.tempName.empty());
  const RecordJobs second = TakeRecord(bad);
  ASSERT_EQ(second.size(), 2u);
  // Step 2 (a0 into b1) is written first and works; step 1 reads the missing version.
  const StepResult r2 = CollectStep(second[1]);
  std::string message;
  const EngineMessage* id = nullptr;
  try {
    RunRelease release;
    CollectStep(second[0]);
  } catch (const EEngineError& e) {
    message = e.Message();
    id = &e.Id();
  }
  EXPECT_EQ(message, "\n\nError, can't open source file \"" + scratch_.Path("missing") + "\" for reading!");
  EXPECT_EQ(id, &msg::CannotOpenSource);
  // The run's release stopped the helpers and deleted what they parked; the record writer
  // deletes the data it took itself.
  platform::RemoveFile(r.tempName);
  platform::RemoveFile(r2.tempName);
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
}

// The stage meters follow the steps the run writes, also when helpers computed them: every
// step's three stages reach 100 on the meters, and the meters end at 100.
TEST_F(FastRun, StageMetersFollowEveryStepTheRunWrites) {
  static std::mutex mutex;
  static std::array<std::vector<int>, 3> shown;
  for (auto& s : shown) s.clear();
  progress_.stage1 = [](int p) { std::lock_guard<std::mutex> l(mutex); shown[0].push_back(p); };
  progress_.stage2 = [](int p) { std::lock_guard<std::mutex> l(mutex); shown[1].push_back(p); };
  progress_.stage3 = [](int p) { std::lock_guard<std::mutex> l(mutex); shown[2].push_back(p); };
  testdata::Rng rng(7);
  TreeFiles older, newer;
  const int files = 12;
  for (int i = 0; i < files; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    older[name] = Content(rng, 2000 + rng.Below(40000));
    newer[name] = Evolved(rng, older[name]);
  }
  scratch_.WriteTree("old", older);
  scratch_.WriteTree("new", newer);
  Patch({scratch_.Path("old"), scratch_.Path("new")}, StepImplementation::Fast);
  for (const auto& s : shown) {
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.back(), 100);
    EXPECT_GE(std::count(s.begin(), s.end(), 100), files);
  }
}
