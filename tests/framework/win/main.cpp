#include "framework/controls/register.h"
#include "framework/testing/gui_test.h"
#include "test_forms.h"

int main(int argc, char** argv) {
  return RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    RegisterTestForms();
  });
}
