#include "builder/patch_progress.h"

#include <cstdint>

#include "framework/core/clock.h"

void TRunClock::Start() {
  started_ = true;
  holds_ = 0;
  accumulated_ = 0;
  since_ = TickCount();
}

void TRunClock::Hold() {
  if (Running()) accumulated_ += TickCount() - since_;
  ++holds_;
}

void TRunClock::Release() {
  if (holds_ == 0) return;
  --holds_;
  if (Running()) since_ = TickCount();
}

void TRunClock::Stop() {
  if (Running()) accumulated_ += TickCount() - since_;
  started_ = false;
  holds_ = 0;
}

uint32_t TRunClock::Elapsed() const { return accumulated_ + (Running() ? TickCount() - since_ : 0); }

std::string ElapsedText(uint32_t milliseconds) {
  auto two = [](uint32_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return two(milliseconds / 3600000) + ":" + two(milliseconds / 60000 % 60) + ":" + two(milliseconds / 1000 % 60);
}

int DirectoryPercent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  // 100 * done / total without the product, which overflows near the top of the range:
  // add done a hundred times, counting each time the sum passes total.
  uint64_t sum = 0;
  int percent = 0;
  for (int i = 0; i < 100; ++i) {
    sum += uint64_t(done);
    if (sum >= uint64_t(total)) {
      sum -= uint64_t(total);
      ++percent;
    }
  }
  return percent;
}
