#include <iostream>

#include "html_viewer/gif_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunGifCommand(args, std::cout, std::cerr);
}
