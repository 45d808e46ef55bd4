#include "html_viewer/doc_table.h"

#include <algorithm>
#include <cstdlib>

#include "framework/core/sysutils.h"

namespace {

// Pixel sizes a document gives (WIDTH, HEIGHT) are kept within what a screen can show, so
// no sum of them overflows.
constexpr int kMaxGivenPixels = 32000;

constexpr int kMaxColSpan = kMaxTableColumns + 1;

bool ReadColour(const TAttributeList& attributes, uint8_t symbol, TColor& colour) {
  const TAttribute* a = attributes.Lookup(symbol);
  if (!a || !ParseColour(a->Name, colour)) return false;
  colour = TColor(uint32_t(colour) | 0x02000000u);
  return true;
}

int MulDivDown(int64_t a, int64_t b, int64_t c) { return c == 0 ? 0 : int(a * b / c); }

// One more table in the ones being laid out or measured.
class TNesting {
 public:
  explicit TNesting(int& depth) : depth_(depth) {
    if (depth_ >= kMaxTableNesting) throw EProcessError("Tables nested too deeply");
    ++depth_;
  }
  ~TNesting() { --depth_; }
  TNesting(const TNesting&) = delete;
  TNesting& operator=(const TNesting&) = delete;

 private:
  int& depth_;
};

}  // namespace

// ---- Cells and rows

TCellObj::TCellObj(TSectionOwner& master, int valign, const TAttributeList& attributes)
    : VAlign(uint8_t(valign)), Content(master) {
  Content.BgGiven = ReadColour(attributes, BgColorSy, Content.BgColor);
  if (const TAttribute* a = attributes.Lookup(ColSpanSy); a && a->Value > 1) ColSpan = std::min(a->Value, kMaxColSpan);
  if (const TAttribute* a = attributes.Lookup(RowSpanSy); a && a->Value > 1) RowSpan = a->Value;
  if (const TAttribute* a = attributes.Lookup(WidthSy)) {
    if (a->Name.find('%') == std::string::npos) {
      GivenWidth = std::min(a->Value, kMaxGivenPixels);
    } else if (a->Value > 1 && a->Value < 100) {
      GivenWidth = a->Value;
      WidthIsPercent = true;
    }
  }
  if (const TAttribute* a = attributes.Lookup(HeightSy)) GivenHeight = std::min(a->Value, kMaxGivenPixels);
}

TCellObj::TCellObj(TSectionOwner& master, const TCellObj& source)
    : ColSpan(source.ColSpan),
      RowSpan(source.RowSpan),
      Width(source.Width),
      Height(source.Height),
      ContentHeight(source.ContentHeight),
      GivenHeight(source.GivenHeight),
      ContentTop(source.ContentTop),
      VAlign(source.VAlign),
      GivenWidth(source.GivenWidth),
      WidthIsPercent(source.WidthIsPercent),
      Content(master, source.Content) {}

std::unique_ptr<TCellObj> TCellObj::Placeholder(TSectionOwner& master, int rowSpan) {
  auto p = std::make_unique<TCellObj>(master, 1, TAttributeList());
  p->ColSpan = 0;
  p->RowSpan = rowSpan;
  return p;
}

int TCellObj::MeasuredHeight(int y, int width) {
  int generation = Content.Master().LayoutGeneration;
  if (measuredGeneration_ != generation || measuredWidth_ != width) {
    int cursor = 0, maxWidth = 0;
    measuredHeight_ = Content.Layout(y, width, cursor, maxWidth);
    measuredGeneration_ = generation;
    measuredWidth_ = width;
  }
  return measuredHeight_;
}

TCellList::TCellList(const TAttributeList& attributes) { ColourGiven = ReadColour(attributes, BgColorSy, Colour); }

// ---- The table

TDocTable::TDocTable(TSectionOwner& owner, int listLevel, TCell* enclosing, int alignment,
                     const TAttributeList& attributes)
    : TSectionBase(owner),
      Caption(std::make_unique<TCellObj>(owner, 1, TAttributeList())),
      Align(uint8_t(alignment)),
      ListLevel(listLevel),
      EnclosingCell(enclosing) {
  if (const TAttribute* a = attributes.Lookup(AlignSy)) {
    std::string s = UpperCase(a->Name);
    if (s == "CENTER") {
      Align = 2;
    } else if (s == "LEFT" || s == "RIGHT") {
      Align = s == "LEFT" ? 1 : 3;
      Float = true;
    }
  }
  if (const TAttribute* a = attributes.Lookup(BorderSy)) Border = a->Value > 0;
  if (const TAttribute* a = attributes.Lookup(CellPaddingSy); a && a->Value >= 0)
    CellPadding = std::min(a->Value, 49) + 1;
  if (const TAttribute* a = attributes.Lookup(CellSpacingSy); a && a->Value >= 0)
    CellSpacing = std::min(a->Value, 39) + 1;
  if (const TAttribute* a = attributes.Lookup(WidthSy)) {
    if (a->Name.find('%') != std::string::npos) {
      WidthIsPercent = true;
      if (a->Value >= 1 && a->Value <= 100) GivenWidth = a->Value;
    } else {
      GivenWidth = std::min(a->Value, kMaxGivenPixels);
    }
  }
  if (const TAttribute* a = attributes.Lookup(HSpaceSy)) HSpace = int(std::min<int64_t>(20, std::llabs(a->Value)));
  BgColorGiven = ReadColour(attributes, BgColorSy, BgColor);
  BorderColorGiven = ReadColour(attributes, BorderColorSy, BorderColor);
  if (!Border) --CellPadding;
}

TDocTable::TDocTable(TSectionOwner& owner, const TDocTable& source)
    : TSectionBase(owner),
      Caption(std::make_unique<TCellObj>(owner, *source.Caption)),
      Initialized(source.Initialized),
      Border(source.Border),
      CaptionOnTop(source.CaptionOnTop),
      TableX(source.TableX),
      CaptionX(source.CaptionX),
      Align(source.Align),
      Float(source.Float),
      ColumnCount(source.ColumnCount),
      TableWidth(source.TableWidth),
      OverallWidth(source.OverallWidth),
      GivenWidth(source.GivenWidth),
      WidthIsPercent(source.WidthIsPercent),
      HasFixedWidths(source.HasFixedWidths),
      CaptionHeight(source.CaptionHeight),
      BodyHeight(source.BodyHeight),
      CellPadding(source.CellPadding),
      CellSpacing(source.CellSpacing),
      CaptionMinWidth(source.CaptionMinWidth),
      ColumnWidths(source.ColumnWidths),
      ColumnPercents(source.ColumnPercents),
      HSpace(source.HSpace),
      ListLevel(source.ListLevel),
      PaintX(source.PaintX),
      PaintY(source.PaintY),
      EnclosingCell(source.EnclosingCell) {
  Height = source.Height;
  for (const auto& row : source.Rows) {
    auto copy = std::make_unique<TCellList>(TAttributeList());
    copy->ColourGiven = row->ColourGiven;
    copy->Colour = row->Colour;
    copy->RowHeight = row->RowHeight;
    copy->Tallest = row->Tallest;
    for (const auto& c : row->Cells) copy->Cells.push_back(std::make_unique<TCellObj>(owner, *c));
    Rows.push_back(std::move(copy));
  }
}

std::unique_ptr<TSectionBase> TDocTable::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new TDocTable(owner, *this));
}

void TDocTable::PrepareGrid() {
  if (Initialized) return;
  if (!Owner().Printing && !BgColorGiven && EnclosingCell && EnclosingCell->BgGiven) {
    BgColor = EnclosingCell->BgColor;
    BgColorGiven = true;
  }
  auto tooMany = [] { throw EProcessError("Table has too many Columns"); };
  for (auto& row : Rows) {
    auto& cells = row->Cells;
    for (size_t i = 0; i < cells.size(); ++i) {
      TCellObj& c = *cells[i];
      if (c.IsPlaceholder()) continue;
      if (row->ColourGiven && !c.Content.BgGiven) {
        c.Content.BgColor = row->Colour;
        c.Content.BgGiven = true;
      }
      if (c.GivenWidth > 0 && !c.WidthIsPercent) HasFixedWidths = true;
      if (BgColorGiven && !c.Content.BgGiven) {
        c.Content.BgColor = BgColor;
        c.Content.BgGiven = true;
      }
      int span = c.ColSpan, rowSpan = c.RowSpan;
      for (int k = 1; k < span; ++k)
        cells.insert(cells.begin() + std::ptrdiff_t(i) + k, TCellObj::Placeholder(Owner(), rowSpan));
      i += size_t(span - 1);
      if (cells.size() > size_t(kMaxTableColumns)) tooMany();
    }
  }
  int rows = int(Rows.size());
  for (size_t i = 0;; ++i) {
    size_t widest = 0;
    for (auto& row : Rows) widest = std::max(widest, row->Cells.size());
    if (i >= widest) break;
    for (int r = 0; r < rows; ++r) {
      auto& cells = Rows[size_t(r)]->Cells;
      if (i >= cells.size()) continue;
      TCellObj& c = *cells[i];
      c.RowSpan = std::min(c.RowSpan, rows - r);
      for (int k = 1; k < c.RowSpan; ++k) {
        auto& below = Rows[size_t(r + k)]->Cells;
        auto p = TCellObj::Placeholder(Owner(), 0);
        if (i <= below.size())
          below.insert(below.begin() + std::ptrdiff_t(i), std::move(p));
        else
          below.push_back(std::move(p));
        if (below.size() > size_t(kMaxTableColumns)) tooMany();
      }
    }
  }
  ColumnCount = 0;
  for (auto& row : Rows) ColumnCount = std::max(ColumnCount, int(row->Cells.size()));
  Initialized = true;
}

void TDocTable::ColumnRanges(TColumns& mins, TColumns& maxs) {
  mins.fill(0);
  maxs.fill(0);
  if (!HasFixedWidths) ColumnPercents.fill(0);
  const int pad = 2 * CellPadding + CellSpacing - 1;
  int widest = 1;
  for (auto& row : Rows)
    for (auto& c : row->Cells) widest = std::max(widest, c->ColSpan);
  for (int s = 1; s <= widest; ++s) {
    for (auto& row : Rows) {
      for (size_t i = 0; i < row->Cells.size(); ++i) {
        TCellObj& c = *row->Cells[i];
        if (c.ColSpan != s) continue;
        int mn, mx;
        c.Content.WidthRange(mn, mx);
        mn += pad, mx += pad;
        int first = int(i), last = std::min(int(i) + s, ColumnCount);  // columns [first, last)
        if (s == 1) {
          if (HasFixedWidths) {
            if (c.GivenWidth > 0 && !c.WidthIsPercent) {
              mn = std::max(mn, c.GivenWidth + pad);
              mx = std::max(mx, c.GivenWidth + pad);
            } else {
              ++mx;
            }
          } else if (c.WidthIsPercent) {
            ColumnPercents[i] = std::max(ColumnPercents[i], c.GivenWidth);
          }
          mins[i] = std::max(mins[i], mn);
          maxs[i] = std::max(maxs[i], mx);
          continue;
        }
        int n = last - first;
        if (n <= 0) continue;
        int64_t minSum = 0, maxSum = 0;
        for (int j = first; j < last; ++j) minSum += mins[size_t(j)], maxSum += maxs[size_t(j)];
        if (HasFixedWidths) {
          // What the columns lack is spread over them by their share, or equally.
          auto grow = [&](TColumns& cols, int64_t sum, int need) {
            if (sum >= need) return;
            for (int j = first; j < last; ++j) {
              int& col = cols[size_t(j)];
              col = sum > 0 ? col + MulDivDown(col, need - sum, sum) : std::max(col, need / n);
            }
          };
          grow(mins, minSum, mn);
          grow(maxs, maxSum, mx);
          continue;
        }
        int P = c.WidthIsPercent ? c.GivenWidth : 0, Q = 0, k = 0;
        for (int j = first; j < last; ++j) {
          Q += ColumnPercents[size_t(j)];
          if (ColumnPercents[size_t(j)] == 0) ++k;
        }
        if (P > 0 || Q > 0) {
          for (int j = first; j < last; ++j) {
            int& pct = ColumnPercents[size_t(j)];
            if (k > 0 && pct == 0)
              pct = std::max(0, (P - Q) / k);
            else if (k == 0 && Q < P)
              pct = MulDivDown(pct, P, Q);
          }
          int d = std::max(P, Q);
          for (int j = first; j < last; ++j) {
            int pct = ColumnPercents[size_t(j)];
            maxs[size_t(j)] = std::max(maxs[size_t(j)], MulDivDown(mx, pct, d));
            mins[size_t(j)] = std::max(mins[size_t(j)], MulDivDown(mn, pct, d));
          }
        } else if (minSum == 0 || maxSum == 0) {
          for (int j = first; j < last; ++j) {
            maxs[size_t(j)] = std::max(maxs[size_t(j)], mx / n);
            mins[size_t(j)] = std::max(mins[size_t(j)], mn / n);
          }
        } else {
          TColumns oldMin = mins, oldMax = maxs;
          for (int j = first; j < last; ++j) {
            maxs[size_t(j)] = std::max(maxs[size_t(j)], MulDivDown(mx, oldMax[size_t(j)], maxSum));
            mins[size_t(j)] = std::max(mins[size_t(j)], MulDivDown(mn, oldMin[size_t(j)], minSum));
          }
        }
      }
    }
  }
  for (int i = 0; i < ColumnCount; ++i) maxs[size_t(i)] = std::max(maxs[size_t(i)], mins[size_t(i)]);
}

void TDocTable::FitColumns(int target, TColumns& mins, TColumns& maxs) {
  const int n = ColumnCount;
  TColumns& w = ColumnWidths;
  w.fill(0);
  auto sum = [n](const TColumns& a) {
    int64_t s = 0;
    for (int i = 0; i < n; ++i) s += a[size_t(i)];
    return s;
  };
  int64_t minSum = sum(mins), maxSum = sum(maxs);
  const bool given = GivenWidth >= 1;
  auto spread = [&] {
    for (int i = 0; i < n; ++i)
      w[size_t(i)] = mins[size_t(i)] + MulDivDown(maxs[size_t(i)] - mins[size_t(i)], target - minSum, maxSum - minSum);
  };
  if (minSum >= target) {
    w = mins;
    return;
  }
  if (HasFixedWidths) {
    if (target < maxSum || given) {
      if (maxSum - minSum > 0) {
        spread();
      } else {
        for (int i = 0; i < n; ++i)
          w[size_t(i)] = minSum == 0 ? target / n : mins[size_t(i)] + MulDivDown(mins[size_t(i)], target - minSum, minSum);
      }
    } else {
      w = maxs;
    }
    return;
  }
  TColumns& pct = ColumnPercents;
  int P = int(sum(pct));
  if (P > 100) {
    for (int i = 0; i < n; ++i) pct[size_t(i)] = MulDivDown(pct[size_t(i)], 100, P);
    P = int(sum(pct));
  }
  if ((P > 0 && P <= 100) || given) {
    int64_t needed = 0, otherMax = 0;
    for (int i = 0; i < n; ++i) {
      if (pct[size_t(i)] > 0)
        needed = std::max(needed, int64_t(maxs[size_t(i)]) * 100 / pct[size_t(i)]);
      else
        otherMax += maxs[size_t(i)];
    }
    int64_t others = P > 99 ? (otherMax == 0 ? 0 : 30000) : otherMax * 100 / (100 - P);
    needed = std::max(needed, others);
    if (target >= needed) {
      if (given) needed = target;
      int64_t rest = needed * (100 - P) / 100;
      for (int i = 0; i < n; ++i)
        w[size_t(i)] = pct[size_t(i)] > 0 ? int(needed * pct[size_t(i)] / 100)
                                          : MulDivDown(rest, maxs[size_t(i)], otherMax);
      return;
    }
    while (true) {
      TColumns wi{};
      int64_t S = 0, M = 0;
      bool any = false;
      for (int i = 0; i < n; ++i) {
        if (pct[size_t(i)] <= 0) continue;
        wi[size_t(i)] = MulDivDown(target, pct[size_t(i)], 100) - 1;
        if (wi[size_t(i)] < mins[size_t(i)])
          pct[size_t(i)] = 0;
        else
          S += wi[size_t(i)], any = true;
      }
      for (int i = 0; i < n; ++i)
        if (pct[size_t(i)] <= 0) M += mins[size_t(i)];
      if (!any || S == 0) break;
      if (target < M + S) {
        for (int i = 0; i < n; ++i)
          if (pct[size_t(i)] > 0) pct[size_t(i)] = MulDivDown(pct[size_t(i)], target - M, S);
        continue;
      }
      for (int i = 0; i < n; ++i)
        if (pct[size_t(i)] > 0) mins[size_t(i)] = maxs[size_t(i)] = MulDivDown(target, pct[size_t(i)], 100);
      minSum = sum(mins), maxSum = sum(maxs);
      break;
    }
  }
  if (target < maxSum && maxSum != minSum)
    spread();
  else
    w = maxs;
}

int TDocTable::Layout(int y, IndentManager& im, int& maxWidth, int& cursor) {
  TNesting nesting(Owner().TableDepth);
  Top = y;
  FirstCursor = cursor;
  PrepareGrid();
  im.SetListLevel(y, ListLevel);
  const int left = im.LeftEdgeAt(y), available = im.RightEdgeAt(y) - left;
  int target = available;
  if (GivenWidth >= 1) target = WidthIsPercent ? MulDivDown(available, GivenWidth, 100) : GivenWidth;
  target = std::max(target - CellSpacing, 20);

  TColumns mins, maxs;
  ColumnRanges(mins, maxs);
  FitColumns(target, mins, maxs);
  TableWidth = CellSpacing;
  for (int i = 0; i < ColumnCount; ++i) TableWidth += ColumnWidths[size_t(i)];
  int captionMax;
  Caption->Content.WidthRange(CaptionMinWidth, captionMax);
  OverallWidth = std::max(TableWidth, CaptionMinWidth);

  // Row heights, by passes over the row spans.
  const int d = CellSpacing + 2 * CellPadding - 1;
  const int rows = int(Rows.size());
  std::vector<int> heights(size_t(rows), 0);
  // Cells by row span, each pass row by row and cell by cell.
  struct TPlace {
    int Span, Row;
    size_t Index;
  };
  std::vector<TPlace> places;
  for (int r = 0; r < rows; ++r) {
    auto& cells = Rows[size_t(r)]->Cells;
    for (size_t i = 0; i < cells.size(); ++i)
      if (!cells[i]->IsPlaceholder() && r + cells[i]->RowSpan <= rows) places.push_back({cells[i]->RowSpan, r, i});
  }
  std::stable_sort(places.begin(), places.end(), [](const TPlace& a, const TPlace& b) { return a.Span < b.Span; });
  for (const TPlace& p : places) {
    TCellObj& c = *Rows[size_t(p.Row)]->Cells[p.Index];
    const int r = p.Row, s = p.Span;
    c.Width = 0;
    for (int j = int(p.Index); j < std::min(int(p.Index) + c.ColSpan, ColumnCount); ++j)
      c.Width += ColumnWidths[size_t(j)];
    c.ContentHeight = c.MeasuredHeight(y, std::max(0, c.Width - d));
    int need = std::max(c.ContentHeight, c.GivenHeight - 2 * CellPadding + 2) + 2 * CellPadding + CellSpacing - 1;
    if (s == 1) {
      heights[size_t(r)] = std::max(heights[size_t(r)], need);
      continue;
    }
    int total = 0;
    for (int k = r; k < r + s; ++k) total += heights[size_t(k)];
    if (total < need) {
      int more = (need - total) / s;
      for (int k = r; k < r + s; ++k) heights[size_t(k)] += more;
      heights[size_t(r + s - 1)] += need - total - more * s;
    }
  }

  Height = 0;
  CaptionHeight = 0;
  int captionWidth;
  if (CaptionOnTop) {
    CaptionHeight = Caption->Content.Layout(y, OverallWidth, cursor, captionWidth);
    Height = CaptionHeight;
    y += CaptionHeight;
  }
  int body = 0;
  for (int r = 0; r < rows; ++r) {
    TCellList& row = *Rows[size_t(r)];
    row.RowHeight = heights[size_t(r)];
    row.Tallest = 0;
    for (auto& cp : row.Cells) {
      TCellObj& c = *cp;
      if (c.IsPlaceholder()) continue;
      c.Height = 0;
      for (int k = r; k < r + c.RowSpan; ++k) c.Height += heights[size_t(k)];
      row.Tallest = std::max(row.Tallest, c.Height);
      c.ContentTop = c.VAlign == 0 ? 0 : c.VAlign == 1 ? (c.Height - c.ContentHeight - d) / 2 : c.Height - c.ContentHeight - d;
      int w;
      c.Content.Layout(y + CellPadding + CellSpacing + c.ContentTop, std::max(0, c.Width - d), cursor, w);
    }
    y += row.RowHeight;
    body += row.RowHeight;
  }
  BodyHeight = body + CellSpacing;
  Height += BodyHeight;
  if (!CaptionOnTop) {
    CaptionHeight = Caption->Content.Layout(y + CellSpacing, OverallWidth, cursor, captionWidth);
    Height += CaptionHeight;
  }

  CaptionX = 0;
  if (OverallWidth < available) {
    if (Align == 2) CaptionX = (available - OverallWidth) / 2;
    if (Align == 3) CaptionX = available - OverallWidth;
  }
  CaptionX += left;
  TableX = CaptionX + (OverallWidth - TableWidth) / 2;
  CursorCount = cursor - FirstCursor;
  maxWidth = OverallWidth;
  PaintHeight = Height;
  if (Float) {
    im.AddFloatTable(Top, OverallWidth + HSpace + 1, Align, Height);
    Height = 0;
  }
  return Height;
}

void TDocTable::WidthRange(int& min, int& max) {
  TNesting nesting(Owner().TableDepth);
  PrepareGrid();
  TColumns mins, maxs;
  ColumnRanges(mins, maxs);
  min = max = CellSpacing;
  for (int i = 0; i < ColumnCount; ++i) min += mins[size_t(i)], max += maxs[size_t(i)];
  if (GivenWidth > 0 && !WidthIsPercent) {
    min = std::max(min, GivenWidth);
    max = std::max(max, GivenWidth);
  }
  int captionMin, captionMax;
  Caption->Content.WidthRange(captionMin, captionMax);
  min = std::max(min, captionMin);
  max = std::max(max, captionMin);
}

int TDocTable::Paint(IDocCanvas& canvas, const TRect& clip, IndentManager&, int x, int y) {
  TSectionOwner& owner = Owner();
  const int dy = -owner.YOffset;
  if (owner.Printing) {
    int page = clip.Height();
    if (y + dy > clip.Top + page / 2 && y + PaintHeight > owner.PageBottom && PaintHeight < page) {
      owner.PageBottom = std::min(owner.PageBottom, y);
      return y + Height;
    }
    if (y >= owner.PageBottom) return y + Height;
  }
  if (y + dy >= clip.Bottom || y + PaintHeight + dy <= clip.Top) return y + Height;
  PaintX = x + TableX;
  PaintY = y;
  int bodyTop = y;
  if (CaptionOnTop) {
    Caption->PaintX = x + CaptionX, Caption->PaintY = y;
    Caption->Content.Paint(canvas, clip, x + CaptionX, y);
    bodyTop = y + CaptionHeight;
  }
  TColor light = owner.Printing || ColorToRGB(owner.Background) == 0xFFFFFF ? clSilver : clBtnHighlight;
  const int cs = CellSpacing, cp = CellPadding;
  std::vector<TRect> holes;
  int cy = bodyTop;
  for (auto& row : Rows) {
    int cx = PaintX;
    for (size_t i = 0; i < row->Cells.size(); ++i) {
      TCellObj& c = *row->Cells[i];
      if (!c.IsPlaceholder()) {
        c.PaintX = cx, c.PaintY = cy;
        TRect box{cx + cs, cy + cs + dy, cx + c.Width + 1, cy + c.Height + 1 + dy};
        if (box.Intersects(clip)) {
          if (c.Content.BgGiven) canvas.FillRect(box, c.Content.BgColor);
          c.Content.Paint(canvas, clip, cx + cs + cp, cy + cs + cp + c.ContentTop);
          if (Border) Draw3DFrame(canvas, box, false, clBtnShadow, light);
          holes.push_back(box);
        }
      }
      if (i < size_t(kMaxTableColumns)) cx += ColumnWidths[i];
    }
    cy += row->RowHeight;
  }
  if (BorderColorGiven) {
    TRect table{PaintX, bodyTop + dy, PaintX + TableWidth, cy + cs + dy};
    TRect area{std::max(table.Left, clip.Left), std::max(table.Top, clip.Top), std::min(table.Right, clip.Right),
               std::min(table.Bottom, clip.Bottom)};
    for (const TRect& r : SubtractRects(area, holes)) canvas.FillRect(r, BorderColor);
  }
  if (Border) Draw3DFrame(canvas, {PaintX, bodyTop + dy, PaintX + TableWidth + 1, cy + cs + 1 + dy}, true, clBtnShadow, light);
  if (!CaptionOnTop) {
    Caption->PaintX = x + CaptionX, Caption->PaintY = bodyTop + BodyHeight;
    Caption->Content.Paint(canvas, clip, x + CaptionX, bodyTop + BodyHeight);
  }
  return y + Height;
}

// ---- Hit tests and the walk over the contents

TCellObj* TDocTable::CellAt(int x, int y) {
  if (y < PaintY || y >= PaintY + PaintHeight) return nullptr;
  int bodyTop = PaintY + (CaptionOnTop ? CaptionHeight : 0);
  if (CaptionOnTop ? y < bodyTop : y >= bodyTop + BodyHeight) return Caption.get();
  for (auto& row : Rows)
    for (auto& c : row->Cells)
      if (!c->IsPlaceholder() && Bounds(c->PaintX, c->PaintY, c->Width, c->Height).Contains({x, y})) return c.get();
  return nullptr;
}

bool TDocTable::LinkAt(int x, int y, TUrlTarget& link, TFormControlObj*& control) {
  TCellObj* c = CellAt(x, y);
  return c && c->Content.LinkAt(x, y, link, control);
}

int TDocTable::CursorAtPoint(int x, int y, int& xResult, int& yResult, int& caretHeight, bool& inText) {
  TCellObj* c = CellAt(x, y);
  return c ? c->Content.CursorAtPoint(x, y, xResult, yResult, caretHeight, inText) : -1;
}

template <class F>
bool TDocTable::EachContent(F&& f) {
  if (CaptionOnTop && f(Caption->Content)) return true;
  for (auto& row : Rows)
    for (auto& c : row->Cells)
      if (!c->IsPlaceholder() && f(c->Content)) return true;
  return !CaptionOnTop && f(Caption->Content);
}

int TDocTable::SearchText(int from, const std::string& text, bool matchCase) {
  int found = -1;
  EachContent([&](TCell& cell) { return (found = cell.SearchText(from, text, matchCase)) >= 0; });
  return found;
}

bool TDocTable::PointOfCursor(int cursor, int& x, int& y) {
  if (cursor < FirstCursor || cursor >= FirstCursor + CursorCount) return false;
  return EachContent([&](TCell& cell) { return cell.PointOfCursor(cursor, x, y); });
}

bool TDocTable::CharAtCursor(int cursor, char& c, TSectionBase*& section) {
  return EachContent([&](TCell& cell) { return cell.CharAtCursor(cursor, c, section); });
}

void TDocTable::AppendSelectedText(ITextSink& sink) {
  EachContent([&](TCell& cell) {
    cell.AppendSelectedText(sink);
    return false;
  });
}

void TDocTable::RefreshFonts() {
  EachContent([](TCell& cell) {
    cell.RefreshFonts();
    return false;
  });
}

// ---- Rectangle arithmetic

std::vector<TRect> SubtractRects(const TRect& area, const std::vector<TRect>& holes) {
  std::vector<TRect> out;
  if (area.Width() <= 0 || area.Height() <= 0) return out;
  std::vector<TRect> hs;
  std::vector<int> ys{area.Top, area.Bottom};
  for (const TRect& h : holes) {
    TRect c{std::max(h.Left, area.Left), std::max(h.Top, area.Top), std::min(h.Right, area.Right),
            std::min(h.Bottom, area.Bottom)};
    if (c.Width() <= 0 || c.Height() <= 0) continue;
    hs.push_back(c);
    ys.push_back(c.Top);
    ys.push_back(c.Bottom);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  std::sort(hs.begin(), hs.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
  std::vector<TRect> active;
  size_t next = 0;
  for (size_t k = 0; k + 1 < ys.size(); ++k) {
    int y0 = ys[k], y1 = ys[k + 1];
    std::erase_if(active, [y0](const TRect& h) { return h.Bottom <= y0; });
    while (next < hs.size() && hs[next].Top <= y0) active.push_back(hs[next++]);
    std::vector<std::pair<int, int>> spans;
    for (const TRect& h : active) spans.push_back({h.Left, h.Right});
    std::sort(spans.begin(), spans.end());
    int x = area.Left;
    for (auto [l, r] : spans) {
      if (l > x) out.push_back({x, y0, l, y1});
      x = std::max(x, r);
    }
    if (x < area.Right) out.push_back({x, y0, area.Right, y1});
  }
  return out;
}
