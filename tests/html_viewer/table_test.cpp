// Tables with the fake measurer (10 px a character, 16 px a line): padding and spacing,
// column widths by pixels, percents and spread, the passes over spanned columns and rows,
// row heights and vertical alignment, captions, floating tables, painting with the border
// colour, hit tests in spanned areas, and hostile grids that must stay quick and whole.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/html_viewer/doc_fixture.h"

namespace {

using doctest::Attrs;
using doctest::Doc;

std::vector<int> Columns(const TDocTable& t) {
  return std::vector<int>(t.ColumnWidths.begin(), t.ColumnWidths.begin() + t.ColumnCount);
}

TEST(Tables, PaddingAndSpacing) {
  struct Case {
    const char* name;
    TAttributeList attrs;
    int padding, spacing, added;  // added: what a column gets beyond its content
  };
  const Case cases[] = {
      {"no border", {}, 1, 3, 4},
      {"border", Attrs({{BorderSy, "1"}}), 2, 3, 6},
      {"no padding", Attrs({{CellPaddingSy, "0"}}), 0, 3, 2},
      {"no spacing", Attrs({{CellSpacingSy, "0"}}), 1, 1, 2},
      {"padding 100", Attrs({{CellPaddingSy, "100"}}), 49, 3, 100},
      {"border, padding 0", Attrs({{BorderSy, "1"}, {CellPaddingSy, "0"}}), 1, 3, 4},
      {"spacing 100", Attrs({{CellSpacingSy, "100"}}), 1, 40, 41},
      {"negative values keep the defaults", Attrs({{CellPaddingSy, "-5"}, {CellSpacingSy, "-1"}}), 1, 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    TDocTable& t = d.Table(c.attrs);
    d.Text("aaaa", &d.Cell(t).Content);
    d.Text("bb", &d.Cell(t).Content);
    EXPECT_EQ(t.CellPadding, c.padding);
    EXPECT_EQ(t.CellSpacing, c.spacing);
    int mn, mx;
    t.WidthRange(mn, mx);
    EXPECT_EQ(mn, 40 + 20 + 2 * c.added + c.spacing);
    EXPECT_EQ(mx, mn);
  }
}

TEST(Tables, ColumnWidthsAt400Pixels) {
  struct Case {
    const char* name;
    TAttributeList table, first;
    std::vector<int> widths;
  };
  const Case cases[] = {
      {"spread between minimum and maximum", {}, {}, {231, 165}},
      {"table WIDTH=300", Attrs({{WidthSy, "300"}}), {}, {166, 130}},
      {"cell WIDTH=25%", {}, Attrs({{WidthSy, "25%"}}), {99, 204}},
      {"cell WIDTH=100", {}, Attrs({{WidthSy, "100"}}), {238, 158}},
      {"cell WIDTH=100% is no percent", {}, Attrs({{WidthSy, "100%"}}), {231, 165}},
      {"table WIDTH=50%", Attrs({{WidthSy, "50%"}}), {}, {101, 95}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    TDocTable& t = d.Table(c.table);
    // Contents 40 wide at least and 300 at most, and 60 and 200.
    d.Text("aaaa bbbb cccc dddd eeee ff gg", &d.Cell(t, c.first).Content);
    d.Text("aaaaaa bbbbbb cccccc", &d.Cell(t).Content);
    d.Layout(400);
    EXPECT_EQ(Columns(t), c.widths);
    EXPECT_EQ(t.TableWidth, 3 + c.widths[0] + c.widths[1]);
    EXPECT_EQ(d.maxWidth, t.OverallWidth);
  }
}

TEST(Tables, SpannedColumnsSpreadWhatTheyLack) {
  struct Case {
    const char* name;
    std::function<void(Doc&, TDocTable&)> build;
    TAttributeList table;
    std::vector<int> widths;
  };
  const Case cases[] = {
      {"WIDTH=50 beside COLSPAN=2, one row: the spanned columns split equally",
       [](Doc& d, TDocTable& t) {
         d.Text("a", &d.Cell(t, Attrs({{WidthSy, "50"}})).Content);
         d.Text("bbbbbbbbbbbbbbbbbbbb", &d.Cell(t, Attrs({{ColSpanSy, "2"}})).Content);
       },
       {},
       {54, 102, 102}},
      {"WIDTH=50 beside COLSPAN=2 over a row of three: by their share",
       [](Doc& d, TDocTable& t) {
         d.Text("a", &d.Cell(t, Attrs({{WidthSy, "50"}})).Content);
         d.Text("bbbbbbbbbbbbbbbbbbbb", &d.Cell(t, Attrs({{ColSpanSy, "2"}})).Content);
         Doc::Row(t);
         for (const char* s : {"c", "d", "e"}) d.Text(s, &d.Cell(t).Content);
       },
       {},
       {54, 102, 102}},
      {"a pixel width over spanned empty columns: equal shares of the target",
       [](Doc& d, TDocTable& t) { d.Cell(t, Attrs({{ColSpanSy, "2"}, {WidthSy, "50"}})); },
       Attrs({{WidthSy, "100"}, {CellPaddingSy, "0"}, {CellSpacingSy, "0"}}),
       {49, 49}},
      {"percents above 100 are scaled to 100",
       [](Doc& d, TDocTable& t) {
         d.Text("a", &d.Cell(t, Attrs({{WidthSy, "60%"}})).Content);
         d.Text("b", &d.Cell(t, Attrs({{WidthSy, "70%"}})).Content);
       },
       Attrs({{WidthSy, "300"}}),
       {136, 157}},
      {"no column's maximum stays below its minimum",
       [](Doc& d, TDocTable& t) {
         d.Text("a b", &d.Cell(t).Content);
         d.Text("xxxxxxxxxx", &d.Cell(t).Content);
         Doc::Row(t);
         d.Text("yyyyyyyyyyyyyyyyyyyy", &d.Cell(t, Attrs({{ColSpanSy, "2"}})).Content);
       },
       {},
       {50, 179}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    TDocTable& t = d.Table(c.table);
    c.build(d, t);
    d.Layout(400);
    EXPECT_EQ(Columns(t), c.widths);
    EXPECT_TRUE(d.errors.Texts.empty());
  }
}

TEST(Tables, RowHeightsAndVerticalAlignment) {
  Doc d;
  TDocTable& t = d.Table({});
  TCellObj& top = d.Cell(t, {}, 0);
  TCellObj& middle = d.Cell(t, {}, 1);
  TCellObj& bottom = d.Cell(t, {}, 2);
  TCellObj& tall = d.Cell(t);
  d.Text("a", &top.Content);
  d.Text("b", &middle.Content);
  d.Text("c", &bottom.Content);
  for (const char* s : {"x", "y", "z"}) d.Text(s, &tall.Content);
  Doc::Row(t);
  TCellObj& given = d.Cell(t, Attrs({{HeightSy, "40"}}));
  d.Text("g", &given.Content);
  d.Layout(400);
  // Row 1: 48 of content + 4; row 2: HEIGHT=40 less 2 × 1 padding + 2, + 4.
  EXPECT_EQ(t.Rows[0]->RowHeight, 52);
  EXPECT_EQ(t.Rows[1]->RowHeight, 44);
  EXPECT_EQ(t.Height, 52 + 44 + 3);
  EXPECT_EQ(t.BodyHeight, 52 + 44 + 3);
  EXPECT_EQ(top.ContentTop, 0);
  EXPECT_EQ(middle.ContentTop, (52 - 16 - 4) / 2);
  EXPECT_EQ(bottom.ContentTop, 52 - 16 - 4);
  // Contents lie spacing + padding inside, moved down by their alignment.
  EXPECT_EQ(top.Content.Section(0).Top, 4);
  EXPECT_EQ(middle.Content.Section(0).Top, 4 + 16);
  EXPECT_EQ(bottom.Content.Section(0).Top, 4 + 32);
  EXPECT_EQ(given.Content.Section(0).Top, 52 + 4 + (44 - 16 - 4) / 2);
  EXPECT_EQ(Columns(t), (std::vector<int>{14, 14, 14, 14}));
  d.Paint();
  EXPECT_EQ(bottom.PaintX, 28);
  EXPECT_EQ(given.PaintY, 52);
  EXPECT_EQ(d.cursors, 3 + 3 + 1);
}

TEST(Tables, RowSpansAreCutToTheRowsThatRemain) {
  Doc d;
  TDocTable& t = d.Table({});
  TCellObj& spanning = d.Cell(t, Attrs({{RowSpanSy, "5"}}));
  d.Text("a", &spanning.Content);
  d.Text("b", &d.Cell(t).Content);
  Doc::Row(t);
  for (const char* s : {"x", "y", "z"}) d.Text(s, &d.Cell(t).Content);
  d.Layout(400);
  EXPECT_EQ(spanning.RowSpan, 2);
  ASSERT_EQ(t.Rows[1]->Cells.size(), 3u + 1);
  EXPECT_TRUE(t.Rows[1]->Cells[0]->IsPlaceholder());
  EXPECT_EQ(t.ColumnCount, 4);
  // Two rows of 20: the spanning cell covers both.
  EXPECT_EQ(spanning.Height, 40);
  // A span taller than its rows spreads the lack over them, the remainder to the last.
  Doc s;
  TDocTable& u = s.Table({});
  TCellObj& big = s.Cell(u, Attrs({{RowSpanSy, "2"}}));
  for (int i = 0; i < 5; ++i) s.Text("q", &big.Content);
  s.Text("a", &s.Cell(u).Content);
  Doc::Row(u);
  s.Text("b", &s.Cell(u).Content);
  s.Layout(400);
  // Needs 80 + 4; the rows had 20 each: 22 more each.
  EXPECT_EQ(u.Rows[0]->RowHeight, 42);
  EXPECT_EQ(u.Rows[1]->RowHeight, 42);
}

TEST(Tables, CaptionsWiderThanTheTableCentreIt) {
  for (bool onTop : {true, false}) {
    SCOPED_TRACE(onTop);
    Doc d;
    TDocTable& t = d.Table(Attrs({{AlignSy, "center"}}));
    t.CaptionOnTop = onTop;
    d.Text("a long caption text", &t.Caption->Content);
    d.Text("x", &d.Cell(t).Content);
    d.Layout(400);
    EXPECT_EQ(t.TableWidth, 17);
    EXPECT_EQ(t.OverallWidth, 70);  // the caption's widest word
    EXPECT_EQ(t.CaptionHeight, 48);
    EXPECT_EQ(t.Height, 48 + 20 + 3);
    EXPECT_EQ(t.CaptionX, (400 - 70) / 2);
    EXPECT_EQ(t.TableX, 165 + (70 - 17) / 2);
    d.Paint();
    EXPECT_EQ(t.PaintX, 191);
    EXPECT_EQ(t.Rows[0]->Cells[0]->PaintY, onTop ? 48 : 0);
    EXPECT_EQ(t.Caption->Content.Section(0).Top, onTop ? 0 : 23);
  }
}

TEST(Tables, RightFloatsReportNoHeightAndTextFlowsBeside) {
  Doc d;
  TDocTable& t = d.Table(Attrs({{AlignSy, "RIGHT"}}));
  d.Text("x", &d.Cell(t).Content);
  TSection& after = d.Text(std::string(45, 'a') + " b");
  EXPECT_EQ(d.Layout(400), 32);
  EXPECT_TRUE(t.Float);
  EXPECT_EQ(t.Height, 0);
  EXPECT_EQ(t.PaintHeight, 23);
  EXPECT_EQ(after.Top, 0);
  // The float takes its width, HSPACE and 1 from the right edge beside its height.
  EXPECT_EQ(after.Lines()[0].Chars, 46);  // 377 px: 37 fit, the long word overflows
  d.Paint();
  EXPECT_EQ(t.PaintX, 400 - 17);
  EXPECT_EQ(t.Rows[0]->Cells[0]->PaintX, 383);
}

TEST(Tables, PaintingCellsFramesAndTheBorderColour) {
  Doc d;
  TDocTable& t = d.Table(Attrs({{BorderSy, "1"}, {BorderColorSy, "blue"}}));
  d.Text("a", &d.Cell(t, Attrs({{BgColorSy, "#FF0000"}})).Content);
  d.Text("b", &d.Cell(t).Content);
  d.Layout(400);
  EXPECT_EQ(Columns(t), (std::vector<int>{16, 16}));
  d.Paint();
  ASSERT_EQ(d.canvas.fills.size(), 1u + 5);
  EXPECT_EQ(d.canvas.fills[0].r, (TRect{3, 3, 17, 23}));
  EXPECT_EQ(ColorToRGB(d.canvas.fills[0].a), ColorToRGB(clRed));
  std::vector<TRect> border;
  for (size_t i = 1; i < d.canvas.fills.size(); ++i) {
    border.push_back(d.canvas.fills[i].r);
    EXPECT_EQ(ColorToRGB(d.canvas.fills[i].a), ColorToRGB(clBlue));
  }
  EXPECT_EQ(border, (std::vector<TRect>{{0, 0, 35, 3}, {0, 3, 3, 23}, {17, 3, 19, 23}, {33, 3, 35, 23}, {0, 23, 35, 25}}));
  // Two sunken cell frames and the raised table frame, 4 edges each.
  ASSERT_EQ(d.canvas.lines.size(), 12u);
  EXPECT_EQ(d.canvas.lines[1].x1, 3);   // cell 1, top edge
  EXPECT_EQ(d.canvas.lines[1].colour, clBtnShadow);
  EXPECT_EQ(d.canvas.lines[5].x1, 19);  // cell 2
  EXPECT_EQ(d.canvas.lines[9].colour, clBtnHighlight);  // the table's top edge, raised
  EXPECT_EQ(d.canvas.lines[10].x1, 35);
  EXPECT_EQ(d.canvas.lines[10].y2, 25);
  // The content lies spacing + padding inside its cell.
  ASSERT_FALSE(d.canvas.texts.empty());
  EXPECT_EQ(d.canvas.texts[0].x, 5);
  EXPECT_EQ(d.canvas.texts[0].baseline, 5 + 12);
  // A copy has neither colour.
  auto copy = t.Duplicate(d.list);
  auto& c = static_cast<TDocTable&>(*copy);
  EXPECT_FALSE(c.BorderColorGiven || c.BgColorGiven);
  EXPECT_FALSE(c.Rows[0]->Cells[0]->Content.BgGiven);
}

TEST(Tables, ColoursComeFromRowTableAndEnclosingCell) {
  Doc d;
  TDocTable& outer = d.Table({});
  TCellObj& holder = d.Cell(outer, Attrs({{BgColorSy, "yellow"}}));
  TDocTable& inner = d.Table({}, &holder.Content);
  TCellObj& plain = d.Cell(inner);
  Doc::Row(inner, Attrs({{BgColorSy, "lime"}}));
  TCellObj& rowed = d.Cell(inner);
  TCellObj& own = d.Cell(inner, Attrs({{BgColorSy, "navy"}}));
  d.Layout(400);
  EXPECT_EQ(ColorToRGB(plain.Content.BgColor), ColorToRGB(clYellow));  // the enclosing cell's
  EXPECT_EQ(ColorToRGB(rowed.Content.BgColor), ColorToRGB(clLime));    // the row's
  EXPECT_EQ(ColorToRGB(own.Content.BgColor), ColorToRGB(clNavy));
  EXPECT_TRUE(plain.Content.BgGiven && rowed.Content.BgGiven);
}

TEST(Tables, HitsInASpannedAreaGoToTheSpanningCell) {
  Doc d;
  TDocTable& t = d.Table({});
  TCellObj& wide = d.Cell(t, Attrs({{ColSpanSy, "2"}}));
  TUrlTarget link{"wide.html", ""};
  wide.Content.AddSection(std::make_unique<TSection>(d.list, 0, d.font, &link, 1));
  static_cast<TSection&>(wide.Content.Section(0)).AppendText("aaaaaaaaaaaa");
  Doc::Row(t);
  d.Text("b", &d.Cell(t).Content);
  d.Text("c", &d.Cell(t).Content);
  d.Layout(400);
  EXPECT_EQ(Columns(t), (std::vector<int>{62, 62}));
  d.Paint();
  TUrlTarget got;
  TFormControlObj* control = nullptr;
  EXPECT_TRUE(d.list.LinkAt(100, 8, got, control));  // over the second column
  EXPECT_EQ(got.Url, "wide.html");
  EXPECT_FALSE(d.list.LinkAt(100, 30, got, control));  // cell "c": no link
  int xr, yr, caret;
  bool inText;
  EXPECT_EQ(d.list.CursorAtPoint(90, 10, xr, yr, caret, inText), 9);
  EXPECT_EQ(d.list.CursorAtPoint(70, 30, xr, yr, caret, inText), 13);  // "c"
  EXPECT_EQ(d.list.CursorAtPoint(70, 200, xr, yr, caret, inText), -1);
  int x, y;
  EXPECT_TRUE(d.list.PointOfCursor(13, x, y));
  EXPECT_EQ(x, 62 + 4);
}

TEST(Tables, ContentsAreMeasuredAndPaintedAtTheirLaidOutWidth) {
  Doc d;
  d.list.ImagesShown = false;  // the stand-in picture, sized by the attributes
  TDocTable& t = d.Table({});
  d.Text("", &d.Cell(t).Content).InsertImage(Attrs({{WidthSy, "100"}, {HeightSy, "50"}}));
  TCellObj& ruled = d.Cell(t);
  ruled.Content.AddSection(std::make_unique<THorzLine>(d.list, TAttributeList()));
  d.Text("aaaa", &ruled.Content);
  d.Layout(400);
  // A picture is sized before its cell is measured: the column holds it at the first layout.
  EXPECT_EQ(Columns(t), (std::vector<int>{10 + 100 + 4, 44}));
  d.Paint();
  // A rule in a cell spans the width its cell was laid out at (44 - 4), less 10 each side.
  auto& rule = static_cast<THorzLine&>(ruled.Content.Section(0));
  int left = 114 + 3 + 1;
  EXPECT_EQ(rule.RuleRect.Left, left + 10);
  EXPECT_EQ(rule.RuleRect.Right, left + 40 - 10);
}

TEST(Tables, PrintingMovesThePageEnd) {
  Doc d;
  d.Text("top");
  TDocTable& t = d.Table({});
  for (const char* s : {"a", "b", "c", "d", "e"}) d.Text(s, &d.Cell(t).Content);
  d.Layout(400);
  ASSERT_EQ(t.Top, 16);
  d.list.Printing = true;
  d.list.PageBottom = 40;  // the table starts above the page's middle: drawn
  d.Paint({0, 0, 400, 60});
  EXPECT_EQ(d.list.PageBottom, 40);
  EXPECT_GT(d.canvas.texts.size(), 1u);
  d.list.PageBottom = 10;  // at or below the page end: not drawn
  d.Paint({0, 0, 400, 60});
  EXPECT_EQ(d.canvas.texts.size(), 1u);
  d.list.PageBottom = 30;  // below the middle of a 30 px page, reaching past its end
  d.Paint({0, 0, 400, 30});
  EXPECT_EQ(d.list.PageBottom, 16);
}

TEST(Tables, HostileGridsStayQuickAndWhole) {
  using clock = std::chrono::steady_clock;
  // Thirty columns are fine; a thirty-first, or a huge span, drops the table with a message.
  struct Case {
    const char* name;
    std::function<void(Doc&, TDocTable&)> build;
    bool dropped;
  };
  const Case cases[] = {
      {"30 columns", [](Doc& d, TDocTable& t) { for (int i = 0; i < 30; ++i) d.Text("x", &d.Cell(t).Content); }, false},
      {"31 columns", [](Doc& d, TDocTable& t) { for (int i = 0; i < 31; ++i) d.Text("x", &d.Cell(t).Content); }, true},
      {"COLSPAN=30", [](Doc& d, TDocTable& t) { d.Cell(t, Attrs({{ColSpanSy, "30"}})); }, false},
      {"COLSPAN=2000000000", [](Doc& d, TDocTable& t) { d.Cell(t, Attrs({{ColSpanSy, "2000000000"}})); }, true},
      {"ROWSPAN=2000000000 over rows",
       [](Doc& d, TDocTable& t) {
         for (int r = 0; r < 3; ++r) {
           if (r) Doc::Row(t);
           d.Text("x", &d.Cell(t, Attrs({{RowSpanSy, "2000000000"}, {ColSpanSy, "3"}})).Content);
         }
       },
       false},
      {"spans over 31 columns in later rows",
       [](Doc& d, TDocTable& t) {
         for (int i = 0; i < 20; ++i) d.Cell(t, Attrs({{RowSpanSy, "3"}}));
         Doc::Row(t);
         for (int i = 0; i < 11; ++i) d.Cell(t);
       },
       true},
      {"empty cells, no padding or spacing, percents",
       [](Doc& d, TDocTable& t) {
         for (int i = 0; i < 4; ++i) d.Cell(t, Attrs({{WidthSy, "50%"}}));
       },
       false},
      {"huge pixel sizes",
       [](Doc& d, TDocTable& t) {
         for (int i = 0; i < 30; ++i) d.Cell(t, Attrs({{WidthSy, "2000000000"}, {HeightSy, "2000000000"}}));
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    d.Text("before");
    TDocTable& t = d.Table(Attrs({{CellPaddingSy, "0"}, {CellSpacingSy, "0"}}));
    c.build(d, t);
    d.Text("after");
    auto start = clock::now();
    d.Layout(400);
    d.Paint();
    EXPECT_LT(clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(d.list.Count(), c.dropped ? 2 : 3);
    EXPECT_EQ(d.errors.Texts,
              c.dropped ? std::vector<std::string>{"Table has too many Columns"} : std::vector<std::string>{});
  }
}

// Tables nested n deep, each the only content of its one cell, the innermost holding text.
void Nest(Doc& d, TCell& cell, int n) {
  if (n == 0) {
    d.Text("deep", &cell);
    return;
  }
  TDocTable& t = d.Table(Attrs({{BorderSy, "1"}}), &cell);
  Nest(d, d.Cell(t).Content, n - 1);
  d.Text("x", &d.Cell(t).Content);
}

TEST(Tables, NestedTablesLayOutQuickly) {
  using clock = std::chrono::steady_clock;
  for (int depth : {12, 60}) {
    SCOPED_TRACE(depth);
    Doc d;
    Nest(d, d.list, depth);
    auto start = clock::now();
    d.Layout(4000);
    d.Paint();
    auto took = clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1));
    // Each level is its inner table, 2 × 2 + 3 - 1 around it, a 16 px column and 3 wide.
    auto& top = static_cast<TDocTable&>(d.list.Section(0));
    EXPECT_EQ(top.Rows[0]->Cells[0]->Width, 40 + 6 + 25 * (depth - 1));
    EXPECT_EQ(d.cursors, 4 + depth);
    EXPECT_TRUE(d.errors.Texts.empty());
  }
}

TEST(Tables, NestingBeyondAHundredIsDropped) {
  for (int depth : {100, 101, 3000}) {
    SCOPED_TRACE(depth);
    Doc d;
    Nest(d, d.list, depth);
    d.Layout(40000);
    d.Paint();
    EXPECT_EQ(d.errors.Texts,
              depth > 100 ? std::vector<std::string>{"Tables nested too deeply"} : std::vector<std::string>{});
    // A hundred tables stay, the innermost of them without the deeper ones.
    int levels = 0;
    for (TCell* cell = &d.list; cell->Count() > 0 && dynamic_cast<TDocTable*>(&cell->Section(0)); ++levels)
      cell = &static_cast<TDocTable&>(cell->Section(0)).Rows[0]->Cells[0]->Content;
    EXPECT_EQ(levels, 100);
    EXPECT_EQ(d.list.TableDepth, 0);
  }
}

TEST(Tables, RectangleArithmetic) {
  EXPECT_TRUE(SubtractRects({0, 0, 0, 10}, {}).empty());
  EXPECT_EQ(SubtractRects({0, 0, 10, 10}, {}), (std::vector<TRect>{{0, 0, 10, 10}}));
  EXPECT_TRUE(SubtractRects({0, 0, 10, 10}, {{-5, -5, 20, 20}}).empty());
  EXPECT_EQ(SubtractRects({0, 0, 10, 10}, {{20, 20, 30, 30}, {4, 4, 6, 6}}),
            (std::vector<TRect>{{0, 0, 10, 4}, {0, 4, 4, 6}, {6, 4, 10, 6}, {0, 6, 10, 10}}));
  // Overlapping holes: what remains has the area of the difference.
  std::vector<TRect> rest = SubtractRects({0, 0, 100, 100}, {{10, 10, 60, 60}, {40, 40, 90, 90}, {0, 95, 100, 200}});
  int area = 0;
  for (const TRect& r : rest) {
    area += r.Width() * r.Height();
    for (const TRect& h : {TRect{10, 10, 60, 60}, TRect{40, 40, 90, 90}}) EXPECT_FALSE(r.Intersects(h));
  }
  EXPECT_EQ(area, 100 * 95 - (2500 + 2500 - 400));
}

}  // namespace
