// Shortcuts, registry writers and Program Manager against the system: links saved by the
// shell's link object and loaded back through it, entries in the registry, and the
// PROGMAN service of the session.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/program_manager.h"
#include "setup_engine/shell_links.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::InstallFixture;

struct TLoadedLink {
  std::string path, arguments, directory;
  WORD hotKey = 0;
  HRESULT result = E_FAIL;
};

TLoadedLink LoadLink(const std::string& file) {
  TLoadedLink out;
  IShellLinkA* link = nullptr;
  out.result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (FAILED(out.result)) return out;
  IPersistFile* persist = nullptr;
  out.result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (SUCCEEDED(out.result)) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    out.result = persist->Load(wide, STGM_READ);
    persist->Release();
  }
  if (SUCCEEDED(out.result)) {
    char buffer[MAX_PATH * 2] = {};
    link->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH);
    out.path = buffer;
    buffer[0] = 0;
    link->GetArguments(buffer, sizeof buffer);
    out.arguments = buffer;
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, sizeof buffer);
    out.directory = buffer;
    link->GetHotkey(&out.hotKey);
  }
  link->Release();
  return out;
}

std::string SystemValue(HKEY root, const std::string& key, const std::string& name) {
  char buffer[1024] = {};
  DWORD size = sizeof buffer - 1, type = 0;
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
  LONG r = RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return "<no value>";
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(buffer));
  return buffer;
}

class SystemLinks : public InstallFixture {
 protected:
  SystemLinks() {
    RegisterInstallCliClasses();
    CoInitialize(nullptr);
    platform::MakeDirectory(dir.Path("tools"));
    Write("tools/tool.exe", "a program");
  }
  ~SystemLinks() override { CoUninitialize(); }
  std::string Driver(const std::string& product) {
    return "  object Install1: TInstall\n    RunAutomatic = False\n    DestDirType = nil\n    DestDir = '" +
           dir.Path("dest") + "'\n    Information.ProductName = '" + product + "'\n  end\n"
           "  object Group: TMainLinkGroup\n    Container = Install1\n    DestDir = '\\Quiltor Links Test'\n  end\n";
  }
};

// The shell's link object saves what the link says; it loads back with its target,
// arguments (meta variables expanded), working folder and hot key; an Internet shortcut is
// an INI file the system reads.
TEST_F(SystemLinks, LinksLoadBackThroughTheShell) {
  std::string tool = dir.Path("tools") + "\\tool.exe";
  Load(Driver("QuiltorLinksTest") +
       "  object Tool: TInstallMainLink\n    LinkName = 'Tool.lnk'\n    Method = mtShellLinkInterface\n"
       "    ObjectLocation = '" + tool + "'\n    Parameters = '-x \"%w\"'\n    HotKey = 1620\n  end\n"
       "  object Desk: TInstallShellLink\n    Container = Install1\n    DestDirType = psDesktopMenu\n"
       "    LinkName = 'Tool.lnk'\n    ObjectLocation = '" + tool + "'\n  end\n"
       "  object Web: TInstallMainLink\n    LinkName = 'Home.URL'\n    ObjectLocation = 'http://127.0.0.1/'\n  end\n");
  Get<TInstallMainLink>("Tool")->Process();
  Get<TInstallShellLink>("Desk")->Process();
  Get<TInstallMainLink>("Web")->Process();
  std::string group = folders.windows + "\\Start Menu\\Programs\\Quiltor Links Test";
  TLoadedLink link = LoadLink(group + "\\Tool.lnk");
  ASSERT_HRESULT_SUCCEEDED(link.result);
  EXPECT_TRUE(SameText(link.path, tool)) << link.path;
  EXPECT_EQ(link.arguments, "-x \"" + folders.windows + "\"");
  EXPECT_TRUE(SameText(link.directory, dir.Path("tools"))) << link.directory;
  EXPECT_EQ(link.hotKey, 1620);
  TLoadedLink desk = LoadLink(folders.windows + "\\Desktop\\Tool.lnk");
  ASSERT_HRESULT_SUCCEEDED(desk.result);
  EXPECT_TRUE(SameText(desk.path, tool)) << desk.path;
  char url[256] = {};
  GetPrivateProfileStringA("InternetShortcut", "URL", "", url, sizeof url, (group + "\\Home.URL").c_str());
  EXPECT_STREQ(url, "http://127.0.0.1/");
}

// Registry writers and the uninstall records in the system's registry.
TEST_F(SystemLinks, RegistryWritersInTheSystemRegistry) {
  IRegistryBackend* mem = SetSetupRegistry(&DefaultSetupRegistry());
  const std::string product = "QuiltorRegistryTest";
  const std::string uninstall = std::string(kUninstallKey).substr(1) + product;
  Load(Driver(product) +
       "  object Reg: TInstallRegistry\n    Container = Install1\n    RootKey = hkCurrentUser\n"
       "    Key = '\\Software\\QuiltorRegistryTest\\command'\n    Entries = <\n"
       "      item\n        PathSpecifier = psMainInstall\n        Text = '\"%p\\mendr32.exe\" \"%1\"'\n      end\n"
       "      item\n        Ident = 'Count'\n        EntryType = retInteger\n        Integer = 5\n      end>\n  end\n");
  Get<TInstallRegistry>("Reg")->Process();
  EXPECT_EQ(SystemValue(HKEY_CURRENT_USER, "Software\\QuiltorRegistryTest\\command", ""),
            "\"" + dir.Path("dest") + "\\mendr32.exe\" \"%1\"");
  EXPECT_EQ(SystemValue(HKEY_CURRENT_USER, "Software\\QuiltorRegistryTest\\command", "Count"), "5");
  EXPECT_EQ(SystemValue(HKEY_LOCAL_MACHINE, uninstall + "\\RegistryKeys\\RegistryKey1", "Key"),
            "\\Software\\QuiltorRegistryTest\\command");
  EXPECT_EQ(SystemValue(HKEY_LOCAL_MACHINE, uninstall + "\\RegistryKeys\\RegistryKey1", "Root"), "2");
  DeleteRegTree(TRootKeys::hkCurrentUser, "\\Software\\QuiltorRegistryTest");
  DeleteRegTree(TRootKeys::hkLocalMachine, "\\" + uninstall);
  EXPECT_EQ(SystemValue(HKEY_LOCAL_MACHINE, uninstall, ""), "<no key>");
  SetSetupRegistry(mem);
}

// The session's Program Manager makes a group, lists it among the groups and adds an item.
TEST(SystemProgramManager, GroupAndItem) {
  TProgramManager& pm = ProgramManager();
  const std::string name = "Quiltor PM Test";
  ASSERT_NO_THROW(pm.CreateGroup(name));
  TStringList groups;
  pm.GetGroups(groups);
  EXPECT_GE(groups.IndexOf(name), 0) << groups.Text();
  char programs[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
  std::string folder = std::string(programs) + "\\" + name;
  EXPECT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_NO_THROW(pm.AddItem("C:\\windows\\notepad.exe", "Notes", "", "\"C:\\windows\"", 0, ""));
  std::string item = folder + "\\Notes.lnk";
  CoInitialize(nullptr);
  TLoadedLink link = LoadLink(item);
  EXPECT_HRESULT_SUCCEEDED(link.result);
  EXPECT_TRUE(SameText(link.path, "C:\\windows\\notepad.exe")) << link.path;
  CoUninitialize();
  pm.Close();
  DeleteFileA(item.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
