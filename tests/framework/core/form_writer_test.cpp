#include "framework/core/form_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/defaults_check.h"
#include "form_fuzz_target.h"
#include "framework/core/color.h"
#include "framework/core/form_reader.h"
#include "test_classes.h"

namespace {

std::vector<std::filesystem::path> CorpusFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(FORMS_DIR))
    if (e.path().extension() == ".form") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string LoadAndWrite(const std::string& text) {
  TOwned<TTestForm> form(new TTestForm(nullptr));
  ReadForm(*form, text, "T");
  return WriteFormText(*form);
}

// Declares a default its constructor does not set.
class TBadDefault : public TTestLeaf {
  FW_CLASS(TBadDefault, TTestLeaf)
 public:
  using TTestLeaf::TTestLeaf;
  int Size = 3;
};
const TClassInfo& TBadDefault::StaticClass() {
  static const TClassInfo info{
      "TBadDefault", &TTestLeaf::StaticClass(), Factory<TBadDefault>(),
      {TProps<TBadDefault>::Int("Size", [](const TBadDefault& b) { return b.Size; },
                                [](TBadDefault& b, int v) { b.Size = v; })
           .WithDefault(int64_t(0))}};
  return info;
}

class FormWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterAllClasses();
    RegisterTestClasses();
  }
};

TEST_F(FormWriter, WritesTheCanonicalFormatOfEveryKind) {
  std::string text = LoadAndWrite(ReadCorpusFile("every_kind.form"));
  EXPECT_EQ(text,
            "object F: TTestForm\n"
            "  Tag = -3\n"
            "  Caption = 'It''s AB'\n"
            "  Width = 320\n"
            "  Color = clBtnFace\n"
            "  Mark = '*'\n"
            "  Checked = True\n"
            "  Shape = shTriangle\n"
            "  Sides = [shCircle, shTriangle]\n"
            "  Ratio = 25.0\n"
            "  Data = {01FF7A}\n"
            "  Font.Name = 'Courier'\n"
            "  Font.Style = [fsItalic]\n"
            "  Items = (\n"
            "    'Yes'\n"
            "    'No'\n"
            "    '42')\n"
            "  Entries = <\n"
            "    item\n"
            "      Ident = 'Version'\n"
            "      Value = 16\n"
            "    end\n"
            "    item\n"
            "      Ident = 'x'\n"
            "      Value = 0\n"
            "    end>\n"
            "  object Button1: TTestItem\n"
            "    Caption = ''\n"
            "    Color = clBlack\n"
            "    Mark = '?'\n"
            "    Shape = shCircle\n"
            "    Sides = []\n"
            "    Ratio = 1.0\n"
            "    Data = {}\n"
            "    Font.Name = 'Arial'\n"
            "    Font.Style = []\n"
            "  end\n"
            "end\n");
}

// Every form file of the corpus reads, writes back, and the written text is a fixed point.
TEST_F(FormWriter, EveryFormFileRoundTrips) {
  for (const auto& file : CorpusFiles()) {
    SCOPED_TRACE(file.string());
    std::string once = LoadAndWrite(ReadCorpusFile(file.filename().string()));
    EXPECT_EQ(LoadAndWrite(once), once);
  }
}

TEST_F(FormWriter, StringsAndNumbersSurviveTheWriter) {
  std::string text = LoadAndWrite(ReadCorpusFile("references.form"));
  EXPECT_NE(text.find("Caption = 'caf'#233' '#13#10'line two'\n"), std::string::npos);
  EXPECT_NE(text.find("Mark = #9\n"), std::string::npos);
  EXPECT_NE(text.find("Ratio = -0.125\n"), std::string::npos);
  EXPECT_NE(text.find("Buddy = Button1\n  OnClick = Button1Click\n"), std::string::npos);
}

TEST_F(FormWriter, RefusesWhatItCannotWriteFaithfully) {
  TOwned<TTestForm> form(new TTestForm(nullptr));
  ReadForm(*form, "object F: TTestForm\n object Button1: TTestItem end\nend", "T");
  form->Button1->OnClick = TNotifyEvent([](TObject*) {});
  EXPECT_THROW(WriteFormText(*form), EFormError);  // a handler set in code has no name
  form->Button1->OnClick = TNotifyEvent();
  auto* stray = new TTestItem(form.get());  // owned by the form, placed nowhere
  stray->SetName("Stray");
  try {
    WriteFormText(*form);
    FAIL();
  } catch (const EFormError& e) {
    EXPECT_EQ(e.Message(), "component Stray is not placed inside any object");
  }
}

// A child that belongs to the object placing it (as a splitter's panes belong to the
// splitter) is written there; one that belongs to any other component is refused.
TEST_F(FormWriter, AChildOwnedByTheObjectThatPlacesItIsWrittenThere) {
  const std::string text =
      "object F: TTestForm\n"
      "  object Button1: TTestItem\n"
      "    object Inner: TTestItem\n"
      "      Width = 7\n"
      "    end\n"
      "  end\n"
      "end\n";
  TOwned<TTestForm> form(new TTestForm(nullptr));
  ReadForm(*form, text, "T");
  TComponent* inner = form->FindComponent("Inner");
  ASSERT_NE(inner, nullptr);
  const std::string owned = WriteFormText(*form);
  EXPECT_NE(owned.find("\n    object Inner: TTestItem\n      Caption = ''\n      Width = 7\n"), std::string::npos) << owned;
  form->RemoveComponent(inner);
  form->Button1->InsertComponent(inner);
  EXPECT_EQ(WriteFormText(*form), owned);

  TOwned<TTestItem> elsewhere(new TTestItem(nullptr));
  form->Button1->RemoveComponent(inner);
  elsewhere->InsertComponent(inner);
  try {
    WriteFormText(*form);
    FAIL();
  } catch (const EFormError& e) {
    EXPECT_EQ(e.Message(), "component Inner is not owned by F");
  }
  elsewhere->RemoveComponent(inner);
  form->InsertComponent(inner);
}

TEST_F(FormWriter, ColoursWriteByNameOrInHex) {
  std::string text = LoadAndWrite(ReadCorpusFile("references.form"));
  EXPECT_NE(text.find("    Color = clNavy\n"), std::string::npos);
  EXPECT_NE(text.find("      Color = $00123456\n"), std::string::npos);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
  EXPECT_EQ(ColorToRGB(0x02123456), 0x123456u);  // palette flag dropped
  TSysColorLookup old = SetSysColorLookup([](int i) { return uint32_t(i); });
  EXPECT_EQ(ColorToRGB(TColor(0x82000015)), 0x15u);  // any top-bit value is a system colour
  SetSysColorLookup(old);
}

TEST_F(FormWriter, DefaultsAgreeWithConstructors) {
  for (const TClassInfo* cls : RegisteredClasses()) EXPECT_EQ(DefaultMismatches(*cls), std::vector<std::string>{});
  EXPECT_EQ(DefaultMismatches(TBadDefault::StaticClass()), std::vector<std::string>{"TBadDefault.Size"});
}

TEST_F(FormWriter, PropertiesEnumerateWithDottedPaths) {
  TOwned<TTestItem> item(new TTestItem(nullptr));
  std::vector<std::string> paths;
  ForEachProperty(*item, [&](TPersistent&, const TPropInfo& p, const std::string& path) {
    if (p.Kind == TPropKind::String || p.Kind == TPropKind::Strings ||
        p.Kind == TPropKind::Collection)
      paths.push_back(path);
  });
  EXPECT_EQ(paths, (std::vector<std::string>{"Name", "Caption", "Font.Name", "Items", "Entries"}));
}

// The parser's fuzz target over its corpus, every truncation of it and single-byte changes.
TEST_F(FormWriter, FuzzCorpusReplays) {
  const char mutations[] = {'\0', '\'', '#', '$', '(', '<', '{', '=', '.', 'e', '\n', '\xFF'};
  for (const auto& file : CorpusFiles()) {
    SCOPED_TRACE(file.string());
    std::string text = ReadCorpusFile(file.filename().string());
    auto run = [](const std::string& t) {
      FuzzFormText(reinterpret_cast<const uint8_t*>(t.data()), t.size());
    };
    run(text);
    for (size_t n = 0; n < text.size(); ++n) run(text.substr(0, n));
    for (size_t i = 0; i < text.size(); i += 3)
      for (char m : mutations) {
        std::string t = text;
        t[i] = m;
        run(t);
      }
  }
}

}  // namespace
