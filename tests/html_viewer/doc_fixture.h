#pragma once
// A document over the fake measurer (12 points: characters 10 px wide, lines 16 high), with
// form controls in memory, a timer that ticks when told and a canvas that records what is
// drawn, for the tests of blocks, cells, tables and forms.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "html_viewer/doc_blocks.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_table.h"

namespace doctest {

inline TAttributeList Attrs(std::initializer_list<std::pair<TAttrSymbol, const char*>> list) {
  TAttributeList a;
  for (auto [sym, text] : list) a.Add({sym, int32_t(std::atoi(text)), text});
  return a;
}

class RecordingCanvas : public IDocCanvas {
 public:
  struct Text {
    int x, baseline;
    std::string text;
    TColor colour;
  };
  struct Shape {
    TRect r;
    TColor a, b;  // fill / pen and fill / colour
  };
  struct Segment {
    int x1, y1, x2, y2;
    TColor colour;
  };
  std::vector<Text> texts;
  std::vector<Shape> fills, ellipses;
  std::vector<Segment> lines;
  bool printing = false;
  void TextOut(int x, int baseline, const TMyFont&, TColor colour, const char* t, int n, bool, TColor) override {
    texts.push_back({x, baseline, std::string(t, size_t(n)), colour});
  }
  void FillRect(const TRect& r, TColor c) override { fills.push_back({r, c, c}); }
  void FrameRect(const TRect&, TColor) override {}
  void Line(int x1, int y1, int x2, int y2, TColor c) override { lines.push_back({x1, y1, x2, y2, c}); }
  void Ellipse(const TRect& r, TColor pen, TColor fill) override { ellipses.push_back({r, pen, fill}); }
  void DrawImage(TViewerImage&, TViewerImage*, const TRect&, bool) override {}
  void DrawGif(TGIFImage&, const TRect&) override {}
  void SetClip(const TRect*) override {}
  bool Printing() const override { return printing; }
  void Clear() { texts.clear(), fills.clear(), ellipses.clear(), lines.clear(); }
};

// The document and what it stands on.
struct Doc {
  Doc() : list(measurer, surface, timer, errors) {
    font.SetNominalSize(12, 12);
    list.Background = clBtnFace;
  }
  // A text block with text, added to the cell (the document when null).
  TSection& Text(const std::string& text, TCell* cell = nullptr, int level = 0) {
    auto s = std::make_unique<TSection>(list, level, font, nullptr, 1);
    TSection& ref = *s;
    if (!text.empty()) s->AppendText(text);
    s->Complete();
    (cell ? *cell : static_cast<TCell&>(list)).AddSection(std::move(s));
    return ref;
  }
  // A table added to the cell (the document when null), with its first row.
  TDocTable& Table(const TAttributeList& attributes, TCell* cell = nullptr) {
    TCell& into = cell ? *cell : static_cast<TCell&>(list);
    auto t = std::make_unique<TDocTable>(list, 0, &into, 1, attributes);
    TDocTable& ref = *t;
    t->Rows.push_back(std::make_unique<TCellList>(TAttributeList()));
    into.AddSection(std::move(t));
    return ref;
  }
  static void Row(TDocTable& t, const TAttributeList& attributes = {}) {
    t.Rows.push_back(std::make_unique<TCellList>(attributes));
  }
  // A cell at the end of the table's last row (valign middle unless given).
  TCellObj& Cell(TDocTable& t, const TAttributeList& attributes = {}, int valign = 1) {
    t.Rows.back()->Cells.push_back(std::make_unique<TCellObj>(list, valign, attributes));
    return *t.Rows.back()->Cells.back();
  }
  int Layout(int width) {
    int cursor = 0;
    height = list.Layout(0, width, cursor, maxWidth);
    cursors = cursor;
    return height;
  }
  void Paint(TRect clip = {0, 0, 2000, 100000}) {
    canvas.Clear();
    list.Paint(canvas, clip, 0, 0);
  }

  TFakeMeasurer measurer;
  TMemorySurface surface;
  TManualTimer timer;
  TErrorList errors;
  TSectionList list;
  TMyFont font;
  RecordingCanvas canvas;
  int height = 0, maxWidth = 0, cursors = 0;
};

}  // namespace doctest
