// A small setup page translated into German on the screen: captions by number and by
// text, memo lines, list, combo and radio items, and the language's fonts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/controls/graphctrls.h"
#include "framework/controls/listview.h"
#include "framework/controls/register.h"
#include "framework/testing/gui_test.h"
#include "setup_engine/register.h"
#include "setup_engine/translate_controls_win32.h"
#include "tests/support/defaults_check.h"

namespace {

using L = TKstnLanguage;

class TTranslateTestForm : public TForm {
  FW_CLASS(TTranslateTestForm, TForm)
 public:
  explicit TTranslateTestForm(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;
  TTranslateLabel *Label1 = nullptr, *Label2 = nullptr, *Spacer = nullptr, *Hidden = nullptr;
  TMemo* Memo1 = nullptr;
  TListBox* List1 = nullptr;
  TComboBox* Combo1 = nullptr;
  TRadioGroup* RG = nullptr;
  TButton* BackBtn = nullptr;
  TTranslateBitBtn *ProceedBtn = nullptr, *CancelBtn = nullptr;
};

const TClassInfo& TTranslateTestForm::StaticClass() {
  static const TClassInfo info{"TTranslateTestForm", &TForm::StaticClass(), Factory<TTranslateTestForm>(), {},
                               "TTRANSLATETESTFORM"};
  return info;
}

const TMethodTable* TTranslateTestForm::Methods() const {
  using F = TTranslateTestForm;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("Label1", &F::Label1)
                                    .Field("Label2", &F::Label2)
                                    .Field("Spacer", &F::Spacer)
                                    .Field("Hidden", &F::Hidden)
                                    .Field("Memo1", &F::Memo1)
                                    .Field("List1", &F::List1)
                                    .Field("Combo1", &F::Combo1)
                                    .Field("RG", &F::RG)
                                    .Field("BackBtn", &F::BackBtn)
                                    .Field("ProceedBtn", &F::ProceedBtn)
                                    .Field("CancelBtn", &F::CancelBtn);
  return &t;
}

void SetLines(TLanguage& language, std::initializer_list<const char*> lines) {
  TStringList list;
  for (const char* s : lines) list.Add(s);
  language.SetStrings(list);
}

class TranslatedForm : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    ASSERT_EQ(GlobalTranslator(), translator.get());
    SetLines(*translator->FindLanguage(L::klEnglish),
             {"4;< Previous", "5;Next >", "6;Cancel", "10;Welcome", "28;Select the components to install.",
              "30;Setup", "31;Program Files", "32;Help Files", "33;Full", "34;Compact", "35;Reboot",
              "36;Yes, reboot now", "37;No, reboot later", "#50;", "This program will install",
              "the software on your computer.", "#"});
    SetLines(*translator->FindLanguage(L::klGerman),
             {"4;< Zur\xFC" "ck", "5;Weiter >", "6;Abbrechen", "10;Willkommen",
              "28;W\xE4hlen Sie die Komponenten, die installiert werden sollen.", "30;Installation",
              "31;Programmdateien", "32;Hilfedateien", "33;Vollst\xE4ndig", "34;Minimal", "35;Neustart",
              "36;Ja, jetzt neu starten", "37;Nein, sp\xE4ter neu starten", "#50;", "Dieses Programm installiert",
              "die Software auf Ihrem Computer.", "#"});
    translator->SetTranslateIntoLanguage(L::klGerman);
  }
  TOwned<TTranslator> translator{new TTranslator(nullptr)};
};

TEST_F(TranslatedForm, IntoGermanWithItsFont) {
  auto* f = MakeForm<TTranslateTestForm>();
  TBitmap glyph;  // a green mark on a transparent ground
  glyph.SetSize(14, 14);
  glyph.Canvas().Brush().SetColor(clFuchsia);
  glyph.Canvas().FillRect({0, 0, 14, 14});
  glyph.Canvas().Brush().SetColor(clGreen);
  glyph.Canvas().FillRect({3, 3, 11, 11});
  f->ProceedBtn->SetGlyph(glyph);
  auto* files = new TListView(f);
  files->SetParent(f);
  files->SetViewStyle(TViewStyle::vsReport);
  files->SetBounds(300, 178, 160, 62);  // below the radio group: its header shows
  TListColumn* named = files->Columns().Add();
  named->SetCaption("Program Files");
  named->SetWidth(100);
  files->Columns().Add()->SetCaption("Other");
  f->Show();
  Pump();
  int welcomeWidth = f->Label1->Width();
  EXPECT_EQ(f->Font().Size(), 7);

  EXPECT_EQ(setup::TranslateForm(L::klEnglish, f), L::klGerman);
  setup::SetFormFont(*f, false);
  Pump();

  EXPECT_EQ(f->Caption(), "Installation");
  EXPECT_EQ(f->Label1->Caption(), "Willkommen");
  EXPECT_EQ(f->Label2->Caption(), "W\xE4hlen Sie die Komponenten, die installiert werden sollen.");
  EXPECT_EQ(f->Spacer->Caption(), "Welcome");  // a GLID below 0 keeps the caption
  EXPECT_EQ(f->Hidden->Caption(), "Willkommen");
  EXPECT_EQ(f->BackBtn->Caption(), "< Zur\xFC" "ck");
  EXPECT_EQ(f->ProceedBtn->Caption(), "Weiter >");
  EXPECT_EQ(f->CancelBtn->Caption(), "Abbrechen");
  EXPECT_EQ(f->Memo1->Lines().Text(), "Dieses Programm installiert\r\ndie Software auf Ihrem Computer.\r\n");
  EXPECT_EQ(f->List1->Items()[0], "Programmdateien");
  EXPECT_EQ(f->List1->ItemIndex(), 1);
  EXPECT_EQ(f->Combo1->Items()[0], "Vollst\xE4ndig");
  EXPECT_EQ(f->Combo1->ItemIndex(), 1);
  EXPECT_EQ(f->Combo1->Text(), "Minimal");
  EXPECT_EQ(f->RG->Caption(), "Neustart");
  EXPECT_EQ(f->RG->Items()[1], "Nein, sp\xE4ter neu starten");
  EXPECT_EQ(f->RG->ItemIndex(), 0);
  // List view columns by text, in the header on the screen as well.
  EXPECT_EQ(files->Columns().Item(0)->Caption(), "Programmdateien");
  EXPECT_EQ(files->Columns().Item(1)->Caption(), "Other");
  char header[64] = {};
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT;
  column.pszText = header;
  column.cchTextMax = sizeof header;
  ASSERT_TRUE(SendMessageA(files->Handle(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(header, "Programmdateien");
  // What the walk hid and switched off is back, and the labels fit their new texts.
  EXPECT_FALSE(f->Hidden->Visible());
  EXPECT_FALSE(IsWindowVisible(f->Hidden->Handle()));
  for (TControl* c : {static_cast<TControl*>(f->Label1), static_cast<TControl*>(f->Memo1),
                      static_cast<TControl*>(f->RG), static_cast<TControl*>(f->ProceedBtn)})
    EXPECT_TRUE(c->Visible()) << c->Name();
  EXPECT_TRUE(f->Label1->AutoSize());
  EXPECT_GT(f->Label1->Width(), welcomeWidth);
  // German's font: its table's name and charset, at least its size.
  ForEachControl(*f, [&](TControl& c) {
    EXPECT_EQ(c.Font().Name(), "MS Sans Serif") << c.Name();
    EXPECT_EQ(c.Font().Charset(), 0) << c.Name();
    EXPECT_EQ(c.Font().Size(), 8) << c.Name();
  });
  EXPECT_EQ(f->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(f->Label1->Font().Style(), fsBold);

  if (const char* path = std::getenv("QUILTOR_SCREENSHOT")) CaptureWindow(*f).SaveBmp(path);
  if (const char* seconds = std::getenv("QUILTOR_SHOW_SECONDS"))
    PumpUntil([] { return false; }, std::atoi(seconds) * 1000);

  // A language that overrides takes its own font; one without strings gives English's
  // unless forced; the target comes back afterwards.
  TLanguage& chinese = *translator->FindLanguage(L::klChineseSimplified);
  chinese.SetFontOverride(true);
  chinese.Font().Name = "Courier New";
  chinese.Font().SetSize(12);
  chinese.Font().Charset = 134;
  setup::SetFormFontFor(L::klChineseSimplified, *f, true);
  EXPECT_EQ(f->Memo1->Font().Name(), "Courier New");
  EXPECT_EQ(f->Memo1->Font().Size(), 12);
  EXPECT_EQ(f->Memo1->Font().Charset(), 134);
  setup::SetFormFontFor(L::klChineseSimplified, *f, false);
  EXPECT_EQ(f->Memo1->Font().Name(), "Arial");
  EXPECT_EQ(f->Memo1->Font().Charset(), 0);
  EXPECT_EQ(f->Memo1->Font().Size(), 12);
  EXPECT_EQ(translator->TranslateIntoLanguage(), L::klGerman);

  EXPECT_EQ(setup::TranslateFormInto(L::klGerman, L::klEnglish, f), L::klEnglish);
  EXPECT_EQ(f->Label1->Caption(), "Welcome");
  EXPECT_EQ(f->Combo1->Text(), "Compact");
  EXPECT_EQ(translator->TranslateIntoLanguage(), L::klGerman);
}

// Controls that count how often they are shown or hidden.
template <class Base>
class TCounting : public Base {
 public:
  explicit TCounting(TComponent* owner) : Base(owner) {}
  int changes = 0;

 protected:
  void VisibleChanged() override {
    ++changes;
    Base::VisibleChanged();
  }
};

// The walk hides each control while it works on it, but never an image: the page's picture
// stays on the screen while its texts change.
TEST_F(TranslatedForm, ImagesStayVisibleDuringTheWalk) {
  auto* f = MakeForm<TTranslateTestForm>();
  auto* image = new TCounting<TImage>(f);
  image->SetName("Picture");
  image->SetParent(f);
  auto* label = new TCounting<TTranslateLabel>(f);
  label->SetName("Counted");
  label->SetParent(f);
  label->SetCaption("Welcome");
  f->Show();
  Pump();
  EXPECT_EQ(setup::TranslateForm(L::klEnglish, f), L::klGerman);
  EXPECT_EQ(label->changes, 2);  // hidden and shown again
  EXPECT_EQ(label->Caption(), "Willkommen");
  EXPECT_EQ(image->changes, 0);
  EXPECT_TRUE(image->Visible());
}

TEST(SetupControlClasses, DefaultsAgreeWithConstructors) {
  for (const TClassInfo* cls : {&TTranslateLabel::StaticClass(), &TTranslateBitBtn::StaticClass()})
    EXPECT_EQ(DefaultMismatches(*cls), std::vector<std::string>{});
}

}  // namespace

int main(int argc, char** argv) {
  return RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    setup::RegisterSetupEngineClasses();
    setup::RegisterSetupControlClasses();
    RegisterClass(TTranslateTestForm::StaticClass());
  });
}
