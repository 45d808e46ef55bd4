#pragma once
// The exception firewall. A C++ exception must never unwind through a Win32 or Wine frame
// (a window procedure called by DispatchMessageA, a timer, a thread start, a callback):
// with the DWARF unwinder it would end the process. Every entry from Win32 into our code
// runs its body through Firewall(), which hands whatever escapes to the application's
// exception handler and returns normally. Synchronous callbacks (enumerations, sorts)
// use TCallbackGuard instead: the first exception stops the walk and is rethrown once the
// Win32 call has returned, so the caller sees it as if the callback had thrown directly.
#include <exception>
#include <functional>
#include <utility>

#include "framework/win/winapi.h"

class TObject;

// Application->HandleException when there is an application; never throws.
void HandleEntryException(std::exception_ptr e, TObject* sender) noexcept;

template <class F>
void Firewall(TObject* sender, F&& body) noexcept {
  try {
    body();
  } catch (...) {
    HandleEntryException(std::current_exception(), sender);
  }
}

class TCallbackGuard {
 public:
  // Runs one callback step; false (stop) once a step has thrown.
  template <class F>
  bool Run(F&& step) noexcept {
    if (error_) return false;
    try {
      return step();
    } catch (...) {
      error_ = std::current_exception();
      return false;
    }
  }
  void RethrowIfFailed() {
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  std::exception_ptr error_;
};

// EnumChildWindows / EnumThreadWindows with a C++ callback (false stops the walk);
// an exception of the callback is rethrown here.
void ForEachChildWindow(HWND parent, const std::function<bool(HWND)>& fn);
void ForEachThreadWindow(DWORD threadId, const std::function<bool(HWND)>& fn);
