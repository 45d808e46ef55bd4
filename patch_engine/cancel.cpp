#include "patch_engine/cancel.h"

#include "framework/core/exceptions.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/helper_threads.h"
#include "patch_engine/step_jobs.h"

namespace engine {

TWorkControl& RunControl() {
  static TWorkControl control;
  return control;
}

void PauseRun() { RunControl().Pause(); }
void ResumeRun() { RunControl().Resume(); }
void RequestCancel() { RunControl().Cancel(); }
bool CancelRequested() { return RunControl().Cancelled(); }
void ClearCancelRequest() { RunControl().Reset(); }

void CheckCancel() {
  if (OnStepHelper() && StepJobsStopping()) RaiseEngineError(msg::Cancelled);
  try {
    RunControl().CheckPoint();
  } catch (const ECancelled&) {
    RaiseEngineError(msg::Cancelled);
  }
}

}  // namespace engine
