#include "shell_controls/splitter_model.h"

#include <algorithm>
#include <cmath>

namespace shell {

int RoundHalfAway(double v) { return int(std::lround(v)); }

bool TSplitterModel::UpdatePosition(int value, bool recomputeRatio) {
  if (HasPanes) {
    if (value < MinSize[0])
      value = MinSize[0];
    else if (value > Size() - MinSize[1])
      value = Size() - MinSize[1];
  }
  if (value == position_) return false;
  position_ = value;
  if (recomputeRatio) RecomputeRatio();
  return true;
}

void TSplitterModel::RecomputeRatio() {
  if (Size() > 0) ratio_ = double(position_) / double(Size());
}

bool TSplitterModel::Resized() {
  if (!Proportional) return false;
  return UpdatePosition(RoundHalfAway(Size() * ratio_), false);
}

TRect TSplitterModel::PaneRect(int index, int w, int h) const {
  int first = std::max(0, position_);
  int second = std::max(0, position_ + SplitterWidth);
  if (Style == TQsSplitterStyle::qsstVertical) {
    if (index == 0) return {0, 0, std::min(first, std::max(0, w)), std::max(0, h)};
    return {std::min(second, std::max(0, w)), 0, std::max(0, w), std::max(0, h)};
  }
  if (index == 0) return {0, 0, std::max(0, w), std::min(first, std::max(0, h))};
  return {0, std::min(second, std::max(0, h)), std::max(0, w), std::max(0, h)};
}

int TSplitterModel::ClampLine(int c) const {
  if (c - grab_ < MinSize[0])
    c = MinSize[0] + grab_;
  else if (c - grab_ > Size() - MinSize[1])
    c = Size() + grab_ - MinSize[1];
  return c;
}

int TSplitterModel::BeginDrag(int c) {
  grab_ = c - position_;
  int first = ClampLine(c);
  dragging_ = true;
  line_ = -1;
  return first;
}

TSplitterModel::TLineStep TSplitterModel::MoveLine(int p, bool live) {
  TLineStep s;
  if (!live) {
    s.Erase = line_;
    line_ = p;
    s.Draw = p >= 0 ? p : -1;
  } else if (p >= 0) {
    line_ = p;
    s.Move = true;
    s.NewPosition = p - grab_;
  }
  s.Reported = line_;
  return s;
}

}  // namespace shell
