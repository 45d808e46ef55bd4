#pragma once
// Small helpers the shell tree and the shell list share: the hourglass for a scope, the
// attributes of one item, the wide form of an ANSI text and the split of an absolute list
// into its parent folder and last item.
#include <string>

#include "framework/win/application.h"
#include "shell_controls/shell_seam_win32.h"

// The hourglass for a scope.
class THourglass {
 public:
  THourglass() : old_(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~THourglass() {
    if (Screen) Screen->SetCursor(old_);
  }

 private:
  TCursor old_;
};

// The attributes of item in folder asked for by mask; zero (and *ok false) when there is
// no folder or item or the folder cannot tell.
inline ULONG AttributesOf(IShellFolder* folder, LPCITEMIDLIST item, ULONG mask, bool* ok = nullptr) {
  ULONG a = mask;
  LPCITEMIDLIST items[1] = {item};
  bool good = folder && item && SUCCEEDED(folder->GetAttributesOf(1, items, &a));
  if (ok) *ok = good;
  return good ? a : 0;
}

inline std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  if (n) MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), w.data(), n);
  return w;
}

// The folder that holds absolute (split into parent and last item) and that item; the
// Desktop (nil or an empty list) stands for itself through the file-system Desktop
// directory.
inline HRESULT SplitFolder(LPCITEMIDLIST absolute, TComRef<IShellFolder>& parent, TPidl& item) {
  TPidl own;
  if (shell::IsEmptyList(Bytes(absolute))) {
    HRESULT hr = SpecialFolderPidl(nullptr, CSIDL_DESKTOPDIRECTORY, own.Out());
    if (FAILED(hr)) return hr;
    absolute = own.Get();
  }
  int n = shell::ListCount(Bytes(absolute));
  if (n == 0) return E_FAIL;
  TPidl parentList(AsPidl(shell::LeadingItems(ShellAllocator(), Bytes(absolute), n - 1)));
  item.Reset(AsPidl(shell::ItemList(ShellAllocator(), Bytes(absolute), n - 1)));
  return QsShell().BindFolder(parentList.Get(), *parent.Out());
}
