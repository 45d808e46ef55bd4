#include "html_viewer/layout_cli.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "html_viewer/cli_quote.h"
#include "html_viewer/doc_blocks.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_table.h"
#include "platform/file.h"

namespace {

class TNullCanvas : public IDocCanvas {
 public:
  void TextOut(int, int, const TMyFont&, TColor, const char*, int, bool, TColor) override {}
  void FillRect(const TRect&, TColor) override {}
  void FrameRect(const TRect&, TColor) override {}
  void Line(int, int, int, int, TColor) override {}
  void Ellipse(const TRect&, TColor, TColor) override {}
  void DrawImage(TViewerImage&, TViewerImage*, const TRect&, bool) override {}
  void DrawGif(TGIFImage&, const TRect&) override {}
  void SetClip(const TRect*) override {}
};

struct TBadLine {
  std::string Reason;
};

const std::map<std::string, TAttrSymbol>& Symbols() {
  static const std::map<std::string, TAttrSymbol> m = {
      {"ALIGN", AlignSy},         {"ALT", AltSy},           {"BORDER", BorderSy},
      {"CLEAR", ClearSy},         {"COLOR", ColorSy},       {"COORDS", CoordsSy},
      {"HEIGHT", HeightSy},       {"HREF", HrefSy},         {"HSPACE", HSpaceSy},
      {"ISMAP", IsMapSy},         {"NAME", NameSy},         {"NOHREF", NoHrefSy},
      {"SHAPE", ShapeSy},         {"SIZE", SizeSy},         {"SRC", SrcSy},
      {"TARGET", TargetSy},       {"TRANSP", TranspSy},     {"USEMAP", UseMapSy},
      {"WIDTH", WidthSy},         {"LEVEL", LevelSy},       {"ACTION", ActionSy},
      {"BGCOLOR", BgColorSy},     {"BORDERCOLOR", BorderColorSy}, {"CELLPADDING", CellPaddingSy},
      {"CELLSPACING", CellSpacingSy}, {"CHECKED", CheckedSy}, {"COLSPAN", ColSpanSy},
      {"COLS", ColsSy},           {"MAXLENGTH", MaxLengthSy}, {"METHOD", MethodSy},
      {"MULTIPLE", MultipleSy},   {"PLAIN", PlainSy},       {"ROWSPAN", RowSpanSy},
      {"ROWS", RowsSy},           {"SELECTED", SelectedSy}, {"START", StartSy},
      {"TEXT", TextSy},           {"TYPE", TypeSy},         {"VALIGN", VAlignSy},
      {"VALUE", ValueSy},         {"KIND", UnknownSy},      {"NUMBER", UnknownSy},
      {"B", UnknownSy},           {"I", UnknownSy},         {"U", UnknownSy},
      {"SUB", UnknownSy},         {"SUP", UnknownSy},       {"FIXED", UnknownSy}};
  return m;
}

// Attributes as in a tag: N=V, N="V" or a bare N. Style words (B, I ...) are kept by name,
// and the driver's own KIND and NUMBER with their values.
TAttributeList ParseAttributes(const std::string& s, std::vector<std::string>& words,
                               std::map<std::string, std::string>* own = nullptr) {
  TAttributeList list;
  size_t i = 0;
  while (true) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) break;
    size_t n = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '=') ++i;
    std::string name = UpperCase(s.substr(n, i - n));
    auto sym = Symbols().find(name);
    if (name.empty() || sym == Symbols().end()) throw TBadLine{"unknown attribute " + s.substr(n, i - n)};
    TAttribute a;
    a.Which = sym->second;
    if (i < s.size() && s[i] == '=') {
      ++i;
      if (i < s.size() && s[i] == '"') {
        size_t close = s.find('"', i + 1);
        if (close == std::string::npos) throw TBadLine{"unterminated quote"};
        a.Name = s.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        size_t v = i;
        while (i < s.size() && s[i] != ' ') ++i;
        a.Name = s.substr(v, i - v);
      }
      a.Value = int32_t(std::strtol(a.Name.c_str(), nullptr, 10));
    } else {
      a.Value = a.Which == BorderSy ? 1 : 0;
    }
    if (a.Which != UnknownSy)
      list.Add(a);
    else if (own && (name == "KIND" || name == "NUMBER"))
      (*own)[name] = a.Name;
    else
      words.push_back(name);
  }
  return list;
}

std::string Hex6(TColor c) {
  uint32_t rgb = ColorToRGB(c);
  char s[8];
  std::snprintf(s, sizeof s, "%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  return s;
}

bool HexColour(const std::string& v, TColor& colour) {
  if (v.size() != 6 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  uint32_t rgb = uint32_t(std::strtoul(v.c_str(), nullptr, 16));
  colour = TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
  return true;
}

bool Integer(const std::string& s, int& value) {
  if (s.empty()) return false;
  char* end;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != 0 || v < -1000000000 || v > 1000000000) return false;
  value = int(v);
  return true;
}

// The document: blocks made by the script's calls, in order, in the cell the script is in.
class TScriptDocument {
 public:
  explicit TScriptDocument(TSectionList& list) : list_(list) {
    font_.Name = list.FontName;
    font_.SetNominalSize(list.FontSize, 12);
  }

  void Line(const std::string& line) {
    size_t sp = line.find(' ');
    std::string cmd = line.substr(0, sp), rest = sp == std::string::npos ? "" : line.substr(sp + 1);
    if (cmd == "text") {
      Open().AppendText(rest);
      return;
    }
    if (cmd == "line") {
      if (!textArea_) throw TBadLine{"line outside a textarea"};
      textArea_->AddLine(rest);
      return;
    }
    if (cmd == "heading") {
      int level;
      if (!Integer(rest, level)) throw TBadLine{"bad heading level"};
      Close();
      Cell().AddSection(std::make_unique<THeadingSpace>(list_, level));
      return;
    }
    std::vector<std::string> words;
    std::map<std::string, std::string> own;
    TAttributeList attrs = ParseAttributes(rest, words, &own);
    auto has = [&](const char* w) { return std::find(words.begin(), words.end(), w) != words.end(); };
    if (cmd == "p" || cmd == "pre") {
      int align = 1;
      if (auto a = attrs.Lookup(AlignSy)) {
        std::string v = LowerCase(a->Name);
        align = v == "left" ? 1 : v == "center" ? 2 : v == "right" ? 3 : 0;
        if (!align) throw TBadLine{"bad ALIGN " + a->Name};
      }
      int level = Level(attrs, 0);
      Close();
      if (cmd == "pre")
        open_ = std::make_unique<TPreFormated>(list_, level, font_, Link(), align);
      else
        open_ = std::make_unique<TSection>(list_, level, font_, Link(), align);
      open_->ReadClear(attrs);
    } else if (cmd == "li") {
      int level = Level(attrs, 1), number = 1;
      std::string kind = LowerCase(own["KIND"]);
      if (own.count("NUMBER") && !Integer(own["NUMBER"], number)) throw TBadLine{"bad NUMBER"};
      Close();
      if (kind == "ul") {
        open_ = std::make_unique<TUListItem>(list_, level, font_, Link(), attrs.Lookup(PlainSy) != nullptr);
      } else if (kind == "ol") {
        const TAttribute* type = attrs.Lookup(TypeSy);
        char style = type && !type->Name.empty() ? type->Name[0] : '1';
        open_ = std::make_unique<TOListItem>(list_, level, font_, Link(), style, number);
      } else if (kind == "dl") {
        open_ = std::make_unique<TDListItem>(list_, level, font_, Link());
      } else {
        throw TBadLine{"li needs KIND=ul, ol or dl"};
      }
    } else if (cmd == "space") {
      Close();
      Cell().AddSection(std::make_unique<TParagraphSpace>(list_));
    } else if (cmd == "hr") {
      Close();
      Cell().AddSection(std::make_unique<THorzLine>(list_, attrs));
    } else if (cmd == "font") {
      Font(attrs, words, has("FIXED"), has("SUB"), has("SUP"));
    } else if (cmd == "a") {
      const TAttribute* href = attrs.Lookup(HrefSy);
      if (!href) throw TBadLine{"a needs HREF"};
      link_.Url = href->Name;
      link_.Target = attrs.Lookup(TargetSy) ? attrs.Lookup(TargetSy)->Name : "";
      inLink_ = true;
      Open().SwitchLink(font_, &link_);
    } else if (cmd == "/a") {
      inLink_ = false;
      link_.ClearLink();
      Open().SwitchLink(font_, nullptr);
    } else if (cmd == "img") {
      Open().InsertImage(attrs);
    } else if (cmd == "map") {
      const TAttribute* name = attrs.Lookup(NameSy);
      if (!name) throw TBadLine{"map needs NAME"};
      list_.Maps.push_back(std::make_unique<TMapItem>(UpperCase(name->Name)));
    } else if (cmd == "area") {
      if (list_.Maps.empty()) throw TBadLine{"area outside a map"};
      list_.Maps.back()->AddAreaFromTag(attrs);
    } else if (cmd == "table") {
      Close();
      TCell& enclosing = Cell();
      frames_.push_back({std::make_unique<TDocTable>(list_, Level(attrs, 0), &enclosing, 1, attrs), nullptr, nullptr});
      NewRow(TAttributeList());
    } else if (cmd == "tr") {
      TFrame& f = Frame();
      Close();
      f.Cell = nullptr;
      if (f.Row->Cells.empty())
        f.Table->Rows.pop_back();
      NewRow(attrs);
    } else if (cmd == "td") {
      TFrame& f = Frame();
      Close();
      int valign = 1;
      if (auto a = attrs.Lookup(VAlignSy)) {
        std::string v = LowerCase(a->Name);
        valign = v == "top" ? 0 : v == "middle" ? 1 : v == "bottom" ? 2 : -1;
        if (valign < 0) throw TBadLine{"bad VALIGN " + a->Name};
      }
      f.Row->Cells.push_back(std::make_unique<TCellObj>(list_, valign, attrs));
      f.Cell = &f.Row->Cells.back()->Content;
    } else if (cmd == "caption") {
      TFrame& f = Frame();
      Close();
      if (auto a = attrs.Lookup(AlignSy)) {
        if (LowerCase(a->Name) != "bottom") throw TBadLine{"bad ALIGN " + a->Name};
        f.Table->CaptionOnTop = false;
      }
      f.Cell = &f.Table->Caption->Content;
    } else if (cmd == "/table") {
      Frame();
      Close();
      std::unique_ptr<TDocTable> table = std::move(frames_.back().Table);
      frames_.pop_back();
      Cell().AddSection(std::move(table));
    } else if (cmd == "form") {
      list_.CurrentForm = &TDocForm::Create(list_, attrs);
    } else if (cmd == "/form") {
      list_.CurrentForm = nullptr;
    } else if (cmd == "input") {
      InsertFormControl(Open(), list_, &Cell(), TFormElement::feInput, attrs);
    } else if (cmd == "select") {
      select_ = dynamic_cast<TListBoxFormControlObj*>(
          InsertFormControl(Open(), list_, &Cell(), TFormElement::feSelect, attrs));
    } else if (cmd == "option") {
      if (!select_) throw TBadLine{"option outside a select"};
      const TAttribute* text = attrs.Lookup(TextSy);
      const TAttribute* value = attrs.Lookup(ValueSy);
      select_->AddOption(text ? text->Name : "", value ? value->Name : "", attrs.Lookup(SelectedSy) != nullptr);
    } else if (cmd == "/select") {
      if (!select_) throw TBadLine{"/select outside a select"};
      select_->Restore();
      select_ = nullptr;
    } else if (cmd == "textarea") {
      textArea_ = dynamic_cast<TTextAreaFormControlObj*>(
          InsertFormControl(Open(), list_, &Cell(), TFormElement::feTextArea, attrs));
    } else if (cmd == "/textarea") {
      if (!textArea_) throw TBadLine{"/textarea outside a textarea"};
      textArea_->Restore();
      textArea_ = nullptr;
    } else {
      throw TBadLine{"unknown call " + cmd};
    }
  }

  // Ends the script: the open block goes into its cell; every table must be closed.
  void Finish() {
    Close();
    if (!frames_.empty()) throw TBadLine{"table not closed"};
  }

 private:
  struct TFrame {
    std::unique_ptr<TDocTable> Table;
    TCellList* Row;
    TCell* Cell;  // null between cells
  };

  TSection& Open() {
    if (!open_) throw TBadLine{"no open block"};
    return *open_;
  }
  TCell& Cell() {
    if (frames_.empty()) return list_;
    if (!frames_.back().Cell) throw TBadLine{"no open cell"};
    return *frames_.back().Cell;
  }
  TFrame& Frame() {
    if (frames_.empty()) throw TBadLine{"no open table"};
    return frames_.back();
  }
  void NewRow(const TAttributeList& attrs) {
    TFrame& f = frames_.back();
    f.Table->Rows.push_back(std::make_unique<TCellList>(attrs));
    f.Row = f.Table->Rows.back().get();
  }
  void Close() {
    if (!open_) return;
    open_->Complete();
    Cell().AddSection(std::move(open_));
  }
  const TUrlTarget* Link() const { return inLink_ ? &link_ : nullptr; }
  static int Level(const TAttributeList& attrs, int def) {
    int level = attrs.Lookup(LevelSy) ? attrs.Lookup(LevelSy)->Value : def;
    if (level < 0 || level > 20) throw TBadLine{"bad LEVEL"};
    return level;
  }
  void Font(const TAttributeList& attrs, const std::vector<std::string>& words, bool fixed, bool sub, bool sup) {
    TMyFont f;
    f.Fixed = fixed;
    f.Name = f.Fixed ? list_.PreFontName : list_.FontName;
    int size = attrs.Lookup(SizeSy) ? attrs.Lookup(SizeSy)->Value : 12;
    if (size < 1 || size > 400) throw TBadLine{"bad SIZE"};
    f.SetNominalSize(list_.FontSize, size);
    for (const std::string& w : words) {
      if (w == "B") f.Style |= dsBold;
      if (w == "I") f.Style |= dsItalic;
      if (w == "U") f.Style |= dsUnderline;
    }
    if (auto a = attrs.Lookup(ColorSy))
      if (!HexColour(a->Name[0] == '#' ? a->Name.substr(1) : a->Name, f.Color)) throw TBadLine{"bad COLOR " + a->Name};
    list_.CurrentSScript = sub ? 1 : sup ? 2 : 0;
    font_ = f;
    if (open_) open_->SwitchFont(font_);
  }

  TSectionList& list_;
  TMyFont font_;
  TUrlTarget link_;
  bool inLink_ = false;
  std::unique_ptr<TSection> open_;
  std::vector<TFrame> frames_;
  TListBoxFormControlObj* select_ = nullptr;
  TTextAreaFormControlObj* textArea_ = nullptr;
};

bool Pair(const std::string& s, int& a, int& b) {
  size_t comma = s.find(',');
  if (comma == std::string::npos) return false;
  char* end;
  a = int(std::strtol(s.c_str(), &end, 10));
  if (end != s.c_str() + comma || comma == 0) return false;
  const char* second = s.c_str() + comma + 1;
  b = int(std::strtol(second, &end, 10));
  return *second != 0 && *end == 0;
}

const char* KindOf(const TSectionBase& b) {
  if (dynamic_cast<const TOListItem*>(&b)) return "ol";
  if (dynamic_cast<const TUListItem*>(&b)) return "ul";
  if (dynamic_cast<const TDListItem*>(&b)) return "dl";
  if (auto* s = dynamic_cast<const TSection*>(&b)) return s->IsPreformatted() ? "pre" : "text";
  if (dynamic_cast<const TParagraphSpace*>(&b)) return "para";
  if (dynamic_cast<const THeadingSpace*>(&b)) return "heading";
  if (dynamic_cast<const THorzLine*>(&b)) return "hr";
  if (dynamic_cast<const TDocTable*>(&b)) return "table";
  if (dynamic_cast<const TPage*>(&b)) return "page";
  return "block";
}

void DumpText(TSection& b, int n, std::ostream& out) {
  if (auto* ol = dynamic_cast<TOListItem*>(&b); ol && ol->MarkerDrawn)
    out << "marker block=" << n << " x=" << ol->MarkerX << " text=" << QuoteText(ol->MarkerText) << "\n";
  if (auto* ul = dynamic_cast<TUListItem*>(&b); ul && ul->BulletDrawn)
    out << "bullet block=" << n << " x=" << ul->BulletCentre.X << " y=" << ul->BulletCentre.Y
        << " fill=" << (ul->BulletFill == clNone ? "none" : Hex6(ul->BulletFill))
        << " outline=" << Hex6(ul->BulletOutline) << "\n";
  int ly = b.Top;
  for (const LineRec& l : b.Lines()) {
    out << "line block=" << n << " x=" << l.LineIndent << " y=" << ly << " width=" << l.Width
        << " above=" << l.SpaceAbove << " height=" << l.LineHt << " below=" << l.SpaceBelow << " chars=" << l.Chars
        << " text=" << QuoteText(b.Buffer().substr(size_t(l.Start), size_t(l.Chars))) << "\n";
    ly += l.Advance();
  }
  for (int i = 0; i < b.Images().Count(); ++i) {
    const TImageObj& img = b.Images().Image(i);
    out << "image block=" << n << " x=" << img.DrawX << " y=" << img.DrawY << " width=" << img.ImageWidth
        << " height=" << img.ImageHeight << "\n";
  }
  for (const auto& [pos, control] : b.Controls()) {
    if (!control->HasWindow()) continue;
    TRect r = control->Window()->Bounds();
    out << "control block=" << n << " kind=" << control->KindName() << " x=" << r.Left << " y=" << r.Top
        << " width=" << r.Width() << " height=" << r.Height() << "\n";
  }
}

void DumpCell(TCell& cell, int& n, std::ostream& out);

void DumpTable(TDocTable& t, int n, int& next, std::ostream& out) {
  out << "table block=" << n << " x=" << t.PaintX << " width=" << t.TableWidth << " overall=" << t.OverallWidth
      << " columns=";
  for (int i = 0; i < t.ColumnCount; ++i) out << (i ? "," : "") << t.ColumnWidths[size_t(i)];
  out << "\n";
  auto caption = [&] {
    TCellObj& c = *t.Caption;
    if (c.Content.Count() == 0) return;
    out << "cell block=" << n << " row=0 col=0 x=" << c.PaintX << " y=" << c.PaintY << " width=" << t.OverallWidth
        << " height=" << t.CaptionHeight << " content-top=0\n";
    DumpCell(c.Content, next, out);
  };
  if (t.CaptionOnTop) caption();
  for (size_t r = 0; r < t.Rows.size(); ++r) {
    auto& cells = t.Rows[r]->Cells;
    for (size_t i = 0; i < cells.size(); ++i) {
      TCellObj& c = *cells[i];
      if (c.IsPlaceholder()) continue;
      out << "cell block=" << n << " row=" << r + 1 << " col=" << i + 1 << " x=" << c.PaintX << " y=" << c.PaintY
          << " width=" << c.Width << " height=" << c.Height << " content-top=" << c.ContentTop << "\n";
      DumpCell(c.Content, next, out);
    }
  }
  if (!t.CaptionOnTop) caption();
}

void DumpCell(TCell& cell, int& n, std::ostream& out) {
  for (int i = 0; i < cell.Count(); ++i) {
    TSectionBase& b = cell.Section(i);
    int me = ++n;
    out << "block n=" << me << " kind=" << KindOf(b) << " top=" << b.Top << " height=" << b.Height
        << " paint=" << b.PaintHeight << " first=" << b.FirstCursor << " count=" << b.CursorCount << "\n";
    if (auto* s = dynamic_cast<TSection*>(&b)) {
      DumpText(*s, me, out);
    } else if (auto* hr = dynamic_cast<THorzLine*>(&b)) {
      out << "rule block=" << me << " x=" << hr->RuleRect.Left << " y=" << hr->RuleRect.Top
          << " width=" << hr->RuleRect.Width() << " thickness=" << hr->Thickness
          << " colour=" << (hr->ColourGiven ? Hex6(hr->Colour) : "sunken") << "\n";
    } else if (auto* t = dynamic_cast<TDocTable*>(&b)) {
      DumpTable(*t, me, n, out);
    }
  }
}

struct TQuery {
  std::string Kind, Arg;
};

// The n-th control (1-based, document order) that pick accepts; null when there is none.
template <class Pick>
TMemoryControl* NthControl(TSectionList& list, int n, Pick pick) {
  for (TFormControlObj* c : list.FormControls)
    if (pick(*c) && --n == 0) return dynamic_cast<TMemoryControl*>(c->Window());
  return nullptr;
}

}  // namespace

bool ReadLayoutScript(TSectionList& list, const std::string& script, std::string& error) {
  TScriptDocument doc(list);
  int lineNo = 0;
  try {
    for (size_t pos = 0; pos <= script.size();) {
      size_t nl = script.find('\n', pos);
      std::string line = script.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      pos = nl == std::string::npos ? script.size() + 1 : nl + 1;
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      doc.Line(line);
    }
    doc.Finish();
  } catch (const TBadLine& bad) {
    error = "line " + std::to_string(lineNo) + ": " + bad.Reason;
    return false;
  }
  return true;
}

void DumpLayout(TSectionList& list, int height, int maxWidth, int cursors, const std::vector<std::string>& messages,
                std::ostream& out) {
  out << "document height=" << height << " maxwidth=" << maxWidth << " cursors=" << cursors << " background="
      << (list.Background == clBtnFace ? "btnface" : Hex6(list.Background)) << "\n";
  for (const std::string& m : messages) out << "message text=" << QuoteText(m) << "\n";
  int n = 0;
  DumpCell(list, n, out);
}

int RunLayoutCommand(const std::vector<std::string>& args, const TLayoutHost& host, std::ostream& out,
                     std::ostream& err) {
  const char* usage =
      "usage: layout_run [--width W] [--size S] [--background RRGGBB] [--fake] [--bmp FILE] [--link X,Y]"
      " [--cursor X,Y] [--find FROM,TEXT] [--select A,B] [--submit N] [--enter N]... SCRIPT\n";
  int width = 600, size = 12;
  TColor background = clBtnFace;
  bool fake = false;
  std::string bmp, script;
  std::vector<TQuery> queries;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool valued = a == "--width" || a == "--size" || a == "--bmp" || a == "--link" || a == "--cursor" ||
                  a == "--find" || a == "--select" || a == "--background" || a == "--submit" || a == "--enter";
    if (a == "--fake") {
      fake = true;
    } else if (valued) {
      if (i + 1 >= args.size()) return err << usage, 2;
      const std::string& v = args[++i];
      int x, y;
      if (a == "--width" || a == "--size") {
        int n = StrToIntDef(v, 0);
        if (n < 1 || n > 32000) return err << usage, 2;
        (a == "--width" ? width : size) = n;
      } else if (a == "--bmp") {
        bmp = v;
      } else if (a == "--background") {
        if (!HexColour(v, background)) return err << usage, 2;
      } else if (a == "--submit" || a == "--enter") {
        if (!Integer(v, x) || x < 1) return err << usage, 2;
        queries.push_back({a, v});
      } else if (a == "--find" ? v.find(',') == std::string::npos || v.find(',') == 0 : !Pair(v, x, y)) {
        return err << usage, 2;
      } else {
        queries.push_back({a, v});
      }
    } else if (script.empty() && a.compare(0, 2, "--") != 0) {
      script = a;
    } else {
      return err << usage, 2;
    }
  }
  if (script.empty() || (!bmp.empty() && !host.MakeBitmapCanvas)) return err << usage, 2;

  TFakeMeasurer fakeMeasurer;
  ITextMeasurer& measurer = fake || !host.Screen ? static_cast<ITextMeasurer&>(fakeMeasurer) : *host.Screen;
  TMemorySurface surface({0, 0, width, 32000});
  TManualTimer timer;
  TErrorList errors;
  TSectionList list(measurer, surface, timer, errors, host.Images ? *host.Images : PixelImagePlatform());
  list.FontSize = size;
  list.ChangeBackgroundColour(background);
  std::string dir = ExtractFilePath(script);
  list.ExpandName = [dir](const std::string& name) { return dir + name; };

  TMemoryStream text;
  try {
    text.LoadFromFile(script);
  } catch (const std::exception&) {
    err << "layout_run: " << script << ": cannot read the file\n";
    return 1;
  }
  std::string error;
  if (!ReadLayoutScript(list, std::string(reinterpret_cast<const char*>(text.Memory()), size_t(text.Size())),
                        error)) {
    err << "layout_run: " << error << "\n";
    return 1;
  }

  int cursor = 0, maxWidth = 0;
  int height = list.Layout(0, width, cursor, maxWidth);
  std::unique_ptr<IBitmapCanvas> bitmapCanvas;
  TNullCanvas nullCanvas;
  IDocCanvas* canvas = &nullCanvas;
  if (!bmp.empty()) {
    bitmapCanvas = host.MakeBitmapCanvas(std::max(width, maxWidth), std::max(height, 1), measurer);
    canvas = bitmapCanvas.get();
    canvas->FillRect({0, 0, std::max(width, maxWidth), std::max(height, 1)}, background);
  }
  list.Paint(*canvas, {0, 0, std::max(width, maxWidth), std::max(height, 1)}, 0, 0);
  if (bitmapCanvas && !bitmapCanvas->SaveBmp(bmp)) {
    err << "layout_run: " << bmp << ": cannot write the picture\n";
    return 1;
  }
  DumpLayout(list, height, maxWidth, cursor, errors.Texts, out);

  bool submitted = false;
  list.OnFormSubmit = [&](const std::string& action, const std::string& method,
                          const std::vector<std::string>& results) {
    submitted = true;
    out << "submit action=" << QuoteText(action) << " method=" << QuoteText(method) << "\n";
    for (const std::string& r : results) out << "pair text=" << QuoteText(r) << "\n";
  };
  for (const TQuery& q : queries) {
    int a = 0, c = 0;
    if (q.Kind == "--link") {
      Pair(q.Arg, a, c);
      TUrlTarget link;
      TFormControlObj* control = nullptr;
      out << "link " << q.Arg;
      if (list.LinkAt(a, c, link, control))
        out << " href=" << QuoteText(link.Url) << " target=" << QuoteText(link.Target) << "\n";
      else
        out << " none\n";
    } else if (q.Kind == "--cursor") {
      Pair(q.Arg, a, c);
      int xr, yr, caret;
      bool inText;
      out << "cursor " << q.Arg << " " << list.CursorAtPoint(a, c, xr, yr, caret, inText) << "\n";
    } else if (q.Kind == "--find") {
      size_t comma = q.Arg.find(',');
      int from = StrToIntDef(q.Arg.substr(0, comma), 0);
      out << "find " << from << " " << list.SearchText(from, q.Arg.substr(comma + 1), false) << "\n";
    } else if (q.Kind == "--select") {
      Pair(q.Arg, a, c);
      list.SelBegin = a, list.SelEnd = c;
      TSelectionText sel;
      list.AppendSelectedText(sel);
      out << "selected " << q.Arg << " count=" << sel.Count() << " text=" << QuoteText(sel.Text()) << "\n";
    } else {
      int n = StrToIntDef(q.Arg, 0);
      submitted = false;
      if (q.Kind == "--submit") {
        auto isSubmit = [](const TFormControlObj& f) {
          auto* b = dynamic_cast<const TButtonFormControlObj*>(&f);
          return b && b->Which == TButtonFormControlObj::bSubmit;
        };
        if (TMemoryControl* button = NthControl(list, n, isSubmit)) button->Click();
      } else {
        auto isText = [](const TFormControlObj& f) { return dynamic_cast<const TEditFormControlObj*>(&f) != nullptr; };
        if (TMemoryControl* field = NthControl(list, n, isText)) field->Press(kKeyReturn);
      }
      if (!submitted) out << "submit none\n";
    }
  }
  return 0;
}
