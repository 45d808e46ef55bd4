#include "builder/patch_request.h"

#include "framework/core/sysutils.h"
#include "patch_engine/engine.h"
#include "platform/file.h"

uint32_t ApplierKindOf(int patchType) {
  if (patchType < 0 || patchType >= kPatchTypeCount) patchType = 0;
  return uint32_t(kPatchTypes[size_t(patchType)]);
}

bool PackerTypeOf(int packerIndex, uint32_t& packerType) {
  if (packerIndex < 1 || packerIndex > int(kOfferedPackers.size())) return false;
  packerType = uint32_t(kOfferedPackers[size_t(packerIndex) - 1]);
  return true;
}

std::string PatchNameSuffix(int packerIndex, int patchType) {
  if (packerIndex == kJarListEntry) return engine::Packer(engine::PackerType::Jar).patchSuffix;
  uint32_t type = 0;
  // Without a packer the patch type's: the first is the plain patch, the others executable.
  if (!PackerTypeOf(packerIndex, type)) return engine::PatchExtension(patchType != 0);
  return engine::Packer(engine::PackerType(type)).patchSuffix;
}

void CollectVersion(const TVersionColumn& column, std::vector<std::string>& entries) {
  std::string folder = column.Folder;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  if (column.Selected.empty()) {
    entries.push_back(folder);
    return;
  }
  for (const std::string& name : column.Selected) entries.push_back(folder + name);
}

std::vector<std::string> CollectVersions(const TVersionColumn& firstSource, const std::vector<TTaggedFolder>& combos,
                                         const std::vector<TTaggedSelection>& lists, const TVersionColumn& target) {
  std::vector<std::string> entries;
  CollectVersion(firstSource, entries);
  for (const TTaggedFolder& combo : combos) {
    TVersionColumn column{combo.Folder, {}};
    for (const TTaggedSelection& list : lists)
      if (list.Tag == combo.Tag) {
        column.Selected = list.Selected;
        break;
      }
    CollectVersion(column, entries);
  }
  CollectVersion(target, entries);
  return entries;
}

std::string ForcedPatchName(const TPatchRequest& request) {
  return ChangeFileExt(request.PatchName, engine::PatchExtension(engine::IsExecutable(ApplierKindOf(request.PatchType))));
}

std::string CreatedPatchName(const TPatchRequest& request) {
  uint32_t type = 0;
  return PackerTypeOf(request.Packer, type) ? request.PatchName : ForcedPatchName(request);
}

std::string ArchiveName(const TPatchRequest& request) {
  uint32_t type = 0;
  if (!PackerTypeOf(request.Packer, type)) return {};
  return ChangeFileExt(ForcedPatchName(request), engine::Packer(engine::PackerType(type)).archiveExtension);
}

bool IsDirectoryOnDisk(const std::string& path) { return platform::IsDirectory(path); }

namespace {

// Whether name lies below the directory dir (compared as the engine compares names).
bool Inside(const std::string& name, std::string dir) {
  if (dir.empty()) return false;
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return name.size() > dir.size() && SameText(name.substr(0, dir.size()), dir);
}

// A directory named with or without its trailing separator is the same directory.
std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

TRequestCheck CheckRequest(const TPatchRequest& request, const TDirectoryProbe& isDirectory) {
  TRequestCheck check;
  const std::vector<std::string>& v = request.Versions;
  if (v.size() < 2 || int(v.size()) > kMaxVersions || request.PatchName.empty()) return check;
  std::vector<bool> directory(v.size());
  size_t directories = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i].empty()) return check;
    directory[i] = isDirectory(v[i]);
    if (directory[i]) ++directories;
  }
  for (size_t i = 0; i < v.size(); ++i)
    for (size_t j = i + 1; j < v.size(); ++j)
      if (SameText(WithoutTrailingSeparator(v[i]), WithoutTrailingSeparator(v[j]))) return check;
  const std::string patch = ForcedPatchName(request), archive = ArchiveName(request);
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string version = WithoutTrailingSeparator(v[i]);
    if (SameText(version, patch) || (!archive.empty() && SameText(version, archive))) return check;
    if (directory[i] && Inside(patch, v[i])) return check;
  }
  check.AllDirectories = directories == v.size();
  check.Valid = directories == 0 || check.AllDirectories;
  return check;
}

void FillEngineOptions(const TPatchRequest& request,
                       const std::array<TPackerSettings, kPackerNames.size()>& packers) {
  engine::ResetEngineOptions();
  engine::EngineOptions& o = engine::Options;
  o.ApplierKind = ApplierKindOf(request.PatchType);
  int count = 0;
  for (const std::string& v : request.Versions)
    if (count < engine::kMaxFileNames - 1) o.FileNames[size_t(count++)] = v;
  o.FileNames[size_t(count++)] = ForcedPatchName(request);
  o.FileCount = count;
  uint32_t type = 0;
  if (PackerTypeOf(request.Packer, type)) {
    o.PackerOn = 1;
    o.PackerType = type;
  }
  o.BackupName = request.BackupName;
  for (size_t i = 0; i < kOfferedPackers.size(); ++i)
    engine::CopyOptionText(kOfferedPackers[i], packers[i].UseSystemPath, packers[i].Path);
}
