#pragma once
// TForm1, the patch builder's main window: the page control with the Release Control
// System, Expert, Wizard, Options and About pages. It applies the settings when it is
// created (and the saved file-list selections when it is first shown) and collects and
// saves them when it closes.
//
// How a request is made: each version column is a path combo with its linked shell list;
// BuildPatchRequest reads the active page's columns, patch name and kind into a
// TPatchRequest (patch_request.h), checks it and enables the page's buttons. Create (the
// Expert's button, or the Wizard's third step) fills the engine options, hides the window
// and runs the worker (patch_thread.h) until it is done; the progress window brings the
// window back. The Expert page's e-mail box keeps the program's recipient list
// (recipients.h) as read-only rows in a scroll box; its send button hands a TPatchMail, taken
// here on the GUI thread, to the e-mail thread and waits while TForm4 shows the progress.
#include <memory>
#include <string>
#include <vector>

#include "builder/moxhint.h"
#include "builder/patch_request.h"
#include "builder/source_column_views.h"
#include "framework/controls/comctrls.h"
#include "framework/controls/extctrls.h"
#include "framework/controls/scrollbox.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"
#include "framework/win/menus.h"
#include "shell_controls/open_dialog_win32.h"
#include "shell_controls/shell_list_win32.h"
#include "shell_controls/splitter_win32.h"

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

  // The Expert page.
  TQsSplitter* split_Expert = nullptr;
  TScrollBox* scrbox_Expert = nullptr;
  TGroupBox* group_ExpertLocalFile = nullptr;
  TLabel* label_ExpertDest = nullptr;
  TCheckBox* chkbox_ExpertSourceActivate1 = nullptr;
  TSpeedButton* spdbtn_ExpertSourceUpperDir1 = nullptr;
  TSpeedButton* spdbtn_ExpertDestUpperDir = nullptr;
  TButton* button_ExpertBrowsePatchfile = nullptr;
  TQsShellCombo* pathcombo_ExpertSource1 = nullptr;
  TQsShellList* filelist_ExpertSource1 = nullptr;
  TQsShellCombo* pathcombo_ExpertDest = nullptr;
  TQsShellList* filelist_ExpertDest = nullptr;
  TEdit* edit_ExpertPatchName = nullptr;
  TCheckBox* chkbox_ExpertForceIdentical = nullptr;
  TComboBox* combo_ExpertPatchType = nullptr;
  TComboBox* combo_ExpertPackerType = nullptr;
  TButton* button_ExpertCreate = nullptr;
  TGroupBox* group_ExpertEmail = nullptr;
  TScrollBox* scrbox_Email = nullptr;
  TEdit* edit_ExpertEmailReceiver1 = nullptr;
  TComboBox* combo_ExpertEmailType1 = nullptr;
  TEdit* edit_ExpertEmailSubject = nullptr;
  TMemo* memo_ExpertEmail = nullptr;
  TButton* button_ExpertSendEmail = nullptr;
  TButton* button_ExpertAddressbook = nullptr;

  // The Wizard page.
  TPageControl* pagectrl_Wizard = nullptr;
  TTabSheet* page_WizardStep1 = nullptr;
  TTabSheet* page_WizardStep2 = nullptr;
  TTabSheet* page_WizardStep3 = nullptr;
  TScrollBox* scrbox_Wizard = nullptr;
  TCheckBox* chkbox_WizardSourceActivate1 = nullptr;
  TSpeedButton* spdbtn_WizardSourceUpperDir1 = nullptr;
  TSpeedButton* spdbtn_WizardDestUpperDir = nullptr;
  TButton* button_WizardBrowsePatchfile = nullptr;
  TQsShellCombo* pathcombo_WizardSource1 = nullptr;
  TQsShellList* filelist_WizardSource1 = nullptr;
  TQsShellCombo* pathcombo_WizardDest = nullptr;
  TQsShellList* filelist_WizardDest = nullptr;
  TEdit* edit_WizardPatchName = nullptr;
  TComboBox* combo_WizardPatchType = nullptr;
  TComboBox* combo_WizardPackerType = nullptr;
  TLabel* label_WizardDecoration1 = nullptr;
  TLabel* label_WizardDecoration2 = nullptr;
  TButton* WizardBack = nullptr;
  TButton* button_WizardContinue = nullptr;
  TButton* button_WizardExit = nullptr;

  // The options page.
  TRadioGroup* rdgrp_PageOnStartup = nullptr;
  TRadioGroup* rdgrp_OptionMainWindowPos = nullptr;
  TRadioGroup* rdgrp_OptionPatchWindowPos = nullptr;
  TRadioGroup* rdgrp_OptionEmailSendWindowPos = nullptr;
  TRadioGroup* rdgrp_OptionAddressBookWindowPos = nullptr;
  TCheckBox* chkbox_OptionHideSplash = nullptr;
  TEdit* edit_ExpertDefaultBackupDir = nullptr;
  TEdit* edit_WizardDefaultBackupDir = nullptr;
  TRadioGroup* rdgrp_OptionUseBrowser = nullptr;
  TEdit* edit_OptionCustomBrowser = nullptr;
  TEdit* edit_OptionCustomBrowserArgs = nullptr;
  TComboBox* combo_OptionDefaultEmailSettings = nullptr;
  TRadioGroup* rdgrp_OptionCurrentFilelistMode = nullptr;
  // The packers of the options page in the settings' order (InfoZIP, PkZIP, GZIP, RAR,
  // LHA, ARJ).
  TCheckBox* chkbox_OptionSysPath[6] = {};
  TEdit* edit_OptionPath[6] = {};

  // The options page's own page control and what it holds beyond the above
  // (options_page.cpp).
  TPageControl* pagectrl_Options = nullptr;
  TTabSheet* page_OptionPGP = nullptr;
  TRadioGroup* rdgrp_OptionDefaultFilelistMode = nullptr;
  TCheckBox* chkbox_OptionRestoreDirectories = nullptr;
  TCheckBox* chkbox_OptionExpertRestoreSplit = nullptr;
  TEdit* edit_ExpertDefaultPatchname = nullptr;
  TEdit* edit_WizardDefaultPatchname = nullptr;
  TComboBox* combo_ExpertDefaultPatchType = nullptr;
  TComboBox* combo_WizardDefaultPatchType = nullptr;
  TComboBox* combo_ExpertDefaultPackerType = nullptr;
  TComboBox* combo_WizardDefaultPackerType = nullptr;
  TCheckBox* chkbox_ExpertDefaultSignedPatch = nullptr;
  TCheckBox* chkbox_WizardDefaultSignedPatch = nullptr;
  TCheckBox* chkbox_ExpertDefaultForceIdent = nullptr;
  TCheckBox* chkbox_WizardDefaultForceIdent = nullptr;
  TEdit* edit_OptionPathCustomPacker = nullptr;
  TEdit* edit_OptionCustomPackerArgs = nullptr;
  // The browse buttons of the packers in the settings' order, "Custom" last.
  TButton* button_OptionBrowse[7] = {};
  TComboBox* combo_OptionEditEmailSettings = nullptr;
  TEdit* edit_OptionEditEmailSettingsFrom = nullptr;
  TEdit* edit_OptionEditEmailSettingsName = nullptr;
  TEdit* edit_OptionEditEmailSettingsSMTP = nullptr;
  TEdit* edit_OptionEditEmailSettingsOrg = nullptr;
  TEdit* edit_OptionEditEmailSettingsRepl = nullptr;
  TEdit* edit_OptionDefaultEmailSubject = nullptr;
  TMemo* memo_OptionDefaultEmailText = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TEdit* Edit6 = nullptr;
  TCheckBox* chbox_HintsPageExpert = nullptr;
  TButton* button_ExpertHelp = nullptr;
  TCheckBox* chbox_HintsPageWizard = nullptr;
  TCheckBox* chbox_HintsPageOptions = nullptr;

  TLabel* label_AboutWeb = nullptr;
  TLabel* label_AboutArtist = nullptr;

  // The balloon hints' settings.
  TMoxHint* hint_Controller = nullptr;
  // The file lists' menu of view styles and the save dialog of the patch names.
  TPopupMenu* popup_ViewStyleFileList = nullptr;
  TQsSaveDlg* savedialog_Patchname = nullptr;

  // The version columns of each page, the further source columns among them.
  std::unique_ptr<TSourceColumnViews> ExpertColumns, WizardColumns;

  // The request the active page describes; enables the page's buttons by it and returns
  // whether it is valid.
  bool BuildPatchRequest();
  TPatchRequest ReadRequest(bool expert) const;
  // Runs the request: fills the engine options, hides this window and runs the worker.
  void StartPatching(const TPatchRequest& request);
  // Enables the send button when the patch-name edit names an existing file.
  bool UpdateSendButton();
  // Rebuilds the read-only recipient rows from the program's recipient list.
  void RebuildRecipientRows();
  const std::vector<TEdit*>& RecipientEdits() const { return rowEdits_; }
  const std::vector<TComboBox*>& RecipientKinds() const { return rowKinds_; }
  // True while a send runs.
  bool Sending() const { return sending_; }
  // Restores the placement of a form and shows its mode in the options page.
  void RestorePlacement(TCustomForm& form, TRadioGroup& group, int defaultLeft, int defaultTop);

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void pagectrl_MainChange(TObject* Sender);
  void filelist_Change(TObject* Sender, TListItem* Item, TItemChange Change);
  void filelist_Editing(TObject* Sender, TListItem* Item, bool& AllowEdit);
  void filelist_FillComplete(TObject* Sender);
  void button_ExpertCreateClick(TObject* Sender);
  void edit_ExpertPatchNameChange(TObject* Sender);
  void combo_ExpertPackerTypeChange(TObject* Sender);
  void edit_ExpertEmailReceiver1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void edit_ExpertEmailReceiver1Exit(TObject* Sender);
  void button_ExpertSendEmailClick(TObject* Sender);
  void button_ExpertAddressbookClick(TObject* Sender);
  void button_WizardContinueClick(TObject* Sender);
  void WizardBackClick(TObject* Sender);
  void button_WizardExitClick(TObject* Sender);
  void edit_WizardPatchNameChange(TObject* Sender);
  void combo_WizardPackerTypeChange(TObject* Sender);
  void rdgrp_OptionWindowPosClick(TObject* Sender);
  void rdgrp_OptionUseBrowserClick(TObject* Sender);
  void edit_OptionCustomBrowserChange(TObject* Sender);
  void chkbox_OptionSysPathClick(TObject* Sender);
  void combo_OptionExpertDefaultsChange(TObject* Sender);
  void combo_OptionWizardDefaultsChange(TObject* Sender);
  void button_OptionBrowsePackerClick(TObject* Sender);
  void combo_OptionEditEmailSettingsChange(TObject* Sender);
  void edit_OptionEditEmailSettingsChange(TObject* Sender);
  void chbox_HintsPageClick(TObject* Sender);
  void button_HelpClick(TObject* Sender);
  void label_AboutWebClick(TObject* Sender);
  void label_AboutArtistClick(TObject* Sender);
  // The version columns (main_window_columns.cpp).
  void chkbox_SourceActivateClick(TObject* Sender);
  void spdbtn_UpperDirClick(TObject* Sender);
  void rdgrp_OptionCurrentFilelistModeClick(TObject* Sender);
  void popup_ViewStyleFileListPopup(TObject* Sender);
  void popup_ViewStyleFileListClick(TObject* Sender);
  void split_ExpertSplitterDrop(TObject* Sender, int Position);
  // One file dropped on a version list: its column shows the file's folder with the file
  // selected and focused.
  void filelist_DropFiles(TObject* Sender, const std::vector<std::string>& Files);
  void button_ExpertBrowsePatchfileClick(TObject* Sender);
  void button_WizardBrowsePatchfileClick(TObject* Sender);
  // Lays out both pages' columns with the current view style.
  void LayoutColumns();

 protected:
  void BeforeDestruction() override;

 private:
  void ApplySettings();
  void CollectSettings();
  // The options page's share of the above (options_page.cpp).
  void FindOptionControls();
  void ApplyOptionSettings();
  void CollectOptionSettings();
  void LoadEmailTemplate();
  // Writes the template and the settings; a failure of either is reported in a box
  // naming what failed, and the rest is still written.
  void SaveSettingsAtClose();
  void ShowIdentity(int index);
  void RestoreSelection(TQsShellCombo& combo, TQsShellList& list, const std::string& saved);
  std::string SaveSelection(TQsShellCombo& combo, TQsShellList& list);
  void TakeTypedRecipient();
  void SetUpColumns();
  void RestoreColumns(const std::vector<std::string>& saved);
  std::vector<std::string> SaveColumns();
  void BrowsePatchName(TEdit& edit, const TComboBox& packer, const TComboBox& patchType);

  bool restoringPlacement_ = false;
  bool showingIdentity_ = false;
  // The template file existed at start but could not be read: it is only replaced when
  // the user has written a text for it.
  bool templateUnread_ = false;
  bool shown_ = false;
  bool sending_ = false;
  std::string receiverPlaceholder_;
  std::vector<TEdit*> rowEdits_;
  std::vector<TComboBox*> rowKinds_;
};

extern TForm1* Form1;

// Where the e-mail template lies: the program's path with its extension replaced.
std::string EmailTemplatePath(const std::string& programPath);
