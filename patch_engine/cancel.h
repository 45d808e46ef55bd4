#pragma once
// Cooperative pause and cancel of a run, through one TWorkControl: the front end pauses,
// resumes or cancels from any thread; the engine's progress points (each stage percent,
// each file, between the phases of a run) wait there while the run is paused and, once a
// cancel was requested, end the run through its raise path, so buffers are freed and no
// output is left. Nothing ever suspends the engine's thread from outside. A run clears
// the request (and a pause) when it ends.
#include "framework/core/work_control.h"

namespace engine {

TWorkControl& RunControl();
void RequestCancel();
bool CancelRequested();
void ClearCancelRequest();
// A progress point: waits while the run is paused; raises the cancel message once a
// cancel was requested (on a helper thread also while the helpers are being stopped).
void CheckCancel();

}  // namespace engine
