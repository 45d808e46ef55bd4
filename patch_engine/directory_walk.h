#pragma once
// Directory mode: every version is the root of a directory tree, the last one the target.
//
// How it works: BuildRootList scans each root into a RootList of FileScan records (length,
// time stamp, CRC-32 and byte histogram of every file), visiting the entries of a folder in
// a fixed order (ASCII case-insensitive by name, then by exact name) and leaving out hidden
// entries, links and whatever is neither a regular file nor a folder (FIFOs, sockets,
// devices: each is named in a console line). A name that a patch cannot carry, one with a
// character ForbiddenCharacter (file_names.h) finds, ends the run. WalkDirectoryPair pairs
// every target file with a chain of predecessors, one per older root (BuildChain: by name
// and by content, ScoreCandidate), and decides in four phases which files get a FileRecord
// and which are embedded whole. The records are then written in an order an applier can
// follow in place: a record that reads a path comes before the record that rewrites it.
// Embedded files follow the records, then the end tag (written by the run).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

constexpr int kInitialScore = -100;
constexpr int kIdenticalScore = 10000;

struct FileScan {
  std::string fullPath;
  std::string relativePath;  // below the root, "\" between components
  std::string extension;     // from the last "." of the file name on; may be empty
  std::string fileName;      // the part after the last separator
  int64_t length = 0;
  uint32_t stamp = 0;
  uint32_t crc = 0;
  std::array<uint32_t, 256> counts{};
  std::array<double, 256> histogram{};  // counts divided by the length; 0 for an empty file
  FileScan* best = nullptr;  // the predecessor in the next older root
  int bestScore = kInitialScore;
  bool processed = false;
  int chain = -1;  // BuildChain's result once known: 1 complete, 0 not; -1 not yet built
  uint32_t index = 0;            // its place in its root's scan order
  std::array<uint64_t, 4> present{};  // bit v: byte value v occurs
};

struct PairingTables;  // directory_walk.cpp

struct RootList {
  std::string rootPath;
  int rootIndex = 0;
  int64_t totalSize = 0;
  std::vector<std::unique_ptr<FileScan>> files;  // in scan order
  // Its files by content and by name, built when the fast pairing first scores against it.
  std::shared_ptr<PairingTables> pairing;
};

// The run's root lists, oldest root first (freed by FreeEngineBuffers).
std::vector<std::unique_ptr<RootList>>& RootLists();
void FreeRootLists();

// Scans rootPath into list; a root that cannot be opened raises with its path.
void BuildRootList(RootList& list, const std::string& rootPath);
// False when dirPath cannot be opened as a directory.
bool ScanDirectory(RootList& list, const std::string& dirPath, const std::string& relPath);
void AddFile(RootList& list, const std::string& fullPath, const std::string& relPath);
// The candidate's score for file; the candidate becomes file's best when it scores higher
// than the best so far.
int ScoreCandidate(FileScan& file, FileScan& candidate);
// Finds predecessors from root rootIndex down to root 0; true when the chain is complete.
// The reference implementation scores every file of the root in scan order; the fast one
// (StepImplementation::Fast) gets the same best without scoring most of them: a score of
// 12500 cannot be beaten, files of equal length and CRC-32 are looked up first, then the
// files by name part, each skipped when even the best histogram bonus on top of its name
// part and byte-value penalties cannot beat the best so far.
bool BuildChain(FileScan& file, int rootIndex);
// The walk over the target root (the last of RootLists()).
void WalkDirectoryPair();
// Writes an EmbeddedFile entry.
void EmbedFile(const std::string& fullPath, const std::string& relPath);

// Order of the records of one walk. A record rewrites the path of its target and reads
// the paths of the versions in its chain (case is ignored). OrderRecords returns the
// records in the given order, except that a record moves before every record that
// rewrites a path it reads (a stable topological order). Where records read each other's
// paths in a cycle, the latest record of the cycle is left out of the order and listed in
// `dropped`; its file is then embedded.
struct RecordPaths {
  std::string writes;  // empty: the record writes nothing
  std::vector<std::string> reads;
};
std::vector<size_t> OrderRecords(const std::vector<RecordPaths>& records, std::vector<size_t>& dropped);

}  // namespace engine
