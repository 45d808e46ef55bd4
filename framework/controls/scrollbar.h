#pragma once
// TScrollBar: the system scroll bar control, horizontal or vertical. Min, Max, PageSize and
// Position go to the window through SetScrollInfo (32-bit ranges, the track position
// included); the parent's scroll notifications come back as OnScroll with the code and the
// position the bar would take, which the handler may change; the bar then shows it. Code
// that sets Position raises no event.
#include <cstdint>

#include "framework/win/controls.h"

enum class TScrollBarKind { sbHorizontal, sbVertical };
enum class TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = TEvent<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBar : public TWinControl {
  FW_CLASS(TScrollBar, TWinControl)

 public:
  explicit TScrollBar(TComponent* owner);
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind kind);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int PageSize() const { return pageSize_; }
  int Position() const { return position_; }
  void SetParams(int position, int min, int max);
  void SetMin(int v) { SetParams(position_, v, max_); }
  void SetMax(int v) { SetParams(position_, min_, v); }
  void SetPosition(int v) { SetParams(v, min_, max_); }
  void SetPageSize(int v);
  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int v) { smallChange_ = v; }
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int v) { largeChange_ = v; }

  TScrollEvent OnScroll;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void WndProc(TMessage& m) override;

 private:
  void Apply();
  void Scrolled(UINT code);

  TScrollBarKind kind_ = TScrollBarKind::sbHorizontal;
  int min_ = 0, max_ = 100, pageSize_ = 0, position_ = 0;
  int smallChange_ = 1, largeChange_ = 1;
};
