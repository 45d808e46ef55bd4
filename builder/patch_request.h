#pragma once
// A patch request as the main window's pages make it, and what it puts into the engine's
// options.
//
// How it works: each version column (a path combo and its file list) gives its entries —
// the folder alone when nothing is selected, else folder + each selected name in list
// order; the first source comes first, then the extra sources (each combo with the list of
// the same Tag), then the target. The patch name takes the extension the applier kind
// forces (".utp" or ".exe"). The request is valid when every version is named, all or none
// are directories, no two name the same file, the patch name is given and names neither a
// version nor a file inside a directory version, and there are at most 20 versions; the
// engine refuses the others. Nor may a packer's archive name a version: the engine moves
// an earlier file of the archive's name away and drops it once the packer has run.
// Filling the engine's options resets them first and writes the file names, the applier
// kind, the packer, the backup folder name and the program of each packer from the options
// page.
#include <array>
#include <cstdint>
#include <functional>
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

// The most versions a request may name: 19 sources and the target.
inline constexpr int kMaxVersions = engine::kMaxFileNames - 1;

// One version column: the folder of its path combo and the file names selected in its
// list, in list order.
struct TVersionColumn {
  std::string Folder;
  std::vector<std::string> Selected;
};
// An extra source column's combo or list: its Tag and what it holds.
struct TTaggedFolder {
  int Tag = 0;
  std::string Folder;
};
struct TTaggedSelection {
  int Tag = 0;
  std::vector<std::string> Selected;
};

// Appends the entries of one column: the folder (with a trailing "\" unless empty) when
// nothing is selected, else folder + each selected name.
void CollectVersion(const TVersionColumn& column, std::vector<std::string>& entries);
// The entries of a page: the first source, then each extra combo in list order with the
// selection of the list whose Tag equals its own (none: nothing selected), then the target.
std::vector<std::string> CollectVersions(const TVersionColumn& firstSource, const std::vector<TTaggedFolder>& combos,
                                         const std::vector<TTaggedSelection>& lists, const TVersionColumn& target);

struct TPatchRequest {
  std::vector<std::string> Versions;  // the source versions, then the target
  std::string PatchName;              // as the patch-name edit holds it
  int PatchType = 0;
  int Packer = 0;
  std::string BackupName;
};

// The patch name with the extension of the request's applier kind.
std::string ForcedPatchName(const TPatchRequest& request);
// The name the run leaves the patch under, which the patch-name edit takes on Create: the
// forced name when no packer runs, else the edit's text (the archive's name).
std::string CreatedPatchName(const TPatchRequest& request);
// The file a packer's archive takes the place of: the forced name with the archive's
// extension; empty when no packer runs.
std::string ArchiveName(const TPatchRequest& request);

// Tells whether a path names a directory.
using TDirectoryProbe = std::function<bool(const std::string&)>;
// The file system's answer.
bool IsDirectoryOnDisk(const std::string& path);

struct TRequestCheck {
  bool Valid = false;
  bool AllDirectories = false;  // every version is a directory (and there is one)
};
TRequestCheck CheckRequest(const TPatchRequest& request, const TDirectoryProbe& isDirectory);

// Resets the engine's options and fills them from the request and the packer settings of
// the options page (slots InfoZIP, PkZIP, GZIP, RAR, LHA, ARJ).
void FillEngineOptions(const TPatchRequest& request,
                       const std::array<TPackerSettings, kPackerNames.size()>& packers);
