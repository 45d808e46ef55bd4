#include "builder/help_window.h"

#include "framework/core/exceptions.h"
#include "framework/win/application.h"
#include "platform/file.h"

Tform_Help* form_Help = nullptr;

// The program-wide reference goes with the window.
void Tform_Help::BeforeDestruction() {
  if (form_Help == this) form_Help = nullptr;
  TForm::BeforeDestruction();
}

namespace {
constexpr size_t kHistoryMax = 2;
}

const TClassInfo& Tform_Help::StaticClass() {
  static const TClassInfo info{"Tform_Help", &TForm::StaticClass(), Factory<Tform_Help>(), {}, "TFORM_HELP"};
  return info;
}

const TMethodTable* Tform_Help::Methods() const {
  using F = Tform_Help;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("Button1", &F::Button1)
                                    .Field("Button2", &F::Button2)
                                    .Field("panel_Browser", &F::panel_Browser)
                                    .Field("label_Page", &F::label_Page)
                                    .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
                                    .Handler<TNotifyEvent>("FormResize", &F::FormResize)
                                    .Handler<TKeyPressEvent>("FormKeyPress", &F::FormKeyPress)
                                    .Handler<TNotifyEvent>("Button1Click", &F::Button1Click)
                                    .Handler<TNotifyEvent>("Button2Click", &F::Button2Click);
  return &t;
}

// The contents are looked for only when help is asked for, so a missing help folder is
// reported then, once, and not at every start.
void Tform_Help::FormCreate(TObject*) { FormResize(this); }

void Tform_Help::FormResize(TObject*) {
  panel_Browser->SetHeight(ClientHeight() - 80);
  panel_Browser->SetWidth(ClientWidth());
}

void Tform_Help::FormKeyPress(TObject*, char& Key) {
  if (Key == 27) Hide();
}

void Tform_Help::Load(const std::string& file) {
  if (!platform::IsFile(file)) throw EInOutError("Can't locate file: " + file);
  if (history_.empty() || history_.front() != file) {
    history_.insert(history_.begin(), file);
    if (history_.size() > kHistoryMax) history_.resize(kHistoryMax);
  }
  char full[MAX_PATH] = {};
  label_Page->SetCaption(GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr) ? full : file);
}

void Tform_Help::ShowPage(const std::string& page) {
  Load("help\\" + page);
  Show();
  BringToFront();
}

void Tform_Help::Button1Click(TObject*) { ShowPage("index.html"); }

void Tform_Help::Button2Click(TObject*) {
  if (history_.size() < 2) return;
  const std::string previous = history_[1];  // a copy: loading reorders the history
  Load(previous);
}
