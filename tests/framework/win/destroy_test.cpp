#include <gtest/gtest.h>

#include "framework/testing/gui_test.h"
#include "test_forms.h"

namespace {

class Destruction : public TGuiTest {};

// Item data the lists own.
struct TItemData : TObject {
  explicit TItemData(int& live) : live_(live) { ++live_; }
  ~TItemData() override { --live_; }
  int& live_;
};

// A list box that frees its item data when the window deletes an item. The deletion must
// reach this override with the object whole, also while it is being freed.
class TOwningListBox : public TListBox {
 public:
  using TListBox::TListBox;
  std::vector<std::string>* log = nullptr;
  virtual std::string Kind() const { return "owning list"; }

 protected:
  void DeleteItem(int index, TObject* data) override {
    log->push_back(Kind() + " frees " + std::to_string(index));
    delete data;
  }
};

class TOwningComboBox : public TComboBox {
 public:
  using TComboBox::TComboBox;
  int freed = 0;

 protected:
  void DeleteItem(int, TObject* data) override {
    ++freed;
    delete data;
  }
};

TEST_F(Destruction, FreeingTheFormDeletesItemsWithTheListAlive) {
  int live = 0;
  std::vector<std::string> log;
  auto* f = MakeForm<TTestMainForm>();
  auto* list = new TOwningListBox(f);
  list->log = &log;
  list->SetParent(f);
  for (int i = 0; i < 3; ++i) list->Items().AddObject("item", new TItemData(live));
  f->Show();
  list->SetSorted(true);  // a recreate keeps the items and their data
  EXPECT_EQ(live, 3);
  EXPECT_TRUE(log.empty());
  list->Items().Delete(1);
  EXPECT_EQ(live, 2);

  bool exitFired = false;
  f->edit_Name->OnExit = TNotifyEvent([&](TObject*) { exitFired = true; });
  f->edit_Name->SetFocus();
  std::vector<std::string> order;
  f->OnDestroy = TNotifyEvent([&](TObject*) { order.push_back("destroy with " + std::to_string(live) + " items"); });
  f->Free();
  EXPECT_EQ(live, 0);
  ASSERT_EQ(log.size(), 3u);  // every deletion reached the derived override
  for (const std::string& entry : log) EXPECT_EQ(entry.rfind("owning list frees ", 0), 0u) << entry;
  EXPECT_EQ(order, std::vector<std::string>{"destroy with 2 items"});  // OnDestroy first
  EXPECT_FALSE(exitFired);  // no user events while destroying
}

TEST_F(Destruction, AComboBoxFreesItsItemsOnceWhenFreedAlone) {
  int live = 0;
  auto* f = MakeForm<TTestMainForm>();
  auto* combo = new TOwningComboBox(f);
  combo->SetParent(f->panel_Bottom);
  f->Show();
  for (int i = 0; i < 4; ++i) combo->Items().AddObject("item", new TItemData(live));
  combo->SetStyle(TComboBoxStyle::csDropDownList);  // recreated: nothing freed
  EXPECT_EQ(combo->freed, 0);
  EXPECT_EQ(combo->Items().Count(), 4);
  f->panel_Bottom->Free();  // a parent frees its child controls, whoever owns them
  EXPECT_EQ(live, 0);
  EXPECT_EQ(f->FindComponent("button_Ok"), nullptr);
  EXPECT_TRUE(f->panel_Top->Visible());
}

}  // namespace
