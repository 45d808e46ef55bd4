#include <gtest/gtest.h>

#include <string>

#include "setup_engine/archive_names.h"

namespace {

// What a stored name (or an ExtractName) is written under, or "" when it is refused.
TEST(ArchiveNames, OnlyTheLastPartInsideTheFolder) {
  struct Case {
    std::string name, written;
  } cases[] = {
      {"readme.txt", "readme.txt"},
      {"C:\\build\\files\\readme.txt", "readme.txt"},
      {"/etc/passwd", "passwd"},
      {"C:readme.txt", "readme.txt"},
      {"dir/sub\\mixed.bin", "mixed.bin"},
      {".hidden", ".hidden"},
      {"a..b", "a..b"},
      {"..a", "..a"},
      {"name.", "name."},
      {"with blank.txt", "with blank.txt"},
      {"caf\xE9.txt", "caf\xE9.txt"},
      {"tab\x7F", "tab\x7F"},
      // A part that climbs out, wherever it stands.
      {"..", ""},
      {"..\\readme.txt", ""},
      {"../readme.txt", ""},
      {"a/../readme.txt", ""},
      {"C:..\\readme.txt", ""},
      {"dir\\. .\\readme.txt", ""},
      {"dir\\...\\readme.txt", ""},
      {"dir\\.. ", ""},
      // No file name at the end.
      {"", ""},
      {"   ", ""},
      {".", ""},
      {". ", ""},
      {"dir\\", ""},
      {"dir/", ""},
      {"C:", ""},
      {"dir\\.", ""},
      // Control characters.
      {"evil\x01.txt", ""},
      {"line\nbreak", ""},
      {"tab\tname", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(setup::SafeExtractName(c.name), c.written) << c.name;
}

}  // namespace
