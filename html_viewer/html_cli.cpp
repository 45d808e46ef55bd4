#include "html_viewer/html_cli.h"

#include <cstdio>

#include "html_viewer/doc_blocks.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_frames.h"
#include "html_viewer/doc_reader.h"
#include "html_viewer/doc_table.h"
#include "platform/file.h"

namespace {

std::string Pad(int indent) { return std::string(size_t(indent), ' '); }

std::string Rgb(TColor c) {
  char s[8];
  std::snprintf(s, sizeof s, "%02X%02X%02X", unsigned(c & 0xFF), unsigned((c >> 8) & 0xFF),
                unsigned((c >> 16) & 0xFF));
  return s;
}

const char* KindOf(const TSectionBase& b) {
  if (dynamic_cast<const TOListItem*>(&b)) return "ol-item";
  if (dynamic_cast<const TUListItem*>(&b)) return "ul-item";
  if (dynamic_cast<const TDListItem*>(&b)) return "dl-item";
  if (auto* s = dynamic_cast<const TSection*>(&b)) return s->IsPreformatted() ? "pre" : "text";
  if (dynamic_cast<const TParagraphSpace*>(&b)) return "paragraph-space";
  if (dynamic_cast<const THeadingSpace*>(&b)) return "heading-space";
  if (dynamic_cast<const THorzLine*>(&b)) return "rule";
  if (dynamic_cast<const TPage*>(&b)) return "page";
  return "block";
}

void DumpControl(const TFormControlObj& c, int indent, std::ostream& out) {
  out << Pad(indent) << "control " << c.KindName() << " name=" << QuoteText(c.Name) << "\n";
  if (auto* list = dynamic_cast<const TListBoxFormControlObj*>(&c))
    for (const TOptionObj& o : list->Options) {
      out << Pad(indent + 2) << "option " << QuoteText(o.Text);
      if (!o.Value.empty()) out << " value=" << QuoteText(o.Value);
      if (o.Selected) out << " selected=1";
      out << "\n";
    }
}

void DumpSection(const TSection& s, int indent, std::ostream& out) {
  const std::string& buf = s.Buffer();
  const TFontList& runs = s.Fonts();
  std::string link;  // the link in force
  auto controlAt = [&](int pos) -> const TFormControlObj* {
    for (const auto& [p, c] : s.Controls())
      if (p == pos) return c;
    return nullptr;
  };
  for (int r = 0; r < runs.Count(); ++r) {
    const TFontObj& run = runs.Run(r);
    int from = run.Position, to = r + 1 < runs.Count() ? runs.Run(r + 1).Position : int(buf.size());
    if (from > int(buf.size())) from = int(buf.size());
    if (to > int(buf.size())) to = int(buf.size());
    // A run that holds nothing (a font changed twice at one place) is not shown, unless the
    // block holds nothing at all.
    if (from == to && !(r == 0 && buf.empty())) continue;
    const TUrlTarget& l = run.Link;
    std::string key = l.Url.empty() ? std::string() : l.Url + '\n' + l.Target;
    if (key != link) {
      if (!link.empty()) out << Pad(indent) << "end-link\n";
      if (!key.empty()) out << Pad(indent) << "link " << QuoteText(l.Url) << " target=" << QuoteText(l.Target) << "\n";
      link = key;
    }
    const TMyFont& f = run.Font();
    out << Pad(indent) << "font size=" << f.NominalSize << ((f.Style & dsBold) ? " b" : "")
        << ((f.Style & dsItalic) ? " i" : "") << ((f.Style & dsUnderline) ? " u" : "")
        << ((f.Style & dsStrikeOut) ? " s" : "") << (f.Fixed ? " fixed" : "") << " color=" << Rgb(f.Color);
    if (run.SScript) out << " script=" << (run.SScript == 1 ? "sub" : "sup");
    out << "\n";
    int i = from;
    while (i < to) {
      char c = buf[size_t(i)];
      if (c == 4 || c == 2) {
        if (c == 4) {
          const TImageObj* img = s.Images().ImageAtPosition(i);
          if (img) out << Pad(indent) << "image " << QuoteText(img->Source) << "\n";
        } else if (const TFormControlObj* ctl = controlAt(i)) {
          DumpControl(*ctl, indent, out);
        }
        ++i;
        continue;
      }
      int j = i;
      while (j < to && buf[size_t(j)] != 4 && buf[size_t(j)] != 2) ++j;
      out << Pad(indent) << "text " << QuoteText(buf.substr(size_t(i), size_t(j - i))) << "\n";
      i = j;
    }
  }
  if (!link.empty()) out << Pad(indent) << "end-link\n";
}

void DumpTable(const TDocTable& t, int indent, std::ostream& out) {
  out << Pad(indent) << "table";
  if (t.Border) out << " border=1";
  out << "\n";
  if (t.Caption && t.Caption->Content.Count()) {
    out << Pad(indent + 2) << "caption " << (t.CaptionOnTop ? "top" : "bottom") << "\n";
    DumpOutline(t.Caption->Content, indent + 4, out);
  }
  for (const auto& row : t.Rows) {
    out << Pad(indent + 2) << "row\n";
    for (const auto& c : row->Cells) {
      out << Pad(indent + 4) << "cell";
      if (c->ColSpan != 1) out << " colspan=" << c->ColSpan;
      if (c->RowSpan != 1) out << " rowspan=" << c->RowSpan;
      out << "\n";
      DumpOutline(c->Content, indent + 6, out);
    }
  }
}

}  // namespace

void DumpOutline(const TCell& cell, int indent, std::ostream& out) {
  for (int i = 0; i < cell.Count(); ++i) {
    const TSectionBase& b = cell.Section(i);
    if (auto* t = dynamic_cast<const TDocTable*>(&b)) {
      DumpTable(*t, indent, out);
      continue;
    }
    out << Pad(indent) << "section " << KindOf(b);
    if (auto* s = dynamic_cast<const TSection*>(&b)) {
      out << " align=" << s->Alignment() << " level=" << s->ListLevel();
      if (auto* ol = dynamic_cast<const TOListItem*>(s)) out << " style=" << ol->Style << " number=" << ol->ItemNumber;
    }
    if (auto* h = dynamic_cast<const THeadingSpace*>(&b)) out << " level=" << h->Level;
    out << "\n";
    if (auto* s = dynamic_cast<const TSection*>(&b)) DumpSection(*s, indent + 2, out);
  }
}

void DumpAnchors(const TAnchorList& names, std::ostream& out) {
  for (const auto& e : names.Entries()) out << "anchor " << QuoteText(e.Name) << "\n";
}

void DumpFrameSet(const TFrameSetDesc& set, int indent, std::ostream& out) {
  out << Pad(indent) << "frameset " << (set.ByRows ? "rows" : "cols") << "=";
  for (size_t i = 0; i < set.Dimensions.size(); ++i) out << (i ? "," : "") << set.Dimensions[i];
  if (set.Top) out << " border=" << set.FrameBorder;
  out << "\n";
  for (const TFrameDesc& f : set.Frames) {
    if (f.SubSet) {
      DumpFrameSet(*f.SubSet, indent + 2, out);
      continue;
    }
    out << Pad(indent + 2) << "frame name=" << QuoteText(f.Name) << " src=" << QuoteText(f.Source);
    if (!f.Destination.empty()) out << " anchor=" << QuoteText(f.Destination);
    if (f.NoResize) out << " noresize=1";
    if (f.ScrollingOff) out << " scrolling=no";
    out << "\n";
  }
}

int RunHtmlDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool text = args.size() == 2 && args[0] == "--text";
  if (!(args.size() == 1 || text) || args.back().empty()) {
    err << "usage: html_dump [--text] FILE\n";
    return 1;
  }
  const std::string& file = args.back();
  {
    platform::File f;
    if (!f.Open(file, platform::OpenMode::Read)) {
      err << "html_dump: cannot read " << file << "\n";
      return 1;
    }
  }
  TFakeMeasurer measurer;
  TMemorySurface surface;
  TManualTimer timer;
  TErrorList errors;
  TSectionList list(measurer, surface, timer, errors);
  TAnchorList names;
  TSourceRef source = TSourceRef::File(file);
  if (!text && IsFrameDocument(source)) {
    TFrameSetDesc set;
    FrameParse(set, source);
    out << "title " << QuoteText(set.Title) << "\n";
    DumpFrameSet(set, 0, out);
    return 0;
  }
  TParseResult result;
  std::string failure;
  try {
    if (text)
      TextParse(list, names, source, result);
    else
      HtmlParse(list, names, source, result);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  out << "title " << QuoteText(result.Title) << "\n";
  DumpOutline(list, 0, out);
  DumpAnchors(names, out);
  if (!failure.empty()) {
    err << "html_dump: " << failure << "\n";
    return 2;
  }
  return 0;
}
