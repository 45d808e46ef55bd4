#include "framework/core/streams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {
int64_t SeekTarget(int64_t offset, TSeekOrigin origin, int64_t current, int64_t size) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? current : size;
  if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
    throw EStreamError("Invalid stream position");
  return base + offset;
}
}  // namespace

TStream::~TStream() = default;

int64_t TStream::Position() { return Seek(0, soCurrent); }

void TStream::SetPosition(int64_t pos) { Seek(pos, soBeginning); }

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream does not support a new size"); }

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count < 0 || Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count < 0 || Write(buffer, count) != count) throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count < 0) throw EReadError();
  constexpr int32_t kChunk = 61440;
  std::vector<uint8_t> buffer(size_t(std::min<int64_t>(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    int32_t n = int32_t(std::min<int64_t>(left, kChunk));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  if (mode == fmCreate) {
    // The file layer's create mode writes only; reopening gives reading as well.
    if (!file_.Open(fileName, platform::OpenMode::Write) || !file_.Close() ||
        !file_.Open(fileName, platform::OpenMode::ReadWrite))
      throw EFCreateError(fileName);
    return;
  }
  platform::OpenMode m =
      (mode & 3) == fmOpenRead ? platform::OpenMode::Read : platform::OpenMode::ReadWrite;
  if ((mode & 3) == 3 || !file_.Open(fileName, m)) throw EFOpenError(fileName);
  writable_ = m != platform::OpenMode::Read;
}

TFileStream::~TFileStream() = default;

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  return int32_t(file_.Read(buffer, size_t(count)));
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  // The file layer buffers writes, so a read-only file would fail only later.
  if (count <= 0 || !writable_) return 0;
  return int32_t(file_.Write(buffer, size_t(count)));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (origin == soCurrent && offset == 0) return file_.Tell();
  int64_t size = origin == soEnd ? file_.Size() : 0;
  if (size < 0) throw EStreamError("Stream seek error");
  int64_t target = SeekTarget(offset, origin, file_.Tell(), size);
  if (!file_.Seek(target)) throw EStreamError("Stream seek error");
  return target;
}

int64_t TFileStream::Size() {
  int64_t size = file_.Size();
  if (size < 0) throw EStreamError("Stream seek error");
  return size;
}

void TFileStream::SetSize(int64_t size) {
  if (!writable_ || !file_.SetSize(size)) throw EStreamError("Cannot change the size of \"" + fileName_ + "\"");
}

void TFileStream::Flush() {
  if (!file_.Flush()) throw EWriteError();
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.Size();
  SetSize(size);
  if (size > std::numeric_limits<int32_t>::max()) throw EReadError();
  if (size > 0) source.ReadBuffer(data_.data(), int32_t(size));
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) {
  if (data_.size() > size_t(std::numeric_limits<int32_t>::max())) throw EWriteError();
  if (!data_.empty()) dest.WriteBuffer(data_.data(), int32_t(data_.size()));
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
  file.Flush();
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  int64_t size = int64_t(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  int32_t n = int32_t(std::min<int64_t>(count, size - position_));
  std::memcpy(buffer, data_.data() + position_, size_t(n));
  position_ += n;
  return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t end = position_ + count;
  if (end > int64_t(data_.size())) {
    int64_t keep = position_;
    SetSize(end);
    position_ = keep;
  }
  std::memcpy(data_.data() + position_, buffer, size_t(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(offset, origin, position_, int64_t(data_.size()));
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || uint64_t(size) > std::numeric_limits<size_t>::max() / 2)
    throw EStreamError("Out of memory while expanding memory stream");
  try {
    data_.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    throw EStreamError("Out of memory while expanding memory stream");
  } catch (const std::length_error&) {
    throw EStreamError("Out of memory while expanding memory stream");
  }
  if (position_ > size) position_ = size;
}
