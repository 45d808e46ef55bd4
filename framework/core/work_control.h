#pragma once
// Cooperative pause and cancel of a worker thread. The worker calls CheckPoint() at each
// step it reports (a percent, a file, a stage): while paused it blocks there, and after
// Cancel() (which also wakes a paused worker) it throws ECancelled, so the work unwinds
// through its normal failure path on its own thread with its buffers freed. Nothing is
// ever suspended from outside, so a worker can never be frozen holding a lock.
#include <condition_variable>
#include <mutex>

class TWorkControl {
 public:
  void Pause();
  void Resume();
  void Cancel();
  void Reset();  // running, not cancelled: ready for the next run
  bool Paused() const;
  bool Cancelled() const;
  // Worker side: blocks while paused; throws ECancelled once cancelled.
  void CheckPoint();

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool paused_ = false;
  bool cancelled_ = false;
};
