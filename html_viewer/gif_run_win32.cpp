// gif_run of the Windows build: frames are composed with GDI bitmaps and read back.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/gif_cli.h"

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  InitDocGraphics();
  std::vector<std::string> args(argv + 1, argv + argc);
  int rc = RunGifCommand(args, std::cout, std::cerr);
  std::cout.flush();
  DoneDocGraphics();
  return rc;
}
