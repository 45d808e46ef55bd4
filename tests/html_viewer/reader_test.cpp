// The parser against the outlines of small documents, one source against the others, and a
// seeded fuzz test over parsing and laying out.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <sstream>
#include <unordered_set>

#include "doc_fixture.h"
#include "framework/core/streams.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "html_viewer/doc_frames.h"
#include "html_viewer/doc_reader.h"
#include "html_viewer/html_cli.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fuzz_seeds.h"
#include "tests/support/scratch_dir.h"

namespace {

using doctest::Doc;

// The outline html_dump prints, with "error: MESSAGE" when the parse raised.
std::string Outline(Doc& d, TAnchorList& names, const std::string& html) {
  TParseResult r;
  std::string error;
  try {
    HtmlParseBuffer(d.list, names, html.data(), html.data() + html.size(), r);
  } catch (const EParseError& e) {
    error = e.what();
  }
  std::ostringstream out;
  out << "title " << QuoteText(r.Title) << "\n";
  DumpOutline(d.list, 0, out);
  DumpAnchors(names, out);
  if (!error.empty()) out << "error: " << error << "\n";
  return out.str();
}

std::string Outline(const std::string& html) {
  Doc d;
  TAnchorList names;
  return Outline(d, names, html);
}

// Every anchor's block is one of the document's.
void ExpectAnchorsInDocument(const TCell& cell, const TAnchorList& names) {
  TAnchorList copy = names;
  copy.KeepOnly(cell);
  EXPECT_EQ(copy.Entries().size(), names.Entries().size());
}

struct Case {
  const char* name;
  std::string html;
  const char* outline;
};

const Case kCases[] = {
    {"entities", "a&lt;b&gt;c &foo; Tom & Jerry &#65; &#1234; &#9;| &#7; &amp &yuml;&#215;",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"a<b>c &foo; Tom & Jerry A &#1234; | &#7; & \\xFF\\xD7\"\n"},
    {"headings and paragraph runs", "<H3 ALIGN=center>x</H3><H>y</H><P><P ALIGN=right></P>z",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section heading-space level=3\n"
     "section text align=2 level=0\n"
     "  font size=15 b color=000000\n"
     "  text \"x\"\n"
     "section heading-space level=3\n"
     "section heading-space level=0\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"y\"\n"
     "section heading-space level=0\n"
     "section paragraph-space\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"z\"\n"},
    {"list closed by the wrong end tag, unknown end tags", "<UL><LI>x</LI><LI>y</OL>after</TR>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section ul-item align=1 level=1\n"
     "  font size=12 color=000000\n"
     "  text \"x\"\n"
     "section ul-item align=1 level=1\n"
     "  font size=12 color=000000\n"
     "  text \"y\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"after\"\n"},
    {"comments, doctype, title, text after the body",
     "<!DOCTYPE html><title>T<!-- c --> 1</title><body>a<!-- a -- b -->b<!---->c</body>gone",
     "title \"T 1\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"abc\"\n"},
    {"font sizes: relative, clamped, big on the largest step",
     "<FONT SIZE=+9>a<BIG>b</BIG></FONT><FONT SIZE=0>c</FONT><BASEFONT SIZE=7>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=36 color=000000\n"
     "  text \"a\"\n"
     "  font size=24 color=000000\n"
     "  text \"b\"\n"
     "  font size=8 color=000000\n"
     "  text \"c\"\n"},
    {"a quoted value loses its line break; links and anchors",
     "<A HREF=\"a.ht\r\nml#x\" TARGET='_top'>go</A> <a name=here>there</a>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  link \"a.html#x\" target=\"_top\"\n"
     "  font size=12 u color=0000FF\n"
     "  text \"go\"\n"
     "  end-link\n"
     "  font size=12 color=000000\n"
     "  text \" there\"\n"
     "anchor \"HERE\"\n"},
    {"character 26 ends the document", std::string("ab\x1A" "cd", 5),
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"ab\"\n"},
    {"a table with caption, rows, head cells and text outside the cells",
     "<TABLE BORDER><CAPTION ALIGN=bottom>cap</CAPTION>out<TR ALIGN=right><TD>a<TD ALIGN=left>b<TR><TH>c</TABLE>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"out\"\n"
     "table border=1\n"
     "  caption bottom\n"
     "    section text align=2 level=0\n"
     "      font size=12 color=000000\n"
     "      text \"cap\"\n"
     "  row\n"
     "    cell\n"
     "      section text align=3 level=0\n"
     "        font size=12 color=000000\n"
     "        text \"a\"\n"
     "    cell\n"
     "      section text align=1 level=0\n"
     "        font size=12 color=000000\n"
     "        text \"b\"\n"
     "  row\n"
     "    cell\n"
     "      section text align=2 level=0\n"
     "        font size=12 b color=000000\n"
     "        text \"c\"\n"},
    {"preformatted lines, forms and options",
     "<PRE>a  b\r\n<B>c</B><BR>\r\nd</PRE><FORM><SELECT NAME=s><OPTION VALUE=1 SELECTED> One <OPTION>Two</SELECT>"
     "<TEXTAREA NAME=t>x &amp;<b>\r\ny</TEXTAREA></FORM>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section pre align=1 level=0\n"
     "  font size=10 fixed color=000000\n"
     "  text \"a  b\"\n"
     "section pre align=1 level=0\n"
     "  font size=10 b fixed color=000000\n"
     "  text \"c\"\n"
     "section pre align=1 level=0\n"
     "  font size=10 fixed color=000000\n"
     "  text \"d\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  control combo name=\"s\"\n"
     "    option \"One\" value=\"1\" selected=1\n"
     "    option \"Two\"\n"
     "  control textarea name=\"t\"\n"},
    {"lists: numbering, nesting, definitions",
     "<OL TYPE=a START=3><LI>x<UL><LI>y</UL><LI>z</OL><DL><DT>t<DD>d</DL>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section ol-item align=1 level=1 style=a number=3\n"
     "  font size=12 color=000000\n"
     "  text \"x\"\n"
     "section ul-item align=1 level=2\n"
     "  font size=12 color=000000\n"
     "  text \"y\"\n"
     "section ol-item align=1 level=1 style=a number=4\n"
     "  font size=12 color=000000\n"
     "  text \"z\"\n"
     "section dl-item align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"t\"\n"
     "section dl-item align=1 level=1\n"
     "  font size=12 color=000000\n"
     "  text \"d\"\n"},
    // The comment flag clears at ">", so the end of the source is no error.
    {"a closed comment is no error at the end", "a<!-- x -->",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"a\"\n"},
    {"an open comment keeps what came before", "<B>kept</B><!-- never closed",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 b color=000000\n"
     "  text \"kept\"\n"
     "error: Open Comment at End of HTML File\n"},
    {"CENTER and DIV consume only their own end tags", "<CENTER>a<DIV ALIGN=right>b</CENTER>c</DIV>d",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section text align=2 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"a\"\n"
     "section text align=3 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"b\"\n"
     "section text align=2 level=0\n"
     "  font size=12 color=000000\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"cd\"\n"},
    {"a list consumes only list end tags", "<CENTER><UL><LI>a</CENTER>b</UL>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section text align=2 level=0\n"
     "  font size=12 color=000000\n"
     "section ul-item align=1 level=1\n"
     "  font size=12 color=000000\n"
     "  text \"a\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  text \"b\"\n"},
    {"</BODY> ends the document from any depth", "<UL><LI><TABLE><TR><TD><PRE>a</BODY>b</PRE>c",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "section ul-item align=1 level=1\n"
     "  font size=12 color=000000\n"
     "  text \" \"\n"
     "table\n"
     "  row\n"
     "    cell\n"
     "      section pre align=1 level=1\n"
     "        font size=10 fixed color=000000\n"
     "        text \"a\"\n"},
    {"SMALL on the smallest step still pushes a font; FONT changes only what it names",
     "<FONT SIZE=1><SMALL>a</SMALL>b</FONT><FONT SIZE=5><FONT COLOR=red>c",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=8 color=000000\n"
     "  text \"a\"\n"
     "  font size=8 color=000000\n"
     "  text \"b\"\n"
     "  font size=18 color=FF0000\n"
     "  text \"c\"\n"},
    {"FORM, STYLE and MAP in a table outside cells; options end at a cell",
     "<TABLE><FORM ACTION=x><STYLE>p { }</style><MAP NAME=m><AREA HREF=h COORDS=0,0,1,1></MAP>"
     "<TR><TD><SELECT NAME=s><OPTION>a<TD>b</TABLE>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "table\n"
     "  row\n"
     "    cell\n"
     "      section text align=1 level=0\n"
     "        font size=12 color=000000\n"
     "        control combo name=\"s\"\n"
     "          option \"a\"\n"
     "    cell\n"
     "      section text align=1 level=0\n"
     "        font size=12 color=000000\n"
     "        text \"b\"\n"},
    {"attribute names with digits and punctuation are skipped with their values",
     "<IMG data-x=\"q>\" x:y=1 a.b_c=2 SRC=p.gif><A x1=\"HREF=no\" HREF=h>l</A>",
     "title \"\"\n"
     "section text align=1 level=0\n"
     "  font size=12 color=000000\n"
     "  image \"p.gif\"\n"
     "  link \"h\" target=\"\"\n"
     "  font size=12 u color=0000FF\n"
     "  text \"l\"\n"
     "  end-link\n"},
};

TEST(HtmlParser, SmallDocumentsGiveTheirOutlines) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Outline(c.html), c.outline);
  }
}

TEST(HtmlParser, BodyAttributesSetTheDocumentAndKeepAnchorsValid) {
  // BODY drops the block an earlier anchor named; the anchor moves on.
  Doc d;
  TAnchorList names;
  std::string out = Outline(d, names, "<A NAME=early><BODY TEXT=\"#008000\" LINK=red BGCOLOR=navy BACKGROUND=bk.gif>t");
  EXPECT_EQ(out,
            "title \"\"\n"
            "section text align=1 level=0\n"
            "  font size=12 color=008000\n"
            "  text \"t\"\n"
            "anchor \"EARLY\"\n");
  ExpectAnchorsInDocument(d.list, names);
  EXPECT_EQ(d.list.LinkColor & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(d.list.BackgroundImageName(), "bk.gif");
  ASSERT_EQ(d.list.Count(), 1);
  EXPECT_EQ(names.Find("early"), &d.list.Section(0));
}

TEST(HtmlParser, AnchorsOfATableCutByAParseErrorStayValid) {
  Doc d;
  TAnchorList names;
  std::string out = Outline(d, names, "<TABLE><TR><TD><A NAME=in>cell<TABLE><TR><TD><A NAME=deep>x<B><!-- open");
  EXPECT_NE(out.find("error: Open Comment"), std::string::npos);
  EXPECT_NE(out.find("text \"cell\""), std::string::npos) << out;
  EXPECT_NE(out.find("text \"x\""), std::string::npos) << out;
  ExpectAnchorsInDocument(d.list, names);
  EXPECT_EQ(names.Entries().size(), 2u);
}

std::string Repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

size_t CountLines(const std::string& outline, const std::string& start) {
  size_t n = 0;
  std::istringstream in(outline);
  for (std::string line; std::getline(in, line);)
    if (line.compare(line.find_first_not_of(' '), start.size(), start) == 0) ++n;
  return n;
}

TEST(HtmlParser, NestingIsCappedButContentKept) {
  // 64 block constructs together, 16 tables; deeper opening tags are ignored.
  std::string tables = Repeat("<TABLE><TR><TD>", 20) + "deep" + Repeat("</TABLE>", 20) + "after";
  std::string out = Outline(tables);
  EXPECT_EQ(CountLines(out, "table"), 16u);
  EXPECT_NE(out.find("text \"deep\""), std::string::npos);
  EXPECT_NE(out.find("text \"after\""), std::string::npos);

  std::string blocks = Repeat("<CENTER><UL><LI><DIV>", 30) + "inner" + Repeat("</DIV></UL></CENTER>", 30) + "end";
  out = Outline(blocks);
  EXPECT_EQ(CountLines(out, "section ul-item"), 21u);  // 64 constructs: 22 centres, 21 lists, 21 divisions
  EXPECT_NE(out.find("text \"inner\""), std::string::npos);
  EXPECT_NE(out.find("text \"end\""), std::string::npos);
}

TEST(HtmlParser, PlainTextKeepsTagsCommentsAndEntities) {
  Doc d;
  TAnchorList names;
  TStringList lines;
  lines.Add("<b>&amp; <!-- x");
  lines.Add("");
  TParseResult r;
  TextParseStrings(d.list, names, lines, r);
  std::ostringstream out;
  DumpOutline(d.list, 0, out);
  EXPECT_EQ(out.str(),
            "section pre align=1 level=0\n"
            "  font size=10 fixed color=000000\n"
            "  text \"<b>&amp; <!-- x\"\n"
            "section pre align=1 level=0\n"
            "  font size=10 fixed color=000000\n"
            "  text \" \"\n"
            "section pre align=1 level=0\n"
            "  font size=10 fixed color=000000\n"
            "  text \" \"\n");
}

TEST(HtmlParser, TheImageDocumentHoldsItsNameAsWritten) {
  Doc d;
  ImageParse(d.list, "a&amp;b.gif");
  std::ostringstream out;
  DumpOutline(d.list, 0, out);
  EXPECT_NE(out.str().find("image \"a&amp;b.gif\""), std::string::npos) << out.str();
}

TEST(HtmlParser, ScriptsReachTheHandlerAsOneZeroEndedBlock) {
  struct TScript {
    std::string Language;
    TScriptBlock Text;
  };
  std::vector<TScript> got;
  TScriptHandler take = [&](const std::string& language, TScriptBlock& text) {
    got.push_back({language, std::move(text)});
  };
  std::string longScript;
  for (int i = 0; i < 3000; ++i) longScript += "var line" + std::to_string(10000 + i) + " = 1;\r\n";
  std::string html = "<SCRIPT LANGUAGE=\"JavaScript\">a <!-- b -->\r\nif (x<y) c;\r\nlast</SCRIPT>after"
                     "<SCRIPT>" + longScript + "</script>end";
  Doc d;
  TAnchorList names;
  TParseResult r;
  HtmlParseBuffer(d.list, names, html.data(), html.data() + html.size(), r, take);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Language, "JavaScript");
  // Comments and tags stay in a script; every line ends with CR LF.
  EXPECT_EQ(std::string(got[0].Text.get()), "a <!-- b -->\r\nif (x<y) c;\r\nlast\r\n");
  // Past the first block's size it grows; the text arrives whole.
  EXPECT_EQ(std::string(got[1].Text.get()), longScript);
  std::ostringstream out;
  DumpOutline(d.list, 0, out);
  EXPECT_NE(out.str().find("\"after"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("end\""), std::string::npos) << out.str();
  // A handler that leaves the block: it is freed (ASan would see a leak).
  int calls = 0;
  HtmlParseBuffer(d.list, names, html.data(), html.data() + html.size(), r,
                  [&](const std::string&, TScriptBlock& text) { calls += text != nullptr; });
  EXPECT_EQ(calls, 2);
}

// ---- The four sources

std::string OutlineOf(const TSourceRef& source) {
  Doc d;
  TAnchorList names;
  TParseResult r;
  std::string error;
  try {
    HtmlParse(d.list, names, source, r);
  } catch (const EParseError& e) {
    error = e.what();
  }
  std::ostringstream out;
  out << "title " << QuoteText(r.Title) << "\n";
  DumpOutline(d.list, 0, out);
  DumpAnchors(names, out);
  return out.str() + error;
}

TEST(HtmlParser, TheFourSourcesGiveOneOutlineAcrossBufferBoundaries) {
  testsupport::ScratchDir dir("reader");
  // Pieces that span two characters or more, put across the stream's 250-byte and the
  // file's 2000-byte blocks at every offset.
  const std::string pieces[] = {"\r\n", "&amp;", "<!-- c -->", "<B>", "&#65;", "\n\r", "<A HREF=\"x\r\ny\">"};
  int compared = 0;
  for (int boundary : {250, 500, 2000}) {
    for (const std::string& piece : pieces) {
      for (int shift = -int(piece.size()); shift <= 1; ++shift) {
        std::string html = "<TITLE>t</TITLE><PRE>";
        while (int(html.size()) < boundary + shift) html += html.size() % 37 == 0 ? "\r\n" : "x";
        html += piece + "tail</A></B></PRE>end\r\n";
        SCOPED_TRACE("boundary " + std::to_string(boundary) + " shift " + std::to_string(shift));
        std::string buffer = OutlineOf(TSourceRef::Buffer(html.data(), html.data() + html.size()));
        // A string list splits LF CR into two lines where the scanner reads one line end.
        if (piece != "\n\r") {
          TStringList lines;
          lines.SetText(html);
          EXPECT_EQ(OutlineOf(TSourceRef::Lines(lines)), buffer);
        }
        TMemoryStream stream;
        stream.Write(html.data(), int32_t(html.size()));
        EXPECT_EQ(OutlineOf(TSourceRef::OfStream(stream)), buffer);
        std::string path = dir.Path("doc.html");
        testsupport::WriteFileBytes(path, html);
        EXPECT_EQ(OutlineOf(TSourceRef::File(path)), buffer);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 50);
}

TEST(HtmlParser, FrameSetDocuments) {
  std::string doc =
      "<TITLE>frames</TITLE><BASE HREF=\"b/\" TARGET=main><FRAMESET ROWS=\"100,*,2*\" BORDER=0>"
      "<FRAME NAME=top SRC=\"t.html#a\" NORESIZE><NOFRAMES><BODY>no</BODY></NOFRAMES>"
      "<FRAMESET COLS=\"50%,*\"><FRAME NAME=l SRC=l.html SCROLLING=no></FRAMESET></FRAMESET>";
  EXPECT_TRUE(IsFrameDocument(TSourceRef::Buffer(doc.data(), doc.data() + doc.size())));
  TFrameSetDesc desc;
  ASSERT_TRUE(FrameParse(desc, TSourceRef::Buffer(doc.data(), doc.data() + doc.size())));
  std::ostringstream out;
  DumpFrameSet(desc, 0, out);
  EXPECT_EQ(out.str(),
            "frameset rows=100,-1,-2 border=0\n"
            "  frame name=\"top\" src=\"t.html\" anchor=\"a\" noresize=1\n"
            "  frameset cols=-150,-1\n"
            "    frame name=\"l\" src=\"l.html\" scrolling=no\n"
            "    frame name=\"\" src=\"\"\n"
            "  frame name=\"\" src=\"\"\n");
  EXPECT_EQ(desc.Title, "frames");
  EXPECT_EQ(desc.BaseTarget, "main");
  EXPECT_EQ(desc.OuterBorder, 2);
  for (const char* body : {"<P><FRAMESET ROWS=1>", "<TITLE>x</TITLE>text<IMG><FRAMESET>", "<!-- open"}) {
    SCOPED_TRACE(body);
    std::string s = body;
    EXPECT_FALSE(IsFrameDocument(TSourceRef::Buffer(s.data(), s.data() + s.size())));
  }
}

// Inputs that repeat one construct: four times the input takes about four times as long
// (a generous bound, so a quadratic step shows and a busy machine does not).
TEST(HtmlParser, TimeGrowsLinearlyWithTheInput) {
  const char* const units[] = {"<A NAME=a", "<UL><LI>x", "<FONT SIZE=+1>y", "<TABLE><TR><TD>z", "<P ALIGN=center>",
                               "<SELECT><OPTION>o", "&amp;&#65;&foo;", "<!-- c -->w", "<A HREF=\"h\">l</A>"};
  for (const char* unit : units) {
    SCOPED_TRACE(unit);
    auto timeOf = [&](int n) {
      std::string html;
      for (int i = 0; i < n; ++i) html += std::string(unit) + (unit[1] == 'A' && unit[3] == 'N' ? std::to_string(i) + ">" : "");
      auto t0 = std::chrono::steady_clock::now();
      Doc d;
      TAnchorList names;
      TParseResult r;
      HtmlParseBuffer(d.list, names, html.data(), html.data() + html.size(), r);
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    double small = timeOf(4000), large = timeOf(16000);
    EXPECT_LT(large, 16 * small + 0.05) << small << " s, then " << large << " s";
  }
}

// ---- The help pages

struct THelpPage {
  std::string Name, Text, Outline, Background;
};

std::vector<THelpPage> HelpPages() {
  std::vector<THelpPage> pages;
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(QUILTOR_HELP_DIR, entries);
  for (const platform::DirEntry& e : entries) {
    std::string ext = LowerCase(ExtractFileExt(e.name));
    if (ext != ".htm" && ext != ".html") continue;
    testsupport::Bytes b = testsupport::ReadExistingFile(platform::JoinPath(QUILTOR_HELP_DIR, e.name));
    THelpPage p{e.name, std::string(b.begin(), b.end()), {}, {}};
    Doc d;
    TAnchorList names;
    p.Outline = Outline(d, names, p.Text);
    p.Background = d.list.BackgroundImageName();
    pages.push_back(std::move(p));
  }
  return pages;
}

TEST(HelpPages, TitledLinkedBothWaysAndUseEveryPicture) {
  std::vector<THelpPage> pages = HelpPages();
  ASSERT_GE(pages.size(), 13u);
  const THelpPage* index = nullptr;
  std::set<std::string> pictures;
  for (const THelpPage& p : pages) {
    SCOPED_TRACE(p.Name);
    if (p.Name == "index.html") index = &p;
    EXPECT_EQ(p.Outline.find("title \"\""), std::string::npos);
    EXPECT_EQ(p.Outline.find("error:"), std::string::npos);
    std::string lower = LowerCase(p.Text);
    EXPECT_EQ(lower.find("<style"), std::string::npos);
    EXPECT_EQ(lower.find("<script"), std::string::npos);
    if (p.Name != "index.html") {
      EXPECT_NE(p.Outline.find("link \"index.html\""), std::string::npos);
    }
    for (size_t at = p.Outline.find("image \""); at != std::string::npos; at = p.Outline.find("image \"", at + 1))
      pictures.insert(p.Outline.substr(at + 7, p.Outline.find('"', at + 7) - at - 7));
    if (!p.Background.empty()) pictures.insert(p.Background);
  }
  ASSERT_NE(index, nullptr);
  for (const THelpPage& p : pages) {
    if (p.Name != "index.html") {
      EXPECT_NE(index->Outline.find("link \"" + p.Name + "\""), std::string::npos) << p.Name;
    }
  }
  for (const char* name : {"selector.html", "history.htm", "Form1_page_Expert.html", "readme.htm", "liesmich.htm",
                           "faq.htm", "Form1_page_RCS.html", "Form1_page_Wizard.html", "Form1_page_Options.html",
                           "Form1_page_About.html", "Form2.html", "Form4.html"})
    EXPECT_TRUE(std::any_of(pages.begin(), pages.end(), [&](const THelpPage& p) { return p.Name == name; })) << name;
  EXPECT_EQ(pictures, (std::set<std::string>{"bar.gif", "bk101.gif", "minipnkt.gif", "quiltor.gif"}));
}

// ---- Fuzz

std::string Mutate(std::string s, std::mt19937& rng) {
  auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
  static const char* const tokens[] = {"<TABLE>", "<TD>", "<TR>", "</TABLE>", "<UL>", "<LI>", "</UL>", "<PRE>",
                                       "</PRE>", "<!--", "-->", "<FONT SIZE=+2>", "</FONT>", "<A HREF=x>", "</A>",
                                       "<A NAME=n>", "<SELECT>", "<OPTION>", "<TEXTAREA>", "</TEXTAREA>", "<FORM>",
                                       "<INPUT TYPE=radio NAME=r>", "<IMG SRC=p.gif ALIGN=left>", "<BR CLEAR=all>",
                                       "<HR WIDTH=50%>", "<CENTER>", "</DIV>", "<BODY BGCOLOR=red>", "</BODY>",
                                       "&amp;", "&#", "\x1A", "<MAP NAME=m>", "<AREA COORDS=1,2,3>", "<SCRIPT>",
                                       "<CAPTION>", "<TD COLSPAN=40 ROWSPAN=9>", "<BIG>", "<SMALL>", "<H1>", "<P>"};
  for (int m = 0, n = 1 + int(pick(6)); m < n; ++m) {
    switch (pick(5)) {
      case 0:
        if (!s.empty()) s[pick(s.size())] = char(rng());
        break;
      case 1:
        s.insert(pick(s.size() + 1), tokens[pick(sizeof tokens / sizeof *tokens)]);
        break;
      case 2:
        if (!s.empty()) s.erase(pick(s.size()), pick(40));
        break;
      case 3: {
        size_t at = pick(s.size() + 1);
        s.insert(at, s.substr(pick(s.size() + 1), pick(200)));
        break;
      }
      default:
        s.resize(pick(s.size() + 1));
        break;
    }
  }
  return s;
}

std::string Generated(std::mt19937& rng) {
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  switch (pick(4)) {
    case 0: {  // deep nesting of one construct
      static const char* const open[] = {"<TABLE><TR><TD>", "<UL><LI>", "<CENTER>", "<DIV>", "<BLOCKQUOTE>",
                                         "<FONT SIZE=7>", "<A HREF=a>", "<FRAMESET ROWS=*>", "<H1>", "<PRE>"};
      return Repeat(open[pick(10)], int(200 + pick(2000))) + "x";
    }
    case 1:  // huge tokens
      return "<A HREF=\"" + std::string(20000 + pick(50000), 'h') + "\">" + std::string(100000, 'w') + "<" +
             std::string(5000, 'T') + " " + std::string(3000, 'N') + "=1>" + "&" + std::string(100, 'e');
    case 2: {  // binary
      std::string s(pick(5000), '\0');
      for (char& c : s) c = char(rng());
      return s;
    }
    default: {  // random tags
      std::string s;
      for (int i = 0, n = int(pick(400)); i < n; ++i) s += Mutate("<TD>a<TR>", rng);
      return s;
    }
  }
}

TEST(HtmlParserFuzz, AnyBytesGiveADocumentThatLaysOut) {
  testsupport::FuzzSeeds seeds = testsupport::FuzzSeedsFromEnvironment("html parser fuzz");
  std::vector<std::string> fixtures;
  for (const Case& c : kCases) fixtures.push_back(c.html);
  for (const THelpPage& p : HelpPages()) fixtures.push_back(p.Text);
  for (uint32_t seed = seeds.first; seed != seeds.first + seeds.count; ++seed) {
    SCOPED_TRACE("replay with QUILTOR_FUZZ_SEED=" + std::to_string(seed) + " QUILTOR_FUZZ_CASES=1");
    std::fprintf(stderr, "case seed %u\n", seed);
    std::mt19937 rng(seed);
    std::string html = rng() % 3 == 0 ? Generated(rng) : Mutate(fixtures[rng() % fixtures.size()], rng);
    Doc d;
    TAnchorList names;
    TParseResult r;
    try {
      HtmlParseBuffer(d.list, names, html.data(), html.data() + html.size(), r);
    } catch (const EParseError& e) {
      EXPECT_STREQ(e.what(), "Open Comment at End of HTML File");
    }
    ExpectAnchorsInDocument(d.list, names);
    d.Layout(int(200 + rng() % 600));
    d.Paint();
    TFrameSetDesc desc;
    FrameParse(desc, TSourceRef::Buffer(html.data(), html.data() + html.size()));
    EXPECT_LE(desc.Frames.size(), size_t(kMaxFrames));
    EXPECT_LE(desc.Dimensions.size(), size_t(kMaxFrameDimensions));
  }
}

}  // namespace
