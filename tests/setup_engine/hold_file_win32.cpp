// Keeps a file in use for the installer's tests: hold_file PATH opens PATH without
// sharing its writing or deletion, writes PATH.held, and lets go once PATH.release exists
// (or after two minutes).
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string path = argv[1];
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE marker = CreateFileA((path + ".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(marker);
  for (int i = 0; i < 1200 && GetFileAttributesA((path + ".release").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
    Sleep(100);
  CloseHandle(file);
  return 0;
}
