#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/program_manager.h"
#include "setup_engine/shell_links.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"
#include "tests/support/defaults_check.h"

namespace {

using namespace setup;
using installtest::InstallFixture;

using installtest::Error;

// Writes down every link it is asked to save; fails with result when it is set.
class TFakeLinkWriter : public IShellLinkWriter {
 public:
  std::vector<std::string> log;
  int32_t initResult = 0;
  int32_t result = 0;
  int32_t InitializeCom() override {
    log.push_back("com");
    return initResult;
  }
  int32_t Save(const TShellLinkData& d, const std::string& file) override {
    log.push_back(file + " -> " + d.Path + " | " + d.Arguments + " | " + d.WorkingDirectory + " | " +
                  std::to_string(d.HotKey));
    return result;
  }
  std::string ErrorText(int32_t code) override { return "system text " + std::to_string(code); }
};

// A Program Manager: the commands it was sent, the item lists it serves by group, and the
// commands it refuses.
class TFakeDde : public IDdeTransport {
 public:
  std::vector<std::string> log;
  std::map<std::string, std::string> lists;
  bool connects = true;
  std::string refuse;  // commands starting with this fail
  bool Connect(const std::string& service, const std::string& topic) override {
    log.push_back("connect " + service + " " + topic);
    return connects;
  }
  void Disconnect() override { log.push_back("disconnect"); }
  bool Execute(const std::string& command) override {
    log.push_back(command);
    return refuse.empty() || command.rfind(refuse, 0) != 0;
  }
  bool Request(const std::string& item, std::string& text) override {
    auto it = lists.find(item);
    if (it == lists.end()) return false;
    text = it->second;
    return true;
  }
};

class Shortcuts : public InstallFixture {
 protected:
  Shortcuts() {
    RegisterInstallCliClasses();
    oldWriter_ = SetShellLinkWriter(&writer);
    oldDde_ = SetProgramManagerTransport(&dde);
    platform::MakeDirectory(dir.Path("src"));
  }
  ~Shortcuts() override {
    root.reset();
    SetShellLinkWriter(oldWriter_);
    SetProgramManagerTransport(oldDde_);
  }
  std::string Driver() {
    return "  object Install1: TInstall\n    RunAutomatic = False\n    DestDirType = nil\n    DestDir = '" +
           dir.Path("dest") + "'\n    Information.ProductName = 'Demo'\n  end\n"
           "  object Group: TMainLinkGroup\n    Container = Install1\n    DestDir = '\\Demo Tools'\n  end\n";
  }
  std::string Programs() { return folders.windows + "\\Start Menu\\Programs"; }
  template <class T>
  T& Make(TComponent* owner = nullptr) {
    return *new T(owner ? owner : root.get());
  }

  TFakeLinkWriter writer;
  TFakeDde dde;

 private:
  IShellLinkWriter* oldWriter_;
  IDdeTransport* oldDde_;
};

// A name's extension follows its kind outside loading; a link without a name takes one
// from its location or its object.
TEST_F(Shortcuts, LinkNames) {
  Load(Driver() +
       "  object Readme: TInstallFile\n    Container = Install1\n    DestDirType = psContainerDestDir\n    FileName = 'readme.txt'\n"
       "    DestName = 'readme.txt'\n  end\n");
  struct Case {
    std::vector<std::string> names;
    const char* location;
    const char* expect;
  } cases[] = {
      {{"Help"}, "", "Help.LNK"},
      {{"Help", "Help.txt"}, "", "Help.LNK"},
      {{"Site.url", "Home"}, "", "Home.url"},
      {{"Help.lnk"}, "", "Help.lnk"},
      {{}, "http://www.example.com", "www.example.com.URL"},
      {{}, "Ftp://ftp.example.com", "ftp.example.com.URL"},
      {{".lnk"}, "C:\\Tools\\prog.exe", "prog.lnk"},  // a bare extension counts as no name
      {{"Tools"}, "C:\\Tools\\prog.exe", "Tools.LNK"},
      {{}, "C:\\Tools\\prog.exe", "prog.LNK"},
  };
  for (const Case& c : cases) {
    auto& link = Make<TInstallMainLink>();
    for (const std::string& n : c.names) link.SetLinkName(n);
    if (*c.location) link.SetObjectLocation(c.location);
    EXPECT_EQ(link.LinkName(), c.expect) << c.location;
    link.Free();
  }
  auto& link = Make<TInstallShellLink>();
  link.SetContainer(nullptr);
  link.SetObjectLink(Get<TInstallFile>("Readme"));
  EXPECT_EQ(link.LinkName(), "readme.lnk");
  EXPECT_EQ(link.Container(), Get<TInstallFile>("Readme"));
  EXPECT_TRUE(Is<TpsObjectLink>(link.ObjectLocationType()));
  EXPECT_EQ(link.GetObjectPath(), dir.Path("dest") + "\\readme.txt");
  link.SetLinkName("Online.URL");
  EXPECT_EQ(link.ObjectLink(), nullptr);
}

// Each group and link kind has its one place, refused elsewhere; psObjectLink serves only
// links with an object.
TEST_F(Shortcuts, ContainmentRules) {
  Load("  object Install1: TInstall\n    RunAutomatic = False\n  end\n");
  EXPECT_EQ(Error([&] { Make<TSubLinkGroup>(); }),
            "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  EXPECT_EQ(Error([&] { Make<TInstallMainLink>(); }),
            "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  auto& main = Make<TMainLinkGroup>();
  EXPECT_EQ(main.DestDir(), "\\Default Product Name");
  EXPECT_TRUE(Is<TpsProgramMenu>(main.DestDirType()));
  main.SetDestDirType(FindStandard<TpsDesktopMenu>());
  EXPECT_TRUE(Is<TpsProgramMenu>(main.DestDirType()));
  EXPECT_EQ(Error([&] { Make<TMainLinkGroup>(); }), "You can only have one TMainLinkGroup component in your project");
  EXPECT_EQ(Error([&] { Make<TInstallSubLink>(); }),
            "To create a TInstallSubLink you must first have at least one TSubLinkGroup component in your project");
  auto& sub = Make<TSubLinkGroup>();
  EXPECT_EQ(sub.Container(), &main);
  EXPECT_EQ(sub.DestDir(), "\\ASubGroup");
  auto& subLink = Make<TInstallSubLink>();
  EXPECT_EQ(subLink.Container(), &sub);
  EXPECT_EQ(Error([&] { subLink.SetContainer(&main); }),
            "A TSubLinkGroup component must be the Container for TInstallSubLink components");
  auto& mainLink = Make<TInstallMainLink>();
  const char* mainOnly =
      "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components";
  EXPECT_EQ(Error([&] { mainLink.SetContainer(&sub); }), mainOnly);
  EXPECT_EQ(Error([&] { sub.SetContainer(setup::Driver()); }), mainOnly);
  EXPECT_EQ(mainLink.GetFullDestDir(), Programs() + "\\Default Product Name");

  TCustomPathSpecifier* objectLink = FindStandard<TpsObjectLink>();
  ASSERT_NE(objectLink, nullptr);
  EXPECT_EQ(objectLink->Name(), "psObjectLink");
  sub.SetName("Sub");
  EXPECT_EQ(Error([&] { objectLink->CheckObject(&sub); }),
            "Sub must be a TCustomInstallShellLink to use the psObjectLink path specifier");
  mainLink.SetName("Tools");
  EXPECT_EQ(Error([&] { mainLink.SetObjectLocationType(objectLink); }),
            "Cannot use ddObjectLink for Tools unless you assign a value to ObjectLink");
  mainLink.SetObjectLink(&sub);
  EXPECT_EQ(mainLink.GetObjectPath(), Programs() + "\\Default Product Name\\ASubGroup");

  // A link whose object goes frees itself.
  sub.Free();
  EXPECT_EQ(root->FindComponent("Tools"), nullptr);
  EXPECT_EQ(MainGroupLinks().size(), 0u);
}

// Fresh objects hold what their classes declare as defaults (the kinds that need a main
// group after one exists).
TEST_F(Shortcuts, DefaultsAgreeWithConstructors) {
  EXPECT_EQ(DefaultMismatches(TMainLinkGroup::StaticClass()), std::vector<std::string>{});
  TOwned<TComponent> owner(new TDataModule(nullptr));
  new TMainLinkGroup(owner.get());
  new TSubLinkGroup(owner.get());
  for (const TClassInfo* cls : {&TSubLinkGroup::StaticClass(), &TInstallShellLink::StaticClass(),
                                &TInstallMainLink::StaticClass(), &TInstallSubLink::StaticClass(),
                                &TInstallRegistry::StaticClass(), &TUninstallEXE::StaticClass(),
                                &TpsObjectLink::StaticClass()})
    EXPECT_EQ(DefaultMismatches(*cls), std::vector<std::string>{});
}

// A whole run with links: the group's folder, shell links with their targets, arguments
// and working folders, an Internet shortcut, and uninstall records shared with the files.
TEST_F(Shortcuts, InstallRunWritesLinksAndRecords) {
  Write("src/app.exe", "program");
  Write("src/uninstall.exe", "uninstaller");
  BuildArchive("prog/files.1", {"src/app.exe", "src/uninstall.exe"});
  auto file = [&](const char* name, const char* cls, const char* f) {
    return std::string("  object ") + name + ": " + cls + "\n    Container = Install1\n"
           "    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n"
           "    IncludeFromDir = '" + dir.Path("src") + "'\n    FileName = '" + f + "'\n    DestName = '" + f +
           "'\n  end\n";
  };
  Load(Driver() + file("App", "TInstallFile", "app.exe") + file("Uninst", "TUninstallEXE", "uninstall.exe") +
       "  object AppLink: TInstallMainLink\n    LinkName = 'Demo.lnk'\n    ObjectLink = App\n"
       "    ObjectLocationType = psObjectLink\n    Parameters = '%d'\n    HotKey = 1601\n  end\n"
       "  object UninstLink: TInstallMainLink\n    LinkName = 'Remove Demo.lnk'\n    ObjectLink = Uninst\n"
       "    ObjectLocationType = psObjectLink\n  end\n"
       "  object Web: TInstallMainLink\n    LinkName = 'Demo on the Web.url'\n"
       "    ObjectLocation = 'http://www.example.com/demo'\n  end\n"
       "  object Desk: TInstallShellLink\n    Container = Install1\n    DestDirType = psDesktopMenu\n"
       "    LinkName = 'Demo.lnk'\n    ObjectLink = App\n    ObjectLocationType = psObjectLink\n  end\n");
  TCustomInstall& d = *setup::Driver();
  d.Process();
  ASSERT_EQ(d.Outcome(), TCustomInstall::TOutcome::Good) << Values("x");
  std::string group = Programs() + "\\Demo Tools";
  std::string app = dir.Path("dest") + "\\app.exe";
  std::string desktop = folders.windows + "\\Desktop";
  // In the definition's order: the group (its links), the files, the desktop link.
  EXPECT_EQ(writer.log, (std::vector<std::string>{
                            "com", LocalPath(group + "\\Demo.lnk") + " -> " + app + " | " + desktop + " | " +
                                       dir.Path("dest") + " | 1601",
                            "com", LocalPath(group + "\\Remove Demo.lnk") + " -> " + dir.Path("dest") +
                                       "\\uninstall.exe | Demo | " + dir.Path("dest") + " | 0",
                            "com", LocalPath(desktop + "\\Demo.lnk") + " -> " + app + " |  | " + dir.Path("dest") + " | 0"}));
  EXPECT_EQ(Read(LocalPath(group + "\\Demo on the Web.url").substr(dir.Path("").size())),
            "[InternetShortcut]\r\nURL=http://www.example.com/demo\r\n");
  EXPECT_EQ(platform::KindOf(LocalPath(group)), platform::PathKind::Directory);
  std::string key = std::string(kUninstallKey) + "Demo";
  EXPECT_EQ(Values(key + "\\Files"), "File1=" + group + "\\Demo.lnk\nEntries=6\nFile2=" + group +
                                         "\\Remove Demo.lnk\nFile3=" + group + "\\Demo on the Web.url\nFile4=" + app +
                                         "\nFile5=" + dir.Path("dest") + "\\uninstall.exe\nFile6=" + desktop +
                                         "\\Demo.lnk\n");
  EXPECT_EQ(Values(key), "DisplayName=Demo\nUninstallString=\"" + dir.Path("dest") + "\\uninstall.exe\" Demo\n");
}

// The platform picks the way: the link object on the Windows 95 family and NT 4 and later,
// Program Manager otherwise; failures carry the COM text or the system's.
TEST_F(Shortcuts, MethodsAndFailures) {
  Write("src/app.exe", "program");
  auto run = [&](uint32_t platform, const std::string& extra) {
    platformId = platform;
    writer.log.clear();
    dde.log.clear();
    Load(Driver() + "  object Tools: TInstallMainLink\n    LinkName = 'Tools.lnk'\n"
                    "    ObjectLocation = 'C:\\Tools\\tools.exe'\n" + extra + "  end\n");
    return Error([&] { Get<TInstallMainLink>("Tools")->DoProcess(); });
  };
  EXPECT_EQ(run(1, ""), "no exception");
  EXPECT_EQ(writer.log.size(), 2u);
  EXPECT_TRUE(dde.log.empty());
  EXPECT_EQ(run(0, ""), "no exception");  // Win32s
  EXPECT_TRUE(writer.log.empty());
  EXPECT_EQ(dde.log, (std::vector<std::string>{
                         "connect PROGMAN PROGMAN", "[CreateGroup(\"Demo Tools\")]", "[ShowGroup(Demo Tools,8)]",
                         "[AddItem(\"C:\\Tools\\tools.exe\" ,Tools,,0,,,\"C:\\Tools\",)]"}));
  EXPECT_EQ(run(2, "    Method = mtProgramManager\n    Parameters = '-x'\n"), "no exception");
  EXPECT_EQ(dde.log.back(), "[AddItem(\"C:\\Tools\\tools.exe\" -x,Tools,,0,,,\"C:\\Tools\",)]");

  const std::string prefix = "The TCustomInstallShellLink Tools name could not be installed. The following error was reported ";
  struct Case {
    uint32_t result;
    std::string expect;
  } cases[] = {
      {0x80040154u, prefix + "Indicates that a specified class is not registered in the registration database. Error code " +
                        std::to_string(int32_t(0x80040154u))},
      {0x80070057u, prefix + "Indicates one or more arguments are invalid. Error code " + std::to_string(int32_t(0x80070057u))},
      {0x80004005u, prefix + "system text " + std::to_string(int32_t(0x80004005u)) + ". Error code " +
                        std::to_string(int32_t(0x80004005u))},
  };
  for (const Case& c : cases) {
    writer.result = int32_t(c.result);
    EXPECT_EQ(run(2, ""), c.expect);
  }
  writer.result = 0;
  writer.initResult = int32_t(0x8007000Eu);
  EXPECT_EQ(run(2, ""), "Could not initialize IShellLink with following error code returned: " +
                            std::to_string(int32_t(0x8007000Eu)));
  writer.initResult = 1;  // already initialised
  EXPECT_EQ(run(2, "    LinkName = ' '\n"), "The LinkName is blank for Tools and therefore could not be installed");
  EXPECT_EQ(run(2, "    LinkName = 'Tools.url'\n"), "no exception");
  EXPECT_TRUE(writer.log.empty());
}

// A link outside the Programs folder is no Program Manager item; an item already there is
// replaced in place.
TEST_F(Shortcuts, ProgramManagerItems) {
  platformId = 0;
  dde.lists["Demo Tools"] = "\"Demo Tools\",7,3\r\n\"Readme\",\"notepad.exe readme.txt\",,0\r\n\"Tools\",\"x.exe\",,0";
  Load(Driver() + "  object Tools: TInstallMainLink\n    LinkName = 'Tools.lnk'\n"
                  "    ObjectLocation = 'C:\\x.exe'\n  end\n"
                  "  object Desk: TInstallShellLink\n    Container = Install1\n    DestDirType = psDesktopMenu\n"
                  "    LinkName = 'Tools.lnk'\n    ObjectLocation = 'C:\\x.exe'\n  end\n");
  Get<TInstallShellLink>("Desk")->DoProcess();
  EXPECT_TRUE(dde.log.empty());
  Get<TInstallMainLink>("Tools")->DoProcess();
  EXPECT_EQ(dde.log, (std::vector<std::string>{"connect PROGMAN PROGMAN", "[CreateGroup(\"Demo Tools\")]",
                                               "[ShowGroup(Demo Tools,8)]", "[ReplaceItem(\"Tools\")]",
                                               "[ShowGroup(Demo Tools,8)]",
                                               "[AddItem(\"C:\\x.exe\" ,Tools,,0,,,\"C:\",)]"}));
}

// The client's commands, its item lists and its errors, over the recording transport.
TEST_F(Shortcuts, ProgramManagerClient) {
  TOwned<TProgramManager> pm(new TProgramManager(nullptr, &dde));
  EXPECT_EQ(Error([&] { pm->AddItem("x.exe", "X", "", "", 0, ""); }), "Program Manager could not open the group ");
  EXPECT_EQ(Error([&] { pm->ReplaceItem("X"); }), "Program Manager could not open the group ");
  dde.lists["Groups"] = "Main\r\nAccessories\r\nDemo";
  dde.lists["Demo"] = "\"Demo\",2,1\r\n\"A, b\",\"a.exe\",a.ico,0\r\n\"Read me\",\"\"\"notepad\"\" x\",,1";
  TStringList groups;
  pm->GetGroups(groups);
  EXPECT_EQ(groups.CommaText(), "Main,Accessories,Demo");
  pm->SelectGroup("Demo");
  EXPECT_EQ(pm->ItemCount(), 2);
  EXPECT_EQ(pm->ItemField(1, 1), "A");  // fields split at every comma
  EXPECT_EQ(pm->ItemField(2, 1), "Read me");
  EXPECT_EQ(pm->ItemField(2, 2), "\"\"notepad\"\" x");
  EXPECT_EQ(pm->ItemField(2, 4), "1");
  EXPECT_EQ(pm->FindItem("Read me"), 2);
  EXPECT_EQ(pm->FindItem("read me"), -1);
  pm->SelectGroup("Unknown");
  EXPECT_EQ(pm->Group(), "");
  EXPECT_EQ(pm->ItemCount(), 0);

  // A group made whose list cannot be had counts as selected with no items.
  pm->CreateGroup("Fresh");
  EXPECT_EQ(pm->Group(), "Fresh");
  EXPECT_EQ(pm->ItemCount(), 0);
  pm->AddItem("\"C:\\a b\\x.exe\" -y", "X", "", "\"C:\\a b\"", 3, "C:\\x.ico");
  EXPECT_EQ(dde.log.back(), "[AddItem(\"C:\\a b\\x.exe\" -y,X,C:\\x.ico,3,,,\"C:\\a b\",)]");
  pm->CreateGroup("  ");
  EXPECT_EQ(dde.log.back(), "[AddItem(\"C:\\a b\\x.exe\" -y,X,C:\\x.ico,3,,,\"C:\\a b\",)]");

  dde.refuse = "[CreateGroup";
  EXPECT_EQ(Error([&] { pm->CreateGroup("Bad"); }), "Program Manager could not create the group Bad");
  dde.refuse = "[ShowGroup";
  EXPECT_EQ(Error([&] { pm->ReplaceItem("X"); }), "Program Manager could not open the group Fresh");
  dde.refuse = "[AddItem";
  EXPECT_EQ(Error([&] { pm->AddItem("y.exe", "Y", "", "", 0, ""); }),
            "Program Manager could not add the item Y to the group Fresh. The command sent was "
            "[AddItem(y.exe,Y,,0,,,,)]");
  dde.refuse = "[ReplaceItem";
  EXPECT_EQ(Error([&] { pm->ReplaceItem("Y"); }), "Program Manager could not replace the item Y in the group Fresh");
  pm->Close();
  dde.connects = false;
  EXPECT_EQ(Error([&] { pm->CreateGroup("Demo"); }),
            "The TProgramManager object was unable to establish a link with Program Manager");
  EXPECT_EQ(dde.log.back(), "connect PROGMAN PROGMAN");
}

// Internet shortcuts keep what else their file holds.
TEST(InternetShortcutFile, KeepsOtherSections) {
  testsupport::ScratchDir dir{"qturl"};
  std::string path = dir.Path("x.url");
  {
    platform::File f;
    ASSERT_TRUE(f.Open(path, platform::OpenMode::Write));
    std::string text = "[Other]\r\nA=1\r\n[InternetShortcut]\r\nurl=old\r\nIconIndex=0\r\n";
    f.Write(text.data(), text.size());
  }
  ASSERT_TRUE(WriteIniValue(path, "InternetShortcut", "URL", "http://new"));
  TStringList lines;
  lines.LoadFromFile(path);
  EXPECT_EQ(lines.Text(), "[Other]\r\nA=1\r\n[InternetShortcut]\r\nURL=http://new\r\nIconIndex=0\r\n");
  EXPECT_FALSE(WriteIniValue(dir.Path("missing/x.url"), "InternetShortcut", "URL", "u"));
}

}  // namespace
