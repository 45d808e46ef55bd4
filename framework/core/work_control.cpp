#include "framework/core/work_control.h"

#include "framework/core/exceptions.h"

void TWorkControl::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = true;
}

void TWorkControl::Resume() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = false;
  }
  wake_.notify_all();
}

void TWorkControl::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
  }
  wake_.notify_all();
}

void TWorkControl::Reset() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = false;
    cancelled_ = false;
  }
  wake_.notify_all();
}

bool TWorkControl::Paused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paused_;
}

bool TWorkControl::Cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

void TWorkControl::CheckPoint() {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [this] { return !paused_ || cancelled_; });
  if (cancelled_) throw ECancelled();
}
