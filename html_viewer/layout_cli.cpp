#include "html_viewer/layout_cli.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "framework/core/sysutils.h"
#include "html_viewer/doc_sections.h"
#include "framework/core/streams.h"
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
      {"ALIGN", AlignSy},   {"ALT", AltSy},       {"BORDER", BorderSy}, {"CLEAR", ClearSy},
      {"COLOR", ColorSy},   {"COORDS", CoordsSy}, {"HEIGHT", HeightSy}, {"HREF", HrefSy},
      {"HSPACE", HSpaceSy}, {"ISMAP", IsMapSy},   {"NAME", NameSy},     {"NOHREF", NoHrefSy},
      {"SHAPE", ShapeSy},   {"SIZE", SizeSy},     {"SRC", SrcSy},       {"TARGET", TargetSy},
      {"TRANSP", TranspSy}, {"USEMAP", UseMapSy}, {"WIDTH", WidthSy},   {"LEVEL", LevelSy},
      {"B", UnknownSy},     {"I", UnknownSy},     {"U", UnknownSy},     {"SUB", UnknownSy},
      {"SUP", UnknownSy},   {"FIXED", UnknownSy}};
  return m;
}

// Attributes as in a tag: N=V, N="V" or a bare N. Style words (B, I ...) are kept by name.
TAttributeList ParseAttributes(const std::string& s, std::vector<std::string>& words) {
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
    if (a.Which == UnknownSy)
      words.push_back(name);
    else
      list.Add(a);
  }
  return list;
}

std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      q += '\\';
      q += char(c);
    } else if (c < 32 || c > 126) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      q += hex;
    } else {
      q += char(c);
    }
  }
  return q + "\"";
}

std::string Hex6(TColor c) {
  uint32_t rgb = ColorToRGB(c);
  char s[8];
  std::snprintf(s, sizeof s, "%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  return s;
}

// The document: blocks made by the script's calls, in order.
class TScriptDocument {
 public:
  explicit TScriptDocument(TSectionOwner& owner) : owner_(owner) {
    font_.Name = owner.FontName;
    font_.SetNominalSize(owner.FontSize, 12);
  }
  void Line(const std::string& line) {
    size_t sp = line.find(' ');
    std::string cmd = line.substr(0, sp), rest = sp == std::string::npos ? "" : line.substr(sp + 1);
    if (cmd == "text") {
      Open().AppendText(rest);
      return;
    }
    std::vector<std::string> words;
    TAttributeList attrs = ParseAttributes(rest, words);
    if (cmd == "p" || cmd == "pre") {
      int align = 1;
      if (auto a = attrs.Lookup(AlignSy)) {
        std::string v = LowerCase(a->Name);
        align = v == "left" ? 1 : v == "center" ? 2 : v == "right" ? 3 : 0;
        if (!align) throw TBadLine{"bad ALIGN " + a->Name};
      }
      int level = attrs.Lookup(LevelSy) ? attrs.Lookup(LevelSy)->Value : 0;
      if (level < 0 || level > 20) throw TBadLine{"bad LEVEL"};
      Close();
      const TUrlTarget* link = inLink_ ? &link_ : nullptr;
      if (cmd == "pre")
        open_ = std::make_unique<TPreFormated>(owner_, level, font_, link, align);
      else
        open_ = std::make_unique<TSection>(owner_, level, font_, link, align);
      open_->ReadClear(attrs);
    } else if (cmd == "font") {
      TMyFont f;
      f.Fixed = std::find(words.begin(), words.end(), "FIXED") != words.end();
      f.Name = f.Fixed ? owner_.PreFontName : owner_.FontName;
      int size = attrs.Lookup(SizeSy) ? attrs.Lookup(SizeSy)->Value : 12;
      if (size < 1 || size > 400) throw TBadLine{"bad SIZE"};
      f.SetNominalSize(owner_.FontSize, size);
      for (const std::string& w : words) {
        if (w == "B") f.Style |= dsBold;
        if (w == "I") f.Style |= dsItalic;
        if (w == "U") f.Style |= dsUnderline;
      }
      if (auto a = attrs.Lookup(ColorSy)) {
        std::string v = a->Name[0] == '#' ? a->Name.substr(1) : a->Name;
        if (v.size() != 6 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
          throw TBadLine{"bad COLOR " + a->Name};
        uint32_t rgb = uint32_t(std::strtoul(v.c_str(), nullptr, 16));
        f.Color = TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
      }
      bool sub = std::find(words.begin(), words.end(), "SUB") != words.end();
      bool sup = std::find(words.begin(), words.end(), "SUP") != words.end();
      owner_.CurrentSScript = sub ? 1 : sup ? 2 : 0;
      font_ = f;
      if (open_) open_->SwitchFont(font_);
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
      owner_.Maps.push_back(std::make_unique<TMapItem>(UpperCase(name->Name)));
    } else if (cmd == "area") {
      if (owner_.Maps.empty()) throw TBadLine{"area outside a map"};
      owner_.Maps.back()->AddAreaFromTag(attrs);
    } else {
      throw TBadLine{"unknown call " + cmd};
    }
  }
  void Close() {
    if (!open_) return;
    open_->Complete();
    blocks_.push_back(std::move(open_));
  }
  std::vector<std::unique_ptr<TSection>>& Blocks() { return blocks_; }

 private:
  TSection& Open() {
    if (!open_) throw TBadLine{"no open block"};
    return *open_;
  }
  TSectionOwner& owner_;
  TMyFont font_;
  TUrlTarget link_;
  bool inLink_ = false;
  std::unique_ptr<TSection> open_;
  std::vector<std::unique_ptr<TSection>> blocks_;
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

struct TQuery {
  std::string Kind, Arg;
};

}  // namespace

int RunLayoutCommand(const std::vector<std::string>& args, const TLayoutHost& host, std::ostream& out,
                     std::ostream& err) {
  const char* usage =
      "usage: layout_run [--width W] [--size S] [--fake] [--bmp FILE] [--link X,Y] [--cursor X,Y]"
      " [--find FROM,TEXT] [--select A,B]... SCRIPT\n";
  int width = 600, size = 12;
  bool fake = false;
  std::string bmp, script;
  std::vector<TQuery> queries;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool valued = a == "--width" || a == "--size" || a == "--bmp" || a == "--link" || a == "--cursor" ||
                  a == "--find" || a == "--select";
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
  TSectionOwner owner(measurer, host.Images ? *host.Images : PixelImagePlatform());
  owner.FontSize = size;
  std::string dir = ExtractFilePath(script);
  owner.ExpandName = [dir](const std::string& name) { return dir + name; };

  TMemoryStream text;
  try {
    text.LoadFromFile(script);
  } catch (const std::exception&) {
    err << "layout_run: " << script << ": cannot read the file\n";
    return 1;
  }
  std::string all(reinterpret_cast<const char*>(text.Memory()), size_t(text.Size()));
  TScriptDocument doc(owner);
  int lineNo = 0;
  for (size_t pos = 0; pos <= all.size();) {
    size_t nl = all.find('\n', pos);
    std::string line = all.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? all.size() + 1 : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    try {
      doc.Line(line);
    } catch (const TBadLine& bad) {
      err << "layout_run: line " << lineNo << ": " << bad.Reason << "\n";
      return 1;
    }
  }
  doc.Close();
  auto& blocks = doc.Blocks();

  // Lay out and paint as the document's body does.
  IndentManager im;
  im.ClearRecords();
  im.ResetEdges(0, width);
  int y = 0, cursor = 0, maxWidth = 0;
  for (auto& b : blocks) {
    int w = 0;
    y += b->Layout(y, im, w, cursor);
    maxWidth = std::max(maxWidth, w);
  }
  int height = std::max(y, im.FloatBottom());
  std::unique_ptr<IBitmapCanvas> bitmapCanvas;
  TNullCanvas nullCanvas;
  IDocCanvas* canvas = &nullCanvas;
  if (!bmp.empty()) {
    bitmapCanvas = host.MakeBitmapCanvas(std::max(width, maxWidth), std::max(height, 1), measurer);
    canvas = bitmapCanvas.get();
  }
  TRect clip{0, 0, std::max(width, maxWidth), std::max(height, 1)};
  im.ResetEdges(0, width);
  int py = 0;
  for (auto& b : blocks) py = b->Paint(*canvas, clip, im, 0, py);
  if (bitmapCanvas && !bitmapCanvas->SaveBmp(bmp)) {
    err << "layout_run: " << bmp << ": cannot write the picture\n";
    return 1;
  }

  out << "document height=" << height << " maxwidth=" << maxWidth << " cursors=" << cursor
      << " background=" << Hex6(owner.Background) << "\n";
  for (size_t n = 0; n < blocks.size(); ++n) {
    TSection& b = *blocks[n];
    out << "block n=" << n + 1 << " kind=" << (b.IsPreformatted() ? "pre" : "text") << " top=" << b.Top
        << " height=" << b.Height << " paint=" << b.PaintHeight << " first=" << b.FirstCursor
        << " count=" << b.CursorCount << "\n";
    int ly = b.Top;
    for (const LineRec& l : b.Lines()) {
      out << "line block=" << n + 1 << " x=" << l.LineIndent << " y=" << ly << " width=" << l.Width
          << " above=" << l.SpaceAbove << " height=" << l.LineHt << " below=" << l.SpaceBelow
          << " chars=" << l.Chars << " text=" << Quote(b.Buffer().substr(size_t(l.Start), size_t(l.Chars))) << "\n";
      ly += l.Advance();
    }
    for (int i = 0; i < b.Images().Count(); ++i) {
      const TImageObj& img = b.Images().Image(i);
      out << "image block=" << n + 1 << " x=" << img.DrawX << " y=" << img.DrawY << " width=" << img.ImageWidth
          << " height=" << img.ImageHeight << "\n";
    }
  }
  for (const TQuery& q : queries) {
    int a = 0, c = 0;
    if (q.Kind == "--link") {
      Pair(q.Arg, a, c);
      TUrlTarget link;
      bool found = false;
      int top = 0;
      for (auto& b : blocks) {
        if (c >= top && c < top + b->PaintHeight && b->LinkAt(a, c, link)) {
          found = true;
          break;
        }
        top += b->Height;
      }
      out << "link " << q.Arg;
      if (found)
        out << " href=" << Quote(link.Url) << " target=" << Quote(link.Target) << "\n";
      else
        out << " none\n";
    } else if (q.Kind == "--cursor") {
      Pair(q.Arg, a, c);
      int result = -1, top = 0;
      for (auto& b : blocks) {
        if (c < top + b->Height) {
          int xr, yr, caret;
          bool inText;
          result = b->CursorAtPoint(a, c, xr, yr, caret, inText);
          break;
        }
        top += b->Height;
      }
      out << "cursor " << q.Arg << " " << result << "\n";
    } else if (q.Kind == "--find") {
      size_t comma = q.Arg.find(',');
      int from = StrToIntDef(q.Arg.substr(0, comma), 0), result = -1;
      for (auto& b : blocks)
        if ((result = b->SearchText(from, q.Arg.substr(comma + 1), false)) >= 0) break;
      out << "find " << from << " " << result << "\n";
    } else {
      Pair(q.Arg, a, c);
      owner.SelBegin = a, owner.SelEnd = c;
      TSelectionText sel;
      for (auto& b : blocks) {
        if (b->FirstCursor >= c) break;
        if (b->FirstCursor + b->CursorCount > a) b->AppendSelectedText(sel);
      }
      out << "selected " << q.Arg << " count=" << sel.Count() << " text=" << Quote(sel.Text()) << "\n";
    }
  }
  return 0;
}
