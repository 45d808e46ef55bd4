#pragma once
// The list view (SysListView32, ANSI notifications). Items are objects of the list
// (TListItems) in the window's order, mirrored into the window while it exists (a recreate
// puts them back); their texts and images are supplied when the window asks
// (LVN_GETDISPINFO), through the virtual GetDisplayInfo, so a descendant may compute them
// late. Image lists are never destroyed by the window (LVS_SHAREIMAGELISTS); overlays are
// zero-based (-1 none).
//
// Deletion and sorting follow the tree view's rules: every item that goes passes once
// through the virtual Delete (OnDeletion while events are allowed) with the list whole,
// and CustomSort's comparison runs behind the callback guard.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/controls/imglist.h"
#include "framework/controls/stdctrls.h"
#include "framework/controls/treeview.h"
#include "framework/core/strings.h"
#include "framework/win/controls.h"

class TCustomListView;

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum class TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
enum class TItemChange { ctText, ctImage, ctState };

class TListItem {
 public:
  TListItem(const TListItem&) = delete;
  TListItem& operator=(const TListItem&) = delete;

  TCustomListView* ListView() const { return list_; }
  int Index() const;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  // Changing them updates the window's callback texts.
  TStringList& SubItems() { return subItems_; }
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  int ImageIndex() const { return image_; }
  void SetImageIndex(int i);
  // A zero-based index into StateImages; -1 shows none.
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int i);
  int OverlayIndex() const { return overlay_; }
  void SetOverlayIndex(int i);
  bool Selected() const { return GetState(LVIS_SELECTED); }
  void SetSelected(bool v) { SetState(LVIS_SELECTED, v); }
  bool Focused() const { return GetState(LVIS_FOCUSED); }
  void SetFocused(bool v) { SetState(LVIS_FOCUSED, v); }
  bool Cut() const { return GetState(LVIS_CUT); }
  void SetCut(bool v) { SetState(LVIS_CUT, v); }
  bool DropTarget() const { return GetState(LVIS_DROPHILITED); }
  void SetDropTarget(bool v) { SetState(LVIS_DROPHILITED, v); }
  // Client coordinates; empty without a window.
  TRect DisplayRect(TDisplayCode code) const;
  void MakeVisible(bool partialOk = false);
  bool EditCaption();
  // Redraws the item (its texts asked for again).
  void Update();
  void Delete();

 private:
  friend class TListItems;
  friend class TCustomListView;
  explicit TListItem(TCustomListView* list);
  bool GetState(UINT bit) const;
  void SetState(UINT bit, bool v);
  UINT StateBits() const;
  HWND Window() const;
  void SubItemsChanged();

  TCustomListView* list_;
  std::string caption_;
  TStringList subItems_;
  void* data_ = nullptr;
  int image_ = -1, stateIndex_ = -1, overlay_ = -1;
  UINT state_ = 0;         // LVIS_ bits while there is no window
  bool inWindow_ = false;
  bool deleted_ = false;
};

class TListItems {
 public:
  explicit TListItems(TCustomListView& list) : list_(list) {}
  ~TListItems();
  TListItems(const TListItems&) = delete;
  TListItems& operator=(const TListItems&) = delete;

  int Count() const { return int(items_.size()); }
  TListItem* Item(int index) const;  // EListError for a bad index
  TListItem* operator[](int index) const { return Item(index); }
  TListItem* Add();
  TListItem* Insert(int index);
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem* item) const;
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TListItem;
  friend class TCustomListView;
  void InsertIntoWindow(TListItem* item, int index);
  void Release(TListItem* item, bool runDelete);

  TCustomListView& list_;
  std::vector<TListItem*> items_;
  int updates_ = 0;
};

class TListColumn {
 public:
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  int Width() const;
  void SetWidth(int w);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  int Index() const;

 private:
  friend class TListColumns;
  friend class TCustomListView;
  explicit TListColumn(TCustomListView* list) : list_(list) {}
  void Apply(UINT mask);
  TCustomListView* list_;
  std::string caption_;
  int width_ = 50;
  TAlignment alignment_ = TAlignment::taLeftJustify;
};

class TListColumns {
 public:
  explicit TListColumns(TCustomListView& list) : list_(list) {}
  int Count() const { return int(columns_.size()); }
  TListColumn* Item(int index) const { return columns_.at(size_t(index)).get(); }
  TListColumn* Add();
  void Delete(int index);
  void Clear();

 private:
  friend class TListColumn;
  friend class TCustomListView;
  void InsertIntoWindow(int index);
  TCustomListView& list_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
};

class TIconOptions : public TPersistent {
  FW_CLASS(TIconOptions, TPersistent)

 public:
  explicit TIconOptions(TCustomListView* list) : list_(list) {}
  bool AutoArrange() const { return autoArrange_; }
  void SetAutoArrange(bool v);
  // What a new list of the owner's class holds: a class whose constructor arranges its icons
  // sets it, so the writer stores exactly the values that differ from a new list's.
  void SetInitialAutoArrange(bool v) {
    initialAutoArrange_ = v;
    SetAutoArrange(v);
  }
  bool InitialAutoArrange() const { return initialAutoArrange_; }

 private:
  TCustomListView* list_;
  bool autoArrange_ = false;
  bool initialAutoArrange_ = false;
};

using TLVChangeEvent = TEvent<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVChangingEvent = TEvent<void(TObject* Sender, TListItem* Item, TItemChange Change, bool& AllowChange)>;
using TLVColumnClickEvent = TEvent<void(TObject* Sender, TListColumn* Column)>;
using TLVDeletedEvent = TEvent<void(TObject* Sender, TListItem* Item)>;
using TLVEditingEvent = TEvent<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = TEvent<void(TObject* Sender, TListItem* Item, std::string& S)>;

class TCustomListView : public TWinControl {
  FW_CLASS(TCustomListView, TWinControl)

 public:
  explicit TCustomListView(TComponent* owner);
  ~TCustomListView() override;

  TListItems& Items() { return items_; }
  TListColumns& Columns() { return columns_; }
  TIconOptions& IconOptions() { return iconOptions_; }
  // The first selected item; null when none is.
  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  TListItem* ItemFocused() const;
  int SelCount() const;
  TListItem* GetItemAt(int x, int y) const;
  bool IsEditing() const;
  // Orders the items; the comparison's exception reaches the caller.
  void CustomSort(const std::function<int(TListItem*, TListItem*)>& compare);
  void Scroll(int dx, int dy);
  // Reserves room for n items (LVM_SETITEMCOUNT, sent again when the window is made).
  void SetItemCount(int n);

  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle v);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool v);
  bool ColumnClick() const { return columnClick_; }
  void SetColumnClick(bool v);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  TImageList* LargeImages() const { return largeImages_.Get(); }
  void SetLargeImages(TImageList* images);
  TImageList* SmallImages() const { return smallImages_.Get(); }
  void SetSmallImages(TImageList* images);
  TImageList* StateImages() const { return stateImages_.Get(); }
  void SetStateImages(TImageList* images);

  TLVChangeEvent OnChange;
  TLVChangingEvent OnChanging;
  TLVColumnClickEvent OnColumnClick;
  TLVDeletedEvent OnDeletion;
  TLVDeletedEvent OnInsert;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;

 protected:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumn;
  friend class TListColumns;
  friend class TIconOptions;
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void DestroyWnd() override;
  void BeforeDestruction() override;
  void CNNotify(TMessage& m) override;
  // The text of column subItem (0: the caption) and the image of an item, when the window
  // asks for them.
  virtual void GetDisplayInfo(TListItem* item, int subItem, std::string* text, int* image);
  virtual void Delete(TListItem* item);
  virtual void InsertItem(TListItem* item);
  virtual bool CanChange(TListItem* item, TItemChange change);
  virtual void Change(TListItem* item, TItemChange change);
  virtual void ColClick(TListColumn* column);
  virtual bool CanEdit(TListItem* item);
  // The end of a label edit with text S: OnEdited may change it; the item takes it.
  virtual void Edit(TListItem* item, std::string& S);
  bool Recreating() const { return recreating_; }
  void SetStyle(DWORD bits, DWORD mask);

 private:
  void ApplyImageLists();
  TListItems items_{*this};
  TListColumns columns_{*this};
  TIconOptions iconOptions_{this};
  TViewStyle viewStyle_ = TViewStyle::vsIcon;
  bool showColumnHeaders_ = true, columnClick_ = true, multiSelect_ = false, readOnly_ = false,
       hideSelection_ = true;
  int itemCount_ = 0;
  TLink<TImageList> largeImages_{this};
  TLink<TImageList> smallImages_{this};
  TLink<TImageList> stateImages_{this};
  bool recreating_ = false;
};

class TListView : public TCustomListView {
  FW_CLASS(TListView, TCustomListView)

 public:
  explicit TListView(TComponent* owner) : TCustomListView(owner) {}
};
