#include <gtest/gtest.h>

#include "framework/controls/buttons.h"
#include "framework/core/form_reader.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"

namespace {

class BitBtn : public TGuiTest {
 protected:
  // 16 x 16: magenta (the bottom-left pixel, so transparent) round a red 8 x 8 square.
  static void MakeGlyph(TBitmap& g) {
    g.SetSize(16, 16);
    g.Canvas().Brush().SetColor(clFuchsia);
    g.Canvas().FillRect({0, 0, 16, 16});
    g.Canvas().Brush().SetColor(clRed);
    g.Canvas().FillRect({4, 4, 12, 12});
  }
};

// The glyph stands left of the caption, its transparent colour shows the button face, and
// the button stays owner-drawn when Default changes its style.
TEST_F(BitBtn, DrawsItsGlyphBesideItsCaption) {
  auto* form = new TForm(Application);
  Track(form);
  form->SetBounds(40, 40, 240, 120);
  auto* b = new TBitBtn(form);
  b->SetParent(form);
  b->SetBounds(20, 20, 140, 34);
  b->SetCaption("Continue");
  TBitmap glyph;
  MakeGlyph(glyph);
  b->SetGlyph(glyph);
  b->SetKind(TBitBtnKind::bkOK);
  EXPECT_EQ(b->ModalResult(), mrOk);
  EXPECT_TRUE(b->Default());
  form->Show();
  b->SetDefault(false);
  b->SetDefault(true);
  Pump();
  EXPECT_EQ(GetWindowLongPtrA(b->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);

  TCapture c = CaptureWindow(*b);
  const uint32_t red = 0xFF0000, face = RGBOf(clBtnFace), text = RGBOf(clBtnText);
  int y = c.Height / 2, firstRed = -1, lastRed = -1, firstText = -1;
  for (int x = 0; x < c.Width; ++x) {
    uint32_t p = c.PixelAt(x, y);
    EXPECT_NE(p, 0xFF00FFu) << "magenta at " << x;
    if (p == red) {
      if (firstRed < 0) firstRed = x;
      lastRed = x;
    }
  }
  for (int x = lastRed + 1; x < c.Width && firstText < 0; ++x)
    for (int row = 2; row < c.Height - 2; ++row)
      if (c.PixelAt(x, row) == text) {
        firstText = x;
        break;
      }
  ASSERT_GE(firstRed, 0);
  EXPECT_EQ(lastRed - firstRed + 1, 8);
  EXPECT_TRUE(PixelNear(c, firstRed - 3, y, face));  // the glyph's transparent border
  EXPECT_GT(firstText, lastRed + TBitBtn::kSpacing);  // the caption after the glyph
  EXPECT_LT(firstText, lastRed + TBitBtn::kSpacing + 8);
}

// The whole caption shows: a "&" prefix makes the system draw the text a pixel wider than
// it measures it, and the last dot of "&Browse..." must not be cut off.
TEST_F(BitBtn, CaptionWithAPrefixShowsWhole) {
  auto* form = new TForm(Application);
  Track(form);
  form->SetBounds(40, 40, 240, 120);
  auto* b = new TBitBtn(form);
  b->SetParent(form);
  b->SetBounds(20, 20, 85, 25);
  b->SetCaption("&Browse...");
  form->Show();
  Pump();
  // The columns the text covers: on the button, and drawn unclipped on a bitmap.
  auto span = [](auto pixel, int width, int height, uint32_t ink) {
    int first = -1, last = -1;
    // Inside the button's frame and focus rectangle.
    for (int x = 6; x < width - 6; ++x)
      for (int y = 6; y < height - 6; ++y)
        if (pixel(x, y) == ink) {
          if (first < 0) first = x;
          last = x;
        }
    return last - first + 1;
  };
  TCapture c = CaptureWindow(*b);
  const uint32_t text = RGBOf(clBtnText);
  const int shown = span([&](int x, int y) { return c.PixelAt(x, y); }, c.Width, c.Height, text);
  TBitmap ref;
  ref.SetSize(100, 30);
  ref.Canvas().Brush().SetColor(clWhite);
  ref.Canvas().FillRect({0, 0, 100, 30});
  HDC dc = ref.Canvas().Handle();
  HGDIOBJ old = SelectObject(dc, b->Font().Handle());
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  RECT r{10, 8, 95, 25};
  DrawTextA(dc, "&Browse...", -1, &r, DT_SINGLELINE | DT_NOCLIP);
  SelectObject(dc, old);
  const int drawn = span([&](int x, int y) { return ref.PixelRGB(x, y); }, 100, 30, 0u);
  EXPECT_GT(drawn, 20);
  EXPECT_EQ(shown, drawn);
}

TEST_F(BitBtn, GlyphAndKindFromFormText) {
  TBitmap glyph;
  MakeGlyph(glyph);
  TMemoryStream bmp;
  glyph.SaveToStream(bmp);
  std::string hex;
  for (int64_t i = 0; i < bmp.Size(); ++i) hex += IntToHex(bmp.Memory()[i], 2);
  auto* form = new TForm(Application);
  Track(form);
  ReadForm(*form,
           "object F: TForm\n  object B: TBitBtn\n    Kind = bkOK\n    Caption = 'OK'\n    Glyph = {" + hex +
               "}\n  end\nend\n",
           "F");
  auto* b = dynamic_cast<TBitBtn*>(form->FindComponent("B"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Glyph().Width(), 16);
  EXPECT_EQ(b->Glyph().PixelRGB(8, 8), 0xFF0000u);
  EXPECT_EQ(b->Glyph().PixelRGB(0, 15), 0xFF00FFu);
  EXPECT_EQ(b->ModalResult(), mrOk);
  EXPECT_TRUE(b->Default());
}

}  // namespace
