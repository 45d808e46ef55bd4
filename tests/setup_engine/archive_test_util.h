#pragma once
// Files, folders and archive_run calls shared by the archive tests.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/archive_cli.h"
#include "setup_engine/file_utils.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace archive_test {

using testsupport::ScratchDir;
using Bytes = std::vector<uint8_t>;

inline Bytes Pattern(size_t n, uint32_t seed) {
  Bytes b(n);
  for (auto& c : b) c = uint8_t((seed = seed * 1103515245 + 12345) >> 23);
  return b;
}

inline void WriteFile(const std::string& path, const Bytes& data) { testsupport::WriteFileBytes(path, data); }
inline Bytes ReadFile(const std::string& path) { return testsupport::ReadFileBytes(path); }

inline std::string Join(const std::string& a, const std::string& b) {
  return platform::JoinPath(a, b);
}

// The names in a folder, sorted.
inline std::vector<std::string> Names(const std::string& dir) {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(dir, entries);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

struct Cli {
  int rc;
  std::string out, err;
};

inline Cli Cmd(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int rc = setup::RunArchiveCommand(args, out, err);
  return {rc, out.str(), err.str()};
}

struct Input {
  std::string name;
  size_t size;
};

// Writes the inputs with distinct fixed dates; returns their paths.
inline std::vector<std::string> MakeInputs(const std::string& dir,
                                           const std::vector<Input>& inputs) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string p = Join(dir, inputs[i].name);
    WriteFile(p, Pattern(inputs[i].size, uint32_t(i + 1)));
    setup::SetFileDateTime(p, 36000.25 + double(i));
    paths.push_back(p);
  }
  return paths;
}

// The inputs of the golden archive golden/files.1 (MakeInputs wrote them).
inline const std::vector<Input> kGoldenInputs = {
    {"readme.txt", 300}, {"data.bin", 70000}, {"empty.dat", 0}};

inline Bytes GoldenInput(const std::string& name) {
  for (size_t i = 0; i < kGoldenInputs.size(); ++i)
    if (kGoldenInputs[i].name == name) return Pattern(kGoldenInputs[i].size, uint32_t(i + 1));
  return {};
}

}  // namespace archive_test
