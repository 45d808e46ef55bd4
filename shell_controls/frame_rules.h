#pragma once
// The group frame's geometry without a window: how much of the window each of the eleven
// frame styles takes from the client area, and the lines, fills and caption rectangles
// that draw the frame, in window coordinates with the window's rectangle at (0, 0).
#include <cstdint>
#include <vector>

#include "framework/core/color.h"
#include "framework/core/geometry.h"

enum class TQsFrameStyle : uint8_t {
  qsfsNone,
  qsfsGroup,
  qsfsLowered,
  qsfsRaised,
  qsfsDint,
  qsfsBump,
  qsfsSingle,
  qsfsHorzLine,
  qsfsHorzEdge,
  qsfsVertLine,
  qsfsVertEdge
};

namespace shell {

// What each side of the window gives to the frame. textHeight is the height of "0" in the
// control's font; a group frame's top takes it when there is a caption.
TRect FrameInsets(TQsFrameStyle style, bool hasCaption, int textHeight);
// The client rectangle that is left of window (never inverted).
TRect ClientOfWindow(const TRect& window, const TRect& insets);

// One drawing step of the frame.
struct TFramePart {
  enum TKind : uint8_t {
    Fill,       // Rect filled with Color
    Polyline,   // Points joined in Color, the last point not drawn (LineTo)
    Rectangle,  // the outline of Rect in Color
    Caption     // the caption in Rect, single line with end ellipsis, in Color; Opaque: on the
                // background colour, else transparent
  } Kind = Fill;
  TColor Color = clBtnFace;
  TRect Rect;
  std::vector<TPoint> Points;
  bool Opaque = false;
  bool operator==(const TFramePart&) const = default;
};

// The steps that draw style over the window rectangle (0, 0, width, height). back is the
// control's Color, text its font colour; the caption steps come only for a group frame
// with a caption (textHeight as for the insets).
std::vector<TFramePart> FrameParts(TQsFrameStyle style, int width, int height, bool hasCaption, int textHeight,
                                   bool enabled, TColor back, TColor text);

}  // namespace shell
