#pragma once
// The patch builder's smaller windows: the e-mail progress window TForm4 ("Sending Email
// in Progress"), made at start-up and placed like the others, and the splash window shown
// while the program starts unless the settings hide it.
#include "framework/controls/comctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"

class TForm4 : public TForm {
  FW_CLASS(TForm4, TForm)

 public:
  explicit TForm4(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

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
