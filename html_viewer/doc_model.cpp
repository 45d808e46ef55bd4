#include "html_viewer/doc_model.h"

#include <algorithm>

#include "framework/core/sysutils.h"

// ---- Font runs

TFontObj::TFontObj(TSectionOwner& owner, const TMyFont& font, int position)
    : Position(position), owner_(owner), font_(font), metrics_(owner.Measurer().Metrics(font)) {}

std::unique_ptr<TFontObj> TFontObj::Duplicate(TSectionOwner& owner) const {
  auto copy = std::make_unique<TFontObj>(owner, font_, Position);
  copy->SScript = SScript;
  copy->Link = Link;
  return copy;
}

void TFontObj::SetFont(const TMyFont& font) {
  font_ = font;
  metrics_ = owner_.Measurer().Metrics(font_);
}

void TFontObj::RefreshFromList() {
  TMyFont f = font_;
  f.RefreshFromList(owner_.FontName, owner_.PreFontName, owner_.FontSize,
                    Link.Url.empty() ? owner_.TextColor : owner_.LinkColor);
  if (SScript == 1 || SScript == 2) f.Size = MulDivRound(f.Size, 3, 4);
  SetFont(f);
}

void TFontList::Duplicate(TSectionOwner& owner, const TFontList& source) {
  runs_.clear();
  for (const auto& r : source.runs_) runs_.push_back(r->Duplicate(owner));
}

void TFontList::RefreshFonts() {
  for (auto& r : runs_) r->RefreshFromList();
}

int TFontList::RunAtPosition(int position) const {
  int index = 0;
  for (int i = 0; i < Count(); ++i)
    if (runs_[size_t(i)]->Position <= position) index = i;
  return index;
}

TFontObj& TFontList::FontAtPosition(int position, int& overhang) const {
  TFontObj& run = *runs_[size_t(RunAtPosition(position))];
  overhang = run.Overhang();
  return run;
}

int TFontList::CharsToNextRun(int position, int length) const {
  for (const auto& r : runs_)
    if (r->Position > position) return r->Position - position;
  return length - position;
}

// ---- Images

TImageObj::TImageObj(int position, const TAttributeList& attributes) : Position(position) {
  if (auto a = attributes.Lookup(SrcSy)) Source = a->Name;
  if (auto a = attributes.Lookup(AltSy)) Alt = a->Name;
  if (auto a = attributes.Lookup(AlignSy)) {
    std::string s = UpperCase(a->Name);
    if (s == "TOP") Alignment = iaTop;
    else if (s == "MIDDLE" || s == "ABSMIDDLE") Alignment = iaMiddle;
    else if (s == "LEFT") Alignment = iaLeft;
    else if (s == "RIGHT") Alignment = iaRight;
  }
  if (auto a = attributes.Lookup(BorderSy)) NoBorder = a->Value == 0;
  if (auto a = attributes.Lookup(WidthSy))
    if (a->Name.find('%') == std::string::npos) AskedWidth = a->Value;
  if (auto a = attributes.Lookup(HeightSy)) AskedHeight = a->Value;
  Transparent = attributes.Lookup(TranspSy) != nullptr;
  IsMap = attributes.Lookup(IsMapSy) != nullptr;
  if (auto a = attributes.Lookup(UseMapSy)) {
    UseMap = true;
    MapName = Trim(UpperCase(a->Name));
    if (MapName.size() > 1 && MapName[0] == '#') MapName.erase(0, 1);
  }
  if (auto a = attributes.Lookup(HSpaceSy)) HSpace = std::min(a->Value < 0 ? -a->Value : a->Value, 20);
}

TImageObj::~TImageObj() {
  if (!cacheKey_.empty()) BitmapList().ReleaseEntry(cacheKey_);
}

std::unique_ptr<TImageObj> TImageObj::Duplicate(TSectionOwner& owner) const {
  auto copy = std::make_unique<TImageObj>(Position, TAttributeList());
  copy->ImageHeight = ImageHeight, copy->ImageWidth = ImageWidth;
  copy->AskedHeight = AskedHeight, copy->AskedWidth = AskedWidth;
  copy->ObjHeight = ObjHeight, copy->ObjWidth = ObjWidth;
  copy->Source = Source, copy->Alt = Alt, copy->MapName = MapName;
  copy->Alignment = Alignment, copy->NoBorder = NoBorder, copy->Transparent = Transparent;
  copy->IsMap = IsMap, copy->UseMap = UseMap, copy->Bordered = Bordered, copy->HSpace = HSpace;
  copy->Image = Image, copy->Mask = Mask, copy->sized_ = sized_, copy->placeholder_ = placeholder_;
  if (!cacheKey_.empty()) {
    // The copy holds a use of its own.
    int i = BitmapList().IndexOf(cacheKey_);
    if (i >= 0) {
      BitmapList().TakeEntry(i);
      copy->cacheKey_ = cacheKey_;
    }
  }
  if (TGIFImage* gif = Image ? Image->AsGif() : nullptr; gif && gif->Animated()) {
    copy->privateGif_ = gif->Duplicate();
    copy->Image = copy->privateGif_.get();
    owner.AnimatedImages.push_back(copy->privateGif_.get());
  }
  return copy;
}

void TImageObj::Layout(TSectionOwner& owner, const TFontObj& fontRun) {
  IImagePlatform& pics = owner.Images();
  if (owner.ImagesShown && (!Image || Image == pics.DefBitmap())) {
    std::string name = Source;
    if (!owner.OnBitmapRequest && !owner.OnImageRequest && owner.ExpandName) name = owner.ExpandName(Source);
    bool transparent = Transparent, fromCache = false;
    TViewerImage* mask = nullptr;
    std::string key;
    TViewerImage* image = owner.FetchImage(name, transparent, fromCache, mask, key);
    if (!cacheKey_.empty()) BitmapList().ReleaseEntry(cacheKey_);
    cacheKey_ = key;
    sized_ = false;
    if (!image) {
      Image = pics.ErrorBitmap();
      Mask = pics.ErrorBitmapMask();
      Transparent = true;
    } else {
      Image = image;
      Mask = mask;
      Transparent = transparent;
      if (TGIFImage* gif = image->AsGif(); gif && gif->Animated()) {
        if (fromCache) {
          privateGif_ = gif->Duplicate();
          Image = privateGif_.get();
        }
        owner.AnimatedImages.push_back(Image->AsGif());
      }
    }
  } else if (!owner.ImagesShown && !Image) {
    Image = pics.DefBitmap();
  }
  placeholder_ = Image == pics.ErrorBitmap() || Image == pics.DefBitmap();
  if (!sized_ && Image) {
    int iw = Image->Width(), ih = Image->Height();
    if (placeholder_) {
      if (AskedWidth > 0 && AskedHeight > 0) {
        ObjWidth = AskedWidth, ObjHeight = AskedHeight;
        sized_ = true;
      } else {
        ObjWidth = iw, ObjHeight = ih;
      }
    } else {
      if (AskedWidth > 0 && AskedHeight > 0) {
        ObjWidth = AskedWidth, ObjHeight = AskedHeight;
      } else if (AskedHeight > 0) {
        ObjHeight = AskedHeight;
        ObjWidth = ih == 0 ? 0 : int(int64_t(AskedHeight) * iw / ih);
      } else if (AskedWidth > 0) {
        ObjWidth = AskedWidth;
        ObjHeight = iw == 0 ? 0 : int(int64_t(AskedWidth) * ih / iw);
      } else {
        ObjWidth = iw, ObjHeight = ih;
      }
      sized_ = true;
    }
    if (placeholder_ && !sized_ && !Alt.empty()) {
      TMyFont f;
      f.Name = "Arial";
      f.Size = 8;
      ITextMeasurer& m = owner.Measurer();
      ObjWidth = std::max(ObjWidth, m.TextWidth(f, Alt.data(), int(Alt.size())) + 2 + 24);
      ObjHeight = std::max(ObjHeight, std::max(24, m.Metrics(f).TmHeight));
    }
  }
  ImageWidth = ObjWidth, ImageHeight = ObjHeight;
  Bordered = !fontRun.Link.Url.empty() && !NoBorder;
  if (Bordered) ImageWidth += 2, ImageHeight += 2;
}

void TImageObj::Paint(TSectionOwner& owner, IDocCanvas& canvas, const TFontObj& fontRun, int x, int textTop,
                      int lineHeight, int baseline) {
  int y = textTop;
  if (Alignment == iaMiddle) {
    int excess = ImageHeight - lineHeight;
    y = textTop - (excess - excess / 2);
  } else if (Alignment == iaBottom) {
    y = baseline - ImageHeight;
  }
  DrawX = x;
  DrawY = y + owner.YOffset;
  if (!Image) return;
  int b = Bordered ? 1 : 0;
  TRect box = Bounds(x + b, y + b, ObjWidth, ObjHeight);
  try {
    if (TGIFImage* gif = Image->AsGif(); gif && !canvas.Printing()) {
      gif->Drawn = true;
      gif->Paint(canvas, box.Left, box.Top, box.Width(), box.Height());
    } else if (placeholder_) {
      if (ObjWidth > 23 && ObjHeight > 23)
        canvas.DrawImage(*Image, Mask, Bounds(box.Left + 4, box.Top + 4, Image->Width(), Image->Height()), false);
    } else {
      canvas.DrawImage(*Image, Transparent ? Mask : nullptr, box, true);
    }
    if (placeholder_ && !Alt.empty()) {
      TMyFont f;
      f.Name = "Arial";
      f.Size = 8;
      TFontMetrics m = owner.Measurer().Metrics(f);
      canvas.SetClip(&box);
      canvas.TextOut(box.Left + 24, box.Top + 4 + m.Height - m.Descent, f, clBlack, Alt.data(), int(Alt.size()),
                     false, clWhite);
      canvas.SetClip(nullptr);
    }
    if (Bordered) {
      canvas.FrameRect(Bounds(x, y, ImageWidth, ImageHeight), fontRun.Font().Color);
    } else if (placeholder_) {
      TColor light = canvas.Printing() || ColorToRGB(owner.Background) == 0xFFFFFF ? clSilver : clBtnHighlight;
      Draw3DFrame(canvas, box, false, clBtnShadow, light);
    }
  } catch (const std::exception&) {
    // A picture that cannot be drawn leaves its box empty.
  }
}

void TImageList::Duplicate(TSectionOwner& owner, const TImageList& source) {
  images_.clear();
  for (const auto& i : source.images_) images_.push_back(i->Duplicate(owner));
}

TImageObj* TImageList::ImageAtPosition(int position) const {
  for (const auto& i : images_)
    if (i->Position == position) return i.get();
  return nullptr;
}

int TImageList::HeightAtPosition(int position, uint8_t& alignment) const {
  TImageObj* i = ImageAtPosition(position);
  if (!i) return -1;
  alignment = i->Alignment;
  return i->ImageHeight;
}

int TImageList::WidthAtPosition(int position, uint8_t& alignment) const {
  TImageObj* i = ImageAtPosition(position);
  if (!i) return -1;
  alignment = i->Alignment;
  return i->ImageWidth;
}

int TImageList::CharsToNextImage(int position) const {
  for (const auto& i : images_)
    if (i->Position >= position) return i->Position - position;
  return kNoFurtherObject;
}

bool TImageList::ImageAtPoint(const TSectionOwner& owner, int x, int y, THit& hit) const {
  for (const auto& i : images_) {
    int b = i->Bordered ? 2 : 0;
    if (!Bounds(i->DrawX, i->DrawY, i->ImageWidth - b, i->ImageHeight - b).Contains({x, y})) continue;
    hit.Image = i.get();
    hit.X = x - i->DrawX;
    hit.Y = y - i->DrawY;
    hit.Map = nullptr;
    if (i->UseMap)
      for (const auto& m : owner.Maps)
        if (m->MapName == i->MapName) {
          hit.Map = m.get();
          break;
        }
    return true;
  }
  return false;
}

// ---- Indentation

void IndentManager::ResetEdges(int leftEdge, int rightEdge) {
  LeftEdge = leftEdge, RightEdge = rightEdge;
  Width = rightEdge - leftEdge;
  CurrentLevel = 0;
}

int IndentManager::LeftEdgeAt(int y) const {
  int x = 0;
  bool any = false;
  for (const IndentRec& r : left_)
    if (r.YT <= y && y < r.YB) x = any ? std::max(x, r.X) : r.X, any = true;
  return LeftEdge + x;
}

int IndentManager::RightEdgeAt(int y) const {
  int x = 0;
  bool any = false;
  for (const IndentRec& r : right_)
    if (r.YT <= y && y < r.YB) x = any ? std::min(x, r.X) : r.X, any = true;
  return RightEdge + x;
}

int IndentManager::FloatBottom() const {
  int b = 0;
  for (const auto* list : {&left_, &right_})
    for (const IndentRec& r : *list)
      if (r.Level == 0) b = std::max(b, r.YB);
  return b;
}

void IndentManager::ClearLevels(int& leftY, int& rightY) const {
  auto bottom = [](const std::vector<IndentRec>& list) {
    int b = -1;
    for (const IndentRec& r : list)
      if (r.Level == 0) b = std::max(b, r.YB);
    return b + 1;
  };
  leftY = bottom(left_);
  rightY = bottom(right_);
}

int IndentManager::ListMarkerBottom() const {
  if (left_.empty()) return 0;
  int x0 = 0;
  for (const IndentRec& r : left_)
    if (r.Level == CurrentLevel) x0 = r.X;
  int b = -1;
  for (const IndentRec& r : left_)
    if (r.X > x0) b = std::max(b, r.YB);
  return b + 1;
}

void IndentManager::SetListLevel(int y, int level) {
  if (level > CurrentLevel) {
    for (int c = CurrentLevel + 1; c <= level; ++c)
      left_.push_back({LeftEdgeAt(y) - LeftEdge + 35, y, 9999999, c});
  } else if (level >= 0 && level < CurrentLevel) {
    for (IndentRec& r : left_)
      if (r.Level > level) r.Level = 0, r.YB = y - 1;
  }
  CurrentLevel = level;
}

void IndentManager::AddFloatImage(int y, TImageObj& image) {
  int w = image.ImageWidth + image.HSpace;
  image.FloatY = y;
  if (image.Alignment == iaLeft) {
    image.Indent = LeftEdgeAt(y) - LeftEdge;
    left_.push_back({w + image.Indent, y, y + image.ImageHeight, 0});
  } else if (image.Alignment == iaRight) {
    int x = RightEdgeAt(y) - RightEdge - w;
    image.Indent = x + RightEdge + image.HSpace;
    right_.push_back({x, y, y + image.ImageHeight, 0});
  }
}

void IndentManager::AddFloatTable(int y, int width, int alignment, int height) {
  if (alignment == 1)
    left_.push_back({LeftEdgeAt(y) + width - LeftEdge, y, y + height, 0});
  else if (alignment == 3)
    right_.push_back({RightEdgeAt(y) - RightEdge - width, y, y + height, 0});
}

// ---- Pictures and the image cache

namespace {
class TPixelPlatform : public IImagePlatform {
 public:
  TViewerImage* ErrorBitmap() override { return &error_; }
  TViewerImage* ErrorBitmapMask() override { return &errorMask_; }
  TViewerImage* DefBitmap() override { return &def_; }
  std::unique_ptr<TViewerImage> LoadBitmapFile(const std::string&, uint8_t&, std::unique_ptr<TViewerImage>&) override {
    return nullptr;
  }
  std::unique_ptr<TViewerImage> ReadBitmapData(const std::vector<uint8_t>&, uint8_t,
                                               std::unique_ptr<TViewerImage>&) override {
    return nullptr;
  }
  std::unique_ptr<TViewerImage> MakeMask(TViewerImage& image, bool colourGiven, TColor colour) override {
    auto* pixels = dynamic_cast<TPixelImage*>(&image);
    if (!pixels || pixels->Width() == 0 || pixels->Height() == 0) return nullptr;
    uint32_t key = colourGiven ? ColorToRGB(colour) : pixels->At(0, pixels->Height() - 1);
    if (colourGiven) key = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
    auto mask = std::make_unique<TPixelImage>(pixels->Width(), pixels->Height());
    for (int y = 0; y < pixels->Height(); ++y)
      for (int x = 0; x < pixels->Width(); ++x) mask->At(x, y) = pixels->At(x, y) == key ? 0xFFFFFF : 0;
    return mask;
  }

 private:
  TPixelImage error_{kPlaceholderBitmapSize, kPlaceholderBitmapSize, 0xC0C0C0};
  TPixelImage errorMask_{kPlaceholderBitmapSize, kPlaceholderBitmapSize, 0};
  TPixelImage def_{kPlaceholderBitmapSize, kPlaceholderBitmapSize, 0xC0C0C0};
};
}  // namespace

IImagePlatform& PixelImagePlatform() {
  static TPixelPlatform platform;
  return platform;
}

TStringBitmapList& BitmapList() {
  static TStringBitmapList list;
  return list;
}

TViewerImage* TSectionOwner::FetchImage(const std::string& name, bool& transparent, bool& fromCache,
                                        TViewerImage*& mask, std::string& key) {
  TStringBitmapList& cache = BitmapList();
  key.clear();
  mask = nullptr;
  fromCache = false;
  std::string k = Trim(AnsiUpperCase(name));
  if (int i = cache.IndexOf(k); i >= 0) {
    TViewerImage* image = cache.TakeEntry(i);
    TBitmapItem& item = cache.Item(i);
    fromCache = true;
    key = k;
    if (image && !image->AsGif()) {
      if (item.Transparency == 2) transparent = true;
      if (transparent && !item.Mask) {
        item.Mask = images_->MakeMask(*image, false, 0);
        if (item.Mask) item.Transparency = 1;
      }
      mask = transparent ? item.Mask.get() : nullptr;
    }
    return image;
  }
  auto item = std::make_unique<TBitmapItem>();
  try {
    if (OnBitmapRequest) {
      TColor colour = -1;
      item->Image = OnBitmapRequest(name, colour);
      if (item->Image && colour != -1) {
        item->Mask = images_->MakeMask(*item->Image, true, colour);
        item->Transparency = 2;
        transparent = true;
      } else if (item->Image && transparent) {
        item->Mask = images_->MakeMask(*item->Image, false, 0);
        item->Transparency = 1;
      }
    } else if (std::vector<uint8_t> data; OnImageRequest && OnImageRequest(name, data) && !data.empty()) {
      TImageKind kind = SniffImageKind(data.data(), data.size());
      if (kind == ikGif87 || kind == ikGif89) {
        bool still;
        item->Image = TGIFImage::MakeGIFImage(data.data(), data.size(), still);
      } else {
        item->Image = images_->ReadBitmapData(data, transparent ? 1 : 0, item->Mask);
        item->Transparency = item->Mask ? 1 : 0;
      }
    } else if (UpperCase(ExtractFileExt(name)).substr(0, 5) == ".GIF") {
      bool still;
      item->Image = TGIFImage::MakeGIFImageFromFile(name, still);
    } else {
      uint8_t transparency = transparent ? 1 : 0;
      item->Image = images_->LoadBitmapFile(name, transparency, item->Mask);
      item->Transparency = transparency;
      if (transparency != 0) transparent = true;
    }
  } catch (const std::exception&) {
    item->Image.reset();  // a picture that does not load is shown broken
  }
  if (!item->Image) return nullptr;
  if (item->Image->AsGif()) item->Mask.reset();
  mask = transparent ? item->Mask.get() : nullptr;
  TViewerImage* image = item->Image.get();
  cache.AddObject(k, std::move(item));
  key = k;
  return image;
}
