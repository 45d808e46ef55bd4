#include "engine_harness.h"

#include <stdexcept>

#include "patch_engine/engine_state.h"
#include "patch_engine/file_record.h"
#include "patch_engine/patch_format.h"
#include "patch_engine/patch_stream.h"

namespace harness {

void ProgressFrontEnd::Stage1Progress(int percent) {
  if (stage1) stage1(percent);
}
void ProgressFrontEnd::Stage2Progress(int percent) {
  if (stage2) stage2(percent);
}
void ProgressFrontEnd::Stage3Progress(int percent) {
  if (stage3) stage3(percent);
}
void ProgressFrontEnd::FileProgress(int64_t bytesDone, int64_t bytesTotal, const std::string& name) {
  if (file) file(bytesDone, bytesTotal, name);
}

void EngineTest::SetUp() {
  engine::ResetEngineOptions();
  engine::ClampEngineOptions();
}

void EngineTest::TearDown() {
  engine::FreeEngineBuffers();
  engine::ResetEngineOptions();
}

void WriteFilePatch(const std::string& out, const std::vector<std::string>& paths) {
  using namespace engine;
  RunRelease release;
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

Bytes MakeFilePatch(const testsupport::ScratchDir& scratch, const std::vector<Bytes>& versions,
                    const platform::LocalTime& targetTime) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < versions.size(); ++i) {
    paths.push_back(scratch.Path("v" + std::to_string(i)));
    const platform::LocalTime& time = i + 1 == versions.size() ? targetTime : kVersionTime;
    testsupport::WriteFileBytes(paths.back(), versions[i], time);
  }
  const std::string out = scratch.Path("patch.utp");
  WriteFilePatch(out, paths);
  return testsupport::ReadExistingFile(out);
}

}  // namespace harness
