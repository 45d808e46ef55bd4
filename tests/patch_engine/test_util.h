#pragma once
// Small helpers shared by the engine's base tests.
#include <string>
#include <vector>

#include "platform/file.h"

namespace testutil {

// A new folder of its own: making the folder is what reserves it, since the unique file
// name is free again once removed and a test running beside this one may draw it too.
inline std::string ScratchDir() {
  std::string name;
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!platform::CreateUniqueFile(platform::TempDirectory(), "et", name)) break;
    platform::RemoveFile(name);
    if (platform::MakeDirectory(name + ".d")) return name + ".d";
  }
  return name + ".d";  // the test fails on the folder it cannot use
}

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
