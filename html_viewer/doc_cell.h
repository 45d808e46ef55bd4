#pragma once
// Cells and the section list.
//
// How it works: a TCell is a column of blocks laid out one below the other with an
// indentation manager of its own, so the body of a document and the body of every table
// cell lay out, paint and answer hit tests the same way; what it measures depends on its
// width alone, never on its y. TSectionList is the cell that holds a whole document and
// everything document-wide: the default fonts and colours, the selection, the background,
// the forms and their controls, the image maps and the animated images with their timer.
// Hit tests take document coordinates; painting takes the x of the cell's left edge and the
// document y, and the owner's y offset (the scroll position) moves everything up.
//
// A block whose layout or width measure raises EProcessError (a table with too many
// columns) is reported through the owner's error sink once and dropped from the cell that
// holds it; the rest of the document stays.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/exceptions.h"
#include "html_viewer/doc_forms.h"
#include "html_viewer/doc_sections.h"

class EProcessError : public Exception {
 public:
  using Exception::Exception;
};

class TCell {
 public:
  explicit TCell(TSectionOwner& master);
  // A copy of source's blocks for another document (the spare word copied, the background not).
  TCell(TSectionOwner& master, const TCell& source);
  virtual ~TCell();
  TCell(const TCell&) = delete;
  TCell& operator=(const TCell&) = delete;

  TSectionOwner& Master() const { return *master_; }
  int Count() const { return int(sections_.size()); }
  TSectionBase& Section(int index) const { return *sections_[size_t(index)]; }
  // Appends the block (null is ignored): an empty preformatted line gets a space, the
  // block's spacing is computed from the document's font size.
  void AddSection(std::unique_ptr<TSectionBase> section);
  void Clear() { sections_.clear(); }

  // Lays the blocks out at document y and the width; returns the height (floats included).
  virtual int Layout(int y, int width, int& cursor, int& maxWidth);
  // The largest minimum and maximum width of the blocks.
  void WidthRange(int& min, int& max);
  // Paints with the left edge at x; returns the y after the last block.
  virtual int Paint(IDocCanvas& canvas, const TRect& clip, int x, int y);
  bool LinkAt(int x, int y, TUrlTarget& link, TFormControlObj*& control);
  int CursorAtPoint(int x, int y, int& xResult, int& yResult, int& caretHeight, bool& inText);
  int SearchText(int from, const std::string& text, bool matchCase);
  bool PointOfCursor(int cursor, int& x, int& y);
  bool CharAtCursor(int cursor, char& c, TSectionBase*& section);
  void AppendSelectedText(ITextSink& sink);
  void RefreshFonts();
  // The block whose extent holds document y, with its top and index; null when none.
  TSectionBase* SectionAtY(int y, int& top, int& index) const;

  int SpareWord = 0;
  int TopY = 0;  // document y of the last layout
  int StartCursor = 0, CursorCount = 0;
  IndentManager Indent;
  bool BgGiven = false;  // a table cell's BGCOLOR
  TColor BgColor = 0;

 private:
  void Report(const std::exception& e);
  TSectionOwner* master_;
  std::vector<std::unique_ptr<TSectionBase>> sections_;
  int width_ = 0;
  int rangeGeneration_ = -1, rangeMin_ = 0, rangeMax_ = 0;
};

// The animation timer of a document: a tick every interval while enabled.
class IDocTimer {
 public:
  virtual ~IDocTimer() = default;
  virtual void SetOnTimer(std::function<void()> tick) = 0;
  virtual void SetEnabled(bool on) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetInterval(unsigned ms) = 0;
  virtual unsigned Interval() const = 0;
};

// A timer that never fires by itself: Tick() runs the handler (tests, the layout driver).
class TManualTimer : public IDocTimer {
 public:
  void SetOnTimer(std::function<void()> tick) override { tick_ = std::move(tick); }
  void SetEnabled(bool on) override { enabled_ = on; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(unsigned ms) override { interval_ = ms; }
  unsigned Interval() const override { return interval_; }
  void Tick() {
    if (tick_) tick_();
  }

 private:
  std::function<void()> tick_;
  bool enabled_ = false;
  unsigned interval_ = 0;
};

// Error reports kept as texts.
class TErrorList : public IErrorSink {
 public:
  void ShowError(const std::string& text) override { Texts.push_back(text); }
  std::vector<std::string> Texts;
};

// Where the view of a document stands: the block at its top and how far into it.
struct TViewPosition {
  int Index = 0;
  int Offset = 0;
  bool operator==(const TViewPosition&) const = default;
};

class TSectionList : public TSectionOwner, public TCell {
 public:
  TSectionList(ITextMeasurer& measurer, IPaintSurface& surface, IDocTimer& timer, IErrorSink& errors,
               IImagePlatform& images = PixelImagePlatform());
  ~TSectionList() override;

  IPaintSurface& Surface() const { return *surface_; }

  // Empties the document: blocks, forms and their controls, maps, animated images, the
  // selection (0..0) and the background image (its cache entry released).
  void ClearDocument();
  void ApplyDefaults(const std::string& fontName, const std::string& preFontName, TColor textColour,
                     TColor linkColour, TColor background, int fontSize);
  void ChangeBackgroundColour(TColor colour);
  void SetBackgroundImageName(const std::string& name);
  // Loads the background image once (when images are shown); a plain bitmap is kept.
  TViewerImage* LoadBackgroundImage();
  TViewerImage* BackgroundBitmap() const { return bgBitmap_; }
  const std::string& BackgroundImageName() const { return bgName_; }

  // Sets the y offset; a change marks every control not shown until painted again.
  void ScrollOffsetTo(int y);
  int CountSelected();
  int TopOfSection(int index) const;
  TViewPosition ViewPosition() const;
  void SetViewPosition(const TViewPosition& position);

  // Sizes the form controls, lays out and restarts the animated images.
  int Layout(int y, int width, int& cursor, int& maxWidth) override;
  // Paints; controls that are not shown and whose place lies outside the visible area are
  // hidden after a scroll.
  int Paint(IDocCanvas& canvas, const TRect& clip, int x, int y) override;
  // One tick of the animation timer.
  void AnimationTick();

  std::vector<std::unique_ptr<TDocForm>> Forms;
  TDocForm* CurrentForm = nullptr;            // the form the parser fills
  std::vector<TFormControlObj*> FormControls;  // every control, in document order
  bool ControlsMoved = false;

  std::function<void(TColor)> OnBackgroundChange;
  std::function<void(const std::string& action, const std::string& method, const std::vector<std::string>& results)>
      OnFormSubmit;

 private:
  IPaintSurface* surface_;
  IDocTimer* timer_;
  TViewerImage* bgBitmap_ = nullptr;
  std::string bgName_, bgKey_;
  bool bgLoaded_ = false;
};
