#include "framework/controls/register.h"
#include "framework/testing/gui_test.h"
#include "setup_engine/register.h"
#include "setup_ui/pages_win32.h"

int main(int argc, char** argv) {
  return RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    setup::RegisterSetupEngineClasses();
    setup_ui::RegisterSetupDialogClasses();
  });
}
