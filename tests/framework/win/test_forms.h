#pragma once
// The forms of the framework's Windows tests, read from their form resources.
#include <string>
#include <vector>

#include "framework/controls/comctrls.h"
#include "framework/controls/extctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/timer.h"

class TTestMainForm : public TForm {
  FW_CLASS(TTestMainForm, TForm)

 public:
  explicit TTestMainForm(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TPanel* panel_Top = nullptr;
  TPanel* panel_Bottom = nullptr;
  TButton* button_Ok = nullptr;
  TButton* button_Cancel = nullptr;
  TLabel* label_Name = nullptr;
  TEdit* edit_Name = nullptr;
  TCheckBox* chkbox_Hints = nullptr;
  TRadioGroup* rdgrp_Mode = nullptr;
  TGroupBox* group_Lists = nullptr;
  TComboBox* combo_Packer = nullptr;
  TListBox* list_Files = nullptr;
  TMemo* memo_Text = nullptr;
  TPageControl* pagectrl_Main = nullptr;
  TTabSheet* page_One = nullptr;
  TTabSheet* page_Two = nullptr;
  TProgressBar* progress_Copy = nullptr;
  TTimer* timer_Tick = nullptr;

  // What the handlers saw, in order.
  std::vector<std::string> Events;

  void FormCreate(TObject* sender);
  void button_OkClick(TObject* sender);
  void edit_NameChange(TObject* sender);
  void chkbox_HintsClick(TObject* sender);
  void rdgrp_ModeClick(TObject* sender);
  void combo_PackerChange(TObject* sender);
  void list_FilesClick(TObject* sender);
  void pagectrl_MainChange(TObject* sender);
  void timer_TickTimer(TObject* sender);
};

void RegisterTestForms();
