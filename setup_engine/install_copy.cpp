// The installer's copy of a plain file: the overwrite rules decide whether an existing
// destination is replaced, and the copy takes its place only when it is complete.
#include "platform/file.h"
#include "setup_engine/archive_parts.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

using namespace setup::archive_parts;

void TKstnCompress::CopyWithVersionCheck(const std::string& source, const std::string& dest) {
  Abort = false;
  Offset = 0;
  ExtractDirectory = setup::ExtractFileDir(dest);
  ExtractName = ExtractFileName(dest);
  RefuseNonRegular(source, "Cannot copy %s: it is not a regular file");
  std::string target = dest;
  if (platform::IsFile(target)) {
    if (KeepsExisting(TVersionResource::IsFileNewerByName(source, target, Overwrite))) return;
    if (OnReplace) {
      TlzhFileStats replace;
      replace.name = source;
      OnReplace(*this, replace);
      target = platform::JoinPath(ExtractDirectory, ExtractFileName(ExtractName));
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
