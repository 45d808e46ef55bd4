// The patch builder's settings over the in-memory registry and, in the Windows build, over
// the system registry of the throwaway Wine prefix. Each test starts from a registry without
// the builder's keys, the other mail programs' keys and the system commands; the system
// values that the prefix has are put back afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "builder/address_book_library.h"
#include "builder/settings.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "tests/support/scratch_dir.h"
#ifdef _WIN32
#include "framework/win/registry_win32.h"
#endif

// Found by GoogleTest next to the type.
void PrintTo(const TEmailSettings& e, std::ostream* os) {
  *os << "{" << e.Label << " | " << e.EmailAddress << " | " << e.FullName << " | " << e.SmtpHost << " | "
      << e.Organization << " | " << e.ReplyTo << " | " << int(e.Imported) << "}";
}
void PrintTo(const TPackerSettings& p, std::ostream* os) {
  *os << "{" << p.UseSystemPath << " | " << p.Path << " | " << p.Args << "}";
}

namespace {

struct Backend {
  const char* name;
  std::function<IRegistryBackend&()> get;
};
void PrintTo(const Backend& b, std::ostream* os) { *os << b.name; }


// Keys that only the tests make.
const std::pair<TRootKey, const char*> kScratchKeys[] = {
    {TRootKey::hkCurrentUser, "\\Software\\Norvale"},
    {TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Internet Mail and News"},
    {TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Internet Account Manager"},
    {TRootKey::hkCurrentUser, "\\Software\\Netscape"},
    {TRootKey::hkLocalMachine, "\\Software\\Netscape"},
    {TRootKey::hkLocalMachine, "\\SOFTWARE\\Norvale"},
};

struct SystemValue {
  TRootKey root;
  const char* key;
  const char* name;
};
const SystemValue kSystemValues[] = {
    {TRootKey::hkCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop"},
    {TRootKey::hkClassesRoot, "mailto\\shell\\open\\command", ""},
    {TRootKey::hkClassesRoot, "http\\shell\\open\\command", ""},
    {TRootKey::hkLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App paths\\netscape.exe", ""},
    {TRootKey::hkLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App paths\\iexplore.exe", ""},
    {TRootKey::hkLocalMachine, "Software\\Microsoft\\WAB\\DLLPath", ""},
};

// One system value as it was: the value, or the topmost key of its path that was missing.
struct SavedValue {
  SystemValue where;
  std::optional<TRegValue> value;
  std::string missingKey;
};

class Settings : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    backend_ = &GetParam().get();
    RemoveScratchKeys();
    for (const SystemValue& v : kSystemValues) saved_.push_back(SaveAndClear(v));
  }
  void TearDown() override {
    RemoveScratchKeys();
    for (const SavedValue& s : saved_) Restore(s);
    tempDir_.reset();
  }

  void RemoveScratchKeys() {
    for (const auto& [root, key] : kScratchKeys) {
      TRegistry r(B(), root);
      r.DeleteKey(key);
      ASSERT_FALSE(r.KeyExists(key));
    }
  }
  SavedValue SaveAndClear(const SystemValue& v) {
    SavedValue s{v, std::nullopt, {}};
    IRegistryBackend::THandle h = 0;
    std::string path;
    for (const char* p = v.key;; ++p) {  // find the first missing key on the path
      if (*p == '\\' || *p == 0) {
        path.assign(v.key, p);
        if (!B().OpenKey(v.root, path, false, true, h)) {
          s.missingKey = path;
          return s;
        }
        B().CloseKey(h);
      }
      if (*p == 0) break;
    }
    EXPECT_TRUE(B().OpenKey(v.root, v.key, false, false, h));
    TRegValue value;
    if (B().QueryValue(h, v.name, value)) {
      s.value = value;
      B().DeleteValue(h, v.name);
    }
    B().CloseKey(h);
    return s;
  }
  void Restore(const SavedValue& s) {
    TRegistry r(B(), s.where.root);
    if (!s.missingKey.empty()) {
      r.DeleteKey("\\" + s.missingKey);
      return;
    }
    IRegistryBackend::THandle h = 0;
    ASSERT_TRUE(B().OpenKey(s.where.root, s.where.key, false, false, h));
    if (s.value)
      B().SetValue(h, s.where.name, *s.value);
    else
      B().DeleteValue(h, s.where.name);
    B().CloseKey(h);
  }

  // Writes string values (or with "#", integers) into a key, creating it.
  void Seed(TRootKey root, const std::string& key,
            std::initializer_list<std::pair<const char*, std::string>> values) {
    TRegistry r(B(), root);
    ASSERT_TRUE(r.OpenKey(key, true)) << key;
    for (const auto& [name, value] : values) {
      if (!value.empty() && value[0] == '#')
        r.WriteInteger(name, StrToInt(value.substr(1)));
      else
        r.WriteString(name, value);
    }
  }
  // A new empty directory, removed with what it holds after the test.
  std::string TempDir() {
    if (!tempDir_) tempDir_.emplace("qst");
    return tempDir_->Dir();
  }

  IRegistryBackend& B() { return *backend_; }
  IRegistryBackend* backend_ = nullptr;
  std::vector<SavedValue> saved_;
  std::optional<testsupport::ScratchDir> tempDir_;
};

std::vector<TEmailSettings> CustomIdentities() {
  std::vector<TEmailSettings> list;
  for (int n = 1; n <= 9; ++n)
    list.push_back({"Custom settings #" + IntToStr(n), "fill.in.your@email.address", "Your name",
                    "fill.in.your.smtp.server", "", "", 0});
  return list;
}

TEST_P(Settings, AnEmptyRegistryGivesEveryDefault) {
  TSettings s(B());
  s.Load();
  const TMainSettings& m = s.Main;
  EXPECT_FALSE(m.HideSplash);
  EXPECT_EQ(m.StartupPage, 2);
  EXPECT_EQ(m.StartupPageMode, 3);
  EXPECT_EQ(m.DefaultFilelistStyle, 3);
  EXPECT_EQ(m.Expert, (TPatchPageDefaults{"YourPatch.utp", 0, 0, false, false, "Backup"}));
  EXPECT_EQ(m.Wizard, (TPatchPageDefaults{"YourPatch.exe", 0, 2, false, false, "Backup"}));
  EXPECT_EQ(m.EmailSubject, "Your patch for ...");
  EXPECT_EQ(m.DefaultBrowser, 0);
  EXPECT_EQ(m.MailProfile, "");
  EXPECT_EQ(m.CustomBrowserPath, "");
  EXPECT_EQ(m.CustomBrowserArgs, "%1");
  EXPECT_FALSE(m.RestoreDirectories);
  EXPECT_TRUE(m.DirectoryContents.empty());
  EXPECT_TRUE(m.ExpertRestoreSplitter);
  EXPECT_EQ(m.ExpertSplitterPosition, 336);
  for (const TPackerSettings& p : s.Packers) EXPECT_EQ(p, (TPackerSettings{true, "", "%s %s"}));
  EXPECT_EQ(s.System, (TSystemCommands{"", "", "", "", "", "wab32.dll", ""}));
  EXPECT_EQ(s.Identities, CustomIdentities());  // no imports
}

TEST_P(Settings, EverySettingRoundTrips) {
  TSettings s(B());
  s.Load();
  TMainSettings& m = s.Main;
  m.HideSplash = true;
  m.StartupPage = 4;
  m.StartupPageMode = 0;
  m.DefaultFilelistStyle = 1;
  m.Expert = {"C:\\out\\a.zip", 7, 2, true, true, "old"};
  m.Wizard = {"b.utp", 3, 0, true, false, "save"};
  m.EmailSubject = "Fix \"1\" for you";
  m.DefaultBrowser = 3;
  m.MailProfile = "Custom settings #2";
  m.CustomBrowserPath = "C:\\b\\browse.exe";
  m.CustomBrowserArgs = "-url %1";
  m.RestoreDirectories = true;
  m.DirectoryContents = {EncodeSelection({"C:\\new\\", {"a.exe"}}), EncodeSelection({"C:\\old\\", {}}),
                         EncodeSelection({"C:\\older\\", {"x.dll", "y.dll"}})};
  m.ExpertRestoreSplitter = false;
  m.ExpertSplitterPosition = 120;
  for (size_t i = 0; i < s.Packers.size(); ++i)
    s.Packers[i] = {i == kCustomPacker || i % 2 == 1, "C:\\pk\\" + IntToStr(int(i)) + ".exe", i == kCustomPacker ? "-a %s %s" : "%s %s"};
  s.Identities[4] = {"Custom settings #5", "me@example.org", "Me", "smtp.example.org", "Org", "back@example.org", 0};
  s.Save();

  TSettings t(B());
  t.Load();
  EXPECT_EQ(t.Main, s.Main);
  EXPECT_EQ(t.Packers, s.Packers);
  EXPECT_EQ(t.Identities, s.Identities);

  // Only the six archivers have a check box and only the custom one has arguments.
  TRegistry r(B());
  for (size_t i = 0; i < kPackerNames.size(); ++i) {
    ASSERT_TRUE(r.OpenKey(std::string(kSettingsKey) + "\\packer\\" + kPackerNames[i], false));
    EXPECT_EQ(r.ValueExists("use system path"), i != kCustomPacker) << kPackerNames[i];
    EXPECT_EQ(r.ValueExists("args"), i == kCustomPacker) << kPackerNames[i];
  }

  // With restoring off the saved selections are neither read nor touched.
  t.Main.RestoreDirectories = false;
  t.Main.DirectoryContents.clear();
  t.Save();
  t.Load();
  EXPECT_TRUE(t.Main.DirectoryContents.empty());
  ASSERT_TRUE(r.OpenKey(kSettingsKey, false));
  EXPECT_EQ(r.ReadInteger("Restore Directory number"), 2);
  EXPECT_EQ(r.ReadString("Directory contents 2"), m.DirectoryContents[2]);
}

// Each case stores one bad value; everything must still load as the defaults.
struct BadValue {
  const char* name;
  TRegValue value;
};
TRegValue Int(int v) { return {TRegType::DWord, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}}; }
TRegValue Str(const std::string& s) {
  TRegValue v{TRegType::String, {s.begin(), s.end()}};
  v.Data.push_back(0);
  return v;
}
TRegValue Bin(std::vector<uint8_t> b) { return {TRegType::Binary, std::move(b)}; }

TEST_P(Settings, MissingMistypedAndOutOfRangeValuesGiveTheDefault) {
  const BadValue cases[] = {
      {"Hide Splash", Str("1")},
      {"Startup page", Int(5)},
      {"Startup page", Int(-1)},
      {"Startup page mode", Int(4)},
      {"Default filelist style", Int(4)},
      {"Default filelist style", Bin({1, 0, 0, 0})},
      {"Expert default packer", Int(8)},
      {"Wizard default packer", Int(-1)},
      {"Expert default patch type", Int(3)},
      {"Wizard default patch type", Str("2")},
      {"Expert default patchfile", Str("")},
      {"Wizard default patchfile", Int(1)},
      {"Expert default PGP signed", Str("yes")},
      {"Wizard patch identical files", Bin({1})},
      {"Expert default backup path", Str("")},
      {"default patch email subject", Str("")},
      {"Default browser", Int(4)},
      {"mail profile", Int(3)},
      {"custom browser args", Str("")},
      {"Restore Directories", Str("true")},
      {"Expert restore splitter", Str("0")},
      {"Expert restore splitter position", Str("100")},
  };
  const TMainSettings defaults;
  for (const BadValue& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveScratchKeys();
    IRegistryBackend::THandle h = 0;
    ASSERT_TRUE(B().OpenKey(TRootKey::hkCurrentUser, std::string(kSettingsKey).substr(1), true, false, h));
    ASSERT_TRUE(B().SetValue(h, c.name, c.value));
    B().CloseKey(h);
    TSettings s(B());
    s.Load();
    EXPECT_EQ(s.Main, defaults);
  }

  // The saved selections: a number past the request's 19 sources reads as 19 (the target and
  // 19 sources), a negative one as none.
  for (auto [number, count] : {std::pair{19, 20u}, std::pair{20, 20u}, std::pair{100000, 20u}, std::pair{-1, 0u},
                               std::pair{2, 3u}}) {
    RemoveScratchKeys();
    Seed(TRootKey::hkCurrentUser, kSettingsKey, {{"Restore Directories", "#1"}, {"Directory contents 0", "a"}});
    TRegistry r(B());
    ASSERT_TRUE(r.OpenKey(kSettingsKey, false));
    r.WriteInteger("Restore Directory number", number);
    TSettings s(B());
    s.Load();
    EXPECT_EQ(s.Main.DirectoryContents.size(), count) << number;
  }

  // Packer values.
  RemoveScratchKeys();
  Seed(TRootKey::hkCurrentUser, std::string(kSettingsKey) + "\\packer\\Custom",
       {{"use system path", "no"}, {"path", ""}, {"args", ""}});
  Seed(TRootKey::hkCurrentUser, std::string(kSettingsKey) + "\\packer\\RAR",
       {{"use system path", "#0"}, {"path", "C:\\rar.exe"}});
  TSettings s(B());
  s.Load();
  EXPECT_EQ(s.Packers[kCustomPacker], TPackerSettings{});
  EXPECT_EQ(s.Packers[3], (TPackerSettings{false, "C:\\rar.exe", "%s %s"}));
}

struct PlacementCase {
  std::optional<int> mode;  // nothing stored when empty
  std::optional<TRegValue> left, top;
  int wantMode, wantLeft, wantTop;
};

TEST_P(Settings, WindowPlacement) {
  // Built-in position 70, 40; a 300 x 201 form on a 1024 x 768 screen.
  const PlacementCase cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, 0, 70, 40},
      {0, Int(5), Int(6), 0, 70, 40},
      {1, Int(5), Int(6), 1, 362, 283},  // centred, the half truncated
      {2, Int(-5), Int(600), 2, -5, 600},
      {2, std::nullopt, Str("9"), 2, 70, 40},
      {3, Int(5), Int(6), 0, 70, 40},
      {-1, Int(5), Int(6), 0, 70, 40},
  };
  for (const PlacementCase& c : cases) {
    SCOPED_TRACE(c.mode ? *c.mode : -99);
    RemoveScratchKeys();
    IRegistryBackend::THandle h = 0;
    ASSERT_TRUE(B().OpenKey(TRootKey::hkCurrentUser, std::string(kSettingsKey).substr(1) + "\\windows\\Form1",
                            true, false, h));
    if (c.mode) B().SetValue(h, "store mode", Int(*c.mode));
    if (c.left) B().SetValue(h, "left", *c.left);
    if (c.top) B().SetValue(h, "top", *c.top);
    B().CloseKey(h);
    TSettings s(B());
    TWindowPlacement p = s.RestoreWindowPlacement("Form1", 70, 40, 300, 201, 1024, 768);
    EXPECT_EQ(p.Mode, c.wantMode);
    EXPECT_EQ(p.Left, c.wantLeft);
    EXPECT_EQ(p.Top, c.wantTop);
  }

  TSettings s(B());
  TWindowPlacement p = s.RestoreWindowPlacement("Form2", 50, 50, 1001, 900, 800, 600);  // nothing stored
  EXPECT_EQ(p.Mode, 0);
  s.StoreWindowPlacement("Form2", 1, 10, 20);
  p = s.RestoreWindowPlacement("Form2", 50, 50, 1001, 900, 800, 600);
  EXPECT_EQ(p.Mode, 1);
  EXPECT_EQ(p.Left, -100);  // -100.5 truncated toward zero
  EXPECT_EQ(p.Top, -150);
  s.StoreWindowPlacement("Form2", 2, 10, 20);
  p = s.RestoreWindowPlacement("Form2", 50, 50, 1001, 900, 800, 600);
  EXPECT_EQ(p.Mode, 2);
  EXPECT_EQ(p.Left, 10);
  EXPECT_EQ(p.Top, 20);
}

TEST_P(Settings, SystemCommandsAreRead) {
  Seed(TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
       {{"Desktop", "C:\\Desk"}});
  Seed(TRootKey::hkClassesRoot, "\\mailto\\shell\\open\\command", {{"", "mail.exe /to %1"}});
  Seed(TRootKey::hkClassesRoot, "\\http\\shell\\open\\command", {{"", "web.exe \"%1\""}});
  Seed(TRootKey::hkLocalMachine, "\\Software\\Microsoft\\Windows\\CurrentVersion\\App paths\\netscape.exe",
       {{"", "C:\\ns\\netscape.exe"}});
  Seed(TRootKey::hkLocalMachine, "\\Software\\Microsoft\\Windows\\CurrentVersion\\App paths\\iexplore.exe",
       {{"", "C:\\ie\\iexplore.exe"}});
  Seed(TRootKey::hkLocalMachine, "\\Software\\Microsoft\\WAB\\DLLPath", {{"", "C:\\wab\\wab32.dll"}});
  Seed(TRootKey::hkLocalMachine, "\\SOFTWARE\\Norvale\\Quiltor Professional\\1.00\\Installed",
       {{"BDE", "C:\\bde"}});
  TSettings s(B());
  s.Load();
  EXPECT_EQ(s.System, (TSystemCommands{"C:\\Desk", "mail.exe /to %1", "web.exe \"%1\"", "C:\\ns\\netscape.exe",
                                       "C:\\ie\\iexplore.exe", "C:\\wab\\wab32.dll", "C:\\bde"}));

  Seed(TRootKey::hkLocalMachine, "\\Software\\Microsoft\\WAB\\DLLPath", {{"", ""}});
  s.Load();
  EXPECT_EQ(s.System.AddressBookLibrary, "wab32.dll");
}

TEST_P(Settings, CustomIdentitiesOneToNine) {
  const std::string base = std::string(kSettingsKey) + "\\email settings\\custom";
  Seed(TRootKey::hkCurrentUser, base + "2",
       {{"Realname", ""}, {"Email", "me@example.org"}, {"SMTP", "mx.example.org"}, {"Organization", "Org"},
        {"ReplyTo", "r@example.org"}});
  Seed(TRootKey::hkCurrentUser, base + "10", {{"Email", "ten@example.org"}});
  TSettings s(B());
  s.Load();
  std::vector<TEmailSettings> want = CustomIdentities();
  want[1] = {"Custom settings #2", "me@example.org", "Your name", "mx.example.org", "Org", "r@example.org", 0};
  EXPECT_EQ(s.Identities, want);

  s.Identities[8].FullName = "Nine";
  s.Identities.push_back({"Custom settings #10", "x@example.org", "Ten", "", "", "", 0});
  s.Save();
  TRegistry r(B());
  ASSERT_TRUE(r.OpenKey(base + "9", false));
  EXPECT_EQ(r.ReadString("Realname"), "Nine");
  EXPECT_EQ(r.ReadString("Organization"), "");
  ASSERT_TRUE(r.OpenKey(base + "10", false));
  EXPECT_EQ(r.ReadString("Email"), "ten@example.org");  // a tenth is never written
  EXPECT_FALSE(r.ValueExists("Realname"));
}

TEST_P(Settings, IdentitiesOfOtherMailProgramsAreImported) {
  const std::string dir = TempDir();
  // The prefs file is DirRoot + "\prefs.js". Natively that names a file whose name holds a
  // backslash, beside the directory; under Windows the file in it.
  const std::string carol = dir + platform::PathSeparator() + "carol";
  platform::MakeDirectory(carol);
  TStringList prefs;
  prefs.Add("// Netscape preferences");
  prefs.Add("user_pref(\"network.hosts.smtp_server\", \"smtp.carol.example\");");
  prefs.Add("user_pref(\"mail.identity.organization\", \"The \\\"Best\\\" Org\");");
  prefs.Add("  user_pref(\"mail.identity.reply_to\", \"indented@example.org\");");  // not at the start
  prefs.Add("user_pref(\"mail.identity.reply_to\", \"unterminated@example.org);");
  prefs.Add("user_pref(\"mail.identity.reply_to\", \"carol@reply.example\");");
  prefs.Add("user_pref(\"mail.identity.username\", \"Carol C\");");
  prefs.SaveToFile(carol + "\\prefs.js");

  Seed(TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Internet Mail and News\\Mail",
       {{"Default SMTP Server", "smtp.im.example"}, {"Sender Name", "Ian"}, {"Sender EMail", "ian@im.example"},
        {"Sender Organization", "IM Org"}});
  const std::string accounts = "\\Software\\Microsoft\\Internet Account Manager\\Accounts\\";
  Seed(TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Internet Account Manager",
       {{"Default Mail Account", "00000002"}});
  Seed(TRootKey::hkCurrentUser, accounts + "00000001",
       {{"Account Name", "Home"}, {"SMTP Server", "smtp.home.example"}, {"SMTP Display Name", "Olga"},
        {"SMTP Email Address", "olga@home.example"}, {"SMTP Organization Name", "Home Org"}});
  Seed(TRootKey::hkCurrentUser, accounts + "00000002",
       {{"Account Name", "Work"}, {"SMTP Server", "smtp.work.example"}, {"SMTP Email Address", "olga@work.example"}});
  Seed(TRootKey::hkCurrentUser, accounts + "00000003", {{"Account Name", "News"}, {"SMTP Server", ""}});
  Seed(TRootKey::hkCurrentUser, accounts + "00000004", {{"SMTP Server", "smtp.four.example"}});
  Seed(TRootKey::hkCurrentUser, "\\Software\\Netscape\\Netscape Navigator\\Services",
       {{"SMTP_Server", "smtp.ns.example"}});
  Seed(TRootKey::hkCurrentUser, "\\Software\\Netscape\\Netscape Navigator\\User",
       {{"User_Addr", "nick@ns.example"}, {"User_Name", "Nick"}, {"User_Organization", "NS Org"},
        {"Reply_To", "reply@ns.example"}});
  const std::string users = "\\Software\\Netscape\\Netscape Navigator\\Users";
  Seed(TRootKey::hkLocalMachine, users, {{"CurrentUser", "CAROL"}});
  Seed(TRootKey::hkLocalMachine, users + "\\alice", {{"EmailAddr", "alice@ns.example"}, {"UserName", "Alice"}});
  Seed(TRootKey::hkLocalMachine, users + "\\bob",
       {{"EmailAddr", "bob@ns.example"}, {"DirRoot", dir + "\\nobody"}});  // no prefs file
  Seed(TRootKey::hkLocalMachine, users + "\\carol",
       {{"EmailAddr", "carol@ns.example"}, {"UserName", "Carol"}, {"DirRoot", carol}});

  TSettings s(B());
  s.Load();
  std::vector<TEmailSettings> want = {
      {"Netscape Messenger current user (imported)", "carol@ns.example", "Carol", "smtp.carol.example",
       "The \"Best\" Org", "carol@reply.example", 1},
      {"Outlook account Work (imported)", "olga@work.example", "", "smtp.work.example", "", "", 1},
      {"Internet Mail (imported)", "ian@im.example", "Ian", "smtp.im.example", "IM Org", "", 1},
      {"Outlook account Home (imported)", "olga@home.example", "Olga", "smtp.home.example", "Home Org", "", 1},
      {"Outlook account 00000004 (imported)", "", "", "smtp.four.example", "", "", 1},
      {"Netscape Mail (imported)", "nick@ns.example", "Nick", "smtp.ns.example", "NS Org", "reply@ns.example", 1},
      {"Netscape Messenger user alice (imported)", "alice@ns.example", "Alice", "", "", "", 1},
      {"Netscape Messenger user bob (imported)", "bob@ns.example", "", "", "", "", 1},
  };
  for (const TEmailSettings& c : CustomIdentities()) want.push_back(c);
  ASSERT_EQ(s.Identities.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(s.Identities[i], want[i]) << i;

  // Imported identities are never written back, and a Netscape Mail without its user key
  // still counts as imported.
  s.Save();
  TRegistry r(B());
  ASSERT_TRUE(r.OpenKey(std::string(kSettingsKey) + "\\email settings", false));
  TStringList keys;
  r.GetKeyNames(keys);
  EXPECT_EQ(keys.CommaText(), "custom1,custom2,custom3,custom4,custom5,custom6,custom7,custom8,custom9");
  r.DeleteKey("\\Software\\Netscape\\Netscape Navigator\\User");
  s.Load();
  auto ns = std::find_if(s.Identities.begin(), s.Identities.end(),
                         [](const TEmailSettings& e) { return e.Label == "Netscape Mail (imported)"; });
  ASSERT_NE(ns, s.Identities.end());
  EXPECT_EQ(*ns, (TEmailSettings{"Netscape Mail (imported)", "", "", "smtp.ns.example", "", "", 1}));
}

INSTANTIATE_TEST_SUITE_P(Memory, Settings,
                         ::testing::Values(Backend{"Memory", []() -> IRegistryBackend& {
                           static std::unique_ptr<TMemRegistry> mem;
                           mem = std::make_unique<TMemRegistry>();
                           return *mem;
                         }}),
                         [](const auto& test) { return std::string(test.param.name); });
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(System, Settings,
                         ::testing::Values(Backend{"System", []() -> IRegistryBackend& { return SystemRegistry(); }}),
                         [](const auto& test) { return std::string(test.param.name); });
#endif

// A registry that refuses everything: reading gives the defaults, writing throws.
class TDeadRegistry : public IRegistryBackend {
 public:
  bool OpenKey(TRootKey, const std::string&, bool, bool, THandle&) override { return false; }
  void CloseKey(THandle) override {}
  bool QueryValue(THandle, const std::string&, TRegValue&) override { return false; }
  bool SetValue(THandle, const std::string&, const TRegValue&) override { return false; }
  bool DeleteValue(THandle, const std::string&) override { return false; }
  bool EnumKeys(THandle, std::vector<std::string>&) override { return false; }
  bool EnumValues(THandle, std::vector<std::string>&) override { return false; }
  bool DeleteSubKey(THandle, const std::string&) override { return false; }
};

TEST(SettingsFailures, ARegistryThatRefusesEverything) {
  TDeadRegistry dead;
  TSettings s(dead);
  s.Load();
  EXPECT_EQ(s.Main, TMainSettings{});
  EXPECT_EQ(s.Identities, CustomIdentities());
  TWindowPlacement p = s.RestoreWindowPlacement("Form4", 300, 300, 100, 100, 800, 600);
  EXPECT_EQ(p.Mode, 2);
  EXPECT_EQ(p.Left, 300);
  EXPECT_EQ(p.Top, 300);
  EXPECT_THROW(s.Save(), ERegistryException);
  EXPECT_THROW(s.StoreWindowPlacement("Form4", 1, 0, 0), ERegistryException);
}

TEST(SavedSelection, EncodesFolderAndNamesEachEndedByByteOne) {
  TSavedSelection sel{"C:\\src\\", {"a.exe", "b c.dll"}};
  EXPECT_EQ(EncodeSelection(sel), "C:\\src\\\x01" "a.exe\x01" "b c.dll\x01");
  EXPECT_EQ(DecodeSelection(EncodeSelection(sel)), sel);
  EXPECT_EQ(DecodeSelection("C:\\src"), (TSavedSelection{"C:\\src", {}}));
  EXPECT_EQ(DecodeSelection(""), TSavedSelection{});
  EXPECT_EQ(DecodeSelection("\x01\x01x\x01"), (TSavedSelection{"", {"x"}}));
}

// Records what the address-book library asks of the loader.
class TRecordingLoader : public ILibraryLoader {
 public:
  explicit TRecordingLoader(TModule result) : result_(result) {}
  TModule Load(const std::string& path) override {
    log += "load " + path + ";";
    return result_;
  }
  void Release(TModule module) override { log += "release " + IntToStr(int64_t(module)) + ";"; }
  std::string log;

 private:
  TModule result_;
};

TEST(AddressBookLibrary, LoadedOnceAndReleasedOnce) {
  TRecordingLoader loader(7);
  {
    TAddressBookLibrary lib(loader, "wab32.dll");
    EXPECT_TRUE(lib.Loaded());
    lib.Release();
    EXPECT_FALSE(lib.Loaded());
  }
  EXPECT_EQ(loader.log, "load wab32.dll;release 7;");

  TRecordingLoader missing(0);
  { TAddressBookLibrary lib(missing, "C:\\none\\wab32.dll"); }
  EXPECT_EQ(missing.log, "load C:\\none\\wab32.dll;");  // nothing to release
}

#ifdef _WIN32
TEST(AddressBookLibrary, SystemLoaderIsHarmlessWhenTheLibraryIsAbsent) {
  {
    TAddressBookLibrary lib(SystemLibraryLoader(), "C:\\no such folder\\wab32.dll");
    EXPECT_FALSE(lib.Loaded());
  }
  TAddressBookLibrary lib(SystemLibraryLoader(), "wab32.dll");  // present in Wine or not
  lib.Release();
  EXPECT_FALSE(lib.Loaded());
}
#endif

}  // namespace
