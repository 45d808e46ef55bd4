// The native build reads version blocks straight from the image's resource section.
#include <unistd.h>

#include "setup_engine/pe_resources.h"
#include "setup_engine/version_info.h"

namespace setup {

bool ReadFileVersionBlock(const std::string& path, std::vector<uint8_t>& block) {
  return ReadPeVersionResource(path, block);
}

std::string RunningProgramPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

}  // namespace setup
