#pragma once
// The rules of the installer's dialogs that need no window: where a dialog is placed on the
// screen, how the wizard pages over pages that may be skipped, the order of the pages, which
// information code a dialog manager answers, the status window's stack of texts, the file
// group page's drive table and its texts, and the check of a start-menu folder name.
//
// How it works: the window classes (dialogs_win32.h) keep no rule of their own; they ask
// these functions and classes and apply the answer to their windows, so every rule is
// checked natively and the Windows tests need only show that the answer reaches the screen.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/geometry.h"
#include "framework/core/published.h"

class TInstallContainer;

enum class TManagerType {
  dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles, dmChangeDisk, dmReboot
};
enum class TKestrinDialogPosition {
  kdpCenterLeft, kdpCenter, kdpCenterRight, kdpBottomLeft, kdpBottomCenter, kdpBottomRight,
  kdpTopLeft, kdpTopCenter, kdpTopRight
};
const TTypeInfo& ManagerTypeTypeInfo();
const TTypeInfo& DialogPositionTypeInfo();

namespace setup_ui {

// The top-left corner of a form of formWidth x formHeight on a screen of screenWidth x
// screenHeight: the column (left, centre, right) and the row (centre, bottom, top) of pos
// with the offsets; a bottom row keeps one caption height free above the screen's edge.
TPoint PlaceDialog(TKestrinDialogPosition pos, int screenWidth, int screenHeight, int formWidth,
                   int formHeight, int captionHeight, int leftOffset, int topOffset);

// The wizard's page index over pages of which some may be skipped. Skip(i) says whether
// page i is passed over (asked each time: a page may change its mind).
class TPager {
 public:
  TPager() = default;
  TPager(int count, std::function<bool(int)> skip) : count_(count), skip_(std::move(skip)) {}
  // Called with the index each time a page becomes (or stays) the current one.
  std::function<void(int)> OnShown;
  int Count() const { return count_; }
  int Index() const { return index_; }
  // The first page from index on that is not skipped, going down when backward, up
  // otherwise, becomes the current one; false when there is none (nothing changes).
  bool ShowPageAt(int index, bool backward);
  // The first page to show when the wizard opens; false when every page is skipped.
  bool Start();
  // Next: the next page that is not skipped, else the nearest one back. True when the
  // current page did not change: the wizard is finished.
  bool Next();
  void Previous();
  // Every page before the current one is skipped.
  bool IsFirstPage() const;
  bool IsLastPage() const { return index_ == count_ - 1; }

 private:
  int count_ = 0;
  std::function<bool(int)> skip_;
  int index_ = 0;
};

// Orders items by key ascending with the exchange sort the wizard's pages use: for each
// i, every later j whose key is strictly smaller than i's is swapped with it (so equal keys
// may change places).
template <class T, class Key>
void ExchangeSort(std::vector<T>& items, Key key) {
  for (size_t i = 0; i < items.size(); ++i)
    for (size_t j = i + 1; j < items.size(); ++j)
      if (key(items[j]) < key(items[i])) std::swap(items[i], items[j]);
}

// What a dialog manager of type does with an information code.
enum class TManagerAction { None, ShowDialogs, FileStatus, DownloadStatus, CloseDuringCopy, ChangeDisk };
TManagerAction ManagerActionFor(int code, TManagerType type);

// The status window's texts: each message is pushed, each clear pops one.
class TStatusStack {
 public:
  // The text becomes the current one.
  void Push(const std::string& text) { texts_.push_back(text); }
  // Pops the top text (nothing when empty); the text to show now, none when the window
  // hides.
  std::optional<std::string> Pop();
  bool Empty() const { return texts_.empty(); }
  size_t Size() const { return texts_.size(); }

 private:
  std::vector<std::string> texts_;
};

// One row of the file group page's drive table.
struct TDriveEntry {
  char Letter;
  int64_t Required;
  int64_t Available;
};
// The drives the install tree below root needs: depth-first from root itself, each object
// whose full destination (upper-cased) is not empty and does not begin with "\" lists its
// first character's drive (a new letter takes freeSpace(letter)); an included file adds its
// size there; the walk goes only into included objects.
std::vector<TDriveEntry> BuildDriveTable(TInstallContainer& root,
                                         const std::function<int64_t(char)>& freeSpace);
// The drive panel's height for count rows.
int DrivePanelHeight(int count);
// "%0.0n %s": bytes with thousands separators and no decimals, a blank and unit.
std::string FormatBytes(int64_t bytes, const std::string& unit);
// Whether a drive is short of space: the row's warning mark.
inline bool DriveShort(const TDriveEntry& e) { return !(e.Required < e.Available); }

// A start-menu folder name: trimmed, not empty, its "\"-separated parts neither empty nor
// "." or "..", none holding / : * ? " < > | or a control character.
bool ValidFolderName(const std::string& name);

}  // namespace setup_ui
