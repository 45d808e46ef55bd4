// Balloon hints on the screen under Wine: the real hint manager shows them over a plain
// white form, and their place, shape and colours are read back by sampled pixels.
#include <gtest/gtest.h>

#include <windows.h>

#include "builder/moxhint.h"
#include "framework/controls/extctrls.h"
#include "framework/controls/register.h"
#include "framework/testing/gui_test.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kYellow = 0xFFFF00, kBlack = 0x000000, kPurple = 0x800080, kBlue = 0x0000FF;
const char* const kHint = "Balloon hint text";

class Balloon : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    form = new TForm(Application);
    Track(form);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetAlign(TAlign::alClient);
    panel->SetBevelOuter(TBevelCut::bvNone);
    panel->SetColor(clWhite);
    panel->SetCaption("");
    panel->SetHint(kHint);
    panel->SetShowHint(true);
    mox = new TMoxHint(form);
    mox->HintFont().SetHeight(-16);
    mox->HintFont().SetColor(clBlue);
    mox->SetHintPauseTime(50);
    form->Show();
    Pump();
  }
  void TearDown() override {
    Application->CancelHint();
    TGuiTest::TearDown();
  }

  // Moves the mouse to p over the panel, as a user would, and waits for the balloon; the
  // milliseconds it took.
  int ShowAt(TPoint p) {
    Application->CancelHint();
    SetCursorPos(p.X, p.Y);
    TPoint client = panel->ScreenToClient(p);
    PostMessageA(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(client.X, client.Y));
    DWORD start = GetTickCount();
    EXPECT_TRUE(PumpUntil([] { return Shown() != nullptr; }, 5000));
    int took = int(GetTickCount() - start);
    Pump();
    return took;
  }
  static TNewHint* Shown() {
    auto* h = dynamic_cast<TNewHint*>(Application->HintWindow());
    return h && h->HandleAllocated() && IsWindowVisible(h->Handle()) ? h : nullptr;
  }
  // The balloon's window on the screen, checked against the placement for the same
  // inputs, with its pixels.
  void ExpectBalloon(TPoint mouse, THintDirection preferred, THintDirection expected) {
    TNewHint* h = Shown();
    ASSERT_NE(h, nullptr);
    TRect text = h->CalcHintRect(300, kHint);
    TBalloonPlacement p = PlaceBalloon({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, mouse,
                                       {text.Width(), text.Height()}, preferred);
    EXPECT_EQ(int(p.Direction), int(expected));
    EXPECT_EQ(int(h->Direction()), int(expected));
    RECT wr{};
    GetWindowRect(h->Handle(), &wr);
    EXPECT_EQ((TRect{int(wr.left), int(wr.top), int(wr.right), int(wr.bottom)}), p.Bounds);

    TCapture img = CaptureScreen(p.Bounds);
    const TBalloonShape s = BalloonShapeOf({img.Width, img.Height}, expected);
    const int midY = s.Box.Top + s.Box.Height() / 2, midX = s.Box.Left + s.Box.Width() / 2;
    EXPECT_TRUE(PixelNear(img, s.Box.Left, midY, kBlack, 40)) << "outline";
    EXPECT_TRUE(PixelNear(img, s.Box.Left + 3, midY, kYellow, 8)) << "fill";
    // The pointer's inside is filled.
    int cx = (s.Pointer[0].X + s.Pointer[1].X + s.Pointer[2].X) / 3;
    int cy = (s.Pointer[0].Y + s.Pointer[1].Y + s.Pointer[2].Y) / 3;
    EXPECT_TRUE(PixelNear(img, cx, cy, kYellow, 8)) << "pointer";
    // The dither right of and below the box: every other pixel, the rest shows the form.
    for (TPoint d : {TPoint{s.Box.Right + 2, midY}, TPoint{midX, s.Box.Bottom + 2}}) {
      TPoint dot = IsShadowDot(d.X, d.Y) ? d : TPoint{d.X + 1, d.Y};
      EXPECT_TRUE(PixelNear(img, dot.X, dot.Y, kPurple, 8)) << "shadow at " << dot.X << "," << dot.Y;
      EXPECT_TRUE(PixelNear(img, dot.X + 1, dot.Y, kWhite, 8)) << "between the dots";
    }
    // The rounded corner and the side of the pointerless edge show what lies beneath.
    EXPECT_TRUE(PixelNear(img, s.Box.Left, s.Box.Top, kWhite, 8)) << "corner";
    EXPECT_TRUE(PixelNear(img, img.Width - 1, OpensDown(expected) ? img.Height - 1 : 0, kWhite, 8));
    if (OpensDown(expected)) {
      EXPECT_TRUE(PixelNear(img, midX, 5, kWhite, 8)) << "above the box";
    }
    // The text in the hint font's blue.
    int blue = 0;
    for (int y = s.Text.Top; y < s.Text.Bottom; ++y)
      for (int x = s.Text.Left; x < s.Text.Right; ++x) blue += PixelNear(img, x, y, kBlue, 60) ? 1 : 0;
    EXPECT_GT(blue, 30);
  }

  TForm* form = nullptr;
  TPanel* panel = nullptr;
  TMoxHint* mox = nullptr;
};

TEST_F(Balloon, InstallsItsWindowClassAndPause) {
  EXPECT_EQ(Application->HintWindowClass(), &TNewHint::StaticClass());
  EXPECT_EQ(Application->HintPause(), 50);
  EXPECT_EQ(mox->HintColor(), 0x00FFFF);
  EXPECT_EQ(mox->HintShadowColor(), 0x800080);
  EXPECT_EQ(int(mox->HintDirection()), int(THintDirection::hdUpRight));
  TNewHint* h = nullptr;
  ShowAt({300, 300});
  h = Shown();
  ASSERT_NE(h, nullptr);
  LONG_PTR style = GetWindowLongPtrA(h->Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_BORDER, 0);
  EXPECT_NE(GetClassLongPtrA(h->Handle(), GCL_STYLE) & CS_SAVEBITS, 0);
  EXPECT_NE(GetForegroundWindow(), h->Handle());
  EXPECT_EQ(h->Font().Height(), -16);
  EXPECT_EQ(h->Font().Style(), fsBold | fsItalic);
  // A new font makes the window anew, with that font.
  mox->HintFont().SetHeight(-20);
  EXPECT_EQ(Application->HintWindow(), nullptr);
  ShowAt({310, 300});
  ASSERT_NE(Shown(), nullptr);
  EXPECT_EQ(Shown()->Font().Height(), -20);
}

TEST_F(Balloon, OpensInEachDirectionWithItsShapeAndColours) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    const char* what;
    TPoint mouse;
    THintDirection preferred, expected;
  } cases[] = {
      {"up right in the middle", {w / 2, h / 2}, THintDirection::hdUpRight, THintDirection::hdUpRight},
      {"up left in the middle", {w / 2, h / 2}, THintDirection::hdUpLeft, THintDirection::hdUpLeft},
      {"down right in the middle", {w / 2, h / 2}, THintDirection::hdDownRight, THintDirection::hdDownRight},
      {"top-right corner", {w - 10, 10}, THintDirection::hdUpRight, THintDirection::hdDownLeft},
      {"bottom-left corner", {10, h - 10}, THintDirection::hdDownLeft, THintDirection::hdUpRight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    mox->SetHintDirection(c.preferred);
    ShowAt(c.mouse);
    ExpectBalloon(c.mouse, c.preferred, c.expected);
  }
}

TEST_F(Balloon, TheEventChoosesTheDirectionForTheControlUnderTheMouse) {
  TControl* seen = nullptr;
  mox->OnSelectHintDirection = TSelectHintDirectionEvent([&](TObject* sender, TControl* control, THintDirection& d) {
    EXPECT_EQ(sender, mox);
    seen = control;
    d = THintDirection::hdDownLeft;
  });
  TPoint mouse{400, 300};
  ShowAt(mouse);
  EXPECT_EQ(seen, panel);
  ExpectBalloon(mouse, THintDirection::hdDownLeft, THintDirection::hdDownLeft);
}

TEST_F(Balloon, WaitsItsPauseTime) {
  mox->SetHintPauseTime(1500);
  EXPECT_EQ(Application->HintPause(), 1500);
  int took = ShowAt({300, 300});
  EXPECT_GE(took, 1400);
  EXPECT_LT(took, 4000);
}

}  // namespace

int main(int argc, char** argv) {
  return RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    RegisterMoxHint();
  });
}
