#pragma once
// Tform_Help, the help window ("Quiltor Help System"): made at start-up, hidden and shown
// afterwards. Its viewer (docview_Help) shows "help\" + page below the current directory;
// "Contents" shows "index.html" and "Go Back" the page before, from the viewer's history of
// two pages, so pressing it again returns to the page left.
#include <string>

#include "framework/controls/extctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"
#include "html_viewer/doc_viewer_win32.h"

class Tform_Help : public TForm {
  FW_CLASS(Tform_Help, TForm)

 public:
  explicit Tform_Help(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TPanel* panel_Browser = nullptr;
  TDocViewer* docview_Help = nullptr;

  // Shows "help\" + page; a missing page raises "Can't locate file: " + its name and
  // changes nothing.
  void ShowPage(const std::string& page);

  void FormCreate(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormKeyPress(TObject* Sender, char& Key);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);

 protected:
  void BeforeDestruction() override;
};

extern Tform_Help* form_Help;
