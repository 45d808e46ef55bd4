// The header table: reading it (checked against the file's size before it is believed),
// writing it, the questions asked of it and the checks of one header against a disk file.
#include <algorithm>

#include "platform/file.h"
#include "platform/byte_order.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/kstn_compress.h"

using namespace setup::archive_parts;
using setup::TFileHeaderRecord;

namespace {
const char kCorruptTable[] =
    "Could not read the file headers for the compressed file. The Archive file could "
    "possible be corrupt";
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

int TKstnCompress::FileCount() {
  if (mode_ != Mode::Adding) EnsureLoaded();
  return headers_.Count();
}

namespace {

// Stored names are paths of whichever system made the archive: a backslash and a slash are alike.
std::string WithBackslashes(std::string name) {
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

}  // namespace

int TKstnCompress::IndexOfFile(const std::string& name) {
  EnsureLoaded();
  std::string wanted = WithBackslashes(name);
  for (int i = 0; i < headers_.Count(); ++i)
    if (SameText(WithBackslashes(headers_.Get(i).record.name), wanted)) return i;
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
  if (!platform::IsFile(compressedFile_))
    Fail("Cannot open the compressed file %s", {compressedFile_});
  auto stream = OpenFile(compressedFile_, kReadShared, "Cannot open the compressed file %s");
  try {
    ReadHeaderTable(*stream, Offset);
  } catch (const Exception&) {
    Fail(kCorruptTable);
  }
  loaded_ = true;
}

void TKstnCompress::ReadHeaderTable(TStream& stream, int64_t offset) {
  headers_.Clear();
  headers_.spanned = 0;
  int64_t size = stream.Size();
  uint8_t start[setup::kArchiveStartSize];
  if (offset < 0 || offset > size)
    Fail("Could not read the file header count for the compressed file");
  stream.SetPosition(offset);
  if (stream.Read(start, setup::kArchiveStartSize) != setup::kArchiveStartSize)
    Fail("Could not read the file header count for the compressed file");
  int32_t count = int32_t(platform::GetU32(start + setup::kStartCount));
  const uint8_t spanned = start[setup::kStartSpanned];
  // Every header takes 164 bytes of the file: a count the file cannot hold is refused
  // before anything is read for it.
  if (count < 0 || spanned > 1 ||
      int64_t(count) * setup::kHeaderSize > size - offset - setup::kArchiveStartSize)
    Fail(kCorruptTable);
  headers_.spanned = spanned;
  int64_t pos = offset + setup::kArchiveStartSize;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t raw[setup::kHeaderSize];
    TFileHeader header;
    if (pos + setup::kHeaderSize > size) Fail(kCorruptTable);
    stream.SetPosition(pos);
    if (stream.Read(raw, setup::kHeaderSize) != setup::kHeaderSize ||
        !setup::DecodeHeader(raw, header.record))
      Fail(kCorruptTable);
    const TFileHeaderRecord& r = header.record;
    if (r.uncompressedSize < 0 || r.compressedSize < 0) Fail(kCorruptTable);
    header.readFromArchive = true;
    headers_.Add(header);
    int64_t next = offset + int64_t(r.nextHeader);
    // The chain only runs forward, so a hostile table cannot loop.
    if (i + 1 < count && next < pos + setup::kHeaderSize) Fail(kCorruptTable);
    pos = next;
  }
}

void TKstnCompress::WriteHeaders(TStream& stream, TFileHeaders& headers) {
  static const char* const kMessage = "Could not write the file headers for the compressed file";
  uint8_t start[setup::kArchiveStartSize];
  platform::PutU32(start + setup::kStartCount, uint32_t(headers.Count()));
  start[setup::kStartSpanned] = headers.spanned;
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
