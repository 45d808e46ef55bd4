// link_read.exe FILE: loads a shell link through the shell's link object and prints its
// target, arguments and working folder, one a line (a test tool, never shipped). Exit 1
// when the link cannot be loaded.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: link_read FILE\n");
    return 2;
  }
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (SUCCEEDED(hr)) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH);
    hr = persist->Load(wide, STGM_READ);
  }
  if (SUCCEEDED(hr)) {
    char path[MAX_PATH * 2] = {}, arguments[MAX_PATH * 2] = {}, directory[MAX_PATH * 2] = {};
    link->GetPath(path, sizeof path, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, sizeof arguments);
    link->GetWorkingDirectory(directory, sizeof directory);
    std::printf("%s\n%s\n%s\n", path, arguments, directory);
  } else {
    std::fprintf(stderr, "cannot load %s: 0x%08lx\n", argv[1], static_cast<unsigned long>(hr));
  }
  if (persist) persist->Release();
  if (link) link->Release();
  CoUninitialize();
  return SUCCEEDED(hr) ? 0 : 1;
}
