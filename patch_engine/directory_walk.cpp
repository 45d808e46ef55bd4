#include "patch_engine/directory_walk.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "framework/core/sysutils.h"
#include "patch_engine/cancel.h"
#include "patch_engine/directory_pairing.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "patch_engine/file_record.h"
#include "patch_engine/front_end.h"
#include "patch_engine/patch_stream.h"
#include "patch_engine/record_order.h"
#include "patch_engine/step_data.h"
#include "patch_engine/step_jobs.h"
#include "platform/file.h"

namespace engine {

namespace {

// Bytes of the target files handled so far and of the whole target tree.
int64_t bytesDone = 0;
int64_t bytesTotal = 0;

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

// The paths of the walk's trees by their folded keys (FoldedName): those of every source
// root, and those of the target root with the files that have them.
struct TreePaths {
  std::unordered_set<std::string> inSources;
  std::map<std::string, std::vector<FileScan*>> targets;

  explicit TreePaths(const std::vector<std::unique_ptr<RootList>>& roots) {
    for (size_t r = 0; r + 1 < roots.size(); ++r)
      for (auto& f : roots[r]->files) inSources.insert(FoldedName(f->relativePath));
    for (auto& f : roots.back()->files) targets[FoldedName(f->relativePath)].push_back(f.get());
  }
  // True when a target file other than file has the given path.
  bool OtherTargetHas(const FileScan& file, const std::string& path) const {
    auto it = targets.find(FoldedName(path));
    if (it == targets.end()) return false;
    for (FileScan* t : it->second)
      if (t != &file) return true;
    return false;
  }
};

// The files that get a record (or turn out identical), in the order the phases plan them.
struct Plan {
  std::vector<FileScan*> files;
  void Add(FileScan& f) {
    f.processed = true;
    files.push_back(&f);
  }
};

// Takes file's predecessor away: it gets no record and is embedded.
void Unchain(FileScan& file) {
  file.best = nullptr;
  file.chain = 0;
}

// Phase 1: builds every target file's chain; files matched under a new path, one no source
// root has, are planned.
void PlanMovedFiles(RootList& target, int rootCount, const TreePaths& paths, Plan& plan) {
  for (auto& file : target.files) {
    CheckCancel();
    const bool samePathInSource = paths.inSources.count(FoldedName(file->relativePath)) > 0;
    if (BuildChain(*file, rootCount - 2) && !samePathInSource) plan.Add(*file);
  }
}

// Phase 2: files none of whose chain paths another target file rewrites.
void PlanFilesWithoutClash(RootList& target, const TreePaths& paths, Plan& plan) {
  for (auto& file : target.files) {
    if (file->processed || !HasCompleteChain(*file)) continue;
    bool clash = false;
    for (FileScan* member : ChainOf(*file))
      if (member != file.get() && paths.OtherTargetHas(*file, member->relativePath)) clash = true;
    if (!clash) plan.Add(*file);
  }
}

// Phase 3: the rest, largest first; a file that reads the path just planned loses its
// predecessor.
void PlanTheRestLargestFirst(RootList& target, Plan& plan) {
  std::vector<FileScan*> work;
  for (auto& file : target.files)
    if (!file->processed && HasCompleteChain(*file)) work.push_back(file.get());
  while (!work.empty()) {
    size_t largest = 0;
    for (size_t i = 1; i < work.size(); ++i)
      if (work[i]->length >= work[largest]->length) largest = i;
    FileScan& patched = *work[largest];
    plan.Add(patched);
    work.erase(work.begin() + std::ptrdiff_t(largest));
    std::erase_if(work, [&](FileScan* f) {
      for (FileScan* member : ChainOf(*f))
        if (member != f && SameText(member->relativePath, patched.relativePath)) {
          Unchain(*f);
          return true;
        }
      return false;
    });
  }
}

// Writes the planned records in an order an applier can follow in place; a record that
// closes a cycle is taken out of the plan again. Helper threads compute the steps while
// the records are written in order (the reference computes each step when its record is
// written).
void WriteRecords(const Plan& plan) {
  std::vector<std::vector<FileScan*>> versions;
  std::vector<RecordPaths> paths;
  for (FileScan* f : plan.files) {
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
    Unchain(*plan.files[i]);
    plan.files[i]->processed = false;
  }
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
  for (size_t i : order) PatchChain(*plan.files[i], versions[i]);
}

// Phase 4: every target file that got no record is embedded whole: files without a
// predecessor or without a complete chain, and files that lost theirs in a cycle.
void EmbedTheRest(RootList& target) {
  for (auto& file : target.files) {
    if (file->processed) continue;
    ReportFile(file->relativePath);
    ConsoleLine(msg::EmbeddingFile, file->relativePath);
    EmbedFile(file->fullPath, file->relativePath);
    bytesDone += file->length;
  }
}

}  // namespace

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

void WalkDirectoryPair() {
  auto& roots = RootLists();
  RootList& target = *roots.back();
  bytesDone = 0;
  bytesTotal = target.totalSize;
  ResetNewestStamp();
  const TreePaths paths(roots);
  Plan plan;
  PlanMovedFiles(target, int(roots.size()), paths, plan);
  PlanFilesWithoutClash(target, paths, plan);
  PlanTheRestLargestFirst(target, plan);
  WriteRecords(plan);
  EmbedTheRest(target);
  ReportFile("Done.");
}

}  // namespace engine
