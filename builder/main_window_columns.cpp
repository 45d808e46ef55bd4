// The main window's version columns: the further source columns of both pages, their
// saved selections, the file lists' view styles, the splitter between the Expert page's
// versions and its e-mail box, the up-folder buttons and the save dialog of the patch names.
#include <algorithm>

#include "builder/main_window.h"
#include "builder/program.h"
#include "framework/core/sysutils.h"

namespace {

int IndexOr(const TComboBox& combo, int fallback) { return combo.ItemIndex() < 0 ? fallback : combo.ItemIndex(); }

// The 1-based entry of a dialog filter ("text|mask|text|mask...") whose mask is "*" + suffix;
// 1 when none is.
int FilterIndexOf(const std::string& filter, const std::string& suffix) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t bar; (bar = filter.find('|', from)) != std::string::npos; from = bar + 1)
    parts.push_back(filter.substr(from, bar - from));
  parts.push_back(filter.substr(from));
  for (size_t i = 1; i < parts.size(); i += 2)
    if (SameText(parts[i], "*" + suffix)) return int(i / 2) + 1;
  return 1;
}

}  // namespace

void TForm1::SetUpColumns() {
  ExpertColumns = std::make_unique<TSourceColumnViews>(
      *this, TSourceColumnViews::TPage::Expert, *scrbox_Expert,
      TVersionColumnControls{chkbox_ExpertSourceActivate1, pathcombo_ExpertSource1, filelist_ExpertSource1,
                             spdbtn_ExpertSourceUpperDir1},
      TVersionColumnControls{nullptr, pathcombo_ExpertDest, filelist_ExpertDest, spdbtn_ExpertDestUpperDir},
      label_ExpertDest);
  WizardColumns = std::make_unique<TSourceColumnViews>(
      *this, TSourceColumnViews::TPage::Wizard, *scrbox_Wizard,
      TVersionColumnControls{chkbox_WizardSourceActivate1, pathcombo_WizardSource1, filelist_WizardSource1,
                             spdbtn_WizardSourceUpperDir1},
      TVersionColumnControls{nullptr, pathcombo_WizardDest, filelist_WizardDest, spdbtn_WizardDestUpperDir},
      nullptr);
  const TMainSettings& m = ProgramSettings().Main;
  rdgrp_OptionCurrentFilelistMode->SetItemIndex(m.DefaultFilelistStyle);
  split_Expert->SetPosition(m.ExpertSplitterPosition);
  split_ExpertSplitterDrop(split_Expert, split_Expert->Position());
}

void TForm1::LayoutColumns() {
  if (!ExpertColumns || !WizardColumns) return;
  const TViewStyle style = FilelistViewStyle(rdgrp_OptionCurrentFilelistMode->ItemIndex());
  ExpertColumns->Layout(style);
  WizardColumns->Layout(style);
}

void TForm1::chkbox_SourceActivateClick(TObject* Sender) {
  auto* box = dynamic_cast<TCheckBox*>(Sender);
  TSourceColumnViews* views = ExpertColumns && ExpertColumns->Holds(box)   ? ExpertColumns.get()
                              : WizardColumns && WizardColumns->Holds(box) ? WizardColumns.get()
                                                                           : nullptr;
  if (!views || views->LayingOut()) return;
  if (box->Checked())
    views->Add(box->Tag());
  else
    views->Remove(box->Tag());
  LayoutColumns();
  BuildPatchRequest();
}

void TForm1::spdbtn_UpperDirClick(TObject* Sender) {
  for (TSourceColumnViews* views : {ExpertColumns.get(), WizardColumns.get()})
    for (int tag = 1; views && tag <= views->SourceCount() + 1; ++tag)
      if (const TVersionColumnControls c = views->Column(tag); c.UpButton == Sender) {
        c.Combo->GoUpLevels(1);
        BuildPatchRequest();
        return;
      }
}

void TForm1::RestoreColumns(const std::vector<std::string>& saved) {
  if (saved.size() > 0) RestoreSelection(*pathcombo_ExpertDest, *filelist_ExpertDest, saved[0]);
  if (saved.size() > 1) RestoreSelection(*pathcombo_ExpertSource1, *filelist_ExpertSource1, saved[1]);
  // Selection i + 1 belongs to source column i.
  const int sources = RestoredSourceCount(int(saved.size()) - 1);
  for (int tag = 2; tag <= sources; ++tag) {
    if (ExpertColumns->SourceCount() != tag - 1) break;  // the limit of source columns
    ExpertColumns->Column(tag - 1).Activate->SetChecked(true);
    if (ExpertColumns->SourceCount() != tag) break;
    const TVersionColumnControls c = ExpertColumns->Column(tag);
    RestoreSelection(*c.Combo, *c.List, saved[size_t(tag)]);
  }
}

std::vector<std::string> TForm1::SaveColumns() {
  std::vector<std::string> saved{SaveSelection(*pathcombo_ExpertDest, *filelist_ExpertDest)};
  for (int tag = 1; tag <= ExpertColumns->SourceCount(); ++tag) {
    const TVersionColumnControls c = ExpertColumns->Column(tag);
    saved.push_back(SaveSelection(*c.Combo, *c.List));
  }
  return saved;
}

void TForm1::rdgrp_OptionCurrentFilelistModeClick(TObject*) { LayoutColumns(); }

void TForm1::popup_ViewStyleFileListPopup(TObject*) {
  TMenuItem& items = popup_ViewStyleFileList->Items();
  for (int i = 0; i < items.Count(); ++i)
    items.Items(i)->SetChecked(items.Items(i)->Tag() == rdgrp_OptionCurrentFilelistMode->ItemIndex() + 1);
}

void TForm1::popup_ViewStyleFileListClick(TObject* Sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) rdgrp_OptionCurrentFilelistMode->SetItemIndex(item->Tag() - 1);
}

void TForm1::split_ExpertSplitterDrop(TObject*, int) {
  // The panes as the splitter lays them out.
  const int p0 = split_Expert->Position();
  const int p1 = split_Expert->Height() - split_Expert->Position() - split_Expert->SplitterWidth();
  memo_ExpertEmail->SetHeight(std::max(p1 - 60, 20));
  group_ExpertEmail->SetHeight(std::max(p1 - 7, 20));
  scrbox_Email->SetHeight(std::max(p1 - 64, 40));
  for (TControl* button : {static_cast<TControl*>(button_ExpertAddressbook), static_cast<TControl*>(button_ExpertHelp),
                           static_cast<TControl*>(button_ExpertSendEmail)})
    button->SetTop(std::max(p1 - 39, 59));
  scrbox_Expert->SetHeight(std::max(p0 - 119, 100));
  group_ExpertLocalFile->SetTop(p0 - 121);
  LayoutColumns();
}

void TForm1::filelist_DropFiles(TObject* Sender, const std::vector<std::string>& Files) {
  if (Files.size() != 1) return;
  for (TSourceColumnViews* views : {ExpertColumns.get(), WizardColumns.get()})
    for (int tag = 1; views && tag <= views->SourceCount() + 1; ++tag) {
      const TVersionColumnControls c = views->Column(tag);
      if (c.List != Sender) continue;
      c.Combo->GetFolder().SetPath(ExtractFilePath(Files[0]));
      const std::string name = ExtractFileName(Files[0]);
      TListItem* dropped = nullptr;
      for (int i = 0; i < c.List->Items().Count(); ++i) {
        TListItem* item = c.List->Items()[i];
        TQsShListData* data = c.List->GetItemData(i);
        const bool match = !dropped && data && SameText(data->GetFileName(), name);
        item->SetSelected(match);
        if (match) dropped = item;
      }
      if (dropped) {
        dropped->SetFocused(true);
        dropped->MakeVisible();
      }
      BuildPatchRequest();
      return;
    }
}

void TForm1::BrowsePatchName(TEdit& edit, const TComboBox& packer, const TComboBox& patchType) {
  const std::string suffix = PatchNameSuffix(IndexOr(packer, 0), IndexOr(patchType, 0));
  savedialog_Patchname->SetFilterIndex(FilterIndexOf(savedialog_Patchname->Filter(), suffix));
  savedialog_Patchname->SetFileName(edit.Text());
  if (!savedialog_Patchname->Execute()) return;
  edit.SetText(ChangeFileExt(savedialog_Patchname->FileName(), suffix));
}

void TForm1::button_ExpertBrowsePatchfileClick(TObject*) {
  BrowsePatchName(*edit_ExpertPatchName, *combo_ExpertPackerType, *combo_ExpertPatchType);
}

void TForm1::button_WizardBrowsePatchfileClick(TObject*) {
  BrowsePatchName(*edit_WizardPatchName, *combo_WizardPackerType, *combo_WizardPatchType);
}
