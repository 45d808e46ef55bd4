#pragma once
// POSIX tests with FIFOs: while a FifoRelease lives, a thread of its own opens each of its
// FIFOs every 50 ms from both ends without waiting and closes them again. A program that
// opens one of them and waits for the other end is so let go at once (it then reads an
// empty FIFO), and a test of code that must never wait on a FIFO fails instead of hanging.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class FifoRelease {
 public:
  explicit FifoRelease(std::vector<std::string> fifos);
  ~FifoRelease();
  FifoRelease(const FifoRelease&) = delete;
  FifoRelease& operator=(const FifoRelease&) = delete;

 private:
  std::vector<std::string> fifos_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Makes a FIFO at path; false when that failed.
bool MakeFifo(const std::string& path);

}  // namespace testsupport
