// Win32 side of the file layer (Windows build); ANSI functions throughout.
#include <windows.h>

#include "platform/file.h"
#include "platform/interrupt_list.h"

namespace platform {

namespace {
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// True when the last component of path is one of the names Windows keeps for devices
// (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9), alone or with an extension.
bool IsReservedDeviceName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL") return true;
  return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
         name[3] >= '1' && name[3] <= '9';
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
  ::CloseHandle(h);
  return ok;
}

bool ToFileTime(const LocalTime& t, FILETIME& out) {
  SYSTEMTIME local = {};
  local.wYear = WORD(t.year);
  local.wMonth = WORD(t.month);
  local.wDay = WORD(t.day);
  local.wHour = WORD(t.hour);
  local.wMinute = WORD(t.minute);
  local.wSecond = WORD(t.second);
  SYSTEMTIME utc;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return false;
  return SystemTimeToFileTime(&utc, &out) != 0;
}
}  // namespace

intptr_t RawFile::OpenHandle(const std::string& path, OpenMode mode) {
  DWORD access = GENERIC_READ, disposition = OPEN_EXISTING;
  if (mode == OpenMode::Write) {
    access = GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else if (mode == OpenMode::ReadWrite) {
    access = GENERIC_READ | GENERIC_WRITE;
  } else if (mode == OpenMode::CreateReadWrite) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  }
  // FILE_SHARE_DELETE lets an interruption remove a temporary file that is still open.
  HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kNoHandle;
  if (mode != OpenMode::Write && GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return kNoHandle;
  }
  return reinterpret_cast<intptr_t>(h);
}

bool RawFile::CloseHandle(intptr_t handle) { return ::CloseHandle(H(handle)) != 0; }

int64_t RawFile::Read(intptr_t handle, void* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD chunk = DWORD(count - done > 0x10000000 ? 0x10000000 : count - done), got = 0;
    if (!ReadFile(H(handle), static_cast<char*>(data) + done, chunk, &got, nullptr))
      return done ? int64_t(done) : -1;
    if (got == 0) break;
    done += got;
  }
  return int64_t(done);
}

int64_t RawFile::Write(intptr_t handle, const void* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    // A full disk fails the call but may have taken part of the bytes.
    DWORD chunk = DWORD(count - done > 0x10000000 ? 0x10000000 : count - done), put = 0;
    BOOL ok = WriteFile(H(handle), static_cast<const char*>(data) + done, chunk, &put, nullptr);
    done += put;
    if (!ok || put == 0) break;
  }
  return done == 0 && count > 0 ? -1 : int64_t(done);
}

int64_t RawFile::Seek(intptr_t handle, int64_t offset, SeekFrom from) {
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  DWORD method = from == SeekFrom::Begin ? FILE_BEGIN : from == SeekFrom::Current ? FILE_CURRENT
                                                                                  : FILE_END;
  return SetFilePointerEx(H(handle), to, &now, method) ? int64_t(now.QuadPart) : -1;
}

bool RawFile::SetEnd(intptr_t handle, int64_t size) {
  return Seek(handle, size, SeekFrom::Begin) >= 0 && SetEndOfFile(H(handle)) != 0;
}

std::string SystemErrorText() {
  DWORD code = GetLastError();
  std::string text = SystemErrorTextOf(code);
  return text.empty() ? "System error " + std::to_string(code) : text;
}

std::string SystemErrorTextOf(uint32_t code) {
  char* buffer = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer ? std::string(buffer, n) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

int64_t File::OsSize(intptr_t handle) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(handle), &li)) return -1;
  return li.QuadPart;
}

bool File::OsModificationTime(intptr_t handle, LocalTime& out) {
  FILETIME written;
  SYSTEMTIME utc, local;
  if (!GetFileTime(H(handle), nullptr, nullptr, &written)) return false;
  if (!FileTimeToSystemTime(&written, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
  out = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  return true;
}

bool File::OsSetModificationTime(intptr_t handle, const LocalTime& time) {
  FILETIME ft;
  return ToFileTime(time, ft) && SetFileTime(H(handle), nullptr, nullptr, &ft) != 0;
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) {
  out.clear();
  if (!IsDirectory(dir)) return false;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(JoinPath(dir, "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    DirEntry e;
    e.name = name;
    e.isDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.isHidden = (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    e.isLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    e.size = e.isDirectory ? 0 : (int64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    out.push_back(std::move(e));
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return true;
}

bool IsDirectory(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

PathKind KindOf(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_NAME:
      case ERROR_BAD_PATHNAME:
      case ERROR_INVALID_DRIVE:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
        return PathKind::None;
      default:
        // There, but not described: Wine answers so for FIFOs and sockets.
        return PathKind::Other;
    }
  }
  if (a & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
  if (a & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
  // A look at the file itself (with no access asked, so no sharing is in the way) tells a
  // disk file from what a reserved name such as "nul.txt" reaches instead.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? PathKind::File : PathKind::Other;
  }
  return IsReservedDeviceName(path) ? PathKind::Other : PathKind::File;
}

bool IsFile(const std::string& path) { return KindOf(path) == PathKind::File; }

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return Identify(a, ia) && Identify(b, ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool RemoveFile(const std::string& path) {
  return detail::ChangeInterruptList([&](detail::InterruptList& list) {
    list.Forget(path);
    return DeleteFileA(path.c_str()) != 0;
  });
}

bool RenameFile(const std::string& from, const std::string& to) {
  return detail::ChangeInterruptList([&](detail::InterruptList& list) {
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    list.Forget(from);
    return true;
  });
}

bool MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool RemoveEmptyDirectory(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

std::string TempDirectory() {
  char buf[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buf, buf);
  if (n == 0 || n > MAX_PATH) return ".\\";
  std::string dir(buf, n);
  if (!IsPathSeparator(dir.back())) dir += '\\';
  return dir;
}

bool CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string& name) {
  char buf[MAX_PATH + 1];
  if (GetTempFileNameA(dir.c_str(), prefix.c_str(), 0, buf) == 0) return false;
  name = buf;
  return true;
}

std::string GetEnvironment(const std::string& name) {
  DWORD n = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (n == 0) return "";
  std::string v(n, '\0');
  n = GetEnvironmentVariableA(name.c_str(), v.data(), n);
  v.resize(n);
  return v;
}

std::string FullPath(const std::string& path) {
  DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::string full(n, '\0');
  char* filePart = nullptr;
  n = GetFullPathNameA(path.c_str(), n, full.data(), &filePart);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full;
}

bool PathWithin(const std::string& path, const std::string& dir) {
  // Names compare without regard to the case of ASCII letters, as the file system does.
  auto folded = [](std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = char(c + 32);
      if (c == '/') c = '\\';
    }
    while (s.size() > 3 && s.back() == '\\') s.pop_back();
    return s;
  };
  std::string p = folded(FullPath(path)), d = folded(FullPath(dir));
  if (p == d) return true;
  if (d.back() != '\\') d += '\\';
  return p.compare(0, d.size(), d) == 0;
}

char PathSeparator() { return '\\'; }
char PathListSeparator() { return ';'; }
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace platform
