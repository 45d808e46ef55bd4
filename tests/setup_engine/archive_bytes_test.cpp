// The bytes the archive driver writes for one small fixture, recorded once: an archive
// built, the same archive after an append, that archive spanned onto disks and a
// self-extracting program made of it. Both builds write these very bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "setup_engine/kstn_compress.h"
#include "tests/setup_engine/archive_test_util.h"

namespace {

using namespace archive_test;

// "name size crc32" of a file, as the table below records it.
std::string Fingerprint(const std::string& label, const std::string& path) {
  Bytes b = ReadFile(path);
  char text[128];
  std::snprintf(text, sizeof text, "%s %zu %08lx", label.c_str(), b.size(),
                crc32(0, b.data(), uInt(b.size())));
  return text;
}

// Runs the driver with the scratch folder as working directory, so the stored names are
// the bare file names in both builds.
Cli CmdIn(const std::string& dir, const std::vector<std::string>& args) {
  struct Back {
    std::filesystem::path to = std::filesystem::current_path();
    ~Back() { std::filesystem::current_path(to); }
  } back;
  std::filesystem::current_path(dir);
  return Cmd(args);
}

TEST(ArchiveBytes, DriverWritesTheRecordedBytes) {
  ScratchDir scratch("qsa");
  const std::string dir = scratch.Dir(), disks = Join(dir, "disks");
  ASSERT_TRUE(platform::MakeDirectory(disks));
  MakeInputs(dir, {{"notes.txt", 300}, {"block.bin", 20000}, {"empty.dat", 0}});
  WriteFile(Join(dir, "more.txt"), Pattern(1000, 4));
  ASSERT_TRUE(setup::SetFileDateTime(Join(dir, "more.txt"), 36100.5));

  std::vector<std::string> seen;
  Cli built = CmdIn(dir, {"build", "files.1", "notes.txt", "block.bin", "empty.dat"});
  ASSERT_EQ(built.rc, 0) << built.err;
  seen.push_back(Fingerprint("built", Join(dir, "files.1")));
  Cli appended = CmdIn(dir, {"append", "files.1", "more.txt"});
  ASSERT_EQ(appended.rc, 0) << appended.err;
  seen.push_back(Fingerprint("appended", Join(dir, "files.1")));
  Cli spanned = CmdIn(dir, {"span", "files.1", "disks", "9000"});
  ASSERT_EQ(spanned.rc, 0) << spanned.err;
  for (const std::string& disk : Names(disks)) seen.push_back(Fingerprint(disk, Join(disks, disk)));
  const std::string exe = Join(dir, "setup.exe"), setupPart = Join(dir, "setup.1");
  WriteFile(exe, Pattern(512, 5));
  WriteFile(setupPart, Pattern(600, 6));
  CreateSelfExtractor(exe, setupPart, Join(dir, "files.1"));
  seen.push_back(Fingerprint("setup.exe", exe));

  const std::vector<std::string> recorded = {
      "built 20832 418e8aa3",   "appended 22007 99afed25", "files.1 9000 2058b9ba",
      "files.2 9000 effde3c9",  "files.3 4007 dc93c31d",   "setup.exe 23175 d7005c17",
  };
  EXPECT_EQ(seen, recorded);
}

}  // namespace
