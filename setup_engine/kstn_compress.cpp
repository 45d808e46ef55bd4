#include "setup_engine/kstn_compress.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/byte_order.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"

using setup::TFileHeaderRecord;

void (*ArchiveProcessMessages)() = nullptr;

namespace {

constexpr int32_t kCopyBlock = 8192;
constexpr int32_t kInflateInput = 65536;
constexpr int32_t kInflateOutput = 4096;
constexpr int kDiskAttempts = 4;
constexpr int kMaxDisks = 255;  // the disk numbers of a header are one byte
constexpr uint16_t kReadShared = fmOpenRead | fmShareDenyNone;
constexpr uint16_t kReadWriteShared = fmOpenReadWrite | fmShareDenyNone;

[[noreturn]] void Fail(const std::string& format, const std::vector<TFormatArg>& args = {}) {
  throw EKstnCompress(FormatTolerant(format, args));
}

void PumpMessages() {
  if (ArchiveProcessMessages) ArchiveProcessMessages();
}

// A quotient as a rounded percentage (ties to even); 0 for a zero divisor.
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

// A path that exists but is not a regular file (a folder, pipe, socket or device) fails with
// message before anything opens it: opening a pipe waits for a writer, and reading a device
// may never end. A missing path is left to the open that follows.
void RefuseNonRegular(const std::string& path, const char* message) {
  if (platform::KindOfPath(path) == platform::PathKind::Other) Fail(message, {path});
}

// Only a regular file is read as an archive, a disk file or an existing destination (a
// Windows device name is no folder, but no file either).
bool IsRegularFile(const std::string& path) {
  return platform::KindOfPath(path) == platform::PathKind::RegularFile;
}

bool FitsInt32(int64_t v) { return v >= 0 && v <= std::numeric_limits<int32_t>::max(); }

// A part of a name made of dots only (and blanks, which Windows drops at its end) beyond a
// single dot names a parent folder.
bool IsParentPart(const std::string& part) {
  size_t dots = 0;
  for (char c : part) {
    if (c == '.') ++dots;
    else if (c != ' ') return false;
  }
  return dots >= 2;
}

// True when one of the parts of name, split at every separator a Windows path knows,
// climbs out of its folder.
bool ClimbsOut(const std::string& name) {
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of("\\/:", start);
    if (IsParentPart(name.substr(start, end == std::string::npos ? end : end - start))) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

// A name that can stand as one file inside a folder: not blank, not dots only, and free of
// control characters.
bool IsPlainFileName(const std::string& name) {
  if (Trim(name).empty() || name.find_first_not_of(". ") == std::string::npos) return false;
  for (char c : name)
    if (uint8_t(c) < 32) return false;
  return true;
}

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

}  // namespace

void TFileHeaders::Add(const TFileHeader& header) {
  if (Trim(header.record.name).empty()) Fail("Tried to add an invalid file header");
  list_.push_back(header);
}

TFileHeader& TFileHeaders::Get(int index) {
  if (index < 0 || index >= Count())
    Fail("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", {int64_t(index)});
  return list_[size_t(index)];
}

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

int TKstnCompress::FileCount() {
  if (mode_ != Mode::Adding) EnsureLoaded();
  return headers_.Count();
}

int TKstnCompress::IndexOfFile(const std::string& name) {
  EnsureLoaded();
  for (int i = 0; i < headers_.Count(); ++i)
    if (SameText(headers_.Get(i).record.name, name)) return i;
  return -1;
}

void TKstnCompress::ComputeTotals(TlzhFileStats& stats) {
  int64_t unpacked = 0, packed = 0;
  for (int i = 0; i < headers_.Count(); ++i) {
    unpacked += headers_.Get(i).record.uncompressedSize;
    packed += headers_.Get(i).record.compressedSize;
  }
  // Header sizes are checked non-negative when read; the sums of a 32-bit archive fit.
  stats.totalUncompressed = int32_t(std::min<int64_t>(unpacked, INT32_MAX));
  stats.totalCompressed = int32_t(std::min<int64_t>(packed, INT32_MAX));
  stats.overallRatio = Percent(stats.totalCompressed, stats.totalUncompressed);
  stats.overallBytesDone = 0;
  stats.overallPercent = 0;
}

void TKstnCompress::GetFileStats(int index, TlzhFileStats& stats) {
  EnsureLoaded();
  if (index < 0 || index >= headers_.Count())
    Fail("Tried to access the %dth file. This file is not defined", {int64_t(index)});
  // A record of its own: an event handler may ask while an operation runs.
  TlzhFileStats result;
  ComputeTotals(result);
  FillFileStats(result, headers_.Get(index).record);
  stats = result;
}

void TKstnCompress::LoadHeaders() {
  // A missing archive is a failure of the caller's install, never a silent end.
  if (!IsRegularFile(compressedFile_))
    Fail("Cannot open the compressed file %s", {compressedFile_});
  auto stream = OpenFile(compressedFile_, kReadShared, "Cannot open the compressed file %s");
  try {
    ReadHeaderTable(*stream, Offset);
  } catch (const Exception&) {
    Fail("Could not read the file headers for the compressed file. The Archive file could "
         "possible be corrupt");
  }
  loaded_ = true;
}

void TKstnCompress::ReadHeaderTable(TStream& stream, int64_t offset) {
  static const char* const kCorrupt =
      "Could not read the file headers for the compressed file. The Archive file could "
      "possible be corrupt";
  headers_.Clear();
  headers_.spanned = 0;
  int64_t size = stream.Size();
  uint8_t start[setup::kArchiveStartSize];
  if (offset < 0 || offset > size)
    Fail("Could not read the file header count for the compressed file");
  stream.SetPosition(offset);
  if (stream.Read(start, setup::kArchiveStartSize) != setup::kArchiveStartSize)
    Fail("Could not read the file header count for the compressed file");
  int32_t count = int32_t(platform::GetU32(start));
  // Every header takes 164 bytes of the file: a count the file cannot hold is refused
  // before anything is read for it.
  if (count < 0 || start[4] > 1 ||
      int64_t(count) * setup::kHeaderSize > size - offset - setup::kArchiveStartSize)
    Fail(kCorrupt);
  headers_.spanned = start[4];
  int64_t pos = offset + setup::kArchiveStartSize;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t raw[setup::kHeaderSize];
    TFileHeader header;
    if (pos + setup::kHeaderSize > size) Fail(kCorrupt);
    stream.SetPosition(pos);
    if (stream.Read(raw, setup::kHeaderSize) != setup::kHeaderSize ||
        !setup::DecodeHeader(raw, header.record))
      Fail(kCorrupt);
    const TFileHeaderRecord& r = header.record;
    if (r.uncompressedSize < 0 || r.compressedSize < 0) Fail(kCorrupt);
    header.readFromArchive = true;
    headers_.Add(header);
    int64_t next = offset + int64_t(r.nextHeader);
    // The chain only runs forward, so a hostile table cannot loop.
    if (i + 1 < count && next < pos + setup::kHeaderSize) Fail(kCorrupt);
    pos = next;
  }
}

void TKstnCompress::WriteHeaders(TStream& stream, TFileHeaders& headers) {
  static const char* const kMessage = "Could not write the file headers for the compressed file";
  uint8_t start[setup::kArchiveStartSize];
  platform::PutU32(start, uint32_t(headers.Count()));
  start[4] = headers.spanned;
  stream.SetPosition(0);
  if (stream.Write(start, setup::kArchiveStartSize) != setup::kArchiveStartSize) Fail(kMessage);
  if (headers.spanned != 1) return;
  for (int i = 0; i < headers.Count(); ++i) {
    TFileHeaderRecord& r = headers.Get(i).record;
    r.nextHeader = int32_t(stream.Position() + setup::kHeaderSize);
    uint8_t raw[setup::kHeaderSize];
    setup::EncodeHeader(r, raw);
    if (stream.Write(raw, setup::kHeaderSize) != setup::kHeaderSize) Fail(kMessage);
  }
}

void TKstnCompress::WriteHeaderTable(TStream& stream) { WriteHeaders(stream, headers_); }

void TKstnCompress::DoDiskFull() {
  if (OnFullDisk) {
    OnFullDisk(*this);
    return;
  }
  throw EArchiveDiskFull();
}

std::unique_ptr<TStream> TKstnCompress::CreateDiskFile(const std::string& path) {
  return std::make_unique<TKstnFileHandleStream>(path);
}

void TKstnCompress::OpenDiskFile(std::unique_ptr<TFileStream>& stream, int diskNumber,
                                 uint16_t mode, std::string& path) {
  for (int attempt = 0; attempt < kDiskAttempts; ++attempt) {
    stream.reset();
    if (headers_.spanned) path = ChangeFileExt(path, "." + std::to_string(diskNumber));
    if (!IsRegularFile(path)) {
      if (!OnNewDisk) Fail("Could not open the correct disk file %d", {int64_t(diskNumber)});
      std::string dir = setup::ExtractFileDir(path);
      OnNewDisk(*this, diskNumber, dir);
      path = platform::JoinPath(dir, ExtractFileName(path));
      if (!IsRegularFile(path)) continue;
    }
    stream = OpenFile(path, mode, "Cannot open the compressed file %s");
    return;
  }
  Fail("Cannot open the compressed file %s", {path});
}

TFileHeader TKstnCompress::MakeHeader(const std::string& line, int ordinal) {
  TFileHeader header;
  TFileHeaderRecord& r = header.record;
  r.name = BeforeSemicolon(line);
  // A cut name would not be found again at install time: refuse it now.
  if (r.name.size() > setup::kMaxStoredName)
    Fail("The name %s is longer than the %d characters an archive can store",
         {r.name, int64_t(setup::kMaxStoredName)});
  if (Trim(r.name).empty()) Fail("Tried to add an invalid file header");
  RefuseNonRegular(r.name, "Cannot add %s to the archive: it is not a regular file");
  auto file = OpenFile(r.name, kReadShared, "Cannot open the file %s");
  int64_t size = file->Size();
  if (!FitsInt32(size)) Fail("The file %s is too large for the archive", {r.name});
  file.reset();
  if (!setup::GetFileDateTime(r.name, r.date)) Fail("Cannot open the file %s", {r.name});
  // The date must come out again on extraction.
  if (!setup::IsFileDateTime(r.date))
    Fail("Cannot add %s to the archive: its date lies outside the years 1601 to 9999", {r.name});
  r.uncompressedSize = int32_t(size);
  TVersionResource& version = GlobalVersionResource();
  version.SetFileName(r.name);
  r.version = version.VersionInfo().FileVersion.substr(0, setup::kMaxStoredVersion);
  r.ordinal = ordinal;
  return header;
}

void TKstnCompress::AddStatus(TStream& source, TStream* temp) {
  if (Abort) throw EArchiveAborted();
  PumpMessages();
  if (!temp) Fail("AddStatus has Nil DestFile");
  int32_t done = int32_t(source.Position());
  stats_.overallBytesDone += done - stats_.bytesDone;
  stats_.bytesDone = done;
  stats_.compressedSize = int32_t(temp->Size());
  stats_.percentDone = Percent(stats_.bytesDone, stats_.uncompressedSize);
  stats_.overallPercent = Percent(stats_.overallBytesDone, stats_.totalUncompressed);
  if (OnStatus) OnStatus(*this, stats_);
}

void TKstnCompress::AddFile(TFileStream& archive, TFileHeader& header) {
  TFileHeaderRecord& r = header.record;
  platform::TempFile tempFile;
  if (!tempFile.Create(platform::TempDirectory(), "kst"))
    Fail("Cannot create the file %s", {platform::TempDirectory()});
  auto source = OpenFile(r.name, kReadShared, "Cannot open the file %s");
  auto temp = OpenFile(tempFile.Name(), fmCreate, "Cannot create the file %s");
  FillFileStats(stats_, r);
  stats_.compressedSize = 0;
  if (OnBeforeAdding) OnBeforeAdding(*this, stats_);
  {
    TCompressionStream deflater(CompressionLevel, *temp);
    deflater.OnProgress = [&] { AddStatus(*source, temp.get()); };
    deflater.CopyFrom(*source, 0);
    deflater.Finish();
  }
  temp->Flush();
  int64_t packed = temp->Size();
  stats_.compressedSize = int32_t(packed);
  stats_.ratio = Percent(double(packed), r.uncompressedSize);
  stats_.finished = true;
  AddStatus(*source, temp.get());
  stats_.finished = false;

  int64_t headerAt = archive.Position();
  if (!FitsInt32(headerAt + setup::kHeaderSize + packed))
    Fail("The file %s is too large for the archive", {r.name});
  uint8_t raw[setup::kHeaderSize];
  setup::EncodeHeader(r, raw);
  archive.WriteBuffer(raw, setup::kHeaderSize);
  r.firstByte = int32_t(archive.Position());
  bool copied = true;
  try {
    archive.CopyFrom(*temp, 0);
    archive.Flush();
  } catch (const EStreamError&) {
    copied = false;
  }
  if (!copied || archive.Position() != r.firstByte + packed) {
    DoDiskFull();
    // The header would describe data that is not there: the add fails either way.
    Fail("Could not write the file headers for the compressed file");
  }
  stats_.totalCompressed += int32_t(packed);
  r.lastByte = int32_t(archive.Position() - 1);
  r.nextHeader = int32_t(archive.Position());
  r.compressedSize = int32_t(packed);
  archive.SetPosition(headerAt);
  setup::EncodeHeader(r, raw);
  archive.WriteBuffer(raw, setup::kHeaderSize);
  archive.Seek(0, soEnd);
  stats_.header = r;
  if (OnAfterAdding) OnAfterAdding(*this, stats_);
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

void TKstnCompress::Compress(bool append) {
  Abort = false;
  mode_ = Mode::Adding;
  headers_.spanned = 0;
  Offset = 0;
  // However it ends, the list is used up and the header table must be read again.
  struct Done {
    TKstnCompress& k;
    ~Done() {
      k.loaded_ = false;
      k.files_.clear();
      k.mode_ = Mode::None;
    }
  } done{*this};
  RunOperation([&] { CompressList(append); }, true);
}

void TKstnCompress::CompressList(bool append) {
  // Every name and source is checked before the archive is created or opened, so a bad
  // list leaves an existing archive as it was.
  std::vector<TFileHeader> added;
  int ordinal = 1;
  for (const std::string& line : files_) added.push_back(MakeHeader(line, ordinal++));
  // The archive is written while its files are read: it cannot be one of them.
  for (const TFileHeader& header : added)
    if (platform::SameFile(header.record.name, compressedFile_))
      Fail("Cannot add %s to the archive %s: it is the archive itself",
           {header.record.name, compressedFile_});
  RefuseNonRegular(compressedFile_, "Cannot create the file %s: it is not a regular file");
  setup::ForceDirectories(setup::ExtractFileDir(compressedFile_));
  std::unique_ptr<TFileStream> archive;
  if (append && IsRegularFile(compressedFile_)) {
    archive = OpenFile(compressedFile_, kReadWriteShared, "Cannot create the file %s");
    ReadHeaderTable(*archive, 0);
    // Data behind a spanned table lies on other disks: nothing can be added there.
    if (headers_.spanned) Fail("Cannot create the file %s", {compressedFile_});
  } else {
    archive = OpenFile(compressedFile_, fmCreate, "Cannot create the file %s");
    headers_.Clear();
  }
  for (const TFileHeader& header : added) headers_.Add(header);
  WriteHeaderTable(*archive);
  archive->Seek(0, soEnd);
  ComputeTotals(stats_);
  stats_.totalCompressed = 0;
  for (int i = 0; i < headers_.Count(); ++i)
    if (!headers_.Get(i).readFromArchive) AddFile(*archive, headers_.Get(i));
  archive->Flush();
}

std::string TKstnCompress::Destination() const {
  std::string name = ExtractFileName(ExtractName);
  if (ClimbsOut(ExtractName) || !IsPlainFileName(name))
    Fail("The name <%s> in the archive <%s> is not a valid file name",
         {ExtractName, compressedFile_});
  return platform::JoinPath(ExtractDirectory, name);
}

[[noreturn]] void TKstnCompress::Corrupt(const std::string& name) const {
  Fail("The file <%s> in the archive <%s> is corrupt", {name, compressedFile_});
}

void TKstnCompress::CheckRange(const TFileHeaderRecord& h, int disk, int64_t diskSize) const {
  int64_t first = int64_t(Offset) + h.firstByte, last = int64_t(Offset) + h.lastByte;
  if (h.firstByte < 0 || h.lastByte < -1) Corrupt(h.name);
  if (headers_.spanned == 0) {
    if (h.startDisk != 0 || h.endDisk != 0 ||
        int64_t(h.lastByte) != int64_t(h.firstByte) + h.compressedSize - 1 || last >= diskSize)
      Corrupt(h.name);
    return;
  }
  if (h.startDisk < 1 || h.endDisk < h.startDisk) Corrupt(h.name);
  if (disk == h.startDisk && first > diskSize) Corrupt(h.name);
  if (disk == h.endDisk && last >= diskSize) Corrupt(h.name);
  if (h.startDisk == h.endDisk && h.lastByte < h.firstByte - 1) Corrupt(h.name);
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
      stats_.bytesDone += n;
      stats_.overallBytesDone += n;
      stats_.percentDone = Percent(stats_.bytesDone, stats_.uncompressedSize);
      stats_.overallPercent = Percent(stats_.overallBytesDone, stats_.totalUncompressed);
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
    std::string name = ExtractFileName(h.name);
    if (ClimbsOut(h.name) || !IsPlainFileName(name))
      Fail("The name <%s> in the archive <%s> is not a valid file name", {h.name, compressedFile_});
    ExtractName = name;
  }
  if (OnBeforeExtracting) OnBeforeExtracting(*this, stats_);
  std::string dest = Destination();
  if (IsRegularFile(dest)) {
    switch (OverwriteDecision(h.version, dest, Overwrite, h.date)) {
      case 0:
        Fail("Error comparing file versions in TKstnCompress");
      case 1:
      case 3:
        stats_.finished = true;
        if (OnStatus) OnStatus(*this, stats_);
        return;
      default:
        if (OnReplace) {
          OnReplace(*this, stats_);
          dest = Destination();
        }
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
      stats_.bytesDone += n;
      stats_.overallBytesDone += n;
      stats_.percentDone = Percent(stats_.bytesDone, stats_.compressedSize);
      stats_.overallPercent = Percent(stats_.overallBytesDone, stats_.totalCompressed);
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

void TKstnCompress::CopyWithVersionCheck(const std::string& source, const std::string& dest) {
  Abort = false;
  Offset = 0;
  ExtractDirectory = setup::ExtractFileDir(dest);
  ExtractName = ExtractFileName(dest);
  RefuseNonRegular(source, "Cannot copy %s: it is not a regular file");
  std::string target = dest;
  if (IsRegularFile(target)) {
    switch (TVersionResource::IsFileNewerByName(source, target, Overwrite)) {
      case 0:
        Fail("Error comparing file versions in TKstnCompress");
      case 1:
      case 3:
        return;
      default:
        if (OnReplace) {
          TlzhFileStats replace;
          replace.name = source;
          OnReplace(*this, replace);
          target = platform::JoinPath(ExtractDirectory, ExtractFileName(ExtractName));
        }
    }
  }
  TlzhFileStats stats;
  stats.name = source;
  auto in = OpenFile(source, kReadShared, "Cannot open the file %s");
  int64_t length = in->Size();
  if (!FitsInt32(length)) Fail("The file %s is too large for the archive", {source});
  stats.uncompressedSize = int32_t(length);
  std::string dir = setup::ExtractFileDir(target);
  // The copy replaces the destination only when it is complete.
  platform::TempFile tempFile;
  if (!tempFile.Create(dir.empty() ? "." : dir, "kst")) Fail("Cannot create the file %s", {target});
  auto out = OpenFile(tempFile.Name(), fmCreate, "Cannot create the file %s");
  std::vector<uint8_t> buffer(kCopyBlock);
  for (;;) {
    if (Abort) return;
    int32_t n = in->Read(buffer.data(), kCopyBlock);
    if (out->Write(buffer.data(), n) < n) DoDiskFull();
    stats.bytesDone += n;
    stats.overallBytesDone = stats.bytesDone;
    stats.percentDone = Percent(stats.bytesDone, stats.uncompressedSize);
    stats.overallPercent = stats.percentDone;
    if (OnStatus) OnStatus(*this, stats);
    PumpMessages();
    if (n < kCopyBlock) break;
  }
  try {
    out->Flush();
  } catch (const EStreamError&) {
    DoDiskFull();
  }
  int64_t copied = out->Size();
  out.reset();
  in.reset();
  double date;
  if (copied != length) Fail("Cannot create the file %s", {target});
  if (!setup::GetFileDateTime(source, date) || !setup::SetFileDateTime(tempFile.Name(), date))
    Fail("Cannot set the date of the file just extracted.");
  if (!tempFile.RenameTo(target)) Fail("Cannot create the file %s", {target});
  stats.finished = true;
  if (OnStatus) OnStatus(*this, stats);
}

TKstnCompress& GlobalArchive() {
  static TKstnCompress archive;
  return archive;
}

void CreateSelfExtractor(const std::string& exe, const std::string& setupPart,
                         const std::string& archive) {
  static const char* const kJoin =
      "Cannot create the self-extracting exe because %s could not be loaded onto %s";
  // Only regular files are joined, and none to itself.
  using platform::KindOfPath;
  using platform::PathKind;
  for (const std::string& part : {setupPart, archive})
    if (KindOfPath(part) == PathKind::Other || platform::SameFile(part, exe))
      throw IEInstall(kJoin, {part, exe});
  if (KindOfPath(exe) == PathKind::Other) throw IEInstall(kJoin, {setupPart, exe});
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
  if (platform::KindOfPath(path) == platform::PathKind::Other) throw IEInstall(kMessage, {path});
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
