// The installer's dialogs on the screen: wizards of the dialog managers, the dialogs that
// run alone, the status and copy windows and the request for the next disk. Definitions are
// form texts with one driver; a timer acts while a modal window runs, as a user would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/form_reader.h"
#include "framework/testing/gui_test.h"
#include "framework/win/timer.h"
#include "setup_engine/install_driver.h"
#include "setup_ui/decor_win32.h"
#include "setup_ui/filegroups_win32.h"
#include "setup_ui/pages_win32.h"
#include "setup_ui/select_folder_win32.h"
#include "setup_engine/install_folders.h"
#include "setup_engine/program_manager.h"
#include "setup_engine/setup_routines.h"
#include "tests/support/defaults_check.h"

namespace {

using M = TManagerType;

class Dialogs : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    setup::SetRebootNeeded(false);
  }
  void TearDown() override {
    if (root) root->Free();
    setup::SetRebootNeeded(false);
    TGuiTest::TearDown();
  }
  // A root form holding Install1 and the objects of body.
  void Load(const std::string& body) {
    root = new TForm(Application);
    ReadForm(*root,
             "object Form1: TForm\n  object Install1: TInstall\n    RunAutomatic = False\n  end\n" + body + "end\n",
             "definition");
  }
  template <class T>
  T* Get(const char* name) {
    return dynamic_cast<T*>(root->FindComponent(name));
  }
  TCustomInstall& Driver() { return *setup::Driver(); }
  // Broadcasts code from the driver while act runs every 50 ms until it returns true;
  // "ok", "aborted" or the error's text.
  std::string Broadcast(int code, TObject* parameter = nullptr, std::function<bool()> act = nullptr,
                        TInstallContainer* from = nullptr) {
    TOwned<TTimer> timer(new TTimer(nullptr));
    timer->SetInterval(50);
    bool done = !act, busy = false;
    timer->OnTimer = TNotifyEvent([&](TObject*) {
      // Not again while a step runs a window's loop of its own (the folder browser).
      if (done || busy) return;
      busy = true;
      done = act();
      busy = false;
    });
    timer->SetEnabled(!done);
    try {
      TInstallContainer& sender = from ? *from : Driver();
      sender.BroadcastInformation(&sender, code, parameter);
    } catch (const EAIUserAbort&) {
      return "aborted";
    } catch (const std::exception& e) {
      return e.what();
    }
    EXPECT_TRUE(done) << "the window closed before the script ended";
    return "ok";
  }
  // The wizard now on the screen, or null.
  static TBaseFormContainer* Wizard() {
    for (TBaseKestrinForm* f : KestrinForms())
      if (auto* c = dynamic_cast<TBaseFormContainer*>(f); c && c->Visible()) return c;
    return nullptr;
  }
  template <class T>
  static T* Shown() {
    for (TBaseKestrinForm* f : KestrinForms())
      if (auto* t = dynamic_cast<T*>(f); t && t->Visible() && t->HandleAllocated() && IsWindowVisible(t->Handle()))
        return t;
    return nullptr;
  }
  static std::string Manager(const char* name, const char* type) {
    return std::string("  object ") + name + ": TDialogManager\n    Container = Install1\n    ManagerType = " + type +
           "\n  end\n";
  }
  static std::string Dialog(const char* name, const char* cls, const char* manager, int order = -1) {
    std::string s = std::string("  object ") + name + ": " + cls + "\n    Container = Install1\n";
    if (manager) s += std::string("    DialogManager = ") + manager + "\n";
    if (order >= 0) s += "    Order = " + std::to_string(order) + "\n";
    return s + "  end\n";
  }
  void Screenshot(const char* name) {
    if (const char* dir = std::getenv("QUILTOR_SCREENSHOT_DIR"))
      CaptureScreen({0, 0, Screen->Width(), Screen->Height()}).SaveBmp(std::string(dir) + "\\" + name + ".bmp");
  }
  TForm* root = nullptr;
};

// Three pages ordered 60, 10, 50 show as 10, 50, 60: Back only after the first, the
// window's caption the page's, Previous and Next between them; Next on the last ends the
// wizard with the install going on.
TEST_F(Dialogs, WizardPagesInOrderWithPreviousAndNext) {
  Load(Manager("DM1", "dmBeforeInstall") + Dialog("W60", "TWelcomeDlg", "DM1", 60) +
       Dialog("W10", "TWelcomeDlg", "DM1", 10) + Dialog("W50", "TWelcomeDlg", "DM1", 50));
  std::vector<std::string> seen;
  int step = 0;
  std::string result = Broadcast(setup::icBeforeInstall, nullptr, [&] {
    TBaseFormContainer* w = Wizard();
    if (!w) return false;
    TBaseInstallForm* page = w->CurrentPage();
    seen.push_back(page->DC()->Name() + (page->BackBtn->Visible() ? " back" : "") + " " + w->Caption());
    switch (step++) {
      case 0:
        EXPECT_EQ(w->Pages().size(), 3u);
        Screenshot("wizard_welcome");
        Click(*page->ProceedBtn);
        return false;
      case 1: Click(*page->ProceedBtn); return false;
      case 2: Click(*page->BackBtn); return false;
      case 3: Click(*page->ProceedBtn); return false;
      default: Click(*page->ProceedBtn); return true;
    }
  });
  EXPECT_EQ(result, "ok");
  EXPECT_EQ(seen, (std::vector<std::string>{"W10 Welcome", "W50 back Welcome", "W60 back Welcome",
                                            "W50 back Welcome", "W60 back Welcome"}));
  EXPECT_EQ(Wizard(), nullptr);
}

// The wizard keeps the manager's outer size but grows where its frame leaves the pages
// less room than they were made for.
TEST_F(Dialogs, WizardGrowsToItsPages) {
  Load("  object DM1: TDialogManager\n    Container = Install1\n    Width = 300\n    Height = 200\n  end\n" +
       Dialog("W", "TWelcomeDlg", "DM1"));
  Broadcast(setup::icBeforeInstall, nullptr, [&] {
    TBaseFormContainer* w = Wizard();
    if (!w) return false;
    EXPECT_GE(w->DisplayPanel->ClientWidth(), 470);
    EXPECT_GE(w->DisplayPanel->ClientHeight(), 368);
    EXPECT_EQ(w->CurrentPage()->Width(), w->DisplayPanel->ClientWidth());
    Click(*w->CurrentPage()->ProceedBtn);
    return true;
  });
}

// Cancel: confirmed by the driver (no handler: yes) it ends the install as aborted; the
// driver's handler may refuse, and the wizard stays. Closing the window is a cancel too
// before the install, but not after a good one.
TEST_F(Dialogs, CancelAndCloseEndTheWizard) {
  Load(Manager("DM1", "dmBeforeInstall") + Dialog("W", "TWelcomeDlg", "DM1") + Manager("DM2", "dmAfterGoodInstall") +
       Dialog("G", "TGoodInstallationDlg", "DM2"));
  auto cancel = [&] {
    TBaseFormContainer* w = Wizard();
    if (!w) return false;
    Click(*static_cast<TWelcomeForm*>(w->CurrentPage())->CancelBtn);
    return true;
  };
  EXPECT_EQ(Broadcast(setup::icBeforeInstall, nullptr, cancel), "aborted");

  int asked = 0;
  Driver().OnUserAbort = TUserAbortEvent([&](TObject*, bool& flag) {
    flag = asked++ > 0;  // no the first time, yes the second
  });
  int clicks = 0;
  EXPECT_EQ(Broadcast(setup::icBeforeInstall, nullptr,
                      [&] {
                        TBaseFormContainer* w = Wizard();
                        if (!w) return false;
                        Click(*static_cast<TWelcomeForm*>(w->CurrentPage())->CancelBtn);
                        return ++clicks == 2;
                      }),
            "aborted");
  EXPECT_EQ(asked, 2);
  Driver().OnUserAbort = TUserAbortEvent();

  auto close = [&] {
    TBaseFormContainer* w = Wizard();
    if (!w) return false;
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    return true;
  };
  EXPECT_EQ(Broadcast(setup::icBeforeInstall, nullptr, close), "aborted");
  EXPECT_EQ(Broadcast(setup::icAfterGoodInstall, nullptr, close), "ok");
}

// A manager without dialogs shows no window, and the pages of other managers stay out.
TEST_F(Dialogs, AManagerWithoutDialogsShowsNothing) {
  Load(Manager("DM1", "dmBeforeInstall") + Manager("DM2", "dmAfterGoodInstall") +
       Dialog("G", "TGoodInstallationDlg", "DM2"));
  const size_t forms = KestrinForms().size();
  EXPECT_EQ(Broadcast(setup::icBeforeInstall), "ok");  // no script: a window would wait for ever
  EXPECT_EQ(KestrinForms().size(), forms);
}

// Without a manager the page dialogs answer their own codes with their form alone: Back
// hidden, Proceed closing it with OK; another code shows nothing.
TEST_F(Dialogs, PageDialogsWithoutAManagerRunTheirForms) {
  Load(Dialog("W", "TWelcomeDlg", nullptr) + Dialog("G", "TGoodInstallationDlg", nullptr) +
       Dialog("B", "TBadInstallationDlg", nullptr));
  struct Case {
    int code;
    const char* caption;
  } cases[] = {{setup::icShowWelcome, "Welcome"}, {setup::icGoodInstall, "Setup complete"},
               {setup::icBadInstall, "Setup incomplete"}};
  for (const Case& c : cases) {
    std::string caption;
    EXPECT_EQ(Broadcast(c.code, nullptr,
                        [&] {
                          auto* f = Shown<TBaseInstallForm>();
                          if (!f) return false;
                          caption = f->Caption();
                          EXPECT_FALSE(f->BackBtn->Visible());
                          EXPECT_FALSE(f->HostContainer());
                          Click(*f->ProceedBtn);
                          return true;
                        }),
              "ok")
        << c.code;
    EXPECT_EQ(caption, c.caption);
  }
  EXPECT_EQ(Broadcast(setup::icBeforeInstall), "ok");
}

// A dialog's form takes the translator's texts by GLID and its language's font; a dialog set
// to override the main translator takes its own target.
TEST_F(Dialogs, FormsTakeTheTranslatorsTexts) {
  TOwned<TTranslator> translator(new TTranslator(nullptr));
  auto lines = [&](TKstnLanguage language, std::initializer_list<const char*> l) {
    TStringList list;
    for (const char* s : l) list.Add(s);
    translator->FindLanguage(language)->SetStrings(list);
  };
  lines(TKstnLanguage::klEnglish, {"5;Next >", "6;Cancel", "38;Done."});
  lines(TKstnLanguage::klGerman, {"5;Weiter >", "6;Abbrechen", "38;Fertig."});
  lines(TKstnLanguage::klFrench, {"5;Suivant >", "6;Annuler", "38;Fini."});
  translator->SetTranslateIntoLanguage(TKstnLanguage::klGerman);
  Load(Dialog("W", "TWelcomeDlg", nullptr) + Dialog("G", "TGoodInstallationDlg", nullptr));
  Get<TGoodInstallationDlg>("G")->OverrideMainTranslator = true;
  Get<TGoodInstallationDlg>("G")->TranslateIntoLanguage = TKstnLanguage::klFrench;
  std::string next, cancel, label, font;
  EXPECT_EQ(Broadcast(setup::icShowWelcome, nullptr,
                      [&] {
                        auto* f = Shown<TWelcomeForm>();
                        if (!f) return false;
                        next = f->ProceedBtn->Caption();
                        cancel = f->CancelBtn->Caption();
                        font = f->Font().Name();
                        Click(*f->ProceedBtn);
                        return true;
                      }),
            "ok");
  EXPECT_EQ(next, "Weiter >");
  EXPECT_EQ(cancel, "Abbrechen");
  EXPECT_EQ(font, "MS Sans Serif");
  EXPECT_EQ(Broadcast(setup::icGoodInstall, nullptr,
                      [&] {
                        auto* f = Shown<TGoodInstallForm>();
                        if (!f) return false;
                        next = f->ProceedBtn->Caption();
                        label = static_cast<TLabel*>(f->FindComponent("Label1"))->Caption();
                        Click(*f->ProceedBtn);
                        return true;
                      }),
            "ok");
  EXPECT_EQ(next, "Suivant >");
  EXPECT_EQ(label, "Fini.");
}

// The reboot page shows the flag and sets it: Yes when set, and choosing No clears it; the
// only page is the last, so Finish stands in Next's place.
TEST_F(Dialogs, RebootPageShowsAndSetsTheFlag) {
  Load(Manager("DM6", "dmReboot") + Dialog("R", "TRebootDlg", "DM6"));
  for (bool flag : {true, false}) {
    setup::SetRebootNeeded(flag);
    EXPECT_EQ(Broadcast(setup::icRebootNeeded, nullptr,
                        [&] {
                          TBaseFormContainer* w = Wizard();
                          if (!w) return false;
                          auto* page = static_cast<TRebootForm*>(w->CurrentPage());
                          EXPECT_EQ(page->RG->ItemIndex(), flag ? 0 : 1);
                          EXPECT_FALSE(page->ProceedBtn->Visible());
                          EXPECT_TRUE(page->FinishBtn->Visible());
                          if (flag) Screenshot("reboot");
                          SelectItem(*page->RG, flag ? 1 : 0);
                          Click(*page->FinishBtn);
                          return true;
                        }),
              "ok");
    EXPECT_EQ(setup::RebootNeeded(), !flag);
  }
}

// Two messages and a clear show the first again; the second clear hides the window; a
// clear with nothing shown raises nothing. A long text widens the window on one line,
// centred, and never beyond the screen.
TEST_F(Dialogs, StatusWindowStack) {
  Load(Dialog("S", "TInstallStatusDlg", nullptr));
  auto* dialog = Get<TInstallStatusDlg>("S");
  TMessageParameter outer("Reading the archive"), inner("Copying files");
  EXPECT_EQ(Broadcast(setup::icStatusMessage, &outer), "ok");
  const int width = dialog->Form()->Width();
  EXPECT_EQ(Broadcast(setup::icStatusMessage, &inner), "ok");
  EXPECT_EQ(dialog->Form()->lblMessage->Caption(), "Copying files");
  Screenshot("status");
  EXPECT_EQ(Broadcast(setup::icStatusClear), "ok");
  EXPECT_EQ(dialog->Form()->lblMessage->Caption(), "Reading the archive");
  EXPECT_TRUE(dialog->Form()->Visible());
  EXPECT_EQ(Broadcast(setup::icStatusClear), "ok");
  EXPECT_FALSE(dialog->Form()->Visible());
  EXPECT_EQ(Broadcast(setup::icStatusClear), "ok");

  TMessageParameter longer(std::string(60, 'W') + " and more");
  EXPECT_EQ(Broadcast(setup::icStatusMessage, &longer), "ok");
  TInstallStatusForm& f = *dialog->Form();
  EXPECT_GT(f.Width(), width);
  EXPECT_LE(f.Width(), Screen->Width());
  EXPECT_NEAR(f.Left() + f.Width() / 2, Screen->Width() / 2, 1);
  EXPECT_LE(f.lblMessage->Left() + f.lblMessage->Width(), f.pnlMessage->ClientWidth());
  TMessageParameter huge(std::string(400, 'W'));
  EXPECT_EQ(Broadcast(setup::icStatusMessage, &huge), "ok");
  EXPECT_EQ(f.Width(), Screen->Width());

  EXPECT_EQ(Broadcast(setup::icStatusMessage), "S got a nil PO parameter");
  TDiskParameter wrong(1, "");
  EXPECT_EQ(Broadcast(setup::icStatusMessage, &wrong), "The PO object passed to S is not a TMessageParameter object");
}

// The copy dialog alone: a file status shows the totals, a download the transfer gauge, and
// the next file status hides it again; the end of copying hides the window, placed once.
TEST_F(Dialogs, CopyDialogAloneInBothModes) {
  Load("  object C: TCopyFileDlg\n    Container = Install1\n    Position = kdpBottomRight\n  end\n");
  auto* dialog = Get<TCopyFileDlg>("C");
  TFileStatusParameter file(TlzhFileStats{});
  file.FileName = "quiltor32.exe";
  file.Percent = 40;
  file.TotalPercent = 25;
  EXPECT_EQ(Broadcast(setup::icFileStatus, &file), "ok");
  TCopyFileForm& f = *dialog->Form();
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(f.ProgressBar1->Position(), 40);
  EXPECT_EQ(f.ProgressBar2->Position(), 25);
  EXPECT_EQ(f.lblCopyingFile->Caption(), "quiltor32.exe");
  EXPECT_FALSE(f.TransferProgress->Visible());
  // Bottom right: the bottom edge one caption height above the screen's.
  EXPECT_EQ(f.Left() + f.Width(), Screen->Width());
  EXPECT_EQ(f.Top() + f.Height(), Screen->Height() - GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(f.Width(), 474);
  Screenshot("copy_files");

  TDownloadStatusParameter download(0, "Downloading files.1", 200, 150);
  EXPECT_EQ(Broadcast(setup::icDownloadStatus, &download), "ok");
  EXPECT_TRUE(f.TransferProgress->Visible());
  EXPECT_TRUE(f.TransferBitmap->Visible());
  EXPECT_EQ(f.TransferProgress->Progress(), 75);
  EXPECT_EQ(f.lblCopyingFile->Caption(), "Downloading files.1");
  Screenshot("copy_download");
  f.SetBounds(10, 10, f.Width(), f.Height());  // moved by the user: it stays
  EXPECT_EQ(Broadcast(setup::icFileStatus, &file), "ok");
  EXPECT_FALSE(f.TransferProgress->Visible());
  EXPECT_EQ(f.Left(), 10);
  EXPECT_EQ(Broadcast(setup::icEndOfCopy), "ok");
  EXPECT_FALSE(f.Visible());

  EXPECT_EQ(Broadcast(setup::icFileStatus), "C got a nil PO parameter");
  EXPECT_EQ(Broadcast(setup::icDownloadStatus, &file),
            "The PO object passed to C is not a TDownloadStatusParameter object");
}

// With a during-copy manager the manager hosts the copy form and the dialog keeps quiet;
// a copy dialog without manager beside such a manager makes one window only; the end of
// copying frees the manager's forms.
TEST_F(Dialogs, CopyFormsOfAManager) {
  Load(Manager("DM4", "dmDuringCopyFiles") + Dialog("C", "TCopyFileDlg", "DM4"));
  auto* manager = Get<TDialogManager>("DM4");
  TFileStatusParameter file(TlzhFileStats{});
  file.FileName = "help.htm";
  file.Percent = 10;
  file.TotalPercent = 90;
  EXPECT_EQ(Broadcast(setup::icFileStatus, &file), "ok");
  ASSERT_EQ(manager->DuringCopyForms().size(), 1u);
  auto* form = static_cast<TCopyFileForm*>(manager->DuringCopyForms()[0]);
  EXPECT_EQ(form->ProgressBar2->Position(), 90);
  EXPECT_EQ(Get<TCopyFileDlg>("C")->Form(), nullptr);
  EXPECT_EQ(Broadcast(setup::icEndOfCopy), "ok");
  EXPECT_TRUE(manager->DuringCopyForms().empty());
  root->Free();
  root = nullptr;

  Load(Manager("DM4", "dmDuringCopyFiles") + Dialog("C", "TCopyFileDlg", nullptr));
  EXPECT_EQ(Broadcast(setup::icFileStatus, &file), "ok");
  EXPECT_TRUE(Get<TDialogManager>("DM4")->DuringCopyForms().empty());
  EXPECT_NE(Get<TCopyFileDlg>("C")->Form(), nullptr);
}

// Answers the folder browser from a helper thread: OK or Cancel once it is up, again until
// it has gone (an answer that comes while the browser is still setting up goes unheard).
BOOL CALLBACK FindBrowser(HWND w, LPARAM p) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(w)) {
    *reinterpret_cast<HWND*>(p) = w;
    return FALSE;
  }
  return TRUE;
}

void AnswerBrowser(bool ok, std::atomic<bool>& answered) {
  HWND h = nullptr;
  for (int i = 0; i < 400 && !h; ++i) {
    EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&h));
    if (!h) Sleep(50);
  }
  for (int i = 0; h && i < 100 && IsWindow(h) && IsWindowVisible(h); ++i) {
    PostMessageA(h, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    Sleep(200);
  }
  answered = true;
}

// The next disk: the prompt and the path; Browse cancelled keeps the path, confirmed takes
// the chosen folder; Proceed serves the file, Cancel and closing abort.
TEST_F(Dialogs, ChangeDiskWithTheFolderBrowser) {
  Load(Manager("DM5", "dmChangeDisk") + Dialog("D", "TChangeDiskDlg", "DM5") +
       "  object F: TInstallFile\n    Container = Install1\n    FileName = 'a.txt'\n    DestName = 'a.txt'\n  end\n");
  auto* file = Get<TCustomInstallFile>("F");
  TDiskParameter disk(2, "A:\\");
  TParameterList list(file, &disk);
  int step = 0;
  std::string shownPath, prompt;
  std::thread helper;
  std::atomic<bool> answered{false};
  auto browse = [&](bool ok) {
    answered = false;
    if (helper.joinable()) helper.join();
    helper = std::thread(AnswerBrowser, ok, std::ref(answered));
  };
  EXPECT_EQ(Broadcast(setup::icNextDisk, &list,
                      [&] {
                        auto* f = Shown<TChangeDiskForm>();
                        if (!f) return false;
                        switch (step++) {
                          case 0:
                            prompt = f->PromptDiskLabel->Caption();
                            shownPath = f->PathEdit->Text();
                            Screenshot("change_disk");
                            browse(false);
                            Click(*f->BrowseBtn);  // runs the browser's own loop until answered
                            EXPECT_EQ(f->PathEdit->Text(), "A:\\");
                            browse(true);
                            Click(*f->BrowseBtn);
                            EXPECT_NE(f->PathEdit->Text(), "A:\\");
                            return false;
                          default: Click(*f->InstallBtn); return true;
                        }
                      }),
            "ok");
  if (helper.joinable()) helper.join();
  EXPECT_EQ(prompt, "Please insert disk number 2");
  EXPECT_EQ(shownPath, "A:\\");
  EXPECT_NE(disk.Path, "A:\\");
  EXPECT_EQ(file->Tag(), 1);

  for (bool close : {false, true}) {
    EXPECT_EQ(Broadcast(setup::icNextDisk, &list,
                        [&] {
                          auto* f = Shown<TChangeDiskForm>();
                          if (!f) return false;
                          if (close)
                            SendMessageA(f->Handle(), WM_CLOSE, 0, 0);
                          else
                            Click(*f->CancelBtn);
                          return true;
                        }),
              "aborted");
  }
  TDiskParameter other(3, "");
  TParameterList wrong(&other, &disk);
  TList shortList;
  shortList.Add(file);
  EXPECT_EQ(Broadcast(setup::icNextDisk), "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form");
  EXPECT_EQ(Broadcast(setup::icNextDisk, &disk), "TChangeDiskDlg--PO is not a TList object");
  EXPECT_EQ(Broadcast(setup::icNextDisk, &shortList), "TChangeDiskDlg--Not engouh parameters for status event");
  EXPECT_EQ(Broadcast(setup::icNextDisk, &wrong), "TChangeDiskDlg says bad first parameter");
}

// Without a change-disk dialog the code does nothing, and the file asks by itself.
TEST_F(Dialogs, NoChangeDiskFormNoRequest) {
  Load(Manager("DM5", "dmChangeDisk") +
       "  object F: TInstallFile\n    Container = Install1\n    FileName = 'a.txt'\n    DestName = 'a.txt'\n  end\n");
  TDiskParameter disk(2, "A:\\");
  TParameterList list(Get<TCustomInstallFile>("F"), &disk);
  EXPECT_EQ(Broadcast(setup::icNextDisk, &list), "ok");
  EXPECT_EQ(Get<TCustomInstallFile>("F")->Tag(), 0);
}

// A dialog whose manager goes keeps no reference to it, and the manager's list forgets a
// dialog that goes; a running form that goes clears the dialog's reference.
TEST_F(Dialogs, ReferencesClearWhenTheirTargetsGo) {
  Load(Manager("DM1", "dmBeforeInstall") + Dialog("W", "TWelcomeDlg", "DM1") + Dialog("W2", "TWelcomeDlg", "DM1"));
  auto* manager = Get<TDialogManager>("DM1");
  auto* w = Get<TWelcomeDlg>("W");
  EXPECT_EQ(manager->Dialogs().size(), 2u);
  Get<TWelcomeDlg>("W2")->Free();
  EXPECT_EQ(manager->Dialogs(), std::vector<TCustomBaseInstallDlg*>{w});
  auto* form = static_cast<TForm*>(TWelcomeForm::StaticClass().Create(Application));
  w->SetRunningForm(form);
  form->Free();
  EXPECT_EQ(w->RunningForm(), nullptr);
  manager->Free();
  EXPECT_EQ(w->DialogManager(), nullptr);
}

}  // namespace

namespace {

// The file group page: many groups, so the tree scrolls.
class FileGroups : public Dialogs {
 protected:
  void LoadGroups() {
    std::string body = Manager("DM1", "dmBeforeInstall") + Dialog("FG", "TInstallFileGroupsDlg", "DM1") +
                       "  object Help: TInstallFileGroup\n    Container = Install1\n    GroupName = 'Help'\n"
                       "    Description = ('Pages' 'and pictures')\n  end\n"
                       "  object HelpFile: TInstallFile\n    Container = Help\n    FileName = 'h.htm'\n    DestName = 'h.htm'\n    DestDirType = psContainerDestDir\n  end\n"
                       "  object Fixed: TInstallFileGroup\n    Container = Install1\n    GroupName = 'Fixed'\n    AllowChoice = False\n    DestDirType = psContainerDestDir\n  end\n";
    for (int i = 0; i < 14; ++i)
      body += "  object G" + std::to_string(i) + ": TInstallFileGroup\n    Container = Install1\n    GroupName = 'Group " +
              std::to_string(i) + "'\n    AllowChoice = True\n    DestDirType = psContainerDestDir\n  end\n";
    Load(body);
    Get<TCustomInstallFile>("HelpFile")->SetArchiveEntry(0, 0, 5000, "");
    Get<TFileContainer>("Help")->SetDestDirType(nullptr);
    Get<TFileContainer>("Help")->SetDestDir("D:\\help");
    Get<TCustomInstall>("Install1")->SetDestDirType(nullptr);
    Get<TCustomInstall>("Install1")->SetDestDir("C:\\Quiltor");
  }
  // Every visible box stands on the row of its group, and every visible row has one.
  static void ExpectBoxesOnTheirRows(TFileGroupSelectForm& page, const char* after) {
    std::vector<int> rows, boxes;
    for (TTreeNode* n = page.Tree->Items().GetFirstNode(); n; n = n->GetNext()) {
      TRect r = n->DisplayRect(false);
      if (n->IsVisible() && r.Bottom > 0 && r.Top < page.Tree->ClientHeight()) {
        rows.push_back(r.Top);
        for (TIncludeCheckBox* box : page.IncludeList().Items)
          if (box->Visible() && box->Group == n->Data()) boxes.push_back(box->Top());
      }
    }
    EXPECT_EQ(boxes, rows) << after;
    int shown = 0;
    for (TIncludeCheckBox* box : page.IncludeList().Items) shown += box->Visible();
    EXPECT_EQ(shown, int(rows.size())) << after;
    EXPECT_GT(shown, 3) << after;
  }
  // Runs act on the page while the wizard shows, then finishes the wizard.
  void OnPage(const std::function<void(TFileGroupSelectForm&)>& act) {
    Broadcast(setup::icBeforeInstall, nullptr, [&] {
      TBaseFormContainer* w = Wizard();
      if (!w) return false;
      auto& page = static_cast<TFileGroupSelectForm&>(*w->CurrentPage());
      act(page);
      Click(*page.ProceedBtn);
      return true;
    });
  }
};

// The boxes follow the rows whatever moved them: PageDown, End, the wheel, Home.
TEST_F(FileGroups, BoxesFollowTheRows) {
  LoadGroups();
  OnPage([&](TFileGroupSelectForm& page) {
    Screenshot("file_groups");
    ExpectBoxesOnTheirRows(page, "first");
    page.Tree->SetFocus();
    PressKey(VK_NEXT);
    ExpectBoxesOnTheirRows(page, "PageDown");
    PressKey(VK_END);
    ExpectBoxesOnTheirRows(page, "End");
    SendMessageA(page.Tree->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(5, 5));
    Pump();
    ExpectBoxesOnTheirRows(page, "wheel");
    PressKey(VK_HOME);
    ExpectBoxesOnTheirRows(page, "Home");
  });
}

// A tick changes the group's Include: its size leaves its drive's total, the row stays; a
// group without choice shows a disabled box; the sizes and drive table follow.
TEST_F(FileGroups, TicksSizesAndDrives) {
  LoadGroups();
  OnPage([&](TFileGroupSelectForm& page) {
    TListItems& drives = page.Drives->Items();
    ASSERT_EQ(drives.Count(), 2);
    EXPECT_EQ(drives.Item(0)->Caption(), "C");
    EXPECT_EQ(drives.Item(1)->Caption(), "D");
    EXPECT_EQ(drives.Item(1)->SubItems()[0], "5,000 Bytes");
    EXPECT_EQ(page.pnlDriveSpace->Height(), 61);
    TIncludeCheckBox* help = nullptr;
    TIncludeCheckBox* fixed = nullptr;
    for (TIncludeCheckBox* box : page.IncludeList().Items) {
      if (box->Group == Get<TFileContainer>("Help")) help = box;
      if (box->Group == Get<TFileContainer>("Fixed")) fixed = box;
    }
    ASSERT_TRUE(help && fixed);
    EXPECT_FALSE(fixed->Enabled());
    EXPECT_TRUE(fixed->Checked());
    EXPECT_EQ(page.SizeList().Items[0]->Caption(), "5,000 Bytes");  // the root: every included file
    Click(*help);
    EXPECT_FALSE(Get<TFileContainer>("Help")->Include());
    ASSERT_EQ(drives.Count(), 2);
    EXPECT_EQ(drives.Item(1)->SubItems()[0], "0 Bytes");
    EXPECT_EQ(page.SizeList().Items[0]->Caption(), "0 Bytes");
    Click(*help);
    EXPECT_TRUE(Get<TFileContainer>("Help")->Include());
  });
}

// Browse takes the folder of the chosen name for the selected group, from then on without
// its specifier; a cancelled choice keeps it.
TEST_F(FileGroups, BrowseMovesTheGroup) {
  LoadGroups();
  std::string answer;
  auto previous = TOpenDialog::SetExecuteFunction([&](OPENFILENAMEA& ofn) {
    if (answer.empty()) return false;
    strcpy(ofn.lpstrFile, answer.c_str());
    return true;
  });
  OnPage([&](TFileGroupSelectForm& page) {
    auto* help = Get<TFileContainer>("Help");
    for (TTreeNode* n = page.Tree->Items().GetFirstNode(); n; n = n->GetNext())
      if (n->Data() == help) n->SetSelected(true);
    EXPECT_EQ(page.DirectoryLabel->Text(), "D:\\help");
    EXPECT_TRUE(page.DescriptionMemo->Visible());
    Click(*page.BrowseBtn);
    EXPECT_EQ(help->DestDir(), "D:\\help");
    answer = "E:\\Docs\\any.txt";
    Click(*page.BrowseBtn);
    EXPECT_EQ(help->DestDir(), "E:\\Docs");
    EXPECT_EQ(help->DestDirType(), nullptr);
    EXPECT_EQ(page.DirectoryLabel->Text(), "E:\\Docs");
    // Its file went along: the drives are C and E now.
    ASSERT_EQ(page.Drives->Items().Count(), 2);
    EXPECT_EQ(page.Drives->Items().Item(1)->Caption(), "E");
    EXPECT_EQ(page.Drives->Items().Item(1)->SubItems()[0], "5,000 Bytes");
  });
  TOpenDialog::SetExecuteFunction(previous);
}

// Outside the install types that choose, the page is passed over: a wizard of skipped
// pages finishes by itself and the install goes on.
TEST_F(FileGroups, SkippedWhenTheInstallTypeDoesNotChoose) {
  LoadGroups();
  Driver().SetCurrentInstallType(TInstallType::itDefault);
  EXPECT_EQ(Broadcast(setup::icBeforeInstall), "ok");  // no script: a page shown would wait
  Driver().SetCurrentInstallType(TInstallType::itCustom);
  bool shown = false;
  OnPage([&](TFileGroupSelectForm&) { shown = true; });
  EXPECT_TRUE(shown);
}

// Alone, the dialog needs its container.
TEST_F(FileGroups, WithoutAContainer) {
  Load("  object FG: TInstallFileGroupsDlg\n  end\n");
  try {
    Get<TInstallFileGroupsDlg>("FG")->Execute();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot run this dialog FG with a blank Container property");
  }
}

}  // namespace


namespace {

// The select-folder page over the main link group "Group" with one link in it.
class SelectFolder : public Dialogs {
 protected:
  void SetUp() override {
    Dialogs::SetUp();
    existing = setup::ProgramsFolder() + "\\Quiltor Existing Folder";
    CreateDirectoryA(existing.c_str(), nullptr);
  }
  void TearDown() override {
    Dialogs::TearDown();
    RemoveDirectoryA(existing.c_str());
  }
  void LoadPage(const char* manager, const char* destDir = "\\Quiltor Test") {
    Load((manager ? Manager("DM1", manager) + Dialog("W", "TWelcomeDlg", "DM1") : std::string()) +
         "  object Group: TMainLinkGroup\n    Container = Install1\n    DestDir = '" + destDir + "'\n  end\n"
         "  object Link: TInstallMainLink\n    LinkName = 'Tool.lnk'\n    ObjectLocation = 'C:\\tool.exe'\n  end\n"
         "  object SF: TSelectFolderDlg\n    Container = Group\n" +
         (manager ? "    DialogManager = DM1\n" : "") + "  end\n");
  }
  TMainLinkGroup& Group() { return *Get<TMainLinkGroup>("Group"); }
  static std::vector<std::string> Items(TSelectFolderForm& page) {
    std::vector<std::string> out;
    for (int i = 0; i < page.FolderListBox->Items().Count(); ++i) out.push_back(page.FolderListBox->Items()[i]);
    return out;
  }
  static bool Has(const std::vector<std::string>& items, const std::string& name) {
    return std::find(items.begin(), items.end(), name) != items.end();
  }
  std::string existing;
};

// In the wizard after the welcome page: the group's folder in the edit, the Start menu's
// folders in the list; a typed name moves the group and its link under the programs folder;
// a bad name disables Next while the group still follows; Previous and Next keep the name,
// a list entry replaces it, and Next on the page ends the wizard.
TEST_F(SelectFolder, TypedNameInTheWizard) {
  LoadPage("dmBeforeInstall");
  const std::string programs = setup::ProgramsFolder();
  int step = 0;
  std::string result = Broadcast(setup::icBeforeInstall, nullptr, [&] {
    TBaseFormContainer* w = Wizard();
    if (!w) return false;
    TBaseInstallForm* current = w->CurrentPage();
    auto* page = dynamic_cast<TSelectFolderForm*>(current);
    switch (step++) {
      case 0:
        EXPECT_EQ(page, nullptr);
        EXPECT_EQ(w->Pages().size(), 2u);
        Click(*current->ProceedBtn);
        return false;
      case 1: {
        if (!page) return ADD_FAILURE() << "no select-folder page", true;
        EXPECT_EQ(w->Caption(), "Select folder in start menu");
        EXPECT_TRUE(page->BackBtn->Visible());
        EXPECT_EQ(page->FolderEdit->Text(), "Quiltor Test");
        EXPECT_TRUE(page->ProceedBtn->Enabled());
        std::vector<std::string> items = Items(*page);
        EXPECT_TRUE(Has(items, "Quiltor Existing Folder")) << items.size();
        EXPECT_TRUE(std::is_sorted(items.begin(), items.end(),
                                   [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; }));
        EXPECT_EQ(SendMessageA(page->FolderListBox->Handle(), LB_GETITEMHEIGHT, 0, 0), 14);
        EXPECT_EQ(page->TopDescriptionLabel->GLID(), 41);
        EXPECT_EQ(page->ProgramFolders->Caption(), "&Program Folder");
        EXPECT_EQ(page->ExistingFolders->Caption(), "E&xisting Folders");
        EXPECT_EQ(page->Label1->Height(), 18);

        SetText(*page->FolderEdit, "Tools\\My Quiltor");
        EXPECT_TRUE(page->ProceedBtn->Enabled());
        EXPECT_EQ(Group().DestDir(), "\\Tools\\My Quiltor");
        EXPECT_TRUE(Is<TpsProgramMenu>(Group().DestDirType()));
        EXPECT_EQ(Get<TInstallMainLink>("Link")->GetFullDestDir(), programs + "\\Tools\\My Quiltor");
        Pump();
        Screenshot("select_folder_good");
        for (const char* bad : {"", "   ", "a|b", "Tools\\..", "\\Lead", "Tab\there"}) {
          SetText(*page->FolderEdit, bad);
          EXPECT_FALSE(page->ProceedBtn->Enabled()) << bad;
          EXPECT_EQ(Group().DestDir(), "\\" + Trim(bad)) << bad;
        }
        SetText(*page->FolderEdit, "Bad:Name");
        Pump();
        Screenshot("select_folder_bad");
        SetText(*page->FolderEdit, "  Tools\\My Quiltor ");
        EXPECT_TRUE(page->ProceedBtn->Enabled());
        EXPECT_EQ(Group().DestDir(), "\\Tools\\My Quiltor");
        Click(*page->BackBtn);
        return false;
      }
      case 2:
        EXPECT_EQ(page, nullptr);
        Click(*current->ProceedBtn);
        return false;
      case 3: {
        if (!page) return ADD_FAILURE() << "no select-folder page", true;
        EXPECT_EQ(page->FolderEdit->Text(), "Tools\\My Quiltor");
        std::vector<std::string> items = Items(*page);
        auto at = std::find(items.begin(), items.end(), "Quiltor Existing Folder");
        if (at == items.end()) return ADD_FAILURE() << "no existing folder", true;
        SelectItem(*page->FolderListBox, int(at - items.begin()));
        EXPECT_EQ(page->FolderEdit->Text(), "Quiltor Existing Folder");
        EXPECT_EQ(Group().DestDir(), "\\Quiltor Existing Folder");
        Click(*page->ProceedBtn);
        return true;
      }
      default: return true;
    }
  });
  EXPECT_EQ(result, "ok");
  EXPECT_EQ(Wizard(), nullptr);
  EXPECT_EQ(Get<TInstallMainLink>("Link")->GetFullDestDir(), programs + "\\Quiltor Existing Folder");
}

// A group outside the programs folder: the edit takes the first existing folder; with no
// existing folders it stays empty, Next is disabled and the group keeps its folder.
TEST_F(SelectFolder, GroupOutsideTheProgramsFolder) {
  for (bool folders : {true, false}) {
    SCOPED_TRACE(folders);
    LoadPage(nullptr);
    Group().TInstallContainer::SetDestDirType(nullptr);
    Group().SetDestDir("C:\\Elsewhere");
    // Program Manager's branch with no groups gives an empty list.
    struct TNoGroups : setup::IDdeTransport {
      bool Connect(const std::string&, const std::string&) override { return true; }
      void Disconnect() override {}
      bool Execute(const std::string&) override { return true; }
      bool Request(const std::string&, std::string& text) override {
        text.clear();
        return true;
      }
    } none;
    setup::IDdeTransport* transport = nullptr;
    setup::TWindowsVersionQuery query;
    if (!folders) {
      transport = setup::SetProgramManagerTransport(&none);
      query = setup::SetWindowsVersionQuery([](setup::TWindowsVersion& v) {
        v = {2, 3, 51};
        return true;
      });
    }
    std::string shown, dest;
    bool enabled = true;
    EXPECT_EQ(Broadcast(setup::icSelectFolder, nullptr,
                        [&] {
                          auto* f = Shown<TSelectFolderForm>();
                          if (!f) return false;
                          shown = f->FolderEdit->Text();
                          enabled = f->ProceedBtn->Enabled();
                          dest = Group().DestDir();
                          if (enabled) {
                            Click(*f->ProceedBtn);
                          } else {
                            SetText(*f->FolderEdit, "Typed");
                            Click(*f->ProceedBtn);
                          }
                          return true;
                        },
                        &Group()),
              "ok");
    if (!folders) {
      setup::SetWindowsVersionQuery(query);
      setup::SetProgramManagerTransport(transport);
      EXPECT_EQ(shown, "");
      EXPECT_FALSE(enabled);
      EXPECT_EQ(dest, "C:\\Elsewhere");
      EXPECT_EQ(Group().DestDir(), "\\Typed");
    } else {
      EXPECT_FALSE(shown.empty());
      EXPECT_TRUE(enabled);
      EXPECT_EQ(Group().DestDir(), "\\" + shown);
    }
    EXPECT_TRUE(Is<TpsProgramMenu>(Group().DestDirType()));
    root->Free();
    root = nullptr;
  }
}

// On a system without a Start-menu programs folder (NT 3.51) the list holds Program
// Manager's groups, as the session's PROGMAN service answers "Groups".
TEST_F(SelectFolder, ProgramManagerGroups) {
  TStringList groups;
  setup::ProgramManager().GetGroups(groups);
  setup::ProgramManager().Close();
  ASSERT_GT(groups.Count(), 0);
  LoadPage(nullptr);
  auto query = setup::SetWindowsVersionQuery([](setup::TWindowsVersion& v) {
    v = {2, 3, 51};
    return true;
  });
  std::vector<std::string> items;
  EXPECT_EQ(Broadcast(setup::icSelectFolder, nullptr,
                      [&] {
                        auto* f = Shown<TSelectFolderForm>();
                        if (!f) return false;
                        items = Items(*f);
                        Click(*f->ProceedBtn);
                        return true;
                      },
                      &Group()),
            "ok");
  setup::SetWindowsVersionQuery(query);
  setup::ProgramManager().Close();
  std::vector<std::string> expected;
  for (int i = 0; i < groups.Count(); ++i) expected.push_back(groups[i]);
  std::sort(expected.begin(), expected.end());
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, expected);
}

// Alone the page runs on its group's code, Back hidden and Next closing it; the dialog needs
// a link group as its container. Without a group the page is passed over.
TEST_F(SelectFolder, AloneAndWithoutAGroup) {
  LoadPage(nullptr);
  bool back = true;
  EXPECT_EQ(Broadcast(setup::icSelectFolder, nullptr,
                      [&] {
                        auto* f = Shown<TSelectFolderForm>();
                        if (!f) return false;
                        back = f->BackBtn->Visible();
                        Click(*f->ProceedBtn);
                        return true;
                      },
                      &Group()),
            "ok");
  EXPECT_FALSE(back);
  EXPECT_EQ(Broadcast(setup::icSelectFolder), "ok");  // the driver's children: nothing shows
  auto* dialog = Get<TSelectFolderDlg>("SF");
  EXPECT_EQ(dialog->GetContainer(), &Group());
  dialog->SetContainer(&Driver());
  auto message = [&] {
    try {
      dialog->Execute();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message(), "The container for SF must be a TCustomShellLinkGroup");
  dialog->SetContainer(nullptr);
  EXPECT_EQ(message(), "Cannot run this dialog SF with a blank Container property");
  root->Free();
  root = nullptr;

  Load(Manager("DM1", "dmBeforeInstall") + Dialog("W", "TWelcomeDlg", "DM1") +
       "  object SF: TSelectFolderDlg\n    DialogManager = DM1\n  end\n");
  int pages = 0;
  EXPECT_EQ(Broadcast(setup::icBeforeInstall, nullptr,
                      [&] {
                        TBaseFormContainer* w = Wizard();
                        if (!w) return false;
                        pages = int(w->Pages().size());
                        EXPECT_TRUE(w->CurrentPage()->IsLastPage() || w->CurrentPage()->Caption() == "Welcome");
                        Click(*w->CurrentPage()->ProceedBtn);
                        return true;
                      }),
            "ok");
  EXPECT_EQ(pages, 2);
}

}  // namespace

namespace {

// Every published default is what a fresh object holds, so the writer never drops a value
// that reads back as another; and every form of the dialogs loads from its resource.
TEST(SetupDialogClasses, DefaultsAgreeAndFormsLoad) {
  for (const TClassInfo* cls :
       {&TDialogManager::StaticClass(), &TWelcomeDlg::StaticClass(), &TRebootDlg::StaticClass(),
        &TGoodInstallationDlg::StaticClass(), &TBadInstallationDlg::StaticClass(),
        &TInstallStatusDlg::StaticClass(), &TCopyFileDlg::StaticClass(), &TChangeDiskDlg::StaticClass(),
        &TInstallFileGroupsDlg::StaticClass(), &TSelectFolderDlg::StaticClass(), &TBackdrop::StaticClass(), &TRotate3DLabel::StaticClass()}) {
    std::vector<std::string> wrong = DefaultMismatches(*cls);
    // The label's font starts as Arial, bold; the defaults of a nested font are the font
    // class's own, which no control can change.
    std::erase_if(wrong, [](const std::string& s) { return s.starts_with("TRotate3DLabel.Font."); });
    EXPECT_EQ(wrong, std::vector<std::string>{}) << cls->Name();
  }
  for (const TClassInfo* cls :
       {&TBaseFormContainer::StaticClass(), &TWelcomeForm::StaticClass(), &TRebootForm::StaticClass(),
        &TGoodInstallForm::StaticClass(), &TBadInstallForm::StaticClass(), &TInstallStatusForm::StaticClass(),
        &TCopyFileForm::StaticClass(), &TChangeDiskForm::StaticClass(), &TFileGroupSelectForm::StaticClass(),
        &TSelectFolderForm::StaticClass()}) {
    TComponent* f = cls->Create(Application);
    EXPECT_FALSE(f->Name().empty()) << cls->Name();
    f->Free();
  }
}

}  // namespace
