#pragma once
// Tform_Help, the help window ("Quiltor Help System"): made at start-up, hidden and shown
// afterwards. ShowPage looks for "help\" + page below the current directory and shows the
// window with it; "Contents" shows "index.html" and "Go Back" the page shown before, from
// a history of the last two pages. The page itself is shown by its full path in the
// window's browser panel.
#include <string>
#include <vector>

#include "framework/controls/extctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"

class Tform_Help : public TForm {
  FW_CLASS(Tform_Help, TForm)

 public:
  explicit Tform_Help(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TButton* Button1 = nullptr;
  TButton* Button2 = nullptr;
  TPanel* panel_Browser = nullptr;
  TLabel* label_Page = nullptr;

  // Shows "help\" + page; a missing page raises "Can't locate file: " + its name and
  // changes nothing.
  void ShowPage(const std::string& page);
  // Entry 0 is the page shown now, entry 1 the one before it.
  const std::vector<std::string>& History() const { return history_; }

  void FormCreate(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormKeyPress(TObject* Sender, char& Key);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);

 protected:
  void BeforeDestruction() override;

 private:
  void Load(const std::string& file);
  std::vector<std::string> history_;
};

extern Tform_Help* form_Help;
