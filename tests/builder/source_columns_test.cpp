// The main window's further source columns as a model: adding, removing and renumbering by
// Tag, the restored count and the layout numbers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "builder/source_columns.h"

namespace {

// A column's control as the lists see it: a Tag and a name that follows it around.
struct Column {
  std::string Name;
  int tag = 0;
  int Tag() const { return tag; }
  void SetTag(int t) { tag = t; }
};

class SourceColumns : public ::testing::Test {
 protected:
  Column* Make(const std::string& name) {
    owned_.push_back(std::make_unique<Column>(Column{name}));
    return owned_.back().get();
  }
  // "name:tag" of each column in list order.
  static std::string Show(const std::vector<Column*>& list) {
    std::string s;
    for (const Column* c : list) s += (s.empty() ? "" : " ") + c->Name + ":" + std::to_string(c->Tag());
    return s;
  }
  std::vector<Column*> list;

 private:
  std::vector<std::unique_ptr<Column>> owned_;
};

TEST_F(SourceColumns, AddingAfterAColumnMovesTheLaterOnesUpInTagOrder) {
  InsertSourceColumn(list, 1, Make("a"));  // ticked on the first column
  InsertSourceColumn(list, 2, Make("b"));  // on a
  EXPECT_EQ(Show(list), "a:2 b:3");
  InsertSourceColumn(list, 1, Make("c"));  // on the first column again: c comes before a
  EXPECT_EQ(Show(list), "c:2 a:3 b:4");
  InsertSourceColumn(list, 3, Make("d"));  // between a and b
  EXPECT_EQ(Show(list), "c:2 a:3 d:4 b:5");
  InsertSourceColumn(list, 5, Make("e"));  // after the last
  EXPECT_EQ(Show(list), "c:2 a:3 d:4 b:5 e:6");
}

TEST_F(SourceColumns, RemovingTheFollowingColumnMovesTheLaterOnesDown) {
  for (const char* n : {"a", "b", "c", "d"}) InsertSourceColumn(list, int(list.size()) + 1, Make(n));
  ASSERT_EQ(Show(list), "a:2 b:3 c:4 d:5");
  // Unticking the first extra column's box removes the third column.
  Column* gone = RemoveSourceColumn(list, 2);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->Name, "b");
  EXPECT_EQ(Show(list), "a:2 c:3 d:4");
  Column* first = RemoveSourceColumn(list, 1);         // the first column's box
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Name, "a");
  EXPECT_EQ(Show(list), "c:2 d:3");
  Column* last = RemoveSourceColumn(list, 2);          // the last one
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->Name, "d");
  EXPECT_EQ(Show(list), "c:2");
  EXPECT_EQ(RemoveSourceColumn(list, 2), nullptr);    // nothing follows the last column
  EXPECT_EQ(Show(list), "c:2");
}

TEST(RestoredSourceCount, IsClampedToTheRequestLimit) {
  const std::pair<int, int> cases[] = {{-5, 0}, {0, 0}, {1, 1}, {3, 3}, {19, 19}, {20, 19}, {100000, 19}};
  for (auto [stored, count] : cases) EXPECT_EQ(RestoredSourceCount(stored), count) << stored;
}

TEST(ColumnLayout, ExpertColumnsNarrowOnceThereAreExtras) {
  struct Case {
    int tag, sources;
    int left, listWidth, comboWidth, listHeight, checkTop;
    bool ticked;
    int comboTab;
  } cases[] = {
      {1, 1, 8, 284, 257, 228, 279, false, 0},   // one source: wide columns 300 apart
      {2, 1, 308, 284, 257, 228, 279, false, 3}, // its target
      {1, 3, 8, 188, 159, 213, 264, true, 0},    // with extras: 197 apart, shorter lists
      {2, 3, 205, 188, 159, 213, 264, true, 3},
      {3, 3, 402, 188, 159, 213, 264, false, 6}, // the last source's box is unticked
      {4, 3, 599, 188, 159, 213, 264, false, 9}, // the target
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("column " + std::to_string(c.tag) + " of " + std::to_string(c.sources));
    TColumnPlace p = ExpertColumnPlace(c.tag, c.sources, 8, 300);
    EXPECT_EQ(p.Left, c.left);
    EXPECT_EQ(p.ListWidth, c.listWidth);
    EXPECT_EQ(p.ComboWidth, c.comboWidth);
    EXPECT_EQ(p.ListHeight, c.listHeight);
    EXPECT_EQ(p.CheckTop, c.checkTop);
    EXPECT_EQ(p.Ticked, c.ticked);
    EXPECT_EQ(p.ComboTab, c.comboTab);
    EXPECT_EQ(p.ListTab, c.comboTab + 1);
    EXPECT_EQ(p.CheckTab, c.comboTab + 2);
  }
  TColumnPlace w = WizardColumnPlace(3, 10);
  EXPECT_EQ(w.Left, 10 + 2 * 194);
  EXPECT_EQ(w.ListWidth, 173);
  EXPECT_EQ(w.ComboWidth, 144);
  EXPECT_EQ(w.CheckWidth, 190);  // up to the next column
}

}  // namespace
