#include "builder/source_column_views.h"

#include "framework/win/graphics.h"
#include "shell_controls/open_dialog_win32.h"

TSourceColumnViews::TSourceColumnViews(TComponent& owner, TPage page, TScrollBox& box, TVersionColumnControls first,
                                       TVersionColumnControls target, TControl* targetLabel)
    : owner_(owner),
      page_(page),
      box_(box),
      first_(first),
      target_(target),
      targetLabel_(targetLabel),
      firstLeft_(first.Combo->Left()),
      checkTop_(first.Activate->Top()) {
  first_.Activate->SetTag(1);
  first_.Combo->SetTag(1);
  first_.List->SetTag(1);
  first_.UpButton->SetTag(1);
  MakeUpFolderGlyph(*first_.UpButton);
  if (target_.UpButton) MakeUpFolderGlyph(*target_.UpButton);
}

TVersionColumnControls TSourceColumnViews::Column(int tag) const {
  if (tag == 1) return first_;
  if (tag >= 2 && tag < SourceCount() + 1) {
    const size_t i = size_t(tag - 2);
    return {ActivateBoxes[i], Combos[i], Lists[i], UpButtons[i]};
  }
  return target_;
}

bool TSourceColumnViews::Holds(const TControl* control) const {
  if (!control) return false;
  for (const TVersionColumnControls& c : {first_, target_})
    if (control == c.Activate || control == c.Combo || control == c.List || control == c.UpButton) return true;
  const auto in = [control](const auto& list) {
    for (const TControl* c : list)
      if (c == control) return true;
    return false;
  };
  return in(ActivateBoxes) || in(Combos) || in(Lists) || in(UpButtons);
}

std::vector<TQsShellList*> TSourceColumnViews::AllLists() const {
  std::vector<TQsShellList*> lists{first_.List};
  lists.insert(lists.end(), Lists.begin(), Lists.end());
  lists.push_back(target_.List);
  return lists;
}

bool TSourceColumnViews::Add(int k) {
  if (SourceCount() >= kMaxSourceColumns || k < 1 || k > SourceCount()) return false;
  TQsShellList* follows = Column(k).List;
  // The box's state is the layout's to set; the combo's entries (with the data objects they
  // own) are the first combo's, and it is linked to its own list below.
  auto* activate = CloneControl(*first_.Activate, &owner_, &box_, "", {"Checked"});
  auto* combo =
      CloneControl(*first_.Combo, &owner_, &box_, "", {"ShellList", "ShellTree", "Items", "ItemIndex", "Text"});
  auto* list = CloneControl(*first_.List, &owner_, &box_, "");
  auto* up = CloneControl(*first_.UpButton, &owner_, &box_, "");
  MakeUpFolderGlyph(*up);
  InsertSourceColumn(ActivateBoxes, k, activate);
  InsertSourceColumn(Combos, k, combo);
  InsertSourceColumn(Lists, k, list);
  InsertSourceColumn(UpButtons, k, up);
  combo->SetShellList(list);
  combo->GetFolder().Assign(&follows->Folder());
  return true;
}

void TSourceColumnViews::Remove(int k) {
  TCheckBox* activate = RemoveSourceColumn(ActivateBoxes, k);
  TQsShellCombo* combo = RemoveSourceColumn(Combos, k);
  TQsShellList* list = RemoveSourceColumn(Lists, k);
  TSpeedButton* up = RemoveSourceColumn(UpButtons, k);
  for (TComponent* c : std::initializer_list<TComponent*>{activate, combo, list, up})
    if (c) c->Free();
}

void TSourceColumnViews::Layout(TViewStyle style) {
  layingOut_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{layingOut_};
  // Columns are placed from the unscrolled origin.
  const int scrolled = box_.HorzPosition();
  box_.SetHorzPosition(0);
  const int sources = SourceCount();
  const auto place = [&](const TVersionColumnControls& c, const TColumnPlace& p) {
    c.Combo->SetBounds(p.Left, c.Combo->Top(), p.ComboWidth, c.Combo->Height());
    if (c.UpButton)
      c.UpButton->SetBounds(p.Left + p.ListWidth - c.UpButton->Width(), c.UpButton->Top(), c.UpButton->Width(),
                            c.UpButton->Height());
    const int listHeight = page_ == TPage::Expert ? p.ListHeight : c.List->Height();
    c.List->SetBounds(p.Left, c.List->Top(), p.ListWidth, listHeight);
    c.Combo->SetTabOrder(p.ComboTab);
    c.List->SetTabOrder(p.ListTab);
    if (c.Activate) {
      const int top = page_ == TPage::Expert ? p.CheckTop : checkTop_;
      c.Activate->SetBounds(p.Left, top, p.CheckWidth, c.Activate->Height());
      c.Activate->SetChecked(p.Ticked);
      c.Activate->SetTabOrder(p.CheckTab);
    }
  };
  for (int tag = 1; tag <= sources; ++tag) {
    TColumnPlace p = page_ == TPage::Expert ? ExpertColumnPlace(tag, sources, firstLeft_, box_.Height())
                                            : WizardColumnPlace(tag, firstLeft_);
    if (page_ == TPage::Wizard) p.Ticked = tag < sources;
    place(Column(tag), p);
  }
  if (page_ == TPage::Expert) {
    const TColumnPlace p = ExpertColumnPlace(sources + 1, sources, firstLeft_, box_.Height());
    place(target_, p);
    if (targetLabel_) targetLabel_->SetLeft(p.Left);
  }
  for (TQsShellList* list : AllLists()) list->SetViewStyle(style);
  box_.UpdateScrollRange();
  box_.SetHorzPosition(scrolled);
}

TViewStyle FilelistViewStyle(int mode) {
  switch (mode) {
    case 0: return TViewStyle::vsSmallIcon;
    case 1: return TViewStyle::vsIcon;
    case 2: return TViewStyle::vsReport;
    default: return TViewStyle::vsList;
  }
}

void MakeUpFolderGlyph(TSpeedButton& button) {
  MakeUpFolderGlyph(button.Glyph());
  button.Invalidate();
}
