#pragma once
// The e-mail thread: sends one patch mail (patch_mail.h) off the GUI thread.
//
// How it works: the main window fills a TPatchMail on the GUI thread, clears the done flag
// by making an EmailThread and starts it, then handles messages until EmailDone() holds.
// The thread runs SendPatchMail; every status step and every box reaches the GUI's report
// through TThread::Synchronize, so the report only ever runs on the GUI thread. The done
// flag is set last, whatever happened, and the GUI loop is woken.
#include <atomic>

#include "framework/win/thread.h"
#include "mail/patch_mail.h"

class EmailThread : public TThread {
 public:
  // gui is called on the GUI thread only; it must outlive the thread.
  EmailThread(TPatchMail mail, IPatchMailReport& gui);

 protected:
  void Execute() override;

 private:
  TPatchMail mail_;
  IPatchMailReport& gui_;
};

// The done flag of the current e-mail thread: cleared when one is made, set when it ends.
bool EmailDone();
