#pragma once
// The system's address-book library is loaded when the program starts (its path comes from
// the registry, else "wab32.dll") and released when it ends; nothing in it is called.
// Where it is missing, as under Wine, nothing is loaded and nothing needs releasing.
// The loading goes through ILibraryLoader, so the portable code and its tests never touch
// the system; SystemLibraryLoader() is the Windows one.
#include <cstdint>
#include <string>

class ILibraryLoader {
 public:
  using TModule = uintptr_t;  // 0: none
  virtual ~ILibraryLoader() = default;
  virtual TModule Load(const std::string& path) = 0;  // 0 when it cannot be loaded
  virtual void Release(TModule module) = 0;
};

class TAddressBookLibrary {
 public:
  TAddressBookLibrary(ILibraryLoader& loader, const std::string& path);
  ~TAddressBookLibrary() { Release(); }
  TAddressBookLibrary(const TAddressBookLibrary&) = delete;
  TAddressBookLibrary& operator=(const TAddressBookLibrary&) = delete;

  bool Loaded() const { return module_ != 0; }
  void Release();  // once; later calls do nothing

 private:
  ILibraryLoader& loader_;
  ILibraryLoader::TModule module_;
};

#ifdef _WIN32
// LoadLibraryA without the system's error box for a missing file, and FreeLibrary.
ILibraryLoader& SystemLibraryLoader();
#endif
