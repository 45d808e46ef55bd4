// Spanning: the archive's data copied onto numbered disk files through raw handle streams,
// so a short write tells what a full disk took; the rest runs on over as many new disks
// as it needs, and a set that is not finished is removed again.
#include <algorithm>

#include "platform/file.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

using namespace setup::archive_parts;
using setup::TFileHeaderRecord;

namespace {
constexpr int kMaxDisks = 255;  // the disk numbers of a header are one byte
}  // namespace

std::unique_ptr<TStream> TKstnCompress::CreateDiskFile(const std::string& path) {
  return std::make_unique<TKstnFileHandleStream>(path);
}

void TKstnCompress::SpanToDisks(const std::string& destDir, const std::string& destName) {
  Abort = false;
  RunOperation([&] { SpanList(destDir, destName); }, false);
}

void TKstnCompress::SpanList(const std::string& destDir, const std::string& destName) {
  EnsureLoaded();
  if (headers_.spanned) Fail("Cannot open the compressed file %s", {compressedFile_});
  TFileHeaders out = headers_;
  out.spanned = 1;
  currentDisk_ = 1;
  ComputeTotals(stats_);
  auto source = OpenFile(compressedFile_, kReadShared, "Cannot open the compressed file %s");
  int64_t sourceSize = source->Size();
  // A set that is not finished is no use: however the spanning ends before that, the disk
  // files written so far go again.
  struct Written {
    std::vector<std::string> paths;
    bool done = false;
    ~Written() {
      if (!done)
        for (const std::string& p : paths) platform::RemoveFile(p);
    }
  } written;
  std::string dir = destDir;
  auto create = [&](const std::string& path) {
    if (platform::SameFile(path, compressedFile_))
      Fail("Cannot create the file %s: it is the archive being spanned", {path});
    RefuseNonRegular(path, "Cannot create the file %s: it is not a regular file");
    std::unique_ptr<TStream> disk;
    try {
      disk = CreateDiskFile(path);
    } catch (const EStreamError&) {
      Fail("Cannot create the file %s", {path});
    }
    written.paths.push_back(path);
    return disk;
  };
  std::string firstDisk = platform::JoinPath(dir, ExtractFileName(destName));
  std::unique_ptr<TStream> disk = create(firstDisk);
  WriteHeaders(*disk, out);
  std::vector<uint8_t> buffer(kCopyBlock);
  for (int i = 0; i < out.Count(); ++i) {
    TFileHeaderRecord& r = out.Get(i).record;
    CheckRange(r, 0, sourceSize);
    if (!setup::IsFileDateTime(r.date)) Corrupt(r.name);
    FillFileStats(stats_, r);
    source->SetPosition(int64_t(Offset) + r.firstByte);
    r.firstByte = int32_t(disk->Position());
    r.startDisk = uint8_t(currentDisk_);
    int64_t left = r.compressedSize;
    while (left > 0) {
      if (Abort) throw EArchiveAborted();
      int32_t n = int32_t(std::min<int64_t>(left, kCopyBlock));
      if (source->Read(buffer.data(), n) != n) Corrupt(r.name);
      PumpMessages();
      // What does not fit goes on to as many new disks as it takes.
      int32_t w = disk->Write(buffer.data(), n);
      while (w < n) {
        disk.reset();
        if (++currentDisk_ > kMaxDisks)
          Fail("The archive %s does not fit on %d disks of this size",
               {compressedFile_, int64_t(kMaxDisks)});
        if (!OnNewDisk)
          Fail("There was no event handler for the OnNewDisk event, therefore no new disk "
               "could be inserted");
        OnNewDisk(*this, currentDisk_, dir);
        disk = create(platform::JoinPath(
            dir, ChangeFileExt(ExtractFileName(destName), "." + std::to_string(currentDisk_))));
        int32_t more = disk->Write(buffer.data() + w, n - w);
        // A new disk that takes nothing at all would be followed by the next for ever.
        if (more <= 0) Fail("There is too little space on this disk to operate");
        w += more;
      }
      left -= n;
      AddProgress(stats_, n, stats_.compressedSize, stats_.totalCompressed);
      if (OnStatus) OnStatus(*this, stats_);
    }
    r.lastByte = int32_t(disk->Position() - 1);
    r.endDisk = uint8_t(currentDisk_);
  }
  disk.reset();
  {
    auto first = OpenFile(firstDisk, kReadWriteShared, "Cannot open the compressed file %s");
    WriteHeaders(*first, out);
    first->Flush();
  }
  written.done = true;
}
