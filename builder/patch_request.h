#pragma once
// A patch request as the main window's pages make it, and what it puts into the engine's
// options: the versions (oldest first, the target last) and the patch name, the applier
// kind from the patch type, the packer from the packer list, the backup folder name, and
// the program of each packer from the options page.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "builder/settings.h"

// The applier kind of a patch type list entry (kPatchTypes); the plain patch for an index
// outside the list.
uint32_t ApplierKindOf(int patchType);
// The packer type of a packer list entry (kOfferedPackers); false for an entry that runs no
// packer: "No packer used" and "Use JAR to compress".
bool PackerTypeOf(int packerIndex, uint32_t& packerType);
// The patch-name suffix of a packer list entry: its packer's; without a packer the patch
// type's extension.
std::string PatchNameSuffix(int packerIndex, int patchType);


struct TPatchRequest {
  std::vector<std::string> Versions;  // the source versions, then the target
  std::string PatchName;
  int PatchType = 0;
  int Packer = 0;
  std::string BackupName;
};

// Valid when every version is named, either all versions are directories or none is, and
// no two name the same file. allDirectories tells the first case.
bool RequestIsValid(const TPatchRequest& request, bool& allDirectories);

// Resets the engine's options and fills them from the request and the packer settings of
// the options page (slots InfoZIP, PkZIP, GZIP, RAR, LHA, ARJ).
void FillEngineOptions(const TPatchRequest& request,
                       const std::array<TPackerSettings, kPackerNames.size()>& packers);
