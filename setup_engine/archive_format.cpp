#include "setup_engine/archive_format.h"

#include <cstring>

#include "platform/byte_order.h"

namespace setup {
namespace {

constexpr char kSignature[] = "SELFEXTRACTING";
constexpr uint8_t kSignatureLength = sizeof kSignature - 1;

void PutI32(uint8_t* p, int32_t v) { platform::PutU32(p, uint32_t(v)); }
int32_t GetI32(const uint8_t* p) { return int32_t(platform::GetU32(p)); }

void PutShortString(uint8_t* p, const std::string& s, size_t max) {
  size_t n = s.size() < max ? s.size() : max;
  p[0] = uint8_t(n);
  std::memcpy(p + 1, s.data(), n);
}

bool GetShortString(const uint8_t* p, size_t max, std::string& s) {
  if (p[0] > max) return false;
  s.assign(reinterpret_cast<const char*>(p + 1), p[0]);
  return true;
}

}  // namespace

void EncodeHeader(const TFileHeaderRecord& h, uint8_t out[kHeaderSize]) {
  std::memset(out, 0, kHeaderSize);
  PutI32(out + kHeaderOrdinal, h.ordinal);
  uint64_t bits;
  std::memcpy(&bits, &h.date, 8);
  platform::PutU32(out + kHeaderDate, uint32_t(bits));
  platform::PutU32(out + kHeaderDate + 4, uint32_t(bits >> 32));
  out[kHeaderEndDisk] = h.endDisk;
  PutI32(out + kHeaderLastByte, h.lastByte);
  PutShortString(out + kHeaderName, h.name, kMaxStoredName);
  PutI32(out + kHeaderNextHeader, h.nextHeader);
  PutI32(out + kHeaderUncompressedSize, h.uncompressedSize);
  PutI32(out + kHeaderFirstByte, h.firstByte);
  PutI32(out + kHeaderCompressedSize, h.compressedSize);
  out[kHeaderStartDisk] = h.startDisk;
  PutShortString(out + kHeaderVersion, h.version, kMaxStoredVersion);
}

bool DecodeHeader(const uint8_t in[kHeaderSize], TFileHeaderRecord& h) {
  h.ordinal = GetI32(in + kHeaderOrdinal);
  uint64_t bits = platform::GetU32(in + kHeaderDate) |
                  uint64_t(platform::GetU32(in + kHeaderDate + 4)) << 32;
  std::memcpy(&h.date, &bits, 8);
  h.endDisk = in[kHeaderEndDisk];
  h.lastByte = GetI32(in + kHeaderLastByte);
  h.nextHeader = GetI32(in + kHeaderNextHeader);
  h.uncompressedSize = GetI32(in + kHeaderUncompressedSize);
  h.firstByte = GetI32(in + kHeaderFirstByte);
  h.compressedSize = GetI32(in + kHeaderCompressedSize);
  h.startDisk = in[kHeaderStartDisk];
  return GetShortString(in + kHeaderName, kMaxStoredName, h.name) &&
         GetShortString(in + kHeaderVersion, kMaxStoredVersion, h.version);
}

void EncodeTail(const TSelfExtractorTail& t, uint8_t out[kTailSize]) {
  std::memset(out, 0, kTailSize);
  out[kTailSignature] = kSignatureLength;
  std::memcpy(out + kTailSignature + 1, kSignature, kSignatureLength);
  PutI32(out + kTailSetupStart, t.setupStart);
  PutI32(out + kTailSetupLast, t.setupLast);
  PutI32(out + kTailArchiveStart, t.archiveStart);
  PutI32(out + kTailArchiveLast, t.archiveLast);
}

bool DecodeTail(const uint8_t in[kTailSize], int64_t fileSize, TSelfExtractorTail& t) {
  if (in[kTailSignature] != kSignatureLength ||
      std::memcmp(in + kTailSignature + 1, kSignature, kSignatureLength) != 0)
    return false;
  t.setupStart = GetI32(in + kTailSetupStart);
  t.setupLast = GetI32(in + kTailSetupLast);
  t.archiveStart = GetI32(in + kTailArchiveStart);
  t.archiveLast = GetI32(in + kTailArchiveLast);
  int64_t body = fileSize - kTailSize;
  // The loader and the setup part are never empty; an archive, when there is one, follows.
  if (t.setupStart <= 0 || t.setupLast < t.setupStart || t.setupLast >= body) return false;
  if (t.archiveStart == 0 && t.archiveLast == 0) return true;
  return t.archiveStart > t.setupLast && t.archiveLast >= t.archiveStart && t.archiveLast < body;
}

}  // namespace setup
