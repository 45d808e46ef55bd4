// Engine driver for tests, benchmarks and trying the engine out: fills the options from
// the command line and runs CreatePatch with console front-end services.
//   engine_run [--backup NAME] [--applier KIND] [--stub-dir DIR]
//              [--packer TYPE [--packer-program PATH]] OUTPUT VERSION... TARGET
// VERSION... and TARGET are files or directory roots in chain order. Without
// --packer-program the packer's default program is looked for along PATH. Applier stubs
// are looked for in --stub-dir, else beside this program. The engine's informational
// lines go to stdout, progress and questions (always answered "yes") to stderr. Exits 0
// when the patch was written, 1 with the engine's message on stderr when the run failed
// or wrote nothing, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "platform/file.h"
#include "platform/process.h"

namespace {

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "engine_run: %s\nusage: engine_run [--backup NAME] [--applier KIND] "
               "[--stub-dir DIR] [--packer TYPE [--packer-program PATH]] OUTPUT VERSION... "
               "TARGET\n",
               problem.c_str());
  return 2;
}

bool ParseNumber(const std::string& text, uint32_t& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  out = uint32_t(std::strtoul(text.c_str(), nullptr, 10));
  return true;
}

void StageProgress(int stage, int percent) {
  if (percent % 25 == 0) std::fprintf(stderr, "  Thrune %d: %d%%\n", stage, percent);
}

// Progress and questions go to stderr; the missing stub is the engine's own error.
class ConsoleFrontEnd final : public engine::FrontEndServices {
 public:
  bool packerMissing = false;

  void Stage1Progress(int percent) override { StageProgress(1, percent); }
  void Stage2Progress(int percent) override { StageProgress(2, percent); }
  void Stage3Progress(int percent) override { StageProgress(3, percent); }
  void FileProgress(int64_t done, int64_t total, const std::string& name) override {
    std::fprintf(stderr, "[%3lld%%] %s\n", static_cast<long long>(done * 100 / total), name.c_str());
  }
  void ShowSourceVersions(int step, const std::vector<std::string>& versionNames) override {
    std::fprintf(stderr, "  step %d of %d\n", step, int(versionNames.size()) - 1);
  }
  void ShowPatchSize(int64_t bytes) override {
    std::fprintf(stderr, "  patch size %lld bytes\n", static_cast<long long>(bytes));
  }
  bool AskLongFileNameSupport(const std::string& productWord, const std::string& outputName) override {
    std::fprintf(stderr,
                 "The 3rd-party product \"%s\" may not support long filenames like \"%s\". "
                 "Using it may fail, try it anyway? yes\n",
                 productWord.c_str(), outputName.c_str());
    return true;
  }
  void ShowPackerNotFound(const std::string& program, bool searchedPath) override {
    packerMissing = true;
    if (searchedPath)
      std::fprintf(stderr, "Can't find external packer program \"%s\" in current path, which is:\n%s\n",
                   program.c_str(), platform::GetEnvironment("PATH").c_str());
    else
      std::fprintf(stderr, "Can't find packer executable at \"%s\", you'll need to correct that setting.\n",
                   program.c_str());
  }
  bool RunAndWait(const std::string& commandLine, bool show, uint32_t& exitCode) override {
    std::fprintf(stderr, "  running %s\n", commandLine.c_str());
    return platform::RunProcess(commandLine, show, exitCode);
  }
};

}  // namespace

int main(int argc, char** argv) {
  using engine::Options;
  engine::ResetEngineOptions();
  std::string stubDir;
  std::vector<std::string> names;
  std::string packerProgram;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      names.push_back(arg);
      continue;
    }
    if (i + 1 >= argc) return Usage("option " + arg + " needs a value");
    std::string value = argv[++i];
    uint32_t number = 0;
    if (arg == "--backup") {
      Options.BackupName = value;
    } else if (arg == "--applier") {
      if (!ParseNumber(value, number)) return Usage("--applier takes a number");
      Options.ApplierKind = number;
    } else if (arg == "--stub-dir") {
      stubDir = value;
    } else if (arg == "--packer") {
      if (!ParseNumber(value, number)) return Usage("--packer takes a number");
      Options.PackerOn = 1;
      Options.PackerType = number;
    } else if (arg == "--packer-program") {
      packerProgram = value;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (!packerProgram.empty()) {
    if (!Options.PackerOn) return Usage("--packer-program needs --packer");
    if (Options.PackerType < Options.PackerProgram.size()) {
      Options.PackerProgram[Options.PackerType] = packerProgram;
      Options.PackerUseCustom[Options.PackerType] = 1;
    }
  }
  if (names.size() < 3) return Usage("an output, at least one version and a target are needed");

  // The engine refuses lists that are too long; only what fits is passed on.
  Options.FileCount = int32_t(names.size());
  const size_t kept = names.size() < Options.FileNames.size() ? names.size() : Options.FileNames.size();
  for (size_t i = 1; i < kept; ++i) Options.FileNames[i - 1] = names[i];
  Options.FileNames[kept - 1] = names[0];
  engine::ClampEngineOptions();

  engine::SetProgramDirectory(stubDir.empty() ? std::string(argv[0])
                                              : platform::JoinPath(stubDir, "engine_run"));
  ConsoleFrontEnd frontEnd;
  engine::FrontEndScope installed(frontEnd);
  engine::ConsoleOutput = [](const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
  };

  int rc = 0;
  try {
    engine::CreatePatch();
    if (frontEnd.packerMissing) rc = 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    rc = 1;
  }
  std::fflush(stdout);
  return rc;
}
