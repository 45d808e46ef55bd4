#pragma once
// The engine's whole input: one process-wide options record, filled by the front end
// before each run and read by the engine.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace engine {

constexpr int kMaxFileNames = 21;
constexpr int kPackerTypes = 7;

struct EngineOptions {
  std::array<std::string, kMaxFileNames> FileNames;  // versions, target, then the output
  int32_t FileCount = 0;
  uint8_t PackerOn = 0;
  uint32_t PackerType = 0;  // 0 zip, 1 lha, 2 rar, 3 gzip, 4 pkzip, 5 arj, 6 jar32
  std::array<uint8_t, kPackerTypes> PackerUseCustom{};
  std::array<std::string, kPackerTypes> PackerProgram;
  uint8_t Compress = 0;
  uint32_t ApplierKind = 0;  // 0 plain patch, 1..6 executable patch
  std::string BackupName = "Backup";
  uint16_t GroupSize = 0;
  uint16_t ChunkSize = 0;
  uint32_t EntropyMargin = 0;
  uint16_t IndexStep = 5;
  uint8_t SelfReferences = 0;
  uint8_t SelfExtracting = 0;
  uint8_t NoLiteralDelta = 0;
  uint8_t StampNow = 0;
  uint8_t StampNewest = 0;
  uint8_t KeepIdentical = 0;
  uint8_t IncludeHidden = 0;
  // Pattern and protection lists: never filled in this system, so always empty.
  std::vector<std::string> IgnorePatterns;
  std::vector<std::string> NamePatterns;
  std::vector<std::string> MarkPatterns;
  std::vector<std::string> ProtectionInfo;
};

extern EngineOptions Options;

// Every field back to its default.
void ResetEngineOptions();
// ChunkSize outside 10..255 becomes 20, GroupSize outside 10..10000 becomes 190.
void ClampEngineOptions();
// The front end's slot copy for one packer: an unchecked "use system path" box selects
// the custom program and takes the edit's text.
void CopyOptionText(int slot, bool useSystemPathChecked, const std::string& editText);

}  // namespace engine
