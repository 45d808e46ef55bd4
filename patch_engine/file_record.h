#pragma once
// The record of one target file and its chain of older versions: every step of the chain
// is computed newest first and parked in a temporary file, then the record is written
// into the run's patch stream in chain order.
//
// The caller (the run, or the directory walk) fills FileSlots() 0 .. count-1 with the
// versions' paths (slot count-1 is the target), in directory mode also their relative
// paths and Run().recordStamp, opens the patch file and begins the patch stream; then it
// calls ExamineAndWriteFile.
#include <array>
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace engine {

constexpr int kMaxVersions = 20;  // slots: up to 19 older versions and the target

struct FileInfo {
  platform::File tempFile;   // the parked patch data of the step that ends in this version
  std::string path;          // full path
  std::string relativePath;  // path below its tree's root (directory mode)
  uint32_t crc = 0;          // CRC-32 register; 0 = not yet computed
  int64_t length = 0;
  std::string tempName;      // name of tempFile while it exists
};
std::array<FileInfo, kMaxVersions>& FileSlots();

constexpr size_t kDescriptorSize = 32;
enum StreamIndex { kNumberStream, kWideBitStream, kSignBitStream, kLiteralStream, kExtensionStream };
constexpr uint8_t kDescriptorSelfReferences = 1;  // copies may address rebuilt target bytes
constexpr uint8_t kDescriptorPlainExtension = 2;  // the extension stream holds plain bytes

struct VersionDescriptor {
  uint32_t crc = 0;     // of the step's source version
  uint32_t length = 0;  // of the step's source version
  std::array<uint32_t, 5> sizes{};  // by StreamIndex
  uint16_t groupSize = 0;
  uint8_t flags = 0;
  uint8_t chunkSize = 0;

  std::array<uint8_t, kDescriptorSize> Encode() const;
};
// Descriptor i belongs to step i (1 .. 19); entry 0 is unused.
std::array<VersionDescriptor, kMaxVersions>& Descriptors();

// Writes the record of the target in slot count-1 with its count-1 steps (count 2 .. 20).
// targetName is the target's relative path in directory mode, its path in file mode.
// Returns true; every failure raises.
bool ExamineAndWriteFile(const std::string& targetName, int count);
// Computes step i, from slot i-1 to slot i, into the data streams and fills descriptor i.
void LoadFileVersions(int i);

// What a step leaves for its record: the descriptor, length and CRC-32 of both versions,
// and the temporary file that holds the step's data.
struct StepResult {
  VersionDescriptor descriptor;
  int64_t sourceLength = 0, targetLength = 0;
  uint32_t sourceCrc = 0, targetCrc = 0;
  std::string tempName;
};
// Computes the step from sourcePath to targetPath with this thread's step buffers and
// parks its data in a new temporary file (deleted again when a later part fails). Raises
// like LoadFileVersions.
StepResult ComputeStep(const std::string& sourcePath, const std::string& targetPath);

// Closes and deletes the temporary files of the slots (part of FreeEngineBuffers).
void DiscardStepTempFiles();

}  // namespace engine
