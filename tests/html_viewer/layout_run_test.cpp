// layout_run over the scripts of layouts/: each gives the dump (or the error) its .expected
// file holds, with the fake measurer. The Windows build's driver gives the same with --fake
// (drivers_match_native.sh).
#include <gtest/gtest.h>

#include <sstream>

#include "framework/core/sysutils.h"
#include "html_viewer/layout_cli.h"
#include "platform/file.h"
#include "tests/support/file_bytes.h"

namespace {

TEST(LayoutRun, ScriptsGiveTheirExpectedDumps) {
  std::string dir = platform::JoinPath(platform::FullPath("."), "layouts");
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir, entries));
  int scripts = 0;
  for (const platform::DirEntry& e : entries) {
    if (ExtractFileExt(e.name) != ".layout") continue;
    SCOPED_TRACE(e.name);
    std::string path = platform::JoinPath(dir, e.name), text = testsupport::ReadExistingText(path);
    std::vector<std::string> args;
    size_t q = text.find("# queries: ");
    if (q != std::string::npos) {
      std::istringstream words(text.substr(q + 11, text.find('\n', q) - q - 11));
      for (std::string w; words >> w;) args.push_back(w);
    }
    args.push_back(path);
    std::ostringstream out, err;
    int rc = RunLayoutCommand(args, TLayoutHost{}, out, err);
    std::string expected = testsupport::ReadExistingText(platform::JoinPath(dir, ChangeFileExt(e.name, ".expected")));
    std::string got = "exit " + std::to_string(rc) + "\n" + (rc == 0 ? out.str() : err.str());
    EXPECT_EQ(got, expected);
    ++scripts;
  }
  EXPECT_GE(scripts, 5);
}

TEST(LayoutRun, CommandLineMistakes) {
  for (std::vector<std::string> args : {std::vector<std::string>{}, {"--width"}, {"--width", "0", "x"},
                                        {"--link", "5", "x"}, {"--find", ",a", "x"}, {"--bogus", "x"},
                                        {"a", "b"}, {"--bmp", "out.bmp", "x"}, {"--background", "red", "x"},
                                        {"--background", "12345", "x"}, {"--submit", "0", "x"},
                                        {"--enter", "two", "x"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunLayoutCommand(args, TLayoutHost{}, out, err), 2);
    EXPECT_NE(err.str().find("usage: layout_run"), std::string::npos);
  }
  std::ostringstream out, err;
  EXPECT_EQ(RunLayoutCommand({"no-such-script.layout"}, TLayoutHost{}, out, err), 1);
  EXPECT_EQ(err.str(), "layout_run: no-such-script.layout: cannot read the file\n");
}

}  // namespace
