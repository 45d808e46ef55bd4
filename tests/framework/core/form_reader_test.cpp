#include "framework/core/form_reader.h"

#include <gtest/gtest.h>

#include "test_classes.h"

namespace {

class FormReader : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterAllClasses();
    RegisterTestClasses();
    form.reset(new TTestForm(nullptr));
    Log().clear();
  }
  TOwned<TTestForm> form;
};

TEST_F(FormReader, SetsEveryPropertyKind) {
  ReadForm(*form, ReadCorpusFile("every_kind.form"), "TTestForm");
  EXPECT_EQ(form->Name(), "F");
  EXPECT_EQ(form->Caption, "It's AB");
  EXPECT_EQ(form->Width, 320);
  EXPECT_EQ(uint32_t(form->Color), 0x8000000Fu);
  EXPECT_EQ(form->Mark, '*');
  EXPECT_TRUE(form->Checked);
  EXPECT_EQ(form->Shape, TShape::shTriangle);
  EXPECT_EQ(form->Sides, 5u);
  EXPECT_DOUBLE_EQ(form->Ratio, 25.0);
  EXPECT_EQ(form->Data, (std::vector<uint8_t>{0x01, 0xFF, 0x7A}));
  EXPECT_EQ(form->Font.FaceName, "Courier");
  EXPECT_EQ(form->Font.Style, 2u);
  EXPECT_EQ(form->Items.Text(), "Yes\r\nNo\r\n42\r\n");
  ASSERT_EQ(form->Entries.Count(), 2);
  auto& e0 = static_cast<TTestEntry&>(form->Entries.Item(0));
  EXPECT_EQ(e0.Ident, "Version");
  EXPECT_EQ(e0.Value, 16);
  EXPECT_EQ(form->Tag(), -3);
  EXPECT_FALSE(form->IsLoading());
}

TEST_F(FormReader, FollowsTheLoadingProtocol) {
  ReadForm(*form,
           "object F: TTestForm\n"
           "  Caption = 'root'\n"
           "  object Box: TTestItem\n"
           "    Buddy = Button1\n"  // forward reference
           "    object Button1: TTestItem\n"
           "      Caption = 'ok'\n"
           "      OnClick = Button1Click\n"
           "      Buddy = F\n"
           "    end\n"
           "  end\n"
           "end\n",
           "TTestForm");
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "caption root loading", "create", "create", "caption ok loading",
                       "set Buddy of Box", "set Buddy of Button1", "loaded F", "loaded Box",
                       "loaded Button1", "formloaded F", "formloaded Box", "formloaded Button1"}));
  auto* box = static_cast<TTestItem*>(form->FindComponent("Box"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->Owner(), form.get());
  ASSERT_EQ(box->Kids.size(), 1u);  // nesting gives the parent, the owner is the root
  EXPECT_EQ(form->Button1, box->Kids[0]);
  EXPECT_EQ(box->Buddy.Get(), form->Button1);
  EXPECT_EQ(form->Button1->Buddy.Get(), form.get());
  form->Button1->OnClick(form->Button1);
  EXPECT_EQ(form->clicks, 1);
  EXPECT_EQ(form->Button1->OnClick.HandlerName(), "Button1Click");
}

TEST_F(FormReader, ErrorsNameTheLineAndLeaveNoComponents) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"object F: TTestForm\n  Captoin = 'x'\nend", "TTestForm(2): unknown property 'Captoin' of TTestForm"},
      {"object F: TTestForm\n  object B: TNoSuch\n  end\nend", "TTestForm(2): unknown class TNoSuch"},
      {"object F: TTestForm\n  Shape = shOval\nend",
       "TTestForm(2): unknown identifier 'shOval' for property 'Shape'"},
      {"object F: TTestForm\n  Width = 'wide'\nend", "TTestForm(2): invalid value for property 'Width'"},
      {"object F: TTestForm\n  Width = 6000\nend", "TTestForm(2): value out of range"},
      {"object F: TTestForm\n  Caption = 'open\nend", "TTestForm(2): unterminated string"},
      {"object F: TTestForm\n  Caption = 'x'\n", "TTestForm(3): missing 'end' of F"},
      {"object F: TTestForm\n object A: TTestItem end\n object a: TTestItem end\nend",
       "TTestForm(3): duplicate name a"},
      {"object F: TTestForm\n object Button1: TTestItem\n  Buddy = Nobody\n end\nend",
       "TTestForm(3): unresolved reference 'Nobody'"},
      {"object F: TTestForm\n object Button1: TTestItem\n  OnClick = Nothing\n end\nend",
       "TTestForm(3): unknown handler 'Nothing' of TTestForm"},
      {"object F: TTestForm\n object Button1: TTestItem\n  OnClick = FormKey\n end\nend",
       "TTestForm(3): handler 'FormKey' does not fit event OnClick"},
      {"object F: TTestForm\nend", "TTestForm(1): field Button1 has no component"},
      {"object F: TTestItem\nend", "TTestForm(1): the form is of class TTestItem, not TTestForm"},
      {"object F: TTestForm\n  Caption = #300\nend", "TTestForm(2): character code out of range"},
      {"object F: TTestForm\n  Data = {0G}\nend", "TTestForm(2): invalid binary data"},
      {"object F: TTestForm\n  Font = 'x'\nend",
       "TTestForm(2): property 'Font' cannot take a value; set its members"},
      {"object F: TTestForm\n  Font.Name.X = 'x'\nend",
       "TTestForm(2): property 'Name' of TTestFont has no members"},
      {"object F: TTestForm\n  Checked = 1\nend", "TTestForm(2): invalid value for property 'Checked'"},
      {"object F: TTestForm\n  Sides = [shCircle, shOval]\nend",
       "TTestForm(2): unknown identifier 'shOval' for property 'Sides'"},
      {"object F: TTestForm\n  Ratio = 1.0e999\nend", "TTestForm(2): number out of range"},
      {"object F: TTestForm\n  Width 5\nend", "TTestForm(2): expected '='"},
      {"object F: TTestForm\n  Items = ('a' [)\nend", "TTestForm(2): invalid list item"},
      {"object F: TTestForm\n object Button1: TTestLeaf end\nend",
       "TTestForm(1): field Button1 cannot hold a TTestLeaf"},
      {"object F: TTestForm\n object Button1: TTestItem\n  object L: TTestLeaf\n   object X: TTestLeaf end\n  end\n end\nend",
       "TTestForm(4): TTestLeaf cannot contain TTestLeaf"},
      {"object F: TTestForm\n object Button1: TTestItem\n  Buddy = Leaf\n end\n object Leaf: TTestLeaf end\nend",
       "TTestForm(3): Leaf is a TTestLeaf, not a TTestItem"},
      {"object F: TTestForm\n object Button1: TTestItem end\nend\nend", "TTestForm(4): text after the final 'end'"},
      {"object F: TTestForm\n  Caption = 'a' +\nend", "TTestForm(3): expected a string after '+'"},
      {"object F: TTestForm\n  Data = {012}\nend", "TTestForm(2): invalid binary data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TOwned<TTestForm> f(new TTestForm(nullptr));
    try {
      ReadForm(*f, c.text, "TTestForm");
      ADD_FAILURE() << "no error";
    } catch (const EFormError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(f->ComponentCount(), 0);
  }
}

TEST_F(FormReader, ASecondRootUnderTheSameOwnerGetsANameOfItsOwn) {
  TOwned<TComponent> owner(new TComponent(nullptr));
  const char* text = "object F: TTestForm\n object Button1: TTestItem end\nend";
  auto* a = new TTestForm(owner.get());
  auto* b = new TTestForm(owner.get());
  ReadForm(*a, text, "T");
  ReadForm(*b, text, "T");
  EXPECT_EQ(a->Name(), "F");
  EXPECT_EQ(b->Name(), "F_1");
}

TEST_F(FormReader, HexIsA32BitPatternAndTheSizeIsLimited) {
  TOwned<TTestForm> f(new TTestForm(nullptr));
  ReadForm(*f, "object F: TTestForm\n Color = $8000000F\n object Button1: TTestItem end\nend", "T");
  EXPECT_EQ(uint32_t(f->Color), 0x8000000Fu);
  std::string huge = "object F: TTestForm\n Caption = '" + std::string(4u << 20, 'x') + "'\nend";
  TOwned<TTestForm> g(new TTestForm(nullptr));
  try {
    ReadForm(*g, huge, "Huge");
    FAIL();
  } catch (const EFormError& e) {
    EXPECT_EQ(e.Message(), "Huge(1): form text larger than 4 MiB");
  }
}

TEST_F(FormReader, RawBytesAndDeepNestingLimit) {
  TOwned<TTestForm> f(new TTestForm(nullptr));
  ReadForm(*f, "object F: TTestForm\n Caption = '\xE9t\xE9'#13#10\n object Button1: TTestItem end\nend",
           "T");
  EXPECT_EQ(f->Caption, "\xE9t\xE9\r\n");
  std::string deep = "object F: TTestForm\n";
  for (int i = 0; i < 40; ++i) deep += "object O" + std::to_string(i) + ": TTestItem\n";
  for (int i = 0; i < 41; ++i) deep += "end\n";
  TOwned<TTestForm> g(new TTestForm(nullptr));
  try {
    ReadForm(*g, deep, "Deep");
    FAIL();
  } catch (const EFormError& e) {
    EXPECT_EQ(e.Message(), "Deep(33): objects nested too deeply");
  }
}

}  // namespace

namespace {

// The outline names every object and gives each value as its text, without any class
// registered; a broken text fails as ReadForm does.
TEST(FormOutline, EveryValueKindAsText) {
  UnregisterAllClasses();
  TFormOutline f = ReadFormOutline(ReadCorpusFile("every_kind.form"), "every_kind");
  EXPECT_EQ(f.Name, "F");
  EXPECT_EQ(f.ClassName, "TTestForm");
  const std::vector<std::pair<std::string, std::string>> expected{
      {"Caption", "It's AB"}, {"Width", "320"}, {"Color", "clBtnFace"}, {"Mark", "*"},
      {"Checked", "True"}, {"Shape", "shTriangle"}, {"Sides", "[shCircle,shTriangle]"}, {"Ratio", "25"},
      {"Data", "01FF7A"}, {"Font.Name", "Courier"}, {"Font.Style", "[fsItalic]"}, {"Items", "(Yes No 42)"},
      {"Entries[0].Ident", "Version"}, {"Entries[0].Value", "16"}, {"Entries[1].Ident", "x"}, {"Tag", "-3"}};
  EXPECT_EQ(f.Properties, expected);
  EXPECT_EQ(f.Value("font.name"), "Courier");
  EXPECT_EQ(f.Value("Height"), "");
  ASSERT_EQ(f.Children.size(), 1u);
  EXPECT_EQ(f.Children[0].Name, "Button1");
  EXPECT_EQ(f.Children[0].ClassName, "TTestItem");
  try {
    ReadFormOutline("object F: TTestForm\n  Width = \nend\n", "broken");
    FAIL() << "no error";
  } catch (const EFormError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("broken(", 0), 0u) << e.what();
  }
}

}  // namespace
