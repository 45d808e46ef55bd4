#pragma once
// Block sections and text layout.
//
// How it works: a laid-out document is a list of blocks, each a TSectionBase. A text block
// (TSection) keeps its characters in one buffer (byte 4 stands for an image, byte 2 for a
// form control, spaces are single), its font runs and its images. Layout breaks the buffer
// into lines at a given document y: per line it asks the indentation manager for the free
// width, counts what fits (CountFitting, once a line: it registers floating images met
// before any text at once), moves the break back to a space or object (or forward, when one
// word is wider than the line), measures the line's height, spacing and x by the block's
// alignment, and registers floats met after text below the line. Painting walks the same
// lines piece by piece (run, object and selection boundaries); hit tests, search, cursor
// positions and selection copies use the lines of the last layout, in the x of the last
// paint. Every character, image and control takes one cursor number, numbered through the
// whole document. TPreFormated never wraps.
#include <memory>
#include <string>
#include <vector>

#include "html_viewer/doc_model.h"

// Receives the text a selection copy gives: characters, and lines that end with CR LF.
class ITextSink {
 public:
  virtual ~ITextSink() = default;
  virtual void Put(const char* text, int length) = 0;
  virtual void PutLine(const char* text, int length) = 0;
};

// The selection's text (placeholder bytes dropped) and its SelTextCount.
class TSelectionText : public ITextSink {
 public:
  void Put(const char* text, int length) override;
  void PutLine(const char* text, int length) override;
  const std::string& Text() const { return text_; }
  int Count() const { return count_.Total(); }

 private:
  std::string text_;
  SelTextCount count_;
};

class TSectionBase {
 public:
  explicit TSectionBase(TSectionOwner& owner) : owner_(&owner) {}
  virtual ~TSectionBase() = default;
  TSectionBase(const TSectionBase&) = delete;
  TSectionBase& operator=(const TSectionBase&) = delete;

  TSectionOwner& Owner() const { return *owner_; }

  int Height = 0, PaintHeight = 0, Top = 0, FirstCursor = 0, CursorCount = 0;

  virtual std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const;
  virtual void AppendSelectedText(ITextSink&) {}
  virtual int Layout(int y, IndentManager& im, int& maxWidth, int& cursor);
  virtual int Paint(IDocCanvas& canvas, const TRect& clip, IndentManager& im, int x, int y);
  // Hit tests take the x of the last paint and document y. LinkAt finds a link, or an image
  // form control (told where the mouse is on its picture).
  virtual bool LinkAt(int, int, TUrlTarget&, TFormControlObj*&) { return false; }
  virtual int CursorAtPoint(int, int, int& xResult, int& yResult, int& caretHeight, bool& inText) {
    xResult = yResult = caretHeight = 0;
    inText = false;
    return -1;
  }
  virtual int SearchText(int, const std::string&, bool) { return -1; }
  virtual bool PointOfCursor(int, int&, int&) { return false; }
  virtual bool CharAtCursor(int, char&, TSectionBase*&) { return false; }
  virtual void RefreshFonts() { ComputeSpacing(); }
  virtual void ComputeSpacing() {}
  virtual void WidthRange(int& min, int& max) { min = max = 0; }

 protected:
  TSectionOwner* owner_;
};

struct LineRec {
  int Start = 0;  // index into the buffer
  int SpaceAbove = 0, SpaceBelow = 0, LineHt = 0, PaintHt = 0, Chars = 0, Descent = 0;
  int LineIndent = 0;  // x from the left of the laid-out area
  int Width = 0;       // text width without trailing spaces
  int Advance() const { return SpaceAbove + LineHt + SpaceBelow; }
};

enum TListKind : uint8_t { lkPlain = 0, lkNumbered = 1, lkBullet = 2, lkDefinition = 3 };

class TSection : public TSectionBase {
 public:
  // alignment: 1 left, 2 centre, 3 right.
  TSection(TSectionOwner& owner, int listLevel, const TMyFont& font, const TUrlTarget* link, int alignment);

  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;
  void AppendSelectedText(ITextSink& sink) override;
  int Layout(int y, IndentManager& im, int& maxWidth, int& cursor) override;
  int Paint(IDocCanvas& canvas, const TRect& clip, IndentManager& im, int x, int y) override;
  bool LinkAt(int x, int y, TUrlTarget& link, TFormControlObj*& control) override;
  int CursorAtPoint(int x, int y, int& xResult, int& yResult, int& caretHeight, bool& inText) override;
  int SearchText(int from, const std::string& text, bool matchCase) override;
  bool PointOfCursor(int cursor, int& x, int& y) override;
  bool CharAtCursor(int cursor, char& c, TSectionBase*& section) override;
  void RefreshFonts() override;
  void WidthRange(int& min, int& max) override;
  virtual void AppendText(const std::string& text);

  void SwitchFont(const TMyFont& font);
  // A link starts (link given) or ends (null).
  void SwitchLink(const TMyFont& font, const TUrlTarget* link);
  // False, and nothing added, once the buffer passed its cap.
  bool InsertImage(const TAttributeList& attributes);
  bool InsertControl(TFormControlObj* control);
  int Complete();  // returns the alignment
  void ReadClear(const TAttributeList& attributes);

  static constexpr int kTextCap = 20000;
  const std::string& Buffer() const { return buffer_; }
  const std::vector<LineRec>& Lines() const { return lines_; }
  const TFontList& Fonts() const { return fonts_; }
  const TImageList& Images() const { return images_; }
  // The form controls in the text, by position (not owned).
  const std::vector<std::pair<int, TFormControlObj*>>& Controls() const { return controls_; }
  int ListLevel() const { return listLevel_; }
  int Alignment() const { return alignment_; }
  uint8_t ClearMode() const { return clear_; }
  virtual bool IsPreformatted() const { return false; }

  uint8_t ListKind = lkPlain;
  int ItemNumber = 0;

 protected:
  TSection(TSectionOwner& owner, const TSection& source);
  // List items draw their marker here, on the first line that holds text (paint coordinates).
  virtual void PaintMarker(IDocCanvas&, int /*textStart*/, int /*textTop*/, int /*lineHeight*/, int /*baseline*/) {}
  int ClearSpace(const IndentManager& im, int y) const;
  int CountFitting(IndentManager& im, int y, int width, int start, std::vector<TImageObj*>& later);
  void MeasureLine(IndentManager& im, int& y, int start, int count, const std::vector<TImageObj*>& floats);
  // The width of chars [start, start + count), objects included (floats not).
  int PieceWidth(int start, int count) const;
  int CharWidth(int at) const;
  bool IsObject(int at) const { return buffer_[size_t(at)] == 4 || buffer_[size_t(at)] == 2; }
  TFormControlObj* ControlAt(int at) const;
  int TextWidthIn(const TFontObj& run, int start, int count) const;

  std::string buffer_;
  TFontList fonts_;
  TImageList images_;
  std::vector<std::pair<int, TFormControlObj*>> controls_;  // by position, not owned
  int listLevel_ = 0, indent_ = 0;
  std::vector<LineRec> lines_;
  TMyFont baseFont_;
  int alignment_ = 1;
  uint8_t clear_ = 0;
  int leftIndent_ = 0;
  int paintX_ = 0;  // x of the last paint
};

class TPreFormated : public TSection {
 public:
  TPreFormated(TSectionOwner& owner, int listLevel, const TMyFont& font, const TUrlTarget* link, int alignment)
      : TSection(owner, listLevel, font, link, alignment) {}
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;
  void AppendText(const std::string& text) override;
  void WidthRange(int& min, int& max) override;
  int Layout(int y, IndentManager& im, int& maxWidth, int& cursor) override;
  bool IsPreformatted() const override { return true; }

 private:
  TPreFormated(TSectionOwner& owner, const TPreFormated& source) : TSection(owner, source) {}
};
