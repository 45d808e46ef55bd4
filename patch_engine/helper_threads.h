#pragma once
// What code that may run on a helper thread of the run (step_jobs.h) needs to know: whether
// it does, and where the per-thread objects of a step live.
namespace engine {

// True on a helper thread that computes steps for the run: its progress points check for
// a cancel and show progress only while the run waits for its step (ShowStage), and its
// errors end only its step.
bool OnStepHelper();

// This thread's object: on a helper thread its own, made on first use and freed with
// ReleaseHelperObject before the thread ends; on any other thread `run`. (Objects with
// destructors are not kept in thread-local storage itself: not every platform runs such
// destructors safely.)
template <class T>
T& ThreadObject(T*& mine, T& run) {
  if (!mine) mine = OnStepHelper() ? new T : &run;
  return *mine;
}
template <class T>
void ReleaseHelperObject(T*& mine) {
  if (OnStepHelper()) delete mine;
  mine = nullptr;
}

}  // namespace engine
