// What the setup routines take from the system natively: no Windows version to report, and an
// in-memory registry.
#include "framework/core/registry.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"

namespace setup {

bool SystemWindowsVersion(TWindowsVersion&) { return false; }

IRegistryBackend& DefaultSetupRegistry() {
  static TMemRegistry registry;
  return registry;
}

}  // namespace setup
