#include <gtest/gtest.h>

#include "framework/core/streams.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"

namespace {

TEST(StringList, TextSplitsOnEveryLineBreakAndJoinsWithCrLf) {
  TStringList l;
  l.SetText("a\rb\nc\r\n\r\nd");
  ASSERT_EQ(l.Count(), 5);
  EXPECT_EQ(l[3], "");
  EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\n\r\nd\r\n");
  EXPECT_THROW(l.Get(5), EListError);
  TMemoryStream m;
  l.SaveToStream(m);
  m.SetPosition(0);
  TStringList back;
  back.LoadFromStream(m);
  EXPECT_EQ(back.Text(), l.Text());
}

TEST(StringList, SortedWithDuplicatesObjectsAndNames) {
  TStringList l;
  l.SetSorted(true);
  TObject tag;
  EXPECT_EQ(l.AddObject("pear", &tag), 0);
  l.Add("Apple");
  l.Add("banana");
  EXPECT_EQ(l.Add("APPLE"), 0);  // dupIgnore: the existing index
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l.CommaText(), "Apple,banana,pear");
  EXPECT_EQ(l.IndexOf("PEAR"), 2);
  EXPECT_EQ(l.GetObject(2), &tag);
  EXPECT_EQ(l.IndexOfObject(&tag), 2);
  EXPECT_THROW(l.Insert(0, "x"), EListError);
  l.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(l.Add("banana"), EListError);
  l.SetDuplicates(TDuplicates::dupAccept);
  l.Add("banana");
  EXPECT_EQ(l.Count(), 4);

  TStringList v;
  v.Add("Host=mail.example");
  v.Add("Port=25");
  EXPECT_EQ(v.Value("host"), "mail.example");
  EXPECT_EQ(v.Names(1), "Port");
  v.SetValue("Port", "");
  v.SetValue("User", "me");
  EXPECT_EQ(v.Text(), "Host=mail.example\r\nUser=me\r\n");
}

TEST(StringList, OnChangeFiresOncePerUpdateAndAssignCopies) {
  TStringList l;
  int changes = 0;
  l.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  l.Add("x");
  EXPECT_EQ(changes, 1);
  l.BeginUpdate();
  l.Add("y");
  l.Add("z");
  l.EndUpdate();
  EXPECT_EQ(changes, 2);
  TStringList copy;
  copy.Assign(l);
  EXPECT_EQ(copy.Text(), "x\r\ny\r\nz\r\n");
  copy.Move(0, 2);
  EXPECT_EQ(copy.Text(), "y\r\nz\r\nx\r\n");
}

TEST(SysUtils, FormatAndNumbers) {
  EXPECT_EQ(Format("%d|%5d|%-4d|%.3d|%x|%u", {int64_t(-7), int64_t(42), int64_t(1), int64_t(5),
                                              int64_t(255), int64_t(-1)}),
            "-7|   42|1   |005|FF|4294967295");
  EXPECT_EQ(Format("%s%%%.2s", {std::string("a"), std::string("bcd")}), "a%bc");
  EXPECT_EQ(Format("%0.0n bytes, %.1f", {int64_t(1234567), 2.25}), "1,234,567 bytes, 2.3");
  EXPECT_THROW(Format("%d", {std::string("x")}), EConvertError);
  EXPECT_THROW(Format("%d %d", {int64_t(1)}), EConvertError);
  TLocale dots;
  dots.ThousandSeparator = '.';
  dots.DecimalSeparator = ',';
  TLocale old = SetLocale(dots);
  EXPECT_EQ(Format("%.0n", {int64_t(1000)}), "1.000");
  SetLocale(old);
  EXPECT_EQ(StrToInt(" -12 "), -12);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  EXPECT_THROW(StrToInt("3000000000"), EConvertError);
  EXPECT_EQ(StrToIntDef("", 9), 9);
}

// Message texts: whatever the arguments, the text comes out.
TEST(SysUtils, FormatTolerantCopiesWhatNoArgumentFits) {
  struct Case {
    const char* format;
    std::vector<TFormatArg> args;
    const char* result;
  } cases[] = {
      {"Cannot open the file %s", {"C:\\a%d.txt"}, "Cannot open the file C:\\a%d.txt"},
      {"%d is an invalid index in %s", {"7", "list"}, "7 is an invalid index in list"},
      {"%d is an invalid index in %s", {int64_t(-7), "list"}, "-7 is an invalid index in list"},
      {"100%% of %s", {"x"}, "100% of x"},
      {"The %d'th string (%s)", {"3"}, "The 3'th string (%s)"},
      {"trailing %", {}, "trailing %"},
      {"%x and %s", {"text"}, "%x and text"},
      {"%s, %5d|%-3s|", {int64_t(42), "ab"}, "%s,    42|ab |"},
      {"%q%s 50% off", {"a"}, "%qa 50% off"},
      {"%.1f%n", {2.25, int64_t(1234)}, "2.31,234.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatTolerant(c.format, c.args), c.result) << c.format;
}

TEST(SysUtils, PathsAndCase) {
  struct Case {
    const char *path, *dir, *name, *changed;
  };
  const Case cases[] = {
      {"C:\\Tools\\Quiltor32.exe", "C:\\Tools\\", "Quiltor32.exe", "C:\\Tools\\Quiltor32_db2.dbf"},
      {"C:readme", "C:", "readme", "C:readme_db2.dbf"},
      {"a.b\\c", "a.b\\", "c", "a.b\\c_db2.dbf"},
      {"plain.txt", "", "plain.txt", "plain_db2.dbf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.path), c.dir);
    EXPECT_EQ(ExtractFileName(c.path), c.name);
    EXPECT_EQ(ChangeFileExt(c.path, "_db2.dbf"), c.changed);
  }
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x\\"), "C:\\x\\");
  // A trail byte equal to "\" in a double-byte code page is not a separator.
  TLocale dbcs;
  dbcs.IsLeadByte = [](uint8_t b) { return b >= 0x81 && b <= 0x9F; };
  TLocale old = SetLocale(dbcs);
  EXPECT_EQ(ExtractFilePath("d\\\x95\\x"), "d\\");
  SetLocale(old);
  EXPECT_EQ(AnsiUpperCase("abc\xE9"), "ABC\xE9");  // ASCII only without a system locale
  // SameText folds ASCII letters only, whatever the locale says.
  TLocale folding;
  folding.Upper = [](const std::string& t) { return t == "\xE9" ? std::string("\xC9") : t; };
  old = SetLocale(folding);
  EXPECT_TRUE(AnsiSameText("\xE9", "\xC9"));
  EXPECT_FALSE(SameText("\xE9", "\xC9"));
  SetLocale(old);
  EXPECT_TRUE(SameText("Read-Me.TXT", "read-me.txt"));
  EXPECT_FALSE(SameText("a", "ab"));
  EXPECT_FALSE(SameText("[", "{"));  // '[' + 32 is '{': only letters fold
  EXPECT_EQ(Trim("\t x \r\n"), "x");
}

}  // namespace
