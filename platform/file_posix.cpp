// POSIX side of the file layer (native build).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>

#include "platform/file.h"
#include "platform/interrupt_list.h"

namespace platform {

intptr_t RawFile::OpenHandle(const std::string& path, OpenMode mode) {
  int flags = O_RDONLY;
  if (mode == OpenMode::Write) flags = O_WRONLY | O_CREAT | O_TRUNC;
  if (mode == OpenMode::ReadWrite) flags = O_RDWR;
  if (mode == OpenMode::CreateReadWrite) flags = O_RDWR | O_CREAT | O_TRUNC;
  // Without O_NONBLOCK, opening a FIFO waits for its other end.
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return kNoHandle;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (mode != OpenMode::Write && !S_ISREG(st.st_mode)) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    errno = EISDIR;
    return kNoHandle;
  }
  return fd;
}

bool RawFile::CloseHandle(intptr_t handle) { return ::close(int(handle)) == 0; }

int64_t RawFile::Read(intptr_t handle, void* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(int(handle), static_cast<char*>(data) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done ? int64_t(done) : -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

int64_t RawFile::Write(intptr_t handle, const void* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(int(handle), static_cast<const char*>(data) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  return done == 0 && count > 0 ? -1 : int64_t(done);
}

int64_t RawFile::Seek(intptr_t handle, int64_t offset, SeekFrom from) {
  int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
  return ::lseek(int(handle), off_t(offset), whence);
}

bool RawFile::SetEnd(intptr_t handle, int64_t size) {
  return ::lseek(int(handle), off_t(size), SEEK_SET) >= 0 &&
         ::ftruncate(int(handle), off_t(size)) == 0;
}

std::string SystemErrorText() { return std::strerror(errno); }

std::string SystemErrorTextOf(uint32_t code) { return std::strerror(int(code)); }

int64_t File::OsSize(intptr_t handle) {
  struct stat st;
  if (fstat(int(handle), &st) != 0) return -1;
  return int64_t(st.st_size);
}

bool File::OsModificationTime(intptr_t handle, LocalTime& out) {
  struct stat st;
  if (fstat(int(handle), &st) != 0) return false;
  time_t t = st.st_mtime;
  struct tm tm;
  if (!localtime_r(&t, &tm)) return false;
  out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return true;
}

bool File::OsSetModificationTime(intptr_t handle, const LocalTime& time) {
  struct tm tm = {};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_isdst = -1;
  time_t t = mktime(&tm);
  if (t == time_t(-1)) return false;
  struct timespec ts[2] = {{t, 0}, {t, 0}};
  return futimens(int(handle), ts) == 0;
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) {
  out.clear();
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = name;
    entry.isHidden = name[0] == '.';
    struct stat st;
    std::string full = JoinPath(dir, name);
    if (lstat(full.c_str(), &st) == 0) {
      entry.isLink = S_ISLNK(st.st_mode);
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.size = entry.isDirectory ? 0 : int64_t(st.st_size);
    }
    out.push_back(std::move(entry));
  }
  closedir(d);
  return true;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PathKind KindOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return PathKind::None;
  if (S_ISREG(st.st_mode)) return PathKind::File;
  if (S_ISDIR(st.st_mode)) return PathKind::Directory;
  return PathKind::Other;
}

bool IsFile(const std::string& path) { return KindOf(path) == PathKind::File; }

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool RemoveFile(const std::string& path) {
  return detail::ChangeInterruptList([&](detail::InterruptList& list) {
    list.Forget(path);
    return ::unlink(path.c_str()) == 0;
  });
}

bool RenameFile(const std::string& from, const std::string& to) {
  return detail::ChangeInterruptList([&](detail::InterruptList& list) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    list.Forget(from);
    return true;
  });
}

bool MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

bool RemoveEmptyDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

std::string TempDirectory() {
  std::string dir = GetEnvironment("TMPDIR");
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

bool CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string& name) {
  // The engine's helper threads make temporary files at the same time.
  static std::mutex rngMutex;
  static std::mt19937 rng(std::random_device{}() ^ unsigned(getpid()));
  static const char hex[] = "0123456789ABCDEF";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = prefix;
    unsigned v;
    {
      std::lock_guard<std::mutex> lock(rngMutex);
      v = rng() & 0xFFFF;
    }
    for (int i = 3; i >= 0; --i) candidate += hex[(v >> (4 * i)) & 15];
    candidate = JoinPath(dir, candidate + ".tmp");
    // Made like any new file (the umask decides), as on Windows: the unique file often
    // becomes a patch or an installed file by renaming.
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      name = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

std::string GetEnvironment(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? v : "";
}

std::string FullPath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    std::vector<char> cwd(4096);
    while (!getcwd(cwd.data(), cwd.size())) {
      if (errno != ERANGE) return path;
      cwd.resize(cwd.size() * 2);
    }
    joined = std::string(cwd.data()) + "/" + path;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string full;
  for (const auto& part : parts) full += "/" + part;
  return full.empty() ? "/" : full;
}

bool PathWithin(const std::string& path, const std::string& dir) {
  std::string p = FullPath(path), d = FullPath(dir);
  if (p == d) return true;
  if (d.back() != '/') d += '/';
  return p.compare(0, d.size(), d) == 0;
}

char PathSeparator() { return '/'; }
char PathListSeparator() { return ':'; }
bool IsPathSeparator(char c) { return c == '/'; }

}  // namespace platform
