#pragma once
// TForm1, the patch builder's main window: the page control with the Release Control
// System, Expert, Wizard, Options and About pages. It applies the settings when it is
// created and collects and saves them when it closes. The Expert page asks for a patch:
// its create button fills the engine options from the page, hides the window and runs the
// worker (patch_thread.h) until the progress window is done.
#include <string>

#include "builder/patch_request.h"
#include "framework/controls/comctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"

class TForm1 : public TForm {
  FW_CLASS(TForm1, TForm)

 public:
  explicit TForm1(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TPageControl* pagectrl_Main = nullptr;
  TTabSheet* page_RCS = nullptr;
  TTabSheet* page_Expert = nullptr;
  TTabSheet* page_Wizard = nullptr;
  TTabSheet* page_Options = nullptr;
  TTabSheet* page_About = nullptr;

  TEdit* edit_ExpertSource1 = nullptr;
  TEdit* edit_ExpertDest = nullptr;
  TEdit* edit_ExpertPatchName = nullptr;
  TCheckBox* chkbox_ExpertForceIdentical = nullptr;
  TComboBox* combo_ExpertPatchType = nullptr;
  TComboBox* combo_ExpertPackerType = nullptr;
  TButton* button_ExpertCreate = nullptr;

  TRadioGroup* rdgrp_PageOnStartup = nullptr;
  TRadioGroup* rdgrp_OptionMainWindowPos = nullptr;
  TRadioGroup* rdgrp_OptionPatchWindowPos = nullptr;
  TRadioGroup* rdgrp_OptionEmailSendWindowPos = nullptr;
  TCheckBox* chkbox_OptionHideSplash = nullptr;
  TEdit* edit_ExpertDefaultBackupDir = nullptr;
  TRadioGroup* rdgrp_OptionUseBrowser = nullptr;
  TEdit* edit_OptionCustomBrowser = nullptr;
  TEdit* edit_OptionCustomBrowserArgs = nullptr;
  // The packers of the options page in the settings' order (InfoZIP, PkZIP, GZIP, RAR,
  // LHA, ARJ).
  TCheckBox* chkbox_OptionSysPath[6] = {};
  TEdit* edit_OptionPath[6] = {};

  TLabel* label_AboutWeb = nullptr;
  TLabel* label_AboutArtist = nullptr;

  // The request the Expert page describes.
  TPatchRequest ReadExpertRequest() const;
  // Enables the page's buttons by the request it describes; true when that is valid.
  bool UpdateExpertButtons();
  // Runs the request: fills the engine options, hides this window and runs the worker.
  void StartPatching(const TPatchRequest& request);
  // Restores the placement of a form and shows its mode in the options page.
  void RestorePlacement(TCustomForm& form, TRadioGroup& group, int defaultLeft, int defaultTop);

  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void pagectrl_MainChange(TObject* Sender);
  void button_ExpertCreateClick(TObject* Sender);
  void edit_ExpertChange(TObject* Sender);
  void combo_ExpertPackerTypeChange(TObject* Sender);
  void rdgrp_OptionWindowPosClick(TObject* Sender);
  void rdgrp_OptionUseBrowserClick(TObject* Sender);
  void edit_OptionCustomBrowserChange(TObject* Sender);
  void chkbox_OptionSysPathClick(TObject* Sender);
  void label_AboutWebClick(TObject* Sender);
  void label_AboutArtistClick(TObject* Sender);

 protected:
  void BeforeDestruction() override;

 private:
  void ApplySettings();
  void CollectSettings();
  void ApplyPatchNameSuffix();

  bool restoringPlacement_ = false;
};

extern TForm1* Form1;
