#pragma once
// TW95Meter, the segmented meter: a percentage shown as a row of separate filled blocks
// (a column when the control is taller than wide, filling from the bottom) inside an
// optional two-colour edge. Raising Percent only adds blocks over what is drawn; lowering
// it, or setting 0, repaints the whole control first. The progress window shows the
// engine's stages with it.
#include <cstdint>
#include <vector>

#include "framework/win/controls.h"

class TW95Meter : public TGraphicControl {
  FW_CLASS(TW95Meter, TGraphicControl)

 public:
  explicit TW95Meter(TComponent* owner);

  // 0: no edge; 1: sunken; anything else: raised.
  uint8_t EdgeStyle() const { return edgeStyle_; }
  void SetEdgeStyle(uint8_t style);
  int SegmentGap() const { return segmentGap_; }
  void SetSegmentGap(int gap);  // values of 0 and below are ignored
  int SegmentWidth() const { return segmentWidth_; }
  void SetSegmentWidth(int width);  // values of 0 and below are ignored
  TColor SegmentColor() const { return segmentColor_; }
  void SetSegmentColor(TColor color);
  TColor BackGroundColor() const { return backGroundColor_; }
  void SetBackGroundColor(TColor color);
  int Percent() const { return percent_; }
  void SetPercent(int percent);  // clamped to 0..100

  // The blocks of a meter of this size and settings, in its own coordinates.
  static std::vector<TRect> Blocks(int width, int height, int segmentWidth, int segmentGap, int percent);

 protected:
  void Paint() override;

 private:
  void DrawBlocks(TCanvas& canvas);

  uint8_t edgeStyle_ = 1;
  int segmentGap_ = 2;
  int segmentWidth_ = 8;
  TColor segmentColor_ = 0x800000;
  TColor backGroundColor_ = clBtnFace;
  int percent_ = 0;
};

// Makes TW95Meter known to form texts.
void RegisterW95Meter();
