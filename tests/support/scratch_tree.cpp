#include "tests/support/scratch_tree.h"

#include <algorithm>

#include "tests/support/file_bytes.h"

namespace testsupport {

namespace {

const char* const kTempVariables[] = {"TMPDIR", "TMP", "TEMP"};

std::string Native(const std::string& relative) {
  std::string out = relative;
  for (char& c : out)
    if (c == '\\') c = platform::PathSeparator();
  return out;
}

}  // namespace

ScratchTree::ScratchTree() : dir_("et") { MoveTempFolder(Dir()); }

ScratchTree::~ScratchTree() {
  while (!tempEnv_.empty()) tempEnv_.pop_back();
}

void ScratchTree::MoveTempFolder(const std::string& dir) {
  for (const char* name : kTempVariables) tempEnv_.push_back(std::make_unique<ScopedEnv>(name, dir));
}

std::string ScratchTree::Path(const std::string& relative) const { return dir_.Path(Native(relative)); }

void ScratchTree::MakeFolders(const std::string& relative) {
  for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
    platform::MakeDirectory(Path(relative.substr(0, at)));
  platform::MakeDirectory(Path(relative));
}

void ScratchTree::WriteFile(const std::string& relative, const std::string& bytes,
                            const platform::LocalTime& time) {
  size_t last = relative.rfind('\\');
  if (last != std::string::npos) MakeFolders(relative.substr(0, last));
  WriteFileBytes(Path(relative), bytes, time);
}

void ScratchTree::WriteTree(const std::string& root, const TreeFiles& files,
                            const platform::LocalTime& time) {
  MakeFolders(root);
  for (const auto& [rel, bytes] : files) WriteFile(root + "\\" + rel, bytes, time);
}

std::vector<std::string> ScratchTree::Listing(const std::string& relative) const {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(Path(relative), entries);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ScratchTree::LeftoverTemps() const {
  std::vector<std::string> temps;
  for (const std::string& name : Listing())
    if (name.size() > 2 && (name[0] == 'g' || name[0] == 'G') && (name[1] == 'p' || name[1] == 'P'))
      temps.push_back(name);
  return temps;
}

}  // namespace testsupport
