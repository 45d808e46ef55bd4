// The viewer's support unit: arithmetic, attributes, the selection counter, image sniffing,
// the GIF transparent colour, the palette table, image maps and the image cache.
#include <gtest/gtest.h>

#include "html_viewer/doc_utils.h"
#include "tests/html_viewer/gif_builder.h"

namespace {

TEST(DocUtils, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int a, b, c, want;
  };
  const Case cases[] = {{10, 9, 12, 8},   {10, 15, 12, 13}, {16, 9, 12, 12},  {4, 9, 12, 3},
                        {-10, 15, 12, -13}, {3, 1, 2, 2},   {-3, 1, 2, -2},   {5, 3, -4, -4},
                        {2000000000, 3, 4, 1500000000}, {1, 1, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(MulDivRound(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(DocUtils, AttributesLinksAndSelectionCount) {
  TAttributeList list;
  list.Add({SrcSy, 0, "a.gif"});
  list.Add({WidthSy, 50, "50"});
  list.Add({SrcSy, 0, "second.gif"});
  ASSERT_NE(list.Lookup(SrcSy), nullptr);
  EXPECT_EQ(list.Lookup(SrcSy)->Name, "a.gif");  // the first one
  EXPECT_EQ(list.Lookup(HeightSy), nullptr);

  TUrlTarget link;
  std::string url = "x.html", target = "_top";
  link.SetLink(&url, &target);
  link.SetLink(nullptr, nullptr);
  EXPECT_EQ(link.Url, "x.html");
  EXPECT_EQ(link.Target, "_top");
  link.ClearLink();
  EXPECT_TRUE(link.Url.empty() && link.Target.empty());

  SelTextCount count;
  count.Put("ab\x04" "c\x02", 5);
  count.PutLine("de", 2);
  EXPECT_EQ(count.Total(), 3 + 2 + 2);
}

TEST(DocUtils, ImageKindsAndUrls) {
  struct Kind {
    std::string bytes;
    TImageKind kind;
  };
  const Kind kinds[] = {{"GIF89a", ikGif89}, {"GIF87a", ikGif87}, {"GIF8", ikGif87}, {"GIF", ikUnknown},
                        {"BM\x10", ikBitmap}, {"\x89PNG\r\n", ikPng}, {"\xFF\xD8\xFF", ikJpeg}, {"", ikUnknown},
                        {"B", ikUnknown}, {"<html>", ikUnknown}};
  for (const Kind& k : kinds)
    EXPECT_EQ(SniffImageKind(reinterpret_cast<const uint8_t*>(k.bytes.data()), k.bytes.size()), k.kind) << k.bytes;

  EXPECT_EQ(UrlToPath("file:///C|/help/a.html"), "c:\\help\\a.html");
  EXPECT_EQ(UrlToPath("file://Help/Index.HTML"), "help\\index.html");
  EXPECT_EQ(UrlToPath("Sub/Page.html"), "sub\\page.html");
  EXPECT_EQ(UrlToPath("Page.HTML"), "Page.HTML");
  EXPECT_EQ(TrimBlanks("\t\r\n a b \x01"), "a b");
}

TEST(DocUtils, GifTransparentColourComesFromTheControlBlockAfterTheTable) {
  using giftest::GifBuilder;
  giftest::Image one;
  one.Width = one.Height = 1;
  one.CodeSize = 2;
  one.Indices = {0};
  const std::vector<uint32_t> colours = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
  TColor c = 0;
  auto colourOf = [&](const giftest::Bytes& b) {
    c = -1;
    return GifTransparentColour(b.data(), b.size(), c);
  };
  EXPECT_TRUE(colourOf(GifBuilder().Header(1, 1, 2, colours).Control(0, 0, 2).Add(one).Trailer().Data()));
  EXPECT_EQ(c, TColor(0x908070));  // red in the low byte
  EXPECT_FALSE(colourOf(GifBuilder().Header(1, 1, 2, colours).Control(0, 0).Add(one).Trailer().Data()));
  EXPECT_FALSE(colourOf(GifBuilder().Header(1, 1, 2, colours, "87a").Control(0, 0, 2).Add(one).Data()));
  // Without a global table there is no colour to give.
  EXPECT_FALSE(colourOf(GifBuilder().Header(1, 1, 0).Control(0, 0, 0).Add(one).Trailer().Data()));
  // An index beyond the table and data that ends early are no answer, not a read past it.
  EXPECT_FALSE(colourOf(GifBuilder().Header(1, 1, 1, colours).Control(0, 0, 9).Add(one).Trailer().Data()));
  giftest::Bytes full = GifBuilder().Header(1, 1, 2, colours).Control(0, 0, 2).Add(one).Trailer().Data();
  for (size_t n = 0; n < 13 + 12 + 7; ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + long(n));
    EXPECT_FALSE(GifTransparentColour(cut.data(), cut.size(), c)) << n;
  }
}

TEST(DocUtils, PaletteTable) {
  TPaletteTable system;
  for (int i = 0; i < 256; ++i) system[size_t(i)] = {uint8_t(i), 1, 2};
  TPaletteTable p = BuildPaletteTable(system);
  EXPECT_EQ(p[9], system[9]);
  EXPECT_EQ(p[10], (TPaletteEntry{55, 55, 55}));
  EXPECT_EQ(p[11], (TPaletteEntry{55, 55, 115}));
  EXPECT_EQ(p[224], (TPaletteEntry{255, 255, 235}));  // the cube ends short of white
  EXPECT_EQ(p[225], (TPaletteEntry{135, 135, 135}));
  EXPECT_EQ(p[248], (TPaletteEntry{250, 250, 250}));
  EXPECT_EQ(p[249], system[249]);
  EXPECT_EQ(NearestPaletteIndex(p, 54, 56, 54), 10);
  for (auto [bits, cls] : {std::pair{1, 4}, {4, 4}, {8, 8}, {16, 24}, {32, 24}}) EXPECT_EQ(ColorBitsOf(bits), cls);
}

TEST(DocUtils, ImageMapAreas) {
  auto area = [](const char* shape, const char* coords, const char* href = "h") {
    TAttributeList a;
    if (shape) a.Add({ShapeSy, 0, shape});
    a.Add({CoordsSy, 0, coords});
    if (href) a.Add({HrefSy, 0, href});
    a.Add({TargetSy, 0, "t"});
    return a;
  };
  struct Case {
    const char* shape;
    const char* coords;
    bool made;
    std::vector<std::pair<int, int>> inside, outside;
  };
  const Case cases[] = {
      {"rect", "10,20,30,40", true, {{10, 20}, {30, 40}}, {{9, 20}, {31, 40}, {10, 41}}},
      {nullptr, "10, 20 ,30,40", true, {{20, 30}}, {{5, 5}}},
      {"rect", "10,20,30", false, {}, {}},
      {"circle", "10,20,30", true, {{10, 20}, {40, 20}, {10, -10}, {31, 41}}, {{41, 20}, {10, 51}, {32, 42}}},
      {"CIRC", "0,0", false, {}, {}},
      {"polygon", "0,0,10,0,0,10", true, {{1, 1}, {4, 4}}, {{6, 6}, {-1, 0}}},
      {"poly", "0,0,10,0,10", false, {}, {}},
      // A five-pointed star drawn in one line: non-zero winding fills its centre too.
      {"poly", "5,0,8,10,0,4,10,4,2,10", true, {{5, 5}, {5, 2}, {1, 4}}, {{0, 0}, {9, 9}, {5, 10}}},
      {"rect", "a,b,5,5", true, {{0, 0}, {5, 5}}, {{6, 6}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.shape ? c.shape : "-") + " " + c.coords);
    TMapItem map("M");
    map.AddAreaFromTag(area(c.shape, c.coords));
    ASSERT_EQ(map.AreaCount(), c.made ? 1 : 0);
    TUrlTarget link;
    for (auto [x, y] : c.inside) {
      EXPECT_TRUE(map.LinkAtPoint(x, y, link)) << x << "," << y;
      EXPECT_EQ(link.Url, "h");
      EXPECT_EQ(link.Target, "t");
    }
    for (auto [x, y] : c.outside) EXPECT_FALSE(map.LinkAtPoint(x, y, link)) << x << "," << y;
  }
  // The first area holding the point decides; NOHREF gives no link.
  TMapItem map("M");
  TAttributeList none = area("rect", "0,0,9,9");
  none.Add({NoHrefSy, 0, ""});
  map.AddAreaFromTag(none);
  map.AddAreaFromTag(area("rect", "0,0,99,99", "wide"));
  TUrlTarget link;
  EXPECT_FALSE(map.LinkAtPoint(5, 5, link));
  EXPECT_TRUE(map.LinkAtPoint(50, 50, link));
  EXPECT_EQ(link.Url, "wide");
}

TEST(DocUtils, CacheAgesUnusedEntriesOut) {
  TStringBitmapList cache;
  cache.SetLimit(5);
  auto item = [] {
    auto i = std::make_unique<TBitmapItem>();
    i->Image = std::make_unique<TPixelImage>(1, 1);
    return i;
  };
  cache.AddObject("SHOWN.GIF", item());
  cache.AddObject("DROPPED.GIF", item());
  cache.ReleaseEntry("DROPPED.GIF");  // its last user went
  cache.ReleaseEntry("NOT THERE");
  for (int load = 1; load <= 5; ++load) {
    cache.AgeEntries();
    EXPECT_EQ(cache.Count(), 2) << "load " << load;
  }
  cache.AgeEntries();  // unused for six loads
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.IndexOf("DROPPED.GIF"), -1);
  for (int load = 0; load < 20; ++load) cache.AgeEntries();
  EXPECT_EQ(cache.IndexOf("SHOWN.GIF"), 0);  // still in use

  // Taking an entry makes it young again; SetLimit and DropUnused drop unused ones at once.
  cache.AddObject("B.GIF", item());
  cache.ReleaseEntry("B.GIF");
  for (int load = 0; load < 5; ++load) cache.AgeEntries();
  cache.TakeEntry(cache.IndexOf("B.GIF"));
  cache.ReleaseEntry("B.GIF");
  cache.AgeEntries();
  EXPECT_NE(cache.IndexOf("B.GIF"), -1);
  cache.SetLimit(0);
  EXPECT_EQ(cache.IndexOf("B.GIF"), -1);
  EXPECT_EQ(cache.Limit(), 0);
  cache.ReleaseEntry("SHOWN.GIF");
  cache.DropUnused();
  EXPECT_EQ(cache.Count(), 0);
}

TEST(DocUtils, ColourAttributes) {
  struct Case {
    const char* text;
    bool ok;
    TColor colour;
  };
  const Case cases[] = {
      {"red", true, clRed},          {"Navy", true, clNavy},          {"SILVER", true, clSilver},
      {"gray", true, clGray},        {"#FF0000", true, clRed},        {"ff0000", true, clRed},
      {"#00ff00", true, clLime},     {"123", true, 0x230100},         {"x#0000FF", false, 0},
      {"0000#ff", true, clBlue},     {"", false, 0},                  {"#", false, 0},
      {"#GG0000", false, 0},         {"fuchsia12345", false, 0},      {"#ff#00", false, 0},
      // Long values keep 24 bits: never a system colour.
      {"#FFFFFFFFF", true, clWhite}, {"#12345678901234", true, 0x896745},
  };
  for (const Case& c : cases) {
    TColor colour = 0x1234;
    EXPECT_EQ(ParseColour(c.text, colour), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(colour, c.colour) << c.text;
    }
  }
}

}  // namespace
