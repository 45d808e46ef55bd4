#include <gtest/gtest.h>

#include <functional>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_registry.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::InstallFixture;

using installtest::Error;

class RegistryEntries : public InstallFixture {
 protected:
  RegistryEntries() { RegisterInstallCliClasses(); }
  std::string Driver() {
    return "  object Install1: TInstall\n    RunAutomatic = False\n    DestDirType = nil\n    DestDir = '" +
           dir.Path("dest") +
           "'\n    Information.CompanyName = 'A'\n    Information.ProductName = 'B'\n"
           "    Information.Version = '1.0'\n  end\n";
  }
  TCustomInstallRegistry& Registry(const std::string& name) { return *Get<TCustomInstallRegistry>(name); }
  std::string Root(TRootKey top, const std::string& key) {
    TRegistry reg(SetupRegistry(), top);
    if (!reg.OpenKeyReadOnly(key)) return "<none>";
    TStringList names;
    reg.GetValueNames(names);
    std::string out;
    for (int i = 0; i < names.Count(); ++i) {
      std::optional<std::string> s = reg.TryReadString(names[i]);
      std::optional<int> n = reg.TryReadInteger(names[i]);
      out += names[i] + "=" + (s ? "'" + *s + "'" : n ? std::to_string(*n) : "?") + "\n";
    }
    return out;
  }
};

// The key by its specifier: absolute without a trailing backslash, or built from the
// driver's information; the derived kinds need a driver.
TEST_F(RegistryEntries, KeyExpansion) {
  Load(Driver() + "  object R: TInstallRegistry\n    Container = Install1\n    Key = '\\Software\\X\\'\n  end\n");
  TCustomInstallRegistry& r = Registry("R");
  EXPECT_EQ(r.ExpandedKey(), "\\Software\\X");
  struct Case {
    TKeySpecifier kind;
    const char* key;
  } cases[] = {{TKeySpecifier::ksCompanyName, "\\SOFTWARE\\A"},
               {TKeySpecifier::ksProductName, "\\SOFTWARE\\A\\B"},
               {TKeySpecifier::ksVersion, "\\SOFTWARE\\A\\B\\1.0"}};
  for (const Case& c : cases) {
    r.SetRootKey(TRootKeys::hkCurrentUser);
    r.SetKeySpecifierType(c.kind);
    EXPECT_EQ(r.ExpandedKey(), c.key);
    EXPECT_EQ(r.Key(), "");
    EXPECT_EQ(r.RootKey(), TRootKeys::hkLocalMachine);
    r.SetKey("\\Ignored");
    EXPECT_EQ(r.Key(), "");
  }
  // Without the driver a derived kind falls back to an absolute key.
  setup::Driver()->Free();
  EXPECT_EQ(r.KeySpecifierType(), TKeySpecifier::ksAbsolute);
  EXPECT_EQ(Error([&] { r.SetKeySpecifierType(TKeySpecifier::ksVersion); }),
            "There is no TInstall component in your project");
}

// Entries written by their types under the expanded key, "%p" given the specifier's
// folder (other "%" kept), a handler skipping one; the records name the key, the root and
// the texts of what was written, one RegistryKey<n> per object.
TEST_F(RegistryEntries, WritesAndRecordsEntries) {
  Load(Driver() +
       "  object Reg1: TInstallRegistry\n    Container = Install1\n    RootKey = hkClassesRoot\n"
       "    Key = '\\QuiltorPatch\\shell\\open\\command'\n    Entries = <\n"
       "      item\n        Ident = '@'\n        PathSpecifier = psMainInstall\n"
       "        Text = '\"%p\\mendr32.exe\" \"%1\"'\n      end\n"
       "      item\n        Ident = 'Count'\n        EntryType = retInteger\n        Integer = 7\n      end\n"
       "      item\n        Ident = 'Skipped'\n        Text = 'no'\n      end\n"
       "      item\n        Ident = 'Flag'\n        EntryType = retBoolean\n        Boolean = True\n      end>\n  end\n"
       "  object Reg2: TInstallRegistry\n    Container = Install1\n    KeySpecifierType = ksVersion\n"
       "    Entries = <\n      item\n        Ident = 'QuiltorVersion'\n        Text = '22'\n      end>\n  end\n");
  Registry("Reg1").OnBeforeWriteEntry = TBeforeWriteEntry(
      [](TCustomInstallRegistry*, TRegistryEntry* e, bool& go) { go = e->Ident() != "Skipped"; });
  TCustomInstall& d = *setup::Driver();
  d.Process();
  ASSERT_EQ(d.Outcome(), TCustomInstall::TOutcome::Good);
  EXPECT_EQ(Root(TRootKey::hkClassesRoot, "\\QuiltorPatch\\shell\\open\\command"),
            "@='\"" + dir.Path("dest") + "\\mendr32.exe\" \"%1\"'\nCount=7\nFlag=1\n");
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, "\\SOFTWARE\\A\\B\\1.0"), "QuiltorVersion='22'\n");
  std::string keys = std::string(kUninstallKey) + "B\\RegistryKeys";
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, keys), "Entries='2'\n");
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, keys + "\\RegistryKey1"),
            "Key='\\QuiltorPatch\\shell\\open\\command'\nRoot=0\n");
  // An integer entry is recorded with its text; the skipped one not at all.
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, keys + "\\RegistryKey1\\Entries"),
            "@='\"" + dir.Path("dest") + "\\mendr32.exe\" \"%1\"'\nCount=''\nFlag=''\n");
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, keys + "\\RegistryKey2"), "Key='\\SOFTWARE\\A\\B\\1.0'\nRoot=4\n");
}

// Outside loading the setters give the entry its type; a specifier checks the owner and
// makes the entry "%p"; a specifier that goes leaves the entry's type.
TEST_F(RegistryEntries, EntrySetters) {
  Load(Driver() + "  object R: TInstallRegistry\n    Container = Install1\n  end\n");
  TCustomInstallRegistry& r = Registry("R");
  TRegistryEntry& e = r.Entries().AddEntry();
  EXPECT_EQ(e.Owner(), &r);
  e.SetInteger(3);
  EXPECT_EQ(e.EntryType(), TRegistryEntryType::retInteger);
  e.SetBoolean(true);
  EXPECT_EQ(e.EntryType(), TRegistryEntryType::retBoolean);
  e.SetText("x");
  EXPECT_EQ(e.EntryType(), TRegistryEntryType::retText);
  e.SetEntryType(TRegistryEntryType::retInteger);
  auto* own = new TPathSpecifier(root.get());
  own->SetName("MyDir");
  own->OnGetPath = TGetPathEvent([](TObject*, std::string& p) { p = "C:\\Mine"; });
  e.SetPathSpecifier(own);
  EXPECT_EQ(e.Text(), "%p");
  EXPECT_EQ(e.EntryType(), TRegistryEntryType::retText);
  EXPECT_EQ(e.EntryText(), "C:\\Mine");
  e.SetEntryType(TRegistryEntryType::retInteger);
  own->Free();
  EXPECT_EQ(e.PathSpecifier(), nullptr);
  EXPECT_EQ(e.EntryType(), TRegistryEntryType::retInteger);
  EXPECT_EQ(e.EntryText(), "%p");
  // psContainerDestDir needs a container.
  r.SetContainer(nullptr);
  EXPECT_EQ(Error([&] { e.SetPathSpecifier(FindStandard<TpsContainerDestDir>()); }),
            "Cannot use ddContainerDestDir for R unless you assign a Container");
}

// The uninstaller is a file of the install with its own entry: the quoted program and the
// product; it needs the driver.
TEST_F(RegistryEntries, UninstallerEntry) {
  platform::MakeDirectory(dir.Path("src"));
  Write("src/uninstall.exe", "uninstaller");
  BuildArchive("prog/files.1", {"src/uninstall.exe"});
  Load(Driver() + "  object U: TUninstallEXE\n    Container = Install1\n    DestDirType = psContainerDestDir\n"
                  "    ArchiveFileType = psContainerArchiveFile\n    IncludeFromDir = '" + dir.Path("src") +
       "'\n    FileName = 'uninstall.exe'\n    DestName = 'uninstall.exe'\n  end\n");
  EXPECT_TRUE(Get<TUninstallEXE>("U")->Net());  // a traditional distribution installs it from the archive
  TCustomInstall& d = *setup::Driver();
  d.Process();
  ASSERT_EQ(d.Outcome(), TCustomInstall::TOutcome::Good);
  std::string key = std::string(kUninstallKey) + "B";
  std::string program = dir.Path("dest") + "\\uninstall.exe";
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, key), "DisplayName='B'\nUninstallString='\"" + program + "\" B'\n");
  EXPECT_EQ(Root(TRootKey::hkLocalMachine, key + "\\Files"), "File1='" + program + "'\nEntries='1'\n");
  TOwned<TDataModule> alone(new TDataModule(nullptr));
  auto* u = new TUninstallEXE(alone.get());
  u->SetName("Lone");
  setup::Driver()->Free();
  EXPECT_EQ(Error([&] { u->WriteUninstallInfo("\\K"); }),
            "Lone could not write information about the uninstall to the registry because there was no TInstall "
            "component");
}

TEST(RegistryEntriesCollection, NeedsAnOwner) {
  EXPECT_EQ(Error([] { TRegistryEntries entries(nullptr); }),
            "Cannot create a TRegistryEntries component with a Nil Owner");
}

}  // namespace
