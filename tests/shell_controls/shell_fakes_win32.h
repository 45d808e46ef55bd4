#pragma once
// Stand-ins for what the platform's shell lacks: a data object of one format, a context
// menu with a Send To submenu, a drop target that records what it is given and a shell
// seam that hands them out (and a folder of our own) while passing the rest to the real
// shell.
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/geometry.h"
#include "framework/win/com_object.h"
#include "shell_controls/shell_seam_win32.h"

// Offers one format in global memory with the given bytes.
class TFakeDataObject : public TComObject<IDataObject> {
 public:
  TFakeDataObject(CLIPFORMAT format, std::vector<uint8_t> bytes) : format_(format), bytes_(std::move(bytes)) {}
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  CLIPFORMAT format_;
  std::vector<uint8_t> bytes_;
};

// A shell menu: "Open" (verb open, offset 0), "Properties" (offset 1), a "Send To"
// submenu holding one grayed item and a submenu that fills itself with two items when it
// opens. Every HandleMenuMsg and InvokeCommand is logged.
class TFakeContextMenu : public TComObject<IContextMenu2> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT kind, UINT*, LPSTR name, UINT size) override;
  HRESULT STDMETHODCALLTYPE HandleMenuMsg(UINT msg, WPARAM wp, LPARAM lp) override;
  std::vector<std::string> log;
  HMENU sendTo = nullptr;
  HMENU filled = nullptr;
};

// Records a drop: "target NAME", "enter KEYS EFFECT", "over KEYS EFFECT", "drop KEYS
// EFFECT", "leave"; with refuse it takes no effect.
class TRecordingTarget : public TComObject<IDropTarget> {
 public:
  TRecordingTarget(std::vector<std::string>& log, bool refuse) : log_(log), refuse_(refuse) {}
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD keys, POINTL, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD keys, POINTL, DWORD* effect) override;

 private:
  std::vector<std::string>& log_;
  bool refuse_;
};

class TFakeShell : public TQsShell {
 public:
  std::string sendTo;    // the SendTo folder
  UINT command = 0;      // what a shown menu returns
  bool fakeMenus = false;    // context menus are TFakeContextMenu
  bool recordDrops = true;   // drop targets are TRecordingTarget
  bool refuse = false;
  std::vector<std::string> dropLog;
  std::vector<std::string> menuLog;  // "track" for every menu shown
  std::vector<std::string> menuItems;  // the first item's name for every menu made
  TComPtr<TFakeContextMenu> lastMenu;  // the last menu handed out, kept alive
  // When set, folders are bound through it (a real folder may be wrapped).
  std::function<HRESULT(LPCITEMIDLIST, IShellFolder*&)> bind;
  // When set, drive types come from it.
  std::function<UINT(const std::string& root)> driveType;

  HRESULT BindFolder(LPCITEMIDLIST absolute, IShellFolder*& folder) override;
  HRESULT GetUIObjectOf(IShellFolder* folder, HWND owner, UINT count, LPCITEMIDLIST* items, REFIID iid,
                        void** out) override;
  std::string SendToPath() override { return sendTo.empty() ? TQsShell::SendToPath() : sendTo; }
  UINT DriveType(const std::string& root) override { return driveType ? driveType(root) : TQsShell::DriveType(root); }
  UINT TrackMenu(HMENU, int, int, HWND) override {
    menuLog.push_back("track");
    return command;
  }
};

// Puts a shell seam in place for a scope, and the one before it back afterwards.
class TShellSeamScope {
 public:
  explicit TShellSeamScope(TQsShell* shell) : previous_(SetQsShell(shell)) {}
  ~TShellSeamScope() { SetQsShell(previous_); }
  TShellSeamScope(const TShellSeamScope&) = delete;
  TShellSeamScope& operator=(const TShellSeamScope&) = delete;

 private:
  TQsShell* previous_;
};

// A real mouse drag on a thread of its own: the cursor rests on from, presses the button
// (down and up are its MOUSEEVENTF_ pair), moves to to in 20 steps, runs beforeRelease,
// holds holdMs and lets go; done is set 300 ms later. The caller pumps until done.
std::thread StartMouseDrag(TPoint from, TPoint to, DWORD down, DWORD up, int holdMs, std::atomic<bool>& done,
                           const std::function<void()>& beforeRelease = {});
