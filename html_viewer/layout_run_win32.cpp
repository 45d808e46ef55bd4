// layout_run of the Windows build: the screen's measurer unless --fake, GDI painting into
// a bitmap for --bmp.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/layout_cli.h"

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  InitDocGraphics();
  int rc;
  {
    TScreenMeasurer screen;
    TLayoutHost host;
    host.Screen = &screen;
    host.Images = &WinImagePlatform();
    host.MakeBitmapCanvas = [](int width, int height, ITextMeasurer&) -> std::unique_ptr<IBitmapCanvas> {
      return std::make_unique<TGdiCanvas>(width, height);
    };
    std::vector<std::string> args(argv + 1, argv + argc);
    rc = RunLayoutCommand(args, host, std::cout, std::cerr);
    std::cout.flush();
  }
  DoneDocGraphics();
  return rc;
}
