#include "run_fixture.h"

#include <algorithm>

#include "framework/core/exception.h"
#include "patch_engine/create_patch.h"
#include "patch_engine/engine_errors.h"
#include "test_util.h"

#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

namespace runfix {

namespace {

const char* const kTempVariables[] = {"TMPDIR", "TMP", "TEMP"};

std::string Native(const std::string& relative) {
  std::string out = relative;
  for (char& c : out)
    if (c == '\\') c = platform::PathSeparator();
  return out;
}

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
      tree[r] = ReadFile(full);
  }
}

}  // namespace

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string Noise(size_t length, uint32_t seed, const std::string& alphabet) {
  std::string out(length, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = alphabet[x % alphabet.size()];
  }
  return out;
}

Scratch::Scratch() : dir_("et") {
  for (const char* name : kTempVariables) tempEnv_.push_back(std::make_unique<testsupport::ScopedEnv>(name, Dir()));
}

std::string Scratch::Path(const std::string& relative) const { return dir_.Path(Native(relative)); }

void Scratch::MakeFolders(const std::string& relative) {
  for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
    platform::MakeDirectory(Path(relative.substr(0, at)));
  platform::MakeDirectory(Path(relative));
}

void Scratch::WriteFile(const std::string& relative, const std::string& bytes,
                        const platform::LocalTime& time) {
  size_t last = relative.rfind('\\');
  if (last != std::string::npos) MakeFolders(relative.substr(0, last));
  platform::File f;
  f.Open(Path(relative), platform::OpenMode::Write);
  f.Write(bytes.data(), bytes.size());
  f.Flush();
  f.SetModificationTime(time);
  f.Close();
}

void Scratch::WriteTree(const std::string& root, const TreeFiles& files, const platform::LocalTime& time) {
  MakeFolders(root);
  for (const auto& [rel, bytes] : files) WriteFile(root + "\\" + rel, bytes, time);
}

std::vector<std::string> Scratch::Listing(const std::string& relative) const {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(Path(relative), entries);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Scratch::LeftoverTemps() const {
  std::vector<std::string> temps;
  for (const std::string& name : Listing())
    if (name.size() > 2 && (name[0] == 'g' || name[0] == 'G') && (name[1] == 'p' || name[1] == 'P'))
      temps.push_back(name);
  return temps;
}

Bytes ReadFile(const std::string& path) { return testutil::ReadFile(path); }

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
