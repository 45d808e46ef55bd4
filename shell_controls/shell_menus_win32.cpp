#include "shell_controls/shell_menus_win32.h"

#include <cstring>

#include "framework/core/sysutils.h"
#include "shell_controls/shell_seam_win32.h"

namespace {

std::vector<shell::TSendToEntry>& Entries() {
  static std::vector<shell::TSendToEntry> entries;
  return entries;
}

std::string CommandString(IContextMenu* menu, UINT offset, UINT kind) {
  char buf[261] = {};
  if (FAILED(menu->GetCommandString(offset, kind, nullptr, buf, sizeof buf))) return {};
  buf[sizeof buf - 1] = 0;
  return buf;
}

char UpperChar(char c) {
  std::string s(1, c);
  return AnsiUpperCase(s)[0];
}

HFONT MenuFont() {
  NONCLIENTMETRICSA m{};
  m.cbSize = sizeof m;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) return nullptr;
  return CreateFontIndirectA(&m.lfMenuFont);
}

}  // namespace

HRESULT BuildContextMenu(HWND window, IShellFolder* folder, UINT count, LPCITEMIDLIST* items, IContextMenu*& menu,
                         HMENU& popup, UINT flags, UINT first) {
  menu = nullptr;
  popup = nullptr;
  void* out = nullptr;
  HRESULT hr = QsShell().GetUIObjectOf(folder, window, count, items, IID_IContextMenu, &out);
  if (FAILED(hr) || !out) return FAILED(hr) ? hr : E_NOINTERFACE;
  auto* m = static_cast<IContextMenu*>(out);
  HMENU p = CreatePopupMenu();
  HRESULT fill = p ? m->QueryContextMenu(p, 0, first, shell::kLastShellCommand, flags) : E_OUTOFMEMORY;
  if (FAILED(fill)) {
    if (p) DestroyMenu(p);
    m->Release();
    RaiseShellError(fill);
  }
  menu = m;
  popup = p;
  return hr;
}

int FindVerb(IContextMenu* menu, const std::string& verb) {
  HMENU scratch = CreatePopupMenu();
  if (!scratch) return -1;
  struct Destroy {
    HMENU m;
    ~Destroy() { DestroyMenu(m); }
  } destroy{scratch};
  HRESULT hr = menu->QueryContextMenu(scratch, 0, shell::kFirstShellCommand, shell::kLastShellCommand, kExplorerMenuFlags);
  if (FAILED(hr)) return -1;
  // The code is the largest identifier used less the first, plus one.
  UINT used = HRESULT_CODE(hr);
  for (UINT offset = 0; offset < used; ++offset)
    if (!verb.empty() && SameText(CommandString(menu, offset, GCS_VERBA), verb)) return int(offset);
  return -1;
}

void RunMenuCommand(HWND window, IContextMenu* menu, UINT offset) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.hwnd = window;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  OleCheck(menu->InvokeCommand(&info));
}

void RunMenuCommand(HWND window, IContextMenu* menu, const std::string& verb) {
  int offset = FindVerb(menu, verb);
  if (offset >= 0) RunMenuCommand(window, menu, UINT(offset));
}

bool RunDefaultCommand(HWND window, IContextMenu* menu, HMENU popup) {
  UINT id = GetMenuDefaultItem(popup, FALSE, 0);
  if (id == UINT(-1) || id < shell::kFirstShellCommand) return false;
  RunMenuCommand(window, menu, id - shell::kFirstShellCommand);
  return true;
}

const std::vector<shell::TSendToEntry>& SendToList() { return Entries(); }

void ScanSendTo() {
  Entries().clear();
  std::string dir = QsShell().SendToPath();
  if (dir.empty()) return;
  std::vector<shell::TSendToEntry> found;
  WIN32_FIND_DATAA fd{};
  HANDLE h = FindFirstFileA((IncludeTrailingBackslash(dir) + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  struct Close {
    HANDLE h;
    ~Close() { FindClose(h); }
  } close{h};
  do {
    if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) continue;
    shell::TSendToEntry e;
    e.Name = fd.cFileName;
    TPidl item;
    if (SUCCEEDED(PathToPidl(IncludeTrailingBackslash(dir) + e.Name, item.Out())))
      e.Icon = PidlIconIndex(item.Get(), SHGFI_SMALLICON);
    found.push_back(e);
  } while (FindNextFileA(h, &fd));
  Entries() = shell::SendToEntries(std::move(found));
}

void SendTo(int index, IDataObject* data) {
  if (index < 0 || size_t(index) >= Entries().size()) return;
  TPidl folderList;
  OleCheck(PathToPidl(QsShell().SendToPath(), folderList.Out()));
  TComRef<IShellFolder> folder;
  OleCheck(QsShell().BindFolder(folderList.Get(), *folder.Out()));
  std::wstring name;
  const std::string& entry = Entries()[size_t(index)].Name;
  int n = MultiByteToWideChar(CP_ACP, 0, entry.c_str(), -1, nullptr, 0);
  name.assign(size_t(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, entry.c_str(), -1, name.data(), n);
  TPidl item;
  ULONG eaten = 0;
  OleCheck(folder->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &item.Out(), nullptr));
  LPCITEMIDLIST items[1] = {item.Get()};
  void* out = nullptr;
  OleCheck(QsShell().GetUIObjectOf(folder.Get(), nullptr, 1, items, IID_IDropTarget, &out));
  TComRef<IDropTarget> target(static_cast<IDropTarget*>(out));
  POINTL at{0, 0};
  DWORD effect = DROPEFFECT_COPY;
  OleCheck(target->DragEnter(data, MK_LBUTTON, at, &effect));
  if (effect != DROPEFFECT_NONE) {
    effect = DROPEFFECT_COPY;
    OleCheck(target->DragOver(MK_LBUTTON, at, &effect));
  }
  if (effect == DROPEFFECT_NONE) {
    target->DragLeave();
    return;
  }
  OleCheck(target->Drop(data, MK_LBUTTON, at, &effect));
}

// ---- TQsShellMenu

TQsShellMenu::TQsShellMenu(IContextMenu* menu, HMENU popup, TImageList* images,
                           std::function<void(const std::string&)> hint)
    : menu_(menu), popup_(popup), images_(images), hint_(std::move(hint)) {
  void* out = nullptr;
  if (SUCCEEDED(menu_->QueryInterface(IID_IContextMenu2, &out))) menu2_ = static_cast<IContextMenu2*>(out);
}

TQsShellMenu::~TQsShellMenu() {
  if (menu2_) menu2_->Release();
  menu_->Release();
  if (popup_) DestroyMenu(popup_);
}

shell::TMenuChoice TQsShellMenu::Track(HWND window, int x, int y) {
  UINT command = QsShell().TrackMenu(popup_, x, y, window);
  return shell::ChooseCommand(command, sendTo_ ? Entries().size() : 0);
}

bool TQsShellMenu::IsSendToItem(UINT id) const { return sendTo_ && id >= 1 && id <= Entries().size(); }

void TQsShellMenu::InitPopup(WPARAM wp, LPARAM lp) {
  auto popup = reinterpret_cast<HMENU>(wp);
  if (menu2_) menu2_->HandleMenuMsg(WM_INITMENUPOPUP, wp, lp);
  if (popup == sendTo_ || GetMenuItemCount(popup) != 1) return;
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE;
  if (!GetMenuItemInfoA(popup, 0, TRUE, &info) || !(info.fState & MFS_GRAYED)) return;
  // Still the shell's one grayed placeholder: the Send To popup.
  DeleteMenu(popup, 0, MF_BYPOSITION);
  ScanSendTo();
  for (size_t i = 0; i < Entries().size(); ++i)
    AppendMenuA(popup, MF_OWNERDRAW, UINT_PTR(i + 1), reinterpret_cast<LPCSTR>(i + 1));
  sendTo_ = popup;
}

void TQsShellMenu::Measure(MEASUREITEMSTRUCT& mi) {
  const std::string caption = shell::SendToCaption(Entries()[mi.itemID - 1].Name);
  HDC dc = GetDC(nullptr);
  HFONT font = MenuFont();
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  GetTextExtentPoint32A(dc, caption.c_str(), int(caption.size()), &size);
  if (old) SelectObject(dc, old);
  if (font) DeleteObject(font);
  ReleaseDC(nullptr, dc);
  mi.itemWidth = UINT(size.cx + 32);
  mi.itemHeight = UINT(GetSystemMetrics(SM_CYMENU) + 2);
}

void TQsShellMenu::Draw(const DRAWITEMSTRUCT& di) {
  HDC dc = di.hDC;
  bool selected = di.itemState & ODS_SELECTED;
  COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
  COLORREF text = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &di.rcItem, brush);
  DeleteObject(brush);
  const shell::TSendToEntry& e = Entries()[di.itemID - 1];
  HFONT font = MenuFont();
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  COLORREF oldText = SetTextColor(dc, text);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  const std::string caption = shell::SendToCaption(e.Name);
  TextOutA(dc, di.rcItem.left + 32, di.rcItem.top + 2, caption.c_str(), int(caption.size()));
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldText);
  if (old) SelectObject(dc, old);
  if (font) DeleteObject(font);
  if (images_ && e.Icon >= 0)
    ImageList_Draw(images_->Handle(), e.Icon, dc, di.rcItem.left + 8, di.rcItem.top + 2, ILD_TRANSPARENT);
}

LRESULT TQsShellMenu::MenuChar(char c, HMENU popup) {
  std::vector<std::string> captions;
  int highlighted = -1;
  for (int i = 0; i < GetMenuItemCount(popup); ++i) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_ID;
    GetMenuItemInfoA(popup, UINT(i), TRUE, &info);
    if (info.fState & MFS_HILITE) highlighted = i;
    captions.push_back(IsSendToItem(info.wID) ? shell::SendToCaption(Entries()[info.wID - 1].Name) : std::string());
  }
  shell::TMenuCharAnswer a = shell::MenuChar(captions, c, highlighted, UpperChar);
  return MAKELRESULT(WORD(a.Position), WORD(a.Kind));
}

bool TQsShellMenu::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_INITMENUPOPUP:
      InitPopup(wp, lp);
      result = 0;
      return true;
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mi->CtlType != ODT_MENU) return false;
      if (IsSendToItem(mi->itemID))
        Measure(*mi);
      else if (menu2_)
        menu2_->HandleMenuMsg(msg, wp, lp);
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di->CtlType != ODT_MENU) return false;
      if (IsSendToItem(di->itemID))
        Draw(*di);
      else if (menu2_)
        menu2_->HandleMenuMsg(msg, wp, lp);
      result = TRUE;
      return true;
    }
    case WM_MENUCHAR: {
      auto popup = reinterpret_cast<HMENU>(lp);
      if (!sendTo_ || popup != sendTo_ || !(HIWORD(wp) & MF_POPUP) || Entries().empty()) return false;
      result = MenuChar(char(LOWORD(wp)), popup);
      return true;
    }
    case WM_MENUSELECT: {
      if (!hint_) return false;
      UINT id = LOWORD(wp), flags = HIWORD(wp);
      std::string text;
      if (id >= shell::kFirstShellCommand && !(flags & (MF_POPUP | MF_SYSMENU)) && flags != 0xFFFF)
        text = CommandString(menu_, id - shell::kFirstShellCommand, GCS_HELPTEXTA);
      hint_(text);
      result = 0;
      return true;
    }
    default:
      return false;
  }
}
