#pragma once
// The two small interfaces layout and painting go through: a text measurer (the screen's
// text metrics on Windows, a fixed-width fake in tests and natively) and a drawing canvas
// (GDI on Windows, a recorder in tests). Fonts are plain values (TMyFont).
#include <cstdint>
#include <string>

#include "framework/core/color.h"
#include "framework/core/geometry.h"

class TGIFImage;
class TViewerImage;

// Font styles, the same bits as the framework's TFontStyles.
constexpr uint32_t dsBold = 1, dsItalic = 2, dsUnderline = 4, dsStrikeOut = 8;

struct TMyFont {
  std::string Name = "Times New Roman";
  int Size = 12;         // points
  int NominalSize = 12;  // the HTML size in points at a default font size of 12
  uint32_t Style = 0;    // ds* bits
  TColor Color = clBlack;
  bool Fixed = false;    // follows the preformatted font name
  bool operator==(const TMyFont&) const = default;

  // Nominal size n; the point size n × defaultSize ÷ 12.
  void SetNominalSize(int defaultSize, int n);
  // Name from the fixed flag, size from the nominal size, colour or-ed with $02000000.
  void RefreshFromList(const std::string& fontName, const std::string& preFontName, int defaultSize,
                       TColor colour);
};

struct TFontMetrics {
  int Height = 0;    // text-metric height + external leading
  int TmHeight = 0;  // text-metric height
  int Descent = 0;
  int Overhang = 0;
};

class ITextMeasurer {
 public:
  virtual ~ITextMeasurer() = default;
  virtual TFontMetrics Metrics(const TMyFont& font) = 0;
  // The width of the text's extent.
  virtual int TextWidth(const TMyFont& font, const char* text, int length) = 0;
};

// Characters MulDiv(10, p, 12) pixels wide for p points, height MulDiv(16, p, 12), descent
// MulDiv(4, p, 12), no leading or overhang.
class TFakeMeasurer : public ITextMeasurer {
 public:
  TFontMetrics Metrics(const TMyFont& font) override;
  int TextWidth(const TMyFont& font, const char* text, int length) override;
};

class IDocCanvas {
 public:
  virtual ~IDocCanvas() = default;
  // Text with its baseline at y; opaque text fills its cell with the background first.
  virtual void TextOut(int x, int baseline, const TMyFont& font, TColor colour, const char* text, int length,
                       bool opaque, TColor background) = 0;
  virtual void FillRect(const TRect& r, TColor colour) = 0;
  virtual void FrameRect(const TRect& r, TColor colour) = 0;  // a one-pixel outline
  virtual void Line(int x1, int y1, int x2, int y2, TColor colour) = 0;  // without its end point
  virtual void Ellipse(const TRect& r, TColor pen, TColor fill) = 0;  // fill clNone: hollow
  // A picture at its own size (dest's top left) or stretched to dest; with a mask, the
  // mask's white pixels are left untouched.
  virtual void DrawImage(TViewerImage& image, TViewerImage* mask, const TRect& dest, bool stretch) = 0;
  virtual void DrawGif(TGIFImage& image, const TRect& dest) = 0;
  // Limits drawing to r, or lifts the limit (null).
  virtual void SetClip(const TRect* r) = 0;
  virtual bool Printing() const { return false; }
  // Selects the display's palette for what follows (true) and the previous one again (false).
  virtual void SelectDisplayPalette(bool) {}
};

// Top and left edges dark when sunken and light when raised, the others the other way.
void Draw3DFrame(IDocCanvas& canvas, const TRect& r, bool raised, TColor dark, TColor light);
