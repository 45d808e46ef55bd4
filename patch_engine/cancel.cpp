#include "patch_engine/cancel.h"

#include <atomic>

#include "patch_engine/engine_errors.h"
#include "patch_engine/helper_threads.h"
#include "patch_engine/step_jobs.h"

namespace engine {

namespace {
std::atomic<bool> cancelRequested{false};
}

void RequestCancel() { cancelRequested = true; }
bool CancelRequested() { return cancelRequested; }
void ClearCancelRequest() { cancelRequested = false; }

void CheckCancel() {
  if (cancelRequested || (OnStepHelper() && StepJobsStopping())) RaiseEngineError(msg::Cancelled);
}

}  // namespace engine
