#include <iostream>

#include "setup_engine/setup_core_cli.h"

int main(int argc, char** argv) {
  setup::RegisterSetupCoreClasses();
  std::vector<std::string> args(argv + 1, argv + argc);
  return setup::RunSetupCoreCommand(args, std::cout, std::cerr);
}
