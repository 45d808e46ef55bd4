#include "shell_controls/custom_draw_rules.h"

namespace shell {

TCustomDrawRun::TCustomDrawRun(TCustomDrawView view, uint32_t stage, bool hasItemEvent, bool hasExEvent)
    : view_(view), stage_(stage), hasItem_(hasItemEvent), hasEx_(hasExEvent) {}

void TCustomDrawRun::Finish(const TCustomDrawState* context, TCustomDrawDevice& dc, TCustomDrawResult& out) const {
  bool skipped = context && ApplyCustomDraw(view_, stage_, *context, dc, out);
  AddNotifyBits(skipped, out.Result);
}

void TCustomDrawRun::AddNotifyBits(bool skipped, uint32_t& result) const {
  // Asking for sub-item notifications of an item that draws nothing would be pointless:
  // "skip default" stands alone.
  if ((stage_ & kStagePrePaint) && !skipped && (view_ == TCustomDrawView::List || hasItem_ || hasEx_))
    result |= kResultNotifyItemDraw;
}

bool ApplyCustomDraw(TCustomDrawView view, uint32_t stage, const TCustomDrawState& s, TCustomDrawDevice& dc,
                     TCustomDrawResult& out) {
  if (stage != kStagePrePaint && stage != kStagePostPaint && stage != kStageItemPrePaint &&
      stage != kStageItemPostPaint)
    return false;
  const bool mayWrite = view == TCustomDrawView::List || !s.ResultLocked;
  if (mayWrite) out.Result = 0;
  if (stage == kStagePrePaint) {
    if (s.NotifyItems && mayWrite) out.Result |= kResultNotifyItemDraw;
    return false;
  }
  if (stage != kStageItemPrePaint) return false;
  if (s.SkipDefault) {
    if (mayWrite) out.Result |= kResultSkipDefault;
    return true;
  }
  if (s.FontChanged && s.HasFont) {
    if (dc.CurrentFont() != s.FontHandle) {
      dc.SelectFont(s.FontHandle);
      if (mayWrite) out.Result |= kResultNewFont;
    }
    out.TextColor = s.FontRGB;
  }
  if (s.BrushChanged && s.HasBrush) out.TextBkColor = s.BrushRGB;
  return false;
}

}  // namespace shell
