// The viewer's Windows graphics under Wine: the GDI surface of GIF images against the golden
// folder and the hand-made streams of gif_test.cpp, the screen's measurer (faces mapped to Liberation fonts: positions derived from
// measured widths), drawing at measured advances, masks, bitmaps, device-independent copies,
// the viewer's resources, the palette path (exactly on an 8-bit display) and the pixels
// layout_run.exe paints with --bmp.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "framework/core/streams.h"
#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/doc_sections.h"
#include "html_viewer/layout_cli.h"
#include "platform/file.h"
#include "tests/html_viewer/gif_builder.h"
#include "tests/html_viewer/gif_golden.h"
#include "tests/support/scratch_dir.h"

namespace {

// Every GIF test of this program (gif_test.cpp too) composes with GDI bitmaps.
class TGdiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { InitDocGraphics(); }
  void TearDown() override { DoneDocGraphics(); }
};
const auto* const kGdi = ::testing::AddGlobalTestEnvironment(new TGdiEnvironment);

TEST(GdiGif, FramesAndMasksAreBitmapsWithTheirTransparentPixelsBlack) {
  InitDocGraphics();
  giftest::Image frame;
  frame.Width = 3, frame.Height = 2, frame.CodeSize = 2;
  frame.Indices = {1, 0, 2, 3, 0, 1};
  giftest::Bytes b = giftest::GifBuilder()
                         .Header(3, 2, 2, {0x808080, 0xFF0000, 0x00FF00, 0x0000FF})
                         .Control(2, 0, 0)
                         .Add(frame)
                         .Trailer()
                         .Data();
  bool still;
  auto image = TGIFImage::MakeGIFImage(b.data(), b.size(), still);
  auto* picture = dynamic_cast<TWinImage*>(image->Bitmap());
  auto* mask = dynamic_cast<TWinImage*>(image->Mask());
  ASSERT_TRUE(picture && mask);
  EXPECT_TRUE(mask->Bitmap().Monochrome());
  const uint32_t want[6] = {0xFF0000, 0, 0x00FF00, 0x0000FF, 0, 0xFF0000};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(picture->Bitmap().PixelRGB(i % 3, i / 3), want[i]) << i;
    EXPECT_EQ(mask->Bitmap().PixelRGB(i % 3, i / 3), frame.Indices[size_t(i)] == 0 ? 0xFFFFFFu : 0u) << i;
  }
  // Painted over a page, the transparent pixels let the page through.
  TGdiCanvas canvas(6, 4);
  canvas.FillRect({0, 0, 6, 4}, clYellow);
  image->Paint(canvas, 0, 0, 6, 4);
  EXPECT_EQ(canvas.Bitmap()->PixelRGB(0, 0), 0xFF0000u);
  EXPECT_EQ(canvas.Bitmap()->PixelRGB(2, 1), 0xFFFF00u);  // stretched twice: pixel (1, 0)
  EXPECT_EQ(canvas.Bitmap()->PixelRGB(4, 3), 0xFF0000u);
}

TEST(ScreenMeasurer, FixedFacesAreMonospacedAndLayoutFollowsMeasuredWidths) {
  InitDocGraphics();
  TScreenMeasurer m;
  TMyFont fixed;
  fixed.Name = "Courier New", fixed.Size = 10, fixed.Fixed = true;
  TMyFont serif;
  serif.Name = "Times New Roman", serif.Size = 12;
  auto width = [&](const TMyFont& f, const std::string& s) { return m.TextWidth(f, s.data(), int(s.size())); };
  EXPECT_EQ(width(fixed, "iiiiii"), width(fixed, "WWWWWW"));
  EXPECT_EQ(width(fixed, "iiiiii"), 6 * width(fixed, "i"));
  EXPECT_LT(width(serif, "iiiiii"), width(serif, "WWWWWW"));
  TFontMetrics metrics = m.Metrics(serif);
  EXPECT_GE(metrics.Height, metrics.TmHeight);
  EXPECT_GT(metrics.Descent, 0);
  EXPECT_GT(metrics.TmHeight, 12);  // 12 points at 96 pixels per inch are 16 pixels tall
  TFontMetrics bigger = m.Metrics(TMyFont{serif.Name, 24});
  EXPECT_GT(bigger.Height, metrics.Height);

  // "aaa bbb ccc" breaks after "bbb " at a width that holds "aaa bbb c" but not the rest;
  // right alignment puts the first line's text (without its space) at the right edge.
  int w = width(serif, "aaa bbb c");
  TSectionOwner owner(m, WinImagePlatform());
  TSection s(owner, 0, serif, nullptr, 3);
  s.AppendText("aaa bbb ccc");
  IndentManager im;
  im.ResetEdges(0, w);
  int mw = 0, cursor = 0;
  s.Layout(0, im, mw, cursor);
  ASSERT_EQ(s.Lines().size(), 2u);
  EXPECT_EQ(s.Lines()[0].Chars, 8);
  EXPECT_EQ(s.Lines()[0].Width, width(serif, "aaa bbb"));
  EXPECT_EQ(s.Lines()[0].LineIndent, w - width(serif, "aaa bbb"));
  EXPECT_EQ(s.Lines()[1].LineIndent, w - width(serif, "ccc"));
  EXPECT_EQ(s.Height, 2 * metrics.Height);
}

TEST(GdiCanvas, PiecesLandWhereTheWholeTextDoes) {
  InitDocGraphics();
  TMyFont f;
  f.Name = "Times New Roman", f.Size = 12;
  TScreenMeasurer m;
  const std::string a = "the new version, and press", b = " Create. An";
  TGdiCanvas whole(300, 20), pieces(300, 20);
  whole.TextOut(0, 15, f, clBlack, (a + b).data(), int(a.size() + b.size()), false, clWhite);
  pieces.TextOut(0, 15, f, clBlack, a.data(), int(a.size()), false, clWhite);
  pieces.TextOut(m.TextWidth(f, a.data(), int(a.size())), 15, f, clBlack, b.data(), int(b.size()), false, clWhite);
  int differ = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 300; ++x) differ += whole.Bitmap()->PixelRGB(x, y) != pieces.Bitmap()->PixelRGB(x, y);
  EXPECT_EQ(differ, 0);
  // Opaque text fills its cell with the background.
  TGdiCanvas selected(100, 20);
  selected.TextOut(2, 15, f, clWhite, "  ", 2, true, clNavy);
  EXPECT_EQ(selected.Bitmap()->PixelRGB(4, 10), 0x000080u);
}

// A 4 x 2 bitmap: red with a green bottom-left pixel.
TBitmap& Sample(TBitmap& b) {
  b.SetSize(4, 2);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({0, 0, 4, 2});
  b.Canvas().SetPixel(0, 1, clLime);
  b.Canvas().SetPixel(3, 0, clLime);
  return b;
}

TEST(ViewerBitmaps, MasksPaintMaskedAndBmpFiles) {
  InitDocGraphics();
  TBitmap b;
  Sample(b);
  std::unique_ptr<TWinImage> corner = MakeMask(b, false, 0);
  ASSERT_TRUE(corner);
  EXPECT_EQ(corner->Bitmap().PixelRGB(0, 1), 0xFFFFFFu);
  EXPECT_EQ(corner->Bitmap().PixelRGB(3, 0), 0xFFFFFFu);
  EXPECT_EQ(corner->Bitmap().PixelRGB(1, 0), 0u);
  std::unique_ptr<TWinImage> red = MakeMask(b, true, clRed);
  EXPECT_EQ(red->Bitmap().PixelRGB(1, 0), 0xFFFFFFu);
  EXPECT_EQ(red->Bitmap().PixelRGB(0, 1), 0u);
  TBitmap empty;
  EXPECT_EQ(MakeMask(empty, false, 0), nullptr);

  // Stretched twice over a blue page: the masked (green) pixels keep the page.
  TGdiCanvas page(8, 4);
  page.FillRect({0, 0, 8, 4}, clBlue);
  PaintMasked(page.Handle(), b, corner->Bitmap(), 4, 8, 0, 0);
  EXPECT_EQ(page.Bitmap()->PixelRGB(2, 0), 0xFF0000u);
  EXPECT_EQ(page.Bitmap()->PixelRGB(1, 3), 0x0000FFu);
  EXPECT_EQ(page.Bitmap()->PixelRGB(7, 0), 0x0000FFu);

  // Files and data: only bitmaps load; transparency 1 masks the bottom-left colour.
  testsupport::ScratchDir dir("bmp");
  b.SaveToFile(dir.Path("a.bmp"));
  TMemoryStream text;
  text.WriteBuffer("not a bitmap at all", 19);
  text.SaveToFile(dir.Path("b.bmp"));
  EXPECT_TRUE(LoadBmpFile(dir.Path("a.bmp"), true));
  EXPECT_FALSE(LoadBmpFile(dir.Path("b.bmp"), true));
  EXPECT_FALSE(LoadBmpFile(dir.Path("none.bmp"), true));
  std::unique_ptr<TViewerImage> mask;
  uint8_t transparency = 1;
  std::unique_ptr<TWinImage> loaded = LoadBmpWithMask(dir.Path("a.bmp"), transparency, mask);
  ASSERT_TRUE(loaded && mask);
  EXPECT_EQ(loaded->Bitmap().PixelRGB(1, 1), 0xFF0000u);
  EXPECT_EQ(static_cast<TWinImage*>(mask.get())->Bitmap().PixelRGB(0, 1), 0xFFFFFFu);
  TMemoryStream m;
  b.SaveToStream(m);
  std::vector<uint8_t> data(m.Memory(), m.Memory() + m.Size());
  mask.reset();
  EXPECT_TRUE(ReadBmpWithMask(data, 1, mask) && mask);
  EXPECT_FALSE(ReadBmpWithMask(std::vector<uint8_t>(data.begin(), data.begin() + 19), 0, mask));

  // A device-independent copy draws the same pixels again.
  TDib dib(nullptr, b);
  EXPECT_EQ(dib.Header().biSize, 40u);
  EXPECT_EQ(dib.Header().biBitCount, 32);
  EXPECT_EQ(dib.Header().biSizeImage, 4u * 4 * 2);
  TGdiCanvas copy(4, 2);
  dib.StretchToDevice(copy.Handle(), 0, 0, 4, 2, SRCCOPY);
  for (auto [x, y] : {std::pair{0, 1}, {1, 0}, {3, 0}, {3, 1}}) EXPECT_EQ(copy.Bitmap()->PixelRGB(x, y), b.PixelRGB(x, y));
  HBITMAP device = dib.MakeDeviceBitmap(copy.Handle());
  EXPECT_NE(device, nullptr);
  DeleteObject(device);
}

TEST(ViewerBitmaps, TheViewersOwnResources) {
  InitDocGraphics();
  EXPECT_EQ(ErrorBitMap()->Width(), kPlaceholderBitmapSize);
  EXPECT_EQ(DefBitMap()->Height(), kPlaceholderBitmapSize);
  EXPECT_TRUE(ErrorBitmapMask()->Bitmap().Monochrome());
  // The broken picture's red cross, from resource 1001.
  EXPECT_EQ(ErrorBitMap()->Bitmap().PixelRGB(7, 7) & 0xFF0000, 0xFF0000u);
  EXPECT_NE(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kHandCursorId)), nullptr);
}

TEST(Palette, FramesAreMappedToTheNearestPaletteColour) {
  InitDocGraphics();
  HPALETTE saved = ThePalette;
  TPaletteTable system{};
  system[0] = {0, 0, 0};
  system[255] = {255, 255, 255};
  if (!saved) ThePalette = MakeViewerPalette(system);
  PALETTEENTRY entries[256];
  ASSERT_EQ(GetPaletteEntries(ThePalette, 0, 256, entries), 256u);
  TPaletteTable table;
  for (int i = 0; i < 256; ++i) table[size_t(i)] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue};
  EXPECT_EQ(table[10], (TPaletteEntry{55, 55, 55}));
  EXPECT_EQ(table[225], (TPaletteEntry{135, 135, 135}));
  std::vector<uint8_t> bytes = ReadGolden("colours256.gif");
  bool still;
  auto image = TGIFImage::MakeGIFImage(bytes.data(), bytes.size(), still);
  std::vector<uint32_t> rgb;
  std::vector<uint8_t> mask;
  image->Surface()->ReadBack(rgb, mask);
  const TGIFFrame& f = image->Frame(1);
  int wrong = 0;
  for (int y = 0; y < f.Height; ++y)
    for (int x = 0; x < f.Width; ++x) {
      uint32_t c = f.ColourAt(x, y);
      const TPaletteEntry& e = table[size_t(NearestPaletteIndex(table, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)))];
      wrong += rgb[size_t(y * image->Width() + x)] != ((uint32_t(e.Red) << 16) | (e.Green << 8) | e.Blue);
    }
  EXPECT_EQ(wrong, 0);
  if (!saved) {
    DeleteObject(ThePalette);
    ThePalette = nullptr;
  }
}

// Run on an 8-bit display (QUILTOR_EXPECT_8BIT=1): the start-up makes the palette itself.
TEST(Palette8, AnEightBitDisplayGetsTheViewersPalette) {
  if (platform::GetEnvironment("QUILTOR_EXPECT_8BIT") != "1") GTEST_SKIP() << "not on an 8-bit display";
  InitDocGraphics();
  EXPECT_EQ(ColorBits, 8);
  ASSERT_NE(ThePalette, nullptr);
  PALETTEENTRY entries[256];
  ASSERT_EQ(GetPaletteEntries(ThePalette, 0, 256, entries), 256u);
  HDC screen = GetDC(nullptr);
  PALETTEENTRY system[256];
  GetSystemPaletteEntries(screen, 0, 256, system);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(entries[3].peRed, system[3].peRed);
  EXPECT_EQ(entries[250].peBlue, system[250].peBlue);
  EXPECT_EQ(entries[11].peBlue, 115);
}

// The first record of a kind in a layout dump, its fields by name.
std::map<std::string, int> Record(const std::string& dump, const std::string& kind, int nth = 0) {
  std::istringstream lines(dump);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, kind.size() + 1, kind + " ") != 0 || nth-- > 0) continue;
    std::map<std::string, int> fields;
    std::istringstream words(line.substr(kind.size()));
    for (std::string w; words >> w;)
      if (size_t eq = w.find('='); eq != std::string::npos) fields[w.substr(0, eq)] = std::atoi(w.c_str() + eq + 1);
    return fields;
  }
  ADD_FAILURE() << "no " << kind << " record";
  return {};
}

uint32_t RgbOf(TColor c) {
  uint32_t v = ColorToRGB(c);
  return ((v & 0xFF) << 16) | (v & 0xFF00) | (v >> 16);
}

// Runs the Windows layout_run (built beside this folder) and returns what it printed.
std::string RunLayoutExe(const std::string& args, int& rc) {
  std::string command = "..\\..\\html_viewer\\layout_run.exe " + args;
  FILE* p = _popen(command.c_str(), "rb");
  std::string out;
  if (!p) {
    rc = -1;
    return out;
  }
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  rc = _pclose(p);
  return out;
}

TEST(LayoutRunBmp, PixelsShowBulletCellBorderAndRuleColours) {
  testsupport::ScratchDir dir("lay");
  std::string bmp = dir.Path("page.bmp");
  int rc = 0;
  std::string dump = RunLayoutExe("--fake --width 560 --bmp \"" + bmp + "\" layouts\\host.layout", rc);
  ASSERT_EQ(rc, 0) << dump;
  TBitmap page;
  page.LoadFromFile(bmp);
  auto at = [&](int x, int y) { return page.PixelRGB(x, y); };
  // Bullets of levels 1 and 2 on the button face: navy and maroon at their centres.
  auto b1 = Record(dump, "bullet"), b2 = Record(dump, "bullet", 1);
  EXPECT_EQ(at(b1["x"], b1["y"]), 0x000080u);
  EXPECT_EQ(at(b2["x"], b2["y"]), 0x800000u);
  // The yellow row's first cell, the pink cell, the table colour in the spanning cell: each
  // sampled just inside its box, clear of the text.
  auto c1 = Record(dump, "cell"), c2 = Record(dump, "cell", 1), c3 = Record(dump, "cell", 2);
  EXPECT_EQ(at(c1["x"] + c1["width"] - 3, c1["y"] + 6), 0xFFFF00u);
  EXPECT_EQ(at(c2["x"] + c2["width"] - 3, c2["y"] + 6), 0xFF8080u);
  EXPECT_EQ(at(c3["x"] + c3["width"] - 3, c3["y"] + 6), 0xC0FFC0u);
  // Between the cells the border colour; the cells' sunken frames and the table's raised one.
  auto table = Record(dump, "table");
  EXPECT_EQ(at(table["x"] + 1, c1["y"] + 10), 0x000080u);
  EXPECT_EQ(at(c2["x"] + 1, c2["y"] + 10), 0x000080u);
  EXPECT_EQ(at(c1["x"] + 3, c1["y"] + 10), RgbOf(clBtnShadow));
  EXPECT_EQ(at(c1["x"] + c1["width"], c1["y"] + 10), RgbOf(clBtnHighlight));
  EXPECT_EQ(at(table["x"], c1["y"] + 10), RgbOf(clBtnHighlight));
  // The sunken rule: its top edge dark, its bottom edge light; the red one filled.
  auto sunken = Record(dump, "rule"), red = Record(dump, "rule", 1);
  EXPECT_EQ(at(sunken["x"] + 20, sunken["y"]), RgbOf(clBtnShadow));
  EXPECT_EQ(at(sunken["x"] + 20, sunken["y"] + sunken["thickness"] - 1), RgbOf(clBtnHighlight));
  for (int dy = 0; dy < red["thickness"]; ++dy) EXPECT_EQ(at(red["x"] + red["width"] / 2, red["y"] + dy), 0xFF0000u);
  EXPECT_EQ(at(red["x"] + red["width"] / 2, red["y"] + red["thickness"]), RgbOf(clBtnFace));
}

}  // namespace
