#pragma once
// Finds the version resource in a Windows program or library image, for the native build,
// which has no system service to ask. Every offset of the image is checked against the
// file before it is followed.
#include <cstdint>
#include <string>
#include <vector>

namespace setup {

// The bytes of the first version resource of the image at path; false when there is none.
bool ReadPeVersionResource(const std::string& path, std::vector<uint8_t>& block);

}  // namespace setup
