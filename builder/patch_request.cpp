#include "builder/patch_request.h"

#include "framework/core/sysutils.h"
#include "patch_engine/engine.h"
#include "platform/file.h"

namespace {

// Engine packer slot of each packer of the options page, in kPackerNames order.
constexpr int kPackerSlots[] = {0, 4, 3, 2, 1, 5};

}  // namespace

uint32_t ApplierKindOf(int patchType) {
  switch (patchType) {
    case 1:
      return 1;
    case 2:
      return 3;
    default:
      return 0;
  }
}

bool PackerTypeOf(int packerIndex, uint32_t& packerType) {
  constexpr uint32_t kTypes[] = {0, 0, 4, 3, 2, 1, 5};
  if (packerIndex < 1 || packerIndex > 6) return false;
  packerType = kTypes[packerIndex];
  return true;
}

std::string PatchNameSuffix(int packerIndex, int patchType) {
  static const char* const kSuffixes[] = {"", ".zip", ".zip", ".gz", ".rar", ".lha", ".arj", ".j"};
  if (packerIndex <= 0 || packerIndex > 7) return patchType == 0 ? ".utp" : ".exe";
  return kSuffixes[packerIndex];
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
  o.FileNames[size_t(count++)] = ChangeFileExt(request.PatchName, o.ApplierKind ? ".exe" : ".utp");
  o.FileCount = count;
  uint32_t type = 0;
  if (PackerTypeOf(request.Packer, type)) {
    o.PackerOn = 1;
    o.PackerType = type;
  }
  o.BackupName = request.BackupName;
  for (size_t i = 0; i < std::size(kPackerSlots); ++i)
    engine::CopyOptionText(kPackerSlots[i], packers[i].UseSystemPath, packers[i].Path);
}
