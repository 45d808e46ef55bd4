#include "shell_controls/shell_list_rules.h"

#include <cstring>

#include "framework/core/sysutils.h"

namespace shell {

namespace {

const uint16_t kPresetWidths[5] = {200, 60, 100, 120, 50};

}  // namespace

std::vector<std::string> SplitMasks(const std::string& filter) {
  std::vector<std::string> r;
  size_t at = 0;
  while (at <= filter.size()) {
    size_t end = filter.find(';', at);
    if (end == std::string::npos) end = filter.size();
    if (end > at) r.push_back(filter.substr(at, end - at));
    at = end + 1;
  }
  return r;
}

bool FilterActive(const std::string& filter) { return !filter.empty() && filter != "*" && filter != "*.*"; }

int TDirectoryCols::Width(int column) const {
  if (column < 0 || size_t(column) * 2 + 1 >= kDirectoryColsMax) return 0;
  return Bytes[2 * column] | Bytes[2 * column + 1] << 8;
}

TDirectoryCols ReadDirectoryCols(const uint8_t* value, size_t size) {
  TDirectoryCols c;
  for (int i = 0; i < 5; ++i) {
    c.Bytes[2 * i] = uint8_t(kPresetWidths[i]);
    c.Bytes[2 * i + 1] = uint8_t(kPresetWidths[i] >> 8);
  }
  if (value && size <= kDirectoryColsMax) {
    if (size) std::memcpy(c.Bytes, value, size);
    c.Size = int(size);
  }
  return c;
}

bool SameDirectoryCols(const TDirectoryCols& last, const TDirectoryCols& now) {
  return last.Size != 0 && last.Size == now.Size && std::memcmp(last.Bytes, now.Bytes, kDirectoryColsMax) == 0;
}

void WriteColumnLayout(TMemoryStream& stream, const std::vector<int>& widths) {
  stream.Clear();
  int32_t n = int32_t(widths.size());
  stream.WriteBuffer(&n, 4);
  for (int w : widths) {
    int32_t v = w;
    stream.WriteBuffer(&v, 4);
  }
  stream.SetPosition(0);
}

std::vector<int> ReadColumnLayout(TMemoryStream& stream, int columns) {
  std::vector<int> r;
  stream.SetPosition(0);
  int32_t n = 0;
  if (columns <= 0 || stream.Read(&n, 4) != 4) return r;
  if (n > columns - 1) n = columns - 1;
  for (int32_t i = 0; i <= n; ++i) {
    int32_t w = 0;
    if (stream.Read(&w, 4) != 4) break;
    r.push_back(w);
  }
  return r;
}

std::string KiloBytesText(uint64_t bytes, const std::string& kbFormat) {
  uint64_t kb = bytes / 1024 + (bytes % 1024 ? 1 : 0);
  return FormatTolerant(kbFormat, {Format("%.0n", {double(kb)})});
}

std::string NewFolderName(const std::string& base, int attempt) {
  return attempt <= 1 ? base : base + " (" + IntToStr(attempt) + ")";
}

TNewFolderResult MakeNewFolder(const std::string& base, uint32_t existsCode,
                               const std::function<uint32_t(const std::string& name)>& create) {
  for (int attempt = 1; attempt <= kNewFolderAttempts; ++attempt) {
    std::string name = NewFolderName(base, attempt);
    uint32_t code = create(name);
    if (code == 0) return {true, name, 0};
    if (code != existsCode) return {false, name, code};
  }
  return {false, base, existsCode};
}

bool IncludeItem(uint32_t a, bool nonFilesystemAncestors, bool hideLinkedFolders) {
  if (!nonFilesystemAncestors && !(a & (kAttrFileSystem | kAttrFileSysAncestor))) return false;
  if (hideLinkedFolders && (a & kAttrFolder) && (a & kAttrFileSystem) && !(a & kAttrStream)) return false;
  return true;
}

int NextSortColumn(int sortColumn, int clickedIndex) {
  int column = clickedIndex + 1;
  return column == sortColumn ? -sortColumn : column;
}

int SortOrder(uint32_t compareResult, int sortColumn) {
  int r = int16_t(uint16_t(compareResult & 0xFFFF));
  return sortColumn < 0 ? -r : r;
}

std::string DriveRootOf(const std::string& path) {
  if (path.size() <= 3 || path[1] != ':') return {};
  char d = path[0];
  if (!((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z'))) return {};
  return std::string(1, d) + ":\\";
}

}  // namespace shell
