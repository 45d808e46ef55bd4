#pragma once
// The patch worker: one PatchThread at a time runs the engine while the progress window
// shows what it reports.
//
// How it works: the main window's create path fills the engine options and starts a
// TPatchRun, which installs this unit's front end for the run. The worker clamps the
// tuning options and calls CreatePatch. The engine reports through the front end's
// services; each stores its values in the worker and runs the screen update on the GUI
// thread through TThread::Synchronize, so the worker never touches a window. Questions and error messages
// are shown the same way, by the progress window with its clock held around them.
// Pause and cancel are cooperative (engine.h): the engine's progress points wait while
// paused and end the run with ECancelled on a cancel; nothing suspends the worker from
// outside. When the worker has set the run's state to done it posts a message, so the
// create path's waiting loop always wakes up.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "framework/win/thread.h"
#include "patch_engine/engine.h"

// The error of a missing applier stub; it carries help context 3.
class EPatchCreationEngineError : public Exception {
 public:
  explicit EPatchCreationEngineError(const std::string& message) : Exception(message, 3) {}
};

class PatchThread : public TThread {
 public:
  PatchThread() = default;
  int32_t Quell1Percent = 0;
  int32_t Quell2Percent = 0;
  int32_t Quell3Percent = 0;
  int32_t FilePercent = 0;
  int64_t PatchSize = 0;
  int32_t CurrentVersion = 0;
  int32_t VersionCount = 0;
  std::string AnalysedName;
  std::vector<std::string> VersionNames;
  int64_t FileTotal = 0;
  bool DirectoryMode = false;

 protected:
  void Execute() override;
};

// The state of the run, one value shared by the worker, the progress window and the create
// path: running; cancelling, once the user has confirmed the cancel (the engine stops at
// its next progress point, and nothing it ends with is shown); done, once the worker has
// ended (and before the first run).
enum class TPatchState { Running, Cancelling, Done };
extern std::atomic<TPatchState> PatchState;
inline bool PatchDone() { return PatchState == TPatchState::Done; }
extern PatchThread* CurrentWorker;

// One run as the create path drives it: Start, handle messages until Poll says it is
// over, then Finish.
class TPatchRun {
 public:
  TPatchRun() = default;
  TPatchRun(const TPatchRun&) = delete;
  TPatchRun& operator=(const TPatchRun&) = delete;
  ~TPatchRun();
  // Sets the state to running, installs the front end and starts the worker.
  void Start();
  // True once the worker is done.
  bool Poll();
  // Waits for the worker's end and frees it, and removes the front end; then puts the
  // progress window into its finished state, or, when the run ended before that window
  // came up, brings the main window back.
  void Finish();

 private:
  std::optional<engine::FrontEndScope> frontEnd_;
  std::unique_ptr<PatchThread> worker_;
};

// Start, the waiting loop and Finish.
void RunPatchWorker();
// The progress window's cancel of a running run: the engine ends it at its next progress
// point, and nothing is shown of its end.
void AskEngineToCancel();
