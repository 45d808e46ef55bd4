#pragma once
// Image lists. A TImageList makes its own list of Width by Height images on first use, or
// wraps one it is given (SetHandle); with ShareImages it never destroys a list it wraps,
// which is how the shell's system image lists are shown. Draw and DrawOverlay paint one
// image with the drawing style (dsSelected blends with BlendColor) and an overlay given by
// its zero-based index (sent to the system as the overlay mask index + 1).
#include "framework/core/color.h"
#include "framework/core/object.h"
#include "framework/win/graphics.h"
#include "framework/win/winapi.h"

enum class TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };

class TImageList : public TComponent {
  FW_CLASS(TImageList, TComponent)

 public:
  explicit TImageList(TComponent* owner);

  int Width() const;
  int Height() const;
  void SetWidth(int w);   // a list of its own only: it is made anew, empty
  void SetHeight(int h);
  int Count() const;
  // The list, made on first use when none was given.
  HIMAGELIST Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Wraps h (null: none); the list held before is destroyed unless it is shared.
  void SetHandle(HIMAGELIST h);
  bool ShareImages() const { return shareImages_; }
  void SetShareImages(bool v) { shareImages_ = v; }

  TColor BlendColor() const { return blendColor_; }
  void SetBlendColor(TColor c) { blendColor_ = c; }
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor c) { bkColor_ = c; }
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle s) { drawingStyle_ = s; }

  // Adds an icon (copied); the index, -1 on failure.
  int AddIcon(HICON icon);
  // Adds the images of bitmap (copied), pixels of mask colour transparent; the index of the
  // first, -1 on failure.
  int AddMasked(TBitmap& bitmap, TColor mask);
  // Makes image index the overlay of zero-based overlay index; false on failure.
  bool Overlay(int index, int overlay);
  void Draw(TCanvas& canvas, int x, int y, int index);
  void DrawOverlay(TCanvas& canvas, int x, int y, int index, int overlay);

  TNotifyEvent OnChange;

 protected:
  ~TImageList() override;

 private:
  void DrawImage(TCanvas& canvas, int x, int y, int index, UINT overlayMask);
  void Changed();
  HIMAGELIST handle_ = nullptr;
  int width_ = 16, height_ = 16;
  bool shareImages_ = false;
  TColor blendColor_ = clNone;
  TColor bkColor_ = clNone;
  TDrawingStyle drawingStyle_ = TDrawingStyle::dsNormal;
};
