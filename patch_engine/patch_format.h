#pragma once
// The fixed frame of a patch file: the 76-byte header in front of the patch stream and
// the 8-byte trailer behind it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine {

constexpr uint32_t kPatchMagic = 0x3E7F8443u;
constexpr uint32_t kFormatVersion = 190;
constexpr uint32_t kApplierKind2Marker = 0x25456ABFu;
constexpr size_t kHeaderSize = 76;
constexpr size_t kTrailerSize = 8;

enum class PatchMode : uint8_t { FileVersions = 1, DirectoryTrees = 2 };

struct PatchHeader {
  uint32_t magic = kPatchMagic;
  uint32_t version = kFormatVersion;
  uint8_t mode = uint8_t(PatchMode::FileVersions);
  uint8_t flags = 0;  // bit 0: the patch stream is deflated
  std::array<uint8_t, 64> identification{};
  uint16_t secondIdentificationLength = 0;
};

std::array<uint8_t, kHeaderSize> EncodeHeader(const PatchHeader& h);
// The trailer for a patch file of fileLength bytes (the trailer included).
std::array<uint8_t, kTrailerSize> EncodeTrailer(uint32_t fileLength);

// Write the header at the start of the run's patch file, and the trailer at its end;
// a failed write raises the header or end-marker message.
void WritePatchHeader(const PatchHeader& h);
void WritePatchTrailer();

}  // namespace engine
