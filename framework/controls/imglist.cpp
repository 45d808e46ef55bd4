#include "framework/controls/imglist.h"

namespace {

COLORREF ListColor(TColor c) { return c == clNone ? CLR_NONE : GdiColor(c); }

}  // namespace

const TClassInfo& TImageList::StaticClass() {
  using P = TProps<TImageList>;
  static const TClassInfo info{
      "TImageList", &TComponent::StaticClass(), Factory<TImageList>(),
      {P::Int("Width", &TImageList::Width, &TImageList::SetWidth).WithDefault(int64_t(16)),
       P::Int("Height", &TImageList::Height, &TImageList::SetHeight).WithDefault(int64_t(16)),
       P::Bool("ShareImages", &TImageList::ShareImages, &TImageList::SetShareImages).WithDefault(false),
       P::Int("BlendColor", &TImageList::BlendColor, &TImageList::SetBlendColor, &ColorTypeInfo())
           .WithDefault(int64_t(clNone)),
       P::Int("BkColor", &TImageList::BkColor, &TImageList::SetBkColor, &ColorTypeInfo())
           .WithDefault(int64_t(clNone))}};
  return info;
}

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() { SetHandle(nullptr); }

int TImageList::Width() const {
  int w = width_, h = height_;
  if (handle_) ImageList_GetIconSize(handle_, &w, &h);
  return w;
}

int TImageList::Height() const {
  int w = width_, h = height_;
  if (handle_) ImageList_GetIconSize(handle_, &w, &h);
  return h;
}

void TImageList::SetWidth(int w) {
  if (w == width_ || w <= 0) return;
  width_ = w;
  if (handle_ && !shareImages_) SetHandle(nullptr);
}

void TImageList::SetHeight(int h) {
  if (h == height_ || h <= 0) return;
  height_ = h;
  if (handle_ && !shareImages_) SetHandle(nullptr);
}

int TImageList::Count() const { return handle_ ? ImageList_GetImageCount(handle_) : 0; }

HIMAGELIST TImageList::Handle() {
  if (!handle_) {
    handle_ = ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 4, 4);
    if (!handle_) throw EOutOfResources("Cannot create an image list");
    shareImages_ = false;
  }
  return handle_;
}

void TImageList::SetHandle(HIMAGELIST h) {
  if (h == handle_) return;
  if (handle_ && !shareImages_) ImageList_Destroy(handle_);
  handle_ = h;
  Changed();
}

void TImageList::Changed() {
  if (!IsDestroying()) OnChange(this);
}

int TImageList::AddIcon(HICON icon) {
  int i = ImageList_ReplaceIcon(Handle(), -1, icon);
  if (i >= 0) Changed();
  return i;
}

int TImageList::AddMasked(TBitmap& bitmap, TColor mask) {
  // The list takes a copy of the bitmap; the bitmap must not be selected into a DC then.
  TBitmap copy;
  copy.Assign(bitmap);
  HBITMAP h = copy.ReleaseHandle();
  int i = ImageList_AddMasked(Handle(), h, ColorToRGB(mask));
  DeleteObject(h);
  if (i >= 0) Changed();
  return i;
}

bool TImageList::Overlay(int index, int overlay) {
  return ImageList_SetOverlayImage(Handle(), index, overlay + 1) != FALSE;
}

void TImageList::DrawImage(TCanvas& canvas, int x, int y, int index, UINT overlayMask) {
  if (!handle_) return;
  UINT style = 0;
  switch (drawingStyle_) {
    case TDrawingStyle::dsFocus:
      style = ILD_FOCUS;
      break;
    case TDrawingStyle::dsSelected:
      style = ILD_SELECTED;
      break;
    case TDrawingStyle::dsNormal:
      style = ILD_NORMAL;
      break;
    case TDrawingStyle::dsTransparent:
      style = ILD_TRANSPARENT;
      break;
  }
  ImageList_DrawEx(handle_, index, canvas.Handle(), x, y, 0, 0, ListColor(bkColor_),
                   blendColor_ == clNone ? CLR_DEFAULT : GdiColor(blendColor_), style | overlayMask);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index) { DrawImage(canvas, x, y, index, 0); }

void TImageList::DrawOverlay(TCanvas& canvas, int x, int y, int index, int overlay) {
  DrawImage(canvas, x, y, index, overlay >= 0 ? UINT(INDEXTOOVERLAYMASK(overlay + 1)) : 0);
}
