#pragma once
// The shell as the shell list and tree reach it for folders, item objects (context menus,
// drop targets), the SendTo folder, drive types and the tracking of a context menu. One
// replaceable object answers: the real shell by default; a test installs its own to give
// a folder details or another order, to show a Send To submenu, to see what a drop does,
// to have a removable drive or to choose a menu command, where the platform lacks them or
// a user would be needed.
#include <string>

#include "shell_controls/shell_utils_win32.h"

class TQsShell {
 public:
  virtual ~TQsShell() = default;
  // The folder of an absolute list (PidlBindToFolder).
  virtual HRESULT BindFolder(LPCITEMIDLIST absolute, IShellFolder*& folder);
  // An object of items inside folder: IID_IContextMenu, IID_IDropTarget ...
  virtual HRESULT GetUIObjectOf(IShellFolder* folder, HWND owner, UINT count, LPCITEMIDLIST* items, REFIID iid,
                                void** out);
  // The user's SendTo folder (special folder 9); empty when it has no path.
  virtual std::string SendToPath();
  // GetDriveTypeA of a drive root such as "C:\".
  virtual UINT DriveType(const std::string& root);
  // Shows a context menu (TrackPopupMenu, returning the command, right button) and
  // returns the chosen command, 0 for none.
  virtual UINT TrackMenu(HMENU popup, int x, int y, HWND owner);
};

// The shell in use now.
TQsShell& QsShell();
// Installs shell (null: the real one) and returns the one it replaces (null for the real).
TQsShell* SetQsShell(TQsShell* shell);
