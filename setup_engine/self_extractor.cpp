// The self-extracting setup program: the loader with the setup part and the archive
// joined behind it and the tail that says where each lies.
#include "platform/file.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/kstn_compress.h"

using namespace setup::archive_parts;

void CreateSelfExtractor(const std::string& exe, const std::string& setupPart,
                         const std::string& archive) {
  static const char* const kJoin =
      "Cannot create the self-extracting exe because %s could not be loaded onto %s";
  // Only regular files are joined, and none to itself.
  for (const std::string& part : {setupPart, archive})
    if (platform::IsNonFile(part) || platform::SameFile(part, exe))
      throw IEInstall(kJoin, {part, exe});
  if (platform::IsNonFile(exe)) throw IEInstall(kJoin, {setupPart, exe});
  std::unique_ptr<TFileStream> out;
  try {
    out = std::make_unique<TFileStream>(exe, fmOpenReadWrite);
  } catch (const EStreamError&) {
    throw IEInstall(kJoin, {setupPart, exe});
  }
  setup::TSelfExtractorTail tail;
  auto append = [&](const std::string& part, int32_t& first, int32_t& last) {
    try {
      TFileStream in(part, kReadShared);
      int64_t at = out->Seek(0, soEnd);
      if (!FitsInt32(at + in.Size())) throw IEInstall(kJoin, {part, exe});
      first = int32_t(at);
      out->CopyFrom(in, 0);
      out->Flush();
      last = int32_t(out->Position() - 1);
    } catch (const EStreamError&) {
      throw IEInstall(kJoin, {part, exe});
    }
  };
  append(setupPart, tail.setupStart, tail.setupLast);
  if (platform::IsFile(archive)) append(archive, tail.archiveStart, tail.archiveLast);
  uint8_t raw[setup::kTailSize];
  setup::EncodeTail(tail, raw);
  try {
    out->WriteBuffer(raw, setup::kTailSize);
    out->Flush();
  } catch (const EStreamError&) {
    throw IEInstall(kJoin, {setupPart, exe});
  }
}

void ReadExtractionInfo(const std::string& path, setup::TSelfExtractorTail& tail) {
  static const char* const kMessage =
      "Could not read the extraction info from the archive file %s when trying to find the "
      "correct offset into the self extracting file";
  tail = setup::TSelfExtractorTail();
  uint8_t raw[setup::kTailSize];
  int64_t size = 0;
  if (platform::IsNonFile(path)) throw IEInstall(kMessage, {path});
  try {
    TFileStream in(path, kReadShared);
    size = in.Size();
    if (size < setup::kTailSize) throw IEInstall(kMessage, {path});
    in.SetPosition(size - setup::kTailSize);
    in.ReadBuffer(raw, setup::kTailSize);
  } catch (const EStreamError&) {
    throw IEInstall(kMessage, {path});
  }
  if (!setup::DecodeTail(raw, size, tail)) throw IEInstall(kMessage, {path});
}
