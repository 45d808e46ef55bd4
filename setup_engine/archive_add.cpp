// Adding files: the whole list is checked first, then each file is deflated into a
// temporary file and copied into the archive behind its header.
#include "platform/file.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

using namespace setup::archive_parts;
using setup::TFileHeaderRecord;

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
  if (append && platform::IsFile(compressedFile_)) {
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
