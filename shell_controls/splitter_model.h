#pragma once
// The splitter's arithmetic without a window: the position of its bar, the clamps of the
// two panes' minimum sizes, the ratio that a proportional splitter keeps when it is
// resized, the panes' rectangles and the steps of a drag (outline or live).
//
// Position is the size of pane 1 along the split axis; the bar of SplitterWidth pixels
// follows it and pane 2 takes the rest. Ratio is Position over the size along the axis;
// it changes only while that size is positive. A pane never gets a negative size, so a
// Position of -SplitterWidth (a pane minimum of -SplitterWidth) hides pane 1 and the bar.
#include <cstdint>

#include "framework/core/geometry.h"

enum class TQsSplitterStyle : uint8_t { qsstVertical, qsstHorizontal };
enum class TQsFullDragMode : uint8_t { qsfdOff, qsfdOn, qsfdUser };

namespace shell {

class TSplitterModel {
 public:
  TQsSplitterStyle Style = TQsSplitterStyle::qsstVertical;
  int SplitterWidth = 3;
  bool Proportional = true;
  bool HasPanes = true;
  int MinSize[2] = {20, 20};
  int Width = 200, Height = 140;

  int Position() const { return position_; }
  double Ratio() const { return ratio_; }
  // Height for a horizontal splitter (pane 1 above), Width for a vertical one.
  int Size() const { return Style == TQsSplitterStyle::qsstHorizontal ? Height : Width; }

  // Clamps value to the panes' minimum sizes (pane 1's first); true when Position changed,
  // and then Ratio is recomputed when asked.
  bool UpdatePosition(int value, bool recomputeRatio);
  // Stores value as it is (a drop's last step).
  void StorePosition(int value) { position_ = value; }
  void RecomputeRatio();
  // After a resize: a proportional splitter takes round(size * Ratio), halves away from
  // zero, keeping Ratio; true when Position changed.
  bool Resized();
  // The panes in a client area of width by height.
  TRect PaneRect(int index, int clientWidth, int clientHeight) const;

  // Dragging: c is the pointer's coordinate along the axis.
  bool Dragging() const { return dragging_; }
  int LinePosition() const { return line_; }
  int GrabOffset() const { return grab_; }
  // The line position for the pointer at c, kept inside the minimum sizes.
  int ClampLine(int c) const;
  // Starts a drag at c and returns the first line position.
  int BeginDrag(int c);
  // What the line mover does for p: in outline mode the line drawn before (if any) is
  // erased and p drawn (when not negative); in live mode Position follows a p that is not
  // negative.
  struct TLineStep {
    int Erase = -1;        // the line to invert away, -1 for none
    int Draw = -1;         // the line to invert, -1 for none
    bool Move = false;     // live: set Position to NewPosition through the setter
    int NewPosition = 0;
    int Reported = -1;     // the line position SplitterDrag reports
  };
  TLineStep MoveLine(int p, bool live);
  // Ends a drag (the caller moved the line to -1 first).
  void EndDrag() { dragging_ = false; }

 private:
  int position_ = 65;
  double ratio_ = 65.0 / 200.0;
  bool dragging_ = false;
  int line_ = -1;
  int grab_ = 0;
};

// Round half away from zero.
int RoundHalfAway(double v);

}  // namespace shell
