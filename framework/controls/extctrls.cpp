#include "framework/controls/extctrls.h"

namespace {
const TTypeInfo kBevelCuts{{"bvNone", "bvLowered", "bvRaised"}, {}};
const TTypeInfo kBevelWidths{{}, {}, nullptr, 1, 64};
const TTypeInfo kBorderWidths{{}, {}, nullptr, 0, 64};

void Bevel(TCanvas& canvas, TRect& r, TBevelCut cut, int width) {
  if (cut == TBevelCut::bvNone) return;
  bool raised = cut == TBevelCut::bvRaised;
  Frame3D(canvas, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, width);
}
}  // namespace

const TClassInfo& TCustomPanel::StaticClass() {
  static const TClassInfo info{"TCustomPanel", &TCustomControl::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TPanel::StaticClass() {
  using P = TProps<TPanel>;
  static const TClassInfo info{
      "TPanel", &TCustomPanel::StaticClass(), Factory<TPanel>(),
      {P::Str("Caption", &TPanel::Caption, &TPanel::SetCaption).WithDefault(std::string()),
       P::Int("Color", &TPanel::Color, &TPanel::SetColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace))
           .WithStored([](const TPersistent& o) { return !static_cast<const TPanel&>(o).ParentColor(); }),
       P::Enum<TBevelCut>("BevelOuter", &kBevelCuts, &TPanel::BevelOuter, &TPanel::SetBevelOuter)
           .WithDefault(int64_t(TBevelCut::bvRaised)),
       P::Enum<TBevelCut>("BevelInner", &kBevelCuts, &TPanel::BevelInner, &TPanel::SetBevelInner)
           .WithDefault(int64_t(TBevelCut::bvNone)),
       P::Int("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, &kBevelWidths).WithDefault(int64_t(1)),
       P::Int("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, &kBorderWidths)
           .WithDefault(int64_t(0)),
       P::Enum<TAlignment>("Alignment", &AlignmentTypeInfo(), &TPanel::Alignment, &TPanel::SetAlignment)
           .WithDefault(int64_t(TAlignment::taCenter))}};
  return info;
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(csAcceptsControls | csClickEvents);
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TCustomPanel::SetBevelOuter(TBevelCut b) {
  bevelOuter_ = b;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut b) {
  bevelInner_ = b;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int w) {
  bevelWidth_ = w;
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& r) const {
  TCustomControl::AdjustClientRect(r);
  int bevels = (bevelOuter_ != TBevelCut::bvNone ? bevelWidth_ : 0) +
               (bevelInner_ != TBevelCut::bvNone ? bevelWidth_ : 0);
  r.Left += bevels;
  r.Top += bevels;
  r.Right -= bevels;
  r.Bottom -= bevels;
}

void TCustomPanel::WMEraseBkgnd(TMessage& m) { m.Result = 1; }

void TCustomPanel::Paint() {
  TRect r = ClientRect();
  Canvas().Brush().SetColor(Color());
  Canvas().FillRect(r);
  Bevel(Canvas(), r, bevelOuter_, bevelWidth_);
  r.Left += BorderWidth();
  r.Top += BorderWidth();
  r.Right -= BorderWidth();
  r.Bottom -= BorderWidth();
  Bevel(Canvas(), r, bevelInner_, bevelWidth_);
  std::string caption = Caption();
  if (caption.empty()) return;
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
  flags |= alignment_ == TAlignment::taLeftJustify    ? DT_LEFT
           : alignment_ == TAlignment::taRightJustify ? DT_RIGHT
                                                      : DT_CENTER;
  Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  if (!Enabled()) Canvas().Font().SetColor(clGrayText);
  Canvas().DrawText(caption, r, flags);
}
