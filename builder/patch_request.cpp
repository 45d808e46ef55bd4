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

bool RequestIsValid(const TPatchRequest& request, bool& allDirectories) {
  allDirectories = false;
  if (request.Versions.size() < 2) return false;
  int directories = 0;
  for (const std::string& v : request.Versions) {
    if (v.empty()) return false;
    if (platform::IsDirectory(v)) ++directories;
  }
  for (size_t i = 0; i < request.Versions.size(); ++i)
    for (size_t j = i + 1; j < request.Versions.size(); ++j)
      if (SameText(request.Versions[i], request.Versions[j])) return false;
  allDirectories = directories == int(request.Versions.size());
  return directories == 0 || allDirectories;
}

void FillEngineOptions(const TPatchRequest& request,
                       const std::array<TPackerSettings, kPackerNames.size()>& packers) {
  engine::ResetEngineOptions();
  engine::EngineOptions& o = engine::Options;
  o.ApplierKind = ApplierKindOf(request.PatchType);
  int count = 0;
  for (const std::string& v : request.Versions)
    if (count < engine::kMaxFileNames - 1) o.FileNames[size_t(count++)] = v;
  const bool executable = engine::IsExecutable(o.ApplierKind);
  o.FileNames[size_t(count++)] = ChangeFileExt(request.PatchName, engine::PatchExtension(executable));
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
