#include <gtest/gtest.h>

#include "framework/testing/gui_test.h"
#include "framework/win/firewall.h"
#include "framework/win/thread.h"
#include "test_forms.h"

namespace {

class Firewall : public TGuiTest {};

// A control whose painting fails.
class TBrokenPaint : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    throw Exception("Paint failed");
  }
};

TEST_F(Firewall, AnExceptionInAClickHandlerIsShownAndTheProgramGoesOn) {
  auto* f = MakeForm<TTestMainForm>();
  f->Show();
  int clicks = 0;
  f->button_Ok->OnClick = TNotifyEvent([&](TObject*) {
    if (++clicks == 1) throw Exception("Disk full");
  });
  Boxes.Expect("Disk full.", IDOK);
  Click(*f->button_Ok);
  Click(*f->button_Ok);  // still alive, still working
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(Boxes.Shown().size(), 1u);
  EXPECT_EQ(Boxes.Shown()[0].Text, "Disk full.");
  EXPECT_EQ(Boxes.Shown()[0].Caption, "Framework Tests");
  EXPECT_EQ(Boxes.Shown()[0].Flags, UINT(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(Exceptions.Take(), std::vector<std::string>{"Disk full"});
}

TEST_F(Firewall, TheDisplayAddsOneFullStopAndKnowsEveryKindOfException) {
  auto* f = MakeForm<TTestMainForm>();
  f->Show();
  int kind = 0;
  f->button_Ok->OnClick = TNotifyEvent([&](TObject*) {
    switch (kind) {
      case 0:
        throw Exception("Already a sentence.");
      case 1:
        throw std::runtime_error("from the library");
      case 2:
        throw 42;
      default:
        throw EAbort();  // silent
    }
  });
  Boxes.Expect("Already a sentence.", IDOK);
  Boxes.Expect("from the library.", IDOK);
  Boxes.Expect("Unknown exception.", IDOK);
  for (kind = 0; kind < 4; ++kind) Click(*f->button_Ok);
  ASSERT_EQ(Boxes.Shown().size(), 3u);
  EXPECT_EQ(Boxes.Shown()[0].Text, "Already a sentence.");
  EXPECT_EQ(Exceptions.Take().size(), 4u);
}

TEST_F(Firewall, OnExceptionTakesOverAndItsOwnFailureGetsThePlainDisplay) {
  auto* f = MakeForm<TTestMainForm>();
  f->Show();
  f->button_Ok->OnClick = TNotifyEvent([](TObject*) { throw Exception("Handled elsewhere"); });
  std::vector<std::string> handled;
  bool failHandler = false;
  Application->OnException = TExceptionEvent([&](TObject* sender, const Exception& e) {
    // The click arrives as a notification in its parent's window procedure.
    handled.push_back(e.Message() + (sender == f->panel_Bottom ? " in the panel" : ""));
    if (failHandler) throw Exception("Handler broke");
  });
  Click(*f->button_Ok);
  EXPECT_TRUE(Boxes.Shown().empty());
  failHandler = true;
  Boxes.Expect("Handler broke.", IDOK);
  Click(*f->button_Ok);
  Application->OnException = TExceptionEvent();
  EXPECT_EQ(handled, (std::vector<std::string>{"Handled elsewhere in the panel", "Handled elsewhere in the panel"}));
  Exceptions.Take();
}

TEST_F(Firewall, APaintThatThrowsIsShownOnceAndValidatesItsArea) {
  auto* f = MakeForm<TTestMainForm>();
  auto* broken = new TBrokenPaint(f);
  broken->SetBounds(300, 250, 50, 30);
  broken->SetParent(f);
  Boxes.Expect("Paint failed.", IDOK);
  f->Show();
  PumpUntil([&] { return broken->paints > 0; });
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(broken->paints, 1);  // no endless WM_PAINT
  EXPECT_EQ(Exceptions.Take(), std::vector<std::string>{"Paint failed"});
}

TEST_F(Firewall, ATimerThatThrowsIsShownAndKeepsRunning) {
  auto* f = MakeForm<TTestMainForm>();
  int ticks = 0;
  f->timer_Tick->OnTimer = TNotifyEvent([&](TObject*) {
    if (++ticks == 1) throw Exception("Tick failed");
  });
  Boxes.Expect("Tick failed.", IDOK);
  f->timer_Tick->SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }));
  f->timer_Tick->SetEnabled(false);
  EXPECT_EQ(Exceptions.Take(), std::vector<std::string>{"Tick failed"});
}

TEST_F(Firewall, AnEnumerationCallbackStopsAndItsExceptionReachesTheCaller) {
  auto* f = MakeForm<TTestMainForm>();
  int visited = 0;
  EXPECT_THROW(ForEachChildWindow(f->Handle(),
                                  [&](HWND) -> bool {
                                    ++visited;
                                    throw EListError("stop here");
                                  }),
               EListError);
  EXPECT_EQ(visited, 1);
  EXPECT_TRUE(Exceptions.Take().empty());  // it never passed through HandleException
}

TEST_F(Firewall, ASynchronizeStepThatThrowsFailsInTheWorker) {
  struct TWorker : TThread {
    std::string caught;
    void Execute() override {
      try {
        Synchronize([] { throw Exception("Stub missing"); });
      } catch (const Exception& e) {
        caught = e.Message();
      }
      Synchronize([] { throw Exception("Escapes Execute"); });
    }
  } worker;
  worker.Start();
  worker.WaitFor();
  EXPECT_EQ(worker.caught, "Stub missing");
  ASSERT_TRUE(worker.FatalException());
  try {
    std::rethrow_exception(worker.FatalException());
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Escapes Execute");
  }
  EXPECT_TRUE(Exceptions.Take().empty());
}

}  // namespace
