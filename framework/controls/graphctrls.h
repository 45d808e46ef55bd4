#pragma once
// Graphic controls without a window of their own, painted by their parent: the bevel (a
// lowered or raised box, frame or line), the image (a bitmap, at the top left or centred,
// optionally with its bottom-left pixel's colour let through) and the gauge (a bar that
// fills in proportion to Progress between MinValue and MaxValue).
#include <string>

#include "framework/win/controls.h"
#include "framework/win/graphics.h"

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
  FW_CLASS(TBevel, TGraphicControl)

 public:
  explicit TBevel(TComponent* owner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape s);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle s);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = TBevelShape::bsBox;
  TBevelStyle style_ = TBevelStyle::bsLowered;
};

class TImage : public TGraphicControl {
  FW_CLASS(TImage, TGraphicControl)

 public:
  explicit TImage(TComponent* owner);
  TBitmap& Picture() { return picture_; }
  void SetPicture(const TBitmap& picture);
  // The bitmap resource name of this program; EInvalidGraphic when there is none.
  void LoadFromResourceName(const std::string& name);
  bool Center() const { return center_; }
  void SetCenter(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);

 protected:
  void Paint() override;

 private:
  TBitmap picture_;
  bool center_ = false;
  bool transparent_ = false;
};

// A bitmap resource of this program as a bitmap; EInvalidGraphic when there is none.
void LoadBitmapResource(TBitmap& bitmap, const std::string& name);

enum class TGaugeKind { gkHorizontalBar, gkVerticalBar };

class TGauge : public TGraphicControl {
  FW_CLASS(TGauge, TGraphicControl)

 public:
  explicit TGauge(TComponent* owner);
  TGaugeKind Kind() const { return kind_; }
  void SetKind(TGaugeKind k);
  int MinValue() const { return min_; }
  void SetMinValue(int v);
  int MaxValue() const { return max_; }
  void SetMaxValue(int v);
  int Progress() const { return progress_; }
  // Kept within MinValue ... MaxValue.
  void SetProgress(int v);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor c);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor c);
  // Progress as a whole percentage of the range (0 for an empty range).
  int PercentDone() const;

 protected:
  void Paint() override;

 private:
  TGaugeKind kind_ = TGaugeKind::gkHorizontalBar;
  int min_ = 0, max_ = 100, progress_ = 0;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
};
