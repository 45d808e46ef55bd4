#include "html_viewer/doc_reader.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "framework/core/streams.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "html_viewer/doc_blocks.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_forms.h"
#include "html_viewer/doc_frames.h"
#include "html_viewer/doc_table.h"
#include "platform/file.h"

const int kFontSizes[7] = {8, 10, 12, 14, 18, 24, 36};
const int kPreformattedSizes[7] = {7, 8, 10, 12, 15, 20, 30};

// ---- Anchors

void TAnchorList::Add(const std::string& upperName, TSectionBase* section) {
  if (!index_.emplace(upperName, entries_.size()).second) return;
  entries_.push_back({upperName, section});
}

TSectionBase* TAnchorList::Find(const std::string& name) const {
  auto at = index_.find(UpperCase(name));
  return at == index_.end() ? nullptr : entries_[at->second].Section;
}

namespace {

void CollectBlocks(const TCell& cell, std::unordered_set<const TSectionBase*>& out) {
  for (int i = 0; i < cell.Count(); ++i) {
    const TSectionBase& s = cell.Section(i);
    out.insert(&s);
    if (auto* t = dynamic_cast<const TDocTable*>(&s)) {
      if (t->Caption) CollectBlocks(t->Caption->Content, out);
      for (const auto& row : t->Rows)
        for (const auto& c : row->Cells) CollectBlocks(c->Content, out);
    }
  }
}

}  // namespace

void TAnchorList::KeepOnly(const TCell& document) {
  std::unordered_set<const TSectionBase*> blocks;
  CollectBlocks(document, blocks);
  std::erase_if(entries_, [&](const TEntry& e) { return !blocks.count(e.Section); });
  index_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].Name, i);
}

void TAnchorList::Retarget(const TSectionBase* old, TSectionBase* replacement) {
  // Anchors name the block being filled, the newest one: those of old are the last entries.
  for (auto e = entries_.rbegin(); e != entries_.rend() && e->Section == old; ++e) e->Section = replacement;
}

TSourceRef TSourceRef::File(const std::string& name) {
  TSourceRef r;
  r.Kind = TSourceKind::skFile;
  r.FileName = name;
  return r;
}
TSourceRef TSourceRef::Buffer(const char* start, const char* end) {
  TSourceRef r;
  r.Kind = TSourceKind::skBuffer;
  r.Start = start;
  r.End = end;
  return r;
}
TSourceRef TSourceRef::Lines(const TStrings& strings) {
  TSourceRef r;
  r.Kind = TSourceKind::skStrings;
  r.Strings = &strings;
  return r;
}
TSourceRef TSourceRef::OfStream(TStream& stream) {
  TSourceRef r;
  r.Kind = TSourceKind::skStream;
  r.Stream = &stream;
  return r;
}

namespace {

constexpr int kEof = 26;

// ---- Sources: characters 0..255, then 26 for ever.

class TCharSource {
 public:
  explicit TCharSource(const TSourceRef& ref) : ref_(ref) {
    switch (ref.Kind) {
      case TSourceKind::skFile:
        if (!file_.Open(ref.FileName, platform::OpenMode::Read)) ended_ = true;
        block_.resize(2000);
        break;
      case TSourceKind::skBuffer:
        at_ = ref.Start;
        if (!ref.Start || ref.End < ref.Start) ended_ = true;
        break;
      case TSourceKind::skStrings:
        if (!ref.Strings) ended_ = true;
        break;
      case TSourceKind::skStream:
        if (!ref.Stream)
          ended_ = true;
        else
          ref.Stream->Seek(0, soBeginning);
        block_.resize(251);
        break;
    }
  }

  int Next() {
    if (ended_) return kEof;
    int c = Read();
    if (c == kEof) ended_ = true;
    return c;
  }

 private:
  int Read() {
    switch (ref_.Kind) {
      case TSourceKind::skBuffer:
        return at_ < ref_.End ? uint8_t(*at_++) : kEof;
      case TSourceKind::skFile:
        if (pos_ == fill_) {
          fill_ = file_.Read(block_.data(), block_.size());
          pos_ = 0;
          if (fill_ == 0) return kEof;
        }
        return uint8_t(block_[pos_++]);
      case TSourceKind::skStrings:
        if (line_ >= ref_.Strings->Count()) return kEof;
        if (!lineLoaded_) {
          text_ = ref_.Strings->Get(line_);
          pos_ = 0;
          lineLoaded_ = true;
        }
        if (pos_ < text_.size()) return uint8_t(text_[pos_++]);
        ++line_;
        lineLoaded_ = false;
        return 13;
      case TSourceKind::skStream:
        if (pos_ == fill_) {
          if (streamDone_) return kEof;
          int32_t n = ref_.Stream->Read(block_.data(), 250);
          if (n < 0) n = 0;
          fill_ = size_t(n);
          if (n < 250) {
            block_[fill_++] = char(kEof);
            streamDone_ = true;
          }
          pos_ = 0;
        }
        return uint8_t(block_[pos_++]);
    }
    return kEof;
  }

  TSourceRef ref_;
  bool ended_ = false;
  const char* at_ = nullptr;
  platform::File file_;
  std::vector<char> block_;
  size_t pos_ = 0, fill_ = 0;
  int line_ = 0;
  bool lineLoaded_ = false, streamDone_ = false;
  std::string text_;
};

// ---- Symbols

// The tags, in table order; the first 47 have an end form.
const char* const kTagNames[] = {
    "HTML", "TITLE", "BODY", "HEAD", "B", "I", "H", "EM", "STRONG", "U", "CITE", "VAR", "TT", "CODE", "KBD",
    "SAMP", "OL", "UL", "DIR", "MENU", "DL", "A", "ADDRESS", "BLOCKQUOTE", "PRE", "CENTER", "TABLE", "TD", "TH",
    "CAPTION", "FORM", "TEXTAREA", "SELECT", "OPTION", "FONT", "SUB", "SUP", "BIG", "SMALL", "P", "MAP",
    "FRAMESET", "NOFRAMES", "SCRIPT", "DIV", "S", "STRIKE",
    "LI", "BR", "HR", "DD", "DT", "IMG", "BASE", "TR", "BUTTON", "INPUT", "SELECTED", "BASEFONT", "AREA", "FRAME",
    "PAGE",
    // Known only to the table reader, which skips what it holds.
    "STYLE"};
constexpr int kTagCount = int(sizeof kTagNames / sizeof *kTagNames);
constexpr int kEndForms = 47;

enum Sym : int {
  HtmlSy = 1, TitleSy, BodySy, HeadSy, BSy, ISy, HSy, EmSy, StrongSy, USy, CiteSy, VarSy, TTSy, CodeSy, KbdSy,
  SampSy, OLSy, ULSy, DirSy, MenuSy, DLSy, ASy, AddressSy, BlockQuoteSy, PreSy, CenterSy, TableSy, TDSy, THSy,
  CaptionSy, FormSy, TextAreaSy, SelectSy, OptionSy, FontSy, SubSy, SupSy, BigSy, SmallSy, PSy, MapSy,
  FrameSetSy, NoFramesSy, ScriptSy, DivSy, SSy, StrikeSy,
  LISy, BRSy, HRSy, DDSy, DTSy, ImgSy, BaseSy, TRSy, ButtonSy, InputSy, SelectedTagSy, BaseFontSy, AreaSy,
  FrameSy, PageSy, StyleSy,
  kEndOffset = 100,
  TextSy = 250, EofSy, UnknownTagSy, CharSy, kSymCount
};
constexpr int End(int s) { return s + kEndOffset; }

using TSymSet = std::bitset<kSymCount>;
TSymSet Set(std::initializer_list<int> symbols) {
  TSymSet s;
  for (int x : symbols) s.set(size_t(x));
  return s;
}

// Tags whose attributes are stored.
const TSymSet& AttributeTags() {
  static const TSymSet s = Set({BodySy, PSy, BRSy, HSy, HRSy, BaseSy, OLSy, ULSy, ImgSy, ASy, TableSy, TDSy, TRSy,
                                THSy, CaptionSy, InputSy, FormSy, TextAreaSy, SelectSy, OptionSy, FontSy,
                                BaseFontSy, MapSy, AreaSy, FrameSetSy, FrameSy, ScriptSy, DivSy});
  return s;
}

struct TAttrName {
  const char* Name;
  uint8_t Symbol;
};
const TAttrName kAttributeNames[] = {
    {"HREF", HrefSy}, {"NAME", NameSy}, {"SRC", SrcSy}, {"ALT", AltSy}, {"ALIGN", AlignSy}, {"TEXT", TextSy},
    {"BGCOLOR", BgColorSy}, {"LINK", LinkSy}, {"BACKGROUND", BackgroundSy}, {"COLSPAN", ColSpanSy},
    {"ROWSPAN", RowSpanSy}, {"BORDER", BorderSy}, {"CELLPADDING", CellPaddingSy}, {"CELLSPACING", CellSpacingSy},
    {"VALIGN", VAlignSy}, {"WIDTH", WidthSy}, {"START", StartSy}, {"VALUE", ValueSy}, {"TYPE", TypeSy},
    {"CHECKBOX", CheckboxSy}, {"RADIO", RadioSy}, {"METHOD", MethodSy}, {"ACTION", ActionSy},
    {"CHECKED", CheckedSy}, {"SIZE", SizeSy}, {"MAXLENGTH", MaxLengthSy}, {"COLS", ColsSy}, {"ROWS", RowsSy},
    {"MULTIPLE", MultipleSy}, {"SELECTED", SelectedSy}, {"FACE", FaceSy}, {"COLOR", ColorSy},
    {"TRANSP", TranspSy}, {"CLEAR", ClearSy}, {"ISMAP", IsMapSy}, {"BORDERCOLOR", BorderColorSy},
    {"USEMAP", UseMapSy}, {"SHAPE", ShapeSy}, {"COORDS", CoordsSy}, {"NOHREF", NoHrefSy}, {"HEIGHT", HeightSy},
    {"PLAIN", PlainSy}, {"TARGET", TargetSy}, {"NORESIZE", NoResizeSy}, {"SCROLLING", ScrollingSy},
    {"HSPACE", HSpaceSy}, {"LANGUAGE", LanguageSy}, {"FRAMEBORDER", FrameBorderSy}};

// Entry k (from 1) for k >= 5 is character k + 155; the empty entries never match.
const char* const kEntityNames[] = {
    "amp", "lt", "gt", "quot", "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect", "uml",
    "copy", "ordf", "laquo", "not", "shy", "reg", "macr", "deg", "plusmn", "sup2", "sup3", "acute", "micro",
    "para", "middot", "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc", "Atilde", "Auml", "Aring", "AElig", "Ccedil", "Egrave", "Eacute", "Ecirc", "Euml",
    "Igrave", "Iacute", "Icirc", "Iuml", "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc", "Otilde", "Ouml", "",
    "Oslash", "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN", "szlig", "agrave", "aacute", "acirc",
    "atilde", "auml", "aring", "aelig", "ccedil", "egrave", "eacute", "ecirc", "euml", "igrave", "iacute",
    "icirc", "iuml", "eth", "ntilde", "ograve", "oacute", "ocirc", "otilde", "ouml", "", "oslash", "ugrave",
    "uacute", "ucirc", "uuml", "yacute", "thorn", "yuml"};

bool IsUpperLetter(int c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
int Upper(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

// Decimal text as a number; false when it is none (or out of range).
bool ToInt(const std::string& s, int32_t& value) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != 0 || errno || v < INT32_MIN || v > INT32_MAX || !(IsDigit(s[0]) || s[0] == '+' || s[0] == '-'))
    return false;
  value = int32_t(v);
  return true;
}

const TSymSet& ListEndTags() {
  static const TSymSet s = Set({End(OLSy), End(ULSy), End(DirSy), End(MenuSy), End(DLSy), End(BlockQuoteSy)});
  return s;
}
const TSymSet& CellTerminators() {
  static const TSymSet s =
      Set({End(TableSy), TDSy, End(TDSy), TRSy, THSy, End(THSy), CaptionSy, End(CaptionSy)});
  return s;
}

// Block constructs nest at most this deep together, tables at most kMaxParsedTables.
constexpr int kMaxBlockNesting = 64;
constexpr int kMaxParsedTables = 16;
constexpr size_t kMaxFonts = 25;

// ---- The reader

class THtmlReader {
 public:
  THtmlReader(const TSourceRef& source, TSectionList* list, TAnchorList* names, TScriptHandler onScript)
      : src_(source), list_(list), names_(names), onScript_(std::move(onScript)) {}

  void ParseHtml();
  void ParseText();
  bool FrameScan(TFrameSetDesc* desc);
  TParseResult Result() const { return result_; }

 private:
  // -- scanner
  int Raw() { return src_.Next(); }
  void FetchChar();
  void Advance();
  void SkipBlanks() {
    while (ch_ == ' ' || ch_ == 13) Advance();
  }
  void Next();  // ReadToken
  void ReadTag();
  void ReadAttribute();
  std::string Entity();
  // -- build
  void InitBuild();
  void Cleanup();
  TCell& Cell() { return *cell_; }
  const TMyFont& Top() const { return fonts_.back(); }
  bool PushFontCopy() {
    if (fonts_.size() >= kMaxFonts) return false;
    fonts_.push_back(fonts_.back());
    return true;
  }
  void DropFont() {
    if (fonts_.size() > 1) fonts_.pop_back();
  }
  void PopFontsTo(size_t depth) {
    while (fonts_.size() > depth && fonts_.size() > 1) fonts_.pop_back();
  }
  void Switch() {
    if (section_) section_->SwitchFont(Top());
  }
  const TUrlTarget* LinkOrNull() const { return inLink_ ? &link_ : nullptr; }
  void CloseSection() {
    if (section_) Cell().AddSection(std::move(section_));
  }
  void StartSection(int justify) { section_ = std::make_unique<TSection>(*list_, level_, Top(), LinkOrNull(), justify); }
  void StartPreSection() {
    section_ = std::make_unique<TPreFormated>(*list_, level_, Top(), LinkOrNull(), justify_);
  }
  TSection& Ensure() {
    if (!section_) StartSection(justify_);
    return *section_;
  }
  void EndLink();
  const TAttribute* Attr(uint8_t symbol) const { return attrs_.Lookup(symbol); }
  std::string AttrText(uint8_t symbol) const {
    const TAttribute* a = Attr(symbol);
    return a ? a->Name : std::string();
  }
  int AlignOf(int def) const;
  static int CellAlign(const TAttribute* a);
  static int VAlignOf(const TAttribute* a, int def);
  bool Ended(const TSymSet& terms) const {
    return sym_ == EofSy || sym_ == End(BodySy) || (sym_ < kSymCount && terms.test(size_t(sym_)));
  }

  // -- readers
  void ReadBody(const TSymSet& terms);
  // The text after a title tag, added to the document's title.
  void ReadTitle();
  void BodyToken(const TSymSet& terms);
  void StyleTag();
  void FontTag();
  void BigSmall();
  void AnchorTag();
  void ReadList(int level, int listTag, const TSymSet& terms);
  void ReadTable();
  template <class CloseCell>
  void ReadTableBody(TDocTable& table, std::unique_ptr<TCellList>& row, std::unique_ptr<TCellObj>& cellObj,
                     CloseCell& closeCell, size_t savedDepth, uint32_t savedStyle, int tableJustify, int& rowAlign,
                     int& rowVAlign, bool& anyRow);
  void ReadPre();
  void ReadOptions(TListBoxFormControlObj* control, bool inPre);
  void ReadTextArea(TTextAreaFormControlObj* control);
  void ReadScript();
  void ReadMap(bool inPre);
  void SkipStyle();
  void ReadFrameSet(TFrameSetDesc& desc);
  void SkipNoFrames();

  TCharSource src_;
  TSectionList* list_;
  TAnchorList* names_;
  TScriptHandler onScript_;
  TParseResult result_;

  // scanner state
  int ch_ = 0, up_ = 0, pushed_ = -1;
  int sym_ = EofSy;
  std::string text_;
  int headLevel_ = 0;
  TAttributeList attrs_;
  bool scriptMode_ = false, preMode_ = false, inComment_ = false;

  // build state
  TCell* cell_ = nullptr;
  std::unique_ptr<TSection> section_;
  std::vector<TMyFont> fonts_;
  TUrlTarget link_;
  bool inLink_ = false;
  int justify_ = 1, baseSizeStep_ = 3, level_ = 0;
  int blockDepth_ = 0, tableDepth_ = 0;
  bool outsideCells_ = false;  // reading what a table holds outside its cells
};

// -- scanner

void THtmlReader::FetchChar() {
  int c;
  if (pushed_ >= 0) {
    c = pushed_;
    pushed_ = -1;
  } else {
    c = Raw();
  }
  if (c == 10 || c == 13) {
    int d = Raw();
    if (!((c == 13 && d == 10) || (c == 10 && d == 13))) pushed_ = d;
    c = 13;
  } else if (c == 9) {
    c = ' ';
  }
  ch_ = c;
  up_ = Upper(c);
  if (c == kEof && inComment_) throw EParseError("Open Comment at End of HTML File");
}

void THtmlReader::Advance() {
  while (true) {
    FetchChar();
    if (ch_ != '<' || scriptMode_) return;
    int peek = Raw();
    if (peek != '!') {
      pushed_ = peek;
      return;
    }
    inComment_ = true;
    FetchChar();
    bool dashes = false;
    if (ch_ == '-') {
      FetchChar();
      if (ch_ == '-') {
        dashes = true;
        FetchChar();
      }
    }
    if (dashes) {
      int run = 0;
      while (!(ch_ == '>' && run >= 2)) {
        if (ch_ == '-')
          ++run;
        else if (!(run >= 2 && (ch_ == ' ' || ch_ == 13)))
          run = 0;
        FetchChar();
      }
    } else {
      while (ch_ != '>') FetchChar();
    }
    inComment_ = false;
  }
}

std::string THtmlReader::Entity() {
  // ch_ is '&'
  Advance();
  if (ch_ == '#') {
    Advance();
    std::string digits;
    while (IsDigit(ch_) && digits.size() < 4) {
      digits += char(ch_);
      Advance();
    }
    if (digits.size() == 4 || digits.empty()) return "&#" + digits;
    bool semi = ch_ == ';';
    if (semi) Advance();
    int v = std::atoi(digits.c_str());
    if (v < 256 && (v == 9 || v == 10 || v >= 32)) return std::string(1, v == 9 ? ' ' : char(v));
    return "&#" + digits + (semi ? ";" : "");
  }
  std::string name;
  while ((IsUpperLetter(up_) || IsDigit(up_)) && name.size() < 7) {
    name += char(ch_);
    Advance();
  }
  if (IsUpperLetter(up_) || IsDigit(up_)) return "&" + name;
  bool semi = ch_ == ';';
  if (semi) Advance();
  if (!name.empty())
    for (int k = 1; k <= 100; ++k)
      if (*kEntityNames[k - 1] && name == kEntityNames[k - 1]) {
        static const char first[] = {'&', '<', '>', '"'};
        return std::string(1, k <= 4 ? first[k - 1] : char(k + 155));
      }
  return "&" + name + (semi ? ";" : "");
}

void THtmlReader::Next() {
  text_.clear();
  if (ch_ == kEof) {
    sym_ = EofSy;
    return;
  }
  if (ch_ == '<') {
    ReadTag();
    return;
  }
  if (ch_ == '&') {
    text_ = Entity();
    sym_ = TextSy;
    return;
  }
  auto stops = [](int c) { return (c >= 0 && c <= 12) || (c >= 14 && c <= 31) || c == '&' || c == '<' || c == '>'; };
  while (text_.size() < 100 && !stops(ch_)) {
    if (!preMode_ && (ch_ == ' ' || ch_ == 13)) {
      text_ += ' ';
      while (ch_ == ' ' || ch_ == 13) Advance();
    } else {
      text_ += char(ch_);
      Advance();
    }
  }
  if (!text_.empty()) {
    sym_ = TextSy;
    return;
  }
  text_ = std::string(1, char(ch_));
  sym_ = CharSy;
  Advance();
}

void THtmlReader::ReadTag() {
  // ch_ is '<'
  Advance();
  bool endTag = false;
  if (ch_ == '/') {
    endTag = true;
    Advance();
  }
  std::string name;
  while (IsUpperLetter(up_)) {
    if (name.size() < 150) name += char(up_);
    Advance();
  }
  sym_ = UnknownTagSy;
  for (int i = 0; i < kTagCount && !name.empty(); ++i)
    if (name == kTagNames[i]) {
      if (!endTag)
        sym_ = i + 1;
      else if (i < kEndForms)
        sym_ = End(i + 1);
      break;
    }
  if (sym_ == HSy || sym_ == End(HSy)) {
    headLevel_ = 0;
    if (ch_ >= '1' && ch_ <= '6') {
      headLevel_ = ch_ - '0';
      Advance();
    }
  }
  bool store = sym_ < kSymCount && AttributeTags().test(size_t(sym_));
  if (store) attrs_.Clear();
  TAttributeList keep;
  if (!store) keep = attrs_;
  SkipBlanks();
  while (IsUpperLetter(up_)) ReadAttribute();
  if (!store) attrs_ = keep;
  while (ch_ != '>' && ch_ != kEof) Advance();
  if (ch_ == '>') Advance();
}

void THtmlReader::ReadAttribute() {
  std::string name;
  auto nameChar = [](int c) { return IsUpperLetter(c) || IsDigit(c) || c == '.' || c == '_' || c == ':' || c == '-'; };
  while (nameChar(up_)) {
    if (name.size() < 150) name += char(up_);
    Advance();
  }
  TAttribute a;
  a.Which = UnknownSy;
  for (const TAttrName& n : kAttributeNames)
    if (name == n.Name) {
      a.Which = n.Symbol;
      break;
    }
  a.Value = a.Which == BorderSy ? 1 : 0;
  SkipBlanks();
  if (ch_ == '=') {
    Advance();
    SkipBlanks();
    if (ch_ == '"' || ch_ == '\'') {
      int quote = ch_;
      Advance();
      std::string v;
      while (ch_ != quote && ch_ != kEof) {
        if (ch_ == 13) {
          Advance();
        } else if (ch_ == '&') {
          v += Entity();
        } else {
          v += char(ch_);
          Advance();
        }
      }
      if (ch_ == quote) Advance();
      a.Name = TrimBlanks(v);
      std::string n = a.Name;
      if (!n.empty() && n.back() == '%') n.pop_back();
      int32_t value = 0;
      a.Value = ToInt(n, value) ? value : 0;
    } else if (ch_ == '+' || ch_ == '-' || IsDigit(ch_)) {
      std::string v;
      while (ch_ != ' ' && ch_ != 13 && ch_ != kEof && ch_ != '%' && ch_ != '>') {
        v += char(ch_);
        Advance();
      }
      int32_t value = 0;
      a.Value = ToInt(v, value) ? value : 0;
      if (ch_ == '%') {
        v += '%';
        Advance();
      }
      a.Name = v;
    } else {
      std::string v;
      while (ch_ != ' ' && ch_ != 13 && ch_ != kEof && ch_ != '>') {
        v += char(ch_);
        Advance();
      }
      a.Name = v;
      a.Value = 0;
    }
  }
  if (a.Which != UnknownSy) attrs_.Add(std::move(a));
  SkipBlanks();
}

// -- build helpers

int THtmlReader::AlignOf(int def) const {
  const TAttribute* a = Attr(AlignSy);
  if (!a) return def;
  std::string v = LowerCase(a->Name.substr(0, 10));
  return v == "left" ? 1 : v == "center" ? 2 : v == "right" ? 3 : def;
}

int THtmlReader::CellAlign(const TAttribute* a) {
  if (!a) return 0;
  std::string v = LowerCase(a->Name.substr(0, 10));
  return v == "left" ? 1 : v == "center" ? 2 : v == "right" ? 3 : 0;
}

int THtmlReader::VAlignOf(const TAttribute* a, int def) {
  if (!a) return def;
  std::string v = LowerCase(a->Name.substr(0, 9));
  return v == "top" ? 0 : v == "middle" ? 1 : v == "bottom" ? 2 : def;
}

void THtmlReader::InitBuild() {
  cell_ = list_;
  TMyFont base;
  base.Name = list_->FontName;
  base.Color = list_->TextColor;
  base.SetNominalSize(list_->FontSize, 12);
  fonts_.assign(1, base);
  link_.ClearLink();
  inLink_ = false;
  baseSizeStep_ = 3;
  result_ = {};
  justify_ = 1;
  list_->CurrentStyle = 0;
  list_->CurrentSScript = 0;
  list_->CurrentForm = nullptr;
  level_ = 0;
  section_ = std::make_unique<TSection>(*list_, 0, base, nullptr, 1);
  pushed_ = -1;
  scriptMode_ = preMode_ = inComment_ = false;
}

void THtmlReader::Cleanup() {
  attrs_.Clear();
  // Blocks of tables still being read were freed on the way out.
  cell_ = list_;
  if (section_) list_->AddSection(std::move(section_));
  fonts_.clear();
  list_->CurrentForm = nullptr;
  names_->KeepOnly(*list_);
}

void THtmlReader::EndLink() {
  if (inLink_) {
    link_.ClearLink();
    inLink_ = false;
    DropFont();
  }
  if (section_) section_->SwitchLink(Top(), nullptr);
}

// -- the body

void THtmlReader::ParseHtml() {
  InitBuild();
  try {
    Advance();
    Next();
    ReadBody(TSymSet());
    if (sym_ == End(BodySy)) Next();
  } catch (...) {
    Cleanup();
    throw;
  }
  Cleanup();
}

void THtmlReader::ReadBody(const TSymSet& terms) {
  while (!Ended(terms)) BodyToken(terms);
}

void THtmlReader::ReadTitle() {
  Next();
  while (sym_ == TextSy) {
    result_.Title += text_;
    Next();
  }
}

void THtmlReader::BodyToken(const TSymSet& terms) {
  switch (sym_) {
    case TitleSy:
      ReadTitle();
      return;
    case BodySy:
      if (cell_ == list_ && list_->Count() == 0) {
        TSectionBase* dropped = section_.get();
        section_.reset();
        if (const TAttribute* a = Attr(TextSy)) {
          TColor c;
          if (ParseColour(a->Name, c)) {
            fonts_.back().Color = c | 0x02000000;
            list_->TextColor = c | 0x02000000;
          }
        }
        if (const TAttribute* a = Attr(LinkSy)) {
          TColor c;
          if (ParseColour(a->Name, c)) list_->LinkColor = c | 0x02000000;
        }
        if (const TAttribute* a = Attr(BgColorSy)) {
          TColor c;
          if (ParseColour(a->Name, c)) list_->ChangeBackgroundColour(c | 0x02000000);
        }
        if (const TAttribute* a = Attr(BackgroundSy)) list_->SetBackgroundImageName(a->Name);
        section_ = std::make_unique<TSection>(*list_, level_, fonts_.front(), nullptr, justify_);
        names_->Retarget(dropped, section_.get());
      }
      Next();
      return;
    case BaseSy:
      result_.Base = AttrText(HrefSy);
      result_.BaseTarget = AttrText(TargetSy);
      Next();
      return;
    case PSy:
    case End(PSy): {
      CloseSection();
      Cell().AddSection(std::make_unique<TParagraphSpace>(*list_));
      int align = sym_ == PSy ? AlignOf(justify_) : justify_;
      Next();
      while (sym_ == PSy || sym_ == End(PSy)) {
        align = sym_ == PSy ? AlignOf(justify_) : justify_;
        Next();
      }
      StartSection(align);
      return;
    }
    case BRSy: {
      int align = section_ ? section_->Complete() : justify_;
      CloseSection();
      StartSection(align);
      section_->ReadClear(attrs_);
      Next();
      return;
    }
    case HSy:
      if (fonts_.size() < kMaxFonts) {
        static const int sizes[7] = {12, 24, 18, 15, 12, 10, 8};
        CloseSection();
        PushFontCopy();
        fonts_.back().SetNominalSize(list_->FontSize, sizes[headLevel_]);
        if (headLevel_ > 0) fonts_.back().Style |= dsBold;
        Cell().AddSection(std::make_unique<THeadingSpace>(*list_, headLevel_));
        StartSection(AlignOf(justify_));
      }
      Next();
      return;
    case End(HSy):
      if (fonts_.size() > 1) {
        CloseSection();
        Cell().AddSection(std::make_unique<THeadingSpace>(*list_, headLevel_));
        DropFont();
      }
      Next();
      return;
    case BSy: case StrongSy: case ISy: case EmSy: case CiteSy: case VarSy: case USy: case SSy: case StrikeSy:
    case End(BSy): case End(StrongSy): case End(ISy): case End(EmSy): case End(CiteSy): case End(VarSy):
    case End(USy): case End(SSy): case End(StrikeSy):
    case SubSy: case SupSy: case End(SubSy): case End(SupSy):
      StyleTag();
      Next();
      return;
    case TTSy: case CodeSy: case KbdSy: case SampSy:
      if (PushFontCopy()) {
        fonts_.back().Name = list_->PreFontName;
        fonts_.back().SetNominalSize(list_->FontSize, 10);
        fonts_.back().Fixed = true;
      }
      Switch();
      Next();
      return;
    case End(TTSy): case End(CodeSy): case End(KbdSy): case End(SampSy): case End(FontSy): case End(BigSy):
    case End(SmallSy):
      DropFont();
      Switch();
      Next();
      return;
    case FontSy:
    case BaseFontSy:
      FontTag();
      Next();
      return;
    case BigSy:
    case SmallSy:
      BigSmall();
      Next();
      return;
    case AddressSy:
      CloseSection();
      if (PushFontCopy()) fonts_.back().Style |= dsItalic;
      StartSection(justify_);
      Next();
      return;
    case End(AddressSy):
      CloseSection();
      DropFont();
      Next();
      return;
    case ASy:
      AnchorTag();
      Next();
      return;
    case End(ASy):
      EndLink();
      Next();
      return;
    case TextSy:
      Ensure().AppendText(text_);
      Next();
      return;
    case ImgSy:
      Ensure().InsertImage(attrs_);
      Next();
      return;
    case HRSy:
      CloseSection();
      Cell().AddSection(std::make_unique<THorzLine>(*list_, attrs_));
      Next();
      return;
    case CenterSy:
    case DivSy: {
      if (blockDepth_ >= kMaxBlockNesting) {
        Next();
        return;
      }
      int own = End(sym_);
      CloseSection();
      int saved = justify_;
      justify_ = sym_ == CenterSy ? 2 : AlignOf(justify_);
      StartSection(justify_);
      Next();
      ++blockDepth_;
      TSymSet inner = terms;
      inner.set(size_t(End(CenterSy)));
      inner.set(size_t(End(DivSy)));
      ReadBody(inner);
      --blockDepth_;
      CloseSection();
      justify_ = saved;
      StartSection(justify_);
      if (sym_ == own) Next();
      return;
    }
    case OLSy: case ULSy: case DirSy: case MenuSy: case DLSy: case BlockQuoteSy:
      if (blockDepth_ >= kMaxBlockNesting) {
        Next();
        return;
      }
      ++blockDepth_;
      ReadList(level_ + 1, sym_, terms);
      --blockDepth_;
      if (sym_ < kSymCount && ListEndTags().test(size_t(sym_))) Next();
      return;
    case PreSy:
      ReadPre();
      return;
    case TableSy:
      if (blockDepth_ >= kMaxBlockNesting || tableDepth_ >= kMaxParsedTables) {
        Next();
        return;
      }
      ReadTable();
      return;
    case FormSy:
      list_->CurrentForm = &TDocForm::Create(*list_, attrs_);
      Next();
      return;
    case End(FormSy):
      list_->CurrentForm = nullptr;
      Next();
      return;
    case InputSy:
      InsertFormControl(Ensure(), *list_, cell_, TFormElement::feInput, attrs_);
      Next();
      return;
    case SelectSy: {
      auto* c = InsertFormControl(Ensure(), *list_, cell_, TFormElement::feSelect, attrs_);
      ReadOptions(dynamic_cast<TListBoxFormControlObj*>(c), false);
      return;
    }
    case TextAreaSy: {
      auto* c = InsertFormControl(Ensure(), *list_, cell_, TFormElement::feTextArea, attrs_);
      ReadTextArea(dynamic_cast<TTextAreaFormControlObj*>(c));
      Next();
      return;
    }
    case MapSy:
      ReadMap(false);
      return;
    case PageSy:
      CloseSection();
      Cell().AddSection(std::make_unique<TPage>(*list_));
      Next();
      return;
    case ScriptSy:
      ReadScript();
      Next();
      return;
    case StyleSy:
      if (outsideCells_) SkipStyle();
      Next();
      return;
    default:
      Next();
      return;
  }
}

void THtmlReader::StyleTag() {
  uint32_t& style = list_->CurrentStyle;
  switch (sym_) {
    case BSy: case StrongSy: style |= dsBold; break;
    case ISy: case EmSy: case CiteSy: case VarSy: style |= dsItalic; break;
    case USy: style |= dsUnderline; break;
    case SSy: case StrikeSy: style |= dsStrikeOut; break;
    case End(BSy): case End(StrongSy): style &= ~dsBold; break;
    case End(ISy): case End(EmSy): case End(CiteSy): case End(VarSy): style &= ~dsItalic; break;
    case End(USy): style &= ~dsUnderline; break;
    case End(SSy): case End(StrikeSy): style &= ~dsStrikeOut; break;
    case SubSy: list_->CurrentSScript = 1; break;
    case SupSy: list_->CurrentSScript = 2; break;
    default: list_->CurrentSScript = 0; break;
  }
  Switch();
}

void THtmlReader::FontTag() {
  bool isBase = sym_ == BaseFontSy;
  if (isBase && !(cell_ == list_ && list_->Count() == 0)) return;
  const int* sizes = preMode_ ? kPreformattedSizes : kFontSizes;
  bool sizeGiven = false;
  int step = baseSizeStep_;
  if (const TAttribute* a = Attr(SizeSy)) {
    sizeGiven = true;
    bool relative = !a->Name.empty() && (a->Name[0] == '+' || a->Name[0] == '-');
    int64_t v = relative ? int64_t(baseSizeStep_) + a->Value : a->Value;
    step = int(v < 1 ? 1 : v > 7 ? 7 : v);
    if (isBase) baseSizeStep_ = step;
  }
  TColor colour = 0;
  bool colourGiven = !isBase && Attr(ColorSy) && ParseColour(Attr(ColorSy)->Name, colour);
  std::string face;
  if (!isBase) {
    face = AttrText(FaceSy).substr(0, 50);
    face = Trim(face.substr(0, face.find(',')));
  }
  if (!PushFontCopy()) return;
  TMyFont& f = fonts_.back();
  if (sizeGiven) f.SetNominalSize(list_->FontSize, sizes[step - 1]);
  if (colourGiven) f.Color = colour | 0x02000000;
  if (!face.empty()) f.Name = face;
  Switch();
}

void THtmlReader::BigSmall() {
  bool big = sym_ == BigSy;
  int step = 0;
  for (int i = 0; i < 7; ++i)
    if (Top().NominalSize == kFontSizes[i]) step = i + 1;
  if (!PushFontCopy()) return;
  if (step) {
    int to = step;
    if (big && step <= 6)
      to = step + 1;
    else if (step >= 2)
      to = step - 1;
    fonts_.back().SetNominalSize(list_->FontSize, kFontSizes[to - 1]);
  }
  Switch();
}

void THtmlReader::AnchorTag() {
  std::string href = AttrText(HrefSy);
  if (!href.empty() && fonts_.size() < kMaxFonts) {
    EndLink();
    std::string target = AttrText(TargetSy);
    link_.ClearLink();
    link_.SetLink(&href, &target);
    inLink_ = true;
    PushFontCopy();
    fonts_.back().Style |= dsUnderline;
    fonts_.back().Color = list_->LinkColor;
    if (section_) section_->SwitchLink(Top(), &link_);
  }
  if (const TAttribute* n = Attr(NameSy)) names_->Add(UpperCase(n->Name), &Ensure());
}

// -- lists

void THtmlReader::ReadList(int level, int listTag, const TSymSet& terms) {
  int start = 1;
  char type = '1';
  bool plain = false;
  if (listTag == OLSy) {
    if (const TAttribute* a = Attr(StartSy); a && a->Value >= 0) start = a->Value;
    if (const TAttribute* a = Attr(TypeSy); a && !a->Name.empty()) type = a->Name[0];
  } else if (listTag == ULSy) {
    plain = Attr(PlainSy) != nullptr;
  }
  CloseSection();
  Next();
  if (sym_ < kSymCount && ListEndTags().test(size_t(sym_))) return;
  int savedLevel = level_;
  level_ = level;
  int number = start;
  while (!Ended(terms) && !ListEndTags().test(size_t(sym_))) {
    switch (sym_) {
      case LISy:
        CloseSection();
        level_ = level;
        if (listTag == OLSy)
          section_ = std::make_unique<TOListItem>(*list_, level, Top(), LinkOrNull(), type, number++);
        else
          section_ = std::make_unique<TUListItem>(*list_, level, Top(), LinkOrNull(), plain);
        Next();
        if (sym_ == PSy) Next();
        break;
      case DDSy:
      case DTSy: {
        CloseSection();
        int at = sym_ == DDSy ? level : level - 1;
        level_ = at;
        section_ = std::make_unique<TDListItem>(*list_, at, Top(), LinkOrNull());
        Next();
        break;
      }
      case OLSy: case ULSy: case DirSy: case MenuSy: case DLSy: case BlockQuoteSy:
        if (blockDepth_ >= kMaxBlockNesting) {
          Next();
          break;
        }
        CloseSection();
        ++blockDepth_;
        ReadList(level + 1, sym_, terms);
        --blockDepth_;
        level_ = level;
        if (sym_ < kSymCount && ListEndTags().test(size_t(sym_))) Next();
        break;
      case TableSy:
        if (blockDepth_ >= kMaxBlockNesting || tableDepth_ >= kMaxParsedTables) {
          Next();
          break;
        }
        if (section_) section_->Complete();
        CloseSection();
        ReadTable();
        break;
      default:
        BodyToken(terms);
        break;
    }
  }
  CloseSection();
  level_ = savedLevel;
}

// -- tables

void THtmlReader::ReadTable() {
  EndLink();
  CloseSection();
  TCell* enclosing = cell_;
  int savedJustify = justify_;
  uint32_t savedStyle = list_->CurrentStyle;
  size_t savedDepth = fonts_.size();
  auto table = std::make_unique<TDocTable>(*list_, level_, enclosing, justify_, attrs_);
  auto row = std::make_unique<TCellList>(TAttributeList());
  std::unique_ptr<TCellObj> cellObj;
  bool anyRow = false;
  int rowAlign = 0, rowVAlign = -1;
  ++tableDepth_;
  ++blockDepth_;

  auto closeCell = [&] {
    CloseSection();
    if (cellObj) row->Cells.push_back(std::move(cellObj));
    cell_ = enclosing;
  };

  // What was read stays when a parse error passes: the table goes into its cell either way.
  auto finish = [&] {
    --tableDepth_;
    --blockDepth_;
    EndLink();
    PopFontsTo(savedDepth);
    closeCell();
    table->Rows.push_back(std::move(row));
    cell_ = enclosing;
    cell_->AddSection(std::move(table));
    list_->CurrentStyle = savedStyle;
    justify_ = savedJustify;
  };
  try {
    ReadTableBody(*table, row, cellObj, closeCell, savedDepth, savedStyle, savedJustify, rowAlign, rowVAlign,
                  anyRow);
  } catch (...) {
    finish();
    throw;
  }
  finish();
  if (sym_ == End(TableSy)) Next();
}

template <class CloseCell>
void THtmlReader::ReadTableBody(TDocTable& table, std::unique_ptr<TCellList>& row,
                                std::unique_ptr<TCellObj>& cellObj, CloseCell& closeCell, size_t savedDepth,
                                uint32_t savedStyle, int tableJustify, int& rowAlign, int& rowVAlign,
                                bool& anyRow) {
  Next();
  while (sym_ != End(TableSy) && sym_ != EofSy && sym_ != End(BodySy)) {
    switch (sym_) {
      case TDSy:
      case THSy: {
        PopFontsTo(savedDepth);
        list_->CurrentStyle = savedStyle;
        closeCell();
        bool th = sym_ == THSy;
        justify_ = rowAlign ? rowAlign : th ? 2 : 1;
        if (th)
          list_->CurrentStyle |= dsBold;
        else
          list_->CurrentStyle &= ~dsBold;
        if (int own = CellAlign(Attr(AlignSy))) justify_ = own;
        int valign = VAlignOf(Attr(VAlignSy), rowVAlign >= 0 ? rowVAlign : 1);
        cellObj = std::make_unique<TCellObj>(*list_, valign, attrs_);
        cell_ = &cellObj->Content;
        Next();
        if (sym_ == PSy) {
          justify_ = AlignOf(justify_);
          Next();
        }
        bool saved = outsideCells_;
        outsideCells_ = false;
        ReadBody(CellTerminators());
        outsideCells_ = saved;
        break;
      }
      case End(TDSy):
      case End(THSy):
        closeCell();
        Next();
        break;
      case TRSy:
        if (!anyRow && row->Cells.empty() && !cellObj) {
          row = std::make_unique<TCellList>(attrs_);
        } else {
          closeCell();
          table.Rows.push_back(std::move(row));
          row = std::make_unique<TCellList>(attrs_);
        }
        anyRow = true;
        rowAlign = CellAlign(Attr(AlignSy));
        rowVAlign = VAlignOf(Attr(VAlignSy), -1);
        Next();
        break;
      case CaptionSy:
        closeCell();
        if (LowerCase(AttrText(AlignSy)) == "bottom") table.CaptionOnTop = false;
        cell_ = &table.Caption->Content;
        justify_ = 2;
        Next();
        {
          bool saved = outsideCells_;
          outsideCells_ = false;
          ReadBody(CellTerminators());
          outsideCells_ = saved;
        }
        if (sym_ == End(CaptionSy)) Next();
        break;
      case TextSy: case FormSy: case End(FormSy): case ScriptSy: case MapSy: case ASy:
      {
        // Outside the cells: into the enclosing cell, before the table, in its alignment.
        closeCell();
        int cellJustify = justify_;
        justify_ = tableJustify;
        bool saved = outsideCells_;
        outsideCells_ = true;
        ReadBody(CellTerminators());
        outsideCells_ = saved;
        justify_ = cellJustify;
        break;
      }
      case StyleSy:
        SkipStyle();
        Next();
        break;
      default:
        Next();
        break;
    }
  }
}

void THtmlReader::SkipStyle() {
  // ch_ follows the STYLE tag; skip to "</style" and its ">".
  static const char kEnd[] = "</STYLE";
  size_t matched = 0;
  while (ch_ != kEof) {
    if (up_ == kEnd[matched]) {
      ++matched;
      FetchChar();
      if (matched == 7) break;
    } else if (matched) {
      matched = 0;
    } else {
      FetchChar();
    }
  }
  while (ch_ != '>' && ch_ != kEof) FetchChar();
  if (ch_ == '>') Advance();
  // The token after is read by the caller.
  sym_ = UnknownTagSy;
}

// -- preformatted text

void THtmlReader::ReadPre() {
  CloseSection();
  bool pushed = PushFontCopy();
  if (pushed) {
    fonts_.back().Name = list_->PreFontName;
    fonts_.back().SetNominalSize(list_->FontSize, 10);
    fonts_.back().Fixed = true;
  }
  StartPreSection();
  preMode_ = true;
  std::string text;
  auto flush = [&] {
    if (!text.empty()) section_->AppendText(text);
    text.clear();
  };
  auto newLine = [&] {
    flush();
    CloseSection();
    StartPreSection();
  };
  bool pending = false;  // sym_ holds a token a reader left
  bool leaveBody = false;
  while (true) {
    if (!pending) {
      if (ch_ == kEof) break;
      if (ch_ == 13) {
        newLine();
        Advance();
        continue;
      }
      if (ch_ == '&') {
        text += Entity();
        continue;
      }
      if (ch_ != '<') {
        text += char(ch_);
        Advance();
        if (text.size() >= 200) flush();
        continue;
      }
      flush();
      ReadTag();
    }
    pending = false;
    switch (sym_) {
      case TextSy:
      case CharSy:
        text += text_;
        continue;
      case EofSy:
        break;
      case PSy:
      case BRSy:
        newLine();
        if (ch_ == 13) Advance();
        continue;
      case BSy: case StrongSy: case ISy: case EmSy: case CiteSy: case VarSy: case USy: case SSy: case StrikeSy:
      case End(BSy): case End(StrongSy): case End(ISy): case End(EmSy): case End(CiteSy): case End(VarSy):
      case End(USy): case End(SSy): case End(StrikeSy):
        StyleTag();
        continue;
      case FontSy:
      case BaseFontSy:
        FontTag();
        continue;
      case End(FontSy):
        DropFont();
        Switch();
        continue;
      case ASy:
        AnchorTag();
        continue;
      case End(ASy):
        EndLink();
        continue;
      case ImgSy:
        section_->InsertImage(attrs_);
        continue;
      case InputSy:
        InsertFormControl(*section_, *list_, cell_, TFormElement::feInput, attrs_);
        continue;
      case SelectSy: {
        auto* c = InsertFormControl(*section_, *list_, cell_, TFormElement::feSelect, attrs_);
        ReadOptions(dynamic_cast<TListBoxFormControlObj*>(c), true);
        pending = sym_ != UnknownTagSy;
        continue;
      }
      case TextAreaSy: {
        auto* c = InsertFormControl(*section_, *list_, cell_, TFormElement::feTextArea, attrs_);
        ReadTextArea(dynamic_cast<TTextAreaFormControlObj*>(c));
        continue;
      }
      case FormSy:
        list_->CurrentForm = &TDocForm::Create(*list_, attrs_);
        continue;
      case End(FormSy):
        list_->CurrentForm = nullptr;
        continue;
      case MapSy:
        ReadMap(true);
        pending = sym_ != UnknownTagSy;
        continue;
      case PageSy:
        flush();
        CloseSection();
        Cell().AddSection(std::make_unique<TPage>(*list_));
        StartPreSection();
        continue;
      case ScriptSy:
        ReadScript();
        continue;
      case End(PreSy):
      case End(TDSy):
      case End(THSy):
        break;
      case End(BodySy):
        leaveBody = true;
        break;
      default:
        continue;
    }
    break;
  }
  flush();
  CloseSection();
  preMode_ = false;
  if (pushed) DropFont();
  if (leaveBody)
    sym_ = End(BodySy);
  else
    Next();
}

// -- form elements

void THtmlReader::ReadOptions(TListBoxFormControlObj* control, bool inPre) {
  static const TSymSet kLeft = Set({End(FormSy), TRSy, TDSy, THSy, End(TDSy), End(THSy), End(TableSy), End(BodySy), EofSy});
  bool pending = false, selected = false;
  std::string text, value;
  auto flush = [&] {
    if (!pending) return;
    std::string t = Trim(text);
    if (!t.empty() && control) control->AddOption(t, value, selected);
    pending = false;
  };
  Next();
  while (true) {
    if (sym_ == OptionSy) {
      flush();
      pending = true;
      selected = Attr(SelectedSy) != nullptr;
      value = AttrText(ValueSy).substr(0, 80);
      text.clear();
      Next();
    } else if (sym_ == TextSy) {
      if (pending && text.size() < 80) text = (text + text_).substr(0, 80);
      Next();
    } else if (sym_ == End(OptionSy)) {
      flush();
      Next();
    } else if (sym_ == End(SelectSy)) {
      flush();
      if (inPre)
        sym_ = UnknownTagSy;  // consumed; the preformatted reader goes on with characters
      else
        Next();
      break;
    } else if (sym_ < kSymCount && kLeft.test(size_t(sym_))) {
      flush();
      break;
    } else {
      Next();
    }
  }
  if (control) control->Restore();
}

void THtmlReader::ReadTextArea(TTextAreaFormControlObj* control) {
  std::string line;
  auto add = [&](const std::string& l) {
    if (control) control->AddLine(l);
  };
  while (true) {
    if (ch_ == kEof) break;
    if (ch_ == 13) {
      add(line);
      line.clear();
      Advance();
      continue;
    }
    if (ch_ == '<') {
      std::string word;
      while (ch_ != ' ' && ch_ != 13 && ch_ != '>' && ch_ != kEof) {
        word += char(ch_);
        Advance();
      }
      if (LowerCase(word) == "</textarea") {
        while (ch_ != '>' && ch_ != kEof) Advance();
        if (ch_ == '>') Advance();
        break;
      }
      line += word;
      continue;
    }
    line += char(ch_);
    Advance();
  }
  if (!line.empty()) add(line);
  if (control) control->Restore();
}

// -- scripts and maps

namespace {

// The script's text as one block: 32500 bytes at first, 10000 more whenever the next piece
// would not fit, a zero byte at the end.
class TScriptText {
 public:
  void Append(const std::string& piece) {
    size_t need = size_ + piece.size() + 1;
    if (need > capacity_) {
      size_t capacity = capacity_ ? capacity_ : 32500;
      while (capacity < need) capacity += 10000;
      auto grown = std::make_unique<char[]>(capacity);
      if (size_) std::copy(block_.get(), block_.get() + size_, grown.get());
      block_ = std::move(grown);
      capacity_ = capacity;
    }
    std::copy(piece.begin(), piece.end(), block_.get() + size_);
    size_ += piece.size();
  }
  TScriptBlock Finish() {
    Append(std::string());
    block_[size_] = 0;
    return std::move(block_);
  }

 private:
  TScriptBlock block_;
  size_t size_ = 0, capacity_ = 0;
};

}  // namespace

void THtmlReader::ReadScript() {
  bool handled = bool(onScript_);
  std::string language = AttrText(LanguageSy);
  TScriptText script;
  scriptMode_ = handled;
  std::string line;
  while (ch_ != kEof) {
    if (ch_ == '<') {
      std::string word = "<";
      Advance();
      while (word.size() < 8 && (ch_ == '/' || IsUpperLetter(up_))) {
        word += char(ch_);
        Advance();
      }
      if (UpperCase(word) == "</SCRIPT") {
        if (ch_ == '>') Advance();
        break;
      }
      if (handled) line += word;
      continue;
    }
    if (ch_ == 13) {
      if (handled) script.Append(line + "\r\n");
      line.clear();
    } else if (handled) {
      line += char(ch_);
    }
    Advance();
  }
  scriptMode_ = false;
  if (handled) {
    if (!line.empty()) script.Append(line + "\r\n");
    TScriptBlock text = script.Finish();
    onScript_(language, text);
  }
}

void THtmlReader::ReadMap(bool inPre) {
  auto map = std::make_unique<TMapItem>(UpperCase(AttrText(NameSy)));
  Next();
  while (true) {
    if (sym_ == AreaSy) {
      map->AddAreaFromTag(attrs_);
      Next();
    } else if (sym_ == End(MapSy)) {
      list_->Maps.push_back(std::move(map));
      if (inPre)
        sym_ = UnknownTagSy;
      else
        Next();
      return;
    } else if (sym_ == EofSy || sym_ == End(BodySy)) {
      return;
    } else {
      Next();
    }
  }
}

// -- plain text

void THtmlReader::ParseText() {
  InitBuild();
  try {
    section_.reset();
    PushFontCopy();
    fonts_.back().Name = list_->PreFontName;
    fonts_.back().SetNominalSize(list_->FontSize, 10);
    fonts_.back().Fixed = true;
    StartPreSection();
    std::string text;
    FetchChar();
    while (ch_ != kEof) {
      if (ch_ == 13) {
        section_->AppendText(text);
        text.clear();
        CloseSection();
        StartPreSection();
      } else {
        text += char(ch_);
        if (text.size() >= 200) {
          section_->AppendText(text);
          text.clear();
        }
      }
      FetchChar();
    }
    section_->AppendText(text);
  } catch (...) {
    Cleanup();
    throw;
  }
  Cleanup();
}

// -- frame sets

void THtmlReader::SkipNoFrames() {
  while (sym_ != End(NoFramesSy) && sym_ != EofSy) Next();
  if (sym_ == End(NoFramesSy)) Next();
}

bool THtmlReader::FrameScan(TFrameSetDesc* desc) {
  static const TSymSet kBodyContent = Set({BodySy, PSy, HSy, HRSy, OLSy, ULSy, DirSy, MenuSy, DLSy, AddressSy,
                                           BlockQuoteSy, PreSy, ImgSy, TableSy, FormSy});
  try {
    Advance();
    Next();
    while (sym_ != EofSy) {
      if (sym_ < kSymCount && kBodyContent.test(size_t(sym_))) return false;
      switch (sym_) {
        case TitleSy:
          ReadTitle();
          continue;
        case BaseSy:
          result_.Base = AttrText(HrefSy);
          result_.BaseTarget = AttrText(TargetSy);
          break;
        case ScriptSy:
          if (desc) {
            ReadScript();
          } else {
            TScriptHandler none;
            std::swap(none, onScript_);
            ReadScript();
            std::swap(none, onScript_);
          }
          break;
        case NoFramesSy:
          if (desc) {
            SkipNoFrames();
            continue;
          }
          break;
        case FrameSetSy:
          if (desc) {
            ReadFrameSet(*desc);
            desc->Title = result_.Title;
          }
          return true;
        default:
          break;
      }
      Next();
    }
  } catch (const std::exception&) {
    return false;
  }
  return false;
}

void THtmlReader::ReadFrameSet(TFrameSetDesc& desc) {
  desc.ReadDimensions(attrs_);
  Next();
  while (sym_ != End(FrameSetSy) && sym_ != EofSy) {
    switch (sym_) {
      case FrameSetSy: {
        if (blockDepth_ >= kMaxBlockNesting) break;
        TFrameSetDesc ignored;
        ignored.Top = false;
        TFrameSetDesc* sub = desc.AppendSubSet();
        ++blockDepth_;
        ReadFrameSet(sub ? *sub : ignored);
        --blockDepth_;
        if (sym_ == End(FrameSetSy)) Next();
        continue;
      }
      case FrameSy:
        desc.AppendFrame(attrs_);
        break;
      case NoFramesSy:
        SkipNoFrames();
        continue;
      case ScriptSy:
        ReadScript();
        break;
      default:
        break;
    }
    Next();
  }
  desc.FinishSet(result_.Base, result_.BaseTarget);
}

}  // namespace

// ---- Entry points

void HtmlParse(TSectionList& list, TAnchorList& names, const TSourceRef& source, TParseResult& result,
               const TScriptHandler& onScript) {
  THtmlReader reader(source, &list, &names, onScript);
  try {
    reader.ParseHtml();
  } catch (...) {
    result = reader.Result();
    throw;
  }
  result = reader.Result();
}

void TextParse(TSectionList& list, TAnchorList& names, const TSourceRef& source, TParseResult& result) {
  THtmlReader reader(source, &list, &names, nullptr);
  reader.ParseText();
  result = reader.Result();
}

void HtmlParseFile(TSectionList& list, TAnchorList& names, const std::string& fileName, TParseResult& result,
                   const TScriptHandler& onScript) {
  HtmlParse(list, names, TSourceRef::File(fileName), result, onScript);
}
void HtmlParseBuffer(TSectionList& list, TAnchorList& names, const char* start, const char* end,
                     TParseResult& result, const TScriptHandler& onScript) {
  HtmlParse(list, names, TSourceRef::Buffer(start, end), result, onScript);
}
void HtmlParseStrings(TSectionList& list, TAnchorList& names, const TStrings& strings, TParseResult& result,
                      const TScriptHandler& onScript) {
  HtmlParse(list, names, TSourceRef::Lines(strings), result, onScript);
}
void HtmlParseStream(TSectionList& list, TAnchorList& names, TStream& stream, TParseResult& result,
                     const TScriptHandler& onScript) {
  HtmlParse(list, names, TSourceRef::OfStream(stream), result, onScript);
}
void TextParseFile(TSectionList& list, TAnchorList& names, const std::string& fileName, TParseResult& result) {
  TextParse(list, names, TSourceRef::File(fileName), result);
}
void TextParseStrings(TSectionList& list, TAnchorList& names, const TStrings& strings, TParseResult& result) {
  TextParse(list, names, TSourceRef::Lines(strings), result);
}

void ImageParse(TSectionList& list, const std::string& fileName) {
  TMyFont font;
  font.Name = list.FontName;
  font.Color = list.TextColor;
  font.SetNominalSize(list.FontSize, 12);
  auto section = std::make_unique<TSection>(list, 0, font, nullptr, 1);
  TAttributeList attributes;
  attributes.Add({SrcSy, 0, fileName});
  section->InsertImage(attributes);
  list.AddSection(std::move(section));
}

bool IsFrameDocument(const TSourceRef& source) {
  THtmlReader reader(source, nullptr, nullptr, nullptr);
  return reader.FrameScan(nullptr);
}

bool FrameParse(TFrameSetDesc& desc, const TSourceRef& source, const TScriptHandler& onScript) {
  THtmlReader reader(source, nullptr, nullptr, onScript);
  return reader.FrameScan(&desc);
}
