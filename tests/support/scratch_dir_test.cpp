// Scratch folders: each is a new folder of its own, and it goes with all it holds.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "platform/file.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using testsupport::ScratchDir;

namespace {

void Write(const std::string& path, const std::string& text) {
  platform::File f;
  ASSERT_TRUE(f.Open(path, platform::OpenMode::Write)) << path;
  ASSERT_EQ(f.Write(text.data(), text.size()), text.size());
  ASSERT_TRUE(f.Close());
}

}  // namespace

TEST(ScratchDir, EachIsANewEmptyFolderUnderTheTemporaryFolder) {
  std::set<std::string> dirs;
  std::vector<std::unique_ptr<ScratchDir>> alive;
  for (int i = 0; i < 50; ++i) {
    alive.push_back(std::make_unique<ScratchDir>("sd"));
    const std::string& dir = alive.back()->Dir();
    EXPECT_TRUE(dirs.insert(dir).second) << dir;
    EXPECT_TRUE(platform::IsDirectory(dir));
    EXPECT_TRUE(platform::PathWithin(dir, platform::TempDirectory()));
    EXPECT_EQ(dir.substr(platform::TempDirectory().size(), 2), "sd");
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(dir, entries));
    EXPECT_TRUE(entries.empty());
  }
  ScratchDir s;
  EXPECT_EQ(s.Path(""), s.Dir());
  EXPECT_EQ(s.Path("a.bin"), platform::JoinPath(s.Dir(), "a.bin"));
}

TEST(ScratchDir, RemovesTheWholeTreeWithReadOnlyFilesAndFolders) {
  ScratchDir outside;
  Write(outside.Path("target.txt"), "target");
  std::string dir;
  {
    ScratchDir s;
    dir = s.Dir();
    Write(s.Path("plain.txt"), "plain");
    Write(s.Path("locked.txt"), "locked");
    ASSERT_TRUE(testsupport::SetReadOnly(s.Path("locked.txt"), true));
    const std::string deep = platform::JoinPath(s.Path("sub"), "deeper");
    ASSERT_TRUE(platform::MakeDirectory(s.Path("sub")));
    ASSERT_TRUE(platform::MakeDirectory(deep));
    Write(platform::JoinPath(deep, "inner.bin"), "inner");
    const std::string sealed = s.Path("sealed");
    ASSERT_TRUE(platform::MakeDirectory(sealed));
    Write(platform::JoinPath(sealed, "kept.txt"), "kept");
    ASSERT_TRUE(testsupport::SetReadOnly(platform::JoinPath(sealed, "kept.txt"), true));
    ASSERT_TRUE(testsupport::SetReadOnly(sealed, true));
#ifndef _WIN32
    // Links are removed, never followed.
    ASSERT_EQ(symlink(outside.Dir().c_str(), s.Path("dirlink").c_str()), 0);
    ASSERT_EQ(symlink(outside.Path("target.txt").c_str(), s.Path("filelink").c_str()), 0);
#endif
  }
  EXPECT_FALSE(platform::IsDirectory(dir));
  EXPECT_FALSE(platform::IsFile(dir));
  EXPECT_TRUE(testsupport::RemoveTree(dir));  // nothing there: nothing is left
  EXPECT_TRUE(platform::IsFile(outside.Path("target.txt")));
}

TEST(ScratchDir, ATemporaryFolderThatIsMissingIsAnError) {
  ScratchDir s;
#ifdef _WIN32
  testsupport::ScopedEnv moved("TMP", s.Path("missing"));
#else
  testsupport::ScopedEnv moved("TMPDIR", s.Path("missing"));
#endif
  EXPECT_THROW(ScratchDir{}, std::runtime_error);
}
