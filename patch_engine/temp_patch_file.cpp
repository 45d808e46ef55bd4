#include "patch_engine/temp_patch_file.h"

#include "patch_engine/engine_errors.h"
#include "platform/interrupt.h"

namespace engine {

platform::File CreateTempPatchFile(std::string& nameOut) {
  std::string name;
  if (!platform::CreateTemporaryFile(platform::TempDirectory(), "gp", name))
    RaiseEngineError(msg::CannotCreateTempFile);
  platform::File file;
  if (!file.Open(name, platform::OpenMode::Write)) {
    platform::RemoveFile(name);
    RaiseEngineError(msg::CannotCreateTempFile);
  }
  nameOut = name;
  return file;
}

}  // namespace engine
