#pragma once
// Frame sets as data: what a FRAMESET document describes (the sets with their dimensions,
// the frames with their names and sources), and the arithmetic the frame viewer does on it:
// sizes from dimensions, scaling to an extent, the border under the mouse and where a link's
// target leads. The frame viewer's panels are built from this description.
//
// Dimensions as stored: n > 0 pixels (at most 5000), -1..-99 a weight ("*", "2*"), and
// -101..-1100 a percent p as -(p + 100) (p at most 1000).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "html_viewer/doc_utils.h"

constexpr int kMaxFrameDimensions = 20;
constexpr int kMaxFrames = 20;
// Frame sets nested deeper stay empty.
constexpr int kMaxFrameNesting = 4;

// A ROWS or COLS list: at most 20 entries, digits saturating.
std::vector<int> ReadDimensionList(const std::string& text);

struct TFrameSetDesc;

// One place of a set: a frame, or a nested set (SubSet not null).
struct TFrameDesc {
  std::string Name;         // as written
  std::string Source;       // SRC before any "#"
  std::string Destination;  // after "#"
  bool NoResize = false, ScrollingOff = false;
  std::unique_ptr<TFrameSetDesc> SubSet;
};

struct TFrameSetDesc {
  bool ByRows = false;
  std::vector<int> Dimensions;
  int FrameBorder = 2;  // the top set's BORDER or FRAMEBORDER (2 without either)
  int OuterBorder = 0;  // max(2 - border, 0) in the top set
  bool Top = true;
  std::vector<TFrameDesc> Frames;
  std::string Title, Base, BaseTarget;

  // The parser's hooks: FRAMESET's attributes, a FRAME (false once the set is full), a
  // nested set (null once the set is full), and the end of the set.
  void ReadDimensions(const TAttributeList& attributes);
  bool AppendFrame(const TAttributeList& attributes);
  TFrameSetDesc* AppendSubSet();
  // Missing dimensions of extra frames are -1, missing frames of extra dimensions empty.
  void FinishSet(const std::string& base, const std::string& baseTarget);
};

// The sizes of the entries along an extent (pixels kept, percents of the percent space,
// weights of what is left); pixel entries scale down when they do not fit.
std::vector<int> DistributeSizes(const std::vector<int>& dimensions, int extent);
// Sizes scaled to an extent by multiply-divide (a zero total gives zero sizes).
std::vector<int> ScaleSizes(const std::vector<int>& sizes, int extent);
// The running sums: positions[0] = 0, positions[i] = end of entry i - 1.
std::vector<int> BorderPositions(const std::vector<int>& sizes);
// Sizes back from border positions after a drag, in units of total: (p_i - p_i-1) × total ÷
// last position (zero sizes when the last position is 0).
std::vector<int> SizesFromPositions(const std::vector<int>& positions, int total);
// The border nearest to pos (ties to the later one unless pos is left of it), or -1 when it
// is more than 4 pixels away, is an outer edge of the top set, or touches a NORESIZE entry.
int BorderAt(const std::vector<int>& positions, int pos, const std::vector<bool>& fixedEntries, bool topSet);

// Where a link with a target goes.
enum class TTargetKind : uint8_t { tkThisFrame, tkNamedFrame, tkTopSet, tkParentSet, tkOther };
// target: the link's own, else the viewer's BASE target, else the enclosing set's.
// No target or "_self": the clicked frame; tkOther: a name no frame has (a new window is
// asked for). chosen gets the target that applied.
TTargetKind ResolveTarget(const std::string& linkTarget, const std::string& viewerBaseTarget,
                          const std::string& setBaseTarget, const std::vector<std::string>& frameNames,
                          std::string& chosen);
