#include "setup_engine/compression_streams.h"


int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case colNone: return 0;
    case colFastest: return 1;
    case colDefault: return -1;
    case colMax: return 9;
  }
  return 9;
}

int CCheck(int code) {
  if (code < 0) throw ECompressionError("error");
  return code;
}

int DCheck(int code) {
  if (code < 0) throw EDecompressionError("error");
  return code;
}

TCustomZlibStream::TCustomZlibStream(TStream& target)
    : target_(target), targetPosition_(target.Position()) {}

TCompressionStream::TCompressionStream(TCompressionLevel level, TStream& dest)
    : TCustomZlibStream(dest) {
  zs_.next_out = buffer_;
  zs_.avail_out = kBufferSize;
  CCheck(deflateInit_(&zs_, ZlibLevel(level), kZlibVersionText, int(sizeof(z_stream))));
}

TCompressionStream::~TCompressionStream() {
  if (!finished_) {
    try {
      Finish();
    } catch (const Exception&) {
      // Nobody is left to tell; the target keeps what was written.
    }
  }
  deflateEnd(&zs_);
}

void TCompressionStream::RestoreTargetPosition() {
  if (target_.Position() != targetPosition_) target_.SetPosition(targetPosition_);
}

void TCompressionStream::FlushBuffer(uint32_t count) {
  target_.WriteBuffer(buffer_, int32_t(count));
  zs_.next_out = buffer_;
  zs_.avail_out = kBufferSize;
  targetPosition_ = target_.Position();
}

int32_t TCompressionStream::Write(const void* buffer, int32_t count) {
  if (finished_ || count < 0) throw ECompressionError("Invalid stream operation");
  zs_.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  zs_.avail_in = uInt(count);
  RestoreTargetPosition();
  while (zs_.avail_in > 0) {
    CCheck(deflate(&zs_, Z_NO_FLUSH));
    if (zs_.avail_out == 0) {
      FlushBuffer(kBufferSize);
      if (OnProgress) OnProgress();
    }
  }
  return count;
}

int32_t TCompressionStream::Read(void*, int32_t) {
  throw ECompressionError("Invalid stream operation");
}

int64_t TCompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == soCurrent) return int64_t(zs_.total_in);
  throw ECompressionError("Invalid stream operation");
}

void TCompressionStream::Finish() {
  if (finished_) return;
  finished_ = true;
  zs_.next_in = nullptr;
  zs_.avail_in = 0;
  RestoreTargetPosition();
  while (CCheck(deflate(&zs_, Z_FINISH)) != Z_STREAM_END) FlushBuffer(kBufferSize);
  if (zs_.avail_out < kBufferSize) FlushBuffer(kBufferSize - zs_.avail_out);
}

int64_t TKstnStream::GetSize() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

int32_t TKstnNormalHandleStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t n = platform::RawFile::Read(handle_, buffer, size_t(count));
  return n < 0 ? 0 : int32_t(n);
}

int32_t TKstnNormalHandleStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t n = platform::RawFile::Write(handle_, buffer, size_t(count));
  return n < 0 ? 0 : int32_t(n);
}

int64_t TKstnNormalHandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  using platform::SeekFrom;
  SeekFrom from = origin == soBeginning ? SeekFrom::Begin
                  : origin == soCurrent ? SeekFrom::Current
                                        : SeekFrom::End;
  return platform::RawFile::Seek(handle_, offset, from);
}

void TKstnNormalHandleStream::SetSize(int64_t size) {
  if (!platform::RawFile::SetEnd(handle_, size)) throw EStreamError(platform::SystemErrorText());
}

TKstnFileHandleStream::TKstnFileHandleStream(const std::string& fileName)
    : TKstnNormalHandleStream(platform::RawFile::kNoHandle) {
  if (!file_.Open(fileName, platform::OpenMode::CreateReadWrite)) throw EFCreateError(fileName);
  handle_ = file_.Handle();
}
