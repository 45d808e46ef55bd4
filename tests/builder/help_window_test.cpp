// The help window over the real help pages under Wine: the contents at creation, a link,
// "Go Back" alternating between the last two pages, "Contents", a missing page, Esc; and a
// start without a help folder.
#include <gtest/gtest.h>

#include "builder/help_window.h"
#include "builder/program.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "platform/file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

class HelpWindow : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    GetCurrentDirectoryA(MAX_PATH, cwd_);
    SetCurrentDirectoryA(scratch_.Dir().c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryA(cwd_);
    TGuiTest::TearDown();
  }
  // The help pages in "help" of the scratch folder.
  void CopyHelp() {
    platform::MakeDirectory(scratch_.Path("help"));
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(QUILTOR_HELP_DIR, entries));
    for (const platform::DirEntry& e : entries)
      testsupport::WriteFileBytes(scratch_.Path("help\\" + e.name),
                                  testsupport::ReadExistingFile(platform::JoinPath(QUILTOR_HELP_DIR, e.name)));
  }
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      Pump();
      Sleep(20);
    }
  }
  std::string Shown(Tform_Help& f) { return ExtractFileName(f.docview_Help->CurrentFile()); }
  // Moves the mouse over the page, a screen at a time, until the link to url is under it,
  // and clicks there.
  bool ClickLink(Tform_Help& f, const std::string& url) {
    TDocViewer& v = *f.docview_Help;
    HWND panel = v.PaintPanel().Handle();
    for (int top = 0; top <= v.DocumentHeight(); top += v.PaintPanel().Height() / 2) {
      v.SetPosition(top);
      Settle();
      for (int y = 2; y < v.PaintPanel().Height(); y += 3)
        for (int x = 12; x < v.PaintPanel().Width(); x += 5) {
          SendMessageA(panel, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
          if (v.HotSpotUrl() == url) {
            SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            Settle();
            return true;
          }
        }
    }
    return false;
  }

  testsupport::ScratchDir scratch_{"help"};
  char cwd_[MAX_PATH] = {};
};

TEST_F(HelpWindow, PagesLinksGoBackContentsAndEsc) {
  CopyHelp();
  auto* f = MakeForm<Tform_Help>();
  EXPECT_EQ(f->Caption(), "Quiltor Help System");
  EXPECT_EQ(Shown(*f), "index.html");  // loaded at creation
  EXPECT_EQ(f->docview_Help->DocumentTitle(), "Quiltor Snapmend Help: Contents");
  EXPECT_EQ(f->panel_Browser->Height(), f->ClientHeight() - 80);
  f->Show();
  Settle();
  Click(*f->Button2);  // nothing before a second page
  EXPECT_EQ(Shown(*f), "index.html");
  ASSERT_TRUE(ClickLink(*f, "Form2.html"));
  EXPECT_EQ(Shown(*f), "Form2.html");
  EXPECT_EQ(f->docview_Help->DocumentTitle(), "Patch Creation in Progress");
  Click(*f->Button2);
  EXPECT_EQ(Shown(*f), "index.html");
  Click(*f->Button2);
  EXPECT_EQ(Shown(*f), "Form2.html");
  Click(*f->Button2);
  EXPECT_EQ(Shown(*f), "index.html");
  f->ShowPage("readme.htm");
  Click(*f->Button1);
  EXPECT_EQ(Shown(*f), "index.html");
  Click(*f->Button2);
  EXPECT_EQ(Shown(*f), "readme.htm");
  // A page that is not there: reported, the page stays.
  try {
    f->ShowPage("nothing.html");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "Can't locate file: help\\nothing.html");
  }
  EXPECT_EQ(Shown(*f), "readme.htm");
  // Esc hides the window.
  f->docview_Help->SetFocus();
  Pump();
  PressKey(VK_ESCAPE);
  Settle();
  EXPECT_FALSE(f->Visible());
}

TEST_F(HelpWindow, AMissingHelpFolderNeverStopsTheStart) {
  auto* f = MakeForm<Tform_Help>();
  EXPECT_TRUE(f->docview_Help->CurrentFile().empty());
  f->Show();
  Settle();
  Boxes.Expect("Can't locate file: help\\index.html", IDOK);
  Click(*f->Button1);
  EXPECT_EQ(Exceptions.Take(), std::vector<std::string>{"Can't locate file: help\\index.html"});
  // Once the pages are there, Contents shows them.
  CopyHelp();
  Click(*f->Button1);
  EXPECT_EQ(Shown(*f), "index.html");
}

}  // namespace

int main(int argc, char** argv) { return RunGuiTests(argc, argv, RegisterBuilderClasses); }
