#include <windows.h>

#include "setup_engine/handle_os.h"

namespace setup::handle_os {
namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::string LastErrorText() {
  DWORD code = GetLastError();
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  return n > 0 ? std::string(text, n) : "System error " + std::to_string(code);
}

// Opens path only to ask about it: no access to its contents, and sharing everything, so
// neither a device nor a file another program holds open is disturbed.
HANDLE OpenToQuery(const std::string& path) {
  return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The volume and the file index of an existing file; false when it cannot be asked.
bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = OpenToQuery(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  return ok;
}

}  // namespace

intptr_t Create(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kNoHandle : reinterpret_cast<intptr_t>(h);
}

void Close(intptr_t handle) { CloseHandle(H(handle)); }

int64_t Read(intptr_t handle, void* buffer, int32_t count) {
  DWORD done = 0;
  return ReadFile(H(handle), buffer, DWORD(count), &done, nullptr) ? int64_t(done) : -1;
}

int64_t Write(intptr_t handle, const void* buffer, int32_t count) {
  // A full disk fails the call but may have taken part of the bytes.
  DWORD done = 0;
  BOOL ok = WriteFile(H(handle), buffer, DWORD(count), &done, nullptr);
  return ok || done > 0 ? int64_t(done) : -1;
}

int64_t Seek(intptr_t handle, int64_t offset, int origin) {
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  return SetFilePointerEx(H(handle), to, &now, method) ? int64_t(now.QuadPart) : -1;
}

bool SetEnd(intptr_t handle, int64_t size, std::string& error) {
  if (Seek(handle, size, 0) >= 0 && SetEndOfFile(H(handle))) return true;
  error = LastErrorText();
  return false;
}

PathKind KindOf(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  // Device names (NUL, CON, COM1, ...) and pipes have attributes too; only a disk file that
  // is not a folder is a regular file.
  BY_HANDLE_FILE_INFORMATION info;
  if (!Identify(path, info)) return PathKind::Other;
  return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Other
                                                          : PathKind::RegularFile;
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return Identify(a, ia) && Identify(b, ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace setup::handle_os
