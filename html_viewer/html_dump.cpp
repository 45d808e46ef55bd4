#include <iostream>

#include "html_viewer/html_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunHtmlDump(args, std::cout, std::cerr);
}
