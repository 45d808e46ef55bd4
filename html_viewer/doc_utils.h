#pragma once
// Support of the HTML viewer: tag attributes, the link record, the selection counter, the
// shared image cache, image-kind sniffing, the GIF transparent colour, the display palette
// table, client-side image maps and small string helpers. All portable: pictures are
// TViewerImage objects made by the platform layer (doc_graphics_win32 on Windows, plain
// pixel images natively), and image-map regions are hit-tested here.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/color.h"

// a × b ÷ c rounded half away from zero (0 when c is 0), in 64-bit arithmetic.
int MulDivRound(int a, int b, int c);

// The attribute symbols the document model reads (the parser maps names to them).
enum TAttrSymbol : uint8_t {
  AlignSy = 1, AltSy, BorderSy, ClearSy, ColorSy, CoordsSy, HeightSy, HrefSy, HSpaceSy, IsMapSy,
  NameSy, NoHrefSy, ShapeSy, SizeSy, SrcSy, TargetSy, TranspSy, UseMapSy, WidthSy, LevelSy,
  ActionSy, BgColorSy, BorderColorSy, CellPaddingSy, CellSpacingSy, CheckedSy, ColSpanSy, ColsSy,
  MaxLengthSy, MethodSy, MultipleSy, PlainSy, RowSpanSy, RowsSy, SelectedSy, StartSy, TextSy, TypeSy,
  VAlignSy, ValueSy,
  UnknownSy = 255
};

struct TAttribute {
  uint8_t Which = UnknownSy;  // a TAttrSymbol
  int32_t Value = 0;          // the numeric value
  std::string Name;           // the attribute text
};

class TAttributeList {
 public:
  void Add(TAttribute a) { items_.push_back(std::move(a)); }
  // The first attribute with that symbol.
  const TAttribute* Lookup(uint8_t symbol) const;
  int Count() const { return int(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  std::vector<TAttribute> items_;
};

struct TUrlTarget {
  std::string Url, Target;  // empty when none
  // Sets each one that is given (null leaves it).
  void SetLink(const std::string* url, const std::string* target);
  void ClearLink() { Url.clear(), Target.clear(); }
};

// Counts the characters a selection copy would give: the control and image placeholder
// bytes 2 and 4 count nothing, a line end two.
class SelTextCount {
 public:
  void Put(const char* text, int length);
  void PutLine(const char* text, int length) { Put(text, length), total_ += 2; }
  int Total() const { return total_; }

 private:
  int total_ = 0;
};

// ---- Pictures

// A picture of the viewer: a bitmap, a one-bit mask or a GIF image; the platform layer
// makes them (natively plain pixel images).
class TGIFImage;
class TViewerImage {
 public:
  virtual ~TViewerImage() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual TGIFImage* AsGif() { return nullptr; }
};

// A picture as plain pixels (0x00RRGGBB, rows top first): the native build's bitmaps.
class TPixelImage : public TViewerImage {
 public:
  TPixelImage(int width, int height, uint32_t fill = 0)
      : width_(width), height_(height), pixels_(size_t(width) * size_t(height), fill) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t& At(int x, int y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
  uint32_t At(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }

 private:
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

// One entry of the image cache.
struct TBitmapItem {
  int AccessCount = 0;  // document loads since last use
  int UsageCount = 0;   // current users
  uint8_t Transparency = 0;  // 0 none, 1 mask from the corner colour, 2 from a given colour
  std::unique_ptr<TViewerImage> Image;
  std::unique_ptr<TViewerImage> Mask;
};

// The image cache: upper-case image names, sorted, each with its TBitmapItem.
class TStringBitmapList {
 public:
  int Count() const { return int(entries_.size()); }
  int IndexOf(const std::string& key) const;  // -1 when absent
  const std::string& Key(int index) const { return entries_[size_t(index)].Key; }
  TBitmapItem& Item(int index) { return *entries_[size_t(index)].Item; }
  // Stores the item under the key (replacing an entry of that key); it starts with usage 1.
  int AddObject(const std::string& key, std::unique_ptr<TBitmapItem> item);
  TViewerImage* TakeEntry(int index);
  void ReleaseEntry(const std::string& key);
  void AgeEntries();
  void SetLimit(int n);
  int Limit() const { return maxCount_; }
  void DropUnused();
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    std::string Key;
    std::unique_ptr<TBitmapItem> Item;
  };
  template <class Pred>
  void RemoveIf(Pred pred);
  std::vector<Entry> entries_;
  int maxCount_ = 4;
};

// ---- Image files

enum TImageKind { ikUnknown = 0, ikBitmap = 1, ikGif87 = 2, ikGif89 = 3, ikPng = 4, ikJpeg = 5 };
TImageKind SniffImageKind(const uint8_t* data, size_t size);
// The first 11 bytes of the file; ikUnknown when it cannot be read.
TImageKind SniffFileKind(const std::string& fileName);

// The colour of a GIF89's transparent index from the graphic control extension that follows
// the header and the global table (only when the image has that table), as a TColor.
// Looks at the first 790 bytes only.
bool GifTransparentColour(const uint8_t* data, size_t size, TColor& colour);
bool GifTransparentColourOfFile(const std::string& fileName, TColor& colour);

// ---- Display palette

struct TPaletteEntry {
  uint8_t Red = 0, Green = 0, Blue = 0;
  bool operator==(const TPaletteEntry&) const = default;
};
using TPaletteTable = std::array<TPaletteEntry, 256>;
// The palette of an 8-bit display: the system entries, from index 10 a 6 × 6 × 6 colour cube
// without its white corner, 24 greys, and the system colours again from 249 on.
TPaletteTable BuildPaletteTable(const TPaletteTable& system);
// The display colour class of a screen of that many bits per pixel × planes: 4, 8 or 24.
int ColorBitsOf(int bitsTimesPlanes);
// The index of the nearest palette colour (squared distance; the first of equals).
int NearestPaletteIndex(const TPaletteTable& palette, uint8_t r, uint8_t g, uint8_t b);

// ---- Image maps

// A hit-test region in pixel coordinates: a pixel belongs to it when its centre does.
class TMapRegion {
 public:
  static TMapRegion Rect(int left, int top, int right, int bottom);      // right, bottom excluded
  static TMapRegion Ellipse(int left, int top, int right, int bottom);   // in that box
  static TMapRegion Polygon(std::vector<std::pair<int, int>> points);  // non-zero winding
  bool Contains(int x, int y) const;

 private:
  enum Kind { kRect, kEllipse, kPolygon } kind_ = kRect;
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  std::vector<std::pair<int, int>> points_;
};

class TMapItem {
 public:
  explicit TMapItem(std::string name = {}) : MapName(std::move(name)) {}
  std::string MapName;
  void AddAreaFromTag(const TAttributeList& attributes);
  // The first area holding the point; true with its link when that link is not empty.
  bool LinkAtPoint(int x, int y, TUrlTarget& link) const;
  int AreaCount() const { return int(areas_.size()); }

 private:
  struct Area {
    std::string Link, Target;
    TMapRegion Region;
  };
  std::vector<Area> areas_;
};

// ---- Colours and text helpers

// A colour attribute (BGCOLOR, COLOR ...): one of the 16 colour names, compared in upper case
// on the first 10 characters, or hexadecimal RRGGBB with its first "#" dropped. False when
// it is neither. Only 24 bits are kept, so no value reads as a system colour.
bool ParseColour(const std::string& text, TColor& colour);

std::string TrimBlanks(const std::string& text);  // codes up to 32 at both ends
// "file:///C|/help/a.html" -> "c:\help\a.html"; texts without "/" are kept.
std::string UrlToPath(const std::string& url);
