// The file layer: buffered reads and writes at every boundary, the unbuffered handle layer,
// stamps, listings, what a path names, renames and temporary files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>

#include "platform/file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/fifo_release.h"
#endif

using platform::File;
using platform::OpenMode;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

}  // namespace

TEST(File, ChunkedWritesAndReadsRoundTripAcrossBufferBoundaries) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  std::string path = platform::JoinPath(dir, "data.bin");
  auto data = RandomBytes(300000, 1);
  // Piece sizes straddle the internal buffer: tiny, odd, exactly one buffer, larger.
  const size_t pieces[] = {1, 7, 65535, 65536, 65537, 3, 100000};
  {
    File f;
    ASSERT_TRUE(f.Open(path, OpenMode::Write));
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
      size_t n = std::min(pieces[i % 7], data.size() - at);
      ASSERT_EQ(f.Write(data.data() + at, n), n);
      at += n;
      EXPECT_EQ(f.Tell(), int64_t(at));
    }
    EXPECT_EQ(f.Size(), int64_t(data.size()));
    EXPECT_TRUE(f.Close());
  }
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::Read));
  std::vector<uint8_t> back(data.size());
  size_t at = 0;
  for (size_t i = 0; at < back.size(); ++i) {
    size_t n = std::min(pieces[(i + 3) % 7], back.size() - at);
    ASSERT_EQ(f.Read(back.data() + at, n), n);
    at += n;
  }
  EXPECT_EQ(back, data);
  uint8_t extra;
  EXPECT_EQ(f.Read(&extra, 1), 0u);
  ASSERT_TRUE(f.Seek(123457));
  uint8_t b[3];
  ASSERT_EQ(f.Read(b, 3), 3u);
  EXPECT_EQ(b[0], data[123457]);
  EXPECT_EQ(b[2], data[123459]);
}

TEST(File, ReadWriteModeInterleavesWithoutLosingPosition) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  std::string path = platform::JoinPath(dir, "mix.bin");
  auto data = RandomBytes(1000, 2);
  {
    File f;
    ASSERT_TRUE(f.Open(path, OpenMode::Write));
    ASSERT_EQ(f.Write(data.data(), data.size()), data.size());
  }
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::ReadWrite));
  uint8_t head[10];
  ASSERT_EQ(f.Read(head, 10), 10u);  // the buffer now holds the whole file
  const uint8_t patch[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_EQ(f.Write(patch, 4), 4u);  // lands at offset 10, not at the buffer's end
  uint8_t next;
  ASSERT_EQ(f.Read(&next, 1), 1u);
  EXPECT_EQ(next, data[14]);
  ASSERT_TRUE(f.Close());
  auto back = testsupport::ReadExistingFile(path);
  std::copy(patch, patch + 4, data.begin() + 10);
  EXPECT_EQ(back, data);
}

TEST(File, OpenFailuresAreReported) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  File f;
  EXPECT_FALSE(f.Open(platform::JoinPath(dir, "missing"), OpenMode::Read));
  EXPECT_FALSE(f.Open(dir, OpenMode::Read));  // a directory is no file
  EXPECT_FALSE(f.Open(platform::JoinPath(dir, "no/such/dir/x"), OpenMode::Write));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.Write("x", 1), 0u);
}

#ifdef _WIN32
// A real file under a name that reaches a device, reached past the name rules with "\\?\"
// (the full path of the folder only: a full path of the name would be the device's).
std::string Verbatim(const std::string& dir, const std::string& name) {
  return "\\\\?\\" + platform::JoinPath(platform::FullPath(dir), name);
}
#endif

// What a path names; reading opens regular files only, and never waits for a FIFO.
TEST(File, OnlyRegularFilesOpenForReadingAndNothingWaits) {
  testsupport::ScratchDir scratch("pt");
  const std::string plain = scratch.Path("plain.txt");
  {
    File f;
    ASSERT_TRUE(f.Open(plain, OpenMode::Write));
  }
  std::vector<std::string> others;
#ifdef _WIN32
  const char* const deviceNames[] = {"nul.txt", "aux", "Com1.log"};
  for (const char* name : deviceNames) {
    others.push_back(scratch.Path(name));
    HANDLE h = CreateFileA(Verbatim(scratch.Dir(), name).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    WriteFile(h, "data", 4, &written, nullptr);
    CloseHandle(h);
  }
#else
  const std::string fifo = scratch.Path("fifo"), socket = scratch.Path("socket");
  ASSERT_TRUE(testsupport::MakeFifo(fifo));
  testsupport::BoundSocket bound(socket);
  ASSERT_TRUE(bound.Ok()) << socket;
  others = {fifo, socket, "/dev/null"};
  testsupport::FifoRelease release({fifo});
#endif
  EXPECT_EQ(platform::KindOf(plain), platform::PathKind::File);
  EXPECT_EQ(platform::KindOf(scratch.Dir()), platform::PathKind::Directory);
  EXPECT_EQ(platform::KindOf(scratch.Path("missing")), platform::PathKind::None);
  for (const std::string& other : others) {
    EXPECT_EQ(platform::KindOf(other), platform::PathKind::Other) << other;
    EXPECT_FALSE(platform::IsFile(other)) << other;
    for (OpenMode mode : {OpenMode::Read, OpenMode::ReadWrite}) {
      const auto start = std::chrono::steady_clock::now();
      File f;
      EXPECT_FALSE(f.Open(other, mode)) << other;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << other;
    }
  }
#ifdef _WIN32
  for (const char* name : deviceNames)
    EXPECT_TRUE(DeleteFileA(Verbatim(scratch.Dir(), name).c_str())) << name;
#endif
}

TEST(File, ModificationTimeRoundTripsInLocalTime) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  std::string path = platform::JoinPath(dir, "t.bin");
  const platform::LocalTime cases[] = {
      {1980, 1, 1, 0, 0, 0}, {1999, 12, 31, 23, 59, 58}, {2026, 7, 15, 12, 30, 10}};
  for (const auto& t : cases) {
    File f;
    ASSERT_TRUE(f.Open(path, OpenMode::Write));
    ASSERT_EQ(f.Write("abc", 3), 3u);
    ASSERT_TRUE(f.SetModificationTime(t));
    ASSERT_TRUE(f.Close());
    ASSERT_TRUE(f.Open(path, OpenMode::Read));
    platform::LocalTime back;
    ASSERT_TRUE(f.ModificationTime(back));
    EXPECT_EQ(back.year, t.year);
    EXPECT_EQ(back.month, t.month);
    EXPECT_EQ(back.day, t.day);
    EXPECT_EQ(back.hour, t.hour);
    EXPECT_EQ(back.minute, t.minute);
    EXPECT_EQ(back.second, t.second);
  }
}

TEST(Directory, ListingReportsKindsSizesAndHiddenEntries) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  {
    File f;
    ASSERT_TRUE(f.Open(platform::JoinPath(dir, "plain.txt"), OpenMode::Write));
    ASSERT_EQ(f.Write("12345", 5), 5u);
  }
  {
    File f;
    ASSERT_TRUE(f.Open(platform::JoinPath(dir, ".hidden"), OpenMode::Write));
  }
  ASSERT_TRUE(platform::MakeDirectory(platform::JoinPath(dir, "sub")));
#ifndef _WIN32
  ASSERT_EQ(symlink("plain.txt", platform::JoinPath(dir, "link").c_str()), 0);
#endif
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir, entries));
  std::set<std::string> names;
  for (const auto& e : entries) {
    names.insert(e.name);
    if (e.name == "plain.txt") {
      EXPECT_FALSE(e.isDirectory);
      EXPECT_FALSE(e.isHidden);
      EXPECT_EQ(e.size, 5);
    }
    if (e.name == "sub") {
      EXPECT_TRUE(e.isDirectory);
    }
    if (e.name == ".hidden") {
      EXPECT_TRUE(e.isHidden);
    }
    if (e.name == "link") {
      EXPECT_TRUE(e.isLink);
    }
  }
  EXPECT_TRUE(names.count("plain.txt") && names.count("sub") && names.count(".hidden"));
  EXPECT_FALSE(names.count(".") || names.count(".."));
  EXPECT_FALSE(platform::ListDirectory(platform::JoinPath(dir, "plain.txt"), entries));
  EXPECT_FALSE(platform::ListDirectory(platform::JoinPath(dir, "none"), entries));
  EXPECT_TRUE(platform::IsDirectory(dir));
  EXPECT_TRUE(platform::IsFile(platform::JoinPath(dir, "plain.txt")));
  EXPECT_FALSE(platform::IsFile(dir));
}

TEST(Directory, UniqueFilesRenameAndRemove) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  std::string a, b;
  ASSERT_TRUE(platform::CreateUniqueFile(dir, "gp", a));
  ASSERT_TRUE(platform::CreateUniqueFile(dir, "gp", b));
  EXPECT_NE(a, b);
  EXPECT_TRUE(platform::IsFile(a));
  std::string base = a.substr(a.find_last_of("/\\") + 1);
  EXPECT_EQ(base.substr(0, 2), "gp");
  {
    File f;
    ASSERT_TRUE(f.Open(a, OpenMode::Write));
    ASSERT_EQ(f.Write("new", 3), 3u);
  }
  ASSERT_TRUE(platform::RenameFile(a, b));  // replaces the existing b
  EXPECT_FALSE(platform::IsFile(a));
  auto content = testsupport::ReadExistingFile(b);
  EXPECT_EQ(std::string(content.begin(), content.end()), "new");
  EXPECT_TRUE(platform::RemoveFile(b));
  EXPECT_FALSE(platform::RemoveFile(b));
  EXPECT_TRUE(platform::RemoveEmptyDirectory(dir));
}

TEST(RawFile, EveryCallGoesStraightToTheFile) {
  testsupport::ScratchDir scratch("pt");
  std::string path = platform::JoinPath(scratch.Dir(), "raw.bin");
  using platform::RawFile;
  using platform::SeekFrom;
  {
    RawFile f;
    ASSERT_TRUE(f.Open(path, OpenMode::CreateReadWrite));
    // The whole file, read through its handle from the start.
    auto contents = [&] {
      std::vector<uint8_t> v(64);
      EXPECT_EQ(RawFile::Seek(f.Handle(), 0, SeekFrom::Begin), 0);
      v.resize(size_t(std::max<int64_t>(RawFile::Read(f.Handle(), v.data(), v.size()), 0)));
      return v;
    };
    EXPECT_EQ(RawFile::Write(f.Handle(), "abcdefgh", 8), 8);
    EXPECT_EQ(RawFile::Seek(f.Handle(), -3, SeekFrom::End), 5);
    EXPECT_EQ(RawFile::Seek(f.Handle(), -2, SeekFrom::Current), 3);
    char buf[8] = {};
    EXPECT_EQ(RawFile::Read(f.Handle(), buf, 8), 5);
    EXPECT_EQ(std::string(buf, 5), "defgh");
    EXPECT_EQ(RawFile::Read(f.Handle(), buf, 8), 0);
    // SetEnd cuts or extends with zero bytes and leaves the position at the new end.
    ASSERT_TRUE(RawFile::SetEnd(f.Handle(), 10));
    EXPECT_EQ(RawFile::Seek(f.Handle(), 0, SeekFrom::Current), 10);
    EXPECT_EQ(contents(), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0, 0}));
    ASSERT_TRUE(RawFile::SetEnd(f.Handle(), 2));
    EXPECT_EQ(contents(), (std::vector<uint8_t>{'a', 'b'}));
    EXPECT_FALSE(RawFile::SetEnd(f.Handle(), -1));
    EXPECT_FALSE(platform::SystemErrorText().empty());
    EXPECT_EQ(RawFile::Seek(f.Handle(), -1, SeekFrom::Begin), -1);
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.IsOpen());
  }
  EXPECT_EQ(testsupport::ReadExistingFile(path), (std::vector<uint8_t>{'a', 'b'}));
  {
    RawFile again;  // creating truncates; the destructor closes
    ASSERT_TRUE(again.Open(path, OpenMode::CreateReadWrite));
    EXPECT_EQ(RawFile::Seek(again.Handle(), 0, SeekFrom::End), 0);
  }
  EXPECT_TRUE(platform::RemoveFile(path));
  RawFile none;
  EXPECT_FALSE(none.Open(path, OpenMode::Read));
  // A missing file is error 2 natively (ENOENT) and on Windows (ERROR_FILE_NOT_FOUND): the
  // text of the code is the failed call's, without a line end.
  const std::string why = platform::SystemErrorText();
  ASSERT_FALSE(why.empty());
  EXPECT_EQ(why, platform::SystemErrorTextOf(2));
  EXPECT_EQ(why.find_first_of("\r\n"), std::string::npos) << why;
  EXPECT_NE(why.back(), ' ');
#ifdef _WIN32
  // A code the system has no text for gives none, so a caller can say something of its own.
  EXPECT_EQ(platform::SystemErrorTextOf(0xA0001234u), "");
#endif
  EXPECT_FALSE(none.Open(scratch.Dir(), OpenMode::Read));  // a folder is no file
  char c;
  EXPECT_EQ(RawFile::Read(RawFile::kNoHandle, &c, 1), -1);
  EXPECT_EQ(RawFile::Write(RawFile::kNoHandle, "x", 1), -1);
}

TEST(Directory, KindsOfPathsAndTheSameFile) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  const std::string plain = platform::JoinPath(dir, "plain.txt"),
                    other = platform::JoinPath(dir, "other.txt");
  for (const std::string& p : {plain, other}) {
    File f;
    ASSERT_TRUE(f.Open(p, OpenMode::Write));
  }
  // Something there that is no regular file: what may not be opened as one.
  struct Case {
    std::string path;
    bool nonFile;
  } cases[] = {
      {plain, false},
      {platform::JoinPath(dir, "missing"), false},
      {dir, true},
#ifdef _WIN32
      {"NUL", true},
#else
      {"/dev/null", true},
      {platform::JoinPath(dir, "pipe"), true},
#endif
  };
#ifndef _WIN32
  ASSERT_EQ(mkfifo(platform::JoinPath(dir, "pipe").c_str(), 0600), 0);
#endif
  for (const Case& c : cases) EXPECT_EQ(platform::IsNonFile(c.path), c.nonFile) << c.path;

  std::string alias = platform::JoinPath(platform::JoinPath(dir, "."), "plain.txt");
#ifdef _WIN32
  std::string another = platform::JoinPath(dir, "PLAIN.TXT");
#else
  std::string another = platform::JoinPath(dir, "link.txt");
  ASSERT_EQ(symlink("plain.txt", another.c_str()), 0);
#endif
  EXPECT_TRUE(platform::SameFile(plain, plain));
  EXPECT_TRUE(platform::SameFile(plain, alias));
  EXPECT_TRUE(platform::SameFile(another, plain));
  EXPECT_FALSE(platform::SameFile(plain, other));
  EXPECT_FALSE(platform::SameFile(plain, platform::JoinPath(dir, "missing")));
}

TEST(Directory, TemporaryFilesGoUnlessPutInPlace) {
  testsupport::ScratchDir scratch("pt");
  const std::string& dir = scratch.Dir();
  std::string name;
  {
    platform::TempFile t;
    ASSERT_TRUE(t.Create(dir, "kst"));
    name = t.Name();
    EXPECT_TRUE(platform::IsFile(name));
    EXPECT_EQ(name.substr(name.find_last_of("/\\") + 1, 3), "kst");
  }
  EXPECT_FALSE(platform::IsFile(name));

  const std::string dest = platform::JoinPath(dir, "dest.txt");
  {
    File old;
    ASSERT_TRUE(old.Open(dest, OpenMode::Write));
    ASSERT_EQ(old.Write("old", 3), 3u);
  }
  {
    platform::TempFile t;
    ASSERT_TRUE(t.Create(dir, "kst"));
    name = t.Name();
    {
      File f;
      ASSERT_TRUE(f.Open(name, OpenMode::Write));
      ASSERT_EQ(f.Write("new", 3), 3u);
    }
    // A rename that fails leaves it temporary; one that works puts it in place for good.
    EXPECT_FALSE(t.RenameTo(platform::JoinPath(platform::JoinPath(dir, "none"), "x.txt")));
    EXPECT_EQ(t.Name(), name);
    EXPECT_TRUE(t.RenameTo(dest));
    EXPECT_TRUE(t.Name().empty());
  }
  EXPECT_FALSE(platform::IsFile(name));
  auto content = testsupport::ReadExistingFile(dest);
  EXPECT_EQ(std::string(content.begin(), content.end()), "new");
  EXPECT_TRUE(platform::RemoveFile(dest));

  platform::TempFile nowhere;
  EXPECT_FALSE(nowhere.Create(platform::JoinPath(dir, "none"), "kst"));
  EXPECT_TRUE(nowhere.Name().empty());

  // Moving hands the file on; a released file stays and is the caller's.
  std::string kept;
  {
    platform::TempFile first;
    ASSERT_TRUE(first.Create(dir, "kst", true));
    name = first.Name();
    platform::TempFile second(std::move(first));
    EXPECT_TRUE(first.Name().empty());
    EXPECT_EQ(second.Name(), name);
    platform::TempFile third;
    ASSERT_TRUE(third.Create(dir, "kst"));
    kept = third.Name();
    third = std::move(second);  // the file third held goes
    EXPECT_FALSE(platform::IsFile(kept));
    EXPECT_EQ(third.Name(), name);
    kept = third.Release();
    EXPECT_TRUE(third.Name().empty());
  }
  EXPECT_EQ(kept, name);
  EXPECT_TRUE(platform::IsFile(kept));
  EXPECT_TRUE(platform::RemoveFile(kept));
}
