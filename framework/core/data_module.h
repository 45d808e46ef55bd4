#pragma once
// A root for non-visual components: a form text rooted at a data module creates each
// nested object as one of its components (an install definition without windows, say),
// and the writer writes them all back nested in it.
#include "framework/core/object.h"

class TDataModule : public TComponent {
  FW_CLASS(TDataModule, TComponent)

 public:
  explicit TDataModule(TComponent* owner) : TComponent(owner) {}
  // Takes any component (it owns every one already).
  void AdoptChild(TComponent& child) override;
  // Every component it owns, in order.
  void GetChildren(const std::function<void(TComponent&)>& fn) const override;
};
