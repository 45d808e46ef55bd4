#include "patch_engine/engine.h"

namespace engine {

EngineOptions Options;

void ResetEngineOptions() { Options = EngineOptions{}; }

void ClampEngineOptions() {
  if (Options.ChunkSize < 10 || Options.ChunkSize > 255) Options.ChunkSize = 20;
  if (Options.GroupSize < 10 || Options.GroupSize > 10000) Options.GroupSize = 190;
}

void CopyOptionText(int slot, bool useSystemPathChecked, const std::string& editText) {
  if (slot < 0 || slot > 5) return;
  Options.PackerUseCustom[slot] = useSystemPathChecked ? 0 : 1;
  if (!useSystemPathChecked) Options.PackerProgram[slot] = editText;
}

const char* const kApplierStubNames[7] = {"",           "mendrin.exe", "mendrint.exe", "mendr32.exe",
                                           "mendr32i.exe", "mendr16.exe", "mendr16i.exe"};
const char* const kDefaultPackerPrograms[kPackerTypes + 1] = {
    "zip.exe", "lha.exe", "rar.exe", "gzip.exe", "pkzip.exe", "arj.exe", "jar32.exe", ""};

}  // namespace engine
