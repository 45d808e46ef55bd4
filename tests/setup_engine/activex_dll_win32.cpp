// An in-process server for the installer's tests: registering it writes
// "dll-registered.txt" into the current folder, which the installer sets to the server's
// own folder.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  std::FILE* f = std::fopen("dll-registered.txt", "w");
  if (!f) return E_FAIL;
  std::fputs("registered\n", f);
  std::fclose(f);
  return S_OK;
}
