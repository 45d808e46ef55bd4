// Directory mode end to end: trees written by the test, a patch made by CreatePatch, and
// the patch applied by the test decoder to a copy of every source tree, in place and in
// the order of its entries, which must give the target tree.
#include <gtest/gtest.h>

#include <functional>

#include "golden_patch.h"
#include "patch_engine/crc32.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/file_names.h"
#include "patch_engine/record_order.h"
#include "run_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cstring>

#include "tests/support/fifo_release.h"
#endif

using namespace engine;
using testsupport::Noise;
using testsupport::TreeFiles;

namespace {

const std::string kText = "abcdefghijklmnopqrstuvwxyz ,.\n";

// Text of the given length; a few bytes of `variant` differ from variant 0 of the seed.
std::string Text(size_t length, uint32_t seed, int variant = 0) {
  std::string s = Noise(length, seed, kText);
  for (int v = 1; v <= variant; ++v) s[size_t(v) * length / 7] = char('A' + v);
  return s;
}

class DirectoryRun : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineOptions();
    ClampEngineOptions();
  }
  void TearDown() override {
    ConsoleOutput = nullptr;
    ResetEngineOptions();
  }

  // Writes the trees as v0, v1, ... (the last is the target) and makes the patch; every
  // source tree must then patch into the target.
  patchdec::Patch MakePatch(const std::vector<TreeFiles>& versions) {
    std::vector<std::string> roots;
    for (size_t i = 0; i < versions.size(); ++i) {
      roots.push_back(scratch_.Path("v" + std::to_string(i)));
      scratch_.WriteTree("v" + std::to_string(i), versions[i]);
    }
    return Run(roots);
  }
  patchdec::Patch Run(const std::vector<std::string>& roots) {
    runfix::SetFileNames(roots, scratch_.Path("out.utp"));
    patchdec::Patch patch;
    const std::string error = runfix::RunEngine();
    EXPECT_EQ(error, "");
    if (!error.empty()) return patch;
    bytes_ = testsupport::ReadFileBytes(scratch_.Path("out.utp"));
    patch = patchdec::ParsePatch(bytes_);
    EXPECT_EQ(patch.mode, 2);
    std::vector<std::string> sources(roots.begin(), roots.end() - 1);
    EXPECT_EQ(runfix::CheckAppliesToTarget(patch, sources, roots.back()), "");
    EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
    return patch;
  }
  static std::vector<std::string> Names(const patchdec::Patch& patch) {
    std::vector<std::string> names;
    for (const auto& e : patch.entries)
      names.push_back((e.tag == patchdec::Tag::Record ? "R " + e.record.name : "E " + e.embedded.name));
    return names;
  }

  runfix::Scratch scratch_;
  runfix::RecordingFrontEnd frontEnd_;
  runfix::Bytes bytes_;
};

TEST_F(DirectoryRun, OnlyAChangedFileGetsARecord) {
  const std::string a = Text(600, 1), b = Text(800, 2), c = Text(300, 3);
  patchdec::Patch patch = MakePatch({
      {{"a.txt", a}, {"sub\\b.dat", b}, {"sub\\deeper\\c.txt", c}},
      {{"a.txt", a}, {"sub\\b.dat", Text(800, 2, 3)}, {"sub\\deeper\\c.txt", c}},
  });
  ASSERT_EQ(Names(patch), std::vector<std::string>{"R sub\\b.dat"});
  const patchdec::FileRecord& r = patch.entries[0].record;
  ASSERT_EQ(r.steps.size(), 1u);
  EXPECT_EQ(r.steps[0].sourceName, "sub\\b.dat");
  EXPECT_EQ(r.steps[0].sourceLength, 800u);
  EXPECT_EQ(r.stamp, PackDosTime(runfix::Scratch::kTime));
  EXPECT_EQ(patch.backupName, "Backup");
  EXPECT_EQ(frontEnd_.directoryModes, std::vector<bool>{true});
  EXPECT_EQ(frontEnd_.versionLists,
            (std::vector<std::vector<std::string>>{{scratch_.Path("v0\\sub\\b.dat"), scratch_.Path("v1\\sub\\b.dat")}}));
}

TEST_F(DirectoryRun, NewFileWithUnrelatedBytesIsEmbeddedWhole) {
  const std::string a = Text(500, 4);
  const std::string digits = Noise(300, 5, "0123456789");
  scratch_.WriteTree("v0", {{"a.txt", a}});
  scratch_.WriteTree("v1", {{"a.txt", a}});
  const platform::LocalTime stamped{2004, 5, 6, 7, 8, 10};
  scratch_.WriteFile("v1\\new\\digits.bin", digits, stamped);
  patchdec::Patch patch = Run({scratch_.Path("v0"), scratch_.Path("v1")});
  ASSERT_EQ(Names(patch), std::vector<std::string>{"E new\\digits.bin"});
  EXPECT_EQ(patch.entries[0].embedded.data, runfix::ToBytes(digits));
  EXPECT_EQ(patch.entries[0].embedded.stamp, PackDosTime(stamped));
}

TEST_F(DirectoryRun, RenamedFileIsPatchedFromItsOldPath) {
  const std::string d = Text(700, 6);
  patchdec::Patch patch = MakePatch({{{"old\\name.dat", d}}, {{"new\\other.dat", d}}});
  ASSERT_EQ(Names(patch), std::vector<std::string>{"R new\\other.dat"});
  EXPECT_EQ(patch.entries[0].record.steps[0].sourceName, "old\\name.dat");
}

// The directory patch of golden_patch.h, byte for byte: a record for the renamed file, the
// new file embedded, nothing for the unchanged and the deleted file.
TEST_F(DirectoryRun, RenamedAndNewFilesGiveTheGoldenDirectoryPatch) {
  scratch_.WriteTree("v0", {{"a.txt", golden::kMoved}, {"gone.txt", golden::kGone},
                            {"same.dat", golden::kSame}});
  scratch_.WriteTree("v1", {{"same.dat", golden::kSame}});
  scratch_.WriteFile("v1\\sub\\b.txt", golden::kMoved, {2003, 4, 5, 6, 7, 8});
  scratch_.WriteFile("v1\\new.bin", golden::kEmbedded, {2004, 5, 6, 7, 8, 10});
  patchdec::Patch patch = Run({scratch_.Path("v0"), scratch_.Path("v1")});
  EXPECT_EQ(bytes_, golden::DirectoryPatch194());
  EXPECT_EQ(Names(patch), (std::vector<std::string>{"R sub\\b.txt", "E new.bin"}));
}

TEST_F(DirectoryRun, HiddenEntriesAndLinksAreLeftOut) {
  scratch_.WriteTree("v0", {{"a.txt", Text(400, 7)}, {".hidden.txt", Text(400, 8)},
                            {".cfg\\inner.txt", Text(400, 9)}});
  scratch_.WriteTree("v1", {{"a.txt", Text(400, 7, 2)}, {".hidden.txt", Text(400, 8, 2)},
                            {".cfg\\inner.txt", Text(400, 9, 1)}, {".cfg\\new.txt", "new"},
                            {".new", "x"}});
#ifndef _WIN32
  ASSERT_EQ(symlink("a.txt", scratch_.Path("v1\\link.txt").c_str()), 0);
  ASSERT_EQ(symlink(scratch_.Path("v0").c_str(), scratch_.Path("v1\\linked-dir").c_str()), 0);
#endif
  patchdec::Patch patch = Run({scratch_.Path("v0"), scratch_.Path("v1")});
  EXPECT_EQ(Names(patch), std::vector<std::string>{"R a.txt"});
}

TEST_F(DirectoryRun, EmptyTargetTreeGivesTheBackupNameAndTheEndTagOnly) {
  Options.BackupName = "Saved";
  static std::vector<std::string> progress;
  progress.clear();
  frontEnd_.file = [](int64_t done, int64_t total, const std::string& name) {
    progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + name);
  };
  patchdec::Patch patch = MakePatch({{{"a.txt", Text(400, 10)}}, {}});
  EXPECT_TRUE(patch.entries.empty());
  EXPECT_EQ(patch.backupName, "Saved");
  // Header, the name string, tag 0 and the trailer: nothing else.
  EXPECT_EQ(bytes_.size(), 76u + 1 + 5 + 1 + 8);
  EXPECT_EQ(bytes_[76 + 6], 0);
  EXPECT_EQ(progress, std::vector<std::string>{"0/1 Done."});
}

TEST_F(DirectoryRun, ThreeVersionsChainThroughEveryTree) {
  const std::string same = Text(300, 11);
  const std::string h0 = Text(500, 12);
  patchdec::Patch patch = MakePatch({
      {{"f.txt", Text(900, 13)}, {"g.txt", same}, {"h.txt", h0}},
      {{"f.txt", Text(900, 13, 2)}, {"g.txt", same}, {"h.txt", h0}},
      {{"f.txt", Text(900, 13, 4)}, {"g.txt", same}, {"h.txt", Text(500, 12, 1)}},
  });
  ASSERT_EQ(Names(patch), (std::vector<std::string>{"R f.txt", "R h.txt"}));
  const patchdec::FileRecord& f = patch.entries[0].record;
  ASSERT_EQ(f.steps.size(), 2u);
  EXPECT_EQ(f.steps[0].sourceCrc, patchdec::Crc(runfix::ToBytes(Text(900, 13))));
  EXPECT_EQ(f.steps[1].sourceCrc, patchdec::Crc(runfix::ToBytes(Text(900, 13, 2))));
  // h.txt is the same in the two older trees, so one step serves both.
  const patchdec::FileRecord& h = patch.entries[1].record;
  ASSERT_EQ(h.steps.size(), 1u);
  EXPECT_EQ(h.steps[0].sourceName, "h.txt");
}

// The example of log rotation: each record must come before the record that rewrites the
// path it reads.
TEST_F(DirectoryRun, RotatedLogsComeInAnOrderAnApplierCanFollow) {
  const std::string log0 = Text(600, 14), log1 = Text(600, 15);
  patchdec::Patch patch = MakePatch({
      {{"log0", log0}, {"log1", log1}},
      {{"log0", Text(600, 14, 3)}, {"log1", log0}, {"log2", log1}},
  });
  EXPECT_EQ(Names(patch), (std::vector<std::string>{"R log2", "R log1", "R log0"}));
}

// Two copies of one binary in two folders, both changed, and a new copy that the old one
// becomes: every reader of a path comes before its writer.
TEST_F(DirectoryRun, CopiesThatReadRewrittenPathsComeFirst) {
  const std::string bin = Noise(3000, 16, "0123456789abcdef");
  std::string changed = bin;
  changed[100] = 'x';
  patchdec::Patch patch = MakePatch({
      {{"a\\tool.exe", bin}, {"b\\tool.exe", bin}},
      {{"a\\tool.exe", changed}, {"b\\tool.exe", changed}, {"c\\tool.exe", bin}},
  });
  EXPECT_EQ(Names(patch),
            (std::vector<std::string>{"R c\\tool.exe", "R b\\tool.exe", "R a\\tool.exe"}));
}

TEST_F(DirectoryRun, FileWithoutACompleteChainIsEmbedded) {
  // f.txt has a predecessor in v1, but nothing in v0 can precede that one.
  patchdec::Patch patch = MakePatch({
      {{"small.txt", "too small to be a candidate"}},
      {{"f.txt", Text(600, 17)}},
      {{"f.txt", Text(600, 17, 2)}},
  });
  EXPECT_EQ(Names(patch), std::vector<std::string>{"E f.txt"});
}

// Overwrites the last four bytes of data so that its CRC-32 register equals `want`.
void ForceCrc(std::string& data, uint32_t want) {
  uint32_t table[256];
  uint8_t topIndex[256];
  for (int i = 0; i < 256; ++i) {
    uint8_t b = uint8_t(i);
    table[i] = Crc32Update(&b, 1, 0);
    topIndex[table[i] >> 24] = uint8_t(i);
  }
  uint8_t index[4];
  uint32_t t = want;
  for (int k = 3; k >= 0; --k) {
    index[k] = topIndex[t >> 24];
    t = (t ^ table[index[k]]) << 8;
  }
  uint32_t r = Crc32Update(data.data(), data.size() - 4, kCrcStart);
  for (int k = 0; k < 4; ++k) {
    data[data.size() - 4 + size_t(k)] = char(index[k] ^ (r & 0xFF));
    r = table[index[k]] ^ (r >> 8);
  }
}

TEST_F(DirectoryRun, EqualLengthAndCrcWithOtherBytesIsNotIdentical) {
  const std::string before = Text(400, 18);
  std::string after = Text(400, 18, 3);
  ForceCrc(after, Crc32Update(before.data(), before.size(), kCrcStart));
  ASSERT_NE(after, before);
  ASSERT_EQ(Crc32Update(after.data(), after.size(), kCrcStart),
            Crc32Update(before.data(), before.size(), kCrcStart));
  patchdec::Patch patch = MakePatch({{{"x.txt", before}}, {{"x.txt", after}}});
  EXPECT_EQ(Names(patch), std::vector<std::string>{"R x.txt"});
}

TEST_F(DirectoryRun, EntriesFollowNamesIgnoringCase) {
  const TreeFiles older = {{"b.txt", Text(300, 19)}, {"C.txt", Text(300, 20)}, {"a.txt", Text(300, 21)},
                          {"D.bin", Noise(300, 22, "0123456789")}};
  const TreeFiles newer = {{"b.txt", Text(300, 19, 1)}, {"C.txt", Text(300, 20, 1)},
                          {"a.txt", Text(300, 21, 1)}, {"D.bin", Noise(300, 22, "0123456789")},
                          {"z\\e.dat", "\x01\x02\x03"}, {"Y.dat", "\x04\x05"}};
  patchdec::Patch patch = MakePatch({older, newer});
  EXPECT_EQ(Names(patch), (std::vector<std::string>{"R a.txt", "R b.txt", "R C.txt", "E Y.dat",
                                                    "E z\\e.dat"}));
}

// Whatever happens to a file between the scan and its embedding, the entry holds the
// length of the file as it is opened, and exactly that many bytes.
TEST_F(DirectoryRun, EmbeddingTakesTheLengthOfTheOpenFile) {
  scratch_.WriteTree("v0", {{"a.txt", Text(300, 23)}});
  scratch_.WriteTree("v1", {{"a.txt", Text(300, 23)}, {"n.bin", Noise(5000, 24, "0123")}});
  static std::string shrink;
  shrink = scratch_.Path("v1\\n.bin");
  frontEnd_.file = [](int64_t, int64_t, const std::string& name) {
    if (name == "n.bin") {
      platform::File f;
      f.Open(shrink, platform::OpenMode::ReadWrite);
      f.SetSize(1234);
    }
  };
  runfix::SetFileNames({scratch_.Path("v0"), scratch_.Path("v1")}, scratch_.Path("out.utp"));
  ASSERT_EQ(runfix::RunEngine(), "");
  patchdec::Patch patch = patchdec::ParsePatch(testsupport::ReadFileBytes(scratch_.Path("out.utp")));
  ASSERT_EQ(Names(patch), std::vector<std::string>{"E n.bin"});
  EXPECT_EQ(patch.entries[0].embedded.data, testsupport::ReadFileBytes(shrink));
  EXPECT_EQ(patch.entries[0].embedded.data.size(), 1234u);
}

TEST_F(DirectoryRun, ConsoleAndProgressFollowTheWrittenOrder) {
  static std::vector<std::string> lines;
  lines.clear();
  ConsoleOutput = [](const std::string& line) { lines.push_back(line); };
  frontEnd_.file = [](int64_t done, int64_t total, const std::string& name) {
    lines.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + name);
  };
  const std::string same = Text(250, 25);
  MakePatch({{{"a.txt", Text(300, 26)}, {"s.txt", same}},
             {{"a.txt", Text(300, 26, 1)}, {"s.txt", same}, {"n.bin", "0123"}}});
  ConsoleOutput = nullptr;
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "0/554 a.txt", "Examining \"a.txt\" to \"a.txt\": ", "300/554 s.txt",
                       "File \"s.txt\" identical, skiped.", "550/554 n.bin",
                       "Embedding file \"n.bin\" into patch.", "554/554 Done.",
                       "\nCreated plain patchfile \"" + scratch_.Path("out.utp") + "\" with " +
                           std::to_string(bytes_.size()) + " Bytes.\n"}));
}

// FIFOs, sockets and devices (under Windows: files whose names reach devices) are left
// out of every tree, each said in a console line that comes before the patch file exists.
TEST_F(DirectoryRun, EntriesThatAreNeitherFileNorFolderAreSkippedBeforeAnythingIsWritten) {
  scratch_.WriteTree("v0", {{"a.txt", Text(500, 27)}});
  scratch_.WriteTree("v1", {{"a.txt", Text(500, 27, 2)}, {"sub\\b.bin", Noise(300, 28, "0123456789")}});
#ifdef _WIN32
  const std::vector<std::string> others = {"v0\\nul.txt", "v1\\aux", "v1\\sub\\com1.txt"};
  // Real files under these names, made and removed past the name rules with "\\?\".
  auto verbatim = [this](const std::string& relative) {
    const size_t slash = relative.rfind('\\');
    return "\\\\?\\" + platform::FullPath(scratch_.Path(relative.substr(0, slash))) + relative.substr(slash);
  };
  struct Remove {
    std::function<void()> files;
    ~Remove() { files(); }
  } remove{[&] {
    for (const std::string& o : others) DeleteFileA(verbatim(o).c_str());
  }};
  for (const std::string& o : others) {
    HANDLE h = CreateFileA(verbatim(o).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << o;
    CloseHandle(h);
  }
  const std::vector<std::string> skipped = {"nul.txt", "aux", "sub\\com1.txt"};
#else
  const std::vector<std::string> fifos = {scratch_.Path("v0\\pipe"), scratch_.Path("v1\\pipe"),
                                          scratch_.Path("v1\\sub\\pipe2")};
  for (const std::string& f : fifos) ASSERT_TRUE(testsupport::MakeFifo(f)) << f;
  testsupport::FifoRelease release(fifos);
  const std::string socketPath = scratch_.Path("v1\\sock");
  testsupport::BoundSocket bound(socketPath);
  ASSERT_TRUE(bound.Ok()) << socketPath;
  const std::vector<std::string> skipped = {"pipe", "pipe", "sock", "sub\\pipe2"};
#endif
  static std::vector<std::string> lines;
  static const runfix::Scratch* scratch;
  lines.clear();
  scratch = &scratch_;
  ConsoleOutput = [](const std::string& line) {
    if (line.rfind("Skipping", 0) == 0)
      lines.push_back(line + " temps " + std::to_string(scratch->LeftoverTemps().size()));
  };
  patchdec::Patch patch = Run({scratch_.Path("v0"), scratch_.Path("v1")});
  ConsoleOutput = nullptr;
  EXPECT_EQ(Names(patch), (std::vector<std::string>{"R a.txt", "E sub\\b.bin"}));
  std::vector<std::string> expected;
  for (const std::string& name : skipped)
    expected.push_back("Skipping \"" + name +
                       "\": not a regular file (but a pipe, socket or device). temps 0");
  EXPECT_EQ(lines, expected);
}

#ifndef _WIN32
// Names a patch cannot carry to an applier under Windows, in any tree, for files and
// folders: the run ends with the path and the character, and nothing is written.
TEST_F(DirectoryRun, NamesAPatchCannotCarryEndTheRunBeforeAnythingIsWritten) {
  struct Case {
    const char* folder;  // below the scratch folder, made on the way
    const char* name;
    bool isFolder;
    const char* character;
  } cases[] = {
      {"v1", "back\\slash.txt", false, "the character '\\'"},
      {"v0", "old:name.txt", false, "the character ':'"},
      {"v1", "dir\\x", true, "the character '\\'"},
      {"v1/sub", "tab\tname.txt", false, "the control character 0x09"},
      {"v1", "what?.txt", false, "the character '?'"},
  };
  for (const Case& c : cases) {
    runfix::Scratch s;
    s.WriteTree("v0", {{"a.txt", Text(500, 29)}});
    s.WriteTree("v1", {{"a.txt", Text(500, 29, 1)}, {"sub\\b.txt", "b"}});
    const std::string full = s.Dir() + "/" + c.folder + "/" + c.name;
    if (c.isFolder) {
      ASSERT_TRUE(platform::MakeDirectory(full)) << full;
    }
    platform::File f;
    ASSERT_TRUE(f.Open(c.isFolder ? full + "/f.txt" : full, platform::OpenMode::Write)) << full;
    ASSERT_EQ(f.Write("file", 4), 4u);
    f.Close();
    runfix::SetFileNames({s.Path("v0"), s.Path("v1")}, s.Path("out.utp"));
    EXPECT_EQ(runfix::RunEngine(), "Error, the name of \"" + full + "\" contains " + c.character +
                                       ", which names in a patch must not contain!")
        << c.name;
    EXPECT_EQ(s.Listing(), (std::vector<std::string>{"v0", "v1"})) << c.name;
  }
}
#endif

struct OrderCase {
  const char* what;
  std::vector<RecordPaths> records;
  std::vector<size_t> order;
  std::vector<size_t> dropped;
};

TEST(RecordOrder, ReadersComeBeforeWritersAndCyclesLoseTheirLatest) {
  const OrderCase cases[] = {
      {"independent records keep their order", {{"a", {"a"}}, {"b", {"b"}}, {"c", {"x"}}}, {0, 1, 2}, {}},
      {"log rotation",
       {{"log2", {"log1"}}, {"log0", {"log0"}}, {"log1", {"log0"}}},
       {0, 2, 1},
       {}},
      {"case is ignored", {{"B", {"x"}}, {"A", {"b"}}}, {1, 0}, {}},
      {"a swap around a record that writes nothing", {{"a", {"b"}}, {"", {}}, {"b", {"a"}}}, {0, 1}, {2}},
      {"a swap loses its later record", {{"a", {"b"}}, {"b", {"a"}}}, {0}, {1}},
      {"a cycle of three among others",
       {{"x", {"y"}}, {"z", {}}, {"y", {"w"}}, {"w", {"x"}}, {"v", {"w"}}},
       {0, 1, 2, 4},
       {3}},
      {"reads of every version count",
       {{"q", {"q"}}, {"p", {"p"}}, {"t", {"p", "q"}}},
       {2, 0, 1},
       {}},
      {"a later reader moves ahead of its writer", {{"a", {"a"}}, {"b", {"a"}}}, {1, 0}, {}},
  };
  for (const OrderCase& c : cases) {
    std::vector<size_t> dropped;
    EXPECT_EQ(OrderRecords(c.records, dropped), c.order) << c.what;
    EXPECT_EQ(dropped, c.dropped) << c.what;
  }
}

}  // namespace
