// The drag-and-drop blocks and rules, the menu rules and the shell list's helpers, with no
// shell: the bytes of the three formats, the refusals of the item-ID list array reader, the
// FORMATETC, enumerator and drop-source answers, the Send To popup's keyboard and the
// list's filter, column, size and new-folder rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "shell_controls/drag_data.h"
#include "shell_controls/idlist.h"
#include "shell_controls/idlist_cli.h"
#include "shell_controls/shell_list_rules.h"
#include "shell_controls/shell_menu_rules.h"
#include "tests/support/fuzz_seeds.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace shell;
using Bytes = std::vector<uint8_t>;

Bytes List(std::initializer_list<Bytes> items) {
  Bytes b;
  for (const Bytes& i : items) {
    uint16_t cb = uint16_t(i.size() + 2);
    b.push_back(uint8_t(cb));
    b.push_back(uint8_t(cb >> 8));
    b.insert(b.end(), i.begin(), i.end());
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

uint32_t U32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(DragData, TheItemIdListArrayOfAParentAndTwoChildren) {
  Bytes parent = List({{'C', ':'}, {'d', 'i', 'r'}});  // 11 bytes
  Bytes a = List({{'a', '.', 't', 'x', 't'}});          // 9 bytes
  Bytes b = List({{'b'}});                               // 5 bytes
  Bytes cida = BuildCida(parent.data(), {a.data(), b.data()});
  ASSERT_EQ(cida.size(), 8 + 4 * 2 + 11 + 9 + 5u);
  EXPECT_EQ(CidaSize(parent.data(), {a.data(), b.data()}), cida.size());
  EXPECT_EQ(U32(cida, 0), 2u);
  EXPECT_EQ(U32(cida, 4), 16u);
  EXPECT_EQ(U32(cida, 8), 27u);
  EXPECT_EQ(U32(cida, 12), 36u);
  EXPECT_EQ(Bytes(cida.begin() + 16, cida.begin() + 27), parent);
  EXPECT_EQ(Bytes(cida.begin() + 27, cida.begin() + 36), a);
  EXPECT_EQ(Bytes(cida.begin() + 36, cida.end()), b);

  TCida read = ParseCida(cida.data(), cida.size());
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Parent.Offset, 16u);
  EXPECT_EQ(read.Parent.Size, 11u);
  ASSERT_EQ(read.Items.size(), 2u);
  EXPECT_EQ(read.Items[1].Offset, 36u);
  EXPECT_EQ(read.Items[1].Size, 5u);

  // No parent: the Desktop's empty list.
  Bytes top = BuildCida(nullptr, {a.data()});
  EXPECT_EQ(top, (Bytes{1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 7, 0, 'a', '.', 't', 'x', 't', 0, 0}));
}

TEST(DragData, TheArrayReaderRefusesWhatDoesNotFitItsBlock) {
  Bytes item = List({{'x'}});
  auto block = [](std::initializer_list<uint32_t> words, Bytes tail) {
    Bytes b;
    for (uint32_t w : words)
      for (int i = 0; i < 4; ++i) b.push_back(uint8_t(w >> (8 * i)));
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  Bytes good = BuildCida(nullptr, {item.data()});
  struct Case {
    const char* what;
    Bytes data;
    const char* error;  // null: taken
  };
  Bytes trailing = good;
  trailing.push_back(0x55);
  std::vector<Case> cases = {
      {"a whole array", good, nullptr},
      {"bytes after the last list", trailing, nullptr},
      {"no count", {1, 0}, "no count"},
      {"offsets past the block", block({3, 16, 18}, {0, 0, 0, 0}), "offsets do not fit"},
      {"a huge count", block({0xFFFFFFFF}, {}), "offsets do not fit"},
      {"an offset in the offset table", block({1, 4, 12}, {0, 0, 0, 0}), "starts outside its lists, at 4"},
      {"an offset past the end", block({1, 12, 40}, {0, 0, 0, 0}), "Item 1 of the item-ID list array starts outside"},
      {"a list without terminator", block({1, 12, 14}, {0, 0, 5, 0, 'x'}), "Item 1 of the item-ID list array ends past"},
      {"an item of size 1", block({1, 12, 14}, {0, 0, 1, 0, 0, 0}), "has an item of size 1"},
      {"a parent ending at the last byte", block({0, 8}, {0}), "The parent list of the item-ID list array ends past"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.data.size()]);
    std::memcpy(exact.get(), c.data.data(), c.data.size());
    TCida r = ParseCida(exact.get(), c.data.size());
    if (!c.error) {
      EXPECT_TRUE(r.Ok) << r.Error;
      EXPECT_EQ(r.Items.size(), 1u);
    } else {
      EXPECT_FALSE(r.Ok);
      EXPECT_NE(r.Error.find(c.error), std::string::npos) << r.Error;
    }
  }
}

TEST(DragData, FileDropAndTextBlocks) {
  std::string longName = "C:\\" + std::string(297, 'n');  // 300 characters, past any fixed slot
  Bytes drop = BuildFileDrop({longName, "D:\\b"});
  ASSERT_EQ(drop.size(), 20 + (300 + 1) + (4 + 1) + 1u);
  EXPECT_EQ(Bytes(drop.begin(), drop.begin() + 20), (Bytes{20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(drop.data() + 20)), longName);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(drop.data() + 321)), "D:\\b");
  EXPECT_EQ(drop[drop.size() - 2], 0);
  EXPECT_EQ(drop.back(), 0);
  EXPECT_EQ(BuildFileDrop({}).size(), 21u);
  EXPECT_EQ(BuildTextBlock("a\r\nb\r\n"), (Bytes{'a', '\r', '\n', 'b', '\r', '\n', 0}));
}

TEST(DragData, FormatQueriesEnumeratorsAndTheDropSource) {
  std::vector<TFormatEtc> offered = FormatEtcList({49000, kFormatFileDrop, kFormatText});
  ASSERT_EQ(offered.size(), 3u);
  EXPECT_EQ(offered[0].Index, -1);
  EXPECT_EQ(offered[0].Aspect, kAspectContent);
  EXPECT_EQ(offered[0].Tymed, kTymedHGlobal);
  struct Query {
    uint16_t format;
    uint32_t aspect, tymed;
    int32_t result;
  };
  for (const Query& q : std::vector<Query>{{kFormatText, 1, 1, kS_OK},
                                           {kFormatText, 1, 1 | 2 | 4, kS_OK},
                                           {kFormatText, 1, 2, kDV_E_TYMED},
                                           {2, 1, 1, kDV_E_FORMATETC},
                                           {kFormatText, 4, 1, kDV_E_FORMATETC},
                                           {49000, 1, 1, kS_OK}}) {
    SCOPED_TRACE(std::to_string(q.format) + " " + std::to_string(q.aspect) + " " + std::to_string(q.tymed));
    TFormatEtc e;
    e.Format = q.format;
    e.Aspect = q.aspect;
    e.Tymed = q.tymed;
    EXPECT_EQ(QueryGetData(offered, e), q.result);
  }

  TEnumPosition p(3);
  TEnumPosition::TTaken t = p.Next(2);
  EXPECT_EQ(t.First, 0u);
  EXPECT_EQ(t.Count, 2u);
  EXPECT_EQ(t.Result, kS_OK);
  t = p.Next(2);
  EXPECT_EQ(t.First, 2u);
  EXPECT_EQ(t.Count, 1u);
  EXPECT_EQ(t.Result, kS_FALSE);
  EXPECT_EQ(p.Next(1).Count, 0u);
  p.Reset();
  EXPECT_EQ(p.Skip(2), kS_OK);
  EXPECT_EQ(p.Position(), 2u);
  EXPECT_EQ(p.Skip(5), kS_FALSE);
  EXPECT_EQ(p.Position(), 3u);
  TEnumPosition clone(3, 1);  // a clone starts where its original stood
  EXPECT_EQ(clone.Next(3).Count, 2u);

  struct Drag {
    bool escape;
    uint32_t keys;
    int button;
    int32_t result;
  };
  for (const Drag& d : std::vector<Drag>{{false, kKeyLeft, 0, kS_OK},
                                         {false, 0, 0, kDRAGDROP_S_DROP},
                                         {true, kKeyLeft, 0, kDRAGDROP_S_CANCEL},
                                         {false, kKeyLeft | kKeyRight, 0, kDRAGDROP_S_CANCEL},
                                         {false, kKeyRight | kKeyShift, 1, kS_OK},
                                         {false, kKeyControl, 1, kDRAGDROP_S_DROP},
                                         {false, kKeyMiddle | kKeyRight, 2, kDRAGDROP_S_CANCEL}}) {
    SCOPED_TRACE(std::to_string(d.keys) + " button " + std::to_string(d.button));
    EXPECT_EQ(QueryContinueDrag(d.escape, d.keys, ButtonKey(d.button)), d.result);
  }
  EXPECT_EQ(AllowedEffects(true, 0x40000005), kEffectCopy | kEffectLink);
  EXPECT_EQ(AllowedEffects(false, 0), 7u);
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

TEST(ShellMenuRules, SendToKeysEntriesAndCommands) {
  std::vector<std::string> captions = {"Alpha", "Beta", "Bravo", "Charlie"};
  struct Key {
    char pressed;
    int highlighted;
    int kind, position;
  };
  for (const Key& k : std::vector<Key>{{'b', -1, kMenuCharSelect, 1},
                                       {'B', 1, kMenuCharSelect, 2},
                                       {'b', 2, kMenuCharSelect, 1},
                                       {'a', -1, kMenuCharExecute, 0},
                                       {'a', 0, kMenuCharExecute, 0},
                                       {'c', 3, kMenuCharExecute, 3},
                                       {'z', 1, kMenuCharClose, 0}}) {
    SCOPED_TRACE(std::string(1, k.pressed) + " at " + std::to_string(k.highlighted));
    TMenuCharAnswer a = MenuChar(captions, k.pressed, k.highlighted, AsciiUpper);
    EXPECT_EQ(a.Kind, k.kind);
    if (k.kind != kMenuCharClose) {
      EXPECT_EQ(a.Position, k.position);
    }
  }
  EXPECT_EQ(MenuChar({}, 'a', -1, AsciiUpper).Kind, kMenuCharClose);

  std::vector<TSendToEntry> found;
  for (int i = 60; i > 0; --i) found.push_back({"Entry " + std::string(1, char('A' + i / 26)) + char('a' + i % 26) + ".lnk", i});
  found.push_back({"entry ab.LNK", 99});  // the same name but for case
  std::vector<TSendToEntry> entries = SendToEntries(found);
  ASSERT_EQ(entries.size(), size_t(kMaxSendToEntries));
  EXPECT_EQ(entries[0].Name, "Entry Ab.lnk");
  EXPECT_EQ(entries[1].Name, "Entry Ac.lnk");
  for (size_t i = 1; i < entries.size(); ++i) EXPECT_LT(entries[i - 1].Name, entries[i].Name);
  EXPECT_EQ(SendToCaption("Mail Recipient.MAPIMail"), "Mail Recipient");
  EXPECT_EQ(SendToCaption("Notes"), "Notes");

  struct Choice {
    unsigned command;
    TMenuChoice::TKind kind;
    unsigned value;
  };
  for (const Choice& c : std::vector<Choice>{{0, TMenuChoice::None, 0},
                                             {1, TMenuChoice::SendTo, 0},
                                             {3, TMenuChoice::SendTo, 2},
                                             {4, TMenuChoice::None, 0},
                                             {50, TMenuChoice::ShellCommand, 0},
                                             {0x7FFF, TMenuChoice::ShellCommand, 0x7FFF - 50}}) {
    TMenuChoice r = ChooseCommand(c.command, 3);
    EXPECT_EQ(r.Kind, c.kind) << c.command;
    EXPECT_EQ(r.Value, c.value) << c.command;
  }
}

TEST(ShellListRules, FilterMasksAndTheExplorersColumns) {
  EXPECT_EQ(SplitMasks("*.txt;;*.doc;"), (std::vector<std::string>{"*.txt", "*.doc"}));
  EXPECT_TRUE(SplitMasks("").empty());
  EXPECT_TRUE(SplitMasks(";").empty());
  for (const char* f : {"", "*", "*.*"}) EXPECT_FALSE(FilterActive(f)) << f;
  EXPECT_TRUE(FilterActive("*.txt"));

  struct Cols {
    const char* what;
    bool present;
    Bytes value;
    std::vector<int> widths;
    int size;
  };
  Bytes over(23, 1);
  Bytes full = {10, 0, 20, 0, 30, 0, 40, 0, 50, 0, 60, 0, 70, 0, 80, 0, 90, 0, 100, 0, 110, 0};
  for (const Cols& c : std::vector<Cols>{{"absent", false, {}, {200, 60, 100, 120}, 10},
                                         {"short", true, {80, 0, 1, 1}, {80, 257, 100, 120}, 4},
                                         {"22 bytes", true, full, {10, 20, 30, 40}, 22},
                                         {"over 22 bytes", true, over, {200, 60, 100, 120}, 10}}) {
    SCOPED_TRACE(c.what);
    TDirectoryCols d = ReadDirectoryCols(c.present ? c.value.data() : nullptr, c.value.size());
    EXPECT_EQ(d.Size, c.size);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.Width(i), c.widths[size_t(i)]) << i;
  }
  TDirectoryCols first = ReadDirectoryCols(full.data(), full.size());
  TDirectoryCols none;
  none.Size = 0;
  EXPECT_FALSE(SameDirectoryCols(none, first));  // nothing read before
  EXPECT_TRUE(SameDirectoryCols(first, ReadDirectoryCols(full.data(), full.size())));
  Bytes changed = full;
  changed[0] = 11;
  EXPECT_FALSE(SameDirectoryCols(first, ReadDirectoryCols(changed.data(), changed.size())));
  EXPECT_FALSE(SameDirectoryCols(first, ReadDirectoryCols(full.data(), 20)));
}

TEST(ShellListRules, TheLayoutStreamKeepsOneLayout) {
  TMemoryStream s;
  EXPECT_TRUE(ReadColumnLayout(s, 4).empty());  // nothing written yet
  WriteColumnLayout(s, {1, 2, 3, 4, 5, 6});
  WriteColumnLayout(s, {150, 70, 90, 110});  // replaces, never appends
  EXPECT_EQ(s.Size(), 4 + 4 * 4);
  s.Seek(0, soEnd);                           // wherever the position stands
  EXPECT_EQ(ReadColumnLayout(s, 4), (std::vector<int>{150, 70, 90, 110}));
  EXPECT_EQ(ReadColumnLayout(s, 2), (std::vector<int>{150, 70}));  // the count is limited
  EXPECT_EQ(ReadColumnLayout(s, 9), (std::vector<int>{150, 70, 90, 110}));
  EXPECT_TRUE(ReadColumnLayout(s, 0).empty());
  s.SetSize(4 + 4 * 2 + 2);  // cut inside the third width: a short read stops
  EXPECT_EQ(ReadColumnLayout(s, 4), (std::vector<int>{150, 70}));
  WriteColumnLayout(s, {});
  EXPECT_EQ(ReadColumnLayout(s, 4), (std::vector<int>{}));  // count 0 yet no width stored
}

TEST(ShellListRules, SizesNewFoldersIncludingAndSorting) {
  struct Size {
    uint64_t bytes;
    const char* text;
  };
  for (const Size& s : std::vector<Size>{{0, "0KB"}, {1, "1KB"}, {1024, "1KB"}, {1536, "2KB"},
                                         {5000000, "4,883KB"}, {6000000000ull, "5,859,375KB"}})
    EXPECT_EQ(KiloBytesText(s.bytes, "%sKB"), s.text) << s.bytes;

  const uint32_t exists = 183;
  auto taken = [&](std::vector<std::string> names, std::vector<std::string>* tried = nullptr) {
    return [=](const std::string& n) {
      if (tried) tried->push_back(n);
      for (const std::string& t : names)
        if (t == n) return exists;
      return uint32_t(0);
    };
  };
  std::vector<std::string> tried;
  TNewFolderResult r = MakeNewFolder("New Folder", exists, taken({"New Folder", "New Folder (2)"}, &tried));
  EXPECT_TRUE(r.Ok);
  EXPECT_EQ(r.Name, "New Folder (3)");
  EXPECT_EQ(tried, (std::vector<std::string>{"New Folder", "New Folder (2)", "New Folder (3)"}));
  std::vector<std::string> all;
  for (int i = 1; i <= kNewFolderAttempts; ++i) all.push_back(NewFolderName("New Folder", i));
  EXPECT_EQ(all.back(), "New Folder (50)");
  r = MakeNewFolder("New Folder", exists, taken(all));
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Error, exists);
  EXPECT_EQ(r.Name, "New Folder");
  r = MakeNewFolder("New Folder", exists, [](const std::string& n) { return n == "New Folder" ? 183u : 5u; });
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Error, 5u);
  EXPECT_EQ(r.Name, "New Folder (2)");

  struct Include {
    uint32_t attrs;
    bool nonFs, hide, result;
  };
  const uint32_t fsFolder = kAttrFileSystem | kAttrFolder;
  for (const Include& i : std::vector<Include>{{kAttrFileSystem, false, false, true},
                                               {kAttrFileSysAncestor | kAttrFolder, false, false, true},
                                               {kAttrFolder, false, false, false},
                                               {kAttrFolder, true, false, true},
                                               {fsFolder, false, true, false},
                                               {fsFolder | kAttrFileSysAncestor, false, true, false},
                                               {fsFolder | kAttrStream, false, true, true},
                                               {fsFolder | kAttrFileSysAncestor, false, false, true},
                                               {kAttrFileSystem, false, true, true}}) {
    EXPECT_EQ(IncludeItem(i.attrs, i.nonFs, i.hide), i.result) << std::hex << i.attrs << " " << i.nonFs << i.hide;
  }

  EXPECT_EQ(NextSortColumn(1, 1), 2);
  EXPECT_EQ(NextSortColumn(2, 1), -2);  // "Size" twice: descending
  EXPECT_EQ(NextSortColumn(-2, 1), 2);
  EXPECT_EQ(NextSortColumn(-2, 0), 1);
  EXPECT_EQ(SortOrder(0x0000FFFF, 1), -1);
  EXPECT_EQ(SortOrder(0x00000003, -1), -3);
  EXPECT_EQ(SortOrder(0x00010000, 2), 0);

  EXPECT_EQ(DriveRootOf("D:\\cd\\file.txt"), "D:\\");
  EXPECT_EQ(DriveRootOf("D:\\"), "");
  EXPECT_EQ(DriveRootOf("\\\\server\\share\\x"), "");
}

TEST(DragData, TheDriverPrintsAnArrayAndRefusesADamagedOne) {
  testsupport::ScratchDir dir("qcida");
  Bytes parent = List({{'p'}});
  Bytes a = List({{'a', 'a'}});
  Bytes good = BuildCida(parent.data(), {a.data(), a.data()});
  auto write = [&](const std::string& name, const Bytes& b) {
    std::ofstream(dir.Path(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return dir.Path(name);
  };
  std::ostringstream out, err;
  EXPECT_EQ(RunIdListCommand({"cida", write("good.bin", good)}, out, err), 0);
  EXPECT_EQ(out.str(), "count 2\nparent 0300700000\nitem 1 040061610000\nitem 2 040061610000\n");
  EXPECT_EQ(err.str(), "");
  Bytes bad = good;
  bad.resize(bad.size() - 1);
  std::ostringstream out2, err2;
  EXPECT_EQ(RunIdListCommand({"cida", write("bad.bin", bad)}, out2, err2), 1);
  EXPECT_EQ(out2.str(), "");
  EXPECT_EQ(err2.str(), "Item 2 of the item-ID list array ends past the block\n");
  std::ostringstream out3, err3;
  EXPECT_EQ(RunIdListCommand({"cida"}, out3, err3), 2);
}

// Random arrays, whole and damaged, each in a block of exactly its size: the reader takes
// a whole one and, whatever it takes, every list it names ends inside the block.
TEST(DragDataFuzz, TheArrayReaderStaysInsideItsBlock) {
  testsupport::FuzzSeeds seeds = testsupport::FuzzSeedsFromEnvironment("cida fuzz");
  for (uint32_t seed = seeds.first; seed != seeds.first + seeds.count; ++seed) {
    SCOPED_TRACE("replay with QUILTOR_FUZZ_SEED=" + std::to_string(seed) + " QUILTOR_FUZZ_CASES=1");
    std::mt19937 rng(seed);
    auto randomList = [&] {
      Bytes b;
      for (int i = int(rng() % 4); i > 0; --i) {
        uint16_t cb = uint16_t(2 + rng() % 12);
        b.push_back(uint8_t(cb));
        b.push_back(0);
        for (int k = 2; k < cb; ++k) b.push_back(uint8_t(rng()));
      }
      b.push_back(0);
      b.push_back(0);
      return b;
    };
    Bytes parent = randomList();
    std::vector<Bytes> items(rng() % 4);
    std::vector<const uint8_t*> pointers;
    for (Bytes& i : items) {
      i = randomList();
      pointers.push_back(i.data());
    }
    Bytes block = BuildCida(parent.data(), pointers);
    bool damaged = rng() % 3 != 0;
    if (damaged) {
      switch (rng() % 4) {
        case 0:
          block[rng() % block.size()] ^= uint8_t(1u << (rng() % 8));
          break;
        case 1:
          block.resize(rng() % block.size());
          break;
        case 2:
          block[rng() % block.size()] = uint8_t(rng());
          break;
        default:
          block.push_back(uint8_t(rng()));
          break;
      }
    }
    std::unique_ptr<uint8_t[]> exact(new uint8_t[block.size() ? block.size() : 1]);
    if (!block.empty()) std::memcpy(exact.get(), block.data(), block.size());
    TCida r = ParseCida(exact.get(), block.size());
    if (!damaged) {
      ASSERT_TRUE(r.Ok) << r.Error;
      ASSERT_EQ(r.Items.size(), items.size());
    }
    if (r.Ok) {
      std::vector<TCidaList> lists = r.Items;
      lists.push_back(r.Parent);
      for (const TCidaList& l : lists) {
        ASSERT_LE(l.Offset + l.Size, block.size());
        EXPECT_TRUE(CheckIdList(exact.get() + l.Offset, l.Size).Ok);
      }
    } else {
      EXPECT_FALSE(r.Error.empty());
    }
    if (HasFailure()) {
      std::fprintf(stderr, "failed at seed %u\n", seed);
      break;
    }
  }
}

}  // namespace
