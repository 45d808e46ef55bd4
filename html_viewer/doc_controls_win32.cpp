#include "html_viewer/doc_controls_win32.h"

#include "framework/controls/extctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/application.h"

namespace {

// An edit that offers Enter to the document before the form's default button sees it.
class TDocEdit : public TEdit {
 public:
  TDocEdit(TComponent* owner, IControlEvents& events) : TEdit(owner), events_(events) {}
  bool DialogKeyFor(uint16_t key, bool focused) override {
    return key == VK_RETURN && focused && events_.KeyPressed(kKeyReturn);
  }

 private:
  IControlEvents& events_;
};

bool IsPageKey(uint16_t key) { return key == VK_PRIOR || key == VK_NEXT || key == VK_END || key == VK_HOME; }

// One form control's window. The holder owns the control (and frees it with the window);
// when the panel frees its children first, the link lets go of it.
class TWinFormWindow : public IControlWindow {
 public:
  TWinFormWindow(TWinControl& panel, const TControlDesc& desc, IControlEvents& events)
      : holder_(new TComponent(nullptr)), outer_(holder_.get()), kind_(desc.Kind), events_(events) {
    TComponent* owner = holder_.get();
    TWinControl* control = nullptr;
    switch (desc.Kind) {
      case TControlKind::ckEdit: {
        auto* e = new TDocEdit(owner, events);
        e->SetMaxLength(desc.MaxLength);
        if (desc.Password) e->SetPasswordChar('*');
        PassPageKeys(*e);
        control = edit_ = e;
        break;
      }
      case TControlKind::ckMemo: {
        auto* m = new TMemo(owner);
        m->SetScrollBars(TScrollStyle::ssBoth);
        m->SetWordWrap(false);
        PassPageKeys(*m);
        control = edit_ = m;
        break;
      }
      case TControlKind::ckButton: {
        auto* b = new TButton(owner);
        b->OnClick = TNotifyEvent([this](TObject*) { events_.Clicked(); });
        control = b;
        break;
      }
      case TControlKind::ckCheckBox: {
        auto* c = new TCheckBox(owner);
        c->OnClick = TNotifyEvent([this](TObject*) { UserClick(); });
        control = check_ = c;
        break;
      }
      case TControlKind::ckRadio: {
        auto* p = new TPanel(owner);
        p->SetBevelOuter(TBevelCut::bvNone);
        if (desc.Color != clNone) p->SetColor(desc.Color);
        auto* r = new TRadioButton(owner);
        r->SetParent(p);
        r->SetBounds(0, 0, desc.Width, desc.Height);
        r->OnClick = TNotifyEvent([this](TObject*) { UserClick(); });
        check_ = r;
        control = p;
        break;
      }
      case TControlKind::ckListBox: {
        auto* l = new TListBox(owner);
        l->SetMultiSelect(desc.MultiSelect);
        l->SetExtendedSelect(desc.MultiSelect);
        control = list_ = l;
        break;
      }
      case TControlKind::ckCombo: {
        auto* c = new TComboBox(owner);
        c->SetStyle(TComboBoxStyle::csDropDownList);
        control = combo_ = c;
        break;
      }
    }
    if (desc.Kind != TControlKind::ckRadio) {
      control->SetParentFont(false);
      control->Font().SetName(desc.Font.Name);
      control->Font().SetSize(desc.Font.Size);
    }
    if (!desc.Text.empty()) control->SetText(desc.Text);
    control->SetBounds(-400, 0, desc.Width, desc.Height);
    control->SetParent(&panel);
    outer_ = control;
  }
  TWinFormWindow(const TWinFormWindow&) = delete;
  TWinFormWindow& operator=(const TWinFormWindow&) = delete;

  TRect Bounds() const override { return outer_ ? outer_->BoundsRect() : TRect{}; }
  void SetSize(int width, int height) override {
    if (!outer_) return;
    outer_->SetBounds(outer_->Left(), outer_->Top(), width, height);
    if (kind_ == TControlKind::ckRadio) check_->SetBounds(0, 0, width, height);
  }
  void MoveTo(int x, int y) override {
    if (!outer_) return;
    if (outer_->Left() != x || outer_->Top() != y) outer_->SetBounds(x, y, outer_->Width(), outer_->Height());
    if (!outer_->Visible()) outer_->Show();
  }
  void Hide() override {
    if (outer_) outer_->Hide();
  }
  bool Showing() const override { return outer_ && outer_->Visible(); }
  std::string Text() const override { return outer_ ? outer_->Text() : std::string(); }
  void SetText(const std::string& text) override {
    if (outer_) outer_->SetText(text);
  }
  bool Checked() const override { return outer_ && check_ && check_->Checked(); }
  void SetChecked(bool on) override {
    if (!outer_ || !check_) return;
    updating_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{updating_};
    check_->SetChecked(on);
  }
  void SetItems(const std::vector<std::string>& items) override {
    TStrings* strings = Items();
    if (!strings) return;
    strings->Clear();
    for (const std::string& s : items) strings->Add(s);
  }
  int ItemIndex() const override {
    if (!outer_) return -1;
    return list_ ? list_->ItemIndex() : combo_ ? combo_->ItemIndex() : -1;
  }
  void SetItemIndex(int index) override {
    if (!outer_) return;
    if (list_) list_->SetItemIndex(index);
    if (combo_) combo_->SetItemIndex(index);
  }
  bool Selected(int index) const override {
    if (!outer_) return false;
    if (list_) return index >= 0 && index < list_->Items().Count() && list_->Selected(index);
    return combo_ && combo_->ItemIndex() == index;
  }
  void SetSelected(int index, bool on) override {
    if (outer_ && list_ && index >= 0 && index < list_->Items().Count()) list_->SetSelected(index, on);
  }
  int TopIndex() const override { return outer_ && list_ ? list_->TopIndex() : 0; }
  void SetTopIndex(int index) override {
    if (outer_ && list_) list_->SetTopIndex(index);
  }
  void CaretToStart() override {
    if (outer_ && edit_) edit_->SetSelStart(0);
  }

 private:
  TStrings* Items() {
    if (!outer_) return nullptr;
    return list_ ? &list_->Items() : combo_ ? &combo_->Items() : nullptr;
  }
  void PassPageKeys(TEdit& e) {
    e.OnKeyDown = TKeyEvent([this](TObject*, uint16_t& key, TShiftState) {
      if (IsPageKey(key) && events_.KeyPressed(key)) key = 0;
    });
  }
  void UserClick() {
    if (!updating_) events_.Clicked();
  }

  TOwned<TComponent> holder_;
  TLink<TWinControl> outer_;
  TControlKind kind_;
  IControlEvents& events_;
  TEdit* edit_ = nullptr;
  TButtonControl* check_ = nullptr;
  TListBox* list_ = nullptr;
  TComboBox* combo_ = nullptr;
  bool updating_ = false;
};

}  // namespace

std::unique_ptr<IControlWindow> TWinPaintSurface::CreateControl(const TControlDesc& desc, IControlEvents& events) {
  return std::make_unique<TWinFormWindow>(panel_, desc, events);
}

void TWinPaintSurface::Invalidate(const TRect& r) {
  if (!panel_.HandleAllocated()) return;
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  InvalidateRect(panel_.Handle(), &rc, FALSE);
}

void TWinPaintSurface::PostKey(uint16_t key) {
  TWinControl* viewer = panel_.Parent() ? panel_.Parent() : &panel_;
  PostMessageA(viewer->Handle(), WM_KEYDOWN, WPARAM(key), 0);
}

TWinDocTimer::TWinDocTimer() : timer_(new TTimer(nullptr)) {
  timer_->SetEnabled(false);
  timer_->SetInterval(50);
}

void TWinDocTimer::SetOnTimer(std::function<void()> tick) {
  if (tick)
    timer_->OnTimer = TNotifyEvent([tick = std::move(tick)](TObject*) { tick(); });
  else
    timer_->OnTimer = TNotifyEvent();
}

void TMessageBoxErrorSink::ShowError(const std::string& text) {
  Application->MessageBox(text, Application->Title(), MB_OK | MB_ICONERROR);
}
