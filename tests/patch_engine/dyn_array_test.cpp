// The growable pointer array: growth, order, removal, and its fatal exits.
#include <gtest/gtest.h>

#include <cstdio>

#include "patch_engine/dyn_array.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
void* P(intptr_t v) { return reinterpret_cast<void*>(v); }

// The fatal messages go to standard output; death tests read standard error.
void StdoutToStderr() {
  std::fflush(stdout);
  dup2(2, 1);
}
}  // namespace

TEST(DynArray, GrowsInStepsAndNeverShrinksCapacity) {
  DynArray a;
  EXPECT_EQ(a.Capacity(), 0u);
  EXPECT_EQ(a.Get(0), nullptr);  // no block yet
  a.SetCount(1);
  EXPECT_EQ(a.Capacity(), 1001u);
  a.SetCount(1001);
  EXPECT_EQ(a.Capacity(), 1001u);
  a.SetCount(1002);
  EXPECT_EQ(a.Capacity(), 2002u);
  a.Clear();
  EXPECT_EQ(a.Count(), 0u);
  EXPECT_EQ(a.Capacity(), 2002u);
  a.SetCount(5);
  EXPECT_EQ(a.Capacity(), 2002u);
  DynArray b(3);
  EXPECT_EQ(b.Count(), 3u);
  EXPECT_EQ(b.Capacity(), 1003u);
}

TEST(DynArray, InsertAddRemoveKeepOrder) {
  DynArray a;
  a.Add(P(2), 2);
  a.Add(P(1), 1);
  a.Insert(P(3), a.Count());  // at count: appends
  a << P(4);
  ASSERT_EQ(a.Count(), 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(a.Get(i), P(i + 1));
  EXPECT_EQ(a.Get(4), nullptr);
  a.Insert(P(9), 2);
  EXPECT_EQ(a.Get(2), P(9));
  EXPECT_EQ(a.Get(3), P(3));
  EXPECT_EQ(a.IndexOf(P(9)), 2);
  EXPECT_EQ(a.IndexOf(P(77)), -1);
  EXPECT_EQ(a.RemoveAt(2), P(9));
  EXPECT_EQ(a.IndexOf(P(9)), -1);

  DynArray abc;
  abc << P('a') << P('b') << P('c');
  EXPECT_EQ(abc.Remove(1), P('a'));
  EXPECT_EQ(abc.Get(0), P('b'));
  EXPECT_EQ(abc.Count(), 2u);
  abc << P('c');
  EXPECT_EQ(abc.Remove(2), P('c'));
  void* out = nullptr;
  abc >> out;
  EXPECT_EQ(out, P('c'));
  EXPECT_EQ(abc.Count(), 1u);
}

TEST(DynArray, OutOfRangeOperationsChangeNothing) {
  DynArray empty;
  EXPECT_EQ(empty.RemoveAt(0), nullptr);
  EXPECT_EQ(empty.Remove(1), nullptr);
  EXPECT_EQ(empty.Remove(2), nullptr);
  DynArray a;
  a << P(1) << P(2);
  EXPECT_EQ(a.RemoveAt(2), nullptr);
  EXPECT_EQ(a.RemoveAt(1000), nullptr);
  EXPECT_EQ(a.Count(), 2u);
  a.Swap(0, 2);
  EXPECT_EQ(a.Get(0), P(1));
  a.Swap(0, 1);
  EXPECT_EQ(a.Get(0), P(2));
  EXPECT_EQ(a.Get(1), P(1));
}

TEST(DynArrayDeathTest, InsertPastTheEndEndsTheProcess) {
  DynArray a;
  a << P(1);
  EXPECT_EXIT(
      {
        StdoutToStderr();
        a.Insert(P(2), 2);
      },
      testing::ExitedWithCode(1), "DynArray: Illegaler Versuch nach dem Ende des Arrays einzufuegen!");
}

TEST(DynArrayDeathTest, GrowthWithoutMemoryEndsTheProcess) {
  DynArray a;
  EXPECT_EXIT(
      {
        StdoutToStderr();
        a.SetCount(0xFFFFFF00u);
      },
      testing::ExitedWithCode(1), "DynArray: Kein Speicher, um auf 4294967040 Elemente zu erweitern!");
}
