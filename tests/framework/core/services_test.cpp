#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "framework/core/clock.h"
#include "framework/core/lists.h"
#include "framework/core/work_control.h"
#include "test_classes.h"

namespace {

struct TCounted : TObject {
  explicit TCounted(int& live) : live_(live) { ++live_; }
  ~TCounted() override { --live_; }
  int& live_;
};

TEST(Lists, FreeListFreesWhatLeavesExceptExtracted) {
  int live = 0;
  Log().clear();
  TCounted* kept = nullptr;
  {
    TFreeList list;
    for (int i = 0; i < 4; ++i) list.Add(new TCounted(live));
    auto* comp = new TTestItem(nullptr);  // a component goes through Free()
    comp->SetName("C");
    list.Add(comp);
    kept = static_cast<TCounted*>(list.Extract(list[0]));
    list.Delete(0);
    EXPECT_EQ(live, 3);
    list.Put(0, new TCounted(live));
    EXPECT_EQ(live, 3);
    EXPECT_THROW(list.Items(5), EListError);
    EXPECT_EQ(list.Count(), 3);
  }
  EXPECT_EQ(live, 1);
  EXPECT_EQ(Log().back(), "destroy C");
  delete kept;

  TList refs;  // a plain list only refers
  TCounted a(live), b(live);
  refs.Add(&b);
  refs.Add(&a);
  refs.Insert(0, &a);
  refs.Move(0, 2);
  EXPECT_EQ(refs.IndexOf(&a), 1);
  EXPECT_EQ(refs.Last(), &a);
  refs.Clear();
  EXPECT_EQ(live, 2);
  EXPECT_TRUE(Is<TList>(static_cast<TObject*>(&refs)));
}

TEST(WorkControl, PauseHoldsTheWorkerAndCancelUnwindsIt) {
  TWorkControl control;
  std::atomic<int> steps{0};
  std::atomic<bool> cancelled{false};
  control.Pause();
  std::thread worker([&] {
    try {
      for (;;) {
        control.CheckPoint();
        ++steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    } catch (const ECancelled&) {
      cancelled = true;
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(steps, 0);  // paused from the start
  control.Resume();
  while (steps < 5) std::this_thread::yield();
  control.Pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  int held = steps;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_LE(steps - held, 1);
  control.Cancel();  // wakes the paused worker, which throws
  worker.join();
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(control.Cancelled());
  control.Reset();
  EXPECT_NO_THROW(control.CheckPoint());
}

TEST(Clock, TicksComeFromTheInstalledSource) {
  uint32_t now = 1000;
  TTickSource old = SetTickSource([&] { return now; });
  EXPECT_EQ(TickCount(), 1000u);
  now = 0xFFFFFFF0u;
  EXPECT_EQ(TickCount() - 1000u, 0xFFFFFC08u);
  SetTickSource(old);
  uint32_t a = TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(TickCount() - a, 15u);
}

}  // namespace
