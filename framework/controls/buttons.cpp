#include "framework/controls/buttons.h"

#include "framework/core/streams.h"

namespace {

const TTypeInfo kKinds{{"bkCustom", "bkOK"}, {}};

std::vector<uint8_t> GlyphData(TBitBtn& b) {
  if (b.Glyph().Empty()) return {};
  TMemoryStream s;
  b.Glyph().SaveToStream(s);
  return {s.Memory(), s.Memory() + s.Size()};
}

void SetGlyphData(TBitBtn& b, const std::vector<uint8_t>& data) {
  TBitmap glyph;
  if (!data.empty()) {
    TMemoryStream s;
    s.WriteBuffer(data.data(), int32_t(data.size()));
    s.Seek(0, TSeekOrigin::soBeginning);
    glyph.LoadFromStream(s);
  }
  b.SetGlyph(glyph);
}

}  // namespace

const TClassInfo& TBitBtn::StaticClass() {
  using P = TProps<TBitBtn>;
  static const TClassInfo info{
      "TBitBtn", &TButton::StaticClass(), Factory<TBitBtn>(),
      {P::Enum<TBitBtnKind>("Kind", &kKinds, &TBitBtn::Kind, &TBitBtn::SetKind).WithDefault(int64_t(0)),
       P::Binary("Glyph", [](const TBitBtn& b) { return GlyphData(const_cast<TBitBtn&>(b)); }, &SetGlyphData)
           .WithStored([](const TPersistent& o) { return !const_cast<TBitBtn&>(static_cast<const TBitBtn&>(o)).Glyph().Empty(); })}};
  return info;
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  if (kind == TBitBtnKind::bkOK) {
    SetModalResult(mrOk);
    SetDefault(true);
  }
}

void TBitBtn::SetGlyph(const TBitmap& glyph) {
  glyph_.Assign(glyph);
  Invalidate();
}

void TBitBtn::CreateParams(TCreateParams& p) {
  TButton::CreateParams(p);
  p.Style = (p.Style & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TBitBtn::WndProc(TMessage& m) {
  switch (m.Msg) {
    case BM_SETSTYLE:
      // Default changes the style of a plain button; this one stays owner-drawn and shows
      // its default frame itself.
      m.WParam = (m.WParam & ~WPARAM(BS_TYPEMASK)) | BS_OWNERDRAW;
      TButton::WndProc(m);
      Invalidate();
      return;
    case CN_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
      m.Result = TRUE;
      return;
  }
  TButton::WndProc(m);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& d) {
  HDC dc = d.hDC;
  RECT r = d.rcItem;
  bool pushed = d.itemState & ODS_SELECTED;
  bool disabled = d.itemState & ODS_DISABLED;
  if (Default() || (d.itemState & ODS_FOCUS)) {
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

  std::string caption = Caption();
  HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
  RECT textSize{0, 0, 0, 0};
  if (!caption.empty()) DrawTextA(dc, caption.c_str(), int(caption.size()), &textSize, DT_SINGLELINE | DT_CALCRECT);
  int gw = glyph_.Empty() ? 0 : glyph_.Width(), gh = glyph_.Empty() ? 0 : glyph_.Height();
  int tw = int(textSize.right), th = int(textSize.bottom);
  int total = gw + (gw && tw ? kSpacing : 0) + tw;
  int x = int(r.left + (r.right - r.left - total) / 2) + (pushed ? 1 : 0);
  int cy = int((r.top + r.bottom) / 2) + (pushed ? 1 : 0);
  if (gw) {
    TransparentBlt(dc, x, cy - gh / 2, gw, gh, glyph_.Canvas().Handle(), 0, 0, gw, gh,
                   GetPixel(glyph_.Canvas().Handle(), 0, gh - 1));
    x += gw + (tw ? kSpacing : 0);
  }
  if (tw) {
    RECT t{x, cy - th / 2, x + tw, cy - th / 2 + th};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    // The rectangle places the text only: with a "&" prefix the system draws it a pixel
    // wider than it measures it, and clipping would cut the last character.
    DrawTextA(dc, caption.c_str(), int(caption.size()), &t, DT_SINGLELINE | DT_NOCLIP);
  }
  SelectObject(dc, oldFont);
  if (d.itemState & ODS_FOCUS) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
}

// ---- TSpeedButton

const TClassInfo& TSpeedButton::StaticClass() {
  using P = TProps<TSpeedButton>;
  static const TClassInfo info{
      "TSpeedButton", &TCustomControl::StaticClass(), Factory<TSpeedButton>(),
      {P::Int("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex).WithDefault(int64_t(0)),
       P::Bool("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp).WithDefault(false),
       P::Bool("Down", &TSpeedButton::Down, &TSpeedButton::SetDown).WithDefault(false),
       P::Int("Color", &TSpeedButton::Color, &TSpeedButton::SetColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace))
           .WithStored([](const TPersistent& o) { return !static_cast<const TSpeedButton&>(o).ParentColor(); })}};
  return info;
}

TSpeedButton::TSpeedButton(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(csClickEvents);
  SetBounds(0, 0, 23, 22);
  SetColor(clBtnFace);
}

void TSpeedButton::SetDown(bool v) {
  if (v == down_) return;
  down_ = v;
  if (v && groupIndex_ != 0 && Parent())
    for (TControl* c : Parent()->ControlList())
      if (auto* other = dynamic_cast<TSpeedButton*>(c))
        if (other != this && other->groupIndex_ == groupIndex_) other->SetDown(false);
  Invalidate();
}

void TSpeedButton::Click() {
  if (groupIndex_ != 0) {
    if (!down_)
      SetDown(true);
    else if (allowAllUp_)
      SetDown(false);
  }
  TCustomControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && Enabled()) {
    pressed_ = true;
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (pressed_) {
    pressed_ = false;
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::WndProc(TMessage& m) {
  if (m.Msg == WM_MOUSEACTIVATE) {
    m.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::WndProc(m);
}

void TSpeedButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  c.Brush().SetColor(Color());
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.FillRect(r);
  bool sunken = down_ || pressed_;
  if (down_ && !pressed_) {
    // A down button shows a lighter checked face, as the shell's toolbars do.
    c.Brush().SetColor(cl3DLight);
    c.FillRect({r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2});
  }
  RECT edge = ToRECT(r);
  DrawEdge(c.Handle(), &edge, sunken ? BDR_SUNKENOUTER | BDR_SUNKENINNER : BDR_RAISEDINNER | BDR_RAISEDOUTER, BF_RECT);
  if (glyph_.Empty()) return;
  int shift = sunken ? 1 : 0;
  int x = (r.Width() - glyph_.Width()) / 2 + shift, y = (r.Height() - glyph_.Height()) / 2 + shift;
  c.Draw(x, y, glyph_);
}

