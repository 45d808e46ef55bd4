// Command lines, full paths and starting programs.
#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/process.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(Process, CommandLinesSplitByTheWindowsRules) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"\"C:\\Program Files\\zip.exe\" -9 \"my patch\" out.utp",
       {"C:\\Program Files\\zip.exe", "-9", "my patch", "out.utp"}},
      {"gzip -N -9 -S\".gz \" \"a b.utp\"", {"gzip", "-N", "-9", "-S.gz ", "a b.utp"}},
      {"  a\t\tb  ", {"a", "b"}},
      {"a\\\\\"b c\" d", {"a\\b c", "d"}},
      {"a\\\"b c\\d", {"a\"b", "c\\d"}},
      {"\"\" x", {"", "x"}},
      {"", {}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(platform::SplitCommandLine(line), args) << line;
}

// Quoted arguments come back whole, whatever quotes, backslashes and blanks they hold.
TEST(Process, QuotedArgumentsSplitBackWhole) {
  const std::vector<std::string> args = {
      "plain", "with blank", "", "a\" -TT \"touch PWNED\" \"b.utp", "dir\\", "C:\\a b\\",
      "x\\\"y", "\\\\server\\share", "\ttab\t", "\"", "\\",
  };
  std::string line;
  for (const std::string& a : args) {
    EXPECT_EQ(platform::SplitCommandLine(platform::QuoteArgument(a)), std::vector<std::string>{a}) << a;
    line += platform::QuoteArgument(a) + " ";
  }
  EXPECT_EQ(platform::SplitCommandLine(line), args);
  EXPECT_EQ(platform::QuoteArgument("C:\\Program Files\\zip.exe"), "\"C:\\Program Files\\zip.exe\"");
#ifndef _WIN32
  // And so they reach a program.
  testsupport::ScratchDir scratch("pp");
  const std::string out = scratch.Path("args.txt");
  std::string command = "sh -c " + platform::QuoteArgument("printf '%s|' \"$@\" > \"$0\"") + " " +
                        platform::QuoteArgument(out);
  std::string expected;
  for (const std::string& a : args) {
    command += " " + platform::QuoteArgument(a);
    expected += a + "|";
  }
  uint32_t code = 99;
  ASSERT_TRUE(platform::RunProcess(command, false, code));
  EXPECT_EQ(code, 0u);
  const testsupport::Bytes got = testsupport::ReadExistingFile(out);
  EXPECT_EQ(std::string(got.begin(), got.end()), expected);
#endif
}

TEST(Process, PathsWithinFolders) {
  const std::string base = platform::FullPath(".");
  const std::string dir = platform::JoinPath(base, "tree");
  EXPECT_TRUE(platform::PathWithin(dir, dir));
  EXPECT_TRUE(platform::PathWithin(platform::JoinPath(dir, "a"), dir));
  EXPECT_TRUE(platform::PathWithin(platform::JoinPath(base, "tree/x/../y"), dir));
  EXPECT_FALSE(platform::PathWithin(platform::JoinPath(base, "tree2"), dir));
  EXPECT_FALSE(platform::PathWithin(platform::JoinPath(base, "tree/../other"), dir));
  EXPECT_FALSE(platform::PathWithin(base, dir));
  EXPECT_TRUE(platform::PathWithin("tree/a", "tree"));  // relative paths resolve alike
#ifdef _WIN32
  EXPECT_TRUE(platform::PathWithin(platform::JoinPath(base, "TREE\\A"), dir));
#else
  EXPECT_FALSE(platform::PathWithin(platform::JoinPath(base, "TREE/A"), dir));
#endif
}

#ifndef _WIN32
TEST(Process, ProgramsRunToTheirExitCode) {
  uint32_t code = 99;
  ASSERT_TRUE(platform::RunProcess("sh -c \"exit 3\"", false, code));
  EXPECT_EQ(code, 3u);
  ASSERT_TRUE(platform::RunProcess("true", false, code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(platform::RunProcess("\"no such program here\"", false, code));
}
#endif

}  // namespace
