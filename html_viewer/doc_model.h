#pragma once
// The small families the text blocks lean on: font runs (TFontObj, TFontList), inline and
// floating images (TImageObj, TImageList), the indentation manager that tracks per y how far
// floats and list levels push text in from both sides, and TSectionOwner, the document-wide
// state every block reads (default fonts and colours, selection, images, maps, the image
// cache with FetchImage, and the measurer that stands for the screen's text metrics).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "html_viewer/doc_canvas.h"
#include "html_viewer/doc_utils.h"
#include "html_viewer/gif_image.h"

class TSectionOwner;
class TFormControlObj;

// ---- Font runs

class TFontObj {
 public:
  TFontObj(TSectionOwner& owner, const TMyFont& font, int position);
  std::unique_ptr<TFontObj> Duplicate(TSectionOwner& owner) const;
  const TMyFont& Font() const { return font_; }
  void SetFont(const TMyFont& font);  // measures again
  void RefreshFromList();
  int Overhang() const { return metrics_.Overhang; }
  int LineHeight(int& descent) const {
    descent = metrics_.Descent;
    return metrics_.Height;
  }
  const TFontMetrics& Metrics() const { return metrics_; }

  int Position;
  int SScript = 0;  // 0 normal, 1 subscript, 2 superscript
  TUrlTarget Link;  // an empty URL: no link

 private:
  TSectionOwner& owner_;
  TMyFont font_;
  TFontMetrics metrics_;
};

class TFontList {
 public:
  int Count() const { return int(runs_.size()); }
  TFontObj& Run(int i) const { return *runs_[size_t(i)]; }
  TFontObj& Last() const { return *runs_.back(); }
  void Add(std::unique_ptr<TFontObj> run) { runs_.push_back(std::move(run)); }
  void Duplicate(TSectionOwner& owner, const TFontList& source);
  void RefreshFonts();
  // The run with the largest start <= position (the first when none starts there).
  TFontObj& FontAtPosition(int position, int& overhang) const;
  int RunAtPosition(int position) const;
  // Characters from position to the next run start, or to length.
  int CharsToNextRun(int position, int length) const;

 private:
  std::vector<std::unique_ptr<TFontObj>> runs_;
};

// ---- Images

// "No further image or control": farther than any text block reaches.
constexpr int kNoFurtherObject = 0x40000000;

enum TImageAlign : uint8_t { iaTop = 0, iaMiddle = 1, iaBottom = 2, iaLeft = 3, iaRight = 4 };

class TImageObj {
 public:
  TImageObj(int position, const TAttributeList& attributes);
  ~TImageObj();
  std::unique_ptr<TImageObj> Duplicate(TSectionOwner& owner) const;
  bool Floats() const { return Alignment == iaLeft || Alignment == iaRight; }
  bool IsPlaceholder() const { return placeholder_; }
  // Loads (once), sizes and registers animated images; fontRun holds the image.
  void Layout(TSectionOwner& owner, const TFontObj& fontRun);
  // textTop: the top of the line's text; lineHeight and baseline of that line.
  void Paint(TSectionOwner& owner, IDocCanvas& canvas, const TFontObj& fontRun, int x, int textTop,
             int lineHeight, int baseline);

  int Position;
  int ImageHeight = 0, ImageWidth = 0;  // as laid out, with the border
  int AskedHeight = 0, AskedWidth = 0;    // from the attributes, 0 when absent
  int ObjHeight = 0, ObjWidth = 0;      // the picture's size
  std::string Source, Alt, MapName;
  uint8_t Alignment = iaBottom;
  bool NoBorder = false, Transparent = false, IsMap = false, UseMap = false, Bordered = false;
  int HSpace = 5;
  int DrawX = 0, DrawY = 0;  // last painted x and document y
  int Indent = 0;            // x of a float, from the left edge
  int FloatY = 0;            // document y of a float's top
  TViewerImage* Image = nullptr;
  TViewerImage* Mask = nullptr;
  TFormControlObj* Control = nullptr;  // the image control it belongs to

 private:
  bool sized_ = false, placeholder_ = false;
  std::string cacheKey_;  // the cache entry taken, released once
  std::unique_ptr<TGIFImage> privateGif_;  // an animated copy of its own
};

class TImageList {
 public:
  int Count() const { return int(images_.size()); }
  TImageObj& Image(int i) const { return *images_[size_t(i)]; }
  void Add(std::unique_ptr<TImageObj> image) { images_.push_back(std::move(image)); }
  void Duplicate(TSectionOwner& owner, const TImageList& source);
  TImageObj* ImageAtPosition(int position) const;
  int HeightAtPosition(int position, uint8_t& alignment) const;  // -1 when none
  int WidthAtPosition(int position, uint8_t& alignment) const;
  // Distance to the next image; kNoFurtherObject (beyond any buffer) when none.
  int CharsToNextImage(int position) const;
  // The image whose drawn box holds the point (document coordinates).
  struct THit {
    TImageObj* Image = nullptr;
    int X = 0, Y = 0;  // relative to the image
    const TMapItem* Map = nullptr;
  };
  bool ImageAtPoint(const TSectionOwner& owner, int x, int y, THit& hit) const;

 private:
  std::vector<std::unique_ptr<TImageObj>> images_;
};

// ---- Indentation

struct IndentRec {
  int X = 0;       // left: indent from the left edge; right: non-positive offset from the right edge
  int YT = 0, YB = 0;  // document y, bottom excluded
  int Level = 0;   // 0 for floats, n for list level n
};

class IndentManager {
 public:
  void ClearRecords() { left_.clear(), right_.clear(); }
  void ResetEdges(int leftEdge, int rightEdge);
  int LeftEdgeAt(int y) const;
  int RightEdgeAt(int y) const;
  int FloatBottom() const;
  void ClearLevels(int& leftY, int& rightY) const;
  int ListMarkerBottom() const;
  void SetListLevel(int y, int level);
  void AddFloatImage(int y, TImageObj& image);
  void AddFloatTable(int y, int width, int alignment, int height);

  int Width = 0, ClipWidth = 0;
  int CurrentLevel = 0;
  int LeftEdge = 0, RightEdge = 0;
  const std::vector<IndentRec>& LeftRecords() const { return left_; }
  const std::vector<IndentRec>& RightRecords() const { return right_; }

 private:
  std::vector<IndentRec> left_, right_;
};

// ---- The document-wide state

// Where a document reports an error the user must see (a table it had to drop).
class IErrorSink {
 public:
  virtual ~IErrorSink() = default;
  virtual void ShowError(const std::string& text) = 0;
};

// Pictures the platform supplies: the two placeholders and their mask, bitmap loading and
// masks. The native build has pixel placeholders and loads no bitmaps.
class IImagePlatform {
 public:
  virtual ~IImagePlatform() = default;
  virtual TViewerImage* ErrorBitmap() = 0;
  virtual TViewerImage* ErrorBitmapMask() = 0;
  virtual TViewerImage* DefBitmap() = 0;
  // A bitmap file with its mask (LoadBmpWithMask): null when it is none.
  virtual std::unique_ptr<TViewerImage> LoadBitmapFile(const std::string& name, uint8_t& transparency,
                                                       std::unique_ptr<TViewerImage>& mask) = 0;
  // Bitmap data from a stream (ReadBmpWithMask).
  virtual std::unique_ptr<TViewerImage> ReadBitmapData(const std::vector<uint8_t>& data, uint8_t transparency,
                                                       std::unique_ptr<TViewerImage>& mask) = 0;
  // A one-bit mask where the picture has the colour (or its bottom-left pixel's colour).
  virtual std::unique_ptr<TViewerImage> MakeMask(TViewerImage& image, bool colourGiven, TColor colour) = 0;
};

// Placeholder sizes shared by both builds' pictures.
constexpr int kPlaceholderBitmapSize = 16;
// The native pictures: plain pixel placeholders, no bitmap files.
IImagePlatform& PixelImagePlatform();
// The image cache of the process.
TStringBitmapList& BitmapList();

class TSectionOwner {
 public:
  explicit TSectionOwner(ITextMeasurer& measurer, IImagePlatform& images = PixelImagePlatform())
      : measurer_(&measurer), images_(&images) {}
  virtual ~TSectionOwner() = default;

  ITextMeasurer& Measurer() const { return *measurer_; }
  IImagePlatform& Images() const { return *images_; }

  std::string FontName = "Times New Roman", PreFontName = "Courier New";
  int FontSize = 12;
  TColor TextColor = clBlack, LinkColor = clBlue, Background = clWhite;
  int SelBegin = 0, SelEnd = 0;  // cursor numbers, end excluded; begin >= end: none
  bool Printing = false, ImagesShown = true;
  int YOffset = 0;
  int PageBottom = 0;  // printing: the document y where the page ends
  // Counts document layouts; what a cell measures is reused within one.
  int LayoutGeneration = 0;
  int TableDepth = 0;  // tables being laid out or measured, one inside the other
  IErrorSink* Errors = nullptr;
  // Parser state the blocks read when they make runs.
  uint32_t CurrentStyle = 0;
  int CurrentSScript = 0;

  std::vector<std::unique_ptr<TMapItem>> Maps;
  std::vector<TGIFImage*> AnimatedImages;
  // The viewer's file-name expansion; empty: names are used as written.
  std::function<std::string(const std::string&)> ExpandName;
  // The viewer's request events: a bitmap (and a transparent colour, -1 none), or the
  // image's bytes.
  std::function<std::unique_ptr<TViewerImage>(const std::string& name, TColor& colour)> OnBitmapRequest;
  std::function<bool(const std::string& name, std::vector<uint8_t>& data)> OnImageRequest;

  // The image for a name through the cache (see doc_model.cpp); null when none. key gets
  // the cache key the caller now holds a use of (empty when it holds none).
  TViewerImage* FetchImage(const std::string& name, bool& transparent, bool& fromCache, TViewerImage*& mask,
                           std::string& key);

 private:
  ITextMeasurer* measurer_;
  IImagePlatform* images_;
};
