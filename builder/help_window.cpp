#include "builder/help_window.h"

#include "platform/file.h"

Tform_Help* form_Help = nullptr;

// The program-wide reference goes with the window.
void Tform_Help::BeforeDestruction() {
  if (form_Help == this) form_Help = nullptr;
  TForm::BeforeDestruction();
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
                                    .Field("docview_Help", &F::docview_Help)
                                    .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
                                    .Handler<TNotifyEvent>("FormResize", &F::FormResize)
                                    .Handler<TKeyPressEvent>("FormKeyPress", &F::FormKeyPress)
                                    .Handler<TNotifyEvent>("Button1Click", &F::Button1Click)
                                    .Handler<TNotifyEvent>("Button2Click", &F::Button2Click);
  return &t;
}

// A missing help folder never stops the start: the contents load only when they are there,
// and F1 and "Contents" report the missing page.
void Tform_Help::FormCreate(TObject*) {
  FormResize(this);
  if (platform::IsFile("help\\index.html")) docview_Help->LoadFromFile("help\\index.html");
}

void Tform_Help::FormResize(TObject*) {
  panel_Browser->SetHeight(ClientHeight() - 80);
  panel_Browser->SetWidth(ClientWidth());
}

void Tform_Help::FormKeyPress(TObject*, char& Key) {
  if (Key == 27) Hide();
}

void Tform_Help::ShowPage(const std::string& page) {
  docview_Help->LoadFromFile("help\\" + page);
  Show();
  BringToFront();
}

void Tform_Help::Button1Click(TObject*) { ShowPage("index.html"); }

void Tform_Help::Button2Click(TObject*) {
  if (docview_Help->History().Count() < 2) return;
  const std::string previous = docview_Help->History()[1];  // a copy: loading changes the history
  docview_Help->LoadFromFile(previous);
}
