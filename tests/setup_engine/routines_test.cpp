#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "framework/core/strings.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace setup;

TEST(SetupRoutines, Backslashes) {
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
  EXPECT_EQ(RemoveBackslash("C:\\"), "C:");
  EXPECT_EQ(RemoveBackslash("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(RemoveBackslash(""), "");
}

// The count looks at the separator it is given, and a field outside the count is empty.
TEST(SetupRoutines, FieldsOfASeparatedText) {
  struct Case {
    std::string text;
    char sep;
    int count;
    std::vector<std::string> fields;  // 1 ... count, then count + 1 (always "")
  } cases[] = {
      {"a;b;c", ';', 3, {"a", "b", "c"}},
      {"a;b", ';', 2, {"a", "b"}},
      {"a;b;", ';', 2, {"a", "b"}},
      {";", ';', 1, {""}},
      {";;x", ';', 3, {"", "", "x"}},
      {"", ';', 0, {}},
      {"a,b,", ',', 2, {"a", "b"}},
      {"a,b;", ',', 2, {"a", "b;"}},
      {"no separator", ',', 1, {"no separator"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FieldCount(c.text, c.sep), c.count);
    for (int i = 1; i <= c.count; ++i) EXPECT_EQ(GetField(c.text, i, c.sep), c.fields[size_t(i - 1)]);
    EXPECT_EQ(GetField(c.text, c.count + 1, c.sep), "");
    EXPECT_EQ(GetField(c.text, 0, c.sep), "");
    EXPECT_EQ(GetField(c.text, -1, c.sep), "");
    TStringList list;
    list.Add("old");
    SplitFields(c.text, c.sep, list);
    ASSERT_EQ(list.Count(), c.count);
    for (int i = 0; i < c.count; ++i) EXPECT_EQ(list[i], c.fields[size_t(i)]);
  }
}

TEST(SetupRoutines, ColonsAndSafeFileNames) {
  EXPECT_EQ(AfterColon("C:\\dir"), "\\dir");
  EXPECT_EQ(AfterColon("a:b:c"), "b:c");
  EXPECT_EQ(AfterColon("none"), "");
  EXPECT_EQ(SafeFileName("ftp/x:y"), "ftp-xy");
  EXPECT_EQ(SafeFileName("a\"*:;<>?\\|b/c"), "ab-c");
  EXPECT_EQ(SafeFileName("host.example"), "host.example");
}

TEST(SetupRoutines, IniSections) {
  testsupport::ScratchDir dir("qtini");
  std::string file = dir.Path("setup.ini");
  std::ofstream(file, std::ios::binary) << "[Main]\r\nkey=value\r\n  [Second] \r\n[\r\n[]\r\nx[Not]\r\n[Last";
  TStringList sections;
  sections.Add("stale");
  ReadIniSections(file, sections);
  ASSERT_EQ(sections.Count(), 4);
  EXPECT_EQ(sections[0], "Main");
  EXPECT_EQ(sections[1], "Second");
  EXPECT_EQ(sections[2], "");     // "[]": both brackets go
  EXPECT_EQ(sections[3], "Las");  // the last character goes, whatever it is
  EXPECT_THROW(ReadIniSections(dir.Path("missing.ini"), sections), Exception);
}

TEST(SetupRoutines, UniqueNamesSkipTakenOnes) {
  TOwned<TComponent> owner(new TComponent(nullptr));
  auto* a = new TComponent(owner.get());
  auto* b = new TComponent(owner.get());
  auto* c = new TComponent(owner.get());
  SetUniqueName(*a, "MainTranslator");
  SetUniqueName(*b, "MainTranslator");
  SetUniqueName(*c, "MainTranslator");
  EXPECT_EQ(a->Name(), "MainTranslator");
  EXPECT_EQ(b->Name(), "MainTranslator1");
  EXPECT_EQ(c->Name(), "MainTranslator2");
  SetUniqueName(*b, "MainTranslator1");  // its own name is no obstacle
  EXPECT_EQ(b->Name(), "MainTranslator1");
  // A base that no name can be made of fails at once instead of trying forever.
  EXPECT_THROW(SetUniqueName(*c, "1st"), EComponentError);
}

TEST(SetupRoutines, WindowsPlatformOfEachVersion) {
  struct Case {
    TWindowsVersion version;
    int platform;
  } cases[] = {
      {{0, 3, 10}, 0},  {{1, 4, 0}, 1},   {{1, 4, 90}, 1}, {{2, 3, 51}, 3}, {{2, 3, 50}, 3},
      {{2, 3, 5}, 3},   {{2, 3, 10}, 2},  {{2, 4, 0}, 2},  {{2, 5, 1}, 2},  {{2, 13, 5}, 2},
      {{2, 10, 0}, 2},  {{3, 6, 0}, 4},   {{7, 3, 51}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.version.PlatformId) + " " + std::to_string(c.version.Major) + "." +
                 std::to_string(c.version.Minor));
    TWindowsVersionQuery old = SetWindowsVersionQuery([&](TWindowsVersion& v) {
      v = c.version;
      return true;
    });
    EXPECT_EQ(GetWindowsPlatform(), c.platform);
    SetWindowsVersionQuery(old);
  }
  TWindowsVersionQuery old = SetWindowsVersionQuery([](TWindowsVersion&) { return false; });
  try {
    GetWindowsPlatform();
    ADD_FAILURE() << "no exception";
  } catch (const EAPIRoutines& e) {
    EXPECT_EQ(e.Message(), "Could not get information about the current version of Windows");
  }
  SetWindowsVersionQuery(old);
}

// The registry helpers over an in-memory registry; a backend that refuses writes shows
// the two forms of the write error.
class SetupRegistryRoutines : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetSetupRegistry(&memory_); }
  void TearDown() override { SetSetupRegistry(previous_); }
  TMemRegistry memory_;
  IRegistryBackend* previous_ = nullptr;
};

TEST_F(SetupRegistryRoutines, RootsInTheInstallersNumbering) {
  const TRootKey keys[] = {TRootKey::hkClassesRoot, TRootKey::hkCurrentConfig, TRootKey::hkCurrentUser,
                           TRootKey::hkDynData,     TRootKey::hkLocalMachine,  TRootKey::hkUsers};
  const char* names[] = {"hkClassesRoot", "hkCurrentConfig", "hkCurrentUser", "hkDynData",
                         "hkLocalMachine", "hkUsers"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(ToRootKey(TRootKeys(i)), keys[i]);
    EXPECT_EQ(int(ToRootKeys(keys[i])), i);
    EXPECT_EQ(RootKeysTypeInfo().Names[size_t(i)], names[i]);
  }
}

TEST_F(SetupRegistryRoutines, WritesCreateKeysAndReadsFallBack) {
  WriteRegString(TRootKeys::hkClassesRoot, "\\quiltor\\shell", "", "open");
  WriteRegInteger(TRootKeys::hkLocalMachine, "\\SOFTWARE\\Kestrin\\Install\\Install0", "Size", 4096);
  EXPECT_EQ(ReadRegString(TRootKeys::hkClassesRoot, "\\quiltor\\shell", "", "x"), "open");
  EXPECT_EQ(ReadRegInteger(TRootKeys::hkLocalMachine, "\\SOFTWARE\\Kestrin\\Install\\Install0", "Size", 0), 4096);
  // Another root, a missing key, a missing value, a value of the other type.
  EXPECT_EQ(ReadRegString(TRootKeys::hkCurrentUser, "\\quiltor\\shell", "", "dflt"), "dflt");
  EXPECT_EQ(ReadRegString(TRootKeys::hkClassesRoot, "\\quiltor\\none", "", "dflt"), "dflt");
  EXPECT_EQ(ReadRegString(TRootKeys::hkClassesRoot, "\\quiltor\\shell", "Other", "dflt"), "dflt");
  EXPECT_EQ(ReadRegInteger(TRootKeys::hkClassesRoot, "\\quiltor\\shell", "", 7), 7);
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, "\\SOFTWARE\\Kestrin\\Install\\Install0", "Size", "d"), "d");
}

TEST_F(SetupRegistryRoutines, WriteFailuresNameWhatWasWritten) {
  struct TRefusing : TMemRegistry {
    bool SetValue(THandle, const std::string&, const TRegValue&) override { return false; }
  } refusing;
  SetSetupRegistry(&refusing);
  try {
    WriteRegString(TRootKeys::hkCurrentUser, "\\Software\\Norvale", "Path", "C:\\Quiltor");
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), "Cannot install into registry. Key: \\Software\\Norvale Ident: Path Value C:\\Quiltor");
  }
  try {
    WriteRegInteger(TRootKeys::hkCurrentUser, "\\Software\\Norvale", "Size", 1);
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), "\\Software\\Norvale");
  }
  EXPECT_FALSE(SetRunOnceValue("KestrinUnfinished", "x", true));
}

TEST_F(SetupRegistryRoutines, TreesGoDeepestFirstAndMissingOnesAreNoError) {
  WriteRegString(TRootKeys::hkLocalMachine, "\\Software\\Kestrin\\Install\\Install0\\Unfinished", "a", "1");
  WriteRegString(TRootKeys::hkLocalMachine, "\\Software\\Kestrin\\Install\\Install1", "Path", "p");
  WriteRegString(TRootKeys::hkLocalMachine, "\\Software\\Kestrin\\Keep", "", "k");
  DeleteRegTree(TRootKeys::hkLocalMachine, "\\Software\\Kestrin\\Install");
  TRegistry reg(memory_, TRootKey::hkLocalMachine);
  EXPECT_FALSE(reg.KeyExists("\\Software\\Kestrin\\Install"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Kestrin\\Keep"));
  DeleteRegTree(TRootKeys::hkLocalMachine, "\\Software\\Kestrin\\Install");
  DeleteRegTree(TRootKeys::hkUsers, "\\Nothing\\Here");
  EXPECT_EQ(memory_.OpenHandles(), 0u);
}

TEST_F(SetupRegistryRoutines, RunOnceTakesTheFirstFreeName) {
  ASSERT_TRUE(SetRunOnceValue("KestrinUnfinished", "one", true));
  ASSERT_TRUE(SetRunOnceValue("KestrinUnfinished", "two", true));
  ASSERT_TRUE(SetRunOnceValue("KestrinUnfinished", "three", true));
  ASSERT_TRUE(SetRunOnceValue("KestrinUnfinished", "four", true));
  const std::string key = kRunOnceKey;
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key, "KestrinUnfinished", ""), "one");
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key, "KestrinUnfinished1", ""), "two");
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key, "KestrinUnfinished2", ""), "three");
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key, "KestrinUnfinished3", ""), "four");
  ASSERT_TRUE(SetRunOnceValue("KestrinUnfinished", "again", false));
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key, "KestrinUnfinished", ""), "again");
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key, "KestrinUnfinished4", "none"), "none");
}

// The entry must outlast the restart it is for: the key goes to disk once the value is in
// it, and a key that cannot be flushed is a failure.
TEST_F(SetupRegistryRoutines, RunOnceFlushesItsKey) {
  struct TFlushing : TMemRegistry {
    bool refuse = false;
    std::vector<std::string> flushed;  // the values the key held when it was flushed
    bool FlushKey(THandle key) override {
      std::vector<std::string> names;
      EnumValues(key, names);
      flushed.push_back(names.empty() ? "" : names.back());
      return !refuse;
    }
  } flushing;
  SetSetupRegistry(&flushing);
  ASSERT_TRUE(SetRunOnceValue("KestrinBatFile", "a.bat", true));
  ASSERT_TRUE(SetRunOnceValue("KestrinBatFile", "b.bat", true));
  EXPECT_EQ(flushing.flushed, std::vector<std::string>({"KestrinBatFile", "KestrinBatFile1"}));
  flushing.refuse = true;
  EXPECT_FALSE(SetRunOnceValue("KestrinBatFile", "c.bat", true));
  EXPECT_EQ(flushing.OpenHandles(), 0u);
}

}  // namespace
