#include "framework/win/menus.h"

#include <algorithm>

#include "framework/core/seam.h"
#include "framework/win/application.h"

namespace {

UINT DefaultTrack(TPopupMenu& menu, HMENU h, int x, int y) {
  HWND owner = Application ? Application->Handle() : nullptr;
  if (auto* w = dynamic_cast<TWinControl*>(menu.PopupComponent()))
    if (w->HandleAllocated()) owner = w->Handle();
  return UINT(TrackPopupMenu(h, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0, owner, nullptr));
}

TSeam<TPopupTrackFunction>& Track() {
  static TSeam<TPopupTrackFunction> seam{TPopupTrackFunction(DefaultTrack)};
  return seam;
}

void ClearCommands(TMenuItem& item, const std::function<void(TMenuItem&)>& fn) {
  for (int i = 0; i < item.Count(); ++i) {
    fn(*item.Items(i));
    ClearCommands(*item.Items(i), fn);
  }
}

}  // namespace

TPopupTrackFunction SetPopupTrackFunction(TPopupTrackFunction fn) { return Track().Set(std::move(fn)); }

// ---- TMenuItem

const TClassInfo& TMenuItem::StaticClass() {
  using P = TProps<TMenuItem>;
  static const TClassInfo info{
      "TMenuItem", &TComponent::StaticClass(), Factory<TMenuItem>(),
      {P::Str("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption).WithDefault(std::string()),
       P::Str("Hint", &TMenuItem::Hint, &TMenuItem::SetHint).WithDefault(std::string()),
       P::Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).WithDefault(true),
       P::Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).WithDefault(false),
       P::Bool("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem).WithDefault(false),
       P::Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).WithDefault(true),
       P::Int("ShortCut", &TMenuItem::ShortCut, [](TMenuItem& m, int v) { m.SetShortCut(TShortCut(v)); })
           .WithDefault(int64_t(0)),
       P::Event("OnClick", &TMenuItem::OnClick)}};
  return info;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

void TMenuItem::Add(TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
}

void TMenuItem::Remove(TMenuItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  if (item->parent_ == this) item->parent_ = nullptr;
}

void TMenuItem::Click() {
  if (ComponentState() & (csLoading | csDestroying)) return;
  OnClick(this);
}

void TMenuItem::AdoptChild(TComponent& child) {
  auto* item = dynamic_cast<TMenuItem*>(&child);
  if (!item) TComponent::AdoptChild(child);
  Add(item);
}

void TMenuItem::GetChildren(const std::function<void(TComponent&)>& fn) const {
  std::vector<TMenuItem*> items = items_;
  for (TMenuItem* i : items) fn(*i);
}

void TMenuItem::BeforeDestruction() {
  // Sub-items go with their item, whoever owns them.
  while (!items_.empty()) {
    TMenuItem* last = items_.back();
    Remove(last);
    if (!last->IsDestroying()) last->Free();
  }
  if (parent_) parent_->Remove(this);
  TComponent::BeforeDestruction();
}

// ---- TPopupMenu

const TClassInfo& TPopupMenu::StaticClass() {
  using P = TProps<TPopupMenu>;
  static const TClassInfo info{
      "TPopupMenu", &TComponent::StaticClass(), Factory<TPopupMenu>(),
      {P::Bool("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup).WithDefault(true),
       P::Event("OnPopup", &TPopupMenu::OnPopup)}};
  return info;
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) {}

void TPopupMenu::AdoptChild(TComponent& child) { items_->AdoptChild(child); }

void TPopupMenu::GetChildren(const std::function<void(TComponent&)>& fn) const { items_->GetChildren(fn); }

TMenuItem* TPopupMenu::FindItem(UINT command) const {
  TMenuItem* found = nullptr;
  ClearCommands(*items_, [&](TMenuItem& i) {
    if (command && i.command_ == command) found = &i;
  });
  return found;
}

void TPopupMenu::Popup(int x, int y) {
  if (!IsDestroying()) OnPopup(this);
  UINT next = 1;
  std::function<HMENU(TMenuItem&)> build = [&](TMenuItem& parent) {
    HMENU h = CreatePopupMenu();
    for (int i = 0; i < parent.Count(); ++i) {
      TMenuItem& item = *parent.Items(i);
      if (!item.Visible()) continue;
      UINT flags = MF_STRING;
      if (!item.Enabled()) flags |= MF_GRAYED;
      if (item.Checked()) flags |= MF_CHECKED;
      if (item.Caption() == "-") {
        AppendMenuA(h, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      std::string text = item.Caption();
      if (std::string sc = ShortCutToText(item.ShortCut()); !sc.empty()) text += "\t" + sc;
      if (item.Count()) {
        AppendMenuA(h, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(build(item)), text.c_str());
      } else {
        item.command_ = next++;
        AppendMenuA(h, flags, item.command_, text.c_str());
        if (item.RadioItem()) {
          // A radio item shows its check as a bullet.
          MENUITEMINFOA info{};
          info.cbSize = sizeof info;
          info.fMask = MIIM_FTYPE;
          info.fType = MFT_STRING | MFT_RADIOCHECK;
          SetMenuItemInfoA(h, item.command_, FALSE, &info);
        }
      }
    }
    return h;
  };
  HMENU h = build(*items_);
  struct Cleanup {
    HMENU h;
    TMenuItem& root;
    ~Cleanup() {
      DestroyMenu(h);
      ClearCommands(root, [](TMenuItem& i) { i.command_ = 0; });
    }
  } cleanup{h, *items_};
  UINT chosen = Track().Get()(*this, h, x, y);
  if (TMenuItem* item = FindItem(chosen)) item->Click();
}
