#include "framework/win/thread.h"

#include <process.h>

#include <deque>
#include <mutex>

#include "framework/core/exceptions.h"
#include "framework/win/application.h"
#include "framework/win/messages.h"

namespace {

struct TSyncRequest {
  const std::function<void()>* step;
  HANDLE done;
  std::exception_ptr error;
};

std::mutex& QueueLock() {
  static std::mutex m;
  return m;
}

std::deque<TSyncRequest*>& Queue() {
  static std::deque<TSyncRequest*> q;
  return q;
}

}  // namespace

TThread::TThread() {
  unsigned id = 0;
  handle_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id));
  if (!handle_) throw EThread("Thread creation error");
  threadId_ = id;
}

TThread::~TThread() {
  if (started_ && !finished_ && GetCurrentThreadId() != threadId_) {
    Terminate();
    WaitFor();
  }
  if (!started_) {
    // Never ran: let the suspended start routine end without touching this object.
    terminated_ = true;
    freeOnTerminate_ = false;
    ResumeThread(handle_);
    WaitForSingleObject(handle_, INFINITE);
  }
  CloseHandle(handle_);
}

void TThread::Start() {
  if (started_) throw EThread("Thread already started");
  started_ = true;
  ResumeThread(handle_);
}

unsigned __stdcall TThread::ThreadProc(void* self) noexcept {
  auto* t = static_cast<TThread*>(self);
  if (!t->started_) return 0;
  try {
    t->Execute();
  } catch (...) {
    t->fatal_ = std::current_exception();
  }
  try {
    if (t->OnTerminate) Synchronize([t] { t->OnTerminate(t); });
  } catch (...) {
    if (!t->fatal_) t->fatal_ = std::current_exception();
  }
  bool freeIt = t->freeOnTerminate_;
  unsigned result = unsigned(t->returnValue_);
  t->finished_ = true;
  // The GUI loop may be asleep waiting for exactly this.
  if (Application) Application->WakeMainThread();
  if (freeIt) delete t;
  return result;
}

int TThread::WaitFor() {
  if (GetCurrentThreadId() == threadId_) throw EThread("A thread cannot wait for itself");
  if (!started_) throw EThread("Thread was never started");
  if (Application && TApplication::IsMainThread()) {
    for (;;) {
      CheckSynchronize();
      DWORD r = MsgWaitForMultipleObjects(1, &handle_, FALSE, INFINITE, QS_POSTMESSAGE | QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
      MSG msg;
      while (PeekMessageA(&msg, Application->Handle(), WM_FW_SYNC, WM_FW_SYNC, PM_REMOVE)) {
      }
    }
    CheckSynchronize();
  } else {
    WaitForSingleObject(handle_, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeThread(handle_, &code);
  return int(code);
}

void TThread::Synchronize(const std::function<void()>& step) {
  if (!Application || TApplication::IsMainThread()) {
    step();
    return;
  }
  TSyncRequest r{&step, CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
  if (!r.done) throw EThread("Cannot create a synchronize event");
  {
    std::lock_guard<std::mutex> lock(QueueLock());
    Queue().push_back(&r);
  }
  PostMessageA(Application->Handle(), WM_FW_SYNC, 0, 0);
  WaitForSingleObject(r.done, INFINITE);
  CloseHandle(r.done);
  if (r.error) std::rethrow_exception(r.error);
}

bool TThread::CheckSynchronize() {
  if (!TApplication::IsMainThread()) return false;
  bool ran = false;
  for (;;) {
    TSyncRequest* r = nullptr;
    {
      std::lock_guard<std::mutex> lock(QueueLock());
      if (Queue().empty()) break;
      r = Queue().front();
      Queue().pop_front();
    }
    try {
      (*r->step)();
    } catch (...) {
      r->error = std::current_exception();
    }
    SetEvent(r->done);
    ran = true;
  }
  return ran;
}
