#include "framework/win/firewall.h"

namespace {

struct TEnumState {
  const std::function<bool(HWND)>* fn;
  TCallbackGuard guard;
};

BOOL CALLBACK EnumStep(HWND h, LPARAM data) noexcept {
  auto* st = reinterpret_cast<TEnumState*>(data);
  return st->guard.Run([&] { return (*st->fn)(h); }) ? TRUE : FALSE;
}

}  // namespace

void ForEachChildWindow(HWND parent, const std::function<bool(HWND)>& fn) {
  TEnumState st{&fn, {}};
  EnumChildWindows(parent, EnumStep, reinterpret_cast<LPARAM>(&st));
  st.guard.RethrowIfFailed();
}

void ForEachThreadWindow(DWORD threadId, const std::function<bool(HWND)>& fn) {
  TEnumState st{&fn, {}};
  EnumThreadWindows(threadId, EnumStep, reinterpret_cast<LPARAM>(&st));
  st.guard.RethrowIfFailed();
}
