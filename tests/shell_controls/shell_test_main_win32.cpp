#include "framework/controls/register.h"
#include "framework/testing/gui_test.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/shell_startup_win32.h"
#include "tests/shell_controls/shell_test_classes.h"

int main(int argc, char** argv) {
  TShellControlsSession shell;
  return RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    RegisterShellControlClasses();
    RegisterShellTestClasses();
  });
}
