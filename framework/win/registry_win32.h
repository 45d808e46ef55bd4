#pragma once
// The system registry under TRegistry: each call is one advapi32 function of the ANSI API,
// and handles are the HKEYs themselves. This is the only code of the programs that calls
// a Reg* function.
#include "framework/core/registry.h"

class TWin32RegistryBackend final : public IRegistryBackend {
 public:
  bool OpenKey(TRootKey root, const std::string& path, bool create, bool readOnly,
               THandle& key) override;
  void CloseKey(THandle key) override;
  bool QueryValue(THandle key, const std::string& name, TRegValue& value) override;
  bool SetValue(THandle key, const std::string& name, const TRegValue& value) override;
  bool DeleteValue(THandle key, const std::string& name) override;
  bool EnumKeys(THandle key, std::vector<std::string>& names) override;
  bool EnumValues(THandle key, std::vector<std::string>& names) override;
  bool DeleteSubKey(THandle key, const std::string& name) override;
  bool FlushKey(THandle key) override;
};

// The process's one backend over the system registry.
IRegistryBackend& SystemRegistry();
