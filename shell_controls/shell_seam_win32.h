#pragma once
// The shell as the shell list and tree reach it for folders, item objects and the SendTo
// folder. One replaceable object answers: the real shell by default; a test installs its
// own to give a folder details or another order, to show a Send To submenu or to see what
// a drop does, where the platform lacks them.
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
};

// The shell in use now.
TQsShell& QsShell();
// Installs shell (null: the real one) and returns the one it replaces (null for the real).
TQsShell* SetQsShell(TQsShell* shell);
