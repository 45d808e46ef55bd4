#include <windows.h>

#include "builder/address_book_library.h"

namespace {

class TSystemLibraryLoader final : public ILibraryLoader {
 public:
  TModule Load(const std::string& path) override {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    SetErrorMode(old);
    return reinterpret_cast<TModule>(module);
  }
  void Release(TModule module) override { FreeLibrary(reinterpret_cast<HMODULE>(module)); }
};

}  // namespace

ILibraryLoader& SystemLibraryLoader() {
  static TSystemLibraryLoader loader;
  return loader;
}
