#pragma once
// Directory mode, first part: every version is the root of a directory tree, scanned into
// a RootList of FileScan records before anything is written.
//
// How it works: BuildRootList visits the entries of each folder in a fixed order (by name
// with the case of ASCII letters ignored, then by exact name) and records every file's
// length, time stamp, CRC-32 and byte histogram. It leaves out hidden entries, links and
// whatever is neither a regular file nor a folder (FIFOs, sockets, devices: each is named
// in a console line). A name that a patch cannot carry, one with a character
// ForbiddenCharacter (file_names.h) finds, ends the run.
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
  FileScan* best = nullptr;  // the predecessor in the next older root (directory_pairing.h)
  int bestScore = kInitialScore;
  bool processed = false;
  int chain = -1;  // BuildChain's result once known: 1 complete, 0 not; -1 not yet built
  uint32_t index = 0;            // its place in its root's scan order
  std::array<uint64_t, 4> present{};  // bit v: byte value v occurs
};

struct PairingTables;  // directory_pairing.cpp

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

}  // namespace engine
