// The archive component's properties, the runner every operation goes through, the disk
// files of a spanned set and the helpers its parts share.
#include "setup_engine/kstn_compress.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/file.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/file_utils.h"

using setup::TFileHeaderRecord;

void (*ArchiveProcessMessages)() = nullptr;

namespace setup::archive_parts {

void Fail(const std::string& format, const std::vector<TFormatArg>& args) {
  throw EKstnCompress(FormatTolerant(format, args));
}

void PumpMessages() {
  if (ArchiveProcessMessages) ArchiveProcessMessages();
}

int Percent(double part, double whole) {
  if (whole == 0) return 0;
  return int(std::nearbyint(part / whole * 100.0));
}

std::string BeforeSemicolon(const std::string& line) { return line.substr(0, line.find(';')); }

std::unique_ptr<TFileStream> OpenFile(const std::string& path, uint16_t mode,
                                      const char* message) {
  try {
    return std::make_unique<TFileStream>(path, mode);
  } catch (const EStreamError&) {
    Fail(message, {path});
  }
}

void RefuseNonRegular(const std::string& path, const char* message) {
  if (platform::IsNonFile(path)) Fail(message, {path});
}

bool FitsInt32(int64_t v) { return v >= 0 && v <= std::numeric_limits<int32_t>::max(); }

void FillFileStats(TlzhFileStats& stats, const TFileHeaderRecord& h) {
  stats.name = h.name;
  stats.uncompressedSize = h.uncompressedSize;
  stats.compressedSize = h.compressedSize;
  stats.ratio = Percent(h.compressedSize, h.uncompressedSize);
  stats.bytesDone = 0;
  stats.percentDone = 0;
  stats.finished = false;
  stats.header = h;
}

void AddProgress(TlzhFileStats& stats, int32_t n, int32_t fileSize, int32_t totalSize) {
  stats.bytesDone += n;
  stats.overallBytesDone += n;
  stats.percentDone = Percent(stats.bytesDone, fileSize);
  stats.overallPercent = Percent(stats.overallBytesDone, totalSize);
}

bool KeepsExisting(int decision) {
  if (decision == 0) Fail("Error comparing file versions in TKstnCompress");
  return decision == 1 || decision == 3;
}

}  // namespace setup::archive_parts

using namespace setup::archive_parts;

namespace {
constexpr int kDiskAttempts = 4;
}  // namespace

void TKstnCompress::SetCompressedFile(const std::string& name) {
  if (SameText(name, compressedFile_)) return;
  if (loaded_ && !SameText(ChangeFileExt(name, ".1"), ChangeFileExt(compressedFile_, ".1")))
    loaded_ = false;
  compressedFile_ = name;
}

void TKstnCompress::SetFilesToProcess(std::vector<std::string>& list) {
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](const std::string& s) { return Trim(s).empty(); }),
             list.end());
  files_ = list;
}

void TKstnCompress::EnsureLoaded() {
  if (!loaded_) LoadHeaders();
}

void TKstnCompress::RunOperation(const std::function<void()>& body, bool quietOnSilentAbort) {
  try {
    body();
  } catch (const EArchiveAborted&) {
    if (OnAborted) OnAborted(*this);
  } catch (const EAbort&) {
    if (!quietOnSilentAbort) {
      Abort = true;
      throw;
    }
  } catch (...) {
    Abort = true;
    throw;
  }
}

void TKstnCompress::DoDiskFull() {
  if (OnFullDisk) {
    OnFullDisk(*this);
    return;
  }
  throw EArchiveDiskFull();
}

void TKstnCompress::OpenDiskFile(std::unique_ptr<TFileStream>& stream, int diskNumber,
                                 uint16_t mode, std::string& path) {
  for (int attempt = 0; attempt < kDiskAttempts; ++attempt) {
    stream.reset();
    if (headers_.spanned) path = ChangeFileExt(path, "." + std::to_string(diskNumber));
    if (!platform::IsFile(path)) {
      if (!OnNewDisk) Fail("Could not open the correct disk file %d", {int64_t(diskNumber)});
      std::string dir = setup::ExtractFileDir(path);
      OnNewDisk(*this, diskNumber, dir);
      path = platform::JoinPath(dir, ExtractFileName(path));
      if (!platform::IsFile(path)) continue;
    }
    stream = OpenFile(path, mode, "Cannot open the compressed file %s");
    return;
  }
  Fail("Cannot open the compressed file %s", {path});
}

TKstnCompress& GlobalArchive() {
  static TKstnCompress archive;
  return archive;
}
