#include "builder/small_windows.h"

#include <algorithm>

#include "framework/win/application.h"

TForm4* Form4 = nullptr;

// The program-wide reference goes with the window.
void TForm4::BeforeDestruction() {
  if (Form4 == this) Form4 = nullptr;
  TForm::BeforeDestruction();
}

const TClassInfo& TForm4::StaticClass() {
  static const TClassInfo info{"TForm4", &TForm::StaticClass(), Factory<TForm4>(), {}, "TFORM4"};
  return info;
}

const TMethodTable* TForm4::Methods() const {
  using F = TForm4;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("label_Status", &F::label_Status)
                                    .Field("Label1", &F::Label1)
                                    .Field("progress_EMail", &F::progress_EMail)
                                    .Handler<TKeyEvent>("FormKeyUp", &F::FormKeyUp);
  return &t;
}

void TForm4::StartProgress() {
  label_Status->SetCaption("");
  progress_EMail->SetPosition(0);
}

void TForm4::Status(const std::string& text, int percent) {
  label_Status->SetCaption(text);
  progress_EMail->SetPosition(std::clamp(percent, 0, 100));
}

void TForm4::ShowBox(const TMailBox& box) {
  if (Visible() && HandleAllocated()) SetActiveWindow(Handle());
  Application->MessageBox(box.Text, box.Caption, box.Flags);
}

void TForm4::FormKeyUp(TObject*, uint16_t& Key, TShiftState) {
  if (Key == VK_F1) Application->HelpContext(1);
}

const TClassInfo& Tform_Splash::StaticClass() {
  static const TClassInfo info{"Tform_Splash", &TForm::StaticClass(), Factory<Tform_Splash>(), {}, "TFORM_SPLASH"};
  return info;
}
