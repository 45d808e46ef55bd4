#include "setup_ui/association.h"

#include "framework/core/exceptions.h"
#include "framework/core/sysutils.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/setup_registry.h"

namespace setup_ui {

std::optional<int> InstalledAssociationVersion() {
  const std::string text = setup::ReadRegString(setup::TRootKeys::hkClassesRoot, "\\Quiltor", "QuiltorVersion", "");
  try {
    return StrToInt(text);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

void KeepNewerAssociation(TCustomInstallRegistry& writer) {
  const std::optional<int> installed = InstalledAssociationVersion();
  if (installed && *installed > kAssociationVersion) writer.Entries().Clear();
}

}  // namespace setup_ui
