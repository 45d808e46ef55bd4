#include "shell_controls/combo_geometry.h"

#include <cstdlib>

namespace shell {

int ComboItemHeight(int textMetricHeight, bool hasImages, int imageHeight) {
  int h = std::abs(textMetricHeight) + 2;
  if (hasImages && imageHeight > h) h = imageHeight;
  return h;
}

TComboEntryLayout LayoutComboEntry(const TRect& item, int level, int indentPixels, bool hasImages, int imageWidth,
                                   int imageHeight, int textWidth) {
  TComboEntryLayout l;
  const int indent = level * indentPixels;
  // Integer division halves towards zero, also for a rectangle above the origin.
  l.Image = {item.Left + 2 + indent, (item.Top + item.Bottom - imageHeight) / 2};
  int left = item.Left + 1 + indent + (hasImages ? imageWidth + 4 : 4);
  l.TextBox = {left, item.Top, left + textWidth + 3, item.Bottom};
  l.Text = {left + 1, item.Top + 1};
  return l;
}

}  // namespace shell
