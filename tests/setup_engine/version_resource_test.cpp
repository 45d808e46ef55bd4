// The system's version service on a program built with a version resource.
#include <gtest/gtest.h>

#include "setup_engine/pe_resources.h"
#include "setup_engine/version_info.h"

TEST(VersionResource, ReadsTheRunningProgram) {
  TVersionResource r;
  EXPECT_EQ(r.VersionInfo().FileVersion, "3.14.15.92");
  EXPECT_EQ(r.VersionInfo().ProductVersion, "3.14.0.0");
  EXPECT_EQ(r.VersionInfo().CompanyName, "Halden Works");
  EXPECT_EQ(r.VersionInfo().ProductName, "Quiltor test");
  EXPECT_EQ(r.VersionInfo().FileOS, "Windows NT with 32 bit Windows");
  EXPECT_EQ(r.VersionInfo().FileType, "Application");
  // The image reader of the native build finds the same block.
  std::vector<uint8_t> block;
  ASSERT_TRUE(setup::ReadPeVersionResource(r.FileName(), block));
  TVersionInfo info;
  info.Assign(block, lnUSEnglish, csMultilingual);
  EXPECT_EQ(info.FileVersion, "3.14.15.92");
  EXPECT_EQ(info.CompanyName, "Halden Works");
  EXPECT_EQ(OverwriteDecision("3.14.15.91", r.FileName(), owVersion, 0), 3);
}
