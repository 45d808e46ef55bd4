#include "platform/file.h"

#include <algorithm>
#include <cstring>

#include "platform/interrupt.h"

namespace platform {

namespace {
bool SeekTo(intptr_t handle, int64_t position) {
  return RawFile::Seek(handle, position, SeekFrom::Begin) == position;
}
}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    position_ = other.position_;
    buffer_ = std::move(other.buffer_);
    writeFill_ = other.writeFill_;
    readPos_ = other.readPos_;
    readEnd_ = other.readEnd_;
    failed_ = other.failed_;
    other.handle_ = kNoHandle;
    other.writeFill_ = other.readPos_ = other.readEnd_ = 0;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  Close();
  handle_ = RawFile::OpenHandle(path, mode);
  position_ = 0;
  writeFill_ = readPos_ = readEnd_ = 0;
  failed_ = false;
  return IsOpen();
}

bool File::Close() {
  if (!IsOpen()) return true;
  bool ok = FlushWrite();
  ok = RawFile::CloseHandle(handle_) && ok && !failed_;
  handle_ = kNoHandle;
  buffer_.clear();
  buffer_.shrink_to_fit();
  writeFill_ = readPos_ = readEnd_ = 0;
  return ok;
}

bool File::FlushWrite() {
  if (writeFill_ == 0) return !failed_;
  int64_t n = RawFile::Write(handle_, buffer_.data(), writeFill_);
  bool ok = n == int64_t(writeFill_);
  writeFill_ = 0;
  if (!ok) failed_ = true;
  return ok;
}

void File::DropRead() {
  if (readPos_ != readEnd_) SeekTo(handle_, position_);
  readPos_ = readEnd_ = 0;
}

size_t File::Read(void* data, size_t count) {
  if (!IsOpen() || count == 0) return 0;
  if (!FlushWrite()) return 0;
  auto out = static_cast<uint8_t*>(data);
  size_t done = 0;
  while (done < count) {
    if (readPos_ == readEnd_) {
      size_t want = count - done;
      if (want >= kBufferSize) {  // large reads bypass the buffer
        int64_t n = RawFile::Read(handle_, out + done, want);
        if (n <= 0) break;
        done += size_t(n);
        position_ += n;
        continue;
      }
      buffer_.resize(kBufferSize);
      int64_t n = RawFile::Read(handle_, buffer_.data(), kBufferSize);
      if (n <= 0) break;
      readPos_ = 0;
      readEnd_ = size_t(n);
    }
    size_t take = std::min(count - done, readEnd_ - readPos_);
    std::memcpy(out + done, buffer_.data() + readPos_, take);
    readPos_ += take;
    done += take;
    position_ += int64_t(take);
  }
  return done;
}

size_t File::Write(const void* data, size_t count) {
  if (!IsOpen() || failed_) return 0;
  if (count == 0) return 0;
  DropRead();
  auto in = static_cast<const uint8_t*>(data);
  if (writeFill_ + count > kBufferSize) {
    if (!FlushWrite()) return 0;
    if (count >= kBufferSize) {
      int64_t n = RawFile::Write(handle_, in, count);
      if (n < 0) n = 0;
      if (size_t(n) != count) failed_ = true;
      position_ += n;
      return size_t(n);
    }
  }
  buffer_.resize(kBufferSize);
  std::memcpy(buffer_.data() + writeFill_, in, count);
  writeFill_ += count;
  position_ += int64_t(count);
  return count;
}

bool File::Flush() { return IsOpen() && FlushWrite(); }

bool File::Seek(int64_t position) {
  if (!IsOpen() || position < 0) return false;
  if (!FlushWrite()) return false;
  readPos_ = readEnd_ = 0;
  if (!SeekTo(handle_, position)) return false;
  position_ = position;
  return true;
}

int64_t File::Tell() const { return IsOpen() ? position_ : -1; }

int64_t File::Size() {
  if (!IsOpen() || !FlushWrite()) return -1;
  return OsSize(handle_);
}

bool File::SetSize(int64_t size) {
  if (!IsOpen() || size < 0 || !FlushWrite()) return false;
  readPos_ = readEnd_ = 0;
  if (!RawFile::SetEnd(handle_, size)) return false;
  if (position_ > size) position_ = size;
  return SeekTo(handle_, position_);
}

bool File::ModificationTime(LocalTime& out) {
  return IsOpen() && OsModificationTime(handle_, out);
}

bool File::SetModificationTime(const LocalTime& time) {
  return IsOpen() && FlushWrite() && OsSetModificationTime(handle_, time);
}

bool IsNonFile(const std::string& path) {
  const PathKind kind = KindOf(path);
  return kind == PathKind::Directory || kind == PathKind::Other;
}

bool RawFile::Open(const std::string& path, OpenMode mode) {
  Close();
  handle_ = OpenHandle(path, mode);
  return IsOpen();
}

bool RawFile::Close() {
  if (!IsOpen()) return true;
  bool ok = CloseHandle(handle_);
  handle_ = kNoHandle;
  return ok;
}

TempFile::~TempFile() {
  if (!name_.empty()) RemoveFile(name_);
}

TempFile::TempFile(TempFile&& other) noexcept : name_(other.Release()) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    if (!name_.empty()) RemoveFile(name_);
    name_ = other.Release();
  }
  return *this;
}

bool TempFile::Create(const std::string& dir, const std::string& prefix, bool removeOnInterrupt) {
  if (!name_.empty()) RemoveFile(name_);
  name_.clear();
  return removeOnInterrupt ? CreateTemporaryFile(dir, prefix, name_) : CreateUniqueFile(dir, prefix, name_);
}

bool TempFile::RenameTo(const std::string& to) {
  if (name_.empty() || !RenameFile(name_, to)) return false;
  name_.clear();
  return true;
}

std::string TempFile::Release() {
  std::string name;
  name.swap(name_);
  return name;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (IsPathSeparator(dir.back())) return dir + name;
  return dir + PathSeparator() + name;
}

}  // namespace platform
