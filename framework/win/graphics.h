#pragma once
// GDI objects as persistent values. TFont, TPen and TBrush keep their settings and make
// the GDI handle on first use (again after a change); TCanvas draws on a device context
// it is attached to, selecting the current pen, brush and font before each operation and
// putting the DC's own objects back when it is detached. TBitmap is a 32-bit DIB section
// with its own memory canvas (one bit per pixel, black and white, when Monochrome); it
// reads and writes BMP data.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/color.h"
#include "framework/core/events.h"
#include "framework/core/geometry.h"
#include "framework/core/object.h"
#include "framework/win/winapi.h"

class TStream;

// A colour for GDI: system colours looked up, palette-relative values passed through.
COLORREF GdiColor(TColor color);
int ScreenPixelsPerInch();
class TFont;
// The size of text in a font, measured on the screen.
TSize TextExtentOf(const TFont& font, const std::string& text);

using TFontStyles = uint32_t;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// A GDI object kept by value; Changed() drops the handle (made again on demand) and tells
// OnChange first, so a canvas can deselect the old one before it is deleted.
class TGdiObject : public TPersistent {
  FW_CLASS(TGdiObject, TPersistent)

 public:
  ~TGdiObject() override;
  TNotifyEvent OnChange;

 protected:
  void Changed();
  HGDIOBJ CachedHandle() const;
  virtual HGDIOBJ MakeHandle() const = 0;

 private:
  mutable HGDIOBJ handle_ = nullptr;
  mutable bool stale_ = false;
};

class TFont : public TGdiObject {
  FW_CLASS(TFont, TGdiObject)

 public:
  TFont();
  const std::string& Name() const { return name_; }
  void SetName(std::string name);  // at most 31 bytes are kept
  int Size() const;                // points
  void SetSize(int points);
  int Height() const { return height_; }  // pixels, negative for the character height
  void SetHeight(int height);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Charset() const { return charset_; }
  void SetCharset(int charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  HFONT Handle() const { return static_cast<HFONT>(CachedHandle()); }
  LOGFONTA LogFont() const;
  void Assign(const TPersistent& src) override;

 protected:
  HGDIOBJ MakeHandle() const override;

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  int charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = TFontPitch::fpDefault;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGdiObject {
  FW_CLASS(TPen, TGdiObject)

 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  HPEN Handle() const { return static_cast<HPEN>(CachedHandle()); }
  void Assign(const TPersistent& src) override;

 protected:
  HGDIOBJ MakeHandle() const override;

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
};

enum class TBrushStyle { bsSolid, bsClear };

class TBrush : public TGdiObject {
  FW_CLASS(TBrush, TGdiObject)

 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  HBRUSH Handle() const { return static_cast<HBRUSH>(CachedHandle()); }
  void Assign(const TPersistent& src) override;

 protected:
  HGDIOBJ MakeHandle() const override;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

class TGraphic;
class TCanvas;

// Draws a 3D frame of the given width inside r (top and left lines in topLeft, bottom and
// right in bottomRight) and shrinks r to the area within it.
void Frame3D(TCanvas& canvas, TRect& r, TColor topLeft, TColor bottomRight, int width);

class TCanvas : public TPersistent {
  FW_CLASS(TCanvas, TPersistent)

 public:
  TCanvas();
  ~TCanvas() override;

  // The DC drawn on; canvases that can make their own (a bitmap's) do so on demand.
  // EInvalidOperation when there is none.
  HDC Handle();
  bool HandleAllocated() const { return dc_ != nullptr; }
  // Attaches to a foreign DC (0 detaches, putting back the DC's own objects).
  void SetHandle(HDC dc);

  TFont& Font() { return font_; }
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }

  TPoint PenPos() const { return penPos_; }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int w, int h);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Polygon(const std::vector<TPoint>& points);
  void Polyline(const std::vector<TPoint>& points);
  void FillRect(const TRect& r);   // with the brush, no outline
  void FrameRect(const TRect& r);  // a one-pixel border in the brush colour
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& clip, int x, int y, const std::string& text);
  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).Width; }
  int TextHeight(const std::string& text) { return TextExtent(text).Height; }
  // DrawTextA with its DT_ flags; r is updated by DT_CALCRECT. Returns the text height.
  int DrawText(const std::string& text, TRect& r, UINT flags);
  void Draw(int x, int y, TGraphic& graphic);
  void StretchDraw(const TRect& r, TGraphic& graphic);
  // Stretches with the copy mode (a raster operation, SRCCOPY at first) and colour-on-colour
  // stretching.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD rop) { copyMode_ = rop; }
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);
  TRect ClipRect();
  // Limits drawing to r; null lifts the limit.
  void SetClipRect(const TRect* r);
  // Where TextOut's y lies: TA_TOP (the default), TA_BASELINE or TA_BOTTOM.
  void SetTextAlign(UINT align);
  TEXTMETRICA TextMetrics();
  // Selects a palette (in the background or foreground) and realises it; returns the
  // palette it replaced.
  HPALETTE SelectPalette(HPALETTE palette, bool background);

 protected:
  virtual void CreateHandle() {}
  void SetDC(HDC dc) { SetHandle(dc); }

 private:
  enum : unsigned { kPen = 1, kBrush = 2, kFont = 4 };
  void Require(unsigned what);
  void Deselect(unsigned what);

  HDC dc_ = nullptr;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TPoint penPos_;
  DWORD copyMode_ = SRCCOPY;
  unsigned selected_ = 0;
  HGDIOBJ origPen_ = nullptr, origBrush_ = nullptr, origFont_ = nullptr;
};

class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

class TGraphic : public TPersistent {
  FW_CLASS(TGraphic, TPersistent)

 public:
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void Draw(TCanvas& canvas, const TRect& r) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  TNotifyEvent OnChange;
};

class TBitmap : public TGraphic {
  FW_CLASS(TBitmap, TGraphic)

 public:
  TBitmap();
  ~TBitmap() override;

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetSize(int width, int height);  // contents are kept where they fit
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  bool Monochrome() const { return bitCount_ == 1; }
  // A one-bit bitmap (black 0, white 1) or a 32-bit one again; the contents start white.
  void SetMonochrome(bool on);
  HBITMAP Handle() const { return bitmap_; }
  // Hands the bitmap handle to the caller, who frees it; the bitmap becomes empty.
  HBITMAP ReleaseHandle();
  TCanvas& Canvas();
  // The pixel as 0x00RRGGBB straight from the bits; 0 outside.
  uint32_t PixelRGB(int x, int y) const;

  void Draw(TCanvas& canvas, const TRect& r) override;
  // BMP data: a BITMAPFILEHEADER and a packed DIB of any depth GDI knows. Malformed
  // data throws EInvalidGraphic and leaves the bitmap unchanged.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;  // 24-bit BMP
  void Assign(const TPersistent& src) override;

 private:
  class TBitmapCanvas;
  void Changed();
  HDC MemoryDC();

  size_t Stride() const { return bitCount_ == 1 ? size_t((width_ + 31) / 32 * 4) : size_t(width_) * 4; }

  int width_ = 0, height_ = 0, bitCount_ = 32;
  HBITMAP bitmap_ = nullptr;
  uint32_t* bits_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
};
