// What the setup routines take from the system natively: no Windows version and no user
// language to report, and an in-memory registry.
#include "framework/core/registry.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"
#include "setup_engine/translator.h"

namespace setup {

bool SystemWindowsVersion(TWindowsVersion&) { return false; }

IRegistryBackend& DefaultSetupRegistry() {
  static TMemRegistry registry;
  return registry;
}

std::optional<uint16_t> SystemUserLangId() { return std::nullopt; }

}  // namespace setup
