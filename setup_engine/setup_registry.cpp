#include "setup_engine/setup_registry.h"

#include "framework/core/exceptions.h"
#include "framework/core/sysutils.h"
#include "setup_engine/setup_exceptions.h"

namespace setup {

namespace {

const TTypeInfo kRootKeys{
    {"hkClassesRoot", "hkCurrentConfig", "hkCurrentUser", "hkDynData", "hkLocalMachine", "hkUsers"}, {}};

struct TRootPair {
  TRootKeys keys;
  TRootKey key;
};
constexpr TRootPair kRoots[] = {
    {TRootKeys::hkClassesRoot, TRootKey::hkClassesRoot},
    {TRootKeys::hkCurrentConfig, TRootKey::hkCurrentConfig},
    {TRootKeys::hkCurrentUser, TRootKey::hkCurrentUser},
    {TRootKeys::hkDynData, TRootKey::hkDynData},
    {TRootKeys::hkLocalMachine, TRootKey::hkLocalMachine},
    {TRootKeys::hkUsers, TRootKey::hkUsers},
};

IRegistryBackend* installed = nullptr;

}  // namespace

const TTypeInfo& RootKeysTypeInfo() { return kRootKeys; }

TRootKey ToRootKey(TRootKeys root) {
  for (const TRootPair& p : kRoots)
    if (p.keys == root) return p.key;
  throw EConvertError("Unknown registry root " + IntToStr(int(root)));
}

TRootKeys ToRootKeys(TRootKey root) {
  for (const TRootPair& p : kRoots)
    if (p.key == root) return p.keys;
  throw EConvertError("Unknown registry root " + IntToStr(int(root)));
}

IRegistryBackend& SetupRegistry() { return installed ? *installed : DefaultSetupRegistry(); }

IRegistryBackend* SetSetupRegistry(IRegistryBackend* backend) {
  IRegistryBackend* old = installed;
  installed = backend;
  return old;
}

void WriteRegString(TRootKeys root, const std::string& key, const std::string& name,
                    const std::string& value) {
  try {
    TRegistry reg(SetupRegistry(), ToRootKey(root));
    if (!reg.OpenKey(key, true)) throw ERegistryException("cannot open " + key);
    reg.WriteString(name, value);
  } catch (const Exception&) {
    throw EIRCannotWriteValue(key, name, value);
  }
}

void WriteRegInteger(TRootKeys root, const std::string& key, const std::string& name, int value) {
  try {
    TRegistry reg(SetupRegistry(), ToRootKey(root));
    if (!reg.OpenKey(key, true)) throw ERegistryException("cannot open " + key);
    reg.WriteInteger(name, value);
  } catch (const Exception&) {
    throw EIRCannotWriteValue(key);
  }
}

std::string ReadRegString(TRootKeys root, const std::string& key, const std::string& name,
                          const std::string& def) {
  TRegistry reg(SetupRegistry(), ToRootKey(root));
  if (!reg.OpenKeyReadOnly(key)) return def;
  return reg.TryReadString(name).value_or(def);
}

int ReadRegInteger(TRootKeys root, const std::string& key, const std::string& name, int def) {
  TRegistry reg(SetupRegistry(), ToRootKey(root));
  if (!reg.OpenKeyReadOnly(key)) return def;
  return reg.TryReadInteger(name).value_or(def);
}

void DeleteRegTree(TRootKeys root, const std::string& key) {
  TRegistry reg(SetupRegistry(), ToRootKey(root));
  reg.DeleteKey("\\" + key);
}

const char* const kRunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool SetRunOnceValue(const std::string& name, const std::string& data, bool unique) {
  TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
  if (!reg.OpenKey(kRunOnceKey, true)) return false;
  std::string valueName = name;
  for (int n = 1; unique && reg.ValueExists(valueName); ++n) valueName = name + IntToStr(n);
  try {
    reg.WriteString(valueName, data);
  } catch (const ERegistryException&) {
    return false;
  }
  // The entry must be on disk before Windows restarts.
  return reg.FlushKey();
}

}  // namespace setup
