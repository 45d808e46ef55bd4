// The main window's options page: the stored defaults of both patch pages, the packers,
// the sender identities and the e-mail template, and how they go to and come from the
// settings. The page's own page control holds the general choices, the window placements,
// the patch defaults, the packers, the e-mail settings and the PGP page.
#include <algorithm>

#include "builder/main_window.h"
#include "builder/patch_request.h"
#include "builder/program.h"
#include "framework/controls/dialogs.h"
#include "framework/core/exception.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "platform/file.h"

namespace {

constexpr int kPackerBoxes = int(kOfferedPackers.size());  // the packers with a "use system path" box
constexpr char kExecutableFilter[] = "exectuables|*.exe|batchfiles|*.bat|all files|*";

int IndexOr(const TComboBox& combo, int fallback) { return combo.ItemIndex() < 0 ? fallback : combo.ItemIndex(); }
int IndexOr(const TRadioGroup& group, int fallback) { return group.ItemIndex() < 0 ? fallback : group.ItemIndex(); }

template <typename T>
T* Find(TForm1& f, const std::string& name) {
  auto* c = dynamic_cast<T*>(f.FindComponent(name));
  if (!c) throw EComponentError("The options page lacks " + name);
  return c;
}

void ApplyPageDefaults(const TPatchPageDefaults& d, TEdit& name, TComboBox& packer, TComboBox& type, TCheckBox& pgp,
                       TCheckBox& identical, TEdit& backup) {
  name.SetText(d.Patchfile);
  packer.SetItemIndex(d.Packer);
  type.SetItemIndex(d.PatchType);
  pgp.SetChecked(d.PgpSigned);
  identical.SetChecked(d.PatchIdenticalFiles);
  backup.SetText(d.BackupPath);
}

void CollectPageDefaults(TPatchPageDefaults& d, const TEdit& name, const TComboBox& packer, const TComboBox& type,
                         const TCheckBox& pgp, const TCheckBox& identical, const TEdit& backup) {
  d.Patchfile = name.Text();
  d.Packer = IndexOr(packer, d.Packer);
  d.PatchType = IndexOr(type, d.PatchType);
  d.PgpSigned = pgp.Checked();
  d.PatchIdenticalFiles = identical.Checked();
  d.BackupPath = backup.Text();
}

void ApplySuffix(TEdit& name, const TComboBox& packer, const TComboBox& type) {
  if (name.Text().empty()) return;
  name.SetText(ChangeFileExt(name.Text(), PatchNameSuffix(IndexOr(packer, 0), IndexOr(type, 0))));
}

}  // namespace

void TForm1::FindOptionControls() {
  for (size_t i = 0; i < kPackerNames.size(); ++i) {
    const std::string name = kPackerNames[i];
    if (int(i) < kPackerBoxes) {
      chkbox_OptionSysPath[i] = Find<TCheckBox>(*this, "chkbox_OptionSysPath" + name);
      edit_OptionPath[i] = Find<TEdit>(*this, "edit_OptionPath" + name);
    }
    button_OptionBrowse[i] = Find<TButton>(*this, "button_OptionBrowse" + name);
  }
}

void TForm1::ApplyOptionSettings() {
  const TSettings& s = ProgramSettings();
  const TMainSettings& m = s.Main;
  ApplyPageDefaults(m.Expert, *edit_ExpertDefaultPatchname, *combo_ExpertDefaultPackerType,
                    *combo_ExpertDefaultPatchType, *chkbox_ExpertDefaultSignedPatch, *chkbox_ExpertDefaultForceIdent,
                    *edit_ExpertDefaultBackupDir);
  ApplyPageDefaults(m.Wizard, *edit_WizardDefaultPatchname, *combo_WizardDefaultPackerType,
                    *combo_WizardDefaultPatchType, *chkbox_WizardDefaultSignedPatch, *chkbox_WizardDefaultForceIdent,
                    *edit_WizardDefaultBackupDir);
  for (int i = 0; i < kPackerBoxes; ++i) {
    chkbox_OptionSysPath[i]->SetChecked(s.Packers[size_t(i)].UseSystemPath);
    edit_OptionPath[i]->SetText(s.Packers[size_t(i)].Path);
    chkbox_OptionSysPathClick(chkbox_OptionSysPath[i]);
  }
  edit_OptionPathCustomPacker->SetText(s.Packers[kCustomPacker].Path);
  edit_OptionCustomPackerArgs->SetText(s.Packers[kCustomPacker].Args);

  int profile = -1;
  for (TComboBox* combo : {combo_OptionDefaultEmailSettings, combo_OptionEditEmailSettings}) {
    combo->Items().Clear();
    for (const TEmailSettings& id : s.Identities) combo->Items().Add(id.Label);
  }
  for (size_t i = 0; i < s.Identities.size() && profile < 0; ++i)
    if (s.Identities[i].Label == m.MailProfile) profile = int(i);
  const int chosen = s.Identities.empty() ? -1 : std::max(profile, 0);
  combo_OptionDefaultEmailSettings->SetItemIndex(chosen);
  combo_OptionEditEmailSettings->SetItemIndex(chosen);
  ShowIdentity(chosen);

  edit_OptionDefaultEmailSubject->SetText(m.EmailSubject);
  rdgrp_OptionDefaultFilelistMode->SetItemIndex(m.DefaultFilelistStyle);
  chkbox_OptionRestoreDirectories->SetChecked(m.RestoreDirectories);
  chkbox_OptionExpertRestoreSplit->SetChecked(m.ExpertRestoreSplitter);
  LoadEmailTemplate();
}

// A template that cannot be read leaves both memos empty.
void TForm1::LoadEmailTemplate() {
  const std::string file = EmailTemplatePath(ProgramPath());
  memo_OptionDefaultEmailText->Lines().Clear();
  if (platform::IsFile(file)) {
    try {
      memo_OptionDefaultEmailText->Lines().LoadFromFile(file);
    } catch (const Exception&) {
      memo_OptionDefaultEmailText->Lines().Clear();
      templateUnread_ = true;
    }
  }
  memo_ExpertEmail->Lines().Assign(memo_OptionDefaultEmailText->Lines());
}

void TForm1::CollectOptionSettings() {
  TSettings& s = ProgramSettings();
  TMainSettings& m = s.Main;
  CollectPageDefaults(m.Expert, *edit_ExpertDefaultPatchname, *combo_ExpertDefaultPackerType,
                      *combo_ExpertDefaultPatchType, *chkbox_ExpertDefaultSignedPatch, *chkbox_ExpertDefaultForceIdent,
                      *edit_ExpertDefaultBackupDir);
  CollectPageDefaults(m.Wizard, *edit_WizardDefaultPatchname, *combo_WizardDefaultPackerType,
                      *combo_WizardDefaultPatchType, *chkbox_WizardDefaultSignedPatch, *chkbox_WizardDefaultForceIdent,
                      *edit_WizardDefaultBackupDir);
  for (int i = 0; i < kPackerBoxes; ++i) {
    s.Packers[size_t(i)].UseSystemPath = chkbox_OptionSysPath[i]->Checked();
    s.Packers[size_t(i)].Path = edit_OptionPath[i]->Text();
  }
  s.Packers[kCustomPacker].Path = edit_OptionPathCustomPacker->Text();
  s.Packers[kCustomPacker].Args = edit_OptionCustomPackerArgs->Text();
  const int identity = combo_OptionDefaultEmailSettings->ItemIndex();
  if (identity >= 0 && identity < int(s.Identities.size())) m.MailProfile = s.Identities[size_t(identity)].Label;
  m.EmailSubject = edit_OptionDefaultEmailSubject->Text();
  m.DefaultFilelistStyle = IndexOr(*rdgrp_OptionDefaultFilelistMode, m.DefaultFilelistStyle);
  m.RestoreDirectories = chkbox_OptionRestoreDirectories->Checked();
  m.ExpertRestoreSplitter = chkbox_OptionExpertRestoreSplit->Checked();
}

void TForm1::SaveSettingsAtClose() {
  TSettings& s = ProgramSettings();
  const auto report = [](const std::string& text) { Application->MessageBox(text, "Error", MB_OK | MB_ICONERROR); };
  try {
    s.StoreWindowPlacement(Name(), IndexOr(*rdgrp_OptionMainWindowPos, 0), Left(), Top());
  } catch (const Exception& e) {
    report("The position of the main window could not be written to the registry: " + e.Message() + ".");
  }
  const std::string file = EmailTemplatePath(ProgramPath());
  const bool keepUnread = templateUnread_ && memo_OptionDefaultEmailText->Text().empty();
  if (!keepUnread) {
    try {
      memo_OptionDefaultEmailText->Lines().SaveToFile(file);
    } catch (const Exception&) {
      report("The e-mail template could not be saved to \"" + file + "\". The other settings are saved.");
    }
  }
  try {
    s.Save();
  } catch (const Exception& e) {
    report("The settings could not be written to the registry: " + e.Message() + ".");
  }
}

// ---- handlers

void TForm1::chkbox_OptionSysPathClick(TObject* Sender) {
  for (int i = 0; i < kPackerBoxes; ++i) {
    if (chkbox_OptionSysPath[i] != Sender) continue;
    const bool inPath = chkbox_OptionSysPath[i]->Checked();
    edit_OptionPath[i]->SetReadOnly(inPath);
    edit_OptionPath[i]->SetColor(inPath ? clInactiveCaption : clWindow);
    button_OptionBrowse[i]->SetEnabled(!inPath);
  }
}

void TForm1::button_OptionBrowsePackerClick(TObject* Sender) {
  for (size_t i = 0; i < kPackerNames.size(); ++i) {
    if (button_OptionBrowse[i] != Sender) continue;
    TEdit& edit = int(i) < kPackerBoxes ? *edit_OptionPath[i] : *edit_OptionPathCustomPacker;
    TOpenDialog dialog(nullptr);
    dialog.FileName = edit.Text();
    dialog.Filter = kExecutableFilter;
    if (dialog.Execute()) edit.SetText(dialog.FileName);
  }
}

void TForm1::combo_OptionExpertDefaultsChange(TObject*) {
  ApplySuffix(*edit_ExpertDefaultPatchname, *combo_ExpertDefaultPackerType, *combo_ExpertDefaultPatchType);
}

void TForm1::combo_OptionWizardDefaultsChange(TObject*) {
  ApplySuffix(*edit_WizardDefaultPatchname, *combo_WizardDefaultPackerType, *combo_WizardDefaultPatchType);
}

// The identity chosen for editing: its values in the edits, which only own identities
// let the user change.
void TForm1::ShowIdentity(int index) {
  const std::vector<TEmailSettings>& ids = ProgramSettings().Identities;
  const TEmailSettings* id = index >= 0 && index < int(ids.size()) ? &ids[size_t(index)] : nullptr;
  showingIdentity_ = true;
  const std::pair<TEdit*, std::string> fields[] = {
      {edit_OptionEditEmailSettingsFrom, id ? id->EmailAddress : ""},
      {edit_OptionEditEmailSettingsSMTP, id ? id->SmtpHost : ""},
      {edit_OptionEditEmailSettingsName, id ? id->FullName : ""},
      {edit_OptionEditEmailSettingsOrg, id ? id->Organization : ""},
      {edit_OptionEditEmailSettingsRepl, id ? id->ReplyTo : ""}};
  for (const auto& [edit, text] : fields) {
    edit->SetText(text);
    edit->SetEnabled(id && !id->Imported);
  }
  showingIdentity_ = false;
}

void TForm1::combo_OptionEditEmailSettingsChange(TObject*) { ShowIdentity(combo_OptionEditEmailSettings->ItemIndex()); }

void TForm1::edit_OptionEditEmailSettingsChange(TObject* Sender) {
  if (showingIdentity_) return;
  std::vector<TEmailSettings>& ids = ProgramSettings().Identities;
  const int index = combo_OptionEditEmailSettings->ItemIndex();
  if (index < 0 || index >= int(ids.size()) || ids[size_t(index)].Imported) return;
  TEmailSettings& id = ids[size_t(index)];
  auto* edit = dynamic_cast<TEdit*>(Sender);
  if (!edit) return;
  const std::string text = edit->Text();
  if (edit == edit_OptionEditEmailSettingsFrom) id.EmailAddress = text;
  else if (edit == edit_OptionEditEmailSettingsName) id.FullName = text;
  else if (edit == edit_OptionEditEmailSettingsSMTP) id.SmtpHost = text;
  else if (edit == edit_OptionEditEmailSettingsOrg) id.Organization = text;
  else if (edit == edit_OptionEditEmailSettingsRepl) id.ReplyTo = text;
}

void TForm1::chbox_HintsPageClick(TObject* Sender) {
  if (auto* box = dynamic_cast<TCheckBox*>(Sender))
    if (TTabSheet* page = pagectrl_Main->ActivePage()) page->SetShowHint(box->Checked());
}

void TForm1::button_HelpClick(TObject*) { Application->HelpContext(1); }
