// The patch builder's windows in one process under Wine, with the real engine and a real
// mail server: runs through the Expert and Wizard pages and the worker, the progress
// window with its meters, clock, pause and cancel, the engine's errors, the e-mail box and
// the send path, the start-up placements and help routing.
//
// Runs under builder_run_check.py, which lays out the sample trees and the patches the
// native engine driver made from them in the folder named by QUILTOR_FIXTURES, and runs an
// SMTP server on QUILTOR_SMTP_PORT.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "builder/address_book.h"
#include "builder/address_table.h"
#include "builder/help_hook.h"
#include "builder/help_routing.h"
#include "builder/help_window.h"
#include "framework/core/sysutils.h"
#include "builder/main_window.h"
#include "builder/moxhint.h"
#include "builder/patch_thread.h"
#include "builder/program.h"
#include "builder/progress_window.h"
#include "builder/small_windows.h"
#include "builder/source_columns.h"
#include "framework/win/timer.h"
#include "framework/core/clock.h"
#include "framework/controls/buttons.h"
#include "framework/controls/dialogs.h"
#include "framework/core/registry.h"
#include "framework/testing/gui_test.h"
#include "framework/core/sysutils.h"
#include "builder/recipients.h"
#include "mail/email_thread_win32.h"
#include "patch_engine/engine.h"
#include "shell_controls/shell_startup_win32.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_tree.h"

#include <shellapi.h>  // after windows.h

namespace {

// The in-memory registry, which refuses every write while Refuse is set.
class TRefusingRegistry : public IRegistryBackend {
 public:
  bool Refuse = false;
  bool OpenKey(TRootKey root, const std::string& path, bool create, bool readOnly, THandle& key) override {
    return mem_.OpenKey(root, path, create, readOnly, key);
  }
  void CloseKey(THandle key) override { mem_.CloseKey(key); }
  bool QueryValue(THandle key, const std::string& name, TRegValue& value) override {
    return mem_.QueryValue(key, name, value);
  }
  bool SetValue(THandle key, const std::string& name, const TRegValue& value) override {
    return !Refuse && mem_.SetValue(key, name, value);
  }
  bool DeleteValue(THandle key, const std::string& name) override { return mem_.DeleteValue(key, name); }
  bool EnumKeys(THandle key, std::vector<std::string>& names) override { return mem_.EnumKeys(key, names); }
  bool EnumValues(THandle key, std::vector<std::string>& names) override { return mem_.EnumValues(key, names); }
  bool DeleteSubKey(THandle key, const std::string& name) override { return mem_.DeleteSubKey(key, name); }

 private:
  TMemRegistry mem_;
};

// A Unix path from the environment as Wine sees it.
std::string FixturePath(const std::string& relative) {
  const char* dir = std::getenv("QUILTOR_FIXTURES");
  if (!dir) return {};
  std::string p = std::string("Z:") + dir + "/" + relative;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

struct TShown {
  HWND Owner;
  TShownBox Box;
};

class BuilderGui : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    previousTicks_ = SetTickSource([this] { return uint32_t(GetTickCount()) + offset_; });
    previousBox_ = SetMessageBoxFunction([this](HWND owner, const std::string& text, const std::string& caption,
                                                UINT flags) {
      shown_.push_back({owner, {text, caption, flags}});
      return Boxes.Answer(text, caption, flags);
    });
    Seed();
    settings_ = std::make_unique<TSettings>(registry_);
    settings_->Load();
    SetProgramSettings(settings_.get());
    hook_ = StartPatchBuilder(scratch_.Path("Quiltor32.exe"));
    for (TComponent* f : {static_cast<TComponent*>(Form1), static_cast<TComponent*>(Form2),
                          static_cast<TComponent*>(Form4), static_cast<TComponent*>(form_Help)})
      Track(f);
    Form1->Show();
    Pump();
  }
  void TearDown() override {
    hook_.reset();
    SetMessageBoxFunction(previousBox_);
    TGuiTest::TearDown();
    SetProgramSettings(nullptr);
    SetTickSource(previousTicks_);
  }
  // What the registry holds before the program starts.
  virtual void Seed() {
    TRegistry reg(registry_);
    reg.OpenKey(std::string(kSettingsKey), true);
    reg.WriteBool("Hide Splash", true);
    reg.WriteInteger("Startup page", 1);
    reg.OpenKey(std::string(kSettingsKey) + "\\windows\\Form2", true);
    reg.WriteInteger("store mode", 2);
    reg.WriteInteger("left", 111);
    reg.WriteInteger("top", 99);
  }

  // Shows a version in a column as a user picks it: a folder alone, or the folder of the
  // named files with those selected.
  static void ChooseVersion(TQsShellCombo& combo, TQsShellList& list, const std::string& folder,
                            const std::vector<std::string>& names = {}) {
    combo.GetFolder().SetPath(folder);
    for (int i = 0; i < list.Items().Count(); ++i) list.Items()[i]->SetSelected(false);
    for (const std::string& name : names) {
      bool found = false;
      for (int i = 0; i < list.Items().Count() && !found; ++i)
        if (TQsShListData* d = list.GetItemData(i); d && SameText(d->GetFileName(), name)) {
          list.Items()[i]->SetSelected(true);
          found = true;
        }
      ASSERT_TRUE(found) << name << " in " << folder;
    }
  }
  // A path as a column shows it: a folder, or a file in its folder.
  static void ChoosePath(TQsShellCombo& combo, TQsShellList& list, const std::string& path) {
    if (platform::IsDirectory(path))
      ChooseVersion(combo, list, path);
    else
      ChooseVersion(combo, list, ExtractFilePath(path), {ExtractFileName(path)});
  }
  // A run through the Expert page; Click returns when the worker is done.
  void RunExpert(const std::string& source, const std::string& target, const std::string& patchName,
                 int patchType = 0) {
    SelectItem(*Form1->combo_ExpertPatchType, patchType);
    ChoosePath(*Form1->pathcombo_ExpertSource1, *Form1->filelist_ExpertSource1, source);
    ChoosePath(*Form1->pathcombo_ExpertDest, *Form1->filelist_ExpertDest, target);
    SetText(*Form1->edit_ExpertPatchName, patchName);
    ASSERT_TRUE(Form1->button_ExpertCreate->Enabled()) << source << " -> " << target;
    Click(*Form1->button_ExpertCreate);
  }
  // Closes the finished progress window; the main window comes back.
  void CloseProgress() {
    Click(*Form2->button_CancelClose);
    Pump();
    EXPECT_FALSE(Form2->Visible());
    EXPECT_TRUE(Form1->Visible());
  }
  // Starts a run of the engine options as they are, to act on it while it runs.
  void StartRun(TPatchRun& run) {
    Form1->Hide();
    run.Start();
    // The first stage's meter of this run, once the window shows it.
    ASSERT_TRUE(PumpUntil([] { return (Form2->Visible() && Form2->progress_Thrune1->Percent() >= 1) || PatchDone(); },
                          30000));
    ASSERT_FALSE(PatchDone()) << "the run ended before it could be caught";
  }
  // With QUILTOR_HOLD_MS set, keeps the windows up that long (for screenshots from outside).
  void HoldForScreenshot() {
    if (const char* hold = std::getenv("QUILTOR_HOLD_MS")) PumpUntil([] { return false; }, std::atoi(hold));
  }
  // A source and a target big enough for a run to be caught in its first stage.
  void WriteBigPair() {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789 \n";
    std::string v0 = testsupport::Noise(400000, 77, alphabet), v1 = v0;
    for (size_t at = 1000; at + 8 < v1.size(); at += 9000) v1.replace(at, 8, "#changed");
    scratch_.WriteFile("big0.bin", v0);
    scratch_.WriteFile("big1.bin", v1);
  }
  void FillBigRun(const std::string& output, int patchType = 0) {
    TPatchRequest r;
    r.Versions = {scratch_.Path("big0.bin"), scratch_.Path("big1.bin")};
    r.PatchName = output;
    r.PatchType = patchType;
    r.BackupName = "Backup";
    FillEngineOptions(r, settings_->Packers);
  }

  TRefusingRegistry registry_;
  std::unique_ptr<TSettings> settings_;
  std::unique_ptr<HelpDummyClass> hook_;
  testsupport::ScratchTree scratch_;
  // Added to the real clock: the harness's own time limits need time to pass.
  uint32_t offset_ = 0;
  std::vector<TShown> shown_;

 private:
  TTickSource previousTicks_;
  TMessageBoxFunction previousBox_;
};

TEST_F(BuilderGui, ExpertRunsWriteWhatTheNativeDriverWrites) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through gui_run_check.sh";
  struct Case {
    const char* what;
    std::string source, target, expected;
    bool trees;
  } cases[] = {
      {"two files", FixturePath("tree-v1/src/tally.c"), FixturePath("tree-v2/src/tally.c"),
       FixturePath("expected/file.utp"), false},
      {"two trees", FixturePath("tree-v1"), FixturePath("tree-v2"), FixturePath("expected/tree.utp"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string output = scratch_.Path(std::string(c.trees ? "tree" : "file") + ".utp");
    RunExpert(c.source, c.target, output);
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(testsupport::ReadFileBytes(output), testsupport::ReadFileBytes(c.expected));
    for (auto [meter, label] : {std::pair{Form2->progress_Thrune1, Form2->label_Progress1},
                                std::pair{Form2->progress_Thrune2, Form2->label_Progress2},
                                std::pair{Form2->progress_Thrune3, Form2->label_Progress3}}) {
      EXPECT_EQ(meter->Percent(), 100);
      EXPECT_EQ(label->Caption(), "100%");
    }
    EXPECT_EQ(Form2->progress_Directory->Visible(), c.trees);
    if (c.trees) {
      EXPECT_EQ(Form2->progress_Directory->Percent(), 100);
      EXPECT_EQ(Form2->label_ProgressDir->Caption(), "100%");
      EXPECT_EQ(Form2->label_CurrentFilename->Caption(), "Currently analysed File: Done.");
      EXPECT_EQ(Application->Title(), "100%");
    }
    // Reported after the last record, before the trailer (and a tree's closing tag).
    const size_t size = testsupport::ReadFileBytes(output).size() - 8 - (c.trees ? 1 : 0);
    EXPECT_EQ(Form2->label_Patchsize->Caption(), "Patchsize : " + std::to_string(size));
    EXPECT_EQ(Form2->label_PatchExecutable->Caption(), "Executable: No.");
    EXPECT_EQ(Form2->label_PatchMultipatch->Caption(), "Multipatch: No.");
    EXPECT_EQ(Form2->button_CancelClose->Caption(), "&Close");
    EXPECT_FALSE(Form2->button_PauseContinue->Enabled());
    CloseProgress();
    EXPECT_EQ(Application->Title(), ApplicationTitle());
  }
  EXPECT_TRUE(shown_.empty());
}

TEST_F(BuilderGui, VersionLabelsAreRebuiltForEveryRun) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through gui_run_check.sh";
  TPatchRequest r;
  r.Versions = {FixturePath("tree-v1/README.txt"), FixturePath("tree-v2/README.txt"),
                FixturePath("tree-v2/docs/changes.txt")};
  r.PatchName = scratch_.Path("multi.utp");
  r.BackupName = "Backup";
  Form1->StartPatching(r);
  EXPECT_EQ(testsupport::ReadFileBytes(scratch_.Path("multi.utp")),
            testsupport::ReadFileBytes(FixturePath("expected/multi.utp")));
  EXPECT_EQ(Form2->label_PatchMultipatch->Caption(), "Multipatch: Yes.");
  ASSERT_EQ(Form2->VersionLabels().size(), 3u);
  // The last step ran from version 0 into version 1: those two are black, the target white.
  EXPECT_EQ(Form2->VersionLabels()[0]->Caption(), r.Versions[0]);
  EXPECT_EQ(Form2->VersionLabels()[0]->Font().Color(), TColor(0));
  EXPECT_EQ(Form2->VersionLabels()[1]->Font().Color(), TColor(0));
  EXPECT_EQ(Form2->VersionLabels()[2]->Font().Color(), TColor(0xFFFFFF));
  EXPECT_EQ(Form2->group_FileProgress->Height(), 4 * 20 + 115);
  const int controls = Form2->group_FileProgress->ControlCount();
  CloseProgress();

  r.Versions = {FixturePath("tree-v1/README.txt"), FixturePath("tree-v2/README.txt")};
  r.PatchName = scratch_.Path("single.utp");
  Form1->StartPatching(r);
  EXPECT_EQ(Form2->label_PatchMultipatch->Caption(), "Multipatch: No.");
  EXPECT_EQ(Form2->VersionLabels().size(), 2u);
  EXPECT_EQ(Form2->group_FileProgress->ControlCount(), controls - 1);
  EXPECT_EQ(Form2->group_FileProgress->Height(), 3 * 20 + 115);
  CloseProgress();
}

TEST_F(BuilderGui, PauseStopsTheClockAndTheEngine) {
  constexpr uint32_t kHour = 3600000;
  WriteBigPair();
  FillBigRun(scratch_.Path("paused.utp"));
  TPatchRun run;
  StartRun(run);
  Click(*Form2->button_PauseContinue);
  EXPECT_TRUE(Form2->Paused());
  EXPECT_EQ(Form2->button_PauseContinue->Caption(), "Resume");
  PumpUntil([] { return false; }, 300);  // serves what the worker had asked before the pause
  const int percent = Form2->progress_Thrune1->Percent();
  const std::string elapsed = Form2->label_Elapsed->Caption();
  HoldForScreenshot();
  offset_ += kHour;
  PumpUntil([] { return false; }, 700);
  EXPECT_EQ(Form2->progress_Thrune1->Percent(), percent);
  EXPECT_EQ(Form2->progress_Thrune2->Percent(), 0);
  EXPECT_EQ(Form2->label_Elapsed->Caption(), elapsed);
  EXPECT_LT(Form2->ElapsedMs(), kHour);
  EXPECT_FALSE(PatchDone());

  Click(*Form2->button_PauseContinue);
  EXPECT_EQ(Form2->button_PauseContinue->Caption(), "Pause");
  offset_ += 2000;
  ASSERT_TRUE(PumpUntil([&] { return run.Poll(); }, 50000));
  run.Finish();
  EXPECT_EQ(Form2->progress_Thrune3->Percent(), 100);
  EXPECT_GE(Form2->ElapsedMs(), 2000u);
  EXPECT_LT(Form2->ElapsedMs(), kHour);  // the pause is left out
  EXPECT_GT(testsupport::ReadFileBytes(scratch_.Path("paused.utp")).size(), 76u);
  CloseProgress();
  EXPECT_TRUE(shown_.empty());
}

TEST_F(BuilderGui, CancelLeavesNoOutputAndNoTemporaryFiles) {
  WriteBigPair();
  scratch_.WriteFile("mendr32.exe", "stub");
  const auto inputs = scratch_.Listing();
  for (int patchType : {0, 2}) {
    SCOPED_TRACE(patchType);
    FillBigRun(scratch_.Path("cancelled.utp"), patchType);
    TPatchRun run;
    StartRun(run);
    // Declined: the run goes on as it was.
    Boxes.Expect("Cancel patching process?", IDNO);
    Click(*Form2->button_CancelClose);
    EXPECT_FALSE(Form2->Paused());
    EXPECT_TRUE(Form2->Visible());
    // Confirmed: the worker unwinds, the main window comes back, nothing else is shown.
    Boxes.Expect("Cancel patching process?", IDYES);
    Click(*Form2->button_CancelClose);
    EXPECT_TRUE(PatchDone());
    EXPECT_FALSE(Form2->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(run.Poll());
    run.Finish();
    EXPECT_EQ(scratch_.Listing(), inputs);
    EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].Box.Caption, "Are you sure to cancel current patching process?");
    EXPECT_EQ(shown_[1].Box.Flags, UINT(MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2));
    shown_.clear();
  }
}

TEST_F(BuilderGui, EngineErrorsAreShownWithTheirTextsAndTheProgramGoesOn) {
  scratch_.WriteFile("a.bin", "first version of a");
  scratch_.WriteFile("b.bin", "second version of b");
  const std::string a = scratch_.Path("a.bin"), b = scratch_.Path("b.bin");
  struct Case {
    const char* what;
    std::function<void()> setUp;
    std::string source;
    int patchType;
    std::string text, caption;
    UINT flags;
  } cases[] = {
      {"missing source", [this] { scratch_.WriteFile("gone.bin", "soon gone"); }, scratch_.Path("gone.bin"), 0,
       "Error, can't find file \"" + scratch_.Path("gone.bin") + "\"!\n", "Something unexpected happened", 0},
      {"missing stub", [] {}, a, 2,
       "Error, can't find \"mendr32.exe\" in directory of the calling Fabrin, though it's required to build "
       "executeable patchfiles.",
       ApplicationTitle(), MB_OK | MB_ICONSTOP},
      {"name longer than 255", [] { Form1->edit_ExpertDefaultBackupDir->SetText(std::string(256, 'k')); }, a, 0,
       "Error, Filenames longer than 255 characters not supported!", "Something unexpected happened", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.setUp();
    const std::string output = scratch_.Path(c.patchType ? "out.exe" : "out.utp");
    Boxes.Expect(c.text.substr(0, 20), IDOK);
    if (c.source == scratch_.Path("gone.bin")) {
      // Chosen while it was there; gone when the engine looks for it.
      SelectItem(*Form1->combo_ExpertPatchType, c.patchType);
      ChoosePath(*Form1->pathcombo_ExpertSource1, *Form1->filelist_ExpertSource1, c.source);
      ChoosePath(*Form1->pathcombo_ExpertDest, *Form1->filelist_ExpertDest, b);
      SetText(*Form1->edit_ExpertPatchName, output);
      ASSERT_TRUE(platform::RemoveFile(c.source));
      Click(*Form1->button_ExpertCreate);
    } else {
      RunExpert(c.source, b, output, c.patchType);
    }
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Box.Text, c.text);
    EXPECT_EQ(shown_[0].Box.Caption, c.caption);
    EXPECT_EQ(shown_[0].Box.Flags, c.flags);
    EXPECT_EQ(shown_[0].Owner, Form2->Handle());
    EXPECT_FALSE(platform::IsFile(output));
    EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
    EXPECT_EQ(Form2->button_CancelClose->Caption(), "&Close");
    CloseProgress();
    shown_.clear();
    Form1->edit_ExpertDefaultBackupDir->SetText("Backup");
  }
  // The program goes on: the next run succeeds.
  RunExpert(a, b, scratch_.Path("good.utp"));
  EXPECT_TRUE(platform::IsFile(scratch_.Path("good.utp")));
  CloseProgress();
  EXPECT_TRUE(shown_.empty());
}

TEST_F(BuilderGui, AMissingPackerEndsTheRunBeforeTheProgressWindowAndTheMainWindowComesBack) {
  scratch_.WriteFile("a.bin", "first version of a");
  scratch_.WriteFile("b.bin", "second version of b");
  Form1->chkbox_OptionSysPath[0]->SetChecked(false);  // InfoZIP at its own path
  Form1->edit_OptionPath[0]->SetText("C:\\no such folder\\zip.exe");
  SelectItem(*Form1->combo_ExpertPackerType, 1);
  Boxes.Expect("Can't find packer executable", IDOK);
  RunExpert(scratch_.Path("a.bin"), scratch_.Path("b.bin"), scratch_.Path("packed.zip"));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].Box.Text,
            "Can't find packer executable at \"C:\\no such folder\\zip.exe\", you'll need to correct that setting.");
  EXPECT_EQ(shown_[0].Box.Caption, "Error");
  EXPECT_EQ(shown_[0].Box.Flags, UINT(MB_ICONSTOP));
  EXPECT_FALSE(Form2->Visible());
  EXPECT_TRUE(Form1->Visible());
  EXPECT_EQ(scratch_.Listing(), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(BuilderGui, AQuestionFromTheWorkerStopsTheClockWhileItIsUp) {
  constexpr uint32_t kHour = 3600000;
  scratch_.WriteFile("a.bin", "first version of a");
  scratch_.WriteFile("b.bin", "second version of b");
  scratch_.WriteFile("pkzip.exe", "not run: the question is declined");
  Form1->chkbox_OptionSysPath[1]->SetChecked(false);  // PkZIP at its own path
  Form1->edit_OptionPath[1]->SetText(scratch_.Path("pkzip.exe"));
  SelectItem(*Form1->combo_ExpertPackerType, 2);
  const TMessageBoxFunction recorder = SetMessageBoxFunction(nullptr);
  SetMessageBoxFunction([this, recorder](HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    offset_ += kHour;  // the hour the question stays up
    return recorder(owner, text, caption, flags);
  });
  const std::string output = scratch_.Path("a_long_patch_name.utp");
  Boxes.Expect("may not support long filenames", IDCANCEL);
  RunExpert(scratch_.Path("a.bin"), scratch_.Path("b.bin"), scratch_.Path("a_long_patch_name.zip"));
  SetMessageBoxFunction(recorder);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].Box.Text, "The 3rd-party product \"PkZIP\" may not support long filenames like \"" + output +
                                    "\". Using it may fail, try it anyway?");
  EXPECT_EQ(shown_[0].Box.Caption, "Warning");
  EXPECT_EQ(shown_[0].Box.Flags, UINT(MB_OKCANCEL | MB_ICONEXCLAMATION));
  EXPECT_EQ(shown_[0].Owner, Form2->Handle());
  EXPECT_LT(Form2->ElapsedMs(), kHour);
  EXPECT_TRUE(platform::IsFile(output));  // declined: the patch stays, unpacked
  CloseProgress();
}

TEST_F(BuilderGui, StartUpRestoresPlacementsAndRewritesHints) {
  EXPECT_EQ(Form2->Left(), 111);
  EXPECT_EQ(Form2->Top(), 99);
  EXPECT_EQ(Form1->rdgrp_OptionPatchWindowPos->ItemIndex(), 2);
  EXPECT_EQ(Form4->Left(), 300);
  EXPECT_EQ(Form4->Top(), 300);
  EXPECT_EQ(Form1->rdgrp_OptionEmailSendWindowPos->ItemIndex(), 0);
  EXPECT_EQ(Form1->Left(), 70);
  EXPECT_EQ(Form1->pagectrl_Main->ActivePage(), Form1->page_Expert);
  EXPECT_EQ(Form1->ClientHeight(), 553);
  EXPECT_EQ(Form2->progress_Directory->Hint(),
            "Overall directory progress. Will show you how many bytes\r\nof whole destination directory have\r\n"
            "already been done.");
  EXPECT_EQ(Application->HintHidePause(), 100000);
  HoldForScreenshot();
  // A placement mode chosen on the options page is stored at once.
  SelectItem(*Form1->rdgrp_OptionEmailSendWindowPos, 1);
  TRegistry reg(registry_);
  ASSERT_TRUE(reg.OpenKey(std::string(kSettingsKey) + "\\windows\\Form4", false));
  EXPECT_EQ(reg.ReadInteger("store mode"), 1);
}

// The main window's balloon controller: its settings, the application's hint window class,
// and a balloon over the window's own file list after the pause.
TEST_F(BuilderGui, HintsAreBalloonsInTheMainWindowsFontAfterItsPause) {
  TMoxHint* mox = Form1->hint_Controller;
  ASSERT_NE(mox, nullptr);
  EXPECT_EQ(mox->HintFont().Height(), -16);
  EXPECT_EQ(mox->HintFont().Color(), clBlue);
  EXPECT_EQ(mox->HintFont().Style(), fsBold | fsItalic);
  EXPECT_EQ(mox->HintPauseTime(), 1500);
  EXPECT_EQ(Application->HintPause(), 1500);
  EXPECT_EQ(Application->HintWindowClass(), &TNewHint::StaticClass());

  TQsShellList& list = *Form1->filelist_ExpertSource1;
  TPoint mouse = list.ClientToScreen({list.Width() / 2, list.Height() / 2});
  Application->CancelHint();
  SetCursorPos(mouse.X, mouse.Y);
  TPoint client = list.ScreenToClient(mouse);
  PostMessageA(list.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(client.X, client.Y));
  auto shown = [] {
    auto* h = dynamic_cast<TNewHint*>(Application->HintWindow());
    return h && h->HandleAllocated() && IsWindowVisible(h->Handle()) ? h : nullptr;
  };
  DWORD start = GetTickCount();
  ASSERT_TRUE(PumpUntil([&] { return shown() != nullptr; }, 6000));
  EXPECT_GE(int(GetTickCount() - start), 1400);
  TNewHint* h = shown();
  EXPECT_EQ(h->Text(), GetShortHint(list.Hint()));
  EXPECT_EQ(h->Font().Height(), -16);
  Pump();
  RECT wr{};
  GetWindowRect(h->Handle(), &wr);
  TCapture img = CaptureScreen({int(wr.left), int(wr.top), int(wr.right), int(wr.bottom)});
  const TBalloonShape s = BalloonShapeOf({img.Width, img.Height}, h->Direction());
  EXPECT_TRUE(PixelNear(img, s.Box.Left + 3, s.Box.Top + s.Box.Height() / 2, 0xFFFF00, 8));
  EXPECT_TRUE(PixelNear(img, s.Box.Left, s.Box.Top + s.Box.Height() / 2, 0x000000, 40));
  HoldForScreenshot();
  Application->CancelHint();
}

TEST_F(BuilderGui, HelpGoesToTheBrowserAndTheHelpWindow) {
  std::vector<std::pair<std::string, int>> started;
  unsigned result = 33;
  TProgramStarter previous = SetProgramStarter([&](const std::string& line, int show) {
    started.emplace_back(line, show);
    return result;
  });
  settings_->System.BrowserCommand = "browser.exe \"%1\"";
  settings_->System.MailCommand = "mailer.exe /to %1";
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  ASSERT_TRUE(SetCurrentDirectoryA(scratch_.Dir().c_str()));

  // Context help names the active form, and the active page of the main window.
  SetActiveWindow(Form1->Handle());
  Pump();
  Application->HelpContext(1);
  Form2->Show();
  SetActiveWindow(Form2->Handle());
  Pump();
  Application->HelpCommand(3, 0);
  Application->HelpContext(1);
  Form2->Hide();
  const std::string help = scratch_.Dir() + "\\help\\";
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[0], std::make_pair("browser.exe \"" + help + "Form1_page_Expert.html\"", int(SW_SHOW)));
  EXPECT_EQ(started[1], std::make_pair("browser.exe \"" + help + "index.html\"", int(SW_SHOW)));
  EXPECT_EQ(started[2], std::make_pair("browser.exe \"" + help + "Form2.html\"", int(SW_SHOW)));

  // A link the mail program takes; a browser that does not start: the address can be copied.
  Boxes.Expect("pictures of Quiltor Snapmend", IDOK);
  Click(*Form1->label_AboutArtist);
  EXPECT_EQ(started.back(), std::make_pair(std::string("mailer.exe /to ") + kArtistMail, int(SW_HIDE)));
  result = 2;
  Boxes.Expect("can't launch your internet browser automatically", IDYES);
  OpenWebLink("http://example.invalid/page");
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  EXPECT_STREQ(text ? text : "", "http://example.invalid/page");
  if (text) GlobalUnlock(data);
  CloseClipboard();

  // F1 in the main window: the help window, once the help folder is there.
  SetActiveWindow(Form1->Handle());
  Boxes.Expect("Can't locate file: help\\index.html.", IDOK);
  Form1->edit_ExpertPatchName->SetFocus();
  PressKey(VK_F1);
  EXPECT_FALSE(form_Help->Visible());
  EXPECT_EQ(Exceptions.Take(), std::vector<std::string>{"Can't locate file: help\\index.html"});
  scratch_.WriteFile("help\\index.html", "<html></html>");
  scratch_.WriteFile("help\\Form2.html", "<html></html>");
  // The reported failure may have moved the focus; F1 goes to the focused control.
  Form1->edit_ExpertPatchName->SetFocus();
  Pump();
  PressKey(VK_F1);
  EXPECT_TRUE(form_Help->Visible());
  const TStringList& history = form_Help->docview_Help->History();
  EXPECT_EQ(history.Count(), 1);
  Click(*form_Help->Button2);  // nothing before the contents
  EXPECT_EQ(history.Count(), 1);
  form_Help->ShowPage("Form2.html");
  Click(*form_Help->Button2);
  ASSERT_EQ(history.Count(), 2);
  EXPECT_TRUE(SameText(history[0], help + "index.html")) << history[0];
  EXPECT_TRUE(SameText(history[1], help + "Form2.html")) << history[1];
  Click(*form_Help->Button2);
  EXPECT_TRUE(SameText(history[0], help + "Form2.html")) << history[0];
  EXPECT_TRUE(SameText(form_Help->docview_Help->CurrentFile(), help + "Form2.html"));

  SetCurrentDirectoryA(cwd);
  SetProgramStarter(previous);
}


// Several names selected in one list go in the list's order; Create gives the edit the
// name the run wrote, and the send button follows it.
TEST_F(BuilderGui, SelectedItemsGoInListOrderAndCreateNamesTheWrittenPatch) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  ChooseVersion(*Form1->pathcombo_ExpertSource1, *Form1->filelist_ExpertSource1, FixturePath("pair"),
                {"2-older.txt", "1-old.txt"});
  ChoosePath(*Form1->pathcombo_ExpertDest, *Form1->filelist_ExpertDest, FixturePath("tree-v2\\docs\\changes.txt"));
  const TPatchRequest r = Form1->ReadRequest(true);
  EXPECT_EQ(r.Versions, (std::vector<std::string>{FixturePath("pair\\1-old.txt"), FixturePath("pair\\2-older.txt"),
                                                   FixturePath("tree-v2\\docs\\changes.txt")}));
  // A plain patch without a packer, named ".zip": the run writes ".utp".
  ASSERT_EQ(Form1->combo_ExpertPatchType->ItemIndex(), 0);
  ASSERT_EQ(Form1->combo_ExpertPackerType->ItemIndex(), 0);
  SetText(*Form1->edit_ExpertPatchName, scratch_.Path("pair.zip"));
  EXPECT_TRUE(Form1->button_ExpertCreate->Enabled());
  EXPECT_FALSE(Form1->chkbox_ExpertForceIdentical->Enabled());
  EXPECT_FALSE(Form1->button_ExpertSendEmail->Enabled());
  Click(*Form1->button_ExpertCreate);
  EXPECT_EQ(Form1->edit_ExpertPatchName->Text(), scratch_.Path("pair.utp"));
  EXPECT_EQ(testsupport::ReadFileBytes(scratch_.Path("pair.utp")),
            testsupport::ReadFileBytes(FixturePath("expected/pair.utp")));
  EXPECT_TRUE(Form1->button_ExpertSendEmail->Enabled());
  CloseProgress();
  // Two trees: the identical-files box is offered.
  ChooseVersion(*Form1->pathcombo_ExpertSource1, *Form1->filelist_ExpertSource1, FixturePath("tree-v1"));
  ChooseVersion(*Form1->pathcombo_ExpertDest, *Form1->filelist_ExpertDest, FixturePath("tree-v2"));
  EXPECT_TRUE(Form1->button_ExpertCreate->Enabled());
  EXPECT_TRUE(Form1->chkbox_ExpertForceIdentical->Enabled());
  // A patch inside the target tree is refused.
  SetText(*Form1->edit_ExpertPatchName, FixturePath("tree-v2\\p.utp"));
  EXPECT_FALSE(Form1->button_ExpertCreate->Enabled());
}

TEST_F(BuilderGui, WizardStepsThroughItsPagesAndCreatesWhatTheNativeDriverWrites) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  Form1->pagectrl_Main->SetActivePage(Form1->page_Wizard);
  Form1->pagectrl_MainChange(Form1->pagectrl_Main);
  EXPECT_EQ(Form1->ClientHeight(), 405);
  TButton& next = *Form1->button_WizardContinue;
  TButton& back = *Form1->WizardBack;
  struct Step {
    TTabSheet* page;
    const char* caption;
    bool nextEnabled, backEnabled;
  };
  const auto expectStep = [&](const Step& s) {
    EXPECT_EQ(Form1->pagectrl_Wizard->ActivePage(), s.page);
    EXPECT_EQ(next.Caption(), s.caption);
    EXPECT_EQ(next.Enabled(), s.nextEnabled);
    EXPECT_EQ(back.Enabled(), s.backEnabled);
    EXPECT_EQ(Form1->label_WizardDecoration1->Parent(), s.page);
    EXPECT_EQ(Form1->label_WizardDecoration2->Parent(), s.page);
  };
  expectStep({Form1->page_WizardStep1, "&Continue >", true, false});
  EXPECT_EQ(Form1->button_WizardExit->Caption(), "E&xit");
  EXPECT_EQ(back.Caption(), "< &Back");
  ChoosePath(*Form1->pathcombo_WizardSource1, *Form1->filelist_WizardSource1, FixturePath("tree-v1\\src\\tally.c"));
  HoldForScreenshot();
  Click(next);
  // Step 2: no target yet (the desktop folder with nothing selected is no file).
  ChoosePath(*Form1->pathcombo_WizardDest, *Form1->filelist_WizardDest, FixturePath("tree-v1\\src\\tally.c"));
  expectStep({Form1->page_WizardStep2, "&Continue >", false, true});
  HoldForScreenshot();
  ChoosePath(*Form1->pathcombo_WizardDest, *Form1->filelist_WizardDest, FixturePath("tree-v2\\src\\tally.c"));
  expectStep({Form1->page_WizardStep2, "&Continue >", true, true});
  Click(back);
  expectStep({Form1->page_WizardStep1, "&Continue >", true, false});
  Click(next);
  Click(next);
  expectStep({Form1->page_WizardStep3, "&Create >", true, true});
  // The stored defaults: an executable patch; a plain one here.
  EXPECT_EQ(Form1->combo_WizardPatchType->ItemIndex(), 2);
  SelectItem(*Form1->combo_WizardPatchType, 0);
  SetText(*Form1->edit_WizardPatchName, "");
  expectStep({Form1->page_WizardStep3, "&Create >", false, true});
  SetText(*Form1->edit_WizardPatchName, scratch_.Path("wizard.exe"));
  HoldForScreenshot();
  Click(next);
  EXPECT_EQ(Form1->edit_WizardPatchName->Text(), scratch_.Path("wizard.utp"));
  EXPECT_EQ(testsupport::ReadFileBytes(scratch_.Path("wizard.utp")),
            testsupport::ReadFileBytes(FixturePath("expected/file.utp")));
  CloseProgress();
  expectStep({Form1->page_WizardStep1, "&Continue >", true, false});
  EXPECT_TRUE(shown_.empty());
}

// The e-mail box and the send path against the real server: typed recipients and their
// rows, the identity's server with its port, each failure's box owned by the progress
// window, and the main window back after every send.
class BuilderMail : public BuilderGui {
 protected:
  void Seed() override {
    BuilderGui::Seed();
    TRegistry reg(registry_);
    reg.OpenKey(std::string(kSettingsKey), true);
    reg.WriteString("mail profile", "Custom settings #2");
    reg.WriteString("default patch email subject", "Your patch for the tests");
    reg.OpenKey(std::string(kSettingsKey) + "\\email settings\\custom2", true);
    reg.WriteString("Realname", "Pat Sender");
    reg.WriteString("Email", "pat@sender.example");
    const char* port = std::getenv("QUILTOR_SMTP_PORT");
    reg.WriteString("SMTP", std::string("127.0.0.1:") + (port ? port : "0"));
  }
  void TearDown() override {
    ProgramRecipients().clear();
    BuilderGui::TearDown();
  }
  void Type(const std::string& address) {
    SetText(*Form1->edit_ExpertEmailReceiver1, address);
    Form1->edit_ExpertEmailReceiver1->SetFocus();
    PressKey(VK_RETURN);
  }
  TEmailSettings& Identity() { return settings_->Identities[size_t(Form1->combo_OptionDefaultEmailSettings->ItemIndex())]; }
  void WritePatch() {
    scratch_.WriteFile("mailed.utp", std::string(3000, 'p') + "end");
    SetText(*Form1->edit_ExpertPatchName, scratch_.Path("mailed.utp"));
  }
  // Sends and returns the boxes shown meanwhile.
  std::vector<TShown> Send() {
    shown_.clear();
    EXPECT_TRUE(Form1->button_ExpertSendEmail->Enabled());
    Click(*Form1->button_ExpertSendEmail);
    EXPECT_TRUE(EmailDone());
    EXPECT_FALSE(Form1->Sending());
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    return shown_;
  }
};

TEST_F(BuilderMail, TypedRecipientsBecomeRowsOnceEach) {
  EXPECT_EQ(Form1->edit_ExpertEmailSubject->Text(), "Your patch for the tests");
  EXPECT_EQ(Form1->combo_OptionDefaultEmailSettings->Text(), "Custom settings #2");
  EXPECT_EQ(Form1->combo_ExpertEmailType1->Text(), "TO");
  for (const char* refused : {"nobody", "two@at@signs.example", "name@domain"}) {
    Type(refused);
    EXPECT_EQ(Form1->edit_ExpertEmailReceiver1->Text(), refused);
  }
  EXPECT_TRUE(ProgramRecipients().empty());
  Type("ann@example.test");
  EXPECT_EQ(Form1->edit_ExpertEmailReceiver1->Text(), "");
  EXPECT_EQ(Form1->combo_ExpertEmailType1->Text(), "CC");
  Type("bob@example.test");
  Type("BOB@example.test");  // listed already: cleared, not added
  EXPECT_EQ(Form1->edit_ExpertEmailReceiver1->Text(), "");
  SelectItem(*Form1->combo_ExpertEmailType1, 2);
  SetText(*Form1->edit_ExpertEmailReceiver1, "carl@example.test");
  Form1->edit_ExpertEmailSubject->SetFocus();  // leaving the edit takes it too
  Pump();
  ASSERT_EQ(ProgramRecipients().size(), 3u);
  EXPECT_EQ(ProgramRecipients()[2], (TRecipient{-1, "carl@example.test", "", TRecipient::kBcc}));
  ProgramRecipients().push_back({7, "dora@example.test", "Dora Dee", TRecipient::kCc});
  Form1->RebuildRecipientRows();
  const char* const texts[] = {"ann@example.test", "bob@example.test", "carl@example.test",
                               "dora@example.test (Dora Dee)"};
  const char* const kinds[] = {"TO", "CC", "BCC", "CC"};
  ASSERT_EQ(Form1->RecipientEdits().size(), 4u);
  const int origin = Form1->RecipientEdits()[0]->Top();
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Form1->RecipientEdits()[i]->Text(), texts[i]);
    EXPECT_EQ(Form1->RecipientKinds()[i]->Text(), kinds[i]);
    EXPECT_EQ(Form1->RecipientEdits()[i]->Top() - origin, int(i) * 25);
  }
  EXPECT_EQ(Form1->edit_ExpertEmailReceiver1->Top() - origin, 4 * 25);
  // The box scrolls so that the entry pair is in view.
  EXPECT_GT(Form1->scrbox_Email->VertPosition(), 0);
  EXPECT_LE(Form1->edit_ExpertEmailReceiver1->Top() + Form1->edit_ExpertEmailReceiver1->Height(),
            Form1->scrbox_Email->ClientHeight());
  HoldForScreenshot();
  // Without a patch file, or without recipients, the send button does nothing.
  EXPECT_FALSE(Form1->button_ExpertSendEmail->Enabled());
  WritePatch();
  ProgramRecipients().clear();
  Form1->RebuildRecipientRows();
  Click(*Form1->button_ExpertSendEmail);
  EXPECT_TRUE(Form1->Visible());
  EXPECT_TRUE(shown_.empty());
}

TEST_F(BuilderMail, EveryFailureOfASendIsShownByTheProgressWindowAndTheMainWindowComesBack) {
  WritePatch();
  Type("ann@example.test");
  Type("refused.bob@example.test");
  // The server takes the mail but refuses one recipient.
  Boxes.Expect("refused these recipients", IDOK);
  std::vector<TShown> boxes = Send();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Box.Caption, "Error");
  EXPECT_EQ(boxes[0].Box.Text,
            "The server refused these recipients:\n\nrefused.bob@example.test (550 no such user here)\n\n"
            "The other recipients got the patch.");
  EXPECT_EQ(boxes[0].Box.Flags, UINT(MB_ICONSTOP));
  EXPECT_EQ(boxes[0].Owner, Form4->Handle());
  EXPECT_EQ(Form4->label_Status->Caption(), "Done.");
  EXPECT_EQ(Form4->progress_EMail->Position(), 100);

  // An unreachable server.
  const char* closed = std::getenv("QUILTOR_CLOSED_PORT");
  ASSERT_TRUE(closed);
  const std::string server = Identity().SmtpHost;
  Identity().SmtpHost = std::string("127.0.0.1:") + closed;
  Boxes.Expect("not connected", IDOK);
  boxes = Send();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Box.Caption, "Error");
  const std::string notConnected =
      "Seems that your computer is currently not connected to the internet. Please dialup. Quiltor SMTP subsystem "
      "error message was:\n\n";
  EXPECT_EQ(boxes[0].Box.Text.substr(0, notConnected.size()), notConnected);
  EXPECT_NE(boxes[0].Box.Text.find(std::string("127.0.0.1 port ") + closed), std::string::npos) << boxes[0].Box.Text;
  EXPECT_EQ(boxes[0].Owner, Form4->Handle());
  EXPECT_EQ(Form4->label_Status->Caption(), "Connecting");

  // A port out of range, before anything is sent.
  Identity().SmtpHost = "127.0.0.1:65536";
  Boxes.Expect("Unknown error", IDOK);
  boxes = Send();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Box.Caption, "Error sending patch!");
  EXPECT_EQ(boxes[0].Box.Text, "Unknown error occured while trying to send email.\n\nThe SMTP server \"127.0.0.1:65536\" "
                               "names no port in 1..65535; the mail was not sent.");

  // A patch file that cannot be read.
  Identity().SmtpHost = server;
  HANDLE locked = CreateFileA(scratch_.Path("mailed.utp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  Boxes.Expect("Unknown error", IDOK);
  boxes = Send();
  CloseHandle(locked);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Box.Caption, "Error sending patch!");
  const std::string unknown = "Unknown error occured while trying to send email.\n\n";
  EXPECT_EQ(boxes[0].Box.Text.substr(0, unknown.size()), unknown);
  EXPECT_NE(boxes[0].Box.Text.find("mailed.utp"), std::string::npos) << boxes[0].Box.Text;
  EXPECT_EQ(boxes[0].Owner, Form4->Handle());
}

// Receivers picked in the address book: "&To:", "&Cc:" twice on one record, "&Bcc:"; the
// mail the server receives has them in its envelope and its headers.
TEST_F(BuilderMail, AddressBookReceiversGetTheMailAsTheirKindsSay) {
  {
    TAddressTable t = TAddressTable::OpenOrCreate(scratch_.Path("Quiltor32_db2.dbf"));
    for (auto [name, address] : {std::pair{"Ann Smith", "ann@book.example"}, std::pair{"Bob Jones", "bob@book.example"},
                                 std::pair{"Carl Annex", "carl@book.example"}}) {
      const int r = t.Insert();
      t.SetText(r, TAddressTable::kRealName, name);
      t.SetText(r, TAddressTable::kEmail, address);
      t.Store(r);
    }
  }
  // The server's checker reads the attachment from the fixtures.
  const std::string patch = FixturePath("address-book.utp");
  {
    std::ofstream p(patch, std::ios::binary);
    p << std::string(2000, 'q') << "end";
  }
  SetText(*Form1->edit_ExpertPatchName, patch);
  SetText(*Form1->edit_ExpertEmailSubject, "Patch for the address book");
  Click(*Form1->button_ExpertAddressbook);
  Pump();
  ASSERT_NE(Form3, nullptr);
  Track(Form3);
  TListItems& rows = Form3->dbgrid_Lookup->Items();
  ASSERT_EQ(rows.Count(), 3);
  const auto pick = [&](int row, TButton& button) {
    for (int i = 0; i < rows.Count(); ++i) rows[i]->SetSelected(i == row);
    Click(button);
  };
  pick(0, *Form3->button_TO);
  pick(1, *Form3->button_CC);
  pick(1, *Form3->button_CC);
  pick(2, *Form3->button_BCC);
  ASSERT_EQ(ProgramRecipients(), (std::vector<TRecipient>{{1, "ann@book.example", "Ann Smith", TRecipient::kTo},
                                                          {2, "bob@book.example", "Bob Jones", TRecipient::kCc},
                                                          {3, "carl@book.example", "Carl Annex", TRecipient::kBcc}}));
  EXPECT_EQ(Form1->RecipientEdits()[1]->Text(), "bob@book.example (Bob Jones)");
  Form3->Close();
  Pump();
  EXPECT_TRUE(Send().empty());
  EXPECT_EQ(Form4->label_Status->Caption(), "Done.");
  std::ofstream e(FixturePath("mail-expect/address-book.txt"), std::ios::binary);
  e << "subject\tPatch for the address book\n"
    << "envelope-from\tpat@sender.example\n"
    << "rcpt\tann@book.example\nrcpt\tbob@book.example\nrcpt\tcarl@book.example\n"
    << "to\tann@book.example (Ann Smith)\ncc\tbob@book.example (Bob Jones)\n"
    << "from\tpat@sender.example (Pat Sender)\n"
    << "attachment-file\t" << patch << "\n";
}

// The status steps of the client as the progress window shows them.
TEST_F(BuilderMail, StatusTextsMoveTheBarOnlyForAPercentage) {
  struct Case {
    const char* text;
    int bar;
  } cases[] = {{"Connecting", 0}, {"42%", 42}, {"x%", 42}, {"Mail sent, waiting for reply.", 42}, {"100%", 100}};
  Form4->StartProgress();
  int percent = 0;
  for (const Case& c : cases) {
    ReadTraceStatus(c.text, percent);
    Form4->Status(c.text, percent);
    EXPECT_EQ(Form4->label_Status->Caption(), c.text);
    EXPECT_EQ(Form4->progress_EMail->Position(), c.bar) << c.text;
  }
  Form4->Status("way off", 250);
  EXPECT_EQ(Form4->progress_EMail->Position(), 100);
  Form4->Show();
  Form4->Status("42%", 42);
  Pump();
  HoldForScreenshot();
  Form4->Hide();
}

// The options page over seeded settings: the identity editor, the packer groups and their
// browse buttons, the default names' suffixes, the hint boxes and page heights, and what
// closing writes when the template or the registry refuses.
class BuilderOptions : public BuilderGui {
 protected:
  void Seed() override {
    BuilderGui::Seed();
    TRegistry reg(registry_);
    reg.OpenKey("\\Software\\Microsoft\\Internet Mail and News\\Mail", true);
    reg.WriteString("Default SMTP Server", "mail.imported.example");
    reg.WriteString("Sender EMail", "imp@imported.example");
    reg.WriteString("Sender Name", "Imp Orted");
    reg.OpenKey(std::string(kSettingsKey) + "\\email settings\\custom2", true);
    reg.WriteString("Realname", "Pat Sender");
    reg.WriteString("Email", "pat@sender.example");
    reg.WriteString("SMTP", "smtp.sender.example");
  }
  void TearDown() override {
    if (Form3) Form3->Free();
    BuilderGui::TearDown();
  }
  int IdentityIndex(const std::string& label) const {
    for (size_t i = 0; i < settings_->Identities.size(); ++i)
      if (settings_->Identities[i].Label == label) return int(i);
    return -1;
  }
  // What closing the window does, without ending the test's application.
  void CloseMainWindow() {
    TCloseAction action = TCloseAction::caHide;
    Form1->FormClose(Form1, action);
  }
  std::string TemplatePath() const { return scratch_.Path("Quiltor32_EmailTemplate.txt"); }
  // A click on a tab, and what it brings about.
  void SelectTab(TPageControl& pages, int index) {
    SelectItem(pages, index);
    Pump();
  }
  std::string TemplateBytes() const {
    const testsupport::Bytes b = testsupport::ReadFileBytes(TemplatePath());
    return {b.begin(), b.end()};
  }
};

TEST_F(BuilderOptions, TheIdentityEditorShowsTheChosenIdentityAndWritesThrough) {
  Form1->pagectrl_Main->SetActivePage(Form1->page_Options);
  const int imported = IdentityIndex("Internet Mail (imported)"), own = IdentityIndex("Custom settings #2");
  ASSERT_GE(imported, 0);
  ASSERT_GE(own, 0);
  TEdit* const edits[] = {Form1->edit_OptionEditEmailSettingsFrom, Form1->edit_OptionEditEmailSettingsName,
                          Form1->edit_OptionEditEmailSettingsSMTP, Form1->edit_OptionEditEmailSettingsOrg,
                          Form1->edit_OptionEditEmailSettingsRepl};
  SelectItem(*Form1->combo_OptionEditEmailSettings, imported);
  EXPECT_EQ(Form1->edit_OptionEditEmailSettingsFrom->Text(), "imp@imported.example");
  EXPECT_EQ(Form1->edit_OptionEditEmailSettingsName->Text(), "Imp Orted");
  EXPECT_EQ(Form1->edit_OptionEditEmailSettingsSMTP->Text(), "mail.imported.example");
  for (TEdit* e : edits) EXPECT_FALSE(e->Enabled()) << e->Name();

  SelectItem(*Form1->combo_OptionEditEmailSettings, own);
  EXPECT_EQ(Form1->edit_OptionEditEmailSettingsFrom->Text(), "pat@sender.example");
  EXPECT_EQ(Form1->edit_OptionEditEmailSettingsName->Text(), "Pat Sender");
  const char* const typed[] = {"new@sender.example", "New Name", "smtp.new.example:2525", "New Org",
                               "reply@new.example"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(edits[i]->Enabled()) << edits[i]->Name();
    SetText(*edits[i], typed[i]);
  }
  const TEmailSettings& id = settings_->Identities[size_t(own)];
  EXPECT_EQ(id, (TEmailSettings{"Custom settings #2", typed[0], typed[1], typed[2], typed[3], typed[4], 0}));
  EXPECT_EQ(settings_->Identities[size_t(imported)].EmailAddress, "imp@imported.example");
  // The edited identity reaches the registry at the close.
  CloseMainWindow();
  TRegistry reg(registry_);
  ASSERT_TRUE(reg.OpenKey(std::string(kSettingsKey) + "\\email settings\\custom2", false));
  EXPECT_EQ(reg.ReadString("Email"), typed[0]);
  EXPECT_EQ(reg.ReadString("Realname"), typed[1]);
  EXPECT_EQ(reg.ReadString("SMTP"), typed[2]);
  EXPECT_EQ(reg.ReadString("Organization"), typed[3]);
  EXPECT_EQ(reg.ReadString("ReplyTo"), typed[4]);
}

TEST_F(BuilderOptions, PackerBoxesLockTheirEditsAndBrowseFillsThem) {
  Form1->pagectrl_Main->SetActivePage(Form1->page_Options);
  Form1->pagectrl_Options->SetActivePageIndex(3);
  Pump();
  TCheckBox& box = *Form1->chkbox_OptionSysPath[2];
  TEdit& edit = *Form1->edit_OptionPath[2];
  TButton& browse = *Form1->button_OptionBrowse[2];
  EXPECT_TRUE(box.Checked());
  EXPECT_TRUE(edit.ReadOnly());
  EXPECT_EQ(edit.Color(), clInactiveCaption);
  EXPECT_FALSE(browse.Enabled());
  Click(box);
  EXPECT_FALSE(edit.ReadOnly());
  EXPECT_EQ(edit.Color(), clWindow);
  EXPECT_TRUE(browse.Enabled());

  std::vector<std::pair<std::string, std::string>> asked;  // file name, filter
  std::string answer = "C:\\tools\\gzip.exe";
  auto previous = TOpenDialog::SetExecuteFunction([&](OPENFILENAMEA& ofn) {
    std::string filter;
    for (const char* f = ofn.lpstrFilter; *f; f += std::strlen(f) + 1) filter += std::string(f) + "|";
    asked.emplace_back(ofn.lpstrFile, filter);
    std::strncpy(ofn.lpstrFile, answer.c_str(), ofn.nMaxFile - 1);
    return true;
  });
  SetText(edit, "C:\\old\\gzip.exe");
  Click(browse);
  answer = "C:\\tools\\mypack.bat";
  SetText(*Form1->edit_OptionPathCustomPacker, "");
  Click(*Form1->button_OptionBrowse[6]);
  TOpenDialog::SetExecuteFunction(previous);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first, "C:\\old\\gzip.exe");
  EXPECT_EQ(asked[0].second, "exectuables|*.exe|batchfiles|*.bat|all files|*|");
  EXPECT_EQ(edit.Text(), "C:\\tools\\gzip.exe");
  EXPECT_EQ(Form1->edit_OptionPathCustomPacker->Text(), "C:\\tools\\mypack.bat");
  SetText(*Form1->edit_OptionCustomPackerArgs, "-a %s %s");
  CloseMainWindow();
  EXPECT_EQ(settings_->Packers[2], (TPackerSettings{false, "C:\\tools\\gzip.exe", "%s %s"}));
  EXPECT_EQ(settings_->Packers[kCustomPacker].Path, "C:\\tools\\mypack.bat");
  EXPECT_EQ(settings_->Packers[kCustomPacker].Args, "-a %s %s");
}

TEST_F(BuilderOptions, DefaultPackerAndTypeGiveTheDefaultNameItsSuffix) {
  EXPECT_EQ(Form1->edit_ExpertDefaultPatchname->Text(), "YourPatch.utp");
  EXPECT_EQ(Form1->edit_WizardDefaultPatchname->Text(), "YourPatch.exe");
  EXPECT_EQ(Form1->combo_WizardDefaultPatchType->ItemIndex(), 2);
  struct Case {
    int packer, type;
    const char* name;
  } cases[] = {{1, 0, "YourPatch.zip"}, {0, 1, "YourPatch.exe"}, {0, 0, "YourPatch.utp"}, {3, 2, "YourPatch.gz"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectItem(*Form1->combo_ExpertDefaultPackerType, c.packer);
    SelectItem(*Form1->combo_ExpertDefaultPatchType, c.type);
    EXPECT_EQ(Form1->edit_ExpertDefaultPatchname->Text(), c.name);
  }
  EXPECT_EQ(Form1->edit_WizardDefaultPatchname->Text(), "YourPatch.exe") << "the other page's name stays";
}

TEST_F(BuilderOptions, PagesHaveTheirHeightsAndHintBoxesSwitchTheirPagesHints) {
  struct Case {
    TTabSheet* page;
    TCheckBox* hints;
    int height;
  } cases[] = {{Form1->page_Expert, Form1->chbox_HintsPageExpert, 553},
               {Form1->page_Wizard, Form1->chbox_HintsPageWizard, 405},
               {Form1->page_Options, Form1->chbox_HintsPageOptions, 533}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page->Name());
    SelectTab(*Form1->pagectrl_Main, c.page->PageIndex());
    EXPECT_EQ(Form1->ClientHeight(), c.height);
    TWinControl* holder = c.hints->Parent();
    while (holder && holder != c.page) holder = holder->Parent();
    EXPECT_EQ(holder, c.page) << "the box lies on its page";
    Click(*c.hints);
    EXPECT_FALSE(c.page->ShowHint());
    Click(*c.hints);
    EXPECT_TRUE(c.page->ShowHint());
  }
  SelectTab(*Form1->pagectrl_Main, Form1->page_About->PageIndex());
  EXPECT_EQ(Form1->ClientHeight(), 533);
}

// Every control a user acts on in the two patch pages says what it does.
TEST_F(BuilderOptions, EveryControlOfThePatchPagesHasAHint) {
  std::vector<std::string> bare;
  std::function<void(TWinControl&)> walk = [&](TWinControl& parent) {
    for (TControl* c : parent.ControlList()) {
      const bool acted = dynamic_cast<TButton*>(c) || dynamic_cast<TButtonControl*>(c) || dynamic_cast<TEdit*>(c) ||
                         dynamic_cast<TComboBox*>(c) || dynamic_cast<TListBox*>(c) || dynamic_cast<TQsShellCombo*>(c) ||
                         dynamic_cast<TQsShellList*>(c) || dynamic_cast<TRadioGroup*>(c) ||
                         dynamic_cast<TSpeedButton*>(c);
      if (acted && c->Hint().empty()) bare.push_back(c->Name());
      if (auto* w = dynamic_cast<TWinControl*>(c); w && !acted) walk(*w);
    }
  };
  walk(*Form1->page_Expert);
  walk(*Form1->page_Wizard);
  EXPECT_EQ(bare, std::vector<std::string>{});
  // "#" became a line break.
  EXPECT_EQ(Form1->button_WizardContinue->Hint(), "On to the next step; on the last one,\r\nmake the patch.");
}

TEST_F(BuilderOptions, ATemplateThatCannotBeSavedIsReportedAndTheSettingsAreStillWritten) {
  scratch_.MakeFolders("Quiltor32_EmailTemplate.txt");  // a folder of the template's name
  SetText(*Form1->edit_OptionDefaultEmailSubject, "Subject after the close");
  Boxes.Expect("could not be saved", IDOK);
  CloseMainWindow();
  ASSERT_EQ(Boxes.Shown().size(), 1u);
  EXPECT_EQ(Boxes.Shown()[0].Text,
            "The e-mail template could not be saved to \"" + TemplatePath() + "\". The other settings are saved.");
  EXPECT_EQ(Boxes.Shown()[0].Caption, "Error");
  EXPECT_TRUE(platform::IsDirectory(TemplatePath()));
  TRegistry reg(registry_);
  ASSERT_TRUE(reg.OpenKey(kSettingsKey, false));
  EXPECT_EQ(reg.ReadString("default patch email subject"), "Subject after the close");
}

TEST_F(BuilderOptions, ARefusedRegistryWriteIsReported) {
  registry_.Refuse = true;
  Boxes.Expect("could not be written to the registry", IDOK);
  Boxes.Expect("could not be written to the registry", IDOK);
  CloseMainWindow();
  registry_.Refuse = false;
  ASSERT_EQ(Boxes.Shown().size(), 2u);  // the window's position, then the settings
  for (const TShownBox& b : Boxes.Shown()) EXPECT_EQ(b.Caption, "Error");
  // The template is written all the same.
  EXPECT_TRUE(platform::IsFile(TemplatePath()));
}

// A template that cannot be read at start: both memos stay empty, and the close leaves the
// file as it was unless the user wrote a text.
class BuilderLockedTemplate : public BuilderOptions {
 protected:
  void Seed() override {
    BuilderOptions::Seed();
    scratch_.WriteFile("Quiltor32_EmailTemplate.txt", "Kept text\r\n");
    locked_ = CreateFileA(TemplatePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
  }
  void TearDown() override {
    if (locked_ != INVALID_HANDLE_VALUE) CloseHandle(locked_);
    BuilderOptions::TearDown();
  }
  HANDLE locked_ = INVALID_HANDLE_VALUE;
};

TEST_F(BuilderLockedTemplate, LeavesTheMemosEmptyAndTheFileAlone) {
  ASSERT_NE(locked_, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Form1->memo_OptionDefaultEmailText->Text(), "");
  EXPECT_EQ(Form1->memo_ExpertEmail->Text(), "");
  CloseHandle(locked_);
  locked_ = INVALID_HANDLE_VALUE;
  CloseMainWindow();
  EXPECT_EQ(TemplateBytes(), "Kept text\r\n");
  SetText(*Form1->memo_OptionDefaultEmailText, "A new text");
  CloseMainWindow();
  EXPECT_EQ(TemplateBytes(), "A new text\r\n");
}

// The version columns: further source columns cloned from the first, their saved
// selections, the view styles, the splitter, the up-folder buttons and the patch name's
// save dialog.
class BuilderColumns : public BuilderGui {
 protected:
  // The folder and the selected names a column shows.
  static TSavedSelection Shown(const TVersionColumnControls& c) {
    std::vector<std::string> names;
    for (int i = 0; i < c.List->Items().Count(); ++i)
      if (c.List->Items()[i]->Selected())
        if (TQsShListData* d = c.List->GetItemData(i)) names.push_back(d->GetFileName());
    return {IncludeTrailingBackslash(c.Combo->GetFolder().GetPath()), names};
  }
  static void ExpectTagsInOrder(const TSourceColumnViews& v) {
    for (int i = 0; i < int(v.Combos.size()); ++i) {
      const int tag = i + 2;
      EXPECT_EQ(v.ActivateBoxes[size_t(i)]->Tag(), tag);
      EXPECT_EQ(v.Combos[size_t(i)]->Tag(), tag);
      EXPECT_EQ(v.Lists[size_t(i)]->Tag(), tag);
      EXPECT_EQ(v.UpButtons[size_t(i)]->Tag(), tag);
      EXPECT_EQ(v.Combos[size_t(i)]->ShellList(), v.Lists[size_t(i)]);
    }
  }
  // Each column where the layout numbers put it, the boxes of the columns another follows
  // ticked.
  static void ExpectExpertLayout(const TSourceColumnViews& v, int scrollHeight) {
    const int sources = v.SourceCount();
    for (int tag = 1; tag <= sources + 1; ++tag) {
      SCOPED_TRACE("column " + std::to_string(tag));
      const TColumnPlace p = ExpertColumnPlace(tag, sources, 8, scrollHeight);
      const TVersionColumnControls c = v.Column(tag);
      EXPECT_EQ(c.Combo->Left(), p.Left);
      EXPECT_EQ(c.Combo->Width(), p.ComboWidth);
      EXPECT_EQ(c.List->Left(), p.Left);
      EXPECT_EQ(c.List->Width(), p.ListWidth);
      EXPECT_EQ(c.List->Height(), p.ListHeight);
      EXPECT_EQ(c.List->TabOrder(), p.ListTab);
      if (tag <= sources) {
        EXPECT_EQ(c.Activate->Checked(), tag < sources);
        EXPECT_EQ(c.Activate->Top(), p.CheckTop);
        EXPECT_EQ(c.Activate->Caption(), "Activate further source hereafter");
        ExpectCaptionFits(*c.Activate);
      }
    }
  }
  // The box's caption, drawn in its font after the check mark, is not cut off.
  static void ExpectCaptionFits(TCheckBox& box) {
    HWND h = box.Handle();
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageA(h, WM_GETFONT, 0, 0)));
    const std::string caption = box.Caption();
    SIZE text{};
    GetTextExtentPoint32A(dc, caption.c_str(), int(caption.size()), &text);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    const int mark = GetSystemMetrics(SM_CXMENUCHECK) + 5;  // the check mark and the gap after it
    EXPECT_LE(mark + text.cx, box.Width()) << box.Name();
  }
};

// Three sources saved at the last close: three columns with their folders and selections,
// chained in column order into the patch the native driver writes; closing saves them again.
class BuilderRestoredColumns : public BuilderColumns {
 protected:
  void Seed() override {
    BuilderGui::Seed();
    TRegistry reg(registry_);
    reg.OpenKey(std::string(kSettingsKey), true);
    reg.WriteBool("Restore Directories", true);
    reg.WriteInteger("Restore Directory number", 3);
    for (size_t i = 0; i < saved_.size(); ++i)
      reg.WriteString("Directory contents " + std::to_string(i), EncodeSelection(saved_[i]));
  }
  const std::vector<TSavedSelection> saved_{{FixturePath("tree-v2\\docs\\"), {"changes.txt"}},
                                            {FixturePath("tree-v1\\src\\"), {"tally.c"}},
                                            {FixturePath("tree-v1\\"), {"README.txt"}},
                                            {FixturePath("tree-v2\\"), {"README.txt"}}};
};

TEST_F(BuilderRestoredColumns, ThreeSavedSourcesComeBackAsThreeColumnsAndMakeTheNativePatch) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  const TSourceColumnViews& v = *Form1->ExpertColumns;
  ASSERT_EQ(v.SourceCount(), 3);
  ExpectTagsInOrder(v);
  EXPECT_EQ(Shown(v.Target()), saved_[0]);
  for (int tag = 1; tag <= 3; ++tag) EXPECT_EQ(Shown(v.Column(tag)), saved_[size_t(tag)]) << tag;
  ExpectExpertLayout(v, Form1->scrbox_Expert->Height());
  EXPECT_EQ(Form1->ReadRequest(true).Versions,
            (std::vector<std::string>{FixturePath("tree-v1\\src\\tally.c"), FixturePath("tree-v1\\README.txt"),
                                      FixturePath("tree-v2\\README.txt"), FixturePath("tree-v2\\docs\\changes.txt")}));
  HoldForScreenshot();
  SetText(*Form1->edit_ExpertPatchName, scratch_.Path("three.utp"));
  ASSERT_TRUE(Form1->button_ExpertCreate->Enabled());
  Click(*Form1->button_ExpertCreate);
  EXPECT_EQ(testsupport::ReadFileBytes(scratch_.Path("three.utp")),
            testsupport::ReadFileBytes(FixturePath("expected/three.utp")));
  CloseProgress();

  TCloseAction action = TCloseAction::caHide;
  Form1->FormClose(Form1, action);
  TRegistry reg(registry_);
  ASSERT_TRUE(reg.OpenKey(std::string(kSettingsKey), false));
  EXPECT_EQ(reg.ReadInteger("Restore Directory number"), 3);
  for (size_t i = 0; i < saved_.size(); ++i) {
    TSavedSelection again = DecodeSelection(reg.ReadString("Directory contents " + std::to_string(i)));
    again.Folder = IncludeTrailingBackslash(again.Folder);
    EXPECT_EQ(again, saved_[i]) << i;
  }
}

// A corrupt count brings back no more columns than a request takes.
class BuilderTooManyColumns : public BuilderColumns {
 protected:
  void Seed() override {
    BuilderGui::Seed();
    TRegistry reg(registry_);
    reg.OpenKey(std::string(kSettingsKey), true);
    reg.WriteBool("Restore Directories", true);
    reg.WriteInteger("Restore Directory number", 5000);
  }
};

TEST_F(BuilderTooManyColumns, ACorruptCountGivesTheLimit) {
  EXPECT_EQ(Form1->ExpertColumns->SourceCount(), kMaxSourceColumns);
  ExpectTagsInOrder(*Form1->ExpertColumns);
  // The last box cannot add one more.
  TCheckBox* last = Form1->ExpertColumns->ActivateBoxes.back();
  EXPECT_FALSE(last->Checked());
  Click(*last);
  EXPECT_EQ(Form1->ExpertColumns->SourceCount(), kMaxSourceColumns);
  EXPECT_FALSE(last->Checked());
}

TEST_F(BuilderColumns, UntickingTheFirstExtraColumnsBoxRemovesTheThirdAndRenumbers) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  TSourceColumnViews& v = *Form1->ExpertColumns;
  ChooseVersion(*Form1->pathcombo_ExpertSource1, *Form1->filelist_ExpertSource1, FixturePath("tree-v1"));
  Click(*Form1->chkbox_ExpertSourceActivate1);
  ASSERT_EQ(v.SourceCount(), 2);
  // The new column starts in the folder of the one it follows.
  EXPECT_EQ(Shown(v.Column(2)), (TSavedSelection{FixturePath("tree-v1\\"), {}}));
  Click(*v.Column(2).Activate);
  Click(*v.Column(3).Activate);
  ASSERT_EQ(v.SourceCount(), 4);
  ExpectTagsInOrder(v);
  ExpectExpertLayout(v, Form1->scrbox_Expert->Height());
  TQsShellList* fourth = v.Column(4).List;
  ChooseVersion(*v.Column(4).Combo, *fourth, FixturePath("tree-v2"));
  ChooseVersion(*v.Column(2).Combo, *v.Column(2).List, FixturePath("tree-v1\\src"));
  Click(*v.Column(2).Activate);  // unticked: the third column goes
  ASSERT_EQ(v.SourceCount(), 3);
  ExpectTagsInOrder(v);
  EXPECT_EQ(v.Column(3).List, fourth);
  EXPECT_EQ(Shown(v.Column(3)).Folder, FixturePath("tree-v2\\"));
  ExpectExpertLayout(v, Form1->scrbox_Expert->Height());
  ChooseVersion(*Form1->pathcombo_ExpertDest, *Form1->filelist_ExpertDest, FixturePath("pair"));
  EXPECT_EQ(Form1->ReadRequest(true).Versions,
            (std::vector<std::string>{FixturePath("tree-v1\\"), FixturePath("tree-v1\\src\\"),
                                      FixturePath("tree-v2\\"), FixturePath("pair\\")}));
  // Back to one source: the wide columns again.
  Click(*Form1->chkbox_ExpertSourceActivate1);
  Click(*Form1->chkbox_ExpertSourceActivate1);
  EXPECT_EQ(v.SourceCount(), 1);
  ExpectExpertLayout(v, Form1->scrbox_Expert->Height());

  // The Wizard's further columns, 194 apart, chain in its request the same way.
  TSourceColumnViews& w = *Form1->WizardColumns;
  ChooseVersion(*Form1->pathcombo_WizardSource1, *Form1->filelist_WizardSource1, FixturePath("tree-v1"));
  Click(*Form1->chkbox_WizardSourceActivate1);
  ASSERT_EQ(w.SourceCount(), 2);
  EXPECT_EQ(w.Column(2).List->Left(), w.Column(1).List->Left() + 194);
  EXPECT_EQ(w.Column(2).List->Width(), 173);
  ExpectCaptionFits(*Form1->chkbox_WizardSourceActivate1);
  ExpectCaptionFits(*w.Column(2).Activate);
  EXPECT_TRUE(Form1->chkbox_WizardSourceActivate1->Checked());
  ChooseVersion(*w.Column(2).Combo, *w.Column(2).List, FixturePath("tree-v2"));
  ChooseVersion(*Form1->pathcombo_WizardDest, *Form1->filelist_WizardDest, FixturePath("pair"));
  EXPECT_EQ(Form1->ReadRequest(false).Versions,
            (std::vector<std::string>{FixturePath("tree-v1\\"), FixturePath("tree-v2\\"), FixturePath("pair\\")}));
}

TEST_F(BuilderColumns, ViewStylesReachEveryListAndTheMenuMarksTheCurrentOne) {
  Click(*Form1->chkbox_ExpertSourceActivate1);
  Click(*Form1->chkbox_WizardSourceActivate1);
  std::vector<TQsShellList*> lists = Form1->ExpertColumns->AllLists();
  for (TQsShellList* l : Form1->WizardColumns->AllLists()) lists.push_back(l);
  ASSERT_EQ(lists.size(), 6u);
  // The stored default (3, "Multicolumn") at start.
  EXPECT_EQ(Form1->rdgrp_OptionCurrentFilelistMode->ItemIndex(), 3);
  const TViewStyle styles[] = {TViewStyle::vsSmallIcon, TViewStyle::vsIcon, TViewStyle::vsReport, TViewStyle::vsList};
  TMenuItem& items = Form1->popup_ViewStyleFileList->Items();
  ASSERT_EQ(items.Count(), 4);
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    Form1->rdgrp_OptionCurrentFilelistMode->SetItemIndex(mode);
    for (TQsShellList* l : lists) EXPECT_EQ(l->ViewStyle(), styles[mode]);
    Form1->popup_ViewStyleFileList->OnPopup(Form1->popup_ViewStyleFileList);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(items.Items(i)->Checked(), i == mode) << items.Items(i)->Caption();
  }
  for (int i = 0; i < 4; ++i) {
    TMenuItem& item = *items.Items(i);
    item.OnClick(&item);
    EXPECT_EQ(Form1->rdgrp_OptionCurrentFilelistMode->ItemIndex(), item.Tag() - 1);
    for (TQsShellList* l : lists) EXPECT_EQ(l->ViewStyle(), styles[i]) << item.Caption();
  }
  EXPECT_EQ(Form1->filelist_ExpertSource1->PopupMenu(), Form1->popup_ViewStyleFileList);
  EXPECT_EQ(Form1->ExpertColumns->Lists[0]->PopupMenu(), Form1->popup_ViewStyleFileList);
}

TEST_F(BuilderColumns, TheSplitterDropLaysOutBothPanesAndUpFolderButtonsClimb) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  // The stored position at start.
  EXPECT_EQ(Form1->split_Expert->Position(), 336);
  for (int position : {280, 336, 400}) {
    SCOPED_TRACE("position " + std::to_string(position));
    Form1->split_Expert->SetPosition(position);
    Form1->split_Expert->OnSplitterDrop(Form1->split_Expert, position);
    const int p1 = Form1->split_Expert->Height() - position - Form1->split_Expert->SplitterWidth();
    EXPECT_EQ(Form1->scrbox_Expert->Height(), std::max(position - 119, 100));
    EXPECT_EQ(Form1->group_ExpertLocalFile->Top(), position - 121);
    EXPECT_EQ(Form1->memo_ExpertEmail->Height(), std::max(p1 - 60, 20));
    EXPECT_EQ(Form1->group_ExpertEmail->Height(), std::max(p1 - 7, 20));
    EXPECT_EQ(Form1->scrbox_Email->Height(), std::max(p1 - 64, 40));
    EXPECT_EQ(Form1->button_ExpertSendEmail->Top(), std::max(p1 - 39, 59));
    EXPECT_EQ(Form1->filelist_ExpertSource1->Height(), Form1->scrbox_Expert->Height() - 72);
  }
  TCloseAction action = TCloseAction::caHide;
  Form1->FormClose(Form1, action);
  EXPECT_EQ(settings_->Main.ExpertSplitterPosition, 400);

  ChooseVersion(*Form1->pathcombo_ExpertSource1, *Form1->filelist_ExpertSource1, FixturePath("tree-v1\\src"));
  ChooseVersion(*Form1->pathcombo_ExpertDest, *Form1->filelist_ExpertDest, FixturePath("tree-v2\\docs"));
  Click(*Form1->spdbtn_ExpertSourceUpperDir1);
  Click(*Form1->spdbtn_ExpertDestUpperDir);
  EXPECT_EQ(IncludeTrailingBackslash(Form1->pathcombo_ExpertSource1->GetFolder().GetPath()), FixturePath("tree-v1\\"));
  EXPECT_EQ(IncludeTrailingBackslash(Form1->pathcombo_ExpertDest->GetFolder().GetPath()), FixturePath("tree-v2\\"));
  EXPECT_TRUE(Form1->button_ExpertCreate->Enabled());  // two trees now
  Click(*Form1->chkbox_ExpertSourceActivate1);
  TVersionColumnControls extra = Form1->ExpertColumns->Column(2);
  Click(*extra.UpButton);
  EXPECT_EQ(IncludeTrailingBackslash(extra.Combo->GetFolder().GetPath()), IncludeTrailingBackslash(ExtractFilePath(
                                                                               FixturePath("tree-v1"))));
}

// Drops as the shell delivers them to a window that accepts files.
void DropFiles(TWinControl& target, const std::vector<std::string>& files) {
  std::string names;
  for (const std::string& f : files) names += f + '\0';
  names += '\0';
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size());
  GlobalUnlock(block);
  SendMessageA(target.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

TEST_F(BuilderColumns, ASingleDroppedFileBecomesItsColumnsVersion) {
  ASSERT_FALSE(FixturePath("").empty()) << "QUILTOR_FIXTURES is not set: run through builder_run_check.py";
  Click(*Form1->chkbox_ExpertSourceActivate1);
  const TVersionColumnControls extra = Form1->ExpertColumns->Column(2);
  ASSERT_TRUE(extra.List->AcceptFiles());
  DropFiles(*extra.List, {FixturePath("tree-v2\\README.txt")});
  EXPECT_EQ(Shown(extra), (TSavedSelection{FixturePath("tree-v2\\"), {"README.txt"}}));
  ASSERT_NE(extra.List->ItemFocused(), nullptr);
  EXPECT_TRUE(extra.List->ItemFocused()->Selected());
  DropFiles(*Form1->filelist_ExpertDest, {FixturePath("tree-v2\\docs\\changes.txt")});
  EXPECT_EQ(Shown(Form1->ExpertColumns->Target()), (TSavedSelection{FixturePath("tree-v2\\docs\\"), {"changes.txt"}}));
  // Two files at once are no version: nothing changes.
  DropFiles(*Form1->filelist_ExpertDest, {FixturePath("tree-v1\\README.txt"), FixturePath("tree-v2\\README.txt")});
  EXPECT_EQ(Shown(Form1->ExpertColumns->Target()), (TSavedSelection{FixturePath("tree-v2\\docs\\"), {"changes.txt"}}));
}

// "Browse..." runs the save dialog on the patch name, opened at the type of the page's
// suffix; the chosen name takes that suffix. The current directory, below which the help
// pages are found, stays where it was.
TEST_F(BuilderColumns, BrowseSetsThePatchNameWithItsSuffix) {
  char before[MAX_PATH] = {}, after[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  struct Case {
    TButton* browse;
    TEdit* edit;
    TComboBox *packer, *patchType;
    int packerIndex, patchTypeIndex;
    const char* typed;
    const char* expected;
    int filterIndex;
  } cases[] = {
      {Form1->button_ExpertBrowsePatchfile, Form1->edit_ExpertPatchName, Form1->combo_ExpertPackerType,
       Form1->combo_ExpertPatchType, 3, 0, "chosen.zip", "chosen.gz", 4},
      {Form1->button_ExpertBrowsePatchfile, Form1->edit_ExpertPatchName, Form1->combo_ExpertPackerType,
       Form1->combo_ExpertPatchType, 0, 1, "other", "other.exe", 2},
      {Form1->button_WizardBrowsePatchfile, Form1->edit_WizardPatchName, Form1->combo_WizardPackerType,
       Form1->combo_WizardPatchType, 0, 0, "wizard.exe", "wizard.utp", 1},
  };
  TQsSaveDlg& d = *Form1->savedialog_Patchname;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SelectItem(*c.packer, c.packerIndex);
    SelectItem(*c.patchType, c.patchTypeIndex);
    SetText(*c.edit, scratch_.Path("start.utp"));
    std::string caption, shownName;
    int shownType = -1;
    auto* timer = new TTimer(Application);
    Track(timer);
    timer->SetEnabled(false);
    timer->SetInterval(60);
    timer->OnTimer = TNotifyEvent([&](TObject*) {
      TQsFrmOpenDlg* f = d.Form();
      if (!f) return;
      timer->SetEnabled(false);
      caption = f->Caption();
      shownName = f->FileNameEdt->Text();
      shownType = f->FileTypesCbx->ItemIndex();
      SetText(*f->FileNameEdt, c.typed);
      Click(*f->OpenBtn);
    });
    d.OnInitialized = TNotifyEvent([&](TObject*) { timer->SetEnabled(true); });
    Click(*c.browse);
    d.OnInitialized = {};
    EXPECT_EQ(caption, "Save the Patchfile after creation as ...");
    EXPECT_EQ(shownName, "start.utp");
    EXPECT_EQ(shownType, c.filterIndex - 1);
    EXPECT_EQ(c.edit->Text(), scratch_.Path(c.expected));
  }
  // Cancelled: the name stays.
  auto* timer = new TTimer(Application);
  Track(timer);
  timer->SetEnabled(false);
  timer->SetInterval(60);
  timer->OnTimer = TNotifyEvent([&](TObject*) {
    if (!d.Form()) return;
    timer->SetEnabled(false);
    Click(*d.Form()->CancelBtn);
  });
  d.OnInitialized = TNotifyEvent([&](TObject*) { timer->SetEnabled(true); });
  Click(*Form1->button_WizardBrowsePatchfile);
  d.OnInitialized = {};
  EXPECT_EQ(Form1->edit_WizardPatchName->Text(), scratch_.Path("wizard.utp"));
  GetCurrentDirectoryA(MAX_PATH, after);
  EXPECT_STREQ(after, before);
}

}  // namespace

int main(int argc, char** argv) {
  TShellControlsSession shell;
  return RunGuiTests(argc, argv, RegisterBuilderClasses);
}
