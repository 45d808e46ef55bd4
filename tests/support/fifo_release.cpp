#include "tests/support/fifo_release.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

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

}  // namespace testsupport
