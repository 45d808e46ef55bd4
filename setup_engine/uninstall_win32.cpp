// uninstall.exe PRODUCT: the uninstaller the setup installs and registers (the rest of the
// command line names the product).
#include <windows.h>

#include <string>

#include "platform/file.h"
#include "setup_engine/uninstaller.h"

namespace {

class TWinUninstallSystem : public setup::IUninstallSystem {
 public:
  bool Confirm(const std::string& text, const std::string& caption) override {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
  void Inform(const std::string& text, const std::string& caption) override {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
  }
  bool Delete(const std::string& path, bool folder) override {
    if (folder) return RemoveDirectoryA(path.c_str()) != 0;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // gone already
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    return DeleteFileA(path.c_str()) != 0;
  }
  bool DeleteAtRestart(const std::string& path) override {
    return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  }
  bool IsEmptyFolder(const std::string& path) override {
    std::vector<platform::DirEntry> entries;
    return platform::ListDirectory(path, entries) && entries.empty();
  }
};

// The command line after the program's own name.
std::string Product() {
  const char* line = GetCommandLineA();
  bool quoted = false;
  while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  std::string product = line;
  while (!product.empty() && (product.back() == ' ' || product.back() == '\t')) product.pop_back();
  return product;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TWinUninstallSystem system;
  return setup::RunUninstall(Product(), system);
}
