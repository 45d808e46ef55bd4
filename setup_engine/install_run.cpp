#include <iostream>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_services.h"

int main(int argc, char** argv) {
  setup::RegisterInstallCliClasses();
  // Under Windows the program's own reading of its command line (the installer's rule);
  // natively there is none, and the arguments are the program's list.
  std::vector<std::string> args = setup::DefaultInstallServices().Application->Parameters();
  if (args.empty()) args.assign(argv + 1, argv + argc);
  return setup::RunInstallCommand(args, std::cout, std::cerr);
}
