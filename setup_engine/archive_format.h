#pragma once
// The on-disk records of the setup archive, where their fields lie, and their checked
// readers and writers. docs/setup_archive_format.md describes every field and the checks
// a reader makes.
//
// An archive begins with an Int32 header count and a spanned flag byte. A single-file
// archive then chains each 164-byte header, followed by that file's deflate stream,
// through the header's next-header position; a spanned set keeps all headers back to back
// on disk 1 and lets the data run on from one disk file into the next. Positions are
// 32-bit and relative to the archive's start within its file (or to the disk file).
// The self-extractor tail is the 56-byte record at the end of a setup program that has
// its setup part and, optionally, the archive appended. Integers are little-endian.
#include <cstddef>
#include <cstdint>
#include <string>

namespace setup {

constexpr int32_t kArchiveStartSize = 5;  // count and spanned flag
constexpr int32_t kHeaderSize = 164;
constexpr size_t kMaxStoredName = 100;
constexpr size_t kMaxStoredVersion = 20;
constexpr int32_t kTailSize = 56;

// Field offsets in the archive start,
constexpr size_t kStartCount = 0;    // Int32 number of headers
constexpr size_t kStartSpanned = 4;  // byte: 0 one file, 1 a set of disk files
// in a header,
constexpr size_t kHeaderOrdinal = 0;             // Int32
constexpr size_t kHeaderDate = 4;                // Double: low 32 bits, then high 32 bits
constexpr size_t kHeaderEndDisk = 12;            // byte
constexpr size_t kHeaderLastByte = 16;           // Int32
constexpr size_t kHeaderName = 20;               // length byte and up to 100 characters
constexpr size_t kHeaderNextHeader = 124;        // Int32
constexpr size_t kHeaderUncompressedSize = 128;  // Int32
constexpr size_t kHeaderFirstByte = 132;         // Int32
constexpr size_t kHeaderCompressedSize = 136;    // Int32
constexpr size_t kHeaderStartDisk = 140;         // byte
constexpr size_t kHeaderVersion = 141;           // length byte and up to 20 characters
// and in the self-extractor tail.
constexpr size_t kTailSignature = 0;      // length byte 14 and "SELFEXTRACTING"
constexpr size_t kTailSetupStart = 16;    // Int32
constexpr size_t kTailSetupLast = 20;     // Int32
constexpr size_t kTailArchiveStart = 24;  // Int32
constexpr size_t kTailArchiveLast = 28;   // Int32

struct TFileHeaderRecord {
  int32_t ordinal = 0;
  double date = 0;
  uint8_t endDisk = 0;
  int32_t lastByte = 0;  // position of the last data byte
  std::string name;      // at most 100 characters
  int32_t nextHeader = 0;
  int32_t uncompressedSize = 0;
  int32_t firstByte = 0;
  int32_t compressedSize = 0;
  uint8_t startDisk = 0;
  std::string version;   // at most 20 characters
};

void EncodeHeader(const TFileHeaderRecord& h, uint8_t out[kHeaderSize]);
// False when a length byte exceeds its field (the bytes are not a header).
bool DecodeHeader(const uint8_t in[kHeaderSize], TFileHeaderRecord& h);

// The 56-byte tail of a self-extracting setup program.
struct TSelfExtractorTail {
  int32_t setupStart = 0;    // size of the loader program
  int32_t setupLast = 0;     // position of the last byte of the setup part
  int32_t archiveStart = 0;  // 0 when no archive is appended
  int32_t archiveLast = 0;
};

void EncodeTail(const TSelfExtractorTail& t, uint8_t out[kTailSize]);
// Decodes a tail read from a file of fileSize bytes; false unless it carries the
// signature and its parts lie in order inside the file before the tail.
bool DecodeTail(const uint8_t in[kTailSize], int64_t fileSize, TSelfExtractorTail& t);

}  // namespace setup
