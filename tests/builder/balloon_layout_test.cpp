// Where balloon hints open and how their parts lie.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "builder/balloon_layout.h"

namespace {

using D = THintDirection;

const char* Name(D d) {
  switch (d) {
    case D::hdUpRight: return "hdUpRight";
    case D::hdUpLeft: return "hdUpLeft";
    case D::hdDownRight: return "hdDownRight";
    case D::hdDownLeft: return "hdDownLeft";
  }
  return "?";
}

struct Case {
  const char* what;
  TSize screen;
  TPoint mouse;
  TSize text;
  D preferred;
  TRect bounds;
  D direction;
  int tries;
};

void Expect(const Case& c) {
  SCOPED_TRACE(c.what);
  TBalloonPlacement p = PlaceBalloon(c.screen, c.mouse, c.text, c.preferred);
  EXPECT_EQ(p.Bounds, c.bounds) << p.Bounds.Left << "," << p.Bounds.Top << "," << p.Bounds.Right << ","
                                << p.Bounds.Bottom;
  EXPECT_STREQ(Name(p.Direction), Name(c.direction));
  EXPECT_EQ(p.Tries, c.tries);
}

// A 100 x 20 text makes a 116 x 40 balloon above the mouse and a 116 x 49 one below it.
TEST(BalloonPlacement, FourDirectionsAndTheirFallbacks) {
  const TSize screen{800, 600}, text{100, 20};
  const Case cases[] = {
      {"up right fits", screen, {400, 300}, text, D::hdUpRight, {400, 255, 516, 295}, D::hdUpRight, 1},
      {"up left fits", screen, {400, 300}, text, D::hdUpLeft, {290, 255, 406, 295}, D::hdUpLeft, 1},
      {"down right fits", screen, {400, 300}, text, D::hdDownRight, {400, 315, 516, 364}, D::hdDownRight, 1},
      {"down left fits", screen, {400, 300}, text, D::hdDownLeft, {290, 315, 406, 364}, D::hdDownLeft, 1},
      {"up right past the right edge", screen, {750, 300}, text, D::hdUpRight, {640, 255, 756, 295}, D::hdUpLeft, 2},
      {"up right above the top", screen, {400, 20}, text, D::hdUpRight, {400, 35, 516, 84}, D::hdDownRight, 2},
      {"up right just fits the right edge", screen, {684, 300}, text, D::hdUpRight, {684, 255, 800, 295},
       D::hdUpRight, 1},
      {"up right just fits the top", screen, {400, 45}, text, D::hdUpRight, {400, 0, 516, 40}, D::hdUpRight, 1},
      {"top-right corner opens below and to the left", screen, {790, 10}, text, D::hdUpRight,
       {680, 25, 796, 74}, D::hdDownLeft, 3},
      {"up left past the left edge", screen, {50, 300}, text, D::hdUpLeft, {50, 255, 166, 295}, D::hdUpRight, 2},
      {"up left above the top", screen, {400, 10}, text, D::hdUpLeft, {290, 25, 406, 74}, D::hdDownLeft, 2},
      {"down right past the right edge", screen, {750, 300}, text, D::hdDownRight, {640, 315, 756, 364},
       D::hdDownLeft, 2},
      {"down right below the bottom", screen, {400, 580}, text, D::hdDownRight, {400, 535, 516, 575},
       D::hdUpRight, 2},
      {"down right just fits the bottom", screen, {400, 536}, text, D::hdDownRight, {400, 551, 516, 600},
       D::hdDownRight, 1},
      {"down left past the left edge", screen, {50, 300}, text, D::hdDownLeft, {50, 315, 166, 364},
       D::hdDownRight, 2},
      {"down left below the bottom", screen, {400, 580}, text, D::hdDownLeft, {290, 535, 406, 575},
       D::hdUpLeft, 2},
      {"bottom-right corner opens above and to the left", screen, {790, 590}, text, D::hdDownRight,
       {680, 545, 796, 585}, D::hdUpLeft, 3},
      {"bottom-left corner opens above and to the right", screen, {5, 590}, text, D::hdDownLeft,
       {5, 545, 121, 585}, D::hdUpRight, 3},
      // Nothing fits: the tenth placement tried stands.
      {"wider than the screen", {100, 600}, {50, 300}, {200, 20}, D::hdUpRight, {-160, 255, 56, 295},
       D::hdUpLeft, 10},
      {"taller than the screen", {800, 100}, {400, 50}, {100, 80}, D::hdUpRight, {400, 65, 516, 174},
       D::hdDownRight, 10},
  };
  for (const Case& c : cases) Expect(c);
}

// A hint that used up its tries leaves nothing behind: the next one falls back in full.
TEST(BalloonPlacement, EachHintCountsItsTriesAfresh) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(PlaceBalloon({100, 600}, {50, 300}, {200, 20}, D::hdUpRight).Tries, 10);
    Expect({"corner after an exhausted hint", {800, 600}, {790, 10}, {100, 20}, D::hdUpRight, {680, 25, 796, 74},
            D::hdDownLeft, 3});
  }
}

// In every direction the pointer's tip lies next to the mouse, the text keeps its size
// inside the box, and the shadow shows right of and below the box.
TEST(BalloonShape, PointerMeetsTheMouseAndTheTextFitsTheBox) {
  const TSize text{100, 20};
  const TPoint mouse{400, 300};
  for (D d : {D::hdUpRight, D::hdUpLeft, D::hdDownRight, D::hdDownLeft}) {
    SCOPED_TRACE(Name(d));
    TBalloonPlacement p = PlaceBalloon({800, 600}, mouse, text, d);
    TBalloonShape s = BalloonShapeOf({p.Bounds.Width(), p.Bounds.Height()}, d);
    TPoint tip{p.Bounds.Left + s.Pointer[2].X, p.Bounds.Top + s.Pointer[2].Y};
    EXPECT_LE(std::abs(tip.X - mouse.X), 2);
    if (OpensDown(d)) {
      EXPECT_GT(tip.Y, mouse.Y);
      EXPECT_LE(tip.Y - mouse.Y, 15);
    } else {
      EXPECT_LT(tip.Y, mouse.Y);
      EXPECT_LE(mouse.Y - tip.Y, 6);
    }
    // The base of the pointer lies on the box's edge and within its straight part.
    for (int i = 0; i < 2; ++i) {
      EXPECT_TRUE(s.Pointer[i].Y == s.Box.Top || s.Pointer[i].Y == s.Box.Bottom - 1);
      EXPECT_GE(s.Pointer[i].X, s.Box.Left + 9);
      EXPECT_LE(s.Pointer[i].X, s.Box.Right - 9);
    }
    EXPECT_EQ(s.Text.Width(), text.Width);
    EXPECT_EQ(s.Text.Height(), text.Height);
    EXPECT_GE(s.Text.Left, s.Box.Left + 4);
    EXPECT_GE(s.Text.Top, s.Box.Top + 3);
    EXPECT_LE(s.Text.Right, s.Box.Right - 4);
    EXPECT_LE(s.Text.Bottom, s.Box.Bottom - 3);
    EXPECT_EQ(s.Shadow.Right, p.Bounds.Width());
    EXPECT_EQ(s.Shadow.Left, s.Box.Left + 10);
    EXPECT_EQ(s.BottomBand.Height(), OpensDown(d) ? 7 : 6);
    EXPECT_EQ(s.BottomBand.Top, s.Box.Bottom);
    EXPECT_EQ(s.RightBand.Width(), 15);
    EXPECT_EQ(s.HasPointerShadow, !OpensDown(d));
  }
}

}  // namespace
