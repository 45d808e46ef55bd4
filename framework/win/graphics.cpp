#include "framework/win/graphics.h"

#include <algorithm>
#include <cstring>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "platform/byte_order.h"

using platform::GetU16;
using platform::GetU32;

COLORREF GdiColor(TColor color) {
  if (uint32_t(color) & 0x80000000u) return COLORREF(ColorToRGB(color));
  return COLORREF(uint32_t(color) & 0x02FFFFFF);
}

int ScreenPixelsPerInch() {
  static const int ppi = [] {
    HDC dc = GetDC(nullptr);
    int n = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return n > 0 ? n : 96;
  }();
  return ppi;
}

TSize TextExtentOf(const TFont& font, const std::string& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font.Handle());
  SIZE sz{};
  GetTextExtentPoint32A(dc, text.data(), int(text.size()), &sz);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return {int(sz.cx), int(sz.cy)};
}

void Frame3D(TCanvas& canvas, TRect& r, TColor topLeft, TColor bottomRight, int width) {
  canvas.Pen().SetWidth(1);
  --r.Bottom;
  --r.Right;
  for (int i = 0; i < width; ++i) {
    canvas.Pen().SetColor(topLeft);
    canvas.Polyline({{r.Left, r.Bottom}, {r.Left, r.Top}, {r.Right, r.Top}});
    canvas.Pen().SetColor(bottomRight);
    canvas.Polyline({{r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left - 1, r.Bottom}});
    ++r.Left;
    ++r.Top;
    --r.Right;
    --r.Bottom;
  }
  ++r.Bottom;
  ++r.Right;
}

// ---- TGdiObject

TGdiObject::~TGdiObject() {
  if (handle_) DeleteObject(handle_);
}

void TGdiObject::Changed() {
  if (handle_) stale_ = true;
  OnChange(this);
}

HGDIOBJ TGdiObject::CachedHandle() const {
  if (stale_) {
    // Whoever had it selected was told through OnChange and let it go.
    DeleteObject(handle_);
    handle_ = nullptr;
    stale_ = false;
  }
  if (!handle_) handle_ = MakeHandle();
  return handle_;
}

// ---- TFont

namespace {
const TTypeInfo kFontStyles{{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, {}};
const TTypeInfo kFontPitches{{"fpDefault", "fpVariable", "fpFixed"}, {}};
const TTypeInfo kPenStyles{
    {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame"}, {}};
const TTypeInfo kBrushStyles{{"bsSolid", "bsClear"}, {}};

// Faces whose pitch Wine must know to substitute a fixed font for a fixed one.
BYTE PitchAndFamily(const std::string& face, TFontPitch pitch) {
  if (pitch == TFontPitch::fpFixed) return FIXED_PITCH | FF_MODERN;
  if (pitch == TFontPitch::fpVariable) return VARIABLE_PITCH | FF_SWISS;
  static const char* fixed[] = {"Courier", "Courier New", "Fixedsys", "Terminal", "Lucida Console"};
  for (const char* f : fixed)
    if (SameText(face, f)) return FIXED_PITCH | FF_MODERN;
  if (SameText(face, "Times New Roman")) return VARIABLE_PITCH | FF_ROMAN;
  return DEFAULT_PITCH | FF_DONTCARE;
}
}  // namespace

const TClassInfo& TFont::StaticClass() {
  using P = TProps<TFont>;
  static const TClassInfo info{
      "TFont", &TPersistent::StaticClass(), nullptr,
      {P::Int("Charset", &TFont::Charset, &TFont::SetCharset).WithDefault(int64_t(DEFAULT_CHARSET)),
       P::Int("Color", &TFont::Color, &TFont::SetColor, &ColorTypeInfo()).WithDefault(int64_t(clWindowText)),
       P::Int("Height", &TFont::Height, &TFont::SetHeight).WithDefault(int64_t(-11)),
       P::Str("Name", &TFont::Name, &TFont::SetName).WithDefault(std::string("MS Sans Serif")),
       P::Enum<TFontPitch>("Pitch", &kFontPitches, &TFont::Pitch, &TFont::SetPitch)
           .WithDefault(int64_t(0)),
       P::Int("Size", &TFont::Size, &TFont::SetSize).WithStored([](const TPersistent&) { return false; }),
       P::Set("Style", &kFontStyles, &TFont::Style, &TFont::SetStyle).WithDefault(int64_t(0))}};
  return info;
}

const TClassInfo& TGdiObject::StaticClass() {
  static const TClassInfo info{"TGdiObject", &TPersistent::StaticClass(), nullptr, {}};
  return info;
}

TFont::TFont() = default;

void TFont::SetName(std::string name) {
  if (name.size() > 31) name.resize(31);
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  OnChange(this);  // the colour is not part of the GDI font
}

void TFont::SetCharset(int charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

LOGFONTA TFont::LogFont() const {
  LOGFONTA lf{};
  lf.lfHeight = height_;
  lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
  lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = BYTE(charset_);
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = PitchAndFamily(name_, pitch_);
  std::memcpy(lf.lfFaceName, name_.c_str(), name_.size() + 1);
  return lf;
}

HGDIOBJ TFont::MakeHandle() const {
  LOGFONTA lf = LogFont();
  return CreateFontIndirectA(&lf);
}

void TFont::Assign(const TPersistent& src) {
  if (auto f = dynamic_cast<const TFont*>(&src)) {
    if (f == this) return;
    bool same = name_ == f->name_ && height_ == f->height_ && style_ == f->style_ &&
                charset_ == f->charset_ && pitch_ == f->pitch_;
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    color_ = f->color_;
    if (same)
      OnChange(this);
    else
      Changed();
    return;
  }
  TPersistent::Assign(src);
}

// ---- TPen, TBrush

const TClassInfo& TPen::StaticClass() {
  using P = TProps<TPen>;
  static const TClassInfo info{
      "TPen", &TGdiObject::StaticClass(), nullptr,
      {P::Int("Color", &TPen::Color, &TPen::SetColor, &ColorTypeInfo()).WithDefault(int64_t(clBlack)),
       P::Enum<TPenStyle>("Style", &kPenStyles, &TPen::Style, &TPen::SetStyle).WithDefault(int64_t(0)),
       P::Int("Width", &TPen::Width, &TPen::SetWidth).WithDefault(int64_t(1))}};
  return info;
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

HGDIOBJ TPen::MakeHandle() const {
  static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL,
                               PS_INSIDEFRAME};
  return CreatePen(styles[int(style_)], width_, GdiColor(color_));
}

void TPen::Assign(const TPersistent& src) {
  if (auto p = dynamic_cast<const TPen*>(&src)) {
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    Changed();
    return;
  }
  TPersistent::Assign(src);
}

const TClassInfo& TBrush::StaticClass() {
  using P = TProps<TBrush>;
  static const TClassInfo info{
      "TBrush", &TGdiObject::StaticClass(), nullptr,
      {P::Int("Color", &TBrush::Color, &TBrush::SetColor, &ColorTypeInfo()).WithDefault(int64_t(clWhite)),
       P::Enum<TBrushStyle>("Style", &kBrushStyles, &TBrush::Style, &TBrush::SetStyle)
           .WithDefault(int64_t(0))}};
  return info;
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ == TBrushStyle::bsSolid) return;
  color_ = color;
  style_ = TBrushStyle::bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

HGDIOBJ TBrush::MakeHandle() const {
  if (style_ == TBrushStyle::bsClear) return GetStockObject(NULL_BRUSH);
  return CreateSolidBrush(GdiColor(color_));
}

void TBrush::Assign(const TPersistent& src) {
  if (auto b = dynamic_cast<const TBrush*>(&src)) {
    color_ = b->color_;
    style_ = b->style_;
    Changed();
    return;
  }
  TPersistent::Assign(src);
}

// ---- TCanvas

const TClassInfo& TCanvas::StaticClass() {
  static const TClassInfo info{"TCanvas", &TPersistent::StaticClass(), nullptr, {}};
  return info;
}

TCanvas::TCanvas() {
  pen_.OnChange = TNotifyEvent([this](TObject*) { Deselect(kPen); });
  brush_.OnChange = TNotifyEvent([this](TObject*) { Deselect(kBrush); });
  font_.OnChange = TNotifyEvent([this](TObject*) { Deselect(kFont); });
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  if (dc_) Deselect(kPen | kBrush | kFont);
  dc_ = dc;
}

void TCanvas::Deselect(unsigned what) {
  if (!dc_) {
    selected_ &= ~what;
    return;
  }
  if ((what & kPen) && (selected_ & kPen)) SelectObject(dc_, origPen_);
  if ((what & kBrush) && (selected_ & kBrush)) SelectObject(dc_, origBrush_);
  if ((what & kFont) && (selected_ & kFont)) SelectObject(dc_, origFont_);
  selected_ &= ~what;
}

void TCanvas::Require(unsigned what) {
  HDC dc = Handle();
  if ((what & kPen) && !(selected_ & kPen)) {
    origPen_ = SelectObject(dc, pen_.Handle());
    selected_ |= kPen;
  }
  if ((what & kBrush) && !(selected_ & kBrush)) {
    origBrush_ = SelectObject(dc, brush_.Handle());
    selected_ |= kBrush;
  }
  if ((what & kFont) && !(selected_ & kFont)) {
    origFont_ = SelectObject(dc, font_.Handle());
    selected_ |= kFont;
  }
  if (what & kBrush) {
    SetBkColor(dc, GdiColor(brush_.Color()));
    SetBkMode(dc, brush_.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
  }
  if (what & kFont) SetTextColor(dc, GdiColor(font_.Color()));
}

void TCanvas::MoveTo(int x, int y) {
  MoveToEx(Handle(), x, y, nullptr);
  penPos_ = {x, y};
}

void TCanvas::LineTo(int x, int y) {
  Require(kPen | kBrush);
  ::LineTo(dc_, x, y);
  penPos_ = {x, y};
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  Require(kPen | kBrush);
  ::Rectangle(dc_, x1, y1, x2, y2);
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int w, int h) {
  Require(kPen | kBrush);
  ::RoundRect(dc_, x1, y1, x2, y2, w, h);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  Require(kPen | kBrush);
  ::Ellipse(dc_, x1, y1, x2, y2);
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  Require(kPen | kBrush);
  std::vector<POINT> p;
  for (const TPoint& t : points) p.push_back({t.X, t.Y});
  if (!p.empty()) ::Polygon(dc_, p.data(), int(p.size()));
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  Require(kPen | kBrush);
  std::vector<POINT> p;
  for (const TPoint& t : points) p.push_back({t.X, t.Y});
  if (!p.empty()) ::Polyline(dc_, p.data(), int(p.size()));
  if (!points.empty()) penPos_ = points.back();
}

void TCanvas::FillRect(const TRect& r) {
  Require(kBrush);
  RECT rc = ToRECT(r);
  ::FillRect(dc_, &rc, brush_.Handle());
}

void TCanvas::FrameRect(const TRect& r) {
  Require(kBrush);
  RECT rc = ToRECT(r);
  ::FrameRect(dc_, &rc, brush_.Handle());
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Require(kBrush | kFont);
  TextOutA(dc_, x, y, text.data(), int(text.size()));
  penPos_ = {x + TextWidth(text), y};
}

void TCanvas::TextRect(const TRect& clip, int x, int y, const std::string& text) {
  Require(kBrush | kFont);
  RECT rc = ToRECT(clip);
  UINT opts = ETO_CLIPPED | (brush_.Style() == TBrushStyle::bsClear ? 0 : ETO_OPAQUE);
  ExtTextOutA(dc_, x, y, opts, &rc, text.data(), UINT(text.size()), nullptr);
}

TSize TCanvas::TextExtent(const std::string& text) {
  Require(kFont);
  SIZE sz{};
  GetTextExtentPoint32A(dc_, text.data(), int(text.size()), &sz);
  return {int(sz.cx), int(sz.cy)};
}

int TCanvas::DrawText(const std::string& text, TRect& r, UINT flags) {
  Require(kBrush | kFont);
  RECT rc = ToRECT(r);
  int h = DrawTextA(dc_, text.data(), int(text.size()), &rc, flags);
  r = FromRECT(rc);
  return h;
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& r, TGraphic& graphic) {
  if (!graphic.Empty()) graphic.Draw(*this, r);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sr) {
  Require(kBrush | kFont);  // brush for pattern operations, colours for monochrome sources
  int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, dest.Left, dest.Top, dest.Width(), dest.Height(), source.Handle(), sr.Left,
             sr.Top, sr.Width(), sr.Height(), copyMode_);
  SetStretchBltMode(dc_, oldMode);
}

void TCanvas::SetClipRect(const TRect* r) {
  HDC dc = Handle();
  if (!r) {
    SelectClipRgn(dc, nullptr);
    return;
  }
  HRGN rgn = CreateRectRgn(r->Left, r->Top, r->Right, r->Bottom);
  SelectClipRgn(dc, rgn);
  DeleteObject(rgn);
}

void TCanvas::SetTextAlign(UINT align) { ::SetTextAlign(Handle(), align); }

TEXTMETRICA TCanvas::TextMetrics() {
  Require(kFont);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc_, &tm);
  return tm;
}

HPALETTE TCanvas::SelectPalette(HPALETTE palette, bool background) {
  HPALETTE old = ::SelectPalette(Handle(), palette, background ? TRUE : FALSE);
  RealizePalette(dc_);
  return old;
}

TColor TCanvas::Pixel(int x, int y) { return TColor(GetPixel(Handle(), x, y)); }

void TCanvas::SetPixel(int x, int y, TColor color) { ::SetPixel(Handle(), x, y, GdiColor(color)); }

TRect TCanvas::ClipRect() {
  RECT rc{};
  GetClipBox(Handle(), &rc);
  return FromRECT(rc);
}

// ---- TGraphic, TBitmap

const TClassInfo& TGraphic::StaticClass() {
  static const TClassInfo info{"TGraphic", &TPersistent::StaticClass(), nullptr, {}};
  return info;
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
  f.Flush();
}

const TClassInfo& TBitmap::StaticClass() {
  static const TClassInfo info{"TBitmap", &TGraphic::StaticClass(), nullptr, {}};
  return info;
}

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& owner) : owner_(owner) {}

 protected:
  void CreateHandle() override { SetDC(owner_.MemoryDC()); }

 private:
  TBitmap& owner_;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (dc_) {
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
}

HDC TBitmap::MemoryDC() {
  if (!dc_) {
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) throw EOutOfResources("Out of system resources");
    oldBitmap_ = bitmap_ ? SelectObject(dc_, bitmap_) : nullptr;
  }
  return dc_;
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(*this);
  return *canvas_;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  HBITMAP fresh = nullptr;
  void* bits = nullptr;
  if (width > 0 && height > 0) {
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[2];
    } bi{};
    bi.header.biSize = sizeof bi.header;
    bi.header.biWidth = width;
    bi.header.biHeight = -height;  // top-down
    bi.header.biPlanes = 1;
    bi.header.biBitCount = WORD(bitCount_);
    bi.header.biCompression = BI_RGB;
    bi.colours[1] = {255, 255, 255, 0};
    fresh = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!fresh) throw EOutOfResources("Out of system resources");
    size_t stride = bitCount_ == 1 ? size_t((width + 31) / 32 * 4) : size_t(width) * 4;
    std::memset(bits, 0xFF, stride * size_t(height));  // white, like a new sheet
    if (bitmap_) {
      GdiFlush();
      int h = std::min(height, height_);
      size_t n = std::min(stride, Stride());
      for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(bits) + size_t(y) * stride,
                    reinterpret_cast<const uint8_t*>(bits_) + size_t(y) * Stride(), n);
    }
  }
  Canvas().SetHandle(nullptr);
  if (dc_) {
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
    dc_ = nullptr;
  }
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = fresh;
  bits_ = static_cast<uint32_t*>(bits);
  width_ = bitmap_ ? width : 0;
  height_ = bitmap_ ? height : 0;
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  Canvas().SetHandle(nullptr);
  if (dc_) {
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
    dc_ = nullptr;
  }
  HBITMAP h = bitmap_;
  bitmap_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
  return h;
}

uint32_t TBitmap::PixelRGB(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  GdiFlush();
  if (bitCount_ == 1) {
    const uint8_t* row = reinterpret_cast<const uint8_t*>(bits_) + size_t(y) * Stride();
    return (row[x / 8] & (0x80 >> (x % 8))) ? 0xFFFFFFu : 0u;
  }
  return bits_[size_t(y) * size_t(width_) + size_t(x)] & 0xFFFFFF;
}

void TBitmap::SetMonochrome(bool on) {
  int bits = on ? 1 : 32;
  if (bits == bitCount_) return;
  int w = width_, h = height_;
  SetSize(0, 0);
  bitCount_ = bits;
  SetSize(w, h);
}

void TBitmap::Changed() { OnChange(this); }

void TBitmap::Draw(TCanvas& canvas, const TRect& r) {
  if (Empty()) return;
  HDC dc = canvas.Handle();
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, r.Left, r.Top, r.Width(), r.Height(), MemoryDC(), 0, 0, width_, height_, canvas.CopyMode());
  SetStretchBltMode(dc, oldMode);
}

void TBitmap::LoadFromStream(TStream& stream) {
  int64_t left = stream.Size() - stream.Position();
  if (left < 14 + 12 || left > (int64_t(1) << 30)) throw EInvalidGraphic("Bitmap image is not valid");
  std::vector<uint8_t> data(static_cast<size_t>(left));
  stream.ReadBuffer(data.data(), int32_t(data.size()));
  auto bad = [] { throw EInvalidGraphic("Bitmap image is not valid"); };
  if (data[0] != 'B' || data[1] != 'M') bad();
  uint32_t offBits = GetU32(&data[10]);
  const uint8_t* h = &data[14];
  uint32_t headerSize = GetU32(h);
  size_t avail = data.size() - 14;
  int32_t width, height;
  uint16_t bitCount;
  uint32_t compression = BI_RGB, colors = 0;
  size_t paletteEntry = 4;
  if (headerSize == 12) {
    width = GetU16(h + 4);
    height = int16_t(GetU16(h + 6));
    bitCount = GetU16(h + 10);
    paletteEntry = 3;
  } else if (headerSize >= 40 && headerSize <= avail) {
    width = int32_t(GetU32(h + 4));
    height = int32_t(GetU32(h + 8));
    bitCount = GetU16(h + 14);
    compression = GetU32(h + 16);
    colors = GetU32(h + 32);
  } else {
    bad();
  }
  if (width <= 0 || height == 0 || width > 32768 || height > 32768 || height < -32768) bad();
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    bad();
  if (compression != BI_RGB && compression != BI_BITFIELDS) throw EInvalidGraphic("Unsupported bitmap compression");
  if (bitCount <= 8) {
    if (colors == 0 || colors > (1u << bitCount)) colors = 1u << bitCount;
  } else {
    colors = 0;
  }
  size_t masks = (compression == BI_BITFIELDS && headerSize == 40) ? 12 : 0;
  size_t tableEnd = headerSize + masks + colors * paletteEntry;
  if (tableEnd > avail) bad();
  int absHeight = height < 0 ? -height : height;
  size_t stride = ((size_t(width) * bitCount + 31) / 32) * 4;
  if (offBits < 14 + tableEnd || offBits > data.size() || data.size() - offBits < stride * size_t(absHeight)) bad();

  // A BITMAPINFO with a full header and an RGBQUAD palette, whatever the file had.
  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 12 + 256 * 4, 0);
  auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  bih->biSize = sizeof(BITMAPINFOHEADER);
  bih->biWidth = width;
  bih->biHeight = height;
  bih->biPlanes = 1;
  bih->biBitCount = bitCount;
  bih->biCompression = compression;
  bih->biClrUsed = colors;
  uint8_t* table = info.data() + sizeof(BITMAPINFOHEADER);
  const uint8_t* src = h + headerSize;
  if (masks) std::memcpy(table, src, 12);
  else if (compression == BI_BITFIELDS) std::memcpy(table, h + 40, 12);
  for (uint32_t i = 0; i < colors; ++i) {
    const uint8_t* e = src + masks + i * paletteEntry;
    std::memcpy(table + masks + i * 4, e, 3);
  }
  int w = width;
  SetSize(0, 0);
  SetSize(w, absHeight);
  SetDIBitsToDevice(MemoryDC(), 0, 0, DWORD(w), DWORD(absHeight), 0, 0, 0, UINT(absHeight),
                    &data[offBits], reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
  GdiFlush();
  Changed();
}

void TBitmap::SaveToStream(TStream& stream) {
  GdiFlush();
  size_t stride = ((size_t(width_) * 24 + 31) / 32) * 4;
  size_t imageSize = stride * size_t(height_);
  platform::ByteWriter w;
  w.U8('B');
  w.U8('M');
  w.U32(uint32_t(14 + 40 + imageSize));
  w.U32(0);
  w.U32(14 + 40);
  w.U32(40);
  w.U32(uint32_t(width_));
  w.U32(uint32_t(height_));
  w.U16(1);
  w.U16(24);
  w.U32(BI_RGB);
  w.U32(uint32_t(imageSize));
  w.U32(3780);
  w.U32(3780);
  w.U32(0);
  w.U32(0);
  std::vector<uint8_t> row(stride, 0);
  std::vector<uint8_t> out = std::move(w.Data());
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      uint32_t p = PixelRGB(x, y);
      row[size_t(x) * 3] = uint8_t(p);
      row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(p >> 16);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  stream.WriteBuffer(out.data(), int32_t(out.size()));
}

void TBitmap::Assign(const TPersistent& src) {
  if (auto b = dynamic_cast<const TBitmap*>(&src)) {
    if (b == this) return;
    SetSize(0, 0);
    bitCount_ = b->bitCount_;
    SetSize(b->width_, b->height_);
    if (bits_) {
      GdiFlush();
      std::memcpy(bits_, b->bits_, Stride() * size_t(height_));
    }
    Changed();
    return;
  }
  TPersistent::Assign(src);
}
