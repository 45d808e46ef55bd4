#include "patch_engine/engine_state.h"

#include "patch_engine/data_streams.h"
#include "patch_engine/directory_scan.h"
#include "patch_engine/file_record.h"
#include "patch_engine/match_search.h"
#include "patch_engine/patch_stream.h"
#include "patch_engine/step_data.h"
#include "patch_engine/step_jobs.h"

namespace engine {

std::atomic<int> BuffersSettled{1};

RunState& Run() {
  static RunState run;
  return run;
}

EngineFiles& Files() {
  static EngineFiles files;
  return files;
}

bool OpenPatchFile(const std::string& name) {
  EngineFiles& f = Files();
  if (!f.patch.Open(name, platform::OpenMode::Write)) return false;
  f.patchFileName = name;
  return true;
}

bool ClosePatchFile() {
  EngineFiles& f = Files();
  bool ok = f.patch.Close();
  f.patchFileName.clear();
  return ok;
}

void DiscardPatchFile() {
  EngineFiles& f = Files();
  if (!f.patch.IsOpen()) return;
  f.patch.Close();
  if (!f.patchFileName.empty()) platform::RemoveFile(f.patchFileName);
  f.patchFileName.clear();
}

void FreeEngineBuffers() {
  BuffersSettled = 0;
  EngineFiles& f = Files();
  f.patch.Close();
  f.patchFileName.clear();
  f.source.Close();
  f.target.Close();
  f.embedded.Close();
  DiscardPatchStream();
  StopStepJobs();
  DiscardStepTempFiles();
  FreeStepBuffer();
  FreeIndexTables();
  Matches().Clear();
  Streams().Clear();
  FreeRootLists();
  BuffersSettled = 1;
}

RunRelease::~RunRelease() {
  DiscardPatchFile();
  FreeEngineBuffers();
}

}  // namespace engine
