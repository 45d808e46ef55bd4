// CRC-32 register, DOS time stamps and the engine's name helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/core/sysutils.h"
#include "patch_engine/crc32.h"
#include "patch_engine/engine.h"
#include "patch_engine/file_names.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

using namespace engine;

TEST(Crc32, RegisterValues) {
  struct Case {
    const char* text;
    uint32_t crc;
  } cases[] = {
      {"", 0xFFFFFFFFu},
      {"123456789", 0x340BC6D9u},
      {"a", ~0xE8B7BE43u},
      {"The quick brown fox jumps over the lazy dog", ~0x414FA339u},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Crc32Update(c.text, std::strlen(c.text), kCrcStart), c.crc) << c.text;
}

TEST(Crc32, PiecewiseUpdateEqualsWhole) {
  std::string data(10000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 131 + 7);
  uint32_t whole = Crc32Update(data.data(), data.size(), kCrcStart);
  uint32_t parts = kCrcStart;
  for (size_t at = 0, n = 1; at < data.size(); at += n, n = n * 2 + 1)
    parts = Crc32Update(data.data() + at, std::min(n, data.size() - at), parts);
  EXPECT_EQ(parts, whole);
}

TEST(DosTime, PackingAndClamping) {
  struct Case {
    platform::LocalTime t;
    uint32_t stamp;
  } cases[] = {
      {{1980, 1, 1, 0, 0, 0}, 0x00210000u},
      {{1980, 1, 1, 0, 0, 1}, 0x00210000u},       // seconds are kept in halves
      {{1980, 1, 1, 0, 0, 59}, 0x0021001Du},
      {{2026, 12, 10, 9, 8, 58}, (46u << 25) | (12u << 21) | (10u << 16) | (9u << 11) | (8u << 5) | 29u},
      {{2107, 12, 31, 23, 59, 58}, 0xFF9FBF7Du},
      {{1979, 12, 31, 23, 59, 59}, 0x00210000u},  // before the DOS epoch: its first second
      {{1601, 1, 1, 0, 0, 0}, 0x00210000u},
      {{2108, 1, 1, 0, 0, 0}, 0xFF9FBF7Du},       // past the last year: its last stamp
      {{3000, 6, 6, 6, 6, 6}, 0xFF9FBF7Du},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PackDosTime(c.t), c.stamp) << c.t.year << "-" << c.t.month << "-" << c.t.day;
}

TEST(DosTime, FileStampIsLocalTimeAndNewestIsRemembered) {
  testsupport::ScratchDir scratch;
  const std::string& dir = scratch.Dir();
  std::string older = platform::JoinPath(dir, "older"), newer = platform::JoinPath(dir, "newer");
  const platform::LocalTime times[] = {{1980, 1, 1, 0, 0, 0}, {2001, 2, 3, 4, 5, 6}};
  const std::string paths[] = {older, newer};
  for (int i = 0; i < 2; ++i) {
    platform::File f;
    ASSERT_TRUE(f.Open(paths[i], platform::OpenMode::Write));
    ASSERT_TRUE(f.SetModificationTime(times[i]));
  }
  ResetNewestStamp();
  EXPECT_EQ(NewestStamp(), 0u);
  platform::File f;
  ASSERT_TRUE(f.Open(newer, platform::OpenMode::Read));
  uint32_t newStamp = FileDosTimeStamp(f);
  EXPECT_EQ(newStamp, PackDosTime(times[1]));
  ASSERT_TRUE(f.Open(older, platform::OpenMode::Read));
  EXPECT_EQ(FileDosTimeStamp(f), 0x00210000u);
  EXPECT_EQ(NewestStamp(), newStamp);
}

TEST(FileNames, DirectoryContainsAndSearchPath) {
  testsupport::ScratchDir scratch, emptyScratch;
  const std::string& dir = scratch.Dir();
  testsupport::WriteFileBytes(platform::JoinPath(dir, "Zip.EXE"), "x");
  EXPECT_TRUE(DirectoryContains(dir, "zip.exe"));
  EXPECT_TRUE(DirectoryContains(dir, "ZIP.exe"));
  EXPECT_FALSE(DirectoryContains(dir, "zip.ex"));
  EXPECT_FALSE(DirectoryContains(platform::JoinPath(dir, "Zip.EXE"), "zip.exe"));
  EXPECT_FALSE(DirectoryContains(platform::JoinPath(dir, "none"), "zip.exe"));

  const std::string sep(1, platform::PathListSeparator());
  const std::string& empty = emptyScratch.Dir();
  {
    testsupport::ScopedEnv path("PATH", empty + sep + sep + dir + sep);  // empty pieces are skipped
    EXPECT_TRUE(FindOnPath("zip.exe"));
    EXPECT_FALSE(FindOnPath("rar.exe"));
  }
  testsupport::ScopedEnv path("PATH", empty);
  EXPECT_FALSE(FindOnPath("zip.exe"));
}

// File names compare as SameText does.
TEST(FileNames, SameFileNameIgnoresCaseAndComparesWholeNames) {
  EXPECT_TRUE(SameText("C:\\Temp\\Patch.UTP", "c:\\temp\\patch.utp"));
  EXPECT_FALSE(SameText("a.utp", "a.ut"));
  // Long names are compared in full, not cut at a fixed length.
  std::string a(300, 'x'), b(300, 'x');
  b[299] = 'y';
  EXPECT_FALSE(SameText(a, b));
  EXPECT_TRUE(SameText(a, std::string(300, 'X')));
}
