#include "setup_engine/uninstaller.h"

#include <algorithm>
#include <set>
#include <vector>

#include "framework/core/registry.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_object.h"
#include "setup_engine/setup_registry.h"

namespace setup {

namespace {

constexpr int kFileLists = 10;  // "\Files", "\Files1" ... "\Files9"

std::vector<std::string> ValueNames(TRootKey root, const std::string& key) {
  TRegistry reg(SetupRegistry(), root);
  std::vector<std::string> out;
  if (!reg.OpenKeyReadOnly(key)) return out;
  TStringList names;
  reg.GetValueNames(names);
  for (int i = 0; i < names.Count(); ++i) out.push_back(names[i]);
  return out;
}

bool KeyIsEmpty(TRootKey root, const std::string& key) {
  TRegistry reg(SetupRegistry(), root);
  if (!reg.OpenKeyReadOnly(key)) return false;
  TStringList names, values;
  reg.GetKeyNames(names);
  reg.GetValueNames(values);
  return names.Count() == 0 && values.Count() == 0;
}

void RemoveFiles(const std::string& key, IUninstallSystem& system) {
  std::vector<std::string> folders;
  std::set<std::string> pending;
  for (int list = 0; list < kFileLists; ++list) {
    std::string sub = key + "\\Files" + (list ? IntToStr(list) : std::string());
    int entries = StrToIntDef(ReadRegString(TRootKeys::hkLocalMachine, sub, "Entries", "0"), 0);
    for (int n = 1; n <= entries; ++n) {
      std::string file = ReadRegString(TRootKeys::hkLocalMachine, sub, "File" + IntToStr(n), "");
      if (Trim(file).empty()) continue;
      if (!system.Delete(file, false) && system.DeleteAtRestart(file)) pending.insert(ExtractFileDir(file));
      folders.push_back(ExtractFileDir(file));
    }
  }
  // The folders of the files, deepest first, once they are empty; one that holds only what
  // goes at the restart goes after it. Folders the installation wrote no file into stay.
  std::sort(folders.begin(), folders.end(),
            [](const std::string& a, const std::string& b) { return a.size() != b.size() ? a.size() > b.size() : a < b; });
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  for (const std::string& dir : folders) {
    if (pending.count(dir))
      system.DeleteAtRestart(dir);
    else if (system.IsEmptyFolder(dir))
      system.Delete(dir, true);
  }
}

void RemoveRegistryRecords(const std::string& key) {
  const std::string keys = key + "\\RegistryKeys";
  int entries = StrToIntDef(ReadRegString(TRootKeys::hkLocalMachine, keys, "Entries", "0"), 0);
  for (int n = entries; n >= 1; --n) {
    std::string record = keys + "\\RegistryKey" + IntToStr(n);
    std::string written = ReadRegString(TRootKeys::hkLocalMachine, record, "Key", "");
    int root = ReadRegInteger(TRootKeys::hkLocalMachine, record, "Root", -1);
    if (Trim(written).empty() || root < 0 || root > int(TRootKeys::hkUsers)) continue;
    TRootKey top = ToRootKey(TRootKeys(root));
    {
      TRegistry reg(SetupRegistry(), top);
      if (!reg.OpenKey(written, false)) continue;
      for (const std::string& name : ValueNames(TRootKey::hkLocalMachine, record + "\\Entries")) reg.DeleteValue(name);
    }
    if (KeyIsEmpty(top, written)) {
      TRegistry reg(SetupRegistry(), top);
      reg.DeleteKey(written);
    }
  }
}

}  // namespace

int RunUninstall(const std::string& product, IUninstallSystem& system) {
  if (Trim(product).empty()) return 1;
  const std::string key = std::string(kUninstallKey) + product;
  {
    TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
    if (!reg.KeyExists(key)) return 1;
  }
  const std::string caption = FormatTolerant("Uninstall %s", {product});
  if (!system.Confirm(FormatTolerant("Remove %s and all of its components?", {product}), caption)) return 1;
  RemoveFiles(key, system);
  RemoveRegistryRecords(key);
  DeleteRegTree(TRootKeys::hkLocalMachine, key);
  system.Inform(FormatTolerant("%s was removed.", {product}), caption);
  return 0;
}

}  // namespace setup
