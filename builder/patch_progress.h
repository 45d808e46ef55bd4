#pragma once
// What the progress window shows besides the meters: the elapsed-time clock and the
// directory percentage.
//
// The clock counts running time only. Anything that must keep time out of it (the pause
// button, a question or message shown during a run) holds it and releases it afterwards;
// holds nest, so a question asked while paused neither restarts the clock nor counts the
// pause twice. Time comes from the framework's replaceable tick source.
#include <cstdint>
#include <string>

class TRunClock {
 public:
  // Starts counting from zero with no hold.
  void Start();
  // Stops counting until Stop; the clock also stops for good when the run is done.
  void Hold();
  void Release();
  void Stop();
  bool Running() const { return started_ && holds_ == 0; }
  // Running time in milliseconds.
  uint32_t Elapsed() const;

 private:
  bool started_ = false;
  int holds_ = 0;
  uint32_t since_ = 0;        // tick count when the clock last started counting
  uint32_t accumulated_ = 0;  // counted before that
};

// "hh:mm:ss": hours are not wrapped (100 hours give "100:00:00"); each part has at least
// two digits.
std::string ElapsedText(uint32_t milliseconds);

// done * 100 / total in 64-bit arithmetic, truncated and clamped to 0..100; a total of 0
// or below gives 0.
int DirectoryPercent(int64_t done, int64_t total);
