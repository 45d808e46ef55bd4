#pragma once
// The bitmap button: a push button that draws its Glyph beside its caption (owner-drawn:
// the classic BUTTON class shows a bitmap or a text, never both). The glyph's bottom-left
// pixel is its transparent colour. Kind bkOK makes it the form's OK button: ModalResult 1
// and Default. In form text the glyph is its BMP data (Glyph = {424D...}).
#include "framework/controls/stdctrls.h"
#include "framework/win/graphics.h"

enum class TBitBtnKind { bkCustom, bkOK };

class TBitBtn : public TButton {
  FW_CLASS(TBitBtn, TButton)

 public:
  explicit TBitBtn(TComponent* owner);
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind kind);
  TBitmap& Glyph() { return glyph_; }
  void SetGlyph(const TBitmap& glyph);
  // Pixels between the glyph and the caption.
  static constexpr int kSpacing = 4;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& m) override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& d);
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  TBitmap glyph_;
};

// A windowed button that never takes the focus: it shows its glyph and stays down while
// Down. Buttons of one GroupIndex (not 0) under one parent are down one at a time; with
// AllowAllUp a click on the down one lets it up. A click on a button of group 0 only
// clicks.
class TSpeedButton : public TCustomControl {
  FW_CLASS(TSpeedButton, TCustomControl)

 public:
  explicit TSpeedButton(TComponent* owner);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v) { groupIndex_ = v; }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v) { allowAllUp_ = v; }
  bool Down() const { return down_; }
  // Putting one down puts the others of its group up.
  void SetDown(bool v);
  TBitmap& Glyph() { return glyph_; }
  bool CanFocus() const override { return false; }
  // What a user's click does (the down state of a group, then OnClick).
  void Click() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;

 private:
  int groupIndex_ = 0;
  bool allowAllUp_ = false;
  bool down_ = false;
  bool pressed_ = false;
  TBitmap glyph_;
};

