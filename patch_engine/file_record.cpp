#include "patch_engine/file_record.h"

#include <vector>

#include "patch_engine/crc32.h"
#include "patch_engine/data_streams.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "patch_engine/front_end.h"
#include "patch_engine/match_search.h"
#include "patch_engine/optimizer.h"
#include "patch_engine/patch_stream.h"
#include "patch_engine/step_data.h"
#include "patch_engine/step_jobs.h"
#include "patch_engine/temp_patch_file.h"
#include "platform/byte_order.h"

namespace engine {

namespace {

// Opens path for reading into file and returns its length; raises `cannotOpen` when it
// cannot be opened and the too-large message when it does not fit a step.
int64_t OpenVersion(platform::File& file, const std::string& path, const EngineMessage& cannotOpen) {
  if (!file.Open(path, platform::OpenMode::Read)) RaiseEngineErrorFmt(cannotOpen, path);
  int64_t length = file.Size();
  if (length < 0) RaiseEngineErrorFmt(msg::CannotReadFile, path);
  if (length > kMaxFileLength) RaiseEngineErrorFmt(msg::FileTooLarge, path);
  return length;
}

void ReadVersion(platform::File& file, uint8_t* into, int64_t length, const std::string& path) {
  if (length > 0 && file.Read(into, size_t(length)) != size_t(length))
    RaiseEngineErrorFmt(msg::CannotReadFile, path);
}

// Appends the parked patch data of slot i to the patch stream, then deletes it.
void CopyStepData(FileInfo& slot, int64_t size) {
  platform::File& f = slot.tempFile;
  if (!f.Open(slot.tempName, platform::OpenMode::Read)) RaiseEngineError(msg::CannotReadPatchInfo);
  CopyFileToPatchStream(f, size, msg::CannotReadPatchInfo);
  f.Close();
  platform::RemoveFile(slot.tempName);
  slot.tempName.clear();
}

}  // namespace

std::array<FileInfo, kMaxVersions>& FileSlots() {
  static std::array<FileInfo, kMaxVersions> slots;
  return slots;
}

std::array<VersionDescriptor, kMaxVersions>& Descriptors() {
  static std::array<VersionDescriptor, kMaxVersions> descriptors;
  return descriptors;
}

std::array<uint8_t, kDescriptorSize> VersionDescriptor::Encode() const {
  std::array<uint8_t, kDescriptorSize> b{};
  platform::PutU32(&b[0], crc);
  platform::PutU32(&b[4], length);
  for (int s = 0; s < 5; ++s) platform::PutU32(&b[8 + 4 * s], sizes[s]);
  platform::PutU16(&b[28], groupSize);
  b[30] = flags;
  b[31] = chunkSize;
  return b;
}

namespace {

// Computes the step from the source to the target version into this thread's data streams
// and fills d. A CRC-32 that is still 0 is computed from the loaded version.
void ComputeStepStreams(const std::string& sourcePath, const std::string& targetPath,
                        platform::File& sourceFile, platform::File& targetFile, int64_t& sourceLength,
                        int64_t& targetLength, uint32_t& sourceCrc, uint32_t& targetCrc,
                        VersionDescriptor& d) {
  sourceLength = OpenVersion(sourceFile, sourcePath, msg::CannotOpenSource);
  targetLength = OpenVersion(targetFile, targetPath, msg::CannotOpenDestination);
  AllocateStepBuffer(sourceLength, targetLength);
  StepData& step = Step();
  ReadVersion(sourceFile, step.data, sourceLength, sourcePath);
  ReadVersion(targetFile, step.data + sourceLength, targetLength, targetPath);
  if (sourceCrc == 0) sourceCrc = Crc32Update(step.Source(), size_t(sourceLength), kCrcStart);
  if (targetCrc == 0) targetCrc = Crc32Update(step.Target(), size_t(targetLength), kCrcStart);
  sourceFile.Close();
  targetFile.Close();

  BuildSourceIndex();
  MatchWholeTarget();
  OptimizePatchInfo();
  FreeStepBuffer();

  const DataStreams& st = Streams();
  d.crc = sourceCrc;
  d.length = uint32_t(sourceLength);
  d.groupSize = Options.GroupSize;
  d.chunkSize = uint8_t(Options.ChunkSize);
  d.flags = Options.SelfReferences ? kDescriptorSelfReferences : 0;
  // The plain form when it is less varied than the differences, or as varied.
  const int64_t extensionSize = st.diffExtension.Size();
  if (st.plainExtension.Entropy(0, extensionSize) >= st.diffExtension.Entropy(0, extensionSize))
    d.flags |= kDescriptorPlainExtension;
  d.sizes[kNumberStream] = uint32_t(st.number.Size());
  d.sizes[kWideBitStream] = uint32_t(st.wideBits.Size());
  d.sizes[kSignBitStream] = uint32_t(st.signBits.Size());
  d.sizes[kLiteralStream] = uint32_t(st.literal.Size());
  d.sizes[kExtensionStream] = uint32_t(extensionSize);
}

// Writes the step's five streams (the extension stream in the descriptor's form) into a
// new temporary file, records its name in `name` and empties the streams and match lists.
void ParkStep(const VersionDescriptor& d, platform::File& f, std::string& name) {
  name = CreateTempPatchFile(f).Release();
  DataStreams& st = Streams();
  const ByteStream& extension =
      (d.flags & kDescriptorPlainExtension) ? st.plainExtension : st.diffExtension;
  bool ok = st.number.WriteTo(f) && st.wideBits.WriteTo(f) && st.signBits.WriteTo(f) &&
            st.literal.WriteTo(f) && extension.WriteTo(f);
  ok = f.Close() && ok;
  if (!ok) RaiseEngineError(msg::CannotWritePatchInfo);
  st.Clear();
  Matches().Clear();
}

}  // namespace

void LoadFileVersions(int i) {
  auto& slots = FileSlots();
  FileInfo& source = slots[i - 1];
  FileInfo& target = slots[i];
  EngineFiles& files = Files();
  ComputeStepStreams(source.path, target.path, files.source, files.target, source.length,
                     target.length, source.crc, target.crc, Descriptors()[i]);
}

StepResult ComputeStep(const std::string& sourcePath, const std::string& targetPath) {
  StepResult r;
  platform::File source, target, parked;
  ComputeStepStreams(sourcePath, targetPath, source, target, r.sourceLength, r.targetLength,
                     r.sourceCrc, r.targetCrc, r.descriptor);
  try {
    ParkStep(r.descriptor, parked, r.tempName);
  } catch (...) {
    parked.Close();
    if (!r.tempName.empty()) platform::RemoveFile(r.tempName);
    throw;
  }
  return r;
}

bool ExamineAndWriteFile(const std::string& targetName, int count) {
  if (count < 2 || count > kMaxVersions) RaiseEngineErrorFmt(msg::BadVersionCount, count);
  ClampEngineOptions();
  const int n = count - 1;
  const bool directoryMode = Run().directoryMode != 0;
  auto& slots = FileSlots();
  auto& descriptors = Descriptors();

  if (directoryMode && n == 1)
    ConsoleLine(msg::ExaminingPair, slots[0].relativePath, targetName);
  else
    ConsoleLine(msg::Examining, targetName);
  for (FileInfo& slot : slots) slot.crc = 0;

  // Steps that helper threads compute (queued by the directory walk), or computed here.
  std::vector<std::string> paths;
  for (int i = 0; i <= n; ++i) paths.push_back(slots[size_t(i)].path);
  const RecordJobs jobs = TakeRecord(paths);
  for (int i = n; i >= 1; --i) {
    FrontEnd().ShowSourceVersions(i, paths);
    FileInfo& slot = slots[i];
    // No protection list is given in this system, so no step has protection values.
    if (jobs.empty()) {
      LoadFileVersions(i);
      ParkStep(descriptors[i], slot.tempFile, slot.tempName);
      continue;
    }
    StepResult r = CollectStep(jobs[size_t(i) - 1]);
    slot.tempName = std::move(r.tempName);
    descriptors[i] = r.descriptor;
    slots[i - 1].length = r.sourceLength;
    slots[i - 1].crc = r.sourceCrc;
    slot.length = r.targetLength;
    slot.crc = r.targetCrc;
  }

  uint32_t stamp = Run().recordStamp;
  if (!directoryMode) {
    platform::File& f = Files().target;
    if (!f.Open(slots[n].path, platform::OpenMode::Read))
      RaiseEngineErrorFmt(msg::CannotOpenDestination, slots[n].path);
    stamp = FileDosTimeStamp(f);
    f.Close();
  }

  // Both flag bits stay 0: the protection and name-pattern lists are never filled here.
  if (directoryMode) WritePatchU8(1);
  WritePatchU32(slots[n].crc);
  WritePatchU32(uint32_t(slots[n].length));
  WritePatchU32(stamp);
  WritePatchU16(uint16_t(n));
  WritePatchU16(0);
  if (directoryMode) WriteNameString(targetName);

  for (int i = 1; i <= n; ++i) {
    if (directoryMode) WriteNameString(slots[i - 1].relativePath);
    const auto bytes = descriptors[i].Encode();
    WritePatchStream(bytes.data(), bytes.size());
    int64_t size = 0;
    for (uint32_t s : descriptors[i].sizes) size += s;
    CopyStepData(slots[i], size);
  }

  FrontEnd().ShowPatchSize(Files().patch.Size());
  return true;
}

void DiscardStepTempFiles() {
  for (FileInfo& slot : FileSlots()) {
    slot.tempFile.Close();
    if (!slot.tempName.empty()) platform::RemoveFile(slot.tempName);
    slot.tempName.clear();
  }
}

}  // namespace engine
