// The frame-set viewer under Wine: frame sizes from the dimensions, dragging a border and
// NORESIZE, links routed by target, the nesting limit and frames that cannot load.
#include <gtest/gtest.h>

#include "framework/controls/register.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/frames_win32.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

class Frames : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    form = new TForm(Application);
    Track(form);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(10, 10, 400, 600);
    frames = new TFramesetViewer(form);
    frames->SetParent(form);
    frames->SetAlign(TAlign::alClient);
    form->Show();
    Pump();
    Page("menu.html", "<A HREF=\"b.html\" TARGET=main>to main</A> <A HREF=\"b.html\" TARGET=_top>whole</A>");
    Page("a.html", "<TITLE>A</TITLE>page a");
    Page("b.html", "<TITLE>B</TITLE>page b <A HREF=\"a.html\">self</A> and then <A HREF=\"a.html\" TARGET=_parent>up</A>");
  }
  std::string Page(const std::string& name, const std::string& html) {
    std::string path = dir.Path(name);
    testsupport::WriteFileBytes(path, html);
    return path;
  }
  void Settle() {
    for (int i = 0; i < 4; ++i) {
      Pump();
      Sleep(20);
    }
  }
  TFrame& Named(const std::string& name) {
    TFrame* f = frames->FrameSet().NamedFrame(name);
    if (!f) throw std::runtime_error("no frame " + name);
    return *f;
  }
  std::string Shown(TFrame& f) { return f.Viewer() ? ExtractFileName(f.Viewer()->CurrentFile()) : "-"; }
  // Clicks the link to url in the frame's viewer.
  bool ClickLink(TFrame& f, const std::string& url) {
    TDocViewer* v = f.Viewer();
    if (!v) return false;
    HWND panel = v->PaintPanel().Handle();
    for (int y = 2; y < v->PaintPanel().Height(); y += 3)
      for (int x = 12; x < v->PaintPanel().Width(); x += 5) {
        SendMessageA(panel, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        if (v->HotSpotUrl() == url && v->HotSpotTarget() == lastTarget) {
          SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
          SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
          Settle();
          return true;
        }
      }
    return false;
  }
  std::string Text(TDocViewer& v) {
    TSectionList& list = v.Document();
    list.SelBegin = 0;
    list.SelEnd = 100000;
    TSelectionText t;
    list.AppendSelectedText(t);
    list.SelEnd = 0;
    return t.Text();
  }

  testsupport::ScratchDir dir{"frames"};
  TForm* form = nullptr;
  TFramesetViewer* frames = nullptr;
  std::string lastTarget;
};

TEST_F(Frames, SizesBordersAndNoResize) {
  std::string set = Page("set.html",
                         "<TITLE>set</TITLE><FRAMESET ROWS=\"100,*,2*\"><FRAME NAME=top SRC=menu.html>"
                         "<FRAME NAME=main SRC=a.html><FRAME NAME=low SRC=missing.html></FRAMESET>");
  frames->LoadFromFile(set);
  Settle();
  EXPECT_EQ(frames->DocumentTitle(), "set");
  TFrameSet& s = frames->FrameSet();
  ASSERT_EQ(s.Children.size(), 3u);
  EXPECT_EQ(s.Children[0]->Height(), 100);
  EXPECT_EQ(s.Children[1]->Height(), 167);
  EXPECT_EQ(s.Children[2]->Height(), 333);
  EXPECT_EQ(s.Children[2]->Top(), 267);
  EXPECT_EQ(Shown(Named("main")), "a.html");
  // A frame that cannot load says so.
  ASSERT_NE(Named("low").Viewer(), nullptr);
  std::string error = Text(*Named("low").Viewer());
  EXPECT_NE(error.find("Can't load"), std::string::npos) << error;
  EXPECT_NE(error.find(dir.Path("missing.html")), std::string::npos) << error;
  // The bevel at the bottom of the first frame drags the border between them.
  HWND top = s.Children[0]->Handle();
  SendMessageA(top, WM_MOUSEMOVE, 0, MAKELPARAM(50, 99));
  EXPECT_EQ(s.Children[0]->Cursor(), crVSplit);
  SendMessageA(top, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 99));
  SendMessageA(top, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 150));
  SendMessageA(top, WM_LBUTTONUP, 0, MAKELPARAM(50, 150));
  Settle();
  EXPECT_EQ(s.Children[0]->Height(), 150);
  EXPECT_EQ(s.Children[1]->Top(), 150);
  EXPECT_EQ(s.Children[2]->Top(), 267);
  // A resize keeps the proportions.
  form->SetBounds(10, 10, 400, 300);
  Settle();
  EXPECT_EQ(s.Children[0]->Height(), 75);

  // Next to a NORESIZE frame no border moves.
  std::string fixed = Page("fixed.html",
                           "<FRAMESET ROWS=\"100,*\"><FRAME NAME=top SRC=menu.html NORESIZE><FRAME SRC=a.html>"
                           "</FRAMESET>");
  form->SetBounds(10, 10, 400, 600);
  frames->LoadFromFile(fixed);
  Settle();
  TFrameSet& t = frames->FrameSet();
  ASSERT_EQ(t.Children.size(), 2u);
  HWND first = t.Children[0]->Handle();
  SendMessageA(first, WM_MOUSEMOVE, 0, MAKELPARAM(50, 99));
  EXPECT_NE(t.Children[0]->Cursor(), crVSplit);
  SendMessageA(first, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 99));
  SendMessageA(first, WM_LBUTTONUP, 0, MAKELPARAM(50, 160));
  Settle();
  EXPECT_EQ(t.Children[0]->Height(), 100);
}

TEST_F(Frames, LinksGoWhereTheirTargetsSay) {
  std::string set = Page("set.html",
                         "<FRAMESET ROWS=\"100,*\"><FRAME NAME=top SRC=menu.html><FRAMESET COLS=\"*,*\">"
                         "<FRAME NAME=main SRC=a.html><FRAME NAME=side SRC=b.html></FRAMESET></FRAMESET>");
  frames->LoadFromFile(set);
  Settle();
  lastTarget = "main";
  ASSERT_TRUE(ClickLink(Named("top"), "b.html"));
  EXPECT_EQ(Shown(Named("main")), "b.html");
  EXPECT_EQ(Shown(Named("top")), "menu.html");
  // No target: the frame itself.
  lastTarget = "";
  ASSERT_TRUE(ClickLink(Named("side"), "a.html"));
  EXPECT_EQ(Shown(Named("side")), "a.html");
  // "_parent" from the nested set: that set becomes one frame with the page.
  frames->LoadFromFile(set);
  Settle();
  lastTarget = "_parent";
  ASSERT_TRUE(ClickLink(Named("side"), "a.html"));
  TFrameSet& s = frames->FrameSet();
  ASSERT_EQ(s.Children.size(), 2u);
  auto* nested = dynamic_cast<TSubFrameSet*>(s.Children[1]);
  ASSERT_NE(nested, nullptr);
  ASSERT_EQ(nested->Children.size(), 1u);
  EXPECT_EQ(Shown(*static_cast<TFrame*>(nested->Children[0])), "a.html");
  EXPECT_EQ(frames->FrameSet().NamedFrame("main"), nullptr);
  // "_top": the whole set gives way to the page.
  lastTarget = "_top";
  ASSERT_TRUE(ClickLink(Named("top"), "b.html"));
  ASSERT_EQ(frames->FrameSet().AllFrames.size(), 1u);
  EXPECT_EQ(Shown(*frames->FrameSet().AllFrames[0]), "b.html");
  // A name no frame has asks for a window.
  std::vector<std::string> asked;
  frames->OnBlankWindowRequest =
      TWindowRequestEvent([&](TObject*, const std::string& target, const std::string& url) { asked.push_back(target + " " + url); });
  Page("other.html", "<A HREF=\"a.html\" TARGET=elsewhere>away</A>");
  frames->LoadFromFile(dir.Path("other.html"));
  Settle();
  lastTarget = "elsewhere";
  ASSERT_TRUE(ClickLink(*frames->FrameSet().AllFrames[0], "a.html"));
  EXPECT_EQ(asked, std::vector<std::string>{"elsewhere a.html"});
  EXPECT_EQ(Shown(*frames->FrameSet().AllFrames[0]), "other.html");
}

TEST_F(Frames, SetsNestFourDeepAtMost) {
  Page("leaf.html", "leaf");
  std::string self = Page("self.html", "<FRAMESET COLS=\"*,*\"><FRAME SRC=self.html><FRAME SRC=leaf.html></FRAMESET>");
  frames->LoadFromFile(self);
  Settle();
  int leaves = 0, empty = 0;
  for (TFrame* f : frames->FrameSet().AllFrames) {
    leaves += Shown(*f) == "leaf.html";
    empty += !f->Viewer() && !f->Nested();
  }
  EXPECT_EQ(leaves, 4);
  EXPECT_EQ(empty, 2);
  // A top-level file that is missing keeps the set shown.
  EXPECT_THROW(frames->LoadFromFile(dir.Path("nothing.html")), EInOutError);
  EXPECT_EQ(ExtractFileName(frames->CurrentFile()), "self.html");
}

}  // namespace

int main(int argc, char** argv) {
  int rc = RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    RegisterDocViewer();
    RegisterFramesetViewer();
  });
  DoneDocGraphics();
  return rc;
}
