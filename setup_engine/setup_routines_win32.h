#pragma once
// The setup routines that need the system: temporary files, the system and Windows
// folders and short path names (Windows build only).
#include <string>

namespace setup {

// A new temporary file name in the system's temporary folder, prefix "bat". The file is
// made empty and deleted again unless keep. EAPIRoutines "Cannot create a temporary file".
std::string GetTempFile(bool keep);
// Without a trailing backslash. EAPIRoutines when the system cannot tell them.
std::string GetSystemDir();
std::string GetWindowsDir();
// The 8.3 form of path; path unchanged when it has none (it does not exist, say).
std::string ShortPath(const std::string& path);

}  // namespace setup
