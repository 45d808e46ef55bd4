#include "builder/main_window.h"

#include <algorithm>

#include "builder/address_book.h"
#include "builder/help_hook.h"
#include "builder/help_routing.h"
#include "builder/help_window.h"
#include "builder/patch_thread.h"
#include "builder/program.h"
#include "builder/progress_window.h"
#include "builder/recipients.h"
#include "builder/small_windows.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "mail/email_thread_win32.h"
#include "platform/file.h"

TForm1* Form1 = nullptr;

// The program-wide reference goes with the window.
void TForm1::BeforeDestruction() {
  if (Form1 == this) Form1 = nullptr;
  TForm::BeforeDestruction();
}

std::string EmailTemplatePath(const std::string& programPath) {
  return ChangeFileExt(programPath, "_EmailTemplate.txt");
}

namespace {

constexpr int kRowPitch = 25;                              // recipient rows in the scroll box
constexpr int kRowTop = 8;

// The client height each page of the main window needs.
int PageClientHeight(TTabSheet* page, const TForm1& f) {
  if (page == f.page_Expert) return 553;
  if (page == f.page_Wizard) return 405;
  return 533;
}

int IndexOr(const TComboBox& combo, int fallback) { return combo.ItemIndex() < 0 ? fallback : combo.ItemIndex(); }

// The file names selected in a list, in list order.
std::vector<std::string> SelectedNames(TQsShellList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Items().Count(); ++i)
    if (list.Items()[i]->Selected())
      if (TQsShListData* data = list.GetItemData(i)) names.push_back(data->GetFileName());
  return names;
}

// A column as its combo and list show it.
TVersionColumn ReadColumn(TQsShellCombo& combo, TQsShellList& list) {
  return {combo.GetFolder().GetPath(), SelectedNames(list)};
}

std::string WithSuffix(const std::string& name, const TComboBox& packer, const TComboBox& patchType) {
  if (name.empty()) return name;
  return ChangeFileExt(name, PatchNameSuffix(IndexOr(packer, 0), IndexOr(patchType, 0)));
}

}  // namespace

const TClassInfo& TForm1::StaticClass() {
  static const TClassInfo info{"TForm1", &TForm::StaticClass(), Factory<TForm1>(), {}, "TFORM1"};
  return info;
}

const TMethodTable* TForm1::Methods() const {
  using F = TForm1;
  static const TMethodTable t =
      TMethodTable::Of<F>()
          .Field("pagectrl_Main", &F::pagectrl_Main)
          .Field("hint_Controller", &F::hint_Controller)
          .Field("page_RCS", &F::page_RCS)
          .Field("page_Expert", &F::page_Expert)
          .Field("page_Wizard", &F::page_Wizard)
          .Field("page_Options", &F::page_Options)
          .Field("page_About", &F::page_About)
          .Field("split_Expert", &F::split_Expert)
          .Field("scrbox_Expert", &F::scrbox_Expert)
          .Field("group_ExpertLocalFile", &F::group_ExpertLocalFile)
          .Field("label_ExpertDest", &F::label_ExpertDest)
          .Field("chkbox_ExpertSourceActivate1", &F::chkbox_ExpertSourceActivate1)
          .Field("spdbtn_ExpertSourceUpperDir1", &F::spdbtn_ExpertSourceUpperDir1)
          .Field("spdbtn_ExpertDestUpperDir", &F::spdbtn_ExpertDestUpperDir)
          .Field("button_ExpertBrowsePatchfile", &F::button_ExpertBrowsePatchfile)
          .Field("scrbox_Wizard", &F::scrbox_Wizard)
          .Field("chkbox_WizardSourceActivate1", &F::chkbox_WizardSourceActivate1)
          .Field("spdbtn_WizardSourceUpperDir1", &F::spdbtn_WizardSourceUpperDir1)
          .Field("spdbtn_WizardDestUpperDir", &F::spdbtn_WizardDestUpperDir)
          .Field("button_WizardBrowsePatchfile", &F::button_WizardBrowsePatchfile)
          .Field("rdgrp_OptionCurrentFilelistMode", &F::rdgrp_OptionCurrentFilelistMode)
          .Field("popup_ViewStyleFileList", &F::popup_ViewStyleFileList)
          .Field("savedialog_Patchname", &F::savedialog_Patchname)
          .Field("pathcombo_ExpertSource1", &F::pathcombo_ExpertSource1)
          .Field("filelist_ExpertSource1", &F::filelist_ExpertSource1)
          .Field("pathcombo_ExpertDest", &F::pathcombo_ExpertDest)
          .Field("filelist_ExpertDest", &F::filelist_ExpertDest)
          .Field("edit_ExpertPatchName", &F::edit_ExpertPatchName)
          .Field("chkbox_ExpertForceIdentical", &F::chkbox_ExpertForceIdentical)
          .Field("combo_ExpertPatchType", &F::combo_ExpertPatchType)
          .Field("combo_ExpertPackerType", &F::combo_ExpertPackerType)
          .Field("button_ExpertCreate", &F::button_ExpertCreate)
          .Field("group_ExpertEmail", &F::group_ExpertEmail)
          .Field("scrbox_Email", &F::scrbox_Email)
          .Field("edit_ExpertEmailReceiver1", &F::edit_ExpertEmailReceiver1)
          .Field("combo_ExpertEmailType1", &F::combo_ExpertEmailType1)
          .Field("edit_ExpertEmailSubject", &F::edit_ExpertEmailSubject)
          .Field("memo_ExpertEmail", &F::memo_ExpertEmail)
          .Field("button_ExpertSendEmail", &F::button_ExpertSendEmail)
          .Field("button_ExpertAddressbook", &F::button_ExpertAddressbook)
          .Field("pagectrl_Wizard", &F::pagectrl_Wizard)
          .Field("page_WizardStep1", &F::page_WizardStep1)
          .Field("page_WizardStep2", &F::page_WizardStep2)
          .Field("page_WizardStep3", &F::page_WizardStep3)
          .Field("pathcombo_WizardSource1", &F::pathcombo_WizardSource1)
          .Field("filelist_WizardSource1", &F::filelist_WizardSource1)
          .Field("pathcombo_WizardDest", &F::pathcombo_WizardDest)
          .Field("filelist_WizardDest", &F::filelist_WizardDest)
          .Field("edit_WizardPatchName", &F::edit_WizardPatchName)
          .Field("combo_WizardPatchType", &F::combo_WizardPatchType)
          .Field("combo_WizardPackerType", &F::combo_WizardPackerType)
          .Field("label_WizardDecoration1", &F::label_WizardDecoration1)
          .Field("label_WizardDecoration2", &F::label_WizardDecoration2)
          .Field("WizardBack", &F::WizardBack)
          .Field("button_WizardContinue", &F::button_WizardContinue)
          .Field("button_WizardExit", &F::button_WizardExit)
          .Field("rdgrp_PageOnStartup", &F::rdgrp_PageOnStartup)
          .Field("rdgrp_OptionMainWindowPos", &F::rdgrp_OptionMainWindowPos)
          .Field("rdgrp_OptionPatchWindowPos", &F::rdgrp_OptionPatchWindowPos)
          .Field("rdgrp_OptionEmailSendWindowPos", &F::rdgrp_OptionEmailSendWindowPos)
          .Field("rdgrp_OptionAddressBookWindowPos", &F::rdgrp_OptionAddressBookWindowPos)
          .Field("chkbox_OptionHideSplash", &F::chkbox_OptionHideSplash)
          .Field("edit_ExpertDefaultBackupDir", &F::edit_ExpertDefaultBackupDir)
          .Field("edit_WizardDefaultBackupDir", &F::edit_WizardDefaultBackupDir)
          .Field("rdgrp_OptionUseBrowser", &F::rdgrp_OptionUseBrowser)
          .Field("edit_OptionCustomBrowser", &F::edit_OptionCustomBrowser)
          .Field("edit_OptionCustomBrowserArgs", &F::edit_OptionCustomBrowserArgs)
          .Field("combo_OptionDefaultEmailSettings", &F::combo_OptionDefaultEmailSettings)
          .Field("pagectrl_Options", &F::pagectrl_Options)
          .Field("page_OptionPGP", &F::page_OptionPGP)
          .Field("rdgrp_OptionDefaultFilelistMode", &F::rdgrp_OptionDefaultFilelistMode)
          .Field("chkbox_OptionRestoreDirectories", &F::chkbox_OptionRestoreDirectories)
          .Field("chkbox_OptionExpertRestoreSplit", &F::chkbox_OptionExpertRestoreSplit)
          .Field("edit_ExpertDefaultPatchname", &F::edit_ExpertDefaultPatchname)
          .Field("edit_WizardDefaultPatchname", &F::edit_WizardDefaultPatchname)
          .Field("combo_ExpertDefaultPatchType", &F::combo_ExpertDefaultPatchType)
          .Field("combo_WizardDefaultPatchType", &F::combo_WizardDefaultPatchType)
          .Field("combo_ExpertDefaultPackerType", &F::combo_ExpertDefaultPackerType)
          .Field("combo_WizardDefaultPackerType", &F::combo_WizardDefaultPackerType)
          .Field("chkbox_ExpertDefaultSignedPatch", &F::chkbox_ExpertDefaultSignedPatch)
          .Field("chkbox_WizardDefaultSignedPatch", &F::chkbox_WizardDefaultSignedPatch)
          .Field("chkbox_ExpertDefaultForceIdent", &F::chkbox_ExpertDefaultForceIdent)
          .Field("chkbox_WizardDefaultForceIdent", &F::chkbox_WizardDefaultForceIdent)
          .Field("edit_OptionPathCustomPacker", &F::edit_OptionPathCustomPacker)
          .Field("edit_OptionCustomPackerArgs", &F::edit_OptionCustomPackerArgs)
          .Field("combo_OptionEditEmailSettings", &F::combo_OptionEditEmailSettings)
          .Field("edit_OptionEditEmailSettingsFrom", &F::edit_OptionEditEmailSettingsFrom)
          .Field("edit_OptionEditEmailSettingsName", &F::edit_OptionEditEmailSettingsName)
          .Field("edit_OptionEditEmailSettingsSMTP", &F::edit_OptionEditEmailSettingsSMTP)
          .Field("edit_OptionEditEmailSettingsOrg", &F::edit_OptionEditEmailSettingsOrg)
          .Field("edit_OptionEditEmailSettingsRepl", &F::edit_OptionEditEmailSettingsRepl)
          .Field("edit_OptionDefaultEmailSubject", &F::edit_OptionDefaultEmailSubject)
          .Field("memo_OptionDefaultEmailText", &F::memo_OptionDefaultEmailText)
          .Field("CheckBox1", &F::CheckBox1)
          .Field("Edit6", &F::Edit6)
          .Field("chbox_HintsPageExpert", &F::chbox_HintsPageExpert)
          .Field("button_ExpertHelp", &F::button_ExpertHelp)
          .Field("chbox_HintsPageWizard", &F::chbox_HintsPageWizard)
          .Field("chbox_HintsPageOptions", &F::chbox_HintsPageOptions)
          .Field("label_AboutWeb", &F::label_AboutWeb)
          .Field("label_AboutArtist", &F::label_AboutArtist)
          .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
          .Handler<TNotifyEvent>("FormShow", &F::FormShow)
          .Handler<TCloseEvent>("FormClose", &F::FormClose)
          .Handler<TKeyEvent>("FormKeyUp", &F::FormKeyUp)
          .Handler<TNotifyEvent>("pagectrl_MainChange", &F::pagectrl_MainChange)
          .Handler<TLVChangeEvent>("filelist_Change", &F::filelist_Change)
          .Handler<TLVEditingEvent>("filelist_Editing", &F::filelist_Editing)
          .Handler<TNotifyEvent>("filelist_FillComplete", &F::filelist_FillComplete)
          .Handler<TNotifyEvent>("button_ExpertCreateClick", &F::button_ExpertCreateClick)
          .Handler<TNotifyEvent>("edit_ExpertPatchNameChange", &F::edit_ExpertPatchNameChange)
          .Handler<TNotifyEvent>("combo_ExpertPackerTypeChange", &F::combo_ExpertPackerTypeChange)
          .Handler<TKeyEvent>("edit_ExpertEmailReceiver1KeyDown", &F::edit_ExpertEmailReceiver1KeyDown)
          .Handler<TNotifyEvent>("edit_ExpertEmailReceiver1Exit", &F::edit_ExpertEmailReceiver1Exit)
          .Handler<TNotifyEvent>("button_ExpertSendEmailClick", &F::button_ExpertSendEmailClick)
          .Handler<TNotifyEvent>("button_ExpertAddressbookClick", &F::button_ExpertAddressbookClick)
          .Handler<TNotifyEvent>("button_WizardContinueClick", &F::button_WizardContinueClick)
          .Handler<TNotifyEvent>("WizardBackClick", &F::WizardBackClick)
          .Handler<TNotifyEvent>("button_WizardExitClick", &F::button_WizardExitClick)
          .Handler<TNotifyEvent>("edit_WizardPatchNameChange", &F::edit_WizardPatchNameChange)
          .Handler<TNotifyEvent>("combo_WizardPackerTypeChange", &F::combo_WizardPackerTypeChange)
          .Handler<TNotifyEvent>("rdgrp_OptionWindowPosClick", &F::rdgrp_OptionWindowPosClick)
          .Handler<TNotifyEvent>("rdgrp_OptionUseBrowserClick", &F::rdgrp_OptionUseBrowserClick)
          .Handler<TNotifyEvent>("edit_OptionCustomBrowserChange", &F::edit_OptionCustomBrowserChange)
          .Handler<TNotifyEvent>("chkbox_OptionSysPathClick", &F::chkbox_OptionSysPathClick)
          .Handler<TNotifyEvent>("combo_OptionExpertDefaultsChange", &F::combo_OptionExpertDefaultsChange)
          .Handler<TNotifyEvent>("combo_OptionWizardDefaultsChange", &F::combo_OptionWizardDefaultsChange)
          .Handler<TNotifyEvent>("button_OptionBrowsePackerClick", &F::button_OptionBrowsePackerClick)
          .Handler<TNotifyEvent>("combo_OptionEditEmailSettingsChange", &F::combo_OptionEditEmailSettingsChange)
          .Handler<TNotifyEvent>("edit_OptionEditEmailSettingsChange", &F::edit_OptionEditEmailSettingsChange)
          .Handler<TNotifyEvent>("chbox_HintsPageClick", &F::chbox_HintsPageClick)
          .Handler<TNotifyEvent>("button_HelpClick", &F::button_HelpClick)
          .Handler<TNotifyEvent>("label_AboutWebClick", &F::label_AboutWebClick)
          .Handler<TNotifyEvent>("label_AboutArtistClick", &F::label_AboutArtistClick)
          .Handler<TNotifyEvent>("chkbox_SourceActivateClick", &F::chkbox_SourceActivateClick)
          .Handler<TNotifyEvent>("spdbtn_UpperDirClick", &F::spdbtn_UpperDirClick)
          .Handler<TNotifyEvent>("rdgrp_OptionCurrentFilelistModeClick", &F::rdgrp_OptionCurrentFilelistModeClick)
          .Handler<TNotifyEvent>("popup_ViewStyleFileListPopup", &F::popup_ViewStyleFileListPopup)
          .Handler<TNotifyEvent>("popup_ViewStyleFileListClick", &F::popup_ViewStyleFileListClick)
          .Handler<TQsSplitterDragEvent>("split_ExpertSplitterDrop", &F::split_ExpertSplitterDrop)
          .Handler<TDropFilesEvent>("filelist_DropFiles", &F::filelist_DropFiles)
          .Handler<TNotifyEvent>("button_ExpertBrowsePatchfileClick", &F::button_ExpertBrowsePatchfileClick)
          .Handler<TNotifyEvent>("button_WizardBrowsePatchfileClick", &F::button_WizardBrowsePatchfileClick);
  return &t;
}

// ---- settings

void TForm1::FormCreate(TObject*) {
  FindOptionControls();
  pathcombo_ExpertSource1->SetShellList(filelist_ExpertSource1);
  pathcombo_ExpertDest->SetShellList(filelist_ExpertDest);
  pathcombo_WizardSource1->SetShellList(filelist_WizardSource1);
  pathcombo_WizardDest->SetShellList(filelist_WizardDest);
  receiverPlaceholder_ = edit_ExpertEmailReceiver1->Text();
  SetUpColumns();
  ApplySettings();
}

void TForm1::ApplySettings() {
  const TSettings& s = ProgramSettings();
  const TMainSettings& m = s.Main;
  rdgrp_PageOnStartup->SetItemIndex(m.StartupPageMode);
  const std::string& desktop = s.System.DesktopFolder;
  const auto onDesktop = [&](const std::string& name) {
    return desktop.empty() ? name : IncludeTrailingBackslash(desktop) + name;
  };
  edit_ExpertPatchName->SetText(onDesktop(m.Expert.Patchfile));
  combo_ExpertPackerType->SetItemIndex(m.Expert.Packer);
  combo_ExpertPatchType->SetItemIndex(m.Expert.PatchType);
  edit_ExpertPatchName->SetText(WithSuffix(edit_ExpertPatchName->Text(), *combo_ExpertPackerType, *combo_ExpertPatchType));
  edit_WizardPatchName->SetText(onDesktop(m.Wizard.Patchfile));
  combo_WizardPackerType->SetItemIndex(m.Wizard.Packer);
  combo_WizardPatchType->SetItemIndex(m.Wizard.PatchType);
  edit_WizardPatchName->SetText(WithSuffix(edit_WizardPatchName->Text(), *combo_WizardPackerType, *combo_WizardPatchType));
  chkbox_ExpertForceIdentical->SetChecked(m.Expert.PatchIdenticalFiles);
  rdgrp_OptionUseBrowser->SetItemIndex(m.DefaultBrowser);
  combo_ExpertEmailType1->SetItemIndex(TRecipient::kTo);
  edit_ExpertEmailSubject->SetText(m.EmailSubject);
  ApplyOptionSettings();
  // Each edit's change stores both edits: the second's text is taken before the first shows.
  const std::string browserArgs = m.CustomBrowserArgs;
  edit_OptionCustomBrowser->SetText(m.CustomBrowserPath);
  edit_OptionCustomBrowserArgs->SetText(browserArgs);
  chkbox_OptionHideSplash->SetChecked(m.HideSplash);
  pagectrl_Main->SetActivePageIndex(m.StartupPage);
  pagectrl_MainChange(pagectrl_Main);
  BuildPatchRequest();
  UpdateSendButton();
}

void TForm1::CollectSettings() {
  TMainSettings& m = ProgramSettings().Main;
  m.HideSplash = chkbox_OptionHideSplash->Checked();
  m.StartupPageMode = rdgrp_PageOnStartup->ItemIndex() < 0 ? m.StartupPageMode : rdgrp_PageOnStartup->ItemIndex();
  m.StartupPage = m.StartupPageMode == 3 ? pagectrl_Main->ActivePageIndex() : m.StartupPageMode;
  m.DefaultBrowser = rdgrp_OptionUseBrowser->ItemIndex() < 0 ? 0 : rdgrp_OptionUseBrowser->ItemIndex();
  m.CustomBrowserPath = edit_OptionCustomBrowser->Text();
  m.CustomBrowserArgs = edit_OptionCustomBrowserArgs->Text();
  CollectOptionSettings();
}

void TForm1::FormShow(TObject*) {
  if (shown_) return;
  shown_ = true;
  const TMainSettings& m = ProgramSettings().Main;
  if (m.RestoreDirectories) RestoreColumns(m.DirectoryContents);
  BuildPatchRequest();
}

void TForm1::RestoreSelection(TQsShellCombo& combo, TQsShellList& list, const std::string& saved) {
  const TSavedSelection selection = DecodeSelection(saved);
  try {
    combo.GetFolder().SetPath(selection.Folder);
    list.Refresh();
  } catch (const Exception&) {
    combo.GetFolder().SetPath(".");
  }
  for (int i = 0; i < list.Items().Count(); ++i) {
    TQsShListData* data = list.GetItemData(i);
    if (!data) continue;
    const std::string name = data->GetFileName();
    if (std::find(selection.Names.begin(), selection.Names.end(), name) != selection.Names.end())
      list.Items()[i]->SetSelected(true);
  }
}

std::string TForm1::SaveSelection(TQsShellCombo& combo, TQsShellList& list) {
  const TVersionColumn column = ReadColumn(combo, list);
  return EncodeSelection({column.Folder, column.Selected});
}

void TForm1::FormClose(TObject*, TCloseAction&) {
  CollectSettings();
  TSettings& s = ProgramSettings();
  if (s.Main.RestoreDirectories) s.Main.DirectoryContents = SaveColumns();
  s.Main.ExpertSplitterPosition = split_Expert->Position();
  SaveSettingsAtClose();
}

void TForm1::RestorePlacement(TCustomForm& form, TRadioGroup& group, int defaultLeft, int defaultTop) {
  TWindowPlacement p = ProgramSettings().RestoreWindowPlacement(form.Name(), defaultLeft, defaultTop, form.Width(),
                                                                form.Height(), Screen->Width(), Screen->Height());
  form.SetBounds(p.Left, p.Top, form.Width(), form.Height());
  restoringPlacement_ = true;
  group.SetItemIndex(p.Mode);
  restoringPlacement_ = false;
}

void TForm1::rdgrp_OptionWindowPosClick(TObject* Sender) {
  if (restoringPlacement_) return;
  auto* group = dynamic_cast<TRadioGroup*>(Sender);
  TCustomForm* form = group == rdgrp_OptionMainWindowPos          ? static_cast<TCustomForm*>(this)
                      : group == rdgrp_OptionPatchWindowPos       ? static_cast<TCustomForm*>(Form2)
                      : group == rdgrp_OptionAddressBookWindowPos ? static_cast<TCustomForm*>(Form3)
                                                                  : static_cast<TCustomForm*>(Form4);
  if (!group || !form || group->ItemIndex() < 0) return;
  ProgramSettings().StoreWindowPlacement(form->Name(), group->ItemIndex(), form->Left(), form->Top());
}

void TForm1::rdgrp_OptionUseBrowserClick(TObject*) {
  if (rdgrp_OptionUseBrowser->ItemIndex() >= 0) ProgramSettings().Main.DefaultBrowser = rdgrp_OptionUseBrowser->ItemIndex();
}

void TForm1::edit_OptionCustomBrowserChange(TObject*) {
  ProgramSettings().Main.CustomBrowserPath = edit_OptionCustomBrowser->Text();
  ProgramSettings().Main.CustomBrowserArgs = edit_OptionCustomBrowserArgs->Text();
}

// ---- pages and keys

void TForm1::pagectrl_MainChange(TObject*) {
  SetClientHeight(PageClientHeight(pagectrl_Main->ActivePage(), *this));
  if (pagectrl_Main->ActivePage() == page_Expert) {
    BuildPatchRequest();
    UpdateSendButton();
  }
}

void TForm1::FormKeyUp(TObject*, uint16_t& Key, TShiftState) {
  if (Key == VK_F1 && form_Help) form_Help->ShowPage("index.html");
}

void TForm1::label_AboutWebClick(TObject*) { OpenWebLink(kMakerWebSite); }

void TForm1::label_AboutArtistClick(TObject*) {
  Application->MessageBox("The pictures of Quiltor Snapmend were drawn by its artist, who will be glad to hear from you.",
                          "Information", MB_OK | MB_ICONINFORMATION);
  OpenMailLink(kArtistMail);
}

// ---- the patch request

void TForm1::filelist_Change(TObject*, TListItem*, TItemChange Change) {
  if (Change == TItemChange::ctState) BuildPatchRequest();
}

void TForm1::filelist_Editing(TObject*, TListItem*, bool& AllowEdit) { AllowEdit = false; }

void TForm1::filelist_FillComplete(TObject*) { BuildPatchRequest(); }

void TForm1::combo_ExpertPackerTypeChange(TObject*) {
  edit_ExpertPatchName->SetText(WithSuffix(edit_ExpertPatchName->Text(), *combo_ExpertPackerType, *combo_ExpertPatchType));
  BuildPatchRequest();
}

void TForm1::combo_WizardPackerTypeChange(TObject*) {
  edit_WizardPatchName->SetText(WithSuffix(edit_WizardPatchName->Text(), *combo_WizardPackerType, *combo_WizardPatchType));
  BuildPatchRequest();
}

void TForm1::edit_ExpertPatchNameChange(TObject*) {
  BuildPatchRequest();
  UpdateSendButton();
}

void TForm1::edit_WizardPatchNameChange(TObject*) { BuildPatchRequest(); }

TPatchRequest TForm1::ReadRequest(bool expert) const {
  const auto tagged = [](const std::vector<TQsShellCombo*>& combos, const std::vector<TQsShellList*>& lists,
                         std::vector<TTaggedFolder>& folders, std::vector<TTaggedSelection>& selections) {
    for (TQsShellCombo* c : combos) folders.push_back({c->Tag(), c->GetFolder().GetPath()});
    for (TQsShellList* l : lists) selections.push_back({l->Tag(), SelectedNames(*l)});
  };
  std::vector<TTaggedFolder> folders;
  std::vector<TTaggedSelection> selections;
  TPatchRequest r;
  if (expert) {
    tagged(ExpertColumns->Combos, ExpertColumns->Lists, folders, selections);
    r.Versions = CollectVersions(ReadColumn(*pathcombo_ExpertSource1, *filelist_ExpertSource1), folders, selections,
                                 ReadColumn(*pathcombo_ExpertDest, *filelist_ExpertDest));
    r.PatchName = edit_ExpertPatchName->Text();
    r.PatchType = IndexOr(*combo_ExpertPatchType, 0);
    r.Packer = IndexOr(*combo_ExpertPackerType, 0);
    r.BackupName = edit_ExpertDefaultBackupDir->Text();
  } else {
    tagged(WizardColumns->Combos, WizardColumns->Lists, folders, selections);
    r.Versions = CollectVersions(ReadColumn(*pathcombo_WizardSource1, *filelist_WizardSource1), folders, selections,
                                 ReadColumn(*pathcombo_WizardDest, *filelist_WizardDest));
    r.PatchName = edit_WizardPatchName->Text();
    r.PatchType = IndexOr(*combo_WizardPatchType, 0);
    r.Packer = IndexOr(*combo_WizardPackerType, 0);
    r.BackupName = edit_WizardDefaultBackupDir->Text();
  }
  return r;
}

bool TForm1::BuildPatchRequest() {
  const bool expert = pagectrl_Main->ActivePage() == page_Expert;
  const TRequestCheck check = CheckRequest(ReadRequest(expert), IsDirectoryOnDisk);
  button_ExpertCreate->SetEnabled(check.Valid);
  chkbox_ExpertForceIdentical->SetEnabled(check.AllDirectories);
  const int step = pagectrl_Wizard->ActivePageIndex();
  // From the target's step on, only a request the engine takes can go on.
  button_WizardContinue->SetEnabled(step == 0 || check.Valid);
  button_WizardContinue->SetCaption(step == 2 ? "&Create >" : "&Continue >");
  WizardBack->SetEnabled(step > 0);
  if (TTabSheet* page = pagectrl_Wizard->ActivePage()) {
    label_WizardDecoration1->SetParent(page);
    label_WizardDecoration2->SetParent(page);
  }
  return check.Valid;
}

bool TForm1::UpdateSendButton() {
  const std::string name = edit_ExpertPatchName->Text();
  const bool enabled = !name.empty() && platform::IsFile(name);
  button_ExpertSendEmail->SetEnabled(enabled);
  return enabled;
}

void TForm1::button_ExpertCreateClick(TObject*) {
  if (!BuildPatchRequest()) return;
  const TPatchRequest r = ReadRequest(true);
  edit_ExpertPatchName->SetText(CreatedPatchName(r));
  HideAddressBookForRun();
  StartPatching(r);
  edit_ExpertPatchNameChange(edit_ExpertPatchName);
}

void TForm1::button_WizardContinueClick(TObject*) {
  const int step = pagectrl_Wizard->ActivePageIndex();
  if (step < 2) {
    pagectrl_Wizard->SetActivePageIndex(step + 1);
  } else if (BuildPatchRequest()) {
    const TPatchRequest r = ReadRequest(false);
    edit_WizardPatchName->SetText(CreatedPatchName(r));
    StartPatching(r);
    pagectrl_Wizard->SetActivePageIndex(0);
  }
  BuildPatchRequest();
}

void TForm1::WizardBackClick(TObject*) {
  const int step = pagectrl_Wizard->ActivePageIndex();
  if (step > 0) pagectrl_Wizard->SetActivePageIndex(step - 1);
  BuildPatchRequest();
}

// Closing goes the close box's way, so the settings and selections are saved.
void TForm1::button_WizardExitClick(TObject*) { Close(); }

void TForm1::StartPatching(const TPatchRequest& request) {
  CollectSettings();
  FillEngineOptions(request, ProgramSettings().Packers);
  Hide();
  Application->ProcessMessages();
  RunPatchWorker();
}

// ---- recipients and sending

void TForm1::edit_ExpertEmailReceiver1KeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key != VK_RETURN) return;
  Key = 0;
  TakeTypedRecipient();
}

void TForm1::edit_ExpertEmailReceiver1Exit(TObject*) { TakeTypedRecipient(); }

void TForm1::TakeTypedRecipient() {
  const uint8_t kind = uint8_t(IndexOr(*combo_ExpertEmailType1, 0));
  if (::TakeTypedRecipient(edit_ExpertEmailReceiver1->Text(), receiverPlaceholder_, kind, ProgramRecipients()) ==
      TEntryResult::Refused)
    return;
  edit_ExpertEmailReceiver1->SetText("");
  RebuildRecipientRows();
}

void TForm1::RebuildRecipientRows() {
  const std::vector<TRecipient>& list = ProgramRecipients();
  const int position = scrbox_Email->VertPosition();
  scrbox_Email->SetVertPosition(0);
  while (rowEdits_.size() < list.size()) {
    auto* edit = new TEdit(this);
    edit->SetParent(scrbox_Email);
    edit->SetReadOnly(true);
    edit->SetTabStop(false);
    edit->SetColor(clBtnFace);
    auto* kind = new TComboBox(this);
    kind->SetStyle(TComboBoxStyle::csDropDownList);
    kind->SetParent(scrbox_Email);
    kind->Items().Assign(combo_ExpertEmailType1->Items());
    kind->SetEnabled(false);
    rowEdits_.push_back(edit);
    rowKinds_.push_back(kind);
  }
  const int left = edit_ExpertEmailReceiver1->Left(), width = edit_ExpertEmailReceiver1->Width();
  const int kindLeft = combo_ExpertEmailType1->Left(), kindWidth = combo_ExpertEmailType1->Width();
  for (size_t i = 0; i < rowEdits_.size(); ++i) {
    const bool used = i < list.size();
    rowEdits_[i]->SetVisible(used);
    rowKinds_[i]->SetVisible(used);
    if (!used) continue;
    const int top = int(i) * kRowPitch + kRowTop;
    rowEdits_[i]->SetBounds(left, top, width, edit_ExpertEmailReceiver1->Height());
    rowEdits_[i]->SetText(RecipientText(list[i]));
    rowKinds_[i]->SetBounds(kindLeft, top, kindWidth, combo_ExpertEmailType1->Height());
    rowKinds_[i]->SetItemIndex(list[i].Kind);
  }
  const int entryTop = int(list.size()) * kRowPitch + kRowTop;
  edit_ExpertEmailReceiver1->SetTop(entryTop);
  combo_ExpertEmailType1->SetTop(entryTop);
  combo_ExpertEmailType1->SetItemIndex(NextEntryKind(list));
  scrbox_Email->UpdateScrollRange();
  scrbox_Email->SetVertPosition(position);
  scrbox_Email->ScrollInView(*edit_ExpertEmailReceiver1);
  scrbox_Email->Invalidate();  // where the entry pair was
  if (Form3) Form3->ShowReceivers();
}

void TForm1::button_ExpertAddressbookClick(TObject*) { OpenAddressBook(); }

void TForm1::button_ExpertSendEmailClick(TObject*) {
  if (!UpdateSendButton() || ProgramRecipients().empty() || sending_) return;
  // Everything the send needs is taken here, on the GUI thread.
  const TSettings& s = ProgramSettings();
  TPatchMail mail;
  const int identity = combo_OptionDefaultEmailSettings->ItemIndex();
  if (identity >= 0 && identity < int(s.Identities.size())) {
    const TEmailSettings& id = s.Identities[size_t(identity)];
    mail.Sender = {id.EmailAddress, id.FullName, id.SmtpHost, id.Organization, id.ReplyTo};
  }
  mail.Subject = edit_ExpertEmailSubject->Text();
  for (int i = 0; i < memo_ExpertEmail->Lines().Count(); ++i) mail.Text.push_back(memo_ExpertEmail->Lines()[i]);
  mail.FileName = edit_ExpertPatchName->Text();
  mail.Recipients = ProgramRecipients();

  sending_ = true;
  struct EndSending {
    bool& flag;
    ~EndSending() { flag = false; }
  } endSending{sending_};
  Form4->StartProgress();
  Form4->Show();
  Hide();
  EmailThread thread(std::move(mail), *Form4);
  thread.Start();
  while (!EmailDone() && !Application->Terminated()) Application->HandleMessage();
  Form4->Hide();
  Show();
  Application->ProcessMessages();
  thread.WaitFor();
  Application->ProcessMessages();
}
