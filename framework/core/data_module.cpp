#include "framework/core/data_module.h"

const TClassInfo& TDataModule::StaticClass() {
  static const TClassInfo info{"TDataModule", &TComponent::StaticClass(), Factory<TDataModule>(), {}};
  return info;
}

void TDataModule::AdoptChild(TComponent&) {}

void TDataModule::GetChildren(const std::function<void(TComponent&)>& fn) const {
  std::vector<TComponent*> comps = Components();
  for (TComponent* c : comps) fn(*c);
}
