#pragma once
// TForm3, the address book window ("Quiltor Universal Addressbook"): a lookup page whose
// record list, narrowed by the filter edit, gives receivers to the program's recipient
// list (recipients.h), and an edit page that walks the table's records one by one.
//
// How it works: OpenAddressBook opens the table beside the program (address_table.h)
// before any window is made; a table that cannot be opened is reported in an
// "Information" box and no window comes up. The window then owns the table and a view of
// its live records: the lookup page's view carries the filter (address_book_rules.h), the
// edit page's shows every live record. The record list is a multi-select report list view
// whose items carry their record numbers; the edits are plain edits loaded from the
// current record, and whatever they hold is stored into it on page change, navigation,
// "Insert" and close, and so reaches the file at once. Receivers added here and on the
// Expert page are one list: a change on either side rebuilds both.
#include <optional>
#include <string>

#include "builder/address_table.h"
#include "framework/controls/comctrls.h"
#include "framework/controls/listview.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/forms.h"

class TForm3 : public TForm {
  FW_CLASS(TForm3, TForm)

 public:
  explicit TForm3(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TPageControl* pagectrl_Database = nullptr;
  TTabSheet* page_Lookup = nullptr;
  TTabSheet* page_Lists = nullptr;
  TTabSheet* page_Edit = nullptr;
  TEdit* edit_LookupFilter = nullptr;
  TButton* button_TO = nullptr;
  TButton* button_CC = nullptr;
  TButton* button_BCC = nullptr;
  TListView* dbgrid_Lookup = nullptr;
  TCheckBox* chkbox_FilterCaseInsensitive = nullptr;
  TCheckBox* chkbox_LookupPartial = nullptr;
  TListBox* listbox_Receivers = nullptr;
  TButton* button_Remove = nullptr;
  TButton* button_RemoveAll = nullptr;
  TButton* button_Close = nullptr;
  TButton* button_Help = nullptr;
  TCheckBox* chbox_HintsPageLookup = nullptr;
  TButton* button_Insert = nullptr;
  TButton* button_EditDelete = nullptr;
  TButton* button_EditNext = nullptr;
  TButton* button_EditPrev = nullptr;
  TEdit* dbedit_Realname = nullptr;
  TEdit* dbedit_Email = nullptr;
  TCheckBox* chkbox_WindowOnTop = nullptr;

  // Takes the opened table: fills the record list and the receivers, selects the lookup page.
  void Attach(TAddressTable table);
  TAddressTable& Table() { return *table_; }
  const TTableView& View() const { return *view_; }
  // The record the edit page shows; -1 for none.
  int EditRecord() const { return editRecord_; }
  // Rebuilds the receivers list from the program's recipient list.
  void ShowReceivers();

  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void pagectrl_DatabaseChange(TObject* Sender);
  void edit_LookupFilterChange(TObject* Sender);
  void edit_LookupFilterKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void button_AddClick(TObject* Sender);
  void dbgrid_LookupDblClick(TObject* Sender);
  void button_RemoveClick(TObject* Sender);
  void button_RemoveAllClick(TObject* Sender);
  void button_CloseClick(TObject* Sender);
  void button_HelpClick(TObject* Sender);
  void chbox_HintsPageLookupClick(TObject* Sender);
  void button_InsertClick(TObject* Sender);
  void button_EditDeleteClick(TObject* Sender);
  void button_EditNextClick(TObject* Sender);
  void button_EditPrevClick(TObject* Sender);
  void chkbox_WindowOnTopClick(TObject* Sender);

 protected:
  void BeforeDestruction() override;

 private:
  void FillRecordList();
  void AddSelected(uint8_t kind);
  void ReceiversChanged();
  void StoreEdits();
  void LoadEdits();

  std::optional<TAddressTable> table_;
  std::optional<TTableView> view_;
  int editRecord_ = -1;
};

extern TForm3* Form3;

// Where the table lies: the program's path with its extension replaced.
std::string AddressTablePath(const std::string& programPath);
// The "&Addressbook..." button: brings the window to the front, or opens the table and
// makes and shows the window; a table that cannot be opened is reported and nothing opens.
void OpenAddressBook();
// Around a patch run from the Expert page: the window's visibility is saved and it is
// hidden; when the progress window goes it comes back as it was.
void HideAddressBookForRun();
void RestoreAddressBookAfterRun();
