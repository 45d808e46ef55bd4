#pragma once
// Support for tests of whole engine runs: the options of a run, a recording front end, and
// reading trees back for the test decoder. Scratch folders with trees of files come from the
// test support library (tests/support/scratch_tree.h).
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
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_tree.h"

namespace runfix {

using Bytes = std::vector<uint8_t>;
using Scratch = testsupport::ScratchTree;

Bytes ToBytes(const std::string& s);

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
