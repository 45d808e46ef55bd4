#include "setup_ui/decor_win32.h"

#include <cmath>
#include <vector>

#include "framework/win/winapi.h"

// ---- TBackdrop

const TClassInfo& TBackdrop::StaticClass() {
  using P = TProps<TBackdrop>;
  static const TClassInfo info{
      "TBackdrop", &TGraphicControl::StaticClass(), Factory<TBackdrop>(),
      {P::Enum<TAlign>("Align", &AlignTypeInfo(), &TBackdrop::Align, &TBackdrop::SetAlign)
           .WithDefault(int64_t(TAlign::alClient)),
       P::Bool("ParentColor", &TBackdrop::ParentColor, &TBackdrop::SetParentColor).WithDefault(true),
       P::Enum<TDirection>("Direction", &DirectionTypeInfo(), &TBackdrop::Direction, &TBackdrop::SetDirection)
           .WithDefault(int64_t(TDirection::bdUp)),
       P::Int("StartColor", &TBackdrop::StartColor, &TBackdrop::SetStartColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBlue)),
       P::Int("EndColor", &TBackdrop::EndColor, &TBackdrop::SetEndColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBlack))}};
  return info;
}

TBackdrop::TBackdrop(TComponent* owner) : TGraphicControl(owner) { SetAlign(TAlign::alClient); }

void TBackdrop::SetDirection(TDirection d) {
  if (d == direction_) return;
  direction_ = d;
  Invalidate();
}

void TBackdrop::SetStartColor(TColor c) {
  if (c == startColor_) return;
  startColor_ = c;
  Invalidate();
}

void TBackdrop::SetEndColor(TColor c) {
  if (c == endColor_) return;
  endColor_ = c;
  Invalidate();
}

void TBackdrop::Paint() {
  TCanvas& c = Canvas();
  c.Pen().SetStyle(TPenStyle::psSolid);
  for (const setup_ui::TBand& band :
       setup_ui::BackdropBands(direction_, ColorToRGB(startColor_), ColorToRGB(endColor_), Width(), Height())) {
    if (band.Rect.Width() <= 0 || band.Rect.Height() <= 0) continue;
    c.Brush().SetColor(TColor(band.Color));
    c.FillRect(band.Rect);
  }
}

// ---- TRotate3DLabel

const TClassInfo& TRotate3DLabel::StaticClass() {
  using P = TProps<TRotate3DLabel>;
  static const TClassInfo info{
      "TRotate3DLabel", &TLabel::StaticClass(), Factory<TRotate3DLabel>(),
      {P::Bool("AutoSize", &TRotate3DLabel::AutoSize, &TRotate3DLabel::SetAutoSize).WithDefault(false),
       // Its own font (Arial, bold) from the start.
       P::Bool("ParentFont", &TRotate3DLabel::ParentFont, &TRotate3DLabel::SetParentFont).WithDefault(false),
       P::Bool("Transparent", &TRotate3DLabel::Transparent, &TRotate3DLabel::SetTransparent).WithDefault(true),
       P::Nested("LabelStyle", [](TRotate3DLabel& l) -> TPersistent& { return l.LabelStyle(); }),
       P::Bool("MyTransparent", &TRotate3DLabel::MyTransparent, &TRotate3DLabel::SetMyTransparent)
           .WithDefault(true)}};
  return info;
}

TRotate3DLabel::TRotate3DLabel(TComponent* owner) : TLabel(owner) {
  SetTransparent(true);
  SetAutoSize(false);
  Font().SetName("Arial");
  Font().SetStyle(fsBold);
  style_.OnChange = TNotifyEvent([this](TObject*) { Invalidate(); });
}

void TRotate3DLabel::SetLabelStyle(const TLabelStyle& style) {
  style_.Assign(style);
  Invalidate();
}

void TRotate3DLabel::SetMyTransparent(bool v) {
  if (v == myTransparent_) return;
  myTransparent_ = v;
  if (!v) {
    const TColor own = Color();
    SetParentColor(true);
    SetColor(own);
  }
  Invalidate();
}

void TRotate3DLabel::WMEraseBkgnd(TMessage& m) { m.Result = 1; }

void TRotate3DLabel::Paint() {
  const double radians = style_.Angle() * (3.14159265358979323846 / 180.0);
  cos_ = std::cos(radians);
  sin_ = std::sin(radians);
  if (!myTransparent_) style_.SetAStyle3D(T3DEffectShort::A3dNormal);
  TCanvas& c = Canvas();
  HDC dc = c.Handle();
  PaintParentBeneath(dc);
  c.Font().Assign(Font());
  c.Brush().SetStyle(TBrushStyle::bsClear);
  const std::string caption = Caption();
  const TSize extent = c.TextExtent(caption);
  const setup_ui::TLabelGeometry g =
      setup_ui::RotatedLabelGeometry(style_.Angle(), extent.Width, extent.Height, Width(), Height());
  if (!myTransparent_) {
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.Brush().SetColor(Color());
    c.Pen().SetColor(Color());
    c.Polygon({g.Box.begin(), g.Box.end()});
    c.Brush().SetStyle(TBrushStyle::bsClear);
  }
  LOGFONTA lf = Font().LogFont();
  lf.lfEscapement = lf.lfOrientation = style_.Angle() * 10;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  HFONT rotated = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, rotated);
  SetBkMode(dc, TRANSPARENT);
  auto pass = [&](TColor color, int dx, int dy) {
    SetTextColor(dc, ColorToRGB(color));
    TextOutA(dc, g.Origin.X + dx, g.Origin.Y + dy, caption.c_str(), int(caption.size()));
  };
  switch (style_.AStyle3D()) {
    case T3DEffectShort::A3dResit:
      pass(style_.AShadeLeftTop(), 1, 1);
      pass(style_.AShadeRightBottom(), -1, -1);
      break;
    case T3DEffectShort::A3dRaised:
      pass(style_.AShadeLeftTop(), -1, -1);
      pass(style_.AShadeRightBottom(), 1, 1);
      break;
    case T3DEffectShort::A3dShadowed: pass(style_.AShadeRightBottom(), style_.AHShadeOffSet(), style_.AVShadeOffSet()); break;
    case T3DEffectShort::A3dNormal: break;
  }
  pass(Font().Color(), 0, 0);
  SelectObject(dc, old);
  DeleteObject(rotated);
}

namespace setup_ui {

void RegisterDecorClasses() {
  RegisterClass(TBackdrop::StaticClass());
  RegisterClass(TRotate3DLabel::StaticClass());
}

}  // namespace setup_ui
