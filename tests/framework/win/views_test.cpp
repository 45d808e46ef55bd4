// Tree and list views, owner-drawn combo boxes, image lists and pop-up menus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/controls/imglist.h"
#include "framework/controls/listview.h"
#include "framework/controls/treeview.h"
#include "framework/testing/gui_test.h"
#include "framework/win/menus.h"
#include "test_forms.h"

namespace {

using Log = std::vector<std::string>;

class Views : public TGuiTest {
 protected:
  TTestMainForm* ShownForm() {
    auto* f = MakeForm<TTestMainForm>();
    f->Show();
    Pump();
    return f;
  }
};

// A tree whose deletion override logs each node that goes, with the tree whole.
class TLoggingTree : public TTreeView {
 public:
  using TTreeView::TTreeView;
  Log* log = nullptr;

 protected:
  void Delete(TTreeNode* node) override {
    log->push_back("delete " + node->Text());
    TTreeView::Delete(node);
  }
};

class TLoggingList : public TListView {
 public:
  using TListView::TListView;
  Log* log = nullptr;

 protected:
  void Delete(TListItem* item) override {
    log->push_back("delete " + item->Caption());
    TListView::Delete(item);
  }
};

std::string NativeText(TCustomTreeView& tree, TTreeNode* node) {
  char buf[64] = {};
  TVITEMA it{};
  it.mask = TVIF_TEXT;
  it.hItem = node->ItemId();
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(tree.Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return buf;
}

TEST_F(Views, TreeNodesLiveWithOrWithoutTheWindowAndEachDeletionPassesOnce) {
  auto* f = MakeForm<TTestMainForm>();
  Log log;
  auto* tree = new TLoggingTree(f);
  tree->log = &log;
  tree->OnDeletion = TTVExpandedEvent([&](TObject*, TTreeNode* n) { log.push_back("event " + n->Text()); });
  TTreeNode* a = tree->Items().Add(nullptr, "a");
  TTreeNode* b = tree->Items().Add(nullptr, "b");
  TTreeNode* a1 = tree->Items().AddChild(a, "a1");
  tree->Items().AddChild(a, "a2");
  EXPECT_TRUE(a->HasChildren());
  a->Expand();
  b->Delete();  // no window yet
  EXPECT_EQ(log, (Log{"delete b", "event b"}));
  log.clear();

  tree->SetParent(f);
  f->Show();
  Pump();
  ASSERT_TRUE(a1->ItemId());
  EXPECT_EQ(NativeText(*tree, a1), "a1");
  EXPECT_TRUE(a->Expanded());
  tree->SetSelected(a1);
  EXPECT_EQ(tree->Selected(), a1);
  EXPECT_EQ(tree->Items().GetNode(a1->ItemId()), a1);
  EXPECT_EQ(a->GetNext(), a1);
  EXPECT_EQ(tree->Items().Count(), 3);
  EXPECT_TRUE(a1->IsVisible());
  EXPECT_GT(a1->DisplayRect(true).Width(), 0);

  // A remade window gets the same nodes back, expansion and selection too, and deletes nothing.
  tree->RecreateWnd();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(NativeText(*tree, a1), "a1");
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(tree->Selected(), a1);

  // The window deletes a node and its children: each passes once.
  a->Delete();
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (Log{"delete a", "delete a1", "delete a2", "event a", "event a1", "event a2"}));
  EXPECT_EQ(tree->Items().Count(), 0);
  log.clear();

  // Freeing the form: every node passes through the override, no event fires.
  tree->Items().AddChild(tree->Items().Add(nullptr, "x"), "y");
  f->Free();
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (Log{"delete x", "delete y"}));
}

TEST_F(Views, TreeImagesAreAskedForWhenShown) {
  auto* f = ShownForm();
  auto* tree = new TTreeView(f);
  tree->SetParent(f);
  TTreeNode* n = tree->Items().Add(nullptr, "n");
  n->SetImageIndex(3);
  n->SetSelectedIndex(4);
  int asked = 0;
  tree->OnGetImageIndex = TTVExpandedEvent([&](TObject*, TTreeNode* node) {
    ++asked;
    node->SetImageIndex(7);
  });
  TVITEMA it{};
  it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  it.hItem = n->ItemId();
  SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(it.iImage, 7);
  EXPECT_EQ(it.iSelectedImage, 4);
  n->SetOverlayIndex(1);
  EXPECT_EQ(SendMessageA(tree->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(n->ItemId()), TVIS_OVERLAYMASK),
            LRESULT(INDEXTOOVERLAYMASK(2)));
}

TEST_F(Views, SortsFollowTheComparisonAndPassItsExceptionOn) {
  auto* f = ShownForm();
  auto* tree = new TTreeView(f);
  tree->SetParent(f);
  TTreeNode* root = tree->Items().Add(nullptr, "root");
  for (const char* s : {"c", "a", "b"}) tree->Items().AddChild(root, s);
  root->AlphaSort();
  EXPECT_EQ(root->Item(0)->Text(), "a");
  EXPECT_EQ(root->Item(2)->Text(), "c");
  EXPECT_THROW(root->CustomSort([](TTreeNode*, TTreeNode*) -> int { throw EListError("no order"); }), EListError);
  EXPECT_EQ(root->Count(), 3);

  auto* list = new TListView(f);
  list->SetParent(f);
  for (const char* s : {"c", "a", "b"}) list->Items().Add()->SetCaption(s);
  list->CustomSort([](TListItem* x, TListItem* y) { return x->Caption().compare(y->Caption()); });
  EXPECT_EQ(list->Items()[0]->Caption(), "a");
  EXPECT_EQ(list->Items()[2]->Caption(), "c");
  EXPECT_EQ(list->Items()[1]->Index(), 1);
  EXPECT_THROW(list->CustomSort([](TListItem*, TListItem*) -> int { throw EListError("no order"); }), EListError);
  EXPECT_EQ(list->Items().Count(), 3);
}

std::string ItemText(TCustomListView& list, int index, int sub) {
  char buf[64] = {};
  LVITEMA it{};
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(list.Handle(), LVM_GETITEMTEXTA, WPARAM(index), reinterpret_cast<LPARAM>(&it));
  return buf;
}

class TComputedList : public TListView {
 public:
  using TListView::TListView;
  int asked = 0;

 protected:
  void GetDisplayInfo(TListItem* item, int subItem, std::string* text, int* image) override {
    ++asked;
    TListView::GetDisplayInfo(item, subItem, text, image);
    if (text && subItem == 2) *text = "computed " + item->Caption();
  }
};

TEST_F(Views, ListTextsAreAskedForAndItemsOutliveARecreate) {
  auto* f = ShownForm();
  Log log;
  auto* list = new TLoggingList(f);
  list->log = &log;
  list->SetViewStyle(TViewStyle::vsReport);
  for (const char* c : {"Name", "Size", "Type"}) list->Columns().Add()->SetCaption(c);
  list->SetParent(f);
  TListItem* one = list->Items().Add();
  one->SetCaption("one");
  one->SubItems().Add("1 KB");
  TListItem* two = list->Items().Add();
  two->SetCaption("two");
  EXPECT_EQ(ItemText(*list, 0, 0), "one");
  EXPECT_EQ(ItemText(*list, 0, 1), "1 KB");
  two->SetSelected(true);
  two->SetCut(true);
  two->SetOverlayIndex(0);
  EXPECT_EQ(list->Selected(), two);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETITEMSTATE, 1, LVIS_OVERLAYMASK), LRESULT(INDEXTOOVERLAYMASK(1)));
  list->Columns().Item(1)->SetWidth(77);

  list->RecreateWnd();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(list->Items().Count(), 2);
  EXPECT_EQ(ItemText(*list, 1, 0), "two");
  EXPECT_EQ(list->Selected(), two);
  EXPECT_TRUE(two->Cut());
  EXPECT_EQ(list->Columns().Item(1)->Width(), 77);

  list->Items().Delete(0);
  EXPECT_EQ(log, Log{"delete one"});
  EXPECT_EQ(two->Index(), 0);
  list->Items().Clear();
  EXPECT_EQ(log, (Log{"delete one", "delete two"}));

  auto* computed = new TComputedList(f);
  computed->SetViewStyle(TViewStyle::vsReport);
  for (int i = 0; i < 3; ++i) computed->Columns().Add();
  computed->SetParent(f);
  TListItem* item = computed->Items().Add();
  item->SetCaption("x");
  item->SubItems().Add("");
  item->SubItems().Add("");
  EXPECT_EQ(ItemText(*computed, 0, 2), "computed x");
  EXPECT_GT(computed->asked, 0);
}

TEST_F(Views, LabelEditsGoThroughTheEvents) {
  auto* f = ShownForm();
  auto* list = new TListView(f);
  list->SetParent(f);
  TListItem* item = list->Items().Add();
  item->SetCaption("old");
  bool allow = false;
  list->OnEditing = TLVEditingEvent([&](TObject*, TListItem*, bool& a) { a = allow; });
  list->OnEdited = TLVEditedEvent([](TObject*, TListItem*, std::string& s) { s += "!"; });
  EXPECT_FALSE(item->EditCaption());
  allow = true;
  ASSERT_TRUE(item->EditCaption());
  HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_TRUE(edit);
  SetWindowTextA(edit, "new");
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_EQ(item->Caption(), "new!");
}

class TDrawnCombo : public TComboBox {
 public:
  using TComboBox::TComboBox;
  int measured = 0;

 protected:
  void CNMeasureItem(TMessage& m) override {
    ++measured;
    TComboBox::CNMeasureItem(m);
  }
};

TEST_F(Views, OwnerDrawnCombosMeasureAndDrawTheirItems) {
  auto* f = ShownForm();
  auto* combo = new TDrawnCombo(f);
  combo->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
  combo->SetParent(f);
  TObject data;
  combo->Items().AddObject("shown", &data);
  EXPECT_EQ(combo->Items().Get(0), "shown");  // a window with strings
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), 16);

  int measured = combo->measured;
  combo->SetItemHeight(16);  // the same height: nothing happens
  EXPECT_EQ(combo->measured, measured);
  combo->SetItemHeight(22);  // an owner-drawn list is remade and measured anew
  EXPECT_GT(combo->measured, measured);
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), 22);

  std::vector<int> drawn;
  combo->OnDrawItem = TDrawItemEvent([&](TWinControl*, int index, TRect r, TOwnerDrawState) {
    drawn.push_back(index);
    EXPECT_GT(r.Height(), 0);
  });
  combo->SetItemIndex(0);
  combo->Invalidate();
  combo->Update();
  EXPECT_FALSE(drawn.empty());
  EXPECT_EQ(combo->Items().GetObject(0), &data);
}

TEST_F(Views, SharedImageListsOutliveTheirWrapper) {
  HIMAGELIST h = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
  HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
  auto* shared = new TImageList(nullptr);
  shared->SetShareImages(true);
  shared->SetHandle(h);
  EXPECT_EQ(shared->AddIcon(icon), 0);
  EXPECT_TRUE(shared->Overlay(0, 0));
  EXPECT_EQ(shared->Count(), 1);
  shared->Free();
  EXPECT_EQ(ImageList_GetImageCount(h), 1);  // still there
  ImageList_Destroy(h);

  auto* own = new TImageList(nullptr);
  own->SetWidth(32);
  own->SetHeight(32);
  EXPECT_EQ(own->AddIcon(icon), 0);
  EXPECT_EQ(own->Width(), 32);
  own->Free();
}

TEST_F(Views, PopupMenusShowOnRightClickAndKeyboardAndRunTheChosenItem) {
  auto* f = ShownForm();
  auto* menu = new TPopupMenu(f);
  auto* open = new TMenuItem(f);
  open->SetCaption("&Open");
  auto* del = new TMenuItem(f);
  del->SetCaption("Delete");
  del->SetShortCut(TextToShortCut("Del"));
  menu->Items().Add(open);
  menu->Items().Add(del);
  Log log;
  open->OnClick = TNotifyEvent([&](TObject*) { log.push_back("open"); });
  del->OnClick = TNotifyEvent([&](TObject*) { log.push_back("delete"); });
  std::vector<TPoint> shownAt;
  TPopupTrackFunction previous = SetPopupTrackFunction([&](TPopupMenu& m, HMENU h, int x, int y) -> UINT {
    shownAt.push_back({x, y});
    char text[32] = {};
    GetMenuStringA(h, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Delete\tDel");
    return del->Command() + (m.PopupComponent() == f->list_Files ? 0 : 100);
  });
  f->list_Files->SetPopupMenu(menu);
  SendMessageA(f->list_Files->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
  SendMessageA(f->list_Files->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(f->list_Files->Handle()),
               MAKELPARAM(0xFFFF, 0xFFFF));
  menu->SetAutoPopup(false);
  SendMessageA(f->list_Files->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
  SetPopupTrackFunction(previous);

  EXPECT_EQ(log, (Log{"delete", "delete"}));
  ASSERT_EQ(shownAt.size(), 2u);
  EXPECT_EQ(shownAt[0], f->list_Files->ClientToScreen({5, 6}));
  EXPECT_EQ(shownAt[1], f->list_Files->ClientToScreen({0, 0}));
  EXPECT_EQ(menu->PopupComponent(), f->list_Files);
  EXPECT_EQ(del->Command(), 0u);  // only while shown
}

}  // namespace
