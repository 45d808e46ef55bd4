#include "patch_engine/temp_patch_file.h"

#include "patch_engine/engine_errors.h"

namespace engine {

platform::TempFile CreateTempPatchFile(platform::File& file) {
  platform::TempFile temp;
  if (!temp.Create(platform::TempDirectory(), "gp", true)) RaiseEngineError(msg::CannotCreateTempFile);
  if (!file.Open(temp.Name(), platform::OpenMode::Write)) RaiseEngineError(msg::CannotCreateTempFile);
  return temp;
}

}  // namespace engine
