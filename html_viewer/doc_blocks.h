#pragma once
// The small blocks of a document: the fixed-height spacers of paragraphs and headings, the
// horizontal rule, the page break, and the list items, text blocks that draw a bullet or a
// number before their first line.
//
// Spacer heights follow the document's font size s: a paragraph space 14 × s ÷ 12 rounded,
// a heading space n × s ÷ 12 and a rule 20 × s ÷ 12 plus its thickness less 2, both cut off.
#include <memory>
#include <string>

#include "html_viewer/doc_sections.h"

class TParagraphSpace : public TSectionBase {
 public:
  using TSectionBase::TSectionBase;
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;
  void AppendSelectedText(ITextSink& sink) override { sink.PutLine("", 0); }
  void ComputeSpacing() override;
};

class THeadingSpace : public TSectionBase {
 public:
  THeadingSpace(TSectionOwner& owner, int level) : TSectionBase(owner), Level(level) {}
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;
  void AppendSelectedText(ITextSink& sink) override { sink.PutLine("", 0); }
  void ComputeSpacing() override;

  int Level;
};

class THorzLine : public TSectionBase {
 public:
  // SIZE (1..20, else 2), WIDTH (pixels, or a percent up to 100), COLOR.
  THorzLine(TSectionOwner& owner, const TAttributeList& attributes);
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;
  void AppendSelectedText(ITextSink& sink) override { sink.PutLine("", 0); }
  void ComputeSpacing() override;
  int Paint(IDocCanvas& canvas, const TRect& clip, IndentManager& im, int x, int y) override;

  int Thickness = 2;
  int RuleWidth = -1;  // -1: from the indents
  bool WidthIsPercent = false;
  TColor Colour = 0;
  bool ColourGiven = false;
  TRect RuleRect;  // the rule as last painted

 private:
  THorzLine(TSectionOwner& owner, const THorzLine& source);
};

// A page break: while printing it ends the page it starts on.
class TPage : public TSectionBase {
 public:
  using TSectionBase::TSectionBase;
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;
  int Paint(IDocCanvas& canvas, const TRect& clip, IndentManager& im, int x, int y) override;
};

// The marker of a numbered item: "A", "a" (letters up to Z), "I", "i" (Roman numerals up to
// XX) or decimal, then "."; numbers below 1 are decimal in every style.
std::string OrderedMarker(char style, int number);
// The colour of a bullet at a list level on a light background: red, navy, maroon in turn.
TColor BulletColour(int level);

class TUListItem : public TSection {
 public:
  TUListItem(TSectionOwner& owner, int level, const TMyFont& font, const TUrlTarget* link, bool plain);
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;

  bool Plain;
  // The bullet as last painted: its centre, fill (clNone: hollow) and outline.
  bool BulletDrawn = false;
  TPoint BulletCentre;
  TColor BulletFill = clNone, BulletOutline = 0;

 protected:
  void PaintMarker(IDocCanvas& canvas, int textStart, int textTop, int lineHeight, int baseline) override;

 private:
  TUListItem(TSectionOwner& owner, const TUListItem& source);
};

class TDListItem : public TSection {
 public:
  TDListItem(TSectionOwner& owner, int level, const TMyFont& font, const TUrlTarget* link);
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;

 private:
  TDListItem(TSectionOwner& owner, const TDListItem& source) : TSection(owner, source) {}
};

class TOListItem : public TSection {
 public:
  TOListItem(TSectionOwner& owner, int level, const TMyFont& font, const TUrlTarget* link, char style,
             int number);
  std::unique_ptr<TSectionBase> Duplicate(TSectionOwner& owner) const override;

  char Style;
  // The marker as last painted: its text and left end.
  std::string MarkerText;
  int MarkerX = 0;
  bool MarkerDrawn = false;

 protected:
  void PaintMarker(IDocCanvas& canvas, int textStart, int textTop, int lineHeight, int baseline) override;

 private:
  TOListItem(TSectionOwner& owner, const TOListItem& source);
};
