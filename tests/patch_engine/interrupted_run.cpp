// An engine run that interrupts its own process, for the interruption tests:
//   interrupted_run int|term walk|packer APPLIER STUBDIR OUTPUT VERSION TARGET
// The run patches the trees VERSION into TARGET (applier kind APPLIER, stubs looked up in
// STUBDIR) and interrupts itself at its first file record ("walk") or where packer 0
// would start ("packer"; the packer is never started). Exits 3 when the interruption did
// not end it, 4 when the run ended otherwise, 2 on a bad command line.
#include <cstdlib>
#include <string>

#include "framework/core/exception.h"
#include "patch_engine/engine.h"
#include "platform/file.h"
#include "tests/support/test_process.h"

namespace {

testsupport::Interruption how = testsupport::Interruption::Interrupt;

// Interrupts at its first file record ("walk") or where the packer would start.
class InterruptingFrontEnd final : public engine::FrontEndServices {
 public:
  bool atFirstFile = false;
  void FileProgress(int64_t, int64_t, const std::string&) override {
    if (atFirstFile) Interrupt();
  }
  bool RunAndWait(const std::string&, bool, uint32_t&) override { Interrupt(); }

 private:
  [[noreturn]] static void Interrupt() {
    testsupport::InterruptThisProcess(how);
    std::exit(3);
  }
};

}  // namespace

int main(int argc, char** argv) {
  testsupport::PrepareInterruption();
  if (argc != 8) return 2;
  const std::string signal = argv[1], where = argv[2];
  if ((signal != "int" && signal != "term") || (where != "walk" && where != "packer")) return 2;
  how = signal == "int" ? testsupport::Interruption::Interrupt : testsupport::Interruption::Terminate;
  using engine::Options;
  engine::ResetEngineOptions();
  InterruptingFrontEnd frontEnd;
  Options.ApplierKind = uint32_t(std::atoi(argv[3]));
  Options.FileCount = 3;
  Options.FileNames[0] = argv[6];
  Options.FileNames[1] = argv[7];
  Options.FileNames[2] = argv[5];
  if (where == "packer") {
    Options.PackerOn = 1;
    Options.PackerType = 0;
    Options.PackerUseCustom[0] = 1;
    Options.PackerProgram[0] = argv[0];
  } else {
    frontEnd.atFirstFile = true;
  }
  engine::ClampEngineOptions();
  engine::SetProgramDirectory(platform::JoinPath(argv[4], "interrupted_run"));
  engine::FrontEndScope installed(frontEnd);
  try {
    engine::CreatePatch();
  } catch (const Exception&) {
  }
  return 4;
}
