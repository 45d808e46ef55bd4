#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell_controls/combo_geometry.h"
#include "shell_controls/custom_draw_rules.h"

namespace {

using namespace shell;

class TFakeDevice : public TCustomDrawDevice {
 public:
  uintptr_t CurrentFont() override { return font; }
  void SelectFont(uintptr_t f) override {
    font = f;
    ++selects;
  }
  uintptr_t font = 100;
  int selects = 0;
};

constexpr uintptr_t kOwnFont = 200;
constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kUntouched = 0xABCDEF;

TEST(CustomDraw, ResultsByViewStageEventsAndContext) {
  using V = TCustomDrawView;
  struct Case {
    const char* what;
    V view;
    uint32_t stage;
    bool itemEvent, exEvent;
    // The context (made when an event runs), as the events left it.
    bool skip = false, fontChanged = false, fontSelectedAlready = false, brushChanged = false, locked = false;
    uint32_t result;
    uint32_t text = kUntouched, textBk = kUntouched;
    int selects = 0;
    bool callsEx = false, callsItem = false, looksUpItem = false;
  };
  const std::vector<Case> cases = {
      {.what = "tree without events, pre-paint", .view = V::Tree, .stage = kStagePrePaint, .itemEvent = false, .exEvent = false, .result = 0},
      {.what = "list without events, pre-paint", .view = V::List, .stage = kStagePrePaint, .itemEvent = false, .exEvent = false, .result = 0x20},
      {.what = "list without events, item pre-paint", .view = V::List, .stage = kStageItemPrePaint, .itemEvent = false, .exEvent = false, .result = 0x20},
      {.what = "tree without events, item pre-paint", .view = V::Tree, .stage = kStageItemPrePaint, .itemEvent = false, .exEvent = false, .result = 0},
      {.what = "tree with the item event, pre-paint: no call yet, items asked for", .view = V::Tree, .stage = kStagePrePaint, .itemEvent = true, .exEvent = false,
       .result = 0x20},
      {.what = "tree with the ex event, pre-paint: its context asks for items", .view = V::Tree, .stage = kStagePrePaint, .itemEvent = false, .exEvent = true,
       .result = 0x20, .callsEx = true},
      {.what = "list with the ex event, pre-paint", .view = V::List, .stage = kStagePrePaint, .itemEvent = false, .exEvent = true, .result = 0x20, .callsEx = true},
      {.what = "tree, item event, item pre-paint", .view = V::Tree, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = false, .result = 0x20,
       .callsItem = true, .looksUpItem = true},
      {.what = "both events, item pre-paint", .view = V::List, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = true, .result = 0x20, .callsEx = true,
       .callsItem = true, .looksUpItem = true},
      {.what = "skip default: exactly 4", .view = V::Tree, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = false, .skip = true, .fontChanged = true,
       .brushChanged = true, .result = 4, .callsItem = true, .looksUpItem = true},
      {.what = "skip default, list: exactly 4", .view = V::List, .stage = kStageItemPrePaint, .itemEvent = false, .exEvent = true, .skip = true, .result = 4,
       .callsEx = true, .looksUpItem = true},
      {.what = "changed font is selected, new font", .view = V::List, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = false, .fontChanged = true,
       .result = 0x22, .text = kRed, .selects = 1, .callsItem = true, .looksUpItem = true},
      {.what = "changed font already selected: no new font, text colour still", .view = V::List, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = false,
       .fontChanged = true, .fontSelectedAlready = true, .result = 0x20, .text = kRed, .callsItem = true,
       .looksUpItem = true},
      {.what = "changed brush sets the background", .view = V::Tree, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = false, .brushChanged = true,
       .result = 0x20, .textBk = kGreen, .callsItem = true, .looksUpItem = true},
      {.what = "font and brush", .view = V::Tree, .stage = kStageItemPrePaint, .itemEvent = false, .exEvent = true, .fontChanged = true, .brushChanged = true,
       .result = 0x22, .text = kRed, .textBk = kGreen, .selects = 1, .callsEx = true, .looksUpItem = true},
      {.what = "locked tree context keeps the result", .view = V::Tree, .stage = kStageItemPrePaint, .itemEvent = true, .exEvent = false, .fontChanged = true,
       .locked = true, .result = 0x7 | 0x20, .text = kRed, .selects = 1, .callsItem = true, .looksUpItem = true},
      {.what = "item post-paint changes nothing", .view = V::List, .stage = kStageItemPostPaint, .itemEvent = true, .exEvent = true, .fontChanged = true,
       .brushChanged = true, .result = 0, .callsEx = true, .looksUpItem = true},
      {.what = "post-paint", .view = V::Tree, .stage = kStagePostPaint, .itemEvent = false, .exEvent = true, .result = 0, .callsEx = true},
      {.what = "another stage is left alone", .view = V::List, .stage = 0x3, .itemEvent = false, .exEvent = true, .result = 7 | 0x20, .callsEx = true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TCustomDrawRun run(c.view, c.stage, c.itemEvent, c.exEvent);
    EXPECT_EQ(run.CallEx(), c.callsEx);
    EXPECT_EQ(run.CallItem(), c.callsItem);
    EXPECT_EQ(run.LooksUpItem(), c.looksUpItem);
    TCustomDrawState s;
    s.NotifyItems = c.view == V::Tree;  // the tree's context asks for item notifications
    s.SkipDefault = c.skip;
    s.ResultLocked = c.locked;
    s.FontChanged = c.fontChanged;
    s.HasFont = s.BrushChanged = true;
    s.FontHandle = kOwnFont;
    s.FontRGB = kRed;
    s.BrushChanged = c.brushChanged;
    s.HasBrush = true;
    s.BrushRGB = kGreen;
    TFakeDevice dc;
    if (c.fontSelectedAlready) dc.font = kOwnFont;
    TCustomDrawResult out{c.locked || c.stage == 0x3 ? 7u : 0u, kUntouched, kUntouched};
    run.Finish(run.CallEx() || run.CallItem() ? &s : nullptr, dc, out);
    EXPECT_EQ(out.Result, c.result);
    EXPECT_EQ(out.TextColor, c.text);
    EXPECT_EQ(out.TextBkColor, c.textBk);
    EXPECT_EQ(dc.selects, c.selects);
  }
}

TEST(ImageComboGeometry, ItemHeightAndEntryLayout) {
  struct Height {
    int tm;
    bool images;
    int imageHeight, expected;
  };
  for (const Height& h : std::vector<Height>{{10, true, 16, 16},
                                            {-10, true, 16, 16},
                                            {10, false, 16, 12},
                                            {16, true, 16, 18},
                                            {-20, false, 0, 22}}) {
    SCOPED_TRACE(std::to_string(h.tm) + (h.images ? " with images" : ""));
    EXPECT_EQ(ComboItemHeight(h.tm, h.images, h.imageHeight), h.expected);
  }

  struct Layout {
    const char* what;
    TRect item;
    int level;
    bool images;
    TComboEntryLayout expected;
  };
  const std::vector<Layout> layouts = {
      // 16-pixel images in an 18-pixel entry, indent 12, a caption 30 pixels wide.
      {"edit part, level 0", {0, 0, 200, 18}, 0, true, {{2, 1}, {21, 0, 54, 18}, {22, 1}}},
      {"drop-down, level 2", {0, 36, 200, 54}, 2, true, {{26, 37}, {45, 36, 78, 54}, {46, 37}}},
      {"no images", {3, 0, 200, 18}, 1, false, {{17, 1}, {20, 0, 53, 18}, {21, 1}}},
      {"odd room halves towards zero", {0, -9, 200, 8}, 0, true, {{2, -8}, {21, -9, 54, 8}, {22, -8}}},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.what);
    TComboEntryLayout got = LayoutComboEntry(l.item, l.level, 12, l.images, 16, 16, 30);
    if (l.images) {
      EXPECT_EQ(got.Image, l.expected.Image);
    }
    EXPECT_EQ(got.TextBox, l.expected.TextBox);
    EXPECT_EQ(got.Text, l.expected.Text);
  }
}

}  // namespace
