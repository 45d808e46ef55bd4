#include "shell_controls/shell_seam_win32.h"

namespace {

TQsShell* installed = nullptr;

TQsShell& RealShell() {
  static TQsShell real;
  return real;
}

}  // namespace

HRESULT TQsShell::BindFolder(LPCITEMIDLIST absolute, IShellFolder*& folder) { return PidlBindToFolder(absolute, folder); }

HRESULT TQsShell::GetUIObjectOf(IShellFolder* folder, HWND owner, UINT count, LPCITEMIDLIST* items, REFIID iid,
                                void** out) {
  *out = nullptr;
  return folder->GetUIObjectOf(owner, count, items, iid, nullptr, out);
}

std::string TQsShell::SendToPath() { return SpecialFolderPath(nullptr, CSIDL_SENDTO); }

UINT TQsShell::DriveType(const std::string& root) { return GetDriveTypeA(root.c_str()); }

UINT TQsShell::TrackMenu(HMENU popup, int x, int y, HWND owner) {
  return UINT(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr));
}

TQsShell& QsShell() { return installed ? *installed : RealShell(); }

TQsShell* SetQsShell(TQsShell* shell) {
  TQsShell* old = installed;
  installed = shell;
  return old;
}
