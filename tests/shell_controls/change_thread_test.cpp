// The change-notification thread alone, over real directory change handles.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/testing/gui_test.h"
#include "framework/win/forms.h"
#include "shell_controls/change_thread_win32.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ScratchDir;

constexpr UINT kChanged = 0x465;

// A window that counts the thread's messages and keeps their slots.
class TCounter : public TForm {
 public:
  using TForm::TForm;
  int changes = 0;
  std::vector<int> slots;
  void WndProc(TMessage& m) override {
    if (m.Msg == kChanged) {
      ++changes;
      slots.push_back(int(m.WParam));
      return;
    }
    TForm::WndProc(m);
  }
};

class ChangeThread : public TGuiTest {
 protected:
  TCounter* MakeCounter() {
    auto* c = new TCounter(Application);
    Track(c);
    c->HandleNeeded();
    return c;
  }
  // The messages that arrive within ms.
  int ChangesWithin(TCounter& c, int ms) {
    int before = c.changes;
    PumpUntil([&] { return false; }, ms);
    return c.changes - before;
  }
};

bool MakeFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

TEST_F(ChangeThread, ChangesArriveRenamesKeepFiringAndCloseAllEndsThem) {
  ScratchDir dir("qchg");
  TCounter* c = MakeCounter();
  auto t = std::make_unique<TChangeHandlerThread>(c->Handle(), kChanged);
  int slot = -2;
  EXPECT_FALSE(t->AddWatch("", 3, slot, false));
  EXPECT_EQ(slot, -1);
  EXPECT_FALSE(t->AddWatch(dir.Path("missing"), 3, slot, false));
  ASSERT_TRUE(t->AddWatch(dir.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, slot, false));
  EXPECT_EQ(slot, 0);

  ASSERT_TRUE(MakeFile(dir.Path("a.txt")));
  EXPECT_TRUE(PumpUntil([&] { return c->changes > 0; }, 2000)) << "no message within 2 s";
  for (const char* name : {"b.txt", "c.txt", "d.txt"}) {
    SCOPED_TRACE(name);
    PumpUntil([&] { return false; }, 200);  // let the last change settle
    int before = c->changes;
    std::string from = dir.Path(std::string(1, char(name[0] - 1)) + ".txt");
    ASSERT_TRUE(MoveFileA(from.c_str(), dir.Path(name).c_str()));
    EXPECT_TRUE(PumpUntil([&] { return c->changes > before; }, 2000)) << "the handle stopped firing";
  }

  // A second watch takes the next slot; closing it alone leaves the first.
  ScratchDir other("qchg");
  ASSERT_TRUE(t->AddWatch(other.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false));
  EXPECT_EQ(slot, 1);
  EXPECT_TRUE(t->CloseWatch(1));
  PumpUntil([&] { return false; }, 200);
  ASSERT_TRUE(MakeFile(other.Path("x.txt")));
  EXPECT_EQ(ChangesWithin(*c, 700), 0);

  EXPECT_TRUE(t->CloseAll());
  PumpUntil([&] { return false; }, 200);
  ASSERT_TRUE(MakeFile(dir.Path("late.txt")));
  EXPECT_EQ(ChangesWithin(*c, 1000), 0) << "a message after close all";
}

TEST_F(ChangeThread, SixtyThreeWatchesFitAndTheSixtyFourthIsRefused) {
  ScratchDir dir("qchg");
  TCounter* c = MakeCounter();
  auto t = std::make_unique<TChangeHandlerThread>(c->Handle(), kChanged);
  int slot = -1;
  for (int i = 0; i < TChangeHandlerThread::kSlots; ++i) {
    ASSERT_TRUE(t->AddWatch(dir.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false)) << i;
    EXPECT_EQ(slot, i);
  }
  EXPECT_FALSE(t->AddWatch(dir.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false));
  EXPECT_EQ(slot, -1);
  // The full table still works, and a freed slot is taken again.
  ASSERT_TRUE(MakeFile(dir.Path("a.txt")));
  EXPECT_TRUE(PumpUntil([&] { return c->changes > 0; }, 2000));
  EXPECT_TRUE(t->CloseWatch(7));
  ASSERT_TRUE(t->AddWatch(dir.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false));
  EXPECT_EQ(slot, 7);
}

TEST_F(ChangeThread, DestroyingAThreadBlockedInItsWaitReturnsPromptly) {
  ScratchDir dir("qchg");
  TCounter* c = MakeCounter();
  for (bool watching : {false, true}) {
    SCOPED_TRACE(watching ? "watching" : "idle");
    auto t = std::make_unique<TChangeHandlerThread>(c->Handle(), kChanged);
    int slot = -1;
    if (watching) {
      ASSERT_TRUE(t->AddWatch(dir.Dir(), 3, slot, true));
    }
    Sleep(100);  // the thread sits in its wait
    DWORD start = GetTickCount();
    t.reset();
    EXPECT_LT(GetTickCount() - start, 2000u);
  }
}

// A watcher that does not answer in time: the add that timed out is still carried out once
// it runs again, and an add tried meanwhile is refused instead of taking its place.
TEST_F(ChangeThread, AnAddThatTimedOutIsNeverReplacedByTheNextOne) {
  ScratchDir first("qchga"), second("qchgb"), third("qchgc");
  TCounter* c = MakeCounter();
  auto t = std::make_unique<TChangeHandlerThread>(c->Handle(), kChanged);
  int slot = -2;
  ASSERT_TRUE(t->AddWatch(third.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false));  // running
  ASSERT_EQ(slot, 0);
  ASSERT_NE(SuspendThread(t->Handle()), DWORD(-1));
  EXPECT_FALSE(t->AddWatch(first.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false));
  EXPECT_FALSE(t->AddWatch(second.Dir(), FILE_NOTIFY_CHANGE_FILE_NAME, slot, false));
  ResumeThread(t->Handle());
  ASSERT_TRUE(t->CloseWatch(0));  // waits for the late add's reply first
  ASSERT_TRUE(MakeFile(second.Path("b.txt")));
  EXPECT_EQ(ChangesWithin(*c, 600), 0);
  ASSERT_TRUE(MakeFile(first.Path("a.txt")));
  PumpUntil([&] { return !c->slots.empty(); }, 2000);
  EXPECT_EQ(c->slots, std::vector<int>{1});  // the first add's watch, stored late
}

}  // namespace
