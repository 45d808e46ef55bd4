#include <gtest/gtest.h>

#include <functional>

#include "platform/byte_order.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"
#include "setup_engine/setup_loader.h"
#include "tests/setup_engine/error_text.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace setup;

using installtest::Error;

class Loader : public ::testing::Test {
 protected:
  Loader() {
    for (const char* d : {"stage", "dist", "run"}) platform::MakeDirectory(dir.Path(d));
    Write("stage/setup.exe", "THE SETUP PROGRAM");
    Write("stage/pre.txt", "presetup");
    TKstnCompress k;
    k.SetCompressedFile(dir.Path("stage/setup.1"));
    std::vector<std::string> files{dir.Path("stage/setup.exe"), dir.Path("stage/pre.txt")};
    k.SetFilesToProcess(files);
    k.Compress(false);
  }
  void Write(const std::string& relative, const std::string& text) {
    platform::File f;
    ASSERT_TRUE(f.Open(dir.Path(relative), platform::OpenMode::Write));
    f.Write(text.data(), text.size());
  }
  std::string Read(const std::string& relative) {
    platform::File f;
    if (!f.Open(dir.Path(relative), platform::OpenMode::Read)) return "<missing>";
    std::string text(size_t(f.Size()), '\0');
    f.Read(text.data(), text.size());
    return text;
  }
  testsupport::ScratchDir dir{"qtload"};
};

// With its tail the loader unpacks the part inside itself and names its file and folder;
// "*TODISK" becomes -f; anything else is refused.
TEST_F(Loader, SelfExtractingFile) {
  Write("dist/setup.exe", "LOADER");
  CreateSelfExtractor(dir.Path("dist/setup.exe"), dir.Path("stage/setup.1"), dir.Path("dist/files.1"));
  TLoaderPlan plan = PlanLoader(dir.Path("dist/setup.exe"), {});
  EXPECT_EQ(plan.Archive, dir.Path("dist/setup.exe"));
  EXPECT_EQ(plan.Offset, 6);
  EXPECT_EQ(plan.Arguments, (std::vector<std::string>{"-esetup.exe", "-s" + dir.Path("dist"), "-c"}));
  UnpackSetupPart(plan, dir.Path("run"));
  EXPECT_EQ(Read("run/setup.exe"), "THE SETUP PROGRAM");
  EXPECT_EQ(Read("run/pre.txt"), "presetup");
  EXPECT_EQ(PlanLoader(dir.Path("dist/setup.exe"), {"*TODISK"}).Arguments.back(), "-f");
  EXPECT_EQ(Error([&] { PlanLoader(dir.Path("dist/setup.exe"), {"-b"}); }),
            "Invalid parameter <-b>. The only parameter is *TODISK");
  EXPECT_EQ(LoaderCommandLine("C:\\t\\setup.exe", plan.Arguments),
            "\"C:\\t\\setup.exe\" \"-esetup.exe\" \"-s" + dir.Path("dist") + "\" \"-c\"");
}

// Without a tail (a floppy set) the part is setup.1 beside the loader.
TEST_F(Loader, FloppySet) {
  Write("dist/setup.exe", "LOADER");
  Write("dist/setup.1", Read("stage/setup.1"));
  TLoaderPlan plan = PlanLoader(dir.Path("dist/setup.exe"), {});
  EXPECT_EQ(plan.Archive, platform::JoinPath(dir.Path("dist"), "setup.1"));
  EXPECT_EQ(plan.Arguments, (std::vector<std::string>{"-s" + dir.Path("dist"), "-c"}));
  UnpackSetupPart(plan, dir.Path("run"));
  EXPECT_EQ(Read("run/setup.exe"), "THE SETUP PROGRAM");
  platform::RemoveFile(dir.Path("dist/setup.1"));
  EXPECT_EQ(Error([&] { UnpackSetupPart(plan, dir.Path("run")); }),
            "Cannot find the setup part " + plan.Archive);
}

// A tail that does not fit its file, and a cut setup part, are refused.
TEST_F(Loader, BadTailOrPart) {
  Write("dist/setup.exe", "LOADER");
  CreateSelfExtractor(dir.Path("dist/setup.exe"), dir.Path("stage/setup.1"), dir.Path("dist/files.1"));
  std::string joined = Read("dist/setup.exe");
  std::string cut = joined;
  platform::PutU32(reinterpret_cast<uint8_t*>(&cut[cut.size() - 56 + 20]), uint32_t(cut.size()));
  Write("dist/bad.exe", cut);
  EXPECT_EQ(Error([&] { PlanLoader(dir.Path("dist/bad.exe"), {}); }),
            "Could not read the extraction info from the archive file " + dir.Path("dist/bad.exe") +
                " when trying to find the correct offset into the self extracting file");
  // The part's data cut short, the tail moved along.
  std::string part = Read("stage/setup.1");
  std::string shortPart = part.substr(0, part.size() - 5);
  Write("stage/short.1", shortPart);
  Write("dist/short.exe", "LOADER");
  CreateSelfExtractor(dir.Path("dist/short.exe"), dir.Path("stage/short.1"), dir.Path("dist/files.1"));
  TLoaderPlan plan = PlanLoader(dir.Path("dist/short.exe"), {});
  EXPECT_NE(Error([&] { UnpackSetupPart(plan, dir.Path("run")); }), "no exception");
}

}  // namespace
