// The shell list over the real shell on scratch folders: filling, the filter, the columns
// and sorting, the refresh after real change notifications, renaming, new folders, menus,
// keys and a real drag out; a folder of our own gives details and column orders, which
// the platform's folders lack.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "framework/core/sysutils.h"
#include "framework/testing/gui_test.h"
#include "shell_controls/shell_list_win32.h"
#include "shell_controls/shell_tree_win32.h"
#include "shell_controls/drag_objects_win32.h"
#include "shell_controls/shell_startup_win32.h"
#include "tests/shell_controls/shell_fakes_win32.h"
#include "tests/support/scratch_dir.h"

// The headers give IShellDetails no IID of its own for __uuidof.
__CRT_UUID_DECL(IShellDetails, 0x000214ec, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)

namespace {

using testsupport::ScratchDir;
using Log = std::vector<std::string>;

void MakeFile(const std::string& path, size_t bytes = 4) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  std::string data(bytes, 'x');
  DWORD written = 0;
  WriteFile(h, data.data(), DWORD(data.size()), &written, nullptr);
  CloseHandle(h);
}

// A folder that passes everything to a real one, but offers details (two columns, "Name"
// and a right-aligned "Length") and orders column 1 by the name backwards.
class TDetailsFolder : public TComObject<IShellFolder> {
 public:
  explicit TDetailsFolder(IShellFolder* real) : real_(real) { real_->AddRef(); }
  bool failEnum = false;
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND h, IBindCtx* b, LPWSTR n, ULONG* e, LPITEMIDLIST* l, ULONG* a) override {
    return real_->ParseDisplayName(h, b, n, e, l, a);
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND h, SHCONTF f, IEnumIDList** e) override {
    if (failEnum) return E_ACCESSDENIED;
    return real_->EnumObjects(h, f, e);
  }
  HRESULT STDMETHODCALLTYPE BindToObject(LPCITEMIDLIST l, IBindCtx* b, REFIID i, void** o) override {
    return real_->BindToObject(l, b, i, o);
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(LPCITEMIDLIST l, IBindCtx* b, REFIID i, void** o) override {
    return real_->BindToStorage(l, b, i, o);
  }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM column, LPCITEMIDLIST a, LPCITEMIDLIST b) override {
    if (column != 1) return real_->CompareIDs(column, a, b);
    int d = -AnsiCompareText(Name(a), Name(b));
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, uint16_t(int16_t(d < 0 ? -1 : d > 0 ? 1 : 0)));
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND h, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT n, LPCITEMIDLIST* l, SFGAOF* a) override {
    return real_->GetAttributesOf(n, l, a);
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND h, UINT n, LPCITEMIDLIST* l, REFIID i, UINT* r, void** o) override {
    return real_->GetUIObjectOf(h, n, l, i, r, o);
  }
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(LPCITEMIDLIST l, SHGDNF f, STRRET* s) override {
    return real_->GetDisplayNameOf(l, f, s);
  }
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND h, LPCITEMIDLIST l, LPCWSTR n, SHGDNF f, LPITEMIDLIST* o) override {
    return real_->SetNameOf(h, l, n, f, o);
  }
  std::string Name(LPCITEMIDLIST item) { return PidlDisplayName(real_, item, 1); }

 protected:
  ~TDetailsFolder() override { real_->Release(); }

 private:
  IShellFolder* real_;
};

class TFakeDetails : public TComObject<IShellDetails> {
 public:
  explicit TFakeDetails(TDetailsFolder* folder) : folder_(folder) { folder_->AddRef(); }
  HRESULT STDMETHODCALLTYPE GetDetailsOf(LPCITEMIDLIST item, UINT column, SHELLDETAILS* out) override {
    if (column > 1) return E_INVALIDARG;
    std::string text = !item ? (column == 0 ? "Name" : "Length") : column == 0 ? folder_->Name(item) : "len " + folder_->Name(item);
    out->fmt = column == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    out->cxChar = 10;
    out->str.uType = STRRET_WSTR;
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    out->str.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(size_t(n) * sizeof(wchar_t)));
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out->str.pOleStr, n);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ColumnClick(UINT) override { return S_FALSE; }

 protected:
  ~TFakeDetails() override { folder_->Release(); }

 private:
  TDetailsFolder* folder_;
};

HRESULT TDetailsFolder::CreateViewObject(HWND, REFIID iid, void** out) {
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IShellDetails)) return E_NOINTERFACE;
  *out = static_cast<IShellDetails*>(new TFakeDetails(this));
  return S_OK;
}

class ShellList : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    previous = SetQsShell(&shellFake);
    shellFake.recordDrops = false;
  }
  void TearDown() override {
    SetQsShell(previous);
    TGuiTest::TearDown();
  }
  TQsShellList* MakeList(const std::string& folder, TQsShellListOptions drop = 0, int left = 0) {
    if (!form) {
      form = new TForm(Application);
      Track(form);
      form->SetBounds(40, 40, 640, 300);
      form->Show();
    }
    auto* list = new TQsShellList(form);
    list->SetBounds(left, 0, 300, 260);
    list->SetViewStyle(TViewStyle::vsReport);
    list->SetMultiSelect(true);
    list->SetOptions(list->Options() & ~drop);
    list->Folder().SetPath(folder);
    list->SetParent(form);
    Pump();
    return list;
  }
  // The captions in list order.
  static Log Names(TQsShellList& l) {
    Log r;
    for (int i = 0; i < l.Items().Count(); ++i) r.push_back(l.GetItemData(i)->GetDisplayName());
    return r;
  }
  static std::string Text(TQsShellList& l, int item, int column) {
    char buf[256] = {};
    LVITEMA it{};
    it.iSubItem = column;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(l.Handle(), LVM_GETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(&it));
    return buf;
  }
  static void ClickHeader(TQsShellList& l, int column) {
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = l.Handle();
    nm.hdr.idFrom = UINT_PTR(GetDlgCtrlID(l.Handle()));
    nm.hdr.code = UINT(LVN_COLUMNCLICK);
    nm.iItem = -1;
    nm.iSubItem = column;
    SendMessageA(l.Parent()->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  }
  TForm* form = nullptr;
  TFakeShell shellFake;
  TQsShell* previous = nullptr;
};

TEST_F(ShellList, FillsFiltersShowsDetailsAndSortsByItsHeaders) {
  ScratchDir dir("qlist");
  CreateDirectoryA(dir.Path("sub").c_str(), nullptr);
  MakeFile(dir.Path("a.txt"), 1536);
  MakeFile(dir.Path("b.doc"));
  MakeFile(dir.Path("c.bin"), 5000000);
  int fills = 0;
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  list->OnFillComplete = TNotifyEvent([&](TObject*) { ++fills; });
  list->Refresh();
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(Names(*list), (Log{"sub", "a.txt", "b.doc", "c.bin"}));
  ASSERT_EQ(list->Columns().Count(), 4);
  Log captions;
  for (int i = 0; i < 4; ++i) captions.push_back(list->Columns().Item(i)->Caption());
  EXPECT_EQ(captions, (Log{"Name", "Size", "Type", "Modified"}));
  EXPECT_EQ(list->Columns().Item(1)->Alignment(), TAlignment::taRightJustify);
  EXPECT_EQ(Text(*list, 1, 0), "a.txt");
  EXPECT_EQ(Text(*list, 1, 1), "2KB");
  EXPECT_EQ(Text(*list, 3, 1), "4,883KB");
  EXPECT_EQ(Text(*list, 0, 1), "");  // folders have no size
  EXPECT_FALSE(Text(*list, 1, 3).empty());
  EXPECT_FALSE(list->HasShellDetails());

  struct Filter {
    const char* masks;
    Log names;
  };
  for (const Filter& f : {Filter{"*.txt;*.doc", {"sub", "a.txt", "b.doc"}}, Filter{"*.*", {"sub", "a.txt", "b.doc", "c.bin"}},
                          Filter{"*.none", {"sub"}}, Filter{"", {"sub", "a.txt", "b.doc", "c.bin"}}}) {
    SCOPED_TRACE(f.masks);
    list->SetFileFilter(f.masks);
    EXPECT_EQ(Names(*list), f.names);
  }

  // "Size" twice: by size, then descending; the real folder orders by name within it.
  ClickHeader(*list, 1);
  EXPECT_EQ(list->SortColumn(), 2);
  ClickHeader(*list, 1);
  EXPECT_EQ(list->SortColumn(), -2);
  ClickHeader(*list, 0);
  EXPECT_EQ(list->SortColumn(), 1);
  EXPECT_EQ(Names(*list), (Log{"sub", "a.txt", "b.doc", "c.bin"}));
  EXPECT_EQ(SendMessageA(list->Handle(), kGetShellBrowserMessage, 0, 0), 0);  // no explorer here
}

// An explorer instance that answers IShellBrowser with an object of its own; the list hands
// that out to the asker and keeps no reference to either.
class TFakeExplorer : public TComObject<IUnknown> {
 public:
  explicit TFakeExplorer(IUnknown* browser) : browser_(browser) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualIID(iid, IID_IShellBrowser)) return TComObject<IUnknown>::QueryInterface(iid, out);
    if (!browser_) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    browser_->AddRef();
    *out = browser_;
    return S_OK;
  }

 private:
  IUnknown* browser_;
};

class TFakeBrowser : public TComObject<IUnknown> {};

TEST_F(ShellList, AnswersTheShellsRequestForItsBrowserWithTheExplorersOwn) {
  ScratchDir dir("qlist");
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  TComPtr<TFakeBrowser> browser(new TFakeBrowser);
  TComPtr<TFakeExplorer> explorer(new TFakeExplorer(browser.Get()));
  TComPtr<TFakeExplorer> without(new TFakeExplorer(nullptr));
  struct Unset {
    ~Unset() { SHSetInstanceExplorer(nullptr); }
  } unset;
  SHSetInstanceExplorer(explorer.Get());
  ULONG explorerRefs = explorer->RefCount();
  EXPECT_EQ(SendMessageA(list->Handle(), kGetShellBrowserMessage, 0, 0),
            reinterpret_cast<LRESULT>(static_cast<IUnknown*>(browser.Get())));
  EXPECT_EQ(browser->RefCount(), 1u);  // the explorer's reference and the asker's are both given back
  EXPECT_EQ(explorer->RefCount(), explorerRefs);
  SHSetInstanceExplorer(without.Get());
  explorerRefs = without->RefCount();
  EXPECT_EQ(SendMessageA(list->Handle(), kGetShellBrowserMessage, 0, 0), 0);  // an explorer without one
  EXPECT_EQ(without->RefCount(), explorerRefs);
}

TEST_F(ShellList, AFolderWithDetailsGivesItsColumnsAndOrders) {
  ScratchDir dir("qlist");
  for (const char* n : {"alpha.txt", "beta.txt", "gamma.txt"}) MakeFile(dir.Path(n));
  TDetailsFolder* wrapped = nullptr;
  shellFake.bind = [&](LPCITEMIDLIST list, IShellFolder*& out) {
    IShellFolder* real = nullptr;
    HRESULT hr = PidlBindToFolder(list, real);
    if (FAILED(hr)) return hr;
    wrapped = new TDetailsFolder(real);
    real->Release();
    out = wrapped;
    return S_OK;
  };
  QsColumnLayout().Stream.Clear();  // no widths saved by an earlier list
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  ASSERT_TRUE(list->HasShellDetails());
  ASSERT_EQ(list->Columns().Count(), 2);
  EXPECT_EQ(list->Columns().Item(1)->Caption(), "Length");
  EXPECT_EQ(list->Columns().Item(1)->Width(), 7 * 6);
  EXPECT_EQ(list->Columns().Item(1)->Alignment(), TAlignment::taRightJustify);
  EXPECT_EQ(Text(*list, 0, 1), "len alpha.txt");
  EXPECT_EQ(list->Items()[0]->SubItems().Count(), 1);
  ClickHeader(*list, 1);
  EXPECT_EQ(Names(*list), (Log{"gamma.txt", "beta.txt", "alpha.txt"}));
  ClickHeader(*list, 1);
  EXPECT_EQ(Names(*list), (Log{"alpha.txt", "beta.txt", "gamma.txt"}));

  // A fill that fails keeps the folder it had, whole.
  IShellFolder* before = list->ShellFolder();
  std::string beforePath = PidlToPath(list->FolderIdList());
  ScratchDir other("qlist");
  shellFake.bind = [&](LPCITEMIDLIST l, IShellFolder*& out) {
    IShellFolder* real = nullptr;
    HRESULT hr = PidlBindToFolder(l, real);
    if (FAILED(hr)) return hr;
    auto* failing = new TDetailsFolder(real);
    real->Release();
    failing->failEnum = true;
    out = failing;
    return S_OK;
  };
  EXPECT_THROW(list->Folder().SetPath(other.Dir()), EOleError);
  EXPECT_EQ(list->Items().Count(), 0);  // the items cleared before stay cleared
  EXPECT_EQ(list->ShellFolder(), before);
  EXPECT_EQ(PidlToPath(list->FolderIdList()), beforePath);
  EXPECT_TRUE(list->HasShellDetails());
}

TEST_F(ShellList, RefreshesAfterChangesAndRenamesWithoutADuplicate) {
  ScratchDir dir("qlist");
  MakeFile(dir.Path("one.txt"));
  TQsShellList* list = MakeList(dir.Dir());
  EXPECT_EQ(Names(*list), Log{"one.txt"});
  MakeFile(dir.Path("two.txt"));
  EXPECT_TRUE(PumpUntil([&] { return list->Items().Count() == 2; }, 6000)) << "the new file did not come";
  ASSERT_TRUE(DeleteFileA(dir.Path("one.txt").c_str()));
  EXPECT_TRUE(PumpUntil([&] { return Names(*list) == Log{"two.txt"}; }, 6000)) << "the deleted file stayed";

  int deleted = 0;
  list->OnDeleteItem = TQsShListDeleteItemEvent([&](TObject*, TListItem*, TQsShListData* d) {
    ++deleted;
    EXPECT_NE(d, nullptr);
  });
  list->SetFocus();
  TListItem* item = list->Items()[0];
  ASSERT_TRUE(item->EditCaption());
  HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "renamed.txt");
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_NE(GetFileAttributesA(dir.Path("renamed.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(list->GetItemData(0)->GetPath(), dir.Path("renamed.txt"));  // the cached list went
  PumpUntil([] { return false; }, 3000);  // every notification of the rename has come and gone
  EXPECT_EQ(Names(*list), Log{"renamed.txt"});
  EXPECT_EQ(deleted, 0);
}

// A shell list arranges its icons from the start, a plain list view does not: the form text
// holds the arrangement only where it differs from a new list of the same class, so an
// unarranged shell list reads back unarranged.
TEST_F(ShellList, StoresItsIconArrangementWhereItDiffersFromANewList) {
  auto* original = new TForm(Application);
  Track(original);
  original->SetName("arranged");
  auto* shell = new TQsShellList(original);
  shell->SetName("shell");
  shell->SetParent(original);
  auto* plain = new TListView(original);
  plain->SetName("plain");
  plain->SetParent(original);
  // Their own image lists are made by the shell controls, never read from the text.
  auto* tree = new TQsShellTree(original);
  tree->SetName("tree");
  tree->SetParent(original);
  EXPECT_TRUE(shell->IconOptions().AutoArrange());
  EXPECT_FALSE(plain->IconOptions().AutoArrange());
  std::string fresh = WriteFormText(*original);
  EXPECT_EQ(fresh.find("AutoArrange"), std::string::npos);
  EXPECT_EQ(fresh.find("Images"), std::string::npos) << fresh;

  shell->IconOptions().SetAutoArrange(false);
  plain->IconOptions().SetAutoArrange(true);
  std::string text = WriteFormText(*original);
  auto* copy = new TForm(Application);
  Track(copy);
  ReadForm(*copy, text, "arranged");
  auto* shellRead = dynamic_cast<TQsShellList*>(copy->FindComponent("shell"));
  auto* plainRead = dynamic_cast<TListView*>(copy->FindComponent("plain"));
  ASSERT_NE(shellRead, nullptr);
  ASSERT_NE(plainRead, nullptr);
  EXPECT_FALSE(shellRead->IconOptions().AutoArrange());
  EXPECT_TRUE(plainRead->IconOptions().AutoArrange());
  auto* treeRead = dynamic_cast<TQsShellTree*>(copy->FindComponent("tree"));
  ASSERT_NE(treeRead, nullptr);
  EXPECT_NE(treeRead->Images(), nullptr);
  EXPECT_NE(shellRead->SmallImages(), nullptr);
}

// Read-only is asked of the shell only for items that are not on a removable drive; the
// drive type is asked of the item's drive root.
TEST_F(ShellList, LeavesReadOnlyOutOnRemovableDrives) {
  ScratchDir dir("qlist");
  MakeFile(dir.Path("locked.txt"));
  ASSERT_TRUE(SetFileAttributesA(dir.Path("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  struct Writable {
    std::string path;
    ~Writable() { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
  } writable{dir.Path("locked.txt")};
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  ASSERT_EQ(list->Items().Count(), 1);
  TQsShListData* d = list->GetItemData(0);
  Log asked;
  UINT type = DRIVE_FIXED;
  shellFake.driveType = [&](const std::string& root) {
    asked.push_back(root);
    return type;
  };
  const ULONG mask = SFGAO_READONLY | SFGAO_FILESYSTEM;
  EXPECT_EQ(d->GetAttributes(mask) & mask, mask);  // a fixed drive: the shell tells
  type = DRIVE_REMOVABLE;
  EXPECT_EQ(d->GetAttributes(mask) & mask, ULONG(SFGAO_FILESYSTEM));
  EXPECT_EQ(asked, (Log{dir.Dir().substr(0, 3), dir.Dir().substr(0, 3)}));
  asked.clear();
  EXPECT_EQ(d->GetAttributes(SFGAO_FILESYSTEM) & SFGAO_FILESYSTEM, ULONG(SFGAO_FILESYSTEM));
  EXPECT_TRUE(asked.empty());  // no read-only asked, no drive type
}

TEST_F(ShellList, MakesNewFoldersAndRefusesWhereThereIsNoPath) {
  ScratchDir dir("qlist");
  CreateDirectoryA(dir.Path("New Folder").c_str(), nullptr);
  CreateDirectoryA(dir.Path("New Folder (2)").c_str(), nullptr);
  TQsShellList* list = MakeList(dir.Dir());
  ASSERT_TRUE(list->CreateNewFolder(true));
  EXPECT_NE(GetFileAttributesA(dir.Path("New Folder (3)").c_str()), INVALID_FILE_ATTRIBUTES);
  Log names = Names(*list);
  EXPECT_EQ(std::count(names.begin(), names.end(), "New Folder (3)"), 1);
  EXPECT_TRUE(PumpUntil([&] { return list->IsEditing(); }, 2000)) << "no label edit on the new folder";
  SendMessageA(list->Handle(), LVM_CANCELEDITLABEL, 0, 0);

  TPidl drives;
  ASSERT_TRUE(SUCCEEDED(SpecialFolderPidl(nullptr, CSIDL_DRIVES, drives.Out())));
  list->Folder().SetIdList(drives.Get());
  Boxes.Expect("Unable to create the folder 'New Folder'", IDOK);
  EXPECT_FALSE(list->CreateNewFolder(false));
}

TEST_F(ShellList, MenusKeysAndGoingUp) {
  ScratchDir dir("qlist");
  CreateDirectoryA(dir.Path("inner").c_str(), nullptr);
  MakeFile(dir.Path("inner\\x.txt"));
  MakeFile(dir.Path("y.txt"));
  shellFake.fakeMenus = true;
  TQsShellList* list = MakeList(dir.Path("inner"), qssloDynamicRefresh);
  list->SetFocus();
  PressKey(VK_DELETE);  // nothing selected: nothing runs
  EXPECT_FALSE(shellFake.lastMenu);
  list->ShowShellMenu({5, 5});
  EXPECT_TRUE(shellFake.menuLog.empty());  // no selection, no menu
  PressKey('A', ssCtrl);
  EXPECT_EQ(list->SelCount(), 1);
  shellFake.command = 50;
  list->ShowShellMenu({5, 5});
  ASSERT_TRUE(shellFake.lastMenu);
  EXPECT_EQ(shellFake.menuLog, Log{"track"});
  EXPECT_EQ(shellFake.lastMenu->log, Log{"invoke 0"});
  PressKey(VK_BACK);
  EXPECT_EQ(list->Folder().GetPath(), dir.Dir());
  EXPECT_EQ(Names(*list), (Log{"inner", "y.txt"}));
}

TEST_F(ShellList, FollowsItsPathCombo) {
  ScratchDir dir("qlist");
  CreateDirectoryA(dir.Path("Deeper").c_str(), nullptr);
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  auto* combo = new TQsShellCombo(form);
  combo->SetBounds(320, 0, 300, 22);
  combo->SetParent(form);
  EXPECT_FALSE(list->IsLinked());
  list->SetShellCombo(combo);
  EXPECT_TRUE(list->IsLinked());
  EXPECT_EQ(combo->ShellList(), list);
  combo->GetFolder().SetPath(dir.Path("Deeper"));
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("Deeper"));
  list->GoUp(1);
  EXPECT_EQ(combo->GetFolder().GetPath(), dir.Dir());
  EXPECT_EQ(list->Folder().GetPath(), dir.Dir());
  // A linked list leaves its folder to the combo in a form text; an unlinked one stores it.
  form->SetName("linked");
  list->SetName("list");
  combo->SetName("combo");
  std::string linked = WriteFormText(*form);
  EXPECT_EQ(linked.find("Folder.Pidl"), std::string::npos) << linked;
  EXPECT_NE(linked.find("ShellList = list"), std::string::npos) << linked;
  combo->Free();
  EXPECT_FALSE(list->IsLinked());
  EXPECT_NE(WriteFormText(*form).find("Folder.Pidl"), std::string::npos);
}

// A real drag: the cursor presses on an item of one list, moves onto another list and lets
// go; the second list hands the drop to its folder's target, which records it. A file made
// in the source folder during the drag is in the source list as soon as the drag ends: the
// change it brought waited for the drag's end.
TEST_F(ShellList, DragsItemsOutOntoAnotherListsFolderTarget) {
  ScratchDir from("qdrag"), to("qdrop");
  MakeFile(from.Path("moved.txt"));
  shellFake.recordDrops = true;
  TQsShellList* source = MakeList(from.Dir());
  TQsShellList* target = MakeList(to.Dir(), qssloDynamicRefresh, 320);
  SetForegroundWindow(form->Handle());
  Pump();
  TRect r = source->Items()[0]->DisplayRect(TDisplayCode::drLabel);
  TPoint start = source->ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
  TPoint end = target->ClientToScreen({150, 150});
  std::atomic<bool> done{false};
  std::thread mouse = StartMouseDrag(start, end, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 600, done,
                                     [&] { MakeFile(from.Path("arrived.txt")); });
  // The drop happens inside the drag's own message loop; the first look after it returns
  // sees the source list as the end of the drag left it.
  Log sourceAfterDrop;
  PumpUntil([&] {
    if (sourceAfterDrop.empty() && !shellFake.dropLog.empty() && shellFake.dropLog.back().rfind("drop ", 0) == 0)
      sourceAfterDrop = Names(*source);
    return done.load() && !source->DraggingOut();
  }, 10000);
  mouse.join();
  EXPECT_EQ(sourceAfterDrop, (Log{"arrived.txt", "moved.txt"}));
  EXPECT_FALSE(source->RefreshPending());
  ASSERT_FALSE(shellFake.dropLog.empty());
  std::string last = shellFake.dropLog.back();
  EXPECT_EQ(last.rfind("drop 1 ", 0), 0u) << last;
  std::string folderName = ExtractFileName(to.Dir());
  EXPECT_NE(std::find(shellFake.dropLog.begin(), shellFake.dropLog.end(), "target " + folderName),
            shellFake.dropLog.end());
  EXPECT_FALSE(target->RefreshPending());
}


// A real drag that ends on the free space of its own list: with the left button nothing is
// dropped; with the right button the shown folder's own target gets the drop, without the
// move effect and with the right button in the key state.
TEST_F(ShellList, ADragOntoItsOwnListDropsOnlyWithTheRightButtonAndNeverMoves) {
  ScratchDir dir("qdrag");
  MakeFile(dir.Path("kept.txt"));
  shellFake.recordDrops = true;
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  SetForegroundWindow(form->Handle());
  Pump();
  struct Case {
    const char* what;
    DWORD down, up;
    bool drops;
  };
  for (const Case& c : {Case{"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, false},
                        Case{"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, true}}) {
    SCOPED_TRACE(c.what);
    shellFake.dropLog.clear();
    TRect r = list->Items()[0]->DisplayRect(TDisplayCode::drLabel);
    TPoint start = list->ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    TPoint end = list->ClientToScreen({150, 200});
    std::atomic<bool> done{false};
    std::thread mouse = StartMouseDrag(start, end, c.down, c.up, 300, done);
    PumpUntil([&] { return done.load() && !list->DraggingOut(); }, 10000);
    mouse.join();
    Log drops;
    for (const std::string& e : shellFake.dropLog)
      if (e.rfind("drop ", 0) == 0 || e.rfind("target ", 0) == 0) drops.push_back(e);
    if (!c.drops) {
      EXPECT_TRUE(std::find_if(drops.begin(), drops.end(), [](const std::string& e) { return e.rfind("drop ", 0) == 0; }) ==
                  drops.end()) << shellFake.dropLog.size();
      continue;
    }
    ASSERT_GE(drops.size(), 2u);
    EXPECT_EQ(drops[drops.size() - 2], "target " + ExtractFileName(dir.Dir()));
    std::string last = drops.back();
    ASSERT_EQ(last.rfind("drop 2 ", 0), 0u) << last;  // the right button, remembered
    DWORD effect = DWORD(std::stoul(last.substr(7)));
    EXPECT_NE(effect, 0u);
    EXPECT_EQ(effect & DROPEFFECT_MOVE, 0u);
  }
}

// Drops from outside: over an item the item's target takes them, over free space the
// shown folder's; a target that takes no effect gets no drop; near an edge the list
// scrolls, no faster than every 200 ms, and says so in the effect.
TEST_F(ShellList, DropsGoToTheItemOrTheFolderAndTheListScrollsAtItsEdges) {
  ScratchDir dir("qlist");
  for (int i = 0; i < 40; ++i) MakeFile(dir.Path("f" + IntToStr(100 + i) + ".txt"));
  shellFake.recordDrops = true;
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  TComPtr<IDataObject> data = ComNew<IDataObject, TFakeDataObject>(CF_TEXT, std::vector<uint8_t>{'x', 0});
  TRect r = list->Items()[0]->DisplayRect(TDisplayCode::drLabel);
  TPoint onItem = list->ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
  TPoint free = list->ClientToScreen({280, 120});
  auto at = [](TPoint p) { return POINTL{p.X, p.Y}; };

  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  list->DragEnter(data.Get(), MK_LBUTTON, at(onItem), effect);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  EXPECT_TRUE(list->Items()[0]->DropTarget());
  EXPECT_EQ(shellFake.dropLog.front(), "target f100.txt");
  shellFake.dropLog.clear();
  effect = DROPEFFECT_COPY;
  list->Drop(data.Get(), MK_LBUTTON, at(free), effect);
  EXPECT_EQ(shellFake.dropLog, (Log{"target " + ExtractFileName(dir.Dir()), "enter 1 1", "over 1 1", "drop 1 1"}));
  EXPECT_FALSE(list->Items()[0]->DropTarget());

  shellFake.refuse = true;
  shellFake.dropLog.clear();
  effect = DROPEFFECT_COPY;
  list->Drop(data.Get(), MK_LBUTTON, at(free), effect);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(std::count(shellFake.dropLog.begin(), shellFake.dropLog.end(), "drop 1 1"), 0);
  shellFake.refuse = false;

  // At the bottom edge: the scroll flag at once, a line down after 200 ms.
  int top = int(SendMessageA(list->Handle(), LVM_GETTOPINDEX, 0, 0));
  TPoint bottom = list->ClientToScreen({150, list->ClientHeight() - 5});
  effect = DROPEFFECT_COPY;
  list->DragEnter(data.Get(), MK_LBUTTON, at(bottom), effect);
  effect = DROPEFFECT_COPY;
  list->DragOver(MK_LBUTTON, at(bottom), effect);
  EXPECT_TRUE(effect & DROPEFFECT_SCROLL);
  EXPECT_EQ(int(SendMessageA(list->Handle(), LVM_GETTOPINDEX, 0, 0)), top);
  Sleep(250);
  effect = DROPEFFECT_COPY;
  list->DragOver(MK_LBUTTON, at(bottom), effect);
  EXPECT_GT(int(SendMessageA(list->Handle(), LVM_GETTOPINDEX, 0, 0)), top);
  // In the middle nothing scrolls.
  effect = DROPEFFECT_COPY;
  list->DragOver(MK_LBUTTON, at(free), effect);
  EXPECT_FALSE(effect & DROPEFFECT_SCROLL);
  list->DragLeave();
}

TEST_F(ShellList, CustomDrawEventsSeeEachItemWithItsData) {
  ScratchDir dir("qlist");
  MakeFile(dir.Path("drawn.txt"));
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  Log item, every;
  list->OnCustomDrawSh = TQsShLvCustomDrawEvent([&](TObject*, TQsCustomDraw* c, TListItem*, TQsShListData* d) {
    item.push_back(d ? d->GetDisplayName() : "-");
    c->TextColor() = RGB(255, 0, 0);
  });
  list->OnCustomDrawShEx = TQsShLvCustomDrawEvent([&](TObject*, TQsCustomDraw* c, TListItem*, TQsShListData* d) {
    every.push_back(IntToHex(c->Stage(), 5) + (d ? " " + d->GetDisplayName() : ""));
  });
  InvalidateRect(list->Handle(), nullptr, TRUE);
  UpdateWindow(list->Handle());
  ASSERT_FALSE(item.empty());
  EXPECT_EQ(item[0], "drawn.txt");
  EXPECT_NE(std::find(every.begin(), every.end(), "00001"), every.end());            // pre-paint, no item
  EXPECT_NE(std::find(every.begin(), every.end(), "10001 drawn.txt"), every.end());  // the item's
}

// Opening: a folder and a shortcut to a folder move the list; a file goes to
// OnDblClickOpen, which may keep the shell's default command from running; a double
// click opens the selection.
TEST_F(ShellList, DoubleClicksAndShortcutsOpenFoldersInPlace) {
  ScratchDir dir("qlist");
  CreateDirectoryA(dir.Path("inside").c_str(), nullptr);
  MakeFile(dir.Path("inside\\deep.txt"));
  MakeFile(dir.Path("plain.txt"));
  {
    TComRef<IShellLinkA> l;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void**>(l.Out()))));
    l->SetPath(dir.Path("inside").c_str());
    TComRef<IPersistFile> f;
    ASSERT_TRUE(SUCCEEDED(l->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(f.Out()))));
    std::string link = dir.Path("to inside.lnk");
    std::wstring wide(link.begin(), link.end());
    ASSERT_TRUE(SUCCEEDED(f->Save(wide.c_str(), TRUE)));
  }
  TQsShellList* list = MakeList(dir.Dir(), qssloDynamicRefresh);
  int asked = 0;
  list->OnDblClickOpen = TQsShDblClickOpenEvent([&](TObject*, bool& handled) {
    ++asked;
    handled = true;
  });
  auto find = [&](const std::string& name) {
    for (int i = 0; i < list->Items().Count(); ++i)
      if (list->GetItemData(i)->GetFileName() == name) return list->Items()[i];
    return static_cast<TListItem*>(nullptr);
  };
  ASSERT_NE(find("plain.txt"), nullptr);
  ASSERT_NE(find("to inside.lnk"), nullptr);
  // A shortcut carries the shortcut overlay (image 2), a plain file none.
  auto overlay = [&](const std::string& name) {
    return UINT(SendMessageA(list->Handle(), LVM_GETITEMSTATE, WPARAM(find(name)->Index()), LVIS_OVERLAYMASK));
  };
  EXPECT_EQ(overlay("to inside.lnk"), UINT(INDEXTOOVERLAYMASK(2)));
  EXPECT_EQ(overlay("plain.txt"), 0u);
  list->OpenItem(find("plain.txt"));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(list->Folder().GetPath(), dir.Dir());

  ASSERT_NE(find("to inside.lnk"), nullptr);
  list->OpenItem(find("to inside.lnk"));
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("inside"));
  EXPECT_EQ(Names(*list), Log{"deep.txt"});

  list->GoUp(1);
  TListItem* inside = find("inside");
  ASSERT_NE(inside, nullptr);
  list->SetFocus();
  inside->SetSelected(true);
  inside->SetFocused(true);
  TRect r = inside->DisplayRect(TDisplayCode::drLabel);
  SendMessageA(list->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  SendMessageA(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  Pump();
  EXPECT_EQ(list->Folder().GetPath(), dir.Path("inside"));
}
}  // namespace
