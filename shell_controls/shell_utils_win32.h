#pragma once
// Item-ID list and shell-folder routines over the Windows shell (the byte rules are in
// idlist.h), the shell texts and the subsystem's start-up state.
//
// Every list the controls keep is allocated and freed through the shell allocator
// (SHGetMalloc, taken once at start-up); routines that return a new list return one the
// caller frees with PidlFree. Routines that return a list give nil and the HRESULT and
// never throw, except TQsIdListArray's index error and FormatStrPos's argument limit. A
// failed shell call that must stop an operation is raised as EOleError with the system's
// text for its code (ShellErrorText).
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/exceptions.h"
#include "framework/win/winapi.h"
#include "shell_controls/idlist.h"

#include <shellapi.h>
#include <shlobj.h>
// The unit variable below takes the name the header gives to its own declaration.
#undef SHGetDataFromIDList

// The file version of comctl32.dll (least significant dword first); zero when it could
// not be read. 4.71 is the most significant dword 0x00040047.
struct TComCtlVersion {
  DWORD LS = 0, MS = 0;
};
extern TComCtlVersion COMCTL32_VER;
// The clipboard format "Shell IDList Array".
extern uint16_t CF_IDLIST;
// shell32's SHGetDataFromIDListA, nil when it is missing.
using TSHGetDataFromIDList = HRESULT(WINAPI*)(IShellFolder*, LPCITEMIDLIST, int, void*, int);
extern TSHGetDataFromIDList SHGetDataFromIDList;

// The shell allocator as an item-ID list allocator (zero-filled blocks).
shell::TIdListAllocator& ShellAllocator();
IMalloc* ShellMalloc();

LPITEMIDLIST PidlAlloc(UINT size);
void PidlFree(LPCITEMIDLIST list);
UINT PidlSize(LPCITEMIDLIST list);
// A nil allocator means the shell allocator; nil when allocation fails.
LPITEMIDLIST CopyPidl(IMalloc* malloc, LPCITEMIDLIST list);
LPITEMIDLIST ConcatPidls(IMalloc* malloc, LPCITEMIDLIST first, LPCITEMIDLIST second);
// 0 when both are nil or both empty; -1 when exactly one is; else the Desktop's
// CompareIDs(0, a, b), its low 16 bits as a signed number; 0x7FFFFFFF when the Desktop
// folder cannot be had or CompareIDs fails.
int ComparePidls(LPCITEMIDLIST a, LPCITEMIDLIST b);
HRESULT PidlBindToFolder(LPCITEMIDLIST list, IShellFolder*& folder);
// The Desktop's parse of the path; paths over 260 characters are refused.
HRESULT PathToPidl(const std::string& path, LPITEMIDLIST& list);
std::string PidlToPath(LPCITEMIDLIST list);
HRESULT SpecialFolderPidl(HWND window, int folder, LPITEMIDLIST& list);
std::string SpecialFolderPath(HWND window, int folder);
// extraFlags: 0, SHGFI_SMALLICON (1), SHGFI_OPENICON (2); 0 when the call fails.
int PidlIconIndex(LPCITEMIDLIST list, UINT extraFlags);
// kind 0 normal, 1 in folder, 2 for parsing; a nil folder is the Desktop; empty on failure.
std::string PidlDisplayName(IShellFolder* folder, LPCITEMIDLIST relative, int kind);
// An offset text outside the item (or without one) and an unterminated inline text are
// bounded: the first gives an empty text, the second at most 260 bytes.
std::string StrRetToString(LPCITEMIDLIST item, const STRRET& str);
void StrRetFree(STRRET& str);
// kind 0 small, 1 large.
HIMAGELIST SystemImageList(int kind);
bool IsWinNT();

struct TQsShortcut {
  std::string Path;
  std::string Reserved;  // left alone by ReadShortcut
  std::string Description;
  std::string Arguments;
  std::string IconLocation;
  int IconIndex = 0;
  std::string WorkingDirectory;
  int ShowCommand = 0;
  WORD HotKey = 0;
  LPITEMIDLIST IdList = nullptr;  // the caller frees it
  WIN32_FIND_DATAA FindData{};
};
HRESULT ReadShortcut(const std::string& path, TQsShortcut& shortcut, bool wantIdList);

// The format with %1, %2 ... replaced by strings (at most 50; a %n past them gives an
// empty text); empty for an empty format.
std::string FormatStrPos(const std::string& format, const std::vector<std::string>& strings);
std::string TrimRightDbcs(const std::string& s);
void AppendDbcsChar(int& pos, const std::string& s, std::string& target);

// The system's text for an HRESULT: its own, else that of a Win32 code in its low word,
// else "Error 0x%08X"; never empty.
std::string ShellErrorText(HRESULT hr);
[[noreturn]] void RaiseShellError(HRESULT hr);
inline void OleCheck(HRESULT hr) {
  if (FAILED(hr)) RaiseShellError(hr);
}

// A shell text (resource id 52480-52594) of this program.
std::string LoadShString(UINT id);

// The menu shortcuts of texts 52587-52593 (select all, delete, copy, cut, paste, refresh,
// rename), turned into values on first use.
struct TQsMenuShortcuts {
  uint16_t SelectAll, Delete, Copy, Cut, Paste, Refresh, Rename;
};
const TQsMenuShortcuts& QsMenuShortcuts();

// Holds a COM interface and releases it.
template <class I>
class TComRef {
 public:
  TComRef() = default;
  explicit TComRef(I* p) : p_(p) {}
  ~TComRef() { Reset(); }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  void Reset(I* p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }
  I* Get() const { return p_; }
  I* operator->() const { return p_; }
  I** Out() {
    Reset();
    return &p_;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  I* p_ = nullptr;
};

// Holds a list of the shell allocator and frees it.
class TPidl {
 public:
  TPidl() = default;
  explicit TPidl(LPITEMIDLIST p) : p_(p) {}
  ~TPidl() { PidlFree(p_); }
  TPidl(const TPidl&) = delete;
  TPidl& operator=(const TPidl&) = delete;
  LPITEMIDLIST Get() const { return p_; }
  LPITEMIDLIST Release() {
    LPITEMIDLIST p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset(LPITEMIDLIST p = nullptr) {
    PidlFree(p_);
    p_ = p;
  }
  LPITEMIDLIST& Out() {
    Reset();
    return p_;
  }

 private:
  LPITEMIDLIST p_ = nullptr;
};

inline const uint8_t* Bytes(LPCITEMIDLIST p) { return reinterpret_cast<const uint8_t*>(p); }
inline LPITEMIDLIST AsPidl(uint8_t* p) { return reinterpret_cast<LPITEMIDLIST>(p); }
inline LPCITEMIDLIST AsPidl(const uint8_t* p) { return reinterpret_cast<LPCITEMIDLIST>(p); }
