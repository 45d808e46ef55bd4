#include <gtest/gtest.h>

#include <set>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/uninstaller.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::InstallFixture;

// Answers the questions, deletes for real, and keeps the files in use for the restart.
class TFakeUninstallSystem : public IUninstallSystem {
 public:
  bool answer = true;
  std::set<std::string> inUse;
  std::vector<std::string> log;
  bool Confirm(const std::string& text, const std::string& caption) override {
    log.push_back("ask " + caption + ": " + text);
    return answer;
  }
  void Inform(const std::string& text, const std::string& caption) override {
    log.push_back("tell " + caption + ": " + text);
  }
  bool Delete(const std::string& path, bool folder) override {
    std::string local = LocalPath(path);
    if (inUse.count(path)) return false;
    return folder ? platform::RemoveEmptyDirectory(local) : platform::RemoveFile(local);
  }
  bool DeleteAtRestart(const std::string& path) override {
    log.push_back("at restart " + path);
    return true;
  }
  bool IsEmptyFolder(const std::string& path) override {
    std::vector<platform::DirEntry> entries;
    return platform::ListDirectory(LocalPath(path), entries) && entries.empty();
  }
};

class Uninstaller : public InstallFixture {
 protected:
  Uninstaller() {
    RegisterInstallCliClasses();
    for (const char* d : {"src", "src/help", "dest"}) platform::MakeDirectory(dir.Path(d));
    Write("src/app.exe", "program");
    Write("src/index.htm", "help");
    Write("src/uninstall.exe", "uninstaller");
    BuildArchive("prog/files.1", {"src/app.exe", "src/index.htm", "src/uninstall.exe"});
    auto file = [&](const char* name, const char* cls, const char* f, const char* container) {
      return std::string("  object ") + name + ": " + cls + "\n    Container = " + container +
             "\n    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n"
             "    IncludeFromDir = '" + dir.Path("src") + "'\n    FileName = '" + f + "'\n    DestName = '" + f +
             "'\n  end\n";
    };
    Load("  object Install1: TInstall\n    RunAutomatic = False\n    DestDirType = nil\n    DestDir = '" +
         dir.Path("dest") + "\\Demo'\n    Information.ProductName = 'Demo'\n  end\n" +
         file("App", "TInstallFile", "app.exe", "Install1") + file("Uninst", "TUninstallEXE", "uninstall.exe", "Install1") +
         "  object Help: TInstallFileGroup\n    Container = Install1\n    DestDirType = psContainerDestDir\n"
         "    DestDir = '\\help'\n    ArchiveFileType = psContainerArchiveFile\n  end\n" +
         file("Index", "TInstallFile", "index.htm", "Help") +
         "  object Assoc: TInstallRegistry\n    Container = Install1\n    RootKey = hkClassesRoot\n"
         "    Key = '\\.utp'\n    Entries = <\n      item\n        Text = 'quiltor'\n      end\n"
         "      item\n        Ident = '@'\n        Text = 'Quiltor'\n      end>\n  end\n"
         "  object Cmd: TInstallRegistry\n    Container = Install1\n    RootKey = hkClassesRoot\n"
         "    Key = '\\quiltor\\shell\\open\\command'\n    Entries = <\n      item\n        Text = 'x'\n      end>\n"
         "  end\n");
    setup::Driver()->Process();
  }
  bool KeyExists(TRootKey top, const std::string& key) {
    TRegistry reg(SetupRegistry(), top);
    return reg.KeyExists(key);
  }
  TFakeUninstallSystem system;
};

// Yes removes the recorded files, their emptied folders, the recorded values and their
// emptied keys, and the product's key; the uninstaller itself goes at the restart.
TEST_F(Uninstaller, RemovesWhatWasRecorded) {
  std::string demo = dir.Path("dest") + "\\Demo";
  ASSERT_EQ(Read("dest/Demo/help/index.htm"), "help");
  {
    TRegistry reg(SetupRegistry(), TRootKey::hkClassesRoot);
    ASSERT_TRUE(reg.OpenKey("\\.utp", false));
    reg.WriteString("Other", "kept");  // a value the installation did not write
  }
  system.inUse = {demo + "\\uninstall.exe"};
  EXPECT_EQ(RunUninstall("Demo", system), 0);
  EXPECT_EQ(system.log, (std::vector<std::string>{"ask Uninstall Demo: Remove Demo and all of its components?",
                                                  "at restart " + demo + "\\uninstall.exe", "at restart " + demo,
                                                  "tell Uninstall Demo: Demo was removed."}));
  EXPECT_EQ(Read("dest/Demo/app.exe"), "<missing>");
  EXPECT_FALSE(platform::IsDirectory(dir.Path("dest/Demo/help")));
  EXPECT_TRUE(platform::IsDirectory(dir.Path("dest")));  // no file of the installation was there
  EXPECT_EQ(Values("\\.utp"), "<none>");  // HKEY_LOCAL_MACHINE has none; the class key:
  TRegistry reg(SetupRegistry(), TRootKey::hkClassesRoot);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\.utp"));
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.CommaText(), "Other");
  EXPECT_FALSE(KeyExists(TRootKey::hkClassesRoot, "\\quiltor\\shell\\open\\command"));
  EXPECT_FALSE(KeyExists(TRootKey::hkLocalMachine, std::string(kUninstallKey) + "Demo"));
}

// No changes nothing; an unknown product is no work.
TEST_F(Uninstaller, NoKeepsEverything) {
  system.answer = false;
  EXPECT_EQ(RunUninstall("Demo", system), 1);
  EXPECT_EQ(Read("dest/Demo/app.exe"), "program");
  EXPECT_TRUE(KeyExists(TRootKey::hkClassesRoot, "\\quiltor\\shell\\open\\command"));
  EXPECT_TRUE(KeyExists(TRootKey::hkLocalMachine, std::string(kUninstallKey) + "Demo"));
  system.answer = true;
  EXPECT_EQ(RunUninstall("Other", system), 1);
  EXPECT_EQ(RunUninstall("", system), 1);
  EXPECT_EQ(system.log.size(), 1u);
}

}  // namespace
