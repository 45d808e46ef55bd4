#pragma once
// Byte streams: the abstract TStream with its helpers (exact reads and writes, copying),
// TFileStream over the platform file layer and TMemoryStream over one growing block.
// Positions are 64-bit; a single transfer moves at most 2 GiB - 1 bytes. Seeking past
// the end is allowed, and a write there extends the stream (a memory stream with zeros).
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "platform/file.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& fileName)
      : EStreamError("Cannot open file \"" + fileName + "\"") {}
};
class EFCreateError : public EStreamError {
 public:
  explicit EFCreateError(const std::string& fileName)
      : EStreamError("Cannot create file \"" + fileName + "\"") {}
};

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream();

  virtual int32_t Read(void* buffer, int32_t count) = 0;         // bytes read (0 at end)
  virtual int32_t Write(const void* buffer, int32_t count) = 0;  // bytes written
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;  // new position

  int64_t Position();
  void SetPosition(int64_t pos);
  virtual int64_t Size();               // default: seek to end and back
  virtual void SetSize(int64_t size);   // default throws EStreamError

  void ReadBuffer(void* buffer, int32_t count);         // EReadError on a short read
  void WriteBuffer(const void* buffer, int32_t count);  // EWriteError on a short write
  // Copies count bytes from the source's position; count 0 copies all of the source from
  // its start. Returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// File open modes; the share bits (0x10..0x40) are accepted and ignored.
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TFileStream : public TStream {
 public:
  // fmCreate makes or truncates the file and opens it for reading and writing;
  // fmOpenWrite and fmOpenReadWrite open an existing file without truncating it.
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;

  const std::string& FileName() const { return fileName_; }
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;
  // Writes what the file layer still buffers; EWriteError when that fails. The
  // destructor flushes too but cannot report.
  void Flush();

 private:
  std::string fileName_;
  platform::File file_;
  bool writable_ = true;
};

class TMemoryStream : public TStream {
 public:
  const uint8_t* Memory() const { return data_.data(); }
  uint8_t* Memory() { return data_.data(); }
  void Clear();
  // Replaces the contents with the whole source (from its start); the position becomes 0.
  void LoadFromStream(TStream& source);
  // Writes the whole contents to dest at dest's position.
  void SaveToStream(TStream& dest);
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return int64_t(data_.size()); }
  void SetSize(int64_t size) override;

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};
