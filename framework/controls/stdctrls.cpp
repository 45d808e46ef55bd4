#include "framework/controls/stdctrls.h"

#include <algorithm>

#include "framework/core/sysutils.h"

namespace {

const TTypeInfo kAlignments{{"taLeftJustify", "taRightJustify", "taCenter"}, {}};
const TTypeInfo kScrollStyles{{"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, {}};
const TTypeInfo kComboStyles{{"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"}, {}};
const TTypeInfo kNonNegative{{}, {}, nullptr, 0, INT32_MAX};

const TListMessages kListBoxMessages{LB_ADDSTRING,  LB_INSERTSTRING, LB_DELETESTRING,
                                     LB_RESETCONTENT, LB_GETCOUNT,   LB_GETTEXT,
                                     LB_GETTEXTLEN, LB_SETITEMDATA,  LB_GETITEMDATA,
                                     LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE, LBS_HASSTRINGS};
const TListMessages kComboBoxMessages{CB_ADDSTRING,  CB_INSERTSTRING, CB_DELETESTRING,
                                      CB_RESETCONTENT, CB_GETCOUNT,   CB_GETLBTEXT,
                                      CB_GETLBTEXTLEN, CB_SETITEMDATA, CB_GETITEMDATA,
                                      CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE, CBS_HASSTRINGS};

template <class T>
using P = TProps<T>;

// The properties every control class redeclares with its own default.
template <class T>
TPropInfo ColorDefault(TColor color) {
  return P<T>::Int("Color", &T::Color, &T::SetColor, &ColorTypeInfo())
      .WithDefault(int64_t(color))
      .WithStored([](const TPersistent& o) { return !static_cast<const TControl&>(o).ParentColor(); });
}
template <class T>
TPropInfo ParentColorDefault(bool v) {
  return P<T>::Bool("ParentColor", &T::ParentColor, &T::SetParentColor).WithDefault(v);
}
template <class T>
TPropInfo TabStopDefault(bool v) {
  return P<T>::Bool("TabStop", &T::TabStop, &T::SetTabStop).WithDefault(v);
}
template <class T>
TPropInfo CaptionProp() {
  return P<T>::Str("Caption", &T::Caption, &T::SetCaption).WithDefault(std::string());
}

LRESULT Send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageA(h, msg, wp, lp); }

}  // namespace

const TTypeInfo& AlignmentTypeInfo() { return kAlignments; }
const TTypeInfo& ComboBoxStyleTypeInfo() { return kComboStyles; }

// ---- TButton

const TClassInfo& TButton::StaticClass() {
  static const TClassInfo info{
      "TButton", &TWinControl::StaticClass(), Factory<TButton>(),
      {CaptionProp<TButton>(), ColorDefault<TButton>(clBtnFace), TabStopDefault<TButton>(true),
       P<TButton>::Bool("Default", &TButton::Default, &TButton::SetDefault).WithDefault(false),
       P<TButton>::Bool("Cancel", &TButton::Cancel, &TButton::SetCancel).WithDefault(false),
       P<TButton>::Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, &ModalResultTypeInfo())
           .WithDefault(int64_t(mrNone))}};
  return info;
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetColor(clBtnFace);
  SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "BUTTON";
  p.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool v) {
  default_ = v;
  if (HandleAllocated()) Send(Handle(), BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (modalResult_ != mrNone)
    if (TCustomForm* f = ParentForm()) f->SetModalResult(modalResult_);
  TWinControl::Click();
}

void TButton::CNCommand(TMessage& m) {
  if (HIWORD(m.WParam) == BN_CLICKED && EventsAllowed()) Click();
}

bool TButton::DialogKeyFor(uint16_t key, bool focused) {
  bool mine = (key == VK_RETURN && (focused || default_)) || (key == VK_ESCAPE && cancel_);
  if (!mine || !CanFocus() || !EventsAllowed()) return false;
  Click();
  return true;
}

bool TButton::DialogCharFor(char c) {
  if (!IsAccel(c, Caption()) || !CanFocus() || !EventsAllowed()) return false;
  SetFocus();
  Click();
  return true;
}

// ---- TButtonControl, TCheckBox, TRadioButton

const TClassInfo& TButtonControl::StaticClass() {
  static const TClassInfo info{"TButtonControl", &TWinControl::StaticClass(), nullptr, {}};
  return info;
}

TButtonControl::TButtonControl(TComponent* owner, DWORD buttonStyle)
    : TWinControl(owner), buttonStyle_(buttonStyle) {
  SetParentColor(true);
}

void TButtonControl::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "BUTTON";
  p.Style |= buttonStyle_;
}

void TButtonControl::CreateWindowHandle() {
  Send(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED);
}

bool TButtonControl::ShowChecked(bool v) {
  if (v == checked_) return false;
  checked_ = v;
  if (HandleAllocated()) Send(Handle(), BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED);
  return true;
}

void TButtonControl::CNCommand(TMessage& m) {
  if (HIWORD(m.WParam) == BN_CLICKED && EventsAllowed()) Toggle();
}

bool TButtonControl::DialogCharFor(char c) {
  if (!IsAccel(c, Caption()) || !CanFocus() || !EventsAllowed()) return false;
  SetFocus();
  Toggle();
  return true;
}

const TClassInfo& TCheckBox::StaticClass() {
  static const TClassInfo info{
      "TCheckBox", &TButtonControl::StaticClass(), Factory<TCheckBox>(),
      {CaptionProp<TCheckBox>(), ParentColorDefault<TCheckBox>(true), TabStopDefault<TCheckBox>(true),
       P<TCheckBox>::Bool("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked).WithDefault(false)}};
  return info;
}

TCheckBox::TCheckBox(TComponent* owner) : TButtonControl(owner, BS_CHECKBOX) {
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
}

void TCheckBox::SetChecked(bool v) {
  if (ShowChecked(v) && EventsAllowed()) Click();
}

const TClassInfo& TRadioButton::StaticClass() {
  static const TClassInfo info{
      "TRadioButton", &TButtonControl::StaticClass(), Factory<TRadioButton>(),
      {CaptionProp<TRadioButton>(), ParentColorDefault<TRadioButton>(true),
       P<TRadioButton>::Bool("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked).WithDefault(false)}};
  return info;
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner, BS_RADIOBUTTON) { SetBounds(0, 0, 113, 17); }

void TRadioButton::SetChecked(bool v) {
  if (!ShowChecked(v)) return;
  SetTabStop(v);  // Tab reaches a group of radio buttons at its checked one
  if (!v) return;
  if (Parent())
    for (TControl* c : std::vector<TControl*>(Parent()->ControlList()))
      if (auto* r = dynamic_cast<TRadioButton*>(c))
        if (r != this) r->SetChecked(false);
  if (EventsAllowed()) Click();
}

// ---- TGroupBox, TRadioGroup

const TClassInfo& TGroupBox::StaticClass() {
  static const TClassInfo info{"TGroupBox", &TWinControl::StaticClass(), Factory<TGroupBox>(),
                               {CaptionProp<TGroupBox>(), ParentColorDefault<TGroupBox>(true)}};
  return info;
}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(csAcceptsControls | csClickEvents);
  SetBounds(0, 0, 185, 105);
  SetParentColor(true);
}

void TGroupBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "BUTTON";
  p.Style |= BS_GROUPBOX;
}

void TGroupBox::AdjustClientRect(TRect& r) const {
  TWinControl::AdjustClientRect(r);
  r.Top += TextExtentOf(Font(), "0").Height + 2;
  r.Left += 2;
  r.Right -= 2;
  r.Bottom -= 2;
}

void TGroupBox::WndProc(TMessage& m) {
  // The system group box lets the mouse through to what lies beneath; ours takes it,
  // so its graphic children and its own mouse events work.
  if (m.Msg == WM_NCHITTEST) {
    m.Result = HTCLIENT;
    return;
  }
  TWinControl::WndProc(m);
}

const TClassInfo& TRadioGroup::StaticClass() {
  static const TClassInfo info{
      "TRadioGroup", &TGroupBox::StaticClass(), Factory<TRadioGroup>(),
      {P<TRadioGroup>::Strings("Items", [](TRadioGroup& g) -> TPersistent& { return g.Items(); }),
       P<TRadioGroup>::Int("ItemIndex", &TRadioGroup::ItemIndex, &TRadioGroup::SetItemIndex)
           .WithDefault(int64_t(-1)),
       P<TRadioGroup>::Int("Columns", &TRadioGroup::Columns, &TRadioGroup::SetColumns, &kNonNegative)
           .WithDefault(int64_t(1))}};
  return info;
}

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner) {
  items_.OnChange = TNotifyEvent([this](TObject*) { ItemsChanged(); });
}

void TRadioGroup::ItemsChanged() {
  if (IsDestroying()) return;
  while (int(buttons_.size()) < items_.Count()) {
    auto* b = new TRadioButton(this);
    b->OnClick = TNotifyEvent([this, b](TObject*) { ButtonClicked(b); });
    b->SetParent(this);
    buttons_.push_back(b);
  }
  while (int(buttons_.size()) > items_.Count()) {
    TRadioButton* b = buttons_.back();
    buttons_.pop_back();
    b->Free();
  }
  for (int i = 0; i < items_.Count(); ++i) buttons_[size_t(i)]->SetCaption(items_[i]);
  if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
  if (!IsLoading()) CheckButtons();
  ArrangeButtons();
}

void TRadioGroup::CheckButtons() {
  updating_ = true;
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->SetChecked(int(i) == itemIndex_);
  updating_ = false;
}

void TRadioGroup::ButtonClicked(TRadioButton* b) {
  if (updating_) return;
  auto it = std::find(buttons_.begin(), buttons_.end(), b);
  if (it == buttons_.end()) return;
  itemIndex_ = int(it - buttons_.begin());
  if (EventsAllowed()) Click();
}

void TRadioGroup::SetItemIndex(int index) {
  if (IsLoading()) {
    itemIndex_ = index;
    return;
  }
  index = std::clamp(index, -1, items_.Count() - 1);
  if (index == itemIndex_) return;
  itemIndex_ = index;
  CheckButtons();
  if (EventsAllowed()) Click();
}

void TRadioGroup::SetColumns(int n) {
  n = std::clamp(n, 1, 16);
  if (n == columns_) return;
  columns_ = n;
  ArrangeButtons();
}

void TRadioGroup::Loaded() {
  TGroupBox::Loaded();
  if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
  CheckButtons();
  ArrangeButtons();
}

void TRadioGroup::BoundsChanged(bool resized) {
  TGroupBox::BoundsChanged(resized);
  if (resized) ArrangeButtons();
}

void TRadioGroup::FontChanged() {
  TGroupBox::FontChanged();
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (buttons_.empty() || IsDestroying()) return;
  int n = int(buttons_.size());
  int perColumn = (n + columns_ - 1) / columns_;
  int buttonWidth = (Width() - 10) / columns_;
  int textHeight = TextExtentOf(Font(), "0").Height;
  int space = Height() - textHeight - 5;
  int buttonHeight = space / perColumn;
  int topMargin = textHeight + 1 + (space % perColumn) / 2;
  for (int i = 0; i < n; ++i)
    buttons_[size_t(i)]->SetBounds((i / perColumn) * buttonWidth + 8, (i % perColumn) * buttonHeight + topMargin,
                                   buttonWidth, buttonHeight);
}

// ---- TLabel

const TClassInfo& TLabel::StaticClass() {
  static const TClassInfo info{
      "TLabel", &TCustomControl::StaticClass(), Factory<TLabel>(),
      {CaptionProp<TLabel>(), ParentColorDefault<TLabel>(true),
       P<TLabel>::Bool("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize).WithDefault(true),
       P<TLabel>::Bool("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).WithDefault(false),
       P<TLabel>::Enum<TAlignment>("Alignment", &kAlignments, &TLabel::Alignment, &TLabel::SetAlignment)
           .WithDefault(int64_t(0)),
       P<TLabel>::Bool("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar).WithDefault(true),
       P<TLabel>::Bool("Transparent", &TLabel::Transparent, &TLabel::SetTransparent).WithDefault(false),
       P<TLabel>::Component<TWinControl>("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl)}};
  return info;
}

TLabel::TLabel(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(csClickEvents);
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

UINT TLabel::TextFlags() const {
  UINT f = DT_EXPANDTABS;
  if (wordWrap_) f |= DT_WORDBREAK;
  if (alignment_ == TAlignment::taRightJustify) f |= DT_RIGHT;
  if (alignment_ == TAlignment::taCenter) f |= DT_CENTER;
  if (!showAccelChar_) f |= DT_NOPREFIX;
  return f;
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || IsLoading() || IsDestroying()) return;
  std::string text = Caption();
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
  std::string measured = text.empty() || (showAccelChar_ && text == "&") ? std::string(" ") : text;
  DrawTextA(dc, measured.c_str(), int(measured.size()), &r, TextFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int w = wordWrap_ ? Width() : int(r.right), h = int(r.bottom);
  int left = Left();
  if (!wordWrap_ && alignment_ == TAlignment::taRightJustify) left += Width() - w;
  SetBounds(left, Top(), w, h);
}

void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}

void TLabel::SetWordWrap(bool v) {
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TLabel::SetShowAccelChar(bool v) {
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}

void TLabel::Loaded() {
  TCustomControl::Loaded();
  AdjustBounds();
}

void TLabel::TextChanged() {
  TCustomControl::TextChanged();
  AdjustBounds();
}

void TLabel::FontChanged() {
  TCustomControl::FontChanged();
  AdjustBounds();
}

void TLabel::WMEraseBkgnd(TMessage& m) { m.Result = 1; }

void TLabel::Paint() {
  TRect r = ClientRect();
  TColor back = transparent_ && Parent() ? Parent()->Color() : Color();
  Canvas().Brush().SetColor(back);
  Canvas().FillRect(r);
  Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  if (!Enabled()) Canvas().Font().SetColor(clGrayText);
  Canvas().DrawText(Caption(), r, TextFlags());
}

bool TLabel::DialogCharFor(char c) {
  TWinControl* target = focusControl_.Get();
  if (!target || !showAccelChar_ || !IsAccel(c, Caption()) || !target->CanFocus()) return false;
  target->SetFocus();
  return true;
}

// ---- TEdit, TMemo

const TClassInfo& TEdit::StaticClass() {
  static const TClassInfo info{
      "TEdit", &TWinControl::StaticClass(), Factory<TEdit>(),
      {P<TEdit>::Str("Text", &TEdit::Text, &TEdit::SetText).WithDefault(std::string()),
       TabStopDefault<TEdit>(true),
       P<TEdit>::Bool("ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly).WithDefault(false),
       P<TEdit>::Int("MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength, &kNonNegative).WithDefault(int64_t(0)),
       P<TEdit>::Char("PasswordChar", &TEdit::PasswordChar, &TEdit::SetPasswordChar).WithDefault(int64_t(0)),
       P<TEdit>::Event("OnChange", &TEdit::OnChange)}};
  return info;
}

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
}

void TEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "EDIT";
  p.Style |= ES_AUTOHSCROLL | (readOnly_ ? ES_READONLY : 0);
  p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWindowHandle() {
  Send(Handle(), EM_LIMITTEXT, WPARAM(maxLength_));
  if (passwordChar_) Send(Handle(), EM_SETPASSWORDCHAR, uint8_t(passwordChar_));
  lastText_ = Text();
}

void TEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (HandleAllocated()) Send(Handle(), EM_SETREADONLY, v);
}

void TEdit::SetMaxLength(int n) {
  maxLength_ = std::max(n, 0);
  if (HandleAllocated()) Send(Handle(), EM_LIMITTEXT, WPARAM(maxLength_));
}

void TEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  if (HandleAllocated()) {
    Send(Handle(), EM_SETPASSWORDCHAR, uint8_t(c));
    Invalidate();
  }
}

void TEdit::SelectAll() {
  if (HandleAllocated()) Send(Handle(), EM_SETSEL, 0, -1);
}

int TEdit::SelStart() const {
  if (!HandleAllocated()) return 0;
  DWORD start = 0;
  Send(const_cast<TEdit*>(this)->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start));
  return int(start);
}

void TEdit::SetSelStart(int position) { Send(Handle(), EM_SETSEL, WPARAM(position), LPARAM(position)); }

void TEdit::CNCommand(TMessage& m) {
  if (HIWORD(m.WParam) == EN_CHANGE) NoteText();
}

void TEdit::TextChanged() {
  TWinControl::TextChanged();
  NoteText();
}

void TEdit::NoteText() {
  std::string t = Text();
  if (t == lastText_) return;
  lastText_ = t;
  if (EventsAllowed()) Change();
}

void TEdit::Change() { OnChange(this); }

// The memo's lines are its text, split on line breaks.
class TMemo::TMemoLines : public TStrings {
 public:
  explicit TMemoLines(TMemo& memo) : memo_(memo) {}
  int Count() const override {
    TStringList l;
    Split(l);
    return l.Count();
  }
  std::string Get(int index) const override {
    TStringList l;
    Split(l);
    return l.Get(index);
  }
  void Put(int index, const std::string& s) override {
    Edit([&](TStringList& l) { l.Put(index, s); });
  }
  void Insert(int index, const std::string& s) override {
    Edit([&](TStringList& l) { l.Insert(index, s); });
  }
  void Delete(int index) override {
    Edit([&](TStringList& l) { l.Delete(index); });
  }
  void Clear() override { memo_.SetText(""); }
  void SetText(const std::string& text) override {
    Edit([&](TStringList& l) { l.SetText(text); });  // the edit control breaks lines at CR LF only
  }

 private:
  void Split(TStringList& l) const { l.SetText(memo_.Text()); }
  template <class F>
  void Edit(F&& change) {
    TStringList l;
    Split(l);
    change(l);
    memo_.SetText(l.Text());
  }
  TMemo& memo_;
};

const TClassInfo& TMemo::StaticClass() {
  static const TClassInfo info{
      "TMemo", &TEdit::StaticClass(), Factory<TMemo>(),
      {P<TMemo>::Str("Text", &TMemo::Text, &TMemo::SetText).WithStored([](const TPersistent&) { return false; }),
       P<TMemo>::Strings("Lines", [](TMemo& m) -> TPersistent& { return m.Lines(); }),
       P<TMemo>::Enum<TScrollStyle>("ScrollBars", &kScrollStyles, &TMemo::ScrollBars, &TMemo::SetScrollBars)
           .WithDefault(int64_t(0)),
       P<TMemo>::Bool("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap).WithDefault(true),
       P<TMemo>::Bool("WantReturns", &TMemo::WantReturns, &TMemo::SetWantReturns).WithDefault(true),
       P<TMemo>::Bool("WantTabs", &TMemo::WantTabs, &TMemo::SetWantTabs).WithDefault(false)}};
  return info;
}

TMemo::TMemo(TComponent* owner) : TEdit(owner), lines_(std::make_unique<TMemoLines>(*this)) {
  SetBounds(0, 0, 185, 89);
}

TMemo::~TMemo() = default;

TStrings& TMemo::Lines() { return *lines_; }

void TMemo::CreateParams(TCreateParams& p) {
  TEdit::CreateParams(p);
  if (wordWrap_) p.Style &= ~DWORD(ES_AUTOHSCROLL);
  p.Style |= ES_MULTILINE | ES_AUTOVSCROLL | (wantReturns_ ? ES_WANTRETURN : 0);
  if (scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth) p.Style |= WS_HSCROLL;
  if (scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth) p.Style |= WS_VSCROLL;
}

void TMemo::SetScrollBars(TScrollStyle s) {
  if (s == scrollBars_) return;
  scrollBars_ = s;
  RecreateWnd();
}

void TMemo::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  RecreateWnd();
}

void TMemo::WMGetDlgCode(TMessage& m) {
  DefaultHandler(m);
  const MSG* msg = reinterpret_cast<const MSG*>(m.LParam);
  UINT key = msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) ? UINT(msg->wParam) : 0;
  if (wantTabs_) {
    m.Result |= DLGC_WANTTAB;
  } else {
    m.Result &= ~LRESULT(DLGC_WANTTAB);
    if (key == VK_TAB) m.Result &= ~LRESULT(DLGC_WANTMESSAGE | DLGC_WANTALLKEYS);
  }
  if (!wantReturns_ && (key == VK_RETURN || key == VK_ESCAPE))
    m.Result &= ~LRESULT(DLGC_WANTMESSAGE | DLGC_WANTALLKEYS);
  if (key == VK_ESCAPE) m.Result &= ~LRESULT(DLGC_WANTMESSAGE | DLGC_WANTALLKEYS);
}

// ---- TControlItems

const TClassInfo& TControlItems::StaticClass() {
  static const TClassInfo info{"TControlItems", &TStrings::StaticClass(), nullptr, {}};
  return info;
}

TControlItems::TControlItems(TWinControl& owner, const TListMessages& messages)
    : owner_(owner), m_(messages) {
  store_.SetDuplicates(TDuplicates::dupAccept);  // a list shows equal lines as often as added
}

HWND TControlItems::Window() const {
  return owner_.HandleAllocated() ? const_cast<TWinControl&>(owner_).Handle() : nullptr;
}

int TControlItems::Count() const {
  HWND h = Window();
  return h ? int(Send(h, m_.Count)) : store_.Count();
}

bool TControlItems::KeepsStrings(HWND h) const {
  DWORD style = DWORD(GetWindowLongPtrA(h, GWL_STYLE));
  return !(style & m_.OwnerDrawStyles) || (style & m_.HasStringsStyle);
}

LPARAM TControlItems::ItemParam(HWND h, const std::string& s) const {
  return KeepsStrings(h) ? reinterpret_cast<LPARAM>(s.c_str()) : 0;
}

std::string TControlItems::Get(int index) const {
  HWND h = Window();
  if (!h) return store_.Get(index);
  CheckIndex(index, Count());
  if (!KeepsStrings(h)) return {};
  LRESULT len = Send(h, m_.GetTextLen, WPARAM(index));
  if (len < 0) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  std::string s(size_t(len) + 1, '\0');
  len = Send(h, m_.GetText, WPARAM(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(size_t(std::max<LRESULT>(len, 0)));
  return s;
}

TObject* TControlItems::GetObject(int index) const {
  HWND h = Window();
  if (!h) return store_.GetObject(index);
  CheckIndex(index, Count());
  return reinterpret_cast<TObject*>(Send(h, m_.GetData, WPARAM(index)));
}

void TControlItems::PutObject(int index, TObject* obj) {
  HWND h = Window();
  if (!h) {
    store_.PutObject(index, obj);
    return;
  }
  CheckIndex(index, Count());
  Send(h, m_.SetData, WPARAM(index), reinterpret_cast<LPARAM>(obj));
}

int TControlItems::Add(const std::string& s) {
  HWND h = Window();
  if (!h) return store_.Add(s);
  LRESULT r = Send(h, m_.Add, 0, ItemParam(h, s));
  if (r < 0) throw EOutOfResources("Cannot add an item to " + owner_.Name());
  return int(r);
}

void TControlItems::Insert(int index, const std::string& s) {
  HWND h = Window();
  if (!h) {
    if (store_.Sorted())
      store_.Add(s);
    else
      store_.Insert(index, s);
    return;
  }
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  if (Send(h, m_.Insert, WPARAM(index), ItemParam(h, s)) < 0)
    throw EOutOfResources("Cannot add an item to " + owner_.Name());
}

void TControlItems::Delete(int index) {
  HWND h = Window();
  if (!h) {
    TObject* data = store_.GetObject(index);
    store_.Delete(index);
    if (data && DeleteData) DeleteData(index, data);
    return;
  }
  CheckIndex(index, Count());
  Send(h, m_.Delete, WPARAM(index));
}

void TControlItems::Clear() {
  HWND h = Window();
  if (h) {
    Send(h, m_.Reset);
    return;
  }
  while (store_.Count()) Delete(store_.Count() - 1);
}

void TControlItems::MoveToWindow() {
  HWND h = Window();
  for (int i = 0; i < store_.Count(); ++i) {
    std::string text = store_[i];
    LRESULT at = Send(h, m_.Add, 0, ItemParam(h, text));
    if (at >= 0 && store_.GetObject(i))
      Send(h, m_.SetData, WPARAM(at), reinterpret_cast<LPARAM>(store_.GetObject(i)));
  }
  store_.Clear();
}

void TControlItems::MoveFromWindow() {
  HWND h = Window();
  store_.Clear();
  int n = int(Send(h, m_.Count));
  for (int i = 0; i < n; ++i) store_.AddObject(Get(i), GetObject(i));
}

// ---- TListBox

const TClassInfo& TListBox::StaticClass() {
  static const TClassInfo info{
      "TListBox", &TWinControl::StaticClass(), Factory<TListBox>(),
      {TabStopDefault<TListBox>(true),
       P<TListBox>::Strings("Items", [](TListBox& l) -> TPersistent& { return l.Items(); }),
       P<TListBox>::Int("ItemIndex", &TListBox::ItemIndex, &TListBox::SetItemIndex)
           .WithStored([](const TPersistent&) { return false; }),
       P<TListBox>::Bool("Sorted", &TListBox::Sorted, &TListBox::SetSorted).WithDefault(false),
       P<TListBox>::Bool("MultiSelect", &TListBox::MultiSelect, &TListBox::SetMultiSelect).WithDefault(false),
       P<TListBox>::Bool("ExtendedSelect", &TListBox::ExtendedSelect, &TListBox::SetExtendedSelect)
           .WithDefault(true),
       P<TListBox>::Int("ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight).WithDefault(int64_t(0))}};
  return info;
}

TListBox::TListBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TControlItems>(*this, kListBoxMessages)) {
  items_->DeleteData = [this](int index, TObject* data) { DeleteItem(index, data); };
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
}

TListBox::~TListBox() = default;

void TListBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "LISTBOX";
  p.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
  if (sorted_) p.Style |= LBS_SORT;
  if (multiSelect_) p.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::CreateWindowHandle() {
  if (itemHeight_ > 0) Send(Handle(), LB_SETITEMHEIGHT, 0, LPARAM(itemHeight_));
  items_->MoveToWindow();
  if (itemIndex_ >= 0) SetItemIndex(itemIndex_);
}

void TListBox::DestroyWnd() {
  if (HandleAllocated() && !IsDestroying()) {
    itemIndex_ = ItemIndex();
    items_->MoveFromWindow();
    // The items live on in the list: their data must not be freed with the window.
    keepItemData_ = true;
  }
  TWinControl::DestroyWnd();
  keepItemData_ = false;
}

int TListBox::ItemIndex() const {
  if (!HandleAllocated()) return itemIndex_;
  HWND h = const_cast<TListBox*>(this)->Handle();
  return int(Send(h, multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL));
}

void TListBox::SetItemIndex(int index) {
  if (!HandleAllocated()) {
    itemIndex_ = index;
    return;
  }
  Send(Handle(), multiSelect_ ? LB_SETCARETINDEX : LB_SETCURSEL, WPARAM(index));
}

void TListBox::SetSorted(bool v) {
  if (v == sorted_) return;
  sorted_ = v;
  items_->SetSorted(v);
  RecreateWnd();
}

void TListBox::SetMultiSelect(bool v) {
  if (v == multiSelect_) return;
  multiSelect_ = v;
  RecreateWnd();
}

void TListBox::SetExtendedSelect(bool v) {
  if (v == extendedSelect_) return;
  extendedSelect_ = v;
  RecreateWnd();
}

bool TListBox::Selected(int index) const {
  if (!HandleAllocated()) return index == itemIndex_;
  LRESULT r = Send(const_cast<TListBox*>(this)->Handle(), LB_GETSEL, WPARAM(index));
  if (r < 0) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  return r > 0;
}

void TListBox::SetSelected(int index, bool v) {
  if (!multiSelect_) {
    SetItemIndex(v ? index : -1);
    return;
  }
  if (Send(Handle(), LB_SETSEL, v, LPARAM(index)) < 0)
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
}

int TListBox::SelCount() const {
  if (!multiSelect_) return ItemIndex() >= 0 ? 1 : 0;
  if (!HandleAllocated()) return 0;
  return int(Send(const_cast<TListBox*>(this)->Handle(), LB_GETSELCOUNT));
}

int TListBox::TopIndex() const {
  return HandleAllocated() ? int(Send(const_cast<TListBox*>(this)->Handle(), LB_GETTOPINDEX)) : 0;
}

void TListBox::SetItemHeight(int height) {
  itemHeight_ = height;
  if (height > 0 && HandleAllocated()) {
    Send(Handle(), LB_SETITEMHEIGHT, 0, LPARAM(height));
    Invalidate();
  }
}

void TListBox::WndProc(TMessage& m) {
  TWinControl::WndProc(m);
  if (m.Msg == WM_SETFONT && itemHeight_ > 0 && HandleAllocated())
    Send(Handle(), LB_SETITEMHEIGHT, 0, LPARAM(itemHeight_));
}

void TListBox::SetTopIndex(int index) { Send(Handle(), LB_SETTOPINDEX, WPARAM(index)); }

void TListBox::CNCommand(TMessage& m) {
  if (!EventsAllowed()) return;
  switch (HIWORD(m.WParam)) {
    case LBN_SELCHANGE:
      Click();
      break;
    case LBN_DBLCLK:
      DblClick();
      break;
    default:
      break;
  }
}

void TListBox::DeleteItem(int, TObject*) {}

void TListBox::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  items_->Clear();  // without a window the items are still here
}

void TListBox::CNDeleteItem(TMessage& m) {
  auto* d = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam);
  if (!keepItemData_) DeleteItem(int(d->itemID), reinterpret_cast<TObject*>(d->itemData));
  m.Result = TRUE;
}

// ---- TComboBox

const TClassInfo& TComboBox::StaticClass() {
  static const TClassInfo info{
      "TComboBox", &TWinControl::StaticClass(), Factory<TComboBox>(),
      {TabStopDefault<TComboBox>(true),
       P<TComboBox>::Enum<TComboBoxStyle>("Style", &kComboStyles, &TComboBox::Style, &TComboBox::SetStyle)
           .WithDefault(int64_t(0)),
       P<TComboBox>::Strings("Items", [](TComboBox& c) -> TPersistent& { return c.Items(); }),
       P<TComboBox>::Int("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex).WithDefault(int64_t(-1)),
       P<TComboBox>::Str("Text", &TComboBox::Text, &TComboBox::SetText)
           .WithDefault(std::string())
           .WithStored([](const TPersistent& o) {
             const auto& c = static_cast<const TComboBox&>(o);
             return c.Style() != TComboBoxStyle::csDropDownList && !c.OwnerDraw();
           }),
       P<TComboBox>::Bool("Sorted", &TComboBox::Sorted, &TComboBox::SetSorted).WithDefault(false),
       P<TComboBox>::Int("DropDownCount", &TComboBox::DropDownCount, &TComboBox::SetDropDownCount, &kNonNegative)
           .WithDefault(int64_t(8)),
       P<TComboBox>::Int("MaxLength", &TComboBox::MaxLength, &TComboBox::SetMaxLength, &kNonNegative)
           .WithDefault(int64_t(0)),
       P<TComboBox>::Int("ItemHeight", &TComboBox::ItemHeight, &TComboBox::SetItemHeight).WithDefault(int64_t(16)),
       P<TComboBox>::Event("OnChange", &TComboBox::OnChange),
       P<TComboBox>::Event("OnDropDown", &TComboBox::OnDropDown),
       P<TComboBox>::Event("OnDrawItem", &TComboBox::OnDrawItem),
       P<TComboBox>::Event("OnMeasureItem", &TComboBox::OnMeasureItem)}};
  return info;
}

TComboBox::TComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TControlItems>(*this, kComboBoxMessages)) {
  items_->DeleteData = [this](int index, TObject* data) { DeleteItem(index, data); };
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
}

TComboBox::~TComboBox() = default;

int TComboBox::DroppedHeight() const {
  return Height() + std::max(dropDownCount_, 1) * (TextExtentOf(Font(), "0").Height + 2) + 2;
}

void TComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "COMBOBOX";
  p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | CBS_HASSTRINGS;
  p.Style |= style_ == TComboBoxStyle::csSimple                              ? CBS_SIMPLE
             : style_ == TComboBoxStyle::csDropDown                          ? CBS_DROPDOWN
             : style_ == TComboBoxStyle::csOwnerDrawFixed                    ? CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED
             : style_ == TComboBoxStyle::csOwnerDrawVariable                 ? CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE
                                                                             : CBS_DROPDOWNLIST;
  if (sorted_) p.Style |= CBS_SORT;
  if (style_ != TComboBoxStyle::csSimple) p.Height = DroppedHeight();
}

void TComboBox::CreateWindowHandle() {
  items_->MoveToWindow();
  if (maxLength_) Send(Handle(), CB_LIMITTEXT, WPARAM(maxLength_));
  if (itemIndex_ >= 0)
    Send(Handle(), CB_SETCURSEL, WPARAM(itemIndex_));
  else if (style_ != TComboBoxStyle::csDropDownList && !OwnerDraw() && !text_.empty())
    SetWindowTextA(Handle(), text_.c_str());
}

int TComboBox::ItemHeight() const {
  if (OwnerDraw() || !HandleAllocated()) return itemHeight_;
  return int(Send(const_cast<TComboBox*>(this)->Handle(), CB_GETITEMHEIGHT));
}

void TComboBox::SetItemHeight(int height) {
  if (height == ItemHeight() || height <= 0) return;
  itemHeight_ = height;
  if (OwnerDraw()) RecreateWnd();
}

void TComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_DRAWITEM:
      CNDrawItem(m);
      return;
    case CN_MEASUREITEM:
      CNMeasureItem(m);
      return;
    default:
      TWinControl::WndProc(m);
  }
}

void TComboBox::CNDrawItem(TMessage& m) {
  auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
  TOwnerDrawState state = d->itemState;
  struct Detach {
    TCanvas& c;
    ~Detach() { c.SetHandle(nullptr); }
  } detach{canvas_};
  canvas_.SetHandle(d->hDC);
  canvas_.Font().Assign(Font());
  canvas_.Brush().SetColor(Color());
  canvas_.Brush().SetStyle(TBrushStyle::bsSolid);
  if (int(d->itemID) >= 0 && (state & odSelected)) {
    canvas_.Brush().SetColor(clHighlight);
    canvas_.Font().SetColor(clHighlightText);
  }
  TRect r = FromRECT(d->rcItem);
  if (int(d->itemID) < 0)
    canvas_.FillRect(r);
  else
    DrawItem(int(d->itemID), r, state);
  m.Result = TRUE;
}

void TComboBox::CNMeasureItem(TMessage& m) {
  auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
  int height = itemHeight_;
  if (style_ == TComboBoxStyle::csOwnerDrawVariable && int(mi->itemID) >= 0) MeasureItem(int(mi->itemID), height);
  mi->itemHeight = UINT(std::max(height, 1));
  m.Result = TRUE;
}

void TComboBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  canvas_.FillRect(rect);
  if (index < items_->Count()) canvas_.TextOut(rect.Left + 2, rect.Top, items_->Get(index));
}

void TComboBox::MeasureItem(int index, int& height) { OnMeasureItem(this, index, height); }

void TComboBox::DestroyWnd() {
  if (HandleAllocated() && !IsDestroying()) {
    itemIndex_ = ItemIndex();
    text_ = Text();
    items_->MoveFromWindow();
    keepItemData_ = true;
  }
  TWinControl::DestroyWnd();
  keepItemData_ = false;
}

void TComboBox::SetBounds(int left, int top, int width, int height) {
  if (!HandleAllocated() || style_ == TComboBoxStyle::csSimple) {
    TWinControl::SetBounds(left, top, width, height);
    return;
  }
  if (width == Width() && height == Height()) {
    // A move keeps the size: the window is not made as tall as its open list on the way.
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBoundsFromWindow();
    return;
  }
  // The window height of a drop-down combo box is the height of its open list.
  SetWindowPos(Handle(), nullptr, left, top, width,
               height + std::max(dropDownCount_, 1) * (TextExtentOf(Font(), "0").Height + 2) + 2,
               SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateBoundsFromWindow();
}

void TComboBox::SetStyle(TComboBoxStyle s) {
  if (s == style_) return;
  style_ = s;
  RecreateWnd();
}

int TComboBox::ItemIndex() const {
  if (!HandleAllocated()) return itemIndex_;
  return int(Send(const_cast<TComboBox*>(this)->Handle(), CB_GETCURSEL));
}

void TComboBox::SetItemIndex(int index) {
  if (!HandleAllocated()) {
    itemIndex_ = index;
    if (index >= 0 && index < items_->Count()) text_ = items_->Get(index);
    return;
  }
  Send(Handle(), CB_SETCURSEL, WPARAM(index));
}

void TComboBox::SetText(const std::string& text) {
  if (style_ == TComboBoxStyle::csDropDownList || OwnerDraw()) {
    SetItemIndex(items_->IndexOf(text));
    return;
  }
  TWinControl::SetText(text);
}

void TComboBox::SetSorted(bool v) {
  if (v == sorted_) return;
  sorted_ = v;
  items_->SetSorted(v);
  RecreateWnd();
}

void TComboBox::SetMaxLength(int n) {
  maxLength_ = std::max(n, 0);
  if (HandleAllocated()) Send(Handle(), CB_LIMITTEXT, WPARAM(maxLength_));
}

bool TComboBox::DroppedDown() const {
  return HandleAllocated() && Send(const_cast<TComboBox*>(this)->Handle(), CB_GETDROPPEDSTATE) != 0;
}

void TComboBox::SetDroppedDown(bool v) { Send(Handle(), CB_SHOWDROPDOWN, v); }

void TComboBox::CNCommand(TMessage& m) {
  if (!EventsAllowed()) return;
  switch (HIWORD(m.WParam)) {
    case CBN_SELCHANGE: {
      int i = ItemIndex();
      if (i >= 0 && style_ != TComboBoxStyle::csDropDownList && !OwnerDraw()) SetWindowTextA(Handle(), items_->Get(i).c_str());
      Click();
      Change();
      break;
    }
    case CBN_EDITCHANGE:
      Change();
      break;
    case CBN_DROPDOWN:
      OnDropDown(this);
      break;
    default:
      break;
  }
}

void TComboBox::Change() { OnChange(this); }

void TComboBox::DeleteItem(int, TObject*) {}

void TComboBox::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  items_->Clear();  // without a window the items are still here
}

void TComboBox::CNDeleteItem(TMessage& m) {
  auto* d = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam);
  if (!keepItemData_) DeleteItem(int(d->itemID), reinterpret_cast<TObject*>(d->itemData));
  m.Result = TRUE;
}
