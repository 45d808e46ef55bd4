#include "patch_engine/directory_walk.h"

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <map>
#include <set>
#include <unordered_set>

#include "framework/core/sysutils.h"
#include "patch_engine/cancel.h"
#include "patch_engine/crc32.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "patch_engine/file_record.h"
#include "patch_engine/front_end.h"
#include "patch_engine/patch_stream.h"
#include "patch_engine/step_data.h"
#include "patch_engine/step_jobs.h"
#include "platform/file.h"

namespace engine {

namespace {

constexpr size_t kReadPiece = 2000;
constexpr size_t kMaxExtension = 48;

// Bytes of the target files handled so far and of the whole target tree.
int64_t bytesDone = 0;
int64_t bytesTotal = 0;

// The key of a name or path in the tables of the walk: names that SameText finds equal have
// the same key.
std::string Folded(const std::string& s) { return LowerCase(s); }

// An order, not an equality: by name with the case of ASCII letters ignored, then by exact
// name; the same order on every system.
bool ListedBefore(const platform::DirEntry& a, const platform::DirEntry& b) {
  const std::string fa = Folded(a.name), fb = Folded(b.name);
  if (fa != fb) return fa < fb;
  return a.name < b.name;
}

// A progress point between files.
void ReportFile(const std::string& name) {
  CheckCancel();
  // The front end divides by the total, so it never sees 0.
  FrontEnd().FileProgress(bytesDone, bytesTotal > 0 ? bytesTotal : 1, name);
}

// The chain of a target file, oldest version first and the file itself last.
std::vector<FileScan*> ChainOf(FileScan& file) {
  std::vector<FileScan*> chain{&file};
  for (FileScan* f = file.best; f; f = f->best) chain.push_back(f);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

bool HasCompleteChain(const FileScan& file) { return file.chain == 1 && file.best; }

// True when both files hold the same bytes.
bool SameContents(const std::string& a, const std::string& b) {
  platform::File fa, fb;
  if (!fa.Open(a, platform::OpenMode::Read) || !fb.Open(b, platform::OpenMode::Read)) return false;
  int64_t length = fa.Size();
  if (length < 0 || length != fb.Size()) return false;
  std::vector<uint8_t> pa(65536), pb(65536);
  for (int64_t left = length; left > 0;) {
    size_t want = left < int64_t(pa.size()) ? size_t(left) : pa.size();
    if (fa.Read(pa.data(), want) != want || fb.Read(pb.data(), want) != want) return false;
    if (!std::equal(pa.begin(), pa.begin() + want, pb.begin())) return false;
    left -= int64_t(want);
  }
  return true;
}

// The versions a record of file is made from: its chain without the versions that are
// byte for byte equal to their predecessor under the same path. One version left means
// the file is identical in every version.
std::vector<FileScan*> ChainVersions(FileScan& file) {
  std::vector<FileScan*> versions = ChainOf(file);
  if (Options.KeepIdentical) return versions;
  for (size_t j = versions.size() - 1; j >= 1; --j) {
    FileScan& v = *versions[j];
    FileScan& before = *versions[j - 1];
    if (v.bestScore >= kIdenticalScore && SameText(v.relativePath, before.relativePath) &&
        SameContents(v.fullPath, before.fullPath))
      versions.erase(versions.begin() + std::ptrdiff_t(j));
  }
  return versions;
}

// Writes the record of one target file made from the given versions, or nothing when the
// file is identical in every version.
void PatchChain(FileScan& file, const std::vector<FileScan*>& versions) {
  ReportFile(file.relativePath);
  if (versions.size() == 1) {
    ConsoleLine(msg::FileIdentical, file.relativePath);
  } else {
    auto& slots = FileSlots();
    for (size_t i = 0; i < versions.size(); ++i) {
      slots[i].path = versions[i]->fullPath;
      slots[i].relativePath = versions[i]->relativePath;
    }
    Run().recordStamp = Options.StampNewest ? NewestStamp() : file.stamp;
    ExamineAndWriteFile(file.relativePath, int(versions.size()));
  }
  bytesDone += file.length;
}

}  // namespace

std::vector<std::unique_ptr<RootList>>& RootLists() {
  static std::vector<std::unique_ptr<RootList>> lists;
  return lists;
}

void FreeRootLists() { RootLists().clear(); }

void BuildRootList(RootList& list, const std::string& rootPath) {
  list.rootPath = rootPath;
  list.totalSize = 0;
  list.files.clear();
  if (!ScanDirectory(list, rootPath, "")) RaiseEngineErrorFmt(msg::CannotOpenScannedDirectory, rootPath);
}

bool ScanDirectory(RootList& list, const std::string& dirPath, const std::string& relPath) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(dirPath, entries)) return false;
  std::sort(entries.begin(), entries.end(), ListedBefore);
  for (const platform::DirEntry& e : entries) {
    if (e.isLink) continue;
    if (e.isHidden && !Options.IncludeHidden) continue;
    const std::string full = platform::JoinPath(dirPath, e.name);
    const std::string rel = relPath.empty() ? e.name : relPath + "\\" + e.name;
    if (!e.isDirectory && platform::KindOf(full) == platform::PathKind::Other) {
      ConsoleLine(msg::SkippingNotRegular, rel);
      continue;
    }
    // A patch names a file by its relative path, "\\" between the components, for an
    // applier that makes it under Windows: a name it cannot carry would rebuild another tree.
    if (const size_t at = ForbiddenCharacter(e.name, true); at != std::string::npos)
      RaiseEngineErrorFmt(msg::NameNotStorable, full, DescribeCharacter(e.name[at]));
    if (e.isDirectory) {
      if (!ScanDirectory(list, full, rel)) RaiseEngineErrorFmt(msg::CannotOpenScannedDirectory, full);
    } else {
      AddFile(list, full, rel);
    }
  }
  return true;
}

void AddFile(RootList& list, const std::string& fullPath, const std::string& relPath) {
  CheckCancel();
  auto scan = std::make_unique<FileScan>();
  FileScan& f = *scan;
  f.fullPath = fullPath;
  f.relativePath = relPath;
  size_t slash = relPath.find_last_of("\\/");
  f.fileName = slash == std::string::npos ? relPath : relPath.substr(slash + 1);
  size_t dot = f.fileName.rfind('.');
  if (dot != std::string::npos && f.fileName.size() - dot < kMaxExtension)
    f.extension = f.fileName.substr(dot);

  platform::File file;
  if (!file.Open(fullPath, platform::OpenMode::Read))
    RaiseEngineErrorFmt(msg::CannotAccessScannedFile, fullPath);
  f.stamp = FileDosTimeStamp(file);
  f.length = file.Size();
  if (f.length < 0) RaiseEngineErrorFmt(msg::CannotAccessScannedFile, fullPath);
  uint8_t piece[kReadPiece];
  uint32_t crc = kCrcStart;
  for (int64_t left = f.length; left > 0;) {
    size_t want = left < int64_t(kReadPiece) ? size_t(left) : kReadPiece;
    if (file.Read(piece, want) != want) RaiseEngineErrorFmt(msg::CannotAccessScannedFile, fullPath);
    crc = Crc32Update(piece, want, crc);
    for (size_t i = 0; i < want; ++i) ++f.counts[piece[i]];
    left -= int64_t(want);
  }
  file.Close();
  f.crc = crc;
  f.index = uint32_t(list.files.size());
  for (int v = 0; v < 256; ++v)
    if (f.counts[v]) f.present[size_t(v) / 64] |= uint64_t(1) << (v % 64);
  if (f.length > 0)
    for (int v = 0; v < 256; ++v) f.histogram[v] = double(f.counts[v]) / double(f.length);
  list.totalSize += f.length;
  list.files.push_back(std::move(scan));
}

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
      t->byFoldedName[Folded(f->fileName)].push_back(f->index);
      if (!f->extension.empty()) {
        t->byExtension[f->extension].push_back(f->index);
        t->byFoldedExtension[Folded(f->extension)].push_back(f->index);
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
    byPart(900, Find(t.byFoldedName, Folded(file.fileName)));
    if (!file.extension.empty()) {
      byPart(250, Find(t.byExtension, file.extension));
      byPart(200, Find(t.byFoldedExtension, Folded(file.extension)));
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

void EmbedFile(const std::string& fullPath, const std::string& relPath) {
  WritePatchU8(2);
  platform::File& f = Files().embedded;
  if (!f.Open(fullPath, platform::OpenMode::Read)) RaiseEngineErrorFmt(msg::CannotOpenEmbedFile, fullPath);
  // The length of the file as it is open now, and exactly that many bytes: a file that
  // shrinks meanwhile fails, one that grows is cut at this length.
  const int64_t length = f.Size();
  if (length < 0) RaiseEngineError(msg::CannotReadEmbedFile);
  if (length > kMaxFileLength) RaiseEngineErrorFmt(msg::FileTooLarge, fullPath);
  const uint32_t stamp = FileDosTimeStamp(f);
  WriteNameString(relPath);
  WritePatchU32(uint32_t(length));
  WritePatchU32(stamp);
  CopyFileToPatchStream(f, length, msg::CannotReadEmbedFile);
  f.Close();
  FrontEnd().ShowPatchSize(Files().patch.Size());
}

std::vector<size_t> OrderRecords(const std::vector<RecordPaths>& records, std::vector<size_t>& dropped) {
  const size_t n = records.size();
  std::map<std::string, std::vector<size_t>> writers;
  for (size_t i = 0; i < n; ++i)
    if (!records[i].writes.empty()) writers[Folded(records[i].writes)].push_back(i);
  // after[i]: the records that must come after record i (they rewrite a path it reads);
  // before[j]: the reverse.
  std::vector<std::vector<size_t>> after(n), before(n);
  for (size_t i = 0; i < n; ++i) {
    std::set<size_t> targets;
    for (const std::string& path : records[i].reads) {
      auto it = writers.find(Folded(path));
      if (it == writers.end()) continue;
      for (size_t j : it->second)
        if (j != i) targets.insert(j);
    }
    for (size_t j : targets) {
      after[i].push_back(j);
      before[j].push_back(i);
    }
  }
  // Cycles first: while the records left over by a topological pass wait for each other,
  // walk back along their waits until a record repeats, which closes a cycle, and drop
  // that cycle's latest record. Then the stable pass over what remains.
  std::vector<bool> isDropped(n, false);
  std::vector<size_t> order;
  for (;;) {
    std::vector<size_t> waiting(n, 0);  // records still to come before each one
    for (size_t j = 0; j < n; ++j)
      for (size_t p : before[j])
        if (!isDropped[p]) ++waiting[j];
    std::vector<bool> placed(n, false);
    std::set<size_t> ready;
    for (size_t i = 0; i < n; ++i)
      if (!isDropped[i] && waiting[i] == 0) ready.insert(i);
    order.clear();
    while (!ready.empty()) {
      size_t i = *ready.begin();
      ready.erase(ready.begin());
      order.push_back(i);
      placed[i] = true;
      for (size_t j : after[i])
        if (!isDropped[j] && --waiting[j] == 0) ready.insert(j);
    }
    if (order.size() + dropped.size() == n) break;
    auto left = [&](size_t i) { return !isDropped[i] && !placed[i]; };
    size_t at = 0;
    while (!left(at)) ++at;
    std::vector<size_t> path;
    std::vector<size_t> seenAt(n, SIZE_MAX);
    while (seenAt[at] == SIZE_MAX) {
      seenAt[at] = path.size();
      path.push_back(at);
      for (size_t p : before[at])
        if (left(p)) {
          at = p;
          break;
        }
    }
    size_t latest = *std::max_element(path.begin() + std::ptrdiff_t(seenAt[at]), path.end());
    isDropped[latest] = true;
    dropped.push_back(latest);
  }
  std::sort(dropped.begin(), dropped.end());
  return order;
}

void WalkDirectoryPair() {
  auto& roots = RootLists();
  const int rootCount = int(roots.size());
  RootList& target = *roots.back();
  bytesDone = 0;
  bytesTotal = target.totalSize;
  ResetNewestStamp();

  std::unordered_set<std::string> sourcePaths;
  for (int r = 0; r + 1 < rootCount; ++r)
    for (auto& f : roots[size_t(r)]->files) sourcePaths.insert(Folded(f->relativePath));
  std::map<std::string, std::vector<FileScan*>> targetsByPath;
  for (auto& f : target.files) targetsByPath[Folded(f->relativePath)].push_back(f.get());
  // True when a target file other than file has the given path.
  auto otherTargetHas = [&](const FileScan& file, const std::string& path) {
    auto it = targetsByPath.find(Folded(path));
    if (it == targetsByPath.end()) return false;
    for (FileScan* t : it->second)
      if (t != &file) return true;
    return false;
  };

  // The files that get a record (or turn out identical), in the phases' order.
  std::vector<FileScan*> planned;
  auto plan = [&](FileScan& f) {
    f.processed = true;
    planned.push_back(&f);
  };

  // Phase 1: files matched under a new path.
  for (auto& file : target.files) {
    CheckCancel();
    const bool samePathInSource = sourcePaths.count(Folded(file->relativePath)) > 0;
    if (BuildChain(*file, rootCount - 2) && !samePathInSource) plan(*file);
  }
  // Phase 2: files none of whose chain paths another target file rewrites.
  for (auto& file : target.files) {
    if (file->processed || !HasCompleteChain(*file)) continue;
    bool clash = false;
    for (FileScan* member : ChainOf(*file))
      if (member != file.get() && otherTargetHas(*file, member->relativePath)) clash = true;
    if (!clash) plan(*file);
  }
  // Phase 3: the rest, largest first; a file that reads the path just patched loses its
  // predecessor.
  std::vector<FileScan*> work;
  for (auto& file : target.files)
    if (!file->processed && HasCompleteChain(*file)) work.push_back(file.get());
  while (!work.empty()) {
    size_t largest = 0;
    for (size_t i = 1; i < work.size(); ++i)
      if (work[i]->length >= work[largest]->length) largest = i;
    FileScan& patched = *work[largest];
    plan(patched);
    work.erase(work.begin() + std::ptrdiff_t(largest));
    std::erase_if(work, [&](FileScan* f) {
      for (FileScan* member : ChainOf(*f))
        if (member != f && SameText(member->relativePath, patched.relativePath)) {
          f->best = nullptr;
          f->chain = 0;
          return true;
        }
      return false;
    });
  }

  // Records in an order an applier can follow in place.
  std::vector<std::vector<FileScan*>> versions;
  std::vector<RecordPaths> paths;
  for (FileScan* f : planned) {
    versions.push_back(ChainVersions(*f));
    RecordPaths p;
    if (versions.back().size() > 1) {
      p.writes = f->relativePath;
      for (size_t i = 0; i + 1 < versions.back().size(); ++i)
        p.reads.push_back(versions.back()[i]->relativePath);
    }
    paths.push_back(std::move(p));
  }
  std::vector<size_t> dropped;
  const std::vector<size_t> order = OrderRecords(paths, dropped);
  for (size_t i : dropped) {
    planned[i]->best = nullptr;
    planned[i]->chain = 0;
    planned[i]->processed = false;
  }
  // Helper threads compute the steps while the records are written in order (the
  // reference computes each step when its record is written).
  for (size_t i : order) {
    if (versions[i].size() < 2 || Implementation == StepImplementation::Reference) continue;
    std::vector<std::string> versionPaths;
    std::vector<int64_t> lengths;
    for (FileScan* v : versions[i]) {
      versionPaths.push_back(v->fullPath);
      lengths.push_back(v->length);
    }
    QueueRecord(versionPaths, lengths);
  }
  for (size_t i : order) PatchChain(*planned[i], versions[i]);

  // Phase 4: every target file that got no record is embedded whole: files without a
  // predecessor or without a complete chain, and files that lost theirs in a cycle.
  for (auto& file : target.files) {
    if (file->processed) continue;
    ReportFile(file->relativePath);
    ConsoleLine(msg::EmbeddingFile, file->relativePath);
    EmbedFile(file->fullPath, file->relativePath);
    bytesDone += file->length;
  }
  ReportFile("Done.");
}

}  // namespace engine
