#include <iostream>

#include "setup_engine/archive_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return setup::RunArchiveCommand(args, std::cout, std::cerr);
}
