// Times a plain patch (file versions or directory trees) written by CreatePatch with the
// engine's fast implementation and with the straightforward reference, and checks that
// both write the same bytes.
//   step_bench [--fast | --reference | --compare] OUTPUT VERSION... TARGET
// OUTPUT ends in ".utp". --fast (the default) and --reference write OUTPUT with that
// implementation and print its time; --compare writes it with both (the reference's copy
// beside it, ".utp" replaced by ".ref.utp"), prints both times and the speed-up, and
// exits 1 when the bytes differ.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "patch_engine/engine.h"
#include "patch_engine/step_data.h"
#include "platform/file.h"

namespace {

// Writes the patch; returns the seconds.
double WritePatch(const std::string& out, const std::vector<std::string>& versions,
                  engine::StepImplementation impl) {
  using namespace engine;
  ResetEngineOptions();
  Options.FileCount = int32_t(versions.size() + 1);
  for (size_t i = 0; i < versions.size(); ++i) Options.FileNames[i] = versions[i];
  Options.FileNames[versions.size()] = out;
  ClampEngineOptions();
  Implementation = impl;
  const auto begin = std::chrono::steady_clock::now();
  CreatePatch();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Read)) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> v(size_t(f.Size()));
  if (!v.empty() && f.Read(v.data(), v.size()) != v.size()) throw std::runtime_error("short read");
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = "--fast";
  int first = 1;
  if (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) mode = argv[first++];
  const std::string ext = ".utp";
  if (argc - first < 3 || argc - first > engine::kMaxFileNames ||
      std::string(argv[first]).size() <= ext.size() ||
      std::string(argv[first]).compare(std::string(argv[first]).size() - ext.size(), ext.size(), ext) != 0 ||
      (mode != "--fast" && mode != "--reference" && mode != "--compare")) {
    std::fprintf(stderr, "usage: step_bench [--fast | --reference | --compare] OUTPUT VERSION... TARGET\n");
    return 2;
  }
  const std::string out = argv[first];
  const std::vector<std::string> versions(argv + first + 1, argv + argc);
  try {
    if (mode == "--fast" || mode == "--reference") {
      const auto impl = mode == "--fast" ? engine::StepImplementation::Fast
                                         : engine::StepImplementation::Reference;
      std::printf("%s %.3f s\n", mode.c_str() + 2, WritePatch(out, versions, impl));
      return 0;
    }
    const std::string refOut = out.substr(0, out.size() - ext.size()) + ".ref" + ext;
    const double reference = WritePatch(refOut, versions, engine::StepImplementation::Reference);
    const double fast = WritePatch(out, versions, engine::StepImplementation::Fast);
    const bool same = ReadAll(out) == ReadAll(refOut);
    std::printf("reference %.3f s, fast %.3f s, speed-up %.1fx, %s\n", reference, fast,
                reference / (fast > 0 ? fast : 1e-9), same ? "identical bytes" : "DIFFERENT BYTES");
    return same ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "step_bench: %s\n", e.what());
    return 1;
  }
}
