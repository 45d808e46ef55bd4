#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "setup_ui/decor_models.h"

namespace {

using namespace setup_ui;
using D = TDirection;

TEST(Backdrop, PlainBandsCoverTheAreaAndEndOnTheSecondColour) {
  for (int height : {100, 512, 37}) {
    auto bands = BackdropBands(D::bdUp, 0xFF0000, 0x000000, 30, height);
    ASSERT_EQ(bands.size(), 256u);
    std::set<int> sizes;
    int at = 0;
    for (const TBand& b : bands) {
      EXPECT_EQ(b.Rect.Top, at);  // no gap, no overlap
      EXPECT_EQ(b.Rect.Left, 0);
      EXPECT_EQ(b.Rect.Right, 30);
      at = b.Rect.Bottom;
      sizes.insert(b.Rect.Height());
    }
    EXPECT_EQ(at, height);
    if (height == 100) {
      EXPECT_EQ(sizes, (std::set<int>{0, 1}));
    }
    if (height == 512) {
      EXPECT_EQ(sizes, (std::set<int>{2}));
    }
    EXPECT_EQ(bands.front().Color, 0xFF0000u);
    EXPECT_EQ(bands.back().Color, 0x000000u);  // exactly the end colour
  }
  // Each channel on its own, down as well as up.
  auto bands = BackdropBands(D::bdLeft, 0x00FF10, 0x807F20, 256, 10);
  EXPECT_EQ(bands[128].Color, uint32_t(0x40 << 16 | 0xBF << 8 | 0x18));
  EXPECT_EQ(bands.back().Color, 0x807F20u);
  EXPECT_EQ(bands[5].Rect, (TRect{5, 0, 6, 10}));  // left to right, the whole height
}

TEST(Backdrop, DirectionsAndMirroredBands) {
  const uint32_t start = 0x0000FF, end = 0x00FF00;
  struct Case {
    D dir;
    uint32_t edge;   // the colour at the top or left edge
    bool vertical;   // bands run top to bottom
    bool mirrored;
  } cases[] = {
      {D::bdUp, start, true, false},      {D::bdDown, end, true, false},
      {D::bdLeft, start, false, false},   {D::bdRight, end, false, false},
      {D::bdHorzIn, end, true, true},     {D::bdHorzOut, start, true, true},
      {D::bdVertIn, start, false, true},  {D::bdVertOut, end, false, true},
  };
  for (const Case& c : cases) {
    auto bands = BackdropBands(c.dir, start, end, 200, 300);
    ASSERT_EQ(bands.size(), 256u) << int(c.dir);
    EXPECT_EQ(bands[0].Color, c.edge) << int(c.dir);
    EXPECT_EQ(bands[0].Rect.Width(), c.vertical ? 200 : bands[0].Rect.Width()) << int(c.dir);
    EXPECT_EQ(bands[0].Rect.Height(), c.vertical ? bands[0].Rect.Height() : 300) << int(c.dir);
    if (!c.mirrored) continue;
    // 128 colours from each edge, pairwise equal, meeting in the other colour.
    const uint32_t other = c.edge == start ? end : start;
    const int extent = c.vertical ? 300 : 200;
    EXPECT_EQ(bands[1].Color, bands[0].Color);
    const TRect& far = bands[1].Rect;
    EXPECT_EQ(c.vertical ? far.Bottom : far.Right, extent) << int(c.dir);
    EXPECT_EQ(bands[254].Color, other);
    EXPECT_EQ(bands[255].Color, other);
  }
  // Equal colours: one flat colour.
  for (const TBand& b : BackdropBands(D::bdVertOut, 0x123456, 0x123456, 50, 50)) EXPECT_EQ(b.Color, 0x123456u);
}

// The caption's origin for a 100 x 20 caption in a 200 x 120 label: at 0 degrees centred,
// at 90 degrees written bottom-up from below the middle; each product is truncated alone.
TEST(RotatedLabel, Origins) {
  struct Case {
    int angle;
    TPoint origin;
    TPoint firstCorner;
  } cases[] = {
      {0, {50, 50}, {45, 47}},
      // cos 30 = .866, sin 30 = .49999999999999994 in doubles: x = 100 - t(43.30) - t(4.99..) = 53,
      // y = 60 + t(24.99..) - t(8.66) = 76
      {30, {53, 76}, {47, 76}},
      {90, {90, 110}, {87, 115}},
  };
  for (const Case& c : cases) {
    TLabelGeometry g = RotatedLabelGeometry(c.angle, 100, 20, 200, 120);
    EXPECT_EQ(g.Origin, c.origin) << c.angle;
    EXPECT_EQ(g.Box[0], c.firstCorner) << c.angle;
  }
  // The box at 0 degrees: 110 x 27 around the centre.
  TLabelGeometry g = RotatedLabelGeometry(0, 100, 20, 200, 120);
  EXPECT_EQ(g.Box[1], (TPoint{155, 47}));
  EXPECT_EQ(g.Box[2], (TPoint{155, 73}));
  EXPECT_EQ(g.Box[3], (TPoint{45, 73}));
}

// Each setter of the style against whether it fires the change.
TEST(LabelStyle, ChangeRules) {
  struct Case {
    const char* what;
    std::function<void(TLabelStyle&)> prepare, act;
    bool fires;
  } cases[] = {
      {"angle", nullptr, [](TLabelStyle& s) { s.SetAngle(30); }, true},
      {"same angle", nullptr, [](TLabelStyle& s) { s.SetAngle(0); }, false},
      {"angle 360 is 0", nullptr, [](TLabelStyle& s) { s.SetAngle(360); }, false},
      {"style", nullptr, [](TLabelStyle& s) { s.SetAStyle3D(T3DEffectShort::A3dShadowed); }, true},
      {"right-bottom colour", nullptr, [](TLabelStyle& s) { s.SetAShadeRightBottom(clRed); }, true},
      {"left-top colour", nullptr, [](TLabelStyle& s) { s.SetAShadeLeftTop(clRed); }, true},
      {"left-top colour while set", [](TLabelStyle& s) { s.SetAShadeLTSet(true); },
       [](TLabelStyle& s) { s.SetAShadeLeftTop(clRed); }, false},
      {"offset, raised", nullptr, [](TLabelStyle& s) { s.SetAHShadeOffSet(3); }, false},
      {"offset, shadowed", [](TLabelStyle& s) { s.SetAStyle3D(T3DEffectShort::A3dShadowed); },
       [](TLabelStyle& s) { s.SetAVShadeOffSet(3); }, true},
      {"set, white kept aside", nullptr, [](TLabelStyle& s) { s.SetAShadeLTSet(true); }, false},
      {"set, colour kept aside, raised", [](TLabelStyle& s) { s.SetAShadeLeftTop(clRed); },
       [](TLabelStyle& s) { s.SetAShadeLTSet(true); }, true},
      {"set, colour kept aside, shadowed",
       [](TLabelStyle& s) {
         s.SetAShadeLeftTop(clRed);
         s.SetAStyle3D(T3DEffectShort::A3dShadowed);
       },
       [](TLabelStyle& s) { s.SetAShadeLTSet(true); }, false},
      {"assign", nullptr, [](TLabelStyle& s) { s.Assign(TLabelStyle()); }, true},
  };
  for (const Case& c : cases) {
    TLabelStyle s;
    if (c.prepare) c.prepare(s);
    int fired = 0;
    s.OnChange = TNotifyEvent([&](TObject*) { ++fired; });
    c.act(s);
    EXPECT_EQ(fired > 0, c.fires) << c.what;
  }
}

TEST(LabelStyle, ValuesKeptAsideAndRestored) {
  TLabelStyle s;
  s.SetAngle(-1);
  EXPECT_EQ(s.Angle(), 0);
  s.SetAShadeLeftTop(clRed);
  s.SetAShadeLTSet(true);
  EXPECT_EQ(s.AShadeLeftTop(), clWhite);
  s.SetAShadeLeftTop(clBlue);  // ignored while set
  EXPECT_EQ(s.AShadeLeftTop(), clWhite);
  s.SetAShadeLTSet(false);
  EXPECT_EQ(s.AShadeLeftTop(), clRed);
  // Offsets are stored even while they do not fire.
  s.SetAHShadeOffSet(7);
  EXPECT_EQ(s.AHShadeOffSet(), 7);

  TLabelStyle copy;
  s.SetAngle(45);
  s.SetAStyle3D(T3DEffectShort::A3dShadowed);
  copy.Assign(s);
  EXPECT_EQ(copy.Angle(), 45);
  EXPECT_EQ(copy.AStyle3D(), T3DEffectShort::A3dShadowed);
  EXPECT_EQ(copy.AShadeLeftTop(), clRed);
  EXPECT_EQ(copy.AHShadeOffSet(), 7);
}

// Every declared default is what a fresh style holds; so AShadeLTSet True is written and
// reads back.
TEST(LabelStyle, DefaultsAreTheFreshValues) {
  TLabelStyle s;
  for (const TPropInfo& p : TLabelStyle::StaticClass().Props())
    if (p.Default) {
      EXPECT_EQ(p.Get(s), *p.Default) << p.Name;
    }
  s.SetAShadeLTSet(true);
  const TPropInfo* lt = nullptr;
  for (const TPropInfo& p : TLabelStyle::StaticClass().Props())
    if (p.Name == "AShadeLTSet") lt = &p;
  ASSERT_NE(lt, nullptr);
  EXPECT_TRUE(IsStoredProp(s, *lt));
}

}  // namespace
