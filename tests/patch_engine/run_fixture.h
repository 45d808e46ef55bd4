#pragma once
// Support for tests of whole engine runs: scratch folders with small directory trees, a
// recording front end, and reading trees back for the test decoder.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "patch_decoder.h"
#include "patch_engine/engine.h"
#include "platform/file.h"
#include "tests/support/scratch_dir.h"

namespace runfix {

using Bytes = std::vector<uint8_t>;
// Relative paths ("\" between components) to contents.
using TreeFiles = std::map<std::string, std::string>;

Bytes ToBytes(const std::string& s);
// Bytes of the given length drawn from the given values, in a fixed pseudo-random order.
std::string Noise(size_t length, uint32_t seed, const std::string& alphabet);

// A scratch folder, removed with everything in it when the object goes; while it lives it
// is also the system's temporary folder (TMPDIR natively, TMP and TEMP on Windows), so a
// test sees exactly the temporary files its run leaves.
class Scratch {
 public:
  Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
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
  // Temporary files of the engine left in the scratch folder ("gp…").
  std::vector<std::string> LeftoverTemps() const;

  static constexpr platform::LocalTime kTime{2002, 3, 4, 5, 6, 8};

 private:
  testsupport::ScratchDir dir_;  // made first, removed last
  std::vector<std::unique_ptr<testsupport::ScopedEnv>> tempEnv_;
};

Bytes ReadFile(const std::string& path);
// The files of a tree on disk, without hidden ones, links and what is neither a file nor a
// folder, as the decoder's tree.
patchdec::Tree LoadTree(const std::string& root);
// Applies the patch to a copy of every source tree and checks that each gives the target
// tree (every target file with its bytes); returns the failures as text, empty when none.
std::string CheckAppliesToTarget(const patchdec::Patch& patch, const std::vector<std::string>& sources,
                                 const std::string& target);

// Fills FileNames/FileCount: the versions and the target, then the output.
void SetFileNames(const std::vector<std::string>& inputs, const std::string& output);
// Runs CreatePatch; returns the engine's message, or "" when it succeeded.
std::string RunEngine();

// A front end, installed while it lives, that records every service call and answers from
// its settings; its progress goes to the callbacks of ProgressFrontEnd.
class RecordingFrontEnd final : public harness::ProgressFrontEnd {
 public:
  bool answerLongNames = true;
  bool startProcesses = true;  // RunAndWait reports the process as started
  uint32_t exitCode = 0;       // what RunAndWait reports
  // When set, RunAndWait hands the command line to it instead.
  std::function<bool(const std::string&, bool, uint32_t&)> run;

  std::vector<std::string> calls;     // in order: "Pump", "Size 123", "Ask RAR patch.utp", ...
  std::vector<std::string> commands;  // command lines given to RunAndWait
  std::vector<int64_t> patchSizes;
  std::vector<std::vector<std::string>> versionLists;  // the names ShowSourceVersions got
  std::vector<bool> directoryModes;      // what ShowDirectoryMode was told
  std::vector<size_t> directoryModesAt;  // and when: the number of calls before it

  void ShowDirectoryMode(bool directoryMode) override;
  void PumpMessages() override;
  void ResetQuellMeters() override;
  void ShowSourceVersions(int step, const std::vector<std::string>& versionNames) override;
  void ShowPatchSize(int64_t bytes) override;
  void RaiseMissingStub(const std::string& stubName) override;
  bool AskLongFileNameSupport(const std::string& productWord, const std::string& outputName) override;
  void ShowPackerNotFound(const std::string& program, bool searchedPath) override;
  bool RunAndWait(const std::string& commandLine, bool show, uint32_t& exitCode) override;
};

// What RecordingFrontEnd::RaiseMissingStub throws, as the front end's own exception would.
struct MissingStubRaised {
  std::string stubName;
};

// Changes the current folder for the life of the object.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir);
  ~CurrentDirectory();
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::string previous_;
};

}  // namespace runfix
