// Quiltor32.exe end to end, as a user drives it: settings seeded in the prefix's registry
// (the saved selections of the Expert page, a sender identity on the test's mail server,
// a subject) and the e-mail template beside the program; the patch name is typed, "&Create"
// pressed, the run's "&Close" pressed, two recipients entered, the patch sent and the
// program left by the Wizard's "E&xit". The patch
// must equal what the native engine driver wrote for the same versions and backup name;
// builder_run_check.py then checks the one mail the server received against the
// expectation this test leaves (envelope, headers, covering text, attachment bytes).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "builder/settings.h"
#include "framework/core/registry.h"
#include "framework/win/registry_win32.h"
#include "tests/builder/program_windows.h"
#include "tests/support/file_bytes.h"

namespace {

using namespace programtest;

std::string program;  // Quiltor32.exe, from the command line

std::string FixturePath(const std::string& relative) {
  const char* dir = std::getenv("QUILTOR_FIXTURES");
  if (!dir) return {};
  std::string p = std::string("Z:") + dir + "/" + relative;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// A message box of the process, if one is up.
HWND Box(DWORD pid) {
  return TopLevel(pid, [](HWND h) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    return IsWindowVisible(h) && std::string(cls) == "#32770";
  });
}

std::string Selection(const std::string& folder, const std::string& name) {
  return EncodeSelection({folder, {name}});
}

TEST(Quiltor32Mail, ACreatedPatchIsMailedToTwoRecipients) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  const char* smtpPort = std::getenv("QUILTOR_SMTP_PORT");
  ASSERT_TRUE(smtpPort);
  // The program beside its e-mail template, in a folder of the fixtures.
  const std::string dir = FixturePath("program");
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  const std::string copy = dir + "\\Quiltor32.exe";
  ASSERT_TRUE(CopyFileA(program.c_str(), copy.c_str(), FALSE)) << program;
  const std::string templateFile = dir + "\\Quiltor32_EmailTemplate.txt";
  {
    std::ofstream t(templateFile, std::ios::binary);
    t << "Hello,\r\n\r\nhere is the patch for tally.c.\r\n.a line that begins with a dot\r\n";
  }
  const std::string patch = FixturePath("e2e.utp");
  const std::string source = FixturePath("tree-v1\\src"), target = FixturePath("tree-v2\\src");

  ClearSettings();
  {
    TRegistry reg(SystemRegistry());
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    reg.WriteBool("Hide Splash", true);
    reg.WriteInteger("Startup page mode", 1);
    reg.WriteInteger("Startup page", 1);
    reg.WriteBool("Restore Directories", true);
    reg.WriteInteger("Restore Directory number", 1);
    reg.WriteString("Directory contents 0", Selection(target, "tally.c"));
    reg.WriteString("Directory contents 1", Selection(source, "tally.c"));
    reg.WriteString("Expert default backup path", "OldFiles");
    reg.WriteString("default patch email subject", "Quiltor e2e patch");
    reg.WriteString("mail profile", "Custom settings #1");
    ASSERT_TRUE(reg.OpenKey(std::string(kSettingsKey) + "\\email settings\\custom1", true));
    reg.WriteString("Realname", "Pat Sender");
    reg.WriteString("Email", "pat@sender.example");
    reg.WriteString("SMTP", std::string("127.0.0.1:") + smtpPort);
    reg.WriteString("Organization", "Norvale Tests");
  }

  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(StartProgram(copy, pi));
  const DWORD pid = pi.dwProcessId;
  TEndProgram end{pi};  // a test that stops early ends the program with it
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = MainWindow(pid)) != nullptr; })) << "no main window";

  // The restored selections make a request; the typed name completes it.
  HWND name = Named(main, "edit_ExpertPatchName");
  HWND create = Captioned(main, "&Create");
  ASSERT_TRUE(name && create);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(patch.c_str()));
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(create) != FALSE; })) << "Create stays disabled";
  PostMessageA(create, BM_CLICK, 0, 0);
  HWND progress = nullptr, close = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    progress = TopLevel(pid, [](HWND h) { return IsWindowVisible(h) && TextOf(h) == "Patch Creation in Progress"; });
    close = progress ? Captioned(progress, "&Close") : nullptr;
    return close != nullptr;
  })) << "the run did not finish";
  EXPECT_FALSE(Box(pid)) << "a box is up: " << TextOf(Box(pid));
  PostMessageA(close, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return MainWindow(pid) != nullptr; })) << "the main window did not come back";
  EXPECT_EQ(testsupport::ReadFileBytes(patch), testsupport::ReadFileBytes(FixturePath("expected\\backup.utp")));

  // Two recipients, the second offered as "CC", and the send.
  HWND receiver = Named(main, "edit_ExpertEmailReceiver1");
  HWND send = Named(main, "button_ExpertSendEmail");
  ASSERT_TRUE(receiver && send);
  // A click into the edit gives it the focus, as the user's does.
  PostMessageA(receiver, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageA(receiver, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  ASSERT_TRUE(WaitFor([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(pi.dwThreadId, &info) && info.hwndFocus == receiver;
  })) << "the receiver edit did not take the focus";
  for (const char* address : {"ann@example.test", "bob@example.test"}) {
    SendMessageA(receiver, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(address));
    PostMessageA(receiver, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitFor([&] { return TextOf(receiver).empty(); })) << address << " was not taken";
  }
  ASSERT_TRUE(IsWindowEnabled(send));
  // With QUILTOR_HOLD_MS set, the window stays so long for a screenshot from outside.
  if (const char* hold = std::getenv("QUILTOR_HOLD_MS")) Sleep(DWORD(std::atoi(hold)));
  PostMessageA(send, BM_CLICK, 0, 0);
  // The progress window's window is made when it first shows; it stays, hidden, after the send.
  std::string status;
  ASSERT_TRUE(WaitFor([&] {
    HWND mailWindow = TopLevel(pid, [](HWND h) { return NameOf(h) == "Form4"; });
    HWND label = mailWindow ? Named(mailWindow, "label_Status") : nullptr;
    status = label ? TextOf(label) : "";
    return status == "Done." && !IsWindowVisible(mailWindow) && MainWindow(pid);
  })) << "the send did not end: " << status;
  EXPECT_FALSE(Box(pid)) << "a box is up: " << TextOf(Box(pid));

  // What the server must have received, checked by builder_run_check.py.
  {
    std::ofstream e(FixturePath("mail-expect\\e2e.txt"), std::ios::binary);
    e << "subject\tQuiltor e2e patch\n"
      << "envelope-from\tpat@sender.example\n"
      << "rcpt\tann@example.test\nrcpt\tbob@example.test\n"
      << "to\tann@example.test\ncc\tbob@example.test\n"
      << "from\tpat@sender.example (Pat Sender)\n"
      << "text-file\t" << templateFile << "\n"
      << "attachment-file\t" << patch << "\n";
  }

  // The Wizard's "E&xit" closes the main window as its close box does: the selections are
  // saved as they are shown.
  HWND exitButton = Captioned(main, "E&xit");
  ASSERT_TRUE(exitButton);
  ClearSettings();  // whatever is found afterwards was written at the close
  PostMessageA(exitButton, BM_CLICK, 0, 0);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0) << "the program did not end";
  TSettings saved(SystemRegistry());
  saved.Load();
  ASSERT_EQ(saved.Main.DirectoryContents.size(), 2u);
  EXPECT_EQ(DecodeSelection(saved.Main.DirectoryContents[0]), (TSavedSelection{target, {"tally.c"}}));
  EXPECT_EQ(DecodeSelection(saved.Main.DirectoryContents[1]), (TSavedSelection{source, {"tally.c"}}));
  EXPECT_EQ(saved.Main.MailProfile, "Custom settings #1");
  EXPECT_EQ(saved.Main.Expert.BackupPath, "OldFiles");
  EXPECT_TRUE(saved.Main.RestoreDirectories);
  ClearSettings();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  program = programtest::ProgramFromArguments(argc, argv);
  return RUN_ALL_TESTS();
}
