#pragma once
// The version columns of one page of the main window as controls: the first source column
// and the target come from the form, the further source columns are clones of the first
// column's four controls (activate box, path combo, file list, up-folder button) made and
// freed at run time.
//
// How it works: the four lists hold the further columns' controls in Tag order (the first
// source column has Tag 1, so the lists start at Tag 2); ticking the activate box of column
// k inserts a column after it and unticking it removes column k + 1, the model of
// source_columns.h renumbering the others. Every change is followed by Layout, which puts
// each column where the page's layout numbers say, ticks the boxes of the columns that
// another follows and gives every list the current view style; the boxes it ticks fire no
// change while it runs.
#include <string>
#include <vector>

#include "builder/source_columns.h"
#include "framework/controls/buttons.h"
#include "framework/controls/scrollbox.h"
#include "framework/controls/stdctrls.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/shell_list_win32.h"

// One version column's controls; the target has no activate box.
struct TVersionColumnControls {
  TCheckBox* Activate = nullptr;
  TQsShellCombo* Combo = nullptr;
  TQsShellList* List = nullptr;
  TSpeedButton* UpButton = nullptr;
};

class TSourceColumnViews {
 public:
  enum class TPage { Expert, Wizard };
  // The target lies in box beside the sources on the Expert page (targetLabel above it),
  // on a step of its own on the Wizard page.
  TSourceColumnViews(TComponent& owner, TPage page, TScrollBox& box, TVersionColumnControls first,
                     TVersionColumnControls target, TControl* targetLabel);
  TSourceColumnViews(const TSourceColumnViews&) = delete;
  TSourceColumnViews& operator=(const TSourceColumnViews&) = delete;

  // The further columns, in Tag order.
  std::vector<TCheckBox*> ActivateBoxes;
  std::vector<TQsShellCombo*> Combos;
  std::vector<TQsShellList*> Lists;
  std::vector<TSpeedButton*> UpButtons;

  const TVersionColumnControls& First() const { return first_; }
  const TVersionColumnControls& Target() const { return target_; }
  int SourceCount() const { return 1 + int(Combos.size()); }
  // Column tag's controls (1 .. SourceCount()); the target for any other tag.
  TVersionColumnControls Column(int tag) const;
  // Whether control is one of this page's.
  bool Holds(const TControl* control) const;

  // A new column after column k, starting in column k's folder; false, adding nothing, at
  // the limit of source columns.
  bool Add(int k);
  // Frees column k + 1; nothing when there is none.
  void Remove(int k);
  // Puts every column in its place with the view style.
  void Layout(TViewStyle style);
  bool LayingOut() const { return layingOut_; }
  // The lists of the page, the target's among them.
  std::vector<TQsShellList*> AllLists() const;

 private:
  TComponent& owner_;
  TPage page_;
  TScrollBox& box_;
  TVersionColumnControls first_, target_;
  TControl* targetLabel_;
  int firstLeft_;
  int checkTop_;  // the Wizard's boxes stay where the form puts them
  bool layingOut_ = false;
};

// The view style of an entry of the file-list view-mode radio group ("Small icons", "Large
// icons", "Detailed list", "Multicolumn").
TViewStyle FilelistViewStyle(int mode);
// Draws the up-folder glyph on a speed button.
void MakeUpFolderGlyph(TSpeedButton& button);
