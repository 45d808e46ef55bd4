#include "html_viewer/gif_image.h"

#include <algorithm>
#include <cstring>

#include "framework/core/clock.h"
#include "html_viewer/doc_canvas.h"
#include "platform/file.h"

uint32_t TGIFFrame::ColourAt(int x, int y) const {
  if (IsMasked(x, y)) return 0;
  const uint8_t* c = &ColorTable[size_t(Index(x, y)) * 3];
  return (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2];
}

// ---- Reading

// Bounds-checked reads over the file's bytes; a read past the end fails and marks the end.
class TGifReader {
 public:
  TGifReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool U8(uint8_t& v) {
    if (pos_ >= size_) return Ended();
    v = data_[pos_++];
    return true;
  }
  bool U16(int& v) {
    if (size_ - pos_ < 2) return Ended();
    v = data_[pos_] | (data_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool Bytes(uint8_t* out, size_t n) {
    if (size_ - pos_ < n) return Ended();
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(size_t n) {
    if (size_ - pos_ < n) return Ended();
    pos_ += n;
    return true;
  }
  // Skips data sub-blocks up to and with their zero terminator.
  bool SkipSubBlocks() {
    uint8_t len;
    while (U8(len) && len != 0)
      if (!Skip(len)) return false;
    return !ended_;
  }
  bool AtEnd() const { return ended_ || pos_ >= size_; }
  bool HitEnd() const { return ended_; }

 private:
  bool Ended() {
    pos_ = size_;
    ended_ = true;
    return false;
  }
  const uint8_t* data_;
  size_t size_, pos_ = 0;
  bool ended_ = false;
};

namespace {

// The bits of an image's data sub-blocks, least significant first.
class TCodeReader {
 public:
  explicit TCodeReader(TGifReader& r) : r_(r) {}
  // The next code, -1 when the data ended.
  int Read(int width) {
    while (bits_ < width) {
      uint8_t b;
      if (!Next(b)) return -1;
      buffer_ |= uint32_t(b) << bits_;
      bits_ += 8;
    }
    int code = int(buffer_ & ((1u << width) - 1));
    buffer_ >>= width;
    bits_ -= width;
    return code;
  }
  // Drops the rest of the data up to the terminator.
  void SkipRest() {
    if (done_) return;
    done_ = true;
    if (left_ > 0 && !r_.Skip(left_)) return;
    r_.SkipSubBlocks();
  }

 private:
  bool Next(uint8_t& b) {
    if (done_) return false;
    while (left_ == 0) {
      uint8_t len;
      if (!r_.U8(len) || len == 0) {
        done_ = true;
        return false;
      }
      left_ = len;
    }
    --left_;
    if (!r_.U8(b)) {
      done_ = true;
      return false;
    }
    return true;
  }
  TGifReader& r_;
  size_t left_ = 0;
  uint32_t buffer_ = 0;
  int bits_ = 0;
  bool done_ = false;
};

// Places decoded indices row by row, in the four interlace passes when asked.
class TPixelSink {
 public:
  explicit TPixelSink(TGIFFrame& f) : f_(f), done_(f.Width == 0 || f.Height == 0) {}
  bool Done() const { return done_; }
  void Put(uint8_t index) {
    if (done_) return;
    f_.Pixels[size_t(row_) * size_t(f_.PixelStride()) + size_t(x_)] = index;
    if (f_.Transparent && index == f_.TransparentIndex)
      f_.Mask[size_t(row_) * size_t(f_.MaskStride()) + size_t(x_ / 8)] |= uint8_t(0x80 >> (x_ % 8));
    if (++x_ < f_.Width) return;
    x_ = 0;
    if (!f_.Interlaced) {
      done_ = ++row_ >= f_.Height;
      return;
    }
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    row_ += kStep[pass_];
    while (row_ >= f_.Height) {  // passes that start below the last row are skipped
      if (++pass_ == 4) {
        done_ = true;
        return;
      }
      row_ = kStart[pass_];
    }
  }

 private:
  TGIFFrame& f_;
  int x_ = 0, row_ = 0, pass_ = 0;
  bool done_;
};

// Decodes the image data after the code-size byte c (2..8). Bad codes end the data; the
// indices not reached stay 0.
void DecodeLZW(TGifReader& r, int c, TGIFFrame& f) {
  const int clear = 1 << c, end = clear + 1;
  std::vector<uint16_t> prefix(4096), suffix(4096), stack(4096);
  int next = clear + 2, width = c + 1, limit = 2 * clear, prev = -1, first = 0;
  TCodeReader codes(r);
  TPixelSink sink(f);
  while (!sink.Done()) {
    int code = codes.Read(width);
    if (code < 0 || code == end) break;
    if (code == clear) {
      next = clear + 2, width = c + 1, limit = 2 * clear, prev = -1;
      continue;
    }
    if (prev < 0) {
      if (code > clear) break;  // the first code must be a literal
      sink.Put(uint8_t(code));
      prev = first = code;
      continue;
    }
    if (code > next) break;
    int sp = 0, cur = code;
    if (code == next) {
      stack[size_t(sp++)] = uint16_t(first);
      cur = prev;
    }
    while (cur >= clear && sp < 4095) {
      stack[size_t(sp++)] = suffix[size_t(cur)];
      cur = prefix[size_t(cur)];
    }
    if (cur >= clear) break;  // a chain deeper than the stack
    stack[size_t(sp++)] = uint16_t(cur);
    first = cur;
    while (sp > 0) sink.Put(uint8_t(stack[size_t(--sp)]));
    if (next < 4096) {
      prefix[size_t(next)] = uint16_t(prev);
      suffix[size_t(next)] = uint16_t(first);
      if (++next >= limit && limit < 4096) limit *= 2, ++width;
    }
    prev = code;
  }
  codes.SkipRest();
}

// ---- The pixel surface

class TPixelSurface : public IGifSurface {
 public:
  void Reset(int width, int height, bool transparent) override {
    w_ = width, h_ = height;
    image_.assign(size_t(w_) * size_t(h_), 0);
    mask_.assign(transparent ? size_t(w_) * size_t(h_) : 0, 1);
    frames_.clear();
  }
  void AddFrame(const TGIFFrame& f) override {
    Picture p;
    for (int y = 0; y < f.Height; ++y)
      for (int x = 0; x < f.Width; ++x) {
        p.rgb.push_back(f.ColourAt(x, y));
        p.masked.push_back(f.IsMasked(x, y) ? 1 : 0);
      }
    p.transparent = f.Transparent;
    p.width = f.Width, p.height = f.Height;
    frames_.push_back(std::move(p));
  }
  void Compose(int index, const TGIFFrame& f) override {
    Picture& p = frames_[size_t(index)];
    if (f.Disposal == 3) {
      p.savedImage.clear(), p.savedMask.clear();
      ForArea(f, [&](size_t at, size_t) {
        p.savedImage.push_back(image_[at]);
        if (!mask_.empty()) p.savedMask.push_back(mask_[at]);
      });
    }
    ForArea(f, [&](size_t at, size_t i) {
      if (p.masked[i]) return;
      image_[at] = p.rgb[i];
      if (!mask_.empty()) mask_[at] = 0;
    });
  }
  void Dispose(int index, const TGIFFrame& f) override {
    const Picture& p = frames_[size_t(index)];
    ForArea(f, [&](size_t at, size_t i) {
      if (f.Disposal == 2) {
        image_[at] = 0;
        if (!mask_.empty()) mask_[at] = 1;
      } else if (f.Disposal == 3 && i < p.savedImage.size()) {
        image_[at] = p.savedImage[i];
        if (i < p.savedMask.size()) mask_[at] = p.savedMask[i];
      }
    });
  }
  std::unique_ptr<IGifSurface> Clone() const override { return std::make_unique<TPixelSurface>(*this); }
  void ReadBack(std::vector<uint32_t>& rgb, std::vector<uint8_t>& mask) override {
    rgb = image_;
    mask = mask_;
  }
  std::unique_ptr<TViewerImage> FrameBitmap(int index, bool mask) const override {
    const Picture& p = frames_[size_t(index)];
    if (mask && !p.transparent) return nullptr;
    auto image = std::make_unique<TPixelImage>(p.width, p.height);
    size_t i = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x, ++i) image->At(x, y) = mask ? (p.masked[i] ? 0xFFFFFFu : 0u) : p.rgb[i];
    return image;
  }

 private:
  struct Picture {
    int width = 0, height = 0;
    bool transparent = false;
    std::vector<uint32_t> rgb, savedImage;
    std::vector<uint8_t> masked, savedMask;
  };
  // Calls fn(canvas index, frame pixel index) over the frame's area.
  template <class Fn>
  void ForArea(const TGIFFrame& f, Fn fn) const {
    size_t i = 0;
    for (int y = 0; y < f.Height; ++y)
      for (int x = 0; x < f.Width; ++x, ++i) fn(size_t(f.Top + y) * size_t(w_) + size_t(f.Left + x), i);
  }
  int w_ = 0, h_ = 0;
  std::vector<uint32_t> image_;
  std::vector<uint8_t> mask_;
  std::vector<Picture> frames_;
};

std::vector<uint8_t> ReadGifFile(const std::string& fileName) {
  platform::File f;
  int64_t size = -1;
  if (!f.Open(fileName, platform::OpenMode::Read) || (size = f.Size()) < 0) throw EGIFError("cannot open the file");
  if (size > (int64_t(1) << 30)) throw EGIFError("file too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (f.Read(bytes.data(), bytes.size()) != bytes.size()) throw EGIFError("cannot read the file");
  return bytes;
}

TGifSurfaceFactory& Factory() {
  static TGifSurfaceFactory factory;
  return factory;
}

}  // namespace

TGifSurfaceFactory SetGifSurfaceFactory(TGifSurfaceFactory factory) {
  TGifSurfaceFactory old = std::move(Factory());
  Factory() = std::move(factory);
  return old;
}

std::unique_ptr<IGifSurface> NewPixelSurface() { return std::make_unique<TPixelSurface>(); }

// ---- TGIFImage

TGIFImage::TGIFImage() = default;
TGIFImage::~TGIFImage() = default;

std::unique_ptr<TGIFImage> TGIFImage::MakeGIFImage(const uint8_t* data, size_t size, bool& nonAnimated) {
  nonAnimated = true;
  auto image = std::make_unique<TGIFImage>();
  image->LoadFromBytes(data, size, true);
  image->SetAnimating(false);
  nonAnimated = !image->Animated();
  image->LoadFromBytes(data, size, false);
  return image;
}

std::unique_ptr<TGIFImage> TGIFImage::MakeGIFImageFromFile(const std::string& fileName, bool& nonAnimated) {
  nonAnimated = true;
  std::vector<uint8_t> bytes = ReadGifFile(fileName);
  return MakeGIFImage(bytes.data(), bytes.size(), nonAnimated);
}

void TGIFImage::LoadFromBytes(const uint8_t* data, size_t size, bool infoOnly) {
  stream_.assign(data, data + size);
  infoOnly_ = infoOnly;
  if (!LoadGIF()) throw EGIFError(error_);
}

void TGIFImage::LoadFromFile(const std::string& fileName, bool infoOnly) {
  std::vector<uint8_t> bytes = ReadGifFile(fileName);
  LoadFromBytes(bytes.data(), bytes.size(), infoOnly);
}

void TGIFImage::Clear() {
  frames_.clear();
  stream_.clear();
  surface_.reset();
  bitmap_.reset();
  mask_.reset();
  currentFrame_ = 1, shownFrame_ = 0, loopCount_ = 1, iteration_ = 1, bitsPerPixel_ = 0;
  width_ = height_ = 0;
  firstTick_ = true, isTransparent_ = false, empty_ = true, animated_ = false;
  comment_.clear();
}

bool TGIFImage::LoadGIF() {
  std::vector<uint8_t> bytes = std::move(stream_);
  bool infoOnly = infoOnly_;
  Clear();
  stream_ = std::move(bytes);
  infoOnly_ = infoOnly;
  uint8_t control[6] = {};
  error_.clear();
  TGifReader r(stream_.data(), stream_.size());
  if (stream_.size() < 3 || std::memcmp(stream_.data(), "GIF", 3) != 0) {
    stream_.clear();
    error_ = "not a GIF file";
    return false;
  }
  r.Skip(6);
  int screenW = 0, screenH = 0;
  uint8_t packed = 0, ignored;
  if (r.U16(screenW) && r.U16(screenH) && r.U8(packed) && r.U8(ignored) && r.U8(ignored) && (packed & 0x80)) {
    bitsPerPixel_ = (packed & 7) + 1;
    r.Bytes(globalTable_.data(), size_t(3) << bitsPerPixel_);
  }
  uint64_t totalPixels = 0;
  while (!r.AtEnd()) {
    uint8_t b;
    if (!r.U8(b)) break;
    if (b == '!') {
      uint8_t label;
      if (!r.U8(label)) break;
      if (label == 0x01) {
        r.SkipSubBlocks();
      } else if (label == 0xF9) {
        uint8_t n = 0, data[255] = {};
        if (!r.U8(n) || !r.Bytes(data, n)) break;
        control[0] = n;
        std::memcpy(control + 1, data, 4);
        control[5] = 0;
        r.SkipSubBlocks();
      } else if (label == 0xFE) {
        uint8_t len, data[255];
        while (r.U8(len) && len != 0 && r.Bytes(data, len)) comment_.append(reinterpret_cast<char*>(data), len);
      } else if (label == 0xFF) {
        uint8_t n = 0, id[255];
        if (!r.U8(n) || !r.Bytes(id, n)) break;
        if (n == 11 && std::memcmp(id, "NETSCAPE2.0", 11) == 0) {
          uint8_t len = 0, data[255];
          if (!r.U8(len)) break;
          if (len != 0) {
            if (!r.Bytes(data, len)) break;
            if (len >= 3) loopCount_ = data[1] | (data[2] << 8);
            r.SkipSubBlocks();
          }
        } else {
          r.SkipSubBlocks();
        }
      } else {
        break;
      }
    } else if (b == ',') {
      if (frames_.size() >= size_t(kGifMaxFrames)) break;
      if (!ParseImage(r, control, totalPixels)) {
        if (!error_.empty()) return false;
        break;
      }
      std::memset(control, 0, sizeof control);
    } else {
      break;  // the trailer, or a byte no block starts with
    }
  }
  if (frames_.empty()) {
    error_ = "no frame";
    return false;
  }
  for (const auto& f : frames_)
    if (f->Width > 0 && f->Height > 0) {
      screenW = std::max(screenW, f->Left + f->Width);
      screenH = std::max(screenH, f->Top + f->Height);
    }
  if (uint64_t(screenW) * uint64_t(screenH) > kGifMaxPixels) {
    frames_.clear();
    error_ = "screen too large";
    return false;
  }
  width_ = screenW, height_ = screenH;
  animated_ = frames_.size() > 1;
  empty_ = false;
  if (!infoOnly_) {
    surface_ = Factory() ? Factory()() : NewPixelSurface();
    surface_->Reset(width_, height_, isTransparent_);
    for (const auto& f : frames_) surface_->AddFrame(*f);
    ComposeFrame(1);
  }
  return true;
}

bool TGIFImage::ParseImage(TGifReader& r, const uint8_t control[6], uint64_t& totalPixels) {
  auto f = std::make_unique<TGIFFrame>();
  uint8_t packed;
  if (!r.U16(f->Left) || !r.U16(f->Top) || !r.U16(f->Width) || !r.U16(f->Height) || !r.U8(packed)) return false;
  if (packed & 0x80) {
    f->HasLocalTable = true;
    f->LocalBits = (packed & 7) + 1;
    if (!r.Bytes(f->ColorTable.data(), size_t(3) << f->LocalBits)) return false;
  } else {
    f->ColorTable = globalTable_;
  }
  f->Interlaced = (packed & 0x40) != 0;
  int disposal = (control[1] >> 2) & 7;
  f->Disposal = uint8_t(disposal == 0 || disposal == 1 || disposal == 3 ? disposal : 2);
  f->Delay = (control[2] | (control[3] << 8)) * 10;
  f->Transparent = (control[1] & 1) != 0;
  f->TransparentIndex = control[4];
  const uint8_t* tc = &f->ColorTable[size_t(f->TransparentIndex) * 3];
  f->TransparentRed = tc[0], f->TransparentGreen = tc[1], f->TransparentBlue = tc[2];
  uint64_t area = uint64_t(f->Width) * uint64_t(f->Height);
  if (area > kGifMaxPixels) {
    error_ = "frame too large";
    return false;
  }
  totalPixels += area;
  if (totalPixels > kGifMaxTotalPixels) {
    error_ = "frames too large in all";
    return false;
  }
  uint8_t codeSize = 0;
  bool haveData = r.U8(codeSize);
  if (haveData && (codeSize < 2 || codeSize > 8)) return false;
  if (infoOnly_) {
    if (haveData) r.SkipSubBlocks();
  } else {
    f->Pixels.assign(size_t(f->PixelStride()) * size_t(f->Height), 0);
    if (f->Transparent) f->Mask.assign(size_t(f->MaskStride()) * size_t(f->Height), 0);
    if (haveData) DecodeLZW(r, codeSize, *f);
  }
  bitsPerPixel_ = std::max(bitsPerPixel_, f->LocalBits);
  isTransparent_ = isTransparent_ || f->Transparent;
  f->Comment = comment_;
  frames_.push_back(std::move(f));
  return true;
}

std::unique_ptr<TGIFImage> TGIFImage::Duplicate() const {
  auto copy = std::make_unique<TGIFImage>();
  copy->animated_ = animated_, copy->empty_ = empty_, copy->infoOnly_ = infoOnly_;
  copy->firstTick_ = firstTick_, copy->isTransparent_ = isTransparent_, copy->visible_ = visible_;
  copy->needBackground_ = needBackground_;
  copy->currentFrame_ = currentFrame_, copy->shownFrame_ = shownFrame_;
  copy->width_ = width_, copy->height_ = height_, copy->loopCount_ = loopCount_, copy->speed_ = speed_;
  copy->iteration_ = iteration_, copy->bitsPerPixel_ = bitsPerPixel_, copy->globalTable_ = globalTable_;
  copy->comment_ = comment_, copy->stream_ = stream_;
  copy->isCopy_ = true;
  for (const auto& f : frames_) copy->frames_.push_back(std::make_unique<TGIFFrame>(*f));
  if (surface_) copy->surface_ = surface_->Clone();
  return copy;
}

void TGIFImage::ComposeFrame(int n) {
  if (!surface_ || n < 1 || n > FrameCount()) return;
  needBackground_ = Frame(1).Disposal < 2 && n == 1;
  surface_->Compose(n - 1, Frame(n));
  shownFrame_ = n;
}

void TGIFImage::ApplyDisposal(int n) {
  if (!surface_ || n < 1 || n > FrameCount()) return;
  surface_->Dispose(n - 1, Frame(n));
}

int TGIFImage::ScaledDelay(int n) const { return std::max(MulDivRound(Frame(n).Delay, 100, speed_), 1); }

void TGIFImage::SetAnimating(bool on) {
  if (on == animate_) return;
  animate_ = on;
  iteration_ = 1;
  if (on) {
    if (FrameCount() > 1) {
      currentDelay_ = ScaledDelay(currentFrame_);
      lastTime_ = TickCount();
    }
  } else if (currentFrame_ >= 2) {
    ApplyDisposal(shownFrame_);
    currentFrame_ = 1;
    ComposeFrame(1);
  }
}

void TGIFImage::SetCurrentFrame(int n) {
  if (n == currentFrame_ || frames_.empty()) return;
  if (shownFrame_ > 0) ApplyDisposal(shownFrame_);
  if (n > FrameCount()) n = 1;
  if (n <= 0) n = FrameCount();
  currentFrame_ = n;
  ComposeFrame(n);
}

void TGIFImage::Paint(IDocCanvas& canvas, int x, int y, int width, int height) {
  paintRect_ = Bounds(x, y, width, height);
  if (!visible_ || empty_ || infoOnly_ || frames_.empty() || !surface_) return;
  canvas.DrawGif(*this, paintRect_);
}

void TGIFImage::TimerStep(const std::function<void(const TRect&)>& invalidate) {
  if (!animate_ || empty_ || infoOnly_ || frames_.empty()) return;
  uint32_t now = TickCount();
  if (uint32_t(now - lastTime_) < uint32_t(currentDelay_)) return;
  lastTime_ = now;
  if (loopCount_ > 0 && currentFrame_ == FrameCount()) {
    if (iteration_ >= loopCount_) {
      int shown = shownFrame_;
      SetAnimating(false);
      // The picture went back to frame 1: the window must show it.
      if (shownFrame_ != shown && invalidate) invalidate(paintRect_);
      return;
    }
    ++iteration_;
  }
  if (firstTick_) {
    firstTick_ = false;
  } else {
    ApplyDisposal(currentFrame_ == 1 ? FrameCount() : currentFrame_ - 1);
    ComposeFrame(currentFrame_);
    if (invalidate) invalidate(paintRect_);
  }
  currentDelay_ = ScaledDelay(currentFrame_);
  currentFrame_ = currentFrame_ % FrameCount() + 1;
}

TViewerImage* TGIFImage::Bitmap() {
  if (empty_ || infoOnly_ || !surface_) return nullptr;
  if (!bitmap_) bitmap_ = surface_->FrameBitmap(0, false);
  return bitmap_.get();
}

TViewerImage* TGIFImage::Mask() {
  if (empty_ || infoOnly_ || !surface_ || !isTransparent_) return nullptr;
  if (!mask_) mask_ = surface_->FrameBitmap(0, true);
  return mask_.get();
}
