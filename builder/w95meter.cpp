#include "builder/w95meter.h"

#include <algorithm>

namespace {
const TTypeInfo kByte{{}, {}, nullptr, 0, 255};
}  // namespace

const TClassInfo& TW95Meter::StaticClass() {
  using P = TProps<TW95Meter>;
  static const TClassInfo info{
      "TW95Meter", &TGraphicControl::StaticClass(), Factory<TW95Meter>(),
      {P::Int("EdgeStyle", [](const TW95Meter& m) { return int(m.EdgeStyle()); },
              [](TW95Meter& m, int v) { m.SetEdgeStyle(uint8_t(v)); }, &kByte)
           .WithDefault(int64_t(1)),
       P::Int("SegmentGap", &TW95Meter::SegmentGap, &TW95Meter::SetSegmentGap).WithDefault(int64_t(2)),
       P::Int("SegmentWidth", &TW95Meter::SegmentWidth, &TW95Meter::SetSegmentWidth).WithDefault(int64_t(8)),
       P::Int("SegmentColor", &TW95Meter::SegmentColor, &TW95Meter::SetSegmentColor, &ColorTypeInfo())
           .WithDefault(int64_t(0x800000)),
       P::Int("BackGroundColor", &TW95Meter::BackGroundColor, &TW95Meter::SetBackGroundColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace)),
       P::Int("Percent", &TW95Meter::Percent, &TW95Meter::SetPercent).WithDefault(int64_t(0))}};
  return info;
}

void RegisterW95Meter() { RegisterClass(TW95Meter::StaticClass()); }

TW95Meter::TW95Meter(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 100, 18); }

void TW95Meter::SetEdgeStyle(uint8_t style) {
  if (style == edgeStyle_) return;
  edgeStyle_ = style;
  Invalidate();
}

void TW95Meter::SetSegmentGap(int gap) {
  if (gap <= 0 || gap == segmentGap_) return;
  segmentGap_ = gap;
  Invalidate();
}

void TW95Meter::SetSegmentWidth(int width) {
  if (width <= 0 || width == segmentWidth_) return;
  segmentWidth_ = width;
  Invalidate();
}

void TW95Meter::SetSegmentColor(TColor color) {
  if (color == segmentColor_) return;
  segmentColor_ = color;
  Invalidate();
}

void TW95Meter::SetBackGroundColor(TColor color) {
  if (color == backGroundColor_) return;
  backGroundColor_ = color;
  Invalidate();
}

void TW95Meter::SetPercent(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == percent_) return;
  bool lower = percent == 0 || percent < percent_;
  percent_ = percent;
  // Fewer blocks need the background back first; more blocks only go on top.
  if (lower) Repaint();
  PaintDirect([this](TCanvas& c) { DrawBlocks(c); });
}

std::vector<TRect> TW95Meter::Blocks(int width, int height, int segmentWidth, int segmentGap, int percent) {
  std::vector<TRect> out;
  int step = segmentWidth + segmentGap;
  bool horizontal = height < width;
  int slots = (horizontal ? width : height) / step;
  int blocks = (slots * percent * 2 + 100) / 200;  // to the nearest, halves up
  for (int i = 0; i < blocks; ++i) {
    if (horizontal) {
      int x = 4 + i * step;
      if (x + segmentWidth > width - 4) break;
      out.push_back({x, 4, x + segmentWidth, height - 4});
    } else {
      int top = height - 4 - segmentWidth - i * step;
      if (top <= 3) break;
      out.push_back({4, top, width - 4, top + segmentWidth});
    }
  }
  return out;
}

void TW95Meter::DrawBlocks(TCanvas& c) {
  c.Pen().SetWidth(1);
  c.Pen().SetColor(segmentColor_);
  c.Brush().SetColor(segmentColor_);
  for (const TRect& r : Blocks(Width(), Height(), segmentWidth_, segmentGap_, percent_)) c.Rectangle(r);
}

void TW95Meter::Paint() {
  TCanvas& c = Canvas();
  int w = Width(), h = Height();
  c.Brush().SetColor(backGroundColor_);
  if (edgeStyle_ != 0) {
    TColor dark = 0x808080, light = 0xFFFFFF;
    bool sunken = edgeStyle_ == 1;
    c.Pen().SetWidth(2);
    c.Pen().SetColor(sunken ? dark : light);
    c.MoveTo(0, h);
    c.LineTo(0, 0);
    c.LineTo(w - 1, 0);
    c.Pen().SetColor(sunken ? light : dark);
    c.LineTo(w - 1, h - 1);
    c.LineTo(0, h - 1);
    c.FillRect({1, 1, w - 1, h - 1});
  } else {
    c.FillRect({0, 0, w, h});
  }
  if (percent_ > 0) DrawBlocks(c);
}
