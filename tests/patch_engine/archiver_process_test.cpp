// The archiver stage with a real process: a small fake archiver records the command line
// it was started with and its exit code.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "patch_engine/engine.h"
#include "platform/process.h"
#include "run_fixture.h"

using namespace engine;

namespace {

std::string FakeArchiver() {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of('\\') + 1) + "fake_archiver.exe";
}

class ArchiverProcess : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineOptions();
    ClampEngineOptions();
    scratch_.WriteFile("v0.bin", testsupport::Noise(2000, 50, "abcdefgh"));
    scratch_.WriteFile("v1.bin", testsupport::Noise(2000, 51, "abcdefgh"));
    cwd_ = std::make_unique<runfix::CurrentDirectory>(scratch_.Dir());
    log_ = std::make_unique<testsupport::ScopedEnv>("FAKE_ARCHIVER_LOG", scratch_.Path("archiver.log"));
    frontEnd_.run = platform::RunProcess;
  }
  void TearDown() override {
    cwd_.reset();
    log_.reset();
    ResetEngineOptions();
  }
  void Use(uint32_t type, const std::string& output) {
    runfix::SetFileNames({"v0.bin", "v1.bin"}, output);
    Options.PackerOn = 1;
    Options.PackerType = type;
    Options.PackerUseCustom[type] = 1;
    Options.PackerProgram[type] = program_;
  }
  // The log's records, each "command line\nexit code".
  std::vector<std::string> Log() {
    runfix::Bytes bytes = testsupport::ReadFileBytes(scratch_.Path("archiver.log"));
    std::vector<std::string> records;
    std::string text(bytes.begin(), bytes.end());
    for (size_t at = 0; at < text.size();) {
      size_t first = text.find('\n', at);
      size_t second = text.find('\n', first + 1);
      records.push_back(text.substr(at, second - at));
      at = second + 1;
    }
    platform::RemoveFile(scratch_.Path("archiver.log"));
    return records;
  }

  runfix::Scratch scratch_;
  runfix::RecordingFrontEnd frontEnd_;
  std::unique_ptr<runfix::CurrentDirectory> cwd_;
  std::unique_ptr<testsupport::ScopedEnv> log_;
  const std::string program_ = FakeArchiver();
};

TEST_F(ArchiverProcess, EveryPackerTypeGetsItsCommandLine) {
  const std::string q = "\"" + program_ + "\"";
  const std::string lines[] = {
      q + " -9 -g -X -j \"patch\" \"patch.utp\"",
      q + " a -n -m \"patch\" \"patch.utp\"",
      q + " a \"patch\" \"patch.utp\" -std -tl -ep -m5 -mm",
      q + " -N -9 -S\".gz \" \"patch.utp\"",
      q + " -ex -a -o \"patch.zip\" \"patch.utp\"",
      q + " a -jm -e -i -y \"patch.arj\" \"patch.utp\"",
      q + " a -m4 -y \"patch.j\" \"patch.utp\"",
  };
  const char* const archives[] = {"patch.zip", "patch.lzh", "patch.rar", "patch.gz",
                                  "patch.zip", "patch.arj", "patch.j"};
  for (uint32_t type = 0; type < 7; ++type) {
    scratch_.WriteFile(archives[type], "old archive");
    Use(type, "patch.utp");
    ASSERT_EQ(runfix::RunEngine(), "") << type;
    EXPECT_EQ(Log(), std::vector<std::string>{lines[type] + "\n0"}) << type;
    EXPECT_FALSE(platform::IsFile(archives[type])) << type;
  }
}

TEST_F(ArchiverProcess, LongNamesAreAskedAboutFirst) {
  frontEnd_.answerLongNames = false;
  Use(4, "longpatchname");
  ASSERT_EQ(runfix::RunEngine(), "");
  EXPECT_EQ(frontEnd_.calls.back(), "Ask PkZIP longpatchname.utp");
  EXPECT_EQ(Log(), std::vector<std::string>{});
  EXPECT_TRUE(platform::IsFile("longpatchname.utp"));

  frontEnd_.answerLongNames = true;
  ASSERT_EQ(runfix::RunEngine(), "");
  EXPECT_EQ(Log(), std::vector<std::string>{"\"" + program_ +
                                            "\" -ex -a -o \"longpatchname.zip\" \"longpatchname.utp\"\n0"});
}

TEST_F(ArchiverProcess, FailingArchiverIsAnErrorNamingItAndItsCodeAndKeepsEarlierFiles) {
  testsupport::ScopedEnv exit("FAKE_ARCHIVER_EXIT", "5");
  Use(5, "patch.utp");
  EXPECT_EQ(runfix::RunEngine(), "Error, packer \"" + program_ + "\" failed with exit code 5!");
  EXPECT_EQ(Log().size(), 1u);
  EXPECT_EQ(patchdec::ParsePatch(testsupport::ReadFileBytes("patch.utp")).entries.size(), 1u);
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});

  // An earlier patch and archive stay as they were.
  scratch_.WriteFile("patch.utp", "earlier patch");
  scratch_.WriteFile("patch.arj", "earlier archive");
  EXPECT_EQ(runfix::RunEngine(), "Error, packer \"" + program_ + "\" failed with exit code 5!");
  EXPECT_EQ(Log().size(), 1u);
  const runfix::Bytes patch = testsupport::ReadFileBytes("patch.utp");
  const runfix::Bytes archive = testsupport::ReadFileBytes("patch.arj");
  EXPECT_EQ(std::string(patch.begin(), patch.end()), "earlier patch");
  EXPECT_EQ(std::string(archive.begin(), archive.end()), "earlier archive");
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
}

}  // namespace
