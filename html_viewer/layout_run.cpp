#include <iostream>

#include "html_viewer/layout_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunLayoutCommand(args, TLayoutHost{}, std::cout, std::cerr);
}
