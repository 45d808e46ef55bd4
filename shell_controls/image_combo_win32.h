#pragma once
// The image combo box: an owner-drawn drop-down list whose entries are objects with a
// caption, an image of Images and an indent level, so a folder hierarchy shows as an
// indented list with icons (the shell path combo builds on it). Two layers:
// TQsCustomCombobox adds the close-up, selection-end and item-deletion events to the
// combo box (CBN_CLOSEUP, CBN_SELENDOK and CBN_SELENDCANCEL are consumed there);
// TQsCustomImageCombo adds the entry objects, their drawing (the geometry is in
// combo_geometry.h) and an item height that follows the font and the images.
//
// The entries are owned by the combo: a deleted entry fires OnDeleteItem with the live
// item, then the item is freed. Items are cleared before the window goes, so a remade
// window (an item-height change) starts empty.
#include <string>

#include "framework/controls/imglist.h"
#include "framework/controls/stdctrls.h"

using TQsDeleteComboItemEvent = TEvent<void(TObject* aSender, void* aItem)>;

class TQsCustomCombobox : public TComboBox {
  FW_CLASS(TQsCustomCombobox, TComboBox)

 public:
  explicit TQsCustomCombobox(TComponent* owner);

  TQsDeleteComboItemEvent OnDeleteItem;
  TNotifyEvent OnCloseUp;
  TNotifyEvent OnSelEndCancel;
  TNotifyEvent OnSelEndOk;

 protected:
  virtual void DeleteItem(void* data);
  virtual void CloseUp();
  virtual void SelEndCancel();
  virtual void SelEndOk();
  void DeleteItem(int index, TObject* data) override;
  void CNCommand(TMessage& m) override;
  void CNDeleteItem(TMessage& m) override;
};

class TQsCombobox : public TQsCustomCombobox {
  FW_CLASS(TQsCombobox, TQsCustomCombobox)

 public:
  explicit TQsCombobox(TComponent* owner) : TQsCustomCombobox(owner) {}
};

class TQsCustomImageCombo;

class TQsImageComboItem : public TObject {
 public:
  explicit TQsImageComboItem(TQsCustomImageCombo* combo) : Combo(combo) {}
  TQsCustomImageCombo* const Combo;
  int Index = -1;
  int Indent = 0;
  int ImageIndex = -1;
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int i);
  std::string Caption;
  // A descendant's data for the entry (not owned by the item).
  TObject* Data = nullptr;

 private:
  int overlayIndex_ = -1;
};

using TQsDeleteImageComboItemEvent = TEvent<void(TObject* aSender, TQsImageComboItem* aItem)>;

class TQsCustomImageCombo : public TQsCustomCombobox {
  FW_CLASS(TQsCustomImageCombo, TQsCustomCombobox)

 public:
  explicit TQsCustomImageCombo(TComponent* owner);

  int IndentPixels() const { return indentPixels_; }
  void SetIndentPixels(int v);
  bool AutoItemHeight() const { return autoItemHeight_; }
  void SetAutoItemHeight(bool v);
  TImageList* Images() const { return images_.Get(); }
  void SetImages(TImageList* images);

  virtual TQsImageComboItem* AddItem(const std::string& caption, int imageIndex, int indent);
  // The entry's item; EInvalidCast for an entry that holds another kind of object.
  TQsImageComboItem* GetItem(int index) const;

  TQsDeleteImageComboItemEvent OnDeleteItem;

 protected:
  // Recomputes the item height from the font (and the images) when AutoItemHeight is set.
  virtual void FontChanged(HFONT font);
  void FontChanged() override;
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void DestroyWnd() override;
  void DeleteItem(void* data) override;
  void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
  void WMEraseBkgnd(TMessage& m) override;

 private:
  int indentPixels_ = 12;
  bool autoItemHeight_ = true;
  TLink<TImageList> images_{this};
};
