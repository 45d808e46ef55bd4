#pragma once
// Tables.
//
// How it works: a TDocTable holds rows of TCellObj, each owning a TCell of blocks, and a
// caption cell. Before the first layout the grid is prepared: spanned columns and rows get
// placeholder cells (ColSpan 0), so every cell's column is its index in its row; more than
// 30 columns, or tables nested more than 100 deep, raise EProcessError. Column widths come from the cells' width ranges, taken in
// passes by column span (the spanning cells spread what their columns lack), and are fitted
// to the target width by pixel widths, percents or the spread between the minimum and
// maximum widths. Row heights come from laying the contents out at their final widths,
// again in passes by row span; each content is then laid out at its place. Layout is
// recursive through the cells, and what a cell measures (its width range, its height at a
// width) is kept for the rest of one document layout, so nested tables cost no more than
// their contents. A table with ALIGN=LEFT or RIGHT floats: it reports height 0 and the
// text flows beside it.
//
// Geometry: a cell's corner (cx, cy) is its column's offset from PaintX and its row's top;
// its box runs from (cx + CellSpacing, cy + CellSpacing) to (cx + Width, cy + Height), both
// included, and its content is laid out and painted CellSpacing + CellPadding inside at
// Width - d with d = CellSpacing + 2 × CellPadding - 1.
#include <array>
#include <memory>
#include <vector>

#include "html_viewer/doc_cell.h"

constexpr int kMaxTableColumns = 30;
// Tables nested deeper raise EProcessError: what is deeper than any page needs is dropped
// before it can exhaust the stack.
constexpr int kMaxTableNesting = 100;

class TCellObj {
 public:
  // BGCOLOR, COLSPAN (at most 31), ROWSPAN, WIDTH (pixels, or 2..99 percent), HEIGHT.
  TCellObj(TSectionOwner& master, int valign, const TAttributeList& attributes);
  // A copy for another document, without the background colour.
  TCellObj(TSectionOwner& master, const TCellObj& source);
  // A placeholder for a spanned place.
  static std::unique_ptr<TCellObj> Placeholder(TSectionOwner& master, int rowSpan);
  bool IsPlaceholder() const { return ColSpan == 0; }
  // The content's height at a width (measured once per document layout and width).
  int MeasuredHeight(int y, int width);

  int ColSpan = 1, RowSpan = 1;
  int Width = 0, Height = 0;  // over the spanned columns and rows
  int ContentHeight = 0, GivenHeight = 0, ContentTop = 0;
  uint8_t VAlign = 1;  // 0 top, 1 middle, 2 bottom
  int GivenWidth = 0;
  bool WidthIsPercent = false;
  TCell Content;
  int PaintX = 0, PaintY = 0;  // the corner as last painted (document coordinates)

 private:
  int measuredGeneration_ = -1, measuredWidth_ = 0, measuredHeight_ = 0;
};

class TCellList {
 public:
  explicit TCellList(const TAttributeList& attributes);  // BGCOLOR
  std::vector<std::unique_ptr<TCellObj>> Cells;
  bool ColourGiven = false;
  TColor Colour = 0;
  int RowHeight = 0, Tallest = 0;
};

class TDocTable : public TSectionBase {
 public:
  // ALIGN (CENTER, LEFT, RIGHT; else alignment), BORDER, CELLPADDING, CELLSPACING, WIDTH,
  // HSPACE, BGCOLOR, BORDERCOLOR.
  TDocTable(TSectionOwner& owner, int listLevel, TCell* enclosing, int alignment, const TAttributeList& attributes);

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

  std::vector<std::unique_ptr<TCellList>> Rows;
  std::unique_ptr<TCellObj> Caption;
  bool Initialized = false, Border = false, CaptionOnTop = true;
  int TableX = 0, CaptionX = 0;
  uint8_t Align = 1;  // 1 left, 2 centre, 3 right
  bool Float = false;
  int ColumnCount = 0, TableWidth = 0, OverallWidth = 0;
  int GivenWidth = 0;
  bool WidthIsPercent = false, HasFixedWidths = false;
  int CaptionHeight = 0, BodyHeight = 0;
  int CellPadding = 2, CellSpacing = 3, CaptionMinWidth = 0;
  std::array<int, kMaxTableColumns + 1> ColumnWidths{}, ColumnPercents{};
  int HSpace = 5, ListLevel = 0;
  int PaintX = 0, PaintY = 0;
  bool BgColorGiven = false, BorderColorGiven = false;
  TColor BgColor = 0, BorderColor = 0;
  TCell* EnclosingCell;

 private:
  TDocTable(TSectionOwner& owner, const TDocTable& source);
  using TColumns = std::array<int, kMaxTableColumns + 1>;
  void PrepareGrid();
  void ColumnRanges(TColumns& mins, TColumns& maxs);
  void FitColumns(int target, TColumns& mins, TColumns& maxs);
  // The cell (or caption) whose area holds the point of the last paint; null when none.
  TCellObj* CellAt(int x, int y);
  template <class F>
  bool EachContent(F&& f);
};

// The parts of area not covered by any of the holes, as disjoint rectangles.
std::vector<TRect> SubtractRects(const TRect& area, const std::vector<TRect>& holes);
