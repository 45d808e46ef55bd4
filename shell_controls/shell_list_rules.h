#pragma once
// The shell list's rules that need no shell: the file filter's masks, the Explorer's
// saved column widths ("DirectoryCols"), the shared column-layout stream, the size text,
// new-folder names, the include rule and the sort column.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/streams.h"

namespace shell {

// The masks of a filter text: pieces between ";", empty ones skipped.
std::vector<std::string> SplitMasks(const std::string& filter);
// Whether a filter limits the files: not empty, "*" or "*.*".
bool FilterActive(const std::string& filter);

// The Explorer's "DirectoryCols" value: at most 22 bytes over the preset words 200, 60,
// 100, 120, 50 (little-endian).
constexpr size_t kDirectoryColsMax = 22;
struct TDirectoryCols {
  uint8_t Bytes[kDirectoryColsMax] = {};
  int Size = 10;  // bytes read; 10 when nothing was
  // The width of column i (0..10) from the words.
  int Width(int column) const;
};
// value is null when the value is missing; a value over 22 bytes is not read.
TDirectoryCols ReadDirectoryCols(const uint8_t* value, size_t size);
// The value read last (Size 0 before the first read) and the one read now: the widths come
// from the layout stream when a value was read before, it is the same and the stream holds
// data.
bool SameDirectoryCols(const TDirectoryCols& last, const TDirectoryCols& now);

// The column layout every list shares: a 32-bit count, then each width as 32 bits. A write
// replaces what the stream held; a read starts at its beginning, takes a count limited to
// the columns less one and then that many plus one widths, and stops at a short read.
void WriteColumnLayout(TMemoryStream& stream, const std::vector<int>& widths);
// The widths read, for columns 0 onward (fewer than the columns when the stream is short).
std::vector<int> ReadColumnLayout(TMemoryStream& stream, int columns);

// The size column: the byte count divided by 1024 and rounded up, thousands grouped, in
// kbFormat (the shell text "%sKB").
std::string KiloBytesText(uint64_t bytes, const std::string& kbFormat);

// New folders: "New Folder", then "New Folder (2)" to "New Folder (50)".
constexpr int kNewFolderAttempts = 50;
std::string NewFolderName(const std::string& base, int attempt);
// Tries the names in turn; create(name) answers 0 when it made the folder, existsCode
// when the name is taken (the next is tried), any other code to give up.
struct TNewFolderResult {
  bool Ok = false;
  std::string Name;   // the folder made, or the name the error is about
  uint32_t Error = 0;  // the failing code; existsCode when every name was taken
};
TNewFolderResult MakeNewFolder(const std::string& base, uint32_t existsCode,
                               const std::function<uint32_t(const std::string& name)>& create);

// Item attributes the list tests.
constexpr uint32_t kAttrCanLink = 0x4, kAttrCanRename = 0x10, kAttrLink = 0x10000, kAttrShare = 0x20000,
                   kAttrReadOnly = 0x40000, kAttrGhosted = 0x80000, kAttrStream = 0x00400000,
                   kAttrValidate = 0x01000000,
                   kAttrRemovable = 0x02000000, kAttrFileSysAncestor = 0x10000000, kAttrFolder = 0x20000000,
                   kAttrFileSystem = 0x40000000, kAttrHasSubfolder = 0x80000000u;
constexpr uint32_t kIncludeMask = 0xF24B0000u;
// The include rule before DoAddItem: every item with nonFilesystemAncestors, else file-system
// items and ancestors; with hideLinkedFolders (and a tree linked) no file-system folder
// that is not a stream (the tree shows them; a file-system folder is also its own
// file-system ancestor, so that bit tells nothing).
bool IncludeItem(uint32_t attributes, bool nonFilesystemAncestors, bool hideLinkedFolders);

// The sort column after a click on the header of column index (0-based): the same column
// flips its sign, another becomes the sort column ascending.
int NextSortColumn(int sortColumn, int clickedIndex);
// A CompareIDs result (its low 16 bits signed) for the sort column's direction.
int SortOrder(uint32_t compareResult, int sortColumn);

// The root "X:\" of a drive path longer than three characters; empty for any other.
std::string DriveRootOf(const std::string& path);

}  // namespace shell
