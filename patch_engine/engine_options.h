#pragma once
// The engine's whole input: one process-wide options record, filled by the front end
// before each run and read by the engine.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "patch_engine/cancel.h"
#include "patch_engine/helper_threads.h"

namespace engine {

constexpr int kMaxFileNames = 21;
constexpr int kPackerTypes = 7;

struct EngineOptions {
  std::array<std::string, kMaxFileNames> FileNames;  // versions, target, then the output
  int32_t FileCount = 0;
  uint8_t PackerOn = 0;
  uint32_t PackerType = 0;  // 0 zip, 1 lha, 2 rar, 3 gzip, 4 pkzip, 5 arj, 6 jar32
  std::array<uint8_t, kPackerTypes> PackerUseCustom{};
  std::array<std::string, kPackerTypes> PackerProgram;
  uint8_t Compress = 0;
  uint32_t ApplierKind = 0;  // 0 plain patch, 1..6 executable patch
  std::string BackupName = "Backup";
  uint16_t GroupSize = 0;
  uint16_t ChunkSize = 0;
  uint32_t EntropyMargin = 0;
  uint16_t IndexStep = 5;
  uint8_t SelfReferences = 0;
  uint8_t SelfExtracting = 0;
  uint8_t NoLiteralDelta = 0;
  uint8_t StampNow = 0;
  uint8_t StampNewest = 0;
  uint8_t KeepIdentical = 0;
  uint8_t IncludeHidden = 0;
  // Pattern and protection lists: never filled in this system, so always empty.
  std::vector<std::string> IgnorePatterns;
  std::vector<std::string> NamePatterns;
  std::vector<std::string> MarkPatterns;
  std::vector<std::string> ProtectionInfo;
};

extern EngineOptions Options;

// Every field back to its default.
void ResetEngineOptions();
// ChunkSize outside 10..255 becomes 20, GroupSize outside 10..10000 becomes 190.
void ClampEngineOptions();
// The front end's slot copy for one packer: an unchecked "use system path" box selects
// the custom program and takes the edit's text.
void CopyOptionText(int slot, bool useSystemPathChecked, const std::string& editText);

// Applier stub file names by ApplierKind (entry 0, the plain patch, has none).
extern const char* const kApplierStubNames[7];
// Default archiver program names by PackerType; the eighth entry is empty and ends the table.
extern const char* const kDefaultPackerPrograms[kPackerTypes + 1];

// Progress hooks, installed by the front end and called on the engine's thread; a null
// hook is not called. The stage hooks get whole percents 0..100.
using StageProgressHook = void (*)(int percent);
using FileProgressHook = void (*)(int64_t bytesDone, int64_t bytesTotal, const std::string& name);
extern StageProgressHook Stage1Progress;  // match search
extern StageProgressHook Stage2Progress;  // structure pass
extern StageProgressHook Stage3Progress;  // encoding pass
extern FileProgressHook FileProgress;     // directory mode, per target file

// Shows a stage percent through its hook. On the run's own thread it is shown at once. A
// helper thread keeps its step's percents and shows them only while the record writer
// waits for that step, so the meters follow the step the run has come to (step_jobs.h).
void ShowStage(StageProgressHook hook, int percent);
// The three stage meters back to 0 at the start of a step, with the same rule.
void ResetStageMeters();

// A progress point: a requested cancel ends the run here.
inline void ReportStage(StageProgressHook hook, int percent) {
  CheckCancel();
  ShowStage(hook, percent);
}

// Routines of the front end that the engine calls directly, on its thread. The front end
// implements this interface and installs its object with SetFrontEndServices; until then
// (and after SetFrontEndServices(nullptr)) a quiet default is in force that shows nothing,
// agrees to every question, reports every program as not started and raises the
// missing-stub error itself.
class FrontEndServices {
 public:
  virtual ~FrontEndServices() = default;
  // Returns after the user interface has processed its pending messages.
  virtual void PumpMessages() = 0;
  // The three stage displays show 0.
  virtual void ResetQuellMeters() = 0;
  // Before step `step` of a record with `versionCount` versions is computed.
  virtual void ShowSourceVersions(int step, int versionCount) = 0;
  virtual void ShowPatchSize(int64_t bytes) = 0;
  // Ends the run with an error that reaches the worker thread; never returns normally.
  virtual void RaiseMissingStub(const std::string& stubName) = 0;
  // True to go on with an archiver that may not support long file names.
  virtual bool AskLongFileNameSupport(const std::string& productWord,
                                      const std::string& outputName) = 0;
  virtual void ShowPackerNotFound(const std::string& program, bool searchedPath) = 0;
  // Starts the command line as a new process and returns when it has ended, with its exit
  // code; false when the process could not be started.
  virtual bool RunAndWait(const std::string& commandLine, bool show, uint32_t& exitCode) = 0;
};

void SetFrontEndServices(FrontEndServices* services);
FrontEndServices& FrontEnd();

}  // namespace engine
