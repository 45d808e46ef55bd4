#pragma once
// The thin file and directory layer under the portable code: binary files with a small
// buffer, directory listings with the attributes the directory walk needs, local-time
// modification stamps, temporary files, deleting and renaming. file_posix.cpp serves the
// native build, file_win32.cpp the Windows build; nothing above includes a system header.
// Files that a program holds only for a while can be put right when it is interrupted
// (interrupt.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct LocalTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

enum class OpenMode {
  Read,       // existing file, reading only
  Write,      // created or truncated, writing only
  ReadWrite,  // existing file, reading and writing
};

// A binary file. Owns its handle; movable, not copyable. Open never waits (not even on a
// FIFO without a writer or reader), and reading (Read and ReadWrite) opens regular files
// only: a FIFO, socket or device fails to open.
class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  bool Open(const std::string& path, OpenMode mode);
  bool IsOpen() const { return handle_ != kNoHandle; }
  // Flushes what is buffered and closes; false when the flush or the close failed.
  bool Close();

  // Both return the number of bytes moved; fewer than asked means end of file or failure.
  size_t Read(void* data, size_t count);
  size_t Write(const void* data, size_t count);
  bool Flush();
  bool Seek(int64_t position);
  int64_t Tell() const;
  int64_t Size();  // -1 on failure
  // Truncates or extends (with zero bytes) to size; a position past the new end moves to it.
  bool SetSize(int64_t size);
  bool ModificationTime(LocalTime& out);
  bool SetModificationTime(const LocalTime& time);

 private:
  static constexpr intptr_t kNoHandle = -1;
  static constexpr size_t kBufferSize = 65536;

  bool FlushWrite();
  void DropRead();

  // Operating-system primitives, one implementation per build.
  static intptr_t OsOpen(const std::string& path, OpenMode mode);
  static bool OsClose(intptr_t handle);
  static int64_t OsRead(intptr_t handle, void* data, size_t count);
  static int64_t OsWrite(intptr_t handle, const void* data, size_t count);
  static bool OsSeek(intptr_t handle, int64_t position);
  static int64_t OsSize(intptr_t handle);
  static bool OsSetSize(intptr_t handle, int64_t size);
  static bool OsModificationTime(intptr_t handle, LocalTime& out);
  static bool OsSetModificationTime(intptr_t handle, const LocalTime& time);

  intptr_t handle_ = kNoHandle;
  int64_t position_ = 0;       // logical position of the caller
  std::vector<uint8_t> buffer_;
  size_t writeFill_ = 0;       // bytes waiting to be written, from position_ - writeFill_
  size_t readPos_ = 0, readEnd_ = 0;  // buffered bytes not yet handed out
  bool failed_ = false;        // a buffered write failed: later writes and the close fail
};

struct DirEntry {
  std::string name;
  bool isDirectory = false;
  bool isHidden = false;  // hidden attribute (natively: a name that begins with ".")
  bool isLink = false;    // symbolic link or reparse point
  int64_t size = 0;
};

// Lists dir without "." and ".."; false when dir cannot be opened as a directory.
bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out);

// What a path names, links followed: a regular file, a folder, something else (a FIFO,
// socket or device; under Windows also a name that reaches a device, such as "nul.txt"
// or "aux", and whatever the system lists but cannot describe), or nothing.
enum class PathKind { None, File, Directory, Other };
PathKind KindOf(const std::string& path);
bool IsDirectory(const std::string& path);
// A regular file (KindOf is File).
bool IsFile(const std::string& path);
// Both take the file off the list of files put right on interruption (interrupt.h); both
// fail, doing nothing, once the process is being interrupted.
bool RemoveFile(const std::string& path);
// Renames, replacing an existing file of the new name.
bool RenameFile(const std::string& from, const std::string& to);
bool MakeDirectory(const std::string& path);
bool RemoveEmptyDirectory(const std::string& path);

// The system's temporary directory, ending in a separator.
std::string TempDirectory();
// Creates a new empty file with a unique name in dir whose name begins with prefix;
// false when none could be made.
bool CreateUniqueFile(const std::string& dir, const std::string& prefix, std::string& name);

std::string GetEnvironment(const std::string& name);
// The separator of this system's paths and of its search path list.
char PathSeparator();
char PathListSeparator();
bool IsPathSeparator(char c);
// dir + separator + name, without doubling a separator at the end of dir.
std::string JoinPath(const std::string& dir, const std::string& name);
// The absolute form of path, with "." and ".." components and doubled separators
// resolved by the system's rules; symbolic links are not followed.
std::string FullPath(const std::string& path);
// True when path names dir itself or something below it (by their full paths, with the
// system's rule for the case of names).
bool PathWithin(const std::string& path, const std::string& dir);

}  // namespace platform
