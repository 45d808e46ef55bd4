#pragma once
// The archive's streams: a write-only deflate stream and a stream over a raw file handle.
//
// How it works: TCompressionStream deflates what is written to it into a target stream
// through a 64 KiB output buffer; each full buffer goes to the target at the position the
// stream last left it and fires OnProgress, so a progress display is called once per
// 65536 compressed bytes. Finish (or the destructor) drains deflate and writes the rest.
// TKstnNormalHandleStream reads, writes and seeks a handle that its caller opened and
// closes, through the platform's unbuffered handle layer, so a short write tells exactly
// how many bytes the disk took; TKstnFileHandleStream creates a file and owns that handle.
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/streams.h"
#include "platform/file.h"

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };

class EZlibError : public Exception {
 public:
  using Exception::Exception;
};
class ECompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};
class EDecompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// The version text that deflate and inflate initialisation check against the library's.
inline constexpr char kZlibVersionText[] = "1.0.4";

// zlib's level for a TCompressionLevel.
int ZlibLevel(TCompressionLevel level);
// Raise ECompressionError / EDecompressionError "error" for a negative zlib result.
int CCheck(int code);
int DCheck(int code);

class TCustomZlibStream : public TStream {
 public:
  std::function<void()> OnProgress;

 protected:
  explicit TCustomZlibStream(TStream& target);

  TStream& target_;
  int64_t targetPosition_;
  z_stream zs_{};
  static constexpr uint32_t kBufferSize = 0x10000;
  uint8_t buffer_[kBufferSize];
};

class TCompressionStream : public TCustomZlibStream {
 public:
  TCompressionStream(TCompressionLevel level, TStream& dest);
  // Finishes the stream when Finish was not called; a failure there cannot be reported,
  // so callers that must know call Finish.
  ~TCompressionStream() override;

  int32_t Write(const void* buffer, int32_t count) override;
  int32_t Read(void* buffer, int32_t count) override;
  // Only Seek(0, soCurrent): the number of bytes taken in so far.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Ends the deflate stream and writes everything still buffered to the target.
  void Finish();

 private:
  void RestoreTargetPosition();
  void FlushBuffer(uint32_t count);

  bool finished_ = false;
};

class TKstnStream : public TStream {
 public:
  virtual int64_t GetSize();
};

class TKstnNormalHandleStream : public TKstnStream {
 public:
  explicit TKstnNormalHandleStream(intptr_t handle) : handle_(handle) {}

  intptr_t Handle() const { return handle_; }
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Sets the end of the file at size; EStreamError with the system's text on failure.
  void SetSize(int64_t size) override;

 protected:
  intptr_t handle_;
};

// A handle stream over a file it creates (or truncates) and closes.
class TKstnFileHandleStream : public TKstnNormalHandleStream {
 public:
  // EFCreateError when the file cannot be created.
  explicit TKstnFileHandleStream(const std::string& fileName);

 private:
  platform::RawFile file_;
};
