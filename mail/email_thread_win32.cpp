#include "mail/email_thread_win32.h"

#include <utility>

#include "framework/win/application.h"

namespace {

std::atomic<bool> emailDone{true};

// Passes each step of the run to the GUI thread and waits for it there.
class TSynchronizedReport final : public IPatchMailReport {
 public:
  explicit TSynchronizedReport(IPatchMailReport& gui) : gui_(gui) {}
  void Status(const std::string& text, int percent) override {
    TThread::Synchronize([&] { gui_.Status(text, percent); });
  }
  void ShowBox(const TMailBox& box) override {
    TThread::Synchronize([&] { gui_.ShowBox(box); });
  }

 private:
  IPatchMailReport& gui_;
};

}  // namespace

bool EmailDone() { return emailDone; }

EmailThread::EmailThread(TPatchMail mail, IPatchMailReport& gui) : mail_(std::move(mail)), gui_(gui) {
  emailDone = false;
}

void EmailThread::Execute() {
  struct Done {
    ~Done() {
      emailDone = true;
      if (Application) Application->WakeMainThread();
    }
  } done;
  TSynchronizedReport report(gui_);
  SendPatchMail(mail_, report);
}
