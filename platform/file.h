#pragma once
// The thin file and directory layer under the portable code: binary files with a small
// buffer over an unbuffered handle layer, directory listings with the attributes the
// directory walk needs, what a path names, local-time modification stamps, temporary
// files, deleting and renaming, and the system's text for its last error. file_posix.cpp
// serves the native build, file_win32.cpp the Windows build; nothing above includes a
// system header. Files that a program holds only for a while can be put right when it is
// interrupted (interrupt.h).
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
  CreateReadWrite,  // created or truncated, reading and writing
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
  static int64_t OsSize(intptr_t handle);
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
// Something that is there but no regular file (KindOf is Directory or Other): opening it
// may wait for ever or read without end.
bool IsNonFile(const std::string& path);
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

// The unbuffered handle layer: every call goes straight to the system with a handle of the
// system's own (a descriptor natively, a HANDLE on Windows), so a short write tells exactly
// how many bytes the disk took. File buffers on top of these calls; the static ones also
// serve a handle that someone else owns. After a call failed, SystemErrorText() says why.
enum class SeekFrom { Begin, Current, End };

class RawFile {
 public:
  static constexpr intptr_t kNoHandle = -1;

  RawFile() = default;
  ~RawFile() { Close(); }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  bool Open(const std::string& path, OpenMode mode);
  bool IsOpen() const { return handle_ != kNoHandle; }
  bool Close();
  intptr_t Handle() const { return handle_; }

  // kNoHandle on failure; a folder is never opened.
  static intptr_t OpenHandle(const std::string& path, OpenMode mode);
  static bool CloseHandle(intptr_t handle);
  // The bytes read, fewer than count only at the end of the file; -1 on failure.
  static int64_t Read(intptr_t handle, void* data, size_t count);
  // The bytes the system took, fewer than count when the disk is full; -1 when it took none.
  static int64_t Write(intptr_t handle, const void* data, size_t count);
  static int64_t Seek(intptr_t handle, int64_t offset, SeekFrom from);  // new position; -1
  // Cuts or extends (with zero bytes) the file at size and leaves the position there.
  static bool SetEnd(intptr_t handle, int64_t size);

 private:
  intptr_t handle_ = kNoHandle;
};

// The system's text for the last error of this thread (errno natively, GetLastError on
// Windows), without a trailing line end.
std::string SystemErrorText();
// The system's text for an error code (an errno natively; a system error code or an
// HRESULT on Windows), without a trailing line end; empty when the system has none.
std::string SystemErrorTextOf(uint32_t code);

// True when both paths name the very same existing file, by whatever names or links.
bool SameFile(const std::string& a, const std::string& b);

// A temporary file that goes again unless it was put in place: Create makes a new empty
// file with a unique name (as CreateUniqueFile does; with removeOnInterrupt it is also
// removed when the process is interrupted, as CreateTemporaryFile of interrupt.h makes
// it), and the destructor removes it unless RenameTo moved it or Release handed it over.
// Moving one hands its file to the new object.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile();
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;

  bool Create(const std::string& dir, const std::string& prefix, bool removeOnInterrupt = false);
  const std::string& Name() const { return name_; }
  // Renames the file to `to`, replacing a file there; false, keeping it temporary, when
  // that fails.
  bool RenameTo(const std::string& to);
  // The file's name; from now on the caller removes it (RemoveFile also takes it off the
  // interruption's list).
  std::string Release();

 private:
  std::string name_;
};

}  // namespace platform
