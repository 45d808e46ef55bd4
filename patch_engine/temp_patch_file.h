#pragma once
// Temporary files of a run: the parked patch data of each step and the patch file of an
// executable patch before the stub is joined in front of it.
#include <string>

#include "platform/file.h"

namespace engine {

// Creates a new file with the prefix "gp" in the system's temporary directory and opens
// it for binary writing into `file`. The file is removed when the returned guard goes
// (unless it was released), and when the process is interrupted before that
// (platform/interrupt.h). Raises "Can't create necessary temporary file!" when no such
// file can be made or opened.
platform::TempFile CreateTempPatchFile(platform::File& file);

}  // namespace engine
