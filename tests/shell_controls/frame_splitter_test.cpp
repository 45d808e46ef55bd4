// The group frame's insets and drawing steps per style, and the splitter's position,
// clamps, ratio, pane rectangles and drag steps.
#include <gtest/gtest.h>

#include "shell_controls/frame_rules.h"
#include "shell_controls/splitter_model.h"

namespace {

using shell::TFramePart;
using shell::TSplitterModel;
using S = TQsFrameStyle;

TEST(GroupFrame, EachStyleTakesItsInsetsFromTheWindow) {
  struct Case {
    S style;
    bool caption;
    TRect insets;
  };
  for (const Case& c : {Case{S::qsfsNone, true, {0, 0, 0, 0}}, Case{S::qsfsGroup, false, {2, 2, 2, 2}},
                        Case{S::qsfsGroup, true, {2, 13, 2, 2}}, Case{S::qsfsLowered, true, {2, 2, 2, 2}},
                        Case{S::qsfsRaised, false, {2, 2, 2, 2}}, Case{S::qsfsDint, false, {1, 1, 1, 1}},
                        Case{S::qsfsBump, false, {1, 1, 1, 1}}, Case{S::qsfsSingle, true, {1, 1, 1, 1}},
                        Case{S::qsfsHorzLine, false, {0, 2, 0, 0}}, Case{S::qsfsHorzEdge, false, {0, 2, 0, 2}},
                        Case{S::qsfsVertLine, false, {2, 0, 0, 0}}, Case{S::qsfsVertEdge, false, {2, 0, 2, 0}}}) {
    SCOPED_TRACE(int(c.style));
    EXPECT_EQ(shell::FrameInsets(c.style, c.caption, 13), c.insets);
  }
  // A window smaller than its frame keeps an empty client area, never an inverted one.
  EXPECT_EQ(shell::ClientOfWindow({0, 0, 3, 1}, {2, 2, 2, 2}), (TRect{2, 2, 2, 2}));
  EXPECT_EQ(shell::ClientOfWindow({0, 0, 64, 48}, {2, 13, 2, 2}), (TRect{2, 13, 62, 46}));
}

TFramePart Line(TColor c, std::vector<TPoint> p) {
  TFramePart f;
  f.Kind = TFramePart::Polyline;
  f.Color = c;
  f.Points = std::move(p);
  return f;
}

TEST(GroupFrame, TheLinesOfEachStyleRunAlongTheWindowsEdges) {
  // A 64 x 48 window: R = 63, B = 47 are its last pixels.
  using P = std::vector<TFramePart>;
  struct Case {
    S style;
    P parts;
  };
  const P lowered{Line(clBtnShadow, {{0, 46}, {0, 0}, {63, 0}}), Line(cl3DDkShadow, {{1, 45}, {1, 1}, {62, 1}}),
                  Line(clBtnFace, {{1, 46}, {62, 46}, {62, 0}}), Line(clBtnHighlight, {{0, 47}, {63, 47}, {63, -1}})};
  P raised = lowered;
  raised[0].Color = clBtnHighlight;
  raised[1].Color = clBtnFace;
  raised[2].Color = cl3DDkShadow;
  raised[3].Color = clBtnShadow;
  TFramePart single;
  single.Kind = TFramePart::Rectangle;
  single.Color = clWindowFrame;
  single.Rect = {0, 0, 64, 48};
  for (const Case& c :
       {Case{S::qsfsNone, {}}, Case{S::qsfsLowered, lowered}, Case{S::qsfsRaised, raised},
        Case{S::qsfsDint, {Line(clBtnShadow, {{0, 46}, {0, 0}, {63, 0}}), Line(clBtnHighlight, {{0, 47}, {63, 47}, {63, -1}})}},
        Case{S::qsfsBump, {Line(clBtnHighlight, {{0, 46}, {0, 0}, {63, 0}}), Line(clBtnShadow, {{0, 47}, {63, 47}, {63, -1}})}},
        Case{S::qsfsSingle, {single}},
        Case{S::qsfsHorzLine, {Line(clBtnShadow, {{0, 0}, {64, 0}}), Line(clBtnHighlight, {{0, 1}, {64, 1}})}},
        Case{S::qsfsHorzEdge, {Line(clBtnShadow, {{0, 0}, {64, 0}}), Line(clBtnHighlight, {{0, 1}, {64, 1}}),
                               Line(clBtnShadow, {{0, 46}, {64, 46}}), Line(clBtnHighlight, {{0, 47}, {64, 47}})}},
        Case{S::qsfsVertLine, {Line(clBtnShadow, {{0, 0}, {0, 48}}), Line(clBtnHighlight, {{1, 0}, {1, 48}})}},
        Case{S::qsfsVertEdge, {Line(clBtnShadow, {{0, 0}, {0, 48}}), Line(clBtnHighlight, {{1, 0}, {1, 48}}),
                               Line(clBtnShadow, {{62, 0}, {62, 48}}), Line(clBtnHighlight, {{63, 0}, {63, 48}})}}}) {
    SCOPED_TRACE(int(c.style));
    EXPECT_EQ(shell::FrameParts(c.style, 64, 48, false, 13, true, clBtnFace, clBtnText), c.parts);
  }
}

TEST(GroupFrame, AGroupEtchesItsFrameBelowHalfTheCaption) {
  std::vector<TFramePart> p = shell::FrameParts(S::qsfsGroup, 64, 48, true, 13, true, clWindow, clBtnText);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].Kind, TFramePart::Fill);
  EXPECT_EQ(p[0].Rect, (TRect{0, 0, 64, 48}));
  EXPECT_EQ(p[0].Color, clWindow);
  // 13 / 2 - 1 = 5: the highlight one pixel right and down, then the shadow.
  EXPECT_EQ(p[1].Rect, (TRect{1, 6, 64, 48}));
  EXPECT_EQ(p[1].Color, clBtnHighlight);
  EXPECT_EQ(p[2].Rect, (TRect{0, 5, 63, 47}));
  EXPECT_EQ(p[2].Color, clBtnShadow);
  EXPECT_EQ(p[3].Kind, TFramePart::Caption);
  EXPECT_EQ(p[3].Rect, (TRect{8, 0, 55, 13}));
  EXPECT_TRUE(p[3].Opaque);
  EXPECT_EQ(p[3].Color, clBtnText);

  // Without a caption the frame sits at the top (2 / 2 - 1 = 0); a disabled caption is
  // embossed: highlight on the background, shifted, then shadow over it.
  p = shell::FrameParts(S::qsfsGroup, 64, 48, false, 13, true, clWindow, clBtnText);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[2].Rect, (TRect{0, 0, 63, 47}));
  p = shell::FrameParts(S::qsfsGroup, 64, 48, true, 13, false, clWindow, clBtnText);
  ASSERT_EQ(p.size(), 5u);
  EXPECT_EQ(p[3].Color, clBtnHighlight);
  EXPECT_EQ(p[3].Rect, (TRect{9, 1, 56, 14}));
  EXPECT_TRUE(p[3].Opaque);
  EXPECT_EQ(p[4].Color, clBtnShadow);
  EXPECT_FALSE(p[4].Opaque);
}

TEST(Splitter, APositionIsClampedToBothPanesMinimums) {
  TSplitterModel m;
  EXPECT_EQ(m.Position(), 65);
  EXPECT_DOUBLE_EQ(m.Ratio(), 65.0 / 200.0);
  struct Case {
    int value, position;
    bool changed;
  };
  for (const Case& c : {Case{65, 65, false}, Case{5, 20, true}, Case{300, 180, true}, Case{100, 100, true},
                        Case{180, 180, true}}) {
    SCOPED_TRACE(c.value);
    int before = m.Position();
    EXPECT_EQ(m.UpdatePosition(c.value, true), c.changed || c.position != before);
    EXPECT_EQ(m.Position(), c.position);
    EXPECT_DOUBLE_EQ(m.Ratio(), c.position / 200.0);
  }
  // A minimum of 0 lets a pane collapse; without panes nothing clamps.
  m.MinSize[0] = 0;
  m.UpdatePosition(0, true);
  EXPECT_EQ(m.Position(), 0);
  m.HasPanes = false;
  m.UpdatePosition(-40, true);
  EXPECT_EQ(m.Position(), -40);
}

TEST(Splitter, AProportionalSplitterKeepsItsRatioWhenResized) {
  TSplitterModel m;
  m.Width = 400;
  EXPECT_TRUE(m.Resized());
  EXPECT_EQ(m.Position(), 130);
  EXPECT_DOUBLE_EQ(m.Ratio(), 65.0 / 200.0);  // the resize keeps it

  TSplitterModel fixed;
  fixed.Proportional = false;
  fixed.Width = 400;
  EXPECT_FALSE(fixed.Resized());
  EXPECT_EQ(fixed.Position(), 65);

  // Halves go away from zero.
  TSplitterModel half;
  half.UpdatePosition(50, true);  // ratio 0.25
  half.Width = 202;               // 50.5
  half.Resized();
  EXPECT_EQ(half.Position(), 51);
  EXPECT_EQ(shell::RoundHalfAway(-2.5), -3);

  // At size 0 the ratio stays what it was, so the next real size gets it back.
  TSplitterModel zero;
  zero.MinSize[0] = zero.MinSize[1] = 0;
  zero.Width = 0;
  zero.Resized();
  EXPECT_EQ(zero.Position(), 0);
  zero.StorePosition(7);  // a drop at size 0
  zero.RecomputeRatio();
  EXPECT_DOUBLE_EQ(zero.Ratio(), 65.0 / 200.0);
  zero.Width = 400;
  zero.Resized();
  EXPECT_EQ(zero.Position(), 130);

  // A horizontal splitter measures its height.
  TSplitterModel tall;
  tall.Style = TQsSplitterStyle::qsstHorizontal;
  tall.Height = 280;
  tall.Resized();
  EXPECT_EQ(tall.Position(), 91);
}

TEST(Splitter, PanesNeverGetANegativeSize) {
  TSplitterModel m;
  EXPECT_EQ(m.PaneRect(0, 200, 140), (TRect{0, 0, 65, 140}));
  EXPECT_EQ(m.PaneRect(1, 200, 140), (TRect{68, 0, 200, 140}));
  m.Style = TQsSplitterStyle::qsstHorizontal;
  EXPECT_EQ(m.PaneRect(0, 200, 140), (TRect{0, 0, 200, 65}));
  EXPECT_EQ(m.PaneRect(1, 200, 140), (TRect{0, 68, 200, 140}));
  // Hidden first pane: the bar goes with it and pane 2 starts at 0.
  m.Style = TQsSplitterStyle::qsstVertical;
  m.MinSize[0] = -m.SplitterWidth;
  m.UpdatePosition(-m.SplitterWidth, true);
  EXPECT_EQ(m.PaneRect(0, 200, 140), (TRect{0, 0, 0, 140}));
  EXPECT_EQ(m.PaneRect(1, 200, 140), (TRect{0, 0, 200, 140}));
  // A client narrower than the position.
  m.MinSize[0] = 20;
  m.UpdatePosition(100, true);
  EXPECT_EQ(m.PaneRect(0, 50, 140), (TRect{0, 0, 50, 140}));
  EXPECT_EQ(m.PaneRect(1, 50, 140), (TRect{50, 0, 50, 140}));
}

TEST(Splitter, DragStepsDrawOneOutlineAtATimeOrMoveLive) {
  TSplitterModel m;  // position 65, minimums 20: lines between grab + 20 and grab + 180
  int first = m.BeginDrag(66);  // grabbed one pixel into the bar
  EXPECT_EQ(m.GrabOffset(), 1);
  EXPECT_EQ(first, 66);
  EXPECT_TRUE(m.Dragging());
  TSplitterModel::TLineStep s = m.MoveLine(first, false);
  EXPECT_EQ(s.Erase, -1);
  EXPECT_EQ(s.Draw, 66);
  EXPECT_EQ(m.ClampLine(5), 21);
  EXPECT_EQ(m.ClampLine(500), 181);
  s = m.MoveLine(m.ClampLine(120), false);
  EXPECT_EQ(s.Erase, 66);
  EXPECT_EQ(s.Draw, 120);
  EXPECT_FALSE(s.Move);
  EXPECT_EQ(m.Position(), 65);  // an outline moves nothing
  s = m.MoveLine(-1, false);
  EXPECT_EQ(s.Erase, 120);
  EXPECT_EQ(s.Draw, -1);
  EXPECT_EQ(s.Reported, -1);
  m.EndDrag();
  EXPECT_FALSE(m.Dragging());

  // Live: the position follows; ending keeps the last line.
  m.BeginDrag(65);
  s = m.MoveLine(90, true);
  EXPECT_TRUE(s.Move);
  EXPECT_EQ(s.NewPosition, 90);
  EXPECT_EQ(s.Erase, -1);
  EXPECT_EQ(s.Draw, -1);
  s = m.MoveLine(-1, true);
  EXPECT_FALSE(s.Move);
  EXPECT_EQ(s.Reported, 90);
}

}  // namespace
