#include "setup_engine/translator.h"

#include <algorithm>
#include <cstdlib>

#include "framework/core/seam.h"
#include "framework/core/sysutils.h"
#include "setup_engine/setup_routines.h"

namespace {

const TTypeInfo kLanguages{{"klChineseSimplified", "klCzech", "klDanish", "klEnglish", "klFrench",
                            "klGerman", "klGreek", "klHebrew", "klItalian", "klJapanese", "klKorean",
                            "klPolish", "klPortugese", "klRussian", "klSpanish", "klUser",
                            "klVietnamese"},
                           {}};
const TTypeInfo kFontStyles{{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, {}};
const TTypeInfo kFontPitches{{"fpDefault", "fpVariable", "fpFixed"}, {}};

// Portuguese is written in the Western code page: charset 238 (Central European) would
// show its "ã" and "õ" as other letters. Hebrew has no font of its own in the table.
const setup::TLanguageData kTable[] = {
    {"lgChineseSimplified", "kstiChineseSimplified.txt", "BM_LANG_SIMPCHINESE", 134,
     "\xB7\x73\xB2\xD3\xA9\xFA\xC5", 9},
    {"lgCzech", "kstiCzech.txt", "BM_LANG_CZECH", 238, "Arial", 8},
    {"lgDanish", "kstiDanish.txt", "BM_LANG_DANISH", 0, "Arial", 8},
    {"lgEnglish", "kstiEnglish.txt", "BM_LANG_ENGLISH", 0, "Arial", 8},
    {"lgFrench", "kstiFrench.txt", "BM_LANG_FRENCH", 0, "Arial", 8},
    {"lgGerman", "kstiGerman.txt", "BM_LANG_GERMAN", 0, "MS Sans Serif", 8},
    {"lgGreek", "kstiGreek.txt", "BM_LANG_GREEK", 0, "SGreek", 8},
    {"lgHebrew", "kstiHebrew.txt", "BM_LANG_HEBREW", 177, "Arial", 8},
    {"lgItalian", "kstiItalian.txt", "BM_LANG_ITALIAN", 0, "Arial", 8},
    {"lgJapanese", "kstiJapanese.txt", "BM_LANG_JAPANESE", 128,
     "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9},
    {"lgKorean", "kstiKorean.txt", "BM_LANG_KOREAN", 129, "\xB9\xD9\xC5\xC1", 9},
    {"lgPolish", "kstiPolish.txt", "BM_LANG_POLISH", 238, "Arial", 8},
    {"lgPortugese", "kstiPortugese.txt", "BM_LANG_PORTUGESE", 0, "Arial", 8},
    {"lgRussian", "kstiRussian.txt", "BM_LANG_RUSSIAN", 204, "Arial", 8},
    {"lgSpanish", "kstiSpanish.txt", "BM_LANG_SPANISH", 0, "Arial", 8},
    {"", "", "", 0, "", 0},
    {"lgVietnamese", "kstiVietnamese.txt", "BM_LANG_VIETNAMESE", 163, "Arial", 8},
};
constexpr int kTableSize = int(sizeof kTable / sizeof kTable[0]);

const setup::TLanguageData& Known(TKstnLanguage l) {
  if (int(l) >= kTableSize || l == TKstnLanguage::klUser) throw Exception("Unrecognized language");
  return kTable[int(l)];
}

TSeam<setup::TUserLangIdSource>& LangIdSource() {
  static TSeam<setup::TUserLangIdSource> seam{setup::TUserLangIdSource(&setup::SystemUserLangId)};
  return seam;
}

ITranslateControls* translateControls = nullptr;
TTranslator* globalTranslator = nullptr;

// An integer in the whole of s (sign allowed); false for anything else.
bool ParseGlid(const std::string& s, int& value) {
  if (s.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  value = int(v);
  return true;
}

}  // namespace

const TTypeInfo& KstnLanguageTypeInfo() { return kLanguages; }

namespace setup {

const TLanguageData& LanguageData(TKstnLanguage language) {
  static const TLanguageData none{"", "", "", 0, "", 0};
  return int(language) < kTableSize ? kTable[int(language)] : none;
}

int LanguageCharset(TKstnLanguage language) { return Known(language).Charset; }
std::string LanguageFontName(TKstnLanguage language) { return Known(language).Font; }
int LanguageMinFontSize(TKstnLanguage language) { return Known(language).MinFontSize; }

TKstnLanguage LanguageOfLangId(uint16_t langId) {
  using L = TKstnLanguage;
  switch (langId & 0x3FF) {
    case 4: return L::klChineseSimplified;
    case 5: return L::klCzech;
    case 6: return L::klDanish;
    case 7: return L::klGerman;
    case 8: return L::klGreek;
    case 10: return L::klSpanish;
    case 12: return L::klFrench;
    case 13: return L::klHebrew;
    case 16: return L::klItalian;
    case 17: return L::klJapanese;
    case 18: return L::klKorean;
    case 21: return L::klPolish;
    case 22: return L::klPortugese;
    case 25: return L::klRussian;
    case 42: return L::klVietnamese;
    default: return L::klEnglish;
  }
}

TUserLangIdSource SetUserLangIdSource(TUserLangIdSource source) {
  return LangIdSource().Set(std::move(source));
}

std::optional<TKstnLanguage> UserDefaultLanguage() {
  std::optional<uint16_t> id;
  try {
    id = LangIdSource().Get()();
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!id) return std::nullopt;
  return LanguageOfLangId(*id);
}

}  // namespace setup

ITranslateControls* SetTranslateControls(ITranslateControls* controls) {
  ITranslateControls* old = translateControls;
  translateControls = controls;
  return old;
}

// ---- TLanguageFont

const TClassInfo& TLanguageFont::StaticClass() {
  using P = TProps<TLanguageFont>;
  static const TClassInfo info{
      "TLanguageFont", &TPersistent::StaticClass(), nullptr,
      {P::Int("Charset", [](const TLanguageFont& f) { return f.Charset; },
              [](TLanguageFont& f, int v) { f.Charset = v; })
           .WithDefault(int64_t(1)),
       P::Int("Color", [](const TLanguageFont& f) { return f.Color; },
              [](TLanguageFont& f, int v) { f.Color = v; }, &ColorTypeInfo())
           .WithDefault(int64_t(clWindowText)),
       P::Int("Height", [](const TLanguageFont& f) { return f.Height; },
              [](TLanguageFont& f, int v) { f.Height = v; })
           .WithDefault(int64_t(-11)),
       P::Str("Name", [](const TLanguageFont& f) { return f.Name; },
              [](TLanguageFont& f, std::string v) { f.Name = v.substr(0, 31); })
           .WithDefault(std::string("MS Sans Serif")),
       P::Enum<int>("Pitch", &kFontPitches, [](const TLanguageFont& f) { return f.Pitch; },
                    [](TLanguageFont& f, int v) { f.Pitch = v; })
           .WithDefault(int64_t(0)),
       P::Int("Size", &TLanguageFont::Size, &TLanguageFont::SetSize)
           .WithStored([](const TPersistent&) { return false; }),
       P::Set("Style", &kFontStyles, [](const TLanguageFont& f) { return f.Style; },
              [](TLanguageFont& f, uint32_t v) { f.Style = v; })
           .WithDefault(int64_t(0))}};
  return info;
}

int TLanguageFont::Size() const { return int((-int64_t(Height) * 72 + (Height < 0 ? 48 : -48)) / 96); }

void TLanguageFont::SetSize(int points) {
  Height = -int((int64_t(points) * 96 + (points < 0 ? -36 : 36)) / 72);
}

void TLanguageFont::Assign(const TPersistent& src) {
  if (auto* f = dynamic_cast<const TLanguageFont*>(&src)) {
    Name = f->Name;
    Height = f->Height;
    Style = f->Style;
    Color = f->Color;
    Charset = f->Charset;
    Pitch = f->Pitch;
    return;
  }
  TPersistent::Assign(src);
}

// ---- TLanguageMemo, TLangFormatStrings

TLanguageMemo::TLanguageMemo(TLanguage& language, int glid, int line,
                             const std::vector<std::string>& lines)
    : TLanguageElement(language, glid, line) {
  for (const std::string& s : lines) lines_.Add(s);
}

const TClassInfo& TLangFormatStrings::StaticClass() {
  static const TClassInfo info{"TLangFormatStrings", &TStringList::StaticClass(), nullptr, {}};
  return info;
}

void TLangFormatStrings::Delete(int index) {
  deleting_ = true;
  try {
    TStringList::Delete(index);
  } catch (...) {
    deleting_ = false;
    throw;
  }
  deleting_ = false;
  language_.LineDeleted(index);
}

void TLangFormatStrings::Changed() {
  TStringList::Changed();
  if (!Updating() && !deleting_) Reparse();
}

void TLangFormatStrings::SetUpdateState(bool updating) {
  TStringList::SetUpdateState(updating);
  if (!updating) Reparse();
}

void TLangFormatStrings::Reparse() {
  if (language_.ParseOnChange()) language_.Parse();
}

// ---- TLanguage

const TClassInfo& TLanguage::StaticClass() {
  using P = TProps<TLanguage>;
  static const TClassInfo info{
      "TLanguage", &TPersistent::StaticClass(), nullptr,
      {P::Nested("Font", [](TLanguage& l) -> TPersistent& { return l.Font(); }),
       P::Bool("FontOverride", &TLanguage::FontOverride, &TLanguage::SetFontOverride).WithDefault(false),
       P::Enum<TKstnLanguage>("LanguageIdent", &kLanguages, &TLanguage::LanguageIdent,
                              [](TLanguage&, TKstnLanguage) {
                                throw EComponentError("LanguageIdent is read-only");
                              })
           .WithStored([](const TPersistent&) { return false; }),
       P::Strings("Strings", [](TLanguage& l) -> TPersistent& { return l.Strings(); })}};
  return info;
}

TLanguage::TLanguage(TTranslator* translator, TKstnLanguage ident)
    : translator_(translator), ident_(ident) {}

TLanguage::~TLanguage() = default;

void TLanguage::ClearParsed() {
  strings_.clear();
  memos_.clear();
}

void TLanguage::Parse() {
  ClearParsed();
  try {
    bool inMemo = false;
    int memoGlid = 0, memoLine = 0;
    std::vector<std::string> memoLines;
    auto badFormat = [](int i, const std::string& line, const char* format) {
      throw Exception(Format(format, {int64_t(i), line}));
    };
    for (int i = 0; i < lines_.Count(); ++i) {
      std::string line = Trim(lines_[i]);
      if (line.empty()) continue;
      if (line == "#") {
        if (!inMemo)
          throw Exception(Format("Found the end of memo marker # at line %d. Was not in a memo however",
                                 {int64_t(i)}));
        memos_.push_back(std::make_unique<TLanguageMemo>(*this, memoGlid, memoLine, memoLines));
        inMemo = false;
        continue;
      }
      if (line[0] == '*') continue;
      if (inMemo) {
        memoLines.push_back(line);
        continue;
      }
      const char* const kGlidText = "The %d'th string (%s) does not have the proper format of GLID;Text";
      const char* const kGlidOrMemo =
          "The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;";
      if (line[0] == '#') {
        std::string glidText = Trim(setup::GetField(line.substr(1) + ";", 1, ';'));
        if (glidText.empty()) badFormat(i, line, kGlidText);
        if (!ParseGlid(glidText, memoGlid)) badFormat(i, line, kGlidOrMemo);
        inMemo = true;
        memoLine = i;
        memoLines.clear();
        continue;
      }
      std::string glidText = Trim(line.substr(0, line.find(';')));
      int glid = 0;
      if (glidText.empty()) badFormat(i, line, kGlidText);
      if (!ParseGlid(glidText, glid)) badFormat(i, line, kGlidOrMemo);
      std::string text = setup::GetField(line, 2, ';');
      if (Trim(text).empty()) badFormat(i, line, kGlidText);
      strings_.push_back(std::make_unique<TLanguageString>(*this, glid, i, text));
    }
  } catch (...) {
    ClearParsed();
    throw;
  }
}

void TLanguage::LineDeleted(int index) {
  auto shift = [index](auto& list) {
    list.erase(std::remove_if(list.begin(), list.end(), [index](const auto& e) { return e->Line() == index; }),
               list.end());
    for (auto& e : list)
      if (e->line_ > index) --e->line_;
  };
  shift(strings_);
  shift(memos_);
}

const TLanguageString* TLanguage::FindString(int glid) const {
  for (const auto& s : strings_)
    if (s->GLID() == glid) return s.get();
  return nullptr;
}

const TLanguageString* TLanguage::FindStringByText(const std::string& text) const {
  for (const auto& s : strings_)
    if (AnsiSameText(s->Text(), text)) return s.get();
  return nullptr;
}

const TLanguageMemo* TLanguage::FindMemo(int glid) const {
  for (const auto& m : memos_)
    if (m->GLID() == glid) return m.get();
  return nullptr;
}

const TLanguageMemo* TLanguage::FindMemoByText(const TStrings& lines) const {
  std::string text = lines.Text();
  for (const auto& m : memos_)
    if (m->Lines().Text() == text) return m.get();
  return nullptr;
}

// ---- TTranslator

const TClassInfo& TTranslator::StaticClass() {
  using P = TProps<TTranslator>;
  static const TClassInfo info = [] {
    TPropTable props;
    for (int i = 0; i < kLanguageCount; ++i) {
      int ident = i < int(TKstnLanguage::klUser) ? i : i + 1;
      props.push_back(P::Nested(kTable[ident].Property,
                                [i](TTranslator& t) -> TPersistent& { return t.Languages(i); }));
    }
    props.push_back(P::Enum<TKstnLanguage>("TranslateIntoLanguage", &kLanguages,
                                           &TTranslator::TranslateIntoLanguage,
                                           &TTranslator::SetTranslateIntoLanguage)
                        .WithDefault(int64_t(TKstnLanguage::klUser)));
    return TClassInfo{"TTranslator", &TComponent::StaticClass(), Factory<TTranslator>(), std::move(props)};
  }();
  return info;
}

TTranslator::TTranslator(TComponent* owner) : TComponent(owner) {
  for (int i = 0; i < kTableSize; ++i)
    if (i != int(TKstnLanguage::klUser))
      languages_.push_back(std::make_unique<TLanguage>(this, TKstnLanguage(i)));
  if (!globalTranslator) {
    globalTranslator = this;
    setup::SetGlobalTextTranslator(this);
  }
}

TTranslator::~TTranslator() {
  if (globalTranslator == this) {
    globalTranslator = nullptr;
    if (setup::GlobalTextTranslator() == this) setup::SetGlobalTextTranslator(nullptr);
  }
}

TLanguage* TTranslator::FindLanguage(TKstnLanguage ident) {
  if (ident == TKstnLanguage::klUser) {
    std::optional<TKstnLanguage> user = setup::UserDefaultLanguage();
    if (!user) return nullptr;
    ident = *user;
  }
  for (auto& l : languages_)
    if (l->LanguageIdent() == ident) return l.get();
  return nullptr;
}

std::string TTranslator::TranslateById(int glid, const std::string& text) {
  TLanguage* target = TargetLanguage();
  const TLanguageString* s = target ? target->FindString(glid) : nullptr;
  return s ? s->Text() : text;
}

std::string TTranslator::TranslateByText(TKstnLanguage source, const std::string& text) {
  TLanguage* from = FindLanguage(source);
  const TLanguageString* found = from ? from->FindStringByText(text) : nullptr;
  if (!found) return text;
  TLanguage* target = TargetLanguage();
  const TLanguageString* s = target ? target->FindString(found->GLID()) : nullptr;
  return s ? s->Text() : text;
}

void TTranslator::TranslateStrings(TKstnLanguage source, const TStrings& lines, TStrings& result) {
  TLanguage* from = FindLanguage(source);
  const TLanguageMemo* found = from ? from->FindMemoByText(lines) : nullptr;
  TLanguage* target = found ? TargetLanguage() : nullptr;
  const TLanguageMemo* memo = target ? target->FindMemo(found->GLID()) : nullptr;
  if (&result == &lines && !memo) return;
  result.Assign(memo ? static_cast<const TStrings&>(memo->Lines()) : lines);
}

std::string TTranslator::TranslateText(const std::string& english) {
  return TranslateByText(TKstnLanguage::klEnglish, english);
}

void TTranslator::TranslateProperties(TKstnLanguage source, TComponent& c) {
  ForEachProperty(c, [&](TPersistent& owner, const TPropInfo& prop, const std::string& path) {
    if (&owner != &c || prop.Kind != TPropKind::String || !prop.Set || SameText(path, "Name")) return;
    std::string value = std::get<std::string>(prop.Get(owner));
    if (Trim(value).empty()) return;
    std::string translated = TranslateByText(source, value);
    if (translated != value) prop.Set(owner, TValue(translated));
  });
}

void TTranslator::TranslateLists(TKstnLanguage source, TComponent& c) {
  if (!translateControls) return;
  if (TStrings* lines = translateControls->MemoLines(c)) TranslateStrings(source, *lines, *lines);
  translateControls->TranslateColumns(c, [&](const std::string& s) { return TranslateByText(source, s); });
  if (TStrings* items = translateControls->Items(c)) {
    items->BeginUpdate();
    try {
      for (int i = 0; i < items->Count(); ++i) {
        std::string item = items->Get(i);
        std::string translated = TranslateByText(source, item);
        if (translated != item) items->Put(i, translated);
      }
    } catch (...) {
      items->EndUpdate();
      throw;
    }
    items->EndUpdate();
  }
}

TKstnLanguage TTranslator::TranslateComponent(TKstnLanguage source, TComponent* c) {
  if (!c) return source;
  std::function<void()> restore = translateControls ? translateControls->Suspend(*c) : nullptr;
  try {
    auto* glid = dynamic_cast<IGlidControl*>(c);
    if (glid && glid->GLID() > 0) glid->SetGlidCaption(TranslateById(glid->GLID(), glid->GlidCaption()));
    if (!glid || glid->GLID() == 0) {
      TranslateProperties(source, *c);
      TranslateLists(source, *c);
    }
    std::vector<TComponent*> owned = c->Components();
    for (TComponent* child : owned) {
      if (std::find(c->Components().begin(), c->Components().end(), child) == c->Components().end())
        continue;
      if (translateControls && translateControls->IsForm(*child)) continue;
      TranslateComponent(source, child);
    }
  } catch (...) {
    if (restore) restore();
    throw;
  }
  if (restore) restore();
  TLanguage* target = TargetLanguage();
  return target && target->HasStrings() ? into_ : source;
}

TTranslator* GlobalTranslator() { return globalTranslator; }

namespace setup {

TKstnLanguage TranslateForm(TKstnLanguage source, TComponent* form) {
  TTranslator* t = GlobalTranslator();
  return t ? t->TranslateComponent(source, form) : source;
}

TKstnLanguage TranslateFormInto(TKstnLanguage source, TKstnLanguage target, TComponent* form) {
  TTranslator* t = GlobalTranslator();
  if (!t) return source;
  TKstnLanguage saved = t->TranslateIntoLanguage();
  t->SetTranslateIntoLanguage(target);
  try {
    TKstnLanguage result = t->TranslateComponent(source, form);
    t->SetTranslateIntoLanguage(saved);
    return result;
  } catch (...) {
    t->SetTranslateIntoLanguage(saved);
    throw;
  }
}

}  // namespace setup
