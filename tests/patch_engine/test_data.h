#pragma once
// Deterministic test data for patch tests: random, text-like and record-like bytes, long
// runs of one value, and targets derived from a source by moving, repeating, inserting and
// dropping blocks. The generator is spelled out here (no library distribution), so every
// build makes the same bytes from the same seed.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testdata {

using Bytes = std::vector<uint8_t>;

class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t Next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (n > 0).
  size_t Below(size_t n) { return size_t(Next() % n); }
  size_t Between(size_t lo, size_t hi) { return lo + Below(hi - lo + 1); }

 private:
  uint64_t s_;
};

enum class Kind { Random, Text, Records, Runs };
inline const char* KindName(Kind k) {
  switch (k) {
    case Kind::Random: return "random";
    case Kind::Text: return "text";
    case Kind::Records: return "records";
    case Kind::Runs: return "runs";
  }
  return "?";
}
inline constexpr Kind kKinds[] = {Kind::Random, Kind::Text, Kind::Records, Kind::Runs};

inline Bytes Make(Kind kind, Rng& rng, size_t n) {
  Bytes out;
  out.reserve(n);
  static const char* const words[] = {"the", "patch", "file", "version", "of", "a", "and",
                                      "source", "target", "copy", "run", "byte", "stream",
                                      "Quiltor", "record", "\r\n", "=", "0x1F", "  ", "{", "}"};
  uint32_t record = uint32_t(rng.Next());
  while (out.size() < n) {
    switch (kind) {
      case Kind::Random:
        out.push_back(uint8_t(rng.Next()));
        break;
      case Kind::Text: {
        const char* w = words[rng.Below(sizeof words / sizeof *words)];
        for (const char* c = w; *c; ++c) out.push_back(uint8_t(*c));
        out.push_back(rng.Below(9) ? ' ' : '\n');
        break;
      }
      case Kind::Records: {  // 32-byte records: counter, a name, a small value, zero padding
        ++record;
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(record >> (8 * i)));
        for (int i = 0; i < 12; ++i) out.push_back(uint8_t('a' + (record * 7 + i * 3) % 26));
        out.push_back(uint8_t(rng.Below(4)));
        out.push_back(uint8_t(rng.Next()));
        for (int i = 0; i < 14; ++i) out.push_back(0);
        break;
      }
      case Kind::Runs: {  // runs of one value (bounded, so the match search stays quick)
        const uint8_t v = uint8_t(rng.Below(16) * 17);
        const size_t len = rng.Between(1, 1000);
        out.insert(out.end(), len, v);
        for (size_t i = rng.Below(30); i > 0; --i) out.push_back(uint8_t(rng.Next()));
        break;
      }
    }
  }
  out.resize(n);
  return out;
}

// A target of n bytes pieced together from blocks of the source (moved, repeated, or with
// bytes changed here and there), new data of the given kind, repeats of its own earlier
// blocks and runs of one value.
inline Bytes Derive(Rng& rng, const Bytes& source, size_t n, Kind kind) {
  Bytes out;
  out.reserve(n);
  while (out.size() < n) {
    const size_t choice = rng.Below(12);
    if (choice >= 10 && source.size() >= 100) {
      // A block of the source with a byte changed every 13 to 40 bytes.
      const size_t len = rng.Between(100, source.size() < 3000 ? source.size() : 3000);
      const size_t at = rng.Below(source.size() - len + 1);
      const size_t first = out.size();
      out.insert(out.end(), source.begin() + long(at), source.begin() + long(at + len));
      for (size_t i = first + rng.Below(40); i < out.size(); i += rng.Between(13, 40))
        out[i] = uint8_t(out[i] + 1 + rng.Below(255));
    } else if (choice < 6 && source.size() >= 16) {
      const size_t len = rng.Between(12, source.size() < 2000 ? source.size() : 2000);
      const size_t at = rng.Below(source.size() - len + 1);
      out.insert(out.end(), source.begin() + long(at), source.begin() + long(at + len));
    } else if (choice < 8) {
      const Bytes fresh = Make(kind, rng, rng.Between(1, 300));
      out.insert(out.end(), fresh.begin(), fresh.end());
    } else if (choice < 9 && out.size() >= 16) {
      const size_t len = rng.Between(12, out.size() < 500 ? out.size() : 500);
      const size_t at = rng.Below(out.size() - len + 1);
      const Bytes again(out.begin() + long(at), out.begin() + long(at + len));
      out.insert(out.end(), again.begin(), again.end());
    } else {
      out.insert(out.end(), rng.Between(1, 700), uint8_t(rng.Next()));
    }
  }
  out.resize(n);
  return out;
}

// The next version of a file: a few blocks changed, inserted, dropped or moved.
inline Bytes Evolve(Rng& rng, const Bytes& v, Kind kind) {
  Bytes out = v;
  for (size_t edits = rng.Between(1, 6); edits > 0; --edits) {
    const size_t at = out.empty() ? 0 : rng.Below(out.size() + 1);
    switch (rng.Below(4)) {
      case 0: {  // insert
        const Bytes fresh = Make(kind, rng, rng.Between(1, 400));
        out.insert(out.begin() + long(at), fresh.begin(), fresh.end());
        break;
      }
      case 1: {  // drop
        const size_t len = std::min(out.size() - at, rng.Between(1, 400));
        out.erase(out.begin() + long(at), out.begin() + long(at + len));
        break;
      }
      case 2: {  // overwrite a few bytes
        const size_t len = rng.Between(1, 40);
        for (size_t i = at; i < out.size() && i < at + len; ++i) out[i] = uint8_t(rng.Next());
        break;
      }
      default: {  // move a block to the end
        const size_t len = std::min(out.size() - at, rng.Between(1, 1000));
        const Bytes block(out.begin() + long(at), out.begin() + long(at + len));
        out.erase(out.begin() + long(at), out.begin() + long(at + len));
        out.insert(out.end(), block.begin(), block.end());
        break;
      }
    }
  }
  return out;
}

// ---- in-place edits, for tests that need an exact match list ----

// A random source without the byte 'A' (so 'A' always changes a byte).
inline Bytes SourceWithoutA(size_t n, uint64_t seed) {
  Rng rng(seed);
  Bytes s = Make(Kind::Random, rng, n);
  for (auto& b : s)
    if (b == 'A') b = 'B';
  return s;
}

enum class Change { PlusOne, LetterA, Random };

// The target: the source from offset 0 on, as pieces that keep `keep` bytes and then change
// `change` bytes; it ends after the last piece.
inline Bytes InPlace(const Bytes& source, const std::vector<std::pair<size_t, size_t>>& pieces,
                     Change how = Change::Random) {
  Bytes t;
  Rng rng(99);
  for (const auto& [keep, change] : pieces) {
    const size_t at = t.size();
    t.insert(t.end(), source.begin() + long(at), source.begin() + long(at + keep + change));
    for (size_t i = at + keep; i < t.size(); ++i) {
      switch (how) {
        case Change::PlusOne: t[i] = uint8_t(t[i] + 1); break;
        case Change::LetterA: t[i] = 'A'; break;
        case Change::Random: t[i] = uint8_t(t[i] + 1 + rng.Below(255)); break;
      }
    }
  }
  return t;
}

inline std::vector<std::pair<size_t, size_t>> Repeat(size_t times, size_t keep, size_t change) {
  return std::vector<std::pair<size_t, size_t>>(times, {keep, change});
}


using Pieces = std::vector<std::pair<size_t, size_t>>;
inline Pieces Join(std::initializer_list<Pieces> parts) {
  Pieces all;
  for (const Pieces& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace testdata
