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
