#include "builder/patch_thread.h"

#include "builder/patch_progress.h"
#include "builder/progress_window.h"
#include "framework/win/application.h"
#include "patch_engine/engine.h"
#include "platform/file.h"
#include "platform/process.h"

std::atomic<TPatchState> PatchState{TPatchState::Done};
PatchThread* CurrentWorker = nullptr;

namespace {

template <class F>
void OnGui(F&& step) {
  TThread::Synchronize([&] {
    if (Form2) step(*Form2);
  });
}

void SetQuellPercent(int stage, int32_t PatchThread::*field, int percent) {
  CurrentWorker->*field = percent;
  OnGui([&](TForm2& f) { f.ShowStagePercent(stage, CurrentWorker->*field); });
}

void SetQuell1Percent(int percent) { SetQuellPercent(1, &PatchThread::Quell1Percent, percent); }
void SetQuell2Percent(int percent) { SetQuellPercent(2, &PatchThread::Quell2Percent, percent); }
void SetQuell3Percent(int percent) { SetQuellPercent(3, &PatchThread::Quell3Percent, percent); }

// The engine's front end while the worker runs.
class TPatchFrontEnd final : public engine::FrontEndServices {
 public:
  void Stage1Progress(int percent) override { SetQuell1Percent(percent); }
  void Stage2Progress(int percent) override { SetQuell2Percent(percent); }
  void Stage3Progress(int percent) override { SetQuell3Percent(percent); }
  void FileProgress(int64_t done, int64_t total, const std::string& name) override {
    PatchThread& w = *CurrentWorker;
    w.FileTotal = total;
    w.FilePercent = DirectoryPercent(done, total);
    w.AnalysedName = name;
    OnGui([&](TForm2& f) { f.ShowFileProgress(w.FilePercent, w.AnalysedName); });
  }
  void ShowDirectoryMode(bool directoryMode) override {
    CurrentWorker->DirectoryMode = directoryMode;
    OnGui([&](TForm2& f) { f.SetDirectoryMode(CurrentWorker->DirectoryMode); });
  }
  void PumpMessages() override {
    OnGui([](TForm2& f) { f.BringUp(); });
  }
  void ResetQuellMeters() override {
    SetQuell1Percent(0);
    SetQuell2Percent(0);
    SetQuell3Percent(0);
  }
  void ShowSourceVersions(int step, const std::vector<std::string>& versionNames) override {
    PatchThread& w = *CurrentWorker;
    w.CurrentVersion = step;
    w.VersionCount = int32_t(versionNames.size());
    w.VersionNames = versionNames;
    OnGui([&](TForm2& f) { f.ShowSourceVersions(w.CurrentVersion, w.VersionNames); });
  }
  void ShowPatchSize(int64_t bytes) override {
    CurrentWorker->PatchSize = bytes;
    OnGui([&](TForm2& f) { f.ShowPatchSize(CurrentWorker->PatchSize); });
  }
  void RaiseMissingStub(const std::string& stubName) override {
    const std::string text = "Error, can't find \"" + stubName +
                             "\" in directory of the calling Fabrin, though it's required to build "
                             "executeable patchfiles";
    // Raised on the GUI thread; Synchronize carries it back into the engine's call.
    TThread::Synchronize([&] { throw EPatchCreationEngineError(text); });
  }
  bool AskLongFileNameSupport(const std::string& productWord, const std::string& outputName) override {
    const std::string text = "The 3rd-party product \"" + productWord + "\" may not support long filenames like \"" +
                             outputName + "\". Using it may fail, try it anyway?";
    int answer = 0;
    OnGui([&](TForm2& f) { answer = f.AskOwned(text, "Warning", MB_OKCANCEL | MB_ICONEXCLAMATION); });
    return answer != IDCANCEL;
  }
  void ShowPackerNotFound(const std::string& program, bool searchedPath) override {
    const std::string cut = "------------------ cut ------------------";
    const std::string text =
        searchedPath ? "Can't find external packer program \"" + program + "\" in current path, which is:\n\n" +
                           cut + "\n" + platform::GetEnvironment("PATH") + "\n" + cut +
                           "\n\nPlease correct settings for this packer or update your path settings and reboot."
                     : "Can't find packer executable at \"" + program + "\", you'll need to correct that setting.";
    OnGui([&](TForm2& f) { f.AskOwned(text, "Error", MB_ICONSTOP); });
  }
  bool RunAndWait(const std::string& commandLine, bool show, uint32_t& exitCode) override {
    return platform::RunProcess(commandLine, show, exitCode);
  }
};

TPatchFrontEnd frontEnd;

void Report(const std::string& text, const std::string& caption, unsigned flags) {
  OnGui([&](TForm2& f) { f.AskOwned(text, caption, flags); });
}

}  // namespace

void PatchThread::Execute() {
  try {
    SetQuell1Percent(Quell1Percent);
    SetQuell2Percent(Quell2Percent);
    SetQuell3Percent(Quell3Percent);
    engine::ClampEngineOptions();
    engine::CreatePatch();
  } catch (const EPatchCreationEngineError& e) {
    OnGui([&](TForm2& f) { f.ShowOwned([&] { Application->ShowException(e); }); });
  } catch (const ECancelled&) {
    // The cancel the user asked for.
  } catch (const Exception& e) {
    // A failure that ends a run the user has already cancelled is not shown either: its
    // window is gone.
    if (PatchState != TPatchState::Cancelling) Report(e.Message(), "Something unexpected happened", 0);
  } catch (...) {
    Report("Unknown exception occured", "Something unexpected happended", 0);
  }
  PatchState = TPatchState::Done;
  Application->WakeMainThread();
}

TPatchRun::~TPatchRun() {
  if (worker_) worker_->WaitFor();
}

void TPatchRun::Start() {
  PatchState = TPatchState::Running;
  engine::ClearCancelRequest();
  worker_ = std::make_unique<PatchThread>();
  CurrentWorker = worker_.get();
  frontEnd_.emplace(frontEnd);
  worker_->Start();
}

bool TPatchRun::Poll() { return PatchDone(); }

void TPatchRun::Finish() {
  if (worker_) {
    worker_->WaitFor();
    worker_.reset();
  }
  frontEnd_.reset();
  CurrentWorker = nullptr;
  if (!Form2) return;
  if (Form2->Visible())
    Form2->EnterFinishedState();
  else
    Form2->Teardown();
}

void RunPatchWorker() {
  TPatchRun run;
  run.Start();
  while (!run.Poll()) Application->HandleMessage();
  run.Finish();
}

void AskEngineToCancel() {
  TPatchState running = TPatchState::Running;
  if (PatchState.compare_exchange_strong(running, TPatchState::Cancelling)) engine::RequestCancel();
}
