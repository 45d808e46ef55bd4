#include "patch_engine/engine_options.h"

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

}  // namespace engine
