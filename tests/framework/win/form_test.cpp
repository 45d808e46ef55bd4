#include <gtest/gtest.h>

#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "framework/win/firewall.h"
#include "framework/testing/gui_test.h"
#include "test_forms.h"
#include "tests/support/defaults_check.h"

namespace {

class FormResource : public TGuiTest {};

// The name a driver in another process reads from a window.
std::string FwNameOf(HWND h) {
  auto atom = ATOM(reinterpret_cast<UINT_PTR>(GetPropA(h, "FwName")));
  char name[128] = {};
  if (atom) GlobalGetAtomNameA(atom, name, sizeof name);
  return name;
}

TEST_F(FormResource, ShowsItsControlsOnScreen) {
  auto* f = MakeForm<TTestMainForm>();
  EXPECT_EQ(f->Events, std::vector<std::string>{"create"});
  f->Show();
  Pump();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(f->Handle()) != 0; }));
  UpdateWindow(f->Handle());
  Pump();
  POINT origin{0, 0};
  ClientToScreen(f->Handle(), &origin);
  TCapture shot = CaptureScreen(Bounds(origin.x, origin.y, f->ClientWidth(), f->ClientHeight()));
  // For a look by eye: FW_SCREENSHOTS saves the capture, FW_HOLD_MS keeps the form up.
  if (const char* dir = getenv("FW_SCREENSHOTS")) shot.SaveBmp(std::string(dir) + "\\main_form.bmp");
  if (const char* hold = getenv("FW_HOLD_MS")) PumpUntil([] { return false; }, atoi(hold));
  EXPECT_EQ(f->ClientWidth(), 520);
  EXPECT_EQ(f->ClientHeight(), 380);
  // Aligned panels: across the top and the bottom of the client area.
  EXPECT_EQ(f->panel_Top->BoundsRect(), Bounds(0, 0, 520, 40));
  EXPECT_EQ(f->panel_Bottom->BoundsRect(), Bounds(0, 336, 520, 44));
  EXPECT_TRUE(PixelNear(shot, 8, 20, 0x00A000));                       // the top panel's own colour
  EXPECT_TRUE(PixelNear(shot, 250, 180, RGBOf(clBtnFace)));            // the form between controls
  EXPECT_TRUE(PixelNear(shot, 80 + 150, 52 + 10, RGBOf(clWindow)));    // inside the edit, past its text
  EXPECT_TRUE(PixelNear(shot, 260 + 10 + 220, 84 + 48 + 50, RGBOf(clWindow)));  // the list box
  TRect sheet = f->page_Two->BoundsRect();
  int barX = 260 + sheet.Left + 8, barY = 212 + sheet.Top + 8;
  EXPECT_TRUE(PixelNear(shot, barX + 20, barY + 9, RGBOf(clHighlight), 40));   // the bar's filled part
  EXPECT_TRUE(PixelNear(shot, barX + 190, barY + 9, RGBOf(clBtnFace), 40));    // and its empty end
  EXPECT_TRUE(PixelNear(shot, 12 + 150, 184 + 40, RGBOf(clWindow)));  // inside the memo
}

TEST_F(FormResource, WindowsCarryClassNamesAndComponentNames) {
  auto* f = MakeForm<TTestMainForm>();
  f->Show();
  Pump();
  std::vector<std::string> seen;
  ForEachChildWindow(f->Handle(), [&](HWND h) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    std::string name = FwNameOf(h);
    if (!name.empty()) seen.push_back(std::string(cls) + " " + name);
    return true;
  });
  for (const char* expected : {"TButton button_Ok", "TEdit edit_Name", "TLabel label_Name", "TPanel panel_Top",
                               "TComboBox combo_Packer", "TListBox list_Files", "TMemo memo_Text",
                               "TPageControl pagectrl_Main", "TTabSheet page_Two", "TProgressBar progress_Copy",
                               "TRadioGroup rdgrp_Mode", "TGroupBox group_Lists", "TCheckBox chkbox_Hints"})
    EXPECT_NE(std::find(seen.begin(), seen.end(), expected), seen.end()) << expected;
  char text[64] = {};
  SendMessageA(f->label_Name->Handle(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "&Name:");
  f->edit_Name->SetName("edit_Renamed");
  EXPECT_EQ(FwNameOf(f->edit_Name->Handle()), "edit_Renamed");
}

TEST_F(FormResource, LoadsWhatTheTextSays) {
  auto* f = MakeForm<TTestMainForm>();
  EXPECT_EQ(f->Caption(), "Framework test form");
  EXPECT_EQ(f->BorderIcons(), biSystemMenu | biMinimize);
  EXPECT_EQ(f->button_Ok->ModalResult(), mrOk);
  EXPECT_TRUE(f->button_Ok->Default());
  EXPECT_EQ(f->label_Name->FocusControl(), f->edit_Name);
  EXPECT_EQ(f->rdgrp_Mode->ItemIndex(), 1);
  EXPECT_EQ(f->combo_Packer->ItemIndex(), 2);
  EXPECT_EQ(f->memo_Text->Lines().Count(), 2);
  EXPECT_EQ(f->pagectrl_Main->ActivePage(), f->page_Two);
  EXPECT_FALSE(f->page_One->Visible());
  EXPECT_EQ(f->panel_Top->Font().Color(), clWhite);
  EXPECT_TRUE(f->label_Name->ParentFont());
  EXPECT_EQ(f->edit_Name->TabOrder(), 3);  // after both panels and the (windowed) label
  EXPECT_EQ(f->Events, std::vector<std::string>{"create"});  // nothing fired while loading
}

// Every form resource writes back to canonical text that reads to the same tree.
TEST_F(FormResource, RoundTripsThroughTheWriter) {
  auto* f = MakeForm<TTestMainForm>();
  std::string once = WriteFormText(*f);
  TOwned<TTestMainForm> g(new TTestMainForm(nullptr));
  ReadForm(*g, once, "RoundTrip");
  EXPECT_EQ(WriteFormText(*g), once);
  EXPECT_NE(once.find("  object panel_Bottom: TPanel\n    Left = 0\n    Top = 336\n    Width = 520\n"
                      "    Height = 44\n    Align = alBottom\n    TabOrder = 1\n    object button_Ok: TButton\n"),
            std::string::npos)
      << once;
}

TEST_F(FormResource, BorderStylesGiveTheirWindowStylesAndTheScreenKnowsTheForms) {
  struct Case {
    TFormBorderStyle style;
    TBorderIcons icons;
    DWORD want, refuse;
  };
  const TBorderIcons all = biSystemMenu | biMinimize | biMaximize;
  const Case cases[] = {
      {TFormBorderStyle::bsNone, all, WS_POPUP, WS_CAPTION | WS_THICKFRAME},
      {TFormBorderStyle::bsSingle, biSystemMenu | biMinimize, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
       WS_THICKFRAME | WS_MAXIMIZEBOX},
      {TFormBorderStyle::bsSizeable, all, WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX, WS_POPUP},
      {TFormBorderStyle::bsDialog, all, WS_CAPTION | DS_MODALFRAME | WS_SYSMENU,
       WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.style));
    TOwned<TForm> f(new TForm(nullptr));
    f->HandleNeeded();
    f->SetBorderStyle(c.style);  // the window is made again with the new frame
    f->SetBorderIcons(c.icons);
    DWORD style = DWORD(GetWindowLongA(f->Handle(), GWL_STYLE));
    EXPECT_EQ(style & c.want, c.want);
    EXPECT_EQ(style & c.refuse, 0u);
  }
  TOwned<TForm> f(new TForm(nullptr));
  f->SetPosition(TPosition::poScreenCenter);
  f->SetFormStyle(TFormStyle::fsStayOnTop);
  int forms = Screen->FormCount();
  EXPECT_EQ(Screen->Forms(forms - 1), f.get());
  f->Show();
  EXPECT_EQ(f->Left(), (Screen->Width() - f->Width()) / 2);
  EXPECT_EQ(f->Top(), (Screen->Height() - f->Height()) / 2);
  EXPECT_TRUE(GetWindowLongA(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  f.reset();
  EXPECT_EQ(Screen->FormCount(), forms - 1);
}

TEST_F(FormResource, DefaultsAgreeWithConstructors) {
  for (const TClassInfo* cls : RegisteredClasses()) {
    if (cls->FormResource().empty()) {  // a form class's resource sets values of its own
      EXPECT_EQ(DefaultMismatches(*cls), std::vector<std::string>{});
    }
  }
}

}  // namespace
