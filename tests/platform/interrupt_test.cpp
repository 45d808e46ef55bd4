// Files put right when the process is interrupted, checked on a helper program that holds
// them and interrupts itself while another of its threads keeps changing the list.
#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/process.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_process.h"

namespace {

std::string Text(const std::string& path) {
  if (!platform::IsFile(path)) return "(missing)";
  const testsupport::Bytes bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(Interrupt, TemporaryFilesGoAndFilesMovedAsideComeBack) {
  using testsupport::Interruption;
  const std::pair<Interruption, const char*> cases[] = {{Interruption::Interrupt, "int"},
                                                        {Interruption::Terminate, "term"}};
  for (const auto& [how, word] : cases) {
    testsupport::ScratchDir scratch("pi");
    {
      platform::File f;
      ASSERT_TRUE(f.Open(scratch.Path("earlier.txt"), platform::OpenMode::Write));
      ASSERT_EQ(f.Write("earlier", 7), 7u);
    }
    uint32_t code = 0;
    const std::string line = platform::QuoteArgument(testsupport::BesideThisProgram("interrupted_child")) +
                             " " + platform::QuoteArgument(scratch.Dir()) + " " + word;
    ASSERT_TRUE(platform::RunProcess(line, false, code)) << line;
    EXPECT_TRUE(testsupport::EndedByInterruption(code, how)) << word << ": exit code " << code;
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(scratch.Dir(), entries));
    ASSERT_EQ(entries.size(), 1u) << word << ": " << entries.back().name;
    EXPECT_EQ(entries[0].name, "earlier.txt") << word;
    EXPECT_EQ(Text(scratch.Path("earlier.txt")), "earlier") << word;
  }
}

}  // namespace
