#include "shell_controls/shell_startup_win32.h"

#include <memory>
#include <vector>

#include "shell_controls/shell_utils_win32.h"

#include <ole2.h>

namespace {

struct TStartState {
  bool started = false;
  bool com = false;
  bool ole = false;
  HMODULE shell32 = nullptr;
  std::unique_ptr<TQsColumnLayout> layout;
};

TStartState& State() {
  static TStartState s;
  return s;
}

void ReadComCtlVersion() {
  COMCTL32_VER = {};
  char name[] = "comctl32.dll";
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(name, &handle);
  if (!size) return;
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoA(name, 0, size, block.data())) return;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  char root[] = "\\";
  if (!VerQueryValueA(block.data(), root, reinterpret_cast<void**>(&info), &len) || !info || len < sizeof *info) return;
  COMCTL32_VER.LS = info->dwFileVersionLS;
  COMCTL32_VER.MS = info->dwFileVersionMS;
}

}  // namespace

TQsColumnLayout& QsColumnLayout() {
  TStartState& s = State();
  if (!s.layout) s.layout = std::make_unique<TQsColumnLayout>();
  return *s.layout;
}

bool ShellControlsStarted() { return State().started && State().ole; }

void StartShellControls() {
  TStartState& s = State();
  if (s.started) return;
  s.started = true;
  // The texts are resources of the program: nothing to start.
  // The utilities.
  IsWinNT();
  ShellMalloc();
  ReadComCtlVersion();
  // The shell32 binding.
  s.com = SUCCEEDED(CoInitialize(nullptr));
  s.shell32 = LoadLibraryA("shell32.dll");
  SHGetDataFromIDList =
      s.shell32 ? reinterpret_cast<TSHGetDataFromIDList>(
                      reinterpret_cast<void*>(GetProcAddress(s.shell32, "SHGetDataFromIDListA")))
                : nullptr;
  // The controls.
  CF_IDLIST = uint16_t(RegisterClipboardFormatA(CFSTR_SHELLIDLIST));
  s.layout = std::make_unique<TQsColumnLayout>();
  s.ole = SUCCEEDED(OleInitialize(nullptr));
}

void StopShellControls() {
  TStartState& s = State();
  if (!s.started) return;
  if (s.ole) OleUninitialize();
  s.ole = false;
  s.layout.reset();
  SHGetDataFromIDList = nullptr;
  if (s.shell32) FreeLibrary(s.shell32);
  s.shell32 = nullptr;
  if (s.com) CoUninitialize();
  s.com = false;
  s.started = false;
}
