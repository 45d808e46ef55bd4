#pragma once
// The setup program's own rule: a newer version's file association stays. The installed
// version lies in HKEY_CLASSES_ROOT\Quiltor, value "QuiltorVersion"; the writers of the
// association's keys run KeepNewerAssociation before they write, which clears their
// entries when that version is an integer above this one's (21), so the newer icon, open
// command and new-file entry are left as they are. Anything else (no key, no value, a
// text that is not an integer such as "2.2") lets them write.
#include <optional>

class TCustomInstallRegistry;

namespace setup_ui {

constexpr int kAssociationVersion = 21;

// The installed version; none when the key or value is missing or not an integer.
std::optional<int> InstalledAssociationVersion();
void KeepNewerAssociation(TCustomInstallRegistry& writer);

}  // namespace setup_ui
