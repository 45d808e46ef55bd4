// The file record writer: the golden plain patch, the fields of a chain's record, what the
// front end and the console hear, and failures that must leave nothing behind.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "golden_patch.h"
#include "patch_decoder.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "patch_engine/file_record.h"
#include "test_data.h"

using namespace engine;
using harness::Bytes;

namespace {

// Records every front-end call; and, before step 1 of a chain, the temporary file that
// holds the step computed before it.
class RecordingFrontEnd final : public FrontEndServices {
 public:
  RecordingFrontEnd() : installed_(*this) {}
  void PumpMessages() override { calls.push_back("pump"); }
  void ResetQuellMeters() override { ++meterResets; }
  void ShowSourceVersions(int step, const std::vector<std::string>& versionNames) override {
    const int versions = int(versionNames.size());
    calls.push_back("versions " + std::to_string(step) + "/" + std::to_string(versions));
    if (step + 1 < versions) {
      parked.push_back(FileSlots()[size_t(step) + 1].tempName);
      if (removeParked) platform::RemoveFile(parked.back());
    }
  }
  void ShowPatchSize(int64_t bytes) override { sizes.push_back(bytes); }
  void RaiseMissingStub(const std::string& stub) override { calls.push_back("stub " + stub); }

  std::vector<std::string> calls, parked;
  std::vector<int64_t> sizes;
  int meterResets = 0;
  bool removeParked = false;  // take the parked step away, as if something else deleted it

 private:
  FrontEndScope installed_;
};

std::vector<std::string> consoleLines;

class FileRecordTest : public harness::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    consoleLines.clear();
    ConsoleOutput = [](const std::string& line) { consoleLines.push_back(line); };
  }
  void TearDown() override {
    ConsoleOutput = nullptr;
    EngineTest::TearDown();
  }
  RecordingFrontEnd frontEnd_;
};

std::string Failure(const std::string& out, const std::vector<std::string>& paths) {
  try {
    harness::WriteFilePatch(out, paths);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no failure)";
}

}  // namespace

TEST_F(FileRecordTest, IdenticalThousandBytesGiveTheGolden144BytePatch) {
  testsupport::ScratchDir scratch;
  const Bytes v = golden::Content1000();
  const Bytes patch = harness::MakeFilePatch(scratch, {v, v});
  EXPECT_EQ(patch, golden::PlainPatch144());
}

TEST_F(FileRecordTest, ChainRecordCarriesEachSourceInItsDescriptorAndTheTargetInFront) {
  testdata::Rng rng(21);
  const Bytes v0 = testdata::Make(testdata::Kind::Text, rng, 3000);
  const Bytes v1 = testdata::Evolve(rng, v0, testdata::Kind::Text);
  const Bytes v2 = testdata::Evolve(rng, v1, testdata::Kind::Text);
  const platform::LocalTime targetTime{2010, 11, 12, 13, 14, 16};
  testsupport::ScratchDir scratch;
  const patchdec::Patch p = patchdec::ParsePatch(harness::MakeFilePatch(scratch, {v0, v1, v2}, targetTime));
  const patchdec::FileRecord& r = p.entries.at(0).record;
  EXPECT_EQ(r.crc, patchdec::Crc(v2));
  EXPECT_EQ(r.length, v2.size());
  EXPECT_EQ(r.stamp, PackDosTime(targetTime));
  EXPECT_EQ(r.flags, 0);
  ASSERT_EQ(r.steps.size(), 2u);
  EXPECT_EQ(r.steps[0].sourceCrc, patchdec::Crc(v0));
  EXPECT_EQ(r.steps[0].sourceLength, v0.size());
  EXPECT_EQ(r.steps[1].sourceCrc, patchdec::Crc(v1));
  EXPECT_EQ(r.steps[1].sourceLength, v1.size());
  for (const patchdec::Step& s : r.steps) {
    EXPECT_EQ(s.groupSize, 190);
    EXPECT_EQ(s.chunkSize, 20);
    EXPECT_EQ(s.flags & patchdec::kSelfReferences, 0);
  }
  EXPECT_EQ(patchdec::RebuildTarget(r, v0), v2);
  EXPECT_EQ(patchdec::RebuildTarget(r, v1), v2);
}

TEST_F(FileRecordTest, StepsRunNewestFirstAndTheFrontEndHearsOfEach) {
  testdata::Rng rng(22);
  const Bytes v0 = testdata::Make(testdata::Kind::Records, rng, 5000);
  const Bytes v1 = testdata::Evolve(rng, v0, testdata::Kind::Records);
  const Bytes v2 = testdata::Evolve(rng, v1, testdata::Kind::Records);
  testsupport::ScratchDir scratch;
  const Bytes patch = harness::MakeFilePatch(scratch, {v0, v1, v2});
  EXPECT_EQ(frontEnd_.calls, (std::vector<std::string>{"versions 2/3", "versions 1/3"}));
  EXPECT_EQ(frontEnd_.meterResets, 2);
  // Reported before the trailer was written.
  EXPECT_EQ(frontEnd_.sizes, std::vector<int64_t>{int64_t(patch.size()) - 8});
  EXPECT_EQ(consoleLines,
            std::vector<std::string>{"Examining \"" + scratch.Dir() + platform::PathSeparator() +
                                     "v2\": "});
  // Step 2 was parked in a temporary file while step 1 ran; it is gone now.
  ASSERT_EQ(frontEnd_.parked.size(), 1u);
  EXPECT_FALSE(frontEnd_.parked[0].empty());
  EXPECT_FALSE(platform::IsFile(frontEnd_.parked[0]));
  for (const FileInfo& slot : FileSlots()) EXPECT_TRUE(slot.tempName.empty());
}

TEST_F(FileRecordTest, EmptyTargetGivesAStepWithoutData) {
  testsupport::ScratchDir scratch;
  const patchdec::Patch p = patchdec::ParsePatch(harness::MakeFilePatch(scratch, {Bytes(500, 3), {}}));
  const patchdec::Step& s = p.entries.at(0).record.steps.at(0);
  for (const Bytes& stream : s.streams) EXPECT_TRUE(stream.empty());
  EXPECT_TRUE(s.flags & patchdec::kPlainExtension);
  EXPECT_EQ(p.entries[0].record.length, 0u);
}

TEST_F(FileRecordTest, FailuresNameTheFileAndLeaveNothingBehind) {
  testsupport::ScratchDir scratch;
  const std::string v0 = scratch.Path("v0"), v1 = scratch.Path("v1"), v2 = scratch.Path("v2");
  const std::string missing = scratch.Path("missing"), out = scratch.Path("out.utp");
  testsupport::WriteFileBytes(v0, Bytes(3000, 1), harness::kVersionTime);
  testsupport::WriteFileBytes(v1, Bytes(3000, 2), harness::kVersionTime);
  testsupport::WriteFileBytes(v2, Bytes(3000, 3), harness::kVersionTime);
  struct Case {
    const char* name;
    std::vector<std::string> paths;
    std::string message;
  } cases[] = {
      // Step 2 is computed and parked before step 1 finds its source missing.
      {"missing oldest version", {missing, v1, v2},
       "\n\nError, can't open source file \"" + missing + "\" for reading!"},
      {"missing target", {v0, missing},
       "\n\nError, can't open destination file \"" + missing + "\" for writing!"},
      {"no source version", {v2},
       "Error, a file record needs one to 19 source versions and a target (got 1 versions)!"},
  };
  for (const auto& c : cases) {
    frontEnd_.parked.clear();
    EXPECT_EQ(Failure(out, c.paths), c.message) << c.name;
    EXPECT_EQ(frontEnd_.parked.size(), c.paths.size() == 3 ? 1u : 0u) << c.name;
    EXPECT_FALSE(platform::IsFile(out)) << c.name;
    for (const std::string& t : frontEnd_.parked) EXPECT_FALSE(platform::IsFile(t)) << c.name;
    EXPECT_FALSE(Files().patch.IsOpen());
  }
}

TEST_F(FileRecordTest, TemporaryFilesThatCannotBeMadeOrReadBack) {
  testsupport::ScratchDir scratch;
  const std::string v0 = scratch.Path("v0"), v1 = scratch.Path("v1"), v2 = scratch.Path("v2");
  const std::string out = scratch.Path("out.utp");
  testsupport::WriteFileBytes(v0, Bytes(3000, 1), harness::kVersionTime);
  testsupport::WriteFileBytes(v1, Bytes(3000, 2), harness::kVersionTime);
  testsupport::WriteFileBytes(v2, Bytes(3000, 3), harness::kVersionTime);
  {
    const std::string nowhere = platform::JoinPath(scratch.Dir(), "no such directory");
    testsupport::ScopedEnv tmpdir("TMPDIR", nowhere), tmp("TMP", nowhere), temp("TEMP", nowhere);
    EXPECT_EQ(Failure(out, {v0, v1}), "Can't create necessary temporary file!");
    EXPECT_FALSE(platform::IsFile(out));
  }
  frontEnd_.removeParked = true;
  EXPECT_EQ(Failure(out, {v0, v1, v2}), "Error reading temporarily saved patchinfo!");
  EXPECT_FALSE(platform::IsFile(out));
}

#ifndef _WIN32
TEST_F(FileRecordTest, FilesOf2GiBAndMoreAreRefused) {
  // A sparse file: its length is what counts, nothing is read.
  testsupport::ScratchDir scratch;
  const std::string small = scratch.Path("small"), big = scratch.Path("big");
  const std::string out = scratch.Path("out.utp");
  testsupport::WriteFileBytes(small, Bytes(100, 1), harness::kVersionTime);
  {
    platform::File f;
    ASSERT_TRUE(f.Open(big, platform::OpenMode::Write));
    ASSERT_TRUE(f.SetSize(int64_t(1) << 31));
  }
  EXPECT_EQ(Failure(out, {small, big}),
            "\n\nError, file \"" + big +
                "\" is too large: files of 2 GB (2147483648 Bytes) and more are not supported!");
  EXPECT_FALSE(platform::IsFile(out));
}
#endif
