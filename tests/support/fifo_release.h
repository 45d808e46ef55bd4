#pragma once
// POSIX tests with FIFOs and sockets: while a FifoRelease lives, a thread of its own opens each of its
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

// A Unix socket bound at a path while it lives (the path stays, as a socket's does).
class BoundSocket {
 public:
  explicit BoundSocket(const std::string& path);
  ~BoundSocket();
  BoundSocket(const BoundSocket&) = delete;
  BoundSocket& operator=(const BoundSocket&) = delete;
  // False when the path is too long for a socket or the socket could not be bound.
  bool Ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
};

}  // namespace testsupport
