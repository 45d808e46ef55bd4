#include "patch_engine/fast_search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "patch_engine/engine_errors.h"
#include "patch_engine/helper_threads.h"
#include "patch_engine/match_search.h"
#include "patch_engine/step_data.h"

namespace engine {

static_assert(std::endian::native == std::endian::little,
              "the word compares below read bytes in little-endian order");

namespace {

constexpr int64_t kLargeGroup = 32;  // equal entries from which a group gets its own order
constexpr int64_t kOrderDepth = 32;  // bytes behind the six equal ones that the order compares
constexpr int64_t kMinRun = 32;      // shortest run in the run table
constexpr int64_t kBloomBlockBits = 512;
// Six bits per candidate start: the filter passes about one alignment in twelve that has
// no candidate, at three quarters of the source's size.
constexpr int64_t kBloomBitsPerStart = 6;
// Up to this distance from the previous copy, testing every source position beats a walk.
constexpr int64_t kProbeDistance = 255;

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

template <class T>
T* Allocate(int64_t count) {
  return static_cast<T*>(CheckedAlloc(size_t(count) * sizeof(T), msg::ForSourceIndex));
}

// ---- costs and bounds ----

inline int64_t MagnitudeCost(int64_t v) {
  if (v < 0) v = -v;
  return v < 256 ? 1 : v < 65536 ? 4 : 8;
}
// The highest length minus length cost of any copy of at most u bytes.
inline int64_t BestLengthGain(int64_t u) {
  if (u < 256) return u - 1;
  if (u < 65536) return std::max<int64_t>(254, u - 4);
  return std::max<int64_t>(65531, u - 8);
}

// ---- the tables ----

struct Group {
  uint32_t first;  // index of its first entry in the position array
  uint32_t count;
  uint32_t order;  // its first entry in the order arrays
  uint32_t built;  // bit i: its order for alignment i is built
};

struct FastTables {
  Group* groups = nullptr;  // by `first`
  int64_t groupCount = 0;
  // Per alignment i and group, the group's positions r ordered by the i bytes in front of
  // r, then the bytes behind its six equal ones (built when a search first needs it).
  uint32_t* order[5] = {};
  // Filter of the 12-byte strings at candidate starts, by alignment.
  uint64_t* bloom = nullptr;
  uint64_t bloomBlocks = 0;
  // Runs of one byte value of at least kMinRun bytes, inside the source or inside the target.
  uint32_t* runStart = nullptr;
  uint32_t* runEnd = nullptr;
  int64_t runCount = 0;
  int64_t lastIndexed = -1;  // the last indexed position
  uint32_t* values = nullptr;  // sort values of the position array, while buckets are sorted
};
thread_local FastTables tables;

// ---- filter ----

inline uint64_t WindowHash(const uint8_t* p, int alignment) {
  uint64_t h = Load64(p) * 0x9E3779B97F4A7C15ull;
  h ^= (uint64_t(Load32(p + 8)) | (uint64_t(alignment) << 32)) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 31;
  h *= 0x165667B19E3779F9ull;
  h ^= h >> 29;
  return h;
}

// The filter's words and its number of blocks (taken once from the thread's tables).
struct Bloom {
  uint64_t* words;
  uint64_t blocks;

  uint64_t* Block(uint64_t h) const {
    return words + ((h >> 32) * blocks >> 32) * (kBloomBlockBits / 64);
  }
  void Add(uint64_t h) const {
    uint64_t* b = Block(h);
    for (int k = 0; k < 3; ++k) {
      const uint32_t bit = uint32_t(h >> (9 * k)) & 511;
      b[bit >> 6] |= uint64_t(1) << (bit & 63);
    }
  }
  bool Has(uint64_t h) const {
    const uint64_t* b = Block(h);
    for (int k = 0; k < 3; ++k) {
      const uint32_t bit = uint32_t(h >> (9 * k)) & 511;
      if (!(b[bit >> 6] & (uint64_t(1) << (bit & 63)))) return false;
    }
    return true;
  }
};

// ---- runs ----

// Appends (or, without storage, counts) the runs of [from, to). A run of kMinRun bytes
// holds eight equal bytes from some position a multiple of kMinRun / 2 behind `from`, so
// only those positions are looked at first.
int64_t ScanRuns(const uint8_t* data, int64_t from, int64_t to, int64_t n, bool store) {
  constexpr int64_t kStride = kMinRun / 2;
  int64_t x = from;
  while (x + 8 <= to) {
    const uint64_t w = Load64(data + x);
    if (w != (w & 0xFF) * 0x0101010101010101ull) {
      x += kStride;
      continue;
    }
    const uint8_t v = data[x];
    int64_t a = x, b = x + 8;
    while (a > from && data[a - 1] == v) --a;
    while (b + 8 <= to && Load64(data + b) == w) b += 8;
    while (b < to && data[b] == v) ++b;
    if (b - a >= kMinRun) {
      if (store) {
        tables.runStart[n] = uint32_t(a);
        tables.runEnd[n] = uint32_t(b);
      }
      ++n;
    }
    x = from + ((b - from) / kStride + 1) * kStride;
  }
  return n;
}

// The end of the recorded run holding x (x lies in one, by the caller's knowledge).
inline int64_t RunEndAt(int64_t x) {
  const uint32_t* s = tables.runStart;
  const int64_t k = std::upper_bound(s, s + tables.runCount, uint32_t(x)) - s - 1;
  return tables.runEnd[k];
}

// The number of equal bytes at a and b, at most min(aEnd - a, bEnd - b): eight bytes at a
// time, and over runs of one value (both sides inside recorded runs) in one step.
int64_t Extend(const uint8_t* data, int64_t a, int64_t b, int64_t aEnd, int64_t bEnd) {
  const int64_t limit = std::min(aEnd - a, bEnd - b);
  int64_t n = 0, uniform = 0;
  uint64_t uniformWord = 0;
  while (n + 8 <= limit) {
    const uint64_t w = Load64(data + a + n);
    const uint64_t x = w ^ Load64(data + b + n);
    if (x) return n + (std::countr_zero(x) >> 3);
    n += 8;
    if (w == (w & 0xFF) * 0x0101010101010101ull) {
      uniform = (uniform > 0 && w == uniformWord) ? uniform + 8 : 8;
      uniformWord = w;
      if (uniform >= kMinRun && tables.runCount > 0) {
        // Both sides lie inside runs of this value: equal up to the nearer run end; when the
        // two ends differ, the match ends there.
        const int64_t ra = RunEndAt(a + n - 1) - (a + n);
        const int64_t rb = RunEndAt(b + n - 1) - (b + n);
        n += std::min(ra, rb);
        if (ra != rb) return n;
        uniform = 0;
      }
    } else {
      uniform = 0;
    }
  }
  while (n < limit && data[a + n] == data[b + n]) ++n;
  return n;
}

// ---- the order of a large group ----

// Bytes of the string compared for position r: behind its six equal bytes, up to the
// order depth, within the source.
inline int64_t OrderLength(int64_t r, int64_t sourceLength) {
  return std::min<int64_t>(kOrderDepth, sourceLength - (r + 6));
}

// memcmp of two strings of lengths la and lb, the shorter first when one begins the other.
inline int CompareStrings(const uint8_t* a, int64_t la, const uint8_t* b, int64_t lb) {
  const int c = std::memcmp(a, b, size_t(std::min(la, lb)));
  if (c != 0) return c;
  return la < lb ? -1 : la > lb ? 1 : 0;
}

inline int64_t CommonPrefix(const uint8_t* a, const uint8_t* b, int64_t n) {
  int64_t k = 0;
  while (k + 8 <= n) {
    const uint64_t x = Load64(a + k) ^ Load64(b + k);
    if (x) return k + (std::countr_zero(x) >> 3);
    k += 8;
  }
  while (k < n && a[k] == b[k]) ++k;
  return k;
}

// The string a group's order for alignment i compares at position r: the i bytes in
// front of r, then up to kOrderDepth bytes behind its six equal ones within the source
// (at least 12 for every indexed position). The target's string at t is formed alike, but
// within the target.
struct OrderString {
  const uint8_t* front;
  const uint8_t* back;
  int64_t backLength;
};

inline OrderString CandidateString(const uint8_t* data, int64_t r, int i, int64_t sourceLength) {
  return {data + r - i, data + r + 6, OrderLength(r, sourceLength)};
}

inline int Compare(const OrderString& a, const OrderString& b, int i) {
  const int c = std::memcmp(a.front, b.front, size_t(i));
  if (c != 0) return c;
  return CompareStrings(a.back, a.backLength, b.back, b.backLength);
}

// Bytes a and b share from their start (the front bytes included).
inline int64_t Shared(const OrderString& a, const OrderString& b, int i) {
  const int64_t k = CommonPrefix(a.front, b.front, i);
  if (k < i) return k;
  return i + CommonPrefix(a.back, b.back, std::min(a.backLength, b.backLength));
}

struct OrderItem {
  uint64_t key[2];  // the string's first sixteen bytes, most significant first, 0 behind its end
  uint32_t pos;
};

void BuildOrder(Group& g, int i, const uint32_t* positions, const uint8_t* data,
                int64_t sourceLength, OrderItem* items) {
  for (int64_t x = 0; x < g.count; ++x) {
    const uint32_t r = positions[g.first + x];
    const int64_t back = OrderLength(r, sourceLength);
    uint8_t head[16] = {};
    std::memcpy(head, data + r - i, size_t(i));
    std::memcpy(head + i, data + r + 6, size_t(std::min<int64_t>(16 - i, back)));
    uint64_t k0, k1;
    std::memcpy(&k0, head, 8);
    std::memcpy(&k1, head + 8, 8);
    items[x] = OrderItem{{__builtin_bswap64(k0), __builtin_bswap64(k1)}, r};
  }
  // By the keys first; where keys are equal, the whole strings decide (equal keys with a
  // string shorter than 16 bytes still differ in length), then the positions. A stretch of
  // equal keys whose strings are all equal (runs of one value) is in order already.
  auto keyLess = [](const OrderItem& x, const OrderItem& y) {
    if (x.key[0] != y.key[0]) return x.key[0] < y.key[0];
    if (x.key[1] != y.key[1]) return x.key[1] < y.key[1];
    return x.pos < y.pos;
  };
  auto string = [&](const OrderItem& x) { return CandidateString(data, x.pos, i, sourceLength); };
  std::sort(items, items + g.count, keyLess);
  for (int64_t a = 0; a < g.count;) {
    int64_t b = a + 1;
    while (b < g.count && items[b].key[0] == items[a].key[0] && items[b].key[1] == items[a].key[1])
      ++b;
    if (b - a > 1) {
      // The strings equal to the stretch's first keep their order by position; the few
      // others (near the source end, or differing behind the keys) are sorted around them.
      const OrderString first = string(items[a]);
      OrderItem* mid = std::stable_partition(items + a, items + b, [&](const OrderItem& x) {
        return Compare(string(x), first, i) == 0;
      });
      if (mid != items + b) {
        auto full = [&](const OrderItem& x, const OrderItem& y) {
          const int c = Compare(string(x), string(y), i);
          return c != 0 ? c < 0 : x.pos < y.pos;
        };
        std::sort(mid, items + b, full);
        // Equal strings first, then the sorted others: rotate the smaller ones in front.
        OrderItem* greater = std::partition_point(mid, items + b, [&](const OrderItem& x) {
          return Compare(string(x), first, i) < 0;
        });
        std::rotate(items + a, mid, greater);
      }
    }
    a = b;
  }
  uint32_t* out = tables.order[i] + g.order;
  for (int64_t x = 0; x < g.count; ++x) out[x] = items[x].pos;
  g.built |= 1u << i;
}

// ---- work shared between threads ----

// Threads for building one step's tables: none on a helper thread (the steps run in
// parallel there already), none for small sources.
unsigned BuildThreads(int64_t positions) {
  if (OnStepHelper() || positions < (int64_t(1) << 16)) return 1;
  return std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
}

// Runs part(0) .. part(n - 1) on n threads (part(0) on this one); part must not throw.
template <class F>
void RunParts(unsigned n, const F& part) {
  std::vector<std::thread> threads;
  for (unsigned k = 1; k < n; ++k) threads.emplace_back([&part, k] { part(k); });
  part(0);
  for (std::thread& t : threads) t.join();
}

// ---- the bucket sort ----

struct Pair {
  uint32_t value;
  uint32_t pos;
};

// The reference's quicksort (SortBucket) on pairs: the same comparisons and swaps, so the
// same order, without reading the buffer for every comparison.
void SortPairs(Pair* a, int64_t first, int64_t last) {
  while (first < last) {
    int64_t i = first, j = last;
    const uint32_t pivot = a[(first + last) / 2].value;
    while (i <= j) {
      while (a[i].value < pivot) ++i;
      while (a[j].value > pivot) --j;
      if (i <= j) {
        std::swap(a[i], a[j]);
        ++i;
        --j;
      }
    }
    if (j - first < last - i) {
      if (first < j) SortPairs(a, first, j);
      first = i;
    } else {
      if (i < last) SortPairs(a, i, last);
      last = j;
    }
  }
}

// ---- the search state of one call ----

// The entries with the target's bucket and sort value at the current alignment: local
// indexes first .. last in the bucket, and the binary search's hit.
struct EqualEntries {
  const uint32_t* entries = nullptr;
  int64_t first = 0, last = -1, middle = 0;

  // The candidate's place in the reference's test order: downwards from the hit, then
  // upwards from it.
  int64_t Place(int64_t e) const { return e < middle ? middle - 1 - e : (middle - first) + (e - middle); }
  int64_t PlaceOf(int64_t r) const {
    for (int64_t e = first; e <= last; ++e)
      if (entries[e] == uint32_t(r)) return Place(e);
    return -1;
  }
};

constexpr int64_t kUnknown = -1;

struct Search {
  const uint8_t* data;
  int64_t sourceLength, end, t, previous;
  EqualEntries equal;  // of the current alignment
  // The best so far, and its place in the reference's test order (alignment, then place in
  // it; the place is looked up only when two candidates tie on everything else).
  bool any = false;
  int64_t length = 0, cost = 0, offset = 0, gain = 0, dist = 0;
  int alignment = 0;
  int64_t place = kUnknown;

  // False when a candidate of this gain, distance and alignment cannot beat the best
  // whatever its place.
  bool CouldWin(int64_t g, int64_t d, int i) const {
    if (!any) return true;
    if (g != gain) return g > gain;
    if (d != dist) return d < dist;
    return i <= alignment;
  }
  bool Beats(int64_t g, int64_t d, int i, int64_t& where, int64_t r) {
    if (!any) return true;
    if (g != gain) return g > gain;
    if (d != dist) return d < dist;
    if (i != alignment) return i < alignment;
    if (where == kUnknown) where = equal.PlaceOf(r);
    if (place == kUnknown) place = equal.PlaceOf(offset + alignment);
    return where < place;
  }

  // Tests the candidate at source offset s for alignment i (its indexed position is s + i),
  // at the given place in the test order (or kUnknown). `known` is its exact length when
  // the caller knows it, else kUnknown; `checked` bytes behind the six equal ones are
  // known to be equal.
  void Test(int64_t s, int i, int64_t where, int64_t known, int64_t checked) {
    const int64_t d = s - previous;
    const int64_t candidateDist = d < 0 ? -d : d;
    const int64_t dCost = MagnitudeCost(d);
    int64_t upper = known >= 0 ? known : std::min(sourceLength - s, end - t);
    // The best so far stops at its length: a candidate whose byte there differs from the
    // target's is not longer.
    if (known < 0 && any && upper > length && data[s + length] != data[t + length]) upper = length;
    if (upper < kMinCopyLength) return;
    if (!CouldWin(BestLengthGain(upper) - dCost, candidateDist, i)) return;
    if (i > 0 && std::memcmp(data + s, data + t, size_t(i)) != 0) return;
    int64_t len = known;
    if (len < 0) {
      const int64_t from = i + 6 + checked;
      len = from + Extend(data, s + from, t + from, sourceLength, end);
    }
    if (len < kMinCopyLength) return;
    const int64_t candidateCost = MagnitudeCost(len) + dCost;
    if (!Beats(len - candidateCost, candidateDist, i, where, s + i)) return;
    any = true;
    length = len;
    cost = candidateCost;
    offset = s;
    gain = len - candidateCost;
    dist = candidateDist;
    alignment = i;
    place = where;
  }

  // The largest distance from the previous copy at which a candidate of at most len bytes
  // could still beat the best (-1: at none).
  int64_t WinningDistance(int64_t len) const {
    const int64_t top = BestLengthGain(len);
    if (!any || top - 8 > gain) return INT64_MAX;
    if (top - 8 == gain) return std::max<int64_t>(65535, dist);
    if (top - 4 > gain) return 65535;
    if (top - 4 == gain) return std::max<int64_t>(255, std::min<int64_t>(dist, 65535));
    if (top - 1 > gain) return 255;
    if (top - 1 == gain) return std::min<int64_t>(dist, 255);
    return -1;
  }

  // Tests every candidate of alignment i within `far` bytes of the previous copy: the
  // source positions there whose six bytes at the indexed position equal the target's.
  void Probe(int i, int64_t far) {
    const int64_t first = std::max<int64_t>(0, previous - far);
    const int64_t last = std::min<int64_t>(previous + far, tables.lastIndexed - i);
    const uint32_t head = Load32(data + t + i);
    const uint16_t tail = uint16_t(data[t + i + 4] | data[t + i + 5] << 8);
    int64_t s = first + ((4 - i - first) % 5 + 5) % 5;  // s + i is an indexed position
    for (; s <= last; s += 5) {
      const uint8_t* q = data + s + i;
      if (Load32(q) == head && uint16_t(q[4] | q[5] << 8) == tail) Test(s, i, kUnknown, kUnknown, 0);
    }
  }
};

// Tests the candidates r (ascending) of alignment i whose strings equal the target's and
// are one byte value throughout, so that every one lies inside a run of that value in the
// source and the target lies inside one too. Inside a source run [.., end) a candidate s
// copies min(end - s, target run) bytes, and one more stretch when both runs end together;
// so per run it suffices to test the candidate nearest to the previous copy among those
// that reach the target run's end, the one whose run ends with the target's, and behind
// that (where the length falls with s) the first one of each distance band.
void TestRuns(Search& s, int i, const uint32_t* pos, int64_t count) {
  const uint8_t* data = s.data;
  const int64_t targetRun = RunEndAt(s.t) - s.t;
  auto testAt = [&](int64_t first, int64_t last, int64_t at, int64_t runEnd) {
    // The first candidate of the progression first, first + 5, .. last at or behind `at`.
    if (at < first) at = first;
    at = first + (at - first + 4) / 5 * 5;
    if (at > last) return;
    const int64_t room = runEnd - at;
    int64_t len = room < targetRun ? room : targetRun;
    if (room == targetRun) len += Extend(data, runEnd, s.t + targetRun, s.sourceLength, s.end);
    s.Test(at, i, kUnknown, len, kOrderDepth);
  };
  for (int64_t x = 0; x < count;) {
    const int64_t first = int64_t(pos[x]) - i;
    const int64_t runEnd = RunEndAt(first);
    // The candidates of this run: pos[x .. y).
    const int64_t y = std::lower_bound(pos + x, pos + count, uint32_t(runEnd + i)) - pos;
    const int64_t last = int64_t(pos[y - 1]) - i;
    const int64_t boundary = runEnd - targetRun;  // candidates before it reach the target run's end
    // Before the boundary: the nearest to the previous copy, from below and from above.
    const int64_t lastLong = std::min(last, boundary - 1);
    if (first <= lastLong) {
      const int64_t near = std::clamp(s.previous, first, lastLong);
      const int64_t below = first + (near - first) / 5 * 5;
      testAt(first, lastLong, below, runEnd);
      testAt(first, lastLong, below + 5, runEnd);
    }
    // From the boundary on the length falls by five per candidate, so where the distance
    // cost stays the same the first candidate is the best: the boundary itself, and the
    // first candidate of each distance band behind it.
    const int64_t p = s.previous;
    for (int64_t at : {boundary, p - 65535, p - 255, p + 256, p + 65536})
      if (at >= boundary) testAt(first, last, at, runEnd);
    x = y;
  }
}

// Tests the candidates of a large group: a walk outwards from the target's place in the
// group's order for the alignment, in falling order of the bytes they share with the
// target. When only candidates near the previous copy can still win, it tests those
// directly instead.
void WalkGroup(Search& s, Group& g, int i) {
  const uint8_t* data = s.data;
  const SourceIndexView index = IndexView();
  if (!(g.built & (1u << i))) {
    OrderItem* items = Allocate<OrderItem>(g.count);
    BuildOrder(g, i, index.positions, data, s.sourceLength, items);
    std::free(items);
  }
  const uint32_t* pos = tables.order[i] + g.order;
  const int64_t n = g.count;
  const OrderString target{data + s.t, data + s.t + i + 6,
                           std::min<int64_t>(kOrderDepth, s.end - (s.t + i + 6))};
  auto candidate = [&](int64_t x) { return CandidateString(data, pos[x], i, s.sourceLength); };
  // Bytes shared behind the six equal ones, or -1 when the front bytes differ (then no
  // candidate further out has them either).
  auto shared = [&](int64_t x) -> int64_t {
    if (x < 0 || x >= n) return -1;
    // The walk goes on outwards: fetch the strings a few steps ahead.
    if (x + 4 < n) __builtin_prefetch(data + pos[x + 4]);
    if (x >= 4) __builtin_prefetch(data + pos[x - 4]);
    const int64_t k = Shared(candidate(x), target, i);
    return k < i ? -1 : k - i;
  };

  int64_t lo = 0, hi = n;
  while (lo < hi) {
    const int64_t m = (lo + hi) / 2;
    // Fetch both possible next middles while this one is compared.
    __builtin_prefetch(data + pos[(lo + m) / 2]);
    __builtin_prefetch(data + pos[(m + 1 + hi) / 2 < n ? (m + 1 + hi) / 2 : m]);
    if (Compare(candidate(m), target, i) < 0)
      lo = m + 1;
    else
      hi = m;
  }
  int64_t left = lo - 1, right = lo;
  // The entries whose strings equal the target's lie at lo .. equalEnd - 1, by position.
  auto equalEnd = [&] {
    int64_t e = lo, step = 1;
    while (e < n && Compare(candidate(e), target, i) == 0) {
      const int64_t probe = std::min(n, e + step);
      if (probe < n && Compare(candidate(probe), target, i) == 0) {
        e = probe;
        step *= 2;
      } else if (step > 1) {
        step /= 2;
      } else {
        ++e;
      }
    }
    return e;
  };
  const int64_t span = i + 6 + kOrderDepth;
  if (s.t + span <= s.end && tables.runCount > 0 && Extend(data, s.t, s.t + 1, s.end, s.end) >= span - 1) {
    // The target's string is one byte value throughout: the entries equal to it lie in runs
    // of that value; test them run by run.
    const int64_t e = equalEnd();
    TestRuns(s, i, pos + lo, e - lo);
    right = e;
  } else if (s.t + span <= s.end && shared(lo) == kOrderDepth) {
    // Entries equal to the target's string (periodic data, repeated blocks): they are tested
    // in rising distance from the previous copy, so that once the nearest of the longest is
    // known, the farther ones fail at the byte where it stops, without extending them.
    const int64_t e = equalEnd();
    const int64_t at = std::lower_bound(pos + lo, pos + e, uint32_t(std::max<int64_t>(0, s.previous + i))) - pos;
    auto distance = [&](int64_t x) {
      const int64_t d = int64_t(pos[x]) - i - s.previous;
      return d < 0 ? -d : d;
    };
    for (int64_t below = at - 1, above = at; below >= lo || above < e;) {
      const bool down = above >= e || (below >= lo && distance(below) <= distance(above));
      const int64_t x = down ? below-- : above++;
      s.Test(int64_t(pos[x]) - i, i, kUnknown, kUnknown, kOrderDepth);
    }
    right = e;
  }
  int64_t sharedLeft = shared(left), sharedRight = shared(right);
  while (sharedLeft >= 0 || sharedRight >= 0) {
    const bool takeLeft = sharedLeft >= sharedRight;
    const int64_t x = takeLeft ? left : right;
    const int64_t c = takeLeft ? sharedLeft : sharedRight;
    const int64_t r = pos[x];
    if (c < kOrderDepth) {
      // The string ends or differs before the order's depth: the exact length, and no
      // candidate further out is longer.
      const int64_t len = i + 6 + c;
      if (len < kMinCopyLength) break;
      const int64_t far = s.WinningDistance(len);
      if (far < 0) break;
      if (far <= kProbeDistance) {
        s.Probe(i, far);
        break;
      }
      s.Test(r - i, i, kUnknown, len, c);
    } else {
      s.Test(r - i, i, kUnknown, kUnknown, c);
    }
    if (takeLeft)
      sharedLeft = shared(--left);
    else
      sharedRight = shared(++right);
  }
}

}  // namespace

void FreeFastIndex() {
  std::free(tables.values);
  std::free(tables.groups);
  for (uint32_t*& o : tables.order) std::free(o);
  std::free(tables.bloom);
  std::free(tables.runStart);
  std::free(tables.runEnd);
  tables = FastTables{};
}

void BuildFastIndex(uint32_t* values) {
  FreeFastIndex();
  tables.values = values;
  const SourceIndexView index = IndexView();
  const StepData& step = Step();
  const uint8_t* data = step.data;
  uint32_t* positions = const_cast<uint32_t*>(index.positions);

  // Sort every bucket as the reference does, the buckets split between threads by their
  // entries; then note the large groups (at most one per kLargeGroup entries).
  const unsigned threads = BuildThreads(index.total);
  std::vector<int> firstBucket(threads + 1, kBuckets);
  std::vector<Pair*> pairsOf(threads, nullptr);
  struct FreePairs {
    std::vector<Pair*>& p;
    ~FreePairs() {
      for (Pair* q : p) std::free(q);
    }
  } freePairs{pairsOf};
  {
    int64_t seen = 0;
    unsigned k = 0;
    uint32_t most = 0;
    firstBucket[0] = 0;
    for (int b = 0; b < kBuckets; ++b) {
      if (k + 1 < threads && seen >= index.total * int64_t(k + 1) / threads) {
        pairsOf[k] = Allocate<Pair>(std::max<uint32_t>(most, 1));
        firstBucket[++k] = b;
        most = 0;
      }
      seen += index.counts[b];
      most = std::max(most, index.counts[b]);
    }
    pairsOf[k] = Allocate<Pair>(std::max<uint32_t>(most, 1));
    for (unsigned j = k + 1; j <= threads; ++j) firstBucket[j] = kBuckets;
  }
  RunParts(threads, [&](unsigned k) {
    Pair* pairs = pairsOf[k];
    for (int b = firstBucket[k]; b < firstBucket[k + 1]; ++b) {
      const int64_t n = index.counts[b];
      if (n < 2) continue;
      uint32_t* e = positions + index.starts[b];
      uint32_t* v = values + index.starts[b];
      for (int64_t x = 0; x < n; ++x) pairs[x] = Pair{v[x], e[x]};
      SortPairs(pairs, 0, n - 1);
      for (int64_t x = 0; x < n; ++x) {
        e[x] = pairs[x].pos;
        v[x] = pairs[x].value;
      }
    }
  });
  tables.groups = Allocate<Group>(index.total / kLargeGroup + 1);
  int64_t ordered = 0;
  for (int b = 0; b < kBuckets; ++b) {
    const int64_t n = index.counts[b];
    const uint32_t* v = values + index.starts[b];
    for (int64_t k = 0; n >= kLargeGroup && k < n;) {
      int64_t j = k + 1;
      while (j < n && v[j] == v[k]) ++j;
      if (j - k >= kLargeGroup) {
        tables.groups[tables.groupCount++] =
            Group{uint32_t(index.starts[b] + k), uint32_t(j - k), uint32_t(ordered), 0};
        ordered += j - k;
      }
      k = j;
    }
  }
  std::free(tables.values);
  tables.values = nullptr;
  // The orders are built when a search first needs them.
  for (uint32_t*& o : tables.order) o = Allocate<uint32_t>(std::max<int64_t>(ordered, 1));

  // The filter: every candidate start s, with the alignment i whose indexed position is s + i.
  int64_t last = -1;
  for (int64_t p = 4; p < step.sourceLength - 17; p += 5) last = p;
  tables.lastIndexed = last;
  if (last >= 0) {
    tables.bloomBlocks = uint64_t((last + 1) * kBloomBitsPerStart + kBloomBlockBits - 1) / kBloomBlockBits;
    const int64_t words = int64_t(tables.bloomBlocks) * (kBloomBlockBits / 64);
    tables.bloom = Allocate<uint64_t>(words);
    std::memset(tables.bloom, 0, size_t(words) * 8);
    // Start s belongs to alignment (4 - s) mod 5; the hashes run a few starts ahead of
    // the insertions, so the blocks they touch are fetched in time.
    const Bloom bloom{tables.bloom, tables.bloomBlocks};
    constexpr int kAhead = 16;
    uint64_t ahead[kAhead];
    int i = 4;
    for (int64_t s = 0; s <= last + kAhead; ++s) {
      if (s >= kAhead) {
        const int64_t done = s - kAhead;
        if (done + (4 - done % 5) <= last) bloom.Add(ahead[done % kAhead]);
      }
      if (s <= last) {
        ahead[s % kAhead] = WindowHash(data + s, i);
        __builtin_prefetch(bloom.Block(ahead[s % kAhead]), 1);
      }
      i = i == 0 ? 4 : i - 1;
    }
  }

  // The runs, in the source and in the target.
  const int64_t sl = step.sourceLength, total = sl + step.targetLength;
  const int64_t runs = ScanRuns(data, sl, total, ScanRuns(data, 0, sl, 0, false), false);
  if (runs > 0) {
    tables.runStart = Allocate<uint32_t>(runs);
    tables.runEnd = Allocate<uint32_t>(runs);
    tables.runCount = ScanRuns(data, sl, total, ScanRuns(data, 0, sl, 0, true), true);
  }
}

void FindBestMatchFast(int64_t p) {
  const StepData& step = Step();
  const SourceIndexView index = IndexView();
  Search s;
  s.data = step.data;
  s.sourceLength = step.sourceLength;
  s.end = step.sourceLength + step.targetLength;
  s.t = step.sourceLength + p;
  s.previous = PreviousCopyOffset();
  const uint8_t* data = s.data;
  const int64_t t = s.t;

  if (!tables.bloom) {
    SetBest(BestCandidate{});
    return;
  }
  const Bloom bloom{tables.bloom, tables.bloomBlocks};
  uint64_t hashes[5];
  for (int i = 0; i < 5; ++i) {
    hashes[i] = WindowHash(data + t, i);
    __builtin_prefetch(bloom.Block(hashes[i]));
  }
  for (int i = 0; i < 5; ++i) {
    const int key = data[t + i + 5] * 256 + data[t + i];
    const int64_t count = index.counts[key];
    if (count == 0) continue;
    if (!bloom.Has(hashes[i])) continue;
    const int64_t start = index.starts[key];
    const uint32_t* entries = index.positions + start;
    const uint32_t v = SortValue(data, uint32_t(t + i));

    const BucketHit h = SearchBucket(entries, count, v, data);
    if (!h.hit) continue;
    const int64_t middle = h.middle, low = h.low, high = h.high;

    s.equal.entries = entries;
    s.equal.middle = middle;
    if (count >= kLargeGroup) {
      const int64_t g = start + middle;
      Group* groups = tables.groups;
      Group* it = std::upper_bound(groups, groups + tables.groupCount, g,
                                         [](int64_t x, const Group& y) { return x < int64_t(y.first); });
      if (it != groups && g < int64_t(it[-1].first) + it[-1].count) {
        s.equal.first = int64_t(it[-1].first) - start;
        s.equal.last = s.equal.first + it[-1].count - 1;
        WalkGroup(s, it[-1], i);
        continue;
      }
    }
    int64_t first = middle, last = middle;
    while (first - 1 >= low && SortValue(data, entries[first - 1]) == v) --first;
    while (last + 1 <= high && SortValue(data, entries[last + 1]) == v) ++last;
    s.equal.first = first;
    s.equal.last = last;
    for (int64_t e = middle - 1; e >= first; --e) s.Test(int64_t(entries[e]) - i, i, s.equal.Place(e), kUnknown, 0);
    for (int64_t e = middle; e <= last; ++e) s.Test(int64_t(entries[e]) - i, i, s.equal.Place(e), kUnknown, 0);
  }

  BestCandidate best;
  if (s.any) best = BestCandidate{s.length, s.cost, s.offset};
  SetBest(best);
}

}  // namespace engine
