#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "setup_engine/archive_format.h"
#include "setup_engine/kstn_compress.h"
#include "tests/setup_engine/archive_test_util.h"
#include "tests/support/scoped_env.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace archive_test;

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
      {"disks smaller than a copy block", {{"big.bin", 30000}, {"tail.txt", 10}}, Disks::Fixed,
       3000},
      {"a few bytes beside the table", {{"big.bin", 20000}, {"tail.txt", 10}}, Disks::Fixed, 340},
      {"starts at a disk's end", {{"first.bin", 5000}, {"second.bin", 3000}},
       Disks::FirstFileFillsDisk1, 0},
      {"many small files", many, Disks::Fixed, 12000},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.title);
    ScratchDir scratch("qsa");
    std::string dir = scratch.Dir(), src = Join(dir, "src"), disks = Join(dir, "disks");
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
      diskSize = setup::kArchiveStartSize + int64_t(c.inputs.size()) * setup::kHeaderSize +
                 FirstCompressedSize(archive);
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
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
  auto paths = MakeInputs(dir, {{"one.txt", 0}, {"two.bin", 1000}});
  ASSERT_EQ(Cmd({"build", Join(dir, "a.1"), paths[0] + ";ignored", paths[1]}).rc, 0);
  Cli l = Cmd({"list", Join(dir, "a.1")});
  ASSERT_EQ(l.rc, 0) << l.err;
  EXPECT_EQ(l.out, paths[0] + "\t0\t8\t1998-07-24 06:00:00\t\t0\t0\n" + paths[1] +
                       "\t1000\t" +
                       std::to_string(ReadFile(Join(dir, "a.1")).size() - setup::kArchiveStartSize -
                                      2 * setup::kHeaderSize - 8) +
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
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
  std::string longName = Join(dir, std::string(101 - Join(dir, "").size(), 'n'));
  WriteFile(longName, {1});
  ASSERT_EQ(longName.size(), 101u);
  auto good = MakeInputs(dir, {{"good.txt", 50}});
  std::string archive = Join(dir, "a.1");
  ASSERT_EQ(Cmd({"build", archive, good[0]}).rc, 0);
  const Bytes before = ReadFile(archive);
  // A refused list leaves the archive as it was, for a new archive and for an append.
  for (const char* command : {"build", "append"}) {
    Cli tooLong = Cmd({command, archive, good[0], longName});
    EXPECT_EQ(tooLong.rc, 1);
    EXPECT_EQ(tooLong.err,
              "The name " + longName + " is longer than the 100 characters an archive can store\n");
    Cli missing = Cmd({command, archive, good[0], Join(dir, "none.txt")});
    EXPECT_EQ(missing.err, "Cannot open the file " + Join(dir, "none.txt") + "\n");
    EXPECT_EQ(ReadFile(archive), before);
  }

  TKstnCompress empty;
  empty.SetCompressedFile(Join(Join(dir, "sub"), "e.1"));
  empty.Compress(false);
  EXPECT_EQ(ReadFile(Join(Join(dir, "sub"), "e.1")), (Bytes{0, 0, 0, 0, 0}));
}

TEST(Archive, MissingArchiveIsAnError) {
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
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
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
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
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir(), disks = Join(dir, "disks");
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

// Disk files of the sizes a set of floppies would have: disk k takes capacities[k - 1]
// bytes, and every disk beyond the list the last of them.
class TSizedDisks : public TKstnCompress {
 public:
  explicit TSizedDisks(std::vector<int64_t> capacities) : capacities_(std::move(capacities)) {}

 protected:
  std::unique_ptr<TStream> CreateDiskFile(const std::string& path) override {
    struct Disk : TKstnFileHandleStream {
      Disk(const std::string& p, int64_t c) : TKstnFileHandleStream(p), capacity(c) {}
      int64_t capacity;
      int32_t Write(const void* buffer, int32_t count) override {
        int64_t room = capacity - Position();
        if (room <= 0) return 0;
        return TKstnFileHandleStream::Write(buffer, count < room ? count : int32_t(room));
      }
    };
    int64_t capacity = capacities_[std::min(created_++, capacities_.size() - 1)];
    return std::make_unique<Disk>(path, capacity);
  }

 private:
  std::vector<int64_t> capacities_;
  size_t created_ = 0;
};

// However spanning fails, the disk files written so far go again and the archive stays.
TEST(Archive, SpanningErrors) {
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir(), disks = Join(dir, "disks");
  platform::MakeDirectory(disks);
  auto paths = MakeInputs(dir, {{"big.bin", 20000}, {"huge.bin", 120000}});
  std::string archive = Join(dir, "a.1"), huge = Join(dir, "huge.1");
  ASSERT_EQ(Cmd({"build", archive, paths[0]}).rc, 0);
  ASSERT_EQ(Cmd({"build", huge, paths[1]}).rc, 0);
  const Bytes before = ReadFile(archive);
  struct Case {
    const char* title;
    std::string archive;
    std::vector<int64_t> disks;
    bool newDisks;
    std::string message;
  } cases[] = {
      {"table larger than a disk", archive, {100}, true,
       "Could not write the file headers for the compressed file"},
      {"more disks than a header can number", huge, {400}, true,
       "The archive " + huge + " does not fit on 255 disks of this size"},
      {"a new disk that takes nothing", archive, {5000, 0}, true,
       "There is too little space on this disk to operate"},
      {"no one to ask for a new disk", archive, {10000}, false,
       "There was no event handler for the OnNewDisk event, therefore no new disk could be "
       "inserted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    TSizedDisks a(c.disks);
    a.SetCompressedFile(c.archive);
    if (c.newDisks) a.OnNewDisk = [](TKstnCompress&, int, std::string&) {};
    try {
      a.SpanToDisks(disks, "files.1");
      ADD_FAILURE() << "spanned";
    } catch (const EKstnCompress& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_TRUE(a.Abort);
    EXPECT_TRUE(Names(disks).empty());
  }
  // The driver's disks of a given size fail the same way.
  Cli r = Cmd({"span", archive, disks, "100"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "Could not write the file headers for the compressed file\n");
  EXPECT_TRUE(Names(disks).empty());

  // A user abort is no failure of the component, but leaves no set behind either.
  TSizedDisks a({5000});
  a.SetCompressedFile(archive);
  a.OnNewDisk = [](TKstnCompress&, int, std::string&) {};
  int statuses = 0, aborted = 0;
  a.OnStatus = [&](TKstnCompress& k, const TlzhFileStats&) {
    if (++statuses == 2) k.Abort = true;
  };
  a.OnAborted = [&](TKstnCompress&) { ++aborted; };
  a.SpanToDisks(disks, "files.1");
  EXPECT_EQ(aborted, 1);
  EXPECT_TRUE(Names(disks).empty());
  EXPECT_EQ(ReadFile(archive), before);
}

// Anything but a regular file is refused by name before it is opened: a pipe holds the
// open (or the read) for ever, a folder or a device holds no file to store.
TEST(Archive, OnlyRegularFilesAreReadOrWritten) {
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir(), disks = Join(dir, "disks");
  platform::MakeDirectory(disks);
  auto paths = MakeInputs(dir, {{"good.txt", 50}});
  std::string archive = Join(dir, "a.1");
  ASSERT_EQ(Cmd({"build", archive, paths[0]}).rc, 0);
  const Bytes before = ReadFile(archive);
  // In the scratch folder, and elsewhere.
  std::vector<std::string> placed{Join(dir, "folder")};
  platform::MakeDirectory(placed[0]);
#ifdef _WIN32
  const std::vector<std::string> devices{"NUL", "CON"};
#else
  placed.push_back(Join(dir, "pipe"));
  ASSERT_EQ(mkfifo(placed.back().c_str(), 0600), 0);
  const std::vector<std::string> devices{"/dev/null"};
#endif
  std::vector<std::string> odd = placed;
  odd.insert(odd.end(), devices.begin(), devices.end());
  for (const std::string& p : odd) {
    SCOPED_TRACE(p);
    const std::string notAdded = "Cannot add " + p + " to the archive: it is not a regular file\n";
    const std::string notCreated = "Cannot create the file " + p + ": it is not a regular file\n";
    struct Case {
      std::vector<std::string> args;
      std::string message;
    } cases[] = {
        {{"build", archive, paths[0], p}, notAdded},
        {{"append", archive, p}, notAdded},
        {{"build", p, paths[0]}, notCreated},
        {{"append", p, paths[0]}, notCreated},
        {{"list", p}, "Cannot open the compressed file " + p + "\n"},
        {{"tail", p},
         "Could not read the extraction info from the archive file " + p +
             " when trying to find the correct offset into the self extracting file\n"},
    };
    for (const Case& c : cases) {
      Cli r = Cmd(c.args);
      EXPECT_EQ(r.rc, 1) << c.args[0];
      EXPECT_EQ(r.err, c.message) << c.args[0];
    }
    EXPECT_EQ(ReadFile(archive), before);

    // Before the dates are compared, too.
    TKstnCompress copier;
    copier.Overwrite = owDate;
    WriteFile(Join(dir, "copy.txt"), {'o'});
    try {
      copier.CopyWithVersionCheck(p, Join(dir, "copy.txt"));
      ADD_FAILURE() << "copied";
    } catch (const EKstnCompress& e) {
      EXPECT_EQ(e.Message(), "Cannot copy " + p + ": it is not a regular file");
    }
    EXPECT_EQ(ReadFile(Join(dir, "copy.txt")), (Bytes{'o'}));
    std::string exe = Join(dir, "setup.exe");
    WriteFile(exe, Pattern(300, 3));
    EXPECT_THROW(CreateSelfExtractor(exe, p, archive), IEInstall);
    EXPECT_THROW(CreateSelfExtractor(exe, paths[0], p), IEInstall);
    EXPECT_EQ(ReadFile(exe), Pattern(300, 3));
    platform::RemoveFile(exe);
  }
  // What stands where a disk file goes is not written through.
  for (const std::string& p : placed) {
    SCOPED_TRACE(p);
    std::string disk = Join(disks, "files.1");
    ASSERT_TRUE(platform::RenameFile(p, disk));
    Cli r = Cmd({"span", archive, disks, "100000"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Cannot create the file " + disk + ": it is not a regular file\n");
    EXPECT_EQ(Names(disks), std::vector<std::string>{"files.1"});
    ASSERT_TRUE(platform::RenameFile(disk, p));
  }
  EXPECT_TRUE(Names(disks).empty());
}

// The archive is written while its files are read, so it is never one of them, by any of
// its names; a refused list leaves it as it was.
TEST(Archive, AnArchiveIsNeverAmongItsOwnFiles) {
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
  auto paths = MakeInputs(dir, {{"good.txt", 5000}});
  std::string archive = Join(dir, "files.1");
  ASSERT_EQ(Cmd({"build", archive, paths[0]}).rc, 0);
  const Bytes before = ReadFile(archive);
  std::vector<std::string> names{archive, Join(Join(dir, "."), "files.1")};
#ifdef _WIN32
  names.push_back(Join(dir, "FILES.1"));
#else
  names.push_back(Join(dir, "link.1"));
  ASSERT_EQ(symlink("files.1", names.back().c_str()), 0);
#endif
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string refused =
        "Cannot add " + name + " to the archive " + archive + ": it is the archive itself\n";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"build", archive, name, paths[0]},
             {"build", archive, paths[0], name},
             {"append", archive, name}}) {
      Cli r = Cmd(args);
      EXPECT_EQ(r.rc, 1) << args[0];
      EXPECT_EQ(r.err, refused) << args[0];
      EXPECT_EQ(ReadFile(archive), before);
    }
  }
  // Spanning does not write its first disk over the archive it reads.
  Cli r = Cmd({"span", archive, dir, "100000"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "Cannot create the file " + archive + ": it is the archive being spanned\n");
  EXPECT_EQ(ReadFile(archive), before);
  // Nor is a self-extracting program joined to itself.
  std::string exe = Join(dir, "setup.exe");
  WriteFile(exe, Pattern(300, 3));
  EXPECT_THROW(CreateSelfExtractor(exe, exe, archive), IEInstall);
  EXPECT_THROW(CreateSelfExtractor(exe, paths[0], exe), IEInstall);
  EXPECT_EQ(ReadFile(exe), Pattern(300, 3));
}

#ifndef _WIN32
// A file whose date lies outside the years 1601 to 9999 would be stored with a date that
// no extraction can set again: it is refused by name, and a refused list leaves the
// archive as it was. Such dates need a file system that holds them; many disk file
// systems cut them to 1901 or 2038, a tmpfs keeps them.
TEST(Archive, FilesDatedOutsideTheFileDatesAreNotAdded) {
  auto datesStick = [](const std::string& dir) {
    const std::string probe = Join(dir, "probe");
    WriteFile(probe, {'p'});
    const struct timespec early[2] = {{-14831769600, 0}, {-14831769600, 0}};  // 1500
    struct stat st;
    const bool ok = utimensat(AT_FDCWD, probe.c_str(), early, 0) == 0 &&
                    stat(probe.c_str(), &st) == 0 && st.st_mtime == early[1].tv_sec;
    platform::RemoveFile(probe);
    return ok;
  };
  std::unique_ptr<ScratchDir> scratch = std::make_unique<ScratchDir>("qsa");
  if (!datesStick(scratch->Dir())) {
    testsupport::ScopedEnv shm("TMPDIR", "/dev/shm");
    scratch.reset();
    if (platform::IsDirectory("/dev/shm")) scratch = std::make_unique<ScratchDir>("qsa");
    if (!scratch || !datesStick(scratch->Dir()))
      GTEST_SKIP() << "no file system here holds dates before 1901";
  }
  const std::string dir = scratch->Dir();
  auto paths = MakeInputs(dir, {{"good.txt", 50}, {"early.txt", 10}, {"late.txt", 10}});
  const std::string archive = Join(dir, "a.1");
  ASSERT_EQ(Cmd({"build", archive, paths[0]}).rc, 0);
  const Bytes before = ReadFile(archive);
  const struct {
    std::string path;
    time_t date;
  } cases[] = {{paths[1], -14831769600},  // 1 January 1500
               {paths[2], 269250000000}};  // in the year 10500
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const struct timespec dated[2] = {{c.date, 0}, {c.date, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, c.path.c_str(), dated, 0), 0);
    for (const char* command : {"build", "append"}) {
      Cli r = Cmd({command, archive, paths[0], c.path});
      EXPECT_EQ(r.rc, 1) << command;
      EXPECT_EQ(r.err, "Cannot add " + c.path +
                           " to the archive: its date lies outside the years 1601 to 9999\n")
          << command;
      EXPECT_EQ(ReadFile(archive), before) << command;
    }
  }
}
#endif

// Stored names are keys; what a file is written under is only the last part of a name,
// and a name that climbs out of a folder or has no file name at its end is refused.
TEST(Archive, ExtractedNamesStayInsideTheExtractDirectory) {
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
  auto paths = MakeInputs(dir, {{"one.bin", 30}});
  std::string archive = Join(dir, "a.1");
  ASSERT_EQ(Cmd({"build", archive, paths[0]}).rc, 0);
  const Bytes original = ReadFile(archive);
  struct Case {
    std::string stored, extractName;
    bool written;  // else refused
  } cases[] = {
      {"C:\\build\\evil.txt", "", true},
      {"/etc/evil.txt", "", true},
      {"evil.txt", "sub\\evil.txt", true},
      {"..\\..\\evil.txt", "", false},
      {"../evil.txt", "", false},
      {"C:\\..\\evil.txt", "", false},
      {"dir\\. .\\evil.txt", "", false},
      {"dir\\..", "", false},
      {"C:", "", false},
      {"dir\\", "", false},
      {"evil\x01.txt", "", false},
      {"evil.txt", "..\\evil.txt", false},
      {"evil.txt", "C:..", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored + " as " + c.extractName);
    Bytes b = original;
    const size_t name = setup::kArchiveStartSize + setup::kHeaderName;
    b[name] = uint8_t(c.stored.size());
    std::memcpy(&b[name + 1], c.stored.data(), c.stored.size());
    WriteFile(archive, b);
    ScratchDir workDir("qsa");
    std::string work = workDir.Dir(), out = Join(Join(work, "deep"), "out");
    TKstnCompress a;
    a.SetCompressedFile(archive);
    a.ExtractDirectory = out;
    a.ExtractName = c.extractName;
    std::vector<std::string> files{c.stored};
    a.SetFilesToProcess(files);
    if (c.written) {
      a.ExtractFile();
      EXPECT_EQ(ReadFile(Join(out, "evil.txt")), ReadFile(paths[0]));
    } else {
      try {
        a.ExtractFile();
        ADD_FAILURE() << "extracted";
      } catch (const EKstnCompress& e) {
        EXPECT_EQ(e.Message(), "The name <" + (c.extractName.empty() ? c.stored : c.extractName) +
                                   "> in the archive <" + archive + "> is not a valid file name");
      }
    }
    if (c.written) {
      EXPECT_EQ(Names(work), std::vector<std::string>{"deep"});
      EXPECT_EQ(Names(Join(work, "deep")), std::vector<std::string>{"out"});
      EXPECT_EQ(Names(out), std::vector<std::string>{"evil.txt"});
    } else {
      EXPECT_TRUE(Names(work).empty());
    }
  }
}

// Runs the cases of golden/cases.txt (the file explains its lines).
TEST(Archive, GoldenArchivesGiveTheirResults) {
  std::string golden = Join(std::filesystem::absolute("golden").string(), "");
  std::ifstream list(Join(golden, "cases.txt"));
  ASSERT_TRUE(list.good());
  const std::vector<std::string> goldenNames = Names(golden);
  auto unescape = [](std::string s, const std::string& goldenDir, const std::string& outDir) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s.compare(i, 8, "{golden}") == 0) {
        r += goldenDir;
        i += 7;
      } else if (s.compare(i, 5, "{out}") == 0) {
        r += outDir;
        i += 4;
      } else if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 't' || s[i + 1] == 'n')) {
        r += s[++i] == 't' ? '\t' : '\n';
      } else {
        r += s[i];
      }
    }
    return r;
  };
  // The next field of a line: up to its "|", without one blank on either side.
  auto field = [](std::string& line) {
    size_t bar = line.find('|');
    std::string f = line.substr(0, bar);
    line = bar == std::string::npos ? "" : line.substr(bar + 1);
    if (!f.empty() && f.back() == ' ') f.pop_back();
    if (!line.empty() && line[0] == ' ') line.erase(0, 1);
    return f;
  };
  int cases = 0;
  std::string line;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    ++cases;
    ScratchDir outDir("qsa");
    std::string out = Join(outDir.Dir(), "");
    std::string rest = line;
    std::istringstream words(field(rest));
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(unescape(w, golden, out));
    int rc = std::stoi(field(rest));
    std::string text = unescape(field(rest), golden, out);
    std::string check = field(rest);
    // A failing extract finds an installed file at its destination.
    std::string installed;
    if (args[0] == "extract" && rc == 1) {
      std::string name = ExtractFileName(args[3]);
      if (name.empty()) name = ExtractFileName(args[2].substr(0, args[2].find(';')));
      if (!name.empty()) installed = Join(out, name);
    }
    if (!installed.empty()) WriteFile(installed, {'o', 'l', 'd'});
    Cli r = Cmd(args);
    EXPECT_EQ(r.rc, rc);
    EXPECT_EQ(rc == 0 ? r.out : r.err, text);
    if (!installed.empty()) {
      EXPECT_EQ(Names(out), std::vector<std::string>{ExtractFileName(installed)});
      EXPECT_EQ(ReadFile(installed), (Bytes{'o', 'l', 'd'}));
    } else if (!check.empty()) {
      size_t eq = check.find('=');
      std::string file = check.substr(0, eq);
      EXPECT_EQ(Names(out), std::vector<std::string>{file});
      EXPECT_EQ(ReadFile(Join(out, file)), GoldenInput(check.substr(eq + 1)));
    } else {
      EXPECT_TRUE(Names(out).empty());
    }
  }
  EXPECT_GT(cases, 0);
  EXPECT_EQ(Names(golden), goldenNames);
}

TEST(Archive, SelfExtractorTail) {
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
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
  platform::PutU32(&damaged[damaged.size() - setup::kTailSize + setup::kTailSetupLast], 0x7FFFFFFF);
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
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
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

  // A handler that fails on the abort passes its exception on; the component is ready for
  // the next operation.
  a.OnAborted = [](TKstnCompress&) { throw EAbort("stopped"); };
  files = paths;
  a.SetFilesToProcess(files);
  statuses = 0;
  EXPECT_THROW(a.Compress(false), EAbort);
  EXPECT_TRUE(a.FilesToProcess().empty());

  // Progress of a whole add: never negative, each file ends at its full size.
  auto more = MakeInputs(dir, {{"empty.dat", 0}, {"mid.bin", 150000}});
  std::vector<TlzhFileStats> seen, after;
  a.OnStatus = [&](TKstnCompress&, const TlzhFileStats& s) { seen.push_back(s); };
  a.OnAfterAdding = [&](TKstnCompress&, const TlzhFileStats& s) { after.push_back(s); };
  files = more;
  a.SetFilesToProcess(files);
  a.Compress(false);
  ASSERT_EQ(a.FileCount(), 2);
  ASSERT_EQ(after.size(), 2u);
  for (const TlzhFileStats& s : seen) {
    EXPECT_GE(s.bytesDone, 0);
    EXPECT_LE(s.bytesDone, s.uncompressedSize);
    EXPECT_LE(s.overallBytesDone, 150000);
  }
  ASSERT_TRUE(seen.back().finished);
  EXPECT_EQ(seen.back().bytesDone, 150000);
  EXPECT_EQ(seen.back().overallPercent, 100);
  EXPECT_EQ(after[0].ratio, 0);
  EXPECT_EQ(after[1].compressedSize, after[1].header.compressedSize);
  EXPECT_EQ(after[1].totalCompressed, after[0].compressedSize + after[1].compressedSize);

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

// The golden archive was built natively from kGoldenInputs; both builds read it and write
// the very same bytes.

TEST(Archive, GoldenArchiveIsReadAndRebuiltAlike) {
  std::string golden = Join("golden", "files.1");
  ScratchDir scratch("qsa");
  std::string dir = scratch.Dir();
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
