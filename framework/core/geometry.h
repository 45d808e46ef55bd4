#pragma once
// Points, sizes and rectangles in pixels; a rectangle excludes its right and bottom edges.
struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TSize {
  int Width = 0, Height = 0;
  bool operator==(const TSize&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  bool Intersects(const TRect& r) const {
    return Left < r.Right && r.Left < Right && Top < r.Bottom && r.Top < Bottom;
  }
  bool operator==(const TRect&) const = default;
};

inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}
