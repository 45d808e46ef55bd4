#pragma once
// Small helpers shared by the engine's base tests.
#include <string>
#include <vector>

#include "platform/file.h"

namespace testutil {

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Read)) return {};
  std::vector<uint8_t> v(size_t(f.Size()));
  v.resize(f.Read(v.data(), v.size()));
  return v;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  platform::File f;
  f.Open(path, platform::OpenMode::Write);
  f.Write(bytes.data(), bytes.size());
}

inline void SetEnv(const std::string& name, const std::string& value);

}  // namespace testutil

#ifdef _WIN32
#include <windows.h>
inline void testutil::SetEnv(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
}
#else
#include <cstdlib>
inline void testutil::SetEnv(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}
#endif
