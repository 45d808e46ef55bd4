#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/data_module.h"
#include "setup_engine/install_file.h"
#include "setup_ui/dialog_models.h"

namespace {

using namespace setup_ui;
using P = TKestrinDialogPosition;

// Each of the nine positions on an 800 x 600 screen for a 478 x 395 form (caption 19; the
// centre is 161, 102.5 rounded to 102): the column picks left, the row top; the offsets move
// away from the edge they count from.
TEST(DialogPlacement, NinePositionsWithOffsets) {
  struct Case {
    P pos;
    int left, top;  // with offsets 10, 20
  } cases[] = {
      {P::kdpCenterLeft, 10, 102 + 20},          {P::kdpCenter, 161 + 10, 102 + 20},
      {P::kdpCenterRight, 800 - 478 - 10, 122},  {P::kdpBottomLeft, 10, 600 - 19 - 395 - 20},
      {P::kdpBottomCenter, 171, 166},            {P::kdpBottomRight, 800 - 478 - 10, 166},
      {P::kdpTopLeft, 10, 20},                   {P::kdpTopCenter, 171, 20},
      {P::kdpTopRight, 312, 20},
  };
  for (const Case& c : cases) {
    TPoint at = PlaceDialog(c.pos, 800, 600, 478, 395, 19, 10, 20);
    EXPECT_EQ(at, (TPoint{c.left, c.top})) << int(c.pos);
  }
  // Without offsets a bottom-right window ends one caption height above the screen's bottom.
  TPoint br = PlaceDialog(P::kdpBottomRight, 1024, 768, 474, 146, 19, 0, 0);
  EXPECT_EQ(br.X + 474, 1024);
  EXPECT_EQ(br.Y + 146, 768 - 19);
  // Halves are rounded to the even neighbour: 1024 / 2 - 487 / 2 = 268.5.
  EXPECT_EQ(PlaceDialog(P::kdpCenter, 1024, 768, 487, 367, 19, 0, 0), (TPoint{268, 200}));
}

// The pages a wizard shows for each pattern of skipped pages ("s" skipped, "-" shown):
// where it opens, where Next goes until it finishes, and where Previous goes back to.
TEST(WizardPager, SkipPatterns) {
  struct Case {
    const char* pages;
    bool opens;
    std::vector<int> forward;  // the current page after opening and after each Next that did not finish
    int nexts;                 // Next presses until the wizard finishes
  } cases[] = {
      {"---", true, {0, 1, 2}, 3},
      {"s--", true, {1, 2}, 2},
      {"-s-", true, {0, 2}, 2},
      {"--s", true, {0, 1}, 2},
      {"sss", false, {}, 1},  // nothing to show: the first Next finishes
      {"", false, {}, 1},
      {"s-s", true, {1}, 1},
  };
  for (const Case& c : cases) {
    const std::string pages = c.pages;
    TPager pager(int(pages.size()), [&](int i) { return pages[size_t(i)] == 's'; });
    EXPECT_EQ(pager.Start(), c.opens) << pages;
    std::vector<int> seen;
    if (c.opens) seen.push_back(pager.Index());
    int nexts = 0;
    while (true) {
      ++nexts;
      if (pager.Next()) break;
      seen.push_back(pager.Index());
      ASSERT_LT(nexts, 10) << pages;
    }
    EXPECT_EQ(seen, c.forward) << pages;
    EXPECT_EQ(nexts, c.nexts) << pages;
  }
}

TEST(WizardPager, PreviousFirstAndLast) {
  std::string pages = "s-s-";
  TPager pager(4, [&](int i) { return pages[size_t(i)] == 's'; });
  ASSERT_TRUE(pager.Start());
  EXPECT_EQ(pager.Index(), 1);
  EXPECT_TRUE(pager.IsFirstPage());  // the only page before it is skipped
  EXPECT_FALSE(pager.IsLastPage());
  EXPECT_FALSE(pager.Next());
  EXPECT_EQ(pager.Index(), 3);
  EXPECT_FALSE(pager.IsFirstPage());
  EXPECT_TRUE(pager.IsLastPage());
  pager.Previous();
  EXPECT_EQ(pager.Index(), 1);
  pager.Previous();  // nothing before: it stays
  EXPECT_EQ(pager.Index(), 1);
  // A page that starts to skip itself is passed over from then on.
  pages = "--s-";
  EXPECT_FALSE(pager.Next());
  EXPECT_EQ(pager.Index(), 3);
  // Next on the last page finishes and stays there.
  EXPECT_TRUE(pager.Next());
  EXPECT_EQ(pager.Index(), 3);
}

TEST(PageOrder, ExchangeSort) {
  std::vector<std::pair<int, char>> pages = {{60, 'f'}, {10, 'w'}, {50, 'g'}};
  ExchangeSort(pages, [](const auto& p) { return p.first; });
  EXPECT_EQ(pages, (std::vector<std::pair<int, char>>{{10, 'w'}, {50, 'g'}, {60, 'f'}}));
  // Equal keys may change places: [5a, 5b, 1] gives [1, 5b, 5a].
  pages = {{5, 'a'}, {5, 'b'}, {1, 'c'}};
  ExchangeSort(pages, [](const auto& p) { return p.first; });
  EXPECT_EQ(pages, (std::vector<std::pair<int, char>>{{1, 'c'}, {5, 'b'}, {5, 'a'}}));
}

// Each code is answered by one manager type only; every other pair does nothing.
TEST(DialogManagerCodes, CodeTable) {
  using A = TManagerAction;
  using M = TManagerType;
  struct Case {
    int code;
    M type;
    A action;
  } owned[] = {
      {-980, M::dmBeforeInstall, A::ShowDialogs},     {-979, M::dmAfterGoodInstall, A::ShowDialogs},
      {-978, M::dmAfterBadInstall, A::ShowDialogs},   {-987, M::dmReboot, A::ShowDialogs},
      {-998, M::dmDuringCopyFiles, A::FileStatus},    {-988, M::dmDuringCopyFiles, A::DownloadStatus},
      {-996, M::dmDuringCopyFiles, A::CloseDuringCopy}, {-993, M::dmChangeDisk, A::ChangeDisk},
  };
  for (const Case& c : owned) {
    for (int t = 0; t < 6; ++t) {
      A expected = M(t) == c.type ? c.action : A::None;
      EXPECT_EQ(ManagerActionFor(c.code, M(t)), expected) << c.code << " type " << t;
    }
  }
  for (int code : {-982, -995, -994, -991, -992, -974, -973, -999, 1001})
    for (int t = 0; t < 6; ++t) EXPECT_EQ(ManagerActionFor(code, M(t)), A::None) << code;
}

TEST(StatusStack, NestedMessages) {
  TStatusStack s;
  EXPECT_EQ(s.Pop(), std::nullopt);  // a clear with nothing shown hides and raises nothing
  s.Push("Reading");
  s.Push("Copying");
  EXPECT_EQ(s.Pop(), std::optional<std::string>("Reading"));
  EXPECT_EQ(s.Pop(), std::nullopt);
  EXPECT_TRUE(s.Empty());
}

// A small install tree of groups and files on drives of their own.
class DriveTable : public ::testing::Test {
 protected:
  TInstallFileGroup* Group(const char* name, TInstallContainer* parent, const char* dest) {
    auto* g = new TInstallFileGroup(root.get());
    g->SetName(name);
    if (parent) g->SetContainer(parent);
    Place(*g, dest);
    return g;
  }
  TInstallFile* File(const char* name, TInstallContainer* parent, const char* dest, int32_t size) {
    auto* f = new TInstallFile(root.get());
    f->SetName(name);
    f->SetContainer(parent);
    Place(*f, dest);
    f->SetArchiveEntry(size / 2, 0, size, "");
    return f;
  }
  static void Place(TInstallContainer& c, const char* dest) {
    c.SetDestDirType(nullptr);
    c.SetDestDir(dest);
  }
  std::string Table(TInstallContainer& top) {
    std::string out;
    for (const TDriveEntry& e : BuildDriveTable(top, [](char letter) { return int64_t(letter) * 1000; }))
      out += std::string(out.empty() ? "" : " ") + e.Letter + ":" + std::to_string(e.Required) + "/" +
             std::to_string(e.Available);
    return out;
  }
  TOwned<TDataModule> root{new TDataModule(nullptr)};
};

TEST_F(DriveTable, SumsPerDrive) {
  auto* top = Group("Top", nullptr, "c:\\App");
  File("A", top, "C:\\App", 100);
  auto* help = Group("Help", top, "D:\\Help");
  File("B", help, "D:\\Help", 20);
  File("C", help, "c:\\Other", 3);
  auto* rel = Group("Rel", top, "\\relative");
  File("R", rel, "", 7);  // "\" or empty: no drive, nothing counted
  auto* extra = Group("Extra", top, "E:\\x");
  File("E", extra, "E:\\x", 50);
  // Lower-case letters count as their upper case; each file counts once, on its own drive.
  EXPECT_EQ(Table(*top), "C:103/67000 D:20/68000 E:50/69000");

  // An unticked group keeps its row, without its own or its sub-groups' sizes.
  help->SetInclude(false);
  EXPECT_EQ(Table(*top), "C:100/67000 D:0/68000 E:50/69000");
  // Neither does an unticked file count, but its drive is listed.
  extra->Child(0)->SetInclude(false);
  EXPECT_EQ(Table(*top), "C:100/67000 D:0/68000 E:0/69000");
}

TEST_F(DriveTable, SizesBeyondFourGiB) {
  auto* top = Group("Top", nullptr, "C:\\App");
  for (int i = 0; i < 3; ++i) File(("F" + std::to_string(i)).c_str(), top, "C:\\App", 2000000000);
  auto table = BuildDriveTable(*top, [](char) { return int64_t(5000000000); });
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].Required, 6000000000);
  EXPECT_EQ(table[0].Available, 5000000000);
  EXPECT_TRUE(DriveShort(table[0]));
  EXPECT_EQ(FormatBytes(table[0].Required, "Bytes"), "6,000,000,000 Bytes");
  EXPECT_EQ(FormatBytes(0, "Bytes"), "0 Bytes");
  EXPECT_EQ(FormatBytes(999, "Bytes"), "999 Bytes");
  EXPECT_EQ(FormatBytes(1000, "Bytes"), "1,000 Bytes");
  // Space equal to the need is short too: the mark shows unless the need is smaller.
  EXPECT_TRUE(DriveShort({'C', 10, 10}));
  EXPECT_FALSE(DriveShort({'C', 9, 10}));
}

TEST(DrivePanel, Height) {
  EXPECT_EQ(DrivePanelHeight(0), 25);
  EXPECT_EQ(DrivePanelHeight(1), 43);
  EXPECT_EQ(DrivePanelHeight(2), 61);
  EXPECT_EQ(DrivePanelHeight(3), 61);
  EXPECT_EQ(DrivePanelHeight(9), 61);
}

TEST(FolderName, Rule) {
  struct Case {
    const char* name;
    bool valid;
  } cases[] = {
      {"Quiltor", true},        {"  Quiltor  ", true},  {"Tools\\Quiltor", true}, {"a.b c", true},
      {"", false},              {"   ", false},         {"\\Quiltor", false},     {"Quiltor\\", false},
      {"a\\\\b", false},        {".", false},           {"..", false},            {"a\\..\\b", false},
      {"a\\.", false},          {"a/b", false},         {"C:x", false},           {"a*", false},
      {"a?", false},            {"\"a\"", false},       {"<a>", false},           {"a|b", false},
      {"a\tb", false},          {"a\x7f", false},       {"...", true},
  };
  for (const Case& c : cases) EXPECT_EQ(ValidFolderName(c.name), c.valid) << "'" << c.name << "'";
}

}  // namespace
