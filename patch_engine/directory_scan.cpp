#include "patch_engine/directory_scan.h"

#include <algorithm>

#include "patch_engine/cancel.h"
#include "patch_engine/crc32.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/file_names.h"
#include "platform/file.h"

namespace engine {

namespace {

constexpr size_t kReadPiece = 2000;
constexpr size_t kMaxExtension = 48;

// An order, not an equality: by name with the case of ASCII letters ignored, then by exact
// name; the same order on every system.
bool ListedBefore(const platform::DirEntry& a, const platform::DirEntry& b) {
  const std::string fa = FoldedName(a.name), fb = FoldedName(b.name);
  if (fa != fb) return fa < fb;
  return a.name < b.name;
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

}  // namespace engine
