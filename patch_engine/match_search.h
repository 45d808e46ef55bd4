#pragma once
// First stage of a step: index the source, then cut the target greedily into copies from
// the source (at least 12 bytes long) and runs of new bytes, appended to Matches().found.
//
// Every fifth source position p is indexed under the bucket key data[p+5] * 256 + data[p]
// and sorted inside its bucket by the little-endian uint32 at data[p+1]; bucket and sort
// value together fix six bytes. The five alignments of the search cover the positions in
// between. Positions in the index and in copies are buffer offsets (Step().data).
#include <cstdint>

namespace engine {

constexpr int kBuckets = 65536;
constexpr int64_t kMinCopyLength = 12;

// Two implementations search (StepImplementation, step_data.h): the reference follows the
// steps below one by one; the fast one (fast_search.h) adds tables built from the same
// index and takes the same decisions without testing every candidate of a bucket.
//
// The bucket tables (pointers, counts, fill positions) of this thread: every thread that
// computes steps has its own index (step_jobs.h). BuildSourceIndex allocates them when they
// are missing; FreeIndexTables (called by FreeEngineBuffers, and by a helper thread after
// each step) frees them together with the position array.
void AllocateIndexTables();
void FreeIndexTables();

void BuildSourceIndex();
// Starts a new match list, runs FindMatches over the whole target, reports Stage1 100 and
// frees the position array.
void MatchWholeTarget();
// Appends the entries for target offsets from .. to-1.
void FindMatches(int64_t from, int64_t to);

struct BestCandidate {
  int64_t length = 0;       // 0: no candidate accepted
  int64_t cost = 1000000;
  int64_t sourceOffset = 0;
};
// Sets Best() for target offset p.
void FindBestMatch(int64_t p);
// Tests source position r (a buffer offset) found at alignment i for target offset p.
void CheckCandidate(int64_t p, int64_t r, int i);
const BestCandidate& Best();
// Source offset of the last copy found (0 at the start of a step).
int64_t PreviousCopyOffset();
void SetPreviousCopyOffset(int64_t offset);

// The little-endian uint32 at data[p+1 .. p+4]: the order inside a bucket.
uint32_t SortValue(const uint8_t* data, uint32_t p);
// Hoare quicksort of positions[first .. last] by SortValue, pivot the middle entry;
// recurses into the smaller part and loops on the larger one.
void SortBucket(uint32_t* positions, int64_t first, int64_t last, const uint8_t* data);

// The binary search in a bucket's count entries for sort value v: the middle is halved
// between low and high until an entry with the value is hit, the middle repeats, or high
// falls below low. On a hit, the entries with the value lie between low and high.
struct BucketHit {
  bool hit;
  int64_t middle, low, high;
};
BucketHit SearchBucket(const uint32_t* entries, int64_t count, uint32_t v, const uint8_t* data);

// The index of the current step, in the layout both implementations read: bucket b holds
// counts[b] positions from positions + starts[b] on (starts[b] is valid when counts[b] > 0).
struct SourceIndexView {
  const uint32_t* positions;
  const uint32_t* starts;
  const uint32_t* counts;
  int64_t total;  // indexed positions
};
SourceIndexView IndexView();
// Replaces the best candidate (the fast search reports its result through it).
void SetBest(const BestCandidate& candidate);

// For tests: the indexed positions of a bucket between BuildSourceIndex and the end of the
// search (count and start; count 0 when there is no index).
int64_t BucketCount(int key);
const uint32_t* BucketEntries(int key);

}  // namespace engine
