#pragma once
// What the viewer control decides without a window: its history of pages, where its scroll
// bars stand and how far they reach, and how a link's name becomes a file name. The control
// (doc_viewer_win32) keeps one of each and asks them; tests ask them directly.
#include <cstdint>
#include <string>
#include <vector>

// ---- History

enum TDocFileType : uint8_t { ftHtml = 0, ftText = 1, ftImage = 2 };

struct THistoryEntry {
  std::string File, Title;
  int32_t Position = 0;  // the packed view position
  TDocFileType Type = ftHtml;
};

// Entry 0 is the page shown, entry 1 the one before it. File names compare ignoring case.
class TDocHistory {
 public:
  int MaxCount() const { return maxCount_; }
  // Negative and unchanged values are ignored; a smaller value clears everything. True when
  // entries went.
  bool SetMaxCount(int count);
  // Records that the viewer left the page (file, title, type, position) for the current one;
  // true when the history changed. Nothing happens without history, without a current file,
  // or when the current page is the one left.
  bool Push(const THistoryEntry& left, const THistoryEntry& current);
  const std::vector<THistoryEntry>& Entries() const { return entries_; }
  int Index() const { return index_; }
  void Clear() { entries_.clear(), index_ = 0; }

 private:
  std::vector<THistoryEntry> entries_;
  int index_ = 0;
  int maxCount_ = 0;
};

// ---- Scroll bars

enum TScrollBarsAllowed : uint8_t { sbNone = 0, sbHorizontal = 1, sbVertical = 2, sbBoth = 3 };

struct TScrollInput {
  int ClientWidth = 0, ClientHeight = 0;
  int VBarWidth = 16, HBarHeight = 16;
  uint8_t Allowed = sbBoth;
  bool Bordered = true;  // a one-pixel border insets the panel
  int DocHeight = 0, MaxWidth = 0;
};

struct TScrollLayout {
  bool VBar = false, HBar = false;
  int PanelWidth = 0, PanelHeight = 0;
  int HMax = 0, HLarge = 1;
  int VMax = 0, VPage = 0, VLarge = 1;
};

// The width a document is laid out at (at least 1).
int LayoutWidth(const TScrollInput& in);
TScrollLayout ComputeScrollBars(const TScrollInput& in);
// A vertical target within 0 .. max(0, document height - panel height).
int ClampVertical(int target, const TScrollLayout& bars);
int ClampHorizontal(int target, const TScrollLayout& bars);

constexpr int kVSmallChange = 16, kHSmallChange = 15;
// The keys the viewer scrolls by (Windows virtual-key numbers).
constexpr uint16_t kVkPrior = 33, kVkNext = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37, kVkUp = 38,
                   kVkRight = 39, kVkDown = 40;
// The positions after a key; false when the key does not scroll.
bool ScrollForKey(uint16_t key, const TScrollLayout& bars, int& top, int& left);

// ---- Link names

struct TLinkContext {
  std::string CurrentFile;  // the shown file, empty when none
  std::string Base;         // the document's BASE
  std::string CurrentDir;   // with or without a final "\"
  std::string Drive;        // "C:"
};

// "c:\a\.\b\..\c.htm" -> "c:\a\c.htm"; "\" separators.
std::string NormalizeDosPath(const std::string& path);
// A link's name as a file name: trimmed, a URL turned into a path, "\..." on the current
// drive, relative names against the BASE (as a path) or the current file's folder (or the
// current folder), and left as they are under a BASE of "DosPath".
std::string ExpandLinkName(const std::string& name, const TLinkContext& context);
// The name split at "#": the file part and the anchor ("a.html#" has none).
void SplitAnchor(const std::string& name, std::string& file, std::string& anchor);
// How a followed link is shown, from its extension.
enum class TLinkKind : uint8_t { lkHtml, lkImage, lkNothing };
TLinkKind KindOfLink(const std::string& fileName);
