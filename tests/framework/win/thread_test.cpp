#include <gtest/gtest.h>

#include <atomic>

#include "framework/testing/gui_test.h"
#include "framework/win/thread.h"
#include "test_forms.h"

namespace {

class Threads : public TGuiTest {};

// Runs fn as its Execute.
class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> fn) : fn_(std::move(fn)) {}
  ~TLambdaThread() override { ++destroyed; }
  static inline std::atomic<int> destroyed{0};

 protected:
  void Execute() override { fn_(*this); }

 private:
  std::function<void(TLambdaThread&)> fn_;
};

TEST_F(Threads, SynchronizeRunsStepsOnTheGuiThreadWhileWaitForServesThem) {
  DWORD gui = GetCurrentThreadId();
  std::vector<DWORD> ranOn;
  TLambdaThread worker([&](TLambdaThread& t) {
    for (int i = 0; i < 5; ++i) t.Synchronize([&] { ranOn.push_back(GetCurrentThreadId()); });
    t.SetReturnValue(7);
  });
  DWORD terminatedOn = 0;
  worker.OnTerminate = TNotifyEvent([&](TObject*) { terminatedOn = GetCurrentThreadId(); });
  worker.Start();
  EXPECT_EQ(worker.WaitFor(), 7);  // would deadlock if it did not serve the steps
  EXPECT_EQ(ranOn, std::vector<DWORD>(5, gui));
  EXPECT_EQ(terminatedOn, gui);
  EXPECT_TRUE(worker.Finished());
}

TEST_F(Threads, StepsAreServedInsideAModalForm) {
  auto* f = MakeForm<TTestMainForm>();
  std::unique_ptr<TLambdaThread> worker;
  f->OnShow = TNotifyEvent([&](TObject*) {
    worker = std::make_unique<TLambdaThread>([&](TLambdaThread& t) {
      t.Synchronize([&] { f->SetModalResult(mrYes); });
    });
    worker->Start();
  });
  EXPECT_EQ(f->ShowModal(), mrYes);
  worker->WaitFor();
}

BOOL CALLBACK AnswerBox(HWND h, LPARAM) {
  char cls[32] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (std::string(cls) == "#32770") PostMessageA(h, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// A message box runs a loop that is not ours; requests are still served inside it.
TEST_F(Threads, StepsAreServedInsideARealMessageBox) {
  TMessageBoxFunction scripted = SetMessageBoxFunction(nullptr);  // the real MessageBoxA
  DWORD gui = GetCurrentThreadId();
  std::atomic<bool> boxUp{false};
  bool servedInBox = false;
  TLambdaThread worker([&](TLambdaThread& t) {
    while (!boxUp) Sleep(5);
    Sleep(50);
    t.Synchronize([&] {
      servedInBox = boxUp;
      EnumThreadWindows(gui, AnswerBox, 0);
    });
  });
  worker.Start();
  boxUp = true;
  int answer = Application->MessageBox("Waiting for the worker", "Test", MB_OK);
  boxUp = false;
  worker.WaitFor();
  SetMessageBoxFunction(scripted);
  EXPECT_EQ(answer, IDOK);
  EXPECT_TRUE(servedInBox);
}

// A loop that sleeps in WaitMessage sees a worker's flag only because the worker posts.
TEST_F(Threads, AWorkersDonePostWakesASleepingLoop) {
  std::atomic<bool> done{false};
  TLambdaThread worker([&](TLambdaThread&) {
    Sleep(100);
    done = true;
    Application->WakeMainThread();
  });
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  worker.Start();
  // No timer and no input: only the post ends the sleep (else the watchdog fails the test).
  while (!done) Application->HandleMessage();
  worker.WaitFor();

  // TThread posts by itself when Execute ends: a loop polling Finished wakes too.
  auto* quiet = new TLambdaThread([](TLambdaThread&) { Sleep(100); });
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  quiet->Start();
  while (!quiet->Finished()) Application->HandleMessage();
  quiet->WaitFor();
  delete quiet;
}

TEST_F(Threads, FreeOnTerminateFreesAndFatalExceptionsAreKept) {
  int before = TLambdaThread::destroyed;
  std::atomic<bool> ran{false};
  auto* t = new TLambdaThread([&](TLambdaThread&) { ran = true; });
  t->SetFreeOnTerminate(true);
  t->Start();
  EXPECT_TRUE(PumpUntil([&] { return TLambdaThread::destroyed == before + 1; }));
  EXPECT_TRUE(ran);

  TLambdaThread failing([](TLambdaThread&) { throw std::runtime_error("worker broke"); });
  failing.Start();
  failing.WaitFor();
  ASSERT_TRUE(failing.FatalException());
  EXPECT_THROW(std::rethrow_exception(failing.FatalException()), std::runtime_error);
  EXPECT_TRUE(Exceptions.Take().empty());  // kept for the owner, not shown
}

}  // namespace
