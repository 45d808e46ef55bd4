#pragma once
// Temporary files of a run: the parked patch data of each step and the patch file of an
// executable patch before the stub is joined in front of it.
#include <string>

#include "platform/file.h"

namespace engine {

// Creates a new file with the prefix "gp" in the system's temporary directory and opens
// it for binary writing; nameOut receives its full name. The file is removed if the
// process is interrupted before the run removes it (platform/interrupt.h). Raises "Can't create necessary
// temporary file!" when no such file can be made or opened.
platform::File CreateTempPatchFile(std::string& nameOut);

}  // namespace engine
