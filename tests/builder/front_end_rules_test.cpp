// The rules behind the patch builder's windows that need no window: the progress window's
// clock and directory percentage, help pages and link commands, the patch request and the
// recipient list.
#include <gtest/gtest.h>

#include <cstdint>

#include "builder/help_routing.h"
#include "builder/patch_progress.h"
#include "builder/patch_request.h"
#include "builder/recipients.h"
#include "framework/core/clock.h"
#include "framework/core/sysutils.h"
#include "patch_engine/engine.h"
#include "tests/support/scratch_tree.h"

namespace {

TEST(ProgressDisplay, ElapsedTextKeepsHoursUnwrapped) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "00:00:00"},        {999, "00:00:00"},          {59999, "00:00:59"},
      {3723000, "01:02:03"},  {36000000, "10:00:00"},     {360000000, "100:00:00"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(ElapsedText(ms), text) << ms;
}

TEST(ProgressDisplay, DirectoryPercentIs64BitClampedAndSafeForAZeroTotal) {
  struct Case {
    int64_t done, total;
    int percent;
  } cases[] = {
      {0, 0, 0},
      {5, 0, 0},
      {5, -3, 0},
      {-1, 100, 0},
      {50, 100, 50},
      {99, 100, 99},
      {100, 100, 100},
      {150, 100, 100},
      {3000000000LL, 6000000000LL, 50},  // past 32 bits, where done * 100 overflowed
      {INT64_MAX - 1, INT64_MAX, 99},
  };
  for (const Case& c : cases) EXPECT_EQ(DirectoryPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

class FakeClock : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetTickSource([this] { return now_; });
  }
  void TearDown() override { SetTickSource(previous_); }
  uint32_t now_ = 4000000000u;  // wraps during the test
  TTickSource previous_;
};

TEST_F(FakeClock, RunClockCountsRunningTimeOnlyAndHoldsNest) {
  TRunClock clock;
  clock.Start();
  now_ += 5000;
  EXPECT_EQ(clock.Elapsed(), 5000u);
  clock.Hold();  // paused
  now_ += 10000;
  clock.Hold();  // a question while paused
  now_ += 7000;
  clock.Release();
  EXPECT_FALSE(clock.Running());
  now_ += 1000;
  EXPECT_EQ(clock.Elapsed(), 5000u);
  clock.Release();  // resumed
  EXPECT_TRUE(clock.Running());
  now_ += 2000;
  EXPECT_EQ(clock.Elapsed(), 7000u);
  clock.Release();  // one release too many changes nothing
  now_ += 1000;
  EXPECT_EQ(clock.Elapsed(), 8000u);
  clock.Stop();
  now_ += 60000;
  EXPECT_EQ(clock.Elapsed(), 8000u);
  clock.Start();
  EXPECT_EQ(clock.Elapsed(), 0u);
}

TEST(HelpRouting, CommandTemplates) {
  const std::pair<const char*, const char*> cases[] = {
      {"browser.exe %1", "browser.exe http://x/"},
      {"\"C:\\b.exe\" -url \"%1\" -new", "\"C:\\b.exe\" -url \"http://x/\" -new"},
      {"both %1 and %1", "both http://x/ and http://x/"},
      {"browser.exe", "browser.exe http://x/"},
      {"iexplore.exe -nohome ", "iexplore.exe -nohome  http://x/"},
      {"keep %2 %1", "keep %2 http://x/"},
      {"ends in %", "ends in % http://x/"},
  };
  for (const auto& [tmpl, expanded] : cases) EXPECT_EQ(ExpandCommandTemplate(tmpl, "http://x/"), expanded) << tmpl;
}

TEST(HelpRouting, BrowserChoiceFallsBackToTheSystemCommand) {
  TSystemCommands sys;
  sys.BrowserCommand = "winebrowser %1";
  sys.InternetExplorerProgram = "C:\\ie\\iexplore.exe";
  TMainSettings m;
  m.CustomBrowserPath = "C:\\b\\custom.exe";
  m.CustomBrowserArgs = "-open %1";
  auto exists = [](const std::string& f) { return f == "C:\\b\\custom.exe"; };
  const std::pair<int, const char*> cases[] = {
      {0, "winebrowser %1"},
      {1, "C:\\ie\\iexplore.exe -nohome "},
      {2, "winebrowser %1"},  // no Netscape Navigator
      {3, "C:\\b\\custom.exe -open %1"},
  };
  for (const auto& [choice, tmpl] : cases) {
    m.DefaultBrowser = choice;
    EXPECT_EQ(BrowserCommandTemplate(m, sys, exists), tmpl) << choice;
  }
  m.CustomBrowserPath = "C:\\b\\gone.exe";
  EXPECT_EQ(BrowserCommandTemplate(m, sys, exists), "winebrowser %1");
}

TEST(HelpRouting, PagesLieInTheHelpFolderBelowTheCurrentDirectory) {
  EXPECT_EQ(ContextHelpPage("C:\\Quiltor", "Form1", "page_Expert"), "C:\\Quiltor\\help\\Form1_page_Expert.html");
  EXPECT_EQ(ContextHelpPage("C:\\Quiltor\\", "Form2", ""), "C:\\Quiltor\\help\\Form2.html");
  EXPECT_EQ(ContentsPage("C:\\"), "C:\\help\\index.html");
  EXPECT_EQ(ApplicationTitle().rfind("Quiltor Snapmend 2.1f (check ", 0), 0u);
}

TEST(PatchRequest, ListsAndSuffixes) {
  EXPECT_EQ(ApplierKindOf(0), 0u);
  EXPECT_EQ(ApplierKindOf(1), 1u);
  EXPECT_EQ(ApplierKindOf(2), 3u);
  const std::pair<int, int> packers[] = {{1, 0}, {2, 4}, {3, 3}, {4, 2}, {5, 1}, {6, 5}};
  for (const auto& [index, type] : packers) {
    uint32_t t = 99;
    EXPECT_TRUE(PackerTypeOf(index, t)) << index;
    EXPECT_EQ(t, uint32_t(type)) << index;
  }
  uint32_t t = 0;
  EXPECT_FALSE(PackerTypeOf(0, t));
  EXPECT_FALSE(PackerTypeOf(7, t));  // JAR has no packer type: the run goes without one
  EXPECT_EQ(PatchNameSuffix(0, 0), ".utp");
  EXPECT_EQ(PatchNameSuffix(0, 2), ".exe");
  EXPECT_EQ(PatchNameSuffix(3, 0), ".gz");
  EXPECT_EQ(PatchNameSuffix(7, 1), ".j");
}

TEST(PatchRequest, FillsTheEngineOptions) {
  TPatchRequest r;
  r.Versions = {"C:\\old\\a.bin", "C:\\new\\a.bin"};
  r.PatchName = "C:\\out\\YourPatch.zip";
  r.PatchType = 2;
  r.Packer = 3;
  r.BackupName = "saved";
  std::array<TPackerSettings, kPackerNames.size()> packers;
  packers[0] = {false, "C:\\zip\\zip.exe", ""};    // InfoZIP: slot 0, own program
  packers[1] = {true, "C:\\unused.exe", ""};       // PkZIP: slot 4, along the path
  packers[2] = {false, "C:\\gz\\gzip.exe", ""};    // GZIP: slot 3
  engine::Options.Compress = 1;                     // reset by the fill
  FillEngineOptions(r, packers);
  const engine::EngineOptions& o = engine::Options;
  EXPECT_EQ(o.FileCount, 3);
  EXPECT_EQ(o.FileNames[0], "C:\\old\\a.bin");
  EXPECT_EQ(o.FileNames[1], "C:\\new\\a.bin");
  EXPECT_EQ(o.FileNames[2], "C:\\out\\YourPatch.exe");
  EXPECT_EQ(o.ApplierKind, 3u);
  EXPECT_EQ(o.PackerOn, 1);
  EXPECT_EQ(o.PackerType, 3u);
  EXPECT_EQ(o.BackupName, "saved");
  EXPECT_EQ(o.Compress, 0);
  EXPECT_EQ(o.PackerUseCustom[0], 1);
  EXPECT_EQ(o.PackerProgram[0], "C:\\zip\\zip.exe");
  EXPECT_EQ(o.PackerUseCustom[4], 0);
  EXPECT_EQ(o.PackerProgram[4], "");
  EXPECT_EQ(o.PackerUseCustom[3], 1);
  EXPECT_EQ(o.PackerProgram[3], "C:\\gz\\gzip.exe");
  EXPECT_EQ(o.PackerUseCustom[6], 0);

  r.Packer = 7;
  r.PatchType = 0;
  FillEngineOptions(r, packers);
  EXPECT_EQ(o.PackerOn, 0);
  EXPECT_EQ(o.FileNames[2], "C:\\out\\YourPatch.utp");
  engine::ResetEngineOptions();
}

// Every packer of the options page reaches the engine's slot of its packer type, and every
// entry of the packer list names its type and the patch name's suffix.
TEST(PatchRequest, EveryPackerReachesItsEngineSlot) {
  const uint32_t slots[] = {0, 4, 3, 2, 1, 5};  // InfoZIP, PkZIP, GZIP, RAR, LHA, ARJ
  std::array<TPackerSettings, kPackerNames.size()> packers;
  for (size_t i = 0; i < packers.size(); ++i) packers[i] = {false, "C:\\p" + std::to_string(i) + ".exe", ""};
  TPatchRequest r;
  r.Versions = {"C:\\old\\a.bin", "C:\\new\\a.bin"};
  r.PatchName = "C:\\out\\YourPatch";
  FillEngineOptions(r, packers);
  const engine::EngineOptions& o = engine::Options;
  for (size_t i = 0; i < std::size(slots); ++i) {
    EXPECT_EQ(o.PackerUseCustom[slots[i]], 1) << kPackerNames[i];
    EXPECT_EQ(o.PackerProgram[slots[i]], "C:\\p" + std::to_string(i) + ".exe") << kPackerNames[i];
  }
  EXPECT_EQ(o.PackerUseCustom[6], 0);
  EXPECT_EQ(o.PackerProgram[6], "");
  EXPECT_EQ(o.PackerOn, 0);
  engine::ResetEngineOptions();

  const char* const suffixes[] = {".zip", ".zip", ".gz", ".rar", ".lha", ".arj", ".j"};
  for (int entry = 1; entry <= 7; ++entry) {
    EXPECT_EQ(PatchNameSuffix(entry, 0), suffixes[entry - 1]) << entry;
    EXPECT_EQ(PatchNameSuffix(entry, 2), suffixes[entry - 1]) << entry;
    uint32_t type = 99;
    EXPECT_EQ(PackerTypeOf(entry, type), entry <= 6) << entry;
    if (entry <= 6) {
      EXPECT_EQ(type, slots[entry - 1]) << entry;
    }
  }
}

TEST(PatchRequest, ColumnsGiveTheirEntriesInListOrderAndExtrasPairByTag) {
  const TVersionColumn first{"C:\\old", {}};
  const TVersionColumn target{"C:\\new\\", {"b.bin", "a.bin", "c.bin"}};  // as the list orders them
  // The extra combos in list order; their lists in another order, one without a match.
  const std::vector<TTaggedFolder> combos = {{3, "D:\\v3"}, {2, "D:\\v2"}, {4, ""}};
  const std::vector<TTaggedSelection> lists = {{2, {"x.bin"}}, {3, {}}, {9, {"lost.bin"}}};
  EXPECT_EQ(CollectVersions(first, combos, lists, target),
            (std::vector<std::string>{"C:\\old\\", "D:\\v3\\", "D:\\v2\\x.bin", "", "C:\\new\\b.bin",
                                      "C:\\new\\a.bin", "C:\\new\\c.bin"}));
  std::vector<std::string> one;
  CollectVersion({"C:\\old", {"only.bin"}}, one);
  EXPECT_EQ(one, std::vector<std::string>{"C:\\old\\only.bin"});
}

TEST(PatchRequest, ValidOnlyForADistinctSetOfFilesOrTreesAndAFreePatchName) {
  // Directories end in "\" as a column with nothing selected names them.
  const auto isDirectory = [](const std::string& p) { return !p.empty() && p.back() == '\\'; };
  std::vector<std::string> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back("C:\\v\\" + std::to_string(i) + ".bin");
  std::vector<std::string> twentyOne = twenty;
  twentyOne.push_back("C:\\v\\last.bin");
  struct Case {
    const char* what;
    std::vector<std::string> versions;
    std::string patchName;
    int patchType;
    bool valid, trees;
    int packer = 0;
  } cases[] = {
      {"two files", {"C:\\a.bin", "C:\\b.bin"}, "C:\\out\\p.utp", 0, true, false},
      {"two trees", {"C:\\d1\\", "C:\\d2\\"}, "C:\\out\\p.utp", 0, true, true},
      {"a tree and a file", {"C:\\d1\\", "C:\\b.bin"}, "C:\\out\\p.utp", 0, false, false},
      {"target equals a source", {"C:\\a.bin", "c:\\A.BIN"}, "C:\\out\\p.utp", 0, false, false},
      {"an empty version", {"C:\\a.bin", ""}, "C:\\out\\p.utp", 0, false, false},
      {"no patch name", {"C:\\a.bin", "C:\\b.bin"}, "", 0, false, false},
      {"patch name is a version once forced", {"C:\\a.bin", "C:\\b.exe"}, "C:\\b.zip", 2, false, false},
      {"patch name inside a tree", {"C:\\d1\\", "C:\\d2\\"}, "c:\\D2\\sub\\p.utp", 0, false, true},
      {"patch name beside a tree", {"C:\\d1\\", "C:\\d2\\"}, "C:\\d2x\\p.utp", 0, true, true},
      {"twenty versions", twenty, "C:\\out\\p.utp", 0, true, false},
      {"twenty-one versions", twentyOne, "C:\\out\\p.utp", 0, false, false},
      {"one version", {"C:\\a.bin"}, "C:\\out\\p.utp", 0, false, false},
      // The archive would take the place of a version, which the run then drops.
      {"the zip archive is the target", {"C:\\x\\a.zip", "C:\\x\\b.zip"}, "C:\\x\\b.zip", 0, false, false, 1},
      {"the arj archive of an executable patch is a source", {"C:\\x\\a.arj", "C:\\x\\b.arj"}, "c:\\X\\A.exe", 2,
       false, false, 6},
      {"the LHA archive is named .lzh", {"C:\\x\\a.lzh", "C:\\x\\b.lzh"}, "C:\\x\\b.lha", 0, false, false, 5},
      {"an archive beside the versions", {"C:\\x\\a.zip", "C:\\x\\b.zip"}, "C:\\x\\c.zip", 0, true, false, 1},
      {"JAR runs no packer", {"C:\\x\\a.j", "C:\\x\\b.j"}, "C:\\x\\b.j", 0, true, false, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TPatchRequest r;
    r.Versions = c.versions;
    r.PatchName = c.patchName;
    r.PatchType = c.patchType;
    r.Packer = c.packer;
    const TRequestCheck check = CheckRequest(r, isDirectory);
    EXPECT_EQ(check.Valid, c.valid);
    if (c.valid) {
      EXPECT_EQ(check.AllDirectories, c.trees);
    }
  }
  // The file system's probe: a folder named with its trailing separator is a directory.
  testsupport::ScratchTree s;
  s.MakeFolders("d1");
  EXPECT_TRUE(IsDirectoryOnDisk(s.Path("d1") + "/"));
  s.WriteFile("a.bin", "a");
  EXPECT_FALSE(IsDirectoryOnDisk(s.Path("a.bin")));
}

// The engine writes the patch under the forced name unless a packer wraps it; Create gives
// the edit the name the file then has.
TEST(PatchRequest, PatchNamesOfTheRequestAndAfterCreate) {
  struct Case {
    std::string name;
    int patchType, packer;
    std::string forced, created;
  } cases[] = {
      {"C:\\p\\YourPatch.zip", 2, 0, "C:\\p\\YourPatch.exe", "C:\\p\\YourPatch.exe"},
      {"C:\\p\\YourPatch.zip", 2, 1, "C:\\p\\YourPatch.exe", "C:\\p\\YourPatch.zip"},
      {"C:\\p\\YourPatch.j", 0, 7, "C:\\p\\YourPatch.utp", "C:\\p\\YourPatch.utp"},  // JAR runs no packer
      {"C:\\p\\YourPatch", 1, 0, "C:\\p\\YourPatch.exe", "C:\\p\\YourPatch.exe"},
      {"C:\\p.d\\YourPatch.gz", 0, 3, "C:\\p.d\\YourPatch.utp", "C:\\p.d\\YourPatch.gz"},
  };
  for (const Case& c : cases) {
    TPatchRequest r;
    r.PatchName = c.name;
    r.PatchType = c.patchType;
    r.Packer = c.packer;
    EXPECT_EQ(ForcedPatchName(r), c.forced) << c.name << " " << c.packer;
    EXPECT_EQ(CreatedPatchName(r), c.created) << c.name << " " << c.packer;
  }
  // The suffix a packer or patch type choice gives the edit.
  EXPECT_EQ(ChangeFileExt("C:\\p\\YourPatch.exe", PatchNameSuffix(3, 2)), "C:\\p\\YourPatch.gz");
  EXPECT_EQ(ChangeFileExt("C:\\p\\YourPatch.gz", PatchNameSuffix(0, 0)), "C:\\p\\YourPatch.utp");
}

TEST(Recipients, TypedEntriesNeedOneAtSignAndAreListedOnce) {
  std::vector<TRecipient> list;
  struct Case {
    const char* text;
    uint8_t kind;
    TEntryResult result;
  } cases[] = {
      {"", 0, TEntryResult::Refused},
      {"<type an address>", 0, TEntryResult::Refused},
      {"nobody", 0, TEntryResult::Refused},
      {"a@b@c.example", 0, TEntryResult::Refused},
      {"ann@b.example", 0, TEntryResult::Added},
      {"ANN@B.example", 1, TEntryResult::AlreadyListed},
      {"bob@c.example", 1, TEntryResult::Added},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TakeTypedRecipient(c.text, "<type an address>", c.kind, list), c.result) << c.text;
  EXPECT_EQ(list, (std::vector<TRecipient>{{-1, "ann@b.example", "", 0}, {-1, "bob@c.example", "", 1}}));
  // The entry pair offers "CC" once a "TO" is listed.
  EXPECT_EQ(NextEntryKind({}), TRecipient::kTo);
  EXPECT_EQ(NextEntryKind({{-1, "x@y", "", TRecipient::kBcc}}), TRecipient::kTo);
  EXPECT_EQ(NextEntryKind(list), TRecipient::kCc);
}

}  // namespace
