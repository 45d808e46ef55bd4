// Spacers, rules, page breaks and list items with the fake measurer: exact heights, the rule's
// place and colours, the markers' texts and places, the bullets' colours by level and
// background.
#include <gtest/gtest.h>

#include "tests/html_viewer/doc_fixture.h"

namespace {

using doctest::Attrs;
using doctest::Doc;

TEST(Spacers, HeightsFollowTheFontSizeHeadingsAndRulesCutOff) {
  struct Case {
    int size;
    int paragraph, h1, h2, h3, h4, h5, h6, other, rule, thickRule;
  };
  for (const Case& c : {Case{12, 14, 16, 12, 10, 8, 6, 4, 8, 20, 23}, Case{10, 12, 13, 10, 8, 6, 5, 3, 6, 16, 19}}) {
    SCOPED_TRACE(c.size);
    Doc d;
    d.list.FontSize = c.size;
    d.list.AddSection(std::make_unique<TParagraphSpace>(d.list));
    for (int level : {1, 2, 3, 4, 5, 6, 0, 7}) d.list.AddSection(std::make_unique<THeadingSpace>(d.list, level));
    d.list.AddSection(std::make_unique<THorzLine>(d.list, TAttributeList()));
    d.list.AddSection(std::make_unique<THorzLine>(d.list, Attrs({{SizeSy, "5"}})));
    std::vector<int> heights;
    for (int i = 0; i < d.list.Count(); ++i) heights.push_back(d.list.Section(i).Height);
    EXPECT_EQ(heights, (std::vector<int>{c.paragraph, c.h1, c.h2, c.h3, c.h4, c.h5, c.h6, c.other, c.other, c.rule,
                                         c.thickRule}));
  }
  // A new default size reaches the spacers through the document's defaults.
  Doc d;
  d.list.AddSection(std::make_unique<TParagraphSpace>(d.list));
  d.list.ApplyDefaults("Arial", "Courier New", clBlack, clBlue, clWhite, 10);
  EXPECT_EQ(d.list.Section(0).Height, 12);
}

TEST(Spacers, EndTheCopiedLineAndCountNoCursor) {
  Doc d;
  d.Text("ab");
  d.list.AddSection(std::make_unique<TParagraphSpace>(d.list));
  d.Text("cd");
  d.Layout(400);
  EXPECT_EQ(d.cursors, 4);
  EXPECT_EQ(d.list.Section(1).FirstCursor, 2);
  EXPECT_EQ(d.list.Section(1).CursorCount, 0);
  d.list.SelBegin = 0, d.list.SelEnd = 4;
  TSelectionText sel;
  d.list.AppendSelectedText(sel);
  EXPECT_EQ(sel.Text(), "ab\r\n\r\ncd\r\n");
  EXPECT_EQ(d.list.CountSelected(), 10);
  // A selection that starts at the second block leaves the space out.
  d.list.SelBegin = 2;
  EXPECT_EQ(d.list.CountSelected(), 4);
}

TEST(Rules, PlaceWidthAndColour) {
  struct Case {
    const char* name;
    TAttributeList attrs;
    TRect rule;
    int height;
  };
  const Case cases[] = {
      {"default", {}, {10, 9, 390, 11}, 20},
      {"pixels", Attrs({{WidthSy, "200"}}), {100, 9, 300, 11}, 20},
      {"percent", Attrs({{WidthSy, "50%"}}), {100, 9, 300, 11}, 20},
      {"percent above 100 is ignored", Attrs({{WidthSy, "150%"}}), {10, 9, 390, 11}, 20},
      {"zero width is ignored", Attrs({{WidthSy, "0"}}), {10, 9, 390, 11}, 20},
      {"thick", Attrs({{SizeSy, "6"}}), {10, 9, 390, 15}, 24},
      {"too thick takes 2", Attrs({{SizeSy, "21"}}), {10, 9, 390, 11}, 20},
      {"too thin takes 2", Attrs({{SizeSy, "0"}}), {10, 9, 390, 11}, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    d.list.AddSection(std::make_unique<THorzLine>(d.list, c.attrs));
    auto& hr = static_cast<THorzLine&>(d.list.Section(0));
    d.Layout(400);
    d.Paint();
    EXPECT_EQ(hr.Height, c.height);
    EXPECT_EQ(hr.RuleRect, c.rule);
    // Sunken: the left and top edges dark, the others light (the button highlight on the
    // button face).
    ASSERT_EQ(d.canvas.lines.size(), 4u);
    EXPECT_EQ(d.canvas.lines[0].colour, clBtnShadow);
    EXPECT_EQ(d.canvas.lines[1].colour, clBtnShadow);
    EXPECT_EQ(d.canvas.lines[2].colour, clBtnHighlight);
    EXPECT_EQ(d.canvas.lines[3].colour, clBtnHighlight);
    EXPECT_EQ(d.canvas.lines[1].x1, c.rule.Left);
    EXPECT_EQ(d.canvas.lines[1].y1, c.rule.Top);
  }
  // A colour fills the rule; on white the light edge is silver.
  Doc d;
  d.list.AddSection(std::make_unique<THorzLine>(d.list, Attrs({{ColorSy, "red"}, {SizeSy, "4"}})));
  d.list.AddSection(std::make_unique<THorzLine>(d.list, TAttributeList()));
  d.list.Background = clWhite;
  d.Layout(400);
  d.Paint();
  ASSERT_EQ(d.canvas.fills.size(), 1u);
  EXPECT_EQ(d.canvas.fills[0].r, (TRect{10, 9, 390, 13}));
  EXPECT_EQ(ColorToRGB(d.canvas.fills[0].a), ColorToRGB(clRed));
  ASSERT_EQ(d.canvas.lines.size(), 4u);
  EXPECT_EQ(d.canvas.lines[2].colour, clSilver);
  EXPECT_EQ(d.canvas.lines[1].y1, 22 + 9);  // the second rule, below the first (22 high)
  // A copy keeps what the attributes gave.
  auto copy = d.list.Section(0).Duplicate(d.list);
  auto& rule = static_cast<THorzLine&>(*copy);
  EXPECT_EQ(rule.Thickness, 4);
  EXPECT_TRUE(rule.ColourGiven);
  EXPECT_EQ(rule.Height, 22);
}

TEST(PageBreaks, MoveThePageEndOnlyWhilePrinting) {
  Doc d;
  d.Text("first");
  d.list.AddSection(std::make_unique<TPage>(d.list));
  d.Layout(400);
  d.list.PageBottom = 1000;
  d.Paint();
  EXPECT_EQ(d.list.PageBottom, 1000);
  d.list.Printing = true;
  d.Paint();
  EXPECT_EQ(d.list.PageBottom, 16);
  // Within 5 pixels of the page's top a break does nothing.
  d.list.PageBottom = 1000;
  d.Paint({0, 12, 400, 2000});
  EXPECT_EQ(d.list.PageBottom, 1000);
}

TEST(ListMarkers, TextsByStyle) {
  struct Case {
    char style;
    int number;
    const char* text;
  };
  for (const Case& c : {Case{'A', 1, "A."}, {'A', 26, "Z."}, {'A', 27, "Z."}, {'a', 3, "c."}, {'I', 4, "IV."},
                        {'I', 20, "XX."}, {'I', 25, "XX."}, {'i', 9, "ix."}, {'i', 14, "xiv."}, {'1', 0, "0."},
                        {'A', 0, "0."}, {'I', 0, "0."}, {'i', -2, "-2."}, {'x', 7, "7."}})
    EXPECT_EQ(OrderedMarker(c.style, c.number), c.text) << c.style << " " << c.number;
}

TEST(ListMarkers, NumbersEndFivePixelsLeftOfTheText) {
  Doc d;
  auto add = [&](char style, int number) {
    d.list.AddSection(std::make_unique<TOListItem>(d.list, 1, d.font, nullptr, style, number));
    auto& item = static_cast<TOListItem&>(d.list.Section(d.list.Count() - 1));
    item.AppendText("item");
    item.Complete();
    return &item;
  };
  TOListItem* first = add('1', 0);
  TOListItem* z = add('A', 30);
  TOListItem* roman = add('I', 20);
  d.Layout(400);
  d.Paint();
  // The text starts at the level's indent of 35; "0." is 20 px wide.
  EXPECT_EQ(first->MarkerText, "0.");
  EXPECT_EQ(first->MarkerX, 35 - 5 - 20);
  EXPECT_EQ(z->MarkerText, "Z.");
  EXPECT_EQ(roman->MarkerText, "XX.");
  EXPECT_EQ(roman->MarkerX, 35 - 5 - 30);
  ASSERT_GE(d.canvas.texts.size(), 2u);
  EXPECT_EQ(d.canvas.texts[0].text, "0.");
  EXPECT_EQ(d.canvas.texts[0].baseline, 12);  // the first line's baseline
  EXPECT_EQ(d.canvas.texts[1].text, "item");
  // A copy keeps its style and number.
  auto copy = roman->Duplicate(d.list);
  EXPECT_EQ(static_cast<TOListItem&>(*copy).Style, 'I');
  EXPECT_EQ(static_cast<TOListItem&>(*copy).ItemNumber, 20);
}

TEST(ListMarkers, BulletColoursByLevelAndBackground) {
  struct Case {
    const char* name;
    TColor background;
    bool coloured;
  };
  const Case cases[] = {{"button face", clBtnFace, true},   {"white", clWhite, true},
                        {"silver", clSilver, true},         {"window white", clWindow, true},
                        {"palette white", TColor(0x02FFFFFF), true}, {"yellow", clYellow, false},
                        {"navy", clNavy, false}};
  const TColor byLevel[] = {clRed, clNavy, clMaroon, clRed, clNavy, clMaroon, clRed, clNavy};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    d.list.Background = c.background;
    d.list.TextColor = clGreen;
    std::vector<TUListItem*> items;
    for (int level = 0; level < 8; ++level) {
      d.list.AddSection(std::make_unique<TUListItem>(d.list, level, d.font, nullptr, false));
      items.push_back(static_cast<TUListItem*>(&d.list.Section(level)));
      items.back()->AppendText("x");
      items.back()->Complete();
    }
    d.Layout(600);
    d.Paint();
    ASSERT_EQ(d.canvas.ellipses.size(), 8u);
    for (int level = 0; level < 8; ++level) {
      const TUListItem& item = *items[size_t(level)];
      EXPECT_EQ(item.BulletFill, c.coloured ? byLevel[level] : clNone) << level;
      EXPECT_EQ(item.BulletOutline, c.coloured ? byLevel[level] : clGreen) << level;
    }
    // A circle 5 across, centred 8 left of the text at half the line height.
    EXPECT_EQ(items[1]->BulletCentre, (TPoint{35 - 8, 16 + 8}));
    EXPECT_EQ(d.canvas.ellipses[1].r, (TRect{25, 22, 30, 27}));
  }
  // A plain list has no bullets.
  Doc d;
  d.list.AddSection(std::make_unique<TUListItem>(d.list, 1, d.font, nullptr, true));
  static_cast<TSection&>(d.list.Section(0)).AppendText("x");
  d.Layout(400);
  d.Paint();
  EXPECT_TRUE(d.canvas.ellipses.empty());
  EXPECT_TRUE(static_cast<TUListItem&>(*d.list.Section(0).Duplicate(d.list)).Plain);
}

}  // namespace
