#pragma once
// The layout_run test driver: builds a document from a script of the model's own calls (a
// stand-in for the parser), lays it out, paints it at (0, 0) and prints what it made.
//   layout_run [--width W] [--size S] [--background RRGGBB] [--fake] [--bmp FILE] [QUERY]... SCRIPT
// Queries: --link X,Y  --cursor X,Y  --find FROM,TEXT  --select A,B  --submit N  --enter N
// Returns the exit code: 0 on success, 1 with "layout_run: line N: REASON" (or another
// message) written to err, 2 for a bad command line.
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "html_viewer/doc_canvas.h"

class IImagePlatform;
class TSectionList;

// A canvas that paints into a bitmap and saves it as a 24-bit BMP.
class IBitmapCanvas : public IDocCanvas {
 public:
  virtual bool SaveBmp(const std::string& fileName) = 0;
};

// What the Windows build adds: the screen's measurer, its pictures and bitmap canvases.
struct TLayoutHost {
  ITextMeasurer* Screen = nullptr;   // null: the fake measurer only
  IImagePlatform* Images = nullptr;  // null: pixel pictures
  std::function<std::unique_ptr<IBitmapCanvas>(int width, int height, ITextMeasurer& measurer)> MakeBitmapCanvas;
};

int RunLayoutCommand(const std::vector<std::string>& args, const TLayoutHost& host, std::ostream& out,
                     std::ostream& err);

// The script's calls on a document: false with "line N: REASON" in error.
bool ReadLayoutScript(TSectionList& list, const std::string& script, std::string& error);
// The records of a laid-out and painted document (the driver's dump without its queries):
// the document's height, widest line and cursor count from its layout, and the messages
// its error sink was given.
void DumpLayout(TSectionList& list, int height, int maxWidth, int cursors, const std::vector<std::string>& messages,
                std::ostream& out);
