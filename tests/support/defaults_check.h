#pragma once
// Shared by the native and the Windows tests: every default a class declares must be what
// a fresh instance holds, or the writer drops a value that then reads back as another.
#include <string>
#include <vector>

#include "framework/core/object.h"

inline std::vector<std::string> DefaultMismatches(const TClassInfo& cls) {
  std::vector<std::string> out;
  if (cls.IsAbstract()) return out;
  TOwned<TComponent> owner(new TComponent(nullptr));
  TComponent* obj = cls.Create(owner.get());
  ForEachProperty(*obj, [&](TPersistent& o, const TPropInfo& p, const std::string& path) {
    if (p.Default && p.Get && p.Get(o) != *p.Default)
      out.push_back(std::string(cls.Name()) + "." + path);
  });
  return out;
}
