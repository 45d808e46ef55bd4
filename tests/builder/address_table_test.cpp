// The address book's table layer and rules: the golden tables and the result each gives,
// what a new table looks like byte for byte, writes that reach the file at once, IDs that
// are never reused, the filtered view, the lookup filter, the recipients a record gives,
// and mutated tables that open cleanly or are refused untouched.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "builder/address_book_rules.h"
#include "builder/address_table.h"
#include "platform/byte_order.h"
#include "platform/file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fuzz_seeds.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::Bytes;
using testsupport::ReadExistingFile;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

const TTableDate kGoldenDay{2026, 12, 11};
TTableDate GoldenDay() { return kGoldenDay; }

std::string Golden(const std::string& name) {
  return platform::JoinPath(std::filesystem::absolute("golden_tables").string(), name);
}

// [*]ID,REALNAME,EMAIL for every record, "; " between them.
std::string Render(const TAddressTable& t) {
  std::string s;
  for (int i = 0; i < t.RecordCount(); ++i) {
    if (i) s += "; ";
    const std::optional<int64_t> id = t.Number(i, TAddressTable::kId);
    s += std::string(t.Deleted(i) ? "*" : "") + (id ? std::to_string(*id) : "?") + "," +
         t.Text(i, TAddressTable::kRealName) + "," + t.Text(i, TAddressTable::kEmail);
  }
  return s;
}

std::string Unescape(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s.compare(i, 2, "\\x") == 0 && i + 3 < s.size()) {
      r += char(std::stoi(s.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      r += s[i];
    }
  }
  return r;
}

std::string OpenError(const std::string& path) {
  try {
    TAddressTable::Open(path, GoldenDay);
  } catch (const EAddressTableError& e) {
    return e.Message();
  }
  return "";
}

std::string Prefix(const std::string& path) { return "The address book table " + path + " cannot be opened: "; }

// Runs the cases of golden_tables/cases.txt (the file explains its lines).
TEST(AddressTable, GoldenTablesGiveTheirResults) {
  std::ifstream list(Golden("cases.txt"));
  ASSERT_TRUE(list.good());
  int cases = 0;
  for (std::string line; std::getline(list, line);) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    ++cases;
    const size_t bar1 = line.find(" | "), bar2 = line.find(" |", bar1 + 3);
    ASSERT_NE(bar2, std::string::npos);
    const std::string name = line.substr(0, bar1), result = line.substr(bar1 + 3, bar2 - bar1 - 3);
    const std::string text = bar2 + 3 <= line.size() ? Unescape(line.substr(bar2 + 3)) : "";
    // Each case works on a copy, so a refused file can be seen to stay as it was.
    ScratchDir dir("qab");
    const std::string path = dir.Path(name);
    const Bytes before = ReadExistingFile(Golden(name));
    WriteFileBytes(path, before);
    if (result == "ok") {
      const TAddressTable t = TAddressTable::Open(path, GoldenDay);
      EXPECT_EQ(Render(t), text);
    } else {
      EXPECT_EQ(OpenError(path), Prefix(path) + text);
      EXPECT_THROW(TAddressTable::OpenOrCreate(path, GoldenDay), EAddressTableError) << "replaced";
    }
    EXPECT_EQ(testsupport::ReadFileBytes(path), before);
  }
  EXPECT_EQ(cases, 14);
}

TEST(AddressTable, WhatIsNoFileIsRefusedAndNothingIsMade) {
  ScratchDir dir("qab");
  const std::string missing = dir.Path("missing.dbf"), folder = dir.Path("folder.dbf");
  EXPECT_EQ(OpenError(missing), Prefix(missing) + "it does not exist");
  EXPECT_FALSE(platform::IsFile(missing));
  ASSERT_TRUE(platform::MakeDirectory(folder));
  EXPECT_EQ(OpenError(folder), Prefix(folder) + "it is no file");
  EXPECT_THROW(TAddressTable::OpenOrCreate(folder, GoldenDay), EAddressTableError);
  EXPECT_TRUE(platform::IsDirectory(folder));
}

TEST(AddressTable, ANewTableIsTheGoldenEmptyOne) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("Quiltor32_db2.dbf");
  const TAddressTable t = TAddressTable::OpenOrCreate(path, GoldenDay);
  EXPECT_EQ(t.RecordCount(), 0);
  // Version 0x03, the date, 129-byte header, 312-byte records, language 0x03, the three
  // descriptors, 0x0D and the end mark.
  EXPECT_EQ(ReadExistingFile(path), ReadExistingFile(Golden("empty.dbf")));
  EXPECT_EQ(TAddressTable::OpenOrCreate(path, GoldenDay).RecordCount(), 0);
}

TEST(AddressTable, StoredRecordsReachTheFileAtOnceWithCountAndDate) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("t.dbf");
  TTableDate today{2027, 3, 4};
  TAddressTable t = TAddressTable::Create(path, [&] { return today; });
  EXPECT_EQ(t.NextId(), 1);
  const int r = t.Insert();
  EXPECT_EQ(r, 0);
  EXPECT_EQ(t.Number(r, TAddressTable::kId), 1);
  // The inserted record is in the file before any text is typed.
  EXPECT_EQ(Render(TAddressTable::Open(path)), "1,,");
  today = {2027, 3, 5};
  t.SetText(r, TAddressTable::kRealName, "Ann Smith");
  t.SetText(r, TAddressTable::kEmail, std::string(200, 'a'));  // longer than its field
  EXPECT_EQ(Render(TAddressTable::Open(path)), "1,,") << "only Store writes";
  t.Store(r);
  const Bytes b = ReadExistingFile(path);
  ASSERT_EQ(b.size(), 129u + 312u + 1u);
  EXPECT_EQ(platform::GetU32(&b[4]), 1u);
  EXPECT_EQ((std::vector<int>{b[1], b[2], b[3]}), (std::vector<int>{127, 3, 5}));
  EXPECT_EQ(b.back(), 0x1A);
  EXPECT_EQ(std::string(b.begin() + 130 + 300, b.begin() + 130 + 311), "          1");  // right-aligned
  const TAddressTable again = TAddressTable::Open(path);
  EXPECT_EQ(again.Text(0, TAddressTable::kRealName), "Ann Smith");
  EXPECT_EQ(again.Text(0, TAddressTable::kEmail), std::string(150, 'a'));
}

TEST(AddressTable, IdsAreNeverReusedAndDeletedRecordsStay) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("t.dbf");
  WriteFileBytes(path, ReadExistingFile(Golden("three.dbf")));  // IDs 1, *2, 7
  TAddressTable t = TAddressTable::Open(path, GoldenDay);
  EXPECT_EQ(t.NextId(), 8);
  t.MarkDeleted(2);  // the highest
  EXPECT_EQ(t.Number(t.Insert(), TAddressTable::kId), 8);
  const TAddressTable again = TAddressTable::Open(path, GoldenDay);
  EXPECT_EQ(Render(again), "1,Ann Smith,ann@example.com; *2,Bob Jones,bob@example.org; *7,C\xE9line Dupr\xE9,"
                           "celine@example.fr; 8,,");
  EXPECT_EQ(again.NextId(), 9);
}

TEST(AddressTable, FurtherFieldsAreKeptAndLeftBlankInNewRecords) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("t.dbf");
  const Bytes before = ReadExistingFile(Golden("extra-field.dbf"));  // ID, NOTE, EMAIL(60), REALNAME(40)
  WriteFileBytes(path, before);
  TAddressTable t = TAddressTable::Open(path, GoldenDay);
  const int r = t.Insert();
  t.SetText(r, TAddressTable::kRealName, std::string(50, 'n'));
  t.Store(r);
  const TAddressTable again = TAddressTable::Open(path, GoldenDay);
  EXPECT_EQ(again.Text(0, "NOTE"), "met in Lyon");
  EXPECT_EQ(again.Text(r, "NOTE"), "");
  EXPECT_EQ(again.Text(r, TAddressTable::kRealName), std::string(40, 'n'));
  EXPECT_EQ(again.Number(r, TAddressTable::kId), 6);
  const Bytes after = ReadExistingFile(path);
  const size_t header = platform::GetU16(&before[8]), record = platform::GetU16(&before[10]);
  EXPECT_TRUE(std::equal(before.begin() + 8, before.begin() + ptrdiff_t(header + record), after.begin() + 8))
      << "only the date and count of the header and nothing of the old record change";
}

TEST(AddressTable, TheViewShowsLiveAcceptedRecordsAndNavigates) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("t.dbf");
  TAddressTable t = TAddressTable::Create(path, GoldenDay);
  for (const char* name : {"Ann", "Bob", "Cid", "Dan", "Eve"}) {
    const int r = t.Insert();
    t.SetText(r, TAddressTable::kRealName, name);
    t.Store(r);
  }
  t.MarkDeleted(1);
  TTableView all(t);
  EXPECT_EQ(all.Records(), (std::vector<int>{0, 2, 3, 4}));
  EXPECT_EQ(all.Current(), 0);
  EXPECT_FALSE(all.Prior());
  EXPECT_TRUE(all.Next());
  EXPECT_EQ(all.Current(), 2);
  EXPECT_TRUE(all.Last());
  EXPECT_FALSE(all.Next());
  EXPECT_EQ(all.Current(), 4);
  EXPECT_FALSE(all.GoTo(1)) << "a deleted record cannot be reached";
  EXPECT_TRUE(all.GoTo(3));
  EXPECT_EQ(all.Position(), 2);
  // A filter that throws rejects only the record it threw for.
  TTableView some(t, [](const TAddressTable& table, int record) {
    if (record == 3) throw EAddressTableError("unreadable");
    return table.Text(record, TAddressTable::kRealName) != "Eve";
  });
  EXPECT_EQ(some.Records(), (std::vector<int>{0, 2}));
  some.SetFilter([](const TAddressTable&, int) { return false; });
  EXPECT_TRUE(some.Empty());
  EXPECT_EQ(some.Current(), -1);
  EXPECT_FALSE(some.First());
  EXPECT_FALSE(some.Next());
}

TEST(AddressBookRules, LookupFilter) {
  struct Case {
    const char* pattern;
    bool caseInsensitive, partial;
    const char* name;
    const char* email;
    bool accepted;
  } cases[] = {
      {"", false, false, "Ann Smith", "ann@example.com", true},
      {"Ann", false, false, "Ann Smith", "x@y", true},
      {"ann", false, false, "Ann Smith", "x@y", false},
      {"ann", true, false, "Ann Smith", "x@y", true},
      {"smi", true, false, "Ann Smith", "x@y", false},  // not at the start
      {"smi", true, true, "Ann Smith", "x@y", true},
      {"Smi", false, true, "Ann Smith", "x@y", true},
      {"smi", false, true, "Ann Smith", "x@y", false},
      {"exam", false, false, "Ann Smith", "ann@example.com", false},
      {"EXAM", true, true, "Ann Smith", "ann@example.com", true},
      {"ann@", false, false, "Bob", "ann@example.com", true},  // either field
      {"Ann Smith!", true, true, "Ann Smith", "ann@example.com", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LookupAccepts({c.pattern, c.caseInsensitive, c.partial}, c.name, c.email), c.accepted)
        << c.pattern << " ci=" << c.caseInsensitive << " partial=" << c.partial << " " << c.name;
}

TEST(AddressBookRules, RecordsBecomeRecipientsOnceAndChangeOnlyTheirKind) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("t.dbf");
  WriteFileBytes(path, ReadExistingFile(Golden("three.dbf")));
  const TAddressTable t = TAddressTable::Open(path, GoldenDay);
  std::vector<TRecipient> list{{-1, "typed@example.com", "", TRecipient::kTo}};
  TakeRecordRecipient(RecordRecipient(t, 2, TRecipient::kCc), list);
  TakeRecordRecipient(RecordRecipient(t, 0, TRecipient::kTo), list);
  TakeRecordRecipient(RecordRecipient(t, 2, TRecipient::kBcc), list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1], (TRecipient{7, "celine@example.fr", "C\xE9line Dupr\xE9", TRecipient::kBcc}));
  std::vector<std::string> lines;
  for (const TRecipient& r : list) lines.push_back(ReceiverLine(r));
  EXPECT_EQ(lines, (std::vector<std::string>{"To:  <typed@example.com>", "Bcc: C\xE9line Dupr\xE9 <celine@example.fr>",
                                             "To: Ann Smith <ann@example.com>"}));
  // Typed entries (-1) are never taken for records.
  TakeRecordRecipient({-1, "other@example.com", "", TRecipient::kCc}, list);
  EXPECT_EQ(list.size(), 4u);
}

// Mutations of the valid golden tables: each opens, reads whole and takes a new record
// that a later open finds after the old ones, or is refused by a clear error and left
// untouched.
void Mutate(Bytes& b, std::mt19937& rng) {
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  switch (pick(5)) {
    case 0:
      b[pick(b.size())] ^= uint8_t(1u << pick(8));
      break;
    case 1: {  // an odd value in a length, count or descriptor byte
      static const size_t kAt[] = {0, 4, 8, 10, 32 + 11, 32 + 16, 64 + 16, 96 + 11, 96 + 16, 128};
      const size_t at = kAt[pick(std::size(kAt))];
      const uint32_t values[] = {0, 1, 0xFF, 0xFFFF, 0xFFFFFFFF, 0x0D, uint32_t(b.size()), uint32_t(rng())};
      const uint32_t v = values[pick(std::size(values))];
      for (size_t i = 0; i < (at == 4 ? 4u : at == 8 || at == 10 ? 2u : 1u) && at + i < b.size(); ++i)
        b[at + i] = uint8_t(v >> (8 * i));
      break;
    }
    case 2:
      b.resize(pick(b.size()));
      break;
    case 3: {
      const size_t at = pick(b.size());
      for (size_t i = at; i < b.size() && i < at + 1 + pick(40); ++i) b[i] = uint8_t(rng());
      break;
    }
    default:
      b.insert(b.begin() + ptrdiff_t(pick(b.size() + 1)), uint8_t(rng()));
      break;
  }
}

TEST(AddressTable, MutatedTablesOpenWholeOrAreRefusedUntouched) {
  const std::vector<Bytes> seeds{ReadExistingFile(Golden("three.dbf")), ReadExistingFile(Golden("extra-field.dbf"))};
  const testsupport::FuzzSeeds s = testsupport::FuzzSeedsFromEnvironment("AddressTable mutations");
  ScratchDir dir("qab");
  const std::string path = dir.Path("t.dbf");
  for (uint32_t seed = s.first; seed < s.first + s.count; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Bytes b = seeds[rng() % seeds.size()];
    for (int n = 1 + int(rng() % 3); n > 0 && !b.empty(); --n) Mutate(b, rng);
    WriteFileBytes(path, b);
    std::optional<TAddressTable> t;
    try {
      t.emplace(TAddressTable::Open(path, GoldenDay));
    } catch (const EAddressTableError& e) {
      EXPECT_EQ(e.Message().rfind(Prefix(path), 0), 0u) << e.Message();
      EXPECT_EQ(testsupport::ReadFileBytes(path), b) << "a refused table was changed";
      continue;
    }
    const std::string before = Render(*t);
    const int count = t->RecordCount();
    try {
      const int r = t->Insert();
      t->SetText(r, TAddressTable::kEmail, "new@example.com");
      t->Store(r);
    } catch (const EAddressTableError& e) {
      // No free ID, or one too long for a narrowed "ID" field: nothing is written.
      EXPECT_EQ(t->RecordCount(), count) << e.Message();
      EXPECT_EQ(testsupport::ReadFileBytes(path), b) << e.Message();
      continue;
    }
    const TAddressTable again = TAddressTable::Open(path, GoldenDay);
    EXPECT_EQ(again.RecordCount(), count + 1);
    EXPECT_EQ(Render(again), Render(*t));
    EXPECT_EQ(Render(again).rfind(before, 0), 0u);
    if (HasFailure()) break;
  }
}

#ifdef QUILTOR_DBF_READ
// Another reader of dBASE tables reads what the layer writes: header, fields, live and
// deleted records, texts in Windows ANSI.
TEST(AddressTable, DbfreadReadsWhatTheLayerWrites) {
  ScratchDir dir("qab");
  const std::string path = dir.Path("Quiltor32_db2.dbf");
  TAddressTable t = TAddressTable::OpenOrCreate(path, [] { return TTableDate{2027, 1, 31}; });
  const std::pair<const char*, const char*> people[] = {
      {"Ann Smith", "ann@example.com"}, {"Bob Jones", "bob@example.org"}, {"C\xE9line Dupr\xE9", "celine@example.fr"}};
  for (const auto& [name, email] : people) {
    const int r = t.Insert();
    t.SetText(r, TAddressTable::kRealName, name);
    t.SetText(r, TAddressTable::kEmail, email);
    t.Store(r);
  }
  t.MarkDeleted(1);
  const std::string command = std::string(QUILTOR_DBF_READ) + " '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << out;
  EXPECT_EQ(out,
            "version 3 date 127-1-31 records 3 header 129 record 312 language 3\n"
            "field REALNAME C 150 0\nfield EMAIL C 150 0\nfield ID N 11 0\n"
            "live 1|Ann Smith|ann@example.com\nlive 3|C\xE9line Dupr\xE9|celine@example.fr\n"
            "deleted 2|Bob Jones|bob@example.org\n");
}
#endif

}  // namespace
