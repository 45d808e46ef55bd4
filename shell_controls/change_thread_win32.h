#pragma once
// The change-notification thread of a shell list or tree. It waits on a command event and
// up to 63 directory change handles (64 wait objects in all); when a handle fires it posts
// the owner's message (wParam the slot, lParam 0) and re-arms the handle, dropping a
// handle that cannot be re-armed. A wait that fails ends the thread.
//
// The control changes what is watched only through commands (add, close one, close all,
// end): it opens the handle, stores the command and its argument, sets the command event
// and waits up to 2000 ms for the reply; the watcher alone keeps the slot table while it
// runs. A command left without a reply may still be carried out: the next one first waits
// for that reply, and is not sent without it, so that it never overwrites what the watcher
// has yet to read. Destruction sends the end command and waits for the thread's end before it closes
// any handle.
#include <string>

#include "framework/win/thread.h"
#include "framework/win/winapi.h"

class TChangeHandlerThread : public TThread {
 public:
  static constexpr int kSlots = 63;
  static constexpr DWORD kReplyTimeout = 2000;

  // Starts the thread; the owner gets message for every change.
  TChangeHandlerThread(HWND owner, UINT message);
  ~TChangeHandlerThread() override;

  // Watches path (FindFirstChangeNotificationA with filter, the subtree when asked); false
  // for an empty path, a path that cannot be watched, no reply or no free slot.
  bool AddWatch(const std::string& path, DWORD filter, int& slot, bool subtree);
  // Closes the watch in slot; false without a reply.
  bool CloseWatch(int slot);
  // Closes every watch; false without a reply.
  bool CloseAll();

 protected:
  void Execute() override;

 private:
  enum TCommand : uint8_t { cmAdd = 0, cmCloseOne = 1, cmCloseAll = 2, cmTerminate = 3 };
  bool Send(TCommand command);
  // Waits for the reply to a command that timed out; false while it is still missing.
  bool Settle();
  void CloseSlot(int slot);

  TCommand command_ = cmAdd;
  HANDLE commandEvent_ = nullptr;
  HANDLE replyEvent_ = nullptr;
  HANDLE adding_ = INVALID_HANDLE_VALUE;
  int closeSlot_ = -1;
  HWND owner_;
  UINT message_;
  HANDLE slots_[kSlots];
  int addedSlot_ = -1;
  bool awaitingReply_ = false;
};
