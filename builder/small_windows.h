#pragma once
// The patch builder's smaller windows: the e-mail progress window TForm4 ("Sending Email
// in Progress"), made at start-up and placed like the others, which shows the e-mail
// thread's status and owns its boxes; and the splash window shown while the program starts
// unless the settings hide it.
#include "framework/controls/comctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"
#include "mail/patch_mail.h"

class TForm4 : public TForm, public IPatchMailReport {
  FW_CLASS(TForm4, TForm)

 public:
  explicit TForm4(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  // An empty status and bar for the next send.
  void StartProgress();
  // The e-mail thread's steps, on the GUI thread: the status line and the bar (0..100).
  void Status(const std::string& text, int percent) override;
  // A box owned by this window.
  void ShowBox(const TMailBox& box) override;

  TLabel* label_Status = nullptr;
  TLabel* Label1 = nullptr;
  TProgressBar* progress_EMail = nullptr;

  void FormKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);

 protected:
  void BeforeDestruction() override;
};

class Tform_Splash : public TForm {
  FW_CLASS(Tform_Splash, TForm)

 public:
  explicit Tform_Splash(TComponent* owner) : TForm(owner) {}
};

extern TForm4* Form4;
