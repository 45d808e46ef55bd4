#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "framework/core/data_module.h"
#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "setup_engine/register.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/translator.h"
#include "tests/support/scratch_dir.h"

namespace {

using L = TKstnLanguage;
using setup::LanguageCharset;
using setup::LanguageFontName;
using setup::LanguageMinFontSize;

std::vector<std::string> Lines(std::initializer_list<const char*> lines) { return {lines.begin(), lines.end()}; }

void SetLines(TLanguage& language, const std::vector<std::string>& lines) {
  TStringList list;
  for (const std::string& s : lines) list.Add(s);
  language.SetStrings(list);
}

// What a language parsed, one entry per line: "GLID=text" or "#GLID=line|line".
std::vector<std::string> Parsed(const TLanguage& language) {
  std::vector<std::pair<int, std::string>> entries;
  for (const auto& s : language.ParsedStrings())
    entries.push_back({s->Line(), std::to_string(s->GLID()) + "=" + s->Text()});
  for (const auto& m : language.Memos()) {
    std::string text = "#" + std::to_string(m->GLID()) + "=";
    for (int i = 0; i < m->Lines().Count(); ++i) text += (i ? "|" : "") + m->Lines()[i];
    entries.push_back({m->Line(), text});
  }
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> out;
  for (auto& e : entries) out.push_back(std::to_string(e.first) + ":" + e.second);
  return out;
}

// The language file format: what each file parses into, or the message of its first
// fault (line indices count from 0), after which the language holds nothing.
TEST(LanguageFile, ParsesStringsMemosAndComments) {
  struct Case {
    std::vector<std::string> lines;
    std::vector<std::string> parsed;
    std::string error;
  } cases[] = {
      {Lines({"12;Hello;World"}), {"0:12=Hello"}, ""},
      {Lines({"", "  * a comment", "  7 ;  Seven  ", "-3;Minus", "+4;Plus"}),
       {"2:7=  Seven", "3:-3=Minus", "4:4=Plus"}, ""},
      {Lines({"#12;", " First line ", "* dropped", "", "second", "#", "13;After"}),
       {"0:#12=First line|second", "6:13=After"}, ""},
      {Lines({"#5; the rest is ignored", "#6;inside a memo", "#", "#7", "x", "#"}),
       {"0:#5=#6;inside a memo", "3:#7=x"}, ""},
      {Lines({"#8;", "#"}), {"0:#8="}, ""},
      {Lines({"1;a", "#"}), {}, "Found the end of memo marker # at line 1. Was not in a memo however"},
      {Lines({"1;a", "", ";Text"}), {}, "The 2'th string (;Text) does not have the proper format of GLID;Text"},
      {Lines({" x;Text "}), {}, "The 0'th string (x;Text) does not have the proper format of GLID;Text or .GLID;"},
      {Lines({"12;"}), {}, "The 0'th string (12;) does not have the proper format of GLID;Text"},
      {Lines({"12;  ;more"}), {}, "The 0'th string (12;  ;more) does not have the proper format of GLID;Text"},
      {Lines({"1;a", "12"}), {}, "The 1'th string (12) does not have the proper format of GLID;Text"},
      {Lines({"#;"}), {}, "The 0'th string (#;) does not have the proper format of GLID;Text"},
      {Lines({"#1x;"}), {}, "The 0'th string (#1x;) does not have the proper format of GLID;Text or .GLID;"},
      {Lines({"99999999999;big"}), {},
       "The 0'th string (99999999999;big) does not have the proper format of GLID;Text or .GLID;"},
      {Lines({"1;a", "#2;", "line", "3;c"}), {"0:1=a"}, ""},  // no end marker: no memo
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.front());
    TLanguage language(nullptr, L::klGerman);
    SetLines(language, {"1;stale"});
    try {
      SetLines(language, c.lines);
      EXPECT_EQ(c.error, "");
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.error);
    }
    EXPECT_EQ(Parsed(language), c.parsed);
    EXPECT_EQ(language.HasStrings(), !c.parsed.empty());
  }
}

// Changes are parsed as they come; Delete only moves the entries after the deleted line
// (memos too) and drops the one that stood on it; without the parse flag nothing is
// parsed until Parse().
TEST(LanguageFile, ChangesAndDeletes) {
  TLanguage language(nullptr, L::klGerman);
  TLangFormatStrings& s = language.Strings();
  s.Add("1;One");
  s.Add("#2;");
  s.Add("memo");
  s.Add("#");
  s.Insert(0, "3;Three");
  EXPECT_EQ(Parsed(language), Lines({"0:3=Three", "1:1=One", "2:#2=memo"}));
  s.Delete(1);
  EXPECT_EQ(Parsed(language), Lines({"0:3=Three", "1:#2=memo"}));
  s.Delete(0);
  EXPECT_EQ(Parsed(language), Lines({"0:#2=memo"}));
  s.Add("5;Five");
  EXPECT_EQ(Parsed(language), Lines({"0:#2=memo", "3:5=Five"}));
  s.Move(3, 0);  // a bulk change, parsed once when it ends
  EXPECT_EQ(Parsed(language), Lines({"0:5=Five", "1:#2=memo"}));
  EXPECT_THROW(s.Add("#"), Exception);  // an end marker outside a memo
  EXPECT_EQ(Parsed(language), Lines({}));
  language.SetParseOnChange(false);
  s.Clear();
  s.Add("5;Five");
  EXPECT_EQ(Parsed(language), Lines({}));
  language.Parse();
  EXPECT_EQ(Parsed(language), Lines({"0:5=Five"}));
}

TEST(LanguageFile, ABadFileLeavesTheLanguageEmpty) {
  testsupport::ScratchDir dir("qtlang");
  std::ofstream(dir.Path("good.txt"), std::ios::binary) << "1;One\r\n2;Two\r\n";
  std::ofstream(dir.Path("bad.txt"), std::ios::binary) << "1;One\r\n\r\n2\r\n";
  TLanguage language(nullptr, L::klFrench);
  language.Strings().LoadFromFile(dir.Path("good.txt"));
  EXPECT_EQ(Parsed(language), Lines({"0:1=One", "1:2=Two"}));
  try {
    language.Strings().LoadFromFile(dir.Path("bad.txt"));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "The 2'th string (2) does not have the proper format of GLID;Text");
  }
  EXPECT_FALSE(language.HasStrings());
  EXPECT_THROW(language.Strings().LoadFromFile(dir.Path("missing.txt")), Exception);
  EXPECT_TRUE(language.ParseOnChange());
}

TEST(LanguageTable, FixedDataOfEachLanguage) {
  EXPECT_EQ(LanguageFontName(L::klChineseSimplified), "\xB7\x73\xB2\xD3\xA9\xFA\xC5");
  EXPECT_EQ(LanguageFontName(L::klChineseSimplified).size(), 7u);
  EXPECT_EQ(LanguageFontName(L::klJapanese),
            std::string("\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"));
  EXPECT_EQ(LanguageFontName(L::klJapanese).size(), 15u);
  EXPECT_EQ(LanguageFontName(L::klKorean), "\xB9\xD9\xC5\xC1");
  struct Case {
    L language;
    int charset;
    const char* font;
    int size;
    const char* property;
  } cases[] = {
      {L::klChineseSimplified, 134, nullptr, 9, "lgChineseSimplified"},
      {L::klCzech, 238, "Arial", 8, "lgCzech"},
      {L::klGerman, 0, "MS Sans Serif", 8, "lgGerman"},
      {L::klGreek, 0, "SGreek", 8, "lgGreek"},
      {L::klHebrew, 177, "Arial", 8, "lgHebrew"},
      {L::klJapanese, 128, nullptr, 9, "lgJapanese"},
      {L::klKorean, 129, nullptr, 9, "lgKorean"},
      {L::klPolish, 238, "Arial", 8, "lgPolish"},
      {L::klPortugese, 0, "Arial", 8, "lgPortugese"},
      {L::klRussian, 204, "Arial", 8, "lgRussian"},
      {L::klVietnamese, 163, "Arial", 8, "lgVietnamese"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.property);
    EXPECT_EQ(LanguageCharset(c.language), c.charset);
    if (c.font) {
      EXPECT_EQ(LanguageFontName(c.language), c.font);
    }
    EXPECT_EQ(LanguageMinFontSize(c.language), c.size);
    EXPECT_STREQ(setup::LanguageData(c.language).Property, c.property);
  }
  EXPECT_STREQ(setup::LanguageData(L::klGerman).LanguageFile, "kstiGerman.txt");
  EXPECT_STREQ(setup::LanguageData(L::klChineseSimplified).Resource, "BM_LANG_SIMPCHINESE");
  for (L bad : {L::klUser, L(17), L(200)}) {
    try {
      LanguageCharset(bad);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Unrecognized language");
    }
    EXPECT_THROW(LanguageFontName(bad), Exception);
  }
}

TEST(LanguageTable, UserLanguageByPrimaryLanguage) {
  struct Case {
    uint16_t id;
    L language;
  } cases[] = {{0x0404, L::klChineseSimplified}, {0x0804, L::klChineseSimplified}, {0x0405, L::klCzech},
               {0x0406, L::klDanish}, {0x0407, L::klGerman}, {0x0C07, L::klGerman}, {0x0408, L::klGreek},
               {0x040A, L::klSpanish}, {0x0C0A, L::klSpanish}, {0x040C, L::klFrench}, {0x040D, L::klHebrew},
               {0x0410, L::klItalian}, {0x0411, L::klJapanese}, {0x0412, L::klKorean}, {0x0415, L::klPolish},
               {0x0416, L::klPortugese}, {0x0816, L::klPortugese}, {0x0419, L::klRussian},
               {0x042A, L::klVietnamese}, {0x0409, L::klEnglish}, {0x0809, L::klEnglish},
               {0x0413, L::klEnglish}, {0x041D, L::klEnglish}, {0x0000, L::klEnglish}};
  for (const Case& c : cases) EXPECT_EQ(setup::LanguageOfLangId(c.id), c.language) << std::hex << c.id;
}

// A translator with small English and German tables, as the global one.
class Translation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GlobalTranslator(), translator.get());
    SetLines(*translator->FindLanguage(L::klEnglish),
             {"10;Hello", "11;Next >", "12;Cannot find %s", "13;Only in English", "#20;", "Line one",
              "Line two", "#", "#21;", "Only English memo", "#"});
    SetLines(*translator->FindLanguage(L::klGerman),
             {"10;Hallo", "11;Weiter >", "12;Kann %s nicht in %s finden", "#20;", "Zeile eins", "Zeile zwei", "#"});
    translator->SetTranslateIntoLanguage(L::klGerman);
  }
  void TearDown() override { setup::SetUserLangIdSource(nullptr); }
  TOwned<TTranslator> translator{new TTranslator(nullptr)};
};

TEST_F(Translation, ByTextByIdAndByMemo) {
  EXPECT_EQ(translator->TranslateByText(L::klEnglish, "hELLO"), "Hallo");
  EXPECT_EQ(translator->TranslateByText(L::klEnglish, "Only in English"), "Only in English");
  EXPECT_EQ(translator->TranslateByText(L::klEnglish, "Unknown"), "Unknown");
  EXPECT_EQ(translator->TranslateByText(L::klGerman, "weiter >"), "Weiter >");
  EXPECT_EQ(translator->TranslateByText(L::klFrench, "Hello"), "Hello");  // no French strings
  EXPECT_EQ(translator->TranslateById(11, "x"), "Weiter >");
  EXPECT_EQ(translator->TranslateById(13, "x"), "x");
  TStringList lines, result;
  lines.Add("Line one");
  lines.Add("Line two");
  translator->TranslateStrings(L::klEnglish, lines, result);
  ASSERT_EQ(result.Count(), 2);
  EXPECT_EQ(result[0], "Zeile eins");
  lines.Put(1, "line two");  // memos compare with case
  translator->TranslateStrings(L::klEnglish, lines, result);
  EXPECT_EQ(result.Text(), lines.Text());
  TStringList only;
  only.Add("Only English memo");
  translator->TranslateStrings(L::klEnglish, only, result);
  EXPECT_EQ(result.Text(), only.Text());
  translator->SetTranslateIntoLanguage(L::klEnglish);
  EXPECT_EQ(translator->TranslateByText(L::klGerman, "Hallo"), "Hello");
  translator->SetTranslateIntoLanguage(L::klDanish);
  EXPECT_EQ(translator->TranslateByText(L::klEnglish, "Hello"), "Hello");
}

TEST_F(Translation, TheUserLanguageIsResolvedAtEachUse) {
  translator->SetTranslateIntoLanguage(L::klUser);
  std::optional<uint16_t> id;
  setup::SetUserLangIdSource([&] { return id; });
  EXPECT_EQ(translator->TargetLanguage(), nullptr);
  EXPECT_EQ(setup::TranslateText("Hello"), "Hello");
  id = 0x0C07;
  EXPECT_EQ(translator->TargetLanguage(), translator->FindLanguage(L::klGerman));
  EXPECT_EQ(setup::TranslateText("Hello"), "Hallo");
  id = 0x0409;
  EXPECT_EQ(setup::TranslateText("Next >"), "Next >");
  setup::SetUserLangIdSource([]() -> std::optional<uint16_t> { throw std::runtime_error("no locale"); });
  EXPECT_EQ(translator->TargetLanguage(), nullptr);
}

// Component errors are translated first and formatted afterwards; the German text asks for
// one argument more than the English one and keeps the placeholder.
TEST_F(Translation, ExceptionsTranslateTheirFormat) {
  EXPECT_EQ(IEInstall("Cannot find %s", {"setup.1"}).Message(), "Kann setup.1 nicht in %s finden");
  EXPECT_EQ(IEInstall("Hello").Message(), "Hallo");
  EXPECT_EQ(EAI("Hello").Message(), "Hello");
}

TEST(TranslatorInstance, TheFirstIsTheGlobalOne) {
  ASSERT_EQ(GlobalTranslator(), nullptr);
  EXPECT_EQ(setup::TranslateForm(L::klGerman, nullptr), L::klGerman);
  EXPECT_EQ(setup::TranslateText("Hello"), "Hello");
  {
    TOwned<TTranslator> first(new TTranslator(nullptr));
    TOwned<TTranslator> second(new TTranslator(nullptr));
    EXPECT_EQ(GlobalTranslator(), first.get());
    EXPECT_EQ(setup::GlobalTextTranslator(), first.get());
    EXPECT_EQ(first->TranslateIntoLanguage(), L::klUser);
    for (int i = 0; i < TTranslator::kLanguageCount; ++i)
      EXPECT_NE(first->Languages(i).LanguageIdent(), L::klUser);
    EXPECT_EQ(first->Languages(15).LanguageIdent(), L::klVietnamese);
    first.reset();
    EXPECT_EQ(GlobalTranslator(), nullptr);
    EXPECT_EQ(setup::GlobalTextTranslator(), nullptr);
  }
}

// A component with a number for its caption.
class TGlidItem : public TComponent, public IGlidControl {
  FW_CLASS(TGlidItem, TComponent)
 public:
  using TComponent::TComponent;
  int Glid = 0;
  std::string Caption;
  int GLID() const override { return Glid; }
  std::string GlidCaption() const override { return Caption; }
  void SetGlidCaption(const std::string& c) override { Caption = c; }
};

class TTextItem : public TComponent {
  FW_CLASS(TTextItem, TComponent)
 public:
  using TComponent::TComponent;
  std::string Caption, Hint;
  TStringList Lines, Items;
};

const TClassInfo& TGlidItem::StaticClass() {
  using P = TProps<TGlidItem>;
  static const TClassInfo info{
      "TGlidItem", &TComponent::StaticClass(), Factory<TGlidItem>(),
      {P::Str("Caption", [](const TGlidItem& i) { return i.Caption; },
              [](TGlidItem& i, std::string v) { i.Caption = std::move(v); })}};
  return info;
}

const TClassInfo& TTextItem::StaticClass() {
  using P = TProps<TTextItem>;
  static const TClassInfo info{
      "TTextItem", &TComponent::StaticClass(), Factory<TTextItem>(),
      {P::Str("Caption", [](const TTextItem& i) { return i.Caption; },
              [](TTextItem& i, std::string v) { i.Caption = std::move(v); }),
       P::Str("Hint", [](const TTextItem& i) { return i.Hint; }, [](TTextItem& i, std::string v) { i.Hint = v; }),
       P::Strings("Lines", [](TTextItem& i) -> TPersistent& { return i.Lines; })}};
  return info;
}

// The window system's part, recorded: a component named Form* counts as a form, and
// every component as a control whose lists are its Lines (a memo) and Items.
struct TRecordingControls : ITranslateControls {
  std::vector<std::string> log;
  bool IsForm(TComponent& c) override { return c.Name().rfind("Form", 0) == 0; }
  std::function<void()> Suspend(TComponent& c) override {
    log.push_back("hide " + c.Name());
    return [this, &c] { log.push_back("show " + c.Name()); };
  }
  TStrings* MemoLines(TComponent& c) override {
    auto* t = dynamic_cast<TTextItem*>(&c);
    return t ? &t->Lines : nullptr;
  }
  TStrings* Items(TComponent& c) override {
    auto* t = dynamic_cast<TTextItem*>(&c);
    return t ? &t->Items : nullptr;
  }
  void TranslateColumns(TComponent&, const TTranslate&) override {}
};

TEST_F(Translation, AComponentWalk) {
  TRecordingControls controls;
  ITranslateControls* old = SetTranslateControls(&controls);
  TOwned<TDataModule> root(new TDataModule(nullptr));
  root->SetName("Root");
  auto* text = new TTextItem(root.get());
  text->SetName("Hello");  // a name is never translated
  text->Caption = "hello";
  text->Hint = "  ";
  text->Lines.Add("Line one");
  text->Lines.Add("Line two");
  text->Items.Add("Next >");
  text->Items.Add("Other");
  auto* byNumber = new TGlidItem(root.get());
  byNumber->SetName("ByNumber");
  byNumber->Glid = 11;
  byNumber->Caption = "Hello";
  auto* kept = new TGlidItem(root.get());
  kept->SetName("Kept");
  kept->Glid = -1;
  kept->Caption = "Hello";
  auto* byText = new TGlidItem(root.get());
  byText->SetName("ByText");
  byText->Caption = "Hello";
  auto* form = new TTextItem(root.get());
  form->SetName("FormPage");
  form->Caption = "Hello";
  auto* inner = new TTextItem(text);
  inner->SetName("Inner");
  inner->Caption = "Next >";

  EXPECT_EQ(translator->TranslateComponent(L::klEnglish, root.get()), L::klGerman);
  EXPECT_EQ(text->Name(), "Hello");
  EXPECT_EQ(text->Caption, "Hallo");
  EXPECT_EQ(text->Hint, "  ");
  EXPECT_EQ(text->Lines[1], "Zeile zwei");
  EXPECT_EQ(text->Items[0], "Weiter >");
  EXPECT_EQ(text->Items[1], "Other");
  EXPECT_EQ(byNumber->Caption, "Weiter >");
  EXPECT_EQ(kept->Caption, "Hello");
  EXPECT_EQ(byText->Caption, "Hallo");
  EXPECT_EQ(form->Caption, "Hello");
  EXPECT_EQ(inner->Caption, "Weiter >");
  EXPECT_EQ(controls.log, Lines({"hide Root", "hide Hello", "hide Inner", "show Inner", "show Hello",
                                 "hide ByNumber", "show ByNumber", "hide Kept", "show Kept", "hide ByText",
                                 "show ByText", "show Root"}));

  // Into a language without strings nothing changes and the texts stay in their language.
  EXPECT_EQ(setup::TranslateFormInto(L::klGerman, L::klDanish, root.get()), L::klGerman);
  EXPECT_EQ(text->Caption, "Hallo");
  EXPECT_EQ(translator->TranslateIntoLanguage(), L::klGerman);
  EXPECT_EQ(setup::TranslateFormInto(L::klGerman, L::klEnglish, root.get()), L::klEnglish);
  EXPECT_EQ(text->Caption, "Hello");
  SetTranslateControls(old);
}

// A step that fails puts back what the walk changed, and the target language too.
TEST_F(Translation, AFailingStepRestoresWhatItChanged) {
  struct TFailing : TRecordingControls {
    TStrings* MemoLines(TComponent& c) override {
      if (c.Name() == "Text") throw Exception("no lines");
      return nullptr;
    }
  } failing;
  ITranslateControls* old = SetTranslateControls(&failing);
  TOwned<TDataModule> root(new TDataModule(nullptr));
  root->SetName("Root");
  auto* item = new TGlidItem(root.get());
  item->SetName("Item");
  item->Glid = 10;
  auto* text = new TTextItem(root.get());
  text->SetName("Text");
  EXPECT_THROW(setup::TranslateFormInto(L::klEnglish, L::klEnglish, root.get()), Exception);
  EXPECT_EQ(failing.log, Lines({"hide Root", "hide Item", "show Item", "hide Text", "show Text", "show Root"}));
  EXPECT_EQ(translator->TranslateIntoLanguage(), L::klGerman);
  SetTranslateControls(old);
}

// Form text sets a translator's languages: fonts by TFont's names, strings parsed as they
// load, and a faulty table stops the form with the reader's line.
TEST(TranslatorForm, LanguagesFromFormText) {
  setup::RegisterSetupEngineClasses();
  const std::string text =
      "object Root: TDataModule\n"
      "  object MainTranslator: TTranslator\n"
      "    lgGerman.Font.Name = 'Arial'\n"
      "    lgGerman.Font.Height = -13\n"
      "    lgGerman.Font.Style = [fsBold]\n"
      "    lgGerman.Font.Color = clRed\n"
      "    lgGerman.Strings = ('10;Hallo' '#20;' 'Zeile' '#')\n"
      "    lgChineseSimplified.FontOverride = True\n"
      "    lgChineseSimplified.Font.Charset = 134\n"
      "    TranslateIntoLanguage = klGerman\n"
      "  end\n"
      "end\n";
  TOwned<TDataModule> root(new TDataModule(nullptr));
  ReadForm(*root, text, "Root");
  auto* t = dynamic_cast<TTranslator*>(root->FindComponent("MainTranslator"));
  ASSERT_NE(t, nullptr);
  TLanguage& german = *t->FindLanguage(L::klGerman);
  EXPECT_EQ(german.Font().Name, "Arial");
  EXPECT_EQ(german.Font().Size(), 10);
  EXPECT_EQ(german.Font().Style, 1u);
  EXPECT_EQ(german.FindString(10)->Text(), "Hallo");
  EXPECT_EQ(german.FindMemo(20)->Lines()[0], "Zeile");
  EXPECT_TRUE(t->FindLanguage(L::klChineseSimplified)->FontOverride());
  EXPECT_EQ(t->TranslateIntoLanguage(), L::klGerman);
  std::string written = WriteFormText(*root);
  TOwned<TDataModule> again(new TDataModule(nullptr));
  ReadForm(*again, written, "Root");
  EXPECT_EQ(WriteFormText(*again), written);
  EXPECT_EQ(written.find("LanguageIdent"), std::string::npos);

  const std::string bad =
      "object Root: TDataModule\n"
      "  object T: TTranslator\n"
      "    lgGerman.Strings = (\n"
      "      '10;Hallo'\n"
      "      'x;y')\n"
      "  end\n"
      "end\n";
  TOwned<TDataModule> broken(new TDataModule(nullptr));
  try {
    ReadForm(*broken, bad, "Bad");
    ADD_FAILURE() << "no exception";
  } catch (const EFormError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Bad(3): The 1'th string (x;y) does not have the proper format of GLID;Text or .GLID;");
  }
  EXPECT_EQ(broken->ComponentCount(), 0);
  TOwned<TDataModule> readOnly(new TDataModule(nullptr));
  EXPECT_THROW(ReadForm(*readOnly,
                        "object Root: TDataModule object T: TTranslator lgGerman.LanguageIdent = klGerman end end",
                        "R"),
               EFormError);
}

}  // namespace
