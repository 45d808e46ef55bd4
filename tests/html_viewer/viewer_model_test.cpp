// The viewer's history, scroll arithmetic and link names, and the frame sets' sizes,
// borders and targets.
#include <gtest/gtest.h>

#include "html_viewer/doc_frames.h"
#include "html_viewer/doc_viewer_model.h"

namespace {

THistoryEntry Page(const std::string& file, TDocFileType type = ftHtml, int position = 0) {
  return {file, "title of " + file, position, type};
}

std::vector<std::string> Files(const TDocHistory& h) {
  std::vector<std::string> out;
  for (const THistoryEntry& e : h.Entries()) out.push_back(e.File);
  return out;
}

TEST(DocHistory, KeepsTheLastPagesUpToItsCount) {
  TDocHistory h;
  EXPECT_FALSE(h.Push(Page(""), Page("a.html")));  // no history yet
  h.SetMaxCount(2);
  EXPECT_TRUE(h.Push(Page(""), Page("A.html")));
  EXPECT_TRUE(h.Push(Page("A.html"), Page("B.html")));
  EXPECT_EQ(Files(h), (std::vector<std::string>{"B.html", "A.html"}));
  EXPECT_TRUE(h.Push(Page("B.html", ftHtml, 70), Page("C.html")));
  EXPECT_EQ(Files(h), (std::vector<std::string>{"C.html", "B.html"}));
  EXPECT_EQ(h.Entries()[1].Position, 70);  // where B was left
  // The same page again (names compared ignoring case) adds nothing; another type does.
  EXPECT_FALSE(h.Push(Page("c.HTML"), Page("C.html")));
  EXPECT_TRUE(h.Push(Page("C.html"), Page("C.html", ftText)));
  EXPECT_EQ(h.Entries()[0].Type, ftText);
  EXPECT_EQ(h.Entries()[1].Type, ftHtml);
  // An anchor in the page is a new position.
  EXPECT_TRUE(h.Push(Page("C.html", ftText), Page("C.html", ftText, 300)));
  // A smaller count clears everything; negative and equal counts are ignored.
  EXPECT_FALSE(h.SetMaxCount(-1));
  EXPECT_FALSE(h.SetMaxCount(2));
  EXPECT_EQ(h.Entries().size(), 2u);
  EXPECT_TRUE(h.SetMaxCount(1));
  EXPECT_TRUE(h.Entries().empty());
  EXPECT_FALSE(h.Push(Page("C.html"), Page("")));  // no current file
}

TEST(ScrollBars, NeedRangesAndClampsNeverNegative) {
  TScrollInput in;
  in.ClientWidth = 400, in.ClientHeight = 300, in.DocHeight = 200, in.MaxWidth = 300;
  TScrollLayout r = ComputeScrollBars(in);
  EXPECT_FALSE(r.VBar);
  EXPECT_FALSE(r.HBar);
  EXPECT_EQ(r.PanelWidth, 398);
  EXPECT_EQ(r.PanelHeight, 298);
  EXPECT_EQ(LayoutWidth(in), 400 - 16 - 20);
  EXPECT_EQ(ClampVertical(50, r), 0);  // shorter than the panel

  in.DocHeight = 1000;
  r = ComputeScrollBars(in);
  EXPECT_TRUE(r.VBar);
  EXPECT_FALSE(r.HBar);
  EXPECT_EQ(r.PanelWidth, 400 - 16 - 2);
  EXPECT_EQ(r.VLarge, 298 - 16);
  EXPECT_EQ(ClampVertical(5000, r), 1000 - 298);
  EXPECT_EQ(ClampVertical(-5, r), 0);

  // A document just shorter than the client area, too wide for it: the horizontal bar takes
  // its height, so the vertical bar is needed too.
  in.DocHeight = 290, in.MaxWidth = 500;
  r = ComputeScrollBars(in);
  EXPECT_TRUE(r.VBar);
  EXPECT_TRUE(r.HBar);
  EXPECT_EQ(r.HMax, 520);
  EXPECT_EQ(ClampHorizontal(1000, r), 520 - r.PanelWidth);

  // Tiny and empty windows: widths and large changes stay at least 1, targets at 0.
  in.ClientWidth = 5, in.ClientHeight = 3, in.Allowed = sbVertical, in.Bordered = false;
  r = ComputeScrollBars(in);
  EXPECT_EQ(LayoutWidth(in), 1);
  EXPECT_GE(r.HLarge, 1);
  EXPECT_GE(r.VLarge, 1);
  EXPECT_GE(r.PanelWidth, 0);
  in.Allowed = sbNone;
  r = ComputeScrollBars(in);
  EXPECT_FALSE(r.VBar || r.HBar);
}

TEST(ScrollBars, Keys) {
  TScrollInput in;
  in.ClientWidth = 300, in.ClientHeight = 202, in.DocHeight = 1000, in.MaxWidth = 600;
  TScrollLayout r = ComputeScrollBars(in);
  struct {
    uint16_t key;
    int top, left;  // from 100, 30
  } cases[] = {{kVkNext, 100 + r.VLarge, 30}, {kVkPrior, 0, 30}, {kVkDown, 116, 30}, {kVkUp, 84, 30},
               {kVkHome, 0, 30},           {kVkEnd, 1000 - r.PanelHeight, 30}, {kVkLeft, 100, 15},
               {kVkRight, 100, 45}};
  for (auto c : cases) {
    int top = 100, left = 30;
    ASSERT_TRUE(ScrollForKey(c.key, r, top, left)) << c.key;
    EXPECT_EQ(top, c.top) << c.key;
    EXPECT_EQ(left, c.left) << c.key;
  }
  int top = 0, left = 0;
  EXPECT_FALSE(ScrollForKey(65, r, top, left));
  ScrollForKey(kVkLeft, r, top, left);
  EXPECT_EQ(left, 0);
}

TEST(LinkNames, ExpandAgainstFileBaseDriveAndFolder) {
  TLinkContext c{"c:\\help\\sub\\index.html", "", "d:\\work", "d:"};
  struct {
    const char* name;
    std::string base, expected;
  } cases[] = {
      {"page.html", "", "c:\\help\\sub\\page.html"},
      {" ..\\up.htm ", "", "c:\\help\\up.htm"},
      {"\\root\\x.html", "", "d:\\root\\x.html"},
      {"e:\\abs\\.\\y.html", "", "e:\\abs\\y.html"},
      {"file:///C|/Pages/Z.HTML", "", "c:\\pages\\z.html"},
      {"pics/a.gif", "", "c:\\help\\sub\\pics\\a.gif"},
      {"page.html", "file:///c|/other/doc.html", "c:\\other\\page.html"},
      {"page.html", "c:\\base\\", "c:\\base\\page.html"},
      {"page.html", "dospath", "page.html"},
  };
  for (auto& k : cases) {
    TLinkContext ctx = c;
    ctx.Base = k.base;
    EXPECT_EQ(ExpandLinkName(k.name, ctx), k.expected) << k.name << " base " << k.base;
  }
  TLinkContext none{"", "", "d:\\work\\", "d:"};
  EXPECT_EQ(ExpandLinkName("help\\index.html", none), "d:\\work\\help\\index.html");
}

TEST(LinkNames, AnchorsAndKinds) {
  std::string file, anchor;
  SplitAnchor("a.html#top", file, anchor);
  EXPECT_EQ(file + "|" + anchor, "a.html|top");
  SplitAnchor("a.html#", file, anchor);
  EXPECT_EQ(file + "|" + anchor, "a.html|");
  EXPECT_EQ(KindOfLink("x.HTM"), TLinkKind::lkHtml);
  EXPECT_EQ(KindOfLink("x.html"), TLinkKind::lkHtml);
  EXPECT_EQ(KindOfLink("x.htmlx"), TLinkKind::lkHtml);  // the extension is cut to 5 characters
  EXPECT_EQ(KindOfLink("p.Gif"), TLinkKind::lkImage);
  EXPECT_EQ(KindOfLink("p.jpeg"), TLinkKind::lkImage);
  EXPECT_EQ(KindOfLink("x.txt"), TLinkKind::lkNothing);
  EXPECT_EQ(KindOfLink("noext"), TLinkKind::lkNothing);
}

TEST(FrameSets, DimensionsAndSizes) {
  EXPECT_EQ(ReadDimensionList("100,*,2*"), (std::vector<int>{100, -1, -2}));
  EXPECT_EQ(ReadDimensionList("50%, 0, 999999999999,150*,,x"), (std::vector<int>{-150, 1, 5000, -99, -1, -1}));
  EXPECT_EQ(ReadDimensionList("2000%"), (std::vector<int>{-1000}));
  std::string many;
  for (int i = 0; i < 30; ++i) many += "1,";
  EXPECT_EQ(ReadDimensionList(many).size(), 20u);

  std::vector<int> sizes = DistributeSizes({100, -1, -2}, 600);
  EXPECT_EQ(sizes, (std::vector<int>{100, 166, 332}));
  EXPECT_EQ(ScaleSizes(sizes, 600), (std::vector<int>{100, 167, 333}));
  EXPECT_EQ(DistributeSizes({-150, -1}, 400), (std::vector<int>{200, 200}));  // 50% and the rest
  EXPECT_EQ(DistributeSizes({300, 300}, 400), (std::vector<int>{200, 200}));  // pixels scaled down
  EXPECT_EQ(DistributeSizes({-1, -1}, 0), (std::vector<int>{0, 0}));
  EXPECT_EQ(ScaleSizes({0, 0}, 300), (std::vector<int>{0, 0}));
  EXPECT_EQ(BorderPositions({100, 167, 333}), (std::vector<int>{0, 100, 267, 600}));
  EXPECT_EQ(SizesFromPositions({0, 150, 267, 600}, 600), (std::vector<int>{150, 117, 333}));
  EXPECT_EQ(SizesFromPositions({0, 0, 0}, 600), (std::vector<int>{0, 0}));
}

TEST(FrameSets, BordersUnderTheMouse) {
  std::vector<int> p = {0, 100, 267, 600};
  std::vector<bool> none(3, false), fixedMiddle = {false, true, false};
  EXPECT_EQ(BorderAt(p, 102, none, true), 1);
  EXPECT_EQ(BorderAt(p, 96, none, true), 1);
  EXPECT_EQ(BorderAt(p, 95, none, true), -1);  // more than 4 pixels away
  EXPECT_EQ(BorderAt(p, 2, none, true), -1);   // the top set's outer edge
  EXPECT_EQ(BorderAt(p, 2, none, false), 0);   // a nested set's edge goes to its parent
  EXPECT_EQ(BorderAt(p, 100, fixedMiddle, true), -1);  // next to a NORESIZE frame
  EXPECT_EQ(BorderAt(p, 266, fixedMiddle, true), -1);
  // A tie goes to the later border only when the mouse is not left of it.
  EXPECT_EQ(BorderAt({0, 10, 14, 100}, 12, none, true), 1);
  EXPECT_EQ(BorderAt({0, 50, 50, 100}, 51, none, true), 2);
  EXPECT_EQ(BorderAt({0, 50, 50, 100}, 49, none, true), 1);
}

TEST(FrameSets, Targets) {
  std::vector<std::string> names = {"Main", "menu"};
  std::string chosen;
  struct {
    const char *link, *viewerBase, *setBase;
    TTargetKind kind;
    const char* chosen;
  } cases[] = {
      {"", "", "", TTargetKind::tkThisFrame, ""},
      {"_self", "main", "", TTargetKind::tkThisFrame, "_self"},
      {"", "MAIN", "menu", TTargetKind::tkNamedFrame, "MAIN"},
      {"", "", "menu", TTargetKind::tkNamedFrame, "menu"},
      {"_top", "", "", TTargetKind::tkTopSet, "_top"},
      {"_PARENT", "", "", TTargetKind::tkParentSet, "_PARENT"},
      {"elsewhere", "", "", TTargetKind::tkOther, "elsewhere"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ResolveTarget(c.link, c.viewerBase, c.setBase, names, chosen), c.kind) << c.link;
    EXPECT_EQ(chosen, c.chosen);
  }
}

TEST(FrameSets, FinishingFillsFramesAndDimensions) {
  TFrameSetDesc s;
  TAttributeList a;
  a.Add({RowsSy, 0, "*,*,*"});
  s.ReadDimensions(a);
  s.AppendFrame({});
  s.AppendFrame({});
  s.FinishSet("", "");
  EXPECT_EQ(s.Frames.size(), 3u);
  TFrameSetDesc t;
  TAttributeList c;
  c.Add({ColsSy, 0, "10"});
  c.Add({BorderSy, 0, "0"});
  t.ReadDimensions(c);
  for (int i = 0; i < 25; ++i) t.AppendFrame({});
  t.FinishSet("", "");
  EXPECT_FALSE(t.ByRows);
  EXPECT_EQ(t.Frames.size(), 20u);
  EXPECT_EQ(t.Dimensions.front(), 10);
  EXPECT_EQ(t.Dimensions.back(), -1);
  EXPECT_EQ(t.FrameBorder, 0);
  EXPECT_EQ(t.OuterBorder, 2);
}

}  // namespace
