// setup.exe, the installer: the program entry. It makes the main form from its form
// resource, whose driver acts on the command line while the form loads (a build, a
// transfer onto floppies, the run after a restart) or hooks the form's first showing to
// run the installation, and ends with the driver's exit code.
#include <windows.h>

#include "framework/win/application.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_ui/main_form_win32.h"
#include "setup_ui/setup_application_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  setup::TInstallServices& services = setup::InstallServices();
  setup::IInstallApplication* system = services.Application;
  setup_ui::TSetupApplication application(*system);
  services.Application = &application;
  auto* app = new TApplication(nullptr);
  RegisterSetupProgramClasses();
  Application->Initialize();
  Application->SetTitle("Setup");
  int exitCode = 0;
  TForm1* form = nullptr;
  try {
    Application->CreateForm(form);
  } catch (...) {
    // A definition that cannot load leaves no driver; an error of a run that starts while
    // the form loads is the driver's to report.
    if (TCustomInstall* driver = setup::Driver()) {
      driver->HandleInstallException(driver, std::current_exception());
      exitCode = TCustomInstall::ExitCodeOf(driver->Outcome());
    } else {
      Application->HandleException(std::current_exception(), nullptr);
      exitCode = 1;
    }
    app->Free();
    services.Application = system;
    return exitCode;
  }
  // The installation runs while the main form is first shown, which Run does before its
  // loop: what it raises there goes to the driver's handler (a cancel among them), and the
  // loop goes on until the driver ends it.
  while (!Application->Terminated()) {
    try {
      Application->Run();
    } catch (...) {
      Application->HandleException(std::current_exception(), Application);
    }
  }
  // The driver ends the loop with its code; a main form closed before that ends the run
  // as it stands.
  TCustomInstall* driver = setup::Driver();
  exitCode = application.Ended() ? application.ExitCode() : driver ? TCustomInstall::ExitCodeOf(driver->Outcome()) : 1;
  app->Free();
  services.Application = system;
  return exitCode;
}
