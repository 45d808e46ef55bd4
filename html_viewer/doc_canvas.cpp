#include "html_viewer/doc_canvas.h"

#include "html_viewer/doc_utils.h"

void TMyFont::SetNominalSize(int defaultSize, int n) {
  NominalSize = n;
  Size = MulDivRound(n, defaultSize, 12);
}

void TMyFont::RefreshFromList(const std::string& fontName, const std::string& preFontName, int defaultSize,
                              TColor colour) {
  Name = Fixed ? preFontName : fontName;
  Size = MulDivRound(NominalSize, defaultSize, 12);
  Color = TColor(uint32_t(colour) | 0x02000000u);
}

TFontMetrics TFakeMeasurer::Metrics(const TMyFont& font) {
  TFontMetrics m;
  m.Height = m.TmHeight = MulDivRound(16, font.Size, 12);
  m.Descent = MulDivRound(4, font.Size, 12);
  return m;
}

int TFakeMeasurer::TextWidth(const TMyFont& font, const char*, int length) {
  return length * MulDivRound(10, font.Size, 12);
}

void Draw3DFrame(IDocCanvas& canvas, const TRect& r, bool raised, TColor dark, TColor light) {
  TColor topLeft = raised ? light : dark, bottomRight = raised ? dark : light;
  int x1 = r.Left, y1 = r.Top, x2 = r.Right - 1, y2 = r.Bottom - 1;
  canvas.Line(x1, y2, x1, y1, topLeft);
  canvas.Line(x1, y1, x2, y1, topLeft);
  canvas.Line(x2, y1, x2, y2, bottomRight);
  canvas.Line(x2, y2, x1 - 1, y2, bottomRight);
}
