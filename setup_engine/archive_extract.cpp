// Extracting files: found by stored name, checked, inflated (running on over the disk files
// of a spanned set) into a temporary file beside the destination, which takes the
// destination's place only when the whole file came out right.
#include <zlib.h>

#include <algorithm>

#include "platform/file.h"
#include "setup_engine/archive_names.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

using namespace setup::archive_parts;
using setup::TFileHeaderRecord;

namespace {
constexpr int32_t kInflateInput = 65536;
constexpr int32_t kInflateOutput = 4096;
}  // namespace

std::string TKstnCompress::Destination() const {
  std::string name = setup::SafeExtractName(ExtractName);
  if (name.empty())
    Fail("The name <%s> in the archive <%s> is not a valid file name",
         {ExtractName, compressedFile_});
  return platform::JoinPath(ExtractDirectory, name);
}

bool TKstnCompress::InflateCurrentFile(std::unique_ptr<TFileStream>& source, TFileStream& dest,
                                       const TFileHeaderRecord& h) {
  z_stream zs{};
  DCheck(inflateInit_(&zs, kZlibVersionText, int(sizeof(z_stream))));
  struct End {
    z_stream& zs;
    ~End() { inflateEnd(&zs); }
  } end{zs};
  std::vector<uint8_t> in(kInflateInput), out(kInflateOutput);
  int endDisk = h.endDisk;
  bool streamEnd = false;
  int64_t written = 0;
  int rounds = endDisk - currentDisk_ + 1;
  while (rounds > 0 && !streamEnd) {
    zs.next_out = out.data();
    zs.avail_out = kInflateOutput;
    while (zs.avail_out > 0 && !streamEnd) {
      if (zs.avail_in == 0) {
        int64_t want = kInflateInput;
        if (currentDisk_ == endDisk)
          want = std::min<int64_t>(want, int64_t(Offset) + h.lastByte + 1 - source->Position());
        int32_t n = want > 0 ? source->Read(in.data(), int32_t(want)) : 0;
        if (n <= 0) break;
        zs.next_in = in.data();
        zs.avail_in = uInt(n);
      }
      // Anything but progress (bad data, or a stream that asks for a preset dictionary and
      // would never move on) means the archive is damaged.
      int rc = inflate(&zs, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) streamEnd = true;
      else if (rc != Z_OK) Corrupt(h.name);
    }
    int32_t produced = int32_t(kInflateOutput - zs.avail_out);
    if (Abort) throw EArchiveAborted();
    PumpMessages();
    if (produced > 0) {
      // More data than the header promises is a corrupt archive: stop before the disk fills.
      if (written + produced > h.uncompressedSize) Corrupt(h.name);
      int32_t n = dest.Write(out.data(), produced);
      if (n < produced) DoDiskFull();
      written += n;
      AddProgress(stats_, n, stats_.uncompressedSize, stats_.totalUncompressed);
      if (OnStatus) OnStatus(*this, stats_);
    } else if (!streamEnd) {
      if (currentDisk_ < endDisk) {
        ++currentDisk_;
        OpenDiskFile(source, currentDisk_, kReadShared, compressedFile_);
        CheckRange(h, currentDisk_, source->Size());
        source->SetPosition(0);
      }
      --rounds;
    }
  }
  return streamEnd;
}

void TKstnCompress::ExtractOne(const std::string& line) {
  int index = IndexOfFile(BeforeSemicolon(line));
  if (index < 0) Fail("The file <%s> was not found in the archive <%s>", {line, compressedFile_});
  TFileHeaderRecord h = headers_.Get(index).record;
  FillFileStats(stats_, h);
  // The date is set on the extracted file: one that no file can carry is damage, found
  // before anything is written.
  if (!setup::IsFileDateTime(h.date)) Corrupt(h.name);
  if (Trim(ExtractName).empty()) {
    // The stored name is the archive's word: its last part must be a file name, and it
    // may not lead out of a folder.
    std::string name = setup::SafeExtractName(h.name);
    if (name.empty())
      Fail("The name <%s> in the archive <%s> is not a valid file name", {h.name, compressedFile_});
    ExtractName = name;
  }
  if (OnBeforeExtracting) OnBeforeExtracting(*this, stats_);
  std::string dest = Destination();
  if (platform::IsFile(dest)) {
    if (KeepsExisting(OverwriteDecision(h.version, dest, Overwrite, h.date))) {
      stats_.finished = true;
      if (OnStatus) OnStatus(*this, stats_);
      return;
    }
    if (OnReplace) {
      OnReplace(*this, stats_);
      dest = Destination();
    }
  }
  std::unique_ptr<TFileStream> source;
  int startDisk = h.startDisk == 0 ? 1 : h.startDisk;
  OpenDiskFile(source, startDisk, kReadShared, compressedFile_);
  currentDisk_ = h.startDisk;
  CheckRange(h, currentDisk_, source->Size());

  // The data goes to a temporary file beside the destination, which is replaced only when
  // the whole file came out right.
  std::string destDir = setup::ExtractFileDir(dest);
  setup::ForceDirectories(destDir);
  platform::TempFile tempFile;
  if (!tempFile.Create(destDir.empty() ? "." : destDir, "kst"))
    Fail("Cannot create the file %s", {dest});
  auto out = OpenFile(tempFile.Name(), fmCreate, "Cannot create the file %s");
  source->SetPosition(int64_t(Offset) + h.firstByte);
  bool complete = InflateCurrentFile(source, *out, h);
  try {
    out->Flush();
  } catch (const EStreamError&) {
    DoDiskFull();
  }
  stats_.finished = true;
  if (OnStatus) OnStatus(*this, stats_);
  // A cancel during the file, even after its last block, leaves the destination as it was.
  if (Abort) throw EArchiveAborted();
  int64_t size = out->Size();
  out.reset();
  source.reset();
  if (size != h.uncompressedSize)
    Fail("The decompressed file's size does not match with the actual size of the file.  "
         "The file is %s",
         {dest});
  if (!complete) Corrupt(h.name);
  if (!setup::SetFileDateTime(tempFile.Name(), h.date))
    Fail("Cannot set the date of the file just extracted.");
  if (!tempFile.RenameTo(dest)) Fail("Cannot create the file %s", {dest});
}

void TKstnCompress::ExtractFile() {
  Abort = false;
  mode_ = Mode::Extracting;
  struct Done {
    TKstnCompress& k;
    ~Done() {
      k.ExtractName.clear();
      k.files_.clear();
      k.mode_ = Mode::None;
    }
  } done{*this};
  RunOperation(
      [&] {
        EnsureLoaded();
        currentDisk_ = 0;
        ComputeTotals(stats_);
        for (const std::string& line : files_) {
          ExtractOne(line);
          ExtractName.clear();
        }
      },
      true);
}
