#pragma once
// The part of an installer application that a process without forms shares: there is no
// main form to find, hook, show again or maximize, exceptions keep the standard display,
// ending is left to the caller and there is no wait cursor. The command line, the program's
// path and the message loop are each application's own.
#include "setup_engine/install_services.h"

namespace setup {

class TFormlessApplication : public IInstallApplication {
 public:
  bool FindMainForm(TComponent*) override { return false; }
  void HookMainFormShow(std::function<void()>) override {}
  void CallSavedShow() override {}
  void RestoreShow() override {}
  void MaximizeMainForm() override {}
  void SetExceptionHandler(TInstallExceptionHandler) override {}
  void Terminate(int) override {}
  void SetWaitCursor(bool) override {}
};

}  // namespace setup
