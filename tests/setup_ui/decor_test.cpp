// The backdrop and the rotated label as they paint: sampled pixels, never whole images.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/testing/gui_test.h"
#include "setup_ui/decor_win32.h"

namespace {

class Decor : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    form = new TForm(Application);
    Track(form);
    form->SetBounds(0, 0, 400, 300);
    backdrop = new TBackdrop(form);
    backdrop->SetParent(form);
    label = new TRotate3DLabel(form);
    label->SetParent(form);
    label->SetBounds(50, 50, 200, 120);
    label->SetCaption("Quiltor");
    label->Font().SetHeight(-24);
    label->Font().SetColor(clWhite);
    form->Show();
    Pump();
  }
  // The bounding box of the pixels of colour rgb.
  static TRect Extent(const TCapture& image, uint32_t rgb) {
    TRect r{image.Width, image.Height, -1, -1};
    for (int y = 0; y < image.Height; ++y)
      for (int x = 0; x < image.Width; ++x)
        if (PixelNear(image, x, y, rgb, 8)) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r;
  }
  TForm* form = nullptr;
  TBackdrop* backdrop = nullptr;
  TRotate3DLabel* label = nullptr;
};

TEST_F(Decor, BackdropFillsItsParentWithItsGradient) {
  EXPECT_EQ(backdrop->Align(), TAlign::alClient);
  EXPECT_EQ(backdrop->Width(), form->ClientWidth());
  TCapture up = PaintToBitmap(*backdrop);
  EXPECT_TRUE(PixelNear(up, 10, 0, 0x0000FF, 4));                        // blue at the top
  EXPECT_TRUE(PixelNear(up, 10, up.Height - 1, 0x000000, 4));            // black at the bottom
  backdrop->SetDirection(TDirection::bdHorzIn);
  backdrop->SetStartColor(clBtnFace);                                     // system colours resolved
  backdrop->SetEndColor(clRed);
  TCapture in = PaintToBitmap(*backdrop);
  EXPECT_TRUE(PixelNear(in, 10, 0, 0xFF0000, 4));                         // the end colour at both edges
  EXPECT_TRUE(PixelNear(in, 10, in.Height - 1, 0xFF0000, 4));
  EXPECT_TRUE(PixelNear(in, 10, in.Height / 2, RGBOf(clBtnFace), 4));     // the start colour in the middle
}

// The label over the backdrop: the gradient around the caption; a drop shadow 5 right and 5
// up; at 90 degrees the caption runs bottom-up (taller than wide); without MyTransparent a
// box in the label's colour and no effect.
TEST_F(Decor, RotatedLabelOnTheBackdrop) {
  label->LabelStyle().SetAStyle3D(T3DEffectShort::A3dShadowed);
  label->LabelStyle().SetAShadeRightBottom(clRed);
  TCapture flat = PaintToBitmap(*label);
  EXPECT_TRUE(PixelNear(flat, 2, 2, 0x0000D0, 16));  // the backdrop's blue, 52 rows down
  TRect text = Extent(flat, 0xFFFFFF), shadow = Extent(flat, 0xFF0000);
  ASSERT_GT(text.Width(), 20);
  EXPECT_NEAR(shadow.Right - text.Right, 5, 1);
  EXPECT_NEAR(text.Top - shadow.Top, 5, 1);
  EXPECT_GT(text.Width(), text.Height());

  label->LabelStyle().SetAngle(90);
  TCapture up = PaintToBitmap(*label);
  TRect vertical = Extent(up, 0xFFFFFF);
  EXPECT_GT(vertical.Height(), vertical.Width());
  EXPECT_NEAR((vertical.Top + vertical.Bottom) / 2, 60, 6);  // centred on the control
  EXPECT_NEAR((vertical.Left + vertical.Right) / 2, 100, 6);

  label->LabelStyle().SetAngle(0);
  label->SetColor(clGreen);
  label->SetMyTransparent(false);
  TCapture boxed = PaintToBitmap(*label);
  EXPECT_EQ(label->LabelStyle().AStyle3D(), T3DEffectShort::A3dNormal);
  EXPECT_TRUE(PixelNear(boxed, 100, 60 - text.Height() / 2 - 2, 0x008000, 8));
  EXPECT_LT(Extent(boxed, 0xFF0000).Right, 0);  // no shadow left
  EXPECT_TRUE(PixelNear(boxed, 2, 2, 0x0000D0, 16));  // outside the box: the backdrop
}

}  // namespace
