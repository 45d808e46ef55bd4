#pragma once
// Directory mode: every version is the root of a directory tree, the last one the target.
//
// How it works: the run scans every root first (directory_scan.h). WalkDirectoryPair then
// pairs every target file with a chain of predecessors, one per older root
// (directory_pairing.h), and decides in four phases which files get a FileRecord and which
// are embedded whole: files matched under a new path; files none of whose chain paths
// another target file rewrites; the rest, largest first; and last every file that got no
// record. The records are written in an order an applier can follow in place: a record
// that reads a path comes before the record that rewrites it (record_order.h). Embedded
// files follow the records, then the end tag (written by the run).
#include <string>

#include "patch_engine/directory_scan.h"

namespace engine {

// The walk over the target root (the last of RootLists()).
void WalkDirectoryPair();
// Writes an EmbeddedFile entry.
void EmbedFile(const std::string& fullPath, const std::string& relPath);

}  // namespace engine
