#pragma once
// Path specifiers: named symbolic folders (program files, the system folder, a container's
// destination ...) that install objects build their paths from. Every specifier joins one
// process-wide list while it lives; FindStandard gives the shared instance of a class.
// The container destination, which install objects take from their parent, is here; the
// other standard folders join it.
#include <string>
#include <vector>

#include "framework/core/object.h"

class TInstallContainer;

class TCustomPathSpecifier : public TComponent {
  FW_CLASS(TCustomPathSpecifier, TComponent)

 public:
  explicit TCustomPathSpecifier(TComponent* owner);
  virtual std::string GetDescription() const = 0;
  // The folder for object obj, without a trailing backslash.
  virtual std::string GetPath(TInstallContainer* obj) = 0;
  // Throws IEPathSpecifier when obj cannot use this specifier.
  virtual void CheckObject(TInstallContainer*) {}

 protected:
  ~TCustomPathSpecifier() override = default;
  // Leaves the list before anything of the object goes.
  void BeforeDestruction() override;
};

// The full destination of the object's Container.
class TpsContainerDestDir : public TCustomPathSpecifier {
  FW_CLASS(TpsContainerDestDir, TCustomPathSpecifier)

 public:
  explicit TpsContainerDestDir(TComponent* owner) : TCustomPathSpecifier(owner) {}
  std::string GetDescription() const override;
  std::string GetPath(TInstallContainer* obj) override;
  // obj must be an install object with a Container.
  void CheckObject(TInstallContainer* obj) override;
};

namespace setup {

// The first specifier of exactly that class; null when none.
TCustomPathSpecifier* FindStandard(const TClassInfo& cls);

}  // namespace setup
