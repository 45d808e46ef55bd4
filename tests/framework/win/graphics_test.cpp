#include <gtest/gtest.h>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "framework/win/graphics.h"
#include "platform/byte_order.h"

namespace {

// A hand-made 2 x 2 BMP with an 8-bit palette (rows bottom-up, padded to 4 bytes).
std::vector<uint8_t> PaletteBmp() {
  platform::ByteWriter w;
  w.U8('B');
  w.U8('M');
  w.U32(14 + 40 + 2 * 4 + 2 * 4);
  w.U32(0);
  w.U32(14 + 40 + 2 * 4);
  w.U32(40);
  w.U32(2);
  w.U32(2);
  w.U16(1);
  w.U16(8);
  w.U32(BI_RGB);
  w.U32(8);
  w.U32(0);
  w.U32(0);
  w.U32(2);
  w.U32(0);
  w.U32(0x000000FF);  // palette 0: blue (B, G, R, 0)
  w.U32(0x0000FF00);  // palette 1: green
  uint8_t rows[] = {0, 1, 0, 0, 1, 0, 0, 0};  // bottom row: blue green; top row: green blue
  w.Bytes(rows, sizeof rows);
  return w.Data();
}

TEST(Graphics, BitmapsDrawSaveAndLoadBmpData) {
  TBitmap b;
  b.SetSize(20, 10);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({0, 0, 10, 10});
  b.Canvas().Pen().SetColor(clBlue);
  b.Canvas().MoveTo(10, 5);
  b.Canvas().LineTo(20, 5);
  EXPECT_EQ(b.PixelRGB(5, 5), 0xFF0000u);
  EXPECT_EQ(b.PixelRGB(15, 5), 0x0000FFu);
  EXPECT_EQ(b.PixelRGB(15, 2), 0xFFFFFFu);  // a new bitmap is white
  TMemoryStream m;
  b.SaveToStream(m);
  m.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(m);
  ASSERT_EQ(back.Width(), 20);
  for (auto [x, y] : {std::pair{5, 5}, {15, 5}, {15, 2}, {19, 9}}) EXPECT_EQ(back.PixelRGB(x, y), b.PixelRGB(x, y));

  std::vector<uint8_t> bmp = PaletteBmp();
  TMemoryStream p;
  p.WriteBuffer(bmp.data(), int32_t(bmp.size()));
  p.SetPosition(0);
  back.LoadFromStream(p);
  EXPECT_EQ(back.Width(), 2);
  EXPECT_EQ(back.PixelRGB(0, 1), 0x0000FFu);  // bottom-left: blue
  EXPECT_EQ(back.PixelRGB(1, 1), 0x00FF00u);
  EXPECT_EQ(back.PixelRGB(0, 0), 0x00FF00u);
}

TEST(Graphics, MalformedBmpDataIsRefusedAndChangesNothing) {
  std::vector<uint8_t> good = PaletteBmp();
  auto corrupt = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> v = good;
    v[at] = value;
    return v;
  };
  std::vector<std::vector<uint8_t>> cases = {
      {good.begin(), good.begin() + 20},                  // cut inside the header
      {good.begin(), good.end() - 1},                     // one pixel byte short
      corrupt(0, 'X'),                                    // no BM signature
      corrupt(28, 7),                                     // 7 bits per pixel
      corrupt(21, 0x7F),                                  // 2 billion pixels wide
      corrupt(46, 200),                                   // a palette larger than the file
      corrupt(30, BI_RLE8),                               // compressed data
  };
  TBitmap b;
  b.SetSize(3, 3);
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    TMemoryStream m;
    m.WriteBuffer(cases[i].data(), int32_t(cases[i].size()));
    m.SetPosition(0);
    EXPECT_THROW(b.LoadFromStream(m), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 3);
  }
}

TEST(Graphics, FontsColoursAndTheWindowsLocale) {
  TFont f;
  f.SetSize(8);
  EXPECT_EQ(f.Height(), -MulDiv(8, ScreenPixelsPerInch(), 72));
  EXPECT_EQ(f.Size(), 8);
  f.SetName(std::string(40, 'x'));
  EXPECT_EQ(f.Name().size(), 31u);
  f.SetName("Courier New");
  EXPECT_EQ(f.LogFont().lfPitchAndFamily & 3, FIXED_PITCH);
  EXPECT_EQ(ColorToRGB(clBtnFace), uint32_t(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(AnsiUpperCase("caf\xE9"), "CAF\xC9");  // CharUpperBuffA in the ANSI code page
}

TEST(Graphics, MonochromeBitmapsRasterOperationsClippingAndText) {
  // A one-bit bitmap: white at first, black where drawn, kept through Assign and resizing.
  TBitmap mask;
  mask.SetMonochrome(true);
  mask.SetSize(40, 3);
  EXPECT_TRUE(mask.Monochrome());
  EXPECT_EQ(mask.PixelRGB(39, 2), 0xFFFFFFu);
  mask.Canvas().Brush().SetColor(clBlack);
  mask.Canvas().FillRect({0, 0, 33, 1});
  EXPECT_EQ(mask.PixelRGB(32, 0), 0u);
  EXPECT_EQ(mask.PixelRGB(33, 0), 0xFFFFFFu);
  TBitmap copy;
  copy.Assign(mask);
  EXPECT_TRUE(copy.Monochrome());
  EXPECT_EQ(copy.PixelRGB(32, 0), 0u);
  copy.SetSize(50, 3);
  EXPECT_EQ(copy.PixelRGB(5, 0), 0u);
  EXPECT_EQ(copy.PixelRGB(45, 0), 0xFFFFFFu);

  // The copy mode: AND with the mask keeps the picture where the mask is white, and
  // 0x00220326 (destination AND NOT source) blackens it there instead.
  TBitmap picture;
  picture.SetSize(40, 3);
  picture.Canvas().Brush().SetColor(clRed);
  picture.Canvas().FillRect({0, 0, 40, 3});
  picture.Canvas().SetCopyMode(SRCAND);
  picture.Canvas().CopyRect({0, 0, 40, 3}, mask.Canvas(), {0, 0, 40, 3});
  EXPECT_EQ(picture.PixelRGB(1, 0), 0u);
  EXPECT_EQ(picture.PixelRGB(35, 0), 0xFF0000u);
  picture.Canvas().Brush().SetColor(clRed);
  picture.Canvas().FillRect({0, 0, 40, 3});
  picture.Canvas().SetCopyMode(0x00220326);
  picture.Canvas().CopyRect({0, 0, 40, 3}, mask.Canvas(), {0, 0, 40, 3});
  EXPECT_EQ(picture.PixelRGB(1, 0), 0xFF0000u);
  EXPECT_EQ(picture.PixelRGB(35, 0), 0u);
  EXPECT_EQ(picture.Canvas().CopyMode(), DWORD(0x00220326));

  // Clipping, and text placed by its baseline.
  TBitmap page;
  page.SetSize(60, 40);
  TRect clip{0, 0, 10, 10};
  page.Canvas().SetClipRect(&clip);
  page.Canvas().Brush().SetColor(clBlue);
  page.Canvas().FillRect({0, 0, 60, 40});
  EXPECT_EQ(page.PixelRGB(5, 5), 0x0000FFu);
  EXPECT_EQ(page.PixelRGB(20, 20), 0xFFFFFFu);
  page.Canvas().SetClipRect(nullptr);
  page.Canvas().Brush().SetColor(clWhite);
  page.Canvas().FillRect({0, 0, 60, 40});
  page.Canvas().Font().SetName("Arial");
  page.Canvas().Font().SetSize(20);
  page.Canvas().Font().SetColor(clBlack);
  TEXTMETRICA tm = page.Canvas().TextMetrics();
  EXPECT_GT(tm.tmAscent, 10);
  EXPECT_GE(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  page.Canvas().SetTextAlign(TA_BASELINE);
  page.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  page.Canvas().TextOut(2, 30, "H");
  int lowest = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 30; ++x)
      if (page.PixelRGB(x, y) != 0xFFFFFFu) lowest = y;
  EXPECT_EQ(lowest, 29);  // an H stands on its baseline
  page.Canvas().SetTextAlign(TA_TOP);

  // A palette is selected, realised and given back.
  struct {
    WORD version, count;
    PALETTEENTRY entries[2];
  } log{0x300, 2, {{255, 0, 0, 0}, {0, 0, 255, 0}}};
  HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
  HPALETTE old = page.Canvas().SelectPalette(palette, true);
  EXPECT_EQ(page.Canvas().SelectPalette(old, true), palette);
  DeleteObject(palette);
}

}  // namespace
