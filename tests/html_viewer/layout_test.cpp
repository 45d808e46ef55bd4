// Text blocks laid out with the fake measurer (12 points: characters 10 px wide, lines 16
// high with a descent of 4), so every position is an exact number; the indentation manager,
// image sizing and the image cache's use counts.
#include <gtest/gtest.h>

#include "framework/core/sysutils.h"
#include "html_viewer/doc_sections.h"
#include "tests/html_viewer/gif_builder.h"
#include "tests/support/scratch_dir.h"
#include "platform/file.h"

namespace {

// Records what painting draws.
class RecordingCanvas : public IDocCanvas {
 public:
  struct Text {
    int x, baseline;
    std::string text;
    bool opaque;
    TColor colour, background;
    int size;
  };
  std::vector<Text> texts;
  std::vector<TRect> images, frames;
  int gifs = 0;
  void TextOut(int x, int baseline, const TMyFont& f, TColor colour, const char* t, int n, bool opaque,
               TColor background) override {
    texts.push_back({x, baseline, std::string(t, size_t(n)), opaque, colour, background, f.Size});
  }
  void FillRect(const TRect&, TColor) override {}
  void FrameRect(const TRect& r, TColor) override { frames.push_back(r); }
  void Line(int, int, int, int, TColor) override {}
  void Ellipse(const TRect&, TColor, TColor) override {}
  void DrawImage(TViewerImage&, TViewerImage*, const TRect& r, bool) override { images.push_back(r); }
  void DrawGif(TGIFImage&, const TRect& r) override {
    ++gifs;
    images.push_back(r);
  }
  void SetClip(const TRect*) override {}
};

TAttributeList Attrs(std::initializer_list<std::pair<TAttrSymbol, const char*>> list) {
  TAttributeList a;
  for (auto [sym, text] : list) a.Add({sym, int32_t(std::atoi(text)), text});
  return a;
}

// A document body: blocks laid out one below the other at a width, painted at (0, 0).
class Doc {
 public:
  Doc() : owner(measurer) { font.SetNominalSize(12, 12); }
  TSection& Add(int align = 1, int level = 0) {
    blocks.push_back(std::make_unique<TSection>(owner, level, font, nullptr, align));
    return *blocks.back();
  }
  TSection& AddPre() {
    blocks.push_back(std::make_unique<TPreFormated>(owner, 0, font, nullptr, 1));
    return *blocks.back();
  }
  int Layout(int width) {
    im.ClearRecords();
    im.ResetEdges(0, width);
    int y = 0, cursor = 0;
    maxWidth = 0;
    for (auto& b : blocks) {
      b->Complete();
      int w = 0;
      y += b->Layout(y, im, w, cursor);
      maxWidth = std::max(maxWidth, w);
    }
    cursors = cursor;
    int py = 0;
    for (auto& b : blocks) py = b->Paint(canvas, {0, 0, width, 100000}, im, 0, py);
    return std::max(y, im.FloatBottom());
  }
  // Each line as "x width text".
  std::vector<std::string> Lines(int block = 0) const {
    std::vector<std::string> out;
    const TSection& b = *blocks[size_t(block)];
    for (const LineRec& l : b.Lines())
      out.push_back(std::to_string(l.LineIndent) + " " + std::to_string(l.Width) + " " +
                    b.Buffer().substr(size_t(l.Start), size_t(l.Chars)));
    return out;
  }
  int Cursor(int x, int y) {
    int top = 0;
    for (auto& b : blocks) {
      if (y < top + b->Height) {
        int xr, yr, caret;
        bool in;
        return b->CursorAtPoint(x, y, xr, yr, caret, in);
      }
      top += b->Height;
    }
    return -1;
  }
  std::string Selected(int a, int b, int* count = nullptr) {
    owner.SelBegin = a, owner.SelEnd = b;
    TSelectionText sel;
    for (auto& s : blocks) s->AppendSelectedText(sel);
    if (count) *count = sel.Count();
    return sel.Text();
  }

  TFakeMeasurer measurer;
  TSectionOwner owner;
  TMyFont font;
  IndentManager im;
  RecordingCanvas canvas;
  std::vector<std::unique_ptr<TSection>> blocks;
  int maxWidth = 0, cursors = 0;
};

using Lines = std::vector<std::string>;

TEST(TextLayout, BreaksAlignmentAndLongWords) {
  for (auto [align, x1, x2] : {std::tuple{1, 0, 0}, {2, 15, 35}, {3, 30, 70}}) {
    Doc d;
    d.Add(align).AppendText("aaa bbb ccc");
    EXPECT_EQ(d.Layout(100), 32);
    EXPECT_EQ(d.Lines(), (Lines{std::to_string(x1) + " 70 aaa bbb ", std::to_string(x2) + " 30 ccc"}));
  }
  // A word wider than the line is not split: it overflows with the spaces after it.
  Doc d;
  d.Add().AppendText("abcdefghijklmno pq rs");
  d.Layout(100);
  EXPECT_EQ(d.Lines(), (Lines{"0 150 abcdefghijklmno ", "0 50 pq rs"}));
  // Several spaces at a break all stay on the line they end; an exact fit breaks after it.
  Doc spaces;
  spaces.Add().AppendText("aaaaaaaaaa");
  spaces.blocks[0]->SwitchFont(spaces.font);  // a run boundary changes nothing
  spaces.blocks[0]->AppendText(" b");
  spaces.Layout(100);
  EXPECT_EQ(spaces.Lines(), (Lines{"0 100 aaaaaaaaaa ", "0 10 b"}));
}

TEST(TextLayout, TextBufferRules) {
  Doc d;
  TSection& s = d.Add();
  s.AppendText(" lead");  // dropped: the buffer is empty
  s.AppendText(" x\x02y\x04z");
  s.AppendText(std::string("\0w", 2));
  EXPECT_EQ(s.Buffer(), "lead x y z w");
  // After floating images only, a leading space is dropped as well.
  TSection& f = d.Add();
  f.InsertImage(Attrs({{AlignSy, "left"}}));
  f.AppendText(" after");
  EXPECT_EQ(f.Buffer(), "\x04" "after");
  // The cap: text arriving while the buffer holds 20000 bytes or fewer is taken whole.
  TSection& big = d.Add();
  big.AppendText(std::string(20000, 'a'));
  big.AppendText("bcd");
  EXPECT_EQ(big.Buffer().size(), 20003u);
  big.AppendText("more");
  EXPECT_FALSE(big.InsertImage(Attrs({{SrcSy, "x.gif"}})));
  EXPECT_EQ(big.Buffer().size(), 20003u);
  EXPECT_EQ(big.Images().Count(), 0);
  EXPECT_GT(big.Images().CharsToNextImage(0), int(big.Buffer().size()));
  EXPECT_EQ(f.Images().CharsToNextImage(0), 0);
  // An empty block still has one cursor position.
  TSection& empty = d.Add();
  EXPECT_EQ(empty.Complete(), 1);
  EXPECT_EQ(empty.Buffer(), " ");
}

TEST(TextLayout, FloatsClearAndListIndent) {
  Doc d;
  d.owner.ImagesShown = false;  // the stand-in picture, sized by the attributes
  TSection& b = d.Add();
  b.InsertImage(Attrs({{AlignSy, "left"}, {WidthSy, "40"}, {HeightSy, "30"}}));
  b.AppendText("aaa bbb ccc ddd");
  TSection& right = d.Add();
  right.AppendText("xx ");
  right.InsertImage(Attrs({{AlignSy, "right"}, {WidthSy, "20"}, {HeightSy, "20"}, {HSpaceSy, "-30"}}));
  right.AppendText("yy");
  TSection& cleared = d.Add();
  TAttributeList clear = Attrs({{ClearSy, "all"}});
  cleared.ReadClear(clear);
  cleared.AppendText("below");
  int height = d.Layout(100);
  // Beside the left float (40 + 5) the lines start at 45 and hold 55 px.
  EXPECT_EQ(d.Lines(0), (Lines{"45 30 \x04" "aaa ", "45 30 bbb ", "0 70 ccc ddd"}));
  EXPECT_EQ(b.Images().Image(0).DrawX, 0);
  EXPECT_EQ(b.Images().Image(0).DrawY, 0);
  // A float met after text goes below that line, at the right edge (HSPACE at most 20).
  EXPECT_EQ(d.Lines(1), (Lines{"0 50 xx \x04" "yy"}));
  EXPECT_EQ(right.Images().Image(0).HSpace, 20);
  EXPECT_EQ(right.Images().Image(0).DrawX, 80);
  EXPECT_EQ(right.Images().Image(0).DrawY, 64);
  EXPECT_EQ(right.PaintHeight, 16 + 20 + 0);  // the float reaches below the text
  // CLEAR: an empty line down to the lowest float, then the text.
  EXPECT_EQ(cleared.Top, 64);
  ASSERT_EQ(cleared.Lines().size(), 2u);
  EXPECT_EQ(cleared.Lines()[0].LineHt, 84 - 64);
  EXPECT_EQ(height, 84 + 16);
  // List levels indent by 35 pixels each.
  Doc list;
  list.Add(1, 2).AppendText("item");
  list.Layout(200);
  EXPECT_EQ(list.Lines(), (Lines{"70 40 item"}));
}

TEST(TextLayout, InlineImagesSetTheLineSpacing) {
  struct Case {
    const char* align;
    int above, below, drawY;
  };
  // A 40 x 30 image on a 16-pixel line with a descent of 4.
  for (const Case& c : {Case{"top", 0, 14, 0}, Case{"middle", 7, 7, 0}, Case{"absmiddle", 7, 7, 0},
                        Case{"bottom", 18, 0, 0}, Case{"other", 18, 0, 0}}) {
    SCOPED_TRACE(c.align);
    Doc d;
    d.owner.ImagesShown = false;
    TSection& s = d.Add();
    s.AppendText("ab ");
    s.InsertImage(Attrs({{AlignSy, c.align}, {WidthSy, "40"}, {HeightSy, "30"}}));
    s.AppendText(" c");
    d.Layout(200);
    const LineRec& l = s.Lines()[0];
    EXPECT_EQ(l.LineHt, 16);
    EXPECT_EQ(l.SpaceAbove, c.above);
    EXPECT_EQ(l.SpaceBelow, c.below);
    EXPECT_EQ(l.Width, 30 + 40 + 20);
    // Painted inside the line's band: at the text top, centred, or on the baseline.
    EXPECT_EQ(s.Images().Image(0).DrawY, c.drawY);
    EXPECT_EQ(s.Images().Image(0).DrawX, 30);
  }
}

TEST(TextLayout, PreformattedTextNeverWraps) {
  Doc d;
  TSection& pre = d.AddPre();
  pre.AppendText(" two  spaces kept, and no wrapping at all here");
  d.Layout(100);
  ASSERT_EQ(pre.Lines().size(), 1u);
  EXPECT_EQ(pre.Lines()[0].Width, 460);
  EXPECT_EQ(d.maxWidth, 460);
  int mn, mx;
  pre.WidthRange(mn, mx);
  EXPECT_EQ(mx, 460);
  EXPECT_EQ(mn, 460);
  pre.AppendText(std::string(60, 'x'));
  pre.WidthRange(mn, mx);
  EXPECT_EQ(mx, 1060);
  EXPECT_EQ(mn, 500);
  // A plain block's range: the widest word and the whole text, inline images counted.
  Doc p;
  p.owner.ImagesShown = false;
  TSection& s = p.Add(1, 1);
  s.AppendText("aa bbbb c ");
  s.InsertImage(Attrs({{WidthSy, "70"}, {HeightSy, "10"}}));
  p.Layout(300);
  s.WidthRange(mn, mx);
  EXPECT_EQ(mn, 70 + 35);
  EXPECT_EQ(mx, 100 + 70 + 35);
}

TEST(TextLayout, CursorSearchAndSelection) {
  Doc d;
  d.Add(2).AppendText("aaa bbb ccc");
  d.Add().AppendText("Second Line");
  d.Layout(100);
  EXPECT_EQ(d.cursors, 22);
  // Centred: line 1 starts at 15. A point left of it is the line's first cursor; a
  // character counts once more than half of it lies left of the point.
  struct Pt {
    int x, y, cursor;
  };
  for (Pt p : {Pt{0, 0, 0}, Pt{15, 5, 0}, Pt{20, 5, 0}, Pt{21, 5, 1}, Pt{44, 10, 3}, Pt{200, 5, 8},
               Pt{36, 20, 8}, Pt{41, 20, 9}, Pt{5, 40, 11}, Pt{5, 64, -1}}) {
    EXPECT_EQ(d.Cursor(p.x, p.y), p.cursor) << p.x << "," << p.y;
  }
  int x, y;
  ASSERT_TRUE(d.blocks[0]->PointOfCursor(9, x, y));
  EXPECT_EQ(x, 45);
  EXPECT_EQ(y, 16);
  EXPECT_FALSE(d.blocks[0]->PointOfCursor(11, x, y));
  // Search: either case, from a cursor on, the whole text compared.
  EXPECT_EQ(d.blocks[0]->SearchText(0, "BBB", false), 4);
  EXPECT_EQ(d.blocks[0]->SearchText(5, "BBB", false), -1);
  EXPECT_EQ(d.blocks[0]->SearchText(0, "BBB", true), -1);
  EXPECT_EQ(d.blocks[1]->SearchText(0, "second line", false), 11);
  EXPECT_EQ(d.blocks[1]->SearchText(0, "second lines", false), -1);
  EXPECT_EQ(d.blocks[1]->SearchText(13, "e", false), 21);
  // Selection: a line copied from its start gets 3 spaces per 35 pixels of indent, one
  // copied to its end a line break.
  int count = 0;
  EXPECT_EQ(d.Selected(2, 14, &count), "a bbb \r\n   ccc\r\nSec");
  EXPECT_EQ(count, 6 + 2 + 3 + 3 + 2 + 3);
  EXPECT_EQ(d.Selected(5, 6), "b");
  // Selected text paints opaque, in the background colour on the text colour.
  d.owner.SelBegin = 4, d.owner.SelEnd = 7;
  d.canvas.texts.clear();
  d.Layout(100);
  ASSERT_GE(d.canvas.texts.size(), 3u);
  EXPECT_EQ(d.canvas.texts[1].text, "bbb");
  EXPECT_TRUE(d.canvas.texts[1].opaque);
  EXPECT_EQ(d.canvas.texts[1].colour, d.owner.Background);
  EXPECT_EQ(d.canvas.texts[1].x, 15 + 40);
  EXPECT_FALSE(d.canvas.texts[0].opaque);
}

TEST(TextLayout, FontRunsSubscriptsAndLinks) {
  Doc d;
  TSection& s = d.Add();
  s.AppendText("ab");
  d.owner.CurrentSScript = 1;
  s.SwitchFont(d.font);
  s.AppendText("cd");
  d.owner.CurrentSScript = 0;
  TUrlTarget link{"page.html", "_top"};
  s.SwitchLink(d.font, &link);
  s.AppendText(" link ");
  s.SwitchLink(d.font, nullptr);
  s.AppendText("end");
  ASSERT_EQ(s.Fonts().Count(), 4);
  EXPECT_EQ(s.Fonts().Run(1).Font().Size, 9);  // 12 × 3 ÷ 4
  d.Layout(300);
  // The subscript run is 7.5 px wide (MulDiv rounds 7.5 to 8) and drops descent ÷ 2 + 1.
  ASSERT_GE(d.canvas.texts.size(), 2u);
  EXPECT_EQ(d.canvas.texts[1].text, "cd");
  EXPECT_EQ(d.canvas.texts[1].x, 20);
  EXPECT_EQ(d.canvas.texts[1].baseline, 12 + 3 / 2 + 1);
  TUrlTarget got;
  TFormControlObj* control = nullptr;
  EXPECT_TRUE(s.LinkAt(20 + 16 + 15, 5, got, control));
  EXPECT_EQ(got.Url, "page.html");
  EXPECT_EQ(got.Target, "_top");
  EXPECT_FALSE(s.LinkAt(5, 5, got, control));
  EXPECT_FALSE(s.LinkAt(290, 5, got, control));
}

TEST(ImageLayout, SizingBordersAndPlaceholders) {
  struct Case {
    const char* name;
    TAttributeList attrs;
    bool linked;
    int width, height;
  };
  const Case cases[] = {
      {"natural", Attrs({{SrcSy, "pic"}}), false, 200, 50},
      {"height only", Attrs({{SrcSy, "pic"}, {HeightSy, "100"}}), false, 400, 100},
      {"width only", Attrs({{SrcSy, "pic"}, {WidthSy, "100"}}), false, 100, 25},
      {"both", Attrs({{SrcSy, "pic"}, {WidthSy, "7"}, {HeightSy, "9"}}), false, 7, 9},
      {"percent width ignored", Attrs({{SrcSy, "pic"}, {WidthSy, "50%"}}), false, 200, 50},
      {"linked gets a border", Attrs({{SrcSy, "pic"}}), true, 202, 52},
      {"linked BORDER=0", Attrs({{SrcSy, "pic"}, {BorderSy, "0"}}), true, 200, 50},
      {"zero side", Attrs({{SrcSy, "flat"}, {HeightSy, "10"}}), false, 0, 10},
      {"missing: the broken picture", Attrs({{SrcSy, "missing"}}), false, 16, 16},
      {"missing with ALT", Attrs({{SrcSy, "missing"}, {AltSy, "abc"}}), false, 3 * 7 + 26, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Doc d;
    d.owner.OnBitmapRequest = [](const std::string& name, TColor&) -> std::unique_ptr<TViewerImage> {
      if (name == "pic") return std::make_unique<TPixelImage>(200, 50);
      if (name == "flat") return std::make_unique<TPixelImage>(5, 0);
      return nullptr;
    };
    TSection& s = d.Add();
    TUrlTarget link{"x.html", ""};
    if (c.linked) s.SwitchLink(d.font, &link);
    s.InsertImage(c.attrs);
    d.Layout(1000);
    EXPECT_EQ(s.Images().Image(0).ImageWidth, c.width);
    EXPECT_EQ(s.Images().Image(0).ImageHeight, c.height);
    BitmapList().Clear();
  }
  // With images off, ALT text makes the placeholder at least 26 px wider than the text.
  Doc off;
  off.owner.ImagesShown = false;
  TSection& s = off.Add();
  s.InsertImage(Attrs({{SrcSy, "x.gif"}, {AltSy, "some words"}}));
  off.Layout(1000);
  EXPECT_EQ(s.Images().Image(0).ImageWidth, 10 * 7 + 26);
  EXPECT_TRUE(s.Images().Image(0).IsPlaceholder());
  // A GIF that does not load (here one without a frame) shows the broken picture as well,
  // and leaves nothing in the cache.
  Doc bad;
  bad.owner.OnImageRequest = [](const std::string&, std::vector<uint8_t>& data) {
    data = giftest::GifBuilder().Header(2, 2, 0).Trailer().Data();
    return true;
  };
  TSection& broken = bad.Add();
  broken.InsertImage(Attrs({{SrcSy, "empty.gif"}}));
  bad.Layout(1000);
  EXPECT_TRUE(broken.Images().Image(0).IsPlaceholder());
  EXPECT_EQ(broken.Images().Image(0).ImageWidth, 16);
  EXPECT_EQ(BitmapList().Count(), 0);
}

TEST(ImageLayout, MapsAndIsMapLinks) {
  Doc d;
  d.owner.ImagesShown = false;
  auto map = std::make_unique<TMapItem>("NAV");
  map->AddAreaFromTag(Attrs({{ShapeSy, "rect"}, {CoordsSy, "0,0,9,9"}, {HrefSy, "corner.html"}}));
  d.owner.Maps.push_back(std::move(map));
  TSection& s = d.Add();
  s.InsertImage(Attrs({{UseMapSy, " #nav "}, {WidthSy, "40"}, {HeightSy, "40"}}));
  TUrlTarget link{"big.cgi", ""};
  s.SwitchLink(d.font, &link);
  s.InsertImage(Attrs({{IsMapSy, ""}, {WidthSy, "40"}, {HeightSy, "40"}}));
  d.Layout(300);
  TUrlTarget got;
  TFormControlObj* control = nullptr;
  EXPECT_TRUE(s.LinkAt(5, 5, got, control));
  EXPECT_EQ(got.Url, "corner.html");
  EXPECT_FALSE(s.LinkAt(20, 20, got, control));  // in the image, in no area
  // The ISMAP image has a border (its run is linked): the point is taken inside it.
  EXPECT_TRUE(s.LinkAt(40 + 3, 4, got, control));
  EXPECT_EQ(got.Url, "big.cgi?3,4");
}

TEST(ImageLayout, AnimatedPicturesFromTheCacheAnimateApart) {
  testsupport::ScratchDir dir("img");
  giftest::Image frame;
  frame.Width = frame.Height = 2;
  frame.CodeSize = 2;
  frame.Indices = {1, 1, 1, 1};
  giftest::Bytes gif = giftest::GifBuilder()
                           .Header(2, 2, 2, {0, 0xFF0000, 0x00FF00, 0x0000FF})
                           .Control(1, 5)
                           .Add(frame)
                           .Control(1, 5)
                           .Add(frame)
                           .Trailer()
                           .Data();
  platform::File f;
  ASSERT_TRUE(f.Open(dir.Path("anim.gif"), platform::OpenMode::Write));
  f.Write(gif.data(), gif.size());
  f.Close();
  {
    Doc d;
    d.owner.ExpandName = [&](const std::string& name) { return dir.Path(name); };
    TSection& s = d.Add();
    s.InsertImage(Attrs({{SrcSy, "anim.gif"}}));
    s.InsertImage(Attrs({{SrcSy, "anim.gif"}}));
    d.Layout(300);
    TViewerImage* a = s.Images().Image(0).Image;
    TViewerImage* b = s.Images().Image(1).Image;
    ASSERT_TRUE(a && a->AsGif() && b && b->AsGif());
    EXPECT_NE(a, b);
    EXPECT_TRUE(b->AsGif()->IsCopy());
    EXPECT_EQ(d.owner.AnimatedImages.size(), 2u);
    EXPECT_EQ(d.canvas.gifs, 2);
    int entry = BitmapList().IndexOf(Trim(AnsiUpperCase(dir.Path("anim.gif"))));
    ASSERT_GE(entry, 0);
    EXPECT_EQ(BitmapList().Item(entry).UsageCount, 2);
    // A second layout keeps the pictures and takes no further use.
    d.Layout(300);
    EXPECT_EQ(BitmapList().Item(entry).UsageCount, 2);
  }
  // The image objects released their entry once each.
  ASSERT_EQ(BitmapList().Count(), 1);
  EXPECT_EQ(BitmapList().Item(0).UsageCount, 0);
  BitmapList().Clear();
}

TEST(Indentation, EdgesFloatsAndListLevels) {
  IndentManager im;
  im.ResetEdges(10, 210);
  EXPECT_EQ(im.LeftEdgeAt(0), 10);
  EXPECT_EQ(im.RightEdgeAt(0), 210);
  EXPECT_EQ(im.FloatBottom(), 0);
  EXPECT_EQ(im.ListMarkerBottom(), 0);
  int l, r;
  im.ClearLevels(l, r);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 0);
  TImageObj left(0, Attrs({{AlignSy, "left"}})), right(1, Attrs({{AlignSy, "right"}, {HSpaceSy, "3"}}));
  left.ImageWidth = 30, left.ImageHeight = 20;
  right.ImageWidth = 40, right.ImageHeight = 50;
  im.AddFloatImage(5, left);
  im.AddFloatImage(10, right);
  im.AddFloatTable(0, 7, 1, 100);
  struct Row {
    int y, left, right;
  };
  for (Row row : {Row{0, 10 + 7, 210}, Row{5, 10 + 35, 210}, Row{24, 45, 210 - 43}, Row{25, 17, 167},
                  Row{60, 17, 210}, Row{100, 10, 210}}) {
    EXPECT_EQ(im.LeftEdgeAt(row.y), row.left) << row.y;
    EXPECT_EQ(im.RightEdgeAt(row.y), row.right) << row.y;
  }
  EXPECT_EQ(left.Indent, 0);
  EXPECT_EQ(right.Indent, 210 - 40);  // flush against the right edge
  EXPECT_EQ(im.FloatBottom(), 100);
  im.ClearLevels(l, r);
  EXPECT_EQ(l, 101);
  EXPECT_EQ(r, 61);
  // Lists: each level 35 further in; going back closes the deeper levels at y - 1.
  IndentManager list;
  list.ResetEdges(0, 100);
  list.SetListLevel(0, 2);
  EXPECT_EQ(list.LeftEdgeAt(0), 70);
  EXPECT_EQ(list.ListMarkerBottom(), 0);  // no float beyond the level
  TImageObj f(0, Attrs({{AlignSy, "left"}}));
  f.ImageWidth = 10, f.ImageHeight = 30, f.HSpace = 0;
  list.AddFloatImage(4, f);
  EXPECT_EQ(list.LeftEdgeAt(4), 80);
  EXPECT_EQ(list.ListMarkerBottom(), 35);
  list.SetListLevel(50, 1);
  EXPECT_EQ(list.LeftEdgeAt(50), 35);
  EXPECT_EQ(list.LeftEdgeAt(48), 70);
  list.SetListLevel(60, 0);
  EXPECT_EQ(list.LeftEdgeAt(60), 0);
}

}  // namespace
