// The item-ID list routines and shell texts over the real shell, in scratch folders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/core/shortcut.h"
#include "framework/core/sysutils.h"
#include "shell_controls/shell_utils_win32.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;

LPITEMIDLIST Parse(const std::string& path) {
  LPITEMIDLIST l = nullptr;
  EXPECT_TRUE(SUCCEEDED(PathToPidl(path, l))) << path;
  return l;
}

TEST(ShellUtils, PathsAndListsRoundTripAndCompare) {
  ScratchDir dir("qsh");
  CreateDirectoryA(dir.Path("Sub").c_str(), nullptr);
  testsupport::WriteFileBytes(dir.Path("Sub\\file.txt"), "x");
  TPidl folder(Parse(dir.Dir())), sub(Parse(dir.Path("Sub"))), file(Parse(dir.Path("Sub\\file.txt")));
  ASSERT_TRUE(folder.Get() && sub.Get() && file.Get());
  EXPECT_EQ(PidlToPath(sub.Get()), dir.Path("Sub"));
  EXPECT_EQ(PidlToPath(file.Get()), dir.Path("Sub\\file.txt"));
  EXPECT_EQ(shell::ListCount(Bytes(sub.Get())), shell::ListCount(Bytes(folder.Get())) + 1);
  EXPECT_EQ(PidlSize(nullptr), 0u);

  // The parent of the sub-folder, and the sub-folder joined back on.
  shell::TQsIdListArray path(Bytes(sub.Get()), ShellAllocator());
  EXPECT_EQ(ComparePidls(AsPidl(path.GetAncestor(1)), folder.Get()), 0);
  TPidl rejoined(ConcatPidls(nullptr, folder.Get(), AsPidl(shell::LastItem(Bytes(sub.Get())))));
  EXPECT_EQ(ComparePidls(rejoined.Get(), sub.Get()), 0);
  TPidl copy(CopyPidl(nullptr, file.Get())), subAgain(Parse(dir.Path("Sub")));
  EXPECT_EQ(PidlSize(copy.Get()), PidlSize(file.Get()));

  static const uint8_t kEmpty[2] = {0, 0};
  LPCITEMIDLIST empty = AsPidl(kEmpty);
  struct Case {
    const char* what;
    LPCITEMIDLIST a, b;
    int expected;  // 2: any non-zero other than the failure value
  };
  for (const Case& c : std::vector<Case>{{"nil and nil", nullptr, nullptr, 0},
                                         {"nil and empty", nullptr, empty, -1},
                                         {"empty and empty", empty, empty, 0},
                                         {"empty and a folder", empty, sub.Get(), -1},
                                         {"the same folder parsed twice", sub.Get(), subAgain.Get(), 0},
                                         {"a folder and its child", sub.Get(), file.Get(), 2}}) {
    SCOPED_TRACE(c.what);
    int r = ComparePidls(c.a, c.b);
    if (c.expected == 2) {
      EXPECT_NE(r, 0);
      EXPECT_NE(r, 0x7FFFFFFF);
      EXPECT_EQ(ComparePidls(c.b, c.a) < 0, r > 0);
    } else {
      EXPECT_EQ(r, c.expected);
    }
  }

  IShellFolder* bound = nullptr;
  ASSERT_TRUE(SUCCEEDED(PidlBindToFolder(sub.Get(), bound)));
  TComRef<IShellFolder> subFolder(bound);
  EXPECT_EQ(PidlDisplayName(subFolder.Get(), AsPidl(shell::LastItem(Bytes(file.Get()))), 2), dir.Path("Sub\\file.txt"));
  EXPECT_EQ(PidlDisplayName(nullptr, sub.Get(), 2), dir.Path("Sub"));
  ASSERT_TRUE(SUCCEEDED(PidlBindToFolder(nullptr, bound)));
  TComRef<IShellFolder> desktop(bound);
  TComRef<IShellFolder> folderOfDir;
  ASSERT_TRUE(SUCCEEDED(PidlBindToFolder(folder.Get(), bound)));
  folderOfDir.Reset(bound);
  EXPECT_EQ(PidlDisplayName(folderOfDir.Get(), AsPidl(shell::LastItem(Bytes(sub.Get()))), 1), "Sub");
  EXPECT_GT(PidlIconIndex(sub.Get(), SHGFI_SMALLICON), 0);

  // Refused and missing paths give nil and a failure.
  LPITEMIDLIST none = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_TRUE(FAILED(PathToPidl(dir.Path(std::string(300, 'a')), none)));
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(FAILED(PathToPidl(dir.Path("missing\\nothing"), none)));
  EXPECT_EQ(none, nullptr);
}

TEST(ShellUtils, ShellTextsAreBoundedAndErrorsHaveText) {
  // An item of 8 bytes: count, "abc", a zero, 2 more bytes without a zero.
  const uint8_t item[] = {8, 0, 'a', 'b', 'c', 0, 'd', 'e', 0, 0};
  STRRET s{};
  s.uType = STRRET_OFFSET;
  s.uOffset = 2;
  EXPECT_EQ(StrRetToString(AsPidl(item), s), "abc");
  s.uOffset = 6;  // up to the item's end
  EXPECT_EQ(StrRetToString(AsPidl(item), s), "de");
  s.uOffset = 8;
  EXPECT_EQ(StrRetToString(AsPidl(item), s), "");
  EXPECT_EQ(StrRetToString(nullptr, s), "");
  s.uType = STRRET_CSTR;
  std::memset(s.cStr, 'x', sizeof s.cStr);  // no zero in the buffer
  EXPECT_EQ(StrRetToString(nullptr, s), std::string(260, 'x'));
  s.uType = STRRET_WSTR;
  s.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(8));
  std::memcpy(s.pOleStr, L"w\xe9!", 8);
  EXPECT_EQ(StrRetToString(nullptr, s), "w\xe9!");
  StrRetFree(s);
  EXPECT_EQ(s.pOleStr, nullptr);

  EXPECT_FALSE(ShellErrorText(E_FAIL).empty());
  EXPECT_EQ(ShellErrorText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), ShellErrorText(HRESULT(ERROR_FILE_NOT_FOUND)));
  EXPECT_FALSE(ShellErrorText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).empty());
  EXPECT_EQ(ShellErrorText(HRESULT(0x8FFF1234)), "Error 0x8FFF1234");
  try {
    OleCheck(HRESULT(0x8FFF1234));
    ADD_FAILURE() << "no exception";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.ErrorCode(), int32_t(0x8FFF1234));
    EXPECT_EQ(e.Message(), "Error 0x8FFF1234");
  }
}

TEST(ShellUtils, FormatStrPosSubstitutesUpToFiftyStrings) {
  EXPECT_EQ(FormatStrPos("%1 (%2 bytes)", {"a.txt", "1,024"}), "a.txt (1,024 bytes)");
  EXPECT_EQ(FormatStrPos("[%3]", {"a", "b"}), "[]");  // a missing string is empty
  EXPECT_EQ(FormatStrPos("[%99]", {}), "[]");
  EXPECT_EQ(FormatStrPos("", {"a"}), "");
  std::vector<std::string> fifty;
  for (int i = 1; i <= 50; ++i) fifty.push_back("s" + std::to_string(i));
  EXPECT_EQ(FormatStrPos("%1-%50", fifty), "s1-s50");
  fifty.push_back("s51");
  try {
    FormatStrPos("%1", fifty);
    ADD_FAILURE() << "51 strings were taken";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "FormatStrPos: Too many substitution strings");
  }
}

TEST(ShellUtils, ShortcutsReadBackWhatWasWritten) {
  ScratchDir dir("qsh");
  std::string target = dir.Path("target.txt"), link = dir.Path("target.lnk");
  testsupport::WriteFileBytes(target, "x");
  {
    TComRef<IShellLinkA> l;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void**>(l.Out()))));
    l->SetPath(target.c_str());
    l->SetArguments("-v two");
    l->SetDescription("The target");
    l->SetWorkingDirectory(dir.Dir().c_str());
    l->SetIconLocation(target.c_str(), 3);
    l->SetShowCmd(SW_SHOWMAXIMIZED);
    l->SetHotkey(MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT));
    TComRef<IPersistFile> f;
    ASSERT_TRUE(SUCCEEDED(l->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(f.Out()))));
    std::wstring wide(link.begin(), link.end());
    ASSERT_TRUE(SUCCEEDED(f->Save(wide.c_str(), TRUE)));
  }
  TQsShortcut s;
  s.Reserved = "kept";
  ASSERT_TRUE(SUCCEEDED(ReadShortcut(link, s, true)));
  EXPECT_TRUE(AnsiSameText(s.Path, target)) << s.Path;
  EXPECT_EQ(s.Arguments, "-v two");
  EXPECT_EQ(s.Description, "The target");
  EXPECT_TRUE(AnsiSameText(s.WorkingDirectory, dir.Dir())) << s.WorkingDirectory;
  EXPECT_EQ(s.IconIndex, 3);
  // Wine's shell links keep no show command: they read back as normal.
  EXPECT_TRUE(s.ShowCommand == SW_SHOWMAXIMIZED || s.ShowCommand == SW_SHOWNORMAL) << s.ShowCommand;
  EXPECT_EQ(s.HotKey, MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT));
  EXPECT_EQ(s.Reserved, "kept");
  EXPECT_STREQ(s.FindData.cFileName, "target.txt");
  ASSERT_NE(s.IdList, nullptr);
  TPidl targetList(Parse(target));
  EXPECT_EQ(ComparePidls(s.IdList, targetList.Get()), 0);
  PidlFree(s.IdList);

  TQsShortcut without;
  ASSERT_TRUE(SUCCEEDED(ReadShortcut(link, without, false)));
  EXPECT_EQ(without.IdList, nullptr);
  TQsShortcut missing;
  EXPECT_TRUE(FAILED(ReadShortcut(dir.Path("missing.lnk"), missing, true)));
}

TEST(ShellUtils, EveryShellTextReadsBack) {
  struct Text {
    UINT id;
    const char* text;
  };
  const std::vector<Text> texts = {
#include "shell_texts_expected.inc"
  };
  ASSERT_EQ(texts.size(), 115u);
  for (const Text& t : texts) {
    SCOPED_TRACE(t.id);
    EXPECT_EQ(LoadShString(t.id), t.text);
  }
  EXPECT_EQ(LoadShString(52542), "New ");
  EXPECT_EQ(LoadShString(52480).find('\r'), 18u);
  const TQsMenuShortcuts& s = QsMenuShortcuts();
  EXPECT_EQ(s.SelectAll, scCtrl | 'A');
  EXPECT_EQ(s.Delete, VK_DELETE);
  EXPECT_EQ(s.Copy, scCtrl | 'C');
  EXPECT_EQ(s.Cut, scCtrl | 'X');
  EXPECT_EQ(s.Paste, scCtrl | 'V');
  EXPECT_EQ(s.Refresh, VK_F5);
  EXPECT_EQ(s.Rename, VK_F2);
}

TEST(ShellUtils, StartUpStateAndSystemImageLists) {
  EXPECT_NE(CF_IDLIST, 0);
  EXPECT_EQ(CF_IDLIST, uint16_t(RegisterClipboardFormatA("Shell IDList Array")));
  EXPECT_NE(SHGetDataFromIDList, nullptr);
  EXPECT_GE(COMCTL32_VER.MS, 0x00040047u);
  EXPECT_TRUE(IsWinNT());
  HIMAGELIST small = SystemImageList(0), large = SystemImageList(1);
  ASSERT_TRUE(small && large);
  int w = 0, h = 0;
  ImageList_GetIconSize(small, &w, &h);
  EXPECT_EQ(w, 16);
  ImageList_GetIconSize(large, &w, &h);
  EXPECT_EQ(w, 32);
}

}  // namespace
