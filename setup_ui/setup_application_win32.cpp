#include "setup_ui/setup_application_win32.h"

#include "framework/win/application.h"
#include "framework/win/forms.h"

namespace setup_ui {

bool TSetupApplication::FindMainForm(TComponent* owner) {
  form_ = Application ? Application->MainForm() : nullptr;
  if (!form_) form_ = dynamic_cast<TCustomForm*>(owner);
  return form_ != nullptr;
}

void TSetupApplication::HookMainFormShow(std::function<void()> onShow) {
  if (!form_) return;
  savedShow_ = form_->OnShow;
  form_->OnShow = TNotifyEvent([onShow = std::move(onShow)](TObject*) { onShow(); });
}

void TSetupApplication::CallSavedShow() {
  if (form_) savedShow_(form_);
}

void TSetupApplication::RestoreShow() {
  if (form_) form_->OnShow = savedShow_;
}

void TSetupApplication::MaximizeMainForm() {
  if (form_) form_->SetWindowState(TWindowState::wsMaximized);
}

void TSetupApplication::SetExceptionHandler(setup::TInstallExceptionHandler handler) {
  if (!Application) return;
  if (!handler) {
    Application->OnException = TExceptionEvent();
    return;
  }
  // The loop hands the exception on while it is being handled, so the driver sees its
  // own class (a user abort among them).
  Application->OnException = TExceptionEvent([handler](TObject* sender, const Exception& e) {
    std::exception_ptr current = std::current_exception();
    handler(sender, current ? current : std::make_exception_ptr(e));
  });
}

void TSetupApplication::Terminate(int exitCode) {
  exitCode_ = exitCode;
  ended_ = true;
  if (Application) Application->Terminate();
}

void TSetupApplication::ProcessMessages() {
  if (Application) Application->ProcessMessages();
}

void TSetupApplication::SetWaitCursor(bool wait) {
  if (Screen) Screen->SetCursor(wait ? crHourGlass : crDefault);
}

}  // namespace setup_ui
