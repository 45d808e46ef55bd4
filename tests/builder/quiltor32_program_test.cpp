// Quiltor32.exe as a user starts it: with settings seeded in the (throwaway) registry of
// the test prefix it comes up with its main window where the settings put it, takes a
// choice on its options page, closes cleanly on WM_CLOSE and saves its settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "builder/settings.h"
#include "framework/core/registry.h"
#include "framework/win/registry_win32.h"
#include "tests/builder/program_windows.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace programtest;

std::string program;  // Quiltor32.exe, from the command line

// Starts the program and waits up to 30 s for its visible main window (class "TForm1");
// null when none came.
HWND StartAndFindMainWindow(const std::string& path, PROCESS_INFORMATION& pi) {
  if (!StartProgram(path, pi)) return nullptr;
  HWND main = nullptr;
  for (int i = 0; i < 300 && !main; ++i) {
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
    main = TopLevel(pi.dwProcessId, [](HWND h) {
      char cls[64] = {};
      GetClassNameA(h, cls, sizeof cls);
      return IsWindowVisible(h) && std::string(cls) == "TForm1" && NameOf(h) == "Form1";
    });
  }
  return main;
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

  // A copy in a folder of its own: the close writes the e-mail template beside it.
  testsupport::ScratchDir dir("qprg");
  const std::string copy = dir.Path("Quiltor32.exe");
  ASSERT_TRUE(CopyFileA(program.c_str(), copy.c_str(), FALSE)) << program;
  PROCESS_INFORMATION pi{};
  TEndProgram end{pi};
  HWND main = StartAndFindMainWindow(copy, pi);
  ASSERT_TRUE(main) << "no main window";
  char caption[128] = {};
  GetWindowTextA(main, caption, sizeof caption);
  EXPECT_STREQ(caption, "Quiltor Snapmend");
  RECT r;
  GetWindowRect(main, &r);
  EXPECT_EQ(r.left, 123);
  EXPECT_EQ(r.top, 77);
  // The last page open comes back: the options page, where the user centres the window.
  HWND options = Named(main, "page_Options");
  ASSERT_TRUE(options);
  EXPECT_TRUE(IsWindowVisible(options));
  HWND group = Named(main, "rdgrp_OptionMainWindowPos");
  ASSERT_TRUE(group);
  HWND centre = GetWindow(GetWindow(group, GW_CHILD), GW_HWNDNEXT);
  ASSERT_TRUE(centre);
  SendMessageA(centre, BM_CLICK, 0, 0);

  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(Ended(pi, code)) << "the program did not end";
  EXPECT_EQ(code, 0u);

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

// The settings as text, to see which differ.
std::string Describe(const TMainSettings& m) {
  std::ostringstream o;
  const auto page = [&](const TPatchPageDefaults& d) {
    o << d.Patchfile << "," << d.Packer << "," << d.PatchType << "," << d.PgpSigned << "," << d.PatchIdenticalFiles
      << "," << d.BackupPath << " ";
  };
  o << m.HideSplash << " " << m.StartupPage << " " << m.StartupPageMode << " " << m.DefaultFilelistStyle << " ";
  page(m.Expert);
  page(m.Wizard);
  o << m.EmailSubject << " " << m.DefaultBrowser << " " << m.MailProfile << " " << m.CustomBrowserPath << " "
    << m.CustomBrowserArgs << " " << m.RestoreDirectories << " " << m.ExpertRestoreSplitter << " "
    << m.ExpertSplitterPosition;
  return o.str();
}

// Every setting, none at its default, seeded in the registry and the template beside a copy
// of the program: each comes back after the program has shown it on its options page and
// taken it from there at the close, and what the user changed there comes back changed.
TEST(Quiltor32Program, EverySettingGoesThroughTheOptionsPageAndComesBack) {
  ClearSettings();
  testsupport::ScratchDir dir("qopt");
  const std::string copy = dir.Path("Quiltor32.exe");
  ASSERT_TRUE(CopyFileA(program.c_str(), copy.c_str(), FALSE)) << program;
  const std::string templateFile = dir.Path("Quiltor32_EmailTemplate.txt");
  {
    std::ofstream t(templateFile, std::ios::binary);
    t << "Line one\r\nLine two\r\n";
  }
  TSettings seed(SystemRegistry());
  seed.Load();
  TMainSettings& m = seed.Main;
  m.HideSplash = true;
  m.StartupPageMode = 3;
  m.StartupPage = 3;
  m.DefaultFilelistStyle = 1;
  m.Expert = {"Mine.zip", 1, 0, true, true, "OldExpert"};
  m.Wizard = {"Theirs.gz", 3, 1, true, true, "OldWizard"};
  m.EmailSubject = "Seeded subject";
  m.DefaultBrowser = 3;
  m.MailProfile = "Custom settings #4";
  m.CustomBrowserPath = "C:\\browsers\\mine.exe";
  m.CustomBrowserArgs = "-x %1";
  m.RestoreDirectories = true;
  m.ExpertRestoreSplitter = false;
  for (size_t i = 0; i < seed.Packers.size(); ++i)
    seed.Packers[i] = {i == kCustomPacker, std::string("C:\\packers\\") + kPackerNames[i] + ".exe",
                       i == kCustomPacker ? "-c %s %s" : "%s %s"};
  TEmailSettings* identity = nullptr;
  for (TEmailSettings& id : seed.Identities)
    if (id.Label == m.MailProfile) identity = &id;
  ASSERT_TRUE(identity);
  *identity = {m.MailProfile, "seed@sender.example", "Seeded Name", "smtp.seed.example", "Seed Org",
               "reply@seed.example", 0};
  seed.Save();

  PROCESS_INFORMATION pi{};
  TEndProgram end{pi};
  HWND main = StartAndFindMainWindow(copy, pi);
  ASSERT_TRUE(main) << "no main window";
  struct Shown {
    const char* name;
    std::string text;
  } shown[] = {{"edit_ExpertDefaultPatchname", "Mine.zip"},
               {"edit_WizardDefaultBackupDir", "OldWizard"},
               {"edit_OptionEditEmailSettingsFrom", "seed@sender.example"},
               {"edit_OptionEditEmailSettingsName", "Seeded Name"},
               {"edit_OptionPathCustomPacker", "C:\\packers\\Custom.exe"},
               {"edit_OptionDefaultEmailSubject", "Seeded subject"},
               {"memo_OptionDefaultEmailText", "Line one\r\nLine two\r\n"},
               {"memo_ExpertEmail", "Line one\r\nLine two\r\n"}};
  for (const Shown& s : shown) {
    HWND h = Named(main, s.name);
    ASSERT_TRUE(h) << s.name;
    EXPECT_EQ(TextOf(h), s.text) << s.name;
  }
  // The user's changes: the identity's address and the template's text.
  SendMessageA(Named(main, "edit_OptionEditEmailSettingsFrom"), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>("changed@sender.example"));
  HWND memo = Named(main, "memo_OptionDefaultEmailText");
  SendMessageA(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed text\r\nand more"));
  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(Ended(pi, code)) << "the program did not end";
  EXPECT_EQ(code, 0u);

  TSettings saved(SystemRegistry());
  saved.Load();
  identity->EmailAddress = "changed@sender.example";
  saved.Main.DirectoryContents = m.DirectoryContents;  // the source columns' own
  EXPECT_EQ(saved.Main, seed.Main) << Describe(saved.Main) << "\n" << Describe(seed.Main);
  EXPECT_EQ(saved.Packers, seed.Packers);
  EXPECT_EQ(saved.Identities, seed.Identities);
  EXPECT_EQ(testsupport::ReadExistingText(templateFile), "Changed text\r\nand more\r\n");
  ClearSettings();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  program = programtest::ProgramFromArguments(argc, argv);
  return RUN_ALL_TESTS();
}
