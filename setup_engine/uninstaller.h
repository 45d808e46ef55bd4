#pragma once
// The uninstaller (uninstall.exe PRODUCT): removes what an installation of PRODUCT
// recorded under its uninstall key.
//
// How it works: after the user confirms, every file named by a "File<n>" value of the
// key's "\Files" lists (and "\Files1" ... "\Files9") is deleted, then the folders that
// are left empty; a file that cannot go now (the uninstaller itself) goes when Windows
// restarts. Then each "\RegistryKeys\RegistryKey<n>" record, last first: every recorded
// value is deleted from its key, and the key too once it is empty. Last the product's own
// key goes. The registry is the setup's backend (setup_registry.h); files, the restart
// and the questions go through IUninstallSystem.
#include <string>

namespace setup {

class IUninstallSystem {
 public:
  virtual ~IUninstallSystem() = default;
  virtual bool Confirm(const std::string& text, const std::string& caption) = 0;  // Yes
  virtual void Inform(const std::string& text, const std::string& caption) = 0;
  // Deletes a file, or an empty folder; false when it cannot go now.
  virtual bool Delete(const std::string& path, bool folder) = 0;
  // Deletes it when Windows restarts; false when that cannot be arranged.
  virtual bool DeleteAtRestart(const std::string& path) = 0;
  // Whether a folder holds nothing.
  virtual bool IsEmptyFolder(const std::string& path) = 0;
};

// The exit code: 0 when the product was removed, 1 when the user said no or there was no
// product named.
int RunUninstall(const std::string& product, IUninstallSystem& system);

}  // namespace setup
