#include "setup_engine/register.h"

#include "setup_engine/install_driver.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/net_location.h"
#include "setup_engine/install_folders.h"
#include "setup_engine/shell_links.h"
#include "setup_engine/translator.h"

namespace setup {

void RegisterSetupEngineClasses() {
  RegisterClass(TTranslator::StaticClass());
  RegisterClass(TPathSpecifier::StaticClass());
  for (const TClassInfo* cls : StandardSpecifierClasses()) RegisterClass(*cls);
  RegisterClass(TNetInstallLocation::StaticClass());
  RegisterClass(TInstall::StaticClass());
  RegisterClass(TInstallFileGroup::StaticClass());
  RegisterClass(TInstallFile::StaticClass());
}

void RegisterShortcutAndRegistryClasses() {
  RegisterSetupEngineClasses();
  RegisterClass(TpsObjectLink::StaticClass());
  RegisterClass(TMainLinkGroup::StaticClass());
  RegisterClass(TSubLinkGroup::StaticClass());
  RegisterClass(TInstallShellLink::StaticClass());
  RegisterClass(TInstallMainLink::StaticClass());
  RegisterClass(TInstallSubLink::StaticClass());
  RegisterClass(TInstallRegistry::StaticClass());
  RegisterClass(TUninstallEXE::StaticClass());
}

}  // namespace setup
