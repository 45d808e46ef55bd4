#pragma once
// Directory mode, second part: every target file gets a chain of predecessors, one per
// older root, found by name and by content.
#include "patch_engine/directory_scan.h"

namespace engine {

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

}  // namespace engine
