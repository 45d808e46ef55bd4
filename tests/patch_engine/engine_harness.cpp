#include "engine_harness.h"

#include <stdexcept>

#include "patch_engine/engine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace harness {

namespace {
void SetOrRemove(const std::string& name, const std::string* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
  if (value)
    setenv(name.c_str(), value->c_str(), 1);
  else
    unsetenv(name.c_str());
#endif
}
}  // namespace

void EngineTest::SetUp() {
  engine::ResetEngineOptions();
  engine::ClampEngineOptions();
}

void EngineTest::TearDown() {
  engine::FreeEngineBuffers();
  engine::ResetEngineOptions();
  engine::Stage1Progress = engine::Stage2Progress = engine::Stage3Progress = nullptr;
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value)
    : name_(name), old_(platform::GetEnvironment(name)), had_(!old_.empty()) {
  SetOrRemove(name_, &value);
}

ScopedEnv::~ScopedEnv() { SetOrRemove(name_, had_ ? &old_ : nullptr); }

Scratch::Scratch() {
  std::string name;
  platform::CreateUniqueFile(platform::TempDirectory(), "eh", name);
  platform::RemoveFile(name);
  dir_ = name + ".d";
  platform::MakeDirectory(dir_);
}

Scratch::~Scratch() {
  for (const std::string& f : files_) platform::RemoveFile(f);
  platform::RemoveEmptyDirectory(dir_);
}

std::string Scratch::Path(const std::string& name) {
  std::string path = platform::JoinPath(dir_, name);
  files_.push_back(path);
  return path;
}

void WriteBytes(const std::string& path, const Bytes& bytes, const platform::LocalTime& time) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Write) ||
      (!bytes.empty() && f.Write(bytes.data(), bytes.size()) != bytes.size()) ||
      !f.SetModificationTime(time) || !f.Close())
    throw std::runtime_error("cannot write " + path);
}

Bytes ReadBytes(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Read)) throw std::runtime_error("cannot read " + path);
  Bytes v(size_t(f.Size()));
  if (f.Read(v.data(), v.size()) != v.size()) throw std::runtime_error("short read " + path);
  return v;
}

void WriteFilePatch(const std::string& out, const std::vector<std::string>& paths) {
  using namespace engine;
  for (size_t i = 0; i < paths.size(); ++i) {
    FileSlots()[i].path = paths[i];
    FileSlots()[i].relativePath.clear();
  }
  Run().directoryMode = 0;
  if (!OpenPatchFile(out)) throw std::runtime_error("cannot create " + out);
  PatchHeader header;
  header.flags = Options.Compress ? 1 : 0;
  WritePatchHeader(header);
  BeginPatchStream();
  WriteNameString(Options.BackupName);
  ExamineAndWriteFile(paths.back(), int(paths.size()));
  EndPatchStream();
  WritePatchTrailer();
  if (!ClosePatchFile()) throw std::runtime_error("cannot close " + out);
}

Bytes MakeFilePatch(Scratch& scratch, const std::vector<Bytes>& versions,
                    const platform::LocalTime& targetTime) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < versions.size(); ++i) {
    paths.push_back(scratch.Path("v" + std::to_string(i)));
    WriteBytes(paths.back(), versions[i], i + 1 == versions.size() ? targetTime : kVersionTime);
  }
  const std::string out = scratch.Path("patch.utp");
  WriteFilePatch(out, paths);
  return ReadBytes(out);
}

}  // namespace harness
