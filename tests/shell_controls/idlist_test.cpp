#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/core/exceptions.h"
#include "framework/core/streams.h"
#include "shell_controls/idlist.h"
#include "shell_controls/idlist_cli.h"
#include "shell_controls/locator_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace shell;

// A list of items with the given payloads (cb = payload + 2), terminated.
Bytes List(const std::vector<std::string>& items) {
  Bytes b;
  for (const std::string& s : items) {
    uint16_t cb = uint16_t(s.size() + 2);
    b.push_back(uint8_t(cb));
    b.push_back(uint8_t(cb >> 8));
    b.insert(b.end(), s.begin(), s.end());
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

std::string Hex(const uint8_t* list) { return list ? ToHex(list, ListSize(list)) : "nil"; }

// Counts what it hands out and takes back, so a leak or a double free shows.
class TCountingAllocator : public TIdListAllocator {
 public:
  uint8_t* Alloc(size_t n) override {
    ++live;
    return HeapAllocator().Alloc(n);
  }
  void Free(void* p) override {
    --live;
    HeapAllocator().Free(p);
  }
  int live = 0;
};

TEST(IdList, WalkerAcceptsExactlyOneWholeListOfTheGivenBytes) {
  struct Case {
    const char* what;
    Bytes data;
    bool ok;
    int items;
    const char* error;
  };
  const Bytes three = List({"a", "bcd", "ef"});
  Bytes trailing = three;
  trailing.push_back(7);
  const std::vector<Case> cases = {
      {"the Desktop", {0, 0}, true, 0, ""},
      {"three unaligned items", three, true, 3, ""},
      {"an item of only its count", {2, 0, 0, 0}, true, 1, ""},
      {"nothing", {}, false, 0, "The item-ID list has no terminator"},
      {"half a terminator", {0}, false, 0, "The item-ID list has no terminator"},
      {"a count of 1", {1, 0, 0, 0}, false, 0, "Item 0 of the item-ID list has the size 1"},
      {"a count past the end", {3, 0, 'a', 9, 0, 0, 0}, false, 1,
       "Item 1 of the item-ID list ends past its data"},
      {"an item that ends the bytes", {3, 0, 'a'}, false, 1, "The item-ID list has no terminator"},
      {"a short terminator", {3, 0, 'a', 0}, false, 1, "The item-ID list has no terminator"},
      {"bytes after the terminator", trailing, false, 3, "The item-ID list has bytes after its terminator"},
      {"a second list after the first", {3, 0, 'a', 0, 0, 3, 0, 'b', 0, 0}, false, 1,
       "The item-ID list has bytes after its terminator"},
      {"a count of 0xFFFF", {0xFF, 0xFF, 0, 0}, false, 0, "Item 0 of the item-ID list ends past its data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The bytes live in a block of exactly their size: a read past them is a sanitizer error.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.data.size() ? c.data.size() : 1]);
    std::copy(c.data.begin(), c.data.end(), exact.get());
    TIdListCheck r = CheckIdList(exact.get(), c.data.size());
    EXPECT_EQ(r.Ok, c.ok);
    EXPECT_EQ(r.Items, c.items);
    EXPECT_EQ(r.Error, c.error);
    if (r.Ok) {
      EXPECT_EQ(ListSize(exact.get()), c.data.size());
    }
  }
}

TEST(IdList, TrustedListRoutines) {
  const Bytes a = List({"a", "bcd"}), b = List({"ef"}), desktop = {0, 0};
  TCountingAllocator alloc;
  EXPECT_EQ(ListSize(nullptr), 0u);
  EXPECT_EQ(ListSize(desktop.data()), 2u);
  EXPECT_EQ(ListCount(nullptr), 0);
  EXPECT_EQ(ListCount(a.data()), 2);
  EXPECT_TRUE(IsEmptyList(nullptr));
  EXPECT_TRUE(IsEmptyList(desktop.data()));
  EXPECT_FALSE(IsEmptyList(b.data()));
  EXPECT_EQ(CopyList(alloc, nullptr), nullptr);

  struct Case {
    const char* what;
    uint8_t* made;
    Bytes expected;
  };
  std::vector<Case> cases = {
      {"copy", CopyList(alloc, a.data()), a},
      {"concat", ConcatLists(alloc, a.data(), b.data()), List({"a", "bcd", "ef"})},
      {"concat with nil first", ConcatLists(alloc, nullptr, b.data()), b},
      {"concat with the Desktop second", ConcatLists(alloc, a.data(), desktop.data()), a},
      {"concat of nils", ConcatLists(alloc, nullptr, nullptr), desktop},
      {"leading 1", LeadingItems(alloc, a.data(), 1), List({"a"})},
      {"leading 0", LeadingItems(alloc, a.data(), 0), desktop},
      {"item 1", ItemList(alloc, a.data(), 1), List({"bcd"})},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(c.made, nullptr);
    EXPECT_EQ(Bytes(c.made, c.made + ListSize(c.made)), c.expected);
    alloc.Free(c.made);
  }
  EXPECT_EQ(LeadingItems(alloc, a.data(), 3), nullptr);
  EXPECT_EQ(ItemList(alloc, a.data(), 2), nullptr);
  EXPECT_EQ(LastItem(a.data()), a.data() + 3);
  EXPECT_EQ(LastItem(desktop.data()), nullptr);
  EXPECT_EQ(alloc.live, 0);
}

TEST(IdList, ArrayItemsAndAncestors) {
  const Bytes three = List({"a", "bcd", "ef"});
  TCountingAllocator alloc;
  {
    TQsIdListArray array(three.data(), alloc);
    EXPECT_EQ(array.Count(), 3);
    struct Case {
      int levels;
      const char* hex;
    };
    for (const Case& c : std::vector<Case>{{0, "0300610500626364040065660000"},
                                          {1, "03006105006263640000"},
                                          {3, "0000"},
                                          {4, "nil"},
                                          {-1, "nil"}}) {
      SCOPED_TRACE(c.levels);
      EXPECT_EQ(Hex(array.GetAncestor(c.levels)), c.hex);
    }
    EXPECT_EQ(Hex(array.Items(2)), "040065660000");
    for (int bad : {3, -1}) {
      try {
        array.Items(bad);
        ADD_FAILURE() << "index " << bad << " was taken";
      } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "TQsIdListArray - index " + std::to_string(bad) + " out of range");
      }
    }
    EXPECT_EQ(alloc.live, 0);  // a failed call freed the result before it
    array.Items(0);
    EXPECT_EQ(alloc.live, 1);  // held until the next call or the end of the view
  }
  EXPECT_EQ(alloc.live, 0);
  TQsIdListArray none(nullptr, alloc);
  EXPECT_EQ(none.Count(), 0);
  EXPECT_THROW(none.Items(0), EListError);
  EXPECT_EQ(Hex(none.GetAncestor(0)), "0000");
}

TEST(IdList, LocatorValuesReadAndWrite) {
  struct Case {
    const char* what;
    Bytes data;
    const char* error;  // empty: reads
    uint8_t kind, id;
    int items;
  };
  const Bytes three = List({"a", "bcd", "ef"});
  auto listValue = [](const Bytes& list, uint32_t count) {
    Bytes b = {0, uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
    for (uint8_t x : list) b.push_back(x);
    return b;
  };
  Bytes trailing = listValue(three, 14);
  trailing.push_back(0);
  const std::vector<Case> cases = {
      {"special folder", {1, 17}, "", 1, 17, 0},
      {"any non-zero kind", {9, 5}, "", 1, 5, 0},
      {"a list", listValue(three, 14), "", 0, 0, 3},
      {"the Desktop", listValue({0, 0}, 2), "", 0, 0, 0},
      {"nothing", {}, "The folder value is empty", 0, 0, 0},
      {"no id", {1}, "The folder value has no special-folder id", 0, 0, 0},
      {"a byte after the id", {1, 5, 0}, "The folder value has bytes after its end", 0, 0, 0},
      {"a short count", {0, 14, 0}, "The folder value has no list size", 0, 0, 0},
      {"count 0", listValue({}, 0), "The folder value gives a list size of 0 with 0 bytes left", 0, 0, 0},
      {"count past the bytes", listValue(three, 15), "The folder value gives a list size of 15 with 14 bytes left",
       0, 0, 0},
      {"bytes after the list", trailing, "The folder value has bytes after its end", 0, 0, 0},
      {"a list that does not check", listValue({3, 0, 'a', 0}, 4), "The item-ID list has no terminator", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      TLocatorValue v = DecodeLocatorPidl(c.data.data(), c.data.size());
      EXPECT_STREQ(c.error, "");
      EXPECT_EQ(v.Kind, c.kind);
      EXPECT_EQ(v.Id, c.id);
      if (v.Kind == 0) {
        EXPECT_EQ(ListCount(v.List.data()), c.items);
      }
      if (c.data[0] <= 1) {
        EXPECT_EQ(EncodeLocatorPidl(v.Kind, v.Id, v.List.data()), c.data);
      }
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), c.error);
    }
  }
  EXPECT_EQ(EncodeLocatorPidl(0, 28, nullptr), listValue({0, 0}, 2));
  EXPECT_FALSE(LocatorPidlStored(0, false));
  EXPECT_TRUE(LocatorPidlStored(0, true));
  EXPECT_TRUE(LocatorPidlStored(1, false));
}

TEST(IdList, DoubleByteHelpers) {
  // A lead byte test of a double-byte code page: 0x81 to 0x9F and 0xE0 to 0xFC.
  const TLeadByteTest lead = [](uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
  struct Trim {
    std::string in, out;
  };
  for (const Trim& t : std::vector<Trim>{{"abc  \t\r\n", "abc"},
                                         {"", ""},
                                         {" \x01 ", ""},
                                         {"x\x81\x20", "x\x81\x20"},  // trail byte 32 kept with its lead
                                         {"x\x81\x20 ", "x\x81\x20"},
                                         {"x\x81", "x\x81"},          // a lone lead byte at the end
                                         {"\xe0\x40 \x81", "\xe0\x40 \x81"}}) {
    SCOPED_TRACE(t.in);
    EXPECT_EQ(TrimRightDbcs(t.in, lead), t.out);
  }
  EXPECT_EQ(TrimRightDbcs("x\x81\x20", nullptr), "x\x81");  // a single-byte code page

  struct Append {
    std::string s;
    int pos;
    std::string appended;
    int next;
  };
  for (const Append& a : std::vector<Append>{{"a\x81\x40z", 1, "a", 2},
                                             {"a\x81\x40z", 2, "\x81\x40", 4},
                                             {"a\x81\x40z", 4, "z", 5},
                                             {"a\x81", 2, "\x81", 3},  // lead byte last: that byte alone
                                             {"abc", 4, "", 4},
                                             {"abc", 0, "", 0}}) {
    SCOPED_TRACE(a.s + " at " + std::to_string(a.pos));
    int pos = a.pos;
    std::string target = ">";
    AppendDbcsChar(pos, a.s, target, lead);
    EXPECT_EQ(target, ">" + a.appended);
    EXPECT_EQ(pos, a.next);
  }
  EXPECT_EQ(AppendCharIfMissing("", '\\'), "");
  EXPECT_EQ(AppendCharIfMissing("C:\\", '\\'), "C:\\");
  EXPECT_EQ(AppendCharIfMissing("C:\\Temp", '\\'), "C:\\Temp\\");
}

// Runs the cases of golden/cases.txt (the file explains its lines).
TEST(IdList, GoldenFilesGiveTheirResults) {
  std::string golden = (std::filesystem::absolute("golden") / "").string();
  std::ifstream list(golden + "cases.txt");
  ASSERT_TRUE(list.good());
  auto field = [](std::string& line) {
    size_t bar = line.find('|');
    std::string f = line.substr(0, bar);
    line = bar == std::string::npos ? "" : line.substr(bar + 1);
    while (!f.empty() && f.back() == ' ') f.pop_back();
    while (!f.empty() && f.front() == ' ') f.erase(0, 1);
    return f;
  };
  auto unescape = [&](std::string s) {
    for (size_t at; (at = s.find("{golden}")) != std::string::npos;) s.replace(at, 8, golden);
    return s;
  };
  int cases = 0;
  std::string line;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    ++cases;
    std::istringstream words(field(line));
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(unescape(w));
    int rc = std::stoi(field(line));
    std::string text = unescape(field(line));
    std::ostringstream out, err;
    EXPECT_EQ(RunIdListCommand(args, out, err), rc);
    if (rc == 0) {
      EXPECT_EQ(out.str(), text + "\n");
      EXPECT_EQ(err.str(), "");
    } else {
      EXPECT_EQ(out.str(), "");
      std::string e = err.str();
      EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1);
      if (rc == 2)
        EXPECT_EQ(e.rfind(text, 0), 0u) << e;
      else
        EXPECT_EQ(e, text + "\n");
    }
  }
  EXPECT_GT(cases, 0);
}

}  // namespace
