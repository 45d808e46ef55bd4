// The rules of TRegistry, run over the in-memory backend and, in the Windows build, over the
// system registry of the test prefix as well, so both backends are held to the same table.
// Everything happens below one scratch key that each test removes before and after.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "framework/core/registry.h"
#include "framework/core/strings.h"
#ifdef _WIN32
#include "framework/win/registry_win32.h"
#endif

namespace {

const std::string kBase = "Software\\QuiltorTests\\RegistryRules";

// "~" stands for the scratch key.
std::string Expand(const std::string& s) {
  std::string r;
  for (char c : s) r += c == '~' ? kBase : std::string(1, c);
  return r;
}

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "no exception";
}

struct Backend {
  const char* name;
  std::function<IRegistryBackend&()> get;
};
void PrintTo(const Backend& b, std::ostream* os) { *os << b.name; }

class RegistryRules : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    backend_ = &GetParam().get();
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (TRootKey root : {TRootKey::hkCurrentUser, TRootKey::hkLocalMachine}) {
      TRegistry r(*backend_, root);
      r.DeleteKey("\\" + kBase);
      ASSERT_FALSE(r.KeyExists("\\" + kBase));
    }
  }
  IRegistryBackend& B() { return *backend_; }
  IRegistryBackend* backend_ = nullptr;
};

enum class Op { Create, Open, ReadOnly };

struct PathCase {
  const char* start;  // key opened (creating) first; null: none
  const char* path;
  Op op;
  bool ok;
  const char* current;  // CurrentPath afterwards; "" when no key is open
};

TEST_P(RegistryRules, KeyPathsAbsoluteRelativeAndCleaned) {
  const PathCase cases[] = {
      {nullptr, "\\~\\a\\\\b\\", Op::Create, true, "~\\a\\b"},  // doubled and trailing "\"
      {nullptr, "~\\a", Op::Create, true, "~\\a"},               // no key open: from the root
      {"\\~", "x\\y", Op::Create, true, "~\\x\\y"},              // relative to the current key
      {"\\~\\x", "\\~\\z", Op::Create, true, "~\\z"},            // absolute
      {"\\~", "", Op::Open, true, "~"},
      {"\\~", "missing", Op::Open, false, "~"},                  // the current key stays
      {"\\~", "\\~\\missing", Op::Open, false, ""},              // closed before opening
      {"\\~", "ro", Op::ReadOnly, false, "~"},                   // read-only never creates
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(std::string(c.start ? c.start : "-") + " then " + c.path);
    TRegistry r(B());
    if (c.start) {
      ASSERT_TRUE(r.OpenKey(Expand(c.start), true));
    }
    std::string path = Expand(c.path);
    bool ok = c.op == Op::ReadOnly ? r.OpenKeyReadOnly(path) : r.OpenKey(path, c.op == Op::Create);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(r.CurrentPath(), Expand(c.current));
    EXPECT_EQ(r.HasCurrentKey(), *c.current != 0);
  }
  TRegistry r(B());
  EXPECT_FALSE(r.KeyExists("\\" + kBase + "\\ro"));
  ASSERT_TRUE(r.OpenKey("\\" + kBase, false));
  EXPECT_TRUE(r.KeyExists("A\\B"));  // relative, ignoring case
  EXPECT_TRUE(r.KeyExists("\\" + kBase + "\\z"));
  EXPECT_FALSE(r.KeyExists("z\\q"));
  EXPECT_EQ(r.CurrentPath(), kBase);  // KeyExists leaves the current key alone
  TStringList names;
  r.GetKeyNames(names);
  EXPECT_EQ(names.CommaText(), "a,x,z");  // in name order
}

TEST_P(RegistryRules, TypedReadsRejectMissingAndMistypedValues) {
  TRegistry r(B());
  ASSERT_TRUE(r.OpenKey("\\" + kBase, true));
  const uint8_t four[4] = {1, 2, 3, 4};
  r.WriteString("s", "text");
  r.WriteExpandString("e", "%WINDIR%\\x");
  r.WriteString("empty", "");
  r.WriteInteger("i", -7);
  r.WriteBool("no", false);
  r.WriteBinaryData("b", four, 4);
  r.WriteFloat("f", 2.5);
  r.WriteString("", "default value");

  EXPECT_EQ(r.ReadString("S"), "text");  // names ignore case
  EXPECT_EQ(r.ReadString("e"), "%WINDIR%\\x");  // not expanded
  EXPECT_EQ(r.ReadString("empty"), "");
  EXPECT_EQ(r.ReadString(""), "default value");
  EXPECT_EQ(r.ReadInteger("i"), -7);
  EXPECT_TRUE(r.ReadBool("i"));
  EXPECT_FALSE(r.ReadBool("no"));
  EXPECT_EQ(r.ReadFloat("f"), 2.5);
  uint8_t buf[8] = {};
  EXPECT_EQ(r.ReadBinaryData("b", buf, sizeof buf), 4);
  EXPECT_EQ(buf[3], 4);

  struct Bad {
    std::function<void()> read;
    const char* message;
  } bad[] = {
      {[&] { r.ReadString("i"); }, "Invalid data type for 'i'"},
      {[&] { r.ReadString("b"); }, "Invalid data type for 'b'"},
      {[&] { r.ReadInteger("s"); }, "Invalid data type for 's'"},
      {[&] { r.ReadInteger("b"); }, "Invalid data type for 'b'"},  // four bytes, but binary
      {[&] { r.ReadBool("e"); }, "Invalid data type for 'e'"},
      {[&] { r.ReadFloat("b"); }, "Invalid data type for 'b'"},
      {[&] { r.ReadFloat("i"); }, "Invalid data type for 'i'"},
      {[&] { r.ReadBinaryData("s", buf, 8); }, "Invalid data type for 's'"},
      {[&] { r.ReadBinaryData("f", buf, 4); }, "Failed to get data for 'f'"},  // buffer too small
      {[&] { r.ReadString("Startup page"); }, "Failed to get data for 'Startup page'"},
      {[&] { r.ReadInteger("gone"); }, "Failed to get data for 'gone'"},
  };
  for (const Bad& b : bad) EXPECT_EQ(Message(b.read), b.message);

  EXPECT_EQ(r.TryReadString("empty"), std::optional<std::string>(""));  // empty is a value
  EXPECT_EQ(r.TryReadString("i"), std::nullopt);
  EXPECT_EQ(r.TryReadString("gone"), std::nullopt);
  EXPECT_EQ(r.TryReadInteger("i"), std::optional<int>(-7));
  EXPECT_EQ(r.TryReadInteger("s"), std::nullopt);
  EXPECT_EQ(r.TryReadBool("no"), std::optional<bool>(false));
  EXPECT_EQ(r.TryReadBool("b"), std::nullopt);

  TStringList values;
  r.GetValueNames(values);
  values.SetSorted(true);
  EXPECT_EQ(values.CommaText(), "\"\",b,e,empty,f,i,no,s");
  EXPECT_TRUE(r.DeleteValue("s"));
  EXPECT_FALSE(r.ValueExists("s"));
  EXPECT_FALSE(r.DeleteValue("s"));
  r.WriteInteger("i", 12);  // overwrites
  EXPECT_EQ(r.ReadInteger("i"), 12);
}

TEST_P(RegistryRules, WithoutAWritableKeyValuesFail) {
  {
    TRegistry r(B());
    ASSERT_TRUE(r.OpenKey("\\" + kBase + "\\k", true));
    r.WriteString("v", "1");
  }
  TRegistry r(B());
  EXPECT_FALSE(r.ValueExists("v"));
  EXPECT_EQ(Message([&] { r.ReadString("v"); }), "Failed to get data for 'v'");
  EXPECT_EQ(Message([&] { r.WriteString("v", "x"); }), "Failed to set data for 'v'");
  TStringList names;
  names.Add("stale");
  r.GetKeyNames(names);
  EXPECT_EQ(names.Count(), 0);
  EXPECT_FALSE(r.FlushKey());

  ASSERT_TRUE(r.OpenKeyReadOnly("\\" + kBase + "\\k"));
  EXPECT_EQ(r.ReadString("v"), "1");
  EXPECT_EQ(Message([&] { r.WriteString("v", "x"); }), "Failed to set data for 'v'");
  EXPECT_EQ(r.ReadString("v"), "1");

  // A failed absolute open leaves no key to write into by mistake.
  EXPECT_FALSE(r.OpenKey("\\" + kBase + "\\none", false));
  EXPECT_EQ(Message([&] { r.WriteString("v", "x"); }), "Failed to set data for 'v'");

  // Each root is its own tree; changing the root closes the key.
  ASSERT_TRUE(r.OpenKey("\\" + kBase + "\\k", false));
  r.SetRootKey(TRootKey::hkLocalMachine);
  EXPECT_FALSE(r.HasCurrentKey());
  EXPECT_FALSE(r.KeyExists("\\" + kBase + "\\k"));
  ASSERT_TRUE(r.OpenKey("\\" + kBase + "\\k", true));
  EXPECT_FALSE(r.ValueExists("v"));
  EXPECT_TRUE(r.FlushKey());
}

TEST_P(RegistryRules, DeleteKeyTakesItsSubkeys) {
  TRegistry r(B());
  for (const char* k : {"d\\a\\x", "d\\a\\y", "d\\b", "keep"}) {
    ASSERT_TRUE(r.OpenKey("\\" + kBase + "\\" + k, true));
    r.WriteString("v", k);
  }
  ASSERT_TRUE(r.OpenKey("\\" + kBase + "\\d\\a\\x", false));
  EXPECT_TRUE(r.DeleteKey("\\" + kBase + "\\D"));
  EXPECT_FALSE(r.HasCurrentKey());  // the current key went with it
  EXPECT_FALSE(r.KeyExists("\\" + kBase + "\\d"));
  EXPECT_TRUE(r.KeyExists("\\" + kBase + "\\keep"));
  EXPECT_FALSE(r.DeleteKey("\\" + kBase + "\\d"));

  ASSERT_TRUE(r.OpenKey("\\" + kBase, false));
  ASSERT_TRUE(r.OpenKey("keep\\sub", true));
  ASSERT_TRUE(r.OpenKey("\\" + kBase, false));
  EXPECT_TRUE(r.DeleteKey("keep"));  // relative
  EXPECT_EQ(r.CurrentPath(), kBase);  // a key above the deleted one stays open
  EXPECT_FALSE(r.KeyExists("keep"));
  EXPECT_FALSE(r.DeleteKey("\\"));  // never the root itself
}

INSTANTIATE_TEST_SUITE_P(Memory, RegistryRules,
                         ::testing::Values(Backend{"Memory", [] () -> IRegistryBackend& {
                           static std::unique_ptr<TMemRegistry> mem;
                           mem = std::make_unique<TMemRegistry>();
                           return *mem;
                         }}),
                         [](const auto& test) { return std::string(test.param.name); });
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(System, RegistryRules,
                         ::testing::Values(Backend{"System", [] () -> IRegistryBackend& {
                           return SystemRegistry();
                         }}),
                         [](const auto& test) { return std::string(test.param.name); });
#endif

TEST(MemRegistry, EveryHandleIsClosed) {
  TMemRegistry mem;
  {
    TRegistry r(mem);
    ASSERT_TRUE(r.OpenKey("\\a\\b\\c", true));
    r.WriteInteger("n", 1);
    EXPECT_TRUE(r.KeyExists("\\a\\b"));
    ASSERT_TRUE(r.OpenKey("\\a", false));
    EXPECT_TRUE(r.DeleteKey("b"));
    ASSERT_TRUE(r.OpenKeyReadOnly("\\a"));
    EXPECT_EQ(mem.OpenHandles(), 1u);
  }
  EXPECT_EQ(mem.OpenHandles(), 0u);
}

}  // namespace
