#include "builder/w95meter.h"

#include <gtest/gtest.h>

#include "framework/controls/register.h"
#include "framework/controls/stdctrls.h"
#include "framework/testing/gui_test.h"

namespace {

class TMeterTestForm : public TForm {
  FW_CLASS(TMeterTestForm, TForm)

 public:
  explicit TMeterTestForm(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override {
    using F = TMeterTestForm;
    static const TMethodTable t = TMethodTable::Of<F>()
                                      .Field("group_FileProgress", &F::group_FileProgress)
                                      .Field("progress_Thrune1", &F::progress_Thrune1)
                                      .Field("progress_Directory", &F::progress_Directory)
                                      .Field("progress_Column", &F::progress_Column);
    return &t;
  }
  TGroupBox* group_FileProgress = nullptr;
  TW95Meter* progress_Thrune1 = nullptr;
  TW95Meter* progress_Directory = nullptr;
  TW95Meter* progress_Column = nullptr;
};

const TClassInfo& TMeterTestForm::StaticClass() {
  static const TClassInfo info{"TMeterTestForm", &TForm::StaticClass(), Factory<TMeterTestForm>(), {},
                               "TMETERTESTFORM"};
  return info;
}

class Meter : public TGuiTest {};

constexpr uint32_t kNavy = 0x000080;   // the default segment colour $800000 as RGB
constexpr uint32_t kGreen = 0x008000;

// For each slot of a horizontal meter: the centre of the block is filled when the block
// is drawn, and the gap after it never is.
void ExpectRow(const TCapture& img, int height, int segmentWidth, int gap, int slots, int filled, uint32_t back) {
  for (int i = 0; i < slots; ++i) {
    int x = 4 + i * (segmentWidth + gap);
    if (x + segmentWidth > img.Width - 4) break;
    SCOPED_TRACE("block " + std::to_string(i));
    EXPECT_TRUE(PixelNear(img, x + segmentWidth / 2, height / 2, i < filled ? kNavy : back, 4));
    EXPECT_TRUE(PixelNear(img, x + segmentWidth + gap / 2, height / 2, back, 4));
  }
}

TEST_F(Meter, DrawsTheSpecifiedBlocksForATableOfPositions) {
  struct Case {
    int width, segmentWidth, gap, percent, filled;
  };
  // 100 x 18 with the defaults has 10 slots, and its tenth block never fits the edge.
  const Case cases[] = {
      {100, 8, 2, 0, 0},   {100, 8, 2, 5, 1},   {100, 8, 2, 14, 1},  {100, 8, 2, 15, 2},
      {100, 8, 2, 50, 5},  {100, 8, 2, 94, 9},  {100, 8, 2, 100, 9}, {200, 10, 1, 50, 9},
      {200, 10, 1, 100, 17}, {200, 10, 1, 97, 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " wide at " + std::to_string(c.percent) + "%");
    TOwned<TW95Meter> m(new TW95Meter(nullptr));
    m->SetBounds(0, 0, c.width, 18);
    m->SetSegmentWidth(c.segmentWidth);
    m->SetSegmentGap(c.gap);
    m->SetPercent(c.percent);
    TCapture img = PaintToBitmap(*m);
    ExpectRow(img, 18, c.segmentWidth, c.gap, c.width / (c.segmentWidth + c.gap), c.filled, RGBOf(clBtnFace));
    // The sunken edge: dark on the left and top, light on the right and bottom.
    EXPECT_TRUE(PixelNear(img, 0, 9, 0x808080, 4));
    EXPECT_TRUE(PixelNear(img, 50, 0, 0x808080, 4));
    EXPECT_TRUE(PixelNear(img, c.width - 1, 9, 0xFFFFFF, 4));
    EXPECT_TRUE(PixelNear(img, 50, 17, 0xFFFFFF, 4));
  }
}

TEST_F(Meter, AColumnFillsFromTheBottomInsideARaisedEdge) {
  auto* f = MakeForm<TMeterTestForm>();
  TW95Meter* m = f->progress_Column;  // 24 x 100, 10 slots, green on white
  m->SetPercent(30);
  TCapture img = PaintToBitmap(*m);
  for (int i = 0; i < 10; ++i) {
    int top = 100 - 4 - 8 - i * 10;
    if (top <= 3) break;
    SCOPED_TRACE("block " + std::to_string(i));
    EXPECT_TRUE(PixelNear(img, 12, top + 4, i < 3 ? kGreen : 0xFFFFFF, 4));
  }
  EXPECT_TRUE(PixelNear(img, 0, 50, 0xFFFFFF, 4));  // raised: light left, dark right
  EXPECT_TRUE(PixelNear(img, 23, 50, 0x808080, 4));
  m->SetEdgeStyle(0);
  img = PaintToBitmap(*m);
  EXPECT_TRUE(PixelNear(img, 0, 50, 0xFFFFFF, 4));
  EXPECT_TRUE(PixelNear(img, 23, 50, 0xFFFFFF, 4));
}

TEST_F(Meter, PercentOnScreenAddsBlocksAndRepaintsWhenItFalls) {
  auto* f = MakeForm<TMeterTestForm>();
  f->Show();
  Pump();
  TW95Meter* m = f->progress_Thrune1;  // 200 x 18, width 10, gap 1
  auto shot = [&] {
    Pump();  // lets Wine hand the window's drawing to the display
    POINT p{0, 0};
    ClientToScreen(f->group_FileProgress->Handle(), &p);
    return CaptureScreen(Bounds(p.x + m->Left(), p.y + m->Top(), m->Width(), m->Height()));
  };
  m->SetPercent(60);  // drawn at once, no paint message needed
  ExpectRow(shot(), 18, 10, 1, 18, 11, RGBOf(clBtnFace));
  m->SetPercent(40);
  ExpectRow(shot(), 18, 10, 1, 18, 7, RGBOf(clBtnFace));
  m->SetPercent(150);
  EXPECT_EQ(m->Percent(), 100);
  ExpectRow(shot(), 18, 10, 1, 18, 17, RGBOf(clBtnFace));
  m->SetPercent(-5);
  EXPECT_EQ(m->Percent(), 0);
  ExpectRow(shot(), 18, 10, 1, 18, 0, RGBOf(clBtnFace));
}

TEST_F(Meter, LoadsFromFormTextWithItsDefaults) {
  auto* f = MakeForm<TMeterTestForm>();
  TW95Meter* d = f->progress_Directory;
  EXPECT_EQ(d->Width(), 100);
  EXPECT_EQ(d->Height(), 18);
  EXPECT_EQ(d->EdgeStyle(), 1);
  EXPECT_EQ(d->SegmentGap(), 2);
  EXPECT_EQ(d->SegmentWidth(), 8);
  EXPECT_EQ(d->SegmentColor(), 0x800000);
  EXPECT_EQ(d->BackGroundColor(), clBtnFace);
  EXPECT_EQ(f->progress_Thrune1->SegmentWidth(), 10);
  d->SetSegmentWidth(0);  // ignored, as are negative gaps
  d->SetSegmentGap(-1);
  EXPECT_EQ(d->SegmentWidth(), 8);
  EXPECT_EQ(d->SegmentGap(), 2);
}

}  // namespace

int main(int argc, char** argv) {
  return RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    RegisterW95Meter();
    RegisterClass(TMeterTestForm::StaticClass());
  });
}
