#pragma once
// The custom-draw tree and list views, the bases of the shell tree and list. On top of the
// framework's views they add per-item custom drawing through NM_CUSTOMDRAW, wrapped in a
// drawing context (TQsCustomDraw) that lives until the next notification; context menus
// that follow the item under the mouse or the selection, with a hook that may replace the
// menu; image indexes asked of virtual operations; and colours pushed into the control.
// The result rules of custom drawing are in custom_draw_rules.h.
//
// Context menus: a right click over a node (tree) or anywhere (list), Shift+F10 and the
// Apps key show the control's PopupMenu, or what ContextMenuRequest makes of it, with
// PopupComponent set to the control. The right button's release that follows a menu shown
// from a click runs the default handling with the menu's AutoPopup off (tree) or without
// PopupMenu (list), put back on every path, so no second menu appears.
#include <memory>

#include "framework/controls/listview.h"
#include "framework/controls/treeview.h"
#include "framework/win/menus.h"
#include "shell_controls/custom_draw_rules.h"

class TQsCustomDraw : public TObject {
 public:
  TQsCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result, TFont& controlFont);
  ~TQsCustomDraw() override;

  virtual void Init(NMCUSTOMDRAW* notification, LRESULT* result);
  TFont& Font() { return *font_; }
  TBrush& Brush() { return *brush_; }
  NMCUSTOMDRAW* Notification() const { return notification_; }
  HDC DC() const { return notification_->hdc; }
  uint32_t Stage() const { return notification_->dwDrawStage; }
  // The 32-bit message result the control returns.
  LRESULT* Result() const { return result_; }
  bool NotifyItems = false;
  bool SkipDefault = false;
  bool ResultLocked = false;
  // Set the item text colours through the notification (NMTVCUSTOMDRAW and NMLVCUSTOMDRAW
  // both go on with clrText and clrTextBk).
  COLORREF& TextColor() const;
  COLORREF& TextBkColor() const;
  // An object of a descendant's, freed with the context.
  std::unique_ptr<TObject> Extra;

  virtual void Apply() = 0;
  // Whether the last Apply made the item skip its default drawing.
  bool Skipped() const { return skipped_; }

 protected:
  virtual TFont* CreateFont();
  virtual TBrush* CreateBrush();
  void ApplyAs(shell::TCustomDrawView view);

 private:
  TFont* controlFont_ = nullptr;
  std::unique_ptr<TFont> font_;
  bool fontChanged_ = false;
  std::unique_ptr<TBrush> brush_;
  bool brushChanged_ = false;
  NMCUSTOMDRAW* notification_ = nullptr;
  LRESULT* result_ = nullptr;
  bool skipped_ = false;
};

class TQsTvCustomDraw : public TQsCustomDraw {
 public:
  using TQsCustomDraw::TQsCustomDraw;
  void Apply() override { ApplyAs(shell::TCustomDrawView::Tree); }
};

class TQsLvCustomDraw : public TQsCustomDraw {
 public:
  using TQsCustomDraw::TQsCustomDraw;
  void Apply() override { ApplyAs(shell::TCustomDrawView::List); }
};

using TQsTvContextMenuEvent =
    TEvent<void(TObject* Sender, TTreeNode* Node, TPoint Point, TPopupMenu*& Menu)>;
using TQsTvCustomDrawEvent = TEvent<void(TObject* Sender, TQsCustomDraw* Context, TTreeNode* Node)>;
using TQsLvContextMenuEvent =
    TEvent<void(TObject* Sender, TListItem* Item, TPoint Point, TPopupMenu*& Menu)>;
using TQsLvCustomDrawEvent = TEvent<void(TObject* Sender, TQsCustomDraw* Context, TListItem* Item)>;

class TQsCustomTreeView : public TCustomTreeView {
  FW_CLASS(TQsCustomTreeView, TCustomTreeView)

 public:
  explicit TQsCustomTreeView(TComponent* owner);
  ~TQsCustomTreeView() override;
  // The context of the last NM_CUSTOMDRAW; null when it made none.
  TQsCustomDraw* CurrentCustomDraw() const { return context_.get(); }
  void WndProc(TMessage& m) override;

  TQsTvContextMenuEvent OnContextMenu;
  TQsTvCustomDrawEvent OnCustomDraw;    // item pre-paint only
  TQsTvCustomDrawEvent OnCustomDrawEx;  // every stage

 protected:
  virtual TQsCustomDraw* CreateCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result);
  virtual TQsCustomDraw* CustomDraw(NMCUSTOMDRAW* notification, LRESULT* result);
  virtual void NodeDeleted(TTreeNode* node);
  virtual void KeyboardContextMenu();
  virtual void ShowContextMenu(TTreeNode* node, TPoint point);
  virtual void GetImageIndex(TTreeNode* node);
  virtual void GetSelectedIndex(TTreeNode* node);
  virtual void ContextMenuRequest(TTreeNode* node, TPoint point, TPopupMenu*& menu);

  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void ColorChanged() override;
  void FontChanged() override;
  void CNNotify(TMessage& m) override;
  void WMContextMenu(TMessage& m) override;

 private:
  void PushColors();
  void PopupAt(TPopupMenu* menu, TPoint client);
  bool menuShown_ = false;
  std::unique_ptr<TQsCustomDraw> context_;
};

class TQsCustomListView : public TCustomListView {
  FW_CLASS(TQsCustomListView, TCustomListView)

 public:
  explicit TQsCustomListView(TComponent* owner);
  ~TQsCustomListView() override;
  TQsCustomDraw* CurrentCustomDraw() const { return context_.get(); }
  // Set when the control reported the start of a drag with either button.
  bool DragStarted() const { return dragStarted_; }
  void SetDragStarted(bool v) { dragStarted_ = v; }
  void WndProc(TMessage& m) override;

  TQsLvContextMenuEvent OnContextMenu;
  TQsLvCustomDrawEvent OnCustomDraw;
  TQsLvCustomDrawEvent OnCustomDrawEx;

 protected:
  virtual TQsCustomDraw* CreateCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result);
  virtual TQsCustomDraw* CustomDraw(NMCUSTOMDRAW* notification, LRESULT* result);
  virtual void KeyboardContextMenu(TPoint point);
  virtual void ShowContextMenu(TPoint point);
  virtual void ContextMenuRequest(TListItem* item, TPoint point, TPopupMenu*& menu);
  virtual void ItemInserted(TListItem* item);
  // OnInsert fires through ItemInserted.
  void InsertItem(TListItem*) override {}

  void CreateWindowHandle() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void ColorChanged() override;
  void CNNotify(TMessage& m) override;
  void WMContextMenu(TMessage& m) override;

 private:
  void PopupAt(TPopupMenu* menu, TPoint client);
  bool menuShown_ = false;
  bool dragStarted_ = false;
  std::unique_ptr<TQsCustomDraw> context_;
};
