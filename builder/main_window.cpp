#include "builder/main_window.h"

#include "builder/help_hook.h"
#include "builder/help_routing.h"
#include "builder/help_window.h"
#include "builder/patch_thread.h"
#include "builder/program.h"
#include "builder/progress_window.h"
#include "builder/small_windows.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "platform/file.h"

TForm1* Form1 = nullptr;

// The program-wide reference goes with the window.
void TForm1::BeforeDestruction() {
  if (Form1 == this) Form1 = nullptr;
  TForm::BeforeDestruction();
}

namespace {

constexpr int kPackerPages = int(kOfferedPackers.size());  // the packers with a "use system path" box

// The client height each page of the main window needs.
int PageClientHeight(TTabSheet* page, const TForm1& f) {
  if (page == f.page_Expert) return 553;
  if (page == f.page_Wizard) return 405;
  return 533;
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
          .Field("page_RCS", &F::page_RCS)
          .Field("page_Expert", &F::page_Expert)
          .Field("page_Wizard", &F::page_Wizard)
          .Field("page_Options", &F::page_Options)
          .Field("page_About", &F::page_About)
          .Field("edit_ExpertSource1", &F::edit_ExpertSource1)
          .Field("edit_ExpertDest", &F::edit_ExpertDest)
          .Field("edit_ExpertPatchName", &F::edit_ExpertPatchName)
          .Field("chkbox_ExpertForceIdentical", &F::chkbox_ExpertForceIdentical)
          .Field("combo_ExpertPatchType", &F::combo_ExpertPatchType)
          .Field("combo_ExpertPackerType", &F::combo_ExpertPackerType)
          .Field("button_ExpertCreate", &F::button_ExpertCreate)
          .Field("rdgrp_PageOnStartup", &F::rdgrp_PageOnStartup)
          .Field("rdgrp_OptionMainWindowPos", &F::rdgrp_OptionMainWindowPos)
          .Field("rdgrp_OptionPatchWindowPos", &F::rdgrp_OptionPatchWindowPos)
          .Field("rdgrp_OptionEmailSendWindowPos", &F::rdgrp_OptionEmailSendWindowPos)
          .Field("chkbox_OptionHideSplash", &F::chkbox_OptionHideSplash)
          .Field("edit_ExpertDefaultBackupDir", &F::edit_ExpertDefaultBackupDir)
          .Field("rdgrp_OptionUseBrowser", &F::rdgrp_OptionUseBrowser)
          .Field("edit_OptionCustomBrowser", &F::edit_OptionCustomBrowser)
          .Field("edit_OptionCustomBrowserArgs", &F::edit_OptionCustomBrowserArgs)
          .Field("label_AboutWeb", &F::label_AboutWeb)
          .Field("label_AboutArtist", &F::label_AboutArtist)
          .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
          .Handler<TCloseEvent>("FormClose", &F::FormClose)
          .Handler<TKeyEvent>("FormKeyUp", &F::FormKeyUp)
          .Handler<TNotifyEvent>("pagectrl_MainChange", &F::pagectrl_MainChange)
          .Handler<TNotifyEvent>("button_ExpertCreateClick", &F::button_ExpertCreateClick)
          .Handler<TNotifyEvent>("edit_ExpertChange", &F::edit_ExpertChange)
          .Handler<TNotifyEvent>("combo_ExpertPackerTypeChange", &F::combo_ExpertPackerTypeChange)
          .Handler<TNotifyEvent>("rdgrp_OptionWindowPosClick", &F::rdgrp_OptionWindowPosClick)
          .Handler<TNotifyEvent>("rdgrp_OptionUseBrowserClick", &F::rdgrp_OptionUseBrowserClick)
          .Handler<TNotifyEvent>("edit_OptionCustomBrowserChange", &F::edit_OptionCustomBrowserChange)
          .Handler<TNotifyEvent>("chkbox_OptionSysPathClick", &F::chkbox_OptionSysPathClick)
          .Handler<TNotifyEvent>("label_AboutWebClick", &F::label_AboutWebClick)
          .Handler<TNotifyEvent>("label_AboutArtistClick", &F::label_AboutArtistClick);
  return &t;
}

// ---- settings

void TForm1::FormCreate(TObject*) {
  for (int i = 0; i < kPackerPages; ++i) {
    chkbox_OptionSysPath[i] =
        dynamic_cast<TCheckBox*>(FindComponent(std::string("chkbox_OptionSysPath") + kPackerNames[size_t(i)]));
    edit_OptionPath[i] = dynamic_cast<TEdit*>(FindComponent(std::string("edit_OptionPath") + kPackerNames[size_t(i)]));
    if (!chkbox_OptionSysPath[i] || !edit_OptionPath[i])
      throw EComponentError(std::string("The options page lacks the packer ") + kPackerNames[size_t(i)]);
  }
  ApplySettings();
}

void TForm1::ApplySettings() {
  const TSettings& s = ProgramSettings();
  const TMainSettings& m = s.Main;
  rdgrp_PageOnStartup->SetItemIndex(m.StartupPageMode);
  const std::string& desktop = s.System.DesktopFolder;
  edit_ExpertPatchName->SetText(desktop.empty() ? m.Expert.Patchfile
                                                : IncludeTrailingBackslash(desktop) + m.Expert.Patchfile);
  combo_ExpertPackerType->SetItemIndex(m.Expert.Packer);
  combo_ExpertPatchType->SetItemIndex(m.Expert.PatchType);
  ApplyPatchNameSuffix();
  edit_ExpertDefaultBackupDir->SetText(m.Expert.BackupPath);
  chkbox_ExpertForceIdentical->SetChecked(m.Expert.PatchIdenticalFiles);
  rdgrp_OptionUseBrowser->SetItemIndex(m.DefaultBrowser);
  for (int i = 0; i < kPackerPages; ++i) {
    chkbox_OptionSysPath[i]->SetChecked(s.Packers[size_t(i)].UseSystemPath);
    edit_OptionPath[i]->SetText(s.Packers[size_t(i)].Path);
    chkbox_OptionSysPathClick(chkbox_OptionSysPath[i]);
  }
  edit_OptionCustomBrowser->SetText(m.CustomBrowserPath);
  edit_OptionCustomBrowserArgs->SetText(m.CustomBrowserArgs);
  chkbox_OptionHideSplash->SetChecked(m.HideSplash);
  pagectrl_Main->SetActivePageIndex(m.StartupPage);
  pagectrl_MainChange(pagectrl_Main);
}

void TForm1::CollectSettings() {
  TSettings& s = ProgramSettings();
  TMainSettings& m = s.Main;
  m.HideSplash = chkbox_OptionHideSplash->Checked();
  m.StartupPageMode = rdgrp_PageOnStartup->ItemIndex() < 0 ? m.StartupPageMode : rdgrp_PageOnStartup->ItemIndex();
  m.StartupPage = m.StartupPageMode == 3 ? pagectrl_Main->ActivePageIndex() : m.StartupPageMode;
  m.Expert.BackupPath = edit_ExpertDefaultBackupDir->Text();
  m.Expert.PatchIdenticalFiles = chkbox_ExpertForceIdentical->Checked();
  m.DefaultBrowser = rdgrp_OptionUseBrowser->ItemIndex() < 0 ? 0 : rdgrp_OptionUseBrowser->ItemIndex();
  m.CustomBrowserPath = edit_OptionCustomBrowser->Text();
  m.CustomBrowserArgs = edit_OptionCustomBrowserArgs->Text();
  for (int i = 0; i < kPackerPages; ++i) {
    s.Packers[size_t(i)].UseSystemPath = chkbox_OptionSysPath[i]->Checked();
    s.Packers[size_t(i)].Path = edit_OptionPath[i]->Text();
  }
}

void TForm1::FormClose(TObject*, TCloseAction&) {
  CollectSettings();
  TSettings& s = ProgramSettings();
  s.StoreWindowPlacement(Name(), rdgrp_OptionMainWindowPos->ItemIndex() < 0 ? 0 : rdgrp_OptionMainWindowPos->ItemIndex(),
                         Left(), Top());
  s.Save();
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
  TCustomForm* form = group == rdgrp_OptionMainWindowPos    ? static_cast<TCustomForm*>(this)
                      : group == rdgrp_OptionPatchWindowPos ? static_cast<TCustomForm*>(Form2)
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

void TForm1::chkbox_OptionSysPathClick(TObject* Sender) {
  for (int i = 0; i < kPackerPages; ++i) {
    if (chkbox_OptionSysPath[i] != Sender) continue;
    const bool inPath = chkbox_OptionSysPath[i]->Checked();
    edit_OptionPath[i]->SetReadOnly(inPath);
    edit_OptionPath[i]->SetColor(inPath ? clInactiveCaption : clWindow);
  }
}

// ---- pages and keys

void TForm1::pagectrl_MainChange(TObject*) {
  SetClientHeight(PageClientHeight(pagectrl_Main->ActivePage(), *this));
  if (pagectrl_Main->ActivePage() == page_Expert) UpdateExpertButtons();
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

void TForm1::ApplyPatchNameSuffix() {
  const std::string name = edit_ExpertPatchName->Text();
  if (name.empty()) return;
  edit_ExpertPatchName->SetText(
      ChangeFileExt(name, PatchNameSuffix(combo_ExpertPackerType->ItemIndex(), combo_ExpertPatchType->ItemIndex())));
}

void TForm1::combo_ExpertPackerTypeChange(TObject*) {
  ApplyPatchNameSuffix();
  UpdateExpertButtons();
}

void TForm1::edit_ExpertChange(TObject*) { UpdateExpertButtons(); }

TPatchRequest TForm1::ReadExpertRequest() const {
  TPatchRequest r;
  r.Versions = {edit_ExpertSource1->Text(), edit_ExpertDest->Text()};
  r.PatchName = edit_ExpertPatchName->Text();
  r.PatchType = combo_ExpertPatchType->ItemIndex() < 0 ? 0 : combo_ExpertPatchType->ItemIndex();
  r.Packer = combo_ExpertPackerType->ItemIndex() < 0 ? 0 : combo_ExpertPackerType->ItemIndex();
  r.BackupName = edit_ExpertDefaultBackupDir->Text();
  return r;
}

bool TForm1::UpdateExpertButtons() {
  const TPatchRequest r = ReadExpertRequest();
  bool allDirectories = false;
  const bool valid = RequestIsValid(r, allDirectories) && !r.PatchName.empty();
  button_ExpertCreate->SetEnabled(valid);
  chkbox_ExpertForceIdentical->SetEnabled(allDirectories);
  return valid;
}

void TForm1::button_ExpertCreateClick(TObject*) {
  if (!UpdateExpertButtons()) return;
  StartPatching(ReadExpertRequest());
  UpdateExpertButtons();
}

void TForm1::StartPatching(const TPatchRequest& request) {
  CollectSettings();
  FillEngineOptions(request, ProgramSettings().Packers);
  Hide();
  Application->ProcessMessages();
  RunPatchWorker();
}
