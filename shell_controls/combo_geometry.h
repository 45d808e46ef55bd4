#pragma once
// Where the image combo draws an entry, apart from any window. An entry is indented by its
// level times IndentPixels (level 0 in the edit part, the entry's Indent in the drop-down
// list); the image sits 2 pixels in and is centred vertically; the caption's box starts 4
// pixels after the image (or at 4 without images), is 3 pixels wider than the text, and
// the text is written 1 pixel inside it.
#include "framework/core/geometry.h"

namespace shell {

// The height of an entry: the font's height (tmHeight, taken as a magnitude) plus 2, or
// the images' height when that is larger.
int ComboItemHeight(int textMetricHeight, bool hasImages, int imageHeight);

struct TComboEntryLayout {
  TPoint Image;     // where the image is drawn (with images only)
  TRect TextBox;    // filled behind the caption
  TPoint Text;      // where the caption is written
};
TComboEntryLayout LayoutComboEntry(const TRect& item, int level, int indentPixels, bool hasImages, int imageWidth,
                                   int imageHeight, int textWidth);

}  // namespace shell
