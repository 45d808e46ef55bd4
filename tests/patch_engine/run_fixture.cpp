#include "run_fixture.h"

#include <algorithm>

#include "framework/core/exception.h"
#include "patch_engine/create_patch.h"
#include "patch_engine/engine_errors.h"
#include "tests/support/file_bytes.h"

#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

namespace runfix {

namespace {

void LoadInto(patchdec::Tree& tree, const std::string& dir, const std::string& rel) {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(dir, entries);
  for (const auto& e : entries) {
    if (e.isHidden || e.isLink) continue;
    std::string full = platform::JoinPath(dir, e.name);
    if (!e.isDirectory && platform::KindOf(full) == platform::PathKind::Other) continue;
    std::string r = rel.empty() ? e.name : rel + "\\" + e.name;
    if (e.isDirectory)
      LoadInto(tree, full, r);
    else
      tree[r] = testsupport::ReadFileBytes(full);
  }
}

}  // namespace

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

patchdec::Tree LoadTree(const std::string& root) {
  patchdec::Tree tree;
  LoadInto(tree, root, "");
  return tree;
}

std::string CheckAppliesToTarget(const patchdec::Patch& patch, const std::vector<std::string>& sources,
                                 const std::string& target) {
  const patchdec::Tree want = LoadTree(target);
  std::string failures;
  for (const std::string& source : sources) {
    patchdec::Tree tree = LoadTree(source);
    try {
      patchdec::ApplyToTree(patch, tree);
    } catch (const patchdec::DecodeError& e) {
      failures += source + ": " + e.what() + "\n";
      continue;
    }
    for (const auto& [path, bytes] : want) {
      auto it = tree.find(path);
      if (it == tree.end())
        failures += source + ": " + path + " missing\n";
      else if (it->second != bytes)
        failures += source + ": " + path + " differs\n";
    }
  }
  return failures;
}

void SetFileNames(const std::vector<std::string>& inputs, const std::string& output) {
  engine::Options.FileCount = int32_t(inputs.size() + 1);
  for (size_t i = 0; i < inputs.size(); ++i) engine::Options.FileNames[i] = inputs[i];
  engine::Options.FileNames[inputs.size()] = output;
}

std::string RunEngine() {
  try {
    engine::CreatePatch();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

void RecordingFrontEnd::ShowDirectoryMode(bool directoryMode) {
  directoryModes.push_back(directoryMode);
  directoryModesAt.push_back(calls.size());
}
void RecordingFrontEnd::PumpMessages() { calls.push_back("Pump"); }
void RecordingFrontEnd::ResetQuellMeters() { calls.push_back("Reset"); }
void RecordingFrontEnd::ShowSourceVersions(int step, const std::vector<std::string>& versionNames) {
  calls.push_back("Versions " + std::to_string(step) + "/" + std::to_string(versionNames.size()));
  versionLists.push_back(versionNames);
}
void RecordingFrontEnd::ShowPatchSize(int64_t bytes) {
  calls.push_back("Size " + std::to_string(bytes));
  patchSizes.push_back(bytes);
}
void RecordingFrontEnd::RaiseMissingStub(const std::string& stubName) {
  calls.push_back("MissingStub " + stubName);
  throw MissingStubRaised{stubName};
}
bool RecordingFrontEnd::AskLongFileNameSupport(const std::string& productWord, const std::string& outputName) {
  calls.push_back("Ask " + productWord + " " + outputName);
  return answerLongNames;
}
void RecordingFrontEnd::ShowPackerNotFound(const std::string& program, bool searchedPath) {
  calls.push_back(std::string("NotFound ") + (searchedPath ? "path " : "custom ") + program);
}
bool RecordingFrontEnd::RunAndWait(const std::string& commandLine, bool show, uint32_t& code) {
  calls.push_back(std::string("Run") + (show ? " shown" : ""));
  commands.push_back(commandLine);
  if (run) return run(commandLine, show, code);
  code = exitCode;
  return startProcesses;
}

CurrentDirectory::CurrentDirectory(const std::string& dir) {
  char buf[4096];
  if (getcwd(buf, sizeof buf)) previous_ = buf;
  if (chdir(dir.c_str()) != 0) throw std::runtime_error("cannot change to " + dir);
}

CurrentDirectory::~CurrentDirectory() {
  if (!previous_.empty() && chdir(previous_.c_str()) != 0) std::abort();
}

}  // namespace runfix
