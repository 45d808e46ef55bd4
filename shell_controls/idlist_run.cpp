// idlist_run: the test driver of the item-ID list routines (see idlist_cli.h).
#include <iostream>

#include "shell_controls/idlist_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return shell::RunIdListCommand(args, std::cout, std::cerr);
}
