#include "shell_controls/change_thread_win32.h"

#include "framework/core/exceptions.h"

TChangeHandlerThread::TChangeHandlerThread(HWND owner, UINT message) : owner_(owner), message_(message) {
  for (HANDLE& h : slots_) h = INVALID_HANDLE_VALUE;
  commandEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  replyEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!commandEvent_ || !replyEvent_) {
    if (commandEvent_) CloseHandle(commandEvent_);
    if (replyEvent_) CloseHandle(replyEvent_);
    throw EThread("Cannot create the change notification events");
  }
  Start();
}

TChangeHandlerThread::~TChangeHandlerThread() {
  command_ = cmTerminate;
  Terminate();
  SetEvent(commandEvent_);
  WaitFor();
  for (HANDLE h : slots_)
    if (h != INVALID_HANDLE_VALUE) FindCloseChangeNotification(h);
  if (adding_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(adding_);
  CloseHandle(commandEvent_);
  CloseHandle(replyEvent_);
}

bool TChangeHandlerThread::Settle() {
  if (!awaitingReply_) return true;
  if (WaitForSingleObject(replyEvent_, kReplyTimeout) != WAIT_OBJECT_0) return false;
  awaitingReply_ = false;
  return true;
}

bool TChangeHandlerThread::Send(TCommand command) {
  if (!Settle()) return false;
  command_ = command;
  SetEvent(commandEvent_);
  awaitingReply_ = WaitForSingleObject(replyEvent_, kReplyTimeout) != WAIT_OBJECT_0;
  return !awaitingReply_;
}

bool TChangeHandlerThread::AddWatch(const std::string& path, DWORD filter, int& slot, bool subtree) {
  slot = -1;
  if (path.empty()) return false;
  HANDLE h = FindFirstChangeNotificationA(path.c_str(), subtree ? TRUE : FALSE, filter);
  if (h == INVALID_HANDLE_VALUE) return false;
  if (!Settle()) {
    // The watcher has yet to take the handle of an earlier add: this one must not replace it.
    FindCloseChangeNotification(h);
    return false;
  }
  adding_ = h;
  if (!Send(cmAdd)) return false;  // the handle stays pending: stored later or closed at the end
  if (addedSlot_ < 0) {
    // Every slot is taken: the watcher left the handle alone.
    adding_ = INVALID_HANDLE_VALUE;
    FindCloseChangeNotification(h);
    return false;
  }
  slot = addedSlot_;
  return true;
}

bool TChangeHandlerThread::CloseWatch(int slot) {
  closeSlot_ = slot;
  return Send(cmCloseOne);
}

bool TChangeHandlerThread::CloseAll() { return Send(cmCloseAll); }

void TChangeHandlerThread::CloseSlot(int slot) {
  if (slot < 0 || slot >= kSlots || slots_[slot] == INVALID_HANDLE_VALUE) return;
  FindCloseChangeNotification(slots_[slot]);
  slots_[slot] = INVALID_HANDLE_VALUE;
}

void TChangeHandlerThread::Execute() {
  for (;;) {
    HANDLE waits[kSlots + 1];
    int slotOf[kSlots + 1];
    DWORD n = 0;
    waits[n++] = commandEvent_;
    for (int i = 0; i < kSlots; ++i)
      if (slots_[i] != INVALID_HANDLE_VALUE) {
        slotOf[n] = i;
        waits[n++] = slots_[i];
      }
    DWORD r = WaitForMultipleObjects(n, waits, FALSE, INFINITE);
    if (Terminated() || r == WAIT_FAILED) return;
    if (r == WAIT_OBJECT_0) {
      switch (command_) {
        case cmAdd: {
          addedSlot_ = -1;
          for (int i = 0; i < kSlots && addedSlot_ < 0; ++i)
            if (slots_[i] == INVALID_HANDLE_VALUE) {
              slots_[i] = adding_;
              adding_ = INVALID_HANDLE_VALUE;
              addedSlot_ = i;
            }
          break;
        }
        case cmCloseOne:
          CloseSlot(closeSlot_);
          break;
        case cmCloseAll:
          for (int i = 0; i < kSlots; ++i) CloseSlot(i);
          break;
        case cmTerminate:
          return;
      }
      SetEvent(replyEvent_);
    } else if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + n) {
      int slot = slotOf[r - WAIT_OBJECT_0];
      PostMessageA(owner_, message_, WPARAM(slot), 0);
      if (!FindNextChangeNotification(slots_[slot])) CloseSlot(slot);
    }
  }
}
