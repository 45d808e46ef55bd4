// The Windows build asks the system's version service for a file's version block.
#include <windows.h>

#include "setup_engine/version_info.h"

namespace setup {

bool ReadFileVersionBlock(const std::string& path, std::vector<uint8_t>& block) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return false;
  block.assign(size, 0);
  return GetFileVersionInfoA(path.c_str(), 0, size, block.data()) != 0;
}

std::string RunningProgramPath() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, n);
}

}  // namespace setup
