// The shell tree over the real shell on scratch folders: the base folder and its lazily
// filled levels, selecting lists inside and outside the base, a linked list and combo that
// follow at once after a click and after 500 ms for keys, renaming on disk, new folders,
// a folder deleted outside the program handing the selection to its parent, a node's shell
// menu and verbs, drops onto a node and a node dragged out while a change comes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "shell_controls/shell_tree_win32.h"
#include "tests/shell_controls/shell_fakes_win32.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;
using Log = std::vector<std::string>;

class ShellTree : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    CreateDirectoryA(dir.Path("alpha").c_str(), nullptr);
    CreateDirectoryA(dir.Path("alpha\\inner").c_str(), nullptr);
    CreateDirectoryA(dir.Path("alpha\\inner\\deepest").c_str(), nullptr);
    CreateDirectoryA(dir.Path("beta").c_str(), nullptr);
    HANDLE h = CreateFileA(dir.Path("file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  TQsShellTree* MakeTree(TQsShellTreeOptions drop = qsstoDynamicRefresh) {
    form = new TForm(Application);
    Track(form);
    form->SetBounds(40, 40, 640, 320);
    form->Show();
    auto* tree = new TQsShellTree(form);
    tree->SetBounds(0, 0, 250, 280);
    tree->SetOptions(tree->Options() & ~drop);
    tree->BaseFolder().SetPath(dir.Dir());
    tree->SetParent(form);
    Pump();
    return tree;
  }
  static Log Texts(TTreeNode* node) {
    Log r;
    for (int i = 0; node && i < node->Count(); ++i) r.push_back(node->Item(i)->Text());
    return r;
  }
  static TTreeNode* Child(TTreeNode* node, const std::string& text) {
    for (int i = 0; node && i < node->Count(); ++i)
      if (node->Item(i)->Text() == text) return node->Item(i);
    return nullptr;
  }
  // The list of a path, kept until the test ends.
  LPCITEMIDLIST Pidl(const std::string& path) {
    lists.push_back(std::make_unique<TPidl>());
    EXPECT_TRUE(SUCCEEDED(PathToPidl(path, lists.back()->Out()))) << path;
    return lists.back()->Get();
  }
  std::vector<std::unique_ptr<TPidl>> lists;
  ScratchDir dir{"qtree"};
  TForm* form = nullptr;
};

TEST_F(ShellTree, FillsItsBaseLazilyAndSelectsInsideAndOutsideIt) {
  int fills = 0;
  TQsShellTree* tree = MakeTree();
  tree->OnFillComplete = TNotifyEvent([&](TObject*) { ++fills; });
  TTreeNode* root = tree->Items().GetFirstNode();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Text(), ExtractFileName(dir.Dir()));
  EXPECT_TRUE(root->Expanded());
  EXPECT_EQ(Texts(root), (Log{"alpha", "beta"}));  // folders only, in the shell's order
  TTreeNode* alpha = Child(root, "alpha");
  EXPECT_TRUE(alpha->HasChildren());
  EXPECT_EQ(alpha->Count(), 0);  // not filled before it expands
  // Wine's folders all claim subfolders; expanding one without them takes its button.
  Child(root, "beta")->Expand();
  EXPECT_FALSE(Child(root, "beta")->HasChildren());
  alpha->Expand();
  EXPECT_EQ(Texts(alpha), Log{"inner"});
  EXPECT_EQ(fills, 2);  // beta's level and alpha's
  EXPECT_EQ(tree->NodeData(alpha)->GetPath(), dir.Path("alpha"));
  EXPECT_TRUE(tree->NodeData(alpha)->CanRename());
  EXPECT_FALSE(tree->NodeData(root)->CanRename());
  TQsShTreeData fresh;
  EXPECT_THROW(fresh.GetPath(), EInvalidOperation);

  tree->SelectPidl(Pidl(dir.Path("alpha\\inner\\deepest")));
  ASSERT_NE(tree->Selected(), nullptr);
  EXPECT_EQ(tree->Selected()->Text(), "deepest");
  EXPECT_EQ(tree->GetSelectedPath(), dir.Path("alpha\\inner\\deepest"));
  EXPECT_EQ(tree->CurrentFolder().GetPath(), dir.Path("alpha\\inner\\deepest"));
  EXPECT_TRUE(Child(alpha, "inner")->Expanded());
  tree->GoUp(2);
  EXPECT_EQ(tree->Selected(), alpha);

  // Outside the base: the root, collapsed; the Desktop too.
  ScratchDir other("qtree");
  tree->SelectPidl(Pidl(other.Dir()));
  EXPECT_EQ(tree->Selected(), root);
  EXPECT_FALSE(root->Expanded());
  TPidl desktop;
  ASSERT_TRUE(SUCCEEDED(SpecialFolderPidl(nullptr, CSIDL_DESKTOP, desktop.Out())));
  tree->SelectPidl(desktop.Get());
  EXPECT_EQ(tree->Selected(), root);
}

TEST_F(ShellTree, ALinkedListAndComboFollowAtOnceOnAClickAndLaterForKeys) {
  TQsShellTree* tree = MakeTree();
  auto* list = new TQsShellList(form);
  list->SetBounds(260, 30, 360, 250);
  list->SetOptions(list->Options() & ~qssloDynamicRefresh);
  list->SetParent(form);
  auto* combo = new TQsShellCombo(form);
  combo->SetBounds(260, 0, 360, 22);
  combo->SetParent(form);
  Pump();
  tree->SetShellList(list);
  combo->SetShellTree(tree);
  EXPECT_EQ(list->ShellTree(), tree);
  EXPECT_TRUE(list->IsLinked());
  EXPECT_EQ(tree->ShellCombo(), combo);
  TTreeNode* root = tree->Items().GetFirstNode();
  TTreeNode* beta = Child(root, "beta");

  // A click: at once.
  TRect r = beta->DisplayRect(true);
  // Posted: the tree view waits for the release to tell a click from a drag.
  LPARAM at = MAKELPARAM(r.Left + 4, (r.Top + r.Bottom) / 2);
  PostMessageA(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(tree->Handle(), WM_LBUTTONUP, 0, at);
  PumpUntil([&] { return tree->Selected() == beta; }, 3000);
  EXPECT_EQ(tree->Selected(), beta);
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("beta"));
  EXPECT_EQ(combo->GetFolder().GetPath(), dir.Path("beta"));

  // A key: after 500 ms.
  DWORD start = GetTickCount();
  tree->SetSelected(Child(root, "alpha"));
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("beta"));
  EXPECT_TRUE(PumpUntil([&] { return list->Folder().GetPath() == dir.Path("alpha"); }, 3000));
  EXPECT_GE(GetTickCount() - start, 400u);
  EXPECT_EQ(combo->GetFolder().GetPath(), dir.Path("alpha"));

  // The combo moves the tree, and opening a folder in the list moves the tree.
  combo->GetFolder().SetPath(dir.Dir());
  EXPECT_EQ(tree->Selected(), root);
  EXPECT_EQ(list->Folder().GetPath(), dir.Dir());
  list->OpenItem(list->Items()[0]);  // "alpha"
  EXPECT_EQ(tree->Selected()->Text(), "alpha");
  EXPECT_EQ(combo->GetFolder().GetPath(), dir.Path("alpha"));
  list->GoUp(1);
  EXPECT_EQ(tree->Selected(), root);

  // Hiding folders in the list while a tree shows them: files only.
  list->SetOptions(list->Options() | qssloHideFoldersWhenLinkedToTree);
  list->Refresh();
  ASSERT_EQ(list->Items().Count(), 1);
  EXPECT_EQ(list->GetItemData(0)->GetFileName(), "file.txt");
  tree->SetShellList(nullptr);
  EXPECT_EQ(list->ShellTree(), nullptr);
}

TEST_F(ShellTree, RenamesOnDiskAndTheListAndComboFollow) {
  TQsShellTree* tree = MakeTree();
  auto* list = new TQsShellList(form);
  list->SetBounds(260, 30, 360, 250);
  list->SetOptions(list->Options() & ~qssloDynamicRefresh);
  list->SetParent(form);
  auto* combo = new TQsShellCombo(form);
  combo->SetBounds(260, 0, 360, 22);
  combo->SetParent(form);
  Pump();
  tree->SetShellList(list);
  combo->SetShellTree(tree);
  TTreeNode* root = tree->Items().GetFirstNode();
  TTreeNode* alpha = Child(root, "alpha");
  alpha->Expand();
  tree->SelectPidl(Pidl(dir.Path("alpha\\inner")));
  ASSERT_EQ(list->Folder().GetPath(), dir.Path("alpha\\inner"));
  tree->SetFocus();
  ASSERT_TRUE(alpha->EditText());
  HWND edit = reinterpret_cast<HWND>(SendMessageA(tree->Handle(), TVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "gamma");
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_NE(GetFileAttributesA(dir.Path("gamma\\inner").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(alpha->Text(), "gamma");
  EXPECT_EQ(tree->NodeData(Child(alpha, "inner"))->GetPath(), dir.Path("gamma\\inner"));
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("gamma\\inner"));
  EXPECT_EQ(combo->GetFolder().GetPath(), dir.Path("gamma\\inner"));

  // The root has no rename, a Delete on it runs nothing.
  tree->SetSelected(root);
  PressKey(VK_DELETE);
  EXPECT_NE(GetFileAttributesA(dir.Dir().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ShellTree, ADeletedFolderHandsTheSelectionToItsParent) {
  TQsShellTree* tree = MakeTree(0);  // dynamic refresh on: the real notifications
  auto* list = new TQsShellList(form);
  list->SetBounds(260, 30, 360, 250);
  list->SetOptions(list->Options() & ~qssloDynamicRefresh);
  list->SetParent(form);
  Pump();
  tree->SetShellList(list);
  tree->SelectPidl(Pidl(dir.Path("alpha\\inner\\deepest")));
  ASSERT_EQ(list->Folder().GetPath(), dir.Path("alpha\\inner\\deepest"));
  ASSERT_TRUE(RemoveDirectoryA(dir.Path("alpha\\inner\\deepest").c_str()));
  EXPECT_TRUE(PumpUntil([&] { return tree->Selected() && tree->Selected()->Text() == "inner"; }, 15000))
      << "the tree kept the deleted folder";
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("alpha\\inner"));
  EXPECT_FALSE(tree->Selected()->HasChildren());

  // A new folder appears after the next refresh.
  CreateDirectoryA(dir.Path("late").c_str(), nullptr);
  tree->RefreshInPlace();
  EXPECT_EQ(Texts(tree->Items().GetFirstNode()), (Log{"alpha", "beta", "late"}));

  // New folders: in a file-system node, edited; none where there is no path.
  tree->SetSelected(Child(tree->Items().GetFirstNode(), "beta"));
  ASSERT_TRUE(tree->CreateNewFolder());
  EXPECT_NE(GetFileAttributesA(dir.Path("beta\\New Folder").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(tree->IsEditing());
  SendMessageA(tree->Handle(), TVM_ENDEDITLABELNOW, TRUE, 0);
  TPidl drives;
  ASSERT_TRUE(SUCCEEDED(SpecialFolderPidl(nullptr, CSIDL_DRIVES, drives.Out())));
  tree->BaseFolder().SetIdList(drives.Get());
  tree->SetSelected(tree->Items().GetFirstNode());
  EXPECT_FALSE(tree->CreateNewFolder());
}

// The menu key shows the shell's menu of the selected node and runs the chosen command;
// Delete asks the node's own menu for its verb; the root has neither.
TEST_F(ShellTree, TheShellMenuAndVerbsOfANodeAndNoneForTheRoot) {
  TFakeShell fake;
  fake.fakeMenus = true;
  fake.recordDrops = false;
  fake.command = 50;
  TShellSeamScope seam(&fake);
  TQsShellTree* tree = MakeTree();
  TTreeNode* root = tree->Items().GetFirstNode();
  TTreeNode* beta = Child(root, "beta");
  ASSERT_NE(beta, nullptr);
  tree->SetFocus();
  tree->SetSelected(beta);
  PressKey(VK_APPS);
  ASSERT_TRUE(fake.lastMenu);
  EXPECT_EQ(fake.menuLog, Log{"track"});
  EXPECT_EQ(fake.lastMenu->log, Log{"invoke 0"});
  PressKey(VK_DELETE);  // the fake menu has no "delete": built for beta, nothing runs
  EXPECT_EQ(fake.menuItems, (Log{"beta", "beta"}));
  EXPECT_TRUE(fake.lastMenu->log.empty());
  tree->SetSelected(root);
  PressKey(VK_APPS);
  PressKey(VK_DELETE);
  EXPECT_EQ(fake.menuLog, Log{"track"});
  EXPECT_EQ(fake.menuItems.size(), 2u);
}

// A list that tells the tree of a change while a drag enters it, as the change thread
// would while the user drags a node out.
class TChangeOnDragList : public TQsShellList {
 public:
  using TQsShellList::TQsShellList;
  TQsShellTree* tree = nullptr;
  std::string folder;
  bool pendingDuringDrag = false;
  void DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) override {
    TQsShellList::DragEnter(data, keys, point, effect);
    if (!tree || pendingDuringDrag) return;
    CreateDirectoryA(folder.c_str(), nullptr);
    SendMessageA(tree->Handle(), kShellChangedMessage, 0, 0);
    pendingDuringDrag = tree->DraggingOut() && tree->RefreshPending();
  }
};

// Drops from outside go to the node under the pointer through its parent folder's target.
// A node dragged out carries its item; a change during the drag only marks a refresh
// pending, and that refresh runs as soon as the drag ends.
TEST_F(ShellTree, DropsReachTheNodesTargetAndADragOutPutsItsRefreshOff) {
  TFakeShell fake;
  TShellSeamScope seam(&fake);
  TQsShellTree* tree = MakeTree();
  TTreeNode* beta = Child(tree->Items().GetFirstNode(), "beta");
  ASSERT_NE(beta, nullptr);
  TRect r = beta->DisplayRect(true);
  TPoint onBeta = tree->ClientToScreen({r.Left + 4, (r.Top + r.Bottom) / 2});
  TComPtr<IDataObject> data = ComNew<IDataObject, TFakeDataObject>(CF_TEXT, std::vector<uint8_t>{'x', 0});
  DWORD effect = DROPEFFECT_COPY;
  tree->DragEnter(data.Get(), MK_LBUTTON, POINTL{onBeta.X, onBeta.Y}, effect);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  EXPECT_TRUE(beta->DropTarget());
  fake.dropLog.clear();
  effect = DROPEFFECT_COPY;
  tree->Drop(data.Get(), MK_LBUTTON, POINTL{onBeta.X, onBeta.Y}, effect);
  EXPECT_EQ(fake.dropLog, (Log{"target beta", "enter 1 1", "drop 1 1"}));
  EXPECT_FALSE(beta->DropTarget());
  fake.dropLog.clear();

  auto* list = new TChangeOnDragList(form);
  list->SetBounds(260, 30, 360, 250);
  list->SetOptions((list->Options() & ~qssloDynamicRefresh) | qssloOleDrop);
  list->SetParent(form);
  list->Folder().SetPath(dir.Path("alpha"));
  list->tree = tree;
  list->folder = dir.Path("late");
  SetForegroundWindow(form->Handle());
  Pump();
  TPoint end = list->ClientToScreen({150, 150});
  std::atomic<bool> done{false};
  std::thread mouse = StartMouseDrag(onBeta, end, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 300, done);
  PumpUntil([&] { return done.load() && !tree->DraggingOut(); }, 10000);
  mouse.join();
  ASSERT_TRUE(std::any_of(fake.dropLog.begin(), fake.dropLog.end(),
                          [](const std::string& e) { return e.rfind("drop ", 0) == 0; }))
      << "the node was not dropped on the list";
  EXPECT_TRUE(list->pendingDuringDrag);
  EXPECT_FALSE(tree->RefreshPending());
  EXPECT_EQ(Texts(tree->Items().GetFirstNode()), (Log{"alpha", "beta", "late"}));
}

}  // namespace
