#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "setup_engine/handle_os.h"

namespace setup::handle_os {

intptr_t Create(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd < 0 ? kNoHandle : fd;
}

void Close(intptr_t handle) { ::close(int(handle)); }

int64_t Read(intptr_t handle, void* buffer, int32_t count) {
  ssize_t n;
  do n = ::read(int(handle), buffer, size_t(count));
  while (n < 0 && errno == EINTR);
  return n;
}

int64_t Write(intptr_t handle, const void* buffer, int32_t count) {
  size_t done = 0;
  while (done < size_t(count)) {
    ssize_t n = ::write(int(handle), static_cast<const char*>(buffer) + done, size_t(count) - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  return done == 0 && count > 0 ? -1 : int64_t(done);
}

int64_t Seek(intptr_t handle, int64_t offset, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  return ::lseek(int(handle), off_t(offset), whence);
}

bool SetEnd(intptr_t handle, int64_t size, std::string& error) {
  if (::lseek(int(handle), off_t(size), SEEK_SET) >= 0 &&
      ::ftruncate(int(handle), off_t(size)) == 0)
    return true;
  error = std::strerror(errno);
  return false;
}

PathKind KindOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
  return S_ISREG(st.st_mode) ? PathKind::RegularFile : PathKind::Other;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace setup::handle_os
