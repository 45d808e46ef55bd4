#pragma once
// The translator: the setup's texts, messages and form fonts in seventeen languages.
//
// How it works: texts are written in English. Each TLanguage holds the lines of its
// language file in Strings, and parses them after every change into numbered strings
// ("GLID;Text") and memos ("#GLID;", lines, "#"); a GLID is the number the same text has
// in every language. A text is translated by finding it (case ignored) among the source
// language's strings and taking the target language's string of the same GLID; memo
// lines go as one text, captions of GLID controls by their own number. The target is
// TranslateIntoLanguage, klUser being the language of the user's Windows settings,
// resolved at each use. Whatever is not found stays as it was.
//
// TranslateComponent walks a form: every string property (but Name) of every component it
// owns, child forms excepted. What only a window system has (hiding controls during the
// walk, memo lines and list items, child forms) comes through ITranslateControls, which
// the Windows build installs (translate_controls_win32.h, with the form fonts); natively
// the walk sees components only. The first translator made is the global one:
// TranslateText, TranslateForm and the messages of IException go through it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/color.h"
#include "framework/core/object.h"
#include "framework/core/strings.h"
#include "setup_engine/setup_exceptions.h"

enum class TKstnLanguage : uint8_t {
  klChineseSimplified, klCzech, klDanish, klEnglish, klFrench, klGerman, klGreek, klHebrew,
  klItalian, klJapanese, klKorean, klPolish, klPortugese, klRussian, klSpanish, klUser,
  klVietnamese
};
const TTypeInfo& KstnLanguageTypeInfo();

namespace setup {

// The fixed data of a language (every field empty or 0 for klUser).
struct TLanguageData {
  const char* Property;      // "lgGerman"
  const char* LanguageFile;  // "kstiGerman.txt"
  const char* Resource;      // "BM_LANG_GERMAN"
  int Charset;
  const char* Font;  // bytes in the language's code page
  int MinFontSize;   // points
};
const TLanguageData& LanguageData(TKstnLanguage language);
// The charset, font and minimum font size of a language; Exception "Unrecognized language"
// for klUser and values above klVietnamese.
int LanguageCharset(TKstnLanguage language);
std::string LanguageFontName(TKstnLanguage language);
int LanguageMinFontSize(TKstnLanguage language);

// The language of a Windows language identifier, by its primary language (English for
// any the table lacks).
TKstnLanguage LanguageOfLangId(uint16_t langId);
// The user's default language identifier as the system reports it; none natively.
std::optional<uint16_t> SystemUserLangId();
using TUserLangIdSource = std::function<std::optional<uint16_t>()>;
// Installs the source of the user's language identifier (empty: the system's); returns
// the one before.
TUserLangIdSource SetUserLangIdSource(TUserLangIdSource source);
// The user's language; none when the system cannot tell.
std::optional<TKstnLanguage> UserDefaultLanguage();

}  // namespace setup

// A font as form text describes it, with TFont's member names and defaults (sizes at 96
// pixels per inch), so a language's font reads the same in every build.
class TLanguageFont : public TPersistent {
  FW_CLASS(TLanguageFont, TPersistent)

 public:
  std::string Name = "MS Sans Serif";
  int Height = -11;  // pixels, negative for the character height
  uint32_t Style = 0;  // fsBold 1, fsItalic 2, fsUnderline 4, fsStrikeOut 8
  TColor Color = clWindowText;
  int Charset = 1;  // DEFAULT_CHARSET
  int Pitch = 0;    // fpDefault, fpVariable, fpFixed
  int Size() const;  // points
  void SetSize(int points);
  void Assign(const TPersistent& src) override;
};

class TLanguage;
class TTranslator;

// A parsed entry of a language: its GLID and the index of its (first) line in Strings.
class TLanguageElement {
 public:
  TLanguageElement(TLanguage& language, int glid, int line) : language_(&language), glid_(glid), line_(line) {}
  virtual ~TLanguageElement() = default;
  TLanguage& Language() const { return *language_; }
  int GLID() const { return glid_; }
  int Line() const { return line_; }

 private:
  friend class TLanguage;
  TLanguage* language_;
  int glid_;
  int line_;
};

class TLanguageString : public TLanguageElement {
 public:
  TLanguageString(TLanguage& language, int glid, int line, std::string text)
      : TLanguageElement(language, glid, line), text_(std::move(text)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

class TLanguageMemo : public TLanguageElement {
 public:
  TLanguageMemo(TLanguage& language, int glid, int line, const std::vector<std::string>& lines);
  const TStringList& Lines() const { return lines_; }

 private:
  TStringList lines_;
};

// The lines of a language file. Every change is parsed while the language's parse flag is
// set: once when a change made between BeginUpdate and EndUpdate ends (Assign, AddStrings,
// LoadFromFile, Text, Move), else at once. Delete alone does not parse: the entry of the
// deleted line goes and the line indices after it move up by one.
class TLangFormatStrings : public TStringList {
  FW_CLASS(TLangFormatStrings, TStringList)

 public:
  explicit TLangFormatStrings(TLanguage& language) : language_(language) {}
  TLanguage& Language() const { return language_; }
  void Delete(int index) override;

 protected:
  void Changed() override;
  void SetUpdateState(bool updating) override;

 private:
  void Reparse();
  TLanguage& language_;
  bool deleting_ = false;
};

class TLanguage : public TPersistent {
  FW_CLASS(TLanguage, TPersistent)

 public:
  TLanguage(TTranslator* translator, TKstnLanguage ident);
  ~TLanguage() override;

  TLanguageFont& Font() { return font_; }
  const TLanguageFont& Font() const { return font_; }
  void SetFont(const TLanguageFont& font) { font_.Assign(font); }
  bool FontOverride() const { return fontOverride_; }
  void SetFontOverride(bool v) { fontOverride_ = v; }
  TKstnLanguage LanguageIdent() const { return ident_; }
  TLangFormatStrings& Strings() { return lines_; }
  const TLangFormatStrings& Strings() const { return lines_; }
  void SetStrings(const TStrings& lines) { lines_.Assign(lines); }
  TTranslator* Translator() const { return translator_; }
  std::string ResourceName() const { return setup::LanguageData(ident_).Resource; }
  std::string LanguageFileName() const { return setup::LanguageData(ident_).LanguageFile; }

  // Whether a change of Strings is parsed; while it is not, Parse() catches up.
  bool ParseOnChange() const { return parseOnChange_; }
  void SetParseOnChange(bool v) { parseOnChange_ = v; }
  // Reads Strings into strings and memos. A line that breaks the format throws Exception
  // naming its index (from 0) and leaves the language without strings and memos.
  void Parse();

  const std::vector<std::unique_ptr<TLanguageString>>& ParsedStrings() const { return strings_; }
  const std::vector<std::unique_ptr<TLanguageMemo>>& Memos() const { return memos_; }
  // Whether any string or memo was parsed.
  bool HasStrings() const { return !strings_.empty() || !memos_.empty(); }
  const TLanguageString* FindString(int glid) const;
  // The first string equal to text, case ignored (the locale's comparison).
  const TLanguageString* FindStringByText(const std::string& text) const;
  const TLanguageMemo* FindMemo(int glid) const;
  // The first memo whose whole text equals that of lines, case counting.
  const TLanguageMemo* FindMemoByText(const TStrings& lines) const;

 private:
  friend class TLangFormatStrings;
  void LineDeleted(int index);
  void ClearParsed();

  TTranslator* translator_;
  TKstnLanguage ident_;
  TLanguageFont font_;
  bool fontOverride_ = false;
  TLangFormatStrings lines_{*this};
  bool parseOnChange_ = true;
  std::vector<std::unique_ptr<TLanguageString>> strings_;
  std::vector<std::unique_ptr<TLanguageMemo>> memos_;
};

// A control whose caption the translator takes by number: a GLID above 0 is translated by
// that number, any other non-zero GLID keeps the caption as it is.
class IGlidControl {
 public:
  virtual ~IGlidControl() = default;
  virtual int GLID() const = 0;
  virtual std::string GlidCaption() const = 0;
  virtual void SetGlidCaption(const std::string& caption) = 0;
};

// The window system's part of TranslateComponent.
class ITranslateControls {
 public:
  virtual ~ITranslateControls() = default;
  // Whether c is a form: the walk does not go into forms a component owns.
  virtual bool IsForm(TComponent& c) = 0;
  // For a control: hides it (forms and images excepted) and switches a label's AutoSize
  // off, returning what puts both back and realigns a windowed control. Empty for a
  // component that is no control.
  virtual std::function<void()> Suspend(TComponent& c) = 0;
  // The lines of a memo, translated as one text; null for anything else.
  virtual TStrings* MemoLines(TComponent& c) = 0;
  // The items of a list box, combo box or radio group, translated one by one; null for
  // anything else.
  virtual TStrings* Items(TComponent& c) = 0;
  // For a list view: sets each column caption to what translate gives for it; nothing
  // for anything else.
  using TTranslate = std::function<std::string(const std::string&)>;
  virtual void TranslateColumns(TComponent& c, const TTranslate& translate) = 0;
};
// Installs the window system's part (null: none); returns the one before.
ITranslateControls* SetTranslateControls(ITranslateControls* controls);

class TTranslator : public TComponent, public setup::ITextTranslator {
  FW_CLASS(TTranslator, TComponent)

 public:
  static constexpr int kLanguageCount = 16;
  explicit TTranslator(TComponent* owner);

  // The languages in table order (klUser has none).
  TLanguage& Languages(int index) { return *languages_.at(size_t(index)); }
  TKstnLanguage TranslateIntoLanguage() const { return into_; }
  void SetTranslateIntoLanguage(TKstnLanguage l) { into_ = l; }

  // The first language with that ident; klUser gives the user's. Null when none.
  TLanguage* FindLanguage(TKstnLanguage ident);
  TLanguage* TargetLanguage() { return FindLanguage(into_); }

  // text unless the target language has a string with that GLID.
  std::string TranslateById(int glid, const std::string& text);
  // text unless source holds it (case ignored) and the target has its GLID.
  std::string TranslateByText(TKstnLanguage source, const std::string& text);
  // result := lines, or the target's memo of the GLID of source's memo whose text is
  // that of lines.
  void TranslateStrings(TKstnLanguage source, const TStrings& lines, TStrings& result);
  // Translates the texts of c and of what it owns from source into the target; returns
  // the language they are in now: source when the target has no strings, else
  // TranslateIntoLanguage.
  TKstnLanguage TranslateComponent(TKstnLanguage source, TComponent* c);
  // TranslateByText from English.
  std::string TranslateText(const std::string& english) override;

 protected:
  ~TTranslator() override;

 private:
  void TranslateProperties(TKstnLanguage source, TComponent& c);
  void TranslateLists(TKstnLanguage source, TComponent& c);

  std::vector<std::unique_ptr<TLanguage>> languages_;
  TKstnLanguage into_ = TKstnLanguage::klUser;
};

// The global translator: the first one made that is still alive; null when none.
TTranslator* GlobalTranslator();

namespace setup {

// TranslateComponent of the global translator; source when there is none.
TKstnLanguage TranslateForm(TKstnLanguage source, TComponent* form);
// The same with the target set to target for the call (and put back, also on failure).
TKstnLanguage TranslateFormInto(TKstnLanguage source, TKstnLanguage target, TComponent* form);

}  // namespace setup
