#include "framework/win/resources.h"

#include "framework/core/exceptions.h"
#include "framework/win/winapi.h"

std::string LoadFormText(const std::string& name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) throw EFormError("Resource " + name + " not found");
  return std::string(static_cast<const char*>(bytes), SizeofResource(module, res));
}
