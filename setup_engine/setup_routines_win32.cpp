// What the setup routines take from the system in the Windows build.
#include "setup_engine/setup_routines_win32.h"

#include <windows.h>

#include <vector>

#include "framework/win/registry_win32.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"
#include "setup_engine/translator.h"

namespace setup {

namespace {

// Calls fill with a buffer until it is large enough; fill returns the length written, or
// the size it needs (with the terminator) when the buffer is too small, or 0 on failure.
template <class Fill>
bool SystemText(Fill fill, std::string& out) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (int tries = 0; tries < 4; ++tries) {
    DWORD n = fill(buffer.data(), DWORD(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      out.assign(buffer.data(), n);
      return true;
    }
    buffer.resize(n + 1);
  }
  return false;
}

std::string WithoutBackslash(const std::string& dir) {
  return dir.size() > 1 && dir.back() == '\\' ? dir.substr(0, dir.size() - 1) : dir;
}

}  // namespace

bool SystemWindowsVersion(TWindowsVersion& version) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  version.PlatformId = info.dwPlatformId;
  version.Major = info.dwMajorVersion;
  version.Minor = info.dwMinorVersion;
  return true;
}

IRegistryBackend& DefaultSetupRegistry() { return SystemRegistry(); }

std::optional<uint16_t> SystemUserLangId() { return uint16_t(GetUserDefaultLangID()); }

std::string GetTempFile(bool keep) {
  std::string dir;
  char name[MAX_PATH + 1];
  if (!SystemText([](char* b, DWORD n) { return GetTempPathA(n, b); }, dir) ||
      GetTempFileNameA(dir.c_str(), "bat", 0, name) == 0)
    throw EAPIRoutines("Cannot create a temporary file");
  if (!keep) DeleteFileA(name);
  return name;
}

std::string GetSystemDir() {
  std::string dir;
  if (!SystemText([](char* b, DWORD n) { return GetSystemDirectoryA(b, n); }, dir))
    throw EAPIRoutines("Could not retrieve the system directroy from windows");
  return WithoutBackslash(dir);
}

std::string GetWindowsDir() {
  std::string dir;
  if (!SystemText([](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); }, dir))
    throw EAPIRoutines("Could not retrieve the windows directory from windows");
  return WithoutBackslash(dir);
}

std::string ShortPath(const std::string& path) {
  std::string out;
  if (!SystemText([&](char* b, DWORD n) { return GetShortPathNameA(path.c_str(), b, n); }, out))
    return path;
  return out;
}

}  // namespace setup
