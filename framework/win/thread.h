#pragma once
// Worker threads. A TThread starts with Start() once it is fully constructed (a
// constructor cannot run its own virtual Execute safely). Its start routine is
// firewalled: an exception escaping Execute is kept as FatalException. After Execute come
// OnTerminate (on the GUI thread), a wake-up post to the GUI loop and, with
// FreeOnTerminate, the delete; from then on the GUI holds no pointer to it.
//
// Synchronize(step) runs step on the GUI thread while the worker waits; an exception of
// the step is rethrown in the worker. A request is a message to the application window,
// so every message loop serves it, message boxes' and modal forms' too; WaitFor on the
// GUI thread serves requests while it waits, so it cannot deadlock with the worker.
#include <atomic>
#include <exception>
#include <functional>

#include "framework/core/events.h"
#include "framework/core/object.h"
#include "framework/win/winapi.h"

class TThread : public TObject {
 public:
  TThread();
  ~TThread() override;

  void Start();
  // Asks Execute to stop: Terminated() turns true. Execute decides when.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Waits for the end of the thread and returns ReturnValue.
  int WaitFor();
  bool Finished() const { return finished_; }
  bool FreeOnTerminate() const { return freeOnTerminate_; }
  void SetFreeOnTerminate(bool v) { freeOnTerminate_ = v; }
  int ReturnValue() const { return returnValue_; }
  void SetReturnValue(int v) { returnValue_ = v; }
  std::exception_ptr FatalException() const { return fatal_; }
  HANDLE Handle() const { return handle_; }
  DWORD ThreadID() const { return threadId_; }

  // Runs step on the GUI thread (at once when called there); rethrows its exception.
  static void Synchronize(const std::function<void()>& step);
  // GUI side: runs the waiting requests; true when it ran any.
  static bool CheckSynchronize();

  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;

 private:
  static unsigned __stdcall ThreadProc(void* self) noexcept;

  HANDLE handle_ = nullptr;
  DWORD threadId_ = 0;
  bool started_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool freeOnTerminate_ = false;
  int returnValue_ = 0;
  std::exception_ptr fatal_;
};
