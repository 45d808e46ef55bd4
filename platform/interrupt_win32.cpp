// Win32 side of putting files right on interruption (Windows build): a console control
// handler. The system calls it on a thread of its own while the program's threads go on;
// the list's lock keeps it from seeing a change half done. Files of the list that are
// still open are removed as well: the file layer opens every file with FILE_SHARE_DELETE,
// so they go when the ending process closes them. The handler returns FALSE, so the next
// handler, in the end the system's own, ends the process.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/interrupt_list.h"

namespace platform {

namespace {

detail::InterruptList list;
std::mutex changing;
std::atomic<bool> interrupted{false};

BOOL WINAPI PutRight(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  std::lock_guard<std::mutex> hold(changing);
  interrupted.store(true);
  for (const detail::InterruptEntry& e : list.entries) {
    if (e.home.empty())
      DeleteFileA(e.path.c_str());
    else
      MoveFileExA(e.path.c_str(), e.home.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  list.entries.clear();
  return FALSE;
}

void InstallHandler() {
  static std::once_flag once;
  std::call_once(once, [] { SetConsoleCtrlHandler(PutRight, TRUE); });
}

}  // namespace

namespace detail {

bool ChangeInterruptList(const std::function<bool(InterruptList&)>& operation) {
  std::lock_guard<std::mutex> hold(changing);
  return !interrupted.load() && operation(list);
}

}  // namespace detail

bool CreateTemporaryFile(const std::string& dir, const std::string& prefix, std::string& name) {
  InstallHandler();
  return detail::ChangeInterruptList([&](detail::InterruptList& l) {
    if (!CreateUniqueFile(dir, prefix, name)) return false;
    l.Add(name);
    return true;
  });
}

bool MoveAside(const std::string& path, const std::string& aside) {
  InstallHandler();
  return detail::ChangeInterruptList([&](detail::InterruptList& l) {
    if (!MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    l.Add(aside, path);
    return true;
  });
}

}  // namespace platform
