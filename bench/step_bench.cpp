// Times a file-version patch written with the engine's fast implementation and with the
// straightforward reference, and checks that both write the same bytes.
//   step_bench [--fast | --reference | --compare] OUTPUT VERSION... TARGET
// --fast (the default) and --reference write OUTPUT with that implementation and print
// its time; --compare writes it with both (the reference's copy beside it, as
// OUTPUT.ref), prints both times and the speed-up, and exits 1 when the bytes differ.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "patch_engine/engine.h"
#include "platform/file.h"

namespace {

// Writes a plain file-version patch the way a file-mode run does; returns the seconds.
double WritePatch(const std::string& out, const std::vector<std::string>& paths,
                  engine::StepImplementation impl) {
  using namespace engine;
  ResetEngineOptions();
  ClampEngineOptions();
  Implementation = impl;
  const auto begin = std::chrono::steady_clock::now();
  for (size_t i = 0; i < paths.size(); ++i) FileSlots()[i].path = paths[i];
  Run().directoryMode = 0;
  if (!OpenPatchFile(out)) throw std::runtime_error("cannot create " + out);
  WritePatchHeader(PatchHeader{});
  BeginPatchStream();
  WriteNameString(Options.BackupName);
  ExamineAndWriteFile(paths.back(), int(paths.size()));
  EndPatchStream();
  WritePatchTrailer();
  if (!ClosePatchFile()) throw std::runtime_error("cannot close " + out);
  FreeEngineBuffers();
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
  if (argc - first < 3 || (mode != "--fast" && mode != "--reference" && mode != "--compare")) {
    std::fprintf(stderr, "usage: step_bench [--fast | --reference | --compare] OUTPUT VERSION... TARGET\n");
    return 2;
  }
  const std::string out = argv[first];
  const std::vector<std::string> paths(argv + first + 1, argv + argc);
  try {
    if (mode == "--fast" || mode == "--reference") {
      const auto impl = mode == "--fast" ? engine::StepImplementation::Fast
                                         : engine::StepImplementation::Reference;
      std::printf("%s %.3f s\n", mode.c_str() + 2, WritePatch(out, paths, impl));
      return 0;
    }
    const double reference = WritePatch(out + ".ref", paths, engine::StepImplementation::Reference);
    const double fast = WritePatch(out, paths, engine::StepImplementation::Fast);
    const bool same = ReadAll(out) == ReadAll(out + ".ref");
    std::printf("reference %.3f s, fast %.3f s, speed-up %.1fx, %s\n", reference, fast,
                reference / (fast > 0 ? fast : 1e-9), same ? "identical bytes" : "DIFFERENT BYTES");
    return same ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "step_bench: %s\n", e.what());
    return 1;
  }
}
