#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/data_module.h"
#include "framework/core/form_reader.h"
#include "framework/core/registry.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/register.h"
#include "setup_engine/setup_registry.h"
#include "setup_ui/association.h"
#include "tests/support/file_bytes.h"

namespace {

std::string ReadSource(const std::string& path) {
  return testsupport::ReadExistingText(std::string(QUILTOR_SOURCE_DIR) + "/" + path);
}

const TFormOutline& Form() {
  static const TFormOutline form = ReadFormOutline(ReadSource("setup_ui/forms/TForm1.form"), "TForm1");
  return form;
}

const TFormOutline& Child(const std::string& name) {
  for (const TFormOutline& c : Form().Children)
    if (c.Name == name) return c;
  static const TFormOutline none;
  ADD_FAILURE() << "no component " << name;
  return none;
}

// The setup program's main form holds the whole installation: every component in its
// stored order with its class, the drawn decorations first and the path specifiers before
// the objects that look them up while they are made.
TEST(SetupMainForm, ComponentsInStoredOrder) {
  const TFormOutline& f = Form();
  EXPECT_EQ(f.Name, "Form1");
  EXPECT_EQ(f.ClassName, "TForm1");
  EXPECT_EQ(f.Value("Caption"), "Form1");
  EXPECT_EQ(f.Value("Width"), "696");
  EXPECT_EQ(f.Value("Height"), "480");
  EXPECT_EQ(f.Value("Font.Name"), "MS Sans Serif");
  EXPECT_EQ(f.Value("Font.Height"), "-11");  // 8 points
  std::string tree;
  for (const TFormOutline& c : f.Children) {
    tree += c.Name + ":" + c.ClassName + "\n";
    EXPECT_TRUE(c.Children.empty()) << c.Name;
  }
  std::string expected =
      "BackDrop1:TBackdrop\nProductLabel1:TRotate3DLabel\n"
      "psBDEDLL:TpsBDEDLL\npsCommonFiles:TpsCommonFiles\npsContainerArchiveFile:TpsContainerArchiveFile\n"
      "psContainerDestDir:TpsContainerDestDir\npsDesktopMenu:TpsDesktopMenu\npsInstallSource:TpsInstallSource\n"
      "psMainInstall:TpsMainInstall\npsProgramFiles:TpsProgramFiles\npsProgramMenu:TpsProgramMenu\n"
      "psStartMenu:TpsStartMenu\npsStartupMenu:TpsStartupMenu\npsSystem:TpsSystem\n"
      "psMainArchiveFile:TpsMainArchiveFile\npsWindow:TpsWindow\npsObjectLink:TpsObjectLink\n"
      "Install1:TInstall\nMainTranslator:TTranslator\nUninstallEXE2:TUninstallEXE\n"
      "FileGroup1:TInstallFileGroup\nInstallFile1:TInstallFile\nFileGroup2:TInstallFileGroup\n";
  for (int i = 4; i <= 14; ++i) expected += "InstallFile" + std::to_string(i) + ":TInstallFile\n";
  expected +=
      "MainFolder1:TMainLinkGroup\nInstallMainLink1:TInstallMainLink\nInstallMainLink2:TInstallMainLink\n"
      "InstallMainLink3:TInstallMainLink\nSubLinkGroup1:TSubLinkGroup\nInstallSubLink1:TInstallSubLink\n"
      "InstallSubLink2:TInstallSubLink\nInstallSubLink3:TInstallSubLink\nInstallSubLink4:TInstallSubLink\n"
      "InstallShellLink1:TInstallShellLink\n";
  for (int i = 1; i <= 6; ++i) expected += "DialogManager" + std::to_string(i) + ":TDialogManager\n";
  expected +=
      "WelcomeDlg1:TWelcomeDlg\nInstallFileGroupsDlg1:TInstallFileGroupsDlg\nSelectFolderDlg1:TSelectFolderDlg\n"
      "GoodInstallationDlg1:TGoodInstallationDlg\nBadInstallationDlg1:TBadInstallationDlg\n"
      "ChangeDiskDlg1:TChangeDiskDlg\nRebootDlg1:TRebootDlg\nCopyFileDlg1:TCopyFileDlg\n"
      "InstallStatusDlg1:TInstallStatusDlg\n";
  for (int i : {1, 2, 3, 4, 5, 6, 7, 9, 8}) expected += "Registry" + std::to_string(i) + ":TInstallRegistry\n";
  EXPECT_EQ(tree, expected);
}

// The values that decide what is installed where, and how.
TEST(SetupMainForm, KeyValues) {
  struct Case {
    const char *component, *path, *value;
  } cases[] = {
      {"ProductLabel1", "Left", "18"}, {"ProductLabel1", "Top", "10"},
      {"ProductLabel1", "Caption", "Quiltor Snapmend"}, {"ProductLabel1", "Font.Name", "Arial"},
      {"ProductLabel1", "Font.Height", "-24"}, {"ProductLabel1", "Font.Style", "[fsBold]"},
      {"BackDrop1", "Align", "alClient"},
      {"Install1", "Tag", "1"}, {"Install1", "DestDirType", "psProgramFiles"}, {"Install1", "DestDir", "\\Quiltor32"},
      {"Install1", "GroupName", "Main"}, {"Install1", "Information.CompanyName", "Norvale"},
      {"Install1", "Information.ProductName", "Quiltor Snapmend"}, {"Install1", "Information.Version", "2.1f R1"},
      {"Install1", "UseLoadingProgram", "True"}, {"Install1", "BuildInfo.OCXName", "MySetup"},
      {"Install1", "BuildInfo.SignCode", "False"}, {"Install1", "RunAutomatic", ""},
      {"MainTranslator", "lgChineseSimplified.FontOverride", "True"}, {"MainTranslator", "lgGerman.FontOverride", ""},
      {"MainTranslator", "lgVietnamese.Font.Name", "MS Sans Serif"},
      {"UninstallEXE2", "Container", "Install1"}, {"UninstallEXE2", "FileName", "uninstall.exe"},
      {"UninstallEXE2", "Order", "0"},
      {"FileGroup1", "GroupName", "Program Files"}, {"FileGroup1", "Order", "0"},
      {"FileGroup1", "DestDirType", "psContainerDestDir"}, {"FileGroup1", "DestDir", ""},
      {"FileGroup2", "GroupName", "Help Files"}, {"FileGroup2", "Order", "1"}, {"FileGroup2", "DestDir", "\\help"},
      {"InstallFile1", "Container", "FileGroup1"}, {"InstallFile1", "FileName", "Quiltor32.exe"},
      {"InstallFile1", "IncludeFromDir", "program"},
      {"InstallFile6", "FileName", "history.htm"}, {"InstallFile9", "FileName", "liesmich.htm"},
      {"InstallFile14", "FileName", "bar.gif"}, {"InstallFile14", "IncludeFromDir", "help"},
      {"MainFolder1", "DestDir", "\\Quiltor"},
      {"InstallMainLink1", "LinkName", "Quiltor Snapmend.LNK"}, {"InstallMainLink1", "ObjectLink", "InstallFile1"},
      {"InstallMainLink2", "ObjectLink", "InstallFile8"}, {"InstallMainLink3", "ObjectLink", "InstallFile10"},
      {"InstallMainLink3", "ObjectLocationType", "psObjectLink"},
      {"SubLinkGroup1", "Container", "MainFolder1"}, {"SubLinkGroup1", "DestDir", "\\Internet"},
      {"InstallSubLink1", "LinkName", "Quiltor Snapmend Homepage.URL"},
      {"InstallSubLink2", "LinkName", "Most Recent Quiltor Documentation.URL"},
      {"InstallSubLink3", "LinkName", "Recommended product links.URL"},
      {"InstallShellLink1", "DestDirType", "psDesktopMenu"}, {"InstallShellLink1", "LinkName", "Snapmend.LNK"},
      {"DialogManager1", "ManagerType", "dmBeforeInstall"}, {"DialogManager2", "ManagerType", "dmAfterGoodInstall"},
      {"DialogManager3", "ManagerType", "dmAfterBadInstall"}, {"DialogManager4", "ManagerType", "dmDuringCopyFiles"},
      {"DialogManager5", "ManagerType", "dmChangeDisk"}, {"DialogManager6", "ManagerType", "dmReboot"},
      {"WelcomeDlg1", "DialogManager", "DialogManager1"}, {"WelcomeDlg1", "Order", "10"},
      {"InstallFileGroupsDlg1", "Order", "50"}, {"SelectFolderDlg1", "Container", "MainFolder1"},
      {"SelectFolderDlg1", "DialogManager", "DialogManager1"}, {"SelectFolderDlg1", "Order", "60"},
      {"GoodInstallationDlg1", "DialogManager", "DialogManager2"},
      {"BadInstallationDlg1", "DialogManager", "DialogManager3"}, {"ChangeDiskDlg1", "DialogManager", "DialogManager5"},
      {"RebootDlg1", "DialogManager", "DialogManager6"}, {"CopyFileDlg1", "DialogManager", ""},
      {"InstallStatusDlg1", "OverrideMainTranslator", "False"},
      {"Registry1", "Key", "\\quiltor"}, {"Registry1", "RootKey", "hkClassesRoot"},
      {"Registry1", "Entries[0].Ident", ""}, {"Registry1", "Entries[0].Text", "Patchfile created using Quiltor Technology"},
      {"Registry1", "Entries[1].Ident", "QuiltorVersion"}, {"Registry1", "Entries[1].Text", "21"},
      {"Registry2", "Entries[0].PathSpecifier", "psMainInstall"},
      {"Registry2", "Entries[0].Text", "%p\\Quiltor32.exe,1"},
      {"Registry5", "Entries[0].PathSpecifier", "psMainInstall"},
      {"Registry5", "Entries[0].Text", "\"%p\\mendr32.exe\" \"%1\""},
      {"Registry7", "Entries[0].PathSpecifier", "psMainInstall"},
      {"Registry7", "Entries[0].Text", "\"%p\\mendr32.exe\" -t \"%1\""}, {"Registry7", "Key", "\\quiltor\\shell\\Test Apply\\command"},
      {"Registry9", "Key", "\\.utp"}, {"Registry9", "Entries[0].Text", "quiltor"},
      {"Registry9", "Entries[1].Ident", "@"}, {"Registry9", "Entries[1].Text", "Quiltor"},
      {"Registry8", "Key", "\\.utp\\ShellNew"}, {"Registry8", "Entries[0].Ident", "NullFile"},
      {"Registry8", "Entries[0].Text", "\"\""}, {"Registry3", "Entries[0].Text", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Child(c.component).Value(c.path), c.value) << c.component << "." << c.path;
  // Every file keeps its container's folder and archive and is always written; the help
  // pages are the eleven of the help group, each under its own name.
  const char* help[] = {"selector.html", "index.html", "history.htm", "Form1_page_Expert.html", "readme.htm",
                        "liesmich.htm", "faq.htm", "minipnkt.gif", "quiltor.gif", "bk101.gif", "bar.gif"};
  for (int i = 4; i <= 14; ++i) {
    const TFormOutline& file = Child("InstallFile" + std::to_string(i));
    EXPECT_EQ(file.Value("FileName"), help[i - 4]);
    EXPECT_EQ(file.Value("DestName"), help[i - 4]);
    EXPECT_EQ(file.Value("Container"), "FileGroup2");
    EXPECT_EQ(file.Value("Order"), std::to_string(i - 4));
  }
  for (const TFormOutline& c : Form().Children) {
    if (c.ClassName == "TInstallFile" || c.ClassName == "TUninstallEXE") {
      EXPECT_EQ(c.Value("DestDirType"), "psContainerDestDir") << c.Name;
      EXPECT_EQ(c.Value("ArchiveFileType"), "psContainerArchiveFile") << c.Name;
      EXPECT_EQ(c.Value("OverwriteMode"), "owAlways") << c.Name;
      EXPECT_EQ(c.Value("DestName"), c.Value("FileName")) << c.Name;
    }
    if (c.ClassName == "TInstallRegistry") {
      EXPECT_EQ(c.Value("Container"), "Install1") << c.Name;
      EXPECT_EQ(c.Value("KeySpecifierType"), "ksAbsolute") << c.Name;
      const bool handled = c.Value("Key") != "\\quiltor\\shell" && c.Value("Key") != "\\quiltor\\shell\\open" &&
                           c.Value("Key") != "\\quiltor\\shell\\Test Apply";
      EXPECT_EQ(c.Value("OnBeforeProcess"), handled ? c.Name + "BeforeProcess" : "") << c.Name;
    }
  }
}

// The writers of the association keep a newer installed version's entries: only an integer
// above 21 under HKEY_CLASSES_ROOT\Quiltor clears them.
TEST(SetupMainForm, NewerAssociationKeepsItsEntries) {
  setup::RegisterShortcutAndRegistryClasses();
  struct Case {
    const char* what;
    const char* stored;  // nullptr: no key
    int entriesLeft;
  } cases[] = {{"no key", nullptr, 2}, {"equal version", "21", 2}, {"newer", "22", 0}, {"much newer", "100", 0},
               {"not an integer", "2.2", 2}, {"older", "20", 2}, {"text", "new", 2}, {"empty", "", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemRegistry memory;
    IRegistryBackend* old = setup::SetSetupRegistry(&memory);
    if (c.stored) setup::WriteRegString(setup::TRootKeys::hkClassesRoot, "\\quiltor", "QuiltorVersion", c.stored);
    TOwned<TDataModule> root(new TDataModule(nullptr));
    ReadForm(*root,
             "object Setup: TDataModule\n  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
             "  object Registry1: TInstallRegistry\n    Container = Install1\n    RootKey = hkClassesRoot\n"
             "    Key = '\\quiltor'\n    Entries = <\n      item\n        Text = 'x'\n      end\n"
             "      item\n        Ident = 'QuiltorVersion'\n        Text = '21'\n      end>\n  end\nend\n",
             "association");
    auto* writer = dynamic_cast<TInstallRegistry*>(root->FindComponent("Registry1"));
    ASSERT_NE(writer, nullptr);
    setup_ui::KeepNewerAssociation(*writer);
    EXPECT_EQ(writer->Entries().Count(), c.entriesLeft);
    root.reset();
    setup::SetSetupRegistry(old);
  }
}

}  // namespace
