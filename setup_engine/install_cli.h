#pragma once
// The install_run test driver: a whole installation from a definition, on the console.
//
//   install_run [--definition FILE] [ANSWER]... [SWITCH]...
//
// FILE (default install.form beside the program) is a form text rooted at TDataModule with
// one TInstall (RunAutomatic = False: there is no main form). The SWITCHes (-s..., -e...,
// -r, -c, -d) are the driver's command line; install_run's own path is the program's, so
// its run records, its RunOnce command and its source folder (files.1 beside it unless -s)
// are those of a setup program placed where install_run is. After loading, unless the
// driver has finished a run after the restart (-r), the driver's Process runs as on the
// main form's first show; an exception that leaves it goes to HandleInstallException.
//
// A TConsoleAnswers (a dialog placed in the definition like the dialogs) prints the codes
// it hears and gives the answers the dialogs would:
//   --exclude NAME       at -980 that component's Include := False
//   --dest DIR           at -980 the driver's DestDirType := nil and DestDir := DIR
//   --disk DIR           at each -993 the disk's path := DIR, the file marked as served
//   --reboot yes|no      at -987 whether Windows restarts (default yes)
//   --cancel-at CODE     EAIUserAbort when CODE arrives
//   --cancel-in NAME     at the first -998 of the file whose FileName is NAME, the copy
//                        dialog's Cancel
// Standard output: "info CODE" for each code but -998, -988 and -974; "progress P" when a
// -998's overall percent changes; "message TEXT" for -974; "prompt TEXT" for each message
// box (answered Cancel when it offers Cancel, else OK); "reboot" where Windows would
// restart (it never does). Errors go to standard error. The exit code is 0 after a good
// install or a finished run after the restart, 1 after a bad one or any error, 2 when the
// run ends for a restart.
#include <ostream>
#include <string>
#include <vector>

#include "setup_engine/install_object.h"

class TConsoleAnswers : public TInstallObject {
  FW_CLASS(TConsoleAnswers, TInstallObject)

 public:
  explicit TConsoleAnswers(TComponent* owner) : TInstallObject(owner) {}
  int ComponentType() const override { return setup::kKindDialog; }
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override;

 protected:
  ~TConsoleAnswers() override = default;

 private:
  int lastPercent_ = -1;
  bool cancelled_ = false;
};

namespace setup {

// The classes a definition may name.
void RegisterInstallCliClasses();
// args: the program's parameters. Returns the exit code.
int RunInstallCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace setup
