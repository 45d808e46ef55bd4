#include "shell_controls/image_combo_win32.h"

#include "framework/win/forms.h"
#include "shell_controls/combo_geometry.h"

// ---- TQsCustomCombobox

const TClassInfo& TQsCustomCombobox::StaticClass() {
  static const TClassInfo info{"TQsCustomCombobox", &TComboBox::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TQsCombobox::StaticClass() {
  using P = TProps<TQsCombobox>;
  static const TClassInfo info{"TQsCombobox", &TQsCustomCombobox::StaticClass(), Factory<TQsCombobox>(),
                               {P::Event("OnDeleteItem", &TQsCombobox::OnDeleteItem),
                                P::Event("OnCloseUp", &TQsCombobox::OnCloseUp),
                                P::Event("OnSelEndCancel", &TQsCombobox::OnSelEndCancel),
                                P::Event("OnSelEndOk", &TQsCombobox::OnSelEndOk)}};
  return info;
}

TQsCustomCombobox::TQsCustomCombobox(TComponent* owner) : TComboBox(owner) {}

void TQsCustomCombobox::DeleteItem(void* data) {
  if (EventsAllowed()) OnDeleteItem(this, data);
}

void TQsCustomCombobox::DeleteItem(int, TObject* data) { DeleteItem(static_cast<void*>(data)); }

void TQsCustomCombobox::CloseUp() {
  if (EventsAllowed()) OnCloseUp(this);
}

void TQsCustomCombobox::SelEndCancel() {
  if (EventsAllowed()) OnSelEndCancel(this);
}

void TQsCustomCombobox::SelEndOk() {
  if (EventsAllowed()) OnSelEndOk(this);
}

void TQsCustomCombobox::CNCommand(TMessage& m) {
  switch (HIWORD(m.WParam)) {
    case CBN_CLOSEUP:
      CloseUp();
      return;
    case CBN_SELENDOK:
      SelEndOk();
      return;
    case CBN_SELENDCANCEL:
      SelEndCancel();
      return;
    default:
      TComboBox::CNCommand(m);
  }
}

void TQsCustomCombobox::CNDeleteItem(TMessage& m) {
  TComboBox::CNDeleteItem(m);
  reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->itemData = 0;
}

// ---- TQsImageComboItem

void TQsImageComboItem::SetOverlayIndex(int i) {
  overlayIndex_ = i;
  Combo->Invalidate();
}

// ---- TQsCustomImageCombo

const TClassInfo& TQsCustomImageCombo::StaticClass() {
  static const TClassInfo info{"TQsCustomImageCombo", &TQsCustomCombobox::StaticClass(), nullptr, {}};
  return info;
}

TQsCustomImageCombo::TQsCustomImageCombo(TComponent* owner) : TQsCustomCombobox(owner) {
  SetStyle(TComboBoxStyle::csOwnerDrawFixed);
  FontChanged(Font().Handle());
}

void TQsCustomImageCombo::SetIndentPixels(int v) {
  if (v == indentPixels_) return;
  indentPixels_ = v;
  Invalidate();
}

void TQsCustomImageCombo::SetAutoItemHeight(bool v) {
  autoItemHeight_ = v;
  FontChanged(Font().Handle());
}

void TQsCustomImageCombo::SetImages(TImageList* images) {
  images_ = images;
  Invalidate();
  if (!IsLoading()) FontChanged(Font().Handle());
}

void TQsCustomImageCombo::FontChanged() {
  TQsCustomCombobox::FontChanged();
  FontChanged(Font().Handle());
}

void TQsCustomImageCombo::FontChanged(HFONT font) {
  if (!autoItemHeight_) return;
  HDC dc = GetDC(nullptr);
  if (!dc) return;
  TEXTMETRICA tm{};
  HGDIOBJ old = SelectObject(dc, font);
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  TImageList* images = Images();
  SetItemHeight(shell::ComboItemHeight(tm.tmHeight, images != nullptr, images ? images->Height() : 0));
}

void TQsCustomImageCombo::CreateParams(TCreateParams& p) {
  TQsCustomCombobox::CreateParams(p);
  p.Style &= ~DWORD(CBS_HASSTRINGS);
}

void TQsCustomImageCombo::CreateWindowHandle() {
  TQsCustomCombobox::CreateWindowHandle();
  SendMessageA(Handle(), CB_SETEXTENDEDUI, 1, 0);
}

void TQsCustomImageCombo::DestroyWnd() {
  if (HandleAllocated()) Items().Clear();
  TQsCustomCombobox::DestroyWnd();
}

TQsImageComboItem* TQsCustomImageCombo::AddItem(const std::string& caption, int imageIndex, int indent) {
  auto* item = new TQsImageComboItem(this);
  item->Caption = caption;
  item->ImageIndex = imageIndex;
  item->Indent = indent;
  try {
    item->Index = Items().AddObject("", item);
  } catch (...) {
    delete item;
    throw;
  }
  return item;
}

TQsImageComboItem* TQsCustomImageCombo::GetItem(int index) const {
  return As<TQsImageComboItem>(const_cast<TQsCustomImageCombo*>(this)->Items().GetObject(index));
}

void TQsCustomImageCombo::DeleteItem(void* data) {
  auto* item = dynamic_cast<TQsImageComboItem*>(static_cast<TObject*>(data));
  if (!item) return;
  struct Free {
    TQsImageComboItem* item;
    ~Free() { delete item; }
  } free{item};
  if (EventsAllowed()) OnDeleteItem(this, item);
}

void TQsCustomImageCombo::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  TQsImageComboItem* item = GetItem(index);
  if (!item) return;
  TCanvas& c = Canvas();
  // The edit part draws in the combo's own window, the drop-down list in its list window.
  int level = WindowFromDC(c.Handle()) == Handle() ? 0 : item->Indent;
  bool selected = state & odSelected;
  c.Brush().SetColor(clWindow);
  c.FillRect(rect);
  TImageList* images = Images();
  int textWidth = item->Caption.empty() ? 0 : c.TextWidth(item->Caption);
  shell::TComboEntryLayout l = shell::LayoutComboEntry(rect, level, indentPixels_, images != nullptr,
                                                      images ? images->Width() : 0, images ? images->Height() : 0,
                                                      textWidth);
  if (images) {
    if (selected) {
      c.Brush().SetColor(clHighlight);
      images->SetBlendColor(clHighlight);
      images->SetDrawingStyle(TDrawingStyle::dsSelected);
    } else {
      images->SetDrawingStyle(TDrawingStyle::dsNormal);
    }
    if (item->OverlayIndex() >= 0)
      images->DrawOverlay(c, l.Image.X, l.Image.Y, item->ImageIndex, item->OverlayIndex());
    else
      images->Draw(c, l.Image.X, l.Image.Y, item->ImageIndex);
  }
  if (selected) c.Brush().SetColor(clHighlight);
  if (!item->Caption.empty()) c.TextRect(l.TextBox, l.Text.X, l.Text.Y, item->Caption);
}

void TQsCustomImageCombo::WMEraseBkgnd(TMessage& m) {
  auto* form = dynamic_cast<TForm*>(Owner());
  HBRUSH brush = CreateSolidBrush(GdiColor(form ? form->Color() : clWindow));
  RECT r{};
  GetClientRect(Handle(), &r);
  FillRect(reinterpret_cast<HDC>(m.WParam), &r, brush);
  DeleteObject(brush);
  m.Result = 1;
}
