// POSIX side of putting files right on interruption (native build): handlers for SIGINT
// and SIGTERM.
//
// A handler may run on any thread, also while another thread changes the list. Every
// change therefore runs with both signals blocked in its own thread (so no handler
// interrupts it there) and with `busy` set; a handler first sets `interrupted`, then
// waits until no change is under way. A change that sets `busy` and then finds
// `interrupted` backs out without touching anything, so the handler works on a list
// that nobody changes any more. The handler uses only async-signal-safe calls.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/interrupt_list.h"

namespace platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

detail::InterruptList list;
std::mutex changing;  // one change at a time
std::atomic<bool> busy{false};
std::atomic<bool> interrupted{false};
std::atomic<bool> installed{false};
struct sigaction previous[2];

void PutRight(int signal) {
  interrupted.store(true);
  while (busy.load()) {
  }
  for (const detail::InterruptEntry& e : list.entries) {
    if (e.home.empty())
      ::unlink(e.path.c_str());
    else
      ::rename(e.path.c_str(), e.home.c_str());
  }
  // The default disposition again, and the signal once more: it ends the process when
  // the handler returns.
  for (size_t i = 0; i < 2; ++i)
    if (kSignals[i] == signal) sigaction(signal, &previous[i], nullptr);
  raise(signal);
}

void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (size_t i = 0; i < 2; ++i) {
      if (sigaction(kSignals[i], nullptr, &previous[i]) != 0) continue;
      if ((previous[i].sa_flags & SA_SIGINFO) || previous[i].sa_handler != SIG_DFL) continue;
      struct sigaction handler = {};
      handler.sa_handler = PutRight;
      sigemptyset(&handler.sa_mask);
      for (int s : kSignals) sigaddset(&handler.sa_mask, s);
      handler.sa_flags = SA_RESTART;
      sigaction(kSignals[i], &handler, nullptr);
    }
    installed.store(true);
  });
}

}  // namespace

namespace detail {

bool ChangeInterruptList(const std::function<bool(InterruptList&)>& operation) {
  {
    // Before the first file is listed there is nothing a handler could see half-changed.
    std::lock_guard<std::mutex> hold(changing);
    if (!installed.load()) return operation(list);
  }
  sigset_t block, before;
  sigemptyset(&block);
  for (int s : kSignals) sigaddset(&block, s);
  pthread_sigmask(SIG_BLOCK, &block, &before);
  bool done = false;
  {
    std::lock_guard<std::mutex> hold(changing);
    busy.store(true);
    if (!interrupted.load()) done = operation(list);
    busy.store(false);
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return done;
}

}  // namespace detail

bool CreateTemporaryFile(const std::string& dir, const std::string& prefix, std::string& name) {
  InstallHandlers();
  return detail::ChangeInterruptList([&](detail::InterruptList& l) {
    if (!CreateUniqueFile(dir, prefix, name)) return false;
    l.Add(name);
    return true;
  });
}

bool MoveAside(const std::string& path, const std::string& aside) {
  InstallHandlers();
  return detail::ChangeInterruptList([&](detail::InterruptList& l) {
    if (::rename(path.c_str(), aside.c_str()) != 0) return false;
    l.Add(aside, path);
    return true;
  });
}

}  // namespace platform
