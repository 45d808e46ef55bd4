#pragma once
// A scratch folder for tests of runs that make temporary files and read trees of files:
// while it lives it is also the system's temporary folder (TMPDIR natively, TMP and TEMP on
// Windows), so a test sees exactly the temporary files a run leaves.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace testsupport {

// Relative paths ("\" between components) to contents.
using TreeFiles = std::map<std::string, std::string>;

class ScratchTree {
 public:
  ScratchTree();
  ~ScratchTree();
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;
  const std::string& Dir() const { return dir_.Dir(); }
  // dir + the relative path ("\\" between components), with the system's separator.
  std::string Path(const std::string& relative) const;
  // Writes the files below Path(root) (folders made as needed), every file with
  // the given modification time.
  void WriteTree(const std::string& root, const TreeFiles& files,
                 const platform::LocalTime& time = kTime);
  void WriteFile(const std::string& relative, const std::string& bytes,
                 const platform::LocalTime& time = kTime);
  // Makes the folder and every folder on the way to it.
  void MakeFolders(const std::string& relative);
  // The names in a folder below the scratch folder (the scratch folder itself when
  // relative is empty), sorted.
  std::vector<std::string> Listing(const std::string& relative = "") const;
  // The temporary files the patch engine left in the scratch folder: the names that begin
  // with its prefix "gp", in any case.
  std::vector<std::string> LeftoverTemps() const;
  // From now on, until the object goes, the system's temporary folder is dir instead.
  void MoveTempFolder(const std::string& dir);

  static constexpr platform::LocalTime kTime{2002, 3, 4, 5, 6, 8};

 private:
  ScratchDir dir_;  // made first, removed last
  std::vector<std::unique_ptr<ScopedEnv>> tempEnv_;  // restored last first
};

}  // namespace testsupport
