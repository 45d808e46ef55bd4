#include "tests/support/fifo_release.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace testsupport {

FifoRelease::FifoRelease(std::vector<std::string> fifos) : fifos_(std::move(fifos)) {
  thread_ = std::thread([this] {
    while (!stop_) {
      for (const std::string& fifo : fifos_)
        for (int end : {O_WRONLY, O_RDONLY}) {
          const int fd = ::open(fifo.c_str(), end | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
        }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
}

FifoRelease::~FifoRelease() {
  stop_ = true;
  thread_.join();
}

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }

BoundSocket::BoundSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (fd_ < 0 || path.size() >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

BoundSocket::~BoundSocket() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace testsupport
