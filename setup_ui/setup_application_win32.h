#pragma once
// The installer's application over the framework's: the driver finds the main form, hooks
// its OnShow to start the installation once the form is shown, sees every exception that
// reaches the message loop and ends the loop with its exit code. The command line, the
// program's path and the system's services stay those of the build's defaults.
#include <functional>
#include <string>
#include <vector>

#include "framework/core/events.h"
#include "setup_engine/install_services.h"

class TCustomForm;

namespace setup_ui {

class TSetupApplication : public setup::IInstallApplication {
 public:
  explicit TSetupApplication(setup::IInstallApplication& system) : system_(system) {}
  std::vector<std::string> Parameters() override { return system_.Parameters(); }
  std::string ProgramPath() override { return system_.ProgramPath(); }
  bool FindMainForm(TComponent* owner) override;
  void HookMainFormShow(std::function<void()> onShow) override;
  void CallSavedShow() override;
  void RestoreShow() override;
  void MaximizeMainForm() override;
  void SetExceptionHandler(setup::TInstallExceptionHandler handler) override;
  void Terminate(int exitCode) override;
  void ProcessMessages() override;
  void SetWaitCursor(bool wait) override;

  // Whether Terminate was called, and the code it was given.
  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }

 private:
  setup::IInstallApplication& system_;
  TCustomForm* form_ = nullptr;
  TNotifyEvent savedShow_;
  int exitCode_ = 0;
  bool ended_ = false;
};

}  // namespace setup_ui
