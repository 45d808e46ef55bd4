#include <gtest/gtest.h>

#include "framework/controls/buttons.h"
#include "framework/testing/gui_test.h"
#include "framework/win/hints.h"
#include "framework/win/menus.h"
#include "test_forms.h"

namespace {

class Controls : public TGuiTest {
 protected:
  TTestMainForm* ShownForm() {
    auto* f = MakeForm<TTestMainForm>();
    f->Show();
    Pump();
    f->Events.clear();
    return f;
  }
};

bool IsChecked(TWinControl& c) { return SendMessageA(c.Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

TEST_F(Controls, UserActionsAndCodeFireTheEventsTheirRulesSay) {
  auto* f = ShownForm();
  using V = std::vector<std::string>;

  Click(*f->button_Ok);  // not modal: the form only keeps the result
  EXPECT_EQ(f->ModalResult(), mrOk);

  Click(*f->chkbox_Hints);           // a user's click
  f->chkbox_Hints->SetChecked(true);  // code fires OnClick too
  f->chkbox_Hints->SetChecked(true);  // no change, no event
  EXPECT_TRUE(IsChecked(*f->chkbox_Hints));

  SelectItem(*f->rdgrp_Mode, 2);
  f->rdgrp_Mode->SetItemIndex(0);
  f->rdgrp_Mode->SetItemIndex(0);
  EXPECT_TRUE(IsChecked(*f->rdgrp_Mode->Button(0)));
  EXPECT_FALSE(IsChecked(*f->rdgrp_Mode->Button(2)));

  f->combo_Packer->SetItemIndex(1);  // code: no event
  EXPECT_EQ(f->combo_Packer->Text(), "ZIP");
  SelectItem(*f->combo_Packer, 0);
  f->list_Files->SetItemIndex(1);
  SelectItem(*f->list_Files, 0);

  f->edit_Name->SetText("Quiltor");  // the same text: no change
  f->edit_Name->SetText("Snapmend");
  SetText(*f->edit_Name, "Typed");
  SetText(*f->edit_Name, "Typed");

  EXPECT_EQ(f->Events, (V{"ok", "hints off", "hints on", "mode 2", "mode 0", "packer 0", "file 0",
                          "name Snapmend", "name Typed"}));
}

TEST_F(Controls, PageControlChangesPagesByCodeQuietlyAndByTabWithItsEvents) {
  auto* f = ShownForm();
  f->pagectrl_Main->SetActivePage(f->page_One);
  EXPECT_TRUE(f->page_One->Visible());
  EXPECT_FALSE(f->page_Two->Visible());
  EXPECT_TRUE(f->Events.empty());

  HWND tabs = f->pagectrl_Main->Handle();
  auto clickTab = [&](int i) {
    RECT r{};
    SendMessageA(tabs, TCM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tabs, WM_LBUTTONUP, 0, at);
  };
  bool allow = false;
  f->pagectrl_Main->OnChanging = TCloseQueryEvent([&](TObject*, bool& a) { a = allow; });
  clickTab(1);
  EXPECT_EQ(f->pagectrl_Main->ActivePage(), f->page_One);  // refused
  allow = true;
  clickTab(1);
  EXPECT_EQ(f->pagectrl_Main->ActivePage(), f->page_Two);
  EXPECT_TRUE(f->page_Two->Visible());
  EXPECT_EQ(f->Events, std::vector<std::string>{"page 1"});

  f->page_One->SetTabVisible(false);
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(f->page_Two->TabIndex(), 0);
}

TEST_F(Controls, ListItemsLiveInTheWindowAndSurviveARecreate) {
  auto* f = MakeForm<TTestMainForm>();
  TObject tag;
  f->list_Files->Items().AddObject("zeta.txt", &tag);  // before the window exists
  f->list_Files->SetItemIndex(2);
  f->Show();
  HWND before = f->list_Files->Handle();
  EXPECT_EQ(SendMessageA(before, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(f->list_Files->ItemIndex(), 2);
  f->list_Files->Items().Add("alpha.txt");
  f->list_Files->SetSorted(true);  // a new window with the sort style
  EXPECT_NE(f->list_Files->Handle(), before);
  ASSERT_EQ(f->list_Files->Items().Count(), 4);
  EXPECT_EQ(f->list_Files->Items()[0], "alpha.txt");
  EXPECT_EQ(f->list_Files->Items().GetObject(f->list_Files->Items().IndexOf("zeta.txt")), &tag);
  f->list_Files->Items().Delete(0);
  EXPECT_THROW(f->list_Files->Items().Get(7), EListError);

  f->memo_Text->Lines().Add("third line");
  EXPECT_EQ(f->memo_Text->Lines().Count(), 3);
  EXPECT_EQ(f->memo_Text->Text(), "first line\r\nsecond line\r\nthird line\r\n");
  f->memo_Text->Lines().SetText("a\nb");  // the edit control needs CR LF
  EXPECT_EQ(f->memo_Text->Text(), "a\r\nb\r\n");

  // The caret goes where it is put, selecting nothing.
  f->memo_Text->SelectAll();
  f->memo_Text->SetSelStart(3);
  EXPECT_EQ(f->memo_Text->SelStart(), 3);
  DWORD from = 0, to = 0;
  SendMessageA(f->memo_Text->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, to);
  f->memo_Text->SetSelStart(0);
  EXPECT_EQ(f->memo_Text->SelStart(), 0);
}

// A drop-down combo box that counts the size changes its window is asked for.
class TCountingCombo : public TComboBox {
 public:
  using TComboBox::TComboBox;
  int Resizes = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_WINDOWPOSCHANGING && !(reinterpret_cast<WINDOWPOS*>(m.LParam)->flags & SWP_NOSIZE)) ++Resizes;
    TComboBox::WndProc(m);
  }
};

TEST_F(Controls, MovingADropDownComboKeepsItsSize) {
  auto* f = ShownForm();
  auto* c = new TCountingCombo(f);
  c->SetStyle(TComboBoxStyle::csDropDownList);
  c->SetParent(f);
  c->SetBounds(10, 10, 90, 21);
  Pump();
  int height = c->Height(), resizes = c->Resizes;
  RECT dropped{};
  SendMessageA(c->Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  c->SetBounds(40, 60, c->Width(), c->Height());
  EXPECT_EQ(c->Resizes, resizes);  // a move is no size change, not even on the way
  EXPECT_EQ(c->Left(), 40);
  EXPECT_EQ(c->Top(), 60);
  EXPECT_EQ(c->Height(), height);
  RECT after{};
  SendMessageA(c->Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&after));
  EXPECT_EQ(after.bottom - after.top, dropped.bottom - dropped.top);
  c->SetBounds(40, 60, 120, c->Height());
  EXPECT_GT(c->Resizes, resizes);
  EXPECT_EQ(c->Width(), 120);
}

TEST_F(Controls, AlignPlacesChildrenTopBottomLeftRightThenClient) {
  auto* f = new TForm(nullptr);
  Track(f);
  f->SetClientWidth(300);
  f->SetClientHeight(200);
  auto panel = [&](TAlign a, int w, int h) {
    auto* p = new TPanel(f);
    p->SetBounds(0, 0, w, h);
    p->SetParent(f);
    p->SetAlign(a);
    return p;
  };
  TPanel* client = panel(TAlign::alClient, 10, 10);
  TPanel* top2 = panel(TAlign::alTop, 10, 30);
  TPanel* top1 = panel(TAlign::alTop, 10, 20);
  top1->SetTop(-1);  // above the other top panel now: it goes first
  TPanel* bottom = panel(TAlign::alBottom, 10, 25);
  TPanel* left = panel(TAlign::alLeft, 40, 10);
  TPanel* right = panel(TAlign::alRight, 50, 10);
  EXPECT_EQ(top1->BoundsRect(), Bounds(0, 0, 300, 20));
  EXPECT_EQ(top2->BoundsRect(), Bounds(0, 20, 300, 30));
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 175, 300, 25));
  EXPECT_EQ(left->BoundsRect(), Bounds(0, 50, 40, 125));
  EXPECT_EQ(right->BoundsRect(), Bounds(250, 50, 50, 125));
  EXPECT_EQ(client->BoundsRect(), Bounds(40, 50, 210, 125));

  f->Show();  // the real client area, and a resize, keep the layout
  f->SetClientHeight(260);
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 235, 300, 25));
  EXPECT_EQ(client->Height(), 185);
  top2->Hide();  // hidden controls take no room
  EXPECT_EQ(client->BoundsRect(), Bounds(40, 20, 210, 215));
  auto* inner = new TPanel(f);
  inner->SetParent(client);
  client->SetBorderWidth(5);
  inner->SetAlign(TAlign::alClient);
  EXPECT_EQ(inner->BoundsRect(), Bounds(6, 6, 198, 203));  // border width and the raised bevel
}

TEST_F(Controls, KeysMoveFocusAndClickTheDefaultAndCancelButtons) {
  auto* f = ShownForm();
  std::vector<std::string> keys;
  f->edit_Name->OnEnter = TNotifyEvent([&](TObject*) { keys.push_back("enter edit"); });
  f->edit_Name->OnExit = TNotifyEvent([&](TObject*) { keys.push_back("exit edit"); });
  f->edit_Name->SetFocus();
  Pump();
  PressKey(VK_TAB);
  EXPECT_TRUE(f->chkbox_Hints->Focused());
  PressKey(VK_TAB, ssShift);
  EXPECT_TRUE(f->edit_Name->Focused());
  EXPECT_EQ(keys, (std::vector<std::string>{"enter edit", "exit edit", "enter edit"}));

  PressKey(VK_RETURN);  // the edit does not want Enter: the default button takes it
  EXPECT_EQ(f->Events, std::vector<std::string>{"ok"});
  PressKey(VK_ESCAPE);
  EXPECT_EQ(f->ModalResult(), mrCancel);

  f->memo_Text->SetFocus();
  PressKey(VK_RETURN);  // a memo keeps Enter for itself
  EXPECT_EQ(f->Events.size(), 1u);

  f->chkbox_Hints->SetFocus();
  PressKey('N', ssAlt);  // the label's accelerator focuses its FocusControl
  EXPECT_TRUE(f->edit_Name->Focused());
  PressKey('H', ssAlt);  // a check box's accelerator toggles it
  EXPECT_FALSE(f->chkbox_Hints->Checked());
}

TEST_F(Controls, KeyPreviewSeesKeysFirstAndCanConsumeThem) {
  auto* f = ShownForm();
  std::vector<std::string> seen;
  f->SetKeyPreview(true);
  f->OnKeyDown = TKeyEvent([&](TObject*, uint16_t& key, TShiftState) {
    seen.push_back("form " + std::to_string(key));
    if (key == VK_F5) key = 0;
  });
  f->edit_Name->OnKeyDown = TKeyEvent([&](TObject*, uint16_t& key, TShiftState) {
    seen.push_back("edit " + std::to_string(key));
  });
  f->edit_Name->SetFocus();
  PressKey(VK_F5);
  PressKey(VK_F6);
  EXPECT_EQ(seen, (std::vector<std::string>{"form 116", "form 117", "edit 117"}));
}

TEST_F(Controls, PaintedControlsDrawTheirOwnFaces) {
  auto* f = ShownForm();
  TCapture panel = PaintToBitmap(*f->panel_Bottom);
  EXPECT_TRUE(PixelNear(panel, 0, 20, RGBOf(clBtnHighlight)));                  // raised bevel: light left edge
  EXPECT_TRUE(PixelNear(panel, panel.Width - 1, 20, RGBOf(clBtnShadow)));       // dark right edge
  EXPECT_TRUE(PixelNear(panel, 100, 20, RGBOf(clBtnFace)));

  int width = f->label_Name->Width();
  f->label_Name->SetCaption("A much longer caption");
  EXPECT_GT(f->label_Name->Width(), width * 2);  // AutoSize follows the text
  f->label_Name->Font().SetColor(clRed);
  f->label_Name->SetAutoSize(false);
  TCapture label = PaintToBitmap(*f->label_Name);
  bool red = false;  // some pixel of the text, whatever the font smoothing
  for (int x = 0; x < label.Width && !red; ++x)
    for (int y = 0; y < label.Height && !red; ++y) {
      uint32_t p = label.PixelAt(x, y);
      red = (p >> 16) > 0xB0 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
    }
  EXPECT_TRUE(red);
  EXPECT_TRUE(PixelNear(label, label.Width - 1, 0, RGBOf(clBtnFace)));  // the parent's colour behind it
}

TEST_F(Controls, HintsShowTheShortPartAfterThePauseAndHideAgain) {
  auto* f = ShownForm();
  f->SetShowHint(true);
  EXPECT_TRUE(f->edit_Name->ShowHint());  // inherited through ParentShowHint
  Application->SetHintPause(10);
  Application->SetHintHidePause(300);
  SetCursorPos(1270, 1010);  // away from every window of the test
  PostMessageA(f->edit_Name->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(PumpUntil([] { return Application->HintWindow() && Application->HintWindow()->Visible(); }));
  THintWindow* hint = Application->HintWindow();
  EXPECT_EQ(hint->Caption(), "The name");
  EXPECT_TRUE(IsWindowVisible(hint->Handle()));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(hint->Handle()); }));
  Application->SetHintPause(500);
  Application->SetHintHidePause(2500);
}

TEST_F(Controls, TimerTicksWhileEnabled) {
  auto* f = ShownForm();
  f->timer_Tick->SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return f->Events.size() >= 2; }));
  f->timer_Tick->SetEnabled(false);
  size_t n = f->Events.size();
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(f->Events.size(), n);
  EXPECT_EQ(f->Events.front(), "tick");
}

TEST_F(Controls, ApplicationWindowCarriesTheTitleAndMinimizesTheForms) {
  char title[64] = {};
  GetWindowTextA(Application->Handle(), title, sizeof title);
  EXPECT_STREQ(title, "Framework Tests");
  auto* f = ShownForm();
  bool restored = false;
  Application->OnRestore = TNotifyEvent([&](TObject*) { restored = true; });
  Application->Minimize();
  EXPECT_FALSE(IsWindowVisible(f->Handle()));
  Application->Restore();
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  EXPECT_TRUE(restored);
  Application->OnRestore = TNotifyEvent();
}

// Speed buttons of one group are down one at a time and a click on the down one keeps it
// down unless AllowAllUp; a button of group 0 only clicks; none takes the focus.
TEST_F(Controls, SpeedButtonsOfAGroupAreDownOneAtATime) {
  auto* f = ShownForm();
  auto make = [&](int group, bool allowAllUp, int left) {
    auto* b = new TSpeedButton(f);
    b->SetGroupIndex(group);
    b->SetAllowAllUp(allowAllUp);
    b->SetBounds(left, 4, 23, 22);
    b->SetParent(f);
    return b;
  };
  TSpeedButton* list = make(1, false, 4);
  TSpeedButton* details = make(1, false, 30);
  TSpeedButton* tree = make(2, true, 60);
  TSpeedButton* plain = make(0, false, 90);
  int clicks = 0;
  for (TSpeedButton* b : {list, details, tree, plain}) b->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  Pump();
  f->edit_Name->SetFocus();
  auto press = [](TSpeedButton* b) {
    SendMessageA(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(b->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  struct Step {
    TSpeedButton* pressed;
    bool list, details, tree;
  };
  for (const Step& s : {Step{list, true, false, false}, Step{details, false, true, false},
                        Step{details, false, true, false}, Step{tree, false, true, true},
                        Step{tree, false, true, false}, Step{plain, false, true, false}}) {
    press(s.pressed);
    EXPECT_EQ(list->Down(), s.list);
    EXPECT_EQ(details->Down(), s.details);
    EXPECT_EQ(tree->Down(), s.tree);
    EXPECT_FALSE(plain->Down());
  }
  EXPECT_EQ(clicks, 6);
  EXPECT_EQ(GetFocus(), f->edit_Name->Handle());
  list->SetDown(true);  // in code too
  EXPECT_FALSE(details->Down());
}

// A radio item's check is a bullet; a form is never tracked smaller than its smallest
// size, and its normal bounds are those it returns to from maximised.
TEST_F(Controls, RadioMenuItemsAndAFormsSmallestAndNormalSize) {
  auto* f = ShownForm();
  auto* menu = new TPopupMenu(f);
  auto* radio = new TMenuItem(f);
  radio->SetCaption("List");
  radio->SetRadioItem(true);
  radio->SetChecked(true);
  auto* plain = new TMenuItem(f);
  plain->SetCaption("Paste");
  menu->Items().Add(radio);
  menu->Items().Add(plain);
  std::vector<UINT> types, states;
  TPopupTrackFunction previous = SetPopupTrackFunction([&](TPopupMenu&, HMENU h, int, int) -> UINT {
    for (UINT i = 0; i < 2; ++i) {
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_STATE;
      GetMenuItemInfoA(h, i, TRUE, &info);
      types.push_back(info.fType & MFT_RADIOCHECK);
      states.push_back(info.fState & MFS_CHECKED);
    }
    return 0;
  });
  menu->Popup(10, 10);
  SetPopupTrackFunction(previous);
  EXPECT_EQ(types, (std::vector<UINT>{MFT_RADIOCHECK, 0}));
  EXPECT_EQ(states, (std::vector<UINT>{MFS_CHECKED, 0}));

  f->SetMinTrackSize({459, 274});
  MINMAXINFO info{};
  SendMessageA(f->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 459);
  EXPECT_EQ(info.ptMinTrackSize.y, 274);

  f->SetBounds(40, 30, 500, 300);
  Pump();
  f->SetWindowState(TWindowState::wsMaximized);
  Pump();
  EXPECT_NE(f->Width(), 500);
  EXPECT_EQ(f->NormalBounds().Width(), 500);
  EXPECT_EQ(f->NormalBounds().Height(), 300);
  f->SetWindowState(TWindowState::wsNormal);
}

}  // namespace
