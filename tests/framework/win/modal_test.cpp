#include <gtest/gtest.h>

#include "framework/testing/gui_test.h"
#include "test_forms.h"

namespace {

class Modal : public TGuiTest {};

void PostClick(TButton* b) { PostMessageA(b->Handle(), BM_CLICK, 0, 0); }

TEST_F(Modal, ButtonResultEndsTheLoopAndTheOtherWindowsComeBack) {
  auto* owner = MakeForm<TTestMainForm>();
  owner->Show();
  auto* f = MakeForm<TTestMainForm>();
  f->SetName("Dialog");
  bool ownerDisabled = false;
  f->OnShow = TNotifyEvent([&](TObject*) { PostClick(f->button_Ok); });
  f->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool&) { ownerDisabled = !IsWindowEnabled(owner->Handle()); });
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(IsWindowVisible(f->Handle()));
  EXPECT_EQ(f->Events, (std::vector<std::string>{"create", "ok"}));
  EXPECT_THROW({ f->Show(); f->ShowModal(); }, EInvalidOperation);  // a visible form cannot go modal
}

// The whole installation runs inside a main form's OnShow: modal loops nest.
TEST_F(Modal, ModalLoopsNestInsideOnShowAndCloseGivesCancel) {
  auto* outer = MakeForm<TTestMainForm>();
  auto* inner = MakeForm<TTestMainForm>();
  inner->SetName("Inner");
  std::vector<std::string> order;
  outer->OnShow = TNotifyEvent([&](TObject*) {
    order.push_back("outer shown");
    inner->OnShow = TNotifyEvent([&](TObject*) { PostMessageA(inner->Handle(), WM_CLOSE, 0, 0); });
    order.push_back("inner " + std::to_string(inner->ShowModal()));
    PostClick(outer->button_Cancel);
  });
  order.push_back("outer " + std::to_string(outer->ShowModal()));
  EXPECT_EQ(order, (std::vector<std::string>{"outer shown", "inner 2", "outer 2"}));
}

TEST_F(Modal, CloseQueryAndOnCloseCanKeepTheDialogUp) {
  auto* f = MakeForm<TTestMainForm>();
  int queries = 0, closes = 0;
  f->OnShow = TNotifyEvent([&](TObject*) { PostClick(f->button_Ok); });
  f->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool& canClose) {
    canClose = ++queries > 1;
    if (!canClose) PostClick(f->button_Cancel);  // refused: the loop goes on
  });
  f->OnClose = TCloseEvent([&](TObject*, TCloseAction& action) {
    EXPECT_EQ(action, TCloseAction::caHide);
    if (++closes == 1) {
      action = TCloseAction::caNone;
      PostMessageA(f->Handle(), WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_EQ(queries, 3);
  EXPECT_EQ(closes, 2);
}

// A page hosted in a modal container: its button's result goes to the page, not to the
// container, so the container stays up until its own button ends it.
TEST_F(Modal, ModalResultGoesToTheButtonsOwnNearestForm) {
  auto* host = new TForm(Application);
  Track(host);
  host->SetName("Host");
  host->SetClientWidth(560);
  host->SetClientHeight(430);
  auto* finish = new TButton(host);
  finish->SetParent(host);
  finish->SetModalResult(mrAbort);
  auto* page = MakeForm<TTestMainForm>();
  page->SetName("Page");
  page->SetParent(host);
  page->SetTop(40);
  page->Show();
  EXPECT_TRUE(page->Hosted());
  EXPECT_TRUE(GetWindowLongA(page->Handle(), GWL_STYLE) & WS_CHILD);
  TModalResult hostAfterPageClick = -1;
  host->OnShow = TNotifyEvent([&](TObject*) { PostClick(page->button_Ok); });
  page->button_Ok->OnClick = TNotifyEvent([&](TObject*) {
    hostAfterPageClick = host->ModalResult();
    PostClick(finish);
  });
  EXPECT_EQ(host->ShowModal(), mrAbort);
  EXPECT_EQ(hostAfterPageClick, mrNone);
  EXPECT_EQ(page->ModalResult(), mrOk);
}

TEST_F(Modal, CloseOfAModelessFormAsksThenActs) {
  auto* f = MakeForm<TTestMainForm>();
  f->Show();
  std::vector<std::string> order;
  TCloseAction action = TCloseAction::caHide;
  f->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool&) { order.push_back("query"); });
  f->OnClose = TCloseEvent([&](TObject*, TCloseAction& a) {
    order.push_back("close");
    a = action;
  });
  f->Close();
  EXPECT_EQ(order, (std::vector<std::string>{"query", "close"}));
  EXPECT_FALSE(f->Visible());
  f->Show();
  bool destroyed = false;
  f->OnDestroy = TNotifyEvent([&](TObject*) { destroyed = true; });
  action = TCloseAction::caFree;
  f->Close();  // freed once the message loop runs again, not inside Close
  EXPECT_FALSE(destroyed);
  EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
}

}  // namespace
