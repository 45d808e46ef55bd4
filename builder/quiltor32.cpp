// Quiltor32, the patch builder: the program entry.
#include <windows.h>

#include "builder/address_book_library.h"
#include "builder/program.h"
#include "builder/settings.h"
#include "framework/win/application.h"
#include "framework/win/registry_win32.h"
#include "mail/socket_os.h"
#include "shell_controls/shell_startup_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The start-up chain before the windows: the shell controls (OLE and the shell's
  // clipboard format among them), Windows Sockets 1.1 for the mail, the settings from the
  // registry and the address-book library they name.
  StartShellControls();
  mail_os::Startup();
  TSettings settings(SystemRegistry());
  settings.Load();
  SetProgramSettings(&settings);
  TAddressBookLibrary addressBook(SystemLibraryLoader(), settings.System.AddressBookLibrary);

  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  auto* app = new TApplication(nullptr);
  RegisterBuilderClasses();
  try {
    std::unique_ptr<HelpDummyClass> helpHook = StartPatchBuilder(path);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  app->Free();
  SetProgramSettings(nullptr);
  addressBook.Release();
  StopShellControls();
  return 0;
}
