#include "builder/address_book_library.h"

TAddressBookLibrary::TAddressBookLibrary(ILibraryLoader& loader, const std::string& path)
    : loader_(loader), module_(loader.Load(path)) {}

void TAddressBookLibrary::Release() {
  if (module_ != 0) loader_.Release(module_);
  module_ = 0;
}
