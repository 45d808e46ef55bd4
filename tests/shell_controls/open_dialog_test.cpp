// The open and save dialogs run modally over the real shell on scratch folders, driven
// from inside their modal loop: typed folders are entered, wildcards filter, several names
// come back whole, each refusal shows its one message (with its buttons and the form's
// caption) and keeps the dialog open, Cancel returns nothing, F12 shows the tree at 200
// pixels, a resize keeps the layout and the smallest size, the saved state reopens the
// dialog at its size with its tree, and the list's menu runs its verbs on the shown folder
// or the selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "shell_controls/open_dialog_win32.h"
#include "tests/shell_controls/shell_fakes_win32.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;
using Log = std::vector<std::string>;

void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  CloseHandle(h);
}

class FileDialogs : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    GetCurrentDirectoryA(MAX_PATH, cwd);
    CreateDirectoryA(dir.Path("sub").c_str(), nullptr);
    MakeFile(dir.Path("a.txt"));
    MakeFile(dir.Path("b.txt"));
    MakeFile(dir.Path("c.doc"));
    MakeFile(dir.Path("locked.txt"), FILE_ATTRIBUTE_READONLY);
    MakeFile(dir.Path("sub\\inner.txt"));
  }
  void TearDown() override {
    SetCurrentDirectoryA(cwd);  // the dialogs change it to the folder they showed
    SetFileAttributesA(dir.Path("locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    TGuiTest::TearDown();
  }
  // Runs Execute; each step runs from a timer inside the modal loop, one per tick, with
  // the form; the last one should close it.
  bool Run(TQsFileDlg& d, std::vector<std::function<void(TQsFrmOpenDlg&)>> steps) {
    std::deque<std::function<void(TQsFrmOpenDlg&)>> queue(steps.begin(), steps.end());
    auto* timer = new TTimer(Application);
    Track(timer);
    timer->SetEnabled(false);
    timer->SetInterval(60);
    timer->OnTimer = TNotifyEvent([&](TObject*) {
      if (queue.empty() || !d.Form()) return;
      auto step = queue.front();
      queue.pop_front();
      step(*d.Form());
    });
    d.OnInitialized = TNotifyEvent([&](TObject*) { timer->SetEnabled(true); });
    bool ok = d.Execute();
    timer->SetEnabled(false);
    EXPECT_TRUE(queue.empty()) << queue.size() << " steps did not run";
    return ok;
  }
  TQsOpenDlg* Open() {
    auto* d = new TQsOpenDlg(Application);
    Track(d);
    d->SetInitialDir(dir.Dir());
    return d;
  }
  static void Type(TQsFrmOpenDlg& f, const std::string& text) {
    SetText(*f.FileNameEdt, text);
    Click(*f.OpenBtn);
  }
  static std::string Shown(TQsFrmOpenDlg& f) { return f.QsShellList1->Folder().GetPath(); }
  char cwd[MAX_PATH] = {};
  ScratchDir dir{"qdlg"};
};

TEST_F(FileDialogs, TypedFoldersWildcardsAndSeveralNames) {
  TQsOpenDlg* d = Open();
  d->SetOptions(d->Options() | qsofAllowMultiselect);
  d->SetFilter("Text|*.txt|All|*.*");
  d->SetFilterIndex(2);
  std::vector<std::string> seen;
  bool ok = Run(*d, {
                        [&](TQsFrmOpenDlg& f) {
                          EXPECT_EQ(f.Caption(), "Open");
                          EXPECT_EQ(f.OpenBtn->Caption(), "&Open");
                          EXPECT_EQ(f.FileTypesCbx->ItemIndex(), 1);
                          EXPECT_EQ(f.QsShellList1->Items().Count(), 5);
                          Type(f, "sub");  // a folder: moved into, still open
                        },
                        [&](TQsFrmOpenDlg& f) {
                          seen.push_back(Shown(f));
                          Type(f, "..\\*.doc");  // the folder part is entered, the mask filters
                        },
                        [&](TQsFrmOpenDlg& f) {
                          seen.push_back(Shown(f));
                          seen.push_back(f.FileNameEdt->Text());
                          EXPECT_EQ(f.QsShellList1->Items().Count(), 2);  // sub and c.doc
                          f.FileTypesCbx->SetItemIndex(0);
                          f.FileTypesCbxSelEndOk(f.FileTypesCbx);  // a type clears the mask
                          seen.push_back(f.FileNameEdt->Text());
                        },
                        [&](TQsFrmOpenDlg& f) { Type(f, "\"b.txt\" \"a.txt\""); },
                    });
  EXPECT_TRUE(ok);
  EXPECT_EQ(seen, (Log{dir.Path("sub"), dir.Dir(), "*.doc", ""}));
  ASSERT_EQ(d->Files().Count(), 2);
  EXPECT_EQ(d->Files().Get(0), dir.Path("b.txt"));
  EXPECT_EQ(d->Files().Get(1), dir.Path("a.txt"));
  EXPECT_EQ(d->FileName(), dir.Path("b.txt"));
  EXPECT_EQ(d->FilterIndex(), 1);
  EXPECT_TRUE(Boxes.Shown().empty());

  // Cancel: nothing comes back, not even what was typed.
  ok = Run(*d, {[&](TQsFrmOpenDlg& f) {
                  SetText(*f.FileNameEdt, "a.txt");
                  Click(*f.CancelBtn);
                }});
  EXPECT_FALSE(ok);
  EXPECT_EQ(d->Files().Count(), 0);
}

// A preset file name shows its file part when it lies in the folder shown, else whole, so a
// confirmed preset comes back with its own folder.
TEST_F(FileDialogs, APresetNameKeepsItsFolder) {
  const struct {
    std::string preset, edit;
  } cases[] = {
      {dir.Path("a.txt"), "a.txt"},
      {dir.Path("sub\\inner.txt"), dir.Path("sub\\inner.txt")},
  };
  for (const auto& c : cases) {
    TQsOpenDlg* d = Open();
    d->SetFileName(c.preset);
    std::string edit;
    EXPECT_TRUE(Run(*d, {[&](TQsFrmOpenDlg& f) {
                      edit = f.FileNameEdt->Text();
                      Click(*f.OpenBtn);
                    }}));
    EXPECT_EQ(edit, c.edit);
    EXPECT_EQ(d->FileName(), c.preset);
  }
}

// The dialog's item events reach the list, the tree and the combo it makes.
TEST_F(FileDialogs, TheItemEventsReachTheListTreeAndCombo) {
  TQsOpenDlg* d = Open();
  d->SetOptions(d->Options() | qsofShowTree);
  int combo = 0, tree = 0;
  d->OnAddListItem = TQsShAddItemEvent([&](TObject*, IShellFolder* f, LPCITEMIDLIST, LPCITEMIDLIST item, ULONG, int32_t& allow) {
    allow = PidlDisplayName(f, item, 1) != "b.txt";
  });
  d->OnAddTreeItem = TQsShAddItemEvent([&](TObject*, IShellFolder*, LPCITEMIDLIST, LPCITEMIDLIST, ULONG, int32_t&) { ++tree; });
  d->OnAddComboItem = TQsShAddItemEvent([&](TObject*, IShellFolder*, LPCITEMIDLIST, LPCITEMIDLIST, ULONG, int32_t&) { ++combo; });
  Log names;
  Run(*d, {[&](TQsFrmOpenDlg& f) {
    for (int i = 0; i < f.QsShellList1->Items().Count(); ++i) names.push_back(f.QsShellList1->GetItemData(i)->GetDisplayName());
    Click(*f.CancelBtn);
  }});
  EXPECT_EQ(std::count(names.begin(), names.end(), "b.txt"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), "a.txt"), 1);
  EXPECT_GT(tree, 0);
  EXPECT_GT(combo, 0);
}

TEST_F(FileDialogs, EachRefusalIsOneMessageAndTheDialogStays) {
  TQsOpenDlg* d = Open();
  d->SetOptions(d->Options() | qsofAllowMultiselect | qsofNoReadOnlyReturn);
  d->SetTitle("Pick one");
  struct Case {
    std::string text, fragment;
  };
  std::vector<Case> cases{{"a|b", "The above file name is invalid."},
                          {"x:y.txt", "The above file name is invalid."},
                          {"nul.txt", "reserved device name"},
                          {"nowhere\\f.txt", "Path does not exist."},
                          {"\"a.txt\" \"gone.txt\"", "File not found."},
                          {"locked.txt", "Read Only attributes"}};
  std::vector<std::function<void(TQsFrmOpenDlg&)>> steps;
  for (const Case& c : cases) {
    Boxes.Expect(c.fragment, IDOK);
    steps.push_back([&, c](TQsFrmOpenDlg& f) {
      Type(f, c.text);
      EXPECT_EQ(Shown(f), dir.Dir()) << c.text;  // nothing moved
    });
  }
  steps.push_back([&](TQsFrmOpenDlg& f) { Click(*f.CancelBtn); });
  EXPECT_FALSE(Run(*d, steps));
  ASSERT_EQ(Boxes.Shown().size(), cases.size());
  for (const TShownBox& b : Boxes.Shown()) {
    EXPECT_EQ(b.Caption, "Pick one");
    EXPECT_EQ(b.Flags, UINT(MB_OK | MB_ICONWARNING)) << b.Text;
  }
  EXPECT_NE(Boxes.Shown()[3].Text.find(dir.Path("nowhere\\f.txt")), std::string::npos);
  EXPECT_EQ(d->Files().Count(), 0);
}

TEST_F(FileDialogs, TheSaveDialogAsksBeforeReplacingAndCreating) {
  auto* d = new TQsSaveDlg(Application);
  Track(d);
  d->SetInitialDir(dir.Dir());
  d->SetDefaultExt("txt");
  d->SetOptions(d->Options() | qsofOverwritePrompt | qsofCreatePrompt);
  Boxes.Expect("already exists", IDNO);
  Boxes.Expect("already exists", IDYES);
  bool ok = Run(*d, {[&](TQsFrmOpenDlg& f) {
                       EXPECT_EQ(f.Caption(), "Save As");
                       EXPECT_EQ(f.OpenBtn->Caption(), "&Save");
                       EXPECT_EQ(f.LookInTxt->Caption(), "Save &in:");
                       Type(f, "a");  // a.txt exists: No keeps the dialog
                     },
                     [&](TQsFrmOpenDlg& f) { Type(f, "a"); }});
  EXPECT_TRUE(ok);
  ASSERT_EQ(d->Files().Count(), 1);
  EXPECT_EQ(d->Files().Get(0), dir.Path("a.txt"));
  ASSERT_EQ(Boxes.Shown().size(), 2u);
  EXPECT_EQ(Boxes.Shown()[0].Flags, UINT(MB_YESNO | MB_ICONWARNING));
  EXPECT_EQ(Boxes.Shown()[0].Caption, "Save As");

  Boxes.Expect("Create the file?", IDYES);
  ok = Run(*d, {[&](TQsFrmOpenDlg& f) { Type(f, "fresh"); }});
  EXPECT_TRUE(ok);
  EXPECT_EQ(d->FileName(), dir.Path("fresh.txt"));
  EXPECT_EQ(Boxes.Shown().back().Flags, UINT(MB_YESNO | MB_ICONQUESTION));
  EXPECT_NE(Boxes.Shown().back().Text.find("fresh.txt"), std::string::npos);
}

TEST_F(FileDialogs, F12ShowsTheTreeAndTheStateReopensTheDialogAsItWas) {
  TQsOpenDlg* d = Open();
  int treeWidth = -1;
  bool ok = Run(*d, {[&](TQsFrmOpenDlg& f) {
                       EXPECT_FALSE(f.TreeShown());
                       EXPECT_EQ(f.QsSplitter1_pane1->Width(), 0);
                       MINMAXINFO limits{};
                       SendMessageA(f.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
                       EXPECT_EQ(limits.ptMinTrackSize.x, 459);
                       EXPECT_EQ(limits.ptMinTrackSize.y, 274);
                       f.QsShellList1->SetFocus();
                       PressKey(VK_F12);
                     },
                     [&](TQsFrmOpenDlg& f) {
                       EXPECT_TRUE(f.TreeShown());
                       EXPECT_TRUE(f.ShowTreeBtn->Down());
                       treeWidth = f.QsSplitter1->Position();
                       EXPECT_EQ(f.QsShellTree1->GetSelectedPath(), dir.Dir());
                       f.SetBounds(f.Left(), f.Top(), 520, 340);
                       f.QsSplitter1->SetPosition(150);
                     },
                     [&](TQsFrmOpenDlg& f) {
                       // The resize keeps the splitter between the combo and the panel and
                       // the buttons at the right edge, the edits 8 pixels before them.
                       const int x = f.ClientWidth() - f.OpenBtn->Width() - 4;
                       EXPECT_EQ(f.QsSplitter1->BoundsRect(),
                                 (TRect{4, f.QsShellCombo1->Top() + f.QsShellCombo1->Height() + 4, f.ClientWidth() - 4,
                                        f.Panel1->Top()}));
                       EXPECT_EQ(f.OpenBtn->Left(), x);
                       EXPECT_EQ(f.CancelBtn->Left(), x);
                       EXPECT_EQ(f.FileNameEdt->Left() + f.FileNameEdt->Width(), x - 8);
                       EXPECT_EQ(f.FileTypesCbx->Left() + f.FileTypesCbx->Width(), x - 8);
                       Type(f, "a.txt");
                     }});
  EXPECT_TRUE(ok);
  EXPECT_EQ(treeWidth, 200);
  EXPECT_TRUE(d->Options() & qsofShowTree);
  TMemoryStream state;
  d->SaveState(state);
  EXPECT_EQ(state.Size(), 14);

  TQsOpenDlg* again = Open();
  state.SetPosition(0);
  again->LoadState(state);
  ok = Run(*again, {[&](TQsFrmOpenDlg& f) {
                      EXPECT_TRUE(f.TreeShown());
                      EXPECT_EQ(f.QsSplitter1->Position(), 150);
                      EXPECT_EQ(f.Width(), 520);
                      EXPECT_EQ(f.Height(), 340);
                      PressKey(VK_F12);  // and off again
                    },
                    [&](TQsFrmOpenDlg& f) {
                      EXPECT_FALSE(f.TreeShown());
                      EXPECT_EQ(f.QsSplitter1_pane2->Left(), 0);
                      Click(*f.CancelBtn);
                    }});
  EXPECT_FALSE(ok);
  EXPECT_FALSE(again->Options() & qsofShowTree);
  EXPECT_EQ(again->FormSplitterPos(), 150);
}

// Closing moves the current directory to the folder the list shows, even when a hidden
// tree still selects another; qsofNoChangeDir leaves it.
TEST_F(FileDialogs, TheCurrentDirectoryFollowsTheShownFolderNeverAHiddenTree) {
  TQsOpenDlg* d = Open();
  std::string treeAt;
  bool ok = Run(*d, {[&](TQsFrmOpenDlg& f) {
                       f.QsShellList1->SetFocus();
                       PressKey(VK_F12);  // the tree on, at the shown folder
                     },
                     [&](TQsFrmOpenDlg& f) {
                       ASSERT_TRUE(f.TreeShown());
                       f.QsShellList1->SetFocus();
                       PressKey(VK_F12);  // and off: the list moves alone
                     },
                     [&](TQsFrmOpenDlg& f) { Type(f, "sub"); },
                     [&](TQsFrmOpenDlg& f) {
                       treeAt = f.QsShellTree1->GetSelectedPath();
                       Type(f, "inner.txt");
                     }});
  EXPECT_TRUE(ok);
  EXPECT_EQ(treeAt, dir.Dir());
  char now[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, now);
  EXPECT_EQ(std::string(now), dir.Path("sub"));

  SetCurrentDirectoryA(cwd);
  d->SetOptions(d->Options() | qsofNoChangeDir);
  ok = Run(*d, {[&](TQsFrmOpenDlg& f) { Type(f, "a.txt"); }});
  EXPECT_TRUE(ok);
  GetCurrentDirectoryA(MAX_PATH, now);
  EXPECT_EQ(std::string(now), std::string(cwd));
}

// The menu's Paste runs on the folder the list shows; Properties on the selection, or on
// the shown folder when nothing is selected.
TEST_F(FileDialogs, PasteRunsOnTheShownFolderAndPropertiesOnTheSelectionOrTheFolder) {
  TFakeShell fake;
  fake.fakeMenus = true;
  fake.recordDrops = false;
  TShellSeamScope seam(&fake);
  const std::string folder = ExtractFileName(dir.Dir());
  Log runs;
  auto ran = [&](const std::string& what) {
    std::string item = fake.menuItems.empty() ? "(no menu)" : fake.menuItems.back();
    std::string invoked = fake.lastMenu && !fake.lastMenu->log.empty() ? fake.lastMenu->log.back() : "";
    runs.push_back(what + " " + item + ":" + invoked);
  };
  TQsOpenDlg* d = Open();
  Run(*d, {[&](TQsFrmOpenDlg& f) {
    f.Paste1MitmClick(f.Paste1Mitm);
    ran("paste");
    f.Properties1MitmClick(f.Properties1Mitm);
    ran("properties");
    for (int i = 0; i < f.QsShellList1->Items().Count(); ++i)
      f.QsShellList1->Items()[i]->SetSelected(f.QsShellList1->GetItemData(i)->GetDisplayName() == "b.txt");
    f.Properties1MitmClick(f.Properties1Mitm);
    ran("properties");
    Click(*f.CancelBtn);
  }});
  // The fake menu has no "paste" verb, so nothing is invoked for it; "properties" is its
  // command 1.
  EXPECT_EQ(runs, (Log{"paste " + folder + ":", "properties " + folder + ":invoke 1", "properties b.txt:invoke 1"}));
}

}  // namespace
