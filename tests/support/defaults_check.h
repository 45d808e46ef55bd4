#pragma once
// Shared by the native and the Windows tests: every default a class declares must be what
// a fresh instance holds, or the writer drops a value that then reads back as another.
#include <string>
#include <vector>

#include "framework/core/data_module.h"
#include "framework/core/object.h"

inline std::vector<std::string> DefaultMismatches(const TClassInfo& cls) {
  std::vector<std::string> out;
  if (cls.IsAbstract()) return out;
  // A data module, as components that only a form or a data module may hold need.
  TOwned<TComponent> owner(new TDataModule(nullptr));
  TComponent* obj = cls.Create(owner.get());
  ForEachProperty(*obj, [&](TPersistent& o, const TPropInfo& p, const std::string& path) {
    if (p.Default && p.Get && p.Get(o) != *p.Default)
      out.push_back(std::string(cls.Name()) + "." + path);
  });
  return out;
}
