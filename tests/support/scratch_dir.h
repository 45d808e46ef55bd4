#pragma once
// Scratch folders for tests. A ScratchDir reserves a folder of its own under the system's
// temporary folder by making it (a name that is taken, by a test running beside this one
// or by anything else, is simply drawn again) and removes it with everything in it when it
// goes, read-only files and folders too. Tests leave nothing behind in the temporary
// folder; scripts/test checks that for a whole run.
#include <string>

namespace testsupport {

class ScratchDir {
 public:
  // prefix begins the folder's name, so a folder that stays behind tells whose it was.
  // Throws std::runtime_error when no folder can be made.
  explicit ScratchDir(const std::string& prefix = "qt");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The folder, without a separator at its end.
  const std::string& Dir() const { return dir_; }
  // Dir() joined with a path relative to it; Dir() itself for an empty one.
  std::string Path(const std::string& relative) const;

 private:
  std::string dir_;
};

// Removes a file, or a folder with everything below it (links in it are removed, never
// followed). True when nothing of it is left (also when there was nothing).
bool RemoveTree(const std::string& path);

// Makes a file or folder read-only (natively: takes away every write permission), or
// writable again.
bool SetReadOnly(const std::string& path, bool readOnly);

}  // namespace testsupport
