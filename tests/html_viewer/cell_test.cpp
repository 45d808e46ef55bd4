// Cells and the section list with the fake measurer: an empty document, block heights and
// positions, the background image's cache entry, defaults, view positions, controls hidden
// after a scroll, animated pictures under partial paints, and tables that have to be dropped.
#include <gtest/gtest.h>

#include "framework/core/clock.h"
#include "framework/core/sysutils.h"
#include "tests/html_viewer/doc_fixture.h"
#include "tests/html_viewer/gif_builder.h"

namespace {

using doctest::Attrs;
using doctest::Doc;

// A block of a fixed height (the tall document of the view-position test).
class TTallBlock : public TSectionBase {
 public:
  TTallBlock(TSectionOwner& owner, int height) : TSectionBase(owner), height_(height) {}
  void ComputeSpacing() override { Height = height_; }

 private:
  int height_;
};

TEST(Cells, AnEmptyDocumentHoldsNothing) {
  Doc d;
  EXPECT_EQ(d.Layout(400), 0);
  EXPECT_EQ(d.cursors, 0);
  d.Paint();
  TUrlTarget link;
  TFormControlObj* control = nullptr;
  EXPECT_FALSE(d.list.LinkAt(5, 5, link, control));
  int xr, yr, caret;
  bool inText;
  EXPECT_EQ(d.list.CursorAtPoint(5, 5, xr, yr, caret, inText), -1);
  EXPECT_EQ(d.list.SearchText(0, "a", false), -1);
  EXPECT_EQ(d.list.CountSelected(), 0);
  EXPECT_EQ(d.list.TopOfSection(3), 0);
  EXPECT_EQ(d.list.ViewPosition(), (TViewPosition{0, 0}));
  char c;
  TSectionBase* s;
  EXPECT_FALSE(d.list.CharAtCursor(0, c, s));
}

TEST(Cells, BlocksStackAndAnswerByTheirPlace) {
  Doc d;
  d.list.AddSection(nullptr);
  d.Text("first line");
  d.list.AddSection(std::make_unique<TParagraphSpace>(d.list));
  d.list.AddSection(std::make_unique<TPreFormated>(d.list, 0, d.font, nullptr, 1));
  d.Text("hello world");
  ASSERT_EQ(d.list.Count(), 4);
  // An empty preformatted line still has one cursor position.
  EXPECT_EQ(static_cast<TSection&>(d.list.Section(2)).Buffer(), " ");
  EXPECT_EQ(d.Layout(400), 16 + 14 + 16 + 16);
  EXPECT_EQ(d.cursors, 10 + 1 + 11);
  EXPECT_EQ(d.list.TopOfSection(0), 0);
  EXPECT_EQ(d.list.TopOfSection(2), 30);
  EXPECT_EQ(d.list.TopOfSection(4), 46);  // at most Count - 1 blocks are counted
  EXPECT_EQ(d.list.TopOfSection(-2), 0);
  int top, index;
  EXPECT_EQ(d.list.SectionAtY(20, top, index), &d.list.Section(1));
  EXPECT_EQ(top, 16);
  EXPECT_EQ(d.list.SectionAtY(62, top, index), nullptr);
  d.Paint();
  int xr, yr, caret;
  bool inText;
  EXPECT_EQ(d.list.CursorAtPoint(25, 50, xr, yr, caret, inText), 11 + 2);
  EXPECT_EQ(yr, 46);
  EXPECT_EQ(d.list.SearchText(0, "WORLD", false), 11 + 6);
  char c;
  TSectionBase* s;
  ASSERT_TRUE(d.list.CharAtCursor(11, c, s));
  EXPECT_EQ(c, 'h');
  EXPECT_EQ(s, &d.list.Section(3));
  EXPECT_FALSE(d.list.CharAtCursor(22, c, s));
  int x, y;
  EXPECT_TRUE(d.list.PointOfCursor(14, x, y));
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 46);
}

TEST(Cells, ClearingReleasesTheBackgroundImage) {
  Doc d;
  d.list.OnBitmapRequest = [](const std::string&, TColor&) { return std::make_unique<TPixelImage>(4, 4, 0x00FF00); };
  d.list.SetBackgroundImageName("cell-test-bg.bmp");
  TViewerImage* bg = d.list.LoadBackgroundImage();
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(d.list.LoadBackgroundImage(), bg);  // loaded once
  int entry = BitmapList().IndexOf("CELL-TEST-BG.BMP");
  ASSERT_GE(entry, 0);
  EXPECT_EQ(BitmapList().Item(entry).UsageCount, 1);
  d.Text("text");
  d.list.SelBegin = 1, d.list.SelEnd = 3;
  d.list.ClearDocument();
  EXPECT_EQ(BitmapList().Item(BitmapList().IndexOf("CELL-TEST-BG.BMP")).UsageCount, 0);
  EXPECT_EQ(d.list.BackgroundBitmap(), nullptr);
  EXPECT_EQ(d.list.BackgroundImageName(), "");
  EXPECT_EQ(d.list.Count(), 0);
  EXPECT_EQ(d.list.SelBegin, 0);
  EXPECT_EQ(d.list.SelEnd, 0);
  // A GIF is no background; with images off nothing is fetched.
  giftest::Image frame;
  frame.Width = frame.Height = 1, frame.CodeSize = 2, frame.Indices = {1};
  giftest::Bytes gif = giftest::GifBuilder().Header(1, 1, 2, {0, 0xFF0000}).Add(frame).Trailer().Data();
  d.list.OnBitmapRequest = nullptr;
  d.list.OnImageRequest = [&](const std::string&, std::vector<uint8_t>& data) {
    data = gif;
    return true;
  };
  d.list.SetBackgroundImageName("cell-test-bg.gif");
  EXPECT_EQ(d.list.LoadBackgroundImage(), nullptr);
  d.list.ClearDocument();
  d.list.ImagesShown = false;
  d.list.SetBackgroundImageName("cell-test-off.bmp");
  EXPECT_EQ(d.list.LoadBackgroundImage(), nullptr);
  EXPECT_EQ(BitmapList().IndexOf("CELL-TEST-OFF.BMP"), -1);
  d.list.ClearDocument();
  BitmapList().DropUnused();
}

TEST(Cells, DefaultsReachEveryBlock) {
  Doc d;
  std::vector<TColor> told;
  d.list.OnBackgroundChange = [&](TColor c) { told.push_back(c); };
  TSection& s = d.Text("abc");
  d.list.ApplyDefaults(std::string(40, 'f'), "Courier New", clMaroon, clBlue, clYellow, 24);
  EXPECT_EQ(d.list.FontName, std::string(32, 'f'));
  EXPECT_EQ(told, std::vector<TColor>{clYellow});
  EXPECT_EQ(s.Fonts().Run(0).Font().Size, 24);
  EXPECT_EQ(ColorToRGB(s.Fonts().Run(0).Font().Color), ColorToRGB(clMaroon));
  EXPECT_EQ(d.Layout(400), 32);
}

TEST(Cells, ViewPositionsKeepLargeOffsets) {
  Doc d;
  d.Text("top");
  d.list.AddSection(std::make_unique<TTallBlock>(d.list, 100000));
  d.Text("after");
  d.Layout(400);
  d.list.ScrollOffsetTo(20);
  EXPECT_EQ(d.list.ViewPosition(), (TViewPosition{1, 4}));
  d.list.ScrollOffsetTo(16 + 70005);
  TViewPosition p = d.list.ViewPosition();
  EXPECT_EQ(p, (TViewPosition{1, 70005}));
  d.list.ScrollOffsetTo(0);
  d.list.SetViewPosition(p);
  EXPECT_EQ(d.list.YOffset, 16 + 70005);
  d.list.SetViewPosition({3, 0});  // no such block: ignored
  EXPECT_EQ(d.list.YOffset, 16 + 70005);
}

TEST(Cells, ScrollingHidesOnlyControlsThatLeftTheView) {
  Doc d;
  d.surface.SetVisibleArea({0, 0, 400, 100});
  TSection& top = d.Text("");
  TFormControlObj* a = InsertFormControl(top, d.list, &d.list, TFormElement::feInput, Attrs({{NameSy, "a"}}));
  d.list.AddSection(std::make_unique<TTallBlock>(d.list, 300));
  TSection& low = d.Text("");
  TFormControlObj* b = InsertFormControl(low, d.list, &d.list, TFormElement::feInput, Attrs({{NameSy, "b"}}));
  d.Layout(400);
  d.Paint({0, 0, 400, 100});
  EXPECT_EQ(a->Window()->Bounds().Left, 10);  // placed after the space
  EXPECT_EQ(b->Window()->Bounds().Left, -400);  // below the view: still off the panel
  EXPECT_TRUE(a->Shown);
  // A small scroll with a repaint of a strip only: the first control is still in view.
  d.list.ScrollOffsetTo(5);
  EXPECT_FALSE(a->Shown);
  d.Paint({0, 90, 400, 100});
  EXPECT_TRUE(a->Window()->Showing());
  // Scrolled to the second control: the first one left the view and is hidden.
  d.list.ScrollOffsetTo(300);
  d.Paint({0, 0, 400, 100});
  EXPECT_FALSE(a->Window()->Showing());
  EXPECT_TRUE(b->Window()->Showing());
  EXPECT_EQ(b->Window()->Bounds().Top, 20 + 300 - 300);
  EXPECT_FALSE(d.list.ControlsMoved);
}

TEST(Cells, AnimatedPicturesInTwoBlocksBothKeepAnimating) {
  uint32_t now = 1000;
  TTickSource old = SetTickSource([&now] { return now; });
  giftest::Image frame;
  frame.Width = frame.Height = 4, frame.CodeSize = 2;
  frame.Indices.assign(16, 1);
  auto anim = [&](int delayCs) {
    return giftest::GifBuilder()
        .Header(4, 4, 2, {0, 0xFF0000, 0x00FF00, 0x0000FF})
        .Netscape(0)
        .Control(1, delayCs)
        .Add(frame)
        .Control(1, delayCs)
        .Add(frame)
        .Trailer()
        .Data();
  };
  {
    Doc d;
    d.list.OnImageRequest = [&](const std::string& name, std::vector<uint8_t>& data) {
      data = anim(name == "cell-a.gif" ? 10 : 13);
      return true;
    };
    d.Text("").InsertImage(Attrs({{SrcSy, "cell-a.gif"}}));
    d.list.AddSection(std::make_unique<TTallBlock>(d.list, 50));
    d.Text("").InsertImage(Attrs({{SrcSy, "cell-b.gif"}}));
    d.Layout(400);
    ASSERT_EQ(d.list.AnimatedImages.size(), 2u);
    TGIFImage* a = d.list.AnimatedImages[0];
    TGIFImage* b = d.list.AnimatedImages[1];
    EXPECT_TRUE(d.timer.Enabled());
    EXPECT_EQ(d.timer.Interval(), 50u);
    EXPECT_TRUE(a->Animating() && b->Animating());
    d.Paint({0, 0, 400, 200});
    EXPECT_TRUE(a->Drawn && b->Drawn);
    EXPECT_TRUE(d.timer.Enabled());
    // A repaint of the first picture alone leaves the second one's mark.
    d.Paint(a->LastPaintRect());
    EXPECT_TRUE(a->Drawn && b->Drawn);
    // Ticks advance both, each by its own delay, and ask for their rectangles to be painted.
    int aChanges = 0, bChanges = 0;
    for (int i = 0; i < 30; ++i) {
      now += 50;
      int fa = a->ShownFrame(), fb = b->ShownFrame();
      d.surface.Invalidated.clear();
      d.timer.Tick();
      for (const TRect& r : d.surface.Invalidated) d.Paint(r);
      aChanges += a->ShownFrame() != fa;
      bChanges += b->ShownFrame() != fb;
    }
    EXPECT_GE(aChanges, 5);
    EXPECT_GE(bChanges, 5);
    // A new layout starts them again at frame 1.
    d.Layout(400);
    EXPECT_EQ(a->CurrentFrame(), 1);
    d.list.ClearDocument();
    d.Layout(400);
    EXPECT_FALSE(d.timer.Enabled());
  }
  SetTickSource(std::move(old));
  BitmapList().DropUnused();
}

TEST(Cells, AFailingTableIsReportedOnceAndDropped) {
  Doc d;
  d.Text("before");
  TDocTable& outer = d.Table({});
  TCellObj& cell = d.Cell(outer);
  d.Text("inside", &cell.Content);
  TDocTable& inner = d.Table({}, &cell.Content);
  for (int i = 0; i < 31; ++i) d.Text("x", &d.Cell(inner).Content);
  d.Text("after");
  TDocTable& wide = d.Table({});
  for (int i = 0; i < 31; ++i) d.Cell(wide);
  ASSERT_EQ(d.list.Count(), 4);
  d.Layout(400);
  EXPECT_EQ(d.errors.Texts, (std::vector<std::string>{"Table has too many Columns", "Table has too many Columns"}));
  // The inner table left its cell, the wide one the page; the rest stays.
  EXPECT_EQ(cell.Content.Count(), 1);
  ASSERT_EQ(d.list.Count(), 3);
  EXPECT_EQ(&d.list.Section(1), &outer);
  EXPECT_GT(outer.Height, 0);
  d.Layout(400);
  EXPECT_EQ(d.errors.Texts.size(), 2u);
}

TEST(Cells, AFloatMakesACellTallerAndSelectionsCrossCells) {
  Doc d;
  d.list.ImagesShown = false;  // the stand-in picture, sized by the attributes
  TDocTable& t = d.Table({});
  TCellObj& a = d.Cell(t);
  auto s = std::make_unique<TSection>(d.list, 0, d.font, nullptr, 1);
  s->InsertImage(Attrs({{AlignSy, "left"}, {WidthSy, "40"}, {HeightSy, "100"}}));
  s->AppendText("abc");
  a.Content.AddSection(std::move(s));
  TCellObj& b = d.Cell(t);
  d.Text("defg", &b.Content);
  d.Layout(400);
  // No border: padding 1, spacing 3; the content is as tall as the float.
  EXPECT_EQ(a.ContentHeight, 100);
  EXPECT_EQ(t.Rows[0]->RowHeight, 100 + 4);
  EXPECT_EQ(t.Height, 104 + 3);
  EXPECT_EQ(d.cursors, 4 + 4);
  d.Paint();
  d.list.SelBegin = 2, d.list.SelEnd = 7;
  TSelectionText sel;
  d.list.AppendSelectedText(sel);
  EXPECT_EQ(sel.Text(), "bc\r\ndef");
  EXPECT_EQ(d.list.CountSelected(), 2 + 2 + 3);
  EXPECT_EQ(d.list.SearchText(0, "efg", true), 5);
}

}  // namespace
