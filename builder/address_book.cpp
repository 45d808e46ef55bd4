#include "builder/address_book.h"

#include <algorithm>
#include <cstdint>

#include "builder/address_book_rules.h"
#include "builder/main_window.h"
#include "builder/program.h"
#include "builder/recipients.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"

TForm3* Form3 = nullptr;

namespace {
// Visible before a patch run hid it.
bool shownBeforeRun = false;
constexpr int kDefaultLeft = 400, kDefaultTop = 400;
}  // namespace

std::string AddressTablePath(const std::string& programPath) { return ChangeFileExt(programPath, "_db2.dbf"); }

// The program-wide reference goes with the window.
void TForm3::BeforeDestruction() {
  if (Form3 == this) Form3 = nullptr;
  TForm::BeforeDestruction();
}

const TClassInfo& TForm3::StaticClass() {
  static const TClassInfo info{"TForm3", &TForm::StaticClass(), Factory<TForm3>(), {}, "TFORM3"};
  return info;
}

const TMethodTable* TForm3::Methods() const {
  using F = TForm3;
  static const TMethodTable t =
      TMethodTable::Of<F>()
          .Field("pagectrl_Database", &F::pagectrl_Database)
          .Field("page_Lookup", &F::page_Lookup)
          .Field("page_Lists", &F::page_Lists)
          .Field("page_Edit", &F::page_Edit)
          .Field("edit_LookupFilter", &F::edit_LookupFilter)
          .Field("button_TO", &F::button_TO)
          .Field("button_CC", &F::button_CC)
          .Field("button_BCC", &F::button_BCC)
          .Field("dbgrid_Lookup", &F::dbgrid_Lookup)
          .Field("chkbox_FilterCaseInsensitive", &F::chkbox_FilterCaseInsensitive)
          .Field("chkbox_LookupPartial", &F::chkbox_LookupPartial)
          .Field("listbox_Receivers", &F::listbox_Receivers)
          .Field("button_Remove", &F::button_Remove)
          .Field("button_RemoveAll", &F::button_RemoveAll)
          .Field("button_Close", &F::button_Close)
          .Field("button_Help", &F::button_Help)
          .Field("chbox_HintsPageLookup", &F::chbox_HintsPageLookup)
          .Field("button_Insert", &F::button_Insert)
          .Field("button_EditDelete", &F::button_EditDelete)
          .Field("button_EditNext", &F::button_EditNext)
          .Field("button_EditPrev", &F::button_EditPrev)
          .Field("dbedit_Realname", &F::dbedit_Realname)
          .Field("dbedit_Email", &F::dbedit_Email)
          .Field("chkbox_WindowOnTop", &F::chkbox_WindowOnTop)
          .Handler<TCloseEvent>("FormClose", &F::FormClose)
          .Handler<TKeyEvent>("FormKeyUp", &F::FormKeyUp)
          .Handler<TNotifyEvent>("pagectrl_DatabaseChange", &F::pagectrl_DatabaseChange)
          .Handler<TNotifyEvent>("edit_LookupFilterChange", &F::edit_LookupFilterChange)
          .Handler<TKeyEvent>("edit_LookupFilterKeyDown", &F::edit_LookupFilterKeyDown)
          .Handler<TNotifyEvent>("button_AddClick", &F::button_AddClick)
          .Handler<TNotifyEvent>("dbgrid_LookupDblClick", &F::dbgrid_LookupDblClick)
          .Handler<TNotifyEvent>("button_RemoveClick", &F::button_RemoveClick)
          .Handler<TNotifyEvent>("button_RemoveAllClick", &F::button_RemoveAllClick)
          .Handler<TNotifyEvent>("button_CloseClick", &F::button_CloseClick)
          .Handler<TNotifyEvent>("button_HelpClick", &F::button_HelpClick)
          .Handler<TNotifyEvent>("chbox_HintsPageLookupClick", &F::chbox_HintsPageLookupClick)
          .Handler<TNotifyEvent>("button_InsertClick", &F::button_InsertClick)
          .Handler<TNotifyEvent>("button_EditDeleteClick", &F::button_EditDeleteClick)
          .Handler<TNotifyEvent>("button_EditNextClick", &F::button_EditNextClick)
          .Handler<TNotifyEvent>("button_EditPrevClick", &F::button_EditPrevClick)
          .Handler<TNotifyEvent>("chkbox_WindowOnTopClick", &F::chkbox_WindowOnTopClick);
  return &t;
}

void TForm3::Attach(TAddressTable table) {
  table_.emplace(std::move(table));
  view_.emplace(*table_);
  dbgrid_Lookup->Columns().Clear();
  TListColumn* name = dbgrid_Lookup->Columns().Add();
  name->SetCaption("Realname");
  name->SetWidth(200);
  TListColumn* email = dbgrid_Lookup->Columns().Add();
  email->SetCaption("Email address");
  dbgrid_Lookup->Handle();  // the client width is the window's, inside its edge
  email->SetWidth(dbgrid_Lookup->ClientWidth() - 203);
  // An edit takes no more characters than its field holds.
  dbedit_Realname->SetMaxLength(table_->FindField(TAddressTable::kRealName)->Length);
  dbedit_Email->SetMaxLength(table_->FindField(TAddressTable::kEmail)->Length);
  pagectrl_Database->SetActivePage(page_Lookup);
  pagectrl_DatabaseChange(pagectrl_Database);
  ShowReceivers();
}

// ---- the lookup page

void TForm3::FillRecordList() {
  TListItems& items = dbgrid_Lookup->Items();
  items.BeginUpdate();
  items.Clear();
  for (int record : view_->Records()) {
    TListItem* item = items.Add();
    item->SetCaption(table_->Text(record, TAddressTable::kRealName));
    item->SubItems().Add(table_->Text(record, TAddressTable::kEmail));
    item->SetData(reinterpret_cast<void*>(intptr_t(record)));
  }
  items.EndUpdate();
  if (items.Count() > 0) {
    items[0]->SetSelected(true);
    items[0]->SetFocused(true);
  }
}

void TForm3::edit_LookupFilterChange(TObject*) {
  if (pagectrl_Database->ActivePage() != page_Lookup) return;
  view_->SetFilter(LookupRecordFilter(
      {edit_LookupFilter->Text(), chkbox_FilterCaseInsensitive->Checked(), chkbox_LookupPartial->Checked()}));
  FillRecordList();
}

void TForm3::edit_LookupFilterKeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key != VK_RETURN) return;
  Key = 0;
  AddSelected(TRecipient::kTo);
}

void TForm3::button_AddClick(TObject* Sender) {
  auto* button = dynamic_cast<TButton*>(Sender);
  AddSelected(uint8_t(button ? button->Tag() : 0));
}

void TForm3::dbgrid_LookupDblClick(TObject*) { AddSelected(TRecipient::kTo); }

void TForm3::AddSelected(uint8_t kind) {
  std::vector<TRecipient>& list = ProgramRecipients();
  TListItems& items = dbgrid_Lookup->Items();
  for (int i = 0; i < items.Count(); ++i)
    if (items[i]->Selected())
      TakeRecordRecipient(RecordRecipient(*table_, int(reinterpret_cast<intptr_t>(items[i]->Data())), kind), list);
  ReceiversChanged();
  edit_LookupFilter->SetFocus();
  edit_LookupFilter->SelectAll();
}

void TForm3::ShowReceivers() {
  TStrings& lines = listbox_Receivers->Items();
  lines.Clear();
  for (const TRecipient& r : ProgramRecipients()) lines.Add(ReceiverLine(r));
}

// Both views of the list: this window's and the Expert page's rows.
void TForm3::ReceiversChanged() {
  ShowReceivers();
  if (Form1) Form1->RebuildRecipientRows();
}

void TForm3::button_RemoveClick(TObject*) {
  std::vector<TRecipient>& list = ProgramRecipients();
  const int index = listbox_Receivers->ItemIndex();
  if (index < 0 || index >= int(list.size())) return;
  list.erase(list.begin() + index);
  ReceiversChanged();
  listbox_Receivers->SetItemIndex(std::min(index, int(list.size()) - 1));
}

void TForm3::button_RemoveAllClick(TObject*) {
  ProgramRecipients().clear();
  ReceiversChanged();
}

void TForm3::button_CloseClick(TObject*) { Close(); }

void TForm3::button_HelpClick(TObject*) { Application->HelpContext(1); }

void TForm3::FormKeyUp(TObject*, uint16_t& Key, TShiftState) {
  if (Key == VK_F1) Application->HelpContext(1);
}

void TForm3::chbox_HintsPageLookupClick(TObject*) {
  if (TTabSheet* page = pagectrl_Database->ActivePage()) page->SetShowHint(chbox_HintsPageLookup->Checked());
}

void TForm3::chkbox_WindowOnTopClick(TObject*) {
  SetFormStyle(chkbox_WindowOnTop->Checked() ? TFormStyle::fsStayOnTop : TFormStyle::fsNormal);
}

// ---- the edit page

void TForm3::pagectrl_DatabaseChange(TObject*) {
  const bool editing = pagectrl_Database->ActivePage() == page_Edit;
  StoreEdits();
  dbedit_Realname->SetEnabled(editing);
  dbedit_Email->SetEnabled(editing);
  dbgrid_Lookup->SetEnabled(!editing);
  if (editing) {
    // The record chosen in the list, else the first.
    const TListItem* chosen = dbgrid_Lookup->Selected();
    view_->SetFilter({});
    if (chosen) view_->GoTo(int(reinterpret_cast<intptr_t>(chosen->Data())));
    LoadEdits();
  } else {
    editRecord_ = -1;
    edit_LookupFilterChange(edit_LookupFilter);
  }
}

void TForm3::LoadEdits() {
  editRecord_ = view_->Current();
  dbedit_Realname->SetText(editRecord_ < 0 ? "" : table_->Text(editRecord_, TAddressTable::kRealName));
  dbedit_Email->SetText(editRecord_ < 0 ? "" : table_->Text(editRecord_, TAddressTable::kEmail));
}

// What the edits hold goes into the record they show, and to the file when it changed.
void TForm3::StoreEdits() {
  if (editRecord_ < 0 || !table_ || table_->Deleted(editRecord_)) return;
  const std::string name = dbedit_Realname->Text(), email = dbedit_Email->Text();
  if (name == table_->Text(editRecord_, TAddressTable::kRealName) &&
      email == table_->Text(editRecord_, TAddressTable::kEmail))
    return;
  table_->SetText(editRecord_, TAddressTable::kRealName, name);
  table_->SetText(editRecord_, TAddressTable::kEmail, email);
  table_->Store(editRecord_);
}

void TForm3::button_InsertClick(TObject*) {
  StoreEdits();
  const int record = table_->Insert();
  view_->Refresh();
  view_->GoTo(record);
  LoadEdits();
  dbedit_Realname->SetFocus();
}

void TForm3::button_EditDeleteClick(TObject*) {
  if (editRecord_ < 0) return;
  StoreEdits();
  const int position = view_->Position();
  table_->MarkDeleted(editRecord_);
  view_->Refresh();
  if (!view_->Empty()) {
    view_->Last();
    while (view_->Position() > position && view_->Prior()) {
    }
  }
  LoadEdits();
}

void TForm3::button_EditNextClick(TObject*) {
  StoreEdits();
  view_->Next();
  LoadEdits();
}

void TForm3::button_EditPrevClick(TObject*) {
  StoreEdits();
  view_->Prior();
  LoadEdits();
}

void TForm3::FormClose(TObject*, TCloseAction& Action) {
  StoreEdits();
  if (Form1) {
    const int mode = Form1->rdgrp_OptionAddressBookWindowPos->ItemIndex();
    ProgramSettings().StoreWindowPlacement(Name(), mode < 0 ? 0 : mode, Left(), Top());
  }
  Action = TCloseAction::caFree;
}

// ---- opening, and patch runs

void OpenAddressBook() {
  if (Form3) {
    Form3->Show();
    Form3->BringToFront();
    return;
  }
  std::optional<TAddressTable> table;
  try {
    table.emplace(TAddressTable::OpenOrCreate(AddressTablePath(ProgramPath())));
  } catch (const EAddressTableError& e) {
    Application->MessageBox(e.Message() + ".", "Information", 0);
    return;
  }
  Form3 = static_cast<TForm3*>(TForm3::StaticClass().Create(Application));
  Form3->Attach(std::move(*table));
  RewriteHints();
  if (Form1) Form1->RestorePlacement(*Form3, *Form1->rdgrp_OptionAddressBookWindowPos, kDefaultLeft, kDefaultTop);
  Form3->Show();
}

void HideAddressBookForRun() {
  shownBeforeRun = Form3 && Form3->Visible();
  if (Form3) Form3->Hide();
}

void RestoreAddressBookAfterRun() {
  if (Form3 && shownBeforeRun) Form3->Show();
  shownBeforeRun = false;
}
