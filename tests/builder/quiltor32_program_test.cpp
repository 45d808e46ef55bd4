// Quiltor32.exe as a user starts it: with settings seeded in the (throwaway) registry of
// the test prefix it comes up with its main window where the settings put it, takes a
// choice on its options page, closes cleanly on WM_CLOSE and saves its settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "builder/settings.h"
#include "framework/core/registry.h"
#include "framework/win/registry_win32.h"

namespace {

std::string program;  // Quiltor32.exe, from the command line

std::string WindowName(HWND h) {
  HANDLE atom = GetPropA(h, "FwName");
  char name[128] = {};
  if (atom) GlobalGetAtomNameA(ATOM(uintptr_t(atom)), name, sizeof name);
  return name;
}

std::string ClassOf(HWND h) {
  char name[128] = {};
  GetClassNameA(h, name, sizeof name);
  return name;
}

struct TSearch {
  DWORD pid;
  std::string name;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<TSearch*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != s->pid || !IsWindowVisible(h) || ClassOf(h) != "TForm1" || WindowName(h) != s->name) return TRUE;
  s->found = h;
  return FALSE;
}

BOOL CALLBACK MatchChild(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<TSearch*>(p);
  if (WindowName(h) != s->name) return TRUE;
  s->found = h;
  return FALSE;
}

// The visible main window of the process: class "TForm1", component name "Form1".
HWND FindMainWindow(DWORD processId) {
  TSearch s{processId, "Form1", nullptr};
  EnumWindows(MatchTopLevel, LPARAM(&s));
  return s.found;
}

HWND FindChild(HWND parent, const std::string& name) {
  TSearch s{0, name, nullptr};
  EnumChildWindows(parent, MatchChild, LPARAM(&s));
  return s.found;
}

// The builder's keys, removed before and after.
void ClearSettings() {
  TRegistry reg(SystemRegistry());
  reg.DeleteKey("\\Software\\Norvale");
}

TEST(Quiltor32Program, StartsWithSeededSettingsClosesCleanlyAndSavesThem) {
  ClearSettings();
  {
    TRegistry reg(SystemRegistry());
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    reg.WriteBool("Hide Splash", true);
    reg.WriteInteger("Startup page mode", 3);
    reg.WriteInteger("Startup page", 3);
    reg.WriteInteger("Expert default packer", 2);
    reg.WriteString("custom browser args", "--new %1");
    ASSERT_TRUE(reg.OpenKey(std::string(kSettingsKey) + "\\windows\\Form1", true));
    reg.WriteInteger("store mode", 2);
    reg.WriteInteger("left", 123);
    reg.WriteInteger("top", 77);
  }

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = "\"" + program + "\"";
  ASSERT_TRUE(CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      << program;
  HWND main = nullptr;
  for (int i = 0; i < 300 && !main; ++i) {
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
    main = FindMainWindow(pi.dwProcessId);
  }
  ASSERT_TRUE(main) << "no main window";
  char caption[128] = {};
  GetWindowTextA(main, caption, sizeof caption);
  EXPECT_STREQ(caption, "Quiltor Snapmend");
  RECT r;
  GetWindowRect(main, &r);
  EXPECT_EQ(r.left, 123);
  EXPECT_EQ(r.top, 77);
  // The last page open comes back: the options page, where the user centres the window.
  HWND options = FindChild(main, "page_Options");
  ASSERT_TRUE(options);
  EXPECT_TRUE(IsWindowVisible(options));
  HWND group = FindChild(main, "rdgrp_OptionMainWindowPos");
  ASSERT_TRUE(group);
  HWND centre = GetWindow(GetWindow(group, GW_CHILD), GW_HWNDNEXT);
  ASSERT_TRUE(centre);
  SendMessageA(centre, BM_CLICK, 0, 0);

  PostMessageA(main, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0) << "the program did not end";
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  TSettings saved(SystemRegistry());
  saved.Load();
  EXPECT_EQ(saved.Main.StartupPage, 3);
  EXPECT_EQ(saved.Main.StartupPageMode, 3);
  EXPECT_TRUE(saved.Main.HideSplash);
  EXPECT_EQ(saved.Main.Expert.Packer, 2);
  EXPECT_EQ(saved.Main.CustomBrowserArgs, "--new %1");
  EXPECT_EQ(saved.Main.Expert.BackupPath, "Backup");
  TRegistry reg(SystemRegistry());
  ASSERT_TRUE(reg.OpenKeyReadOnly(std::string(kSettingsKey) + "\\windows\\Form1"));
  EXPECT_EQ(reg.ReadInteger("store mode"), 1);
  EXPECT_EQ(reg.ReadInteger("left"), 123);
  EXPECT_EQ(reg.ReadInteger("top"), 77);
  reg.CloseKey();
  ClearSettings();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) {
    program = argv[1];
    if (!program.empty() && program[0] == '/') program = "Z:" + program;
    for (char& c : program)
      if (c == '/') c = '\\';
  }
  return RUN_ALL_TESTS();
}
