#include "framework/controls/graphctrls.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/core/streams.h"
#include "framework/win/winapi.h"

// Graphic controls take their parent's colour until given one of their own.
namespace {
const TTypeInfo kBevelShapes{{"bsBox", "bsFrame", "bsTopLine", "bsBottomLine"}, {}};
const TTypeInfo kBevelStyles{{"bsLowered", "bsRaised"}, {}};
const TTypeInfo kGaugeKinds{{"gkHorizontalBar", "gkVerticalBar"}, {}};

std::vector<uint8_t> BitmapData(TBitmap& b) {
  if (b.Empty()) return {};
  TMemoryStream s;
  b.SaveToStream(s);
  return {s.Memory(), s.Memory() + s.Size()};
}

void Line(TCanvas& c, TColor color, int x1, int y1, int x2, int y2) {
  c.Pen().SetColor(color);
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}
}  // namespace

void LoadBitmapResource(TBitmap& bitmap, const std::string& name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(2));  // RT_BITMAP
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bits = data ? LockResource(data) : nullptr;
  if (!bits) throw EInvalidGraphic("Bitmap resource " + name + " not found");
  // The resource is a packed DIB: a file header in front makes it BMP data.
  const DWORD size = SizeofResource(module, res);
  const auto* info = static_cast<const BITMAPINFOHEADER*>(bits);
  DWORD colors = info->biClrUsed ? info->biClrUsed : info->biBitCount <= 8 ? (1u << info->biBitCount) : 0;
  if (info->biCompression == BI_BITFIELDS) colors = 3;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = DWORD(sizeof file) + size;
  file.bfOffBits = DWORD(sizeof file + info->biSize + colors * sizeof(RGBQUAD));
  TMemoryStream s;
  s.WriteBuffer(&file, sizeof file);
  s.WriteBuffer(bits, int32_t(size));
  s.SetPosition(0);
  bitmap.LoadFromStream(s);
}

// ---- TBevel

const TClassInfo& TBevel::StaticClass() {
  using P = TProps<TBevel>;
  static const TClassInfo info{
      "TBevel", &TGraphicControl::StaticClass(), Factory<TBevel>(),
      {P::Bool("ParentColor", &TBevel::ParentColor, &TBevel::SetParentColor).WithDefault(true),
       P::Enum<TBevelShape>("Shape", &kBevelShapes, &TBevel::Shape, &TBevel::SetShape)
           .WithDefault(int64_t(TBevelShape::bsBox)),
       P::Enum<TBevelStyle>("Style", &kBevelStyles, &TBevel::Style, &TBevel::SetStyle)
           .WithDefault(int64_t(TBevelStyle::bsLowered))}};
  return info;
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape s) {
  shape_ = s;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle s) {
  style_ = s;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas& c = Canvas();
  const TColor first = style_ == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
  const TColor second = style_ == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
  const int w = Width(), h = Height();
  c.Pen().SetWidth(1);
  switch (shape_) {
    case TBevelShape::bsBox: {
      TRect r{0, 0, w, h};
      Frame3D(c, r, first, second, 1);
      break;
    }
    case TBevelShape::bsFrame: {
      TRect outer{0, 0, w - 1, h - 1}, inner{1, 1, w, h};
      Frame3D(c, outer, first, first, 1);
      Frame3D(c, inner, second, second, 1);
      break;
    }
    case TBevelShape::bsTopLine:
      Line(c, first, 0, 0, w, 0);
      Line(c, second, 0, 1, w, 1);
      break;
    case TBevelShape::bsBottomLine:
      Line(c, first, 0, h - 2, w, h - 2);
      Line(c, second, 0, h - 1, w, h - 1);
      break;
  }
}

// ---- TImage

const TClassInfo& TImage::StaticClass() {
  using P = TProps<TImage>;
  static const TClassInfo info{
      "TImage", &TGraphicControl::StaticClass(), Factory<TImage>(),
      {P::Bool("ParentColor", &TImage::ParentColor, &TImage::SetParentColor).WithDefault(true),
       P::Binary("Picture", [](const TImage& i) { return BitmapData(const_cast<TImage&>(i).Picture()); },
                 [](TImage& i, const std::vector<uint8_t>& data) {
                   TMemoryStream s;
                   if (!data.empty()) s.WriteBuffer(data.data(), int32_t(data.size()));
                   s.SetPosition(0);
                   TBitmap b;
                   if (!data.empty()) b.LoadFromStream(s);
                   i.SetPicture(b);
                 })
           .WithStored([](const TPersistent& o) { return !const_cast<TImage&>(static_cast<const TImage&>(o)).Picture().Empty(); }),
       P::Bool("Center", &TImage::Center, &TImage::SetCenter).WithDefault(false),
       P::Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent).WithDefault(false)}};
  return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 105, 105); }

void TImage::SetPicture(const TBitmap& picture) {
  picture_.Assign(picture);
  Invalidate();
}

void TImage::LoadFromResourceName(const std::string& name) {
  LoadBitmapResource(picture_, name);
  Invalidate();
}

void TImage::SetCenter(bool v) {
  center_ = v;
  Invalidate();
}

void TImage::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}

void TImage::Paint() {
  if (picture_.Empty()) return;
  const int pw = picture_.Width(), ph = picture_.Height();
  const int x = center_ ? (Width() - pw) / 2 : 0, y = center_ ? (Height() - ph) / 2 : 0;
  HDC src = picture_.Canvas().Handle();
  if (transparent_)
    TransparentBlt(Canvas().Handle(), x, y, pw, ph, src, 0, 0, pw, ph, GetPixel(src, 0, ph - 1));
  else
    BitBlt(Canvas().Handle(), x, y, pw, ph, src, 0, 0, SRCCOPY);
}

// ---- TGauge

const TClassInfo& TGauge::StaticClass() {
  using P = TProps<TGauge>;
  static const TClassInfo info{
      "TGauge", &TGraphicControl::StaticClass(), Factory<TGauge>(),
      {P::Bool("ParentColor", &TGauge::ParentColor, &TGauge::SetParentColor).WithDefault(true),
       P::Enum<TGaugeKind>("Kind", &kGaugeKinds, &TGauge::Kind, &TGauge::SetKind)
           .WithDefault(int64_t(TGaugeKind::gkHorizontalBar)),
       P::Int("MinValue", &TGauge::MinValue, &TGauge::SetMinValue).WithDefault(int64_t(0)),
       P::Int("MaxValue", &TGauge::MaxValue, &TGauge::SetMaxValue).WithDefault(int64_t(100)),
       P::Int("Progress", &TGauge::Progress, &TGauge::SetProgress).WithDefault(int64_t(0)),
       P::Int("ForeColor", &TGauge::ForeColor, &TGauge::SetForeColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBlack)),
       P::Int("BackColor", &TGauge::BackColor, &TGauge::SetBackColor, &ColorTypeInfo())
           .WithDefault(int64_t(clWhite))}};
  return info;
}

TGauge::TGauge(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 100, 100); }

void TGauge::SetKind(TGaugeKind k) {
  kind_ = k;
  Invalidate();
}

void TGauge::SetMinValue(int v) {
  min_ = v;
  if (!IsLoading()) SetProgress(progress_);
  Invalidate();
}

void TGauge::SetMaxValue(int v) {
  max_ = v;
  if (!IsLoading()) SetProgress(progress_);
  Invalidate();
}

void TGauge::SetProgress(int v) {
  progress_ = IsLoading() ? v : std::clamp(v, std::min(min_, max_), std::max(min_, max_));
  Invalidate();
}

void TGauge::SetForeColor(TColor c) {
  foreColor_ = c;
  Invalidate();
}

void TGauge::SetBackColor(TColor c) {
  backColor_ = c;
  Invalidate();
}

int TGauge::PercentDone() const {
  if (max_ <= min_) return 0;
  return int(int64_t(std::clamp(progress_, min_, max_) - min_) * 100 / (int64_t(max_) - min_));
}

void TGauge::Paint() {
  TCanvas& c = Canvas();
  TRect r{0, 0, Width(), Height()};
  Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
  c.Brush().SetColor(backColor_);
  c.FillRect(r);
  const int done = PercentDone();
  TRect bar = r;
  if (kind_ == TGaugeKind::gkHorizontalBar)
    bar.Right = r.Left + r.Width() * done / 100;
  else
    bar.Top = r.Bottom - r.Height() * done / 100;
  c.Brush().SetColor(foreColor_);
  c.FillRect(bar);
}
