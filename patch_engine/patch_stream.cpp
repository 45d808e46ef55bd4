#include "patch_engine/patch_stream.h"

#include <zlib.h>

#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "platform/byte_order.h"

namespace engine {

namespace {
constexpr size_t kOutChunk = 4096;
constexpr size_t kCopyPiece = 2000;
z_stream zs;
bool deflating = false;

void WriteRaw(const void* data, size_t len) {
  if (len == 0) return;
  if (Files().patch.Write(data, len) != len) RaiseEngineError(msg::CannotWritePatchStream);
}
}  // namespace

void BeginPatchStream() {
  DiscardPatchStream();
  if (!Options.Compress) return;
  zs = z_stream{};
  if (deflateInit(&zs, 9) != Z_OK) RaiseEngineError(msg::CompressionInitFailed);
  deflating = true;
}

void WritePatchStream(const void* data, size_t len) {
  if (!deflating) {
    WriteRaw(data, len);
    return;
  }
  unsigned char out[kOutChunk];
  auto in = static_cast<const unsigned char*>(data);
  while (len > 0) {
    uInt piece = len > 0x40000000 ? 0x40000000 : uInt(len);
    zs.next_in = const_cast<unsigned char*>(in);
    zs.avail_in = piece;
    do {
      zs.next_out = out;
      zs.avail_out = kOutChunk;
      deflate(&zs, Z_NO_FLUSH);
      WriteRaw(out, kOutChunk - zs.avail_out);
    } while (zs.avail_in > 0 || zs.avail_out == 0);
    in += piece;
    len -= piece;
  }
}

void EndPatchStream() {
  if (deflating) {
    unsigned char out[kOutChunk];
    int rc;
    do {
      zs.next_in = nullptr;
      zs.avail_in = 0;
      zs.next_out = out;
      zs.avail_out = kOutChunk;
      rc = deflate(&zs, Z_FINISH);
      WriteRaw(out, kOutChunk - zs.avail_out);
    } while (rc == Z_OK);
    DiscardPatchStream();
  }
  if (!Files().patch.Flush()) RaiseEngineError(msg::CannotWritePatchStream);
}

void DiscardPatchStream() {
  if (deflating) deflateEnd(&zs);
  deflating = false;
}

void WritePatchU8(uint8_t v) { WritePatchStream(&v, 1); }

void WritePatchU16(uint16_t v) {
  uint8_t b[2];
  platform::PutU16(b, v);
  WritePatchStream(b, 2);
}

void WritePatchU32(uint32_t v) {
  uint8_t b[4];
  platform::PutU32(b, v);
  WritePatchStream(b, 4);
}

void WriteNameString(const std::string& name) {
  if (name.size() > 255) RaiseEngineError(msg::NameTooLong);
  WritePatchU8(uint8_t(name.size()));
  WritePatchStream(name.data(), name.size());
}

void CopyFileToPatchStream(platform::File& file, int64_t length, const EngineMessage& shortRead) {
  uint8_t piece[kCopyPiece];
  for (int64_t left = length; left > 0;) {
    size_t want = left < int64_t(kCopyPiece) ? size_t(left) : kCopyPiece;
    if (file.Read(piece, want) != want) RaiseEngineError(shortRead);
    WritePatchStream(piece, want);
    left -= int64_t(want);
  }
}

}  // namespace engine
