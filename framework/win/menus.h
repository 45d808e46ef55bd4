#pragma once
// Pop-up menus. A TPopupMenu holds a tree of TMenuItems (in form text, nested objects);
// Popup builds the menu from the items, tracks it and runs the chosen item's Click. A
// control whose PopupMenu has AutoPopup shows it on a right click (the right button's
// release) and on a keyboard context-menu request, with PopupComponent set to the control.
// Tracking goes through one replaceable function, so tests see and answer menus the way
// they answer message boxes.
#include <functional>
#include <string>
#include <vector>

#include "framework/core/object.h"
#include "framework/core/shortcut.h"
#include "framework/win/winapi.h"

class TPopupMenu;

class TMenuItem : public TComponent {
  FW_CLASS(TMenuItem, TComponent)

 public:
  explicit TMenuItem(TComponent* owner);
  const std::string& Caption() const { return caption_; }  // "-" is a separator
  void SetCaption(std::string c) { caption_ = std::move(c); }
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string h) { hint_ = std::move(h); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool v) { radioItem_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut s) { shortCut_ = s; }

  int Count() const { return int(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(size_t(index)); }
  TMenuItem* Parent() const { return parent_; }
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  // The command id the item has in the menu now shown (0 while none is).
  UINT Command() const { return command_; }

  virtual void Click();
  TNotifyEvent OnClick;

  void AdoptChild(TComponent& child) override;
  void GetChildren(const std::function<void(TComponent&)>& fn) const override;

 protected:
  void BeforeDestruction() override;

 private:
  friend class TPopupMenu;
  std::string caption_, hint_;
  bool enabled_ = true, checked_ = false, radioItem_ = false, visible_ = true;
  TShortCut shortCut_ = 0;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  UINT command_ = 0;
};

// (menu, the built menu, screen x, y) -> the chosen command, 0 for none.
using TPopupTrackFunction = std::function<UINT(TPopupMenu& menu, HMENU handle, int x, int y)>;
// Installs fn (empty: TrackPopupMenu) and returns the function it replaces.
TPopupTrackFunction SetPopupTrackFunction(TPopupTrackFunction fn);

class TPopupMenu : public TComponent {
  FW_CLASS(TPopupMenu, TComponent)

 public:
  explicit TPopupMenu(TComponent* owner);
  TMenuItem& Items() { return *items_; }
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool v) { autoPopup_ = v; }
  TComponent* PopupComponent() const { return popupComponent_.Get(); }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  // Shows the menu at the screen point and runs the chosen item; OnPopup fires first.
  virtual void Popup(int x, int y);
  // The item of a command id of the menu being shown; null when none has it.
  TMenuItem* FindItem(UINT command) const;
  TNotifyEvent OnPopup;

  void AdoptChild(TComponent& child) override;
  void GetChildren(const std::function<void(TComponent&)>& fn) const override;

 private:
  TMenuItem* items_;
  bool autoPopup_ = true;
  TLink<TComponent> popupComponent_{this};
};
