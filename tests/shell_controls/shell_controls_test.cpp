// The custom-draw views, the image combo, the locator and the path combo over the real
// shell and common controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/form_reader.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/tree_list_win32.h"
#include "tests/shell_controls/shell_test_classes.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;
using Log = std::vector<std::string>;

class ShellControls : public TGuiTest {
 protected:
  TForm* ShownForm() {
    auto* f = new TForm(Application);
    Track(f);
    f->SetBounds(40, 40, 420, 320);
    f->Show();
    Pump();
    return f;
  }
};

// Sends a synthetic NM_CUSTOMDRAW from control to its parent; the message result.
struct TDraw {
  NMTVCUSTOMDRAW nm{};
  LRESULT Send(TWinControl& control, DWORD stage, DWORD_PTR item = 0) {
    nm.nmcd.hdr.hwndFrom = control.Handle();
    nm.nmcd.hdr.idFrom = UINT_PTR(GetDlgCtrlID(control.Handle()));
    nm.nmcd.hdr.code = UINT(NM_CUSTOMDRAW);
    nm.nmcd.dwDrawStage = stage;
    nm.nmcd.dwItemSpec = item;
    nm.clrText = 0x111111;
    nm.clrTextBk = 0x222222;
    HDC dc = GetDC(control.Handle());
    nm.nmcd.hdc = dc;
    LRESULT r = SendMessageA(control.Parent()->Handle(), WM_NOTIFY, nm.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    ReleaseDC(control.Handle(), dc);
    return r;
  }
};

TEST_F(ShellControls, CustomDrawResultsOfTreeAndList) {
  auto* f = ShownForm();
  auto* tree = new TQsCustomTreeView(f);
  tree->SetParent(f);
  TTreeNode* node = tree->Items().Add(nullptr, "node");
  auto* list = new TQsCustomListView(f);
  list->SetParent(f);
  list->SetTop(120);
  list->Items().Add()->SetCaption("item");

  TDraw d;
  EXPECT_EQ(d.Send(*tree, CDDS_PREPAINT), 0);  // no events: no item notifications
  EXPECT_EQ(tree->CurrentCustomDraw(), nullptr);
  EXPECT_EQ(d.Send(*list, CDDS_PREPAINT), CDRF_NOTIFYITEMDRAW);

  Log log;
  tree->OnCustomDrawEx = TQsTvCustomDrawEvent([&](TObject*, TQsCustomDraw* c, TTreeNode* n) {
    log.push_back("ex " + std::to_string(c->Stage()) + (n ? " " + n->Text() : ""));
  });
  tree->OnCustomDraw = TQsTvCustomDrawEvent([&](TObject*, TQsCustomDraw* c, TTreeNode* n) {
    log.push_back("item " + n->Text());
    c->SkipDefault = true;
  });
  EXPECT_EQ(d.Send(*tree, CDDS_PREPAINT), CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(d.Send(*tree, CDDS_ITEMPREPAINT, reinterpret_cast<DWORD_PTR>(node->ItemId())), CDRF_SKIPDEFAULT);
  EXPECT_EQ(d.nm.clrText, 0x111111u);  // no colour change
  EXPECT_EQ(log, (Log{"ex 1", "ex 65537 node", "item node"}));
  ASSERT_NE(tree->CurrentCustomDraw(), nullptr);  // readable until the next notification
  EXPECT_TRUE(tree->CurrentCustomDraw()->SkipDefault);

  // A changed font is selected into the DC and colours the text; a changed brush the background.
  tree->OnCustomDraw = TQsTvCustomDrawEvent([](TObject*, TQsCustomDraw* c, TTreeNode*) {
    c->Font().SetColor(TColor(0x0000FF));
    c->Brush().SetColor(TColor(0x00FF00));
  });
  tree->OnCustomDrawEx = {};
  LRESULT r = d.Send(*tree, CDDS_ITEMPREPAINT, reinterpret_cast<DWORD_PTR>(node->ItemId()));
  EXPECT_EQ(r & CDRF_NEWFONT, CDRF_NEWFONT);
  EXPECT_EQ(d.nm.clrText, 0x0000FFu);
  EXPECT_EQ(d.nm.clrTextBk, 0x00FF00u);

  TListItem* seen = nullptr;
  list->OnCustomDraw = TQsLvCustomDrawEvent([&](TObject*, TQsCustomDraw* c, TListItem* i) {
    seen = i;
    c->SkipDefault = true;
  });
  EXPECT_EQ(d.Send(*list, CDDS_ITEMPREPAINT, 0), CDRF_SKIPDEFAULT);
  EXPECT_EQ(seen, list->Items()[0]);
  EXPECT_EQ(d.Send(*list, CDDS_ITEMPOSTPAINT, 0), 0);
}

// A tree and a list that log what reaches their inherited key handling and their hooks.
class TKeyTree : public TQsCustomTreeView {
 public:
  using TQsCustomTreeView::TQsCustomTreeView;
  Log log;

 protected:
  void NodeDeleted(TTreeNode* node) override { log.push_back("deleted " + node->Text()); }
  void GetImageIndex(TTreeNode* node) override {
    log.push_back("image " + node->Text());
    TQsCustomTreeView::GetImageIndex(node);
  }
};

TEST_F(ShellControls, MenuKeysNeverReachTheInheritedKeyHandling) {
  auto* f = ShownForm();
  auto* tree = new TKeyTree(f);
  tree->SetParent(f);
  TTreeNode* node = tree->Items().Add(nullptr, "node");
  auto* list = new TQsCustomListView(f);
  list->SetParent(f);
  list->SetTop(120);
  TListItem* item = list->Items().Add();
  item->SetCaption("item");

  Log log;
  auto keys = [&](TObject* s, uint16_t& key, TShiftState) {
    log.push_back(std::string(s == tree ? "tree" : "list") + " key " + std::to_string(key));
  };
  tree->OnKeyDown = TKeyEvent(keys);
  list->OnKeyDown = TKeyEvent(keys);
  tree->OnContextMenu = TQsTvContextMenuEvent([&](TObject*, TTreeNode* n, TPoint, TPopupMenu*& m) {
    log.push_back(std::string("tree menu ") + (n ? n->Text() : "none"));
    m = nullptr;
  });
  list->OnContextMenu = TQsLvContextMenuEvent([&](TObject*, TListItem* i, TPoint, TPopupMenu*& m) {
    log.push_back(std::string("list menu ") + (i ? i->Caption() : "none"));
    m = nullptr;
  });
  tree->SetSelected(node);
  item->SetSelected(true);
  item->SetFocused(true);

  for (TWinControl* c : {static_cast<TWinControl*>(tree), static_cast<TWinControl*>(list)}) {
    c->SetFocus();
    PressKey(VK_F10, ssShift);
    PressKey(VK_APPS);
    PressKey(VK_F10, ssCtrl);
  }
  EXPECT_EQ(log, (Log{"tree menu node", "tree key 0", "tree menu node", "tree key 0", "tree key 121",
                      "list menu item", "list key 0", "list menu item", "list key 0", "list key 121"}));
  log.clear();

  // With a node selected the tree ignores WM_CONTEXTMENU; without a selected item the list does.
  SendMessageA(tree->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree->Handle()), MAKELPARAM(0xFFFF, 0xFFFF));
  item->SetSelected(false);
  SendMessageA(list->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list->Handle()), MAKELPARAM(0xFFFF, 0xFFFF));
  EXPECT_TRUE(log.empty());

  // Deletion and image queries reach the virtual operations, and the event once.
  int events = 0;
  tree->OnGetImageIndex = TTVExpandedEvent([&](TObject*, TTreeNode*) { ++events; });
  tree->log.clear();
  TVITEMA it{};
  it.mask = TVIF_IMAGE;
  it.hItem = node->ItemId();
  SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(events, 1);
  EXPECT_EQ(tree->log, Log{"image node"});
  tree->log.clear();
  node->Delete();
  EXPECT_EQ(tree->log, Log{"deleted node"});
}

TEST_F(ShellControls, TheRightButtonAfterAMenuRestoresAutoPopupAndPopupMenuOnEveryPath) {
  auto* f = ShownForm();
  auto* menu = new TPopupMenu(f);
  int popups = 0;
  TPopupTrackFunction previous = SetPopupTrackFunction([&](TPopupMenu&, HMENU, int, int) -> UINT {
    ++popups;
    return 0;
  });
  auto* tree = new TQsCustomTreeView(f);
  tree->SetParent(f);
  tree->SetPopupMenu(menu);
  tree->SetSelected(tree->Items().Add(nullptr, "node"));
  auto* list = new TQsCustomListView(f);
  list->SetParent(f);
  list->SetTop(120);
  list->SetPopupMenu(menu);
  TListItem* item = list->Items().Add();
  item->SetSelected(true);
  item->SetFocused(true);
  // The hooks replace the menu, so a menu counts as shown.
  tree->OnContextMenu = TQsTvContextMenuEvent([](TObject*, TTreeNode*, TPoint, TPopupMenu*& m) { m = nullptr; });
  list->OnContextMenu = TQsLvContextMenuEvent([](TObject*, TListItem*, TPoint, TPopupMenu*& m) { m = nullptr; });
  auto fail = [](TObject*, TMouseButton, TShiftState, int, int) { throw Exception("up failed"); };
  Boxes.Expect("up failed", IDOK);
  Boxes.Expect("up failed", IDOK);

  for (TWinControl* c : {static_cast<TWinControl*>(tree), static_cast<TWinControl*>(list)}) {
    SCOPED_TRACE(c == tree ? "tree" : "list");
    c->SetFocus();
    PressKey(VK_APPS);  // a menu from the keyboard
    c->OnMouseUp = TMouseEvent(fail);
    SendMessageA(c->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(Exceptions.Take(), Log{"up failed"});
    EXPECT_TRUE(menu->AutoPopup());
    EXPECT_EQ(c->PopupMenu(), menu);
    EXPECT_EQ(popups, 0);  // the release after a menu shows no second one
    c->OnMouseUp = {};
    SendMessageA(c->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(popups, 1);  // the flag was taken: the next release shows the control's menu
    popups = 0;
  }
  SetPopupTrackFunction(previous);
}

TEST_F(ShellControls, ColoursReachTheControls) {
  auto* f = ShownForm();
  auto* tree = new TQsCustomTreeView(f);
  tree->SetColor(TColor(0x102030));  // before the window
  tree->SetParent(f);
  EXPECT_EQ(SendMessageA(tree->Handle(), TVM_GETBKCOLOR, 0, 0), 0x102030);
  tree->SetColor(clNone);
  EXPECT_EQ(COLORREF(SendMessageA(tree->Handle(), TVM_GETBKCOLOR, 0, 0)), CLR_NONE);
  tree->Font().SetColor(TColor(0x0000FF));
  EXPECT_EQ(SendMessageA(tree->Handle(), TVM_GETTEXTCOLOR, 0, 0), 0x0000FF);
  EXPECT_TRUE(GetWindowLongPtrA(tree->Handle(), GWL_STYLE) & TVS_NOTOOLTIPS);  // Wine reports NT

  auto* list = new TQsCustomListView(f);
  list->SetColor(TColor(0x405060));
  list->SetParent(f);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETBKCOLOR, 0, 0), 0x405060);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETTEXTBKCOLOR, 0, 0), 0x405060);
  list->SetColor(TColor(0x010203));
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETBKCOLOR, 0, 0), 0x010203);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETTEXTBKCOLOR, 0, 0), 0x010203);
}

class TTestImageCombo : public TQsCustomImageCombo {
 public:
  using TQsCustomImageCombo::TQsCustomImageCombo;
};

TEST_F(ShellControls, ImageComboEntriesEventsAndHeight) {
  auto* f = ShownForm();
  auto* images = new TImageList(f);
  images->SetShareImages(true);
  images->SetHandle(SystemImageList(0));
  auto* combo = new TTestImageCombo(f);
  combo->Font().SetHeight(-10);
  EXPECT_EQ(combo->ItemHeight(), [] {
    TFont font;
    font.SetHeight(-10);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.Handle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return int(tm.tmHeight) + 2;
  }());
  combo->SetImages(images);
  EXPECT_EQ(combo->ItemHeight(), 16);  // the 16-pixel images are taller than the font
  combo->SetParent(f);
  combo->SetWidth(150);

  Log log;
  combo->OnDeleteItem = TQsDeleteImageComboItemEvent(
      [&](TObject*, TQsImageComboItem* item) { log.push_back("delete " + item->Caption); });
  for (const char* c : {"one", "two", "three"}) combo->AddItem(c, 1, 2);
  EXPECT_EQ(combo->GetItem(1)->Caption, "two");
  EXPECT_EQ(combo->GetItem(2)->Index, 2);
  EXPECT_EQ(combo->GetItem(0)->OverlayIndex(), -1);
  EXPECT_EQ(combo->Items().Get(0), "");  // no strings: the entries are their objects
  combo->Items().Delete(0);
  EXPECT_EQ(log, Log{"delete one"});
  combo->Items().Clear();
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (Log{"delete one", "delete three", "delete two"}));

  // A remade window starts empty; its entries went through the event.
  combo->AddItem("kept?", 0, 0);
  log.clear();
  combo->SetAutoItemHeight(false);
  combo->SetItemHeight(24);
  EXPECT_EQ(combo->Items().Count(), 0);
  EXPECT_EQ(log, Log{"delete kept?"});
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETEXTENDEDUI, 0, 0), TRUE);

  // An entry of another class is refused.
  TObject other;
  combo->Items().AddObject("", &other);
  EXPECT_THROW(combo->GetItem(0), EInvalidCast);
  combo->Items().Delete(0);

  Log notes;
  combo->OnCloseUp = TNotifyEvent([&](TObject*) { notes.push_back("close up"); });
  combo->OnSelEndOk = TNotifyEvent([&](TObject*) { notes.push_back("end ok"); });
  combo->OnSelEndCancel = TNotifyEvent([&](TObject*) { notes.push_back("end cancel"); });
  combo->OnChange = TNotifyEvent([&](TObject*) { notes.push_back("change"); });
  for (WORD code : {WORD(CBN_CLOSEUP), WORD(CBN_SELENDOK), WORD(CBN_SELENDCANCEL)})
    SendMessageA(f->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), code),
                 reinterpret_cast<LPARAM>(combo->Handle()));
  EXPECT_EQ(notes, (Log{"close up", "end ok", "end cancel"}));
}

TEST_F(ShellControls, TheEditPartDrawsWithoutIndent) {
  auto* f = ShownForm();
  auto* images = new TImageList(f);
  images->SetShareImages(true);
  images->SetHandle(SystemImageList(0));
  auto* combo = new TTestImageCombo(f);
  combo->SetImages(images);
  combo->SetIndentPixels(100);
  combo->SetParent(f);
  combo->SetBounds(10, 10, 150, 20);
  TQsImageComboItem* item = combo->AddItem("", 3, 2);  // in the list its image would sit at x 202
  combo->SetItemIndex(item->Index);
  f->SetFocus();
  Pump();
  TCapture c = CaptureWindow(*combo);
  int x0 = 0;
  for (int x = 0; x < 30; ++x)  // the left edge of the client area
    if (c.PixelAt(x, c.Height / 2) == RGBOf(clWindow)) {
      x0 = x;
      break;
    }
  int differs = 0;
  for (int x = x0 + 2; x < x0 + 18; ++x)
    for (int y = 2; y < c.Height - 2; ++y)
      if (c.PixelAt(x, y) != RGBOf(clWindow)) ++differs;
  EXPECT_GT(differs, 10) << "no image at the left of the edit part";
}

TEST_F(ShellControls, LocatorChangesOnlyWhenItsFolderDoes) {
  ScratchDir dir("qsh");
  CreateDirectoryA(dir.Path("A").c_str(), nullptr);
  static const uint8_t kEmpty[2] = {0, 0};
  TQsShellLocator l, other;
  int changes = 0;
  l.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  TPidl a;
  ASSERT_TRUE(SUCCEEDED(PathToPidl(dir.Path("A"), a.Out())));
  TPidl aAgain(CopyPidl(nullptr, a.Get()));
  struct Step {
    const char* what;
    std::function<void()> act;
    int changes;  // after the step
  };
  std::vector<Step> steps = {
      {"the Desktop to nil", [&] { l.SetIdList(nullptr); }, 0},
      {"a folder", [&] { l.SetIdList(a.Get()); }, 1},
      {"an equal list", [&] { l.SetIdList(aAgain.Get()); }, 1},
      {"a path of the same folder", [&] { l.SetPath(dir.Path("A")); }, 1},
      {"a path that does not parse: the Desktop", [&] { l.SetPath(dir.Path("missing")); }, 2},
      {"again: already the Desktop", [&] { l.SetPath(dir.Path("missing")); }, 2},
      {"special folder 5", [&] { other.SetPidlBytes({1, 5}); l.Assign(other); }, 3},
      {"special folder 5 again", [&] { l.Assign(other); }, 3},
      {"special folder 17", [&] { other.SetPidlBytes({1, 17}); l.Assign(other); }, 4},
      {"nil on a special folder: the Desktop", [&] { l.Assign(nullptr); }, 5},
      {"nil on the Desktop", [&] { l.Assign(nullptr); }, 5},
      {"the Desktop's empty list", [&] { l.SetIdList(AsPidl(kEmpty)); }, 5},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    EXPECT_EQ(changes, s.changes);
  }
  other.SetPidlBytes({1, 17});
  l.Assign(other);
  EXPECT_EQ(l.Kind(), 1);
  EXPECT_EQ(l.SpecialFolder(), 17);
  EXPECT_NE(l.GetIdList(), nullptr);  // looked up
  EXPECT_EQ(l.PidlBytes(), (std::vector<uint8_t>{1, 17}));
  l.SetIdList(a.Get());
  EXPECT_EQ(l.SpecialFolder(), 28);
  EXPECT_EQ(l.GetPath(), dir.Path("A"));
  EXPECT_TRUE(l.Equals(l));
  EXPECT_THROW(l.SetPidlBytes({0, 9, 0, 0, 0, 1, 0}), EReadError);
  EXPECT_EQ(l.GetPath(), dir.Path("A"));  // a value that does not read leaves the locator alone
  TFont font;
  EXPECT_THROW(l.Assign(font), EConvertError);
}

TEST_F(ShellControls, FormsStoreAndLoadTheFolderValue) {
  ScratchDir dir("qsh");
  TPidl a;
  ASSERT_TRUE(SUCCEEDED(PathToPidl(dir.Dir(), a.Out())));
  std::string hex = shell::ToHex(Bytes(a.Get()), PidlSize(a.Get()));
  char count[16];
  std::snprintf(count, sizeof count, "%02x%02x%02x%02x", PidlSize(a.Get()) & 0xFF, (PidlSize(a.Get()) >> 8) & 0xFF, 0, 0);
  TOwned<TLocatorHolder> holder(new TLocatorHolder(nullptr));
  ReadForm(*holder, "object Holder: TLocatorHolder\n  Folder.Pidl = {00" + std::string(count) + hex + "}\nend\n", "holder");
  EXPECT_EQ(holder->Folder().GetPath(), dir.Dir());
  TOwned<TLocatorHolder> special(new TLocatorHolder(nullptr));
  ReadForm(*special, "object Holder: TLocatorHolder\n  Folder.Pidl = {0111}\nend\n", "special");
  EXPECT_EQ(special->Folder().Kind(), 1);
  EXPECT_EQ(special->Folder().SpecialFolder(), 17);

  struct Bad {
    const char* value;
    const char* error;
  };
  for (const Bad& b : std::vector<Bad>{{"{01}", "no special-folder id"},
                                       {"{0003000000010000}", "has the size 1"},
                                       {"{00ff00000000 00}", "list size of 255"}}) {
    SCOPED_TRACE(b.value);
    TOwned<TLocatorHolder> h(new TLocatorHolder(nullptr));
    try {
      ReadForm(*h, std::string("object Holder: TLocatorHolder\n  Folder.Pidl = ") + b.value + "\nend\n", "bad");
      ADD_FAILURE() << "it loaded";
    } catch (const EFormError& e) {
      EXPECT_NE(e.Message().find("bad(2)"), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(b.error), std::string::npos) << e.Message();
    }
  }
}

// The entries of a combo as "indent caption" lines, the selected one marked with "*".
Log Entries(TQsShellCombo& combo) {
  Log l;
  for (int i = 0; i < combo.Items().Count(); ++i) {
    TQsImageComboItem* item = combo.GetItem(i);
    l.push_back(std::to_string(item->Indent) + " " + item->Caption + (i == combo.ItemIndex() ? " *" : ""));
  }
  return l;
}

TEST_F(ShellControls, PathComboShowsTheChainAndGoesUp) {
  ScratchDir dir("qsh");
  CreateDirectoryA(dir.Path("Alpha").c_str(), nullptr);
  CreateDirectoryA(dir.Path("Alpha\\Beta").c_str(), nullptr);
  auto* f = ShownForm();
  auto* combo = new TQsShellCombo(f);
  combo->SetWidth(300);
  int deletes = 0;
  combo->OnDeleteItem = TQsDeleteImageComboItemEvent([&](TObject*, TQsImageComboItem* item) {
    ++deletes;
    EXPECT_NE(dynamic_cast<TQsShComboData*>(item->Data), nullptr);  // alive when the event runs
  });
  combo->SetParent(f);
  Log desktop = Entries(*combo);
  ASSERT_FALSE(desktop.empty());
  EXPECT_EQ(desktop[0].substr(0, 2), "0 ");
  EXPECT_EQ(desktop[0].back(), '*');  // the Desktop, selected
  EXPECT_EQ(combo->GetFolder().GetIdList(), nullptr);

  int before = combo->Items().Count();
  combo->GetFolder().SetPath(dir.Path("Alpha\\Beta"));
  EXPECT_EQ(deletes, before);  // each old entry once
  Log chain = Entries(*combo);
  ASSERT_GE(chain.size(), 3u);
  int beta = combo->ItemIndex();
  ASSERT_GT(beta, 1);
  TQsImageComboItem* b = combo->GetItem(beta);
  TQsImageComboItem* a = combo->GetItem(beta - 1);
  EXPECT_EQ(b->Caption, "Beta");
  EXPECT_EQ(a->Caption, "Alpha");
  EXPECT_EQ(b->Indent, a->Indent + 1);
  EXPECT_EQ(combo->EntryData(beta)->RelativeIdList() != nullptr, true);
  EXPECT_EQ(PidlToPath(combo->EntryData(beta)->AbsoluteIdList()), dir.Path("Alpha\\Beta"));
  // Every entry on the way down has an indent one less than the next.
  for (int i = beta; i > 0 && combo->GetItem(i - 1)->Indent == combo->GetItem(i)->Indent - 1; --i)
    EXPECT_EQ(IncludeTrailingBackslash(PidlToPath(combo->EntryData(i - 1)->AbsoluteIdList())),
              ExtractFilePath(PidlToPath(combo->EntryData(i)->AbsoluteIdList())));

  combo->GoUpLevels(1);
  EXPECT_EQ(combo->GetFolder().GetPath(), dir.Path("Alpha"));
  EXPECT_EQ(combo->GetItem(combo->ItemIndex())->Caption, "Alpha");
  combo->GoUpLevels(2);
  EXPECT_EQ(combo->GetFolder().GetPath(), ExcludeTrailingBackslash(ExtractFilePath(dir.Dir())));

  // Choosing the Desktop entry as a user does.
  SelectItem(*combo, 0);
  EXPECT_EQ(combo->GetFolder().GetIdList(), nullptr);
  combo->GoUpLevels(1);  // on the Desktop: nothing
  EXPECT_EQ(combo->ItemIndex(), 0);

  // A drive root's child goes up to the drive root.
  combo->GetFolder().SetPath("C:\\windows");
  combo->GoUpLevels(1);
  EXPECT_EQ(combo->GetFolder().GetPath(), "C:\\");
}

// Drops the path combo down on a scratch folder; with QUILTOR_SHELL_SCREENSHOT set, the
// screen is saved there as a bitmap.
TEST_F(ShellControls, PathComboDropsDownOnAScratchFolder) {
  ScratchDir dir("qsh");
  CreateDirectoryA(dir.Path("Project").c_str(), nullptr);
  CreateDirectoryA(dir.Path("Project\\Sources").c_str(), nullptr);
  auto* f = ShownForm();
  f->SetCaption("Look in");
  auto* combo = new TQsShellCombo(f);
  combo->SetBounds(10, 10, 380, 22);
  combo->SetDropDownCount(16);
  combo->SetParent(f);
  combo->GetFolder().SetPath(dir.Path("Project\\Sources"));
  combo->SetFocus();
  combo->SetDroppedDown(true);
  Pump();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo->Handle(), &info));
  ASSERT_TRUE(IsWindowVisible(info.hwndList));
  RECT lr{};
  GetWindowRect(info.hwndList, &lr);
  TCapture shot = CaptureScreen({0, 0, 640, 480});
  // The selected entry is highlighted somewhere in the list.
  int item = combo->ItemIndex();
  RECT ir{};
  SendMessageA(info.hwndList, LB_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(&ir));
  int highlighted = 0;
  for (int x = lr.left + ir.left; x < lr.left + ir.right; ++x)
    if (shot.PixelAt(x, lr.top + (ir.top + ir.bottom) / 2 + 1) == RGBOf(clHighlight)) ++highlighted;
  EXPECT_GT(highlighted, 5);
  if (const char* path = std::getenv("QUILTOR_SHELL_SCREENSHOT")) shot.SaveBmp(path);
  combo->SetDroppedDown(false);
}

}  // namespace

namespace {

// A folder whose comparison orders lists by their first payload byte and, when asked to,
// sorts again from inside the comparison.
class TSortFolder : public IShellFolder {
 public:
  bool reenter = false;
  std::string reentered;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, LPITEMIDLIST*, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToObject(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, LPCITEMIDLIST a, LPCITEMIDLIST b) override {
    if (reenter) {
      reenter = false;
      std::vector<LPITEMIDLIST> none;
      SortPidls(this, none);
    }
    int d = int(Bytes(a)[2]) - int(Bytes(b)[2]);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, uint16_t(int16_t(d)));
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, LPCITEMIDLIST*, SFGAOF*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, LPCITEMIDLIST*, REFIID, UINT*, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(LPCITEMIDLIST, SHGDNF, STRRET*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND, LPCITEMIDLIST, LPCWSTR, SHGDNF, LPITEMIDLIST*) override {
    return E_NOTIMPL;
  }
};

TEST(SortPidls, OrdersByTheFolderAndRefusesToBeEnteredAgain) {
  uint8_t lists[3][5] = {{3, 0, 'c', 0, 0}, {3, 0, 'a', 0, 0}, {3, 0, 'b', 0, 0}};
  std::vector<LPITEMIDLIST> v = {AsPidl(lists[0]), AsPidl(lists[1]), AsPidl(lists[2])};
  TSortFolder folder;
  SortPidls(&folder, v);
  EXPECT_EQ(v, (std::vector<LPITEMIDLIST>{AsPidl(lists[1]), AsPidl(lists[2]), AsPidl(lists[0])}));
  folder.reenter = true;
  try {
    SortPidls(&folder, v);
    ADD_FAILURE() << "entered again";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Recursive call to SortPidls");
  }
  EXPECT_EQ(v.size(), 3u);  // untouched by the failed sort
  EXPECT_EQ(std::count(v.begin(), v.end(), AsPidl(lists[0])), 1);
  SortPidls(&folder, v);  // the guard is down again after the failure
  EXPECT_EQ(Bytes(v[0])[2], 'a');
}

}  // namespace
