#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/file.h"
#include "setup_engine/archive_cli.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n, uint32_t seed) {
  Bytes b(n);
  for (auto& c : b) c = uint8_t((seed = seed * 1103515245 + 12345) >> 23);
  return b;
}

void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string NewDir() {
  std::string name;
  EXPECT_TRUE(platform::CreateUniqueFile(platform::TempDirectory(), "qsa", name));
  platform::RemoveFile(name);
  EXPECT_TRUE(platform::MakeDirectory(name));
  return name;
}

std::string Join(const std::string& a, const std::string& b) { return platform::JoinPath(a, b); }

struct Cli {
  int rc;
  std::string out, err;
};

Cli Cmd(std::vector<std::string> args) {
  std::ostringstream out, err;
  int rc = setup::RunArchiveCommand(args, out, err);
  return {rc, out.str(), err.str()};
}

struct Input {
  std::string name;
  size_t size;
};

// Writes the inputs with distinct fixed dates; returns their paths.
std::vector<std::string> MakeInputs(const std::string& dir, const std::vector<Input>& inputs) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string p = Join(dir, inputs[i].name);
    WriteFile(p, Pattern(inputs[i].size, uint32_t(i + 1)));
    EXPECT_TRUE(setup::SetFileDateTime(p, 36000.25 + double(i)));
    paths.push_back(p);
  }
  return paths;
}

int32_t FirstCompressedSize(const std::string& archive) {
  TKstnCompress a;
  a.SetCompressedFile(archive);
  TlzhFileStats s;
  a.GetFileStats(0, s);
  return s.compressedSize;
}

enum class Disks { None, Fixed, FirstFileFillsDisk1 };

struct RoundTrip {
  const char* title;
  std::vector<Input> inputs;
  Disks disks;
  int64_t diskSize;
};

TEST(Archive, RoundTripsThroughWriteSpanAndExtract) {
  std::vector<Input> many;
  for (int i = 0; i < 60; ++i) many.push_back({"small" + std::to_string(i) + ".txt", size_t(i * 7)});
  const RoundTrip cases[] = {
      {"empty files", {{"a.txt", 0}, {"b.txt", 0}}, Disks::None, 0},
      {"empty files spanned", {{"a.txt", 0}, {"b.txt", 0}}, Disks::Fixed, 400},
      {"one copy buffer", {{"block.bin", 8192}}, Disks::Fixed, 5000},
      {"larger than a disk", {{"big.bin", 300000}, {"tail.txt", 10}}, Disks::Fixed, 70000},
      {"starts at a disk's end", {{"first.bin", 5000}, {"second.bin", 3000}},
       Disks::FirstFileFillsDisk1, 0},
      {"many small files", many, Disks::Fixed, 12000},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.title);
    std::string dir = NewDir(), src = Join(dir, "src"), disks = Join(dir, "disks");
    platform::MakeDirectory(src);
    platform::MakeDirectory(disks);
    std::vector<std::string> paths = MakeInputs(src, c.inputs);
    std::string archive = Join(dir, "files.1");
    std::vector<std::string> args{"build", archive};
    args.insert(args.end(), paths.begin(), paths.end());
    Cli built = Cmd(args);
    ASSERT_EQ(built.rc, 0) << built.err;
    std::string readFrom = archive;
    int64_t diskSize = c.diskSize;
    if (c.disks == Disks::FirstFileFillsDisk1)
      diskSize = 5 + int64_t(c.inputs.size()) * 164 + FirstCompressedSize(archive);
    if (c.disks != Disks::None) {
      Cli spanned = Cmd({"span", archive, disks, std::to_string(diskSize)});
      ASSERT_EQ(spanned.rc, 0) << spanned.err;
      readFrom = Join(disks, "files.1");
      std::vector<platform::DirEntry> entries;
      platform::ListDirectory(disks, entries);
      EXPECT_GE(entries.size(), c.disks == Disks::Fixed && c.diskSize < 1000 ? 1u : 2u);
      for (const auto& e : entries) EXPECT_LE(e.size, diskSize) << e.name;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
      std::string out = Join(Join(dir, "out"), c.inputs[i].name);
      Cli x = Cmd({"extract", readFrom, paths[i], out});
      ASSERT_EQ(x.rc, 0) << x.err;
      EXPECT_EQ(ReadFile(out), ReadFile(paths[i])) << c.inputs[i].name;
      double want, got;
      ASSERT_TRUE(setup::GetFileDateTime(paths[i], want));
      ASSERT_TRUE(setup::GetFileDateTime(out, got));
      EXPECT_EQ(got, want);
    }
  }
}

TEST(Archive, ListsWhatWasStored) {
  std::string dir = NewDir();
  auto paths = MakeInputs(dir, {{"one.txt", 0}, {"two.bin", 1000}});
  ASSERT_EQ(Cmd({"build", Join(dir, "a.1"), paths[0] + ";ignored", paths[1]}).rc, 0);
  Cli l = Cmd({"list", Join(dir, "a.1")});
  ASSERT_EQ(l.rc, 0) << l.err;
  EXPECT_EQ(l.out, paths[0] + "\t0\t8\t1998-07-24 06:00:00\t\t0\t0\n" + paths[1] +
                       "\t1000\t" + std::to_string(ReadFile(Join(dir, "a.1")).size() - 5 -
                                                    2 * 164 - 8) +
                       "\t1998-07-25 06:00:00\t\t0\t0\n");
  // Appending puts the new headers behind the old ones, numbered from 1 again.
  auto more = MakeInputs(dir, {{"three.txt", 20}});
  ASSERT_EQ(Cmd({"append", Join(dir, "a.1"), more[0]}).rc, 0);
  TKstnCompress a;
  a.SetCompressedFile(Join(dir, "a.1"));
  ASSERT_EQ(a.FileCount(), 3);
  TlzhFileStats s;
  a.GetFileStats(2, s);
  EXPECT_EQ(s.header.ordinal, 1);
  EXPECT_EQ(s.name, more[0]);
  EXPECT_EQ(a.IndexOfFile(paths[1]), 1);
  EXPECT_EQ(a.IndexOfFile("nothing"), -1);
  Cli x = Cmd({"extract", Join(dir, "a.1"), more[0], Join(dir, "x.txt")});
  ASSERT_EQ(x.rc, 0) << x.err;
  EXPECT_EQ(ReadFile(Join(dir, "x.txt")), ReadFile(more[0]));
}

TEST(Archive, BuildTimeErrors) {
  std::string dir = NewDir();
  std::string longName = Join(dir, std::string(101 - Join(dir, "").size(), 'n'));
  WriteFile(longName, {1});
  ASSERT_EQ(longName.size(), 101u);
  Cli tooLong = Cmd({"build", Join(dir, "a.1"), longName});
  EXPECT_EQ(tooLong.rc, 1);
  EXPECT_EQ(tooLong.err,
            "The name " + longName + " is longer than the 100 characters an archive can store\n");
  Cli missing = Cmd({"build", Join(dir, "b.1"), Join(dir, "none.txt")});
  EXPECT_EQ(missing.err, "Cannot open the file " + Join(dir, "none.txt") + "\n");

  TKstnCompress empty;
  empty.SetCompressedFile(Join(Join(dir, "sub"), "e.1"));
  empty.Compress(false);
  EXPECT_EQ(ReadFile(Join(Join(dir, "sub"), "e.1")), (Bytes{0, 0, 0, 0, 0}));
}

TEST(Archive, MissingArchiveIsAnError) {
  std::string dir = NewDir();
  TKstnCompress a;
  a.SetCompressedFile(Join(dir, "none.1"));
  std::vector<std::string> files{"x"};
  a.SetFilesToProcess(files);
  EXPECT_THROW(a.ExtractFile(), EKstnCompress);
  EXPECT_TRUE(a.Abort);
  EXPECT_THROW(a.FileCount(), EKstnCompress);
  Cli x = Cmd({"extract", Join(dir, "none.1"), "x", Join(dir, "x")});
  EXPECT_EQ(x.rc, 1);
  EXPECT_EQ(x.err, "Cannot open the compressed file " + Join(dir, "none.1") + "\n");
}

TEST(Archive, ExtractNameServesOnlyTheFirstLineAndBlankLinesGo) {
  std::string dir = NewDir();
  auto paths = MakeInputs(dir, {{"p.txt", 5}, {"q.txt", 6}});
  ASSERT_EQ(Cmd({"build", Join(dir, "a.1"), paths[0], paths[1]}).rc, 0);
  std::string out = Join(dir, "out");
  TKstnCompress a;
  a.SetCompressedFile(Join(dir, "a.1"));
  a.ExtractDirectory = out;
  a.ExtractName = "renamed.txt";
  std::vector<std::string> files{paths[0], " ", paths[1]};
  a.SetFilesToProcess(files);
  EXPECT_EQ(files.size(), 2u);
  a.ExtractFile();
  EXPECT_EQ(ReadFile(Join(out, "renamed.txt")), ReadFile(paths[0]));
  EXPECT_EQ(ReadFile(Join(out, "q.txt")), ReadFile(paths[1]));
  EXPECT_TRUE(a.ExtractName.empty());
  EXPECT_TRUE(a.FilesToProcess().empty());

  // owNever keeps an existing destination untouched.
  WriteFile(Join(out, "q.txt"), {'k'});
  a.Overwrite = owNever;
  std::vector<std::string> again{paths[1]};
  a.SetFilesToProcess(again);
  a.ExtractFile();
  EXPECT_EQ(ReadFile(Join(out, "q.txt")), (Bytes{'k'}));

  std::vector<std::string> unknown{"nope;x"};
  a.SetFilesToProcess(unknown);
  try {
    a.ExtractFile();
    ADD_FAILURE();
  } catch (const EKstnCompress& e) {
    EXPECT_EQ(e.Message(), "The file <nope;x> was not found in the archive <" + Join(dir, "a.1") + ">");
  }
}

TEST(Archive, MissingDiskAsksFourTimes) {
  std::string dir = NewDir(), disks = Join(dir, "disks");
  platform::MakeDirectory(disks);
  auto paths = MakeInputs(dir, {{"big.bin", 40000}});
  ASSERT_EQ(Cmd({"build", Join(dir, "a.1"), paths[0]}).rc, 0);
  ASSERT_EQ(Cmd({"span", Join(dir, "a.1"), disks, "20000"}).rc, 0);
  platform::RemoveFile(Join(disks, "files.2"));
  TKstnCompress a;
  a.SetCompressedFile(Join(disks, "files.1"));
  a.ExtractDirectory = Join(dir, "out");
  int asked = 0;
  a.OnNewDisk = [&](TKstnCompress&, int disk, std::string&) {
    EXPECT_EQ(disk, 2);
    ++asked;
  };
  std::vector<std::string> files{paths[0]};
  a.SetFilesToProcess(files);
  EXPECT_THROW(a.ExtractFile(), EKstnCompress);
  EXPECT_EQ(asked, 4);
  EXPECT_FALSE(platform::IsFile(Join(Join(dir, "out"), "big.bin")));
  std::vector<platform::DirEntry> left;
  platform::ListDirectory(Join(dir, "out"), left);
  EXPECT_TRUE(left.empty());  // no temporary file stays behind
}

// Offsets within the first header of a two-file archive.
constexpr size_t kH1 = 5;

TEST(Archive, HostileArchivesAreRefusedAndTouchNothing) {
  std::string dir = NewDir();
  auto paths = MakeInputs(dir, {{"one.bin", 3000}, {"two.bin", 3000}});
  std::string good = Join(dir, "good.1");
  ASSERT_EQ(Cmd({"build", good, paths[0], paths[1]}).rc, 0);
  const Bytes original = ReadFile(good);
  struct Case {
    const char* title;
    std::function<void(Bytes&)> mutate;
    std::string name;  // stored name to extract
    std::string message;
  };
  auto setName = [](Bytes& b, size_t at, const std::string& n) {
    b[at + 20] = uint8_t(n.size());
    std::memcpy(&b[at + 21], n.data(), n.size());
  };
  const Case cases[] = {
      {"truncated data", [&](Bytes& b) { b.erase(b.end() - 100, b.end()); }, paths[1], "is corrupt"},
      {"truncated table", [](Bytes& b) { b.erase(b.begin() + 3, b.end()); }, paths[0],
       "Could not read the file headers"},
      {"oversized count", [](Bytes& b) { platform::PutU32(&b[0], 0x7FFFFFFF); }, paths[0],
       "Could not read the file headers"},
      {"negative count", [](Bytes& b) { platform::PutU32(&b[0], 0x80000000u); }, paths[0],
       "Could not read the file headers"},
      {"name longer than its field", [](Bytes& b) { b[kH1 + 20] = 200; }, paths[0],
       "Could not read the file headers"},
      {"chain running backwards", [](Bytes& b) { platform::PutU32(&b[kH1 + 124], 0); }, paths[0],
       "Could not read the file headers"},
      {"not an archive", [](Bytes& b) { b.assign(400, 'x'); }, paths[0],
       "Could not read the file headers"},
      {"parent name", [&](Bytes& b) { setName(b, kH1, ".."); }, "..", "is not a valid file name"},
      {"data beyond the file", [](Bytes& b) { platform::PutU32(&b[kH1 + 16], 0x7FFFFFF0); },
       paths[0], "is corrupt"},
      {"more data than promised", [](Bytes& b) { platform::PutU32(&b[kH1 + 128], 100); },
       paths[0], "is corrupt"},
      {"less data than promised", [](Bytes& b) { platform::PutU32(&b[kH1 + 128], 5000); },
       paths[0], "size does not match"},
      {"damaged deflate data",
       [&](Bytes& b) { std::memset(&b[kH1 + 164 + 10], 0xAA, 200); }, paths[0], "error"},
      {"spanned flag on one file", [&](Bytes& b) { b[4] = 1; }, paths[0], ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    Bytes bad = original;
    c.mutate(bad);
    std::string archive = Join(dir, "bad.1"), out = Join(dir, "out");
    WriteFile(archive, bad);
    platform::MakeDirectory(out);
    std::string installed = Join(out, setup::ExtractFileName(c.name));
    if (c.name != "..") WriteFile(installed, {'o', 'l', 'd'});
    Cli x = Cmd({"extract", archive, c.name, Join(out, "")});
    EXPECT_EQ(x.rc, 1);
    EXPECT_NE(x.err.find(c.message), std::string::npos) << x.err;
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(out, entries);
    EXPECT_EQ(entries.size(), c.name == ".." ? 0u : 1u);
    if (c.name != "..") {
      EXPECT_EQ(ReadFile(installed), (Bytes{'o', 'l', 'd'}));
    }
    platform::RemoveFile(installed);
  }
}

TEST(Archive, StoredPathsNeverLeaveTheExtractDirectory) {
  std::string dir = NewDir();
  auto paths = MakeInputs(dir, {{"one.bin", 30}});
  std::string good = Join(dir, "a.1");
  ASSERT_EQ(Cmd({"build", good, paths[0]}).rc, 0);
  Bytes b = ReadFile(good);
  for (std::string hostile : {"C:\\..\\..\\evil.txt", "../../evil.txt", "/etc/evil.txt"}) {
    SCOPED_TRACE(hostile);
    Bytes bad = b;
    bad[kH1 + 20] = uint8_t(hostile.size());
    std::memcpy(&bad[kH1 + 21], hostile.data(), hostile.size());
    WriteFile(good, bad);
    std::string out = Join(Join(dir, "deep"), "out");
    TKstnCompress a;
    a.SetCompressedFile(good);
    a.ExtractDirectory = out;
    std::vector<std::string> files{hostile};
    a.SetFilesToProcess(files);
    a.ExtractFile();
    EXPECT_EQ(ReadFile(Join(out, "evil.txt")), ReadFile(paths[0]));
    EXPECT_FALSE(platform::IsFile(Join(dir, "evil.txt")));
    EXPECT_FALSE(platform::IsFile(Join(Join(dir, "deep"), "evil.txt")));
  }
}

TEST(Archive, SelfExtractorTail) {
  std::string dir = NewDir();
  auto paths = MakeInputs(dir, {{"inside.bin", 5000}});
  std::string archive = Join(dir, "files.1"), setupPart = Join(dir, "setup.1");
  ASSERT_EQ(Cmd({"build", archive, paths[0]}).rc, 0);
  WriteFile(setupPart, Pattern(8192, 9));
  std::string exe = Join(dir, "setup.exe");
  WriteFile(exe, Pattern(1000, 7));
  CreateSelfExtractor(exe, setupPart, archive);
  Cli t = Cmd({"tail", exe});
  ASSERT_EQ(t.rc, 0) << t.err;
  int64_t archiveAt = 1000 + 8192;
  EXPECT_EQ(t.out, "1000\t9191\t9192\t" +
                       std::to_string(archiveAt + int64_t(ReadFile(archive).size()) - 1) + "\n");
  Cli x = Cmd({"extract", exe, paths[0], Join(dir, "copy.bin"), std::to_string(archiveAt)});
  ASSERT_EQ(x.rc, 0) << x.err;
  EXPECT_EQ(ReadFile(Join(dir, "copy.bin")), ReadFile(paths[0]));
  // Spanning the appended archive out of the program.
  std::string disks = Join(dir, "disks");
  platform::MakeDirectory(disks);
  TKstnCompress a;
  a.SetCompressedFile(exe);
  a.Offset = int32_t(archiveAt);
  a.SpanToDisks(disks, "files.1");
  ASSERT_EQ(Cmd({"extract", Join(disks, "files.1"), paths[0], Join(dir, "again.bin")}).rc, 0);
  EXPECT_EQ(ReadFile(Join(dir, "again.bin")), ReadFile(paths[0]));

  std::string bare = Join(dir, "bare.exe");
  WriteFile(bare, Pattern(300, 3));
  CreateSelfExtractor(bare, setupPart, Join(dir, "absent.1"));
  EXPECT_EQ(Cmd({"tail", bare}).out, "300\t8491\t0\t0\n");

  Bytes damaged = ReadFile(bare);
  platform::PutU32(&damaged[damaged.size() - 56 + 20], 0x7FFFFFFF);
  WriteFile(bare, damaged);
  for (const std::string& path : {bare, paths[0], Join(dir, "none.exe")}) {
    Cli bad = Cmd({"tail", path});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_EQ(bad.err, "Could not read the extraction info from the archive file " + path +
                           " when trying to find the correct offset into the self extracting "
                           "file\n");
  }
}

TEST(Archive, EventsAbortAndCopy) {
  std::string dir = NewDir();
  auto paths = MakeInputs(dir, {{"big.bin", 400000}, {"small.txt", 10}});
  TKstnCompress a;
  a.SetCompressedFile(Join(dir, "a.1"));
  int statuses = 0, aborted = 0;
  a.OnStatus = [&](TKstnCompress& k, const TlzhFileStats&) {
    if (++statuses == 2) k.Abort = true;
  };
  a.OnAborted = [&](TKstnCompress&) { ++aborted; };
  std::vector<std::string> files = paths;
  a.SetFilesToProcess(files);
  a.Compress(false);
  EXPECT_EQ(aborted, 1);
  EXPECT_TRUE(a.FilesToProcess().empty());

  a.OnStatus = nullptr;
  std::string dest = Join(dir, "copied.bin");
  WriteFile(dest, {'o'});
  a.Overwrite = owNever;
  a.CopyWithVersionCheck(paths[0], dest);
  EXPECT_EQ(ReadFile(dest), (Bytes{'o'}));
  a.Overwrite = owAlways;
  a.CopyWithVersionCheck(paths[0], dest);
  EXPECT_EQ(ReadFile(dest), ReadFile(paths[0]));
  double want, got;
  setup::GetFileDateTime(paths[0], want);
  setup::GetFileDateTime(dest, got);
  EXPECT_EQ(got, want);
}

// The golden archive was built natively from these inputs; both builds read it and write
// the very same bytes.
const std::vector<Input> kGoldenInputs = {{"readme.txt", 300}, {"data.bin", 70000},
                                          {"empty.dat", 0}};

TEST(Archive, GoldenArchiveIsReadAndRebuiltAlike) {
  std::string golden = Join("golden", "files.1");
  std::string dir = NewDir();
  MakeInputs(dir, kGoldenInputs);
  std::filesystem::path before = std::filesystem::current_path();
  std::string goldenPath = std::filesystem::absolute(golden).string();
  std::filesystem::current_path(dir);
  std::vector<std::string> args{"build", "built.1"};
  for (const Input& i : kGoldenInputs) args.push_back(i.name);
  Cli b = Cmd(args);
  std::filesystem::current_path(before);
  ASSERT_EQ(b.rc, 0) << b.err;
  std::string built = Join(dir, "built.1");
  if (!platform::GetEnvironment("QUILTOR_WRITE_GOLDEN").empty())
    WriteFile(platform::GetEnvironment("QUILTOR_WRITE_GOLDEN"), ReadFile(built));
  ASSERT_TRUE(platform::IsFile(goldenPath));
  EXPECT_EQ(ReadFile(built), ReadFile(goldenPath));
  for (const Input& i : kGoldenInputs) {
    std::string out = Join(Join(dir, "out"), i.name);
    Cli x = Cmd({"extract", goldenPath, i.name, out});
    ASSERT_EQ(x.rc, 0) << x.err;
    EXPECT_EQ(ReadFile(out), ReadFile(Join(dir, i.name)));
    double want, got;
    setup::GetFileDateTime(Join(dir, i.name), want);
    setup::GetFileDateTime(out, got);
    EXPECT_EQ(got, want);
  }
}

}  // namespace
