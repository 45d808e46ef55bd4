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

// The cancel leaves as the ECancelled the work control threw, with the engine's text.
void CheckCancel() {
  if (OnStepHelper() && StepJobsStopping()) {
    ECancelled cancelled;
    cancelled.SetMessage(MessageText(msg::Cancelled));
    throw cancelled;
  }
  try {
    RunControl().CheckPoint();
  } catch (ECancelled& cancelled) {
    cancelled.SetMessage(MessageText(msg::Cancelled));
    throw;
  }
}

}  // namespace engine
