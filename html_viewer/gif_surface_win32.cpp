// The GDI surface of GIF images: every frame becomes a bitmap (made from an 8-bit
// device-independent copy of its indices, through ThePalette on an 8-bit display) and, when
// transparent, a one-bit mask (white = transparent) with the frame's transparent pixels
// turned black (destination AND NOT source, 0x00220326). The logical screen is a colour
// bitmap and, for a transparent image, a one-bit mask; frames are composed on them and
// disposed with raster operations.
#include <algorithm>
#include <cstring>

#include "html_viewer/doc_graphics_win32.h"

namespace {

constexpr DWORD kAndNotSource = 0x00220326;  // DSna

HDC DcOf(TBitmap& b) { return b.Canvas().Handle(); }

// Monochrome sources map 0 to the text colour and 1 to the background colour of the
// destination: black and white, whatever was drawn there before.
HDC PlainDc(TBitmap& b) {
  HDC dc = DcOf(b);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  return dc;
}

std::unique_ptr<TBitmap> NewBitmap(int w, int h, bool mono) {
  auto b = std::make_unique<TBitmap>();
  b->SetMonochrome(mono);
  b->SetSize(w, h);
  return b;
}

std::unique_ptr<TBitmap> CopyOf(const TBitmap* b) {
  if (!b) return nullptr;
  auto c = std::make_unique<TBitmap>();
  c->Assign(*b);
  return c;
}

// The frame's picture: its indices as an 8-bit bottom-up DIB, set into a colour bitmap.
std::unique_ptr<TBitmap> FramePicture(const TGIFFrame& f) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  const int stride = f.PixelStride();
  std::vector<uint8_t> rows(size_t(stride) * size_t(f.Height));
  for (int y = 0; y < f.Height; ++y)  // bottom-up
    std::memcpy(&rows[size_t(f.Height - 1 - y) * size_t(stride)], &f.Pixels[size_t(y) * size_t(stride)], size_t(stride));
  info.header.biSize = sizeof info.header;
  info.header.biWidth = f.Width;
  info.header.biHeight = f.Height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = 256;
  if (ThePalette) {
    // Every GIF colour to the nearest palette entry; the table becomes the palette's.
    PALETTEENTRY entries[256] = {};
    GetPaletteEntries(ThePalette, 0, 256, entries);
    TPaletteTable table;
    for (int i = 0; i < 256; ++i) table[size_t(i)] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue};
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) {
      const uint8_t* c = &f.ColorTable[size_t(i) * 3];
      map[i] = uint8_t(NearestPaletteIndex(table, c[0], c[1], c[2]));
    }
    for (uint8_t& p : rows) p = map[p];
    for (int i = 0; i < 256; ++i) info.colours[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  } else {
    for (int i = 0; i < 256; ++i) {
      const uint8_t* c = &f.ColorTable[size_t(i) * 3];
      info.colours[i] = {c[2], c[1], c[0], 0};
    }
  }
  auto bitmap = NewBitmap(f.Width, f.Height, false);
  HDC dc = DcOf(*bitmap);
  HPALETTE old = ThePalette ? SelectPalette(dc, ThePalette, FALSE) : nullptr;
  SetDIBitsToDevice(dc, 0, 0, DWORD(f.Width), DWORD(f.Height), 0, 0, 0, UINT(f.Height), rows.data(),
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  if (old) SelectPalette(dc, old, FALSE);
  GdiFlush();
  return bitmap;
}

// The frame's mask: its rows as a one-bit bitmap (0 black, 1 white).
std::unique_ptr<TBitmap> FrameMask(const TGIFFrame& f) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info{};
  const int stride = f.MaskStride();
  std::vector<uint8_t> rows(size_t(stride) * size_t(f.Height));
  for (int y = 0; y < f.Height; ++y)
    std::memcpy(&rows[size_t(f.Height - 1 - y) * size_t(stride)], &f.Mask[size_t(y) * size_t(stride)], size_t(stride));
  info.header.biSize = sizeof info.header;
  info.header.biWidth = f.Width;
  info.header.biHeight = f.Height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  info.colours[1] = {255, 255, 255, 0};
  auto mask = NewBitmap(f.Width, f.Height, true);
  SetDIBitsToDevice(DcOf(*mask), 0, 0, DWORD(f.Width), DWORD(f.Height), 0, 0, 0, UINT(f.Height), rows.data(),
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  GdiFlush();
  return mask;
}

class TGdiGifSurface : public IGifSurface {
 public:
  void Reset(int width, int height, bool transparent) override {
    frames_.clear();
    image_ = NewBitmap(width, height, false);
    PatBlt(DcOf(*image_), 0, 0, width, height, BLACKNESS);
    mask_ = transparent ? NewBitmap(width, height, true) : nullptr;  // new bitmaps are white
    GdiFlush();
  }
  void AddFrame(const TGIFFrame& f) override {
    Frame fr;
    if (f.Width > 0 && f.Height > 0) {
      fr.bitmap = FramePicture(f);
      if (f.Transparent) {
        fr.mask = FrameMask(f);
        BitBlt(PlainDc(*fr.bitmap), 0, 0, f.Width, f.Height, DcOf(*fr.mask), 0, 0, kAndNotSource);
      }
      if (f.Disposal == 3) {
        fr.saveBitmap = NewBitmap(f.Width, f.Height, false);
        fr.saveMask = NewBitmap(f.Width, f.Height, true);
      }
      GdiFlush();
    }
    frames_.push_back(std::move(fr));
  }
  void Compose(int index, const TGIFFrame& f) override {
    Frame& fr = frames_[size_t(index)];
    if (!fr.bitmap) return;
    HDC image = PlainDc(*image_);
    if (fr.saveBitmap) {
      BitBlt(DcOf(*fr.saveBitmap), 0, 0, f.Width, f.Height, image, f.Left, f.Top, SRCCOPY);
      if (mask_) BitBlt(DcOf(*fr.saveMask), 0, 0, f.Width, f.Height, DcOf(*mask_), f.Left, f.Top, SRCCOPY);
    }
    if (fr.mask) {
      HDC frameMask = DcOf(*fr.mask);
      if (mask_) BitBlt(PlainDc(*mask_), f.Left, f.Top, f.Width, f.Height, frameMask, 0, 0, SRCAND);
      BitBlt(image, f.Left, f.Top, f.Width, f.Height, frameMask, 0, 0, SRCAND);
      BitBlt(image, f.Left, f.Top, f.Width, f.Height, DcOf(*fr.bitmap), 0, 0, SRCINVERT);
    } else {
      if (mask_) PatBlt(DcOf(*mask_), f.Left, f.Top, f.Width, f.Height, BLACKNESS);
      BitBlt(image, f.Left, f.Top, f.Width, f.Height, DcOf(*fr.bitmap), 0, 0, SRCCOPY);
    }
    GdiFlush();
  }
  void Dispose(int index, const TGIFFrame& f) override {
    Frame& fr = frames_[size_t(index)];
    if (!fr.bitmap) return;
    if (f.Disposal == 2) {
      if (mask_) PatBlt(DcOf(*mask_), f.Left, f.Top, f.Width, f.Height, WHITENESS);
      PatBlt(DcOf(*image_), f.Left, f.Top, f.Width, f.Height, BLACKNESS);
    } else if (f.Disposal == 3 && fr.saveBitmap) {
      BitBlt(DcOf(*image_), f.Left, f.Top, f.Width, f.Height, DcOf(*fr.saveBitmap), 0, 0, SRCCOPY);
      if (mask_) BitBlt(DcOf(*mask_), f.Left, f.Top, f.Width, f.Height, DcOf(*fr.saveMask), 0, 0, SRCCOPY);
    }
    GdiFlush();
  }
  std::unique_ptr<IGifSurface> Clone() const override {
    auto c = std::make_unique<TGdiGifSurface>();
    c->image_ = CopyOf(image_.get());
    c->mask_ = CopyOf(mask_.get());
    for (const Frame& fr : frames_)
      c->frames_.push_back({CopyOf(fr.bitmap.get()), CopyOf(fr.mask.get()), CopyOf(fr.saveBitmap.get()),
                            CopyOf(fr.saveMask.get())});
    return c;
  }
  void ReadBack(std::vector<uint32_t>& rgb, std::vector<uint8_t>& mask) override {
    rgb.clear(), mask.clear();
    for (int y = 0; y < image_->Height(); ++y)
      for (int x = 0; x < image_->Width(); ++x) {
        rgb.push_back(image_->PixelRGB(x, y));
        if (mask_) mask.push_back(mask_->PixelRGB(x, y) ? 1 : 0);
      }
  }
  std::unique_ptr<TViewerImage> FrameBitmap(int index, bool wantMask) const override {
    const Frame& fr = frames_[size_t(index)];
    std::unique_ptr<TBitmap> b = CopyOf(wantMask ? fr.mask.get() : fr.bitmap.get());
    return b ? std::make_unique<TWinImage>(std::move(b)) : nullptr;
  }
  TBitmap& Image() { return *image_; }
  TBitmap* Mask() { return mask_.get(); }

 private:
  struct Frame {
    std::unique_ptr<TBitmap> bitmap, mask, saveBitmap, saveMask;
  };
  std::unique_ptr<TBitmap> image_, mask_;
  std::vector<Frame> frames_;
};

}  // namespace

std::unique_ptr<IGifSurface> NewGdiGifSurface() { return std::make_unique<TGdiGifSurface>(); }

void PaintGif(HDC dc, TGIFImage& image, const TRect& d) {
  auto* surface = dynamic_cast<TGdiGifSurface*>(image.Surface());
  if (!surface || image.Width() == 0 || image.Height() == 0) return;
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0)), oldBk = SetBkColor(dc, RGB(255, 255, 255));
  HDC picture = DcOf(surface->Image());
  int w = image.Width(), h = image.Height();
  if (TBitmap* mask = surface->Mask()) {
    // The page shows through the transparent pixels: image xor, mask and, image or.
    StretchBlt(dc, d.Left, d.Top, d.Width(), d.Height(), picture, 0, 0, w, h, SRCINVERT);
    StretchBlt(dc, d.Left, d.Top, d.Width(), d.Height(), DcOf(*mask), 0, 0, w, h, SRCAND);
    StretchBlt(dc, d.Left, d.Top, d.Width(), d.Height(), picture, 0, 0, w, h, SRCPAINT);
    image.ClearNeedBackground();
  } else {
    StretchBlt(dc, d.Left, d.Top, d.Width(), d.Height(), picture, 0, 0, w, h, SRCCOPY);
  }
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  SetStretchBltMode(dc, oldMode);
}
