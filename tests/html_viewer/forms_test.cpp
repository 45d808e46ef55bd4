// Form controls as models with their windows in memory: what each control submits, Enter
// and the page keys, resets, radio groups per form, the implicit form, image controls, and
// the sizes fitted through the measurer.
#include <gtest/gtest.h>

#include "tests/html_viewer/doc_fixture.h"

namespace {

using doctest::Attrs;
using doctest::Doc;

struct FormDoc : Doc {
  FormDoc() : block(Text("")) {
    list.OnFormSubmit = [this](const std::string& action, const std::string& method,
                               const std::vector<std::string>& results) {
      submissions.push_back({action, method, results});
    };
  }
  TFormControlObj* Input(std::initializer_list<std::pair<TAttrSymbol, const char*>> attrs) {
    return InsertFormControl(block, list, &list, TFormElement::feInput, Attrs(attrs));
  }
  static TMemoryControl& Window(TFormControlObj* c) { return dynamic_cast<TMemoryControl&>(*c->Window()); }
  std::vector<std::string> Submitted() {
    EXPECT_EQ(submissions.size(), 1u);
    std::vector<std::string> r = submissions.empty() ? std::vector<std::string>{} : submissions.back().results;
    submissions.clear();
    return r;
  }
  struct Submission {
    std::string action, method;
    std::vector<std::string> results;
  };
  TSection& block;
  std::vector<Submission> submissions;
};

using Pairs = std::vector<std::string>;

TEST(Forms, WhatEachControlSubmits) {
  FormDoc d;
  d.list.CurrentForm = &TDocForm::Create(d.list, Attrs({{MethodSy, "POSTED"}, {ActionSy, "/cgi/go"}}));
  d.Input({{TypeSy, "text"}, {NameSy, "who"}, {ValueSy, "me"}});
  d.Input({{TypeSy, "hidden"}, {NameSy, "h"}, {ValueSy, "v"}});
  TFormControlObj* on = d.Input({{TypeSy, "checkbox"}, {NameSy, "c"}, {CheckedSy, ""}});
  d.Input({{TypeSy, "checkbox"}, {NameSy, "off"}});
  d.Input({{TypeSy, "CHECKBOX"}, {NameSy, "v"}, {ValueSy, "yes"}, {CheckedSy, ""}});
  auto* area = dynamic_cast<TTextAreaFormControlObj*>(
      InsertFormControl(d.block, d.list, &d.list, TFormElement::feTextArea, Attrs({{NameSy, "t"}})));
  for (const char* line : {"one", "two", "three"}) area->AddLine(line);
  area->Restore();
  auto select = [&](std::initializer_list<std::pair<TAttrSymbol, const char*>> attrs,
                    std::vector<std::tuple<const char*, const char*, bool>> options) {
    auto* s = dynamic_cast<TListBoxFormControlObj*>(
        InsertFormControl(d.block, d.list, &d.list, TFormElement::feSelect, Attrs(attrs)));
    for (auto [text, value, selected] : options) s->AddOption(text, value, selected);
    s->Restore();
    return s;
  };
  auto* combo = select({{NameSy, "first"}}, {{"Alpha", "", false}, {"Beta", "b", false}});
  select({{NameSy, "last"}}, {{"Alpha", "", true}, {"Beta", "b", true}});
  select({{NameSy, "none"}, {MultipleSy, ""}}, {{"Alpha", "", false}, {"Beta", "b", false}});
  select({{NameSy, "two"}, {MultipleSy, ""}}, {{"Alpha", "", true}, {"Beta", "b", false}, {"Gamma", "g", true}});
  select({{NameSy, "rows"}, {SizeSy, "3"}}, {{"Alpha", "", false}, {"Beta", "b", true}});
  select({{NameSy, "empty"}}, {});
  select({{NameSy, "emptylist"}, {MultipleSy, ""}}, {});
  EXPECT_STREQ(combo->KindName(), "combo");
  TFormControlObj* send = d.Input({{TypeSy, "submit"}, {NameSy, "go"}, {ValueSy, "Send"}});
  EXPECT_EQ(d.list.CurrentForm->NonHiddenCount, 13);
  FormDoc::Window(send).Click();
  ASSERT_EQ(d.submissions.size(), 1u);
  EXPECT_EQ(d.submissions[0].action, "/cgi/go");
  EXPECT_EQ(d.submissions[0].method, "POST");
  EXPECT_EQ(d.Submitted(), (Pairs{"who=me", "h=v", "c=On", "v=yes", "t=one", "t=two", "t=three", "first=Alpha",
                                  "last=b", "two=Alpha", "two=g", "rows=b", "go=Send"}));
  // What a user changed is what goes; an unnamed submit button adds nothing.
  FormDoc::Window(on).Click();
  FormDoc::Window(area).SetText("only\r\nlines");
  TFormControlObj* plain = d.Input({{TypeSy, "submit"}});
  EXPECT_EQ(plain->Value, "Submit");
  FormDoc::Window(plain).Click();
  Pairs r = d.Submitted();
  EXPECT_EQ(std::count(r.begin(), r.end(), "c=On"), 0);
  EXPECT_EQ(std::count(r.begin(), r.end(), "t=only"), 1);
  EXPECT_EQ(r.back(), "rows=b");
  // Without a handler nothing is built.
  d.list.OnFormSubmit = nullptr;
  FormDoc::Window(send).Click();
  EXPECT_TRUE(d.submissions.empty());
}

TEST(Forms, EnterSubmitsAFormOfOneVisibleControl) {
  FormDoc d;
  d.list.CurrentForm = &TDocForm::Create(d.list, {});
  TFormControlObj* only = d.Input({{NameSy, "q"}, {ValueSy, "x"}});
  d.Input({{TypeSy, "hidden"}, {NameSy, "h"}, {ValueSy, "1"}});
  d.list.CurrentForm = &TDocForm::Create(d.list, {});
  TFormControlObj* two = d.Input({{TypeSy, "password"}, {NameSy, "p"}});
  d.Input({{TypeSy, "checkbox"}, {NameSy, "c"}});
  EXPECT_TRUE(FormDoc::Window(only).Press(kKeyReturn));
  EXPECT_EQ(d.Submitted(), (Pairs{"q=x", "h=1"}));
  EXPECT_FALSE(FormDoc::Window(two).Press(kKeyReturn));
  EXPECT_TRUE(d.submissions.empty());
  EXPECT_STREQ(two->KindName(), "password");
  EXPECT_TRUE(FormDoc::Window(two).Desc().Password);
  // The page keys go to the viewer from text fields and text areas; Enter stays in a text area.
  for (uint16_t key : {kKeyPageUp, kKeyPageDown, kKeyEnd, kKeyHome}) EXPECT_TRUE(FormDoc::Window(two).Press(key));
  TFormControlObj* area = InsertFormControl(d.block, d.list, &d.list, TFormElement::feTextArea, {});
  EXPECT_TRUE(FormDoc::Window(area).Press(kKeyPageDown));
  EXPECT_FALSE(FormDoc::Window(area).Press(kKeyReturn));
  EXPECT_FALSE(FormDoc::Window(two).Press('A'));
  EXPECT_EQ(d.surface.PostedKeys,
            (std::vector<uint16_t>{kKeyPageUp, kKeyPageDown, kKeyEnd, kKeyHome, kKeyPageDown}));
}

TEST(Forms, ControlsOutsideAnyFormShareAnImplicitOne) {
  FormDoc d;
  TFormControlObj* a = d.Input({{NameSy, "a"}});
  TFormControlObj* b = d.Input({{NameSy, "b"}});
  ASSERT_EQ(d.list.Forms.size(), 1u);
  EXPECT_EQ(a->Form, b->Form);
  EXPECT_EQ(a->Form->Method, "Get");
  EXPECT_EQ(a->Form->Action, "");
  EXPECT_FALSE(FormDoc::Window(a).Press(kKeyReturn));  // two visible controls
  EXPECT_EQ(d.list.FormControls, (std::vector<TFormControlObj*>{a, b}));
}

TEST(Forms, RadioButtonsExcludeEachOtherWithinTheirForm) {
  FormDoc d;
  d.list.CurrentForm = &TDocForm::Create(d.list, {});
  TFormControlObj* r1 = d.Input({{TypeSy, "radio"}, {NameSy, "r"}, {ValueSy, "1"}, {CheckedSy, ""}});
  TFormControlObj* r2 = d.Input({{TypeSy, "radio"}, {NameSy, "R"}, {ValueSy, "2"}});
  TFormControlObj* other = d.Input({{TypeSy, "radio"}, {NameSy, "s"}, {ValueSy, "3"}, {CheckedSy, ""}});
  TFormControlObj* submit1 = d.Input({{TypeSy, "submit"}});
  d.list.CurrentForm = &TDocForm::Create(d.list, {});
  TFormControlObj* f2 = d.Input({{TypeSy, "radio"}, {NameSy, "r"}, {ValueSy, "9"}, {CheckedSy, ""}});
  TFormControlObj* reset = d.Input({{TypeSy, "reset"}});
  EXPECT_EQ(reset->Value, "Reset");
  FormDoc::Window(r2).Click();
  EXPECT_FALSE(FormDoc::Window(r1).Checked());
  EXPECT_TRUE(FormDoc::Window(r2).Checked());
  EXPECT_TRUE(FormDoc::Window(other).Checked());  // another name
  EXPECT_TRUE(FormDoc::Window(f2).Checked());     // another form
  FormDoc::Window(submit1).Click();
  EXPECT_EQ(d.Submitted(), (Pairs{"R=2", "s=3"}));
  // A reset puts the radio buttons of its form back and leaves the others.
  FormDoc::Window(f2).SetChecked(false);
  FormDoc::Window(reset).Click();
  EXPECT_TRUE(FormDoc::Window(f2).Checked());
  EXPECT_FALSE(FormDoc::Window(r1).Checked());
  r1->Form->ResetAll();
  EXPECT_TRUE(FormDoc::Window(r1).Checked());
  EXPECT_FALSE(FormDoc::Window(r2).Checked());
}

TEST(Forms, ResetPutsBackTheInitialState) {
  FormDoc d;
  TFormControlObj* edit = d.Input({{NameSy, "e"}, {ValueSy, "start"}, {MaxLengthSy, "3"}});
  EXPECT_EQ(FormDoc::Window(edit).Desc().MaxLength, 3);  // what the user may type
  EXPECT_EQ(FormDoc::Window(edit).Text(), "start");
  TFormControlObj* check = d.Input({{TypeSy, "checkbox"}, {NameSy, "c"}, {CheckedSy, ""}});
  auto* list = dynamic_cast<TListBoxFormControlObj*>(InsertFormControl(
      d.block, d.list, &d.list, TFormElement::feSelect, Attrs({{NameSy, "l"}, {MultipleSy, ""}})));
  list->AddOption("a", "", true);
  list->AddOption("b", "", false);
  list->Restore();
  auto* area = dynamic_cast<TTextAreaFormControlObj*>(
      InsertFormControl(d.block, d.list, &d.list, TFormElement::feTextArea, {}));
  area->AddLine("x");
  area->Restore();
  FormDoc::Window(edit).SetText("new");
  FormDoc::Window(check).Click();
  FormDoc::Window(list).SetSelected(0, false);
  FormDoc::Window(list).SetSelected(1, true);
  FormDoc::Window(list).SetTopIndex(1);
  FormDoc::Window(area).SetText("typed");
  d.Input({{TypeSy, "reset"}, {ValueSy, "Again"}});
  FormDoc::Window(d.list.FormControls.back()).Click();
  EXPECT_EQ(FormDoc::Window(edit).Text(), "start");
  EXPECT_TRUE(FormDoc::Window(check).Checked());
  EXPECT_EQ(FormDoc::Window(list).Items(), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(FormDoc::Window(list).Selected(0));
  EXPECT_FALSE(FormDoc::Window(list).Selected(1));
  EXPECT_EQ(FormDoc::Window(list).TopIndex(), 0);
  EXPECT_EQ(FormDoc::Window(area).Text(), "x");
  EXPECT_EQ(FormDoc::Window(area).Caret(), 0);
  EXPECT_EQ(FormDoc::Window(d.list.FormControls.back()).Text(), "Again");
}

TEST(Forms, ImageControlsSubmitWhereTheyWereClicked) {
  FormDoc d;
  d.list.ImagesShown = false;
  auto* named = dynamic_cast<TImageFormControlObj*>(
      d.Input({{TypeSy, "image"}, {NameSy, "map"}, {WidthSy, "30"}, {HeightSy, "20"}}));
  auto* unnamed = dynamic_cast<TImageFormControlObj*>(d.Input({{TypeSy, "image"}, {WidthSy, "30"}, {HeightSy, "20"}}));
  d.Input({{TypeSy, "hidden"}, {NameSy, "h"}, {ValueSy, "1"}});
  ASSERT_TRUE(named && unnamed);
  EXPECT_FALSE(named->HasWindow());
  EXPECT_EQ(d.block.Buffer(), std::string(" \x04\x04"));  // pictures; the hidden field adds nothing
  ASSERT_EQ(named->Image, &d.block.Images().Image(0));
  d.Layout(400);
  d.Paint();
  TUrlTarget link;
  TFormControlObj* control = nullptr;
  EXPECT_TRUE(d.list.LinkAt(10 + 3, 4, link, control));
  EXPECT_EQ(control, named);
  EXPECT_TRUE(link.Url.empty());
  named->ImageClicked();
  EXPECT_EQ(d.Submitted(), (Pairs{"map.x=3", "map.y=4", "h=1"}));
  // Submitted once: a second submission leaves the picture out until it is clicked again.
  named->Form->Submit(nullptr);
  EXPECT_EQ(d.Submitted(), (Pairs{"h=1"}));
  unnamed->MouseAt(7, 8);
  unnamed->ImageClicked();
  EXPECT_EQ(d.Submitted(), (Pairs{"x=7", "y=8", "h=1"}));
}

TEST(Forms, SizesFitTheFonts) {
  struct Case {
    const char* name;
    TFormElement element;
    TAttributeList attrs;
    int options;
    int width, height;
  };
  // Fake measurer: 10 points are 8 px a character and 13 px a line, 8 points 7 and 11.
  const Case cases[] = {
      {"text field", TFormElement::feInput, {}, 0, 8 * 20 + 5, 20},
      {"SIZE=10", TFormElement::feInput, Attrs({{SizeSy, "10"}}), 0, 8 * 10 + 5, 20},
      {"SIZE=0 takes 20", TFormElement::feInput, Attrs({{SizeSy, "0"}}), 0, 8 * 20 + 5, 20},
      {"SIZE=1000 takes 500", TFormElement::feInput, Attrs({{SizeSy, "1000"}}), 0, 8 * 500 + 5, 20},
      {"submit button", TFormElement::feInput, Attrs({{TypeSy, "submit"}}), 0, 7 * 6 + 20, 11 + 8},
      {"check box", TFormElement::feInput, Attrs({{TypeSy, "checkbox"}}), 0, 13, 13},
      {"radio button", TFormElement::feInput, Attrs({{TypeSy, "radio"}}), 0, 13, 14},
      {"list of 3", TFormElement::feSelect, Attrs({{MultipleSy, ""}}), 3, 8 * 6 + 15, 13 * 3},
      {"list of 12 shows 8", TFormElement::feSelect, Attrs({{MultipleSy, ""}}), 12, 8 * 6 + 15, 13 * 8},
      {"SIZE=2 shows 2", TFormElement::feSelect, Attrs({{SizeSy, "2"}}), 12, 8 * 6 + 15, 13 * 2},
      {"list without options shows 1", TFormElement::feSelect, Attrs({{MultipleSy, ""}}), 0, 8 * 3 + 15, 13},
      {"combo box", TFormElement::feSelect, {}, 3, 7 * 6 + 30, 21},
      {"text area", TFormElement::feTextArea, {}, 0, 8 * 30 + 5, 13 * 5 + 5},
      {"COLS=0 ROWS=-1 take their defaults", TFormElement::feTextArea, Attrs({{ColsSy, "0"}, {RowsSy, "-1"}}), 0,
       8 * 30 + 5, 13 * 5 + 5},
      {"COLS and ROWS are capped", TFormElement::feTextArea, Attrs({{ColsSy, "1000"}, {RowsSy, "1000"}}), 0,
       8 * 500 + 5, 13 * 100 + 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FormDoc d;
    TFormControlObj* control = InsertFormControl(d.block, d.list, &d.list, c.element, c.attrs);
    if (auto* list = dynamic_cast<TListBoxFormControlObj*>(control))
      for (int i = 0; i < c.options; ++i) list->AddOption(i == 1 ? "option" : "o", "", false);
    EXPECT_EQ(control->Window()->Bounds().Left, -400);  // made out of view
    d.Layout(4000);
    EXPECT_EQ(control->Width(), c.width);
    EXPECT_EQ(control->Height(), c.height);
  }
}

TEST(Forms, PrintingPaintsPicturesInsteadOfPlacingWindows) {
  FormDoc d;
  TFormControlObj* edit = d.Input({{NameSy, "e"}, {ValueSy, "text"}, {MaxLengthSy, "0"}});
  d.Input({{TypeSy, "checkbox"}, {CheckedSy, ""}});
  d.Input({{TypeSy, "radio"}, {CheckedSy, ""}});
  d.Input({{TypeSy, "submit"}});
  EXPECT_EQ(FormDoc::Window(edit).Desc().MaxLength, 0);  // MAXLENGTH=0 sets no limit
  d.Layout(600);
  d.list.Printing = true;
  d.Paint();
  EXPECT_EQ(edit->Window()->Bounds().Left, -400);
  EXPECT_FALSE(edit->Shown);
  // White boxes where the controls stand, the field's text, a tick and a dot.
  int white = 0;
  for (const auto& f : d.canvas.fills) white += f.a == clWhite;
  EXPECT_EQ(white, 4);
  bool text = false;
  for (const auto& t : d.canvas.texts) text |= t.text == "text" || t.text == "Submit";
  EXPECT_TRUE(text);
  TRect dot = Bounds(10 + 165 + 13 + 5, 20 - 14 + 5, 4, 4);
  bool dotted = false;
  for (const auto& f : d.canvas.fills) dotted |= f.r == dot && f.a == clBlack;
  EXPECT_TRUE(dotted);
  int black = 0;
  for (const auto& l : d.canvas.lines) black += l.colour == clBlack;
  EXPECT_EQ(black, 2);  // the check box's tick
}

TEST(Forms, ControlsSitOnTheirLine) {
  FormDoc d;
  d.block.AppendText("ab");
  TFormControlObj* edit = d.Input({{NameSy, "e"}});
  d.block.AppendText(" cd");
  d.Text("next");
  d.Layout(400);
  d.Paint();
  // The line grows to the control's 20 px; the control fills it from its top to its bottom.
  ASSERT_EQ(d.block.Lines().size(), 1u);
  EXPECT_EQ(d.block.Lines()[0].SpaceAbove, 4);
  EXPECT_EQ(edit->Window()->Bounds(), Bounds(30, 0, 165, 20));
  EXPECT_TRUE(edit->Shown);
  EXPECT_EQ(edit->Place(), edit->Window()->Bounds());
  EXPECT_EQ(d.list.Section(1).Top, 20);
}

}  // namespace
