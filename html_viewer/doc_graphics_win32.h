#pragma once
// The viewer's pictures and drawing on Windows: the display's colour class (ColorBits) and
// palette (ThePalette, only on 8-bit displays), the viewer's own bitmaps and hand cursor
// from the program's resources, bitmaps and one-bit masks as viewer images, BMP loading with
// masks, device-independent copies (TDib), the screen's text measurer and a GDI canvas for
// layout and painting, and the GDI surface of GIF images (gif_surface_win32.cpp).
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "framework/win/graphics.h"
#include "html_viewer/doc_model.h"
#include "html_viewer/layout_cli.h"

// Resource ids of the viewer's pictures.
constexpr int kErrorBitmapId = 1001, kDefBitmapId = 1002, kHandCursorId = 1003, kErrorMaskId = 1005;

// Display colour class (4, 8 or 24) and the palette of an 8-bit display (null otherwise).
extern int ColorBits;
extern HPALETTE ThePalette;
// Start-up and exit of the viewer's graphics: colour class, palette, the pictures, the hand
// cursor (screen cursor 1 when the application has a screen), GIF frames drawn with GDI.
// Idempotent; DoneDocGraphics frees what InitDocGraphics made.
void InitDocGraphics();
void DoneDocGraphics();
// The palette an 8-bit screen with these system entries gets.
HPALETTE MakeViewerPalette(const TPaletteTable& system);

// A framework bitmap (colour or one-bit) as a viewer image.
class TWinImage : public TViewerImage {
 public:
  TWinImage() : bitmap_(std::make_unique<TBitmap>()) {}
  explicit TWinImage(std::unique_ptr<TBitmap> bitmap) : bitmap_(std::move(bitmap)) {}
  int Width() const override { return bitmap_->Width(); }
  int Height() const override { return bitmap_->Height(); }
  TBitmap& Bitmap() { return *bitmap_; }

 private:
  std::unique_ptr<TBitmap> bitmap_;
};

TWinImage* ErrorBitMap();
TWinImage* ErrorBitmapMask();
TWinImage* DefBitMap();

// A one-bit mask of the picture: white where it has the colour (the given one, or the
// colour of its bottom-left pixel). Null for an empty picture.
std::unique_ptr<TWinImage> MakeMask(TBitmap& bitmap, bool colourGiven, TColor colour);
// Paints the bitmap stretched to width × height at (x, y), leaving the mask's white pixels.
void PaintMasked(HDC dc, TBitmap& bitmap, TBitmap& mask, int height, int width, int y, int x);
// The bitmap again through ThePalette (itself when there is no palette).
std::unique_ptr<TBitmap> ToPaletteBitmap(TBitmap& bitmap);
// BMP files and data; null when they hold no bitmap.
std::unique_ptr<TWinImage> LoadBmpFile(const std::string& name, bool convert);
std::unique_ptr<TWinImage> LoadBmpWithMask(const std::string& name, uint8_t& transparency,
                                           std::unique_ptr<TViewerImage>& mask);
std::unique_ptr<TWinImage> ReadBmpWithMask(const std::vector<uint8_t>& data, uint8_t transparency,
                                           std::unique_ptr<TViewerImage>& mask);

// A device-independent copy of a bitmap: its header and colour table, and its bits.
class TDib {
 public:
  // Raises EOutOfResources when the system cannot supply the bits (after dropping the
  // cache's unused entries when no device was given).
  TDib(HDC dc, TBitmap& bitmap);
  TDib(const TDib&) = delete;
  TDib& operator=(const TDib&) = delete;
  const BITMAPINFOHEADER& Header() const { return *reinterpret_cast<const BITMAPINFOHEADER*>(header_.data()); }
  const std::vector<uint8_t>& Bits() const { return bits_; }
  void StretchToDevice(HDC dc, int x, int y, int width, int height, DWORD rop);
  HBITMAP MakeDeviceBitmap(HDC dc);

 private:
  std::vector<uint8_t> header_, bits_;
};

// The pictures of the Windows build.
IImagePlatform& WinImagePlatform();

// The screen's text metrics.
class TScreenMeasurer : public ITextMeasurer {
 public:
  TScreenMeasurer();
  ~TScreenMeasurer() override;
  TScreenMeasurer(const TScreenMeasurer&) = delete;
  TScreenMeasurer& operator=(const TScreenMeasurer&) = delete;
  TFontMetrics Metrics(const TMyFont& font) override;
  int TextWidth(const TMyFont& font, const char* text, int length) override;

 private:
  HDC dc_;
  HGDIOBJ oldFont_ = nullptr;
};

// A GDI font for a viewer font, kept while the process runs (fonts repeat a lot).
HFONT ViewerFont(const TMyFont& font);

// Painting with GDI on a device context (a bitmap's for layout_run --bmp).
class TGdiCanvas : public IBitmapCanvas {
 public:
  explicit TGdiCanvas(HDC dc);
  // A canvas painting into a white bitmap of its own.
  TGdiCanvas(int width, int height);
  ~TGdiCanvas() override;
  HDC Handle() const { return dc_; }
  TBitmap* Bitmap() { return bitmap_.get(); }
  void TextOut(int x, int baseline, const TMyFont& font, TColor colour, const char* text, int length, bool opaque,
               TColor background) override;
  void FillRect(const TRect& r, TColor colour) override;
  void FrameRect(const TRect& r, TColor colour) override;
  void Line(int x1, int y1, int x2, int y2, TColor colour) override;
  void Ellipse(const TRect& r, TColor pen, TColor fill) override;
  void DrawImage(TViewerImage& image, TViewerImage* mask, const TRect& dest, bool stretch) override;
  void DrawGif(TGIFImage& image, const TRect& dest) override;
  void SetClip(const TRect* r) override;
  void SelectDisplayPalette(bool select) override;
  bool SaveBmp(const std::string& fileName) override;

 private:
  std::unique_ptr<TBitmap> bitmap_;
  HDC dc_;
  HPALETTE oldPalette_ = nullptr;
  TCanvas canvas_;
};

// The GDI surface of a GIF image (gif_surface_win32.cpp).
std::unique_ptr<IGifSurface> NewGdiGifSurface();
// Draws a GIF's current picture stretched into dest on dc.
void PaintGif(HDC dc, TGIFImage& image, const TRect& dest);
