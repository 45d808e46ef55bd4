#include "test_forms.h"

const TClassInfo& TTestMainForm::StaticClass() {
  static const TClassInfo info{"TTestMainForm", &TForm::StaticClass(), Factory<TTestMainForm>(), {},
                               "TTESTMAINFORM"};
  return info;
}

const TMethodTable* TTestMainForm::Methods() const {
  using F = TTestMainForm;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("panel_Top", &F::panel_Top)
                                    .Field("panel_Bottom", &F::panel_Bottom)
                                    .Field("button_Ok", &F::button_Ok)
                                    .Field("button_Cancel", &F::button_Cancel)
                                    .Field("label_Name", &F::label_Name)
                                    .Field("edit_Name", &F::edit_Name)
                                    .Field("chkbox_Hints", &F::chkbox_Hints)
                                    .Field("rdgrp_Mode", &F::rdgrp_Mode)
                                    .Field("group_Lists", &F::group_Lists)
                                    .Field("combo_Packer", &F::combo_Packer)
                                    .Field("list_Files", &F::list_Files)
                                    .Field("memo_Text", &F::memo_Text)
                                    .Field("pagectrl_Main", &F::pagectrl_Main)
                                    .Field("page_One", &F::page_One)
                                    .Field("page_Two", &F::page_Two)
                                    .Field("progress_Copy", &F::progress_Copy)
                                    .Field("timer_Tick", &F::timer_Tick)
                                    .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
                                    .Handler<TNotifyEvent>("button_OkClick", &F::button_OkClick)
                                    .Handler<TNotifyEvent>("edit_NameChange", &F::edit_NameChange)
                                    .Handler<TNotifyEvent>("chkbox_HintsClick", &F::chkbox_HintsClick)
                                    .Handler<TNotifyEvent>("rdgrp_ModeClick", &F::rdgrp_ModeClick)
                                    .Handler<TNotifyEvent>("combo_PackerChange", &F::combo_PackerChange)
                                    .Handler<TNotifyEvent>("list_FilesClick", &F::list_FilesClick)
                                    .Handler<TNotifyEvent>("pagectrl_MainChange", &F::pagectrl_MainChange)
                                    .Handler<TNotifyEvent>("timer_TickTimer", &F::timer_TickTimer);
  return &t;
}

void TTestMainForm::FormCreate(TObject*) { Events.push_back("create"); }
void TTestMainForm::button_OkClick(TObject*) { Events.push_back("ok"); }
void TTestMainForm::edit_NameChange(TObject*) { Events.push_back("name " + edit_Name->Text()); }
void TTestMainForm::chkbox_HintsClick(TObject*) {
  Events.push_back(std::string("hints ") + (chkbox_Hints->Checked() ? "on" : "off"));
}
void TTestMainForm::rdgrp_ModeClick(TObject*) { Events.push_back("mode " + std::to_string(rdgrp_Mode->ItemIndex())); }
void TTestMainForm::combo_PackerChange(TObject*) {
  Events.push_back("packer " + std::to_string(combo_Packer->ItemIndex()));
}
void TTestMainForm::list_FilesClick(TObject*) { Events.push_back("file " + std::to_string(list_Files->ItemIndex())); }
void TTestMainForm::pagectrl_MainChange(TObject*) {
  Events.push_back("page " + std::to_string(pagectrl_Main->ActivePageIndex()));
}
void TTestMainForm::timer_TickTimer(TObject*) { Events.push_back("tick"); }

void RegisterTestForms() { RegisterClass(TTestMainForm::StaticClass()); }
