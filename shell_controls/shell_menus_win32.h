#pragma once
// The shell's context menus for the shell list and tree: building a menu of items, finding
// and running verbs, the menu messages while a menu is shown, and Send To (the command
// rules are in shell_menu_rules.h).
//
// The Send To submenu is filled by us: a popup that is still one grayed item once the
// shell has handled WM_INITMENUPOPUP is the Send To popup; its item goes and one
// owner-drawn item per entry of the SendTo folder comes in (identifiers from 1, each with
// its icon). A popup the shell filled itself is left as it is. Owner-draw messages for
// those identifiers, and WM_MENUCHAR for that popup, are ours; other menu messages go to
// the shell's IContextMenu2.
#include <functional>
#include <string>
#include <vector>

#include "framework/controls/imglist.h"
#include "shell_controls/shell_menu_rules.h"
#include "shell_controls/shell_utils_win32.h"

constexpr UINT kExplorerMenuFlags = CMF_EXPLORE;

// The context menu of items of folder (through the shell seam) and a new popup filled by
// it with identifiers from first to 0x7FFF; a fill that fails raises the system text and
// releases both. Returns the HRESULT of getting the menu; menu and popup are null then.
HRESULT BuildContextMenu(HWND window, IShellFolder* folder, UINT count, LPCITEMIDLIST* items, IContextMenu*& menu,
                         HMENU& popup, UINT flags = kExplorerMenuFlags, UINT first = shell::kFirstShellCommand);
// The offset of the first command whose verb is verb (case-insensitive); -1 when none is.
int FindVerb(IContextMenu* menu, const std::string& verb);
// Runs the command at offset; a failure raises the system text.
void RunMenuCommand(HWND window, IContextMenu* menu, UINT offset);
// Runs the command of verb; nothing when the menu has no such verb.
void RunMenuCommand(HWND window, IContextMenu* menu, const std::string& verb);
// Runs the popup's default command when it is a shell command; false when it has none.
bool RunDefaultCommand(HWND window, IContextMenu* menu, HMENU popup);

// The Send To entries of the last scan, shared by every control.
const std::vector<shell::TSendToEntry>& SendToList();
// Scans the SendTo folder: every entry that is neither a folder nor hidden, sorted, at most
// 49; the list is cleared first.
void ScanSendTo();
// Hands data to entry index of the list: DragEnter, DragOver and Drop on the entry's drop
// target with the left button, point (0, 0) and the copy effect; a target that takes no
// effect gets DragLeave instead of Drop. A failing step raises the system text.
void SendTo(int index, IDataObject* data);

// One shown context menu, with what its messages need.
class TQsShellMenu {
 public:
  // Takes over menu and popup (released and destroyed with this); images draws the Send To
  // icons; hint gets the help text of the highlighted command (empty for others).
  TQsShellMenu(IContextMenu* menu, HMENU popup, TImageList* images, std::function<void(const std::string&)> hint);
  ~TQsShellMenu();
  TQsShellMenu(const TQsShellMenu&) = delete;
  TQsShellMenu& operator=(const TQsShellMenu&) = delete;

  // Shows the popup at the screen point and returns what the chosen command does.
  shell::TMenuChoice Track(HWND window, int x, int y);
  // A menu message while the menu is shown; true when it was handled (result set).
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  IContextMenu* Menu() const { return menu_; }
  HMENU SendToPopup() const { return sendTo_; }

 private:
  void InitPopup(WPARAM wp, LPARAM lp);
  bool IsSendToItem(UINT id) const;
  void Measure(MEASUREITEMSTRUCT& mi);
  void Draw(const DRAWITEMSTRUCT& di);
  LRESULT MenuChar(char c, HMENU popup);

  IContextMenu* menu_;
  IContextMenu2* menu2_ = nullptr;
  HMENU popup_;
  HMENU sendTo_ = nullptr;
  TImageList* images_;
  std::function<void(const std::string&)> hint_;
};
