#pragma once
// How the engine reaches the installed front end (engine.h) from inside a run.
#include "patch_engine/cancel.h"
#include "patch_engine/engine.h"

namespace engine {

// The installed front end, or the quiet default.
FrontEndServices& FrontEnd();

// The three stage meters: the match search, the structure pass, the encoding pass.
enum class Stage { Match = 1, Structure = 2, Encoding = 3 };

// Shows a stage percent. On the run's own thread it is shown at once. A helper thread keeps
// its step's percents and shows them only while the record writer waits for that step, so
// the meters follow the step the run has come to (step_jobs.h).
void ShowStage(Stage stage, int percent);
// The three stage meters back to 0 at the start of a step, by the same rule.
void ResetQuellMeters();

// A progress point: a requested cancel ends the run here.
inline void ReportStage(Stage stage, int percent) {
  CheckCancel();
  ShowStage(stage, percent);
}

}  // namespace engine
