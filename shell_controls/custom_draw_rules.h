#pragma once
// The result rules of the custom-draw tree and list views, apart from any window. One
// NM_CUSTOMDRAW notification: the control calls OnCustomDrawEx at every stage and
// OnCustomDraw at the item pre-paint stage only (a drawing context is made for the first
// event that runs), applies the context, and asks for item notifications at the pre-paint
// stages: the tree only when it has an event, the list always.
//
// Applying a context, for the four paint stages only: the result starts at 0 (the tree
// leaves it alone while its context is locked); pre-paint adds item notifications when
// the context asks for them; item pre-paint with SkipDefault gives exactly "skip default",
// otherwise a changed font is selected into the device context unless it is selected
// already ("new font" only when it was selected now) and sets the text colour, and a
// changed brush sets the text background colour. Post-paint stages change nothing more.
#include <cstdint>

namespace shell {

constexpr uint32_t kStagePrePaint = 0x1, kStagePostPaint = 0x2, kStageItem = 0x10000,
                   kStageItemPrePaint = 0x10001, kStageItemPostPaint = 0x10002;
constexpr uint32_t kResultNewFont = 0x2, kResultSkipDefault = 0x4, kResultNotifyItemDraw = 0x20;

enum class TCustomDrawView { Tree, List };

// What a drawing context holds when it is applied.
struct TCustomDrawState {
  bool NotifyItems = false;
  bool SkipDefault = false;
  bool ResultLocked = false;  // the tree's context leaves the result alone
  bool FontChanged = false;
  bool HasFont = false;
  uintptr_t FontHandle = 0;
  uint32_t FontRGB = 0;
  bool BrushChanged = false;
  bool HasBrush = false;
  uint32_t BrushRGB = 0;
};

// The device context of the notification.
class TCustomDrawDevice {
 public:
  virtual ~TCustomDrawDevice() = default;
  virtual uintptr_t CurrentFont() = 0;
  virtual void SelectFont(uintptr_t font) = 0;
};

// The notification's out values.
struct TCustomDrawResult {
  uint32_t Result = 0;
  uint32_t TextColor = 0;
  uint32_t TextBkColor = 0;
};

class TCustomDrawRun {
 public:
  TCustomDrawRun(TCustomDrawView view, uint32_t stage, bool hasItemEvent, bool hasExEvent);
  bool CallEx() const { return hasEx_; }
  bool CallItem() const { return hasItem_ && stage_ == kStageItemPrePaint; }
  // The item is looked up only for stages that have one, and only for an event.
  bool LooksUpItem() const { return (stage_ & kStageItem) && (CallEx() || CallItem()); }
  // After the events: applies the context (null when none was made), then adds the
  // control's own bits.
  void Finish(const TCustomDrawState* context, TCustomDrawDevice& dc, TCustomDrawResult& out) const;
  // The control's own bits, after its context was applied (skipped: it asked to skip the
  // item's default drawing).
  void AddNotifyBits(bool skipped, uint32_t& result) const;

 private:
  TCustomDrawView view_;
  uint32_t stage_;
  bool hasItem_, hasEx_;
};

// Applies one context (the rules above); true when it made the item skip its default drawing.
bool ApplyCustomDraw(TCustomDrawView view, uint32_t stage, const TCustomDrawState& s, TCustomDrawDevice& dc,
                     TCustomDrawResult& out);

}  // namespace shell
