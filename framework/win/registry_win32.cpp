#include "framework/win/registry_win32.h"

#include <windows.h>

namespace {

HKEY RootHandle(TRootKey root) {
  switch (root) {
    case TRootKey::hkClassesRoot: return HKEY_CLASSES_ROOT;
    case TRootKey::hkCurrentUser: return HKEY_CURRENT_USER;
    case TRootKey::hkLocalMachine: return HKEY_LOCAL_MACHINE;
    case TRootKey::hkUsers: return HKEY_USERS;
    case TRootKey::hkCurrentConfig: return HKEY_CURRENT_CONFIG;
    case TRootKey::hkDynData: return HKEY_DYN_DATA;
  }
  return HKEY_CURRENT_USER;
}

HKEY Key(IRegistryBackend::THandle key) { return reinterpret_cast<HKEY>(key); }

// Lists names with RegEnumKeyExA or RegEnumValueA (passed as next), growing the buffer
// when a name does not fit; names may be longer in bytes than in characters.
template <class Next>
bool Enumerate(HKEY key, bool subkeys, std::vector<std::string>& names, Next next) {
  DWORD maxKey = 0, maxValue = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &maxKey, nullptr, nullptr, &maxValue,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  std::vector<char> buffer(((subkeys ? maxKey : maxValue) + 1) * 2);
  names.clear();
  for (DWORD i = 0;;) {
    DWORD length = DWORD(buffer.size());
    LONG rc = next(key, i, buffer.data(), &length);
    if (rc == ERROR_NO_MORE_ITEMS) return true;
    if (rc == ERROR_MORE_DATA && buffer.size() < 1u << 20) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) return false;
    names.emplace_back(buffer.data(), length);
    ++i;
  }
}

}  // namespace

bool TWin32RegistryBackend::OpenKey(TRootKey root, const std::string& path, bool create, bool readOnly,
                                    THandle& key) {
  HKEY h = nullptr;
  LONG rc;
  if (create && !readOnly)
    rc = RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &h, nullptr);
  else
    rc = RegOpenKeyExA(RootHandle(root), path.c_str(), 0, readOnly ? KEY_READ : KEY_ALL_ACCESS, &h);
  if (rc != ERROR_SUCCESS || !h) return false;
  key = reinterpret_cast<THandle>(h);
  return true;
}

void TWin32RegistryBackend::CloseKey(THandle key) { RegCloseKey(Key(key)); }

bool TWin32RegistryBackend::QueryValue(THandle key, const std::string& name, TRegValue& value) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(Key(key), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  std::vector<uint8_t> data(size + 1);  // never empty: a null buffer asks for the size only
  for (;;) {
    size = DWORD(data.size());
    LONG rc = RegQueryValueExA(Key(key), name.c_str(), nullptr, &type, data.data(), &size);
    if (rc == ERROR_MORE_DATA) {  // the value grew since the first call
      data.resize(size + 1);
      continue;
    }
    if (rc != ERROR_SUCCESS) return false;
    break;
  }
  data.resize(size);
  value.Type = TRegType(type);
  value.Data = std::move(data);
  return true;
}

bool TWin32RegistryBackend::SetValue(THandle key, const std::string& name, const TRegValue& value) {
  static const BYTE none = 0;
  const BYTE* data = value.Data.empty() ? &none : value.Data.data();
  return RegSetValueExA(Key(key), name.c_str(), 0, DWORD(value.Type), data, DWORD(value.Data.size())) ==
         ERROR_SUCCESS;
}

bool TWin32RegistryBackend::DeleteValue(THandle key, const std::string& name) {
  return RegDeleteValueA(Key(key), name.c_str()) == ERROR_SUCCESS;
}

bool TWin32RegistryBackend::EnumKeys(THandle key, std::vector<std::string>& names) {
  return Enumerate(Key(key), true, names, [](HKEY h, DWORD i, char* buffer, DWORD* length) {
    return RegEnumKeyExA(h, i, buffer, length, nullptr, nullptr, nullptr, nullptr);
  });
}

bool TWin32RegistryBackend::EnumValues(THandle key, std::vector<std::string>& names) {
  return Enumerate(Key(key), false, names, [](HKEY h, DWORD i, char* buffer, DWORD* length) {
    return RegEnumValueA(h, i, buffer, length, nullptr, nullptr, nullptr, nullptr);
  });
}

bool TWin32RegistryBackend::DeleteSubKey(THandle key, const std::string& name) {
  return RegDeleteKeyA(Key(key), name.c_str()) == ERROR_SUCCESS;
}

bool TWin32RegistryBackend::FlushKey(THandle key) { return RegFlushKey(Key(key)) == ERROR_SUCCESS; }

IRegistryBackend& SystemRegistry() {
  static TWin32RegistryBackend backend;
  return backend;
}
