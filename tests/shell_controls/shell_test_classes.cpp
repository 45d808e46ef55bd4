#include "tests/shell_controls/shell_test_classes.h"

const TClassInfo& TLocatorHolder::StaticClass() {
  using P = TProps<TLocatorHolder>;
  static const TClassInfo info{
      "TLocatorHolder", &TComponent::StaticClass(), Factory<TLocatorHolder>(),
      {P::Nested("Folder", [](TLocatorHolder& h) -> TPersistent& { return h.Folder(); })}};
  return info;
}

void RegisterShellTestClasses() { RegisterClass(TLocatorHolder::StaticClass()); }
