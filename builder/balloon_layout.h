#pragma once
// Where a balloon hint goes and how its parts lie, without a window.
//
// How it works: a balloon is the hint text's rectangle grown by 16 pixels in width and 20
// in height (29 when it opens below the mouse, where its pointer is on top). It opens in
// one of four directions from the mouse; a direction that would leave the screen tries its
// fallback (past the right edge the left-opening twin, above the top the one below, and so
// on). Each hint starts its count of tries afresh; after 10 the last one tried stands.
// Inside its window the balloon is a rounded box with a pointer towards the mouse and a
// dithered shadow along its right and bottom sides.
#include <array>

#include "framework/core/geometry.h"

enum class THintDirection { hdUpRight, hdUpLeft, hdDownRight, hdDownLeft };

// Balloons below the mouse carry their pointer on top.
inline bool OpensDown(THintDirection d) {
  return d == THintDirection::hdDownRight || d == THintDirection::hdDownLeft;
}
// The pointer sits at the left end for the right-opening directions, else at the right.
inline bool OpensRight(THintDirection d) {
  return d == THintDirection::hdUpRight || d == THintDirection::hdDownRight;
}

// The most placements tried for one hint.
inline constexpr int kMaxBalloonTries = 10;

struct TBalloonPlacement {
  TRect Bounds;              // the balloon window, in screen coordinates
  THintDirection Direction;  // the direction that was taken
  int Tries = 0;             // placements computed, the taken one included
};

// The balloon window's size for a text rectangle of this size.
TSize BalloonSize(TSize text, THintDirection direction);
// Places a balloon for a text of this size at the mouse on a screen of this size, starting
// with the preferred direction.
TBalloonPlacement PlaceBalloon(TSize screen, TPoint mouse, TSize text, THintDirection preferred);

// The parts of a balloon window of this size, in its own coordinates.
struct TBalloonShape {
  TRect Box;                       // the rounded box (corner 9), outline included
  std::array<TPoint, 3> Pointer;   // the pointer's triangle; its tip is the last point
  TRect Shadow;                    // the rounded area (corner 8) the shadow is cut from
  TRect RightBand, BottomBand;     // where within it the dither lies
  std::array<TPoint, 3> PointerShadow;  // the pointer's own shadow (none below the mouse)
  bool HasPointerShadow = false;
  TRect Text;                      // where the text is drawn
};
TBalloonShape BalloonShapeOf(TSize window, THintDirection direction);

// The 50 % dither of the shadow: the pixels whose x and y have the same parity.
inline bool IsShadowDot(int x, int y) { return ((x ^ y) & 1) == 0; }
