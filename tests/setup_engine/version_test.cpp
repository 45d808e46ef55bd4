#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "platform/byte_order.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/version_info.h"
#include "tests/setup_engine/version_blocks.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace versiontest;

std::string WriteTemp(const testsupport::ScratchDir& scratch, const std::string& name,
                      const std::vector<uint8_t>& bytes) {
  std::string path = scratch.Path(name);
  testsupport::WriteFileBytes(path, bytes);
  return path;
}

TEST(VersionInfo, PublishesFixedAndStringTexts) {
  TVersionInfo info;
  info.Assign(VersionBlock("040904E4", 0x40004, 3, 6), lnUSEnglish, csMultilingual);
  EXPECT_EQ(info.FileVersion, "2.10.3.4");  // never the string table's value
  EXPECT_EQ(info.ProductVersion, "7.0 beta");
  EXPECT_EQ(info.CompanyName, "Halden Works");
  EXPECT_EQ(info.Comment, "tested");
  EXPECT_EQ(info.FileOS, "Windows NT with 32 bit Windows");
  EXPECT_EQ(info.FileType, "Device Driver");
  EXPECT_EQ(info.FileSubType, "Network");

  // Another language finds no string table: only the fixed texts remain.
  info.Assign(VersionBlock("040904E4", 7, 4, 3), lnGerman, csMultilingual);
  EXPECT_EQ(info.CompanyName, "");
  EXPECT_EQ(info.ProductVersion, "7.0.0.0");
  EXPECT_EQ(info.FileOS, "Unknown");
  EXPECT_EQ(info.FileType, "Font");
  EXPECT_EQ(info.FileSubType, "TrueType");
  info.Assign(VersionBlock("040704E4", 4, 1, 0), lnGerman, csMultilingual);
  EXPECT_EQ(info.CompanyName, "Halden Works");
  EXPECT_EQ(info.FileSubType, "");
}

TEST(VersionInfo, HostileBlocksReadAsEmpty) {
  auto good = VersionBlock("040904E4", 4, 1, 0);
  for (size_t cut : {size_t(0), size_t(5), size_t(40), good.size() / 2}) {
    std::vector<uint8_t> b(good.begin(), good.begin() + long(cut));
    setup::VersionNode root;
    EXPECT_FALSE(setup::ParseVersionBlock(b, root)) << cut;
  }
  auto loop = good;
  platform::PutU16(&loop[0], 0xFFFF);  // longer than the bytes
  setup::VersionNode root;
  EXPECT_FALSE(setup::ParseVersionBlock(loop, root));
}

TEST(VersionInfo, ReadsTheVersionResourceOfAFile) {
  testsupport::ScratchDir scratch;
  TVersionResource r;
  r.SetFileName(WriteTemp(scratch, "version.dll", PeImage(VersionBlock("040904E4", 4, 2, 0))));
  EXPECT_EQ(r.VersionInfo().FileVersion, "2.10.3.4");
  EXPECT_EQ(r.VersionInfo().FileType, "Dynamic-Link Library");
  EXPECT_EQ(r.VersionInfo().CompanyName, "Halden Works");
  r.SetFileName(WriteTemp(scratch, "noversion.txt", {'h', 'i'}));
  EXPECT_EQ(r.VersionInfo().FileVersion, "");
  EXPECT_THROW(r.SetLanguage(verinfo::TLanguage(45)), Exception);
  EXPECT_THROW(r.SetCharacterSet(TCharacterSet(1)), Exception);
  EXPECT_EQ(LanguageId(lnSwissFrench), 0x100C);
  EXPECT_EQ(LanguageId(lnBahasa), 0x0421);
}

// A file that registers its OLE server itself says so in any of its string tables.
TEST(VersionInfo, TheSelfRegisterValueOfAFile) {
  testsupport::ScratchDir scratch;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool flag;
  } cases[] = {{"server.exe", PeImage(VersionBlock("040704E4", 4, 1, 0, {{"OLESelfRegister", ""}})), true},
               {"plain.exe", PeImage(VersionBlock("040904E4", 4, 1, 0)), false},
               {"short.exe", {'M', 'Z'}, false}};
  for (const Case& c : cases)
    EXPECT_EQ(setup::FileHasSelfRegisterValue(WriteTemp(scratch, c.name, c.bytes)), c.flag) << c.name;
  EXPECT_FALSE(setup::FileHasSelfRegisterValue(scratch.Path("missing.exe")));
}

TEST(VersionInfo, CompareVersions) {
  struct Case {
    const char *a, *b;
    int result;
  } cases[] = {{"", "", 0},         {"1.0", "1.0.0", 2}, {"1.0.0", "1.0", 1},
               {"10.0", "9.9", 1},  {"1.a", "1.b", 2},   {"2.1.3", "2.1.3", 0},
               {"1.2", "1.10", 2},  {"", "1", 2},        {"B", "a", 2},
               {"+2", "1", 1},      {"-1", "0", 2},
               // Beyond 32 bits the parts compare as text, not as one saturated number.
               {"99999999999999999999", "99999999999999999998", 1},
               {"10000000000", "9", 2}};
  for (const Case& c : cases)
    EXPECT_EQ(TVersionResource::CompareVersions(c.a, c.b), c.result) << c.a << " / " << c.b;
}

TEST(VersionInfo, OverwriteDecisions) {
  testsupport::ScratchDir scratch;
  std::string dll = WriteTemp(scratch, "v2.dll", PeImage(VersionBlock("040904E4", 4, 2, 0)));
  std::string plain = WriteTemp(scratch, "plain.txt", {'x'});
  std::string other = WriteTemp(scratch, "plain2.txt", {'y'});
  ASSERT_TRUE(setup::SetFileDateTime(plain, 40000.5));
  ASSERT_TRUE(setup::SetFileDateTime(other, 40000.5));
  EXPECT_EQ(OverwriteDecision("1.0", plain, owAlways, 0), 2);
  EXPECT_EQ(OverwriteDecision("1.0", plain, owNever, 0), 3);
  EXPECT_EQ(OverwriteDecision("1.0", "  ", owNever, 0), 2);
  EXPECT_EQ(OverwriteDecision("", plain, owVersion, 0), 1);    // both without versions
  EXPECT_EQ(OverwriteDecision("1.0", plain, owVersion, 0), 2);  // "" has no first part
  EXPECT_EQ(OverwriteDecision("2.10.3.4", dll, owVersion, 0), 1);
  EXPECT_EQ(OverwriteDecision("2.9", dll, owVersion, 0), 3);
  EXPECT_EQ(OverwriteDecision("", plain, owDate, 40000.75), 2);
  EXPECT_EQ(OverwriteDecision("", plain, owDate, 40000.5), 1);
  EXPECT_EQ(OverwriteDecision("", plain, owDate, 40000.25), 3);
  EXPECT_EQ(OverwriteDecision("", plain, owVersionDate, 40000.25), 3);
  EXPECT_EQ(OverwriteDecision("3", plain, owVersionDate, 40000.25), 2);
  EXPECT_EQ(OverwriteDecision("", "/no/such/file", owDate, 1), 0);
  // A date that is no file date compares with nothing.
  EXPECT_EQ(OverwriteDecision("", plain, owDate, std::nan("")), 0);
  EXPECT_EQ(OverwriteDecision("", plain, owVersionDate, std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plain, other, owDate), 1);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plain, dll, owVersion), 3);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plain, "/no/such/file", owDate), 0);
}

TEST(VersionInfo, DateTimesRoundTrip) {
  platform::LocalTime t{2001, 3, 4, 5, 6, 7};
  double d = setup::EncodeDateTime(t);
  EXPECT_NEAR(d, 36954.2125810185, 1e-9);
  platform::LocalTime back = setup::DecodeDateTime(d);
  EXPECT_EQ(back.year, 2001);
  EXPECT_EQ(back.day, 4);
  EXPECT_EQ(back.second, 7);
  EXPECT_EQ(setup::EncodeDateTime({1899, 12, 30, 0, 0, 0}), 0.0);
}

// A date-time that no file date can hold is set on no file, and shown as the nearer end of
// the range of file dates.
TEST(VersionInfo, DatesOutsideTheRangeOfFileDates) {
  testsupport::ScratchDir scratch;
  std::string file = WriteTemp(scratch, "dated.txt", {'x'});
  ASSERT_TRUE(setup::SetFileDateTime(file, 40000.5));
  const double inf = std::numeric_limits<double>::infinity();
  const char* const first = "1601-01-01 00:00:00";
  const char* const last = "9999-12-31 23:59:59";
  struct Case {
    double date;
    bool fileDate;
    const char* shown;
  } cases[] = {
      {std::nan(""), false, first},
      {inf, false, last},
      {-inf, false, first},
      {1e19, false, last},
      {-1e19, false, first},
      {std::numeric_limits<double>::max(), false, last},
      {std::numeric_limits<double>::lowest(), false, first},
      {2958466.0, false, last},         // 1 January 10000
      {2958465.99999999, false, last},  // rounds to 1 January 10000
      {-109206.0, false, first},        // 31 December 1600
      {2958465.999988, true, last},
      {-109205.0, true, first},
      {-109205.5, true, "1601-01-01 12:00:00"},
      // 29 December 1899 at 23:59:59.999 rounds to the next day, the epoch.
      {-1.99999999, true, "1899-12-30 00:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    EXPECT_EQ(setup::IsFileDateTime(c.date), c.fileDate);
    platform::LocalTime t = setup::DecodeDateTime(c.date);
    char shown[64];
    std::snprintf(shown, sizeof shown, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    EXPECT_STREQ(shown, c.shown);
    if (!c.fileDate) {
      EXPECT_FALSE(setup::SetFileDateTime(file, c.date));
      double kept = 0;
      ASSERT_TRUE(setup::GetFileDateTime(file, kept));
      EXPECT_EQ(kept, 40000.5);
    }
  }
}

}  // namespace
