#pragma once
// A reader and applier of patch files, for tests only.
//
// How it works: ParsePatch takes the bytes of a whole patch file (plain, or with an applier
// stub in front), checks header, trailer and framing, inflates a deflated patch stream and
// splits it into entries: file records with their names, descriptors and the five data
// streams of every step, and embedded files. ApplyStep rebuilds one version from the one
// before it; it decodes the numbers, copies, literal runs, extensions and placeholders of a
// step and fails unless the result has the expected length and every stream is used up to
// its last byte (bit streams: their last byte, with the unused high bits 0). RebuildTarget
// applies a record's steps from any version of its chain and checks every CRC and length on
// the way; ApplyToTree does the same for every entry of a directory patch over a map of
// relative paths to file contents.
//
// It is written from the file format alone and shares no code with the engine, so a fault
// of the engine's writer shows up here as a DecodeError or as a wrong result.
#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace patchdec {

using Bytes = std::vector<uint8_t>;

class DecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The data streams of a step, in the order they are stored.
enum StreamIndex { kNumbers, kWideBits, kSignBits, kLiterals, kExtension };

// Descriptor flag bits.
constexpr uint8_t kSelfReferences = 1;
constexpr uint8_t kPlainExtension = 2;
// Record flag bits.
constexpr uint16_t kHasProtection = 1;
constexpr uint16_t kNamePatternMark = 2;

struct Protection {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// Step i of a record: turns V(i-1) into Vi.
struct Step {
  std::string sourceName;  // directory patches: V(i-1)'s relative path
  uint32_t sourceCrc = 0;
  uint32_t sourceLength = 0;
  uint16_t groupSize = 0;
  uint8_t flags = 0;
  uint8_t chunkSize = 0;
  Protection protection;  // of V(i-1), when the record has protection values
  std::array<Bytes, 5> streams;
};

struct FileRecord {
  uint32_t crc = 0;  // of the target Vn
  uint32_t length = 0;
  uint32_t stamp = 0;
  uint16_t flags = 0;
  Protection protection;  // of Vn
  std::string name;       // directory patches: the target's relative path
  std::vector<Step> steps;

  size_t Versions() const { return steps.size() + 1; }
  uint32_t VersionLength(size_t i) const;
  uint32_t VersionCrc(size_t i) const;
  const Protection* VersionProtection(size_t i) const;
};

struct EmbeddedFile {
  std::string name;
  uint32_t stamp = 0;
  Bytes data;
};

enum class Tag : uint8_t { Record = 1, Embedded = 2 };

struct Entry {
  Tag tag = Tag::Record;
  FileRecord record;      // tag Record
  EmbeddedFile embedded;  // tag Embedded
};

struct Patch {
  size_t stubSize = 0;  // bytes in front of the header (an executable patch's stub)
  uint32_t formatVersion = 0;
  uint8_t mode = 0;  // 1 file versions, 2 directory trees
  uint8_t flags = 0;
  std::array<uint8_t, 64> identification{};
  Bytes secondIdentification;
  std::string backupName;
  std::vector<Entry> entries;  // file-version patches: exactly one record
  bool applierPair = false;    // the closing pair written for applier kind 2
  uint32_t trailerLength = 0;
};

// Reads a whole patch file.
Patch ParsePatch(const Bytes& file);
// Inflates one whole zlib stream; fails when it is damaged, cut short or followed by more.
Bytes Inflate(const uint8_t* data, size_t size);
Bytes ReadWholeFile(const std::string& path);

// One decoded entry of a step, for tests that look at a step's structure.
struct Op {
  enum Kind { Copy, Literal, Placeholder } kind = Copy;
  int64_t length = 0;
  int64_t offset = 0;          // copies: source offset
  int k = 0;                   // copies: the group's extension length in force
  bool groupStart = false;     // copies: a group value was read with this copy
  std::vector<bool> plainChunks;  // literal runs: per chunk, stored plain (else differences)
};
struct StepTrace {
  std::vector<Op> ops;
  Bytes groupValues;  // every k read, in order
};

// Rebuilds V(i) from V(i-1) = source. targetLength is the length of V(i). Does not look at
// CRCs (RebuildTarget does).
Bytes ApplyStep(const Step& step, const Bytes& source, uint32_t targetLength,
                StepTrace* trace = nullptr);

// CRC-32 register (preset all ones, not complemented) over data, leaving out a protected
// block when one is given.
uint32_t Crc(const Bytes& data, const Protection* leaveOut = nullptr);

// Rebuilds the target from version `from` (0 .. steps, where `steps` means the target
// itself), checking the CRC and length of the start and of every version on the way.
Bytes RebuildTarget(const FileRecord& record, size_t from, const Bytes& version);
// The same from whichever version `version` is (by CRC and length); fails when it is none.
Bytes RebuildTarget(const FileRecord& record, const Bytes& version);

// A directory tree as relative paths ("\" between components) and contents.
using Tree = std::map<std::string, Bytes>;
// Applies every entry of a directory patch to tree: an embedded file is stored under its
// name; a record's target is rebuilt from the first of its versions found in the tree
// under the version's name with a matching CRC and length, and stored under the record's
// name. Fails when a record finds none of its versions.
void ApplyToTree(const Patch& patch, Tree& tree);
// The same for one record.
void ApplyRecordToTree(const FileRecord& record, Tree& tree);

}  // namespace patchdec
