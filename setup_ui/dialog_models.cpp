#include "setup_ui/dialog_models.h"

#include <cmath>

#include "framework/core/sysutils.h"
#include "setup_engine/install_file.h"

const TTypeInfo& ManagerTypeTypeInfo() {
  static const TTypeInfo info{{"dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall",
                               "dmDuringCopyFiles", "dmChangeDisk", "dmReboot"},
                              {}};
  return info;
}

const TTypeInfo& DialogPositionTypeInfo() {
  static const TTypeInfo info{{"kdpCenterLeft", "kdpCenter", "kdpCenterRight", "kdpBottomLeft",
                               "kdpBottomCenter", "kdpBottomRight", "kdpTopLeft", "kdpTopCenter",
                               "kdpTopRight"},
                              {}};
  return info;
}

namespace setup_ui {

TPoint PlaceDialog(TKestrinDialogPosition pos, int screenWidth, int screenHeight, int formWidth,
                   int formHeight, int captionHeight, int leftOffset, int topOffset) {
  // The toolkit's Round: halves go to the even neighbour.
  const int cx = int(std::nearbyint(screenWidth / 2.0 - formWidth / 2.0));
  const int cy = int(std::nearbyint(screenHeight / 2.0 - formHeight / 2.0));
  const int p = int(pos);
  const int column = p % 3;  // left, centre, right
  const int row = p / 3;     // centre, bottom, top
  TPoint at;
  at.X = column == 0 ? leftOffset : column == 1 ? cx + leftOffset : screenWidth - formWidth - leftOffset;
  at.Y = row == 0   ? cy + topOffset
         : row == 1 ? screenHeight - captionHeight - formHeight - topOffset
                    : topOffset;
  return at;
}

bool TPager::ShowPageAt(int index, bool backward) {
  for (; index >= 0 && index < count_; index += backward ? -1 : 1) {
    if (skip_(index)) continue;
    index_ = index;
    if (OnShown) OnShown(index);
    return true;
  }
  return false;
}

bool TPager::Start() { return ShowPageAt(0, true) || ShowPageAt(0, false); }

bool TPager::Next() {
  const int before = index_;
  if (!ShowPageAt(index_ + 1, false)) ShowPageAt(index_ + 1, true);
  return index_ == before;
}

void TPager::Previous() {
  if (!ShowPageAt(index_ - 1, true)) ShowPageAt(index_ - 1, false);
}

bool TPager::IsFirstPage() const {
  for (int i = 0; i < index_ && i < count_; ++i)
    if (!skip_(i)) return false;
  return true;
}

TManagerAction ManagerActionFor(int code, TManagerType type) {
  using M = TManagerType;
  switch (code) {
    case -980: return type == M::dmBeforeInstall ? TManagerAction::ShowDialogs : TManagerAction::None;
    case -979: return type == M::dmAfterGoodInstall ? TManagerAction::ShowDialogs : TManagerAction::None;
    case -978: return type == M::dmAfterBadInstall ? TManagerAction::ShowDialogs : TManagerAction::None;
    case -987: return type == M::dmReboot ? TManagerAction::ShowDialogs : TManagerAction::None;
    case -998: return type == M::dmDuringCopyFiles ? TManagerAction::FileStatus : TManagerAction::None;
    case -988: return type == M::dmDuringCopyFiles ? TManagerAction::DownloadStatus : TManagerAction::None;
    case -996: return type == M::dmDuringCopyFiles ? TManagerAction::CloseDuringCopy : TManagerAction::None;
    case -993: return type == M::dmChangeDisk ? TManagerAction::ChangeDisk : TManagerAction::None;
    default: return TManagerAction::None;
  }
}

std::optional<std::string> TStatusStack::Pop() {
  if (!texts_.empty()) texts_.pop_back();
  if (texts_.empty()) return std::nullopt;
  return texts_.back();
}

namespace {

void AddDrives(TInstallContainer& object, std::vector<TDriveEntry>& table,
               const std::function<int64_t(char)>& freeSpace) {
  const std::string dest = AnsiUpperCase(object.GetFullDestDir());
  const bool included = object.IsIncluded();
  if (!dest.empty() && dest[0] != '\\') {
    int64_t required = 0;
    if (included)
      if (auto* file = dynamic_cast<TCustomInstallFile*>(&object)) required = file->Size();
    const char letter = dest[0];
    TDriveEntry* entry = nullptr;
    for (TDriveEntry& e : table)
      if (e.Letter == letter) entry = &e;
    if (!entry) {
      table.push_back({letter, 0, freeSpace(letter)});
      entry = &table.back();
    }
    entry->Required += required;
  }
  if (!included) return;
  for (TInstallObject* child : object.Children()) AddDrives(*child, table, freeSpace);
}

}  // namespace

std::vector<TDriveEntry> BuildDriveTable(TInstallContainer& root,
                                         const std::function<int64_t(char)>& freeSpace) {
  std::vector<TDriveEntry> table;
  AddDrives(root, table, freeSpace);
  return table;
}

int DrivePanelHeight(int count) { return count > 2 ? 61 : 18 * count + 25; }

std::string FormatBytes(int64_t bytes, const std::string& unit) {
  return Format("%0.0n %s", {double(bytes), unit});
}

bool ValidFolderName(const std::string& name) {
  const std::string folder = Trim(name);
  if (folder.empty()) return false;
  size_t start = 0;
  while (true) {
    const size_t end = folder.find('\\', start);
    const std::string part = folder.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    for (unsigned char c : part)
      if (c < 32 || c == 127 || std::string("/:*?\"<>|").find(char(c)) != std::string::npos) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

}  // namespace setup_ui
