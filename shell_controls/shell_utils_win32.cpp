#include "shell_controls/shell_utils_win32.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "framework/core/shortcut.h"
#include "platform/file.h"

TComCtlVersion COMCTL32_VER;
uint16_t CF_IDLIST = 0;
TSHGetDataFromIDList SHGetDataFromIDList = nullptr;

namespace {

const uint8_t kEmptyList[2] = {0, 0};
LPCITEMIDLIST EmptyList() { return reinterpret_cast<LPCITEMIDLIST>(kEmptyList); }

class TShellMallocAllocator : public shell::TIdListAllocator {
 public:
  uint8_t* Alloc(size_t bytes) override {
    IMalloc* m = ShellMalloc();
    auto* p = m ? static_cast<uint8_t*>(m->Alloc(ULONG(bytes ? bytes : 1))) : nullptr;
    if (p) std::memset(p, 0, bytes);
    return p;
  }
  void Free(void* p) override {
    if (p)
      if (IMalloc* m = ShellMalloc()) m->Free(p);
  }
};

// Wide text of at most MAX_PATH characters; false for a longer one.
bool ToWidePath(const std::string& s, std::wstring& w) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), nullptr, 0);
  if (n > MAX_PATH) return false;
  w.assign(size_t(n), L'\0');
  if (n) MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), w.data(), n);
  return true;
}

std::string FromWide(const wchar_t* w) {
  if (!w) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string s(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.resize(size_t(n - 1));
  return s;
}

bool LeadByte(uint8_t b) { return IsDBCSLeadByte(b) != 0; }

}  // namespace

IMalloc* ShellMalloc() {
  static IMalloc* malloc = [] {
    IMalloc* m = nullptr;
    return SUCCEEDED(SHGetMalloc(&m)) ? m : nullptr;
  }();
  return malloc;
}

shell::TIdListAllocator& ShellAllocator() {
  static TShellMallocAllocator allocator;
  return allocator;
}

LPITEMIDLIST PidlAlloc(UINT size) { return AsPidl(ShellAllocator().Alloc(size)); }

void PidlFree(LPCITEMIDLIST list) { ShellAllocator().Free(const_cast<LPITEMIDLIST>(list)); }

UINT PidlSize(LPCITEMIDLIST list) { return UINT(shell::ListSize(Bytes(list))); }

namespace {

// A block of an allocator other than the shell's, zero-filled.
class TMallocAllocator : public shell::TIdListAllocator {
 public:
  explicit TMallocAllocator(IMalloc* m) : m_(m) {}
  uint8_t* Alloc(size_t bytes) override {
    auto* p = static_cast<uint8_t*>(m_->Alloc(ULONG(bytes ? bytes : 1)));
    if (p) std::memset(p, 0, bytes);
    return p;
  }
  void Free(void* p) override { m_->Free(p); }

 private:
  IMalloc* m_;
};

}  // namespace

LPITEMIDLIST CopyPidl(IMalloc* malloc, LPCITEMIDLIST list) {
  if (!malloc) return AsPidl(shell::CopyList(ShellAllocator(), Bytes(list)));
  TMallocAllocator a(malloc);
  return AsPidl(shell::CopyList(a, Bytes(list)));
}

LPITEMIDLIST ConcatPidls(IMalloc* malloc, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (!malloc) return AsPidl(shell::ConcatLists(ShellAllocator(), Bytes(first), Bytes(second)));
  TMallocAllocator a(malloc);
  return AsPidl(shell::ConcatLists(a, Bytes(first), Bytes(second)));
}

int ComparePidls(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  if (!a && !b) return 0;
  if (!a || !b) return -1;
  bool ea = shell::IsEmptyList(Bytes(a)), eb = shell::IsEmptyList(Bytes(b));
  if (ea && eb) return 0;
  if (ea || eb) return -1;
  TComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Out())) || !desktop) return 0x7FFFFFFF;
  HRESULT hr = desktop->CompareIDs(0, a, b);
  if (FAILED(hr)) return 0x7FFFFFFF;
  return int(int16_t(HRESULT_CODE(hr)));
}

HRESULT PidlBindToFolder(LPCITEMIDLIST list, IShellFolder*& folder) {
  folder = nullptr;
  IShellFolder* desktop = nullptr;
  HRESULT hr = SHGetDesktopFolder(&desktop);
  if (FAILED(hr)) return hr;
  if (shell::IsEmptyList(Bytes(list))) {
    folder = desktop;
    return hr;
  }
  void* out = nullptr;
  hr = desktop->BindToObject(list, nullptr, IID_IShellFolder, &out);
  desktop->Release();
  if (SUCCEEDED(hr)) folder = static_cast<IShellFolder*>(out);
  return hr;
}

HRESULT PathToPidl(const std::string& path, LPITEMIDLIST& list) {
  list = nullptr;
  std::wstring wide;
  if (!ToWidePath(path, wide)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  TComRef<IShellFolder> desktop;
  HRESULT hr = SHGetDesktopFolder(desktop.Out());
  if (FAILED(hr)) return hr;
  ULONG eaten = 0;
  LPITEMIDLIST parsed = nullptr;
  hr = desktop->ParseDisplayName(nullptr, nullptr, wide.data(), &eaten, &parsed, nullptr);
  if (SUCCEEDED(hr))
    list = parsed;
  else
    PidlFree(parsed);
  return hr;
}

std::string PidlToPath(LPCITEMIDLIST list) {
  char buf[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(list ? list : EmptyList(), buf)) return {};
  return buf;
}

HRESULT SpecialFolderPidl(HWND window, int folder, LPITEMIDLIST& list) {
  list = nullptr;
  return SHGetSpecialFolderLocation(window, folder & 0x7F, &list);
}

std::string SpecialFolderPath(HWND window, int folder) {
  TPidl list;
  if (FAILED(SpecialFolderPidl(window, folder, list.Out()))) return {};
  return PidlToPath(list.Get());
}

int PidlIconIndex(LPCITEMIDLIST list, UINT extraFlags) {
  SHFILEINFOA fi{};
  if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(list ? list : EmptyList()), 0, &fi, sizeof fi,
                      extraFlags | SHGFI_SYSICONINDEX | SHGFI_PIDL))
    return 0;
  return fi.iIcon;
}

std::string PidlDisplayName(IShellFolder* folder, LPCITEMIDLIST relative, int kind) {
  static const DWORD kFlags[] = {SHGDN_NORMAL, SHGDN_INFOLDER, SHGDN_FORPARSING};
  TComRef<IShellFolder> desktop;
  if (!folder) {
    if (FAILED(SHGetDesktopFolder(desktop.Out()))) return {};
    folder = desktop.Get();
  }
  STRRET str{};
  if (FAILED(folder->GetDisplayNameOf(relative ? relative : EmptyList(), kFlags[kind >= 0 && kind <= 2 ? kind : 0],
                                      &str)))
    return {};
  std::string s = StrRetToString(relative, str);
  StrRetFree(str);
  return s;
}

std::string StrRetToString(LPCITEMIDLIST item, const STRRET& str) {
  switch (str.uType) {
    case STRRET_WSTR:
      return FromWide(str.pOleStr);
    case STRRET_OFFSET: {
      if (!item) return {};
      const uint8_t* p = Bytes(item);
      uint16_t cb = shell::ReadCb(p);
      if (str.uOffset >= cb) return {};
      const char* text = reinterpret_cast<const char*>(p + str.uOffset);
      return std::string(text, strnlen(text, cb - str.uOffset));
    }
    case STRRET_CSTR:
      return std::string(str.cStr, strnlen(str.cStr, sizeof str.cStr));
    default:
      return {};
  }
}

void StrRetFree(STRRET& str) {
  if (str.uType == STRRET_WSTR && str.pOleStr) {
    CoTaskMemFree(str.pOleStr);
    str.pOleStr = nullptr;
  }
}

HIMAGELIST SystemImageList(int kind) {
  static std::once_flag overlays;
  std::call_once(overlays, [] {
    if (COMCTL32_VER.MS < 0x00040047) return;
    HMODULE lib = LoadLibraryA("shell32.dll");
    if (!lib) return;
    SHFILEINFOA fi{};
    auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &fi, sizeof fi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    auto large = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", 0, &fi, sizeof fi, SHGFI_SYSICONINDEX));
    struct Overlay {
      int Resource, Index;
    };
    for (Overlay o : {Overlay{29, 1}, Overlay{30, 2}}) {
      for (auto [list, size] : {std::pair{small, 16}, std::pair{large, 32}}) {
        if (!list) continue;
        auto icon = static_cast<HICON>(LoadImageA(lib, MAKEINTRESOURCEA(o.Resource), IMAGE_ICON, size, size, LR_SHARED));
        if (!icon) continue;
        int at = ImageList_ReplaceIcon(list, -1, icon);
        if (at >= 0) ImageList_SetOverlayImage(list, at, o.Index);
      }
    }
    FreeLibrary(lib);
  });
  SHFILEINFOA fi{};
  return reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &fi, sizeof fi, SHGFI_SYSICONINDEX | (kind == 0 ? SHGFI_SMALLICON : 0)));
}

bool IsWinNT() {
  static const bool nt = [] {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }();
  return nt;
}

HRESULT ReadShortcut(const std::string& path, TQsShortcut& s, bool wantIdList) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  TComRef<IShellLinkA> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.Out()));
  if (FAILED(hr)) return hr;
  TComRef<IPersistFile> file;
  if (FAILED(hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())))) return hr;
  if (FAILED(hr = file->Load(wide.c_str(), STGM_READ))) return hr;
  if (FAILED(hr = link->Resolve(nullptr, 2))) return hr;
  char buf[MAX_PATH + 1] = {};
  if (FAILED(hr = link->GetPath(buf, MAX_PATH, &s.FindData, 0))) return hr;
  s.Path = buf;
  if (FAILED(hr = link->GetArguments(buf, MAX_PATH))) return hr;
  s.Arguments = buf;
  if (FAILED(hr = link->GetDescription(buf, MAX_PATH))) return hr;
  s.Description = buf;
  if (FAILED(hr = link->GetIconLocation(buf, MAX_PATH, &s.IconIndex))) return hr;
  s.IconLocation = buf;
  if (FAILED(hr = link->GetWorkingDirectory(buf, MAX_PATH))) return hr;
  s.WorkingDirectory = buf;
  if (FAILED(hr = link->GetShowCmd(&s.ShowCommand))) return hr;
  if (FAILED(hr = link->GetHotkey(&s.HotKey))) return hr;
  s.IdList = nullptr;
  if (wantIdList) hr = link->GetIDList(&s.IdList);
  return hr;
}

std::string FormatStrPos(const std::string& format, const std::vector<std::string>& strings) {
  if (strings.size() > 50) throw Exception("FormatStrPos: Too many substitution strings");
  if (format.empty()) return {};
  // Every insert the format can name (%1 to %99) has an argument: the missing ones are empty.
  static const char kEmpty[] = "";
  DWORD_PTR args[99];
  for (size_t i = 0; i < 99; ++i) args[i] = reinterpret_cast<DWORD_PTR>(i < strings.size() ? strings[i].c_str() : kEmpty);
  char* buf = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           format.c_str(), 0, 0, reinterpret_cast<LPSTR>(&buf), 256, reinterpret_cast<va_list*>(args));
  std::string s = n && buf ? std::string(buf, n) : std::string();
  if (buf) LocalFree(buf);
  return s;
}

std::string TrimRightDbcs(const std::string& s) { return shell::TrimRightDbcs(s, LeadByte); }

void AppendDbcsChar(int& pos, const std::string& s, std::string& target) {
  shell::AppendDbcsChar(pos, s, target, LeadByte);
}

std::string ShellErrorText(HRESULT hr) {
  std::string s = platform::SystemErrorTextOf(uint32_t(hr));
  if (s.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32) s = platform::SystemErrorTextOf(uint32_t(HRESULT_CODE(hr)));
  if (s.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Error 0x%08X", unsigned(hr));
    s = buf;
  }
  return s;
}

void RaiseShellError(HRESULT hr) { throw EOleError(ShellErrorText(hr), int32_t(hr)); }

std::string LoadShString(UINT id) {
  char buf[1024] = {};
  int n = LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
  return std::string(buf, size_t(n > 0 ? n : 0));
}

const TQsMenuShortcuts& QsMenuShortcuts() {
  static const TQsMenuShortcuts s = [] {
    auto sc = [](UINT id) { return uint16_t(TextToShortCut(LoadShString(id))); };
    return TQsMenuShortcuts{sc(52587), sc(52588), sc(52589), sc(52590), sc(52591), sc(52592), sc(52593)};
  }();
  return s;
}
