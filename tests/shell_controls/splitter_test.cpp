// The group frame and the splitter as windows under Wine: the frame's insets and edge
// colours, a disabled group's children, a caption change that measures the frame again;
// splitter drags as an outline and live, the clamps, the drop, capture loss, the
// proportional resize, and panes read from a form text and written back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "framework/testing/gui_test.h"
#include "shell_controls/splitter_win32.h"
#include "tests/support/defaults_check.h"

namespace {

class GroupAndSplitter : public TGuiTest {
 protected:
  TForm* Form() {
    if (!form) {
      form = new TForm(Application);
      Track(form);
      form->SetBounds(60, 60, 420, 300);
      form->Show();
    }
    return form;
  }
  TQsGroup* MakeGroup(TQsFrameStyle style, const std::string& caption) {
    auto* g = new TQsGroup(Form());
    g->SetBounds(10, 10, 64, 48);
    g->SetFrameStyle(style);
    g->SetCaption(caption);
    g->SetParent(Form());
    Pump();
    return g;
  }
  // A splitter built in code: its two panes, adopted.
  TQsSplitter* MakeSplitter(TQsFullDragMode mode) {
    auto* s = new TQsSplitter(Form());
    s->SetName("split");
    s->SetBounds(0, 0, 200, 140);
    s->SetParent(Form());
    for (int i = 0; i < 2; ++i) {
      auto* p = new TQsPane(Form());
      p->SetIndex(i);
      p->SetParent(s);
    }
    s->AdoptPanes();
    s->SetFullDragMode(mode);
    Pump();
    return s;
  }
  static void Mouse(TWinControl& c, UINT msg, int x, int y) {
    SendMessageA(c.Handle(), msg, msg == WM_LBUTTONUP || msg == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
  }
  TForm* form = nullptr;
};

TEST_F(GroupAndSplitter, FramesTakeTheirInsetsAndDrawTheirEdges) {
  struct Case {
    TQsFrameStyle style;
    const char* caption;
    TRect client;  // in window coordinates
  };
  TQsGroup* probe = MakeGroup(TQsFrameStyle::qsfsGroup, "Caption");
  int h = probe->CaptionHeight();
  ASSERT_GT(h, 8);
  for (const Case& c : {Case{TQsFrameStyle::qsfsGroup, "Caption", {2, h, 62, 46}},
                        Case{TQsFrameStyle::qsfsGroup, "", {2, 2, 62, 46}},
                        Case{TQsFrameStyle::qsfsNone, "x", {0, 0, 64, 48}},
                        Case{TQsFrameStyle::qsfsLowered, "", {2, 2, 62, 46}},
                        Case{TQsFrameStyle::qsfsSingle, "", {1, 1, 63, 47}},
                        Case{TQsFrameStyle::qsfsHorzEdge, "", {0, 2, 64, 46}},
                        Case{TQsFrameStyle::qsfsVertLine, "", {2, 0, 64, 48}}}) {
    SCOPED_TRACE(int(c.style));
    TQsGroup* g = MakeGroup(c.style, c.caption);
    RECT client{};
    GetClientRect(g->Handle(), &client);
    POINT origin{0, 0};
    ClientToScreen(g->Handle(), &origin);
    RECT window{};
    GetWindowRect(g->Handle(), &window);
    TRect got{int(origin.x - window.left), int(origin.y - window.top), int(origin.x - window.left + client.right),
              int(origin.y - window.top + client.bottom)};
    EXPECT_EQ(got, c.client);
    g->Free();
  }
  probe->Free();

  // A lowered frame: shadow outside and dark shadow inside at the top left, face and
  // highlight at the bottom right.
  TQsGroup* lowered = MakeGroup(TQsFrameStyle::qsfsLowered, "");
  UpdateWindow(lowered->Handle());
  HDC dc = GetWindowDC(lowered->Handle());
  auto at = [&](int x, int y) {
    COLORREF c = GetPixel(dc, x, y);
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
  };
  EXPECT_EQ(at(0, 20), RGBOf(clBtnShadow));
  EXPECT_EQ(at(1, 20), RGBOf(cl3DDkShadow));
  EXPECT_EQ(at(30, 47), RGBOf(clBtnHighlight));
  EXPECT_EQ(at(63, 20), RGBOf(clBtnHighlight));
  EXPECT_EQ(at(30, 46), RGBOf(clBtnFace));
  ReleaseDC(lowered->Handle(), dc);
}

TEST_F(GroupAndSplitter, ADisabledGroupDisablesItsChildrenAndACaptionMovesTheFrame) {
  TQsGroup* g = MakeGroup(TQsFrameStyle::qsfsGroup, "");
  g->SetBounds(10, 10, 200, 100);
  auto* edit = new TEdit(Form());
  edit->SetParent(g);
  auto* inner = new TQsGroup(Form());
  inner->SetParent(g);
  Pump();
  g->SetEnabled(false);
  EXPECT_FALSE(edit->Enabled());
  EXPECT_FALSE(IsWindowEnabled(edit->Handle()));
  EXPECT_FALSE(inner->Enabled());
  g->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(edit->Handle()));

  EXPECT_EQ(g->ClientRect().Height(), 96);
  g->SetCaption("Now with a caption");
  EXPECT_EQ(g->ClientRect().Height(), 100 - g->CaptionHeight() - 2);
}

TEST_F(GroupAndSplitter, AnOutlineDragMovesTheBarOnlyWhenItIsDropped) {
  TQsSplitter* s = MakeSplitter(TQsFullDragMode::qsfdOff);
  std::vector<int> drags, drops;
  int changes = 0;
  s->OnSplitterDrag = TQsSplitterDragEvent([&](TObject*, int p) { drags.push_back(p); });
  s->OnSplitterDrop = TQsSplitterDragEvent([&](TObject*, int p) { drops.push_back(p); });
  s->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  EXPECT_EQ(s->Position(), 65);
  EXPECT_EQ(s->GetPane(0)->Width(), 65);
  EXPECT_EQ(s->GetPane(1)->Left(), 68);
  EXPECT_EQ(s->GetPane(1)->Name(), "split_pane2");

  Mouse(*s, WM_LBUTTONDOWN, 66, 50);
  EXPECT_TRUE(s->Dragging());
  EXPECT_EQ(GetCapture(), s->Handle());
  Mouse(*s, WM_MOUSEMOVE, 120, 50);
  EXPECT_EQ(s->LinePosition(), 120);
  EXPECT_EQ(s->Position(), 65);  // only the outline moved
  Mouse(*s, WM_MOUSEMOVE, 199, 50);  // past pane 2's minimum of 20
  EXPECT_EQ(s->LinePosition(), 181);
  Mouse(*s, WM_LBUTTONUP, 199, 50);
  EXPECT_FALSE(s->Dragging());
  EXPECT_EQ(s->Position(), 180);
  EXPECT_EQ(s->GetPane(0)->Width(), 180);
  EXPECT_EQ(drops, std::vector<int>{180});
  EXPECT_EQ(drags.back(), -1);  // the outline's end reports no line
  EXPECT_EQ(changes, 0);        // a drop stores the position without a change event
  EXPECT_DOUBLE_EQ(s->Ratio(), 180.0 / 200.0);
  EXPECT_NE(GetCapture(), s->Handle());

  // A right press never starts a drag; losing the capture ends one.
  Mouse(*s, WM_RBUTTONDOWN, 181, 50);
  EXPECT_FALSE(s->Dragging());
  Mouse(*s, WM_LBUTTONDOWN, 181, 50);
  ASSERT_TRUE(s->Dragging());
  SetCapture(Form()->Handle());
  Pump();
  EXPECT_FALSE(s->Dragging());
  EXPECT_EQ(s->LinePosition(), -1);
  ReleaseCapture();
  EXPECT_EQ(s->Position(), 180);
}

TEST_F(GroupAndSplitter, ALiveDragMovesThePanesAndAResizeKeepsTheProportion) {
  TQsSplitter* s = MakeSplitter(TQsFullDragMode::qsfdOn);
  int changes = 0;
  s->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  Mouse(*s, WM_LBUTTONDOWN, 65, 50);
  Mouse(*s, WM_MOUSEMOVE, 100, 50);
  EXPECT_EQ(s->Position(), 100);
  EXPECT_EQ(s->GetPane(0)->Width(), 100);
  EXPECT_EQ(changes, 1);
  Mouse(*s, WM_MOUSEMOVE, 2, 50);  // below pane 1's minimum
  EXPECT_EQ(s->Position(), 20);
  SendMessageA(s->Handle(), WM_CANCELMODE, 0, 0);
  EXPECT_FALSE(s->Dragging());

  s->SetPosition(65);
  s->SetWidth(400);
  EXPECT_EQ(s->Position(), 130);
  EXPECT_EQ(s->GetPane(1)->Width(), 400 - 133);
  s->SetProportional(false);
  s->SetWidth(200);
  EXPECT_EQ(s->Position(), 130);

  // The first pane and the bar go away with a minimum and position of -SplitterWidth.
  s->SetPaneMinSize(0, -s->SplitterWidth());
  s->SetPosition(-s->SplitterWidth());
  EXPECT_EQ(s->GetPane(0)->Width(), 0);
  EXPECT_EQ(s->GetPane(1)->Left(), 0);
  EXPECT_EQ(s->GetPane(1)->Width(), 200);
}

// Panes read from a form text go into the splitter by their Index and into its ownership,
// and the splitter writes them back as its own children: the text reads back the same.
TEST_F(GroupAndSplitter, PanesFromAFormTextBelongToTheSplitterAndAreWrittenAsItsChildren) {
  const std::string text =
      "object holder: TForm\n"
      "  object split: TQsSplitter\n"
      "    Width = 300\n"
      "    Position = 90\n"
      "    object split_pane2: TQsPane\n"
      "      Index = 1\n"
      "      MinSize = 30\n"
      "    end\n"
      "    object split_pane1: TQsPane\n"
      "      MinSize = 10\n"
      "    end\n"
      "  end\n"
      "end\n";
  auto check = [](TForm& root) {
    auto* s = dynamic_cast<TQsSplitter*>(root.FindComponent("split"));
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->GetPane(0), nullptr);
    ASSERT_NE(s->GetPane(1), nullptr);
    EXPECT_EQ(s->GetPane(0)->Name(), "split_pane1");
    EXPECT_EQ(s->GetPane(1)->Name(), "split_pane2");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(s->GetPane(i)->Owner(), s);
    EXPECT_EQ(root.FindComponent("split_pane1"), nullptr);
    EXPECT_EQ(s->PaneMinSize(0), 10);
    EXPECT_EQ(s->PaneMinSize(1), 30);
    EXPECT_EQ(s->Position(), 90);
    EXPECT_DOUBLE_EQ(s->Ratio(), 90.0 / 300.0);
  };
  auto* first = new TForm(Application);
  Track(first);
  ReadForm(*first, text, "holder");
  check(*first);
  std::string written = WriteFormText(*first);
  size_t splitter = written.find("object split: TQsSplitter");
  size_t pane = written.find("object split_pane1: TQsPane");
  ASSERT_NE(splitter, std::string::npos) << written;
  ASSERT_NE(pane, std::string::npos) << written;
  EXPECT_GT(pane, splitter);
  EXPECT_EQ(written.find("Pane1MinSize"), std::string::npos) << written;  // each pane stores its own

  auto* second = new TForm(Application);
  Track(second);
  ReadForm(*second, written, "holder");
  check(*second);
  // The same text below the root's line (the second root is named "holder_1").
  std::string again = WriteFormText(*second);
  EXPECT_EQ(again.substr(again.find('\n')), written.substr(written.find('\n')));
}

// The declared defaults of these controls are what a new one holds (the form writer drops
// a value equal to its default).
TEST_F(GroupAndSplitter, TheControlsHoldTheirDeclaredDefaults) {
  for (const char* name : {"TQsGroup", "TQsPane", "TQsSplitter", "TQsShellTree", "TQsShellList", "TQsShellCombo", "TQsOpenDlg",
                           "TQsSaveDlg", "TSpeedButton"}) {
    const TClassInfo* cls = FindClass(name);
    ASSERT_NE(cls, nullptr) << name;
    EXPECT_EQ(DefaultMismatches(*cls), std::vector<std::string>{});
  }
}

}  // namespace
