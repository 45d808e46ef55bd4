#include "tests/shell_controls/shell_fakes_win32.h"

#include <cstring>

#include "framework/core/sysutils.h"
#include "shell_controls/drag_objects_win32.h"

HRESULT TFakeDataObject::QueryGetData(FORMATETC* f) {
  return f && f->cfFormat == format_ && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

HRESULT TFakeDataObject::GetData(FORMATETC* f, STGMEDIUM* m) {
  if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
  m->tymed = TYMED_HGLOBAL;
  m->hGlobal = GlobalOf(bytes_, GMEM_MOVEABLE);
  m->pUnkForRelease = nullptr;
  return m->hGlobal ? S_OK : E_OUTOFMEMORY;
}

HRESULT TFakeContextMenu::QueryInterface(REFIID iid, void** out) {
  if (out && IsEqualIID(iid, IID_IContextMenu)) {
    *out = static_cast<IContextMenu*>(this);
    AddRef();
    return S_OK;
  }
  return TComObject<IContextMenu2>::QueryInterface(iid, out);
}

HRESULT TFakeContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) {
  InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, first, "&Open");
  InsertMenuA(menu, index + 1, MF_BYPOSITION | MF_STRING, first + 1, "P&roperties");
  sendTo = CreatePopupMenu();
  AppendMenuA(sendTo, MF_STRING | MF_GRAYED, first + 2, "(empty)");
  InsertMenuA(menu, index + 2, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sendTo), "Se&nd To");
  filled = CreatePopupMenu();
  AppendMenuA(filled, MF_STRING | MF_GRAYED, first + 3, "(filled later)");
  InsertMenuA(menu, index + 3, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(filled), "&New");
  SetMenuDefaultItem(menu, first, FALSE);
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4);
}

HRESULT TFakeContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  log.push_back("invoke " + IntToStr(int64_t(reinterpret_cast<UINT_PTR>(info->lpVerb))));
  return S_OK;
}

HRESULT TFakeContextMenu::GetCommandString(UINT_PTR offset, UINT kind, UINT*, LPSTR name, UINT size) {
  const char* text = nullptr;
  if (kind == GCS_VERBA) text = offset == 0 ? "open" : offset == 1 ? "properties" : nullptr;
  if (kind == GCS_HELPTEXTA) text = offset == 0 ? "Opens the item" : nullptr;
  if (!text || size == 0) return E_INVALIDARG;
  lstrcpynA(name, text, int(size));
  return S_OK;
}

HRESULT TFakeContextMenu::HandleMenuMsg(UINT msg, WPARAM wp, LPARAM) {
  log.push_back("menu msg " + IntToStr(msg));
  if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) == filled && GetMenuItemCount(filled) == 1) {
    DeleteMenu(filled, 0, MF_BYPOSITION);
    AppendMenuA(filled, MF_STRING, 60, "Folder");
    AppendMenuA(filled, MF_STRING, 61, "Shortcut");
  }
  return S_OK;
}

namespace {
std::string Keys(DWORD keys, DWORD effect) { return IntToStr(keys) + " " + IntToStr(effect); }
}  // namespace

HRESULT TRecordingTarget::DragEnter(IDataObject*, DWORD keys, POINTL, DWORD* effect) {
  log_.push_back("enter " + Keys(keys, *effect));
  if (refuse_) *effect = DROPEFFECT_NONE;
  return S_OK;
}

HRESULT TRecordingTarget::DragOver(DWORD keys, POINTL, DWORD* effect) {
  log_.push_back("over " + Keys(keys, *effect));
  if (refuse_) *effect = DROPEFFECT_NONE;
  return S_OK;
}

HRESULT TRecordingTarget::DragLeave() {
  log_.push_back("leave");
  return S_OK;
}

HRESULT TRecordingTarget::Drop(IDataObject*, DWORD keys, POINTL, DWORD* effect) {
  log_.push_back("drop " + Keys(keys, *effect));
  return S_OK;
}

HRESULT TFakeShell::BindFolder(LPCITEMIDLIST absolute, IShellFolder*& folder) {
  return bind ? bind(absolute, folder) : TQsShell::BindFolder(absolute, folder);
}

HRESULT TFakeShell::GetUIObjectOf(IShellFolder* folder, HWND owner, UINT count, LPCITEMIDLIST* items, REFIID iid,
                                  void** out) {
  *out = nullptr;
  if (recordDrops && IsEqualIID(iid, IID_IDropTarget)) {
    std::string name = count ? ExtractFileName(PidlDisplayName(folder, items[0], 2)) : std::string("(folder)");
    dropLog.push_back("target " + name);
    *out = static_cast<IDropTarget*>(new TRecordingTarget(dropLog, refuse));
    return S_OK;
  }
  if (fakeMenus && IsEqualIID(iid, IID_IContextMenu)) {
    menuItems.push_back(count ? ExtractFileName(PidlDisplayName(folder, items[0], 2)) : std::string("(none)"));
    lastMenu.Reset(new TFakeContextMenu);
    lastMenu->AddRef();
    *out = static_cast<IContextMenu*>(lastMenu.Get());
    return S_OK;
  }
  return TQsShell::GetUIObjectOf(folder, owner, count, items, iid, out);
}

std::thread StartMouseDrag(TPoint from, TPoint to, DWORD down, DWORD up, int holdMs, std::atomic<bool>& done,
                           const std::function<void()>& beforeRelease) {
  return std::thread([=, &done] {
    SetCursorPos(from.X, from.Y);
    Sleep(200);
    mouse_event(down, 0, 0, 0, 0);
    for (int i = 1; i <= 20; ++i) {
      Sleep(40);
      SetCursorPos(from.X + (to.X - from.X) * i / 20, from.Y + (to.Y - from.Y) * i / 20);
      mouse_event(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
    }
    if (beforeRelease) beforeRelease();
    Sleep(DWORD(holdMs));
    mouse_event(up, 0, 0, 0, 0);
    Sleep(300);
    done = true;
  });
}
