#include "patch_engine/directory_pairing.h"

#include <bit>
#include <unordered_map>

#include "framework/core/sysutils.h"
#include "patch_engine/file_names.h"
#include "patch_engine/step_data.h"

namespace engine {

namespace {

constexpr int kBestScore = kIdenticalScore + 2500;  // no candidate scores higher
constexpr int kTooShort = -1000;

int NamePart(const FileScan& file, const FileScan& candidate) {
  if (file.fileName == candidate.fileName) return 1000;
  if (SameText(file.fileName, candidate.fileName)) return 900;
  if (file.extension.empty()) return 0;
  if (file.extension == candidate.extension) return 250;
  if (SameText(file.extension, candidate.extension)) return 200;
  return 0;
}

bool SameContent(const FileScan& a, const FileScan& b) { return a.length == b.length && a.crc == b.crc; }

// -10 for every byte value in the candidate but not in the file, -1 for the reverse.
int Penalties(const FileScan& file, const FileScan& candidate) {
  int score = 0;
  for (size_t w = 0; w < 4; ++w) {
    score -= 10 * std::popcount(candidate.present[w] & ~file.present[w]);
    score -= std::popcount(file.present[w] & ~candidate.present[w]);
  }
  return score;
}

int HistogramBonus(const FileScan& file, const FileScan& candidate) {
  double f = 0;
  for (int v = 0; v < 256; ++v) {
    double d = file.histogram[v] - candidate.histogram[v];
    f += d * d;
  }
  if (f < 0.00001) return 2500;
  if (f < 0.0001) return 1500;
  if (f < 0.001) return 500;
  if (f < 0.01) return 100;
  if (f < 0.1) return 50;
  return 0;
}

// The score of ScoreCandidate, without changing the best.
int Score(const FileScan& file, const FileScan& candidate) {
  int score = NamePart(file, candidate);
  if (SameContent(file, candidate))
    score = kIdenticalScore;
  else if (candidate.length < 200)
    return kTooShort;
  return score + Penalties(file, candidate) + HistogramBonus(file, candidate);
}

// The best candidate found so far: the highest score, and of equal scores the one earliest
// in scan order (the one ScoreCandidate keeps when it scores them in that order).
struct BestSoFar {
  int score;
  int64_t index = -1;  // -1: the initial score, which a candidate must exceed
  FileScan* file = nullptr;

  bool Beaten(int s, int64_t i) const { return s > score || (s == score && index >= 0 && i < index); }
};

}  // namespace

// A root's files by content (length and CRC-32) and by name part, each list in scan order.
struct PairingTables {
  std::unordered_map<uint64_t, std::vector<uint32_t>> byContent;
  std::unordered_map<std::string, std::vector<uint32_t>> byName, byFoldedName, byExtension,
      byFoldedExtension;
};

namespace {

uint64_t ContentKey(const FileScan& f) { return uint64_t(f.length) << 32 ^ f.crc; }

PairingTables& Pairing(RootList& root) {
  if (!root.pairing) {
    auto t = std::make_shared<PairingTables>();
    for (auto& f : root.files) {
      t->byContent[ContentKey(*f)].push_back(f->index);
      t->byName[f->fileName].push_back(f->index);
      t->byFoldedName[FoldedName(f->fileName)].push_back(f->index);
      if (!f->extension.empty()) {
        t->byExtension[f->extension].push_back(f->index);
        t->byFoldedExtension[FoldedName(f->extension)].push_back(f->index);
      }
    }
    root.pairing = std::move(t);
  }
  return *root.pairing;
}

const std::vector<uint32_t>* Find(const std::unordered_map<std::string, std::vector<uint32_t>>& m,
                                  const std::string& key) {
  auto it = m.find(key);
  return it == m.end() ? nullptr : &it->second;
}

// The best of root for file, as ScoreCandidate over all its files in scan order finds it.
void ScoreAgainstRoot(FileScan& file, RootList& root) {
  PairingTables& t = Pairing(root);
  BestSoFar best{file.bestScore};
  auto consider = [&](uint32_t i) {
    FileScan& c = *root.files[i];
    const int s = Score(file, c);
    if (best.Beaten(s, i)) best = BestSoFar{s, i, &c};
  };
  // Equal content first: a score of 12500 is final.
  auto same = t.byContent.find(ContentKey(file));
  if (same != t.byContent.end())
    for (uint32_t i : same->second) {
      consider(i);
      if (best.score == kBestScore) break;
    }
  // Then by name part, highest first, each file skipped when its bound cannot win.
  auto bounded = [&](uint32_t i) {
    const FileScan& c = *root.files[i];
    if (SameContent(file, c) || c.length < 200) return;  // scored above, or never the best
    if (best.Beaten(NamePart(file, c) + Penalties(file, c) + 2500, i)) consider(i);
  };
  auto byPart = [&](int part, const std::vector<uint32_t>* list) {
    if (list && best.Beaten(part + 2500, 0))
      for (uint32_t i : *list) bounded(i);
  };
  if (best.score < kBestScore) {
    byPart(1000, Find(t.byName, file.fileName));
    byPart(900, Find(t.byFoldedName, FoldedName(file.fileName)));
    if (!file.extension.empty()) {
      byPart(250, Find(t.byExtension, file.extension));
      byPart(200, Find(t.byFoldedExtension, FoldedName(file.extension)));
    }
    if (best.Beaten(2500, 0))
      for (auto& c : root.files)
        if (NamePart(file, *c) == 0) bounded(c->index);
  }
  if (best.file) {
    file.bestScore = best.score;
    file.best = best.file;
  }
}

}  // namespace

int ScoreCandidate(FileScan& file, FileScan& candidate) {
  const int score = Score(file, candidate);
  if (score == kTooShort) return score;
  if (score > file.bestScore) {
    file.bestScore = score;
    file.best = &candidate;
  }
  return score;
}

bool BuildChain(FileScan& file, int rootIndex) {
  if (rootIndex < 0) return true;
  if (file.chain >= 0) return file.chain == 1;
  RootList& root = *RootLists()[size_t(rootIndex)];
  if (Implementation == StepImplementation::Reference)
    for (auto& candidate : root.files) ScoreCandidate(file, *candidate);
  else
    ScoreAgainstRoot(file, root);
  bool complete = file.best && BuildChain(*file.best, rootIndex - 1);
  file.chain = complete ? 1 : 0;
  return complete;
}

}  // namespace engine
