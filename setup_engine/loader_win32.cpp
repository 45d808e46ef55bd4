// KestrinLoadProgram.exe, the front of the self-extracting setup.exe: unpacks the setup
// part into a new folder under the temporary folder, starts the setup program there and
// ends with its exit code. The folder stays: the setup program's -c removes it (after a
// restart, too). A failure is shown in a message box and leaves nothing behind.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_loader.h"

namespace {

std::string OwnPath() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, n <= MAX_PATH ? n : 0);
}

std::string NewFolder() {
  char temp[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
  if (!GetTempPathA(MAX_PATH, temp) || !GetTempFileNameA(temp, "kst", 0, name)) return {};
  DeleteFileA(name);
  return CreateDirectoryA(name, nullptr) ? std::string(name) : std::string();
}

void RemoveFolder(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(folder, entries);
  for (const platform::DirEntry& e : entries) platform::RemoveFile(platform::JoinPath(folder, e.name));
  platform::RemoveEmptyDirectory(folder);
}

int Fail(const std::string& message) {
  MessageBoxA(nullptr, message.c_str(), "Setup", MB_OK | MB_ICONERROR);
  return 1;
}

int Run() {
  std::vector<std::string> parameters = setup::SplitParameters(GetCommandLineA());
  if (!parameters.empty()) parameters.erase(parameters.begin());
  std::string folder;
  try {
    setup::TLoaderPlan plan = setup::PlanLoader(OwnPath(), parameters);
    folder = NewFolder();
    if (folder.empty()) return Fail("Cannot create a folder for the setup program");
    setup::UnpackSetupPart(plan, folder);
    std::string program = platform::JoinPath(folder, "setup.exe");
    std::string line = setup::LoaderCommandLine(program, plan.Arguments);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    // The setup keeps the loader's current folder: one inside the new folder would keep the
    // setup's clean-up from removing it.
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      RemoveFolder(folder);
      return Fail("Cannot start " + program);
    }
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return int(code);
  } catch (const std::exception& e) {
    if (!folder.empty()) RemoveFolder(folder);
    return Fail(e.what());
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return Run(); }
