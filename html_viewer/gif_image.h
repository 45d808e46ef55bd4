#pragma once
// GIF images and their animation.
//
// How it works: LoadGIF walks the blocks of the file held in memory (header, logical screen,
// global table, extensions, images, trailer) with bounds-checked little-endian reads; each
// image becomes a TGIFFrame whose LZW data is decoded into a row-padded index buffer and,
// for a transparent frame, a one-bit mask (most significant bit first, set = transparent).
// The frames are handed to a surface (IGifSurface): the platform's picture of the logical
// screen, on which frames are composed (transparent frames through their mask, opaque ones
// copied) and disposed (restore to background, restore previous). Natively the surface is a
// pixel array; on Windows it is made of GDI bitmaps and raster operations. The animation is
// a state machine driven by TimerStep on the replaceable TickCount clock: frame delays
// scaled by Speed, the loop count of the NETSCAPE extension, one wait of the first frame's
// delay before the first change. Damaged data never reads out of bounds: the end of the
// data ends the frame being read (its decoded rows kept) and the parse, bad codes end a
// frame's data, and sizes are checked before anything is allocated.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/exceptions.h"
#include "framework/core/geometry.h"
#include "html_viewer/doc_utils.h"

// Largest logical screen or frame, and largest sum of all frames, in pixels.
constexpr uint64_t kGifMaxPixels = 16777216;
constexpr uint64_t kGifMaxTotalPixels = 4 * kGifMaxPixels;
constexpr int kGifMaxFrames = 256;

// A load that failed: silent where the framework reports exceptions, with the reason.
class EGIFError : public EAbort {
 public:
  using EAbort::EAbort;
};

struct TGIFFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int LocalBits = 0;     // bits of the local colour table, 0 when none
  int Delay = 0;         // milliseconds
  uint8_t Disposal = 0;  // 0 unspecified, 1 keep, 2 restore background, 3 restore previous
  bool Interlaced = false, Transparent = false;
  uint8_t TransparentIndex = 0, TransparentRed = 0, TransparentGreen = 0, TransparentBlue = 0;
  bool HasLocalTable = false;
  std::array<uint8_t, 768> ColorTable{};  // 256 entries; those beyond the file's are black
  std::vector<uint8_t> Pixels;  // PixelStride() × Height indices, top row first
  std::vector<uint8_t> Mask;    // MaskStride() × Height bytes, for a transparent frame
  std::string Comment;

  int PixelStride() const { return (Width + 3) / 4 * 4; }
  int MaskStride() const { return (Width + 31) / 32 * 4; }
  uint8_t Index(int x, int y) const { return Pixels[size_t(y) * size_t(PixelStride()) + size_t(x)]; }
  bool IsMasked(int x, int y) const {
    return Transparent && (Mask[size_t(y) * size_t(MaskStride()) + size_t(x / 8)] & (0x80 >> (x % 8)));
  }
  // 0x00RRGGBB of the pixel; transparent pixels are black.
  uint32_t ColourAt(int x, int y) const;
};

// The logical screen the frames are composed on (see the comment at the top).
class IGifSurface {
 public:
  virtual ~IGifSurface() = default;
  // A fresh canvas: the image black and, for a transparent image, the mask white.
  virtual void Reset(int width, int height, bool transparent) = 0;
  // Frames arrive once each, in order, after decoding; later calls name them by index.
  virtual void AddFrame(const TGIFFrame& frame) = 0;
  // Draws the frame; for disposal 3 the area under it is saved first.
  virtual void Compose(int index, const TGIFFrame& frame) = 0;
  virtual void Dispose(int index, const TGIFFrame& frame) = 0;
  // An independent copy: canvas and frames.
  virtual std::unique_ptr<IGifSurface> Clone() const = 0;
  // The canvas: 0x00RRGGBB per pixel, and the mask (1 transparent) for a transparent image.
  virtual void ReadBack(std::vector<uint32_t>& rgb, std::vector<uint8_t>& mask) = 0;
  // A picture of one frame, or its mask (null for an opaque frame).
  virtual std::unique_ptr<TViewerImage> FrameBitmap(int index, bool mask) const = 0;
};

using TGifSurfaceFactory = std::function<std::unique_ptr<IGifSurface>()>;
// The surface new GIF images use; the Windows layer installs its own. Empty: pixel arrays.
TGifSurfaceFactory SetGifSurfaceFactory(TGifSurfaceFactory factory);
std::unique_ptr<IGifSurface> NewPixelSurface();

class IDocCanvas;

class TGIFImage : public TViewerImage {
 public:
  TGIFImage();
  ~TGIFImage() override;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;
  TGIFImage* AsGif() override { return this; }

  // Info-only, then full, as the document's image objects load them; the image is visible
  // and shows frame 1. EGIFError when the data is no GIF image.
  static std::unique_ptr<TGIFImage> MakeGIFImage(const uint8_t* data, size_t size, bool& nonAnimated);
  static std::unique_ptr<TGIFImage> MakeGIFImageFromFile(const std::string& fileName, bool& nonAnimated);

  // Full or info-only loads; EGIFError with the reason on failure.
  void LoadFromBytes(const uint8_t* data, size_t size, bool infoOnly = false);
  void LoadFromFile(const std::string& fileName, bool infoOnly = false);
  // False on failure, with the reason in LastError().
  bool LoadGIF();
  const std::string& LastError() const { return error_; }

  // A copy that animates on its own, showing this image's picture.
  std::unique_ptr<TGIFImage> Duplicate() const;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Animated() const { return animated_; }
  bool Empty() const { return empty_; }
  bool InfoOnly() const { return infoOnly_; }
  bool IsCopy() const { return isCopy_; }
  bool IsTransparent() const { return isTransparent_; }
  bool NeedBackground() const { return needBackground_; }
  void ClearNeedBackground() { needBackground_ = false; }
  int FrameCount() const { return int(frames_.size()); }
  const TGIFFrame& Frame(int n) const { return *frames_[size_t(n - 1)]; }  // 1-based
  int CurrentFrame() const { return currentFrame_; }
  int ShownFrame() const { return shownFrame_; }  // the frame last composed
  int LoopCount() const { return loopCount_; }
  int Iteration() const { return iteration_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  const std::array<uint8_t, 768>& GlobalColorTable() const { return globalTable_; }
  const std::string& Comment() const { return comment_; }
  int Speed() const { return speed_; }
  void SetSpeed(int percent) { speed_ = percent < 1 ? 1 : percent; }
  bool Visible() const { return visible_; }
  void SetVisible(bool on) { visible_ = on; }
  bool Animating() const { return animate_; }
  void SetAnimating(bool on);
  void SetCurrentFrame(int n);
  IGifSurface* Surface() const { return surface_.get(); }
  TRect LastPaintRect() const { return paintRect_; }
  bool Drawn = false;  // painted since the document's last paint began

  // Records the rectangle and, when there is a picture to show, has the canvas draw it.
  void Paint(IDocCanvas& canvas, int x, int y, int width, int height);
  // One animation step; invalidate is told the rectangle last painted when the picture changed.
  void TimerStep(const std::function<void(const TRect&)>& invalidate);

  // Frame 1's picture and mask (the mask null for an opaque image), made once and kept.
  TViewerImage* Bitmap();
  TViewerImage* Mask();
  void Clear();

 private:
  bool ParseImage(class TGifReader& r, const uint8_t control[6], uint64_t& totalPixels);
  void ComposeFrame(int n);
  void ApplyDisposal(int n);
  int ScaledDelay(int n) const;

  bool animated_ = false, empty_ = true, infoOnly_ = false, firstTick_ = true, isCopy_ = false;
  bool isTransparent_ = false, visible_ = true, needBackground_ = false, animate_ = false;
  int currentFrame_ = 1, shownFrame_ = 0, width_ = 0, height_ = 0, loopCount_ = 1, speed_ = 100;
  int iteration_ = 1, bitsPerPixel_ = 0;
  std::array<uint8_t, 768> globalTable_{};
  std::vector<std::unique_ptr<TGIFFrame>> frames_;
  std::unique_ptr<IGifSurface> surface_;
  std::unique_ptr<TViewerImage> bitmap_, mask_;
  TRect paintRect_;
  uint32_t lastTime_ = 0;
  int currentDelay_ = 0;
  std::string comment_;
  std::vector<uint8_t> stream_;
  std::string error_;
};
