#include "setup_engine/archive_format.h"

#include <cstring>

#include "platform/byte_order.h"

namespace setup {
namespace {

constexpr char kSignature[] = "SELFEXTRACTING";

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
  PutI32(out + 0, h.ordinal);
  uint64_t bits;
  std::memcpy(&bits, &h.date, 8);
  platform::PutU32(out + 4, uint32_t(bits));
  platform::PutU32(out + 8, uint32_t(bits >> 32));
  out[12] = h.endDisk;
  PutI32(out + 16, h.lastByte);
  PutShortString(out + 20, h.name, kMaxStoredName);
  PutI32(out + 124, h.nextHeader);
  PutI32(out + 128, h.uncompressedSize);
  PutI32(out + 132, h.firstByte);
  PutI32(out + 136, h.compressedSize);
  out[140] = h.startDisk;
  PutShortString(out + 141, h.version, kMaxStoredVersion);
}

bool DecodeHeader(const uint8_t in[kHeaderSize], TFileHeaderRecord& h) {
  h.ordinal = GetI32(in + 0);
  uint64_t bits = platform::GetU32(in + 4) | uint64_t(platform::GetU32(in + 8)) << 32;
  std::memcpy(&h.date, &bits, 8);
  h.endDisk = in[12];
  h.lastByte = GetI32(in + 16);
  h.nextHeader = GetI32(in + 124);
  h.uncompressedSize = GetI32(in + 128);
  h.firstByte = GetI32(in + 132);
  h.compressedSize = GetI32(in + 136);
  h.startDisk = in[140];
  return GetShortString(in + 20, kMaxStoredName, h.name) &&
         GetShortString(in + 141, kMaxStoredVersion, h.version);
}

void EncodeTail(const TSelfExtractorTail& t, uint8_t out[kTailSize]) {
  std::memset(out, 0, kTailSize);
  out[0] = 14;
  std::memcpy(out + 1, kSignature, 14);
  PutI32(out + 16, t.setupStart);
  PutI32(out + 20, t.setupLast);
  PutI32(out + 24, t.archiveStart);
  PutI32(out + 28, t.archiveLast);
}

bool DecodeTail(const uint8_t in[kTailSize], int64_t fileSize, TSelfExtractorTail& t) {
  if (in[0] != 14 || std::memcmp(in + 1, kSignature, 14) != 0) return false;
  t.setupStart = GetI32(in + 16);
  t.setupLast = GetI32(in + 20);
  t.archiveStart = GetI32(in + 24);
  t.archiveLast = GetI32(in + 28);
  int64_t body = fileSize - kTailSize;
  if (t.setupStart < 0 || t.setupLast < t.setupStart - 1 || t.setupLast >= body) return false;
  if (t.archiveStart == 0 && t.archiveLast == 0) return true;
  return t.archiveStart > t.setupLast && t.archiveLast >= t.archiveStart &&
         t.archiveLast < body;
}

}  // namespace setup
