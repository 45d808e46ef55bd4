#include <gtest/gtest.h>

#include <algorithm>

#include "framework/core/object.h"
#include "test_classes.h"

namespace {

// A component that frees a sibling when it hears that another one went, and records what
// it was told.
class TWatcher : public TComponent {
  FW_CLASS(TWatcher, TComponent)
 public:
  using TComponent::TComponent;
  TComponent* victim = nullptr;
  std::vector<std::string> heard;
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) {
      heard.push_back(c->Name());
      if (victim && c != victim) {
        TComponent* v = victim;
        victim = nullptr;
        v->Free();
      }
    }
  }
};
const TClassInfo& TWatcher::StaticClass() {
  static const TClassInfo info{"TWatcher", &TComponent::StaticClass(), Factory<TWatcher>(), {}};
  return info;
}

class ObjectModel : public ::testing::Test {
 protected:
  void SetUp() override { Log().clear(); }
};

TEST_F(ObjectModel, OwnerFreesLastFirstAndNamesAreUniqueIgnoringCase) {
  TOwned<TTestItem> root(new TTestItem(nullptr));
  auto* a = new TTestItem(root.get());
  auto* b = new TTestItem(root.get());
  a->SetName("Alpha");
  b->SetName("Beta");
  b->SetTag(7);
  EXPECT_EQ(root->FindComponent("ALPHA"), a);
  EXPECT_EQ(root->FindComponent("gamma"), nullptr);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_THROW(b->SetName("alpha"), EComponentError);
  EXPECT_THROW(b->SetName("9lives"), EComponentError);
  EXPECT_EQ(b->Name(), "Beta");
  Log().clear();
  root.reset();
  EXPECT_EQ(Log(), (std::vector<std::string>{"destroy Beta", "destroy Alpha", "destroy "}));
}

TEST_F(ObjectModel, FreeingAParentFreesItsChildrenAndLeavesTheOwner) {
  TOwned<TComponent> root(new TComponent(nullptr));
  auto* parent = new TTestItem(root.get());
  auto* child = new TTestItem(parent);
  parent->Free();
  (void)child;
  EXPECT_EQ(root->ComponentCount(), 0);
}

TEST_F(ObjectModel, NotificationWalkSurvivesSiblingsFreeingSiblings) {
  TOwned<TComponent> root(new TComponent(nullptr));
  auto* w = new TWatcher(root.get());
  auto* x = new TTestItem(root.get());
  auto* y = new TTestItem(root.get());
  x->SetName("X");
  y->SetName("Y");
  w->SetName("W");
  w->victim = y;
  x->Free();  // W hears of X and frees Y in the middle of the walk
  EXPECT_EQ(root->ComponentCount(), 1);
  EXPECT_EQ(w->heard, (std::vector<std::string>{"X", "Y"}));
}

TEST_F(ObjectModel, LinksAndFreeNotificationWorkAcrossOwners) {
  TOwned<TComponent> ownerA(new TComponent(nullptr)), ownerB(new TComponent(nullptr));
  auto* holder = new TTestItem(ownerA.get());
  auto* target = new TTestItem(ownerB.get());
  auto* watcher = new TWatcher(ownerA.get());
  holder->Buddy = target;
  watcher->FreeNotification(target);
  target->SetName("T");
  target->Free();
  EXPECT_FALSE(holder->Buddy);
  EXPECT_EQ(watcher->heard, std::vector<std::string>{"T"});
  // A watcher that went first is not told later.
  auto* t2 = new TTestItem(ownerB.get());
  auto* w2 = new TWatcher(ownerA.get());
  w2->FreeNotification(t2);
  w2->Free();
  t2->Free();
}

TEST_F(ObjectModel, ReleaseLaterDuringAWalkFreesAfterIt) {
  TOwned<TComponent> root(new TComponent(nullptr));
  struct TSelfRelease : TWatcher {
    using TWatcher::TWatcher;
    void Notification(TComponent* c, TOperation op) override {
      TWatcher::Notification(c, op);
      if (op == opRemove) ReleaseLater();
    }
  };
  auto* r = new TSelfRelease(root.get());
  r->SetName("R");
  auto* x = new TTestItem(root.get());
  x->Free();
  EXPECT_EQ(root->ComponentCount(), 0);
}

TEST_F(ObjectModel, InsertAndRemoveComponentMoveOwnership) {
  TOwned<TComponent> a(new TComponent(nullptr)), b(new TComponent(nullptr));
  auto* w = new TWatcher(a.get());
  auto* x = new TTestItem(a.get());
  x->SetName("X");
  b->InsertComponent(x);
  EXPECT_EQ(x->Owner(), b.get());
  EXPECT_EQ(a->ComponentCount(), 1);
  auto* y = new TTestItem(a.get());
  y->SetName("x");
  EXPECT_THROW(b->InsertComponent(y), EComponentError);  // name taken in the new owner
  EXPECT_EQ(y->Owner(), a.get());
  (void)w;
}

TEST_F(ObjectModel, ClassRegistryCreatesByNameAndAnswersInheritance) {
  UnregisterAllClasses();
  RegisterTestClasses();
  RegisterTestClasses();  // the same class again is harmless
  static const TClassInfo impostor{"TTestItem", &TComponent::StaticClass(), nullptr, {}};
  EXPECT_THROW(RegisterClass(impostor), EComponentError);
  const TClassInfo* cls = FindClass("ttestform");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(FindClass("TNothing"), nullptr);
  EXPECT_TRUE(cls->InheritsFrom(TTestItem::StaticClass()));
  EXPECT_FALSE(TTestItem::StaticClass().InheritsFrom(*cls));
  TOwned<TComponent> root(new TComponent(nullptr));
  TComponent* made = cls->Create(root.get());
  EXPECT_EQ(made->Owner(), root.get());
  EXPECT_EQ(made->ClassName(), "TTestForm");
  EXPECT_TRUE(Is<TTestItem>(made));
  EXPECT_THROW(As<TWatcher>(made), EInvalidCast);
  EXPECT_THROW(TStrings::StaticClass().Create(nullptr), EComponentError);
  // Inherited properties are found and listed base first.
  EXPECT_NE(cls->FindProp("tag"), nullptr);
  auto all = cls->AllProps();
  EXPECT_EQ(all.front()->Name, "Name");
  EXPECT_EQ(all.back()->Name, "OnClick");
}

TEST_F(ObjectModel, AssignWithoutSupportNamesBothClasses) {
  TStringList list;
  TTestFont font;
  try {
    font.Assign(list);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TStringList to a TTestFont");
  }
}

TEST_F(ObjectModel, EventsAreValuesThatCanBeSavedAndRestored) {
  int hits = 0;
  TCloseQueryEvent ev([&](TObject*, bool& can) {
    ++hits;
    can = false;
  }, "FormCloseQuery");
  TCloseQueryEvent saved = ev;
  ev = TCloseQueryEvent();
  bool can = true;
  ev(nullptr, can);  // empty: nothing happens
  EXPECT_TRUE(can);
  ev = saved;
  ev(nullptr, can);
  EXPECT_FALSE(can);
  EXPECT_EQ(hits, 1);
  EXPECT_EQ(ev.HandlerName(), "FormCloseQuery");
}

// A copy takes every stored value, the nested object's own (its "Name" too), list items,
// references and handlers, and leaves the component's Name, the names excepted and what the
// source does not store.
TEST_F(ObjectModel, CopyPropertiesTakesValuesNestedListsReferencesAndHandlers) {
  TOwned<TTestItem> root(new TTestItem(nullptr));
  auto* src = new TTestItem(root.get());
  auto* buddy = new TTestItem(root.get());
  auto* dst = new TTestItem(root.get());
  src->SetName("Source");
  dst->SetName("Copy");
  src->SetTag(4);
  src->SetCaption("Activate");
  src->Checked = true;
  src->Shape = TShape::shTriangle;
  src->Data = {1, 2, 3};
  src->Font.FaceName = "Courier";
  src->Font.Size = 12;
  src->Items.Add("one");
  src->Items.Add("two");
  src->Buddy = buddy;
  int clicks = 0;
  src->OnClick = TNotifyEvent([&](TObject*) { ++clicks; }, "SourceClick");
  dst->Width = 99;  // the source stores no width of its default: the copy keeps its own
  CopyProperties(*src, *dst, {"checked"});
  EXPECT_EQ(dst->Name(), "Copy");
  EXPECT_EQ(dst->Tag(), 4);
  EXPECT_EQ(dst->Caption, "Activate");
  EXPECT_FALSE(dst->Checked);
  EXPECT_EQ(dst->Shape, TShape::shTriangle);
  EXPECT_EQ(dst->Data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(dst->Font.FaceName, "Courier");
  EXPECT_EQ(dst->Font.Size, 12);
  EXPECT_EQ(dst->Items.Text(), src->Items.Text());
  EXPECT_EQ(dst->Buddy.Get(), buddy);
  EXPECT_EQ(dst->Width, 99);
  dst->OnClick(dst);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(dst->OnClick.HandlerName(), "SourceClick");
  EXPECT_THROW(CopyProperties(*src, *new TTestLeaf(root.get())), EConvertError);
}

}  // namespace
