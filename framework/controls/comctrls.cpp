#include "framework/controls/comctrls.h"

#include <algorithm>

namespace {
LRESULT Send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageA(h, msg, wp, lp); }
bool NotStored(const TPersistent&) { return false; }
}  // namespace

// ---- TTabSheet

const TClassInfo& TTabSheet::StaticClass() {
  using P = TProps<TTabSheet>;
  static const TClassInfo info{
      "TTabSheet", &TWinControl::StaticClass(), Factory<TTabSheet>(),
      {P::Str("Caption", &TTabSheet::Caption, &TTabSheet::SetCaption).WithDefault(std::string()),
       // Bounds and visibility follow the page control.
       P::Int("Left", &TTabSheet::Left, &TTabSheet::SetLeft).WithStored(NotStored),
       P::Int("Top", &TTabSheet::Top, &TTabSheet::SetTop).WithStored(NotStored),
       P::Int("Width", &TTabSheet::Width, &TTabSheet::SetWidth).WithStored(NotStored),
       P::Int("Height", &TTabSheet::Height, &TTabSheet::SetHeight).WithStored(NotStored),
       P::Bool("Visible", &TTabSheet::Visible, &TTabSheet::SetVisible).AsHidden(),
       P::Int("Color", &TTabSheet::Color, &TTabSheet::SetColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace))
           .WithStored([](const TPersistent& o) { return !static_cast<const TTabSheet&>(o).ParentColor(); }),
       P::Int("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex)
           .WithStored([](const TPersistent& o) { return static_cast<const TTabSheet&>(o).PageControl() != nullptr; }),
       P::Bool("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible).WithDefault(true)}};
  return info;
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(csAcceptsControls | csClickEvents);
  SetColor(clBtnFace);
  InitVisible(false);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pc == pageControl_) return;
  if (pageControl_) pageControl_->RemovePage(this);
  SetParent(pc);
  if (pc) pc->InsertPage(this);
}

void TTabSheet::BeforeDestruction() {
  if (pageControl_) pageControl_->RemovePage(this);
  TWinControl::BeforeDestruction();
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& p = pageControl_->pages_;
  return int(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int index) {
  if (pageControl_) pageControl_->MovePage(this, index);
}

void TTabSheet::SetTabVisible(bool v) {
  if (v == tabVisible_) return;
  tabVisible_ = v;
  if (!pageControl_) return;
  if (!v && pageControl_->active_ == this) {
    pageControl_->active_ = nullptr;
    for (TTabSheet* s : pageControl_->pages_)
      if (s->tabVisible_) {
        pageControl_->active_ = s;
        break;
      }
  }
  pageControl_->UpdateTabs();
  pageControl_->ShowActive();
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int i = 0;
  for (TTabSheet* s : pageControl_->pages_) {
    if (s == this) return i;
    if (s->tabVisible_) ++i;
  }
  return -1;
}

void TTabSheet::TextChanged() {
  TWinControl::TextChanged();
  if (pageControl_) pageControl_->UpdateTabs();
}

// ---- TPageControl

const TClassInfo& TPageControl::StaticClass() {
  using P = TProps<TPageControl>;
  static const TClassInfo info{
      "TPageControl", &TWinControl::StaticClass(), Factory<TPageControl>(),
      {P::Bool("TabStop", &TPageControl::TabStop, &TPageControl::SetTabStop).WithDefault(true),
       P::Int("Color", &TPageControl::Color, &TPageControl::SetColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace))
           .WithStored([](const TPersistent& o) { return !static_cast<const TPageControl&>(o).ParentColor(); }),
       P::Component<TTabSheet>("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage),
       P::Event("OnChange", &TPageControl::OnChange),
       P::Event("OnChanging", &TPageControl::OnChanging)}};
  return info;
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(csAcceptsControls);
  SetColor(clBtnFace);
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
}

void TPageControl::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = WC_TABCONTROLA;
  p.Style |= WS_CLIPCHILDREN | TCS_TABS;
}

void TPageControl::AdoptChild(TComponent& child) {
  auto* sheet = dynamic_cast<TTabSheet*>(&child);
  if (!sheet) TComponent::AdoptChild(child);
  sheet->SetPageControl(this);
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->pageControl_ = this;
  if (!active_ && page->tabVisible_ && !IsLoading()) active_ = page;
  UpdateTabs();
  AlignControls();
  ShowActive();
}

void TPageControl::RemovePage(TTabSheet* page) {
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  page->pageControl_ = nullptr;
  if (active_ == page) {
    active_ = nullptr;
    for (TTabSheet* s : pages_)
      if (s->tabVisible_) {
        active_ = s;
        break;
      }
  }
  if (IsDestroying()) return;
  UpdateTabs();
  ShowActive();
}

void TPageControl::MovePage(TTabSheet* page, int index) {
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  index = std::clamp(index, 0, int(pages_.size()));
  pages_.insert(pages_.begin() + index, page);
  UpdateTabs();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  active_ = page;
  if (IsLoading()) return;
  UpdateTabs();
  ShowActive();
}

int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[size_t(index)] : nullptr);
}

void TPageControl::Loaded() {
  TWinControl::Loaded();
  if (!active_)
    for (TTabSheet* s : pages_)
      if (s->tabVisible_) {
        active_ = s;
        break;
      }
  UpdateTabs();
  ShowActive();
}

void TPageControl::UpdateTabs() {
  if (!HandleAllocated() || IsLoading()) return;
  HWND h = Handle();
  Send(h, TCM_DELETEALLITEMS);
  int i = 0;
  for (TTabSheet* s : pages_) {
    if (!s->tabVisible_) continue;
    std::string caption = s->Caption();
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    Send(h, TCM_INSERTITEMA, WPARAM(i++), reinterpret_cast<LPARAM>(&item));
  }
  if (active_) Send(h, TCM_SETCURSEL, WPARAM(active_->TabIndex()));
  AlignControls();
}

void TPageControl::ShowActive() {
  if (IsLoading() || IsDestroying()) return;
  for (TTabSheet* s : pages_)
    if (s != active_) s->SetVisible(false);
  if (active_) {
    active_->SetVisible(true);
    active_->BringToFront();
  }
}

void TPageControl::CreateWindowHandle() {
  UpdateTabs();
  ShowActive();
}

TRect TPageControl::DisplayRect() const {
  TRect r = ClientRect();
  if (!HandleAllocated()) return {r.Left + 4, r.Top + 24, r.Right - 4, r.Bottom - 4};
  RECT rc = ToRECT(r);
  Send(const_cast<TPageControl*>(this)->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
  return FromRECT(rc);
}

void TPageControl::AlignControls() {
  if (IsLoading() || IsDestroying()) return;
  TRect r = DisplayRect();
  for (TTabSheet* s : pages_) s->SetBounds(r.Left, r.Top, std::max(r.Width(), 0), std::max(r.Height(), 0));
  TWinControl::AlignControls();
}

void TPageControl::CNNotify(TMessage& m) {
  const NMHDR& hdr = NotifyOf(m);
  if (hdr.code == UINT(TCN_SELCHANGING)) {
    bool allow = true;
    if (EventsAllowed()) OnChanging(this, allow);
    m.Result = allow ? FALSE : TRUE;
  } else if (hdr.code == UINT(TCN_SELCHANGE)) {
    int tab = int(Send(Handle(), TCM_GETCURSEL));
    for (TTabSheet* s : pages_)
      if (s->TabIndex() == tab) active_ = s;
    ShowActive();
    if (EventsAllowed()) Change();
  }
}

void TPageControl::Change() { OnChange(this); }

// ---- TProgressBar

const TClassInfo& TProgressBar::StaticClass() {
  using P = TProps<TProgressBar>;
  static const TClassInfo info{"TProgressBar", &TWinControl::StaticClass(), Factory<TProgressBar>(),
                               {P::Int("Min", &TProgressBar::Min, &TProgressBar::SetMin).WithDefault(int64_t(0)),
                                P::Int("Max", &TProgressBar::Max, &TProgressBar::SetMax).WithDefault(int64_t(100)),
                                P::Int("Position", &TProgressBar::Position, &TProgressBar::SetPosition)
                                    .WithDefault(int64_t(0))}};
  return info;
}

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 150, 16); }

void TProgressBar::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = PROGRESS_CLASSA;
}

void TProgressBar::CreateWindowHandle() {
  Send(Handle(), PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
  Send(Handle(), PBM_SETPOS, WPARAM(position_));
}

void TProgressBar::SetMin(int v) {
  min_ = v;
  if (HandleAllocated()) Send(Handle(), PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
}

void TProgressBar::SetMax(int v) {
  max_ = v;
  if (HandleAllocated()) Send(Handle(), PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
}

void TProgressBar::SetPosition(int v) {
  position_ = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
  if (HandleAllocated()) Send(Handle(), PBM_SETPOS, WPARAM(position_));
}
