// The frame-set viewer under Wine: frame sizes from the dimensions, dragging a border (its
// line and the mouse held between the neighbours) and NORESIZE, links routed by target, the
// nesting limit, frames that cannot load and the mouse of empty frames; the history of sets
// and of frames, documents from the host's request events (each asked once per load), the
// processing state of all frames and the settings every frame viewer gets.
#include <gtest/gtest.h>

#include <map>

#include "framework/controls/register.h"
#include "framework/core/streams.h"
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
  // A set shown later in the deepest page's frame counts the frames around it: its own
  // frames are past the limit and stay empty.
  TFrame* deepest = nullptr;
  for (TFrame* f : frames->FrameSet().AllFrames)
    if (Shown(*f) == "leaf.html" && (!deepest || f->NestingLevel() > deepest->NestingLevel())) deepest = f;
  ASSERT_NE(deepest, nullptr);
  EXPECT_EQ(deepest->NestingLevel(), 3);
  deepest->Navigate(self, "");
  ASSERT_NE(deepest->Nested(), nullptr);
  ASSERT_EQ(deepest->Nested()->Children.size(), 2u);
  for (TFrameBase* child : deepest->Nested()->Children) EXPECT_TRUE(static_cast<TFrame*>(child)->Empty());
  // A top-level file that is missing keeps the set shown.
  EXPECT_THROW(frames->LoadFromFile(dir.Path("nothing.html")), EInOutError);
  EXPECT_EQ(ExtractFileName(frames->CurrentFile()), "self.html");
}

TEST_F(Frames, AnEmptyFramesMouseGoesToTheViewersOwnEvents) {
  Page("leaf.html", "leaf");
  Page("self.html", "<FRAMESET COLS=\"*,*\"><FRAME SRC=self.html><FRAME SRC=leaf.html></FRAMESET>");
  Page("three.html",
       "<FRAMESET COLS=\"*,*,*\"><FRAME NAME=blank><FRAME NAME=nothing SRC=\"\"><FRAME NAME=page SRC=a.html>"
       "</FRAMESET>");
  std::vector<std::string> log;
  TFrame* empty = nullptr;
  auto who = [&](TObject* sender) {
    return sender == empty ? "frame" : dynamic_cast<TDocViewer*>(sender) ? "viewer" : "other";
  };
  auto note = [&](const std::string& what, TObject* sender, int x, int y) {
    std::string line = what + " " + who(sender) + " " + std::to_string(x) + "," + std::to_string(y);
    if (log.empty() || log.back() != line) log.push_back(line);
  };
  frames->OnMouseDown = TMouseEvent([&](TObject* sender, TMouseButton b, TShiftState, int x, int y) {
    note(b == TMouseButton::mbLeft ? "down" : "down?", sender, x, y);
  });
  frames->OnMouseMove = TMouseMoveEvent([&](TObject* sender, TShiftState, int x, int y) { note("move", sender, x, y); });
  frames->OnMouseUp = TMouseEvent([&](TObject* sender, TMouseButton b, TShiftState, int x, int y) {
    note(b == TMouseButton::mbLeft ? "up" : "up?", sender, x, y);
  });
  // The mouse itself, so the frame's own window is the one under it.
  auto moveTo = [&](TControl& c, int x, int y) {
    TPoint at = c.ClientToScreen({x, y});
    SetCursorPos(at.X, at.Y);
    mouse_event(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
    Settle();
  };
  struct Case {
    const char* file;
    const char* frame;  // null: the first empty frame, past the nesting limit
  };
  for (const Case& c : {Case{"three.html", "blank"}, Case{"three.html", "nothing"}, Case{"self.html", nullptr}}) {
    SCOPED_TRACE(std::string(c.file) + " " + (c.frame ? c.frame : "too deep"));
    frames->LoadFromFile(dir.Path(c.file));
    Settle();
    empty = c.frame ? &Named(c.frame) : nullptr;
    for (TFrame* f : frames->FrameSet().AllFrames)
      if (!empty && f->Empty()) empty = f;
    ASSERT_NE(empty, nullptr);
    ASSERT_TRUE(empty->Empty());
    SetForegroundWindow(form->Handle());
    int x = empty->Width() / 2, y = empty->Height() / 2;
    moveTo(*empty, x, y);
    log.clear();
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Settle();
    moveTo(*empty, x, y + 9);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Settle();
    std::string at = std::to_string(x) + "," + std::to_string(y), below = std::to_string(x) + "," + std::to_string(y + 9);
    EXPECT_EQ(log, (std::vector<std::string>{"down frame " + at, "move frame " + below, "up frame " + below}));
  }
  // A frame with a page: the page's viewer reports its mouse itself.
  frames->LoadFromFile(dir.Path("three.html"));
  Settle();
  empty = nullptr;
  log.clear();
  moveTo(*Named("page").Viewer(), 30, 30);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("move viewer ", 0), 0u) << log.back();
}

TEST_F(Frames, DraggingShowsALineAndHoldsTheMouseBetweenTheNeighbours) {
  std::string set = Page("set.html",
                         "<FRAMESET ROWS=\"100,*,2*\"><FRAME SRC=a.html><FRAME SRC=b.html><FRAME SRC=a.html>"
                         "</FRAMESET>");
  frames->LoadFromFile(set);
  Settle();
  // Whether this display holds the mouse in a rectangle at all (one Wine does not).
  RECT probe{0, 0, 100, 100}, held{};
  ClipCursor(&probe);
  GetClipCursor(&held);
  ClipCursor(nullptr);
  bool holds = EqualRect(&probe, &held);
  TFrameSet& s = frames->FrameSet();
  ASSERT_EQ(s.Positions.size(), 4u);
  POINT origin{0, 0};
  ClientToScreen(s.Handle(), &origin);
  // What the set shows, over its frames too.
  HDC dc = GetDCEx(s.Handle(), nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  auto pixel = [&](int y) { return GetPixel(dc, 50, y); };
  COLORREF at99 = pixel(99), at149 = pixel(149);
  HWND top = s.Children[0]->Handle();
  SendMessageA(top, WM_MOUSEMOVE, 0, MAKELPARAM(50, 99));
  SendMessageA(top, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 99));
  RECT clip;
  GetClipCursor(&clip);
  if (holds) {
    EXPECT_EQ(clip.top, origin.y + s.Positions[0] + 1);
    EXPECT_EQ(clip.bottom, origin.y + s.Positions[2]);
  }
  EXPECT_EQ(pixel(99), at99 ^ 0xFFFFFF);
  // The line follows the mouse, and is gone where it was.
  SendMessageA(top, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 150));
  EXPECT_EQ(pixel(99), at99);
  EXPECT_EQ(pixel(149), at149 ^ 0xFFFFFF);
  SendMessageA(top, WM_LBUTTONUP, 0, MAKELPARAM(50, 150));
  GetClipCursor(&clip);
  EXPECT_EQ(clip.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
  EXPECT_EQ(clip.bottom - clip.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  EXPECT_EQ(s.Children[0]->Height(), 150);
  // The mouse taken away mid-drag ends it: the line goes, the mouse is free, the border stays.
  COLORREF at180 = pixel(180);
  SendMessageA(top, WM_MOUSEMOVE, 0, MAKELPARAM(50, 149));
  SendMessageA(top, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 149));
  SendMessageA(top, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 181));
  EXPECT_EQ(pixel(180), at180 ^ 0xFFFFFF);
  ReleaseCapture();
  EXPECT_EQ(pixel(180), at180);
  GetClipCursor(&clip);
  EXPECT_EQ(clip.bottom - clip.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  SendMessageA(top, WM_LBUTTONUP, 0, MAKELPARAM(50, 181));
  EXPECT_EQ(s.Children[0]->Height(), 150);
  ReleaseDC(s.Handle(), dc);
}

TEST_F(Frames, HistoryOfSetsAndOfFrames) {
  std::string set = Page("set.html",
                         "<TITLE>set</TITLE><FRAMESET ROWS=\"100,*\"><FRAME NAME=top SRC=menu.html>"
                         "<FRAME NAME=main SRC=a.html></FRAMESET>");
  int changes = 0;
  frames->OnHistoryChange = TNotifyEvent([&](TObject*) { ++changes; });
  frames->SetHistoryMaxCount(3);
  frames->LoadFromFile(set);
  Settle();
  EXPECT_EQ(frames->History().Count(), 1);
  EXPECT_FALSE(frames->BackButtonEnabled());
  EXPECT_FALSE(frames->FwdButtonEnabled());
  // A link into a frame is a step of that frame.
  lastTarget = "main";
  changes = 0;
  ASSERT_TRUE(ClickLink(Named("top"), "b.html"));
  EXPECT_EQ(Shown(Named("main")), "b.html");
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(Named("main").HistoryNames().size(), 2u);
  EXPECT_EQ(ExtractFileName(Named("main").HistoryNames()[0]), "b.html");
  EXPECT_GT(Named("main").HistoryPositions()[0].Order, Named("main").HistoryPositions()[1].Order);
  EXPECT_TRUE(frames->BackButtonEnabled());
  EXPECT_FALSE(frames->FwdButtonEnabled());
  // Another file is a step of the whole viewer; the set waits in the history.
  frames->LoadFromFile(dir.Path("a.html"));
  Settle();
  ASSERT_EQ(frames->History().Count(), 2);
  EXPECT_EQ(ExtractFileName(frames->History()[0]), "a.html");
  EXPECT_EQ(ExtractFileName(frames->History()[1]), "set.html");
  EXPECT_EQ(frames->TitleHistory()[1], "set");
  EXPECT_EQ(frames->HistoryPosition(), 0);
  frames->SetHistoryPosition(1);
  Settle();
  EXPECT_EQ(ExtractFileName(frames->CurrentFile()), "set.html");
  EXPECT_EQ(Shown(Named("main")), "b.html");
  EXPECT_EQ(Text(*Named("main").Viewer()).substr(0, 6), "page b");
  EXPECT_TRUE(frames->FwdButtonEnabled());
  frames->SetHistoryPosition(0);
  Settle();
  EXPECT_EQ(ExtractFileName(frames->CurrentFile()), "a.html");
  // A load from an older entry drops the newer ones.
  frames->SetHistoryPosition(1);
  Settle();
  frames->LoadFromFile(dir.Path("b.html"));
  Settle();
  ASSERT_EQ(frames->History().Count(), 2);
  EXPECT_EQ(ExtractFileName(frames->History()[0]), "b.html");
  EXPECT_EQ(ExtractFileName(frames->History()[1]), "set.html");
  EXPECT_FALSE(frames->FwdButtonEnabled());
  // A new size clears it all.
  frames->SetHistoryMaxCount(1);
  EXPECT_EQ(frames->History().Count(), 0);
  EXPECT_FALSE(frames->BackButtonEnabled());
}

TEST_F(Frames, DocumentsFromTheRequestEvents) {
  std::map<std::string, std::string> pages = {
      {"top", "<TITLE>host</TITLE><FRAMESET ROWS=\"*,*,*,*\"><FRAME NAME=one SRC=one><FRAME NAME=two SRC=two>"
              "<FRAME NAME=three SRC=none><FRAME NAME=four SRC=inner></FRAMESET>"},
      {"inner", "<FRAMESET ROWS=\"*\"><FRAME SRC=one></FRAMESET>"},
      {"one", "first page"},
      {"two", "second page"}};
  for (const auto& [name, html] : pages) Page(name + ".html", html);
  std::map<std::string, std::unique_ptr<TStringList>> lines;
  std::map<std::string, std::unique_ptr<TMemoryStream>> streams;
  for (const auto& [name, html] : pages) {
    lines[name] = std::make_unique<TStringList>();
    lines[name]->Add(html);
    streams[name] = std::make_unique<TMemoryStream>();
    streams[name]->Write(html.data(), int32_t(html.size()));
  }
  std::vector<std::string> asked;
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    frames->OnStringsRequest = {};
    frames->OnStreamRequest = {};
    frames->OnBufferRequest = {};
    frames->OnFileRequest = {};
    asked.clear();
    if (kind == 0)
      frames->OnStringsRequest = TStringsRequestEvent([&](TObject*, const std::string& src, TStrings*& out) {
        asked.push_back(src);
        if (lines.count(src)) out = lines[src].get();
      });
    if (kind == 1)
      frames->OnStreamRequest = TStreamRequestEvent([&](TObject*, const std::string& src, TStream*& out) {
        asked.push_back(src);
        if (streams.count(src)) out = streams[src].get();
      });
    if (kind == 2)
      frames->OnBufferRequest =
          TBufferRequestEvent([&](TObject*, const std::string& src, const char*& out, int& size) {
            asked.push_back(src);
            if (pages.count(src)) {
              out = pages[src].data();
              size = int(pages[src].size());
            }
          });
    if (kind == 3)
      frames->OnFileRequest = TFileRequestEvent([&](TObject*, const std::string& src, std::string& name) {
        asked.push_back(src);
        if (pages.count(src)) name = dir.Path(src + ".html");
      });
    frames->LoadFromFile("top");
    Settle();
    // Names stay as given.
    EXPECT_EQ(frames->CurrentFile(), "top");
    EXPECT_EQ(frames->DocumentTitle(), "host");
    // Each source once, for each frame that shows it.
    EXPECT_EQ(asked, (std::vector<std::string>{"top", "one", "two", "none", "inner", "one"}));
    ASSERT_NE(Named("one").Viewer(), nullptr);
    EXPECT_EQ(Named("one").Source, "one");
    EXPECT_EQ(Text(*Named("one").Viewer()).substr(0, 10), "first page");
    EXPECT_EQ(Text(*Named("two").Viewer()).substr(0, 11), "second page");
    // Nothing for a name: it is read as a file, which is not there.
    EXPECT_NE(Text(*Named("three").Viewer()).find("load none"), std::string::npos) << Text(*Named("three").Viewer());
    // A page into the frame that holds a set: asked once, the set gives way to it.
    asked.clear();
    Named("four").Navigate("two", "");
    EXPECT_EQ(asked, std::vector<std::string>{"two"});
    ASSERT_NE(Named("four").Viewer(), nullptr);
    EXPECT_EQ(Text(*Named("four").Viewer()).substr(0, 11), "second page");
    // A page that is no frame set, loaded on its own, is asked for once as well.
    asked.clear();
    frames->LoadFromFile("one");
    Settle();
    EXPECT_EQ(asked, std::vector<std::string>{"one"});
    EXPECT_EQ(frames->CurrentFile(), "one");
    ASSERT_NE(frames->FrameSet().SingleViewer(), nullptr);
    EXPECT_EQ(Text(*frames->FrameSet().SingleViewer()).substr(0, 10), "first page");
  }
}

TEST_F(Frames, ProcessingOnceForAllFramesAndSettingsForEveryViewer) {
  std::string set = Page("set.html",
                         "<FRAMESET ROWS=\"*,*\"><FRAME NAME=top SRC=menu.html><FRAME NAME=main SRC=a.html>"
                         "</FRAMESET>");
  std::vector<bool> states;
  frames->OnProcessing = TProcessingEvent([&](TObject*, bool on) { states.push_back(on); });
  frames->SetDefFontSize(16);
  frames->SetNoSelect(true);
  frames->LoadFromFile(set);
  Settle();
  EXPECT_EQ(states, (std::vector<bool>{true, false}));
  EXPECT_FALSE(frames->Processing());
  // Settings before and after the load reach every frame viewer.
  frames->SetDefHotSpotColor(0x0000FF);
  frames->SetPrintMargin(2, 3.5);
  frames->SetDefFontName("Arial");
  int viewers = 0;
  frames->EachViewer([&](TDocViewer& v) {
    ++viewers;
    EXPECT_EQ(v.DefFontSize(), 16);
    EXPECT_TRUE(v.NoSelect());
    EXPECT_EQ(v.DefHotSpotColor(), TColor(0x0000FF));
    EXPECT_EQ(v.PrintMarginTop, 3.5);
    EXPECT_EQ(v.DefFontName(), "Arial");
    EXPECT_EQ(v.Cursor(), crIBeam);
  });
  EXPECT_EQ(viewers, 2);
  // Two viewers: the selection length is the focused one's.
  EXPECT_EQ(frames->FocusedViewer(), nullptr);
  EXPECT_EQ(frames->SelLength(), 0);
  Named("main").Viewer()->SetFocus();
  Pump();
  EXPECT_EQ(frames->FocusedViewer(), Named("main").Viewer());
  for (const char* name : {"ViewImages", "ImageCacheCount", "NoSelect", "HistoryMaxCount", "DefBackground",
                           "DefFontName", "DefPreFontName", "DefFontSize", "DefFontColor", "DefHotSpotColor",
                           "PrintMarginLeft", "PrintMarginBottom", "OnProcessing", "OnStringsRequest",
                           "OnFileRequest", "OnBitmapRequest", "OnScript", "OnPrintFooter"}) {
    bool found = false;
    for (const TPropInfo* p : TFramesetViewer::StaticClass().AllProps()) found = found || p->Name == name;
    EXPECT_TRUE(found) << name;
  }
}

TEST_F(Frames, ScriptsComeFromTheSetAndFromItsFrames) {
  Page("scripted.html", "<SCRIPT LANGUAGE=JS>in frame</SCRIPT>page");
  std::string set = Page("set.html",
                         "<HEAD><SCRIPT LANGUAGE=JS>in set</SCRIPT></HEAD><FRAMESET COLS=\"*,*\">"
                         "<FRAME SRC=scripted.html><FRAME SRC=a.html></FRAMESET>");
  std::vector<std::string> scripts;
  std::vector<TObject*> senders;
  frames->OnScript = TScriptEvent([&](TObject* sender, const std::string&, TScriptBlock& text) {
    senders.push_back(sender);
    scripts.push_back(text.get());
  });
  frames->LoadFromFile(set);
  Settle();
  EXPECT_EQ(scripts, (std::vector<std::string>{"in set\r\n", "in frame\r\n"}));
  ASSERT_EQ(senders.size(), 2u);
  EXPECT_EQ(senders[0], &frames->FrameSet());
  EXPECT_NE(dynamic_cast<TDocViewer*>(senders[1]), nullptr);
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
