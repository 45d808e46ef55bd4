#pragma once
// The fast match search: the same best candidate as FindBestMatch (match_search.h), found
// without testing every candidate of a bucket.
//
// How it works. The result of FindBestMatch is the candidate with the highest gain, then the
// smallest distance from the previous copy, then the one tested first (the alignments in
// order, inside a bucket downwards from the binary search's hit, then upwards). Any search
// that knows each candidate's exact gain, distance and place in that order can therefore
// test candidates in its own order and skip those that provably cannot win. Three tables,
// built from the sorted index, let it skip most of them:
// - a filter of the 12-byte strings at every candidate start, by alignment: an alignment
//   whose 12 target bytes occur at none of its candidates has no candidate of copy length;
// - for every large group of entries with equal bucket and sort value, the same entries
//   ordered by the bytes behind their six equal ones: the candidates that share the most
//   bytes with the target lie next to the target's place in that order, so a walk outwards
//   from there meets them in falling order of their length and stops when no further one
//   can win;
// - the runs of one byte value, so that extending a candidate over a long run costs one
//   look-up instead of a byte compare per byte.
// Candidates whose strings equal the target's to the order's depth (periodic data, repeated
// blocks) are tested in rising distance from the previous copy; a candidate whose byte at
// the length of the best so far differs from the target's cannot be longer than it, so once
// the nearest of the longest is known the others cost one byte compare each.
// Extending compares eight bytes at a time. The buckets are sorted by the same quicksort as
// the reference, on (value, position) pairs, so every bucket holds the same order; on the
// run's own thread several threads share the buckets between them.
#include <cstdint>

namespace engine {

// Sorts the buckets of the index just filled and builds the tables above; `values` holds
// the sort value of every position array entry and is freed here.
void BuildFastIndex(uint32_t* values);
void FreeFastIndex();
// Sets the best candidate for target offset p exactly as FindBestMatch does.
void FindBestMatchFast(int64_t p);

}  // namespace engine
