#pragma once
// TForm2, the progress window of a patch run ("Patch Creation in Progress"): the three
// stage meters, the directory meter, the file name, the version labels, the patch
// properties, the elapsed-time clock, and the pause and cancel buttons.
//
// The worker's front end calls the Show... steps on the GUI thread. The first PumpMessages
// of a run brings the window up (BringUp), which starts the clock. Pausing holds the engine at
// its next progress point and the clock; closing asks first, and a confirmed cancel ends
// the engine through its raise path on the worker thread and waits for the worker to
// finish. Once done, the window offers "&Close"; closing it brings the main window back.
#include <functional>
#include <string>
#include <vector>

#include "builder/patch_progress.h"
#include "builder/w95meter.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"
#include "framework/win/timer.h"

class TForm2 : public TForm {
  FW_CLASS(TForm2, TForm)

 public:
  explicit TForm2(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TLabel* label_CurrentFilename = nullptr;
  TLabel* label_DirProgress = nullptr;
  TW95Meter* progress_Directory = nullptr;
  TLabel* label_ProgressDir = nullptr;
  TGroupBox* group_FileProgress = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label3 = nullptr;
  TW95Meter* progress_Thrune1 = nullptr;
  TW95Meter* progress_Thrune2 = nullptr;
  TW95Meter* progress_Thrune3 = nullptr;
  TLabel* label_Progress1 = nullptr;
  TLabel* label_Progress2 = nullptr;
  TLabel* label_Progress3 = nullptr;
  TButton* button_PauseContinue = nullptr;
  TButton* button_CancelClose = nullptr;
  TGroupBox* GroupBox1 = nullptr;
  TLabel* label_Elapsed = nullptr;
  TGroupBox* GroupBox2 = nullptr;
  TLabel* label_PatchExecutable = nullptr;
  TLabel* label_PatchMultipatch = nullptr;
  TLabel* label_Patchsize = nullptr;
  TTimer* timer_Patch = nullptr;

  // GUI-thread steps of the worker's front end.
  void ShowStagePercent(int stage, int percent);
  void ShowPatchSize(int64_t bytes);
  void ShowSourceVersions(int current, const std::vector<std::string>& names);
  void ShowFileProgress(int percent, const std::string& name);
  // What the window's layout shows of the run it comes up for: the directory meter or not.
  void SetDirectoryMode(bool directoryMode);
  void BringUp();
  // Runs show (a message box) owned by this window, with the clock held while it is up.
  void ShowOwned(const std::function<void()>& show);
  int AskOwned(const std::string& text, const std::string& caption, unsigned flags);

  // The create path's end of a run; and what closing the window does afterwards.
  void EnterFinishedState();
  void Teardown();

  bool Paused() const { return paused_; }
  // The running time the clock has counted.
  uint32_t ElapsedMs() const { return clock_.Elapsed(); }
  const std::vector<TLabel*>& VersionLabels() const { return versionLabels_; }

  void FormShow(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void timer_PatchTimer(TObject* Sender);
  void button_PauseContinueClick(TObject* Sender);
  void button_CancelCloseClick(TObject* Sender);

 protected:
  void BeforeDestruction() override;
  void WndProc(TMessage& m) override;

 private:
  void SetPaused(bool paused);
  void CancelStep();
  void Layout(bool directoryMode);

  TRunClock clock_;
  bool paused_ = false;
  bool directoryMode_ = false;
  bool titleSaved_ = false;
  std::string savedTitle_;
  std::vector<TLabel*> versionLabels_;
};

extern TForm2* Form2;
