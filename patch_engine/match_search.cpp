#include "patch_engine/match_search.h"

#include <cstdlib>
#include <cstring>

#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/fast_search.h"
#include "patch_engine/front_end.h"
#include "patch_engine/helper_threads.h"
#include "patch_engine/step_data.h"

namespace engine {

namespace {

// Bucket tables: start of each bucket in the position array (valid when its count is
// above 0), and one block of counts followed by fill positions.
thread_local uint32_t* bucketStart = nullptr;
thread_local uint32_t* bucketCounters = nullptr;
uint32_t* BucketCounts() { return bucketCounters; }
uint32_t* BucketFill() { return bucketCounters + kBuckets; }

thread_local uint32_t* positions = nullptr;  // the indexed positions, bucket by bucket
thread_local int64_t positionCount = 0;

thread_local BestCandidate best;
thread_local int64_t previousCopyOffset = 0;

// Stage1 progress: the current percent and its thresholds (target offsets).
thread_local int percent = 0;
thread_local int64_t thresholds[101];

inline int Key(const uint8_t* data, int64_t p) { return data[p + 5] * 256 + data[p]; }

int64_t IndexStep() { return Options.IndexStep < 6 ? 5 : Options.IndexStep; }

// The ranges of indexed buffer positions: every step-th position from `from` while
// p < to. The source, and with self references the target too.
template <class F>
void ForEachIndexedPosition(F f) {
  const StepData& s = Step();
  const int64_t step = IndexStep();
  for (int64_t p = 4; p < s.sourceLength - 17; p += step) f(p);
  if (Options.SelfReferences)
    for (int64_t p = s.sourceLength + 4; p < s.sourceLength + s.targetLength - 17; p += step) f(p);
}

void FreePositions() {
  std::free(positions);
  positions = nullptr;
  positionCount = 0;
  FreeFastIndex();
}

bool UseFastSearch() {
  return Implementation == StepImplementation::Fast && !Options.SelfReferences;
}

}  // namespace

void AllocateIndexTables() {
  if (!bucketStart)
    bucketStart = static_cast<uint32_t*>(CheckedAlloc(kBuckets * sizeof(uint32_t), msg::ForSourceIndex));
  if (!bucketCounters)
    bucketCounters =
        static_cast<uint32_t*>(CheckedAlloc(2 * kBuckets * sizeof(uint32_t), msg::ForCounters));
}

void FreeIndexTables() {
  FreePositions();
  std::free(bucketStart);
  bucketStart = nullptr;
  std::free(bucketCounters);
  bucketCounters = nullptr;
}

uint32_t SortValue(const uint8_t* data, uint32_t p) {
  const uint8_t* q = data + p + 1;
  return uint32_t(q[0]) | (uint32_t(q[1]) << 8) | (uint32_t(q[2]) << 16) | (uint32_t(q[3]) << 24);
}

void SortBucket(uint32_t* a, int64_t first, int64_t last, const uint8_t* data) {
  while (first < last) {
    int64_t i = first, j = last;
    const uint32_t pivot = SortValue(data, a[(first + last) / 2]);
    while (i <= j) {
      while (SortValue(data, a[i]) < pivot) ++i;
      while (SortValue(data, a[j]) > pivot) --j;
      if (i <= j) {
        uint32_t t = a[i];
        a[i] = a[j];
        a[j] = t;
        ++i;
        --j;
      }
    }
    // Parts first..j and i..last: recurse into the smaller one, go on with the larger.
    if (j - first < last - i) {
      if (first < j) SortBucket(a, first, j, data);
      first = i;
    } else {
      if (i < last) SortBucket(a, i, last, data);
      last = j;
    }
  }
}

void BuildSourceIndex() {
  AllocateIndexTables();
  ResetQuellMeters();
  std::memset(bucketCounters, 0, 2 * kBuckets * sizeof(uint32_t));
  const uint8_t* data = Step().data;

  int64_t total = 0;
  ForEachIndexedPosition([&](int64_t p) {
    ++BucketCounts()[Key(data, p)];
    ++total;
  });

  FreePositions();
  positions = static_cast<uint32_t*>(
      CheckedAlloc(size_t(total) * sizeof(uint32_t) + 1000, msg::ForSourceIndex));
  uint32_t next = 0;
  for (int b = 0; b < kBuckets; ++b) {
    bucketStart[b] = next;
    next += BucketCounts()[b];
  }

  // The fast search sorts on the sort values, read here in buffer order.
  uint32_t* values = nullptr;
  if (UseFastSearch())
    values = static_cast<uint32_t*>(
        CheckedAlloc(size_t(total) * sizeof(uint32_t), msg::ForSourceIndex));
  ForEachIndexedPosition([&](int64_t p) {
    const int key = Key(data, p);
    const uint32_t slot = bucketStart[key] + BucketFill()[key]++;
    positions[slot] = uint32_t(p);
    if (values) values[slot] = SortValue(data, uint32_t(p));
  });

  positionCount = total;
  if (values) {
    BuildFastIndex(values);
    return;
  }
  for (int b = 0; b < kBuckets; ++b)
    if (BucketCounts()[b] > 1)
      SortBucket(positions + bucketStart[b], 0, int64_t(BucketCounts()[b]) - 1, data);
}

BucketHit SearchBucket(const uint32_t* entries, int64_t count, uint32_t v, const uint8_t* data) {
  BucketHit h{false, -1, 0, count - 1};
  while (h.high >= h.low) {
    const int64_t m = (h.low + h.high) / 2;
    if (m == h.middle) break;
    h.middle = m;
    const uint32_t value = SortValue(data, entries[m]);
    if (value < v) {
      h.low = m + 1;
    } else if (value > v) {
      h.high = m;
    } else {
      h.hit = true;
      break;
    }
  }
  return h;
}

SourceIndexView IndexView() { return {positions, bucketStart, BucketCounts(), positionCount}; }
void SetBest(const BestCandidate& candidate) { best = candidate; }

int64_t BucketCount(int key) { return positions ? BucketCounts()[key] : 0; }
const uint32_t* BucketEntries(int key) {
  return BucketCount(key) > 0 ? positions + bucketStart[key] : nullptr;
}

const BestCandidate& Best() { return best; }
int64_t PreviousCopyOffset() { return previousCopyOffset; }
void SetPreviousCopyOffset(int64_t offset) { previousCopyOffset = offset; }

void CheckCandidate(int64_t p, int64_t r, int i) {
  const StepData& s = Step();
  const uint8_t* data = s.data;
  const int64_t t = s.sourceLength + p;  // the target position in the buffer
  const int64_t start = r - i;
  for (int j = 0; j < i; ++j)
    if (data[start + j] != data[t + j]) return;

  // Six bytes at r and t + i are equal through bucket and sort value; extend from there.
  const int64_t end = s.sourceLength + s.targetLength;
  const int64_t sourceEnd = r < s.sourceLength ? s.sourceLength : end;
  int64_t a = r + 6, b = t + i + 6;
  while (a < sourceEnd && b < end && data[a] == data[b]) {
    ++a;
    ++b;
  }
  const int64_t length = b - t;
  if (length < kMinCopyLength) return;

  auto magnitudeCost = [](int64_t v) -> int64_t {
    if (v < 0) v = -v;
    return v < 256 ? 1 : v < 65536 ? 4 : 8;
  };
  const int64_t d = start - previousCopyOffset;
  const int64_t cost = magnitudeCost(length) + magnitudeCost(d);
  const int64_t gain = length - cost, bestGain = best.length - best.cost;
  bool accept = gain > bestGain;
  if (gain == bestGain) {
    int64_t dist = d < 0 ? -d : d;
    int64_t bestDist = best.sourceOffset - previousCopyOffset;
    if (bestDist < 0) bestDist = -bestDist;
    accept = dist < bestDist;
  }
  if (accept) best = BestCandidate{length, cost, start};
}

void FindBestMatch(int64_t p) {
  best = BestCandidate{};
  const StepData& s = Step();
  const uint8_t* data = s.data;
  const int64_t t = s.sourceLength + p;
  for (int i = 0; i < 5; ++i) {
    const int key = Key(data, t + i);
    const int64_t count = BucketCounts()[key];
    if (count == 0) continue;
    const uint32_t* entries = positions + bucketStart[key];
    const uint32_t v = SortValue(data, uint32_t(t + i));

    const BucketHit h = SearchBucket(entries, count, v, data);
    if (!h.hit) continue;

    auto consider = [&](int64_t e) {
      const int64_t r = entries[e];
      if (r < s.sourceLength || (Options.SelfReferences && r <= t - 266)) CheckCandidate(p, r, i);
    };
    for (int64_t e = h.middle - 1; e >= h.low && SortValue(data, entries[e]) == v; --e) consider(e);
    for (int64_t e = h.middle; e <= h.high && SortValue(data, entries[e]) == v; ++e) consider(e);
  }
}

void FindMatches(int64_t from, int64_t to) {
  MatchBuffers& m = Matches();
  int64_t p = from;
  int64_t runStart = -1;
  const bool fast = UseFastSearch();
  while (p <= to - 1) {
    bool found = false;
    if (p < to - kMinCopyLength) {
      if (fast)
        FindBestMatchFast(p);
      else
        FindBestMatch(p);
      found = best.length > 0;
    }
    if (found) {
      if (runStart >= 0) {
        m.found.Append(int32_t(runStart - p), int32_t(runStart));
        runStart = -1;
      }
      m.found.Append(int32_t(best.length), int32_t(best.sourceOffset));
      previousCopyOffset = best.sourceOffset;
      ++m.copies;
      m.copyBytes += best.length;
      p += best.length;
    } else {
      if (runStart < 0) runStart = p;
      ++p;
    }
    if (percent < 100 && p >= thresholds[percent]) {
      const int before = percent;
      while (percent < 100 && p > thresholds[percent]) ++percent;
      if (percent != before) ReportStage(Stage::Match, percent);
    }
  }
  if (runStart >= 0) m.found.Append(int32_t(runStart - to), int32_t(runStart));
}

void MatchWholeTarget() {
  MatchBuffers& m = Matches();
  m.found.Clear();
  m.copies = 0;
  m.copyBytes = 0;
  previousCopyOffset = 0;
  best = BestCandidate{};
  const int64_t length = Step().targetLength;
  for (int j = 0; j <= 100; ++j) thresholds[j] = int64_t(j) * length / 100;
  percent = 0;
  FindMatches(0, length);
  ReportStage(Stage::Match, 100);
  FreePositions();
}

}  // namespace engine
