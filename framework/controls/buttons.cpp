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
    DrawTextA(dc, caption.c_str(), int(caption.size()), &t, DT_SINGLELINE);
  }
  SelectObject(dc, oldFont);
  if (d.itemState & ODS_FOCUS) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
}
