#pragma once
// Cooperative pause and cancel of a run (engine.h), through one TWorkControl: the front end
// pauses, resumes or cancels from any thread; the engine's progress points (each stage
// percent, each file, between the phases of a run) wait there while the run is paused
// and, once a cancel was requested, end the run, so buffers are freed and no output is
// left. Nothing ever suspends the engine's thread from outside.
#include "framework/core/work_control.h"

namespace engine {

TWorkControl& RunControl();
bool CancelRequested();
// A progress point: waits while the run is paused; raises the cancel once a cancel was
// requested (on a helper thread also while the helpers are being stopped).
void CheckCancel();

}  // namespace engine
