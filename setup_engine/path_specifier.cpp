#include "setup_engine/path_specifier.h"

#include <algorithm>

#include "setup_engine/install_object.h"
#include "setup_engine/setup_exceptions.h"

namespace {

std::vector<TCustomPathSpecifier*>& List() {
  static std::vector<TCustomPathSpecifier*> list;
  return list;
}

}  // namespace

const TClassInfo& TCustomPathSpecifier::StaticClass() {
  static const TClassInfo info{"TCustomPathSpecifier", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

TCustomPathSpecifier::TCustomPathSpecifier(TComponent* owner) : TComponent(owner) {
  List().push_back(this);
}

void TCustomPathSpecifier::BeforeDestruction() {
  auto& list = List();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  TComponent::BeforeDestruction();
}

const TClassInfo& TpsContainerDestDir::StaticClass() {
  static const TClassInfo info{"TpsContainerDestDir", &TCustomPathSpecifier::StaticClass(),
                               Factory<TpsContainerDestDir>(), {}};
  return info;
}

std::string TpsContainerDestDir::GetDescription() const {
  return "Path of the destination directory of the container";
}

void TpsContainerDestDir::CheckObject(TInstallContainer* obj) {
  auto* o = dynamic_cast<TInstallObject*>(obj);
  if (!o)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {obj ? obj->Name() : std::string(), std::string("TInstallObject"), Name()});
  if (!o->Container())
    throw IEPathSpecifier("Cannot use ddContainerDestDir for %s unless you assign a Container", {o->Name()});
}

std::string TpsContainerDestDir::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return static_cast<TInstallObject*>(obj)->Container()->GetFullDestDir();
}

namespace setup {

TCustomPathSpecifier* FindStandard(const TClassInfo& cls) {
  for (TCustomPathSpecifier* s : List())
    if (&s->ClassType() == &cls) return s;
  return nullptr;
}

}  // namespace setup
