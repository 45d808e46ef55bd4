#pragma once
// The standard controls. Buttons, check boxes, radio buttons, group boxes, edits, list and
// combo boxes superclass the system classes; the label is our own window class and
// paints itself (a test driver in another process reads its caption as window text).
//
// Rules for changes made in code: setting TCheckBox.Checked, TRadioButton.Checked (to
// true) or TRadioGroup.ItemIndex fires OnClick, as a user's click would; setting
// TListBox.ItemIndex or TComboBox.ItemIndex fires nothing; TEdit and TMemo fire OnChange
// for real changes of their text only. Nothing fires while a control loads.
//
// List and combo items (TControlItems) live in a plain string list until the window
// exists, then in the window; a recreate copies them out and back, and freeing the
// control lets the window delete them (WM_DELETEITEM reaches the live object).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/strings.h"
#include "framework/win/controls.h"
#include "framework/win/forms.h"

// A TButton's Click sets ModalResult on the button's own nearest form, then fires OnClick.
class TButton : public TWinControl {
  FW_CLASS(TButton, TWinControl)

 public:
  explicit TButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  void Click() override;
  bool DialogKeyFor(uint16_t key, bool focused) override;
  bool DialogCharFor(char c) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CNCommand(TMessage& m) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  TModalResult modalResult_ = mrNone;
};

// A check box or a radio button: a system button whose check mark the object keeps.
class TButtonControl : public TWinControl {
  FW_CLASS(TButtonControl, TWinControl)

 public:
  bool Checked() const { return checked_; }
  virtual void SetChecked(bool v) = 0;
  bool DialogCharFor(char c) override;

 protected:
  TButtonControl(TComponent* owner, DWORD buttonStyle);
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void CNCommand(TMessage& m) override;
  // What a user's click does to the mark.
  virtual void Toggle() = 0;
  // Stores and shows the mark; false when it was so already.
  bool ShowChecked(bool v);

 private:
  DWORD buttonStyle_;
  bool checked_ = false;
};

class TCheckBox : public TButtonControl {
  FW_CLASS(TCheckBox, TButtonControl)

 public:
  explicit TCheckBox(TComponent* owner);
  void SetChecked(bool v) override;  // fires OnClick when it changes

 protected:
  void Toggle() override { SetChecked(!Checked()); }
};

class TRadioButton : public TButtonControl {
  FW_CLASS(TRadioButton, TButtonControl)

 public:
  explicit TRadioButton(TComponent* owner);
  // Checking unchecks the radio buttons beside it and fires OnClick.
  void SetChecked(bool v) override;

 protected:
  void Toggle() override { SetChecked(true); }
};

class TGroupBox : public TWinControl {
  FW_CLASS(TGroupBox, TWinControl)

 public:
  explicit TGroupBox(TComponent* owner);

 protected:
  void CreateParams(TCreateParams& params) override;
  void AdjustClientRect(TRect& r) const override;
  void WndProc(TMessage& m) override;
};

class TRadioGroup : public TGroupBox {
  FW_CLASS(TRadioGroup, TGroupBox)

 public:
  explicit TRadioGroup(TComponent* owner);
  TStrings& Items() { return items_; }
  int ItemIndex() const { return itemIndex_; }
  // -1 checks none. Fires OnClick when it changes (not while loading).
  void SetItemIndex(int index);
  int Columns() const { return columns_; }
  void SetColumns(int n);
  // The radio button of item i (made from Items).
  TRadioButton* Button(int index) const { return buttons_.at(size_t(index)); }

 protected:
  void Loaded() override;
  void BoundsChanged(bool resized) override;
  void FontChanged() override;

 private:
  void ItemsChanged();
  void ArrangeButtons();
  void ButtonClicked(TRadioButton* b);
  void CheckButtons();

  TStringList items_;
  std::vector<TRadioButton*> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
  bool updating_ = false;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
const TTypeInfo& AlignmentTypeInfo();

class TLabel : public TCustomControl {
  FW_CLASS(TLabel, TCustomControl)

 public:
  explicit TLabel(TComponent* owner);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  TWinControl* FocusControl() const { return focusControl_.Get(); }
  void SetFocusControl(TWinControl* c) { focusControl_ = c; }
  bool CanFocus() const override { return false; }
  bool DialogCharFor(char c) override;

 protected:
  void Paint() override;
  void Loaded() override;
  void TextChanged() override;
  void FontChanged() override;
  void WMEraseBkgnd(TMessage& m) override;

 private:
  UINT TextFlags() const;
  void AdjustBounds();

  bool autoSize_ = true;
  bool wordWrap_ = false;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool showAccelChar_ = true;
  bool transparent_ = false;
  TLink<TWinControl> focusControl_{this};
};

class TEdit : public TWinControl {
  FW_CLASS(TEdit, TWinControl)

 public:
  explicit TEdit(TComponent* owner);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  void SelectAll();
  // The caret's place (characters before it); setting it selects nothing.
  int SelStart() const;
  void SetSelStart(int position);

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void CNCommand(TMessage& m) override;
  void TextChanged() override;
  virtual void Change();

 private:
  void NoteText();

  bool readOnly_ = false;
  int maxLength_ = 0;
  char passwordChar_ = '\0';
  std::string lastText_;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TEdit {
  FW_CLASS(TMemo, TEdit)

 public:
  explicit TMemo(TComponent* owner);
  ~TMemo() override;
  TStrings& Lines();
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void WMGetDlgCode(TMessage& m) override;

 private:
  class TMemoLines;
  std::unique_ptr<TMemoLines> lines_;
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
};

// The window messages of a list or combo box's item storage, and the styles that make an
// owner-drawn one keep no strings (each item is its data alone).
struct TListMessages {
  UINT Add, Insert, Delete, Reset, Count, GetText, GetTextLen, SetData, GetData;
  DWORD OwnerDrawStyles, HasStringsStyle;
};

// Items of a list or combo box: a plain list until the window exists, then the window.
class TControlItems : public TStrings {
  FW_CLASS(TControlItems, TStrings)

 public:
  TControlItems(TWinControl& owner, const TListMessages& messages);
  int Count() const override;
  std::string Get(int index) const override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* obj) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& s) override;
  void SetSorted(bool sorted) { store_.SetSorted(sorted); }

  // Called for an item with data that is deleted while there is no window (the window's
  // WM_DELETEITEM does it otherwise).
  std::function<void(int index, TObject* data)> DeleteData;

  // The owner calls these when its window has been made and before it is remade.
  void MoveToWindow();
  void MoveFromWindow();

 private:
  HWND Window() const;
  // An owner-drawn window without strings keeps only each item's data: its strings read
  // as empty, and an item's data starts as nil.
  bool KeepsStrings(HWND h) const;
  LPARAM ItemParam(HWND h, const std::string& s) const;
  TWinControl& owner_;
  const TListMessages& m_;
  TStringList store_;
};

class TListBox : public TWinControl {
  FW_CLASS(TListBox, TWinControl)

 public:
  explicit TListBox(TComponent* owner);
  ~TListBox() override;
  TStrings& Items() { return *items_; }
  int ItemIndex() const;
  void SetItemIndex(int index);  // no event
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool v);
  bool Selected(int index) const;
  void SetSelected(int index, bool v);
  int SelCount() const;
  int TopIndex() const;
  void SetTopIndex(int index);
  // The height of each item in pixels; 0 keeps the one the font gives.
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);

 protected:
  // A new font sets the font's item height: an ItemHeight of the list's own stays.
  void WndProc(TMessage& m) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void DestroyWnd() override;
  void CNCommand(TMessage& m) override;
  // WM_DELETEITEM for an item with data; subclasses that own item data free it here.
  virtual void DeleteItem(int index, TObject* data);
  void CNDeleteItem(TMessage& m) override;
  void BeforeDestruction() override;

 private:
  std::unique_ptr<TControlItems> items_;
  int itemIndex_ = -1;
  bool keepItemData_ = false;
  bool sorted_ = false;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  int itemHeight_ = 0;
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
const TTypeInfo& ComboBoxStyleTypeInfo();

// The state of an owner-drawn item (ODS_ flags).
using TOwnerDrawState = uint32_t;
constexpr TOwnerDrawState odSelected = 0x1, odGrayed = 0x2, odDisabled = 0x4, odChecked = 0x8, odFocused = 0x10,
                          odComboBoxEdit = 0x1000;
using TDrawItemEvent = TEvent<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = TEvent<void(TWinControl* Control, int Index, int& Height)>;

class TComboBox : public TWinControl {
  FW_CLASS(TComboBox, TWinControl)

 public:
  explicit TComboBox(TComponent* owner);
  ~TComboBox() override;
  TStrings& Items() { return *items_; }
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  int ItemIndex() const;
  void SetItemIndex(int index);  // no event
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int n) { dropDownCount_ = n; }
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  bool DroppedDown() const;
  void SetDroppedDown(bool v);
  // A drop-down list shows the item equal to text (none when there is no such item).
  void SetText(const std::string& text) override;
  void SetBounds(int left, int top, int width, int height) override;
  bool OwnerDraw() const {
    return style_ == TComboBoxStyle::csOwnerDrawFixed || style_ == TComboBoxStyle::csOwnerDrawVariable;
  }
  // The height of the items of an owner-drawn list (16 at first); changing it remakes the
  // window of one, whose WM_MEASUREITEM answers it. Other styles only keep the value.
  int ItemHeight() const;
  virtual void SetItemHeight(int height);
  // The canvas an owner-drawn item is drawn on (attached while it is drawn).
  TCanvas& Canvas() { return canvas_; }
  void WndProc(TMessage& m) override;

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void DestroyWnd() override;
  void CNCommand(TMessage& m) override;
  virtual void Change();
  // WM_DELETEITEM for an item with data, as in TListBox.
  virtual void DeleteItem(int index, TObject* data);
  void CNDeleteItem(TMessage& m) override;
  void BeforeDestruction() override;
  // CN_DRAWITEM: the canvas takes the item's DC, the Font and the control's brush (the
  // highlight colours for a selected item); an index below 0 is filled, any other drawn
  // by DrawItem.
  virtual void CNDrawItem(TMessage& m);
  virtual void CNMeasureItem(TMessage& m);
  // OnDrawItem when set, else the item's text on the brush.
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);

 private:
  int DroppedHeight() const;
  std::unique_ptr<TControlItems> items_;
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  int itemIndex_ = -1;
  bool keepItemData_ = false;
  bool sorted_ = false;
  int dropDownCount_ = 8;
  int maxLength_ = 0;
  int itemHeight_ = 16;
  TCanvas canvas_;
};
