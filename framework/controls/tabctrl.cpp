#include "framework/controls/tabctrl.h"

#include "framework/win/winapi.h"

namespace {
LRESULT Send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageA(h, msg, wp, lp); }
}  // namespace

const TClassInfo& TTabControl::StaticClass() {
  using P = TProps<TTabControl>;
  static const TClassInfo info{
      "TTabControl", &TWinControl::StaticClass(), Factory<TTabControl>(),
      {P::Strings("Tabs", [](TTabControl& t) -> TPersistent& { return t.Tabs(); }),
       P::Int("TabIndex", &TTabControl::TabIndex, &TTabControl::SetTabIndex).WithDefault(int64_t(-1)),
       P::Event("OnChange", &TTabControl::OnChange), P::Event("OnChanging", &TTabControl::OnChanging)}};
  return info;
}

TTabControl::TTabControl(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 289, 193);
  tabs_.OnChange = TNotifyEvent([this](TObject*) { TabsChanged(); });
}

void TTabControl::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = WC_TABCONTROLA;
  p.Style |= WS_CLIPCHILDREN | TCS_TABS;
}

void TTabControl::CreateWindowHandle() {
  for (int i = 0; i < tabs_.Count(); ++i) {
    std::string text = tabs_.Get(i);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    Send(Handle(), TCM_INSERTITEMA, WPARAM(i), reinterpret_cast<LPARAM>(&item));
  }
  if (tabIndex_ >= 0) Send(Handle(), TCM_SETCURSEL, WPARAM(tabIndex_));
}

void TTabControl::TabsChanged() {
  if (IsDestroying()) return;
  if (tabs_.Count() == 0) tabIndex_ = -1;
  else if (tabIndex_ < 0) tabIndex_ = 0;
  else if (tabIndex_ >= tabs_.Count()) tabIndex_ = tabs_.Count() - 1;
  if (!HandleAllocated()) return;
  Send(Handle(), TCM_DELETEALLITEMS);
  CreateWindowHandle();
}

void TTabControl::SetTabIndex(int index) {
  if (index < -1 || index >= tabs_.Count()) return;
  tabIndex_ = index;
  if (HandleAllocated()) Send(Handle(), TCM_SETCURSEL, WPARAM(index));
}

void TTabControl::Change() { OnChange(this); }

void TTabControl::CNNotify(TMessage& m) {
  const NMHDR& hdr = NotifyOf(m);
  if (hdr.code == UINT(TCN_SELCHANGING)) {
    bool allow = true;
    if (EventsAllowed()) OnChanging(this, allow);
    m.Result = allow ? FALSE : TRUE;
  } else if (hdr.code == UINT(TCN_SELCHANGE)) {
    tabIndex_ = int(Send(Handle(), TCM_GETCURSEL));
    if (EventsAllowed()) Change();
  }
}
