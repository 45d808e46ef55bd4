#include "patch_engine/patch_format.h"

#include <cstring>

#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "platform/byte_order.h"

namespace engine {

std::array<uint8_t, kHeaderSize> EncodeHeader(const PatchHeader& h) {
  std::array<uint8_t, kHeaderSize> b{};
  platform::PutU32(&b[0], h.magic);
  platform::PutU32(&b[4], h.version);
  b[8] = h.mode;
  b[9] = h.flags;
  std::memcpy(&b[10], h.identification.data(), 64);
  platform::PutU16(&b[74], h.secondIdentificationLength);
  return b;
}

std::array<uint8_t, kTrailerSize> EncodeTrailer(uint32_t fileLength) {
  std::array<uint8_t, kTrailerSize> b{};
  platform::PutU32(&b[0], fileLength);
  platform::PutU32(&b[4], kPatchMagic);
  return b;
}

void WritePatchHeader(const PatchHeader& h) {
  auto bytes = EncodeHeader(h);
  if (Files().patch.Write(bytes.data(), bytes.size()) != bytes.size())
    RaiseEngineError(msg::CannotWriteHeader);
}

void WritePatchTrailer() {
  platform::File& f = Files().patch;
  int64_t length = f.Size();
  if (length < 0 || length + int64_t(kTrailerSize) > int64_t(UINT32_MAX))
    RaiseEngineError(msg::CannotWriteTrailer);
  auto bytes = EncodeTrailer(uint32_t(length + int64_t(kTrailerSize)));
  if (f.Write(bytes.data(), bytes.size()) != bytes.size() || !f.Flush())
    RaiseEngineError(msg::CannotWriteTrailer);
}

}  // namespace engine
