#include "html_viewer/doc_graphics_win32.h"

#include <algorithm>
#include <cstring>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/win/forms.h"
#include "platform/file.h"

int ColorBits = 24;
HPALETTE ThePalette = nullptr;

namespace {

struct TViewerPictures {
  bool ready = false;
  TWinImage error, errorMask, def;
  HCURSOR hand = nullptr;
  TPaletteTable palette{};
};

TViewerPictures& Pictures() {
  static TViewerPictures p;
  return p;
}

// A bitmap resource of this program into a framework bitmap; a plain grey square when the
// program has none.
void LoadResourceBitmap(TBitmap& into, int id, bool mono) {
  into.SetMonochrome(mono);
  HBITMAP h = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                                              LR_CREATEDIBSECTION));
  BITMAP info{};
  if (!h || !GetObjectA(h, sizeof info, &info)) {
    into.SetSize(kPlaceholderBitmapSize, kPlaceholderBitmapSize);
    if (!mono) {
      into.Canvas().Brush().SetColor(clSilver);
      into.Canvas().FillRect({0, 0, into.Width(), into.Height()});
    }
    if (h) DeleteObject(h);
    return;
  }
  into.SetSize(info.bmWidth, info.bmHeight);
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, h);
  BitBlt(into.Canvas().Handle(), 0, 0, info.bmWidth, info.bmHeight, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  DeleteObject(h);
  GdiFlush();
}

std::map<std::tuple<std::string, int, uint32_t, bool>, HFONT>& FontCache() {
  static std::map<std::tuple<std::string, int, uint32_t, bool>, HFONT> fonts;
  return fonts;
}

}  // namespace

HPALETTE MakeViewerPalette(const TPaletteTable& system) {
  TPaletteTable table = BuildPaletteTable(system);
  Pictures().palette = table;
  struct {
    WORD version, count;
    PALETTEENTRY entries[256];
  } log{0x300, 256, {}};
  for (int i = 0; i < 256; ++i) log.entries[i] = {table[size_t(i)].Red, table[size_t(i)].Green, table[size_t(i)].Blue, 0};
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
}

void InitDocGraphics() {
  TViewerPictures& p = Pictures();
  if (p.ready) return;
  p.ready = true;
  HDC screen = GetDC(nullptr);
  ColorBits = ColorBitsOf(GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));
  if (ColorBits == 8) {
    PALETTEENTRY entries[256] = {};
    GetSystemPaletteEntries(screen, 0, 256, entries);
    TPaletteTable system;
    for (int i = 0; i < 256; ++i) system[size_t(i)] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue};
    ThePalette = MakeViewerPalette(system);
  }
  ReleaseDC(nullptr, screen);
  LoadResourceBitmap(p.error.Bitmap(), kErrorBitmapId, false);
  LoadResourceBitmap(p.errorMask.Bitmap(), kErrorMaskId, true);
  LoadResourceBitmap(p.def.Bitmap(), kDefBitmapId, false);
  p.hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kHandCursorId));
  if (Screen && p.hand) Screen->SetCursors(1, p.hand);
  SetGifSurfaceFactory(NewGdiGifSurface);
}

void DoneDocGraphics() {
  TViewerPictures& p = Pictures();
  if (!p.ready) return;
  SetGifSurfaceFactory(nullptr);
  BitmapList().Clear();
  if (ThePalette) DeleteObject(ThePalette);
  ThePalette = nullptr;
  for (auto& [key, font] : FontCache()) DeleteObject(font);
  FontCache().clear();
  p.error.Bitmap().SetSize(0, 0);
  p.errorMask.Bitmap().SetSize(0, 0);
  p.def.Bitmap().SetSize(0, 0);
  p.ready = false;
}

TWinImage* ErrorBitMap() {
  InitDocGraphics();
  return &Pictures().error;
}
TWinImage* ErrorBitmapMask() {
  InitDocGraphics();
  return &Pictures().errorMask;
}
TWinImage* DefBitMap() {
  InitDocGraphics();
  return &Pictures().def;
}

// ---- Masks and bitmaps

std::unique_ptr<TWinImage> MakeMask(TBitmap& bitmap, bool colourGiven, TColor colour) {
  int w = bitmap.Width(), h = bitmap.Height();
  if (w == 0 || h == 0) return nullptr;
  uint32_t key;
  if (colourGiven) {
    uint32_t c = ColorToRGB(colour);  // 0x00BBGGRR
    key = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  } else {
    key = bitmap.PixelRGB(0, h - 1);
  }
  auto mask = std::make_unique<TWinImage>();
  TBitmap& m = mask->Bitmap();
  m.SetMonochrome(true);
  m.SetSize(w, h);
  HDC dc = m.Canvas().Handle();
  PatBlt(dc, 0, 0, w, h, BLACKNESS);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (bitmap.PixelRGB(x, y) == key) ::SetPixel(dc, x, y, RGB(255, 255, 255));
  GdiFlush();
  return mask;
}

void PaintMasked(HDC dc, TBitmap& bitmap, TBitmap& mask, int height, int width, int y, int x) {
  int bw = bitmap.Width(), bh = bitmap.Height();
  if (bw == 0 || bh == 0) return;
  // The picture with its masked pixels black: picture AND NOT mask.
  TBitmap picture;
  picture.Assign(bitmap);
  HDC p = picture.Canvas().Handle();
  SetTextColor(p, RGB(0, 0, 0));
  SetBkColor(p, RGB(255, 255, 255));
  BitBlt(p, 0, 0, bw, bh, mask.Canvas().Handle(), 0, 0, 0x00220326);
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0)), oldBk = SetBkColor(dc, RGB(255, 255, 255));
  StretchBlt(dc, x, y, width, height, mask.Canvas().Handle(), 0, 0, bw, bh, SRCAND);
  StretchBlt(dc, x, y, width, height, p, 0, 0, bw, bh, SRCPAINT);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  SetStretchBltMode(dc, oldMode);
}

std::unique_ptr<TBitmap> ToPaletteBitmap(TBitmap& bitmap) {
  auto out = std::make_unique<TBitmap>();
  out->Assign(bitmap);
  if (!ThePalette) return out;
  const TPaletteTable& table = Pictures().palette;
  HDC dc = out->Canvas().Handle();
  for (int y = 0; y < out->Height(); ++y)
    for (int x = 0; x < out->Width(); ++x) {
      uint32_t c = bitmap.PixelRGB(x, y);
      const TPaletteEntry& e = table[size_t(NearestPaletteIndex(table, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)))];
      ::SetPixel(dc, x, y, RGB(e.Red, e.Green, e.Blue));
    }
  GdiFlush();
  return out;
}

namespace {
std::unique_ptr<TWinImage> ReadBitmap(TStream& stream, bool convert) {
  try {
    TBitmap b;
    b.LoadFromStream(stream);
    if (!convert) {
      auto image = std::make_unique<TWinImage>();
      image->Bitmap().Assign(b);
      return image;
    }
    return std::make_unique<TWinImage>(ToPaletteBitmap(b));
  } catch (const std::exception&) {
    return nullptr;  // not a bitmap after all
  }
}
}  // namespace

std::unique_ptr<TWinImage> LoadBmpFile(const std::string& name, bool convert) {
  if (SniffFileKind(name) != ikBitmap) return nullptr;
  try {
    TFileStream f(name, fmOpenRead | fmShareDenyWrite);
    return ReadBitmap(f, convert);
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::unique_ptr<TWinImage> LoadBmpWithMask(const std::string& name, uint8_t& transparency,
                                           std::unique_ptr<TViewerImage>& mask) {
  if (!platform::IsFile(name)) return nullptr;
  TColor colour = 0;
  if (UpperCase(ExtractFileExt(name)) == ".GIF" && GifTransparentColourOfFile(name, colour)) transparency = 2;
  if (transparency == 1 || transparency == 2) {
    std::unique_ptr<TWinImage> b = LoadBmpFile(name, false);
    if (!b) return nullptr;
    std::unique_ptr<TWinImage> m = MakeMask(b->Bitmap(), transparency == 2, colour);
    if (!m) return nullptr;
    mask = std::move(m);
    return std::make_unique<TWinImage>(ToPaletteBitmap(b->Bitmap()));
  }
  return LoadBmpFile(name, true);
}

std::unique_ptr<TWinImage> ReadBmpWithMask(const std::vector<uint8_t>& data, uint8_t transparency,
                                           std::unique_ptr<TViewerImage>& mask) {
  if (data.size() < 20 || SniffImageKind(data.data(), data.size()) != ikBitmap) return nullptr;
  TMemoryStream m;
  m.WriteBuffer(data.data(), int32_t(data.size()));
  m.SetPosition(0);
  std::unique_ptr<TWinImage> b = ReadBitmap(m, false);
  if (!b) return nullptr;
  if (transparency == 1) mask = MakeMask(b->Bitmap(), false, 0);
  return std::make_unique<TWinImage>(ToPaletteBitmap(b->Bitmap()));
}

// ---- TDib

TDib::TDib(HDC dc, TBitmap& bitmap) {
  BITMAP info{};
  if (!bitmap.Handle() || !GetObjectA(bitmap.Handle(), sizeof info, &info)) throw EOutOfResources("Out of Resources");
  int bitCount = info.bmPlanes * info.bmBitsPixel;
  size_t colours = bitCount <= 8 ? size_t(1) << bitCount : 0;
  header_.assign(sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD), 0);
  auto* h = reinterpret_cast<BITMAPINFOHEADER*>(header_.data());
  h->biSize = 40;
  h->biWidth = info.bmWidth;
  h->biHeight = info.bmHeight;
  h->biPlanes = 1;
  h->biBitCount = WORD(bitCount);
  h->biCompression = BI_RGB;
  h->biSizeImage = DWORD(((size_t(bitCount) * size_t(info.bmWidth) + 31) / 32 * 4) * size_t(info.bmHeight));
  bits_.assign(h->biSizeImage, 0);
  HDC use = dc ? dc : GetDC(nullptr);
  HPALETTE old = ThePalette ? SelectPalette(use, ThePalette, FALSE) : nullptr;
  int got = GetDIBits(use, bitmap.Handle(), 0, UINT(info.bmHeight), bits_.data(),
                      reinterpret_cast<BITMAPINFO*>(header_.data()), DIB_RGB_COLORS);
  if (old) SelectPalette(use, old, FALSE);
  if (!dc) ReleaseDC(nullptr, use);
  if (got == 0) {
    if (!dc) BitmapList().DropUnused();
    throw EOutOfResources("Out of Resources");
  }
}

void TDib::StretchToDevice(HDC dc, int x, int y, int width, int height, DWORD rop) {
  const BITMAPINFOHEADER& h = Header();
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, x, y, width, height, 0, 0, h.biWidth, h.biHeight, bits_.data(),
                reinterpret_cast<const BITMAPINFO*>(header_.data()), DIB_RGB_COLORS, rop);
  SetStretchBltMode(dc, oldMode);
}

HBITMAP TDib::MakeDeviceBitmap(HDC dc) {
  return CreateDIBitmap(dc, &Header(), CBM_INIT, bits_.data(), reinterpret_cast<const BITMAPINFO*>(header_.data()),
                        DIB_RGB_COLORS);
}

// ---- The pictures of the Windows build

namespace {
class TWinPlatform : public IImagePlatform {
 public:
  TViewerImage* ErrorBitmap() override { return ErrorBitMap(); }
  TViewerImage* ErrorBitmapMask() override { return ::ErrorBitmapMask(); }
  TViewerImage* DefBitmap() override { return DefBitMap(); }
  std::unique_ptr<TViewerImage> LoadBitmapFile(const std::string& name, uint8_t& transparency,
                                               std::unique_ptr<TViewerImage>& mask) override {
    return LoadBmpWithMask(name, transparency, mask);
  }
  std::unique_ptr<TViewerImage> ReadBitmapData(const std::vector<uint8_t>& data, uint8_t transparency,
                                               std::unique_ptr<TViewerImage>& mask) override {
    return ReadBmpWithMask(data, transparency, mask);
  }
  std::unique_ptr<TViewerImage> MakeMask(TViewerImage& image, bool colourGiven, TColor colour) override {
    auto* w = dynamic_cast<TWinImage*>(&image);
    return w ? ::MakeMask(w->Bitmap(), colourGiven, colour) : nullptr;
  }
};
}  // namespace

IImagePlatform& WinImagePlatform() {
  static TWinPlatform platform;
  InitDocGraphics();
  return platform;
}

// ---- Fonts and measuring

HFONT ViewerFont(const TMyFont& f) {
  auto key = std::make_tuple(f.Name, f.Size, f.Style, f.Fixed);
  auto it = FontCache().find(key);
  if (it != FontCache().end()) return it->second;
  TFont font;
  font.SetName(f.Name);
  font.SetSize(f.Size);
  font.SetStyle(f.Style & (dsBold | dsItalic | dsUnderline | dsStrikeOut));
  if (f.Fixed) font.SetPitch(TFontPitch::fpFixed);
  LOGFONTA lf = font.LogFont();
  HFONT h = CreateFontIndirectA(&lf);
  FontCache()[key] = h;
  return h;
}

TScreenMeasurer::TScreenMeasurer() : dc_(CreateCompatibleDC(nullptr)) {}

TScreenMeasurer::~TScreenMeasurer() {
  if (oldFont_) SelectObject(dc_, oldFont_);
  DeleteDC(dc_);
}

TFontMetrics TScreenMeasurer::Metrics(const TMyFont& font) {
  HGDIOBJ old = SelectObject(dc_, ViewerFont(font));
  if (!oldFont_) oldFont_ = old;
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  TFontMetrics m;
  m.Height = int(tm.tmHeight + tm.tmExternalLeading);
  m.TmHeight = int(tm.tmHeight);
  m.Descent = int(tm.tmDescent);
  m.Overhang = int(tm.tmOverhang);
  return m;
}

int TScreenMeasurer::TextWidth(const TMyFont& font, const char* text, int length) {
  HGDIOBJ old = SelectObject(dc_, ViewerFont(font));
  if (!oldFont_) oldFont_ = old;
  SIZE size{};
  GetTextExtentPoint32A(dc_, text, length, &size);
  return int(size.cx);
}

// ---- The GDI canvas

TGdiCanvas::TGdiCanvas(HDC dc) : dc_(dc) { canvas_.SetHandle(dc); }

TGdiCanvas::TGdiCanvas(int width, int height) : bitmap_(std::make_unique<TBitmap>()) {
  bitmap_->SetSize(width, height);
  dc_ = bitmap_->Canvas().Handle();
  canvas_.SetHandle(dc_);
}

TGdiCanvas::~TGdiCanvas() {
  canvas_.SetClipRect(nullptr);
  canvas_.SetHandle(nullptr);
}

void TGdiCanvas::TextOut(int x, int baseline, const TMyFont& font, TColor colour, const char* text, int length,
                         bool opaque, TColor background) {
  HGDIOBJ old = SelectObject(dc_, ViewerFont(font));
  canvas_.SetTextAlign(TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  SetTextColor(dc_, GdiColor(colour));
  SetBkColor(dc_, GdiColor(background));
  SetBkMode(dc_, opaque ? OPAQUE : TRANSPARENT);
  // Each character at the advance the measurer gave (Wine's drawing of a whole string can
  // come out narrower than its measured extent).
  std::vector<INT> ends(size_t(std::max(length, 1))), dx(size_t(std::max(length, 1)));
  SIZE size{};
  if (length > 0 && GetTextExtentExPointA(dc_, text, length, 0, nullptr, ends.data(), &size)) {
    for (int i = 0; i < length; ++i) dx[size_t(i)] = ends[size_t(i)] - (i ? ends[size_t(i - 1)] : 0);
    ExtTextOutA(dc_, x, baseline, 0, nullptr, text, UINT(length), dx.data());
  } else {
    ExtTextOutA(dc_, x, baseline, 0, nullptr, text, UINT(length), nullptr);
  }
  canvas_.SetTextAlign(TA_TOP | TA_LEFT | TA_NOUPDATECP);
  SelectObject(dc_, old);
}

void TGdiCanvas::FillRect(const TRect& r, TColor colour) {
  HBRUSH b = CreateSolidBrush(GdiColor(colour));
  RECT rc = ToRECT(r);
  ::FillRect(dc_, &rc, b);
  DeleteObject(b);
}

void TGdiCanvas::FrameRect(const TRect& r, TColor colour) {
  HBRUSH b = CreateSolidBrush(GdiColor(colour));
  RECT rc = ToRECT(r);
  ::FrameRect(dc_, &rc, b);
  DeleteObject(b);
}

void TGdiCanvas::Line(int x1, int y1, int x2, int y2, TColor colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, GdiColor(colour));
  HGDIOBJ old = SelectObject(dc_, pen);
  MoveToEx(dc_, x1, y1, nullptr);
  LineTo(dc_, x2, y2);
  SelectObject(dc_, old);
  DeleteObject(pen);
}

void TGdiCanvas::Ellipse(const TRect& r, TColor pen, TColor fill) {
  HPEN p = CreatePen(PS_SOLID, 1, GdiColor(pen));
  HBRUSH b = fill == clNone ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(GdiColor(fill));
  HGDIOBJ oldPen = SelectObject(dc_, p), oldBrush = SelectObject(dc_, b);
  ::Ellipse(dc_, r.Left, r.Top, r.Right, r.Bottom);
  SelectObject(dc_, oldPen);
  SelectObject(dc_, oldBrush);
  DeleteObject(p);
  if (fill != clNone) DeleteObject(b);
}

void TGdiCanvas::SelectDisplayPalette(bool select) {
  if (!ThePalette) return;
  if (select) {
    oldPalette_ = SelectPalette(dc_, ThePalette, TRUE);
    RealizePalette(dc_);
  } else if (oldPalette_) {
    SelectPalette(dc_, oldPalette_, TRUE);
    oldPalette_ = nullptr;
  }
}

void TGdiCanvas::DrawImage(TViewerImage& image, TViewerImage* mask, const TRect& dest, bool stretch) {
  auto* picture = dynamic_cast<TWinImage*>(&image);
  if (!picture || picture->Width() == 0 || picture->Height() == 0) return;
  int w = stretch ? dest.Width() : picture->Width(), h = stretch ? dest.Height() : picture->Height();
  if (auto* m = dynamic_cast<TWinImage*>(mask)) {
    PaintMasked(dc_, picture->Bitmap(), m->Bitmap(), h, w, dest.Top, dest.Left);
    return;
  }
  int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, dest.Left, dest.Top, w, h, picture->Bitmap().Canvas().Handle(), 0, 0, picture->Width(),
             picture->Height(), SRCCOPY);
  SetStretchBltMode(dc_, oldMode);
}

void TGdiCanvas::DrawGif(TGIFImage& image, const TRect& dest) { PaintGif(dc_, image, dest); }

void TGdiCanvas::SetClip(const TRect* r) { canvas_.SetClipRect(r); }

bool TGdiCanvas::SaveBmp(const std::string& fileName) {
  if (!bitmap_) return false;
  try {
    GdiFlush();
    bitmap_->SaveToFile(fileName);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
