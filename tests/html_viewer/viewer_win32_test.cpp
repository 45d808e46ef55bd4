// The viewer control under Wine: loads and history, anchors, keys and scroll bars, links
// under the mouse and followed by clicks, form submissions, and what the painted page
// shows (sampled in areas: fonts differ between machines).
#include <gtest/gtest.h>

#include <fstream>

#include <algorithm>

#include "framework/controls/register.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/doc_viewer_win32.h"
#include "platform/file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

std::string Lines(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "<P>line " + std::to_string(i) + "\n";
  return s;
}

class Viewer : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    form = new TForm(Application);
    Track(form);
    form->SetBounds(30, 30, 420, 340);
    form->SetCaption("Viewer");
    viewer = new TDocViewer(form);
    viewer->SetParent(form);
    viewer->SetAlign(TAlign::alClient);
    viewer->SetViewImages(true);
    viewer->SetHistoryMaxCount(2);
    viewer->SetDefBackground(clWhite);
    viewer->OnHotSpotCovered = THotSpotEvent([this](TObject*, const std::string& url) { covered.push_back(url); });
    viewer->OnFormSubmit = TFormSubmitEvent(
        [this](TObject*, const std::string& action, const std::string& method, const TStringList& results) {
          submitted.push_back(action + " " + method + " " + results.Text());
        });
    form->Show();
    Pump();
  }
  std::string Page(const std::string& name, const std::string& html) {
    std::string path = dir.Path(name);
    WriteFileBytes(path, html);
    return path;
  }
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      Pump();
      Sleep(20);
    }
    viewer->PaintPanel().Update();
    Pump();
  }
  HWND Panel() { return viewer->PaintPanel().Handle(); }
  void Move(int x, int y, WPARAM keys = 0) { SendMessageA(Panel(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); }
  void ClickAt(int x, int y) {
    Move(x, y);
    SendMessageA(Panel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(Panel(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Settle();
  }
  // The first point of a row band where the viewer shows a link (url, or any): the mouse
  // is moved over the panel until the hot spot URL is set.
  bool FindLink(int y0, int y1, int& x, int& y, const std::string& url = {}) {
    for (y = y0; y < y1; y += 3)
      for (x = 12; x < 380; x += 6) {
        Move(x, y);
        if (!viewer->HotSpotUrl().empty() && (url.empty() || viewer->HotSpotUrl() == url)) return true;
      }
    return false;
  }
  std::string Name(const std::string& path) { return UpperCase(platform::FullPath(path)); }

  ScratchDir dir{"viewer"};
  TForm* form = nullptr;
  TDocViewer* viewer = nullptr;
  std::vector<std::string> covered, submitted;
};

TEST_F(Viewer, LoadsKeepAHistoryOfTwoAndMissingFilesChangeNothing) {
  std::string a = Page("a.html", "<TITLE>A</TITLE>page a"), b = Page("b.html", "<TITLE>B</TITLE>page b"),
              c = Page("c.html", "<TITLE>C</TITLE>page c");
  int changes = 0;
  viewer->OnHistoryChange = TNotifyEvent([&](TObject*) { ++changes; });
  std::vector<bool> processing;
  viewer->OnProcessing = TProcessingEvent([&](TObject*, bool on) { processing.push_back(on); });
  viewer->LoadFromFile("");
  EXPECT_TRUE(viewer->CurrentFile().empty());
  viewer->LoadFromFile(a);
  viewer->LoadFromFile(b);
  EXPECT_EQ(viewer->History().Count(), 2);
  viewer->LoadFromFile(c);
  ASSERT_EQ(viewer->History().Count(), 2);
  EXPECT_EQ(UpperCase(viewer->History()[0]), Name(c));
  EXPECT_EQ(UpperCase(viewer->History()[1]), Name(b));
  EXPECT_EQ(viewer->TitleHistory()[1], "B");
  EXPECT_EQ(viewer->DocumentTitle(), "C");
  EXPECT_EQ(changes, 3);
  // The same page again adds nothing, the same name as text does.
  viewer->LoadFromFile(UpperCase(c));
  EXPECT_EQ(changes, 3);
  viewer->LoadTextFile(c);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(viewer->CurrentFileType(), ftText);
  // Every load switched processing on and off again.
  ASSERT_FALSE(processing.empty());
  EXPECT_FALSE(processing.back());
  EXPECT_EQ(std::count(processing.begin(), processing.end(), true),
            std::count(processing.begin(), processing.end(), false));
  // A missing file: the message names it and the page stays; the next load works.
  std::string missing = dir.Path("none.html");
  try {
    viewer->LoadFromFile(missing);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), "Can't locate file: " + missing);
  }
  EXPECT_EQ(UpperCase(viewer->CurrentFile()), Name(c));
  EXPECT_FALSE(viewer->Processing());
  EXPECT_EQ(Screen->Cursor(), crDefault);
  viewer->LoadFromFile(a);
  EXPECT_EQ(viewer->DocumentTitle(), "A");
  // An open comment: the part before is shown, the error reaches the caller.
  std::string open = Page("open.html", "<TITLE>O</TITLE>shown<!-- never closed");
  EXPECT_THROW(viewer->LoadFromFile(open), EParseError);
  EXPECT_EQ(viewer->DocumentTitle(), "O");
  EXPECT_GT(viewer->Document().Count(), 0);
  EXPECT_FALSE(viewer->Processing());
  // A smaller history count clears it.
  viewer->SetHistoryMaxCount(1);
  EXPECT_EQ(viewer->History().Count(), 0);
}

TEST_F(Viewer, AnchorsKeysAndScrollBars) {
  std::string p = Page("long.html", Lines(60) + "<A NAME=end>the end</A>" + Lines(5));
  viewer->LoadFromFile(p + "#end");
  Settle();
  int panelHeight = viewer->PaintPanel().Height();
  ASSERT_TRUE(viewer->VScrollBar().Visible());
  EXPECT_FALSE(viewer->HScrollBar().Visible());
  EXPECT_EQ(viewer->VScrollBar().Max(), viewer->DocumentHeight());
  EXPECT_EQ(viewer->VScrollBar().PageSize(), panelHeight);
  int anchorTop = viewer->Position();
  EXPECT_GT(anchorTop, 0);
  EXPECT_LE(anchorTop, viewer->DocumentHeight() - panelHeight);
  EXPECT_FALSE(viewer->JumpToAnchor("#nothing"));
  EXPECT_EQ(viewer->Position(), anchorTop);

  viewer->SetFocus();
  Pump();
  int bottom = viewer->DocumentHeight() - panelHeight;
  struct {
    UINT key;
    int expected;
  } steps[] = {{VK_HOME, 0}, {VK_DOWN, 16}, {VK_NEXT, 16 + panelHeight - 16}, {VK_UP, panelHeight - 16},
               {VK_END, bottom}, {VK_NEXT, bottom}, {VK_HOME, 0}, {VK_UP, 0}};
  for (auto s : steps) {
    PressKey(s.key);
    EXPECT_EQ(viewer->Position(), s.expected) << s.key;
    EXPECT_EQ(viewer->VScrollBar().Position(), s.expected) << s.key;
  }
  // A wide preformatted line brings the horizontal bar; Right and Left move it.
  std::string wide = Page("wide.html", "<PRE>" + std::string(200, 'w') + "</PRE>short");
  viewer->LoadFromFile(wide);
  Settle();
  EXPECT_TRUE(viewer->HScrollBar().Visible());
  EXPECT_FALSE(viewer->VScrollBar().Visible());
  PressKey(VK_RIGHT);
  PressKey(VK_RIGHT);
  EXPECT_EQ(viewer->HorzPosition(), 30);
  PressKey(VK_LEFT);
  EXPECT_EQ(viewer->HorzPosition(), 15);
  // A link to an anchor of the page scrolls there and is a history entry.
  std::string self = Page("self.html", "<A HREF=\"#far\">down</A>" + Lines(60) + "<A NAME=far>far</A>" + Lines(30));
  viewer->LoadFromFile(self);
  Settle();
  int count = viewer->History().Count();
  int x, y;
  ASSERT_TRUE(FindLink(0, 40, x, y));
  ClickAt(x, y);
  EXPECT_GT(viewer->Position(), 0);
  EXPECT_EQ(viewer->History().Count(), std::min(2, count + 1));
}

TEST_F(Viewer, LinksUnderTheMouseAndClicks) {
  std::string b = Page("b.html", "<TITLE>B</TITLE>page b");
  WriteFileBytes(dir.Path("p.gif"), testsupport::ReadExistingFile("golden/anim-loop0.gif"));
  Page("t.txt", "text");
  std::string a = Page("a.html",
                       "<TITLE>A</TITLE><A HREF=\"b.html\">to b</A><P><A HREF=\"p.gif\">picture</A><P>"
                       "<A HREF=\"t.txt\">text</A><P><A HREF=\"gone.html\">gone</A><P>plain words");
  viewer->LoadFromFile(a);
  Settle();
  int x, y;
  ASSERT_TRUE(FindLink(0, 30, x, y));
  EXPECT_EQ(viewer->HotSpotUrl(), "b.html");
  EXPECT_EQ(viewer->PaintPanel().Cursor(), TCursor(1));
  ASSERT_FALSE(covered.empty());
  EXPECT_EQ(covered.back(), "b.html");
  // Away from the link: an empty URL is reported and the cursor is the viewer's.
  Move(300, 200);
  EXPECT_EQ(covered.back(), "");
  EXPECT_EQ(viewer->PaintPanel().Cursor(), crIBeam);

  // A text link does nothing; a missing page is reported and keeps the page.
  int tx, ty, gx, gy, px, py;
  ASSERT_TRUE(FindLink(0, 250, px, py, "p.gif"));
  ASSERT_TRUE(FindLink(0, 250, tx, ty, "t.txt"));
  ASSERT_TRUE(FindLink(0, 250, gx, gy, "gone.html"));
  ClickAt(tx, ty);
  EXPECT_EQ(viewer->DocumentTitle(), "A");
  Boxes.Expect("Can't locate file: " + dir.Path("gone.html"), IDOK);
  ClickAt(gx, gy);
  std::vector<std::string> seen = Exceptions.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].find("Can't locate file: "), std::string::npos) << seen[0];
  EXPECT_EQ(viewer->DocumentTitle(), "A");
  // The next click works: the picture shows as its own document, then the page.
  ClickAt(px, py);
  EXPECT_EQ(viewer->CurrentFileType(), ftImage);
  EXPECT_EQ(UpperCase(viewer->CurrentFile()), Name(dir.Path("p.gif")));
  viewer->LoadFromFile(a);
  Settle();
  ClickAt(x, y);
  EXPECT_EQ(UpperCase(viewer->CurrentFile()), Name(b));
  EXPECT_EQ(UpperCase(viewer->History()[1]), Name(a));
}

TEST_F(Viewer, SubmissionsArriveAfterTheClickAndTheLastOneWins) {
  std::string p = Page("form.html",
                       "<FORM ACTION=\"go.cgi\" METHOD=post><INPUT NAME=q VALUE=hello> <INPUT TYPE=submit VALUE=Send>"
                       "</FORM>");
  viewer->LoadFromFile(p);
  Settle();
  TFormControlObj* button = nullptr;
  for (TFormControlObj* c : viewer->Document().FormControls)
    if (std::string(c->KindName()) == "submit") button = c;
  ASSERT_TRUE(button && button->HasWindow());
  auto* control = TWinControl::FindControl(
      ChildWindowFromPoint(Panel(), POINT{button->Window()->Bounds().Left + 3, button->Window()->Bounds().Top + 3}));
  ASSERT_NE(control, nullptr);
  Click(*control);
  EXPECT_TRUE(submitted.empty());  // not inside the button's handler
  Settle();
  ASSERT_EQ(submitted.size(), 1u);
  EXPECT_EQ(submitted[0], "go.cgi post q=hello\r\n");
  // Two submissions before the message: one delivery, of the second.
  viewer->Document().Forms[0]->Submit(nullptr);
  viewer->Document().Forms[0]->Controls[0]->Window()->SetText("again");
  viewer->Document().Forms[0]->Submit(nullptr);
  Settle();
  ASSERT_EQ(submitted.size(), 2u);
  EXPECT_EQ(submitted[1], "go.cgi post q=again\r\n");
}

// Whether some pixel of the rectangle is near the colour.
bool AnyNear(const TCapture& image, const TRect& r, uint32_t rgb, int tolerance = 40) {
  for (int y = std::max(0, r.Top); y < std::min(image.Height, r.Bottom); ++y)
    for (int x = std::max(0, r.Left); x < std::min(image.Width, r.Right); ++x) {
      uint32_t p = image.PixelAt(x, y);
      int dr = int((p >> 16) & 255) - int((rgb >> 16) & 255), dg = int((p >> 8) & 255) - int((rgb >> 8) & 255),
          db = int(p & 255) - int(rgb & 255);
      if (std::abs(dr) <= tolerance && std::abs(dg) <= tolerance && std::abs(db) <= tolerance) return true;
    }
  return false;
}

int Dark(const TCapture& image, const TRect& r) {
  int n = 0;
  for (int y = std::max(0, r.Top); y < std::min(image.Height, r.Bottom); ++y)
    for (int x = std::max(0, r.Left); x < std::min(image.Width, r.Right); ++x) n += (image.PixelAt(x, y) & 0xFFFFFF) < 0x404040;
  return n;
}

TEST_F(Viewer, PaintedPixelsShowLinksBulletsRulesAndTheSelection) {
  std::string p = Page("paint.html",
                       "<BODY BGCOLOR=white TEXT=black><A HREF=\"x.html\">LINK LINK LINK</A>"
                       "<UL><LI>item one<LI>item two</UL><HR SIZE=4 COLOR=\"#00AA00\">"
                       "<P>select these words here");
  viewer->LoadFromFile(p);
  Settle();
  TCapture shot = CaptureWindow(*viewer);
  shot.SaveBmp(dir.Path("shot.bmp"));
  // The link is blue on white, the bullets navy (level 1), the rule green.
  EXPECT_TRUE(AnyNear(shot, {10, 0, 200, 24}, 0x0000FF));
  EXPECT_TRUE(AnyNear(shot, {10, 20, 60, 90}, 0x000080, 30));
  EXPECT_TRUE(AnyNear(shot, {10, 60, 400, 160}, 0x00AA00));
  EXPECT_FALSE(AnyNear(shot, {10, 0, 200, 24}, 0x00AA00));
  // A drag over the last paragraph selects it: highlight colour appears there.
  viewer->SetFocus();
  Pump();
  // The row of the last paragraph: where the cursor under the mouse is past the list.
  int rowY = 0;
  for (int yy = 60; yy < 250 && !rowY; yy += 4) {
    int xr = 0, yr = 0, h = 0;
    bool in = false;
    int c = viewer->Document().CursorAtPoint(40, yy, xr, yr, h, in);
    if (in && c > 30) rowY = yy;
  }
  ASSERT_GT(rowY, 0);
  SendMessageA(Panel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, rowY));
  Move(300, rowY, MK_LBUTTON);
  SendMessageA(Panel(), WM_LBUTTONUP, 0, MAKELPARAM(300, rowY));
  Settle();
  EXPECT_GT(viewer->SelectedCount(), 5);
  // Selected text is drawn inverted: the row fills with the text colour.
  TCapture selected = CaptureWindow(*viewer);
  TRect row{12, rowY - 4, 150, rowY + 4};
  EXPECT_GT(Dark(selected, row), 3 * Dark(shot, row)) << Dark(selected, row) << " " << Dark(shot, row);
}

// Load and paint times of the largest help page and of a page of 1 MB, printed; both stay
// far below what a user would wait for.
TEST_F(Viewer, LargePagesLoadAndPaintInTime) {
  std::string big;
  for (int i = 0; big.size() < 1000000; ++i)
    big += "<P>Paragraph " + std::to_string(i) + " with <B>bold</B>, <A HREF=\"x.html\">a link</A> and some words that wrap." +
           (i % 50 == 0 ? "<TABLE BORDER><TR><TD>a<TD>b<TR><TD COLSPAN=2>c</TABLE><UL><LI>one<LI>two</UL>" : "") + "\n";
  std::string largest;
  size_t largestSize = 0;
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(QUILTOR_HELP_DIR, entries));
  for (const platform::DirEntry& e : entries)
    if (e.name.find(".htm") != std::string::npos && size_t(e.size) > largestSize) largestSize = size_t(e.size), largest = e.name;
  std::string help = platform::JoinPath(QUILTOR_HELP_DIR, largest);
  for (const std::string& path : {help, Page("big.html", big)}) {
    DWORD t0 = GetTickCount();
    viewer->LoadFromFile(path);
    DWORD t1 = GetTickCount();
    viewer->PaintPanel().Invalidate();
    viewer->PaintPanel().Update();
    DWORD t2 = GetTickCount();
    std::printf("%s: load %lu ms, paint %lu ms, height %d\n", ExtractFileName(path).c_str(), t1 - t0, t2 - t1,
                viewer->DocumentHeight());
    EXPECT_LT(t1 - t0, 30000u);
    EXPECT_LT(t2 - t1, 5000u);
  }
  EXPECT_GT(viewer->DocumentHeight(), 100000);
  viewer->SetFocus();
  PressKey(VK_END);
  EXPECT_EQ(viewer->Position(), viewer->DocumentHeight() - viewer->PaintPanel().Height());
}

}  // namespace

int main(int argc, char** argv) {
  int rc = RunGuiTests(argc, argv, [] {
    RegisterFrameworkClasses();
    RegisterDocViewer();
  });
  DoneDocGraphics();
  return rc;
}
