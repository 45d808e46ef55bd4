// The address book window under Wine, opened by the main window's "&Addressbook..."
// button over a table beside the program: the lookup filter, receivers that reach the
// program's list and the Expert page's rows, the edit page's insert, navigation and
// storing, a corrupt table that is reported and left alone, the stay-on-top box,
// placement, and hiding around a patch run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "builder/address_book.h"
#include "builder/address_table.h"
#include "builder/main_window.h"
#include "builder/program.h"
#include "builder/recipients.h"
#include "framework/core/registry.h"
#include "framework/testing/gui_test.h"
#include "platform/file.h"
#include "shell_controls/shell_startup_win32.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

struct TPerson {
  const char* Name;
  const char* Email;
};

class AddressBook : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    previousBox_ = SetMessageBoxFunction([this](HWND, const std::string& text, const std::string& caption, UINT flags) {
      shown_.push_back({text, caption, flags});
      return IDOK;
    });
    TRegistry reg(registry_);
    reg.OpenKey(std::string(kSettingsKey), true);
    reg.WriteBool("Hide Splash", true);
    reg.WriteInteger("Startup page", 1);
    settings_ = std::make_unique<TSettings>(registry_);
    settings_->Load();
    SetProgramSettings(settings_.get());
    ProgramRecipients().clear();
    hook_ = StartPatchBuilder(scratch_.Path("Quiltor32.exe"));
    for (TComponent* f : Application->Components())
      if (dynamic_cast<TCustomForm*>(f)) Track(f);
    Form1->Show();
    Pump();
  }
  void TearDown() override {
    if (Form3) Form3->Free();
    hook_.reset();
    SetMessageBoxFunction(previousBox_);
    TGuiTest::TearDown();
    SetProgramSettings(nullptr);
    ProgramRecipients().clear();
  }
  std::string TablePath() const { return scratch_.Path("Quiltor32_db2.dbf"); }
  // The table as the tests' own writer makes it, record by record.
  void Seed(const std::vector<TPerson>& people) {
    TAddressTable t = TAddressTable::OpenOrCreate(TablePath());
    for (const TPerson& p : people) {
      const int r = t.Insert();
      t.SetText(r, TAddressTable::kRealName, p.Name);
      t.SetText(r, TAddressTable::kEmail, p.Email);
      t.Store(r);
    }
  }
  TForm3& Open() {
    Click(*Form1->button_ExpertAddressbook);
    Pump();
    EXPECT_NE(Form3, nullptr);
    return *Form3;
  }
  static std::vector<std::string> Rows(TForm3& f) {
    std::vector<std::string> rows;
    for (int i = 0; i < f.dbgrid_Lookup->Items().Count(); ++i) rows.push_back(f.dbgrid_Lookup->Items()[i]->Caption());
    return rows;
  }
  static std::vector<std::string> Lines(TListBox& box) {
    std::vector<std::string> lines;
    for (int i = 0; i < box.Items().Count(); ++i) lines.push_back(box.Items()[i]);
    return lines;
  }
  static void Choose(TForm3& f, const std::vector<int>& rows) {
    TListItems& items = f.dbgrid_Lookup->Items();
    for (int i = 0; i < items.Count(); ++i) items[i]->SetSelected(false);
    for (int i : rows) items[i]->SetSelected(true);
  }
  // A click on a tab, and what it brings about.
  void SelectTab(TPageControl& pages, int index) {
    SelectItem(pages, index);
    Pump();
  }

  struct TBox {
    std::string Text, Caption;
    UINT Flags;
  };
  std::vector<TBox> shown_;
  TMessageBoxFunction previousBox_;
  TMemRegistry registry_;
  std::unique_ptr<TSettings> settings_;
  std::unique_ptr<HelpDummyClass> hook_;
  testsupport::ScratchDir scratch_{"qab"};
};

TEST_F(AddressBook, FilterShowsWhatBeginsWithOrContainsTheText) {
  Seed({{"Ann Smith", "ann@example.com"},
        {"bob Jones", "bob@example.org"},
        {"Carl Annex", "carl@example.net"},
        {"Dora", "dora.ann@example.com"}});
  TForm3& f = Open();
  EXPECT_EQ(f.Caption(), "Quiltor Universal Addressbook");
  EXPECT_EQ(f.dbgrid_Lookup->Columns().Item(0)->Caption(), "Realname");
  EXPECT_EQ(f.dbgrid_Lookup->Columns().Item(1)->Caption(), "Email address");
  EXPECT_EQ(f.dbgrid_Lookup->Columns().Item(0)->Width(), 200);
  EXPECT_EQ(f.dbgrid_Lookup->Columns().Item(1)->Width(), f.dbgrid_Lookup->ClientWidth() - 203);
  struct Case {
    const char* text;
    bool caseInsensitive, partial;
    std::vector<std::string> rows;
  } cases[] = {
      {"", false, false, {"Ann Smith", "bob Jones", "Carl Annex", "Dora"}},
      {"Ann", false, false, {"Ann Smith"}},
      {"ann", false, false, {"Ann Smith"}},  // its address begins with "ann"
      {"ANN", false, false, {}},
      {"ANN", true, false, {"Ann Smith"}},
      {"ann", false, true, {"Ann Smith", "Dora"}},
      {"ann", true, true, {"Ann Smith", "Carl Annex", "Dora"}},
      {"B", false, false, {}},
      {"B", true, false, {"bob Jones"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + std::string(c.caseInsensitive ? " case-insensitive" : "") + (c.partial ? " partial" : ""));
    f.chkbox_FilterCaseInsensitive->SetChecked(c.caseInsensitive);
    f.chkbox_LookupPartial->SetChecked(c.partial);
    SetText(*f.edit_LookupFilter, c.text);
    Pump();
    EXPECT_EQ(Rows(f), c.rows);
    if (!c.rows.empty()) {
      EXPECT_TRUE(f.dbgrid_Lookup->Items()[0]->Selected()) << "the first row is chosen";
    }
  }
}

TEST_F(AddressBook, ReceiversReachTheListAndTheExpertRowsOnce) {
  Seed({{"Ann Smith", "ann@example.com"}, {"Bob Jones", "bob@example.org"}});
  TForm3& f = Open();
  Choose(f, {0});
  Click(*f.button_CC);
  Click(*f.button_CC);  // the same record again changes nothing
  EXPECT_EQ(ProgramRecipients(), (std::vector<TRecipient>{{1, "ann@example.com", "Ann Smith", TRecipient::kCc}}));
  Choose(f, {0, 1});
  Click(*f.button_BCC);
  Pump();
  EXPECT_EQ(Lines(*f.listbox_Receivers),
            (std::vector<std::string>{"Bcc: Ann Smith <ann@example.com>", "Bcc: Bob Jones <bob@example.org>"}));
  ASSERT_GE(Form1->RecipientEdits().size(), 2u);
  EXPECT_EQ(Form1->RecipientEdits()[0]->Text(), "ann@example.com (Ann Smith)");
  EXPECT_EQ(Form1->RecipientKinds()[1]->ItemIndex(), TRecipient::kBcc);
  EXPECT_EQ(f.edit_LookupFilter->Handle(), GetFocus()) << "the filter edit has the focus again";
  // Enter in the filter edit adds the chosen record as "To:".
  Choose(f, {1});
  f.edit_LookupFilter->SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(ProgramRecipients()[1].Kind, TRecipient::kTo);
  // A typed entry on the Expert page shows here too.
  SetText(*Form1->edit_ExpertEmailReceiver1, "typed@example.com");
  Form1->edit_ExpertEmailReceiver1->SetFocus();
  PressKey(VK_RETURN);
  EXPECT_EQ(Lines(*f.listbox_Receivers).back(), "Cc:  <typed@example.com>");
  SelectItem(*f.listbox_Receivers, 0);
  Click(*f.button_Remove);
  EXPECT_EQ(ProgramRecipients().size(), 2u);
  EXPECT_EQ(ProgramRecipients()[0].Address, "bob@example.org");
  Click(*f.button_RemoveAll);
  EXPECT_TRUE(ProgramRecipients().empty());
  EXPECT_EQ(f.listbox_Receivers->Items().Count(), 0);
}

TEST_F(AddressBook, EditPageInsertsStoresAtOnceAndRecordsSurviveARestart) {
  TForm3& f = Open();  // no table yet: an empty one is made
  ASSERT_TRUE(platform::IsFile(TablePath()));
  SelectTab(*f.pagectrl_Database, 2);
  EXPECT_TRUE(f.dbedit_Realname->Enabled());
  EXPECT_FALSE(f.dbgrid_Lookup->Enabled());
  Click(*f.button_Insert);
  ASSERT_GE(f.EditRecord(), 0);
  EXPECT_EQ(f.Table().Number(f.EditRecord(), TAddressTable::kId), 1) << "Insert on an empty table";
  SetText(*f.dbedit_Realname, "Ann Smith");
  SetText(*f.dbedit_Email, "ann@example.com");
  Click(*f.button_Insert);  // stores the first
  EXPECT_EQ(TAddressTable::Open(TablePath()).Text(0, TAddressTable::kRealName), "Ann Smith");
  SetText(*f.dbedit_Realname, "Bob Jones");
  SetText(*f.dbedit_Email, "bob@example.org");
  Click(*f.button_EditPrev);  // stores the second
  EXPECT_EQ(f.dbedit_Realname->Text(), "Ann Smith");
  EXPECT_EQ(TAddressTable::Open(TablePath()).Text(1, TAddressTable::kEmail), "bob@example.org");
  Click(*f.button_EditNext);
  SetText(*f.dbedit_Realname, "Robert Jones");
  SelectTab(*f.pagectrl_Database, 0);  // a page change stores too
  EXPECT_EQ(Rows(f), (std::vector<std::string>{"Ann Smith", "Robert Jones"}));
  EXPECT_EQ(f.dbedit_Realname->MaxLength(), 150) << "no more than the field holds";
  SelectTab(*f.pagectrl_Database, 2);
  Click(*f.button_EditNext);
  Click(*f.button_EditDelete);  // marks it deleted
  Click(*f.button_Insert);
  EXPECT_EQ(f.Table().Number(f.EditRecord(), TAddressTable::kId), 3) << "an ID is never reused";
  SetText(*f.dbedit_Email, "cid@example.com");
  f.Close();
  Pump();
  EXPECT_EQ(Form3, nullptr);
  TForm3& again = Open();
  EXPECT_EQ(Rows(again), (std::vector<std::string>{"Ann Smith", ""}));
  const TAddressTable t = TAddressTable::Open(TablePath());
  ASSERT_EQ(t.RecordCount(), 3);
  EXPECT_TRUE(t.Deleted(1));
  EXPECT_EQ(t.Text(2, TAddressTable::kEmail), "cid@example.com");
}

TEST_F(AddressBook, ACorruptTableIsReportedAndLeftAlone) {
  Seed({{"Ann Smith", "ann@example.com"}});
  testsupport::Bytes bytes = testsupport::ReadExistingFile(TablePath());
  bytes[10] = 0x20;  // a record length that disagrees with the fields
  testsupport::WriteFileBytes(TablePath(), bytes);
  Click(*Form1->button_ExpertAddressbook);
  Pump();
  EXPECT_EQ(Form3, nullptr);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].Caption, "Information");
  EXPECT_EQ(shown_[0].Flags, 0u);
  EXPECT_EQ(shown_[0].Text, "The address book table " + TablePath() +
                                " cannot be opened: its record length 288 disagrees with its fields (312).");
  EXPECT_EQ(testsupport::ReadFileBytes(TablePath()), bytes);
  EXPECT_TRUE(Form1->Visible()) << "the program goes on";
}

TEST_F(AddressBook, PlacementStayOnTopAndPatchRuns) {
  TForm3& f = Open();
  EXPECT_EQ(f.Left(), 400);
  EXPECT_EQ(f.Top(), 400);
  EXPECT_EQ(Form1->rdgrp_OptionAddressBookWindowPos->ItemIndex(), 0);
  Click(*f.chkbox_WindowOnTop);
  EXPECT_TRUE(GetWindowLongPtrA(f.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  Click(*f.chkbox_WindowOnTop);
  EXPECT_FALSE(GetWindowLongPtrA(f.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  HideAddressBookForRun();
  EXPECT_FALSE(f.Visible());
  RestoreAddressBookAfterRun();
  EXPECT_TRUE(f.Visible());
  // Hidden before the run, it stays hidden after it.
  f.Hide();
  HideAddressBookForRun();
  RestoreAddressBookAfterRun();
  EXPECT_FALSE(f.Visible());
  // Stored where it was closed, with the mode of the options page.
  Click(*Form1->rdgrp_OptionAddressBookWindowPos->Button(2));
  Click(*Form1->button_ExpertAddressbook);  // back to the front
  f.SetBounds(123, 77, f.Width(), f.Height());
  f.Close();
  Pump();
  TForm3& again = Open();
  EXPECT_EQ(again.Left(), 123);
  EXPECT_EQ(again.Top(), 77);
}

}  // namespace

int main(int argc, char** argv) {
  TShellControlsSession shell;
  return RunGuiTests(argc, argv, RegisterBuilderClasses);
}
