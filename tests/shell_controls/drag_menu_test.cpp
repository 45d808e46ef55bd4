// The data object, its enumerator and the drop source against the real shell (Wine's
// folder drop target reads our item-ID list array, DragQueryFileA our file drop block), the
// real context menus' verbs, and Send To with a shell menu of our own making, where the
// platform has no Send To submenu.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/testing/gui_test.h"
#include "shell_controls/drag_objects_win32.h"
#include "shell_controls/shell_menus_win32.h"
#include "shell_controls/shell_seam_win32.h"
#include "tests/shell_controls/shell_fakes_win32.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;
using Log = std::vector<std::string>;

class DragAndMenus : public TGuiTest {};

void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(h, "data", 4, &written, nullptr);
  CloseHandle(h);
}

// The data object of files of dir, as a list drag makes it.
TComPtr<IDataObject> DataOf(const ScratchDir& dir, const std::vector<std::string>& names, TPidl& parent,
                            std::vector<std::unique_ptr<TPidl>>& items) {
  EXPECT_TRUE(SUCCEEDED(PathToPidl(dir.Dir(), parent.Out())));
  std::vector<LPCITEMIDLIST> relative;
  std::vector<std::string> paths;
  for (const std::string& n : names) {
    TPidl absolute;
    EXPECT_TRUE(SUCCEEDED(PathToPidl(dir.Path(n), absolute.Out())));
    items.push_back(std::make_unique<TPidl>(CopyPidl(nullptr, AsPidl(shell::LastItem(Bytes(absolute.Get()))))));
    relative.push_back(items.back()->Get());
    paths.push_back(dir.Path(n));
  }
  return ComNew<IDataObject, TDataObject_shlv>(parent.Get(), relative, paths);
}

FORMATETC Query(CLIPFORMAT format, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT) {
  return FORMATETC{format, nullptr, aspect, -1, tymed};
}

TEST_F(DragAndMenus, TheDataObjectOffersThreeFormatsThatTheShellReads) {
  ScratchDir dir("qdrag");
  for (const char* n : {"a.txt", "b.txt", "c.txt"}) MakeFile(dir.Path(n));
  TPidl parent;
  std::vector<std::unique_ptr<TPidl>> items;
  TComPtr<IDataObject> data = DataOf(dir, {"a.txt", "b.txt", "c.txt"}, parent, items);

  IEnumFORMATETC* raw = nullptr;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &raw), S_OK);
  TComPtr<IEnumFORMATETC> formats(raw);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &raw), E_NOTIMPL);
  data.Reset();  // the enumerator keeps its data object
  FORMATETC got[4] = {};
  ULONG n = 0;
  EXPECT_EQ(formats->Next(4, got, &n), S_FALSE);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(got[0].cfFormat, CF_IDLIST);
  EXPECT_EQ(got[1].cfFormat, CF_HDROP);
  EXPECT_EQ(got[2].cfFormat, CF_TEXT);
  EXPECT_EQ(got[2].lindex, -1);
  formats->Reset();
  EXPECT_EQ(formats->Skip(1), S_OK);
  IEnumFORMATETC* cloneRaw = nullptr;
  ASSERT_EQ(formats->Clone(&cloneRaw), S_OK);
  TComPtr<IEnumFORMATETC> clone(cloneRaw);
  formats.Reset();
  EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(got[0].cfFormat, CF_HDROP);  // where its original stood
  EXPECT_EQ(clone->Skip(5), S_FALSE);
  clone.Reset();

  data = DataOf(dir, {"a.txt", "b.txt", "c.txt"}, parent, items);
  struct Q {
    FORMATETC f;
    HRESULT r;
  };
  for (const Q& q : {Q{Query(CF_TEXT), S_OK}, Q{Query(CF_TEXT, TYMED_FILE), DV_E_TYMED},
                     Q{Query(CF_BITMAP), DV_E_FORMATETC}, Q{Query(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON), DV_E_FORMATETC}}) {
    FORMATETC f = q.f;
    EXPECT_EQ(data->QueryGetData(&f), q.r) << f.cfFormat << " " << f.tymed << " " << f.dwAspect;
  }

  FORMATETC f = Query(CF_TEXT);
  STGMEDIUM m{};
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  EXPECT_EQ(m.tymed, DWORD(TYMED_HGLOBAL));
  EXPECT_EQ(m.pUnkForRelease, nullptr);
  std::vector<uint8_t> text = GlobalBytes(m.hGlobal);
  ReleaseStgMedium(&m);
  std::string expected = dir.Path("a.txt") + "\r\n" + dir.Path("b.txt") + "\r\n" + dir.Path("c.txt") + "\r\n";
  EXPECT_EQ(std::string(text.begin(), text.end()), expected + '\0');

  f = Query(CF_HDROP);
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  auto drop = static_cast<HDROP>(m.hGlobal);
  ASSERT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 3u);
  for (UINT i = 0; i < 3; ++i) {
    char name[MAX_PATH] = {};
    DragQueryFileA(drop, i, name, MAX_PATH);
    EXPECT_EQ(std::string(name), dir.Path(std::string(1, char('a' + i)) + ".txt"));
  }
  ReleaseStgMedium(&m);

  f = Query(CF_IDLIST);
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  std::vector<uint8_t> block = GlobalBytes(m.hGlobal);
  ReleaseStgMedium(&m);
  shell::TCida cida = shell::ParseCida(block.data(), block.size());
  ASSERT_TRUE(cida.Ok) << cida.Error;
  ASSERT_EQ(cida.Items.size(), 3u);
  EXPECT_EQ(PidlToPath(AsPidl(block.data() + cida.Parent.Offset)), dir.Dir());
  EXPECT_EQ(DroppedItemsEffects(data.Get()), DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK));

  // Wine's folder drop target takes the object.
  CreateDirectoryA(dir.Path("dest").c_str(), nullptr);
  TComRef<IShellFolder> folder;
  ASSERT_TRUE(SUCCEEDED(PidlBindToFolder(parent.Get(), *folder.Out())));
  TPidl dest;
  ASSERT_TRUE(SUCCEEDED(PathToPidl(dir.Path("dest"), dest.Out())));
  LPCITEMIDLIST destItem[1] = {AsPidl(shell::LastItem(Bytes(dest.Get())))};
  void* out = nullptr;
  ASSERT_TRUE(SUCCEEDED(folder->GetUIObjectOf(nullptr, 1, destItem, IID_IDropTarget, nullptr, &out)));
  TComRef<IDropTarget> target(static_cast<IDropTarget*>(out));
  // Wine's folder drop target answers by the modifier keys alone (none without one), and
  // only to a data object with an item-ID list array.
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragEnter(data.Get(), MK_LBUTTON | MK_CONTROL, POINTL{0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  target->DragLeave();
  TComPtr<IDataObject> namesOnly = ComNew<IDataObject, TFakeDataObject>(CF_HDROP, shell::BuildFileDrop({dir.Path("a.txt")}));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(namesOnly.Get(), MK_LBUTTON | MK_CONTROL, POINTL{0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  target->DragLeave();
}

TEST_F(DragAndMenus, AForeignArrayThatDoesNotReadAllowsEveryEffect) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
  };
  for (const Case& c : {Case{"cut short", {2, 0, 0, 0, 12, 0}}, Case{"an offset outside", {1, 0, 0, 0, 12, 0, 0, 0, 99, 0, 0, 0, 0, 0}}}) {
    SCOPED_TRACE(c.what);
    TComPtr<IDataObject> foreign = ComNew<IDataObject, TFakeDataObject>(CF_IDLIST, c.block);
    EXPECT_EQ(DroppedItemsEffects(foreign.Get()), DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK));
  }
  EXPECT_EQ(DroppedItemsEffects(nullptr), 7u);
}

TEST_F(DragAndMenus, TheDropSourceFollowsTheStartingButton) {
  TComPtr<IDropSource> left = ComNew<IDropSource, TDropSource_shlvtv>(0);
  TComPtr<IDropSource> right = ComNew<IDropSource, TDropSource_shlvtv>(1);
  EXPECT_EQ(left->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
  EXPECT_EQ(left->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(left->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(left->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(right->QueryContinueDrag(FALSE, MK_RBUTTON), S_OK);
  EXPECT_EQ(right->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST_F(DragAndMenus, RealMenusFindTheirVerbsAndRunNothingForAMissingOne) {
  ScratchDir dir("qmenu");
  MakeFile(dir.Path("keep.txt"));
  TPidl parent;
  ASSERT_TRUE(SUCCEEDED(PathToPidl(dir.Dir(), parent.Out())));
  TComRef<IShellFolder> folder;
  ASSERT_TRUE(SUCCEEDED(PidlBindToFolder(parent.Get(), *folder.Out())));
  TPidl file;
  ASSERT_TRUE(SUCCEEDED(PathToPidl(dir.Path("keep.txt"), file.Out())));
  LPCITEMIDLIST items[1] = {AsPidl(shell::LastItem(Bytes(file.Get())))};
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  ASSERT_TRUE(SUCCEEDED(BuildContextMenu(nullptr, folder.Get(), 1, items, menu, popup)));
  TQsShellMenu shown(menu, popup, nullptr, nullptr);
  EXPECT_GT(GetMenuItemCount(popup), 0);
  EXPECT_GE(FindVerb(menu, "delete"), 0);
  EXPECT_GE(FindVerb(menu, "DELETE"), 0);
  EXPECT_EQ(FindVerb(menu, "paste"), -1);
  EXPECT_EQ(FindVerb(menu, ""), -1);
  RunMenuCommand(nullptr, menu, "paste");  // no such verb: nothing runs
  EXPECT_NE(GetFileAttributesA(dir.Path("keep.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A SendTo folder of two shortcuts and a hidden file, and a shell menu with a Send To
// submenu (one grayed item) and a submenu the shell fills itself.
class SendToMenus : public DragAndMenus {
 protected:
  void SetUp() override {
    DragAndMenus::SetUp();
    MakeFile(sendTo.Path("Zeta Notes.lnk"));
    MakeFile(sendTo.Path("Alpha Drive.lnk"));
    MakeFile(sendTo.Path("desktop.ini"), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryA(sendTo.Path("Folder").c_str(), nullptr);
    shellFake.sendTo = sendTo.Dir();
    previous = SetQsShell(&shellFake);
  }
  void TearDown() override {
    SetQsShell(previous);
    DragAndMenus::TearDown();
  }
  ScratchDir sendTo{"qsendto"};
  TFakeShell shellFake;
  TQsShell* previous = nullptr;
};

TEST_F(SendToMenus, TheGrayedPopupBecomesTheSendToEntries) {
  TComPtr<TFakeContextMenu> fake(new TFakeContextMenu);
  HMENU popup = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(fake->QueryContextMenu(popup, 0, 50, 0x7FFF, CMF_EXPLORE)));
  fake->AddRef();
  std::vector<std::string> hints;
  TQsShellMenu shown(fake.Get(), popup, nullptr, [&](const std::string& h) { hints.push_back(h); });
  LRESULT r = 0;

  // The popup the shell fills stays as the shell made it.
  ASSERT_TRUE(shown.HandleMessage(WM_INITMENUPOPUP, WPARAM(fake->filled), 2, r));
  EXPECT_EQ(GetMenuItemCount(fake->filled), 2);
  EXPECT_EQ(shown.SendToPopup(), nullptr);
  ASSERT_TRUE(shown.HandleMessage(WM_INITMENUPOPUP, WPARAM(fake->sendTo), 1, r));
  EXPECT_EQ(shown.SendToPopup(), fake->sendTo);
  ASSERT_EQ(SendToList().size(), 2u);
  EXPECT_EQ(SendToList()[0].Name, "Alpha Drive.lnk");
  EXPECT_EQ(SendToList()[1].Name, "Zeta Notes.lnk");
  ASSERT_EQ(GetMenuItemCount(fake->sendTo), 2);
  EXPECT_EQ(GetMenuItemID(fake->sendTo, 0), 1u);
  EXPECT_EQ(GetMenuItemID(fake->sendTo, 1), 2u);
  EXPECT_EQ(GetMenuState(fake->sendTo, 0, MF_BYPOSITION) & MF_OWNERDRAW, UINT(MF_OWNERDRAW));
  EXPECT_EQ(fake->log, (Log{"menu msg 279", "menu msg 279"}));  // WM_INITMENUPOPUP, both popups
  fake->log.clear();

  // Owner drawing: ours for our entries, the shell's for the rest.
  MEASUREITEMSTRUCT mi{};
  mi.CtlType = ODT_MENU;
  mi.itemID = 2;
  ASSERT_TRUE(shown.HandleMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi), r));
  EXPECT_GT(mi.itemWidth, 32u);
  EXPECT_EQ(mi.itemHeight, UINT(GetSystemMetrics(SM_CYMENU) + 2));
  mi.itemID = 77;
  ASSERT_TRUE(shown.HandleMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi), r));
  EXPECT_EQ(fake->log, Log{"menu msg 44"});
  mi.CtlType = ODT_LISTBOX;
  EXPECT_FALSE(shown.HandleMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi), r));

  // Letters: "Z" runs its one entry, an unknown letter closes; other popups are not ours.
  ASSERT_TRUE(shown.HandleMessage(WM_MENUCHAR, MAKEWPARAM('z', MF_POPUP), reinterpret_cast<LPARAM>(fake->sendTo), r));
  EXPECT_EQ(r, MAKELRESULT(1, MNC_EXECUTE));
  ASSERT_TRUE(shown.HandleMessage(WM_MENUCHAR, MAKEWPARAM('q', MF_POPUP), reinterpret_cast<LPARAM>(fake->sendTo), r));
  EXPECT_EQ(HIWORD(r), MNC_CLOSE);
  EXPECT_FALSE(shown.HandleMessage(WM_MENUCHAR, MAKEWPARAM('z', MF_POPUP), reinterpret_cast<LPARAM>(popup), r));

  // Hints: a shell command's help text, nothing for a Send To entry.
  ASSERT_TRUE(shown.HandleMessage(WM_MENUSELECT, MAKEWPARAM(50, 0), reinterpret_cast<LPARAM>(popup), r));
  ASSERT_TRUE(shown.HandleMessage(WM_MENUSELECT, MAKEWPARAM(1, 0), reinterpret_cast<LPARAM>(fake->sendTo), r));
  EXPECT_EQ(hints, (Log{"Opens the item", ""}));

  // The chosen command.
  shellFake.command = 1;
  shell::TMenuChoice c = shown.Track(nullptr, 0, 0);
  EXPECT_EQ(c.Kind, shell::TMenuChoice::SendTo);
  EXPECT_EQ(c.Value, 0u);
  shellFake.command = 51;
  c = shown.Track(nullptr, 0, 0);
  EXPECT_EQ(c.Kind, shell::TMenuChoice::ShellCommand);
  EXPECT_EQ(c.Value, 1u);
}

TEST_F(SendToMenus, AnEntryGetsTheDataAsADropAndARefusingOneNone) {
  ScanSendTo();
  ASSERT_EQ(SendToList().size(), 2u);
  TComPtr<IDataObject> data = ComNew<IDataObject, TFakeDataObject>(CF_TEXT, std::vector<uint8_t>{'x', 0});
  SendTo(1, data.Get());
  EXPECT_EQ(shellFake.dropLog, (Log{"target Zeta Notes.lnk", "enter 1 1", "over 1 1", "drop 1 1"}));
  shellFake.dropLog.clear();
  shellFake.refuse = true;
  SendTo(0, data.Get());
  EXPECT_EQ(shellFake.dropLog, (Log{"target Alpha Drive.lnk", "enter 1 1", "leave"}));
}


// Our entries are drawn by us: the background in the menu's colours (highlight when
// selected), the name at 32 pixels; other owner-drawn items go to the shell's menu.
TEST_F(SendToMenus, EntriesAreDrawnInTheMenusColours) {
  TComPtr<TFakeContextMenu> fake(new TFakeContextMenu);
  HMENU popup = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(fake->QueryContextMenu(popup, 0, 50, 0x7FFF, CMF_EXPLORE)));
  fake->AddRef();
  TQsShellMenu shown(fake.Get(), popup, nullptr, nullptr);
  LRESULT r = 0;
  ASSERT_TRUE(shown.HandleMessage(WM_INITMENUPOPUP, WPARAM(fake->sendTo), 1, r));
  fake->log.clear();

  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 24);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  auto draw = [&](UINT id, UINT state) {
    DRAWITEMSTRUCT di{};
    di.CtlType = ODT_MENU;
    di.itemID = id;
    di.itemState = state;
    di.hDC = dc;
    di.rcItem = RECT{0, 0, 200, 24};
    return shown.HandleMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di), r);
  };
  auto pixel = [&](int x, int y) { return GetPixel(dc, x, y) & 0xFFFFFF; };
  auto textPixels = [&] {
    int n = 0;
    for (int x = 32; x < 120; ++x)
      for (int y = 2; y < 20; ++y)
        if (pixel(x, y) != pixel(2, 22)) ++n;
    return n;
  };
  ASSERT_TRUE(draw(1, 0));
  EXPECT_EQ(pixel(2, 22), GetSysColor(COLOR_MENU) & 0xFFFFFF);
  EXPECT_GT(textPixels(), 10);  // "Alpha Drive"
  ASSERT_TRUE(draw(2, ODS_SELECTED));
  EXPECT_EQ(pixel(2, 22), GetSysColor(COLOR_HIGHLIGHT) & 0xFFFFFF);
  EXPECT_GT(textPixels(), 10);
  EXPECT_TRUE(fake->log.empty());
  ASSERT_TRUE(draw(77, 0));  // not ours
  EXPECT_EQ(fake->log, Log{"menu msg 43"});
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// The default command runs only when the menu has one that is the shell's.
TEST_F(SendToMenus, TheDefaultCommandRunsOnlyWhenThereIsOne) {
  TComPtr<TFakeContextMenu> fake(new TFakeContextMenu);
  HMENU popup = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(fake->QueryContextMenu(popup, 0, 50, 0x7FFF, CMF_EXPLORE)));
  EXPECT_TRUE(RunDefaultCommand(nullptr, fake.Get(), popup));
  EXPECT_EQ(fake->log, Log{"invoke 0"});
  fake->log.clear();
  SetMenuDefaultItem(popup, UINT(-1), FALSE);  // no default
  EXPECT_FALSE(RunDefaultCommand(nullptr, fake.Get(), popup));
  AppendMenuA(popup, MF_STRING, 7, "Ours");
  SetMenuDefaultItem(popup, 7, FALSE);  // an identifier below the shell's
  EXPECT_FALSE(RunDefaultCommand(nullptr, fake.Get(), popup));
  EXPECT_TRUE(fake->log.empty());
  EXPECT_EQ(FindVerb(fake.Get(), "missing"), -1);
  RunMenuCommand(nullptr, fake.Get(), "missing");
  EXPECT_TRUE(fake->log.empty());
  RunMenuCommand(nullptr, fake.Get(), "PROPERTIES");
  EXPECT_EQ(fake->log, Log{"invoke 1"});
  DestroyMenu(popup);
}

// A SendTo folder of 52 entries fills the popup with the first 49 by name.
TEST_F(DragAndMenus, TheSendToPopupHoldsAtMost49Entries) {
  ScratchDir many("qsendto");
  for (int i = 0; i < 52; ++i) MakeFile(many.Path("entry " + std::to_string(100 + i) + ".lnk"));
  TFakeShell fakeShell;
  fakeShell.sendTo = many.Dir();
  TShellSeamScope seam(&fakeShell);
  TComPtr<TFakeContextMenu> fake(new TFakeContextMenu);
  HMENU popup = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(fake->QueryContextMenu(popup, 0, 50, 0x7FFF, CMF_EXPLORE)));
  fake->AddRef();
  TQsShellMenu shown(fake.Get(), popup, nullptr, nullptr);
  LRESULT r = 0;
  ASSERT_TRUE(shown.HandleMessage(WM_INITMENUPOPUP, WPARAM(fake->sendTo), 1, r));
  ASSERT_EQ(GetMenuItemCount(fake->sendTo), 49);
  EXPECT_EQ(GetMenuItemID(fake->sendTo, 48), 49u);
  EXPECT_EQ(SendToList()[48].Name, "entry 148.lnk");
  fake->log.clear();
  MEASUREITEMSTRUCT mi{};
  mi.CtlType = ODT_MENU;
  mi.itemID = 50;  // past the entries: the shell's
  ASSERT_TRUE(shown.HandleMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi), r));
  EXPECT_EQ(fake->log, Log{"menu msg 44"});
  fakeShell.command = 49;
  shell::TMenuChoice c = shown.Track(nullptr, 0, 0);
  EXPECT_EQ(c.Kind, shell::TMenuChoice::SendTo);
  EXPECT_EQ(c.Value, 48u);
}
}  // namespace
