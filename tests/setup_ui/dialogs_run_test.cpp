// dialogs_run driven from outside, as a user would: its windows are found by their
// captions and their buttons by their texts, and its report is read from its output.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/support/test_process.h"

namespace {

struct TRun {
  PROCESS_INFORMATION pi{};
  std::string outFile;
  TRun() = default;
  TRun(TRun&& o) noexcept : pi(o.pi), outFile(std::move(o.outFile)) { o.pi = {}; }
  TRun& operator=(TRun&&) = delete;
  // A test that stops half way ends the program it left waiting.
  ~TRun() {
    if (!pi.hProcess) return;
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
};

// Starts dialogs_run with the definition and steps, its output into a file of dir.
TRun Start(const testsupport::ScratchDir& dir, const std::string& definition, const std::vector<std::string>& steps,
           const std::string& program = testsupport::BesideThisProgram("dialogs_run")) {
  // The desktop comes from this process: the helper programs Wine starts with the first
  // window of a session must not inherit the child's output file (its folder would stay).
  GetDesktopWindow();
  TRun run;
  const std::string def = dir.Path("definition.form");
  std::ofstream(def, std::ios::binary) << definition;
  run.outFile = dir.Path("out.txt");
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(run.outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  std::string cmd = "\"" + program + "\" \"" + def + "\"";
  for (const std::string& s : steps) cmd += " \"" + s + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  EXPECT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &run.pi)) << cmd;
  CloseHandle(out);
  return run;
}

// The output once the program ended (within 60 s), with its exit code.
std::string Finish(TRun& run, DWORD& code) {
  EXPECT_EQ(WaitForSingleObject(run.pi.hProcess, 60000), WAIT_OBJECT_0);
  GetExitCodeProcess(run.pi.hProcess, &code);
  CloseHandle(run.pi.hProcess);
  CloseHandle(run.pi.hThread);
  run.pi.hProcess = run.pi.hThread = nullptr;
  std::ifstream in(run.outFile, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  std::erase(text, '\r');  // the console's line ends
  return text;
}

std::string TextOf(HWND w) {
  char text[256] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

struct TWindowSearch {
  DWORD pid;
  std::string caption;
  HWND found;
};

BOOL CALLBACK FindTopWindow(HWND w, LPARAM p) {
  auto& q = *reinterpret_cast<TWindowSearch*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == q.pid && IsWindowVisible(w) && TextOf(w) == q.caption) {
    q.found = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindChildWindow(HWND w, LPARAM p) {
  auto& q = *reinterpret_cast<TWindowSearch*>(p);
  if (IsWindowVisible(w) && TextOf(w) == q.caption) {
    q.found = w;
    return FALSE;
  }
  return TRUE;
}

// The visible top-level window of the process with this caption (waits up to 30 s).
HWND WaitForWindow(DWORD pid, const std::string& caption) {
  TWindowSearch s{pid, caption, nullptr};
  for (int i = 0; i < 600 && !s.found; ++i) {
    EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&s));
    if (!s.found) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return s.found;
}

// Clicks the visible button with this text inside window.
bool ClickButton(HWND window, const std::string& text) {
  TWindowSearch s{0, text, nullptr};
  EnumChildWindows(window, FindChildWindow, reinterpret_cast<LPARAM>(&s));
  if (!s.found) return false;
  PostMessageA(s.found, BM_CLICK, 0, 0);
  return true;
}

// Sets the text of the idx-th visible edit in window as typing does: WM_SETTEXT, then
// EN_CHANGE to its parent.
BOOL CALLBACK CollectEdits(HWND w, LPARAM p) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  // The framework's edits are superclasses named after their component class.
  if (IsWindowVisible(w) && (lstrcmpiA(cls, "Edit") == 0 || lstrcmpiA(cls, "TEdit") == 0))
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
  return TRUE;
}

bool SetEdit(HWND window, size_t index, const std::string& text) {
  std::vector<HWND> edits;
  for (int i = 0; i < 100 && index >= edits.size(); ++i) {
    if (i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    edits.clear();
    EnumChildWindows(window, CollectEdits, reinterpret_cast<LPARAM>(&edits));
  }
  if (index >= edits.size()) return false;
  HWND e = edits[index];
  SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(GetParent(e), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(e), EN_CHANGE), reinterpret_cast<LPARAM>(e));
  return true;
}

// The dump's line of the object name: its destination.
std::string DestOf(const std::string& out, const std::string& name) {
  const size_t at = out.find("\n" + name + "\tinclude=");
  if (at == std::string::npos) return "<no " + name + ">";
  const size_t dest = out.find("dest=", at);
  return out.substr(dest + 5, out.find('\n', dest) - dest - 5);
}

const char* const kDefinition =
    "object Form1: TForm\n"
    "  Caption = 'Form1'\n"
    "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
    "  object DialogManager1: TDialogManager\n    Container = Install1\n  end\n"
    "  object Welcome1: TWelcomeDlg\n    Container = Install1\n    DialogManager = DialogManager1\n  end\n"
    "  object Good1: TGoodInstallationDlg\n    Container = Install1\n  end\n"
    "  object DialogManager6: TDialogManager\n    Container = Install1\n    ManagerType = dmReboot\n  end\n"
    "  object Reboot1: TRebootDlg\n    Container = Install1\n    DialogManager = DialogManager6\n  end\n"
    "  object Status1: TInstallStatusDlg\n    Container = Install1\n  end\n"
    "end\n";

TEST(DialogsRun, ThroughTheWizardAndTheClosingPages) {
  testsupport::ScratchDir dir("dr");
  TRun run = Start(dir, kDefinition, {"-974=Preparing", "-980", "-995", "reboot=1", "-987", "-973", "dump"});
  HWND welcome = WaitForWindow(run.pi.dwProcessId, "Welcome");
  ASSERT_TRUE(welcome);
  EXPECT_FALSE(ClickButton(welcome, "< Previous"));  // the first page has none
  ASSERT_TRUE(ClickButton(welcome, "Next >"));
  HWND good = WaitForWindow(run.pi.dwProcessId, "Setup complete");
  ASSERT_TRUE(good);
  ASSERT_TRUE(ClickButton(good, "Next >"));
  HWND reboot = WaitForWindow(run.pi.dwProcessId, "Reboot windows");
  ASSERT_TRUE(reboot);
  ASSERT_TRUE(ClickButton(reboot, "No, I would not like to reboot windows"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(ClickButton(reboot, "Finish"));
  DWORD code = 99;
  std::string out = Finish(run, code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(out,
            "-974=Preparing\tok\n-980\tok\n-995\tok\nreboot=1\tok\n-987\tok reboot=0\n-973\tok\ndump\tok\n"
            "Install1\tinclude=1\tdest=C:\\Program Files\\MyApplication\n"
            "DialogManager1\tinclude=1\tdest=\nWelcome1\tinclude=1\tdest=\nGood1\tinclude=1\tdest=\n"
            "DialogManager6\tinclude=1\tdest=\nReboot1\tinclude=1\tdest=\nStatus1\tinclude=1\tdest=\n");
}

TEST(DialogsRun, CancelAbortsAndBadInputIsReported) {
  testsupport::ScratchDir dir("dr");
  TRun run = Start(dir, kDefinition, {"-980", "-974", "-993=2,A:\\disk2", "-998=a,1"});
  HWND welcome = WaitForWindow(run.pi.dwProcessId, "Welcome");
  ASSERT_TRUE(welcome);
  ASSERT_TRUE(ClickButton(welcome, "Cancel"));
  DWORD code = 99;
  std::string out = Finish(run, code);
  EXPECT_EQ(code, 0u);
  // No change-disk dialog: the code does nothing and the path stays.
  EXPECT_EQ(out, "-980\taborted\n-974\terror Status1 got a nil PO parameter\n-993=2,A:\\disk2\tok path=A:\\disk2\n"
                 "-998=a,1\terror expected 3 values in 'a,1'\n");

  TRun bad = Start(dir, "object Form1: TForm\n  object X: TNoSuchClass\n  end\nend\n", {"-980"});
  out = Finish(bad, code);
  EXPECT_EQ(code, 1u);
  EXPECT_NE(out.find("TNoSuchClass"), std::string::npos) << out;
}

// Welcome, the select-folder page with a typed name and the closing page's Finish: the
// name reaches the link group and its link, under the Start menu's programs folder.
TEST(DialogsRun, WelcomeSelectFolderFinish) {
  testsupport::ScratchDir dir("dr");
  const std::string definition =
      "object Form1: TForm\n"
      "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
      "  object DialogManager1: TDialogManager\n    Container = Install1\n  end\n"
      "  object Welcome1: TWelcomeDlg\n    Container = Install1\n    DialogManager = DialogManager1\n  end\n"
      "  object Group: TMainLinkGroup\n    Container = Install1\n    DestDir = '\\Before'\n  end\n"
      "  object Link: TInstallMainLink\n    LinkName = 'Tool.lnk'\n    ObjectLocation = 'C:\\tool.exe'\n  end\n"
      "  object Folder1: TSelectFolderDlg\n    Container = Group\n    DialogManager = DialogManager1\n  end\n"
      "  object DialogManager2: TDialogManager\n    Container = Install1\n    ManagerType = dmAfterGoodInstall\n  end\n"
      "  object Good1: TGoodInstallationDlg\n    Container = Install1\n    DialogManager = DialogManager2\n  end\n"
      "end\n";
  TRun run = Start(dir, definition, {"-980", "-979", "dump"});
  HWND welcome = WaitForWindow(run.pi.dwProcessId, "Welcome");
  ASSERT_TRUE(welcome);
  ASSERT_TRUE(ClickButton(welcome, "Next >"));
  HWND folder = WaitForWindow(run.pi.dwProcessId, "Select folder in start menu");
  ASSERT_TRUE(folder);
  ASSERT_TRUE(SetEdit(folder, 0, "Quiltor\\Walk"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(ClickButton(folder, "Next >"));
  HWND good = WaitForWindow(run.pi.dwProcessId, "Setup complete");
  ASSERT_TRUE(good);
  ASSERT_TRUE(ClickButton(good, "Finish"));
  DWORD code = 99;
  std::string out = Finish(run, code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(out.substr(0, out.find("dump")), "-980\tok\n-979\tok\n") << out;
  const std::string group = DestOf(out, "Group");
  EXPECT_TRUE(group.ends_with("\\Programs\\Quiltor\\Walk")) << out;
  EXPECT_EQ(DestOf(out, "Link"), group);
}

BOOL CALLBACK FindListBox(HWND w, LPARAM p) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (IsWindowVisible(w) && lstrcmpiA(cls, "TListBox") == 0) {
    *reinterpret_cast<HWND*>(p) = w;
    return FALSE;
  }
  return TRUE;
}

bool RunHidden(std::string cmd) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return false;
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return code == 0;
}

// Where Windows is NT 3.51 (as Wine reports it for a program set so), the page lists
// Program Manager's groups (its answer to "Groups"), and a chosen group becomes the link
// group's folder.
TEST(DialogsRun, ProgramManagerGroupsOnNT351) {
  testsupport::ScratchDir dir("dr");
  const std::string exe = "dialogs_nt351.exe";
  const std::string key = "HKCU\\Software\\Wine\\AppDefaults\\" + exe;
  ASSERT_TRUE(CopyFileA(testsupport::BesideThisProgram("dialogs_run").c_str(), dir.Path(exe).c_str(), FALSE));
  ASSERT_TRUE(RunHidden("reg add \"" + key + "\" /v Version /d nt351 /f"));
  const std::string definition =
      "object Form1: TForm\n"
      "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
      "  object DialogManager1: TDialogManager\n    Container = Install1\n  end\n"
      "  object Group: TMainLinkGroup\n    Container = Install1\n    DestDir = '\\Before'\n  end\n"
      "  object Folder1: TSelectFolderDlg\n    Container = Group\n    DialogManager = DialogManager1\n  end\n"
      "end\n";
  TRun run = Start(dir, definition, {"-980", "dump"}, dir.Path(exe));
  HWND folder = WaitForWindow(run.pi.dwProcessId, "Select folder in start menu");
  HWND list = nullptr;
  // The list, once the page has filled it.
  for (int i = 0; folder && i < 200 && !(list && SendMessageW(list, LB_GETCOUNT, 0, 0) > 0); ++i) {
    if (!list) EnumChildWindows(folder, FindListBox, reinterpret_cast<LPARAM>(&list));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // Another process's list box answers in wide characters.
  std::vector<std::string> items;
  for (int i = 0; list && i < int(SendMessageW(list, LB_GETCOUNT, 0, 0)); ++i) {
    WCHAR wide[256] = {};
    SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(wide));
    char text[512] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    items.push_back(text);
  }
  // Wine's Program Manager names at least the Start menu's own StartUp group.
  EXPECT_NE(std::find(items.begin(), items.end(), "StartUp"), items.end()) << items.size();
  if (list && !items.empty()) {
    SendMessageA(list, LB_SETCURSEL, WPARAM(items.size() - 1), 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  }
  if (folder) ClickButton(folder, "Next >");
  DWORD code = 99;
  std::string out = Finish(run, code);
  RunHidden("reg delete \"" + key + "\" /f");
  EXPECT_EQ(code, 0u);
  ASSERT_FALSE(items.empty());
  EXPECT_TRUE(DestOf(out, "Group").ends_with("\\" + items.back())) << out;
}

// sources: every file reads its size, date and version from its source file; a missing
// source is named in the error.
TEST(DialogsRun, SourcesAreRead) {
  testsupport::ScratchDir dir("dr");
  std::ofstream(dir.Path("a.txt"), std::ios::binary) << "some bytes";
  CreateDirectoryA(dir.Path("sub").c_str(), nullptr);
  std::ofstream(dir.Path("sub\\b.txt"), std::ios::binary) << "more";
  const std::string definition =
      "object Form1: TForm\n"
      "  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
      "  object A: TInstallFile\n    Container = Install1\n    IncludeFromDir = '" + dir.Path("") +
      "'\n    FileName = 'a.txt'\n    DestName = 'a.txt'\n  end\n"
      "  object Sub: TInstallFileGroup\n    Container = Install1\n  end\n"
      "  object B: TInstallFile\n    Container = Sub\n    IncludeFromDir = '" + dir.Path("sub") +
      "'\n    FileName = 'b.txt'\n    DestName = 'b.txt'\n  end\n"
      "end\n";
  TRun run = Start(dir, definition, {"sources"});
  DWORD code = 99;
  EXPECT_EQ(Finish(run, code), "sources\tok\n");
  EXPECT_EQ(code, 0u);
  DeleteFileA(dir.Path("sub\\b.txt").c_str());
  TRun missing = Start(dir, definition, {"sources"});
  EXPECT_EQ(Finish(missing, code),
            "sources\terror Could not open or find the following file when trying to read the Size, Date, and "
            "Version :" + dir.Path("sub") + "\\b.txt\n");
}

}  // namespace
