#include <gtest/gtest.h>

#include <functional>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_folders.h"
#include "setup_engine/setup_core_cli.h"
#include "setup_engine/tree_probe.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::Error;
using installtest::InstallFixture;

class PathSpecifiers : public InstallFixture {
 protected:
  PathSpecifiers() {
    RegisterInstallCliClasses();
    RegisterSetupCoreClasses();
    folders.windows = "W:\\Win";
    folders.system = "W:\\Win\\System";
    folders.current = "C:\\work";
  }
  void Shell(const char* name, const char* value) {
    WriteRegString(TRootKeys::hkCurrentUser, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   name, value);
  }
  void Machine(const char* key, const char* name, const char* value) {
    WriteRegString(TRootKeys::hkLocalMachine, key, name, value);
  }
  // Install1 (program files \Demo) with the group G (\help) and its file F.
  void LoadTree(std::vector<std::string> parameters) {
    application.parameters = std::move(parameters);
    Load("  object Install1: TInstall\n    RunAutomatic = False\n    DestDirType = psProgramFiles\n"
         "    DestDir = '\\Demo'\n  end\n"
         "  object G: TInstallFileGroup\n    Container = Install1\n    DestDirType = psContainerDestDir\n"
         "    DestDir = '\\help\\'\n    ArchiveFileType = psContainerArchiveFile\n  end\n"
         "  object F: TInstallFile\n    Container = G\n    DestDirType = psContainerDestDir\n"
         "    ArchiveFileType = psContainerArchiveFile\n    FileName = 'a.txt'\n    DestName = 'a.txt'\n  end\n");
  }
};

// Each standard specifier's description and path: from the shell's registry entries when
// they are there, else from the system's folders; Programs follows a Start Menu of the
// registry's.
TEST_F(PathSpecifiers, StandardFoldersWithAndWithoutTheRegistry) {
  root.reset(new TDataModule(nullptr));
  RegisterStandardSpecifiers(root.get(), true);
  struct Case {
    const TClassInfo& cls;
    const char* description;
    const char* bare;       // no registry entries
    const char* withStart;  // only the Start Menu entry
    const char* full;       // every entry
  } cases[] = {
      {TpsBDEDLL::StaticClass(), "Borland Database Engine DLL Path", "C:\\Program Files\\Borland\\Common Files\\BDE",
       "C:\\Program Files\\Borland\\Common Files\\BDE", "D:\\bde"},
      {TpsCommonFiles::StaticClass(), "Path of the common files directory under the program files directory",
       "C:\\Program Files\\Common Files", "C:\\Program Files\\Common Files", "P:\\Common"},
      {TpsDesktopMenu::StaticClass(), "Path of the Desktop", "W:\\Win\\Desktop", "W:\\Win\\Desktop", "U:\\Desk"},
      {TpsProgramFiles::StaticClass(), "Path of the program files directory", "C:\\Program Files",
       "C:\\Program Files", "P:\\Progs"},
      {TpsProgramMenu::StaticClass(), "Path of the Programs folder under the Start Menu",
       "W:\\Win\\Start Menu\\Programs", "U:\\Start\\Programs", "U:\\Progs"},
      {TpsStartMenu::StaticClass(), "Path of Start Menu", "W:\\Win\\Start Menu", "U:\\Start", "U:\\Start"},
      {TpsStartupMenu::StaticClass(), "Path of the Startup folder in the Programs folder under the Start Menu",
       "W:\\Win\\Startup", "W:\\Win\\Startup", "U:\\Boot"},
      {TpsSystem::StaticClass(), "Path of system directory", "W:\\Win\\System", "W:\\Win\\System", "W:\\Win\\System"},
      {TpsWindow::StaticClass(), "Path of the Windows directory", "W:\\Win", "W:\\Win", "W:\\Win"},
  };
  auto check = [&](const char* Case::*column) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.cls.Name()));
      TCustomPathSpecifier* s = FindStandard(c.cls);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->GetDescription(), c.description);
      EXPECT_EQ(s->GetPath(nullptr), c.*column);
    }
  };
  check(&Case::bare);
  Shell("Start Menu", "U:\\Start\\");
  check(&Case::withStart);
  Shell("Programs", "U:\\Progs");
  Shell("Desktop", "U:\\Desk");
  Shell("Startup", "U:\\Boot");
  Machine("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "P:\\Progs");
  Machine("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", "P:\\Common\\");
  Machine("\\Software\\Borland\\Database Engine", "DLLPath", "D:\\bde;E:\\more");
  check(&Case::full);
  EXPECT_EQ(FindStandard(TpsBDEDLL::StaticClass())->DisplayName(), "psBDEDLL");
  EXPECT_EQ(FindStandard(TpsBDEDLL::StaticClass())->Name(), "psBDEDLL");
}

// The specifiers of the install tree: the source folder (a trailing backslash of -s
// dropped), the main archive there (files.1, or the -e program), the destinations of the
// driver and of the container, and each one's refusals.
TEST_F(PathSpecifiers, TreeSpecifiersAndTheirChecks) {
  LoadTree({"-sC:\\src\\"});
  auto* install = Get<TCustomInstall>("Install1");
  auto* group = Get<TInstallFileGroup>("G");
  auto* file = Get<TCustomInstallFile>("F");
  EXPECT_EQ(FindStandard<TpsInstallSource>()->GetPath(file), "C:\\src");
  EXPECT_EQ(install->GetFullDestDir(), "C:\\Program Files\\Demo");
  EXPECT_EQ(group->GetFullDestDir(), "C:\\Program Files\\Demo\\help");
  EXPECT_EQ(file->GetFullDestDir(), "C:\\Program Files\\Demo\\help");
  EXPECT_EQ(file->GetArchivePath(), "C:\\src\\files.1");
  EXPECT_EQ(FindStandard<TpsMainInstall>()->GetPath(file), "C:\\Program Files\\Demo");
  EXPECT_EQ(Error([&] { install->SetDestDirType(FindStandard<TpsMainInstall>()); }),
            "Cannot use the ddMainInstallDir path specifier for a TInstall component");
  EXPECT_EQ(Error([&] { install->SetDestDirType(FindStandard<TpsContainerDestDir>()); }),
            "Cannot use ddContainerDestDir for Install1 unless you assign a Container");

  auto* probe = new TTreeProbe(root.get());
  probe->SetName("Probe");
  probe->SetKind(1000);
  auto* loose = new TInstallFileGroup(root.get());  // a file would refuse a parent that holds no files
  loose->SetName("Loose");
  EXPECT_EQ(Error([&] { loose->SetArchiveFileType(FindStandard<TpsContainerArchiveFile>()); }),
            "Cannot use ddContainerArchiveFile for Loose unless you assign a Container");
  loose->SetContainer(probe);
  EXPECT_EQ(Error([&] { loose->SetArchiveFileType(FindStandard<TpsContainerArchiveFile>()); }),
            "Cannot use the ddContainerArchiveFile path specifier for Loose because the Container is not a "
            "TFileRelated descendant");
  EXPECT_EQ(Error([&] { FindStandard<TpsContainerDestDir>()->CheckObject(nullptr); }),
            " must be a TInstallObject to use the psContainerDestDir path specifier");

  LoadTree({"-sC:\\src", "-eSetup.exe"});
  EXPECT_EQ(Get<TCustomInstallFile>("F")->GetArchivePath(), "C:\\src\\Setup.exe");
  LoadTree({"-sC:\\src", "-e"});
  EXPECT_EQ(Error([&] { Get<TCustomInstallFile>("F")->GetArchivePath(); }),
            "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
  root.reset();
  TOwned<TDataModule> bare(new TDataModule(nullptr));
  RegisterStandardSpecifiers(bare.get(), true);
  EXPECT_EQ(Error([&] { FindStandard<TpsInstallSource>()->GetPath(nullptr); }),
            "There is no TInstall component so the path specifier could not be expanded for ");
}

// Definitions name the standard specifiers without listing them: the first container made
// on the data module makes the ones missing, once. Listed before it they are the
// definition's own; listed after it, a name is taken twice.
TEST_F(PathSpecifiers, ContainersBringTheStandardSpecifiers) {
  Load("  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
       "  object G: TInstallFileGroup\n    Container = Install1\n  end\n");
  int specifiers = 0;
  for (TComponent* c : root->Components()) specifiers += Is<TStandardPathSpecifier>(c) ? 1 : 0;
  EXPECT_EQ(specifiers, 14);
  EXPECT_EQ(Get<TCustomInstall>("Install1")->DestDirType(), Get<TCustomPathSpecifier>("psProgramFiles"));
  EXPECT_EQ(Get<TCustomInstall>("Install1")->ArchiveFileType(), Get<TCustomPathSpecifier>("psMainArchiveFile"));

  Load("  object psSystem: TpsSystem\n  end\n  object Install1: TInstall\n    RunAutomatic = False\n"
       "    DestDirType = psSystem\n  end\n");
  EXPECT_EQ(Get<TCustomInstall>("Install1")->DestDirType(), Get<TCustomPathSpecifier>("psSystem"));
  root.reset();
  EXPECT_NE(Error([&] {
              Load("  object Install1: TInstall\n    RunAutomatic = False\n  end\n  object psSystem: TpsSystem\n"
                   "  end\n");
            }).find("psSystem"),
            std::string::npos);
}

// Meta variables of shortcut texts, and the path variable of a specifier's own text.
TEST_F(PathSpecifiers, MetaVariables) {
  LoadTree({"-sC:\\src"});
  auto* file = Get<TCustomInstallFile>("F");
  Shell("Start Menu", "U:\\Start");
  struct Case {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"%%%p", "%C:\\Program Files"},
      {"%z and 50%", " and 50"},
      {"%a|%C|%i", "C:\\Program Files\\Demo\\help|C:\\Program Files\\Demo\\help|C:\\Program Files\\Demo"},
      {"%b;%d;%f;%M;%s;%w",
       "U:\\Start\\Programs;W:\\Win\\Desktop;C:\\Program Files\\Common Files;U:\\Start;W:\\Win\\System;W:\\Win"},
      {"plain", "plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandMetaVariables(c.text, file), c.expanded) << c.text;
  EXPECT_EQ(Error([] { ExpandMetaVariables("%a", nullptr); }),
            "Cannot expand the %a meta variable because the component is Nil");
  EXPECT_EQ(Error([] { ExpandMetaVariables("%c", nullptr); }),
            "Cannot expand the %c meta variable because the component is Nil");
  EXPECT_EQ(Error([&] { ExpandMetaVariables("%c", Get<TCustomInstall>("Install1")); }),
            "Cannot expand the %c meta variable because the Container property is Nil");
  root.reset();
  EXPECT_EQ(Error([] { ExpandMetaVariables("x%i", nullptr); }),
            "Cannot expand the %i meta variable because there is no TInstall component");

  struct PathCase {
    const char* text;
    const char* expanded;
  } paths[] = {
      {"%p\\mendr32 %1", "D:\\Q\\mendr32 %1"},
      {"%P;%%;%x;end%", "D:\\Q;%;%x;end%"},
  };
  for (const PathCase& c : paths) EXPECT_EQ(ExpandPathVariable(c.text, "D:\\Q"), c.expanded) << c.text;
}

}  // namespace
