#include "builder/progress_window.h"

#include "builder/address_book.h"
#include "builder/main_window.h"
#include "builder/patch_thread.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "patch_engine/engine.h"

TForm2* Form2 = nullptr;

// The program-wide reference goes with the window.
void TForm2::BeforeDestruction() {
  if (Form2 == this) Form2 = nullptr;
  TForm::BeforeDestruction();
}

const TClassInfo& TForm2::StaticClass() {
  static const TClassInfo info{"TForm2", &TForm::StaticClass(), Factory<TForm2>(), {}, "TFORM2"};
  return info;
}

const TMethodTable* TForm2::Methods() const {
  using F = TForm2;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("label_CurrentFilename", &F::label_CurrentFilename)
                                    .Field("label_DirProgress", &F::label_DirProgress)
                                    .Field("progress_Directory", &F::progress_Directory)
                                    .Field("label_ProgressDir", &F::label_ProgressDir)
                                    .Field("group_FileProgress", &F::group_FileProgress)
                                    .Field("Label1", &F::Label1)
                                    .Field("Label2", &F::Label2)
                                    .Field("Label3", &F::Label3)
                                    .Field("progress_Thrune1", &F::progress_Thrune1)
                                    .Field("progress_Thrune2", &F::progress_Thrune2)
                                    .Field("progress_Thrune3", &F::progress_Thrune3)
                                    .Field("label_Progress1", &F::label_Progress1)
                                    .Field("label_Progress2", &F::label_Progress2)
                                    .Field("label_Progress3", &F::label_Progress3)
                                    .Field("button_PauseContinue", &F::button_PauseContinue)
                                    .Field("button_CancelClose", &F::button_CancelClose)
                                    .Field("GroupBox1", &F::GroupBox1)
                                    .Field("label_Elapsed", &F::label_Elapsed)
                                    .Field("GroupBox2", &F::GroupBox2)
                                    .Field("label_PatchExecutable", &F::label_PatchExecutable)
                                    .Field("label_PatchMultipatch", &F::label_PatchMultipatch)
                                    .Field("label_Patchsize", &F::label_Patchsize)
                                    .Field("timer_Patch", &F::timer_Patch)
                                    .Handler<TNotifyEvent>("FormShow", &F::FormShow)
                                    .Handler<TCloseQueryEvent>("FormCloseQuery", &F::FormCloseQuery)
                                    .Handler<TKeyEvent>("FormKeyUp", &F::FormKeyUp)
                                    .Handler<TNotifyEvent>("timer_PatchTimer", &F::timer_PatchTimer)
                                    .Handler<TNotifyEvent>("button_PauseContinueClick",
                                                           &F::button_PauseContinueClick)
                                    .Handler<TNotifyEvent>("button_CancelCloseClick", &F::button_CancelCloseClick);
  return &t;
}

// ---- the worker's steps

void TForm2::ShowStagePercent(int stage, int percent) {
  TW95Meter* meters[] = {progress_Thrune1, progress_Thrune2, progress_Thrune3};
  TLabel* labels[] = {label_Progress1, label_Progress2, label_Progress3};
  if (stage < 1 || stage > 3) return;
  meters[stage - 1]->SetPercent(percent);
  labels[stage - 1]->SetCaption(IntToStr(percent) + "%");
}

void TForm2::ShowPatchSize(int64_t bytes) { label_Patchsize->SetCaption("Patchsize : " + IntToStr(bytes)); }

void TForm2::ShowSourceVersions(int current, const std::vector<std::string>& names) {
  const int count = int(names.size());
  for (int j = 0; j < int(versionLabels_.size()); ++j) {
    TLabel* l = versionLabels_[size_t(j)];
    if (j >= count) {
      l->Hide();
      continue;
    }
    l->SetCaption(names[size_t(j)]);
    l->Font().SetColor(j == current || j == current - 1 ? TColor(0) : TColor(0xFFFFFF));
    l->Show();
  }
}

void TForm2::ShowFileProgress(int percent, const std::string& name) {
  progress_Directory->SetPercent(percent);
  const std::string caption = IntToStr(percent) + "%";
  label_ProgressDir->SetCaption(caption);
  Application->SetTitle(caption);
  label_CurrentFilename->SetCaption("Currently analysed File: " + name);
  Application->ProcessMessages();
}

void TForm2::SetDirectoryMode(bool directoryMode) { directoryMode_ = directoryMode; }

void TForm2::BringUp() {
  if (!titleSaved_) {
    savedTitle_ = Application->Title();
    titleSaved_ = true;
  }
  Show();
  BringToFront();
  Application->ProcessMessages();
}

void TForm2::ShowOwned(const std::function<void()>& show) {
  clock_.Hold();
  if (Visible() && HandleAllocated()) SetActiveWindow(Handle());
  try {
    show();
  } catch (...) {
    clock_.Release();
    throw;
  }
  clock_.Release();
}

int TForm2::AskOwned(const std::string& text, const std::string& caption, unsigned flags) {
  int answer = 0;
  ShowOwned([&] { answer = Application->MessageBox(text, caption, flags); });
  return answer;
}

// ---- showing, the clock, pause

void TForm2::FormShow(TObject*) {
  const engine::EngineOptions& o = engine::Options;
  clock_.Start();
  timer_Patch->SetEnabled(true);
  progress_Directory->SetPercent(0);
  label_ProgressDir->SetCaption("0%");
  label_Elapsed->SetCaption("00:00:00");
  const bool executable = engine::IsExecutable(o.ApplierKind);
  label_PatchExecutable->SetCaption(std::string("Executable: ") + (executable ? "Yes." : "No."));
  label_PatchMultipatch->SetCaption(std::string("Multipatch: ") + (o.FileCount >= 4 ? "Yes." : "No."));

  // The labels of this run's versions replace those of the run before.
  for (TLabel* l : versionLabels_) l->Free();
  versionLabels_.clear();
  for (int i = 0; i <= o.FileCount - 2; ++i) {
    auto* l = new TLabel(this);
    l->SetParent(group_FileProgress);
    l->Hide();
    l->SetBounds(10, i * 20 + 125, group_FileProgress->Width() - 20, 20);
    versionLabels_.push_back(l);
  }
  group_FileProgress->SetHeight(o.FileCount * 20 + 115);

  paused_ = false;
  button_CancelClose->SetCaption("&Cancel");
  button_CancelClose->SetCancel(true);
  button_CancelClose->SetDefault(false);
  button_PauseContinue->SetCaption("Pause");
  button_PauseContinue->SetEnabled(true);
  button_PauseContinue->SetDefault(true);
  button_PauseContinue->SetCancel(false);
  Layout(directoryMode_);
  label_CurrentFilename->SetCaption("Currently analysed File:");
  ShowPatchSize(0);
}

void TForm2::Layout(bool directoryMode) {
  const int b = group_FileProgress->Top() + group_FileProgress->Height();
  const int buttons = b + (directoryMode ? 75 : 15);
  button_PauseContinue->SetTop(buttons);
  button_CancelClose->SetTop(buttons);
  SetClientHeight(buttons + 35);
  label_DirProgress->SetTop(b + 15);
  label_ProgressDir->SetTop(b + 44);
  progress_Directory->SetTop(b + 35);
  label_DirProgress->SetVisible(directoryMode);
  label_ProgressDir->SetVisible(directoryMode);
  progress_Directory->SetVisible(directoryMode);
}

void TForm2::timer_PatchTimer(TObject*) {
  if (paused_ || PatchDone()) return;
  label_Elapsed->SetCaption(ElapsedText(clock_.Elapsed()));
}

void TForm2::SetPaused(bool paused) {
  if (paused == paused_) return;
  if (paused_) {
    engine::ResumeRun();
    clock_.Release();
    timer_Patch->SetEnabled(true);
  } else if (!PatchDone()) {
    timer_Patch->SetEnabled(false);
    engine::PauseRun();
    clock_.Hold();
  }
  paused_ = paused;
  button_PauseContinue->SetCaption(paused_ ? "Resume" : "Pause");
}

void TForm2::button_PauseContinueClick(TObject*) { SetPaused(!paused_); }

// ---- closing and cancelling

void TForm2::button_CancelCloseClick(TObject*) { Close(); }

void TForm2::FormCloseQuery(TObject*, bool& CanClose) {
  CanClose = false;
  if (PatchDone()) {
    Hide();
    Teardown();
    return;
  }
  const bool pausedHere = !paused_;
  SetPaused(true);
  int answer = Application->MessageBox("Cancel patching process?", "Are you sure to cancel current patching process?",
                                       MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
  if (answer == IDYES) {
    Hide();
    CancelStep();
    Teardown();
  } else if (pausedHere) {
    SetPaused(false);
  }
}

void TForm2::CancelStep() {
  if (!PatchDone()) {
    AskEngineToCancel();
    while (!PatchDone() && !Application->Terminated()) Application->HandleMessage();
  }
  clock_.Stop();
  timer_Patch->SetEnabled(false);
}

void TForm2::Teardown() {
  if (titleSaved_) {
    Application->SetTitle(savedTitle_);
    titleSaved_ = false;
  }
  if (Form1) Form1->Show();
  RestoreAddressBookAfterRun();
}

void TForm2::EnterFinishedState() {
  clock_.Stop();
  timer_Patch->SetEnabled(false);
  button_CancelClose->SetCaption("&Close");
  button_CancelClose->SetDefault(true);
  button_PauseContinue->SetEnabled(false);
  button_PauseContinue->SetDefault(false);
  button_PauseContinue->SetCancel(false);
  SetActiveControl(nullptr);
}

// ---- keys and minimising

void TForm2::FormKeyUp(TObject*, uint16_t& Key, TShiftState) {
  if (Key == VK_F1) Application->HelpContext(1);
}

void TForm2::WndProc(TMessage& m) {
  if (m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == SC_MINIMIZE) {
    Application->Minimize();
    return;
  }
  TForm::WndProc(m);
}
