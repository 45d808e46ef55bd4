// The controls the setup's dialogs add: the tab control without sheets, the bevel, the
// image, the gauge and the file open dialog with its seam.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/controls/dialogs.h"
#include "framework/controls/graphctrls.h"
#include "framework/controls/tabctrl.h"
#include "framework/testing/gui_test.h"
#include "test_forms.h"

namespace {

class SetupControls : public TGuiTest {
 protected:
  TTestMainForm* ShownForm() {
    auto* f = MakeForm<TTestMainForm>();
    f->Show();
    Pump();
    return f;
  }
};

TEST_F(SetupControls, TabControlIndexByCodeQuietlyAndByClickWithItsEvents) {
  auto* f = ShownForm();
  auto* tabs = new TTabControl(f);
  std::vector<std::string> events;
  tabs->OnChange = TNotifyEvent([&](TObject*) { events.push_back("change " + std::to_string(tabs->TabIndex())); });
  bool allow = false;
  tabs->OnChanging = TCloseQueryEvent([&](TObject*, bool& a) {
    events.push_back("changing");
    a = allow;
  });
  EXPECT_EQ(tabs->TabIndex(), -1);
  tabs->Tabs().Add("One");  // before the window: the first tab is the current one
  EXPECT_EQ(tabs->TabIndex(), 0);
  tabs->SetParent(f);
  tabs->SetBounds(8, 8, 200, 60);
  tabs->Tabs().Add("Two");
  tabs->Tabs().Add("Three");
  HWND h = tabs->Handle();
  EXPECT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), 3);
  tabs->SetTabIndex(2);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 2);
  tabs->SetTabIndex(7);  // out of range: ignored
  EXPECT_EQ(tabs->TabIndex(), 2);
  EXPECT_TRUE(events.empty());

  auto clickTab = [&](int i) {
    RECT r{};
    SendMessageA(h, TCM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(h, WM_LBUTTONUP, 0, at);
  };
  clickTab(1);
  EXPECT_EQ(tabs->TabIndex(), 2);  // refused
  allow = true;
  clickTab(1);
  EXPECT_EQ(tabs->TabIndex(), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "changing", "change 1"}));
  // Height 0 keeps the index only.
  tabs->SetBounds(0, 0, 200, 0);
  tabs->SetTabIndex(0);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 0);
}

TEST_F(SetupControls, BevelImageAndGaugePaintTheirFaces) {
  auto* f = ShownForm();
  auto* bevel = new TBevel(f);
  bevel->SetParent(f);
  bevel->SetBounds(0, 0, 40, 30);
  TCapture box = PaintToBitmap(*bevel);
  EXPECT_TRUE(PixelNear(box, 0, 15, RGBOf(clBtnShadow)));        // lowered: dark top and left
  EXPECT_TRUE(PixelNear(box, 39, 15, RGBOf(clBtnHighlight)));    // light bottom and right
  bevel->SetStyle(TBevelStyle::bsRaised);
  bevel->SetShape(TBevelShape::bsTopLine);
  TCapture line = PaintToBitmap(*bevel);
  EXPECT_TRUE(PixelNear(line, 20, 0, RGBOf(clBtnHighlight)));
  EXPECT_TRUE(PixelNear(line, 20, 1, RGBOf(clBtnShadow)));

  TBitmap picture;  // red with a fuchsia corner row, 10 x 6
  picture.SetSize(10, 6);
  picture.Canvas().Brush().SetColor(clRed);
  picture.Canvas().FillRect({0, 0, 10, 6});
  picture.Canvas().Brush().SetColor(clFuchsia);
  picture.Canvas().FillRect({0, 5, 10, 6});
  auto* image = new TImage(f);
  image->SetParent(f);
  image->SetBounds(0, 0, 30, 20);
  image->SetPicture(picture);
  TCapture plain = PaintToBitmap(*image);
  EXPECT_TRUE(PixelNear(plain, 2, 2, 0xFF0000));
  EXPECT_TRUE(PixelNear(plain, 2, 5, 0xFF00FF));
  image->SetCenter(true);
  image->SetTransparent(true);
  TCapture centred = PaintToBitmap(*image);
  EXPECT_TRUE(PixelNear(centred, 15, 9, 0xFF0000));          // (30 - 10) / 2, (20 - 6) / 2
  EXPECT_FALSE(PixelNear(centred, 2, 2, 0xFF0000));
  EXPECT_FALSE(PixelNear(centred, 15, 12, 0xFF00FF));        // the bottom-left colour lets through

  auto* gauge = new TGauge(f);
  gauge->SetParent(f);
  gauge->SetBounds(0, 0, 102, 40);
  gauge->SetForeColor(clBlue);
  gauge->SetProgress(150);  // kept to the range
  EXPECT_EQ(gauge->Progress(), 100);
  gauge->SetProgress(50);
  EXPECT_EQ(gauge->PercentDone(), 50);
  TCapture bar = PaintToBitmap(*gauge);
  EXPECT_TRUE(PixelNear(bar, 20, 20, 0x0000FF));
  EXPECT_TRUE(PixelNear(bar, 80, 20, 0xFFFFFF));
  gauge->SetKind(TGaugeKind::gkVerticalBar);
  TCapture column = PaintToBitmap(*gauge);
  EXPECT_TRUE(PixelNear(column, 50, 30, 0x0000FF));
  EXPECT_TRUE(PixelNear(column, 50, 8, 0xFFFFFF));
  gauge->SetMaxValue(0);
  EXPECT_EQ(gauge->PercentDone(), 0);  // an empty range is never divided by
}

TEST_F(SetupControls, OpenDialogGoesThroughItsSeam) {
  std::string filter, initial;
  DWORD flags = 0;
  std::string shown;
  bool answer = true;
  auto previous = TOpenDialog::SetExecuteFunction([&](OPENFILENAMEA& ofn) {
    const char* p = ofn.lpstrFilter;
    for (; p && *p; p += strlen(p) + 1) filter += std::string(p) + ";";
    initial = ofn.lpstrInitialDir ? ofn.lpstrInitialDir : "";
    flags = ofn.Flags;
    shown = ofn.lpstrFile;
    if (answer) strcpy(ofn.lpstrFile, "C:\\Chosen\\setup.exe");
    return answer;
  });
  TOwned<TOpenDialog> dialog(new TOpenDialog(nullptr));
  dialog->Filter = "Programs|*.exe|All|*.*";
  dialog->InitialDir = "C:\\Start";
  dialog->FileName = "old.exe";
  dialog->Options |= OpenOptionBit(TOpenOption::ofNoValidate);
  EXPECT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName, "C:\\Chosen\\setup.exe");
  EXPECT_EQ(filter, "Programs;*.exe;All;*.*;");
  EXPECT_EQ(initial, "C:\\Start");
  EXPECT_EQ(shown, "old.exe");
  EXPECT_TRUE(flags & OFN_NOVALIDATE);
  EXPECT_TRUE(flags & OFN_HIDEREADONLY);
  EXPECT_FALSE(flags & OFN_FILEMUSTEXIST);
  answer = false;  // cancelled: the name stays
  EXPECT_FALSE(dialog->Execute());
  EXPECT_EQ(dialog->FileName, "C:\\Chosen\\setup.exe");
  TOpenDialog::SetExecuteFunction(previous);
}

}  // namespace
