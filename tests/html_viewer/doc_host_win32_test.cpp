// A document on a custom-painted panel under Wine, as the viewer will hold one: real form
// controls as the panel's children placed where the layout puts them, hidden when scrolled
// away and submitting through real clicks and keys; animated pictures in two blocks that
// both advance while only their own rectangles are repainted; the error box of a table that
// had to be dropped; list boxes and a text area whose real windows hold what they submit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "framework/controls/extctrls.h"
#include "framework/controls/register.h"
#include "framework/controls/stdctrls.h"
#include "framework/testing/gui_test.h"
#include "html_viewer/doc_blocks.h"
#include "html_viewer/doc_controls_win32.h"
#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/layout_cli.h"
#include "tests/html_viewer/gif_builder.h"
#include "tests/support/file_bytes.h"

namespace {

// The paint panel: the background, then the document at (0, 0) within the clip rectangle.
class TDocPanel : public TCustomPanel {
 public:
  explicit TDocPanel(TComponent* owner) : TCustomPanel(owner) { SetBevelOuter(TBevelCut::bvNone); }
  TSectionList* List = nullptr;
  std::vector<TRect> Clips;

 protected:
  void Paint() override {
    TRect clip = Canvas().ClipRect();
    Clips.push_back(clip);
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(clip);
    if (!List) return;
    TGdiCanvas canvas(Canvas().Handle());
    List->Paint(canvas, clip, 0, 0);
  }
};

// The records of one kind from a dump, as their fields by name.
std::vector<std::map<std::string, std::string>> Records(const std::string& dump, const std::string& kind) {
  std::vector<std::map<std::string, std::string>> out;
  std::istringstream lines(dump);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first != kind) continue;
    std::map<std::string, std::string> fields;
    for (std::string w; words >> w;)
      if (size_t eq = w.find('='); eq != std::string::npos) fields[w.substr(0, eq)] = w.substr(eq + 1);
    out.push_back(fields);
  }
  return out;
}

int Int(const std::map<std::string, std::string>& r, const std::string& key) { return std::stoi(r.at(key)); }

// The visible child windows of the panel, in its client coordinates.
std::vector<TRect> ChildRects(TWinControl& panel) {
  std::vector<TRect> rects;
  for (HWND h = GetWindow(panel.Handle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (!IsWindowVisible(h)) continue;
    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(HWND_DESKTOP, panel.Handle(), reinterpret_cast<POINT*>(&rc), 2);
    rects.push_back({rc.left, rc.top, rc.right, rc.bottom});
  }
  return rects;
}

class DocHost : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    InitDocGraphics();
    form = new TForm(Application);
    Track(form);
    form->SetBounds(20, 20, 600, 420);
    form->SetCaption("Document host");
    panel = new TDocPanel(form);
    panel->SetParent(form);
    panel->SetAlign(TAlign::alClient);
    panel->SetColor(clBtnFace);
    form->Show();
    Pump();
    surface = std::make_unique<TWinPaintSurface>(*panel);
    list = std::make_unique<TSectionList>(measurer, *surface, timer, errors, WinImagePlatform());
    list->ChangeBackgroundColour(clBtnFace);
    list->OnFormSubmit = [this](const std::string& action, const std::string& method,
                                const std::vector<std::string>& results) {
      Submitted.push_back(action + " " + method);
      for (const std::string& r : results) Submitted.push_back(r);
    };
    panel->List = list.get();
  }
  void TearDown() override {
    if (panel) panel->List = nullptr;
    list.reset();
    TGuiTest::TearDown();
  }
  // Reads the script, lays it out at the panel's width and paints it.
  void Load(const std::string& script) {
    std::string error;
    ASSERT_TRUE(ReadLayoutScript(*list, testsupport::ReadExistingText(script), error)) << error;
    Relayout();
  }
  void Relayout() {
    int cursor = 0;
    height = list->Layout(0, panel->ClientWidth(), cursor, maxWidth);
    cursors = cursor;
    Repaint();
  }
  void Repaint() {
    panel->Invalidate();
    panel->Update();
    Pump();
  }
  std::string Dump() {
    std::ostringstream out;
    DumpLayout(*list, height, maxWidth, cursors, {}, out);
    return out.str();
  }

  TForm* form = nullptr;
  TDocPanel* panel = nullptr;
  TScreenMeasurer measurer;
  TWinDocTimer timer;
  TMessageBoxErrorSink errors;
  std::unique_ptr<TWinPaintSurface> surface;
  std::unique_ptr<TSectionList> list;
  std::vector<std::string> Submitted;
  int height = 0, maxWidth = 0, cursors = 0;
};

TEST_F(DocHost, ControlsSitWhereTheLayoutPutsThem) {
  Load("layouts/host.layout");
  std::string dump = Dump();
  auto controls = Records(dump, "control");
  ASSERT_EQ(controls.size(), 5u) << dump;
  std::vector<TRect> real = ChildRects(*panel);
  auto lines = Records(dump, "line");
  // The second form lies below the view: not painted yet, its field is still off the panel.
  EXPECT_EQ(Int(controls[4], "x"), -400);
  controls.pop_back();
  for (const auto& c : controls) {
    TRect r = Bounds(Int(c, "x"), Int(c, "y"), Int(c, "width"), Int(c, "height"));
    SCOPED_TRACE(c.at("kind"));
    EXPECT_NE(std::find(real.begin(), real.end(), r), real.end()) << "no window at " << r.Left << "," << r.Top;
    // Each control stands on its line: its bottom is the line's bottom.
    bool onALine = false;
    for (const auto& l : lines)
      if (l.at("block") == c.at("block"))
        onALine |= Int(l, "y") + Int(l, "above") + Int(l, "height") + Int(l, "below") == r.Bottom;
    EXPECT_TRUE(onALine);
  }
  EXPECT_EQ(controls[0].at("kind"), "text");
  EXPECT_EQ(controls[3].at("kind"), "submit");
  // On the button face the bullets of levels 1 and 2 are navy and maroon.
  auto bullets = Records(dump, "bullet");
  ASSERT_EQ(bullets.size(), 2u);
  TCapture shot = CaptureWindow(*panel);
  EXPECT_TRUE(PixelNear(shot, Int(bullets[0], "x"), Int(bullets[0], "y"), 0x000080));
  EXPECT_TRUE(PixelNear(shot, Int(bullets[1], "x"), Int(bullets[1], "y"), 0x800000));
  auto cells = Records(dump, "cell");
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_TRUE(PixelNear(shot, Int(cells[1], "x") + Int(cells[1], "width") - 3, Int(cells[1], "y") + 6, 0xFF8080));
  // To look at the page: QUILTOR_HOLD_MS keeps it on the screen that long.
  if (const char* hold = std::getenv("QUILTOR_HOLD_MS")) PumpUntil([] { return false; }, std::atoi(hold));
}

TEST_F(DocHost, RealClicksAndKeysSubmit) {
  Load("layouts/host.layout");
  std::vector<TWinControl*> children;
  for (TControl* c : panel->ControlList())
    if (auto* w = dynamic_cast<TWinControl*>(c)) children.push_back(w);
  ASSERT_EQ(children.size(), 5u);
  auto* edit = dynamic_cast<TEdit*>(children[0]);
  auto* check = dynamic_cast<TCheckBox*>(children[1]);
  auto* combo = dynamic_cast<TComboBox*>(children[2]);
  auto* button = dynamic_cast<TButton*>(children[3]);
  auto* alone = dynamic_cast<TEdit*>(children[4]);
  ASSERT_TRUE(edit && check && combo && button && alone);
  EXPECT_EQ(edit->Text(), "patch");
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(button->Caption(), "Search");
  SetText(*edit, "mend");
  Click(*check);
  SelectItem(*combo, 1);
  Click(*button);
  EXPECT_EQ(Submitted, (std::vector<std::string>{"search.cgi get", "q=mend", "where=web", "go=Search"}));
  Submitted.clear();
  // Enter in the first form's field submits nothing (the form has more controls); Enter in
  // the lone field of the second form submits it.
  edit->SetFocus();
  PressKey(VK_RETURN);
  EXPECT_TRUE(Submitted.empty());
  list->ScrollOffsetTo(height - panel->ClientHeight());
  Repaint();
  alone->SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(Submitted, (std::vector<std::string>{"only.cgi Get", "only=x"}));
  // Page keys in a text field go to the viewer, the panel's parent.
  std::vector<uint16_t> keys;
  form->OnKeyDown = TKeyEvent([&](TObject*, uint16_t& key, TShiftState) { keys.push_back(key); });
  PressKey(VK_NEXT);
  PressKey(VK_HOME);
  PumpUntil([&] { return keys.size() >= 2; }, 2000);
  EXPECT_EQ(keys, (std::vector<uint16_t>{VK_NEXT, VK_HOME}));
}

TEST_F(DocHost, RadioButtonsGroupByFormAndName) {
  std::string error;
  ASSERT_TRUE(ReadLayoutScript(*list,
                               "form\np\ninput TYPE=radio NAME=r VALUE=1 CHECKED\ninput TYPE=radio NAME=R VALUE=2\n"
                               "/form\nform\np\ninput TYPE=radio NAME=r VALUE=3 CHECKED\n",
                               error))
      << error;
  Relayout();
  // Each radio button sits in a borderless panel of its own, so no two group by themselves.
  std::vector<TRadioButton*> radios;
  for (TControl* c : panel->ControlList())
    if (auto* p = dynamic_cast<TPanel*>(c)) {
      ASSERT_EQ(p->ControlCount(), 1);
      EXPECT_EQ(p->BevelOuter(), TBevelCut::bvNone);
      EXPECT_EQ(p->Width(), 13);
      EXPECT_EQ(p->Height(), 14);
      radios.push_back(dynamic_cast<TRadioButton*>(p->Controls(0)));
    }
  ASSERT_EQ(radios.size(), 3u);
  auto checked = [](TRadioButton* r) { return SendMessageA(r->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; };
  EXPECT_TRUE(checked(radios[0]) && !checked(radios[1]) && checked(radios[2]));
  Click(*radios[1]);
  EXPECT_FALSE(checked(radios[0]));
  EXPECT_TRUE(checked(radios[1]));
  EXPECT_TRUE(checked(radios[2]));  // another form
  Click(*radios[0]);
  EXPECT_TRUE(checked(radios[0]));
  EXPECT_FALSE(checked(radios[1]));
}

TEST_F(DocHost, ListBoxesAndTextAreasKeepTheirStateInTheirWindows) {
  std::string error;
  ASSERT_TRUE(ReadLayoutScript(*list,
                               "form ACTION=pick.cgi\np\n"
                               "select NAME=many MULTIPLE\noption SELECTED TEXT=one\noption TEXT=two\n"
                               "option SELECTED VALUE=3 TEXT=three\n/select\n"
                               "select NAME=rows SIZE=3\noption TEXT=a\noption SELECTED TEXT=b\noption TEXT=c\n"
                               "/select\n"
                               "textarea NAME=notes ROWS=2 COLS=12\nline first line\nline second line\n/textarea\n"
                               "input TYPE=submit NAME=go\ninput TYPE=reset\n",
                               error))
      << error;
  Relayout();
  std::vector<TListBox*> lists;
  std::vector<TButton*> buttons;
  TMemo* memo = nullptr;
  for (TControl* c : panel->ControlList()) {
    if (auto* l = dynamic_cast<TListBox*>(c)) lists.push_back(l);
    if (auto* b = dynamic_cast<TButton*>(c)) buttons.push_back(b);
    if (auto* m = dynamic_cast<TMemo*>(c)) memo = m;
  }
  ASSERT_EQ(lists.size(), 2u);
  ASSERT_EQ(buttons.size(), 2u);
  ASSERT_TRUE(memo);
  auto style = [](TWinControl& w) { return GetWindowLongPtrA(w.Handle(), GWL_STYLE); };
  EXPECT_TRUE(style(*lists[0]) & LBS_EXTENDEDSEL);
  EXPECT_FALSE(style(*lists[1]) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL));
  EXPECT_EQ(style(*memo) & (WS_HSCROLL | WS_VSCROLL), LONG_PTR(WS_HSCROLL | WS_VSCROLL));
  auto selected = [](TListBox& l) {
    std::vector<int> s;
    for (int i = 0, n = int(SendMessageA(l.Handle(), LB_GETCOUNT, 0, 0)); i < n; ++i)
      if (SendMessageA(l.Handle(), LB_GETSEL, WPARAM(i), 0) > 0) s.push_back(i);
    return s;
  };
  auto current = [](TListBox& l) { return int(SendMessageA(l.Handle(), LB_GETCURSEL, 0, 0)); };
  EXPECT_EQ(selected(*lists[0]), (std::vector<int>{0, 2}));
  EXPECT_EQ(current(*lists[1]), 1);
  EXPECT_EQ(memo->Text(), "first line\r\nsecond line");
  Click(*buttons[0]);
  EXPECT_EQ(Submitted, (std::vector<std::string>{"pick.cgi Get", "many=one", "many=3", "rows=b", "notes=first line",
                                                 "notes=second line", "go=Submit"}));
  Submitted.clear();
  // What is changed in the windows is what goes; the reset button puts the first state back.
  SendMessageA(lists[0]->Handle(), LB_SETSEL, FALSE, 0);
  SendMessageA(lists[0]->Handle(), LB_SETSEL, TRUE, 1);
  SelectItem(*lists[1], 2);
  SetText(*memo, "typed\r\nmore");
  Click(*buttons[0]);
  EXPECT_EQ(Submitted, (std::vector<std::string>{"pick.cgi Get", "many=two", "many=3", "rows=c", "notes=typed",
                                                 "notes=more", "go=Submit"}));
  Submitted.clear();
  Click(*buttons[1]);
  EXPECT_TRUE(Submitted.empty());
  EXPECT_EQ(selected(*lists[0]), (std::vector<int>{0, 2}));
  EXPECT_EQ(current(*lists[1]), 1);
  EXPECT_EQ(memo->Text(), "first line\r\nsecond line");
}

TEST_F(DocHost, ScrollingHidesTheControlsThatLeftTheView) {
  Load("layouts/host.layout");
  std::vector<TWinControl*> children;
  for (TControl* c : panel->ControlList())
    if (auto* w = dynamic_cast<TWinControl*>(c)) children.push_back(w);
  ASSERT_EQ(children.size(), 5u);
  EXPECT_TRUE(IsWindowVisible(children[0]->Handle()));
  EXPECT_LT(children[4]->Left(), 0);  // not painted yet: off the panel
  list->ScrollOffsetTo(height - panel->ClientHeight());
  Repaint();
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(IsWindowVisible(children[size_t(i)]->Handle())) << i;
  EXPECT_TRUE(IsWindowVisible(children[4]->Handle()));
  EXPECT_GE(children[4]->Top(), 0);
  EXPECT_LT(children[4]->Top() + children[4]->Height(), panel->ClientHeight() + 1);
  list->ScrollOffsetTo(0);
  Repaint();
  EXPECT_TRUE(IsWindowVisible(children[0]->Handle()));
  EXPECT_FALSE(IsWindowVisible(children[4]->Handle()));
}

TEST_F(DocHost, ATableWithTooManyColumnsShowsOneErrorBox) {
  Boxes.Expect("Table has too many Columns", IDOK);
  Boxes.Expect("Table has too many Columns", IDOK);
  Load("layouts/errors.layout");
  ASSERT_EQ(Boxes.Shown().size(), 2u);
  EXPECT_EQ(Boxes.Shown()[0].Text, "Table has too many Columns");
  EXPECT_EQ(Boxes.Shown()[0].Flags, UINT(MB_OK | MB_ICONERROR));
  EXPECT_EQ(list->Count(), 3);
  Relayout();  // dropped: no further box
  EXPECT_EQ(Boxes.Shown().size(), 2u);
}

TEST_F(DocHost, TwoAnimatedPicturesAdvanceUnderPartialRepaints) {
  giftest::Image frame;
  frame.Width = frame.Height = 16, frame.CodeSize = 2;
  auto anim = [&](int delayCs) {
    giftest::GifBuilder b;
    b.Header(16, 16, 2, {0xFF0000, 0x0000FF, 0x00FF00, 0}).Netscape(0);
    for (uint8_t colour : {0, 1, 2}) {
      frame.Indices.assign(256, colour);
      b.Control(1, delayCs).Add(frame);
    }
    return b.Trailer().Data();
  };
  list->OnImageRequest = [&](const std::string& name, std::vector<uint8_t>& data) {
    data = anim(name == "host-a.gif" ? 10 : 15);
    return true;
  };
  TMyFont font;
  font.SetNominalSize(12, 12);
  for (const char* name : {"host-a.gif", "host-b.gif"}) {
    auto s = std::make_unique<TSection>(*list, 0, font, nullptr, 1);
    TAttributeList a;
    a.Add({SrcSy, 0, name});
    s->AppendText("picture");
    s->InsertImage(a);
    s->Complete();
    list->AddSection(std::move(s));
    list->AddSection(std::make_unique<TParagraphSpace>(*list));
  }
  Relayout();
  ASSERT_EQ(list->AnimatedImages.size(), 2u);
  TGIFImage* a = list->AnimatedImages[0];
  TGIFImage* b = list->AnimatedImages[1];
  int aChanges = 0, bChanges = 0, aLast = a->ShownFrame(), bLast = b->ShownFrame();
  panel->Clips.clear();
  PumpUntil(
      [&] {
        aChanges += a->ShownFrame() != aLast, bChanges += b->ShownFrame() != bLast;
        aLast = a->ShownFrame(), bLast = b->ShownFrame();
        return aChanges >= 6 && bChanges >= 4;
      },
      4000);
  EXPECT_GE(aChanges, 6);
  EXPECT_GE(bChanges, 4);
  // The repaints were the pictures' own rectangles, not the whole panel.
  ASSERT_FALSE(panel->Clips.empty());
  int partial = 0;
  for (const TRect& c : panel->Clips) partial += c.Height() < panel->ClientHeight();
  EXPECT_GE(partial, 4);
  EXPECT_TRUE(timer.Enabled());
  list->ClearDocument();
  BitmapList().DropUnused();
}

}  // namespace

int main(int argc, char** argv) {
  int rc = RunGuiTests(argc, argv, RegisterFrameworkClasses);
  DoneDocGraphics();
  return rc;
}
