#include "tests/support/scratch_dir.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace testsupport {

namespace {

// 32 random bits per name: even a temporary folder full of leftovers of other programs
// never runs out of names, unlike the 16 bits of a unique file name.
std::string RandomName(const std::string& prefix) {
  static std::mutex lock;
  static std::mt19937 rng = [] {
    std::random_device device;
    const uint64_t now = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), device(), uint32_t(now), uint32_t(now >> 32),
                       uint32_t(reinterpret_cast<uintptr_t>(&device))};
    return std::mt19937(seed);
  }();
  uint32_t v;
  {
    std::lock_guard<std::mutex> hold(lock);
    v = rng();
  }
  static const char hex[] = "0123456789ABCDEF";
  std::string name = prefix;
  for (int i = 7; i >= 0; --i) name += hex[(v >> (4 * i)) & 15];
  return name;
}

}  // namespace

ScratchDir::ScratchDir(const std::string& prefix) {
  const std::string temp = platform::TempDirectory();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = platform::JoinPath(temp, RandomName(prefix));
    if (platform::MakeDirectory(candidate)) {
      dir_ = candidate;
      return;
    }
    // Only a name that is taken is worth another draw.
    if (!platform::IsDirectory(candidate) && !platform::IsFile(candidate)) break;
  }
  throw std::runtime_error("cannot make a scratch folder in " + temp);
}

ScratchDir::~ScratchDir() {
  if (!RemoveTree(dir_)) std::fprintf(stderr, "ScratchDir: could not remove all of %s\n", dir_.c_str());
}

std::string ScratchDir::Path(const std::string& relative) const {
  return relative.empty() ? dir_ : platform::JoinPath(dir_, relative);
}

bool RemoveTree(const std::string& path) {
  if (platform::IsFile(path)) {
    SetReadOnly(path, false);
    return platform::RemoveFile(path);
  }
  if (!platform::IsDirectory(path)) return true;
  SetReadOnly(path, false);  // a read-only folder keeps its entries
  std::vector<platform::DirEntry> entries;
  bool ok = platform::ListDirectory(path, entries);
  for (const platform::DirEntry& e : entries) {
    const std::string full = platform::JoinPath(path, e.name);
    if (e.isLink) {
      // The link itself: a file natively, a folder for a Windows junction.
      ok = (platform::RemoveFile(full) || platform::RemoveEmptyDirectory(full)) && ok;
    } else if (e.isDirectory) {
      ok = RemoveTree(full) && ok;
    } else {
      SetReadOnly(full, false);
      ok = platform::RemoveFile(full) && ok;
    }
  }
  return platform::RemoveEmptyDirectory(path) && ok;
}

#ifdef _WIN32
bool SetReadOnly(const std::string& path, bool readOnly) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  // Only these can be set; a folder stays a folder without its attribute.
  a &= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
       FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;
  if (readOnly) a |= FILE_ATTRIBUTE_READONLY;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path.c_str(), a) != 0;
}
#else
bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (readOnly)
    mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    mode |= S_ISDIR(st.st_mode) ? S_IRWXU : S_IRUSR | S_IWUSR;  // a folder is listed and entered too
  return chmod(path.c_str(), mode) == 0;
}
#endif

}  // namespace testsupport
