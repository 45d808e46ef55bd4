#include "patch_engine/engine.h"

namespace engine {

EngineOptions Options;

void ResetEngineOptions() { Options = EngineOptions{}; }

void ClampEngineOptions() {
  if (Options.ChunkSize < 10 || Options.ChunkSize > 255) Options.ChunkSize = 20;
  if (Options.GroupSize < 10 || Options.GroupSize > 10000) Options.GroupSize = 190;
}

void CopyOptionText(PackerType type, bool useSystemPathChecked, const std::string& editText) {
  if (type == PackerType::Jar) return;
  const size_t slot = size_t(type);
  Options.PackerUseCustom[slot] = useSystemPathChecked ? 0 : 1;
  if (!useSystemPathChecked) Options.PackerProgram[slot] = editText;
}

}  // namespace engine
