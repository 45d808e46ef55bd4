#include "setup_ui/decor_models.h"

#include <cmath>

#include "framework/core/published.h"

const TTypeInfo& DirectionTypeInfo() {
  static const TTypeInfo info{
      {"bdUp", "bdDown", "bdLeft", "bdRight", "bdHorzIn", "bdHorzOut", "bdVertIn", "bdVertOut"}, {}};
  return info;
}

const TTypeInfo& Effect3DTypeInfo() {
  static const TTypeInfo info{{"A3dNormal", "A3dResit", "A3dRaised", "A3dShadowed"}, {}};
  return info;
}

namespace setup_ui {

int MulDiv(int a, int b, int c) {
  const int64_t p = int64_t(a) * b;
  return int(p < 0 ? (p - c / 2) / c : (p + c / 2) / c);
}

std::vector<TBand> BackdropBands(TDirection direction, uint32_t startColor, uint32_t endColor, int width,
                                 int height) {
  using D = TDirection;
  const bool firstIsStart = direction == D::bdUp || direction == D::bdLeft || direction == D::bdHorzOut ||
                            direction == D::bdVertIn;
  const bool mirrored = direction >= D::bdHorzIn;
  const bool vertical = direction == D::bdUp || direction == D::bdDown || direction == D::bdHorzIn ||
                        direction == D::bdHorzOut;  // bands run top to bottom
  const uint32_t a = firstIsStart ? startColor : endColor;
  const uint32_t b = firstIsStart ? endColor : startColor;
  const int extent = vertical ? height : width;
  const int steps = mirrored ? 127 : 255;
  auto channel = [](uint32_t c, int shift) { return int((c >> shift) & 0xFF); };
  auto band = [&](int from, int to) {
    return vertical ? TRect{0, from, width, to} : TRect{from, 0, to, height};
  };
  std::vector<TBand> bands;
  for (int n = 0; n <= steps; ++n) {
    uint32_t color = 0;
    for (int shift : {0, 8, 16}) {
      const int ca = channel(a, shift);
      const int v = (ca + MulDiv(n, channel(b, shift) - ca, steps)) & 0xFF;
      color |= uint32_t(v) << shift;
    }
    bands.push_back({band(MulDiv(n, extent, 256), MulDiv(n + 1, extent, 256)), color});
    if (mirrored) bands.push_back({band(MulDiv(255 - n, extent, 256), MulDiv(256 - n, extent, 256)), color});
  }
  return bands;
}

TLabelGeometry RotatedLabelGeometry(int angle, int textWidth, int textHeight, int width, int height) {
  const double radians = angle * (3.14159265358979323846 / 180.0);
  const double c = std::cos(radians), s = std::sin(radians);
  auto t = [](double v) { return int(v); };  // each product truncated on its own
  const int cx = width / 2, cy = height / 2;
  TLabelGeometry g;
  const double w = textWidth / 2.0, h = textHeight / 2.0;
  g.Origin = {cx - t(w * c) - t(h * s), cy + t(w * s) - t(h * c)};
  const double bw = (textWidth + 10) / 2.0, bh = (textHeight + 7) / 2.0;
  g.Box = {TPoint{cx - t(bw * c) - t(bh * s), cy + t(bw * s) - t(bh * c)},
           TPoint{cx + t(bw * c) - t(bh * s), cy - t(bw * s) - t(bh * c)},
           TPoint{cx + t(bw * c) + t(bh * s), cy + t(bh * c) - t(bw * s)},
           TPoint{cx + t(bh * s) - t(bw * c), cy + t(bw * s) + t(bh * c)}};
  return g;
}

}  // namespace setup_ui

const TClassInfo& TLabelStyle::StaticClass() {
  using P = TProps<TLabelStyle>;
  static const TClassInfo info{
      "TLabelStyle", &TPersistent::StaticClass(), nullptr,
      {P::Int("Angle", &TLabelStyle::Angle, &TLabelStyle::SetAngle).WithDefault(int64_t(0)),
       P::Enum<T3DEffectShort>("AStyle3D", &Effect3DTypeInfo(), &TLabelStyle::AStyle3D, &TLabelStyle::SetAStyle3D)
           .WithDefault(int64_t(T3DEffectShort::A3dRaised)),
       P::Int("AHShadeOffSet", &TLabelStyle::AHShadeOffSet, &TLabelStyle::SetAHShadeOffSet)
           .WithDefault(int64_t(5)),
       P::Int("AVShadeOffSet", &TLabelStyle::AVShadeOffSet, &TLabelStyle::SetAVShadeOffSet)
           .WithDefault(int64_t(-5)),
       P::Int("AShadeRightBottom", &TLabelStyle::AShadeRightBottom, &TLabelStyle::SetAShadeRightBottom,
              &ColorTypeInfo())
           .WithDefault(int64_t(0x808080)),
       P::Int("AShadeLeftTop", &TLabelStyle::AShadeLeftTop, &TLabelStyle::SetAShadeLeftTop, &ColorTypeInfo())
           .WithDefault(int64_t(clWhite)),
       // False, as a fresh style holds, so a stored True reads back.
       P::Bool("AShadeLTSet", &TLabelStyle::AShadeLTSet, &TLabelStyle::SetAShadeLTSet).WithDefault(false)}};
  return info;
}

void TLabelStyle::SetAngle(int angle) {
  if (angle < 0 || angle >= 360) angle = 0;
  if (angle == angle_) return;
  angle_ = angle;
  Changed();
}

void TLabelStyle::SetAStyle3D(T3DEffectShort style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TLabelStyle::SetAHShadeOffSet(int v) {
  if (v == hOffset_) return;
  hOffset_ = v;
  if (style_ == T3DEffectShort::A3dShadowed) Changed();
}

void TLabelStyle::SetAVShadeOffSet(int v) {
  if (v == vOffset_) return;
  vOffset_ = v;
  if (style_ == T3DEffectShort::A3dShadowed) Changed();
}

void TLabelStyle::SetAShadeRightBottom(TColor c) {
  if (c == rightBottom_) return;
  rightBottom_ = c;
  Changed();
}

void TLabelStyle::SetAShadeLeftTop(TColor c) {
  if (ltSet_ || c == leftTop_) return;
  leftTop_ = c;
  Changed();
}

void TLabelStyle::SetAShadeLTSet(bool v) {
  if (v == ltSet_) return;
  ltSet_ = v;
  if (v) {
    savedLeftTop_ = leftTop_;
    leftTop_ = clWhite;
    if ((style_ == T3DEffectShort::A3dResit || style_ == T3DEffectShort::A3dRaised) && savedLeftTop_ != clWhite)
      Changed();
  } else {
    leftTop_ = savedLeftTop_;
  }
}

void TLabelStyle::Assign(const TPersistent& src) {
  const auto* other = dynamic_cast<const TLabelStyle*>(&src);
  if (!other) {
    TPersistent::Assign(src);
    return;
  }
  SetAngle(other->angle_);
  SetAStyle3D(other->style_);
  SetAShadeRightBottom(other->rightBottom_);
  SetAShadeLeftTop(other->leftTop_);
  SetAShadeLTSet(other->ltSet_);
  SetAHShadeOffSet(other->hOffset_);
  SetAVShadeOffSet(other->vOffset_);
  Changed();
}
