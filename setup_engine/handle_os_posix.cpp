#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "setup_engine/handle_os.h"

namespace setup::handle_os {

int64_t Read(intptr_t handle, void* buffer, int32_t count) {
  return ::read(int(handle), buffer, size_t(count));
}

int64_t Write(intptr_t handle, const void* buffer, int32_t count) {
  return ::write(int(handle), buffer, size_t(count));
}

int64_t Seek(intptr_t handle, int64_t offset, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  return ::lseek(int(handle), off_t(offset), whence);
}

bool SetEnd(intptr_t handle, int64_t size, std::string& error) {
  if (::lseek(int(handle), off_t(size), SEEK_SET) >= 0 && ::ftruncate(int(handle), off_t(size)) == 0)
    return true;
  error = std::strerror(errno);
  return false;
}

}  // namespace setup::handle_os
